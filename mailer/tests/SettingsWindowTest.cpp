#include "Accesso.h"
#include "Impostazioni.h"
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "TestWindowsDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace tarv;

namespace {

class SettingsWindowTest : public WindowsDirTest {
protected:
    ProgramSettings settings;
    QString a = win.write("uno.pdf", "1"), b = win.write("due.pdf", "2");

    void store(const char* name, const QString& value) {
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(QLatin1String(ProgramSettings::kProgramKey));
        ASSERT_TRUE(settings.Scrivi_Impostazione(QLatin1String(name), value));
    }
    QString stored(const char* name) {
        settings.Apri_Chiave_Programma();
        return settings.Leggi_Impostazione(QLatin1String(name));
    }
    QStringList listed(const Impostazioni& w) {
        QStringList items;
        for (int i = 0; i < w.AttachmentList->count(); ++i)
            items << w.AttachmentList->item(i)->text();
        return items;
    }
};

TEST_F(SettingsWindowTest, OpeningAndClosingWithoutChangesRewritesEverything) {
    RegistryObject reg;
    reg.MasterKey = RegistryObject::CURRENT_USER;
    reg.Key = ProgramSettings::kProgramKey;
    EXPECT_FALSE(reg.Controlla_Chiave());
    {
        Impostazioni w(settings);
        w.show();
        w.close();
    }
    EXPECT_TRUE(reg.Controlla_Chiave());
    EXPECT_EQ(reg.Elenca_Valori(), QStringList({"SMTP", "Email", "Dest", "Subject", "Testo",
                                                "Assistenza", "Nascosto", "Esci", "Allegato"}));
    EXPECT_EQ(stored("Allegato"), "");
}

TEST_F(SettingsWindowTest, RoundTripOfEveryField) {
    store("SMTP", "smtp.x.it");
    store("Email", "a@x.it");
    store("Dest", "b@x.it;c@x.it");
    store("Subject", "Oggetto è");
    store("Testo", "Riga uno\nRiga due");
    store("Assistenza", "help@x.it");
    store("Nascosto", "False"); // any text ticks the box
    store("Esci", "");
    store("Allegato", a + "," + b);
    {
        Impostazioni w(settings);
        EXPECT_EQ(w.MailServer->text(), "smtp.x.it");
        EXPECT_EQ(w.Mailtxt->toPlainText(), "Riga uno\nRiga due");
        EXPECT_TRUE(w.Nascosto->isChecked());
        EXPECT_FALSE(w.Esci->isChecked());
        EXPECT_EQ(listed(w), QStringList({a, b}));
        EXPECT_EQ(w.AttachmentList->currentRow(), 1);
        w.Esci->setChecked(true);
        w.Nascosto->setChecked(false);
        w.Subjekt->setText("Nuovo");
        w.reject(); // Esc closes and saves as well
    }
    EXPECT_EQ(stored("Allegato"), a + "," + b + ",");
    EXPECT_EQ(stored("Nascosto"), "");
    EXPECT_EQ(stored("Esci"), "True");
    EXPECT_EQ(stored("Subject"), "Nuovo");
    EXPECT_EQ(stored("Testo"), "Riga uno\nRiga due");
    EXPECT_EQ(stored("Assistenza"), "help@x.it");
}

TEST_F(SettingsWindowTest, MissingFilesAndCommaPathsAreDroppedOnOpening) {
    const QString comma = win.write("con,virgola.pdf", "x");
    store("Allegato", a + "," + win.file("sparito.pdf") + "," + comma + ",");
    Impostazioni w(settings);
    EXPECT_EQ(listed(w), QStringList({a}));
    w.show();
    w.close();
    EXPECT_EQ(stored("Allegato"), a + ",");
}

TEST_F(SettingsWindowTest, AddAndRemoveFollowTheSelectionRules) {
    Impostazioni w(settings);
    win.dialogs.results = {"  /nuovo/file.txt  ", ""};
    w.Attachment->click();
    w.Attachment->click(); // cancelled: nothing added
    EXPECT_EQ(listed(w), QStringList({"/nuovo/file.txt"}));
    ASSERT_EQ(win.dialogs.requests.size(), 2u);
    EXPECT_EQ(win.dialogs.requests[0].title, "Attach File");
    EXPECT_EQ(win.dialogs.requests[0].filter, "*.*");
    EXPECT_EQ(win.dialogs.requests[0].kind, FileDialogRequest::Save);

    w.delattach->click();
    EXPECT_EQ(w.AttachmentList->count(), 0);
    EXPECT_EQ(w.Attachment->toolTip(), "Drag & Drop your attachments here");
    w.delattach->click(); // empty list: nothing happens

    for (const char* p : {"/1", "/2", "/3", "/4", "/5"})
        w.AttachmentList->addItem(p);
    w.AttachmentList->setCurrentRow(2);
    w.delattach->click();
    EXPECT_EQ(listed(w), QStringList({"/1", "/2", "/4", "/5"}));
    EXPECT_EQ(w.AttachmentList->currentRow(), 1);
    w.AttachmentList->setCurrentRow(0);
    w.delattach->click();
    EXPECT_EQ(w.AttachmentList->currentRow(), -1);
    w.delattach->click(); // no selection: nothing happens
    EXPECT_EQ(w.AttachmentList->count(), 3);
}

TEST_F(SettingsWindowTest, ControlsStandWhereTheyWereDrawn) {
    Impostazioni w(settings);
    EXPECT_EQ(w.windowTitle(), "Impostazioni programma Velinor");
    EXPECT_EQ(w.MailServer->geometry(), QRect(104, 24, 441, 21));
    EXPECT_EQ(w.Mailtxt->geometry(), QRect(104, 216, 441, 131));
    EXPECT_EQ(w.delattach->geometry(), QRect(488, 128, 59, 25));
    // Tab order runs top to bottom.
    QWidget* expected[] = {w.MailServer, w.FromBox,   w.Subjekt,    w.AttachmentList,
                           w.Attachment, w.delattach, w.Assistenza, w.Tobox,
                           w.Mailtxt,    w.Nascosto,  w.Esci};
    std::vector<QWidget*> chain;
    QWidget* at = expected[0];
    do {
        if (std::find(std::begin(expected), std::end(expected), at) != std::end(expected))
            chain.push_back(at);
        at = at->nextInFocusChain();
    } while (at != expected[0]);
    EXPECT_EQ(chain, std::vector<QWidget*>(std::begin(expected), std::end(expected)));
    EXPECT_TRUE(w.MailServer->font().family() == "Arial" ||
                w.MailServer->font().families().contains("Liberation Sans"));
}

// The provider's server settings live in a dialog of their own; the window keeps its layout.
TEST_F(SettingsWindowTest, LoginDialogStoresPortSecurityUserAndPassword) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"); // no desktop keyring
    store("SMTP", "smtp.esempio.it");
    Impostazioni w(settings);
    EXPECT_EQ(w.Login->geometry(), QRect(488, 356, 59, 25));
    std::vector<std::function<void(Accesso&)>> steps = {
        [](Accesso& a) {
            EXPECT_EQ(a.Porta->text(), "");
            EXPECT_EQ(a.Sicurezza->currentIndex(), 0);
            EXPECT_TRUE(a.Password->placeholderText().isEmpty());
            EXPECT_TRUE(a.Nota->text().contains("nel registro personale dell'utente"));
            a.Sicurezza->setCurrentIndex(1);
            emit a.Sicurezza->activated(1); // the usual port comes with the choice
            EXPECT_EQ(a.Porta->text(), "587");
            a.Utente->setText(" mario@esempio.it ");
            a.Password->setText("segreta è");
            a.show();
            a.close(); // the close box stores as well
        },
        [](Accesso& a) {
            EXPECT_EQ(a.Porta->text(), "587");
            EXPECT_EQ(a.Sicurezza->currentData().toString(), "STARTTLS");
            EXPECT_EQ(a.Utente->text(), "mario@esempio.it");
            EXPECT_EQ(a.Password->text(), "");
            EXPECT_FALSE(a.Password->placeholderText().isEmpty()); // a password is kept
            a.Porta->setText("2525");
            a.Sicurezza->setCurrentIndex(2);
            emit a.Sicurezza->activated(2); // a port of the user's own stays
            a.reject();
        },
    };
    size_t step = 0;
    w.execDialog = [&](QDialog& d) {
        steps.at(step++)(static_cast<Accesso&>(d));
        return 0;
    };
    w.Login->click();
    EXPECT_EQ(stored("Porta"), "587");
    EXPECT_EQ(stored("Sicurezza"), "STARTTLS");
    EXPECT_EQ(stored("Utente"), "mario@esempio.it");
    QString error;
    EXPECT_EQ(PasswordStore(&win.registry).password("SMTP.esempio.it", "mario@esempio.it", &error),
              "segreta è");
    w.Login->click();
    EXPECT_EQ(stored("Porta"), "2525");
    EXPECT_EQ(stored("Sicurezza"), "TLS");
    EXPECT_EQ(PasswordStore(&win.registry).password("smtp.esempio.it", "mario@esempio.it", &error),
              "segreta è"); // an empty field keeps it
    EXPECT_FALSE(PasswordStore(&win.registry).hasPassword("altro.esempio.it", "mario@esempio.it"));
}

// A port written as a DWORD (by a .reg file or a tool) shows in the dialog and survives it.
TEST_F(SettingsWindowTest, LoginDialogShowsAPortStoredAsADword) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"); // no desktop keyring
    store("SMTP", "smtp.esempio.it");
    ASSERT_EQ(win.registry.setValue(RegistryStore::CurrentUser, ProgramSettings::kProgramKey,
                                    "Porta", REG_DWORD, RegistryStore::dwordData(587)),
              RegStatus::Ok);
    Impostazioni w(settings);
    w.execDialog = [](QDialog& d) {
        EXPECT_EQ(static_cast<Accesso&>(d).Porta->text(), "587");
        d.reject();
        return 0;
    };
    w.Login->click();
    EXPECT_EQ(stored("Porta"), "587");
}

} // namespace

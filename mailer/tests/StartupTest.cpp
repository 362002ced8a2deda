#include "AttachmentText.h"
#include "CommandLine.h"
#include "Iniziale.h"
#include "ProgramSettings.h"
#include "TestWindowsDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include <sys/stat.h>

using namespace tarv;

namespace {

class StartupTest : public WindowsDirTest {
protected:
    ProgramSettings settings;
    QString handOff = win.file("system/Default.ini");

    void SetUp() override {
        QDir().mkpath(win.file("system"));
        chmod(QFile::encodeName(win.file("system")).constData(), 0755);
        store({{"SMTP", "mail.example.it"}, {"Email", "me@example.it"}});
    }
    void store(std::initializer_list<std::pair<const char*, QString>> values) {
        settings.Apri_Chiave_Programma();
        settings.Crea_Chiave(QLatin1String(ProgramSettings::kProgramKey));
        for (const auto& [name, value] : values)
            ASSERT_TRUE(settings.Scrivi_Impostazione(QLatin1String(name), value));
    }
    void writeHandOff(const QByteArray& content, mode_t mode = 0600) {
        win.write("system/Default.ini", content);
        chmod(QFile::encodeName(handOff).constData(), mode);
    }
    // Builds the window, runs start-up, and tells whether the send started.
    struct Run {
        std::unique_ptr<Iniziale> window;
        int sends = 0;
        int ends = 0;
    };
    Run start() {
        Run r;
        r.window = std::make_unique<Iniziale>(settings);
        r.window->setHandOffPath(handOff);
        r.window->endProcess = [&r](int) { ++r.ends; };
        r.window->sendAction = [] {}; // start-up is tested here, the send elsewhere
        QObject::connect(r.window.get(), &Iniziale::sendRequested, [&r] { ++r.sends; });
        r.window->Apertura();
        return r;
    }
    QStringList listed(const Iniziale& w) {
        QStringList items;
        for (int i = 0; i < w.AttachmentList->count(); ++i)
            items << w.AttachmentList->item(i)->text();
        return items;
    }
};

TEST(CommandLine, OnlyTheExactWordOpensTheSettings) {
    EXPECT_TRUE(opensSettingsOnly({"Impostazioni"}));
    for (const QStringList& other :
         {QStringList{}, QStringList{"impostazioni"}, QStringList{"IMPOSTAZIONI"},
          QStringList{"Impostazioni "}, QStringList{"Impostazioni", "x"},
          QStringList{" Impostazioni"}})
        EXPECT_FALSE(opensSettingsOnly(other)) << other.join('|').toStdString();
}

TEST(AttachmentText, SplitAndJoin) {
    EXPECT_EQ(splitAttachmentText("/a,,/b,"), QStringList({"/a", "/b"}));
    EXPECT_EQ(splitAttachmentText("/a"), QStringList({"/a"}));
    EXPECT_TRUE(splitAttachmentText(",,").isEmpty());
    EXPECT_EQ(joinAttachmentText({"/a", "/b"}), "/a,/b,");
    EXPECT_EQ(joinAttachmentText({}), "");
    EXPECT_EQ(splitRecipients("a@b.it;"), QStringList({"a@b.it", ""}));
    EXPECT_EQ(splitRecipients("a;;b"), QStringList({"a", "", "b"}));
}

TEST_F(StartupTest, SettingsModuleDependsOnTheOrderOfItsCalls) {
    // Registra_Percorso leaves the one registry object on the machine's App Paths key: a
    // setting read before Apri_Chiave_Programma is looked for there.
    settings.Registra_Percorso();
    EXPECT_EQ(settings.Leggi_Impostazione("SMTP"), "");
    EXPECT_EQ(settings.Leggi_Impostazione("Path"), QCoreApplication::applicationDirPath());
    settings.Apri_Chiave_Programma();
    EXPECT_EQ(settings.Leggi_Impostazione("SMTP"), "mail.example.it");
    // Key tests and creation move the object too.
    EXPECT_FALSE(settings.Esiste_Chiave("Software\\Altro"));
    EXPECT_EQ(settings.Regitro().Key, "Software\\Altro");
    EXPECT_FALSE(settings.Scrivi_Impostazione("x", "y")); // writes never create the key
    EXPECT_TRUE(settings.Crea_Chiave("Software\\Altro"));
    EXPECT_TRUE(settings.Scrivi_Impostazione("x", "y"));
    settings.Apri_Chiave_Programma();
    EXPECT_EQ(settings.Leggi_Impostazione("x"), "");
    // The large-attachment answer lives in the per-user application settings.
    EXPECT_EQ(ProgramSettings::largeAttachmentSetting(), "");
    ASSERT_TRUE(ProgramSettings::saveLargeAttachmentSetting("True"));
    RegistryObject reg;
    reg.MasterKey = RegistryObject::CURRENT_USER;
    reg.Key = "Software\\VB and VBA Program Settings\\Velinor\\Settaggi";
    EXPECT_EQ(reg.Leggi_Stringa("Troppo grande"), "True");
}

TEST_F(StartupTest, StoredSettingsFillTheJobAndOnlyExactTrueSendsAtOnce) {
    const QString existing = win.write("doc.pdf", "x");
    store({{"Dest", "a@b.it; c@d.it"},
           {"Subject", "Oggetto"},
           {"Testo", "riga 1\nriga 2"},
           {"Allegato", existing + ",," + win.file("missing.pdf") + ","},
           {"Esci", "True"}});
    for (const char* flag : {"true", "TRUE", "True ", "Vero", ""}) {
        store({{"Nascosto", flag}});
        Run r = start();
        EXPECT_EQ(r.sends, 0) << flag;
    }
    store({{"Nascosto", "True"}});
    Run r = start();
    EXPECT_EQ(r.sends, 1);
    const Iniziale& w = *r.window;
    EXPECT_EQ(w.MailServer->text(), "mail.example.it");
    EXPECT_EQ(w.FromBox->text(), "me@example.it");
    EXPECT_EQ(w.recipients(), QStringList({"a@b.it", " c@d.it"}));
    EXPECT_EQ(w.Subjekt->text(), "Oggetto");
    EXPECT_EQ(w.Mailtxt->toPlainText(), "riga 1\nriga 2");
    EXPECT_EQ(listed(w), QStringList({existing}));
    EXPECT_TRUE(w.hasAttachments());
    EXPECT_EQ(w.AttachmentList->currentRow(), 0);
    EXPECT_EQ(w.exitFlag(), "True");
    // The program's App Paths entry names the running executable.
    RegistryObject reg;
    reg.MasterKey = RegistryObject::LOCAL_MACHINE;
    reg.Key = ProgramSettings::kAppPathsKey;
    EXPECT_EQ(reg.Leggi_Stringa(""), QCoreApplication::applicationFilePath());
    EXPECT_EQ(reg.Leggi_Stringa("Path"), QCoreApplication::applicationDirPath());
}

TEST_F(StartupTest, HandOffFileReplacesEverySettingItCanCarry) {
    const QString a = win.write("a.txt", "1"), b = win.write("b.txt", "2");
    store({{"Dest", "stored@x.it"},
           {"Subject", "stored"},
           {"Testo", "stored"},
           {"Nascosto", "True"},
           {"Esci", "True"},
           {"Allegato", a + ","}});
    // As the library's hand-off writes it: four keys, no flags; a long attachment list.
    const QByteArray longList = (b + "," + QString(300, 'z') + "," + a).toUtf8();
    const QByteArray content = "[Dati]\r\nAllegato=" + longList +
                               "\r\nDest=cliente@x.it\r\nSubject=Fattura\r\nTesto=Saluti\r\n";
    writeHandOff(content);
    Run r = start();
    EXPECT_EQ(r.sends, 0);
    EXPECT_EQ(r.window->Tobox->text(), "cliente@x.it");
    EXPECT_EQ(r.window->Subjekt->text(), "Fattura");
    EXPECT_EQ(r.window->Mailtxt->toPlainText(), "Saluti");
    EXPECT_EQ(r.window->autoSendFlag(), "");
    EXPECT_EQ(r.window->exitFlag(), "");
    // The path after the 300 characters is kept: values are read whole.
    EXPECT_EQ(listed(*r.window), QStringList({b, a}));
    // Taken for the run (what tells its writer that it was read), and back in place with
    // every byte when the program ends without a send.
    EXPECT_FALSE(QFile::exists(handOff));
    r.window.reset();
    EXPECT_EQ(TestWindowsDir::read(handOff), content);

    writeHandOff("[Dati]\r\nDest=x@y.it\r\nNascosto=True\r\n");
    EXPECT_EQ(start().sends, 1);
}

TEST_F(StartupTest, HandOffThatOthersCouldWriteIsIgnoredWithAMessage) {
    store({{"Dest", "stored@x.it"}, {"Nascosto", ""}});
    struct Case {
        mode_t file, folder;
    } cases[] = {{0666, 0755}, {0620, 0755}, {0600, 0777}};
    for (const Case& c : cases) {
        writeHandOff("[Dati]\nDest=attacker@x.it\nNascosto=True\nAllegato=/etc/passwd\n", c.file);
        chmod(QFile::encodeName(win.file("system")).constData(), c.folder);
        win.boxes.shown.clear();
        Run r = start();
        EXPECT_EQ(r.sends, 0);
        EXPECT_EQ(r.window->Tobox->text(), "stored@x.it");
        EXPECT_EQ(r.window->AttachmentList->count(), 0);
        ASSERT_EQ(win.boxes.shown.size(), 1u);
        EXPECT_TRUE(win.boxes.shown[0].text.contains(handOff));
    }
    // Settings that make the run unattended: the refusal goes to standard error, not to a box
    // nobody would answer, and the stored message is sent.
    store({{"Nascosto", "True"}, {"Esci", "True"}});
    win.boxes.shown.clear();
    EXPECT_EQ(start().sends, 1);
    EXPECT_TRUE(win.boxes.shown.empty());
    store({{"Nascosto", ""}, {"Esci", ""}});
    // With the sticky bit a shared folder is safe again.
    chmod(QFile::encodeName(win.file("system")).constData(), 01777);
    writeHandOff("[Dati]\nDest=friend@x.it\n", 0600);
    win.boxes.shown.clear();
    EXPECT_EQ(start().window->Tobox->text(), "friend@x.it");
    EXPECT_TRUE(win.boxes.shown.empty());
}

TEST_F(StartupTest, MissingServerOrSenderAsksUntilSetOrDeclined) {
    store({{"Email", ""}});
    int settingsShown = 0;
    win.boxes.answer(MsgAnswer::Yes);
    win.boxes.answer(MsgAnswer::Yes);
    auto w = std::make_unique<Iniziale>(settings);
    w->setHandOffPath(handOff);
    int ends = 0;
    w->endProcess = [&](int) { ++ends; };
    w->showSettingsModal = [&] {
        // The first visit leaves the sender empty; the second sets it.
        if (++settingsShown == 2)
            store({{"Email", "me@example.it"}});
    };
    w->Apertura();
    EXPECT_EQ(settingsShown, 2);
    EXPECT_EQ(win.boxes.shown.size(), 2u);
    EXPECT_EQ(win.boxes.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(w->FromBox->text(), "me@example.it");

    // Deleting SMTP asks again; No ends the program without reading the hand-off file.
    settings.Apri_Chiave_Programma();
    settings.Regitro().NameValue = "SMTP";
    ASSERT_TRUE(settings.Regitro().RDelValue());
    writeHandOff("[Dati]\nNascosto=True\n");
    win.boxes.answer(MsgAnswer::No);
    Run r = start();
    EXPECT_EQ(r.ends, 1);
    EXPECT_EQ(r.sends, 0);
    EXPECT_TRUE(r.window->ended());
}

TEST_F(StartupTest, ExitRoutineDeletesOnlyAHandOffFileThatWasRead) {
    // (file mode, deleted at exit): a file others could write was refused at start-up and
    // stays; one that appears after start-up was never read and stays too.
    const std::pair<mode_t, bool> cases[] = {{0600, true}, {0666, false}};
    for (const auto& [mode, deleted] : cases) {
        writeHandOff("[Dati]\nDest=x@y.it\n", mode);
        win.boxes.shown.clear();
        Run r = start();
        r.window->Chiudi_Programma(0);
        EXPECT_EQ(QFile::exists(handOff), !deleted) << std::oct << mode;
        EXPECT_EQ(r.ends, 1);
    }
    QFile::remove(handOff);
    Run r = start();
    writeHandOff("[Dati]\nDest=x@y.it\n");
    r.window->Chiudi_Programma(0);
    EXPECT_TRUE(QFile::exists(handOff));
}

} // namespace

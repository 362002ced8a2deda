#include "Impostazioni.h"
#include "Iniziale.h"
#include "ProgramSettings.h"
#include "QtFileDialogs.h"
#include "TestWindowsDir.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <clocale>

using namespace tarv;

namespace {

class ComposeWindowTest : public WindowsDirTest {
protected:
    ProgramSettings settings;
    Iniziale w{settings};

    QStringList listed() {
        QStringList items;
        for (int i = 0; i < w.AttachmentList->count(); ++i)
            items << w.AttachmentList->item(i)->text();
        return items;
    }
    void drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QWidget* target = w.AttachmentList->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
    }
};

TEST_F(ComposeWindowTest, CaptionsAndStartingState) {
    EXPECT_EQ(w.windowTitle(), "Velinor v.1.2");
    EXPECT_EQ(w.lblpcent->text(), "0%");
    EXPECT_EQ(w.SendMimeConnect->text(), "Spedisci");
    EXPECT_EQ(w.Impost->text(), "Impostazioni");
    EXPECT_EQ(w.frm2->width(), 0);
    w.setProgressWidth(4740);
    EXPECT_EQ(w.frm2->width(), 316);
    w.setProgressWidth(2370);
    EXPECT_EQ(w.frm2->width(), 158);
}

TEST_F(ComposeWindowTest, DroppedFilesAreAppendedAndFoldersSkipped) {
    const QString a = win.write("uno.txt", "1"), b = win.write("due file.txt", "2");
    win.write("cartella/dentro.txt", "x");
    drop({QUrl::fromLocalFile(a), QUrl::fromLocalFile(win.file("cartella")),
          QUrl::fromLocalFile(b)});
    EXPECT_EQ(listed(), QStringList({a, b}));
    EXPECT_EQ(w.AttachmentList->currentRow(), 1);
    EXPECT_TRUE(w.hasAttachments());
}

TEST_F(ComposeWindowTest, RemovingFollowsTheSelectionRules) {
    for (const char* p : {"/1", "/2", "/3", "/4", "/5"})
        w.addAttachment(p);
    w.AttachmentList->setCurrentRow(2);
    w.delattach->click();
    EXPECT_EQ(listed(), QStringList({"/1", "/2", "/4", "/5"}));
    EXPECT_EQ(w.AttachmentList->currentRow(), 1);
    EXPECT_TRUE(w.hasAttachments());
    while (w.AttachmentList->count() > 1) {
        w.AttachmentList->setCurrentRow(0);
        w.delattach->click();
    }
    w.AttachmentList->setCurrentRow(0);
    w.delattach->click();
    EXPECT_EQ(w.AttachmentList->count(), 0);
    EXPECT_FALSE(w.hasAttachments());
    EXPECT_FALSE(w.job().hasAttachments);
    EXPECT_EQ(w.Attachment->toolTip(), "Drag & Drop your attachments here");
}

TEST_F(ComposeWindowTest, SizeTooltipUsesTheLocaleAndSurvivesMissingFiles) {
    const QString f = win.write("mezzo.bin", QByteArray(1536, 'x'));
    w.addAttachment(f);
    w.addAttachment(win.file("sparito.bin"));
    struct Case {
        const char* locale;
        QString expected;
    } cases[] = {{"it_IT.UTF-8", f + " (1,5 KB)"}, {"en_US.UTF-8", f + " (1.5 KB)"}};
    for (const Case& c : cases) {
        if (!std::setlocale(LC_ALL, c.locale)) {
            std::setlocale(LC_ALL, "C.UTF-8");
            GTEST_SKIP() << c.locale << " is not installed";
        }
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale).section('.', 0, 0)));
        qputenv("LC_ALL", c.locale);
        w.AttachmentList->setCurrentRow(0);
        emit w.AttachmentList->itemClicked(w.AttachmentList->item(0));
        EXPECT_EQ(w.AttachmentList->toolTip(), c.expected);
    }
    w.AttachmentList->setCurrentRow(1);
    emit w.AttachmentList->itemClicked(w.AttachmentList->item(1));
    EXPECT_EQ(w.AttachmentList->toolTip(), win.file("sparito.bin") + " (file non trovato)");
    std::setlocale(LC_ALL, "C.UTF-8");
    qunsetenv("LC_ALL");
    QLocale::setDefault(QLocale::c());
}

TEST_F(ComposeWindowTest, FileDialogAnsweredAndCancelled) {
    win.dialogs.results = {"/home/anna/nuovo.pdf", ""};
    w.Attachment->click();
    w.Attachment->click();
    EXPECT_EQ(listed(), QStringList({"/home/anna/nuovo.pdf"}));
    EXPECT_EQ(w.lastDialogPath(), "");
    ASSERT_EQ(win.dialogs.requests.size(), 2u);
    EXPECT_EQ(win.dialogs.requests[0].title, "Attach File");
    EXPECT_EQ(win.dialogs.requests[0].filter, "*.*");
    EXPECT_EQ(win.dialogs.requests[0].owner, &w);
}

// Both windows' "Aggiungi" through Qt's own dialog: an existing file is attached with no
// question about replacing it.
TEST_F(ComposeWindowTest, ChoosingAnExistingFileAttachesItWithoutAQuestion) {
    QtFileDialogs dialogs;
    Services real;
    real.fileDialogs = &dialogs;
    ScopedServices scope(real);
    const QString existing = win.write("fattura.pdf", "%PDF-1.4\n");
    Impostazioni settingsWindow(settings);
    struct Case {
        QPushButton* button;
        QListWidget* list;
    } cases[] = {{w.Attachment, w.AttachmentList},
                 {settingsWindow.Attachment, settingsWindow.AttachmentList}};
    for (const Case& c : cases) {
        c.list->clear();
        QStringList questions;
        bool confirms = true;
        int tries = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                questions << box->text();
                box->button(QMessageBox::No)->click();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                if (!questions.isEmpty() || ++tries > 3) {
                    dialog->reject();
                    return;
                }
                confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                // The name typed into the dialog, as a user does.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(name, nullptr);
                name->setText(existing);
                // Pressed after this poll returns, so that the poll can answer a question
                // the dialog's own checks may ask.
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            }
        });
        poll.start(20);
        c.button->click();
        poll.stop();
        EXPECT_FALSE(confirms);
        EXPECT_TRUE(questions.isEmpty()) << questions.join('|').toStdString();
        ASSERT_EQ(c.list->count(), 1);
        EXPECT_EQ(c.list->item(0)->text(), existing);
    }
}

TEST_F(ComposeWindowTest, RecipientListFollowsEveryChange) {
    w.Tobox->setText("a@b.it;");
    EXPECT_EQ(w.recipients(), QStringList({"a@b.it", ""}));
    EXPECT_EQ(w.job().recipients, QStringList({"a@b.it", ""}));
    w.Tobox->setText("");
    EXPECT_TRUE(w.recipients().isEmpty());
}

} // namespace

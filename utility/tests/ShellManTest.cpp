// ShellMan on the stand-ins: profile files, files and folders, the file dialogs through the
// dialog service's fake, the default printer against a fake print service on PATH.
#include "ShellMan.h"

#include "CommandRecorders.h"
#include "ErrorInfo.h"
#include "TestWindowsDir.h"
#include "WindowHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <sys/stat.h>

#include <functional>

#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

class ShellManTest : public WindowsDirTest {
protected:
    ComPtr<ShellMan> shell = ComPtr<ShellMan>::adopt(new ShellMan);

    QString get(QString file, QString section, QString key) {
        QString v;
        EXPECT_EQ(shell->GetVar(&file, &section, &key, &v), S_OK);
        return v;
    }
    HRESULT set(QString file, QString section, QString key, const QString& value) {
        return shell->SetVar(&file, &section, &key, value);
    }
    QString printer() {
        QString p;
        EXPECT_EQ(shell->GetDefaultPrinter(&p), S_OK);
        return p;
    }
    void setPrinter(QString s) { EXPECT_EQ(shell->SetDefaultPrinter(&s), S_OK); }
};

TEST_F(ShellManTest, ProfileEditsKeepEveryOtherByte) {
    const QString ini = win.write("conf/app.ini", "; note\r\n[Dati]\r\nDest = \"a@b.it\" \r\n"
                                                  "Altro=1\r\n\r\n[Fine]\r\nx=y");
    const QString long300(300, QLatin1Char('v'));
    EXPECT_EQ(get(ini, "dati", "DEST"), "a@b.it"); // case and outer quotes
    EXPECT_EQ(set(ini, "DATI", "dest", "c@d.it"), S_OK);
    EXPECT_EQ(set(ini, "Dati", "Lungo", long300), S_OK);
    EXPECT_EQ(set(ini, "Nuova", "k", "v"), S_OK);
    EXPECT_EQ(TestWindowsDir::read(ini),
              "; note\r\n[Dati]\r\nDest=c@d.it\r\nAltro=1\r\nLungo=" + long300.toUtf8() +
                  "\r\n\r\n[Fine]\r\nx=y\r\n[Nuova]\r\nk=v\r\n");
    EXPECT_EQ(get(ini, "Dati", "Lungo"), long300); // whole, not cut at 254
    EXPECT_EQ(get(ini, "Dati", "Manca"), "");
    EXPECT_EQ(get(win.file("nessuno.ini"), "Dati", "Dest"), "");
    // No section or no key: nothing is written.
    const QByteArray kept = TestWindowsDir::read(ini);
    EXPECT_EQ(set(ini, "", "k", "v"), S_OK);
    EXPECT_EQ(set(ini, "Dati", "", "v"), S_OK);
    EXPECT_EQ(TestWindowsDir::read(ini), kept);
    // A bare name lands in the Windows directory.
    EXPECT_EQ(set("tarv.ini", "S", "k", "1"), S_OK);
    EXPECT_TRUE(QFile::exists(win.file("tarv.ini")));
}

// A line break would write lines of its own (a key "Nascosto=True" after the value): refused,
// the file left as it was.
TEST_F(ShellManTest, SetVarRefusesLineBreaks) {
    const QByteArray before = "[Dati]\nDest=a@b.it\n";
    const QString ini = win.write("h.ini", before);
    const char* cases[][3] = {{"Dati", "Testo", "x\nNascosto=True"},
                              {"Dati", "Testo\rNascosto", "True"},
                              {"Dati]\n[Altro", "k", "v"}};
    for (const auto& c : cases) {
        EXPECT_EQ(set(ini, c[0], c[1], c[2]), controlError(5)) << c[2];
        EXPECT_TRUE(takeErrorInfo().description.contains("a capo"));
        EXPECT_EQ(TestWindowsDir::read(ini), before);
    }
}

TEST_F(ShellManTest, CreaFileDiTestoNeverTruncatesWhenToldNotTo) {
    const QString existing = win.write("dati.txt", "importante");
    struct Case {
        QString name;
        VARIANT_BOOL overwrite;
        HRESULT expected;
        QByteArray after;
    } cases[] = {
        {existing, VARIANT_FALSE, controlError(58), "importante"},
        {win.file("nuovo.txt"), VARIANT_FALSE, S_OK, ""},
        {win.file("manca/nuovo.txt"), VARIANT_TRUE, controlError(76), ""},
        {existing, VARIANT_TRUE, S_OK, ""},
    };
    for (Case& c : cases) {
        EXPECT_EQ(shell->CreaFileDiTesto(&c.name, &c.overwrite), c.expected)
            << c.name.toStdString();
        const ErrorInfo e = takeErrorInfo();
        if (c.expected != S_OK)
            EXPECT_TRUE(e.description.endsWith(c.name)) << e.description.toStdString();
        EXPECT_EQ(TestWindowsDir::read(c.name), c.after);
    }
}

// A FIFO, a device or a folder where a file is expected fails at once (a FIFO's open would
// wait for a writer forever); a missing file is still created.
TEST_F(ShellManTest, PathsThatAreNoFilesFailAtOnce) {
    const QString fifo = win.file("coda");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    VARIANT_BOOL overwrite = VARIANT_TRUE;
    for (QString path : {fifo, QStringLiteral("/dev/null"), win.path()}) {
        QString value;
        EXPECT_EQ(set(path, "S", "k", "v"), controlError(75)) << path.toStdString();
        EXPECT_TRUE(takeErrorInfo().description.endsWith(path + " non è un file"));
        QString section = "S", key = "k";
        EXPECT_EQ(shell->GetVar(&path, &section, &key, &value), controlError(75));
        EXPECT_EQ(shell->CreaFileDiTesto(&path, &overwrite), controlError(75));
        takeErrorInfo();
    }
    QString fresh = win.file("nuovo.txt");
    EXPECT_EQ(shell->CreaFileDiTesto(&fresh, &overwrite), S_OK);
    EXPECT_TRUE(QFileInfo(fresh).isFile());
}

TEST_F(ShellManTest, FileDialogsTakeFiltersAndSaveFNWritesBackTheConvertedFilter) {
    win.dialogs.results = {"/tmp/a.txt", "", "/tmp/b.csv"};
    QString r;
    ASSERT_EQ(shell->OpenFN("Apri", "/tmp", "Testo|*.txt|Tutti i file|*.*", &r), S_OK);
    EXPECT_EQ(r, "/tmp/a.txt");
    QString filter = "Testo|*.txt|Tutti i file|*.*";
    ASSERT_EQ(shell->SaveFN("Salva", "", &filter, &r), S_OK);
    EXPECT_EQ(r, ""); // cancelled
    EXPECT_EQ(filter, QString::fromUtf16(u"Testo\0*.txt\0Tutti i file\0*.*\0", 29));
    int32_t handle = 0;
    ASSERT_EQ(shell->BrowseForFolder(&handle, "Cartella", &r), S_OK);
    ASSERT_EQ(win.dialogs.requests.size(), 3u);
    const FileDialogRequest& open = win.dialogs.requests[0];
    EXPECT_EQ(open.kind, FileDialogRequest::Open);
    EXPECT_EQ(open.filter, "Testo|*.txt|Tutti i file|*.*");
    EXPECT_EQ(open.title, "Apri");
    EXPECT_EQ(open.initialDirectory, "/tmp");
    EXPECT_EQ(win.dialogs.requests[1].kind, FileDialogRequest::Save);
    EXPECT_FALSE(win.dialogs.requests[1].confirmReplace);
    EXPECT_EQ(win.dialogs.requests[2].kind, FileDialogRequest::Folder);
}

// In a console host, or off the GUI thread, a member that needs a window fails and says why.
TEST_F(ShellManTest, WindowedMembersFailWhereNoWindowCanBeShown) {
    ConsoleWindowHost console;
    ScopedServices scope({.windows = &console});
    QString r, filter = "Tutti i file|*.*";
    int32_t handle = 0;
    const std::function<HRESULT()> calls[] = {
        [&] { return shell->OpenFN("", "", filter, &r); },
        [&] { return shell->SaveFN("", "", &filter, &r); },
        [&] { return shell->BrowseForFolder(&handle, "", &r); }};
    for (const auto& call : calls) {
        EXPECT_EQ(call(), controlError(5));
        EXPECT_EQ(takeErrorInfo().description, noWindowDescription());
    }
    EXPECT_EQ(filter, "Tutti i file|*.*");
    EXPECT_TRUE(win.dialogs.requests.empty());
}

TEST_F(ShellManTest, LockWindowLocksOneWindowByItsHandle) {
    QWidget a, b;
    a.show();
    b.show();
    int32_t ha = int32_t(a.winId()), hb = int32_t(b.winId()), unknown = ha + hb + 1000;
    EXPECT_EQ(shell->LockWindow(&ha), S_OK);
    EXPECT_EQ(shell->LockWindow(&hb), S_OK); // one at a time: refused
    EXPECT_EQ(shell->LockWindow(&unknown), S_OK);
    EXPECT_FALSE(a.updatesEnabled());
    EXPECT_TRUE(b.updatesEnabled());
    EXPECT_EQ(shell->UnlockWindow(), S_OK);
    EXPECT_TRUE(a.updatesEnabled());
}

TEST_F(ShellManTest, DefaultPrinterRoundTripAndPrintingOnTheChosenQueue) {
    EXPECT_EQ(printer(), "?"); // no entry, no default queue
    win.write("fake-output/lpstat", "system default destination: Ufficio\n");
    EXPECT_EQ(printer(), "Ufficio,CUPS,lp");

    win.write("win.ini", "[windows]\r\ndevice=Magazzino,CUPS,lp\r\n");
    setPrinter(""); // saves the current entry, writes nothing
    EXPECT_EQ(TestWindowsDir::read(win.file("win.ini")),
              "[windows]\r\ndevice=Magazzino,CUPS,lp\r\n");
    setPrinter("Etichette,CUPS,lp");
    EXPECT_EQ(printer(), "Etichette,CUPS,lp");
    QString doc = win.write("doc/fattura.pdf", "%PDF");
    int32_t hwnd = 0;
    EXPECT_EQ(shell->PrintDocument(&hwnd, &doc), S_OK);
    EXPECT_EQ(shell->ResetDefaultPrinter(), S_OK);
    EXPECT_EQ(printer(), "Magazzino,CUPS,lp");
    EXPECT_EQ(shell->ResetDefaultPrinter(), S_OK); // a second reset swaps back
    EXPECT_EQ(printer(), "Etichette,CUPS,lp");
    EXPECT_EQ(shell->OpenDocument(&hwnd, &doc), S_OK);

    ASSERT_EQ(win.processes.started.size(), 2u);
    const auto& print = win.processes.started[0];
    EXPECT_EQ(print.program, "lp");
    EXPECT_EQ(print.arguments, QStringList({"-d", "Etichette", doc}));
    EXPECT_EQ(print.workingDirectory, win.file("doc"));
    EXPECT_EQ(win.processes.started[1].program, "xdg-open");
    EXPECT_EQ(win.processes.started[1].arguments, QStringList{doc});
    EXPECT_EQ(recordedCommands(), QStringList({"lpstat -d", "lpstat -d"}));
}

// A relative path is opened from the caller's folder, an address is handed on unchanged, and
// an opener that cannot start fails the call.
TEST_F(ShellManTest, OpenDocumentResolvesPathsAndPassesAddresses) {
    const QString here = QDir::currentPath();
    const struct Case {
        QString document, argument, folder;
    } cases[] = {
        {"sub/doc.txt", here + "/sub/doc.txt", here + "/sub"},
        {"doc.txt", here + "/doc.txt", here},
        {"/srv/a b/doc.txt", "/srv/a b/doc.txt", "/srv/a b"},
        {"https://www.example.it/listino?x=1", "https://www.example.it/listino?x=1", ""},
        {"file:///srv/doc.txt", "file:///srv/doc.txt", ""},
        {"mailto:ufficio@example.it", "mailto:ufficio@example.it", ""},
    };
    int32_t hwnd = 0;
    for (const Case& c : cases) {
        win.processes.started.clear();
        QString doc = c.document;
        EXPECT_EQ(shell->OpenDocument(&hwnd, &doc), S_OK);
        ASSERT_EQ(win.processes.started.size(), 1u);
        EXPECT_EQ(win.processes.started[0].arguments, QStringList{c.argument});
        EXPECT_EQ(win.processes.started[0].workingDirectory, c.folder);
    }
    win.processes.succeed = false;
    QString doc = "doc.txt";
    EXPECT_EQ(shell->OpenDocument(&hwnd, &doc), controlError(75));
    EXPECT_TRUE(takeErrorInfo().description.contains("xdg-open"));
}

} // namespace

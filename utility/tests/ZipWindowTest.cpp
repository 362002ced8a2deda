// The compression windows with the registered compression control, as Zip shows them.
#include "ZipWindow.h"
#include "ComPtr.h"
#include "DispatchCall.h"
#include "TestWindowsDir.h"
#include "UtilityWidgets.h"
#include "Zip.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

class ZipWindowTest : public WindowsDirTest {
protected:
    void SetUp() override {
        installLibraryWindows();
        QProcess regsvr;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARV_WINDIR"), win.path());
        regsvr.setProcessEnvironment(env);
        regsvr.start(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_ZLIBTOOL_LIB)});
        ASSERT_TRUE(regsvr.waitForFinished(30000));
        ASSERT_EQ(regsvr.exitCode(), 0);
    }
    // Runs Zippa or UnZippa through dispatch, as a host does.
    HRESULT run(bool expand, const QString& source, const QString& destination, bool autoAvvio,
                bool autoChiusura) {
        ComPtr<IDispatch> zip;
        createAndQuery<Zip>(IID_IDispatch, reinterpret_cast<void**>(zip.put()));
        putProperty(zip.get(), QStringLiteral("Sorgente"), Variant(source));
        putProperty(zip.get(), QStringLiteral("Destinazione"), Variant(destination));
        putProperty(zip.get(), QStringLiteral("Auto_Avvio"), Variant(autoAvvio));
        putProperty(zip.get(), QStringLiteral("Auto_Chiusura"), Variant(autoChiusura));
        return call(zip.get(), expand ? QStringLiteral("UnZippa") : QStringLiteral("Zippa"), {});
    }
    std::vector<QString> texts() const {
        std::vector<QString> t;
        for (const MessageBoxRequest& r : win.boxes.shown)
            t.push_back(r.text);
        return t;
    }
};

// Closes the open compression window from inside its modal loop.
void closeSoon() {
    QTimer::singleShot(300, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<ZipWindow*>(w) && w->isVisible())
                w->close();
    });
}

TEST_F(ZipWindowTest, ValidationsAndTheSourceChangeRule) {
    const QString present = win.write(QStringLiteral("dati.txt"), "x");
    const QString missing = win.file(QStringLiteral("manca.txt"));
    const struct Case {
        bool expand;
        QString source;
        QString destination;
        QString message;
    } cases[] = {
        {false, "", "", "Inserire il file da comprimere."},
        {true, "", "", "Inserire il file compresso."},
        {false, missing, "x.zl", "Il file indicato non esiste."},
        {false, present, "", "Selezionare un nome per il file compresso."},
        {true, present, "", "Selezionare un nome per il file decompresso."},
    };
    for (const Case& c : cases) {
        win.boxes.shown.clear();
        win.boxes.beeps = 0;
        std::unique_ptr<ZipWindow> w(c.expand ? static_cast<ZipWindow*>(new frmUnZippa)
                                              : static_cast<ZipWindow*>(new frmZippa));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->setSource(c.source);
        w->lblFileDest->setText(c.destination);
        w->cmdCmprimi_Click();
        ASSERT_EQ(win.boxes.shown.size(), 1u) << c.message.toStdString();
        EXPECT_EQ(win.boxes.shown[0].text, c.message);
        EXPECT_EQ(win.boxes.shown[0].icon, MsgIcon::Information);
        EXPECT_EQ(win.boxes.beeps, 1);
    }
    const struct Rule {
        bool expand;
        QString source;
        QString proposed;
    } rules[] = {{false, "/a/b.txt", "/a/b.txt.zl"},
                 {true, "/a/b.txt.zl", "/a/b.txt"},
                 {true, "/a/b.gz", "/a/b"},
                 {true, "ab", ""}};
    for (const Rule& r : rules) {
        std::unique_ptr<ZipWindow> w(r.expand ? static_cast<ZipWindow*>(new frmUnZippa)
                                              : static_cast<ZipWindow*>(new frmZippa));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->setSource(r.source);
        EXPECT_EQ(w->lblFileDest->text(), r.proposed);
    }
}

TEST_F(ZipWindowTest, ReplaceAnsweredNoKeepsTheFileAndYesReplacesIt) {
    QByteArray data;
    for (int i = 0; i < 5000; ++i)
        data += "movimento " + QByteArray::number(i) + "\n";
    const QString src = win.write(QStringLiteral("mov.txt"), data);
    const QString dest = win.write(QStringLiteral("mov.txt.zl"), "vecchio");
    frmZippa w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.setSource(src);
    win.boxes.answer(MsgAnswer::No);
    w.cmdCmprimi_Click();
    EXPECT_EQ(texts(), (std::vector<QString>{"Il file '" + dest + "' esiste già: sostituire?",
                                             "Operazione interrotta dall'utente."}));
    EXPECT_EQ(TestWindowsDir::read(dest), "vecchio");
    win.boxes.shown.clear();
    win.boxes.answer(MsgAnswer::Yes);
    w.cmdCmprimi_Click();
    ASSERT_EQ(win.boxes.shown.size(), 2u);
    EXPECT_EQ(win.boxes.shown[1].text, "File compresso con successo");
    EXPECT_EQ(w.lblDimIn->text(), QLocale::system().toString(qint64(data.size())) + " Bytes");
    EXPECT_EQ(w.lblDimOut->text(), QLocale::system().toString(QFileInfo(dest).size()) + " Bytes");
    EXPECT_TRUE(w.lblStatus->text().startsWith("Compresso: ")) << w.lblStatus->text().toStdString();
    QProcess gz;
    gz.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), dest});
    gz.waitForFinished();
    EXPECT_EQ(gz.readAllStandardOutput(), data);
}

TEST_F(ZipWindowTest, UnattendedRoundTripClosesSilently) {
    const QByteArray data = QByteArray(200000, 'z') + "fine";
    const QString src = win.write(QStringLiteral("a.dat"), data);
    ASSERT_EQ(run(false, src, src + ".zl", true, true), S_OK);
    ASSERT_EQ(run(true, src + ".zl", win.file(QStringLiteral("b.dat")), true, true), S_OK);
    EXPECT_TRUE(win.boxes.shown.empty()) << win.boxes.shown[0].text.toStdString();
    EXPECT_EQ(TestWindowsDir::read(win.file(QStringLiteral("b.dat"))), data);
}

TEST_F(ZipWindowTest, AutoStartWithAMissingSourceStaysOpen) {
    closeSoon();
    ASSERT_EQ(run(false, win.file(QStringLiteral("manca.txt")), QString(), true, false), S_OK);
    EXPECT_EQ(texts(), std::vector<QString>{"Il file indicato non esiste."});
    EXPECT_EQ(win.boxes.beeps, 1);
}

// Zippa and UnZippa end without an error whatever happened; Esito tells. Unattended windows
// that fail where no one can see them (this offscreen platform) close after their message.
TEST_F(ZipWindowTest, EsitoTellsHowTheLastOperationEnded) {
    const QString src = win.write(QStringLiteral("dati.txt"), "dati");
    const QString corrupt = win.write(QStringLiteral("rotto.zl"), "\x1f\x8b\x08 no");
    const QString kept = win.write(QStringLiteral("tenuto.zl"), "vecchio");
    const struct Case {
        bool expand;
        QString source;
        QString destination;
        int number; // 0: True
        const char* words;
    } cases[] = {
        {false, src, src + ".zl", 0, ""},
        {false, win.file(QStringLiteral("manca.txt")), src + ".zl", 53, "non esiste"},
        {true, corrupt, win.file(QStringLiteral("x")), 321, "rotto.zl"},
        {false, src, kept, 18, "interrotta"},
    };
    win.boxes.onShow = [](const MessageBoxRequest& r) {
        return r.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        ComPtr<IDispatch> zip;
        createAndQuery<Zip>(IID_IDispatch, reinterpret_cast<void**>(zip.put()));
        putProperty(zip.get(), QStringLiteral("Sorgente"), Variant(c.source));
        putProperty(zip.get(), QStringLiteral("Destinazione"), Variant(c.destination));
        putProperty(zip.get(), QStringLiteral("Auto_Avvio"), Variant(true));
        putProperty(zip.get(), QStringLiteral("Auto_Chiusura"), Variant(true));
        ASSERT_EQ(
            call(zip.get(), c.expand ? QStringLiteral("UnZippa") : QStringLiteral("Zippa"), {}),
            S_OK);
        Variant esito;
        ErrorInfo e;
        const HRESULT hr = getProperty(zip.get(), QStringLiteral("Esito"), &esito, &e);
        if (c.number == 0) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(esito, Variant(true));
            continue;
        }
        EXPECT_EQ(e.basicNumber(), c.number);
        EXPECT_TRUE(e.description.contains(QString::fromUtf8(c.words)))
            << e.description.toStdString();
    }
    EXPECT_EQ(TestWindowsDir::read(kept), "vecchio");
}

// Esc while the control works does what the close box does then: nothing. The source is a pipe
// the test holds open, so the job is surely running when Esc comes.
TEST_F(ZipWindowTest, EscWhileWorkingKeepsTheWindow) {
    const QString fifo = win.file(QStringLiteral("flusso"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    frmZippa w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.setSource(fifo);
    w.show();
    std::atomic<bool> escSent{false};
    bool visibleAfterEsc = false;
    win.pump.hook = [&] {
        if (escSent || !w.busy())
            return;
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&w, &esc);
        visibleAfterEsc = w.isVisible();
        escSent = true;
    };
    std::thread writer([&] {
        const int fd = openWhenRead(fifo);
        if (fd < 0)
            return;
        const QByteArray data(1 << 20, 'x');
        ::write(fd, data.constData(), size_t(data.size()));
        for (int i = 0; i < 1000 && !escSent; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(fd);
    });
    w.cmdCmprimi_Click();
    writer.join();
    win.pump.hook = nullptr;
    ASSERT_TRUE(escSent);
    EXPECT_TRUE(visibleAfterEsc);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(texts(), std::vector<QString>{"File compresso con successo"});
}

TEST_F(ZipWindowTest, ZeroByteSourceAndFailuresInTheErrorBox) {
    const QString empty = win.write(QStringLiteral("vuoto.txt"), {});
    const QString corrupt = win.write(QStringLiteral("rotto.zl"),
                                      QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\x03garbage", 18));
    const QString kept = win.write(QStringLiteral("rotto"), "precedente");
    const struct Case {
        bool expand;
        QString source;
        QString destination;
        QString title; // "" = success
        QString dimIn;
    } cases[] = {
        {false, empty, empty + ".zl", "", " Bytes"},
        {true, corrupt, kept, "Errore 321", "18 Bytes"},
        {false, empty, win.file(QStringLiteral("manca/x.zl")), "Errore 76", " Bytes"},
    };
    for (const Case& c : cases) {
        win.boxes.shown.clear();
        std::unique_ptr<ZipWindow> w(c.expand ? static_cast<ZipWindow*>(new frmUnZippa)
                                              : static_cast<ZipWindow*>(new frmZippa));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->setSource(c.source);
        w->lblFileDest->setText(c.destination);
        win.boxes.answer(MsgAnswer::Yes);
        w->cmdCmprimi_Click();
        EXPECT_EQ(w->lblDimIn->text(), c.dimIn);
        const MessageBoxRequest& last = win.boxes.shown.back();
        if (c.title.isEmpty()) {
            EXPECT_EQ(last.icon, MsgIcon::Information);
            continue;
        }
        EXPECT_EQ(last.title, c.title);
        EXPECT_EQ(last.icon, MsgIcon::Critical);
        EXPECT_FALSE(last.text.isEmpty());
        EXPECT_EQ(w->lblDimOut->text(), "0");
    }
    EXPECT_EQ(TestWindowsDir::read(kept), "precedente");
}

TEST_F(ZipWindowTest, OneWindowPerGuiThread) {
    // A second Zippa while the window is open is refused; so is a call on another thread.
    HRESULT again = S_OK;
    QTimer::singleShot(100, [&] {
        again = run(false, QString(), QString(), false, false);
        closeSoon();
    });
    ASSERT_EQ(run(false, QString(), QString(), false, false), S_OK);
    EXPECT_TRUE(FAILED(again));
    QString description;
    std::thread other([&] {
        ComPtr<IDispatch> zip;
        createAndQuery<Zip>(IID_IDispatch, reinterpret_cast<void**>(zip.put()));
        ErrorInfo e;
        call(zip.get(), QStringLiteral("Zippa"), {}, nullptr, &e);
        description = e.description;
    });
    other.join();
    EXPECT_TRUE(description.contains(QLatin1String("thread"))) << description.toStdString();
}

TEST_F(ZipWindowTest, SourceButtonAsksThroughOpenFNFromTheHomeFolder) {
    const struct Case {
        bool expand;
        const char* title;
        const char* proposed;
    } cases[] = {{false, "File da comprimere", "/dati/listino.csv.zl"},
                 {true, "File compressi zl|*.zl", "/dati/listino."}};
    for (const Case& c : cases) {
        win.dialogs.requests.clear();
        win.dialogs.results = {QStringLiteral("/dati/listino.csv")};
        std::unique_ptr<ZipWindow> w(c.expand ? static_cast<ZipWindow*>(new frmUnZippa)
                                              : static_cast<ZipWindow*>(new frmZippa));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->Command1_Click();
        ASSERT_EQ(win.dialogs.requests.size(), 1u);
        const FileDialogRequest& r = win.dialogs.requests[0];
        EXPECT_EQ(r.kind, FileDialogRequest::Open);
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.initialDirectory, QDir::homePath());
        EXPECT_EQ(r.filter, "Tutti i file|*.*");
        EXPECT_EQ(w->txtFileSource->text(), "/dati/listino.csv");
        EXPECT_EQ(w->lblFileDest->text(), c.proposed);
    }
}

// tarv-call as a GUI host on the offscreen display, as a script drives the library: Zip's
// variables, then windows that run and close by themselves; Internet's answers.
TEST_F(ZipWindowTest, TarvCallDrivesZipAndInternetAsAGuiHost) {
    auto tool = [&](const QStringList& command) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARV_WINDIR"), win.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(command.first(), command.mid(1));
        p.closeWriteChannel();
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        const int status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        return std::make_pair(status, out + QString::fromUtf8(p.readAllStandardError()));
    };
    ASSERT_EQ(tool({TARV_REGSVR, TARV_UTILITY_LIB}).first, 0);
    // Text and noise over more than one block of the control.
    QByteArray data;
    for (int i = 0; data.size() < 3 * 1024 * 1024; ++i) {
        data += "riga " + QByteArray::number(i) + " del registro\n";
        if (i % 64 == 0)
            for (int k = 0; k < 256; ++k)
                data += char(QRandomGenerator::global()->generate());
    }
    const QString src = win.write(QStringLiteral("registro.dat"), data);
    const QString copy = win.file(QStringLiteral("copia.dat"));
    const QString unattended = QStringLiteral("Auto_Avvio=True");
    auto zip = tool({TARV_CALL, "TarvUtility.Zip", "Sorgente=\"" + src + "\"",
                     "Destinazione=\"" + src + ".zl\"", unattended, "Auto_Chiusura=True", "Zippa"});
    ASSERT_EQ(zip.first, 0) << zip.second.toStdString();
    EXPECT_EQ(tool({"gzip", "-t", src + ".zl"}).first, 0);
    auto unzip =
        tool({TARV_CALL, "TarvUtility.Zip", "Sorgente=\"" + src + ".zl\"",
              "Destinazione=\"" + copy + "\"", unattended, "Auto_Chiusura=True", "UnZippa"});
    ASSERT_EQ(unzip.first, 0) << unzip.second.toStdString();
    EXPECT_EQ(TestWindowsDir::read(copy), data);

    if (geteuid() != 0)
        GTEST_SKIP() << "needs a host name of its own";
    // A dotted host name is the machine's own address.
    const auto internet = tool({"unshare", "-u", "sh", "-c",
                                "hostname 10.1.2.3 && exec \"$0\" TarvUtility.Internet "
                                "IsConnected2Internet MyIP",
                                TARV_CALL});
    EXPECT_EQ(internet.first, 0) << internet.second.toStdString();
    EXPECT_TRUE(internet.second.startsWith(QStringLiteral("True\n10.1.2.3\n")))
        << internet.second.toStdString();
}

// Closes, through the X server as a window manager's close box does, each window named on the
// command line in turn, waiting for it to appear.
const char* const kCloseWindows = R"py(
import sys, time
from Xlib import X, display, protocol
d = display.Display()
def find(w, name):
    if w.get_wm_name() == name:
        return w
    for c in w.query_tree().children:
        found = find(c, name)
        if found:
            return found
protocols, delete = d.intern_atom("WM_PROTOCOLS"), d.intern_atom("WM_DELETE_WINDOW")
for name in sys.argv[1:]:
    for _ in range(400):
        w = find(d.screen().root, name)
        if w:
            break
        time.sleep(0.05)
    else:
        sys.exit("no window " + name)
    w.send_event(protocol.event.ClientMessage(window=w, client_type=protocols,
                                              data=(32, [delete, X.CurrentTime, 0, 0, 0])))
    d.flush()
    # A window behind a modal box ignores its close box until the box has gone, as it does
    # for a user: the next window is closed once this one is no longer shown.
    for _ in range(1200):
        try:
            w = find(d.screen().root, name)
            shown = w and w.get_attributes().map_state == X.IsViewable
        except Exception:  # the window went while it was looked at
            shown = True
        if not shown:
            break
        time.sleep(0.05)
    else:
        sys.exit("still open: " + name)
)py";

// A script on a real display: the unattended expansion of a damaged file shows its error box
// and stays open (someone can see it); once the user has closed both, tarv-call ends with
// status 1 and the error, not 0.
TEST_F(ZipWindowTest, TarvCallEndsWithTheErrorOfAFailedUnZippaOnARealDisplay) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "needs Xvfb (package xvfb)";
    QProcess xserver;
    xserver.start(QStringLiteral("Xvfb"),
                  {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    ASSERT_TRUE(xserver.waitForReadyRead(20000));
    const QString display = ":" + QString::fromLatin1(xserver.readLine().trimmed());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARV_WINDIR"), win.path());
    env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess regsvr;
    regsvr.setProcessEnvironment(env);
    regsvr.start(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_UTILITY_LIB)});
    ASSERT_TRUE(regsvr.waitForFinished(30000));
    const QString corrupt = win.write(QStringLiteral("rotto.zl"), "\x1f\x8b\x08 danneggiato");
    QProcess call;
    call.setProcessEnvironment(env);
    call.start(QStringLiteral(TARV_CALL), {"TarvUtility.Zip", "Sorgente=\"" + corrupt + "\"",
                                           "Destinazione=\"" + win.file(QStringLiteral("x")) + "\"",
                                           "Auto_Avvio=True", "Auto_Chiusura=True", "UnZippa"});
    QProcess closer;
    closer.setProcessEnvironment(env);
    closer.start(QStringLiteral("/usr/bin/python3"),
                 {"-c", kCloseWindows, "Errore 321", "Decomprimi File"});
    EXPECT_TRUE(closer.waitForFinished(60000));
    EXPECT_EQ(closer.exitCode(), 0) << closer.readAllStandardError().constData();
    if (!call.waitForFinished(30000))
        call.kill();
    call.waitForFinished();
    EXPECT_EQ(call.exitCode(), 1);
    const QByteArray errors = call.readAllStandardError();
    EXPECT_TRUE(errors.contains("Errore 321 (")) << errors.constData();
    xserver.terminate();
    xserver.waitForFinished(5000);
}

} // namespace

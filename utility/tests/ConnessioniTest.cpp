// The dial-up manager on a phone book of the test, Internet driven as hosts drive it.
#include "ComPtr.h"
#include "DispatchCall.h"
#include "Internet.h"
#include "PhoneBook.h"
#include "TestWindowsDir.h"
#include "UtilityWidgets.h"
#include "frmConnessioni.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTimer>

#include <sched.h>
#include <unistd.h>

using namespace tarv;
using namespace tarv::com;
using namespace tarv::utility;

namespace {

const QByteArray kBook = "[Ufficio]\r\nPhoneNumber=0212345\r\nDevice=modem\r\n\r\n"
                         "[Casa Mia]\r\nPhoneNumber=06123\r\nAreaCode=06\r\n";

class ConnessioniTest : public WindowsDirTest {
protected:
    void SetUp() override {
        installLibraryWindows();
        qputenv("TARV_DIALER", "/usr/bin/mio-dialer");
    }
    void TearDown() override {
        qunsetenv("TARV_DIALER");
        qunsetenv("TARV_PLATFORM_ID");
    }
    QByteArray book() const {
        return TestWindowsDir::read(win.file(QStringLiteral("rasphone.pbk")));
    }
    std::unique_ptr<frmConnessioni> open() {
        auto w = std::make_unique<frmConnessioni>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->show();
        return w;
    }
};

TEST_F(ConnessioniTest, ListsEntriesOrSaysThereAreNone) {
    auto empty = open();
    ASSERT_EQ(win.boxes.shown.size(), 1u);
    EXPECT_EQ(win.boxes.shown[0].text, "Non sono presenti connessioni di Accesso Remoto.");
    EXPECT_EQ(win.boxes.shown[0].icon, MsgIcon::None);
    EXPECT_EQ(empty->Connessioni->count(), 0);
    EXPECT_EQ(empty->Frame3->title(), "");

    win.write("rasphone.pbk", kBook);
    auto w = open();
    EXPECT_EQ(w->Connessioni->count(), 2);
    EXPECT_EQ(w->Connessioni->currentRow(), 0);
    EXPECT_EQ(w->Frame3->title(), "Ufficio attiva:");
    EXPECT_TRUE(w->Check1->isChecked());
    w->Connessioni->setCurrentRow(1);
    EXPECT_EQ(w->Frame3->title(), "Casa Mia attiva:");
}

TEST_F(ConnessioniTest, DialsOnBothFamiliesWithEnterWhenChecked) {
    win.write("rasphone.pbk", kBook);
    const struct Case {
        const char* platform;
        bool checked;
        QByteArray input;
    } cases[] = {{"1", true, "\n"}, {"2", true, "\n"}, {"2", false, {}}};
    for (const Case& c : cases) {
        qputenv("TARV_PLATFORM_ID", c.platform);
        win.processes.started.clear();
        auto w = open();
        w->Check1->setChecked(c.checked);
        w->Connessioni->setCurrentRow(1);
        emit w->Connessioni->itemDoubleClicked(w->Connessioni->item(1));
        ASSERT_EQ(win.processes.started.size(), 1u);
        EXPECT_EQ(win.processes.started[0].arguments, QStringList{"Casa Mia"});
        EXPECT_EQ(win.processes.started[0].input, c.input);
    }
}

TEST_F(ConnessioniTest, ConnettiPredDialsTheFirstEntryAndCloses) {
    win.write("rasphone.pbk", kBook);
    ComPtr<IDispatch> internet;
    createAndQuery<Internet>(IID_IDispatch, reinterpret_cast<void**>(internet.put()));
    ASSERT_EQ(call(internet.get(), QStringLiteral("Connetti_Pred"), {}), S_OK);
    ASSERT_EQ(win.processes.started.size(), 1u);
    EXPECT_EQ(win.processes.started[0].arguments, QStringList{"Ufficio"});
    EXPECT_EQ(win.processes.started[0].input, "\n");
}

TEST_F(ConnessioniTest, CreateEditRenameDeleteKeepTheOtherBytes) {
    win.write("rasphone.pbk", kBook);
    auto w = open();
    QString nextName, nextNumber;
    bool accept = true;
    w->entryDialog = [&](const QString&, QString* name, QString* number) {
        *name = nextName;
        *number = nextNumber;
        return accept;
    };
    QString answer;
    w->inputBox = [&](const QString&, const QString&) { return answer; };

    nextName = "Mare";
    nextNumber = "0789";
    w->cmdCrea_Click();
    EXPECT_EQ(book(), kBook + "\r\n[Mare]\r\nPhoneNumber=0789\r\n");
    EXPECT_EQ(w->Connessioni->count(), 3);

    w->Connessioni->setCurrentRow(1);
    nextName = "Casa";
    nextNumber = "06999";
    w->cmdModifica_Click();
    EXPECT_TRUE(book().contains("[Casa]\r\nPhoneNumber=06999\r\nAreaCode=06\r\n"));
    EXPECT_TRUE(book().startsWith("[Ufficio]\r\nPhoneNumber=0212345\r\nDevice=modem\r\n"));

    const QByteArray before = book();
    answer = "";
    w->cmdRinomina_Click();
    EXPECT_EQ(book(), before);
    for (const QString& bad : {QString("a\nb"), QString("x[y"), QString("  "), QString("casa")}) {
        answer = bad;
        win.boxes.shown.clear();
        w->Connessioni->setCurrentRow(0);
        w->cmdRinomina_Click();
        EXPECT_EQ(book(), before) << bad.toStdString();
        EXPECT_EQ(win.boxes.shown.size(), 1u) << bad.toStdString();
    }
    // A refused name still refills the list, which selects its first entry again.
    answer = "ufficio";
    w->Connessioni->setCurrentRow(1);
    w->cmdRinomina_Click();
    EXPECT_EQ(w->Connessioni->currentRow(), 0);
    answer = "Sede";
    w->Connessioni->setCurrentRow(0);
    w->cmdRinomina_Click();
    EXPECT_TRUE(book().startsWith("[Sede]\r\nPhoneNumber=0212345\r\nDevice=modem\r\n"));

    win.boxes.shown.clear();
    w->Connessioni->setCurrentRow(2);
    win.boxes.answer(MsgAnswer::No);
    w->cmdElimina_Click();
    ASSERT_EQ(win.boxes.shown.size(), 1u);
    EXPECT_EQ(win.boxes.shown[0].text, "Sei sicuro di voler eliminare 'Mare' ?");
    EXPECT_EQ(win.boxes.shown[0].title, "Conferma eliminazione");
    EXPECT_EQ(w->Connessioni->count(), 3);
    EXPECT_EQ(w->Connessioni->currentRow(), 0);
    w->Connessioni->setCurrentRow(2);
    win.boxes.answer(MsgAnswer::Yes);
    w->cmdElimina_Click();
    EXPECT_EQ(w->Connessioni->count(), 2);
    EXPECT_FALSE(book().contains("Mare"));
}

// The edits work on the lines the listing reads: a byte-order mark does not hide the first
// entry, comments stay with the entry below them, the last line keeps its missing line end.
TEST_F(ConnessioniTest, EditsFindTheEntriesTheListShows) {
    const QByteArray bom = "\xEF\xBB\xBF";
    win.write("rasphone.pbk", bom + "[Ufficio]\r\nPhoneNumber=1\r\n\r\n; la linea di Anna\r\n"
                                    "[Casa]\r\nPhoneNumber=2");
    EXPECT_EQ(PhoneBook::createEntry("UFFICIO", "9"),
              "Esiste già una connessione di nome 'UFFICIO'.");
    EXPECT_EQ(PhoneBook::setPhoneNumber("Casa", "3"), "");
    EXPECT_EQ(PhoneBook::renameEntry("Ufficio", "Sede"), "");
    EXPECT_EQ(book(), bom + "[Sede]\r\nPhoneNumber=1\r\n\r\n; la linea di Anna\r\n"
                            "[Casa]\r\nPhoneNumber=3");
    EXPECT_EQ(PhoneBook::deleteEntry("sede"), "");
    EXPECT_EQ(book(), bom + "; la linea di Anna\r\n[Casa]\r\nPhoneNumber=3");
    EXPECT_EQ(PhoneBook::deleteEntry("Casa"), "");
    EXPECT_EQ(book(), bom);
}

// A book that other programs may read otherwise than the listing does is listed but never
// rewritten: each edit is refused with the reason.
TEST_F(ConnessioniTest, BooksThatCannotBeEditedSafelyAreRefused) {
    const struct Case {
        QByteArray book;
        const char* reason;
    } cases[] = {
        {"[Ufficio\r\nPhoneNumber=1\r\n[Casa]\r\nPhoneNumber=2\r\n", "senza chiuderla con ']'"},
        {"[Ufficio]\rPhoneNumber=1\r[Casa]\rPhoneNumber=2\r", "solo ritorno carrello"},
    };
    for (const Case& c : cases) {
        win.write("rasphone.pbk", c.book);
        EXPECT_EQ(PhoneBook::entries(), QStringList({"Ufficio", "Casa"}));
        for (const QString& problem :
             {PhoneBook::deleteEntry("Ufficio"), PhoneBook::renameEntry("Casa", "Mare"),
              PhoneBook::setPhoneNumber("Casa", "3"), PhoneBook::createEntry("Mare", "4")}) {
            EXPECT_TRUE(problem.contains("non può essere modificata") && problem.contains(c.reason))
                << problem.toStdString();
        }
        EXPECT_EQ(book(), c.book);
    }
}

// Connetti_Pred runs with no one watching: a dialler that cannot start is reported on standard
// error, never in a box that would hold the caller.
TEST_F(ConnessioniTest, UnattendedDialFailureGoesToStandardError) {
    win.write("rasphone.pbk", kBook);
    qunsetenv("TARV_DIALER");
    ComPtr<IDispatch> internet;
    createAndQuery<Internet>(IID_IDispatch, reinterpret_cast<void**>(internet.put()));
    testing::internal::CaptureStderr();
    EXPECT_EQ(call(internet.get(), QStringLiteral("Connetti_Pred"), {}), S_OK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(win.boxes.shown.empty());
    EXPECT_NE(err.find("Connessioni di Accesso Remoto: Nessun programma di connessione"),
              std::string::npos)
        << err;

    // The same from a script, in a GUI host on the offscreen display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARV_WINDIR"), win.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_UTILITY_LIB)});
    ASSERT_TRUE(p.waitForFinished(60000));
    p.start(QStringLiteral(TARV_CALL), {"TarvUtility.Internet", "Connetti_Pred"});
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        FAIL() << "Connetti_Pred is waiting for someone to close a box";
    }
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardError().contains("Nessun programma di connessione"));

    // With no display at all the window cannot open: the call fails and says why.
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(display));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TARV_CALL), {"TarvUtility.Internet", "Connetti_Pred"});
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().startsWith("Errore 5 "));
}

TEST_F(ConnessioniTest, StatusFollowsAPppInterface) {
    if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0)
        GTEST_SKIP() << "needs a network namespace of its own";
    win.write("rasphone.pbk", kBook);
    auto w = open();
    w->Timer1_Timer();
    EXPECT_EQ(w->lblRegStatus->text(), "False");
    // A pair of virtual interfaces, one of them named as a dial-up link is.
    if (QProcess::execute(QStringLiteral("ip"),
                          {"link", "add", "ppp0", "type", "veth", "peer", "name", "rete0"}) != 0)
        GTEST_SKIP() << "no virtual network interfaces on this kernel";
    const struct Step {
        const char* state;
        const char* label;
    } steps[] = {{"down", "False"}, {"up", "True"}, {"down", "False"}};
    for (const Step& s : steps) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("ip"), {"link", "set", "ppp0", s.state}), 0);
        w->Timer1_Timer();
        EXPECT_EQ(w->lblRegStatus->text(), s.label);
    }
    EXPECT_EQ(w->Timer1->interval(), 500);
    EXPECT_TRUE(w->Timer1->isActive());
}

TEST_F(ConnessioniTest, DottedHostNameIsItsOwnAddressAndNotOnLine) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a host name of its own";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARV_WINDIR"), win.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_UTILITY_LIB)});
    ASSERT_TRUE(p.waitForFinished(60000));
    p.start(QStringLiteral("unshare"),
            {"-u", "sh", "-c",
             "hostname 127.0.0.1 && exec \"$0\" TarvUtility.Internet MyIP IsConnected2Internet",
             QStringLiteral(TARV_CALL)});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.readAllStandardOutput(), "127.0.0.1\nFalse\n")
        << p.readAllStandardError().toStdString();
}

} // namespace

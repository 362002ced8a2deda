#include "Connessioni.h"
#include "PhoneBook.h"
#include "TestWindowsDir.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tarv;

namespace {

class DialUpTest : public WindowsDirTest {
protected:
    void SetUp() override { qputenv("TARV_DIALER", "/usr/bin/mio-dialer"); }
    void TearDown() override {
        qunsetenv("TARV_DIALER");
        qunsetenv("TARV_PLATFORM_ID");
    }
};

TEST_F(DialUpTest, ListsEntriesAndDialsTheChosenOneOnEachFamily) {
    win.write("rasphone.pbk",
              "[Ufficio]\r\nPhoneNumber=0212345\r\n[Casa Mia]\r\nPhoneNumber=06\r\n[Riserva]\r\n");
    struct Case {
        const char* platform;
        QString command;
    } cases[] = {{"1", "rundll32.exe rnaui.dll,RnaDial Casa Mia"},
                 {"2", "Rasphone -d \"Casa Mia\""}};
    for (const Case& c : cases) {
        qputenv("TARV_PLATFORM_ID", c.platform);
        EXPECT_EQ(PhoneBook::dialCommand("Casa Mia", atoi(c.platform)), c.command);
        win.processes.started.clear();
        Connessioni w([] { return false; });
        w.show();
        EXPECT_EQ(w.ConnessioniList->count(), 3);
        EXPECT_EQ(w.ConnessioniList->currentRow(), 0);
        QListWidgetItem* second = w.ConnessioniList->item(1);
        w.ConnessioniList->setCurrentItem(second);
        emit w.ConnessioniList->itemDoubleClicked(second);
        ASSERT_EQ(win.processes.started.size(), 1u);
        EXPECT_EQ(win.processes.started[0].program, "/usr/bin/mio-dialer");
        EXPECT_EQ(win.processes.started[0].arguments, QStringList({"Casa Mia"}));
        EXPECT_TRUE(w.isVisible()); // dialling leaves the window open
        w.cmdEsci->click();
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_TRUE(win.boxes.shown.empty());
}

TEST_F(DialUpTest, EmptyPhoneBookSaysSoWithTheInformationIcon) {
    Connessioni w([] { return false; });
    w.show();
    ASSERT_EQ(win.boxes.shown.size(), 1u);
    EXPECT_EQ(win.boxes.shown[0].text, "Non sono presenti connessioni di Accesso Remoto.");
    EXPECT_EQ(win.boxes.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(w.ConnessioniList->count(), 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(DialUpTest, MissingOrBrokenDialerIsExplained) {
    win.write("rasphone.pbk", "[Ufficio]\n");
    qunsetenv("TARV_DIALER");
    Connessioni w([] { return false; });
    w.show();
    w.cmdEsegui->click();
    ASSERT_EQ(win.boxes.shown.size(), 1u);
    EXPECT_TRUE(win.boxes.shown[0].text.contains("TARV_DIALER"));
    qputenv("TARV_DIALER", "/usr/bin/mio-dialer");
    win.processes.succeed = false;
    w.cmdEsegui->click();
    ASSERT_EQ(win.boxes.shown.size(), 2u);
    EXPECT_TRUE(win.boxes.shown[1].text.contains("/usr/bin/mio-dialer"));
}

TEST_F(DialUpTest, ClosesAtTheFirstTickThatFindsAConnection) {
    win.write("rasphone.pbk", "[Ufficio]\n");
    int tests = 0;
    bool up = false;
    Connessioni w([&] {
        ++tests;
        return up;
    });
    w.show();
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 1000);
    QTest::qWait(1200); // a tick without a connection leaves it open
    EXPECT_TRUE(w.isVisible());
    up = true;
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 10000);
    EXPECT_GE(tests, 2);
}

TEST_F(DialUpTest, AtMost256EntriesAreListed) {
    QByteArray book;
    for (int i = 0; i < 300; ++i)
        book += "[Voce " + QByteArray::number(i) + "]\n";
    win.write("rasphone.pbk", book);
    const QStringList names = PhoneBook::entries();
    ASSERT_EQ(names.size(), 256);
    EXPECT_EQ(names.first(), "Voce 0");
    EXPECT_EQ(names.last(), "Voce 255");
}

} // namespace

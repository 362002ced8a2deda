#include "ProfileFile.h"
#include "TestWindowsDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace tarv;

namespace {

class ProfileFileTest : public WindowsDirTest {};

const QByteArray kSample =
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n";

TEST_F(ProfileFileTest, LookupsFollowTheWindowsRules) {
    const QString f = win.write("test.ini", kSample);
    EXPECT_EQ(ProfileFile::readString("section1", "name1", "", f), "val1");
    EXPECT_EQ(ProfileFile::readString("SECTION1", "NAME2", "", f), "val2");
    EXPECT_EQ(ProfileFile::readString("section1", "name3", "default", f), "default");
    EXPECT_EQ(ProfileFile::readString("section2", "name1", "dflt  ", f), "dflt");
    EXPECT_EQ(ProfileFile::readString("nosuch", "name1", "", win.file("missing.ini")), "");

    // Blanks, tabs, bare CR and LF line ends, single quotes, a byte-order mark, first match.
    const QString g = win.write("g.ini", "\xEF\xBB\xBF  [ Dati ]  \r  Dest =  'a@b.it'  \n"
                                         "Testo\t=\t\"x\" \r\nDest=second\n[dati]\nSubject=s\n");
    EXPECT_EQ(ProfileFile::readString("dati", "dest", "", g), "a@b.it");
    EXPECT_EQ(ProfileFile::readString("Dati", "Testo", "", g), "x");
    EXPECT_EQ(ProfileFile::readString("Dati", "Subject", "", g), "");
    // A file name without a folder is in the Windows directory.
    EXPECT_EQ(ProfileFile::readString("section1", "name4", "", "test.ini"), "a");
}

TEST_F(ProfileFileTest, BufferSizeCutsLongValues) {
    const QString f = win.write("long.ini", "[Dati]\nAllegato=" + QByteArray(300, 'x') + "\n");
    EXPECT_EQ(ProfileFile::readString("Dati", "Allegato", "", f, 260).size(), 259);
    EXPECT_EQ(ProfileFile::readString("Dati", "Allegato", "", f).size(), 300);
    // "è" is two bytes: a buffer with room for one of them leaves it out.
    const QString g = win.write("accent.ini", "[Dati]\nTesto=aè\n");
    EXPECT_EQ(ProfileFile::readString("Dati", "Testo", "", g, 3), "a");
    EXPECT_EQ(ProfileFile::readString("Dati", "Testo", "", g, 4), "aè");
}

TEST_F(ProfileFileTest, WritesBuildTheWindowsLayout) {
    const QString f = win.file("new.ini");
    ASSERT_TRUE(ProfileFile::writeString("App1", QString("key1"), QString("string1"), f));
    ASSERT_TRUE(ProfileFile::writeString("App1", QString("key2"), QString("string2"), f));
    ASSERT_TRUE(ProfileFile::writeString("App2", QString("key4"), QString("string4"), f));
    EXPECT_EQ(TestWindowsDir::read(f),
              "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey4=string4\r\n");

    const QString g = win.file("case.ini");
    ASSERT_TRUE(ProfileFile::writeString("SEC", QString("Key"), QString("v1"), g));
    ASSERT_TRUE(ProfileFile::writeString("sec", QString("KEY"), QString("v2"), g));
    EXPECT_EQ(TestWindowsDir::read(g), "[SEC]\r\nKey=v2\r\n");
}

TEST_F(ProfileFileTest, WritesKeepEveryOtherByte) {
    const QByteArray original =
        "; comment kept\n[Dati]\n  Dest = a@b.it  \n\n[Altro]\r\nX=1\r\n   \r\n";
    const QString f = win.write("keep.ini", original);
    ASSERT_TRUE(ProfileFile::writeString("dati", QString("DEST"), QString("c@d.it"), f));
    EXPECT_EQ(TestWindowsDir::read(f),
              "; comment kept\n[Dati]\n  Dest=c@d.it\n\n[Altro]\r\nX=1\r\n   \r\n");
    ASSERT_TRUE(ProfileFile::writeString("Dati", QString("Subject"), QString("Ciao"), f));
    EXPECT_EQ(TestWindowsDir::read(f),
              "; comment kept\n[Dati]\n  Dest=c@d.it\nSubject=Ciao\n\n[Altro]\r\nX=1\r\n   \r\n");
    ASSERT_TRUE(ProfileFile::writeString("Dati", QString("Subject"), std::nullopt, f));
    ASSERT_TRUE(ProfileFile::writeString("Altro", std::nullopt, std::nullopt, f));
    EXPECT_EQ(TestWindowsDir::read(f), "; comment kept\n[Dati]\n  Dest=c@d.it\n\n");
    // A new section after a last line without a line end.
    const QString g = win.write("noeol.ini", "[A]\nx=1");
    ASSERT_TRUE(ProfileFile::writeString("A", QString("y"), QString("2"), g));
    ASSERT_TRUE(ProfileFile::writeString("B", QString("z"), QString("3"), g));
    EXPECT_EQ(TestWindowsDir::read(g), "[A]\nx=1\ny=2\n[B]\nz=3\n");
}

TEST_F(ProfileFileTest, ValueWithLineBreakReadsBackItsFirstLine) {
    const QString f = win.file("nl.ini");
    ASSERT_TRUE(ProfileFile::writeString("S", QString("k"), QString("one\r\ntwo=2"), f));
    EXPECT_EQ(ProfileFile::readString("S", "k", "", f), "one");
    EXPECT_EQ(ProfileFile::readString("S", "two", "", f), "2");
}

// A section or key with no name would add "[]" or "=v" lines on every call: nothing is written,
// and no file is made for it.
TEST_F(ProfileFileTest, EmptySectionOrKeyWritesNothing) {
    const QByteArray before = "[Dati]\r\nDest=a\r\n";
    const QString f = win.write("e.ini", before), missing = win.file("nuovo.ini");
    const char* cases[][2] = {{"", "k"}, {"  ", "k"}, {"Dati", ""}, {"Dati", " \t"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(ProfileFile::writeString(c[0], QString(c[1]), QString("v"), f));
        EXPECT_TRUE(ProfileFile::writeString(c[0], QString(c[1]), QString("v"), missing));
    }
    EXPECT_EQ(TestWindowsDir::read(f), before);
    EXPECT_FALSE(QFile::exists(missing));
}

// A FIFO, a folder or a device is neither read (a FIFO's open would wait for a writer) nor
// replaced by a regular file.
TEST_F(ProfileFileTest, PathsThatAreNoFilesAreNeitherReadNorWritten) {
    const QString fifo = win.file("coda.ini"), folder = win.file("cartella.ini");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString& path : {fifo, folder, QStringLiteral("/dev/null")}) {
        EXPECT_TRUE(ProfileFile::notARegularFile(path));
        EXPECT_EQ(ProfileFile::readString("S", "k", "d", path), "d");
        EXPECT_FALSE(ProfileFile::writeString("S", QString("k"), QString("v"), path));
        EXPECT_FALSE(QFileInfo(path).isFile()) << path.toStdString();
    }
    EXPECT_FALSE(ProfileFile::notARegularFile(win.file("manca.ini")));
}

// A link to a file not made yet: the file is made behind the link, which stays a link.
TEST_F(ProfileFileTest, WriteThroughALinkToAMissingFile) {
    const QString link = win.file("link.ini"), target = win.file("vero.ini");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(ProfileFile::writeString("S", QString("k"), QString("v"), link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(TestWindowsDir::read(target), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, UnwritableFolderFailsWithoutTouchingTheFile) {
    EXPECT_FALSE(ProfileFile::writeString("S", QString("k"), QString("v"), "/proc/no/such.ini"));
}

} // namespace

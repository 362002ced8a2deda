#include "RegFile.h"
#include "RegistryStore.h"
#include "TestWindowsDir.h"

#include <QProcess>

using namespace tarv;

namespace {

class RegToolTest : public WindowsDirTest {
protected:
    struct Result {
        int status;
        QString out, err;
    };
    Result reg(const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TARV_WINDIR", win.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TARV_REG), args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(RegToolTest, AddAndQueryPrintLikeReg) {
    EXPECT_EQ(reg({"add", "HKCU\\Software\\Orvid\\Velinor", "/v", "SMTP", "/d", "mail.x.it"}).status, 0);
    EXPECT_EQ(reg({"add", "HKEY_CURRENT_USER\\software\\orvid\\velinor", "/v", "Conta", "/t", "REG_DWORD", "/d", "255"}).status, 0);
    EXPECT_EQ(reg({"add", "HKCU\\Software\\Orvid\\Velinor", "/ve", "/d", "predefinito"}).status, 0);
    EXPECT_EQ(reg({"add", "HKCU\\Software\\Orvid\\Velinor\\Sotto"}).status, 0);
    const Result q = reg({"query", "HKCU\\Software\\Orvid\\Velinor"});
    EXPECT_EQ(q.status, 0);
    EXPECT_EQ(q.out, "HKEY_CURRENT_USER\\Software\\Orvid\\Velinor\n"
                     "    SMTP    REG_SZ    mail.x.it\n"
                     "    Conta    REG_DWORD    0xff\n"
                     "    (Default)    REG_SZ    predefinito\n"
                     "\n"
                     "HKEY_CURRENT_USER\\Software\\Orvid\\Velinor\\Sotto\n");
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Orvid\\Velinor", "/v", "smtp"}).out,
              "HKEY_CURRENT_USER\\Software\\Orvid\\Velinor\n    SMTP    REG_SZ    mail.x.it\n");

    // Misses, bad data and an existing value without /f (no terminal to ask) are errors.
    for (const QStringList& bad : {QStringList{"query", "HKCU\\Nowhere"},
                                   QStringList{"query", "HKCU\\Software\\Orvid\\Velinor", "/v", "Manca"},
                                   QStringList{"query", "HKXY\\a"},
                                   QStringList{"add", "HKCU\\A", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"},
                                   QStringList{"add", "HKCU\\Software\\Orvid\\Velinor", "/v", "SMTP", "/d", "x"},
                                   QStringList{"delete", "HKCU\\Software\\Orvid"},
                                   QStringList{"frobnicate", "HKCU\\A"}, QStringList{}}) {
        const Result r = reg(bad);
        EXPECT_NE(r.status, 0) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_EQ(reg({"add", "HKCU\\Software\\Orvid\\Velinor", "/v", "SMTP", "/d", "y", "/f"}).status, 0);
    EXPECT_EQ(reg({"delete", "HKCU\\Software\\Orvid", "/f"}).status, 0);
    EXPECT_NE(reg({"query", "HKCU\\Software\\Orvid"}).status, 0);
}

TEST_F(RegToolTest, ExportImportRoundTripKeepsEveryCharacter) {
    RegistryStore& store = win.registry;
    const QString key = "Software\\Orvid\\Velinor";
    ASSERT_EQ(store.createKey(RegistryStore::CurrentUser, key + "\\Sotto \"chiave\""), RegStatus::Ok);
    const QString tricky = "C:\\percorso\\\"virgolette\"\nseconda riga è così\r\nterza; €";
    store.setValue(RegistryStore::CurrentUser, key, "Testo", REG_SZ, RegistryStore::stringData(tricky));
    store.setValue(RegistryStore::CurrentUser, key, "nome \"strano\\\"", REG_SZ, RegistryStore::stringData(""));
    store.setValue(RegistryStore::CurrentUser, key, "", REG_SZ, RegistryStore::stringData("default"));
    store.setValue(RegistryStore::CurrentUser, key, "Flag", REG_DWORD, RegistryStore::dwordData(0xffffu));
    store.setValue(RegistryStore::CurrentUser, key, "Bin", REG_BINARY, QByteArray("\x00\xff\x10", 3));
    const QString file = win.file("velinor.reg");
    const Result exported = reg({"export", "HKCU\\" + key, file});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    const QByteArray text = TestWindowsDir::read(file);
    EXPECT_TRUE(text.startsWith("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvid\\Velinor]\r\n"));
    EXPECT_TRUE(text.contains("\"Flag\"=dword:0000ffff\r\n"));
    EXPECT_TRUE(text.contains("@=\"default\"\r\n"));
    EXPECT_TRUE(text.contains("\"Testo\"=\"C:\\\\percorso\\\\\\\"virgolette\\\"\\nseconda riga è così\\r\\nterza; €\"\r\n"));

    ASSERT_EQ(reg({"delete", "HKCU\\Software", "/f"}).status, 0);
    ASSERT_EQ(reg({"import", file}).status, 0);
    QByteArray again;
    QString error;
    ASSERT_TRUE(RegFile::exportKey(store, RegistryStore::CurrentUser, key, &again, &error));
    EXPECT_EQ(again, text);
}

TEST_F(RegToolTest, MalformedImportNamesTheLineAndImportsNothing) {
    struct Case {
        QByteArray text;
        int line;
    } cases[] = {
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n\"bad\"=\"unterminated\n", 5},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"d\"=dword:12\n", 4},
        {"REGEDIT4\n\n[HKEY_NOWHERE\\A]\n", 3},
        {"REGEDIT4\n\"x\"=\"1\"\n", 2},
        {"Windows Registry Editor Version 5.00\n", 1},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"a\\q\"\n", 3},
    };
    for (const Case& c : cases) {
        const QString file = win.write("bad.reg", c.text);
        const auto r = reg({"import", file});
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.err.contains(QStringLiteral("riga %1:").arg(c.line))) << r.err.toStdString();
        EXPECT_EQ(win.registry.openKey(RegistryStore::CurrentUser, "A"), RegStatus::NotFound);
    }
}

TEST_F(RegToolTest, DamagedStoreIsReportedAndLeftAlone) {
    const QByteArray junk = "not a database at all";
    win.write("registry/user.db", junk);
    const auto r = reg({"add", "HKCU\\A", "/v", "x", "/d", "y"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("user.db")) << r.err.toStdString();
    EXPECT_EQ(TestWindowsDir::read(win.file("registry/user.db")), junk);
}

} // namespace

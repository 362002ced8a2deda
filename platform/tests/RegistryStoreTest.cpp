#include "RegistryStore.h"
#include "TestWindowsDir.h"

#include <QFile>

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarv;

namespace {

class RegistryStoreTest : public WindowsDirTest {
protected:
    RegistryStore& reg = win.registry;
    static constexpr int32_t HKCU = RegistryStore::CurrentUser;
    static constexpr int32_t HKLM = RegistryStore::LocalMachine;
    static constexpr int32_t HKCR = RegistryStore::ClassesRoot;

    QString str(int32_t root, const QString& key, const QString& name) {
        uint32_t type = 0;
        QByteArray data;
        if (reg.queryValue(root, key, name, &type, &data) != RegStatus::Ok || type != REG_SZ)
            return QStringLiteral("<none>");
        return RegistryStore::stringFromData(data);
    }
};

TEST_F(RegistryStoreTest, KeysAreCaseInsensitiveKeepFirstSpellingAndIgnoreTrailingSlash) {
    EXPECT_EQ(reg.openKey(HKCU, "Software\\Orvid\\Velinor"), RegStatus::NotFound);
    ASSERT_EQ(reg.createKey(HKCU, "Software\\Orvid\\Velinor"), RegStatus::Ok);
    EXPECT_EQ(reg.openKey(HKCU, "SOFTWARE\\orvid\\VELINOR\\"), RegStatus::Ok);
    ASSERT_EQ(reg.createKey(HKCU, "SOFTWARE\\ORVID\\Velinor\\Sub"), RegStatus::Ok);
    QString name;
    ASSERT_EQ(reg.enumKey(HKCU, "software", 0, &name), RegStatus::Ok);
    EXPECT_EQ(name, "Classes");
    ASSERT_EQ(reg.enumKey(HKCU, "software", 1, &name), RegStatus::Ok);
    EXPECT_EQ(name, "Orvid");
    EXPECT_EQ(reg.enumKey(HKCU, "software", 2, &name), RegStatus::NoMoreItems);
    // Roots are separate stores; the classes root is the machine's SOFTWARE\Classes.
    EXPECT_EQ(reg.openKey(HKLM, "Software\\Orvid"), RegStatus::NotFound);
    ASSERT_EQ(reg.createKey(HKCR, "TarvUtility.Math"), RegStatus::Ok);
    EXPECT_EQ(reg.openKey(HKLM, "Software\\Classes\\tarvutility.math"), RegStatus::Ok);
    EXPECT_EQ(reg.openKey(0x12345, "x"), RegStatus::InvalidHandle);
}

TEST_F(RegistryStoreTest, NamesStartingWithU_FEFFComeBackWhole) {
    const QString bom(QChar(0xFEFF));
    ASSERT_EQ(reg.createKey(HKCU, "Software\\" + bom + "\\" + bom + "x"), RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKCU, "Software", "v", REG_SZ, RegistryStore::stringData(bom + "y")),
              RegStatus::Ok);
    QString name;
    ASSERT_EQ(reg.enumKey(HKCU, "Software", 1, &name), RegStatus::Ok);
    EXPECT_EQ(name, bom);
    ASSERT_EQ(reg.enumKey(HKCU, "Software\\" + bom, 0, &name), RegStatus::Ok);
    EXPECT_EQ(name, bom + "x");
    uint32_t type = 0;
    QByteArray data;
    ASSERT_EQ(reg.queryValue(HKCU, "Software", "v", &type, &data), RegStatus::Ok);
    EXPECT_EQ(RegistryStore::stringFromData(data), bom + "y");
}

TEST_F(RegistryStoreTest, ValuesTypesEmptyStringsAndEnumerationOrder) {
    ASSERT_EQ(reg.createKey(HKCU, "K"), RegStatus::Ok);
    EXPECT_EQ(reg.setValue(HKCU, "Missing", "a", REG_SZ, "x"), RegStatus::NotFound);
    ASSERT_EQ(reg.setValue(HKCU, "K", "Zeta", REG_SZ, RegistryStore::stringData("àèì")), RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKCU, "K", "alpha", REG_DWORD, RegistryStore::dwordData(0xffffffffu)), RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKCU, "K", "", REG_SZ, RegistryStore::stringData("")), RegStatus::Ok);
    // Rewriting under another spelling keeps the first spelling and the place.
    ASSERT_EQ(reg.setValue(HKCU, "K", "ZETA", REG_SZ, RegistryStore::stringData("new")), RegStatus::Ok);

    uint32_t type = 0;
    QByteArray data;
    ASSERT_EQ(reg.queryValue(HKCU, "k", "", &type, &data), RegStatus::Ok);
    EXPECT_EQ(data, QByteArray(1, '\0'));
    EXPECT_EQ(str(HKCU, "K", "zeta"), "new");
    ASSERT_EQ(reg.queryValue(HKCU, "K", "ALPHA", &type, &data), RegStatus::Ok);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(RegistryStore::dwordFromData(data), 0xffffffffu);

    QStringList names;
    QString n;
    for (int i = 0; reg.enumValue(HKCU, "K", i, &n) == RegStatus::Ok; ++i)
        names << n;
    EXPECT_EQ(names, QStringList({"Zeta", "alpha", ""}));
    EXPECT_EQ(reg.deleteValue(HKCU, "K", "zeta"), RegStatus::Ok);
    EXPECT_EQ(reg.deleteValue(HKCU, "K", "zeta"), RegStatus::NotFound);
}

TEST_F(RegistryStoreTest, KeyWithSubkeysIsNotDeletedAndValuesGoWithTheKey) {
    ASSERT_EQ(reg.createKey(HKCU, "A\\B"), RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKCU, "A\\B", "v", REG_SZ, RegistryStore::stringData("1")), RegStatus::Ok);
    EXPECT_EQ(reg.deleteKey(HKCU, "A"), RegStatus::AccessDenied);
    EXPECT_EQ(reg.deleteKey(HKCU, "A\\B"), RegStatus::Ok);
    EXPECT_EQ(reg.deleteKey(HKCU, "A\\B"), RegStatus::NotFound);
    ASSERT_EQ(reg.createKey(HKCU, "A\\B"), RegStatus::Ok);
    EXPECT_EQ(str(HKCU, "A\\B", "v"), "<none>");
    EXPECT_EQ(reg.deleteKey(HKCU, ""), RegStatus::AccessDenied);
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    ASSERT_EQ(reg.createKey(HKCU, "Race"), RegStatus::Ok);
    constexpr int kWriters = 2, kEach = 150;
    pid_t pids[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        pids[w] = fork();
        if (pids[w] == 0) {
            RegistryStore own(win.path());
            int failures = 0;
            for (int i = 0; i < kEach; ++i) {
                const QString key = QStringLiteral("Race\\W%1\\K%2").arg(w).arg(i);
                failures += own.createKey(HKCU, key) != RegStatus::Ok;
                failures += own.setValue(HKCU, "Race", QStringLiteral("v%1_%2").arg(w).arg(i), REG_SZ,
                                         RegistryStore::stringData("x")) != RegStatus::Ok;
            }
            _exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int values = 0;
    QString n;
    while (reg.enumValue(HKCU, "Race", values, &n) == RegStatus::Ok)
        ++values;
    EXPECT_EQ(values, kWriters * kEach);
    for (int w = 0; w < kWriters; ++w) {
        int keys = 0;
        while (reg.enumKey(HKCU, QStringLiteral("Race\\W%1").arg(w), keys, &n) == RegStatus::Ok)
            ++keys;
        EXPECT_EQ(keys, kEach);
    }
}

TEST_F(RegistryStoreTest, ReadOnlyStoreFailsWritesButStillReads) {
    // An administrator's machine store: readable by the user, writable only by its owner.
    ASSERT_EQ(reg.createKey(HKLM, "Software\\Admin"), RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKLM, "Software\\Admin", "v", REG_SZ, RegistryStore::stringData("kept")),
              RegStatus::Ok);
    const QByteArray dir = QFile::encodeName(win.path());
    const QByteArray file = QFile::encodeName(win.file("registry/machine.db"));
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0) {
            // Root writes anything; look at the store as an ordinary user instead.
            chmod(dir.constData(), 0755);
            chmod((dir + "/registry").constData(), 0755);
            chmod(file.constData(), 0644);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(10);
        } else {
            chmod(file.constData(), 0444);
        }
        RegistryStore user(win.path());
        uint32_t type = 0;
        QByteArray data;
        if (user.queryValue(HKLM, "Software\\Admin", "v", &type, &data) != RegStatus::Ok ||
            RegistryStore::stringFromData(data) != "kept")
            _exit(11);
        if (user.setValue(HKLM, "Software\\Admin", "v", REG_SZ, RegistryStore::stringData("x")) !=
            RegStatus::AccessDenied)
            _exit(12);
        if (user.createKey(HKLM, "Software\\Other") != RegStatus::AccessDenied)
            _exit(13);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    chmod(file.constData(), 0644);
    EXPECT_EQ(str(HKLM, "Software\\Admin", "v"), "kept");
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

TEST_F(RegistryStoreTest, TheUsersStoreIsPrivateTheMachineStoreIsNot) {
    const mode_t saved = ::umask(022);
    {
        RegistryStore fresh(win.file("fresh"));
        ASSERT_EQ(fresh.createKey(HKCU, "Software\\Orvid"), RegStatus::Ok);
        ASSERT_EQ(fresh.createKey(HKLM, "Software\\Orvid"), RegStatus::Ok);
    }
    EXPECT_EQ(modeOf(win.file("fresh/registry")), 0700);
    EXPECT_EQ(modeOf(win.file("fresh/registry/user.db")), 0600);
    EXPECT_EQ(modeOf(win.file("fresh/registry/machine.db")), 0644);

    // A store left readable by an earlier version is tightened when its owner opens it.
    ASSERT_EQ(::chmod(QFile::encodeName(win.file("fresh/registry/user.db")).constData(), 0664), 0);
    {
        RegistryStore again(win.file("fresh"));
        EXPECT_EQ(again.openKey(HKCU, "Software\\Orvid"), RegStatus::Ok);
    }
    EXPECT_EQ(modeOf(win.file("fresh/registry/user.db")), 0600);
    ::umask(saved);
}

TEST_F(RegistryStoreTest, ForeignOrDamagedFileIsNeverOverwritten) {
    const QByteArray foreign = "this is somebody's notes, not a registry\n";
    const QString path = win.write("registry/user.db", foreign);
    RegistryStore other(win.path());
    EXPECT_EQ(other.createKey(HKCU, "X"), RegStatus::StoreDamaged);
    EXPECT_THAT(other.lastError().toStdString(), ::testing::HasSubstr("user.db"));
    EXPECT_EQ(TestWindowsDir::read(path), foreign);

    // An SQLite file of another program is refused too.
    QFile::remove(path);
    win.write("registry/machine.db", QByteArray());
    RegistryStore third(win.path());
    EXPECT_EQ(third.openKey(HKLM, ""), RegStatus::StoreDamaged);
    EXPECT_EQ(QFile(win.file("registry/machine.db")).size(), 0);
}

TEST(RegistryNames, RootsInFullAndShort) {
    int32_t root = 0;
    QString path;
    ASSERT_TRUE(RegistryStore::parseKeyName("HKCU\\Software\\X", &root, &path));
    EXPECT_EQ(root, RegistryStore::CurrentUser);
    EXPECT_EQ(path, "Software\\X");
    ASSERT_TRUE(RegistryStore::parseKeyName("hkey_local_machine", &root, &path));
    EXPECT_EQ(root, RegistryStore::LocalMachine);
    EXPECT_TRUE(path.isEmpty());
    EXPECT_TRUE(RegistryStore::parseKeyName("HKCR\\.txt", &root, &path));
    EXPECT_TRUE(RegistryStore::parseKeyName("HKU\\.DEFAULT", &root, &path));
    EXPECT_FALSE(RegistryStore::parseKeyName("HKXX\\a", &root, &path));
}

} // namespace

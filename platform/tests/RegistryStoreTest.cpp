#include "RegistryStore.h"
#include "TestWindowsDir.h"

#include <QFile>

#include <functional>

#include <csignal>
#include <gmock/gmock.h>
#include <sqlite3.h>
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
    ASSERT_EQ(reg.setValue(HKCU, "K", "Zeta", REG_SZ, RegistryStore::stringData("àèì")),
              RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKCU, "K", "alpha", REG_DWORD, RegistryStore::dwordData(0xffffffffu)),
              RegStatus::Ok);
    ASSERT_EQ(reg.setValue(HKCU, "K", "", REG_SZ, RegistryStore::stringData("")), RegStatus::Ok);
    // Rewriting under another spelling keeps the first spelling and the place.
    ASSERT_EQ(reg.setValue(HKCU, "K", "ZETA", REG_SZ, RegistryStore::stringData("new")),
              RegStatus::Ok);

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
    ASSERT_EQ(reg.setValue(HKCU, "A\\B", "v", REG_SZ, RegistryStore::stringData("1")),
              RegStatus::Ok);
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
                failures += own.setValue(HKCU, "Race", QStringLiteral("v%1_%2").arg(w).arg(i),
                                         REG_SZ, RegistryStore::stringData("x")) != RegStatus::Ok;
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

// The machine's store (the packages' /var/lib/tarv) under a user with and without a machine
// store of their own (a per-user install).
TEST_F(RegistryStoreTest, MachineStoreIsReadByEveryoneUnderTheUsersOwn) {
    using Scope = RegistryStore::MachineStore;
    const QString machine = win.file("machine");
    {
        RegistryStore admin(win.file("root"), machine, Scope::System);
        ASSERT_EQ(admin.createKey(HKLM, "Software\\Sys"), RegStatus::Ok);
        ASSERT_EQ(
            admin.setValue(HKLM, "Software\\Sys", "v", REG_SZ, RegistryStore::stringData("sys")),
            RegStatus::Ok);
        ASSERT_EQ(
            admin.setValue(HKLM, "Software\\Sys", "w", REG_SZ, RegistryStore::stringData("sys")),
            RegStatus::Ok);
    }
    EXPECT_EQ(modeOf(machine + "/registry"), 0755);
    EXPECT_EQ(modeOf(machine + "/registry/machine.db"), 0644);
    EXPECT_FALSE(QFile::exists(win.file("root/registry/machine.db")));

    // A user with no store of their own works on the machine's, and reading makes none.
    RegistryStore plain(win.file("plain"), machine);
    EXPECT_EQ(plain.machineStorePath(), machine + "/registry/machine.db");
    uint32_t type = 0;
    QByteArray data;
    ASSERT_EQ(plain.queryValue(HKLM, "Software\\Sys", "v", &type, &data), RegStatus::Ok);
    EXPECT_EQ(RegistryStore::stringFromData(data), "sys");
    EXPECT_FALSE(QFile::exists(win.file("plain/registry/machine.db")));

    // A per-user install's own store wins where it has the name and adds its own keys.
    {
        RegistryStore install(win.file("own"), machine, Scope::User);
        ASSERT_EQ(install.createKey(HKLM, "Software\\Sys"), RegStatus::Ok);
        ASSERT_EQ(install.createKey(HKLM, "Software\\Own"), RegStatus::Ok);
        ASSERT_EQ(
            install.setValue(HKLM, "Software\\Sys", "W", REG_SZ, RegistryStore::stringData("own")),
            RegStatus::Ok);
    }
    const QByteArray machineBytes = TestWindowsDir::read(machine + "/registry/machine.db");
    RegistryStore own(win.file("own"), machine);
    EXPECT_EQ(own.machineStorePath(), win.file("own/registry/machine.db"));
    auto strOf = [&](const QString& name) {
        QByteArray d;
        return own.queryValue(HKLM, "Software\\Sys", name, nullptr, &d) == RegStatus::Ok
                   ? RegistryStore::stringFromData(d)
                   : QStringLiteral("<none>");
    };
    EXPECT_EQ(strOf("v"), "sys");
    EXPECT_EQ(strOf("w"), "own");
    QStringList values, keys;
    QString n;
    for (int i = 0; own.enumValue(HKLM, "Software\\Sys", i, &n) == RegStatus::Ok; ++i)
        values << n;
    for (int i = 0; own.enumKey(HKLM, "Software", i, &n) == RegStatus::Ok; ++i)
        keys << n;
    EXPECT_EQ(values, QStringList({"W", "v"}));
    EXPECT_EQ(keys, QStringList({"Classes", "Own", "Sys"}));
    EXPECT_EQ(own.enumKey(HKLM, "Software", 3, &n), RegStatus::NoMoreItems);
    // Writes and deletions stay in the user's own store.
    EXPECT_EQ(own.setValue(HKLM, "Software\\Sys", "v", REG_SZ, RegistryStore::stringData("mine")),
              RegStatus::Ok);
    EXPECT_EQ(strOf("v"), "mine");
    EXPECT_EQ(own.deleteValue(HKLM, "Software\\Sys", "v"), RegStatus::Ok);
    EXPECT_EQ(strOf("v"), "sys");
    EXPECT_EQ(TestWindowsDir::read(machine + "/registry/machine.db"), machineBytes);
}

TEST_F(RegistryStoreTest, PlainUserCannotChangeTheMachineStore) {
    const QString machine = win.file("machine");
    {
        RegistryStore admin(win.file("root"), machine, RegistryStore::MachineStore::System);
        ASSERT_EQ(admin.createKey(HKCR, "Tarv.Prova\\Clsid"), RegStatus::Ok);
    }
    const QString file = machine + "/registry/machine.db";
    const QByteArray before = TestWindowsDir::read(file);
    const QByteArray dir = QFile::encodeName(win.path());
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0) {
            chmod(dir.constData(), 0755);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(10);
        } else {
            chmod(QFile::encodeName(file).constData(), 0444);
        }
        RegistryStore user(win.file("user"), machine);
        if (user.openKey(HKCR, "Tarv.Prova\\Clsid") != RegStatus::Ok)
            _exit(11);
        const std::function<RegStatus()> writes[] = {
            [&] { return user.createKey(HKCR, "Tarv.Altro"); },
            [&] {
                return user.setValue(HKLM, "Software", "x", REG_SZ, RegistryStore::stringData("x"));
            },
            [&] { return user.deleteKey(HKCR, "Tarv.Prova\\Clsid"); },
        };
        for (const auto& w : writes)
            if (w() != RegStatus::AccessDenied || !user.lastError().contains("amministratore") ||
                !user.lastError().contains(file))
                _exit(12);
        _exit(QFile::exists(win.file("user/registry/machine.db")) ? 13 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TestWindowsDir::read(file), before);
}

// A writer killed at any moment leaves a whole store holding every write it was told was done.
TEST_F(RegistryStoreTest, KilledWriterLosesNoAcknowledgedWrite) {
    ASSERT_EQ(reg.createKey(HKCU, "Kill"), RegStatus::Ok);
    int acks[2];
    ASSERT_EQ(pipe(acks), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(acks[0]);
        RegistryStore own(win.path());
        for (int32_t i = 0;; ++i) {
            if (own.setValue(HKCU, "Kill", QStringLiteral("v%1").arg(i), REG_DWORD,
                             RegistryStore::dwordData(uint32_t(i))) != RegStatus::Ok)
                _exit(1);
            if (write(acks[1], &i, sizeof i) != sizeof i)
                _exit(2);
        }
    }
    close(acks[1]);
    int32_t last = -1;
    while (last < 150 && read(acks[0], &last, sizeof last) == sizeof last) {
    }
    kill(pid, SIGKILL);
    for (int32_t i; read(acks[0], &i, sizeof i) == sizeof i;)
        last = i;
    close(acks[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(last, 150);

    RegistryStore after(win.path());
    for (int32_t i = 0; i <= last; ++i) {
        QByteArray d;
        ASSERT_EQ(after.queryValue(HKCU, "Kill", QStringLiteral("v%1").arg(i), nullptr, &d),
                  RegStatus::Ok)
            << i;
        EXPECT_EQ(RegistryStore::dwordFromData(d), uint32_t(i));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(win.file("registry/user.db")).constData(), &db),
              SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
}

TEST_F(RegistryStoreTest, ReplacedSecretIsInNeitherTheFileNorItsLog) {
    ASSERT_EQ(reg.setPrivateValue("pw", "segreto-vecchio-1234"), RegStatus::Ok);
    ASSERT_EQ(reg.setPrivateValue("pw", "nuovo"), RegStatus::Ok);
    ASSERT_EQ(reg.setPrivateValue("pw2", "segreto-tolto-5678"), RegStatus::Ok);
    ASSERT_EQ(reg.deletePrivateValue("pw2"), RegStatus::Ok);
    for (const char* file : {"registry/user.db", "registry/user.db-wal"}) {
        const QByteArray bytes =
            QFile::exists(win.file(file)) ? TestWindowsDir::read(win.file(file)) : QByteArray();
        EXPECT_FALSE(bytes.contains("segreto-vecchio-1234")) << file;
        EXPECT_FALSE(bytes.contains("segreto-tolto-5678")) << file;
    }
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

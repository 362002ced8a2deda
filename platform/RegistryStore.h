#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

struct sqlite3;

namespace tarv {

// Value types of the registry, with their Windows numbers.
enum RegType : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
};

// Results with the Windows error numbers, so that callers can reason as the programs did.
enum class RegStatus : int {
    Ok = 0,
    NotFound = 2,        // ERROR_FILE_NOT_FOUND
    AccessDenied = 5,    // ERROR_ACCESS_DENIED
    InvalidHandle = 6,   // ERROR_INVALID_HANDLE: not a predefined root
    StoreDamaged = 1009, // ERROR_BADDB: the file is not a usable registry store
    NoMoreItems = 259,   // ERROR_NO_MORE_ITEMS
};

// The registry, kept in SQLite files under <Windows directory>/registry/:
//   user.db     HKEY_CURRENT_USER
//   machine.db  HKEY_LOCAL_MACHINE (HKEY_CLASSES_ROOT is its SOFTWARE\Classes)
//   users.db    HKEY_USERS
// Every call is one transaction of its own; several processes may use the same files.
// Names are compared without regard to case and kept as first written.
//
// A machine may also have a store of its own, <machine directory>/registry/machine.db
// (the packages' /var/lib/tarv), which its administrator writes and every user reads. The
// machine roots then work on the user's own machine.db when it exists (a per-user install),
// reading the machine's where the user's has nothing; without one of the user's, on the
// machine's store, which refuses the writes of users who may not write it.
class RegistryStore {
public:
    // Which machine store the machine roots work on.
    enum class MachineStore {
        Automatic, // the user's own when it exists, else the machine's when it exists
        User,      // the user's own, created when missing (a per-user install)
        System,    // the machine's, created when missing (its administrator's install)
    };

    static constexpr int32_t ClassesRoot = int32_t(0x80000000u);
    static constexpr int32_t CurrentUser = int32_t(0x80000001u);
    static constexpr int32_t LocalMachine = int32_t(0x80000002u);
    static constexpr int32_t Users = int32_t(0x80000003u);

    explicit RegistryStore(QString directory, QString machineDirectory = QString(),
                           MachineStore machineStore = MachineStore::Automatic);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    QString directory() const { return m_directory; }
    // The file the machine roots are written to (and read first).
    QString machineStorePath();

    RegStatus openKey(int32_t root, const QString& path);
    RegStatus createKey(int32_t root, const QString& path);
    // Deletes one key and its values; a key with subkeys is refused (AccessDenied).
    RegStatus deleteKey(int32_t root, const QString& path);

    RegStatus setValue(int32_t root, const QString& path, const QString& name, uint32_t type,
                       const QByteArray& data);
    RegStatus queryValue(int32_t root, const QString& path, const QString& name, uint32_t* type,
                         QByteArray* data);
    RegStatus deleteValue(int32_t root, const QString& path, const QString& name);

    // Values in the order they were first written; subkeys in alphabetical order.
    RegStatus enumValue(int32_t root, const QString& path, int index, QString* name,
                        uint32_t* type = nullptr, QByteArray* data = nullptr);
    RegStatus enumKey(int32_t root, const QString& path, int index, QString* name);

    // Private values of the current user: kept in the user's store file beside the keys but
    // outside the key tree, so that no registry call, query or export ever reaches them.
    // For secrets a program keeps for its user (the file is the user's alone). Overwritten and
    // removed data is zeroed in the file, not left in its free pages.
    RegStatus setPrivateValue(const QString& name, const QByteArray& data);
    RegStatus privateValue(const QString& name, QByteArray* data);
    RegStatus deletePrivateValue(const QString& name);

    // Why the last failed call failed, in words for a user; empty after a success.
    QString lastError() const;
    // Whether the last failure was a damaged file (or one that is no store of ours), rather
    // than one busy, unreadable or read-only.
    bool lastFailureIsDamage() const;

    // Root names: full ("HKEY_CURRENT_USER") and short ("HKCU").
    static QString rootName(int32_t root);
    static bool parseRoot(const QString& name, int32_t* root);
    // Splits "HKCU\Software\X" into root and path.
    static bool parseKeyName(const QString& fullName, int32_t* root, QString* path);

    // Helpers for REG_SZ data: UTF-8 with its terminating zero byte.
    static QByteArray stringData(const QString& text);
    static QString stringFromData(const QByteArray& data);
    static QByteArray dwordData(uint32_t value);
    static uint32_t dwordFromData(const QByteArray& data);

private:
    struct File;
    struct Location;
    class Operation;
    bool locate(int32_t root, const QString& path, Location* where);
    File* slotFor(const QString& fileName);
    File* systemSlot();
    bool openFile(File* file);
    void fail(const QString& why) const;
    template <class Read> RegStatus read(int32_t root, const QString& path, Read&& body);
    template <class Write> RegStatus write(int32_t root, const QString& path, Write&& body);

    QString m_directory;
    QString m_machineDirectory;
    MachineStore m_machineStore;
    std::unique_ptr<File> m_system;
    std::map<QString, std::unique_ptr<File>> m_files;
    mutable std::recursive_mutex m_mutex;
    mutable QString m_lastError;
    mutable bool m_lastWasDamage = false;
};

} // namespace tarv

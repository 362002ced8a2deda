#include "RegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QStringView>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace tarv {

namespace {

constexpr int kApplicationId = 0x54415256; // "TARV"; the schema below writes it in decimal
constexpr int kSchemaVersion = 1;
constexpr const char* kNotARoot = "not a registry root";

const char* const kSchema = R"sql(
PRAGMA application_id = 1413567062;
PRAGMA user_version = 1;
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id),
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    UNIQUE(parent, folded));
CREATE TABLE vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL REFERENCES keys(id),
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
INSERT INTO keys(id, parent, name, folded) VALUES (1, NULL, '', '');
INSERT INTO keys(id, parent, name, folded) VALUES (2, 1, 'SOFTWARE', 'software');
INSERT INTO keys(id, parent, name, folded) VALUES (3, 2, 'Classes', 'classes');
)sql";

QString fold(const QString& name) {
    return name.toCaseFolded();
}

// Stored UTF-8 back to text exactly as it was written. QString::fromUtf8 drops a leading
// U+FEFF as a byte-order mark: a key named with it alone would come back nameless and stand
// for its own parent.
QString exactUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QStringList splitPath(const QString& path) {
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts))
        parts << part;
    return parts;
}

// One connection to a store file, with its statements prepared once and kept: a registry
// call runs a handful of short statements, and preparing them anew each time cost more than
// running them.
struct Connection {
    sqlite3* db = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> prepared; // by the text's address

    sqlite3_stmt* statement(const char* sql) {
        const auto found = prepared.find(sql);
        if (found != prepared.end())
            return found->second;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(stmt);
            return nullptr; // e.g. a table not made yet: prepared again next time
        }
        prepared.emplace(sql, stmt);
        return stmt;
    }
    void close() {
        for (const auto& entry : prepared)
            sqlite3_finalize(entry.second);
        prepared.clear();
        sqlite3_close_v2(db);
        db = nullptr;
    }
    ~Connection() { close(); }
};

// A statement of the connection's, reset for its next use when it goes out of scope.
class Statement {
public:
    Statement(Connection& c, const char* sql) : m_stmt(c.statement(sql)) {}
    ~Statement() {
        if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return m_stmt != nullptr; }
    void bind(int i, qint64 v) {
        if (m_stmt)
            sqlite3_bind_int64(m_stmt, i, v);
    }
    void bind(int i, const QString& s) {
        const QByteArray u = s.toUtf8();
        if (m_stmt)
            sqlite3_bind_text(m_stmt, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, const QByteArray& b) {
        if (m_stmt)
            sqlite3_bind_blob(m_stmt, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    qint64 integer(int c) const { return sqlite3_column_int64(m_stmt, c); }
    QString text(int c) const {
        return exactUtf8(
            QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c)),
                           sqlite3_column_bytes(m_stmt, c)));
    }
    QByteArray blob(int c) const {
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, c)),
                          sqlite3_column_bytes(m_stmt, c));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// A statement run once (the checks made when a file is opened); nothing when it fails.
std::optional<qint64> pragmaValue(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::optional<qint64> value;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

bool isDamage(int code) {
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

const char* const kDamagedTail =
    " è danneggiato o non è un archivio del registro: è stato lasciato com'era";

QString damagedText(const QString& path) {
    return QStringLiteral("il registro ") + path + QString::fromUtf8(kDamagedTail);
}

} // namespace

struct RegistryStore::File {
    QString path;
    Connection conn;
    bool readOnly = false;
    // The user's own store: every program's settings of one user, for nobody else to read.
    bool userPrivate = false;
    // A machine store: read by users who may not write its folder, so it keeps SQLite's
    // rollback journal, which readers need not create files for (the write-ahead log wants
    // its -shm file made or written by every reader).
    bool shared = false;
    // The machine's own store, which only its administrator writes.
    bool system = false;
};

struct RegistryStore::Location {
    File* file = nullptr;
    File* fallback = nullptr; // the machine's store under the user's own machine store
    QStringList parts;        // path below the file's root key
};

RegistryStore::RegistryStore(QString directory, QString machineDirectory, MachineStore machineStore)
    : m_directory(std::move(directory)), m_machineDirectory(std::move(machineDirectory)),
      m_machineStore(machineStore) {}

RegistryStore::~RegistryStore() = default;

void RegistryStore::fail(const QString& why) const {
    m_lastError = why;
    m_lastWasDamage = why.endsWith(QString::fromUtf8(kDamagedTail));
}

bool RegistryStore::lastFailureIsDamage() const {
    std::lock_guard lock(m_mutex);
    return m_lastWasDamage;
}

QString RegistryStore::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

QString RegistryStore::rootName(int32_t root) {
    switch (root) {
    case ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case Users:
        return QStringLiteral("HKEY_USERS");
    default:
        return QString();
    }
}

bool RegistryStore::parseRoot(const QString& name, int32_t* root) {
    static const struct {
        const char* full;
        const char* brief;
        int32_t root;
    } roots[] = {{"HKEY_CLASSES_ROOT", "HKCR", ClassesRoot},
                 {"HKEY_CURRENT_USER", "HKCU", CurrentUser},
                 {"HKEY_LOCAL_MACHINE", "HKLM", LocalMachine},
                 {"HKEY_USERS", "HKU", Users}};
    for (const auto& r : roots) {
        if (name.compare(QLatin1String(r.full), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String(r.brief), Qt::CaseInsensitive) == 0) {
            *root = r.root;
            return true;
        }
    }
    return false;
}

bool RegistryStore::parseKeyName(const QString& fullName, int32_t* root, QString* path) {
    const qsizetype slash = fullName.indexOf(QLatin1Char('\\'));
    const QString rootText = slash < 0 ? fullName : fullName.left(slash);
    if (!parseRoot(rootText, root))
        return false;
    *path = slash < 0 ? QString() : fullName.mid(slash + 1);
    return true;
}

QByteArray RegistryStore::stringData(const QString& text) {
    QByteArray data = text.toUtf8();
    data.append('\0');
    return data;
}

QString RegistryStore::stringFromData(const QByteArray& data) {
    const qsizetype zero = data.indexOf('\0');
    return exactUtf8(zero < 0 ? data : data.left(zero));
}

QByteArray RegistryStore::dwordData(uint32_t value) {
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = char((value >> (8 * i)) & 0xff);
    return data;
}

uint32_t RegistryStore::dwordFromData(const QByteArray& data) {
    uint32_t value = 0;
    for (int i = 0; i < 4 && i < data.size(); ++i)
        value |= uint32_t(uint8_t(data[i])) << (8 * i);
    return value;
}

bool RegistryStore::openFile(File* file) {
    if (file->conn.db)
        return true;
    // The folder of a user's stores is made for the user alone, the machine's for everyone to
    // read; one that exists keeps its mode.
    const QString folder = QFileInfo(file->path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        ::mkdir(QFile::encodeName(folder).constData(), file->system ? 0755 : 0700);
    }
    const QByteArray native = QFile::encodeName(file->path);

    if (!QFileInfo::exists(file->path)) {
        // A new store is built aside and moved into place in one step, so that no other
        // process ever sees a half-made file and an existing file is never overwritten.
        const QByteArray temp = native + ".new." + QByteArray::number(qint64(getpid()));
        ::unlink(temp.constData());
        sqlite3* db = nullptr;
        bool made =
            sqlite3_open_v2(temp.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) == SQLITE_OK &&
            sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close_v2(db);
        made = made && (!file->userPrivate || ::chmod(temp.constData(), 0600) == 0) &&
               (!file->system || ::chmod(temp.constData(), 0644) == 0);
        if (!made) {
            ::unlink(temp.constData());
            fail(::access(QFile::encodeName(folder).constData(), W_OK) != 0
                     ? (file->system ? QStringLiteral("accesso negato: il registro della macchina "
                                                      "%1 può essere creato solo "
                                                      "dall'amministratore")
                                     : QStringLiteral("accesso negato: impossibile creare il "
                                                      "registro %1"))
                           .arg(file->path)
                     : QStringLiteral("impossibile creare il registro %1").arg(file->path));
            return false;
        }
        if (::link(temp.constData(), native.constData()) != 0 && errno != EEXIST) {
            const QString why = QString::fromLocal8Bit(strerror(errno));
            ::unlink(temp.constData());
            fail(QStringLiteral("impossibile creare il registro %1: %2").arg(file->path, why));
            return false;
        }
        ::unlink(temp.constData());
    }

    if (QFileInfo(file->path).size() == 0) {
        fail(damagedText(file->path));
        return false;
    }
    file->readOnly = ::access(native.constData(), W_OK) != 0;
    const int flags =
        (file->readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(native.constData(), &db, flags, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("impossibile aprire il registro %1: %2")
                 .arg(file->path, QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_busy_timeout(db, 30000);
    sqlite3_extended_result_codes(db, 1);
    const std::optional<qint64> appId = pragmaValue(db, "PRAGMA application_id");
    const std::optional<qint64> version = appId ? pragmaValue(db, "PRAGMA user_version") : appId;
    // Only a file that answers, and answers wrong, or that SQLite finds damaged, is damaged;
    // a store busy past the timeout or unreadable is said as such.
    if (!version && !isDamage(sqlite3_errcode(db))) {
        fail(QStringLiteral("il registro %1 non può essere letto: %2")
                 .arg(file->path, QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_close_v2(db);
        return false;
    }
    if (appId != kApplicationId || version != kSchemaVersion) {
        fail(damagedText(file->path));
        sqlite3_close_v2(db);
        return false;
    }
    // A user's store keeps the write-ahead log: a change costs one write and one flush to
    // disk, and readers never wait for a writer. Every commit is on disk when it returns.
    if (!file->readOnly && !file->shared)
        sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    // A user's store made before it was kept private (or copied in) is made private when its
    // owner opens it (only a file that is a store of ours); someone else's file is only read.
    struct stat st {};
    if (file->userPrivate && ::stat(native.constData(), &st) == 0 && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(native.constData(), st.st_mode & 0700);
    file->conn.db = db;
    return true;
}

RegistryStore::File* RegistryStore::slotFor(const QString& fileName) {
    auto& slot = m_files[fileName];
    if (!slot) {
        slot = std::make_unique<File>();
        slot->path = m_directory + QStringLiteral("/registry/") + fileName;
        slot->userPrivate = fileName == QLatin1String("user.db");
        slot->shared = fileName == QLatin1String("machine.db");
    }
    return slot.get();
}

RegistryStore::File* RegistryStore::systemSlot() {
    if (m_machineDirectory.isEmpty())
        return nullptr;
    if (!m_system) {
        const QString path =
            QDir::cleanPath(m_machineDirectory) + QStringLiteral("/registry/machine.db");
        if (QFileInfo(path).absoluteFilePath() ==
            QFileInfo(slotFor(QStringLiteral("machine.db"))->path).absoluteFilePath())
            return nullptr; // the Windows directory is the machine's: one store
        m_system = std::make_unique<File>();
        m_system->path = path;
        m_system->shared = true;
        m_system->system = true;
    }
    return m_system.get();
}

QString RegistryStore::machineStorePath() {
    std::lock_guard lock(m_mutex);
    Location where;
    return locate(LocalMachine, QString(), &where) ? where.file->path : QString();
}

bool RegistryStore::locate(int32_t root, const QString& path, Location* where) {
    QString fileName;
    QStringList prefix;
    switch (root) {
    case CurrentUser:
        fileName = QStringLiteral("user.db");
        break;
    case LocalMachine:
        fileName = QStringLiteral("machine.db");
        break;
    case ClassesRoot:
        fileName = QStringLiteral("machine.db");
        prefix = {QStringLiteral("SOFTWARE"), QStringLiteral("Classes")};
        break;
    case Users:
        fileName = QStringLiteral("users.db");
        break;
    default:
        fail(QLatin1String(kNotARoot));
        return false;
    }
    File* file = slotFor(fileName);
    if (fileName == QLatin1String("machine.db")) {
        File* system = systemSlot();
        const bool ownExists = QFileInfo::exists(file->path);
        const bool systemExists = system && QFileInfo::exists(system->path);
        switch (m_machineStore) {
        case MachineStore::User:
            break;
        case MachineStore::System:
            if (system)
                file = system;
            break;
        case MachineStore::Automatic:
            if (!ownExists && systemExists)
                file = system;
            break;
        }
        // Under the user's own store, the machine's is read where the user's has nothing. One
        // that cannot be opened is left out: the user's own store still works.
        if (file != system && systemExists && openFile(system))
            where->fallback = system;
    }
    if (!openFile(file))
        return false;
    where->file = file;
    where->parts = prefix + splitPath(path);
    return true;
}

namespace {

// Runs one transaction on a connection; rolls back unless commit() was called.
class Transaction {
public:
    Transaction(Connection& c, bool write) : m_conn(c) {
        Statement begin(c, write ? "BEGIN IMMEDIATE" : "BEGIN");
        m_ok = begin.step() == SQLITE_DONE;
    }
    ~Transaction() {
        if (m_ok && !m_done) {
            Statement rollback(m_conn, "ROLLBACK");
            rollback.step();
        }
    }
    bool ok() const { return m_ok; }
    // A commit that fails (a reader holding the file past the busy timeout) is rolled back, so
    // the connection is never left inside a transaction.
    bool commit() {
        Statement commit(m_conn, "COMMIT");
        m_done = commit.step() == SQLITE_DONE;
        return m_done;
    }

private:
    Connection& m_conn;
    bool m_ok = false;
    bool m_done = false;
};

// Follows the path from the file's root key; 0 when a part is missing.
qint64 findKey(Connection& c, const QStringList& parts) {
    qint64 id = 1;
    for (const QString& part : parts) {
        Statement st(c, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
        st.bind(1, id);
        st.bind(2, fold(part));
        if (st.step() != SQLITE_ROW)
            return 0;
        id = st.integer(0);
    }
    return id;
}

} // namespace

// One public operation on one root: the store's lock, the file located, one transaction per
// file read. `body(connection, key id, parts)` runs inside the transaction.
template <class Read>
RegStatus RegistryStore::read(int32_t root, const QString& path, Read&& body) {
    std::lock_guard lock(m_mutex);
    fail(QString());
    Location where;
    if (!locate(root, path, &where))
        return m_lastError == QLatin1String(kNotARoot) ? RegStatus::InvalidHandle
                                                       : RegStatus::StoreDamaged;
    const auto in = [&](File* file) {
        Transaction tx(file->conn, false);
        if (!tx.ok()) {
            const int code = sqlite3_errcode(file->conn.db);
            fail(isDamage(code)
                     ? damagedText(file->path)
                     : QStringLiteral("il registro %1 non può essere letto: %2")
                           .arg(file->path, QString::fromUtf8(sqlite3_errmsg(file->conn.db))));
            return RegStatus::StoreDamaged;
        }
        const qint64 id = findKey(file->conn, where.parts);
        const int code = sqlite3_errcode(file->conn.db);
        if (!id && isDamage(code)) {
            fail(damagedText(file->path));
            return RegStatus::StoreDamaged;
        }
        return body(file->conn, id);
    };
    const RegStatus first = in(where.file);
    if (first != RegStatus::NotFound || !where.fallback)
        return first;
    const RegStatus second = in(where.fallback);
    return second == RegStatus::Ok ? second : first;
}

template <class Write>
RegStatus RegistryStore::write(int32_t root, const QString& path, Write&& body) {
    std::lock_guard lock(m_mutex);
    fail(QString());
    Location where;
    if (!locate(root, path, &where))
        return m_lastError == QLatin1String(kNotARoot) ? RegStatus::InvalidHandle
                                                       : RegStatus::StoreDamaged;
    File* file = where.file;
    const auto denied = [&] {
        fail(file->system
                 ? QStringLiteral("accesso negato: il registro della macchina %1 può essere "
                                  "modificato solo dall'amministratore")
                       .arg(file->path)
                 : QStringLiteral("accesso negato: il registro %1 è di sola lettura")
                       .arg(file->path));
        return RegStatus::AccessDenied;
    };
    if (file->readOnly)
        return denied();
    Connection& c = file->conn;
    const auto failed = [&] {
        const int code = sqlite3_errcode(c.db);
        if ((code & 0xff) == SQLITE_READONLY)
            return denied();
        fail(isDamage(code) ? damagedText(file->path)
                            : QStringLiteral("impossibile scrivere il registro %1: %2")
                                  .arg(file->path, QString::fromUtf8(sqlite3_errmsg(c.db))));
        return RegStatus::StoreDamaged;
    };
    Transaction tx(c, true);
    if (!tx.ok())
        return failed();
    const qint64 id = findKey(c, where.parts);
    if (!id && isDamage(sqlite3_errcode(c.db)))
        return failed();
    const RegStatus status = body(c, id, where.parts);
    if (status == RegStatus::StoreDamaged)
        return failed();
    if (status != RegStatus::Ok)
        return status;
    return tx.commit() ? RegStatus::Ok : failed();
}

// Bodies report a failed statement as StoreDamaged; write() puts the store's own words on it.
RegStatus RegistryStore::openKey(int32_t root, const QString& path) {
    return read(root, path,
                [](Connection&, qint64 id) { return id ? RegStatus::Ok : RegStatus::NotFound; });
}

RegStatus RegistryStore::createKey(int32_t root, const QString& path) {
    return write(root, path, [](Connection& c, qint64 found, const QStringList& parts) {
        if (found)
            return RegStatus::Ok;
        qint64 id = 1;
        for (const QString& part : parts) {
            {
                Statement find(c, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
                find.bind(1, id);
                find.bind(2, fold(part));
                if (find.step() == SQLITE_ROW) {
                    id = find.integer(0);
                    continue;
                }
            }
            Statement add(c, "INSERT INTO keys(parent, name, folded) VALUES (?1, ?2, ?3)");
            add.bind(1, id);
            add.bind(2, part);
            add.bind(3, fold(part));
            if (add.step() != SQLITE_DONE)
                return RegStatus::StoreDamaged;
            id = sqlite3_last_insert_rowid(c.db);
        }
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::deleteKey(int32_t root, const QString& path) {
    return write(root, path, [](Connection& c, qint64 id, const QStringList&) {
        if (!id)
            return RegStatus::NotFound;
        if (id == 1)
            return RegStatus::AccessDenied; // a root cannot be deleted
        {
            Statement children(c, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
            children.bind(1, id);
            if (children.step() == SQLITE_ROW)
                return RegStatus::AccessDenied;
        }
        Statement dropValues(c, "DELETE FROM vals WHERE key = ?1");
        dropValues.bind(1, id);
        Statement dropKey(c, "DELETE FROM keys WHERE id = ?1");
        dropKey.bind(1, id);
        if (dropValues.step() != SQLITE_DONE || dropKey.step() != SQLITE_DONE)
            return RegStatus::StoreDamaged;
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::setValue(int32_t root, const QString& path, const QString& name,
                                  uint32_t type, const QByteArray& data) {
    return write(root, path, [&](Connection& c, qint64 id, const QStringList&) {
        if (!id)
            return RegStatus::NotFound;
        // An existing value keeps its place in the enumeration and its spelling.
        const QString folded = fold(name);
        {
            Statement update(c,
                             "UPDATE vals SET type = ?3, data = ?4 WHERE key = ?1 AND folded = ?2");
            update.bind(1, id);
            update.bind(2, folded);
            update.bind(3, qint64(type));
            update.bind(4, data);
            if (update.step() != SQLITE_DONE)
                return RegStatus::StoreDamaged;
        }
        if (sqlite3_changes(c.db) == 0) {
            Statement insert(
                c, "INSERT INTO vals(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
            insert.bind(1, id);
            insert.bind(2, name);
            insert.bind(3, folded);
            insert.bind(4, qint64(type));
            insert.bind(5, data);
            if (insert.step() != SQLITE_DONE)
                return RegStatus::StoreDamaged;
        }
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::queryValue(int32_t root, const QString& path, const QString& name,
                                    uint32_t* type, QByteArray* data) {
    return read(root, path, [&](Connection& c, qint64 id) {
        if (!id)
            return RegStatus::NotFound;
        Statement st(c, "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2");
        st.bind(1, id);
        st.bind(2, fold(name));
        if (st.step() != SQLITE_ROW)
            return RegStatus::NotFound;
        if (type)
            *type = uint32_t(st.integer(0));
        if (data)
            *data = st.blob(1);
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::deleteValue(int32_t root, const QString& path, const QString& name) {
    return write(root, path, [&](Connection& c, qint64 id, const QStringList&) {
        if (!id)
            return RegStatus::NotFound;
        Statement st(c, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
        st.bind(1, id);
        st.bind(2, fold(name));
        if (st.step() != SQLITE_DONE)
            return RegStatus::StoreDamaged;
        return sqlite3_changes(c.db) == 0 ? RegStatus::NotFound : RegStatus::Ok;
    });
}

namespace {

struct NamedValue {
    QString name;
    uint32_t type = 0;
    QByteArray data;
};

} // namespace

// Enumerations over the user's machine store and the machine's: the user's values in their
// order, then the machine's that the user's does not have; subkeys of both in one
// alphabetical list. Without a second store, the one asked for by its index.
RegStatus RegistryStore::enumValue(int32_t root, const QString& path, int index, QString* name,
                                   uint32_t* type, QByteArray* data) {
    if (index < 0) {
        const RegStatus s = openKey(root, path);
        return s == RegStatus::Ok ? RegStatus::NoMoreItems : s;
    }
    std::vector<NamedValue> all;
    QSet<QString> seen;
    bool found = false;
    std::lock_guard lock(m_mutex);
    const RegStatus status = read(root, path, [&](Connection& c, qint64 id) {
        if (!id)
            return RegStatus::NotFound;
        found = true;
        Statement st(c, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id");
        st.bind(1, id);
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) {
            NamedValue v{st.text(0), uint32_t(st.integer(1)), st.blob(2)};
            if (!seen.contains(fold(v.name))) {
                seen.insert(fold(v.name));
                all.push_back(std::move(v));
            }
        }
        // Both stores are read: NotFound asks read() for the machine's as well.
        return rc == SQLITE_DONE ? RegStatus::NotFound : RegStatus::StoreDamaged;
    });
    if (status == RegStatus::StoreDamaged || status == RegStatus::InvalidHandle)
        return status;
    if (!found)
        return RegStatus::NotFound;
    if (size_t(index) >= all.size())
        return RegStatus::NoMoreItems;
    const NamedValue& v = all[size_t(index)];
    if (name)
        *name = v.name;
    if (type)
        *type = v.type;
    if (data)
        *data = v.data;
    fail(QString());
    return RegStatus::Ok;
}

RegStatus RegistryStore::enumKey(int32_t root, const QString& path, int index, QString* name) {
    if (index < 0) {
        const RegStatus s = openKey(root, path);
        return s == RegStatus::Ok ? RegStatus::NoMoreItems : s;
    }
    std::map<QString, QString> all; // folded -> as written
    bool found = false;
    std::lock_guard lock(m_mutex);
    const RegStatus status = read(root, path, [&](Connection& c, qint64 id) {
        if (!id)
            return RegStatus::NotFound;
        found = true;
        Statement st(c, "SELECT name, folded FROM keys WHERE parent = ?1");
        st.bind(1, id);
        int rc;
        while ((rc = st.step()) == SQLITE_ROW)
            all.emplace(st.text(1), st.text(0));
        return rc == SQLITE_DONE ? RegStatus::NotFound : RegStatus::StoreDamaged;
    });
    if (status == RegStatus::StoreDamaged || status == RegStatus::InvalidHandle)
        return status;
    if (!found)
        return RegStatus::NotFound;
    if (size_t(index) >= all.size())
        return RegStatus::NoMoreItems;
    auto it = all.begin();
    std::advance(it, index);
    if (name)
        *name = it->second;
    fail(QString());
    return RegStatus::Ok;
}

namespace {

const char* const kPrivateTable =
    "CREATE TABLE IF NOT EXISTS private_vals(name TEXT PRIMARY KEY, data BLOB NOT NULL)";

bool privateTableExists(Connection& c) {
    Statement st(c, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'private_vals'");
    return st.step() == SQLITE_ROW;
}

// Replaced and deleted secrets are zeroed where they lay, and the log that held their pages
// is emptied into the file, so that neither the file nor its log keeps them.
void wipeAfter(Connection& c) {
    sqlite3_exec(c.db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
}

} // namespace

RegStatus RegistryStore::setPrivateValue(const QString& name, const QByteArray& data) {
    RegStatus status =
        write(CurrentUser, QString(), [&](Connection& c, qint64, const QStringList&) {
            sqlite3_exec(c.db, "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr);
            if (sqlite3_exec(c.db, kPrivateTable, nullptr, nullptr, nullptr) != SQLITE_OK)
                return RegStatus::StoreDamaged;
            Statement st(c, "INSERT OR REPLACE INTO private_vals(name, data) VALUES (?1, ?2)");
            st.bind(1, name);
            st.bind(2, data);
            return st.step() == SQLITE_DONE ? RegStatus::Ok : RegStatus::StoreDamaged;
        });
    if (status == RegStatus::Ok)
        wipeAfter(m_files[QStringLiteral("user.db")]->conn);
    return status;
}

RegStatus RegistryStore::privateValue(const QString& name, QByteArray* data) {
    return read(CurrentUser, QString(), [&](Connection& c, qint64) {
        if (!privateTableExists(c))
            return RegStatus::NotFound;
        Statement st(c, "SELECT data FROM private_vals WHERE name = ?1");
        st.bind(1, name);
        if (st.step() != SQLITE_ROW)
            return RegStatus::NotFound;
        *data = st.blob(0);
        return RegStatus::Ok;
    });
}

RegStatus RegistryStore::deletePrivateValue(const QString& name) {
    RegStatus status =
        write(CurrentUser, QString(), [&](Connection& c, qint64, const QStringList&) {
            if (!privateTableExists(c))
                return RegStatus::NotFound;
            sqlite3_exec(c.db, "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr);
            Statement st(c, "DELETE FROM private_vals WHERE name = ?1");
            st.bind(1, name);
            if (st.step() != SQLITE_DONE)
                return RegStatus::StoreDamaged;
            return sqlite3_changes(c.db) == 0 ? RegStatus::NotFound : RegStatus::Ok;
        });
    if (status == RegStatus::Ok)
        wipeAfter(m_files[QStringLiteral("user.db")]->conn);
    return status;
}

} // namespace tarv

#include "RegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringView>

#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString fold(const QString& name) { return name.toCaseFolded(); }

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

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    bool ok() const { return m_rc == SQLITE_OK; }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, const QString& s) {
        QByteArray u = s.toUtf8();
        sqlite3_bind_text(m_stmt, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, const QByteArray& b) {
        sqlite3_bind_blob(m_stmt, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(m_stmt); }
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
    int m_rc = SQLITE_ERROR;
};

} // namespace

struct RegistryStore::File {
    QString path;
    sqlite3* db = nullptr;
    bool readOnly = false;
    // The user's own store: every program's settings of one user, for nobody else to read.
    bool userPrivate = false;
    ~File() {
        if (db)
            sqlite3_close_v2(db);
    }
};

struct RegistryStore::Location {
    File* file = nullptr;
    QStringList parts; // path below the file's root key
};

RegistryStore::RegistryStore(QString directory) : m_directory(std::move(directory)) {}

RegistryStore::~RegistryStore() = default;

void RegistryStore::fail(const QString& why) const { m_lastError = why; }

QString RegistryStore::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

QString RegistryStore::rootName(int32_t root) {
    switch (root) {
    case ClassesRoot: return QStringLiteral("HKEY_CLASSES_ROOT");
    case CurrentUser: return QStringLiteral("HKEY_CURRENT_USER");
    case LocalMachine: return QStringLiteral("HKEY_LOCAL_MACHINE");
    case Users: return QStringLiteral("HKEY_USERS");
    default: return QString();
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
    if (file->db)
        return true;
    // The folder of the stores is made for the user alone; one that exists keeps its mode.
    const QString folder = QFileInfo(file->path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
    const QByteArray native = QFile::encodeName(file->path);

    if (!QFileInfo::exists(file->path)) {
        // A new store is built aside and moved into place in one step, so that no other
        // process ever sees a half-made file and an existing file is never overwritten.
        const QByteArray temp = native + ".new." + QByteArray::number(qint64(getpid()));
        ::unlink(temp.constData());
        sqlite3* db = nullptr;
        bool made = sqlite3_open_v2(temp.constData(), &db,
                                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close_v2(db);
        made = made && (!file->userPrivate || ::chmod(temp.constData(), 0600) == 0);
        if (!made) {
            ::unlink(temp.constData());
            fail(QStringLiteral("cannot create the registry store %1").arg(file->path));
            return false;
        }
        if (::link(temp.constData(), native.constData()) != 0 && errno != EEXIST) {
            ::unlink(temp.constData());
            fail(QStringLiteral("cannot create the registry store %1: %2")
                     .arg(file->path, QString::fromLocal8Bit(strerror(errno))));
            return false;
        }
        ::unlink(temp.constData());
    }

    if (QFileInfo(file->path).size() == 0) {
        fail(QStringLiteral("%1 is empty: it is not a registry store; it was left untouched")
                 .arg(file->path));
        return false;
    }
    file->readOnly = ::access(native.constData(), W_OK) != 0;
    const int flags = (file->readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_FULLMUTEX;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(native.constData(), &db, flags, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("cannot open the registry store %1: %2")
                 .arg(file->path, QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_busy_timeout(db, 30000);
    sqlite3_extended_result_codes(db, 1);
    int appId = 0, version = 0;
    {
        Statement st(db, "PRAGMA application_id");
        if (st.ok() && st.step() == SQLITE_ROW)
            appId = int(st.integer(0));
    }
    {
        Statement st(db, "PRAGMA user_version");
        if (st.ok() && st.step() == SQLITE_ROW)
            version = int(st.integer(0));
    }
    if (appId != kApplicationId || version != kSchemaVersion) {
        fail(QStringLiteral("%1 is damaged or is not a registry store; it was left untouched")
                 .arg(file->path));
        sqlite3_close_v2(db);
        return false;
    }
    // A user's store made before it was kept private (or copied in) is made private when its
    // owner opens it (only a file that is a store of ours); someone else's file is only read.
    struct stat st {};
    if (file->userPrivate && ::stat(native.constData(), &st) == 0 && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(native.constData(), st.st_mode & 0700);
    file->db = db;
    return true;
}

RegistryStore::File* RegistryStore::fileFor(const QString& fileName) {
    auto& slot = m_files[fileName];
    if (!slot) {
        slot = std::make_unique<File>();
        slot->path = m_directory + QStringLiteral("/registry/") + fileName;
        slot->userPrivate = fileName == QLatin1String("user.db");
    }
    return openFile(slot.get()) ? slot.get() : nullptr;
}

bool RegistryStore::locate(int32_t root, const QString& path, Location* where) {
    QString fileName;
    QStringList prefix;
    switch (root) {
    case CurrentUser: fileName = QStringLiteral("user.db"); break;
    case LocalMachine: fileName = QStringLiteral("machine.db"); break;
    case ClassesRoot:
        fileName = QStringLiteral("machine.db");
        prefix = {QStringLiteral("SOFTWARE"), QStringLiteral("Classes")};
        break;
    case Users: fileName = QStringLiteral("users.db"); break;
    default: fail(QLatin1String(kNotARoot)); return false;
    }
    where->file = fileFor(fileName);
    if (!where->file)
        return false;
    where->parts = prefix + splitPath(path);
    return true;
}

namespace {

// Runs one transaction; rolls back unless commit() was called.
class Transaction {
public:
    Transaction(sqlite3* db, bool write) : m_db(db) {
        m_ok = sqlite3_exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr) ==
               SQLITE_OK;
    }
    ~Transaction() {
        if (m_ok && !m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool ok() const { return m_ok; }
    bool commit() {
        m_done = true;
        return sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    sqlite3* m_db;
    bool m_ok = false;
    bool m_done = false;
};

// Follows the path from the file's root key; 0 when a part is missing.
qint64 findKey(sqlite3* db, const QStringList& parts) {
    qint64 id = 1;
    for (const QString& part : parts) {
        Statement st(db, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
        st.bind(1, id);
        st.bind(2, fold(part));
        if (st.step() != SQLITE_ROW)
            return 0;
        id = st.integer(0);
    }
    return id;
}

} // namespace

// One public operation: the store's lock, the file located, one transaction.
class RegistryStore::Operation {
public:
    Operation(RegistryStore& store, int32_t root, const QString& path, bool write)
        : m_store(store), m_lock(store.m_mutex) {
        store.m_lastError.clear();
        if (!store.locate(root, path, &m_where)) {
            m_status = store.m_lastError == QLatin1String(kNotARoot) ? RegStatus::InvalidHandle
                                                                     : RegStatus::StoreDamaged;
            return;
        }
        if (write && m_where.file->readOnly) {
            store.fail(QStringLiteral("%1 is read-only").arg(m_where.file->path));
            m_status = RegStatus::AccessDenied;
            return;
        }
        m_tx.emplace(m_where.file->db, write);
        if (!m_tx->ok()) {
            store.fail(QStringLiteral("the registry store %1 cannot be used: %2")
                           .arg(m_where.file->path, QString::fromUtf8(sqlite3_errmsg(db()))));
            m_status = RegStatus::StoreDamaged;
        }
    }
    // Ok when the operation may go on.
    RegStatus status() const { return m_status; }
    sqlite3* db() const { return m_where.file->db; }
    const QStringList& parts() const { return m_where.parts; }
    // The failure of a write statement, with the store's words.
    RegStatus writeFailed() {
        m_store.fail(QStringLiteral("the registry store %1 could not be written: %2")
                         .arg(m_where.file->path, QString::fromUtf8(sqlite3_errmsg(db()))));
        return sqlite3_errcode(db()) == SQLITE_READONLY ? RegStatus::AccessDenied
                                                        : RegStatus::StoreDamaged;
    }
    RegStatus commit() { return m_tx->commit() ? RegStatus::Ok : writeFailed(); }

private:
    RegistryStore& m_store;
    std::lock_guard<std::recursive_mutex> m_lock;
    Location m_where;
    std::optional<Transaction> m_tx;
    RegStatus m_status = RegStatus::Ok;
};

RegStatus RegistryStore::openKey(int32_t root, const QString& path) {
    Operation op(*this, root, path, false);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    return findKey(db, op.parts()) ? RegStatus::Ok : RegStatus::NotFound;
}

RegStatus RegistryStore::createKey(int32_t root, const QString& path) {
    Operation op(*this, root, path, true);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    qint64 id = 1;
    for (const QString& part : op.parts()) {
        Statement find(db, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
        find.bind(1, id);
        find.bind(2, fold(part));
        if (find.step() == SQLITE_ROW) {
            id = find.integer(0);
            continue;
        }
        Statement add(db, "INSERT INTO keys(parent, name, folded) VALUES (?1, ?2, ?3)");
        add.bind(1, id);
        add.bind(2, part);
        add.bind(3, fold(part));
        if (add.step() != SQLITE_DONE)
            return op.writeFailed();
        id = sqlite3_last_insert_rowid(db);
    }
    return op.commit();
}

RegStatus RegistryStore::deleteKey(int32_t root, const QString& path) {
    Operation op(*this, root, path, true);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    const qint64 id = findKey(db, op.parts());
    if (!id)
        return RegStatus::NotFound;
    if (id == 1)
        return RegStatus::AccessDenied; // a root cannot be deleted
    {
        Statement children(db, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
        children.bind(1, id);
        if (children.step() == SQLITE_ROW)
            return RegStatus::AccessDenied;
    }
    Statement dropValues(db, "DELETE FROM vals WHERE key = ?1");
    dropValues.bind(1, id);
    Statement dropKey(db, "DELETE FROM keys WHERE id = ?1");
    dropKey.bind(1, id);
    if (dropValues.step() != SQLITE_DONE || dropKey.step() != SQLITE_DONE)
        return op.writeFailed();
    return op.commit();
}

RegStatus RegistryStore::setValue(int32_t root, const QString& path, const QString& name,
                                  uint32_t type, const QByteArray& data) {
    Operation op(*this, root, path, true);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    const qint64 id = findKey(db, op.parts());
    if (!id)
        return RegStatus::NotFound;
    // An existing value keeps its place in the enumeration and its spelling.
    Statement update(db, "UPDATE vals SET type = ?3, data = ?4 WHERE key = ?1 AND folded = ?2");
    update.bind(1, id);
    update.bind(2, fold(name));
    update.bind(3, qint64(type));
    update.bind(4, data);
    if (update.step() != SQLITE_DONE)
        return op.writeFailed();
    if (sqlite3_changes(db) == 0) {
        Statement insert(db, "INSERT INTO vals(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
        insert.bind(1, id);
        insert.bind(2, name);
        insert.bind(3, fold(name));
        insert.bind(4, qint64(type));
        insert.bind(5, data);
        if (insert.step() != SQLITE_DONE)
            return op.writeFailed();
    }
    return op.commit();
}

RegStatus RegistryStore::queryValue(int32_t root, const QString& path, const QString& name,
                                    uint32_t* type, QByteArray* data) {
    Operation op(*this, root, path, false);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    const qint64 id = findKey(db, op.parts());
    if (!id)
        return RegStatus::NotFound;
    Statement st(db, "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2");
    st.bind(1, id);
    st.bind(2, fold(name));
    if (st.step() != SQLITE_ROW)
        return RegStatus::NotFound;
    if (type)
        *type = uint32_t(st.integer(0));
    if (data)
        *data = st.blob(1);
    return RegStatus::Ok;
}

RegStatus RegistryStore::deleteValue(int32_t root, const QString& path, const QString& name) {
    Operation op(*this, root, path, true);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    const qint64 id = findKey(db, op.parts());
    if (!id)
        return RegStatus::NotFound;
    Statement st(db, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
    st.bind(1, id);
    st.bind(2, fold(name));
    if (st.step() != SQLITE_DONE)
        return op.writeFailed();
    if (sqlite3_changes(db) == 0)
        return RegStatus::NotFound;
    return op.commit();
}

RegStatus RegistryStore::enumValue(int32_t root, const QString& path, int index, QString* name,
                                   uint32_t* type, QByteArray* data) {
    Operation op(*this, root, path, false);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    const qint64 id = findKey(db, op.parts());
    if (!id)
        return RegStatus::NotFound;
    if (index < 0)
        return RegStatus::NoMoreItems;
    Statement st(db, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    st.bind(1, id);
    st.bind(2, qint64(index));
    if (st.step() != SQLITE_ROW)
        return RegStatus::NoMoreItems;
    if (name)
        *name = st.text(0);
    if (type)
        *type = uint32_t(st.integer(1));
    if (data)
        *data = st.blob(2);
    return RegStatus::Ok;
}

RegStatus RegistryStore::enumKey(int32_t root, const QString& path, int index, QString* name) {
    Operation op(*this, root, path, false);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    const qint64 id = findKey(db, op.parts());
    if (!id)
        return RegStatus::NotFound;
    if (index < 0)
        return RegStatus::NoMoreItems;
    Statement st(db, "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
    st.bind(1, id);
    st.bind(2, qint64(index));
    if (st.step() != SQLITE_ROW)
        return RegStatus::NoMoreItems;
    if (name)
        *name = st.text(0);
    return RegStatus::Ok;
}

namespace {

const char* const kPrivateTable =
    "CREATE TABLE IF NOT EXISTS private_vals(name TEXT PRIMARY KEY, data BLOB NOT NULL)";

bool privateTableExists(sqlite3* db) {
    Statement st(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'private_vals'");
    return st.ok() && st.step() == SQLITE_ROW;
}

} // namespace

RegStatus RegistryStore::setPrivateValue(const QString& name, const QByteArray& data) {
    Operation op(*this, CurrentUser, QString(), true);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    sqlite3_exec(db, "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, kPrivateTable, nullptr, nullptr, nullptr) != SQLITE_OK)
        return op.writeFailed();
    Statement st(db, "INSERT OR REPLACE INTO private_vals(name, data) VALUES (?1, ?2)");
    st.bind(1, name);
    st.bind(2, data);
    if (st.step() != SQLITE_DONE)
        return op.writeFailed();
    return op.commit();
}

RegStatus RegistryStore::privateValue(const QString& name, QByteArray* data) {
    Operation op(*this, CurrentUser, QString(), false);
    if (op.status() != RegStatus::Ok)
        return op.status();
    if (!privateTableExists(op.db()))
        return RegStatus::NotFound;
    Statement st(op.db(), "SELECT data FROM private_vals WHERE name = ?1");
    st.bind(1, name);
    if (st.step() != SQLITE_ROW)
        return RegStatus::NotFound;
    *data = st.blob(0);
    return RegStatus::Ok;
}

RegStatus RegistryStore::deletePrivateValue(const QString& name) {
    Operation op(*this, CurrentUser, QString(), true);
    if (op.status() != RegStatus::Ok)
        return op.status();
    sqlite3* db = op.db();
    if (!privateTableExists(db))
        return RegStatus::NotFound;
    sqlite3_exec(db, "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr);
    Statement st(db, "DELETE FROM private_vals WHERE name = ?1");
    st.bind(1, name);
    if (st.step() != SQLITE_DONE)
        return op.writeFailed();
    if (sqlite3_changes(db) == 0)
        return RegStatus::NotFound;
    return op.commit();
}

} // namespace tarv

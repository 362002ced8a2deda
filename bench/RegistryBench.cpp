// The registry store through the library, as a late-bound host uses it, against SQLite's own
// floor on the same file in the same run: reads by GestioneReg.Leggi_Stringa (IDispatch::Invoke
// by dispatch id) against one prepared SELECT stepped and reset, and durable writes by
// GestioneReg.Scrivi_Stringa against one prepared UPDATE committed on its own (write-ahead log,
// every commit flushed to disk).
#include "GestioneReg.h"

#include "ComPtr.h"
#include "DispatchCall.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

using namespace tarv::com;
using namespace tarv::utility;

namespace {

constexpr DISPID kLeggiStringa = 0x60030009;
constexpr DISPID kScriviStringa = 0x6003000A;

// Operations per second, best of three rounds of n.
double rate(int n, const std::function<bool()>& one) {
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            if (!one())
                return -1;
        best = std::max(best, n / (double(t.nsecsElapsed()) / 1e9));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    qputenv("TARV_WINDIR", dir.path().toLocal8Bit());
    qputenv("TARV_MACHINE_DIR", "");
    QCoreApplication app(argc, argv);

    ComPtr<IDispatch> reg;
    GestioneReg::classInfo().create(IID_IDispatch, reg.putVoid());
    ErrorInfo e;
    if (FAILED(call(reg.get(), "Inizializza_registro",
                    {Variant(int32_t(0x80000001)), Variant(QStringLiteral("Software\\Bench"))},
                    nullptr, &e)) ||
        FAILED(call(reg.get(), "Scrivi_Chiave", {}, nullptr, &e)) ||
        FAILED(call(reg.get(), "Scrivi_Stringa",
                    {Variant(QStringLiteral("valore")), Variant(QStringLiteral("0"))}, nullptr,
                    &e))) {
        std::fprintf(stderr, "set-up failed: %s\n", e.description.toLocal8Bit().constData());
        return 1;
    }

    QString name = QStringLiteral("valore");
    Variant nameArg = Variant::byRef(&name);
    Variant result;
    DISPPARAMS readParams{&nameArg, nullptr, 1, 0};
    const double reads = rate(100000, [&] {
        return SUCCEEDED(reg->Invoke(kLeggiStringa, IID_NULL, 0, DISPATCH_METHOD, &readParams,
                                     &result, nullptr, nullptr)) &&
               result == Variant(QStringLiteral("0"));
    });
    int counter = 0;
    QString text;
    Variant writeArgs[2] = {Variant::byRef(&text), Variant::byRef(&name)}; // last argument first
    DISPPARAMS writeParams{writeArgs, nullptr, 2, 0};
    const double writes = rate(2000, [&] {
        text = QString::number(++counter);
        return SUCCEEDED(reg->Invoke(kScriviStringa, IID_NULL, 0, DISPATCH_METHOD, &writeParams,
                                     &result, nullptr, nullptr)) &&
               result == Variant(true);
    });

    // SQLite alone on the same file: the row read and written by prepared statements.
    sqlite3* db = nullptr;
    const QByteArray file = (dir.path() + QStringLiteral("/registry/user.db")).toLocal8Bit();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_busy_timeout(db, 30000);
    sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2", -1,
                       &select, nullptr);
    sqlite3_prepare_v2(db, "UPDATE vals SET data = ?3 WHERE key = ?1 AND folded = ?2", -1, &update,
                       nullptr);
    sqlite3_int64 key = 0;
    {
        sqlite3_stmt* find = nullptr;
        sqlite3_prepare_v2(db, "SELECT key FROM vals WHERE folded = 'valore'", -1, &find, nullptr);
        if (sqlite3_step(find) == SQLITE_ROW)
            key = sqlite3_column_int64(find, 0);
        sqlite3_finalize(find);
    }
    for (sqlite3_stmt* st : {select, update}) {
        sqlite3_bind_int64(st, 1, key);
        sqlite3_bind_text(st, 2, "valore", -1, SQLITE_STATIC);
    }
    const double floorReads = rate(100000, [&] {
        const bool ok = sqlite3_step(select) == SQLITE_ROW;
        sqlite3_reset(select);
        return ok;
    });
    const double floorWrites = rate(2000, [&] {
        const QByteArray value = QByteArray::number(++counter);
        sqlite3_bind_blob(update, 3, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        const bool ok = sqlite3_step(update) == SQLITE_DONE;
        sqlite3_reset(update);
        return ok;
    });
    sqlite3_finalize(select);
    sqlite3_finalize(update);
    sqlite3_close(db);

    // The same write with SQLite's rollback journal, which the store used before the log.
    const QByteArray journalFile = (dir.path() + QStringLiteral("/journal.db")).toLocal8Bit();
    sqlite3_open(journalFile.constData(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL;"
                 "CREATE TABLE vals(key INTEGER, folded TEXT, data BLOB, UNIQUE(key, folded));"
                 "INSERT INTO vals VALUES (1, 'valore', '0');",
                 nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "UPDATE vals SET data = ?1 WHERE key = 1 AND folded = 'valore'", -1,
                       &update, nullptr);
    const double journalWrites = rate(500, [&] {
        const QByteArray value = QByteArray::number(++counter);
        sqlite3_bind_blob(update, 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        const bool ok = sqlite3_step(update) == SQLITE_DONE;
        sqlite3_reset(update);
        return ok;
    });
    sqlite3_finalize(update);
    sqlite3_close(db);

    if (reads < 0 || writes < 0 || floorReads < 0 || floorWrites < 0 || journalWrites < 0) {
        std::fprintf(stderr, "a registry call failed\n");
        return 1;
    }
    std::printf(
        "reads:  GestioneReg.Leggi_Stringa late-bound %.0f/s; SQLite prepared SELECT %.0f/s "
        "(%.1fx the library's time)\n",
        reads, floorReads, floorReads / reads);
    std::printf("writes: GestioneReg.Scrivi_Stringa late-bound %.0f/s; SQLite prepared UPDATE, "
                "each committed and flushed %.0f/s (%.2fx)\n",
                writes, floorWrites, floorWrites / writes);
    std::printf("        the same UPDATE with the rollback journal instead of the log %.0f/s\n",
                journalWrites);
    return 0;
}

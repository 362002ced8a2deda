#include "GzipFile.h"
#include "TestWindowsDir.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <zlib.h>

using namespace tarv;
using namespace tarv::zlibtool;

namespace {

QByteArray sha(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

// Text with runs of random bytes between, so both kinds of block occur.
QByteArray mixed(qsizetype size) {
    QByteArray out;
    QRandomGenerator rng(7);
    while (out.size() < size) {
        out += QByteArray("Fattura n. ") + QByteArray::number(rng.bounded(100000)) +
               " del cliente Rossi S.p.A., importo EUR " + QByteArray::number(rng.bounded(9999)) +
               "\r\n";
        if (rng.bounded(8) == 0) {
            QByteArray noise(rng.bounded(4096), Qt::Uninitialized);
            rng.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            out += noise;
        }
    }
    out.truncate(size);
    return out;
}

QByteArray random(qsizetype size) {
    QByteArray out(size + 4, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(out.data()), out.size() / 4);
    out.truncate(size);
    return out;
}

// What gzip itself makes of a file: status of `gzip -t`, and the bytes of `gzip -dc`.
std::pair<int, QByteArray> gzipReads(const QString& path) {
    QProcess t;
    t.start(QStringLiteral("gzip"), {QStringLiteral("-t"), path});
    t.waitForFinished(60000);
    QProcess d;
    d.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
    d.waitForFinished(60000);
    return {t.exitCode(), d.readAllStandardOutput()};
}

// Temporary files of an unfinished destination (hidden, beside it).
QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
}

// The same gzip file with a header CRC (FHCRC) that does not match the header.
QByteArray headerWithBadCrc(const QByteArray& gz) {
    QByteArray out = gz.left(10);
    out[3] = char(out[3] | 0x02);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(out.constData()), 10);
    out += char((crc ^ 0x5a) & 0xff);
    out += char((crc >> 8) & 0xff);
    return out + gz.mid(10);
}

TEST(GzipFileTest, RoundTripsAreReadByGzipAndComeBackWhole) {
    TestWindowsDir win;
    const struct Case {
        const char* name;
        QByteArray data;
        int threads;
    } cases[] = {
        {"empty", {}, 2},
        {"small", "Buongiorno, mondo.\n", 2},
        {"incompressible", random(3 << 20), 2},
        {"multi-MB mixed", mixed(9 << 20), 2},
        {"multi-MB mixed, one thread", mixed(9 << 20), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString src = win.write(QStringLiteral("in.dat"), c.data);
        const QString zl = win.file(QStringLiteral("in.dat.zl"));
        const QString back = win.file(QStringLiteral("back.dat"));
        const GzipResult z = compressFile(src, zl, 9, c.threads);
        ASSERT_TRUE(z.ok()) << z.description.toStdString();
        EXPECT_EQ(z.inBytes, c.data.size());
        EXPECT_EQ(z.outBytes, QFileInfo(zl).size());
        const auto [status, gunzipped] = gzipReads(zl);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(sha(gunzipped), sha(c.data));
        const GzipResult x = expandFile(zl, back);
        ASSERT_TRUE(x.ok()) << x.description.toStdString();
        EXPECT_EQ(sha(TestWindowsDir::read(back)), sha(c.data));
        EXPECT_EQ(leftovers(win.path()), QStringList());
    }
    // Mixed data at level 9 compresses about as gzip -9 does (blocks cost only a few bytes).
    const QByteArray data = mixed(9 << 20);
    const QString src = win.write(QStringLiteral("m.dat"), data);
    compressFile(src, win.file(QStringLiteral("m.zl")), 9, 2);
    QProcess g;
    g.start(QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("gzip -9 -c '%1' | wc -c").arg(src)});
    g.waitForFinished(60000);
    const qint64 gzipSize = g.readAllStandardOutput().trimmed().toLongLong();
    EXPECT_LT(QFileInfo(win.file(QStringLiteral("m.zl"))).size(), gzipSize * 1.01);
}

TEST(GzipFileTest, ExpandsWhatOtherToolsWrite) {
    TestWindowsDir win;
    const QByteArray data = mixed(300000);
    // A zlib stream, and a gzip file of two members (as `cat a.gz b.gz` makes).
    QByteArray zlibStream(compressBound(uLong(data.size())), Qt::Uninitialized);
    uLongf size = uLongf(zlibStream.size());
    compress2(reinterpret_cast<Bytef*>(zlibStream.data()), &size,
              reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()), 6);
    zlibStream.truncate(qsizetype(size));
    const QString part = win.write(QStringLiteral("part"), data);
    QProcess g;
    g.start(QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("gzip -c '%1' > '%1.gz'; cat '%1.gz' '%1.gz' > '%1.2.gz'").arg(part)});
    g.waitForFinished(60000);
    const struct Case {
        QString file;
        QByteArray expected;
    } cases[] = {
        {win.write(QStringLiteral("z.zlib"), zlibStream), data},
        {part + QStringLiteral(".2.gz"), data + data},
        // Zero padding to a tape's block, as gzip -d reads it.
        {win.write(QStringLiteral("padded.gz"),
                   TestWindowsDir::read(part + QStringLiteral(".gz")) + QByteArray(3 << 20, '\0')),
         data}};
    for (const Case& c : cases) {
        const GzipResult r = expandFile(c.file, win.file(QStringLiteral("out")));
        ASSERT_TRUE(r.ok()) << r.description.toStdString();
        EXPECT_EQ(sha(TestWindowsDir::read(win.file(QStringLiteral("out")))), sha(c.expected));
    }
}

TEST(GzipFileTest, BadInputFailsClearlyAndTheExistingDestinationStays) {
    TestWindowsDir win;
    const QByteArray data = mixed(2 << 20);
    const QString good = win.write(QStringLiteral("good.dat"), data);
    compressFile(good, good + QStringLiteral(".zl"), 9);
    const QByteArray zl = TestWindowsDir::read(good + QStringLiteral(".zl"));
    QByteArray corrupt = zl;
    corrupt[corrupt.size() / 2] = char(corrupt[corrupt.size() / 2] ^ 0x55);
    QByteArray badCrc = zl;
    badCrc[badCrc.size() - 6] = char(badCrc[badCrc.size() - 6] ^ 1);
    const QString dest = win.write(QStringLiteral("dest.dat"), "versione precedente");
    const struct Case {
        const char* name;
        QString source;
        bool expand;
        int number;
        const char* words;
    } cases[] = {
        {"truncated", win.write(QStringLiteral("t.zl"), zl.left(zl.size() * 2 / 3)), true,
         GzipError::PastEndOfFile, "incompleto"},
        {"corrupt", win.write(QStringLiteral("c.zl"), corrupt), true, GzipError::BadFileFormat,
         "danneggiato"},
        {"wrong check", win.write(QStringLiteral("k.zl"), badCrc), true, GzipError::BadFileFormat,
         "integrità"},
        {"foreign", good, true, GzipError::BadFileFormat, "non è un file compresso"},
        {"empty", win.write(QStringLiteral("e.zl"), {}), true, GzipError::BadFileFormat,
         "non è un file compresso"},
        {"trailing garbage", win.write(QStringLiteral("g.zl"), zl + "xyz"), true,
         GzipError::BadFileFormat, "estranei"},
        {"garbage after zeros",
         win.write(QStringLiteral("gz.zl"), zl + QByteArray(600, '\0') + "x"), true,
         GzipError::BadFileFormat, "estranei"},
        {"bad header CRC", win.write(QStringLiteral("h.zl"), headerWithBadCrc(zl)), true,
         GzipError::BadFileFormat, "intestazione"},
        {"missing source", win.file(QStringLiteral("manca.dat")), false, GzipError::FileNotFound,
         "non trovato"},
        {"source is a folder", win.path(), false, GzipError::PathFileAccess, "cartella"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GzipResult r =
            c.expand ? expandFile(c.source, dest) : compressFile(c.source, dest, 9);
        EXPECT_EQ(r.number, c.number);
        EXPECT_TRUE(r.description.contains(QString::fromUtf8(c.words)))
            << r.description.toStdString();
        EXPECT_EQ(TestWindowsDir::read(dest), "versione precedente");
    }
    const GzipResult noFolder = compressFile(good, win.file(QStringLiteral("no/such/x.zl")), 9);
    EXPECT_EQ(noFolder.number, GzipError::PathNotFound);
    EXPECT_EQ(leftovers(win.path()), QStringList());
}

// Destinations as a shell user names them: a name as long as the folder allows (the temporary
// file must fit as well), and symbolic links, written through to their target as
// `gzip -c > link` does.
TEST(GzipFileTest, LongNamesAndLinksAsDestinations) {
    TestWindowsDir win;
    const QByteArray data = mixed(300000);
    const QString src = win.write(QStringLiteral("in.dat"), data);
    win.write(QStringLiteral("vero.zl"), "vecchio");
    QFile::link(QStringLiteral("vero.zl"), win.file(QStringLiteral("link.zl")));
    QFile::link(QStringLiteral("nuovo.zl"), win.file(QStringLiteral("pendente.zl")));
    const struct Case {
        QString destination;
        QString written; // the file that holds the result
    } cases[] = {
        {win.file(QString(252, QLatin1Char('n')) + ".zl"),
         win.file(QString(252, QLatin1Char('n')) + ".zl")},
        {win.file(QStringLiteral("link.zl")), win.file(QStringLiteral("vero.zl"))},
        {win.file(QStringLiteral("pendente.zl")), win.file(QStringLiteral("nuovo.zl"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination.toStdString());
        const GzipResult r = compressFile(src, c.destination, 9, 2);
        ASSERT_TRUE(r.ok()) << r.description.toStdString();
        EXPECT_EQ(sha(gzipReads(c.written).second), sha(data));
        if (c.written != c.destination)
            EXPECT_TRUE(QFileInfo(c.destination).isSymLink());
    }
    EXPECT_EQ(leftovers(win.path()), QStringList());
}

// A job killed before its end left a temporary file; the next job in the folder removes it,
// and leaves alone one whose process is still running.
TEST(GzipFileTest, StaleTemporaryFilesOfKilledJobsAreRemoved) {
    TestWindowsDir win;
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    gone.waitForStarted();
    const qint64 deadPid = gone.processId();
    gone.waitForFinished();
    const auto plant = [&](qint64 pid) {
        const QString name = QStringLiteral(".tarv-zl-%1-abc123").arg(pid);
        QFile f(win.write(name, "resto"));
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                      QFileDevice::FileModificationTime);
        return name;
    };
    plant(deadPid);
    const QString running = plant(QCoreApplication::applicationPid());
    const QString src = win.write(QStringLiteral("in.dat"), "dati");
    ASSERT_TRUE(compressFile(src, src + QStringLiteral(".zl"), 9).ok());
    EXPECT_EQ(leftovers(win.path()), QStringList{running});
}

} // namespace

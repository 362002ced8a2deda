#include "GzipFile.h"

#include <QFileInfo>

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarv::zlibtool {

namespace {

constexpr size_t kBlock = size_t(1) << 20; // source bytes per parallel deflate block
constexpr size_t kWindow = 32768;          // deflate's window: the dictionary a block gets
constexpr size_t kIoChunk = size_t(1) << 20;

GzipResult failure(int number, const QString& description) {
    GzipResult r;
    r.number = number;
    r.description = description;
    return r;
}

QString quoted(const QString& path) {
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

// The error of a failed open of the source.
GzipResult sourceError(int e, const QString& path) {
    switch (e) {
    case ENOENT:
        return failure(GzipError::FileNotFound,
                       QStringLiteral("File non trovato: %1").arg(quoted(path)));
    case ENOTDIR:
        return failure(GzipError::PathNotFound,
                       QStringLiteral("Impossibile trovare il percorso di %1").arg(quoted(path)));
    case EACCES:
    case EPERM:
        return failure(
            GzipError::PermissionDenied,
            QStringLiteral("Autorizzazione negata: impossibile leggere %1").arg(quoted(path)));
    case ENOMEM:
        return failure(GzipError::OutOfMemory, QStringLiteral("Memoria esaurita"));
    default:
        return failure(GzipError::PathFileAccess,
                       QStringLiteral("Errore di accesso al file %1: %2")
                           .arg(quoted(path), QString::fromLocal8Bit(strerror(e))));
    }
}

// The error of a failed write, creation or rename in the destination's folder.
GzipResult destinationError(int e, const QString& path) {
    switch (e) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return failure(GzipError::DiskFull,
                       QStringLiteral("Disco pieno: impossibile scrivere %1").arg(quoted(path)));
    case ENOENT:
    case ENOTDIR:
        return failure(GzipError::PathNotFound,
                       QStringLiteral("Impossibile trovare il percorso di %1").arg(quoted(path)));
    case EACCES:
    case EPERM:
    case EROFS:
        return failure(
            GzipError::PermissionDenied,
            QStringLiteral("Autorizzazione negata: impossibile scrivere %1").arg(quoted(path)));
    default:
        return failure(GzipError::PathFileAccess,
                       QStringLiteral("Errore di accesso al file %1: %2")
                           .arg(quoted(path), QString::fromLocal8Bit(strerror(e))));
    }
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void reset(int fd) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

// The source, opened for reading; a folder is refused here rather than at the first read.
struct Source {
    Fd fd;
    struct stat st {};
};

GzipResult openSource(const QString& path, Source& source) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return sourceError(errno, path);
    source.fd.reset(fd);
    if (::fstat(fd, &source.st) != 0)
        return sourceError(errno, path);
    if (S_ISDIR(source.st.st_mode))
        return failure(GzipError::PathFileAccess,
                       QStringLiteral("%1 è una cartella, non un file").arg(quoted(path)));
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return {};
}

// Reads until `size` bytes or the end of the file; -1 with errno on failure.
ssize_t readFull(int fd, unsigned char* data, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

// The destination under construction: a temporary file beside it, renamed over it by commit()
// and removed by the destructor otherwise.
class PendingFile {
public:
    ~PendingFile() {
        if (!m_temp.isEmpty()) {
            if (m_fd.get() >= 0)
                ::close(m_fd.release());
            ::unlink(m_temp.constData());
        }
    }

    GzipResult create(const QString& destination, mode_t sourceMode) {
        m_destination = destination;
        const QFileInfo info(destination);
        if (info.isDir())
            return failure(
                GzipError::PathFileAccess,
                QStringLiteral("%1 è una cartella, non un file").arg(quoted(destination)));
        const QString folder = info.absolutePath();
        if (!QFileInfo(folder).isDir())
            return failure(
                GzipError::PathNotFound,
                QStringLiteral("Impossibile trovare il percorso %1").arg(quoted(folder)));
        QByteArray pattern = QFile::encodeName(folder + QLatin1String("/.") + info.fileName() +
                                               QLatin1String(".XXXXXX"));
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            return destinationError(errno, destination);
        m_temp = pattern;
        m_fd.reset(fd);
        // The new file takes the mode of the file it replaces, else the source's, as gzip does.
        struct stat old {};
        const mode_t mode = ::stat(QFile::encodeName(destination).constData(), &old) == 0
                                ? (old.st_mode & 07777)
                                : (sourceMode & 0666);
        ::fchmod(fd, mode);
        return {};
    }

    GzipResult write(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(m_fd.get(), p, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return destinationError(errno, m_destination);
            }
            p += n;
            size -= size_t(n);
            m_written += n;
        }
        return {};
    }

    // Makes the new file durable, then puts it in the destination's place in one step.
    GzipResult commit() {
        if (::fdatasync(m_fd.get()) != 0 && errno != EINVAL)
            return destinationError(errno, m_destination);
        if (::close(m_fd.release()) != 0)
            return destinationError(errno, m_destination);
        if (::rename(m_temp.constData(), QFile::encodeName(m_destination).constData()) != 0)
            return destinationError(errno, m_destination);
        m_temp.clear();
        return {};
    }

    qint64 written() const { return m_written; }

private:
    QString m_destination;
    QByteArray m_temp;
    Fd m_fd;
    qint64 m_written = 0;
};

// One block of the source, deflated on its own.
struct Block {
    std::vector<unsigned char> data; // the dictionary (the window before the block), then the block
    size_t dictionary = 0;
    std::vector<unsigned char> out;
    uLong crc = 0;
    int status = Z_OK;
};

void deflateBlock(Block& b, int level) {
    z_stream z{};
    b.status = deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    if (b.status != Z_OK)
        return;
    if (b.dictionary > 0)
        deflateSetDictionary(&z, b.data.data(), uInt(b.dictionary));
    const size_t size = b.data.size() - b.dictionary;
    b.out.resize(deflateBound(&z, uLong(size)) + 16);
    z.next_in = b.data.data() + b.dictionary;
    z.avail_in = uInt(size);
    z.next_out = b.out.data();
    z.avail_out = uInt(b.out.size());
    // A sync flush ends the block on a byte boundary with no final bit, so blocks join into
    // one deflate stream.
    const int rc = deflate(&z, Z_SYNC_FLUSH);
    b.status = (rc == Z_OK || rc == Z_BUF_ERROR) && z.avail_in == 0 ? Z_OK : Z_STREAM_ERROR;
    b.out.resize(b.out.size() - z.avail_out);
    b.crc = crc32(0L, b.data.data() + b.dictionary, uInt(size));
    deflateEnd(&z);
}

void putLe32(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

GzipResult compressFile(const QString& source, const QString& destination, int level, int threads,
                        GzipProgress* progress) {
    if (level < 1 || level > 9)
        level = Z_DEFAULT_COMPRESSION;
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));

    Source in;
    if (GzipResult r = openSource(source, in); !r.ok())
        return r;
    if (progress)
        progress->total = qint64(in.st.st_size);
    PendingFile out;
    if (GzipResult r = out.create(destination, in.st.st_mode); !r.ok())
        return r;

    unsigned char header[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 3};
    putLe32(header + 4, uint32_t(in.st.st_mtime > 0 ? in.st.st_mtime : 0));
    header[8] = level == 9 ? 2 : level == 1 ? 4 : 0;
    if (GzipResult r = out.write(header, sizeof header); !r.ok())
        return r;

    uLong crc = crc32(0L, Z_NULL, 0);
    qint64 total = 0;
    std::deque<std::future<std::unique_ptr<Block>>> running;
    // Writes the oldest block once its deflate is done.
    auto finishOldest = [&]() -> GzipResult {
        std::unique_ptr<Block> b = running.front().get();
        running.pop_front();
        if (b->status != Z_OK)
            return failure(GzipError::OutOfMemory, QStringLiteral("Memoria esaurita"));
        const size_t size = b->data.size() - b->dictionary;
        crc = crc32_combine(crc, b->crc, z_off_t(size));
        return out.write(b->out.data(), b->out.size());
    };

    std::vector<unsigned char> window; // the last 32 KiB read
    for (;;) {
        auto b = std::make_unique<Block>();
        b->dictionary = window.size();
        b->data.resize(b->dictionary + kBlock);
        if (!window.empty()) // memcpy from the empty window's null pointer is undefined
            std::memcpy(b->data.data(), window.data(), window.size());
        const ssize_t n = readFull(in.fd.get(), b->data.data() + b->dictionary, kBlock);
        if (n < 0) {
            const int e = errno;
            while (!running.empty())
                running.front().wait(), running.pop_front();
            return sourceError(e, source);
        }
        if (n == 0)
            break;
        b->data.resize(b->dictionary + size_t(n));
        total += n;
        const size_t keep = std::min(kWindow, b->data.size());
        window.assign(b->data.end() - ptrdiff_t(keep), b->data.end());
        if (threads > 1) {
            running.push_back(std::async(std::launch::async, [level, blk = std::move(b)]() mutable {
                deflateBlock(*blk, level);
                return std::move(blk);
            }));
        } else {
            deflateBlock(*b, level);
            std::promise<std::unique_ptr<Block>> done;
            done.set_value(std::move(b));
            running.push_back(done.get_future());
        }
        if (progress)
            progress->done = total;
        if (int(running.size()) >= threads)
            if (GzipResult r = finishOldest(); !r.ok()) {
                while (!running.empty())
                    running.front().wait(), running.pop_front();
                return r;
            }
        if (size_t(n) < kBlock)
            break;
    }
    while (!running.empty())
        if (GzipResult r = finishOldest(); !r.ok()) {
            while (!running.empty())
                running.front().wait(), running.pop_front();
            return r;
        }

    // The last block: empty, fixed codes, final bit set. Then CRC-32 and size modulo 2^32.
    unsigned char trailer[10] = {0x03, 0x00};
    putLe32(trailer + 2, uint32_t(crc));
    putLe32(trailer + 6, uint32_t(total));
    if (GzipResult r = out.write(trailer, sizeof trailer); !r.ok())
        return r;
    if (GzipResult r = out.commit(); !r.ok())
        return r;
    GzipResult done;
    done.inBytes = total;
    done.outBytes = out.written();
    return done;
}

GzipResult expandFile(const QString& source, const QString& destination, GzipProgress* progress) {
    Source in;
    if (GzipResult r = openSource(source, in); !r.ok())
        return r;
    if (progress)
        progress->total = qint64(in.st.st_size);
    PendingFile out;
    if (GzipResult r = out.create(destination, in.st.st_mode); !r.ok())
        return r;

    const auto corrupt = [&](const QString& why) {
        return failure(GzipError::BadFileFormat,
                       QStringLiteral("Il file %1 %2").arg(quoted(source), why));
    };
    const QString foreign = QStringLiteral("non è un file compresso in formato gzip o zlib");

    std::vector<unsigned char> inBuf(kIoChunk), outBuf(kIoChunk);
    z_stream z{};
    // 15 + 32: a zlib or a gzip header, found by looking.
    if (inflateInit2(&z, 15 + 32) != Z_OK)
        return failure(GzipError::OutOfMemory, QStringLiteral("Memoria esaurita"));
    struct End {
        z_stream* z;
        ~End() { inflateEnd(z); }
    } end{&z};

    qint64 consumed = 0;
    bool gzip = false;
    bool started = false; // the first stream has begun
    int streamsDone = 0;
    bool inStream = false; // inside a stream whose end has not been seen
    bool atEof = false;
    for (;;) {
        if (z.avail_in == 0 && !atEof) {
            const ssize_t n = readFull(in.fd.get(), inBuf.data(), inBuf.size());
            if (n < 0)
                return sourceError(errno, source);
            atEof = size_t(n) < inBuf.size();
            z.next_in = inBuf.data();
            z.avail_in = uInt(n);
            consumed += n;
            if (progress)
                progress->done = consumed;
        }
        if (z.avail_in == 0) {
            if (!started)
                return corrupt(foreign);
            if (inStream)
                return failure(GzipError::PastEndOfFile,
                               QStringLiteral("Il file %1 è incompleto: i dati compressi "
                                              "finiscono prima della fine")
                                   .arg(quoted(source)));
            break;
        }
        if (!inStream) {
            if (started) {
                // Only gzip has further members after the first.
                if (!gzip || z.next_in[0] != 0x1f)
                    return corrupt(QStringLiteral("contiene dati estranei dopo la fine dei "
                                                  "dati compressi"));
                inflateReset(&z);
            }
            gzip = gzip || z.next_in[0] == 0x1f;
            started = inStream = true;
        }
        z.next_out = outBuf.data();
        z.avail_out = uInt(outBuf.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t produced = outBuf.size() - z.avail_out;
        if (produced > 0)
            if (GzipResult r = out.write(outBuf.data(), produced); !r.ok())
                return r;
        if (rc == Z_STREAM_END) {
            inStream = false;
            ++streamsDone;
            continue;
        }
        if (rc == Z_MEM_ERROR)
            return failure(GzipError::OutOfMemory, QStringLiteral("Memoria esaurita"));
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR) {
            const QString message = QString::fromLatin1(z.msg ? z.msg : "");
            if (streamsDone == 0 && out.written() == 0 &&
                (message.contains(QLatin1String("header")) ||
                 message.contains(QLatin1String("method")) || rc == Z_NEED_DICT))
                return corrupt(foreign);
            if (message.contains(QLatin1String("check")))
                return corrupt(QStringLiteral("è danneggiato: il controllo di integrità dei "
                                              "dati non corrisponde"));
            return corrupt(QStringLiteral("è danneggiato: i dati compressi non sono validi"));
        }
    }
    if (GzipResult r = out.commit(); !r.ok())
        return r;
    GzipResult done;
    done.inBytes = consumed;
    done.outBytes = out.written();
    return done;
}

} // namespace tarv::zlibtool

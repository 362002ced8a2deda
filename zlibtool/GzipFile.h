#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

namespace tarv::zlibtool {

// The outcome of a compression or expansion. `number` and `description` are the error a
// Basic host sees (0 and "" on success); the sizes are those of the source and of the
// destination as written.
struct GzipResult {
    int number = 0;
    QString description;
    qint64 inBytes = 0;
    qint64 outBytes = 0;
    bool ok() const { return number == 0; }
};

// Error numbers, those a Basic host knows for the same failure.
namespace GzipError {
constexpr int OutOfMemory = 7;
constexpr int FileNotFound = 53;
constexpr int DiskFull = 61;
constexpr int PastEndOfFile = 62; // a compressed file cut short
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int BadFileFormat = 321; // not gzip or zlib data, or data that fail their checks
} // namespace GzipError

// Progress of a running job, read by another thread: bytes of the source consumed so far and
// the source's size.
struct GzipProgress {
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
};

// Compresses `source` into `destination` as one gzip stream (RFC 1952) at `level` (1 to 9;
// other values take zlib's default). The source is read in blocks; with `threads` above 1 the
// blocks are deflated in parallel, each primed with the 32 KiB before it and ended on a byte
// boundary, so the stream is the same kind any gzip reader takes and memory stays bounded by a
// few blocks per thread whatever the file's size.
//
// The destination is written under a temporary name in its own folder and renamed over
// `destination` only once complete: a failure leaves an existing destination as it was and no
// partial file behind.
GzipResult compressFile(const QString& source, const QString& destination, int level,
                        int threads = 0, GzipProgress* progress = nullptr);

// Expands a gzip file (one or more members) or a zlib stream, found by its header, into
// `destination`, with the same temporary-file rule.
GzipResult expandFile(const QString& source, const QString& destination,
                      GzipProgress* progress = nullptr);

} // namespace tarv::zlibtool

// Base64 with line breaking at 76 of a 100 MB file: the mailer's Base64 class (EncodeB64,
// then Span) against coreutils `base64 -w 76`, in the same run on the same file. Also
// records the longest stretch without a call of the event pump.
#include "Base64.h"
#include "EventPump.h"
#include "Services.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace tarv;

namespace {

class GapPump : public EventPump {
public:
    void pump() override {
        const auto now = std::chrono::steady_clock::now();
        if (m_last.time_since_epoch().count() != 0)
            maxGapUs = std::max<qint64>(
                maxGapUs,
                std::chrono::duration_cast<std::chrono::microseconds>(now - m_last).count());
        m_last = now;
        ++count;
    }
    void reset() {
        m_last = {};
        maxGapUs = 0;
        count = 0;
    }
    qint64 maxGapUs = 0;
    qint64 count = 0;

private:
    std::chrono::steady_clock::time_point m_last{};
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qsizetype size = 100 * 1024 * 1024;
    QTemporaryDir dir;
    const QString path = dir.filePath("dati.bin");
    {
        QByteArray data(size, Qt::Uninitialized);
        QRandomGenerator rng(42);
        rng.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != size) {
            std::fprintf(stderr, "bench_base64: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    GapPump pump;
    ScopedServices scope(Services{nullptr, nullptr, nullptr, &pump, nullptr, nullptr});
    Base64 b64;

    const int rounds = 3;
    qint64 best = -1, bestAnchor = -1, maxGap = 0, outSize = 0;
    for (int r = 0; r < rounds; ++r) {
        pump.reset();
        QElapsedTimer t;
        t.start();
        // As the mailer's writer does it: whole 76-character lines (57 bytes each) at a time,
        // each encoded and broken, so that the pieces join into the text of the whole file.
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        QByteArray encoded, spanned;
        outSize = 0;
        for (;;) {
            const QByteArray chunk = f.read(57 * 1024);
            if (chunk.isEmpty())
                break;
            b64.EncodeB64(chunk, encoded);
            b64.Span(76, encoded, spanned);
            outSize += spanned.size();
            pump.pump(); // the writer lets events run after each piece it sends
        }
        const qint64 ns = t.nsecsElapsed();
        best = best < 0 ? ns : std::min(best, ns);
        maxGap = std::max(maxGap, pump.maxGapUs);

        QProcess anchor;
        anchor.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer a;
        a.start();
        anchor.start("base64", {"-w", "76", path});
        anchor.waitForFinished(-1);
        const qint64 ans = a.nsecsElapsed();
        if (anchor.exitCode() != 0) {
            std::fprintf(stderr, "bench_base64: base64 failed\n");
            return 1;
        }
        bestAnchor = bestAnchor < 0 ? ans : std::min(bestAnchor, ans);
    }
    const double mb = double(size) / 1048576.0;
    std::printf("Base64 + Span(76), 100 MB file (best of %d)\n", rounds);
    std::printf("  velinor Base64 : %8.1f ms  %7.1f MB/s  (%lld bytes out)\n", best / 1e6,
                mb / (best / 1e9), (long long)outSize);
    std::printf("  base64 -w 76   : %8.1f ms  %7.1f MB/s\n", bestAnchor / 1e6,
                mb / (bestAnchor / 1e9));
    std::printf("  ratio (base64 time / velinor time): %.2f\n", double(bestAnchor) / double(best));
    std::printf("  longest stretch without the event pump: %.2f ms\n", maxGap / 1000.0);
    return 0;
}

// CheckCodFiscale against the check of python3-stdnum (stdnum.it.codicefiscale) on the same
// inputs in the same run. Both sides time only the checks, best of several passes, and must
// agree on how many codes pass.
#include "TaxIdentifiers.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <random>

using tarv::TaxIdentifiers;

namespace {

const char* kPython = R"(
import sys, time
from stdnum.it import codicefiscale
codes = sys.stdin.read().split()
def check(s):
    return len(s) == 16 and codicefiscale.calc_check_digit(s[:15]) == s[15].upper()
best = None
for _ in range(int(sys.argv[1])):
    t = time.perf_counter()
    passed = sum(1 for s in codes if check(s))
    t = time.perf_counter() - t
    best = t if best is None or t < best else best
print(passed, best * 1e9 / len(codes))
)";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = 200000;
    const int passes = 5;

    std::mt19937 rng(7);
    const char* alnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QStringList codes;
    codes.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString s;
        for (int j = 0; j < 15; ++j)
            s.append(QLatin1Char(alnum[rng() % 36]));
        // Half of them carry their right check letter, the rest a random one.
        s.append(i % 2 ? TaxIdentifiers::codiceFiscaleCheckLetter(s)
                       : QChar(u'A' + char16_t(rng() % 26)));
        codes.append(s);
    }

    double best = 1e300;
    int passed = 0;
    for (int p = 0; p < passes; ++p) {
        const auto t0 = std::chrono::steady_clock::now();
        int n = 0;
        for (const QString& s : codes)
            n += TaxIdentifiers::CheckCodFiscale(s);
        const double ns =
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, ns / count);
        passed = n;
    }
    std::printf("CheckCodFiscale          %9.1f ns per code (%d of %d pass)\n", best, passed,
                count);

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kPython), QString::number(passes)});
    if (!python.waitForStarted(10000)) {
        std::printf("python3-stdnum            not available: /usr/bin/python3 did not start\n");
        return 1;
    }
    python.write(codes.join(u'\n').toLatin1());
    python.closeWriteChannel();
    if (!python.waitForFinished(600000) || python.exitCode() != 0) {
        std::printf("python3-stdnum            not available: %s\n",
                    python.readAllStandardError().trimmed().constData());
        return 1;
    }
    const QStringList out = QString::fromUtf8(python.readAllStandardOutput()).split(u' ');
    const int pythonPassed = out.value(0).toInt();
    const double pythonNs = out.value(1).toDouble();
    std::printf("python3-stdnum check      %9.1f ns per code (%d of %d pass)\n", pythonNs,
                pythonPassed, count);
    std::printf("ratio                     %9.1f times faster\n", pythonNs / best);
    if (pythonPassed != passed) {
        std::printf("the two checks disagree on the inputs\n");
        return 1;
    }
    return 0;
}

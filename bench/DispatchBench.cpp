// Late binding against early binding on the same object: IDispatch::Invoke by dispatch id
// (arguments in variants, conversion, result in a variant) against a call through the dual
// interface's table of functions. Prints the overhead of Invoke per call.
#include "Contabili.h"
#include "GestioneReg.h"
#include "Math.h"

#include "ComPtr.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

using namespace tarv::com;
using namespace tarv::utility;

namespace {

// CheckCodFiscale of a valid tax code.
const char* const kMember = "Contabili.CheckCodFiscale";

void BM_Direct(benchmark::State& state) {
    ComPtr<_Contabili> c;
    Contabili::classInfo().create(IID__Contabili, c.putVoid());
    QString code = QStringLiteral("RSSMRA85T10A562S");
    VARIANT_BOOL ok = VARIANT_FALSE;
    for (auto _ : state) {
        c->CheckCodFiscale(&code, &ok);
        benchmark::DoNotOptimize(ok);
    }
    if (ok != VARIANT_TRUE)
        state.SkipWithError("CheckCodFiscale did not accept the code");
}

void BM_Invoke(benchmark::State& state) {
    ComPtr<IDispatch> d;
    Contabili::classInfo().create(IID_IDispatch, d.putVoid());
    QString code = QStringLiteral("RSSMRA85T10A562S");
    Variant arg = Variant::byRef(&code);
    DISPPARAMS dp{&arg, nullptr, 1, 0};
    Variant result;
    for (auto _ : state) {
        d->Invoke(0x60030001, IID_NULL, 0, DISPATCH_METHOD, &dp, &result, nullptr, nullptr);
        benchmark::DoNotOptimize(result);
    }
    if (result != Variant(true))
        state.SkipWithError("Invoke did not return True");
}

// Round(2.675, 2, 1) as a Python or Basic host passes it: values, not references.
void BM_RoundDirect(benchmark::State& state) {
    ComPtr<_Math> m;
    Math::classInfo().create(IID__Math, m.putVoid());
    double r = 0;
    for (auto _ : state) {
        double n = 2.675;
        int16_t d = 2;
        uint8_t t = 1;
        m->Round(&n, &d, &t, &r);
        benchmark::DoNotOptimize(r);
    }
    if (r != 2.68)
        state.SkipWithError("Round did not give 2.68");
}

void BM_RoundInvoke(benchmark::State& state) {
    ComPtr<IDispatch> d;
    Math::classInfo().create(IID_IDispatch, d.putVoid());
    Variant args[3] = {Variant(int32_t(1)), Variant(int32_t(2)), Variant(2.675)};
    DISPPARAMS dp{args, nullptr, 3, 0};
    Variant result;
    for (auto _ : state) {
        d->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &dp, &result, nullptr, nullptr);
        benchmark::DoNotOptimize(result);
    }
    if (result != Variant(2.68))
        state.SkipWithError("Invoke did not give 2.68");
}

BENCHMARK(BM_Direct);
BENCHMARK(BM_Invoke);
BENCHMARK(BM_RoundDirect);
BENCHMARK(BM_RoundInvoke);

class Collecting : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            perCall[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> perCall; // ns
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Collecting reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double direct = reporter.perCall["BM_Direct"];
    const double late = reporter.perCall["BM_Invoke"];
    if (direct > 0 && late > 0)
        std::printf(
            "%s: dual interface %.1f ns, Invoke by dispatch id %.1f ns, overhead %.1f ns per call "
            "(%.1fx)\n",
            kMember, direct, late, late - direct, late / direct);
    benchmark::Shutdown();
    return 0;
}

// Steps per second of the 3D step on the 100-taon lattice example: the
// written procedure evaluated plainly, and the fast step on 1 and 2 threads.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "common/fpcheck.h"
#include "sphaeron/core/literal_step.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"

namespace {

sphaeron::TaonState LatticeState() {
    const char* dir = std::getenv("SPHAERON_EXAMPLES");
    std::string path = std::string(dir ? dir : SPHAERON_EXAMPLES_DEFAULT) + "/lattice100.ato";
    sphaeron::TaonsDocument doc;
    sphaeron::TaonState s;
    sphaeron::LoadDocument(path, doc, s);
    return s;
}

void BM_LiteralStep(benchmark::State& st) {
    sphaeron::TaonState s = LatticeState();
    for (auto _ : st) {
        common::ClearFpFlags();
        sphaeron::literal::TaonStep<long double>(s, {});
        common::CheckFp();
        benchmark::DoNotOptimize(s.X[1]);
    }
    st.counters["steps/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

void BM_FastStep(benchmark::State& st) {
    sphaeron::TaonState s = LatticeState();
    sphaeron::StepEngine engine(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        engine.Step(s, {});
        benchmark::DoNotOptimize(s.X[1]);
    }
    st.counters["steps/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_LiteralStep)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FastStep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();

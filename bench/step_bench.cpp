// Steps per second of the 3D step on the 100-taon lattice example: the
// written procedure evaluated plainly, and the fast step on 1 and 2 threads,
// without and with the observables of every step (log 0, 1).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "common/fpcheck.h"
#include "common/timeline.h"
#include "sphaeron/core/literal_step.h"
#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/structure/structure.h"

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
    sphaeron::Observables o;
    sphaeron::Observables* log = st.range(1) ? &o : nullptr;
    for (auto _ : st) {
        engine.Step(s, {}, log);
        benchmark::DoNotOptimize(s.X[1]);
        benchmark::DoNotOptimize(o.e);
    }
    st.counters["steps/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

// What the window's timeline adds to a step: the record of the state into
// the history (with its thinning once the 256 MiB are full).
void BM_RecordState(benchmark::State& st) {
    sphaeron::TaonState s = LatticeState();
    sphaeron::TaonsDocument doc;
    common::Timeline timeline(sphaeron::kDocumentSize);
    std::int64_t step = 0;
    for (auto _ : st) {
        sphaeron::TaonsDocument record = doc;
        sphaeron::PackDocument(s, record);
        timeline.Record(record.bytes.data(), ++step);
    }
    st.counters["states held"] = static_cast<double>(timeline.Count());
}

}  // namespace

// One structure analysis of the 100 taons (neighbours, q4 and q6 with
// their averages, clusters, summary) under each neighbour rule; against
// BM_FastStep/1/0 it is the share of a step it would cost.
void BM_StructureAnalysis(benchmark::State& st) {
    sphaeron::TaonState s = LatticeState();
    sphaeron::structure::StructureOptions o;
    const char* rules[] = {"sann", "cutoff:1.5", "nearest:12"};
    o.neighbours = sphaeron::structure::ParseNeighbourChoice(rules[st.range(0)]);
    st.SetLabel(rules[st.range(0)]);
    sphaeron::structure::StructureResult r;
    for (auto _ : st) {
        sphaeron::structure::AnalyseStructure(s, o, r);
        benchmark::DoNotOptimize(r.summary.mean_q6);
    }
}

BENCHMARK(BM_StructureAnalysis)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_RecordState)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_LiteralStep)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FastStep)
    ->ArgNames({"threads", "log"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();

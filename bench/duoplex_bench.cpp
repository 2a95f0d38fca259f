// Throughput of the planar run: steps through the session's run loop, and a
// step with its frame as the window's run makes them.
#include <benchmark/benchmark.h>

#include "common/canvas.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_step.h"
#include "duoplex/session/session.h"

namespace {

using duoplex::FunctionChoice;

constexpr std::uint64_t kBatch = 1000;

void BM_Step(benchmark::State& state, FunctionChoice f, bool three) {
    duoplex::Session session(duoplex::FaultKeeps::StateBeforeStep, 0);  // as duoplex-run
    session.UseConfiguration(f, three);
    session.SetSettings(duoplex::StepSettings{f, !three, 1});
    while (state.KeepRunningBatch(kBatch)) {
        session.Run(kBatch, nullptr);
        benchmark::DoNotOptimize(session.State().X[1]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_Step, F_PE_two_passes, FunctionChoice::F_PE, false);
BENCHMARK_CAPTURE(BM_Step, F_PES_two_passes, FunctionChoice::F_PES, false);
BENCHMARK_CAPTURE(BM_Step, F_PE1_three_gravons, FunctionChoice::F_PE1, true);

// The bare step without the loop, for comparison: what the loop costs.
void BM_BareStep(benchmark::State& state) {
    duoplex::PlanarState s;
    duoplex::LoadStartConfiguration(s, FunctionChoice::F_PE, false);
    const duoplex::StepSettings st{FunctionChoice::F_PE, true, 1};
    for (auto _ : state) {
        duoplex::DoStep(s, st);
        benchmark::DoNotOptimize(s.X[1]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareStep);

struct Controls : duoplex::SceneControls {
    bool DoubleScale() const override { return true; }
    bool TwoGravonsChecked() const override { return true; }
    FunctionChoice Function() const override { return FunctionChoice::F_PES; }
    std::string TypedA(int k) const override { return k == 3 ? "0" : "1"; }
    void ShowLiveValue(duoplex::Field, int, const std::string&) override {}
    char DecimalSeparator() const override { return ','; }
};

// Draws every committed state, as the window's observer does.
struct Drawer : duoplex::RunObserver {
    duoplex::Session& session;
    common::MemoryCanvas canvas{duoplex::kFieldWidth, duoplex::kClientHeight};
    Controls controls;
    explicit Drawer(duoplex::Session& s) : session(s) {}
    void Committed(const duoplex::CommittedStep&) override { session.Draw(canvas, controls); }
};

// A step and its frame as the window's run makes them, with the timeline
// recording each state (argument 1) or not (0).
void BM_StepAndFrame(benchmark::State& state) {
    const bool record = state.range(0) != 0;
    duoplex::Session session(duoplex::FaultKeeps::FinishedPasses, record ? common::Timeline::kDefaultBudget : 0);
    session.UseConfiguration(FunctionChoice::F_PES, false);
    session.SetSettings(duoplex::StepSettings{FunctionChoice::F_PES, true, 1});
    session.RestartTimeline();
    Drawer drawer(session);
    while (state.KeepRunningBatch(kBatch)) session.Run(kBatch, &drawer);
    state.SetItemsProcessed(state.iterations());
    state.counters["states held"] = static_cast<double>(session.Timeline().Count());
}
BENCHMARK(BM_StepAndFrame)->ArgName("timeline")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();

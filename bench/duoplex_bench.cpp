// Throughput of the planar step and of one drawn frame.
#include <benchmark/benchmark.h>

#include "common/canvas.h"
#include "common/timeline.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_step.h"

namespace {

using duoplex::FunctionChoice;

duoplex::PlanarState Configured(FunctionChoice f, bool three) {
    duoplex::PlanarState s;
    duoplex::ResetToStartValues(s);
    auto c = duoplex::RefreshConfiguration(f, three);
    duoplex::ApplyConfiguration(s, *c);
    s.DT = c->DT;
    return s;
}

void BM_Step(benchmark::State& state, FunctionChoice f, bool three) {
    duoplex::PlanarState s = Configured(f, three);
    duoplex::StepSettings st{f, !three, 1};
    for (auto _ : state) {
        duoplex::DoStep(s, st);
        benchmark::DoNotOptimize(s.X[1]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_Step, F_PE_two_passes, FunctionChoice::F_PE, false);
BENCHMARK_CAPTURE(BM_Step, F_PES_two_passes, FunctionChoice::F_PES, false);
BENCHMARK_CAPTURE(BM_Step, F_PE1_three_gravons, FunctionChoice::F_PE1, true);

struct Controls : duoplex::SceneControls {
    bool Sc1Checked() const override { return true; }
    bool TwoGravonsChecked() const override { return true; }
    FunctionChoice Function() const override { return FunctionChoice::F_PES; }
    std::string AText(int k) const override { return k == 3 ? "0" : "1"; }
    void ShowLiveValue(duoplex::Field, int, const std::string&) override {}
    char DecimalSeparator() const override { return ','; }
};

// A step and its frame as the window's run makes them, with the timeline
// recording each state (argument 1) or not (0).
void BM_StepAndFrame(benchmark::State& state) {
    duoplex::PlanarState s = Configured(FunctionChoice::F_PES, false);
    duoplex::StepSettings st{FunctionChoice::F_PES, true, 1};
    common::MemoryCanvas canvas(duoplex::kFieldWidth, duoplex::kClientHeight);
    Controls controls;
    common::Timeline timeline(duoplex::kGravRecordSize);
    const bool record = state.range(0) != 0;
    for (auto _ : state) {
        duoplex::DoStep(s, st);
        if (record) timeline.Record(duoplex::RecordedState(s).data(), s.StepCount);
        duoplex::DrawScene(s, canvas, controls);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["states held"] = static_cast<double>(timeline.Count());
}
BENCHMARK(BM_StepAndFrame)->ArgName("timeline")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();

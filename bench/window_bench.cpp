// Steps per second of the Sphaeron main window running the 100-taon lattice
// example with "Show Listing" on (the run loop with the window's heartbeat:
// the scene, the listing and event dispatch at the pace of the screen), next
// to the same run loop without a window on the same document and thread
// count, as the headless runner makes it. The window run is measured with the plots
// window closed (second argument 0) and open (1), and with the timeline
// recording every step (third argument 1, as the window always does) and
// without it (0). Runs on any Qt platform; without a
// display use QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "sphaeron/session/session.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/plots_window.h"
#include "sphaeron/forms/program.h"

namespace {

constexpr int kStepsPerRun = 200;

std::string LatticePath() {
    const char* dir = std::getenv("SPHAERON_EXAMPLES");
    return std::string(dir ? dir : SPHAERON_EXAMPLES_DEFAULT) + "/lattice100.ato";
}

// A configuration folder of its own, so that the real start file is never
// touched; its start file names the lattice example.
struct ScratchConfig {
    ScratchConfig() {
        char tmpl[] = "/tmp/sphaeron-window-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        setenv("XDG_STATE_HOME", dir.c_str(), 1);  // the autosaved runs too
        sphaeron::RememberLastDocument(LatticePath());
    }
    ~ScratchConfig() { std::filesystem::remove_all(dir); }
    std::string dir;
};

// Failures would be a fault of the benchmark: show them on the console.
struct ConsoleDialogs : sphaeron::forms::QtDialogs {
    void Failure(QWidget*, const QString& text) override { std::fprintf(stderr, "failure: %s\n", qPrintable(text)); }
    void Information(QWidget*, const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
};
ConsoleDialogs* consoleDialogs = nullptr;

void BM_WindowRun(benchmark::State& st) {
    ScratchConfig config;
    sphaeron::forms::SphaeronProgram program(*consoleDialogs);
    program.Data.SetStepThreads(static_cast<int>(st.range(0)));
    if (st.range(2) == 0) program.Data.SetTimelineBudget(0);
    sphaeron::forms::TMainForm& form = *program.MainForm;
    form.show();
    QApplication::processEvents();
    if (form.Data().State().SpiralMode || !form.ShowList->isChecked()) {
        st.SkipWithError("the lattice example did not load");
        return;
    }
    if (st.range(1) != 0) form.Plots1->trigger();
    // Let the windows be shown and painted for the first time before timing.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500) QApplication::processEvents();
    // Stops the run once it has made its steps (checked at every dispatch).
    int target = 0;
    QTimer stopper;
    stopper.setInterval(0);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (!form.Data().State().Stopped && form.Data().State().StepCount >= target) form.Go->click();
    });
    stopper.start();
    long steps = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : st) {
        int first = form.Data().State().StepCount;
        target = first + kStepsPerRun;
        form.Go->click();  // returns when the run has ended
        steps += form.Data().State().StepCount - first;
    }
    st.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
    st.counters["states held"] = static_cast<double>(form.Data().Timeline().Count());
    if (form.Plots) {
        // The share of the run the plots window took, as it measures itself.
        const auto runs = std::chrono::steady_clock::now() - started;
        st.counters["plot samples"] = static_cast<double>(form.Plots->SampleCount());
        st.counters["plot samples/s"] = static_cast<double>(form.Plots->SampleCount()) /
                                        std::chrono::duration<double>(runs).count();
        st.counters["plots share %"] = 100.0 * std::chrono::duration<double>(form.Plots->TimeSpent()).count() /
                                        std::chrono::duration<double>(runs).count();
    }
    form.close();
}

// The window run with View > Colour By Cluster (the structure analysis and
// the coloured picture with its legend), without (0) and with (1) the plots
// window and its structure charts: the analyses a second and the share of
// the run they took.
void BM_WindowStructureRun(benchmark::State& st) {
    ScratchConfig config;
    sphaeron::forms::SphaeronProgram program(*consoleDialogs);
    sphaeron::forms::TMainForm& form = *program.MainForm;
    form.show();
    form.ColourByCluster->trigger();
    if (st.range(0) != 0) form.Plots1->trigger();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500) QApplication::processEvents();
    int target = 0;
    QTimer stopper;
    stopper.setInterval(0);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (!form.Data().State().Stopped && form.Data().State().StepCount >= target) form.Go->click();
    });
    stopper.start();
    const long analysesBefore = form.Structure().AnalysisCount();
    const auto spentBefore = form.Structure().TimeSpent();
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : st) {
        target = form.Data().State().StepCount + kStepsPerRun;
        form.Go->click();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    st.counters["analyses/s"] = static_cast<double>(form.Structure().AnalysisCount() - analysesBefore) / seconds;
    st.counters["structure share %"] =
        100.0 * std::chrono::duration<double>(form.Structure().TimeSpent() - spentBefore).count() / seconds;
    form.close();
}

// The same run loop without a window, as the headless runner makes it.
void BM_HeadlessRun(benchmark::State& st) {
    sphaeron::Session session(static_cast<int>(st.range(0)));
    session.SetTimelineBudget(0);
    sphaeron::TaonsDocument record = session.Document();
    sphaeron::ReadDocument(LatticePath(), record);
    session.UseRecord(record);
    long steps = 0;
    for (auto _ : st) {
        steps += static_cast<long>(session.Run(kStepsPerRun).steps);
        benchmark::DoNotOptimize(session.State().X[1]);
    }
    st.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_HeadlessRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_WindowRun)
    ->ArgNames({"threads", "plots", "timeline"})
    ->ArgsProduct({{1, 2}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

BENCHMARK(BM_WindowStructureRun)->ArgName("plots")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

int main(int argc, char** argv) {
    ConsoleDialogs dialogs;
    consoleDialogs = &dialogs;
    sphaeron::forms::SphaeronApplication app(argc, argv, dialogs);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The main window's side of a run: Go and Stop, the switches of the run,
// and the heartbeat that shows the run as it goes. The session's run loop
// makes the steps; the heartbeat, called between two steps, draws and
// dispatches the pending messages (every other handler runs there) at the
// pace a screen can show, and the window shows the final state when the
// run ends.
#include <QCoreApplication>
#include <QToolBar>

#include "sphaeron/forms/main_form.h"

namespace sphaeron::forms {

namespace {

class Heartbeat : public RunObserver {
public:
    explicit Heartbeat(TMainForm& form) : form_(form), last_(Clock::now()) {}

    bool WantsObservables(std::uint64_t) override { return form_.PlotsSampleDue(); }

    void Committed(const CommittedStep& step) override {
        if (form_.Plots) form_.PlotsStepDone(step);
        const Clock::time_point now = Clock::now();
        if (now - last_ < form_.FrameInterval) return;
        form_.ShowRunFrame();
        QCoreApplication::processEvents();
        // The time taken by the drawing and the handlers counts as drawn.
        last_ = Clock::now();
    }

private:
    using Clock = std::chrono::steady_clock;
    TMainForm& form_;
    Clock::time_point last_;
};

}  // namespace

RunSwitches TMainForm::WindowSwitches() const {
    RunSwitches sw;
    sw.mode = RB1->isChecked() ? 1 : RB2->isChecked() ? 2 : 0;
    sw.stopL = StopL->isChecked();
    sw.cool = Cool->isChecked();
    return sw;
}

void TMainForm::SwitchesClick() { session_.SetSwitches(WindowSwitches()); }

void TMainForm::ShowRunFrame() {
    const TaonState& s = State();
    if (s.TimeDisplayOn) ShowStepCount(s.StepCount);
    if (TimelineStrip->isVisible()) ShowTimeline();
    DrawTaonScene();
    if (ShowList->isChecked()) FillListing();
}

void TMainForm::GoClick() {
    TaonState& s = State();
    if (!s.Stopped) {
        ShowRunLook(false);
        s.Stopped = true;
        return;
    }
    ShowRunLook(true);
    s.Stopped = false;
    if (runActive_) return;  // "Stop" and "Go" within one dispatch: the loop goes on
    runActive_ = true;
    session_.SetSwitches(WindowSwitches());
    Heartbeat heartbeat(*this);
    const std::uint64_t first = session_.Steps();
    RunResult result;
    bool drawingFailed = false;
    try {
        result = session_.Run(Session::kUntilStopped, &heartbeat);
    } catch (const std::exception& e) {
        // A failure while drawing a step ends the run as a step's fault does.
        drawingFailed = true;
        ReportFailure(dialogs_, e);
    }
    runActive_ = false;
    // The final state, whichever frames were left out on the way.
    if (!drawingFailed && session_.Steps() != first)
        Guarded(dialogs_, [this] {
            ShowRunFrame();
            if (Plots) PlotsRunEnded();
        });
    if (result.faulted) {
        try {
            std::rethrow_exception(result.error);
        } catch (const std::exception& e) {
            ReportFailure(dialogs_, e);
        }
    }
    ShowRunLook(false);
    ShowTimeline();
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

}  // namespace sphaeron::forms

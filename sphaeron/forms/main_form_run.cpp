// The main window's side of a run: Go and Stop, the switches of the run,
// and the heartbeat that shows the run as it goes. The session's run loop
// makes the steps; the heartbeat, called between two steps, draws and
// dispatches the pending messages (every other handler runs there) at the
// pace a screen can show, and the window shows the final state when the
// run ends.
#include <QCoreApplication>
#include <QToolBar>
#include <algorithm>

#include "sphaeron/forms/main_form.h"

namespace sphaeron::forms {

namespace {

// Drawing a frame of 100 taons with the listing costs a millisecond or
// more; frames are spaced so that they take at most 1 / kCostShare of the
// run, and never closer than the window's frame interval. Messages are
// dispatched at the frame interval in any case, so the window answers a key
// or a click at once. A step that takes a frame interval or longer is drawn
// every time.
class Heartbeat : public RunObserver {
public:
    static constexpr int kCostShare = 40;
    static constexpr std::chrono::milliseconds kSlowFrame{10};

    explicit Heartbeat(TMainForm& form) : form_(form), step_(Clock::now()), drawn_(step_), dispatched_(step_) {}

    bool WantsObservables(std::uint64_t) override { return form_.PlotsSampleDue(); }

    void Committed(const CommittedStep& step) override {
        form_.StructureStepDone(step);
        if (form_.Plots) form_.PlotsStepDone(step);
        const Clock::time_point now = Clock::now();
        const bool slowStep = now - step_ >= form_.FrameInterval;
        if (slowStep || now - drawn_ >= std::max<Clock::duration>(form_.FrameInterval, frameCost_ * kCostShare)) {
            form_.ShowRunFrame();
            QCoreApplication::processEvents();
            drawn_ = dispatched_ = Clock::now();
            // The time the last frames took, smoothed; a handler that kept
            // the window long (a dialog) counts as a slow frame, no more.
            frameCost_ = (frameCost_ * 3 + std::min<Clock::duration>(drawn_ - now, kSlowFrame)) / 4;
        } else if (now - dispatched_ >= form_.FrameInterval) {
            // The counter costs nothing to keep up with the steps.
            if (step.state.TimeDisplayOn) form_.ShowStepCount(step.state.StepCount);
            QCoreApplication::processEvents();
            dispatched_ = Clock::now();
        }
        step_ = Clock::now();
    }

private:
    using Clock = std::chrono::steady_clock;
    TMainForm& form_;
    Clock::time_point step_;  // the end of the last step's own work
    Clock::time_point drawn_, dispatched_;
    Clock::duration frameCost_{};
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
    if (!State().Stopped) {
        ShowRunLook(false);
        session_.RequestStop();
        return;
    }
    ShowRunLook(true);
    session_.CancelStop();
    if (runActive_) return;  // "Stop" and "Go" within one dispatch: the loop goes on
    runActive_ = true;
    session_.SetSwitches(WindowSwitches());
    Guarded(dialogs_, [this] { autosave_->Begin(session_); });
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
    Guarded(dialogs_, [this] { autosave_->End(session_); });
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

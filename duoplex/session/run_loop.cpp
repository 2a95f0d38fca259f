// The one run loop of the planar program.
#include <algorithm>

#include "common/errors.h"
#include "duoplex/core/planar_step.h"
#include "duoplex/session/session.h"

namespace duoplex {

namespace {

// What a step's passes change: positions and speeds.
struct Motion {
    long double X[4], Y[4], SpeedX[4], SpeedY[4];

    explicit Motion(const PlanarState& s) {
        std::copy(std::begin(s.X), std::end(s.X), X);
        std::copy(std::begin(s.Y), std::end(s.Y), Y);
        std::copy(std::begin(s.SpeedX), std::end(s.SpeedX), SpeedX);
        std::copy(std::begin(s.SpeedY), std::end(s.SpeedY), SpeedY);
    }
    void PutBack(PlanarState& s) const {
        std::copy(std::begin(X), std::end(X), s.X);
        std::copy(std::begin(Y), std::end(Y), s.Y);
        std::copy(std::begin(SpeedX), std::end(SpeedX), s.SpeedX);
        std::copy(std::begin(SpeedY), std::end(SpeedY), s.SpeedY);
    }
};

}  // namespace

void Session::AddRecorder(StateRecorder* recorder) { recorders_.push_back(recorder); }

void Session::RemoveRecorder(StateRecorder* recorder) {
    recorders_.erase(std::remove(recorders_.begin(), recorders_.end(), recorder), recorders_.end());
}

RunResult Session::Run(std::uint64_t maxSteps, RunObserver* observer) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        runThread_ = std::this_thread::get_id();
        running_ = true;
    }
    stopRequested_ = false;
    state_.Stopped = false;
    struct End {
        Session* s;
        ~End() {
            {
                std::lock_guard<std::mutex> lock(s->queueLock_);
                s->running_ = false;
            }
            s->ApplyQueued();  // a change made during the last step is kept
            s->stopRequested_ = false;
            s->state_.Stopped = true;
        }
    } end{this};

    // Runs on from the state shown; the states recorded after it are dropped.
    // It is taken up again unless it changed: its switches are not compared.
    if (timeline_.Recording()) {
        auto entry = TimelineEntry(settings_);
        if (!timeline_.Empty())
            std::copy_n(timeline_.StateAt(timeline_.Shown()) + kGravRecordSize, common::kRunSwitchesSize,
                        entry.begin() + kGravRecordSize);
        timeline_.Continue(entry.data(), static_cast<std::int64_t>(steps_));
    }
    RunResult result;
    while (!stopRequested_ && (maxSteps == kUntilStopped || result.steps < maxSteps)) {
        ApplyQueued();
        if (!Step(result)) break;
        Committed(observer);
    }
    return result;
}

bool Session::Step(RunResult& result) {
    try {
        if (keeps_ == FaultKeeps::StateBeforeStep) {
            const Motion before(state_);
            try {
                DoPasses(state_, settings_);
            } catch (const common::FloatError&) {
                before.PutBack(state_);
                throw;
            }
        } else {
            DoPasses(state_, settings_);
        }
    } catch (const common::FloatError& e) {
        result.faulted = true;
        result.fault = e.what();
        result.faultStep = result.steps + 1;
        return false;
    }
    ++result.steps;
    SetCount(steps_ + 1);
    return true;
}

void Session::Committed(RunObserver* observer) {
    const CommittedStep step{steps_, state_, settings_};
    if (timeline_.Recording()) timeline_.Record(TimelineEntry(settings_).data(), static_cast<std::int64_t>(steps_));
    for (StateRecorder* r : recorders_) r->Record(step);
    if (observer) observer->Committed(step);
}

}  // namespace duoplex

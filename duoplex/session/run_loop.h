#pragma once
// The pieces of a run that the session's run loop hands out: each committed
// state to the recorders (the timeline, an archive) and then to the observer
// (a window draws it and handles its events there), and the outcome.
#include <cstdint>
#include <string>

#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"

namespace duoplex {

// A state the run has just committed.
struct CommittedStep {
    std::uint64_t step;            // its step count (64 bits; `StepCount` shows the low 32)
    const PlanarState& state;
    const StepSettings& settings;  // those the step was made with
};

// Told of every committed state, after the recorders. Runs on the thread of
// the run, between two steps: changes it makes to the session (values, dt,
// settings, a stop request) act on the very next step. An exception it
// throws ends the run and leaves Run.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void Committed(const CommittedStep& step) = 0;
};

// Keeps committed states (the timeline, an archive).
class StateRecorder {
public:
    virtual ~StateRecorder() = default;
    virtual void Record(const CommittedStep& step) = 0;
    // Another state was put in the place of the run's between two steps
    // ("New" during a run): the steps after it go on from `step`.
    virtual void Restarted(const CommittedStep& step) { (void)step; }
};

// How a run ended.
struct RunResult {
    std::uint64_t steps = 0;      // steps made and committed by this run
    bool faulted = false;         // an arithmetic fault ended it
    std::uint64_t faultStep = 0;  // the step of this run that faulted, 1 for the first
    std::string fault;            // the fault's text
};

// What stays of a step that faults: the state committed before it (the
// headless runner, the Python module), or the passes it finished (the
// window: a finished two-gravon pass stays).
enum class FaultKeeps { StateBeforeStep, FinishedPasses };

// A run without a limit of steps: until a stop request.
constexpr std::uint64_t kUntilStopped = 0;

}  // namespace duoplex

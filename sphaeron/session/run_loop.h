#pragma once
// What the one run loop of the 3D program (Session::Run) works with: the
// switches of a run, the committed step it reports, the observer that
// watches a run (the window's heartbeat, the runner's outputs, the Python
// module's interrupt check) and the recorders that keep committed states
// (the timeline, an archive).
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_state.h"

namespace sphaeron {

// One committed step as the loop reports it.
struct CommittedStep {
    std::uint64_t step;           // the run's count after this step (64 bits, never wraps)
    const TaonState& state;       // the committed state
    const RunSwitches& switches;  // the switches the step was made with
    // The observables of the state before the step, formed by the step
    // itself, when the observer asked for them (WantsObservables); else null.
    const Observables* before;
};

// Watches a run. The loop calls it between two steps, so that every change
// it makes (a parameter, a switch, the time step, a stop request) acts on
// the very next step.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // Whether the step that makes `nextStep` should also form the
    // observables of the state before it; they come with that step.
    virtual bool WantsObservables(std::uint64_t /*nextStep*/) { return false; }
    // After each committed step (and after it was recorded).
    virtual void Committed(const CommittedStep& step) = 0;
};

// Keeps committed states: the timeline, an archive. Called after every
// committed step, before the observer.
class StateRecorder {
public:
    virtual ~StateRecorder() = default;
    virtual void Record(const CommittedStep& step) = 0;
};

// How a run ended.
struct RunResult {
    std::uint64_t steps = 0;     // steps made and committed by this run
    bool faulted = false;        // an arithmetic fault ended it
    std::uint64_t faultStep = 0;  // the count the faulting step would have reached
    std::string fault;           // the fault's text
    std::exception_ptr error;    // the fault itself
};

class StepEngine;

// The pieces a run works on. The switches are read before every step, so a
// change between two steps acts on the next; the count is the run's 64-bit
// step count; the recorders keep each committed state.
struct RunPieces {
    StepEngine& engine;
    TaonState& state;
    const RunSwitches& switches;
    std::uint64_t& steps;
    const std::vector<StateRecorder*>& recorders;
};

// The one run loop (Session::Run is it on the session's pieces; the Python
// module runs it on a document): steps until `maxSteps` steps are made or
// state.Stopped is set between two steps, and after each committed step
// counts it (state.StepCount following the count), records it and hands it
// to the observer. Stopped is false while it runs and true when it returns.
// An arithmetic fault of a step ends it with the state committed before
// that step, reported in the result; a failure of a recorder or the
// observer is thrown on.
RunResult RunLoop(const RunPieces& run, std::uint64_t maxSteps, RunObserver* observer);

// The low 32 bits of a count as the shown counter (a signed number).
inline std::int32_t ShownCount(std::uint64_t steps) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(steps));
}

}  // namespace sphaeron

#include "sphaeron/session/run_loop.h"

#include "common/errors.h"
#include "sphaeron/core/taon_step.h"

namespace sphaeron {

RunResult RunLoop(const RunPieces& run, std::uint64_t maxSteps, RunObserver* observer) {
    RunResult result;
    // Whatever ends the run, it ends stopped.
    struct Ending {
        TaonState& s;
        ~Ending() { s.Stopped = true; }
    } ending{run.state};
    run.state.Stopped = false;
    while (!run.state.Stopped && result.steps < maxSteps) {
        const RunSwitches sw = run.switches;
        const std::uint64_t next = run.steps + 1;
        Observables before;
        const bool sample = observer && observer->WantsObservables(next);
        try {
            run.engine.Step(run.state, sw.ForStep(), sample ? &before : nullptr);
        } catch (const common::FloatError& e) {
            result.faulted = true;
            result.faultStep = next;
            result.fault = e.what();
            result.error = std::current_exception();
            break;
        }
        run.steps = next;
        run.state.StepCount = ShownCount(next);
        ++result.steps;
        const CommittedStep committed{next, run.state, sw, sample ? &before : nullptr};
        for (StateRecorder* r : run.recorders) r->Record(committed);
        if (observer) observer->Committed(committed);
    }
    return result;
}

}  // namespace sphaeron

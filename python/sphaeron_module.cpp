// The module `sphaeron` and its step engine.
#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <vector>
#include <optional>

#include "common/errors.h"
#include "python/binding_support.h"
#include "python/sphaeron_py.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/session/run_loop.h"

namespace pysphaeron {

namespace {

constexpr int kMaxThreads = 64;

class Engine {
public:
    explicit Engine(int threads) : engine_(MakeEngine(threads)) {}

    int Threads() const { return engine_->Threads(); }

    // n steps through the run loop without the interpreter lock (see
    // RunWithoutLock).
    void Step(Document& d, long long n, int mode, bool stopL, bool cool) {
        if (n < 0) throw py::value_error("n must be 0 or more");
        if (mode < 0 || mode > 2) throw py::value_error("mode must be 0, 1 or 2");
        const sphaeron::RunSwitches sw{.mode = mode, .stopL = stopL, .cool = cool};

        // Ctrl-C stops the run after the step made.
        struct Interrupts : sphaeron::RunObserver {
            const std::function<bool()>* between = nullptr;
            sphaeron::TaonState* state = nullptr;
            void Committed(const sphaeron::CommittedStep&) override {
                if (!(*between)()) state->Stopped = true;
            }
        } interrupts;
        sphaeron::RunResult result;
        pyext::RunWithoutLock(&mutex_, d.busy, [&](const std::function<bool()>& between) {
            if (sphaeron::ShownCount(d.steps) != d.state.StepCount)
                d.steps = static_cast<std::uint32_t>(d.state.StepCount);
            interrupts.between = &between;
            interrupts.state = &d.state;
            const std::vector<sphaeron::StateRecorder*> none;
            result = sphaeron::RunLoop({*engine_, d.state, sw, d.steps, none}, static_cast<std::uint64_t>(n),
                                       &interrupts);
        });
        if (result.faulted) pyext::RaiseFloatError(result.fault, static_cast<long long>(result.steps) + 1);
    }

private:
    static std::unique_ptr<sphaeron::StepEngine> MakeEngine(int threads) {
        if (threads < 1 || threads > kMaxThreads) throw py::value_error("threads must be 1 to 64");
        pyext::ExactArithmetic exact;  // the workers start with it
        return std::make_unique<sphaeron::StepEngine>(threads);
    }

    std::unique_ptr<sphaeron::StepEngine> engine_;
    std::mutex mutex_;  // one run at a time
};

}  // namespace

void BindEngine(py::module_& m) {
    py::class_<Engine>(m, "Engine",
                       "The step engine with its worker threads. The results do not depend on the number\n"
                       "of threads.")
        .def(py::init<int>(), py::arg("threads") = 1)
        .def_property_readonly("threads", &Engine::Threads)
        .def("step", &Engine::Step, py::arg("doc"), py::arg("n") = 1, py::arg("mode") = 0,
             py::arg("stopl") = false, py::arg("cool") = false,
             "Makes n steps of the document, as sphaeron-run does, and adds them to step_count.\n"
             "mode 1 is the Shelloscope law of group 1 (modes 0 and 2 step alike), stopl freezes\n"
             "taons 7 .. 100, cool damps the velocities by 0.99 per step.\n"
             "An arithmetic fault raises FloatError with the program's text and the step of this\n"
             "call that faulted; the document then holds the state committed before that step.");
}

}  // namespace pysphaeron

PYBIND11_MODULE(sphaeron, m) {
    m.doc() = "The 3D taon simulation of Sphaeron, with the state as numpy longdouble (80-bit) arrays.";
    pyext::RegisterErrors(m);
    pysphaeron::BindDocument(m);
    pysphaeron::BindEngine(m);
    pysphaeron::BindObservables(m);
    pysphaeron::BindRender(m);
    pysphaeron::BindStructure(m);
}

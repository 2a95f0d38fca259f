// The module `duoplex`: the planar gravon simulation with its state as numpy
// longdouble arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "common/document_file.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/json_fields.h"
#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/session/session.h"
#include "python/binding_support.h"
#include "python/duoplex_py.h"

namespace pyduoplex {

namespace {

namespace py = pybind11;
using duoplex::Field;
using pyext::CopyExt;
using Lock = std::lock_guard<std::mutex>;


constexpr Field kParamFields[] = {Field::A, Field::B, Field::C, Field::D};
constexpr Field kPositionFields[] = {Field::X, Field::Y};
constexpr Field kVelocityFields[] = {Field::SpeedX, Field::SpeedY};

template <std::size_t N>
py::array Get(State& st, const Field (&fields)[N]) {
    pyext::RealArray out = pyext::ZeroArray({duoplex::kGravons, static_cast<py::ssize_t>(N)});
    auto o = out.mutable_unchecked<2>();
    Lock lock(st.busy);
    for (int k = 1; k <= duoplex::kGravons; ++k)
        for (std::size_t f = 0; f < N; ++f) {
            long double v = duoplex::Value(st.session.State(), fields[f], k);
            CopyExt(&o(k - 1, static_cast<py::ssize_t>(f)), &v);
        }
    out.attr("flags").attr("writeable") = false;  // a snapshot: assign a whole array to change the state
    return out;
}

template <std::size_t N>
void Set(State& st, py::handle value, const char* what, const Field (&fields)[N]) {
    pyext::RealArray a = pyext::ToRealArray(value, {duoplex::kGravons, static_cast<py::ssize_t>(N)}, what);
    auto v = a.unchecked<2>();
    Lock lock(st.busy);
    for (int k = 1; k <= duoplex::kGravons; ++k)
        for (std::size_t f = 0; f < N; ++f) {
            long double value;
            CopyExt(&value, &v(k - 1, static_cast<py::ssize_t>(f)));
            st.session.SetValue(fields[f], k, value);
        }
}

duoplex::FunctionChoice Function(const std::string& name) {
    if (auto f = duoplex::FunctionFromName(name)) return *f;
    std::string names;
    for (duoplex::FunctionChoice f : duoplex::kAllFunctions)
        names += (names.empty() ? "" : ", ") + std::string(duoplex::FunctionName(f));
    throw py::value_error("'" + name + "' is not a function: " + names);
}

std::unique_ptr<State> NewState(bool newValues) {
    auto st = std::make_unique<State>();  // the start-up values
    if (newValues) {
        duoplex::PlanarState s;
        duoplex::ResetToNewValues(s);
        st->session.Replace(s, 0);
    }
    return st;
}

std::unique_ptr<State> Configuration(const std::string& name, bool three) {
    duoplex::FunctionChoice f = Function(name);
    if (!duoplex::RefreshConfiguration(f, three))
        throw py::value_error("'" + name + "' has no built-in configuration: it starts from typed values");
    auto st = std::make_unique<State>();
    st->session.UseConfiguration(f, three);
    return st;
}

std::unique_ptr<State> Load(const std::filesystem::path& file, bool anySize) {
    std::string path = file.string();
    duoplex::GravBytes record{};
    try {
        // A record of exactly 256 bytes (any_size: the first 256 bytes of a
        // longer file, as the window reads it) or the JSON form.
        duoplex::ReadAnyGrav(path, record, anySize);
    } catch (const common::JsonFieldError& e) {
        throw py::value_error(e.what());
    } catch (const common::FileError&) {
        throw;
    } catch (const common::AppError& e) {  // a folder, a file of another size
        throw common::FileError(e.what(), 0);
    }
    auto st = std::make_unique<State>();
    st->session.UseRecord(record);
    st->path = path;
    return st;
}

duoplex::GravBytes Record(State& st) {
    Lock lock(st.busy);
    return st.session.Record();
}

void Save(State& st, const std::filesystem::path& file) {
    std::string path = file.string();
    duoplex::GravBytes bytes = Record(st);
    if (common::IsJsonPath(path))
        common::WriteFileAtomic(path, duoplex::GravToJson(bytes), "duoplex");
    else
        common::WriteFileAtomic(path, bytes.data(), bytes.size(), "duoplex");
    st.path = path;
}

std::unique_ptr<State> Copy(State& st) {
    auto out = std::make_unique<State>();
    Lock lock(st.busy);
    out->session.Replace(st.session.State(), st.session.Steps());
    out->path = st.path;
    out->session.SetSettings(st.session.Settings());
    return out;
}

// Between two steps of a run, about every 100 ms: lets the state go for
// other threads and looks for signals (Ctrl-C); a signal's exception ends
// the run after the step made.
class SignalCheck : public duoplex::RunObserver {
public:
    SignalCheck(std::unique_lock<std::mutex>& held, duoplex::Session& session, std::uint64_t steps)
        : held_(held), session_(session), steps_(steps) {}

    void Committed(const duoplex::CommittedStep&) override {
        constexpr auto kCheckEvery = std::chrono::milliseconds(100);
        if (++done_ == steps_ || std::chrono::steady_clock::now() - lastCheck_ <= kCheckEvery) return;
        // The state is free while the interpreter lock is taken, so that no
        // thread waits for one while holding the other.
        held_.unlock();
        {
            py::gil_scoped_acquire locked;
            if (PyErr_CheckSignals() != 0) PyErr_Fetch(&pending[0], &pending[1], &pending[2]);
        }
        held_.lock();
        if (pending[0]) session_.RequestStop();
        lastCheck_ = std::chrono::steady_clock::now();
    }

    PyObject* pending[3] = {nullptr, nullptr, nullptr};

private:
    std::unique_lock<std::mutex>& held_;
    duoplex::Session& session_;
    std::uint64_t steps_, done_ = 0;
    std::chrono::steady_clock::time_point lastCheck_ = std::chrono::steady_clock::now();
};

void Step(State& st, long long n, const std::string& function, bool three, int brake) {
    if (n < 0) throw py::value_error("n must be 0 or more");
    if (brake < 1 || brake > duoplex::kBrakeCount) throw py::value_error("brake must be 1 to 5");
    const duoplex::StepSettings settings{Function(function), !three, brake};
    if (n == 0) return;
    duoplex::RunResult result;
    PyObject* pending[3] = {nullptr, nullptr, nullptr};
    {
        py::gil_scoped_release unlocked;
        std::unique_lock<std::mutex> held(st.busy);
        pyext::ExactArithmetic exact;
        st.session.SetSettings(settings);
        SignalCheck check(held, st.session, static_cast<std::uint64_t>(n));
        result = st.session.Run(static_cast<std::uint64_t>(n), &check);
        std::copy(std::begin(check.pending), std::end(check.pending), pending);
    }
    if (pending[0]) {
        PyErr_Restore(pending[0], pending[1], pending[2]);
        throw py::error_already_set();
    }
    if (result.faulted) pyext::RaiseFloatError(result.fault, static_cast<long long>(result.faultStep));
}

}  // namespace

}  // namespace pyduoplex

namespace pyduoplex {

// The class State: the record's values, the step counts and the settings
// of a run.
void BindState(py::module_& m) {
    py::class_<State>(m, "State",
                      "The planar state of three gravons. State() holds the start-up values.\n"
                      "Arrays read from it are snapshots (read-only); assign a whole array to change it.")
        .def(py::init([] { return NewState(false); }))
        .def("save", &Save, py::arg("path"),
             "Writes the state as a 256-byte .grav record, with the 6 unused bytes of the file read,\n"
             "or its JSON form when the name ends in .json.")
        .def("tobytes", [](State& st) {
            duoplex::GravBytes b = Record(st);
            return py::bytes(reinterpret_cast<const char*>(b.data()), b.size());
        }, "The 256 bytes save() would write.")
        .def("copy", &Copy)
        .def("__copy__", &Copy)
        .def("__deepcopy__", [](State& st, py::handle) { return Copy(st); })
        .def_readonly("path", &State::path)
        .def_property(
            "params", [](State& st) { return Get(st, kParamFields); },
            [](State& st, py::handle v) { Set(st, v, "params", kParamFields); },
            "A, B, C, D of gravons 1 .. 3 as a (3, 4) numpy.longdouble array.")
        .def_property(
            "positions", [](State& st) { return Get(st, kPositionFields); },
            [](State& st, py::handle v) { Set(st, v, "positions", kPositionFields); },
            "X, Y of gravons 1 .. 3 as a (3, 2) numpy.longdouble array (y grows downwards on screen).")
        .def_property(
            "velocities", [](State& st) { return Get(st, kVelocityFields); },
            [](State& st, py::handle v) { Set(st, v, "velocities", kVelocityFields); },
            "SpeedX, SpeedY of gravons 1 .. 3 as a (3, 2) numpy.longdouble array.")
        .def_property(
            "dt", [](State& st) { Lock lock(st.busy); return pyext::RealScalar(st.session.State().DT); },
            [](State& st, py::handle v) {
                long double dt = pyext::ToReal(v, "dt");
                Lock lock(st.busy);
                st.session.SetDT(dt);
            },
            "The time step (numpy.longdouble; a str is read as exact decimal text).")
        .def_property(
            "step_count", [](State& st) { Lock lock(st.busy); return st.session.State().StepCount; },
            [](State& st, std::int32_t n) { Lock lock(st.busy); st.session.SetSteps(static_cast<std::uint32_t>(n)); },
            "Steps made, as the window's counter shows them: the low 32 bits of `steps` as a signed number.")
        .def_property(
            "steps", [](State& st) { Lock lock(st.busy); return st.session.Steps(); },
            [](State& st, std::uint64_t n) { Lock lock(st.busy); st.session.SetSteps(n); },
            "Steps made, counted in 64 bits.")
        .def_property(
            "function", [](State& st) { return std::string(duoplex::FunctionName(st.session.Settings().function)); },
            [](State& st, const std::string& name) { duoplex::StepSettings st2 = st.session.Settings(); st2.function = Function(name); st.session.SetSettings(st2); },
            "The function of a frame of a run archive (Archive.append takes it by default).")
        .def_property(
            "three", [](State& st) { return !st.session.Settings().twoGravonPass; },
            [](State& st, bool three) { duoplex::StepSettings st2 = st.session.Settings(); st2.twoGravonPass = !three; st.session.SetSettings(st2); }, "Three gravons (no two-gravon pass).")
        .def_property(
            "brake", [](State& st) { return st.session.Settings().brake; },
            [](State& st, int brake) {
                if (brake < 1 || brake > duoplex::kBrakeCount) throw py::value_error("brake must be 1 to 5");
                duoplex::StepSettings st2 = st.session.Settings();
                st2.brake = brake;
                st.session.SetSettings(st2);
            },
            "The hand-brake, 1 .. 5.")
        .def("__repr__", [](State& st) {
            Lock lock(st.busy);
            return "<duoplex.State " + (st.path.empty() ? std::string("(new)") : "'" + st.path + "'") + ", step " +
                   std::to_string(st.session.State().StepCount) + ">";
        });
}

}  // namespace pyduoplex

PYBIND11_MODULE(duoplex, m) {
    using namespace pyduoplex;
    m.doc() = "The planar gravon simulation of Duoplex, with the state as numpy longdouble (80-bit) arrays.";
    pyext::RegisterErrors(m);

    BindState(m);

    m.def("load", &Load, py::arg("path"), py::arg("any_size") = false,
          "Reads a .grav document: a 256-byte record or its JSON form (told apart by content). A file\n"
          "of another size raises FileError naming its size; any_size=True reads the first 256 bytes.");
    m.def("new_state", [] { return NewState(true); }, "The values of the menu command \"New\".");
    m.def("configuration", &Configuration, py::arg("function"), py::arg("three") = false,
          "The built-in start configuration of a function and its time step, as \"Refresh\" loads\n"
          "it (three: the variant for three gravons, where the function has one).");
    m.def("step", &Step, py::arg("state"), py::arg("n") = 1, py::arg("function") = "F_PE", py::arg("three") = false,
          py::arg("brake") = 1,
          "Makes n steps, as duoplex-run does: with three=False the two-gravon pass first, then the\n"
          "pass of the function; brake 1 .. 5 is the hand-brake position. An arithmetic fault raises\n"
          "FloatError with the program's text and the step of this call that faulted.");
    std::vector<std::string> names;
    for (duoplex::FunctionChoice f : duoplex::kAllFunctions) names.emplace_back(duoplex::FunctionName(f));
    m.attr("FUNCTIONS") = py::tuple(py::cast(names));
    BindArchive(m);
}

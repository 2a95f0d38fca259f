// The module `duoplex`: the planar gravon simulation with its state as numpy
// longdouble arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <memory>
#include <mutex>

#include "common/fileio.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/planar_step.h"
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
            long double v = duoplex::Value(st.s, fields[f], k);
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
        for (std::size_t f = 0; f < N; ++f)
            CopyExt(&duoplex::Value(st.s, fields[f], k), &v(k - 1, static_cast<py::ssize_t>(f)));
}

duoplex::FunctionChoice Function(const std::string& name) {
    if (auto f = duoplex::FunctionFromName(name)) return *f;
    std::string names;
    for (duoplex::FunctionChoice f : duoplex::kAllFunctions)
        names += (names.empty() ? "" : ", ") + std::string(duoplex::FunctionName(f));
    throw py::value_error("'" + name + "' is not a function: " + names);
}

std::unique_ptr<State> NewState(bool newValues) {
    auto st = std::make_unique<State>();
    if (newValues)
        duoplex::ResetToNewValues(st->s);
    else
        duoplex::ResetToStartValues(st->s);
    return st;
}

std::unique_ptr<State> Configuration(const std::string& name, bool three) {
    auto c = duoplex::RefreshConfiguration(Function(name), three);
    if (!c) throw py::value_error("'" + name + "' has no built-in configuration: it starts from typed values");
    auto st = std::make_unique<State>();
    duoplex::ApplyConfiguration(st->s, *c);
    st->s.DT = c->DT;
    return st;
}

std::unique_ptr<State> Load(const std::filesystem::path& file) {
    std::string path = file.string();
    auto st = std::make_unique<State>();
    duoplex::LoadDocument(path, st->s);
    st->path = path;
    return st;
}

duoplex::GravBytes Record(State& st) {
    Lock lock(st.busy);
    return duoplex::EncodeGravRecord(duoplex::RecordOfState(st.s));
}

void Save(State& st, const std::filesystem::path& file) {
    std::string path = file.string();
    duoplex::GravBytes bytes = Record(st);
    common::WriteFileAtomic(path, bytes.data(), bytes.size(), "duoplex");
    st.path = path;
}

std::unique_ptr<State> Copy(State& st) {
    auto out = std::make_unique<State>();
    Lock lock(st.busy);
    out->s = st.s;
    out->path = st.path;
    out->settings = st.settings;
    return out;
}

void Step(State& st, long long n, const std::string& function, bool three, int brake) {
    if (n < 0) throw py::value_error("n must be 0 or more");
    if (brake < 1 || brake > duoplex::kBrakeCount) throw py::value_error("brake must be 1 to 5");
    duoplex::StepSettings settings;
    settings.function = Function(function);
    settings.twoGravonPass = !three;
    settings.brake = brake;
    pyext::RunSteps(nullptr, st.busy, n, [&] { duoplex::DoStep(st.s, settings); }, [] {});
}

}  // namespace

}  // namespace pyduoplex

PYBIND11_MODULE(duoplex, m) {
    using namespace pyduoplex;
    m.doc() = "The planar gravon simulation of Duoplex, with the state as numpy longdouble (80-bit) arrays.";
    pyext::RegisterErrors(m);

    py::class_<State>(m, "State",
                      "The planar state of three gravons. State() holds the start-up values.\n"
                      "Arrays read from it are snapshots (read-only); assign a whole array to change it.")
        .def(py::init([] { return NewState(false); }))
        .def("save", &Save, py::arg("path"),
             "Writes the state as a 256-byte .grav record, with the 6 unused bytes of the file read.")
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
            "dt", [](State& st) { Lock lock(st.busy); return pyext::RealScalar(st.s.DT); },
            [](State& st, py::handle v) {
                long double dt = pyext::ToReal(v, "dt");
                Lock lock(st.busy);
                CopyExt(&st.s.DT, &dt);
            },
            "The time step (numpy.longdouble; a str is read as exact decimal text).")
        .def_property(
            "step_count", [](State& st) { Lock lock(st.busy); return st.s.StepCount; },
            [](State& st, std::int32_t n) { Lock lock(st.busy); st.s.StepCount = n; })
        .def_property(
            "function", [](const State& st) { return std::string(duoplex::FunctionName(st.settings.function)); },
            [](State& st, const std::string& name) { st.settings.function = Function(name); },
            "The function of a frame of a run archive (Archive.append takes it by default).")
        .def_property(
            "three", [](const State& st) { return !st.settings.twoGravonPass; },
            [](State& st, bool three) { st.settings.twoGravonPass = !three; }, "Three gravons (no two-gravon pass).")
        .def_property(
            "brake", [](const State& st) { return st.settings.brake; },
            [](State& st, int brake) {
                if (brake < 1 || brake > duoplex::kBrakeCount) throw py::value_error("brake must be 1 to 5");
                st.settings.brake = brake;
            },
            "The hand-brake, 1 .. 5.")
        .def("__repr__", [](State& st) {
            Lock lock(st.busy);
            return "<duoplex.State " + (st.path.empty() ? std::string("(new)") : "'" + st.path + "'") + ", step " +
                   std::to_string(st.s.StepCount) + ">";
        });

    m.def("load", &Load, py::arg("path"), "Reads a .grav document (the first 256 bytes of the file).");
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

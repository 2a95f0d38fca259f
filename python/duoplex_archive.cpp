// duoplex.Archive: a run archive (.gravrun) read and written from Python.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstring>

#include "duoplex/core/run_archive.h"
#include "python/archive_support.h"
#include "python/binding_support.h"
#include "python/duoplex_py.h"

namespace pyduoplex {

namespace {

using Lock = std::lock_guard<std::mutex>;

std::unique_ptr<State> StateOf(const common::RunFrame& f) {
    auto st = std::make_unique<State>();
    duoplex::GravBytes record{};
    std::memcpy(record.data(), f.record.data(), record.size());
    st->session.UseRecord(record);
    st->session.SetSteps(static_cast<std::uint64_t>(f.step));
    st->session.SetSettings(duoplex::DecodeSwitches(f.switches));
    return st;
}

void AppendState(pyext::ArchiveCore& a, State& st, std::optional<std::string> function, std::optional<bool> three,
                 std::optional<int> brake) {
    duoplex::StepSettings settings;
    {
        Lock lock(st.busy);
        settings = st.session.Settings();
    }
    if (function) {
        auto f = duoplex::FunctionFromName(*function);
        if (!f) throw py::value_error("'" + *function + "' is not a function");
        settings.function = *f;
    }
    if (three) settings.twoGravonPass = !*three;
    if (brake) settings.brake = *brake;
    if (settings.brake < 1 || settings.brake > duoplex::kBrakeCount) throw py::value_error("brake must be 1 to 5");
    duoplex::GravBytes record;
    std::int64_t step;
    {
        Lock lock(st.busy);
        record = st.session.Record();
        step = static_cast<std::int64_t>(st.session.Steps());
    }
    a.Append(step, duoplex::EncodeSwitches(settings), record.data());
}

std::unique_ptr<pyext::ArchiveCore> Open(const std::filesystem::path& path, bool salvage, double syncEvery) {
    if (!(syncEvery >= 0)) throw py::value_error("sync_every must be 0 or more seconds");
    auto a = std::make_unique<pyext::ArchiveCore>(path.string(), duoplex::kPlanarRunKind, salvage);
    a->SetSyncSeconds(syncEvery);
    return a;
}

}  // namespace

void BindArchive(py::module_& m) {
    using pyext::ArchiveCore;
    py::class_<ArchiveCore>(m, "Archive", py::module_local(),
                            "A run archive (.gravrun): states of a run, each with its step and switches, from\n"
                            "which any step of the run is recomputed exactly. len(a), a[i] (a State with\n"
                            "step_count, function, three and brake), a.steps, a.state_at(step), a.positions,\n"
                            "a.verify(); Archive.create(path, state), a.append(state, ...).")
        .def(py::init(&Open), py::arg("path"), py::arg("salvage") = false, py::arg("sync_every") = 2.0)
        .def_static(
            "create",
            [](const std::filesystem::path& path, State& st, std::optional<std::string> function,
               std::optional<bool> three, std::optional<int> brake, double syncEvery) {
                ArchiveCore::Create(path.string(), duoplex::kPlanarRunKind);
                auto a = Open(path, false, syncEvery);
                AppendState(*a, st, function, three, brake);
                return a;
            },
            py::arg("path"), py::arg("state"), py::arg("function") = py::none(), py::arg("three") = py::none(),
            py::arg("brake") = py::none(), py::arg("sync_every") = 2.0, "A new archive whose first frame is the state.")
        .def("append", &AppendState, py::arg("state"), py::arg("function") = py::none(),
             py::arg("three") = py::none(), py::arg("brake") = py::none(),
             "Appends the state as a frame at its step_count, with the switches given (else the\n"
             "state's own). The step may not go back.")
        .def("close", &ArchiveCore::Close)
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](ArchiveCore& a, py::args) { a.Close(); })
        .def("__len__", &ArchiveCore::Count)
        .def("__getitem__", [](const ArchiveCore& a, long long i) { return StateOf(a.Frame(i)); })
        .def_property_readonly("steps", &ArchiveCore::Steps)
        .def_property_readonly("path", &ArchiveCore::Path)
        .def_property_readonly("warning", [](const ArchiveCore& a) { return a.Reader().Warning(); })
        .def(
            "state_at",
            [](const ArchiveCore& a, std::int64_t step) {
                pyext::ExactArithmetic exact;
                return StateOf(common::RunStateAt(a.Reader(), step, duoplex::PlanarReplay()));
            },
            py::arg("step"), "The state at any step from the first frame on, recomputed exactly.")
        .def_property_readonly(
            "positions", [](const ArchiveCore& a) { return a.MappedReals(120, duoplex::kGravons, 2, 30); },
            "X, Y of every frame as a read-only (frames, 3, 2) numpy.longdouble array mapped from the file.")
        .def("verify",
             [](const ArchiveCore& a) {
                 pyext::ExactArithmetic exact;
                 return a.Verify(duoplex::PlanarReplay());
             },
             "None when each frame equals its replay bit for bit, else (frame, step, what differs).")
        .def("__repr__", [](const ArchiveCore& a) {
            return "<duoplex.Archive '" + a.Path() + "', " + std::to_string(a.Count()) + " frames>";
        });
}

}  // namespace pyduoplex

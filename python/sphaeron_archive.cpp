// sphaeron.Archive: a run archive (.atorun) read and written from Python.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstring>

#include "python/archive_support.h"
#include "python/binding_support.h"
#include "python/sphaeron_py.h"
#include "sphaeron/session/run_archive.h"
#include "sphaeron/session/run_loop.h"

namespace pysphaeron {

namespace {

using Lock = std::lock_guard<std::mutex>;

std::unique_ptr<Document> DocumentOf(const common::RunFrame& f) {
    auto d = std::make_unique<Document>();
    std::memcpy(d->record.bytes.data(), f.record.data(), sphaeron::kDocumentSize);
    sphaeron::DistributeDocument(d->record, d->state);
    d->steps = static_cast<std::uint64_t>(f.step);
    d->state.StepCount = sphaeron::ShownCount(d->steps);
    sphaeron::RunSwitches sw = sphaeron::DecodeSwitches(f.switches);
    d->mode = sw.mode;
    d->stopL = sw.stopL;
    d->cool = sw.cool;
    return d;
}

// The frame of a document: its record, step count and switches (the
// arguments given, else the document's own).
void AppendDocument(pyext::ArchiveCore& a, Document& d, std::optional<int> mode, std::optional<bool> stopL,
                    std::optional<bool> cool) {
    sphaeron::RunSwitches sw{mode.value_or(d.mode), stopL.value_or(d.stopL), cool.value_or(d.cool)};
    if (sw.mode < 0 || sw.mode > 2) throw py::value_error("mode must be 0, 1 or 2");
    sphaeron::TaonsDocument record;
    std::int64_t step;
    {
        Lock lock(d.busy);
        sphaeron::PackDocument(d.state, d.record);
        record = d.record;
        // The 64-bit count, unless step_count was set apart from it.
        step = static_cast<std::int64_t>(sphaeron::ShownCount(d.steps) == d.state.StepCount
                                             ? d.steps
                                             : std::uint64_t{static_cast<std::uint32_t>(d.state.StepCount)});
    }
    a.Append(step, sphaeron::EncodeSwitches(sw), record.bytes.data());
}

std::unique_ptr<pyext::ArchiveCore> Open(const std::filesystem::path& path, bool salvage, double syncEvery) {
    if (!(syncEvery >= 0)) throw py::value_error("sync_every must be 0 or more seconds");
    auto a = std::make_unique<pyext::ArchiveCore>(path.string(), sphaeron::kTaonRunKind, salvage);
    a->SetSyncSeconds(syncEvery);
    return a;
}

}  // namespace

void BindArchive(py::module_& m) {
    using pyext::ArchiveCore;
    py::class_<ArchiveCore>(m, "Archive", py::module_local(),
                            "A run archive (.atorun): states of a run, each with its step and switches, from\n"
                            "which any step of the run is recomputed exactly. Archive(path) opens one; a\n"
                            "damaged last frame is left out (see warning); salvage=True reads the frames\n"
                            "before a damaged one elsewhere. len(a), a[i] (a Document with step_count and the\n"
                            "switches mode, stopl, cool), a.steps, a.state_at(step), a.positions, a.verify().")
        .def(py::init(&Open), py::arg("path"), py::arg("salvage") = false, py::arg("sync_every") = 2.0)
        .def_static(
            "create",
            [](const std::filesystem::path& path, Document& doc, std::optional<int> mode, std::optional<bool> stopl,
               std::optional<bool> cool, double syncEvery) {
                ArchiveCore::Create(path.string(), sphaeron::kTaonRunKind);
                auto a = Open(path, false, syncEvery);
                AppendDocument(*a, doc, mode, stopl, cool);
                return a;
            },
            py::arg("path"), py::arg("doc"), py::arg("mode") = py::none(), py::arg("stopl") = py::none(),
            py::arg("cool") = py::none(), py::arg("sync_every") = 2.0,
            "A new archive whose first frame is the document (an existing archive is replaced;\n"
            "any other file is refused). Appends are synced at most every sync_every seconds.")
        .def("append", &AppendDocument, py::arg("doc"), py::arg("mode") = py::none(), py::arg("stopl") = py::none(),
             py::arg("cool") = py::none(),
             "Appends the document as a frame at its step_count, with the switches given (else the\n"
             "document's). The step may not go back. Synced at most every sync_every seconds (2 by\n"
             "default) and by close().")
        .def("close", &ArchiveCore::Close, "Syncs and closes the appending side.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](ArchiveCore& a, py::args) { a.Close(); })
        .def("__len__", &ArchiveCore::Count)
        .def("__getitem__", [](const ArchiveCore& a, long long i) { return DocumentOf(a.Frame(i)); })
        .def_property_readonly("steps", &ArchiveCore::Steps, "The step of every frame (int64).")
        .def_property_readonly("path", &ArchiveCore::Path)
        .def_property_readonly("warning", [](const ArchiveCore& a) { return a.Reader().Warning(); },
                               "What was left out on opening (a damaged end), or ''.")
        .def(
            "state_at",
            [](const ArchiveCore& a, std::int64_t step, int threads) {
                if (threads < 1 || threads > 64) throw py::value_error("threads must be 1 to 64");
                pyext::ExactArithmetic exact;
                return DocumentOf(common::RunStateAt(a.Reader(), step, sphaeron::TaonReplay(threads)));
            },
            py::arg("step"), py::arg("threads") = 1,
            "The state at any step from the first frame on, recomputed exactly from the frame\n"
            "before it (with the parameters and switches in force for the step after it).")
        .def_property_readonly(
            "positions",
            [](const ArchiveCore& a) { return a.MappedReals(sphaeron::kXOffset, sphaeron::kMaxTaons, 3, 1000); },
            "Positions of every frame as a read-only (frames, 100, 3) numpy.longdouble array mapped\n"
            "from the file (the values are exact; tobytes() shows the file's bytes after each one).")
        .def(
            "verify",
            [](const ArchiveCore& a, int threads) {
                pyext::ExactArithmetic exact;
                return a.Verify(sphaeron::TaonReplay(threads));
            },
            py::arg("threads") = 1,
            "Replays every span between frames: None when each frame equals its replay bit for\n"
            "bit, else (frame, step, what differs) of the first that does not.")
        .def("__repr__", [](const ArchiveCore& a) {
            return "<sphaeron.Archive '" + a.Path() + "', " + std::to_string(a.Count()) + " frames>";
        });
}

}  // namespace pysphaeron

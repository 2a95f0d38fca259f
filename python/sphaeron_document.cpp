// sphaeron.Document: the state as numpy arrays and Python values.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/document_file.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/json_fields.h"
#include "python/binding_support.h"
#include "python/sphaeron_py.h"
#include "sphaeron/session/run_loop.h"
#include "sphaeron/document/ato_json.h"

namespace pysphaeron {

namespace {

using pyext::CopyExt;
using pyext::RealArray;
using Lock = std::lock_guard<std::mutex>;

constexpr int kFirstParam = 1;  // index of A1 among the nineteen fields (DT is 0)

// Index of a parameter name among the nineteen fields, A1 .. G3 only.
int ParamIndex(const std::string& name) {
    for (int i = kFirstParam; i < sphaeron::kParameterCount; ++i)
        if (name == sphaeron::kParameterNames[i]) return i;
    throw py::key_error("'" + name + "' is not a parameter (A1 .. G3: A, B, C, D, F, G of groups 1 to 3)");
}

// The three position or velocity arrays of a copy, indexed 1 .. 100.
using Columns = std::array<long double*, 3>;

RealArray GetColumns(Document& d, const Columns& cols) {
    RealArray out = pyext::ZeroArray({sphaeron::kMaxTaons, 3});
    auto o = out.mutable_unchecked<2>();
    Lock lock(d.busy);
    for (int k = 1; k <= sphaeron::kMaxTaons; ++k)
        for (int axis = 0; axis < 3; ++axis) CopyExt(&o(k - 1, axis), &cols[axis][k]);
    return out;
}

void SetColumns(Document& d, py::handle value, const char* what, std::initializer_list<Columns> copies) {
    RealArray a = pyext::ToRealArray(value, {sphaeron::kMaxTaons, 3}, what);
    auto v = a.unchecked<2>();
    Lock lock(d.busy);
    for (const Columns& cols : copies)
        for (int k = 1; k <= sphaeron::kMaxTaons; ++k)
            for (int axis = 0; axis < 3; ++axis) CopyExt(&cols[axis][k], &v(k - 1, axis));
}

Columns Committed(sphaeron::TaonState& s) { return {s.X, s.Y, s.Z}; }
Columns Working(sphaeron::TaonState& s) { return {s.NewX, s.NewY, s.NewZ}; }
Columns ViewCopy(sphaeron::TaonState& s) { return {s.ViewX, s.ViewY, s.ViewZ}; }
Columns Velocities(sphaeron::TaonState& s) { return {s.Ux, s.Uy, s.Uz}; }
Columns WorkingVelocities(sphaeron::TaonState& s) { return {s.NewUx, s.NewUy, s.NewUz}; }

// The read-only snapshot numpy arrays are handed out as: writing into one
// fails loudly instead of changing a copy nobody looks at.
py::array ReadOnly(py::array a) {
    a.attr("flags").attr("writeable") = false;
    return a;
}

// doc.params: the eighteen parameters by name, read and written in place.
struct Params {
    py::object owner;  // keeps the document alive
    Document* doc;

    py::object Get(const std::string& name) const {
        int i = ParamIndex(name);
        Lock lock(doc->busy);
        return pyext::RealScalar(*sphaeron::ParameterField(doc->state, i));
    }
    void Set(const std::string& name, py::handle value) {
        int i = ParamIndex(name);
        long double v = pyext::ToReal(value, name);
        Lock lock(doc->busy);
        CopyExt(sphaeron::ParameterField(doc->state, i), &v);
    }
    static std::vector<std::string> Names() {
        return {sphaeron::kParameterNames + kFirstParam, sphaeron::kParameterNames + sphaeron::kParameterCount};
    }
    py::dict ToDict() const {
        py::dict out;
        for (const std::string& n : Names()) out[py::str(n)] = Get(n);
        return out;
    }
};

// Sets the names a mapping (a dict, or another document's params) holds;
// every name and value is checked before the first one is set.
void SetParams(Document& d, const py::object& values) {
    if (!py::hasattr(values, "keys")) throw py::type_error("params takes a mapping of names to values");
    std::vector<std::pair<int, long double>> todo;
    for (py::handle key : values.attr("keys")()) {
        std::string name = py::str(key);
        todo.emplace_back(ParamIndex(name), pyext::ToReal(values[key], name));
    }
    Lock lock(d.busy);
    for (auto& [i, v] : todo) CopyExt(sphaeron::ParameterField(d.state, i), &v);
}

std::unique_ptr<Document> Copy(Document& d) {
    auto out = std::make_unique<Document>();
    Lock lock(d.busy);
    out->record = d.record;
    out->state = d.state;
    out->path = d.path;
    out->steps = d.steps;
    out->mode = d.mode;
    out->stopL = d.stopL;
    out->cool = d.cool;
    return out;
}

std::unique_ptr<Document> Load(const std::filesystem::path& file, bool anySize) {
    std::string path = file.string();
    auto d = std::make_unique<Document>();
    try {
        // A record or the JSON form, told apart by content. A record file
        // of another size is no document unless anySize, which reads its
        // first 6296 bytes as the windows do.
        sphaeron::ReadAnyDocument(path, d->record, anySize);
    } catch (const common::JsonFieldError& e) {
        throw py::value_error(e.what());
    } catch (const common::FileError&) {
        throw;
    } catch (const common::AppError& e) {  // a folder, or a file of another size
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec)) throw common::FileError(e.what(), EISDIR, path);
        throw py::value_error(e.what());
    }
    sphaeron::DistributeDocument(d->record, d->state);
    d->path = path;
    return d;
}

void Save(Document& d, const std::filesystem::path& file) {
    std::string path = file.string();
    sphaeron::TaonsDocument record;
    {
        Lock lock(d.busy);
        sphaeron::PackDocument(d.state, d.record);
        record = d.record;
    }
    if (common::IsJsonPath(path))
        common::WriteFileAtomic(path, sphaeron::AtoToJson(record));
    else
        sphaeron::WriteDocument(path, record);
    d.path = path;
}

std::string ToJson(Document& d) {
    Lock lock(d.busy);
    sphaeron::PackDocument(d.state, d.record);
    return sphaeron::AtoToJson(d.record);
}

py::bytes ToBytes(Document& d) {
    Lock lock(d.busy);
    sphaeron::PackDocument(d.state, d.record);
    return py::bytes(reinterpret_cast<const char*>(d.record.bytes.data()), d.record.bytes.size());
}

// The class Params: the parameters of a document as a mapping.
void BindParams(py::module_& m) {
    py::class_<Params>(m, "Params",
                       "The eighteen parameters A1 .. G3 of a document by name, as numpy.longdouble.\n"
                       "Reading and writing act on the document at once.")
        .def("__getitem__", &Params::Get)
        .def("__setitem__", &Params::Set)
        .def("__len__", [](const Params&) { return sphaeron::kParameterCount - kFirstParam; })
        .def("__iter__", [](const Params&) { return py::iter(py::cast(Params::Names())); })
        .def("__contains__", [](const Params&, const std::string& n) {
            for (const std::string& k : Params::Names())
                if (k == n) return true;
            return false;
        })
        .def("keys", [](const Params&) { return Params::Names(); })
        .def("values", [](const Params& p) { return py::list(p.ToDict().attr("values")()); })
        .def("items", [](const Params& p) { return py::list(p.ToDict().attr("items")()); })
        .def("__repr__", [](const Params& p) { return "Params(" + std::string(py::repr(p.ToDict())) + ")"; });
}

// A document's place in a run: its step counts and the switches it carries
// as a frame of a run archive.
void BindRunState(py::class_<Document>& document) {
    document.def_property(
            "step_count", [](Document& d) { Lock lock(d.busy); return d.state.StepCount; },
            [](Document& d, std::int32_t n) { Lock lock(d.busy); d.state.StepCount = n; },
            "Steps made since the document was loaded or built, as the window's counter shows them:\n"
            "the low 32 bits of `steps` as a signed number.")
        .def_property(
            "steps",
            [](Document& d) {
                Lock lock(d.busy);
                return sphaeron::ShownCount(d.steps) == d.state.StepCount
                           ? d.steps
                           : std::uint64_t{static_cast<std::uint32_t>(d.state.StepCount)};
            },
            [](Document& d, std::uint64_t n) {
                Lock lock(d.busy);
                d.steps = n;
                d.state.StepCount = sphaeron::ShownCount(n);
            },
            "Steps made since the document was loaded or built, counted in 64 bits.")
        .def_readwrite("mode", &Document::mode, "The mode of a frame of a run archive (0, 1, 2).")
        .def_readwrite("stopl", &Document::stopL, "StopL of a frame of a run archive.")
        .def_readwrite("cool", &Document::cool, "Cool of a frame of a run archive.");
}

}  // namespace

void BindDocument(py::module_& m) {
    BindParams(m);

    py::class_<Document> document(m, "Document",
                         "A .ato document: the state of 100 taon slots, the time step and the parameters.\n"
                         "Document() is an empty one (every value 0, no taon present).\n"
                         "Arrays read from it are snapshots (read-only); assign a whole array to change\n"
                         "the state, as loading a document does (committed, working and view copies).");
    document.def(py::init<>())
        .def("save", &Save, py::arg("path"),
             "Writes the 6296-byte record, keeping the padding bytes of the document read, or its\n"
             "JSON form when the name ends in .json.")
        .def("tobytes", &ToBytes, "The 6296 bytes of the record save() would write.")
        .def("tojson", &ToJson, "The JSON form of the document, exact to the byte.")
        .def("copy", &Copy, "An independent copy.")
        .def("__copy__", &Copy)
        .def("__deepcopy__", [](Document& d, py::handle) { return Copy(d); })
        .def_readonly("path", &Document::path, "The file it came from or was last saved to.")
        .def_property(
            "positions",
            [](Document& d) { return ReadOnly(GetColumns(d, Committed(d.state))); },
            [](Document& d, py::handle v) {
                SetColumns(d, v, "positions", {Committed(d.state), Working(d.state), ViewCopy(d.state)});
            },
            "Positions x, y, z of slots 1 .. 100 as a (100, 3) numpy.longdouble array.")
        .def_property(
            "velocities",
            [](Document& d) { return ReadOnly(GetColumns(d, Velocities(d.state))); },
            [](Document& d, py::handle v) {
                SetColumns(d, v, "velocities", {Velocities(d.state), WorkingVelocities(d.state)});
            },
            "Velocities u(x), u(y), u(z) of slots 1 .. 100 as a (100, 3) numpy.longdouble array.")
        .def_property(
            "present",
            [](Document& d) {
                py::array_t<bool> out(sphaeron::kMaxTaons);
                Lock lock(d.busy);
                for (int k = 1; k <= sphaeron::kMaxTaons; ++k) out.mutable_data()[k - 1] = d.state.Present(k);
                return ReadOnly(out);
            },
            [](Document& d, const py::array_t<bool, py::array::c_style | py::array::forcecast>& v) {
                if (v.ndim() != 1 || v.shape(0) != sphaeron::kMaxTaons)
                    throw py::value_error("present must have the shape (100,)");
                Lock lock(d.busy);
                // A presence byte other than 1 stays as read while its slot stays present.
                for (int k = 1; k <= sphaeron::kMaxTaons; ++k)
                    if (v.data()[k - 1] != d.state.Present(k)) d.state.GravonPresent[k] = v.data()[k - 1] ? 1 : 0;
            },
            "Presence of slots 1 .. 100 as a boolean array.")
        .def_property(
            "dt", [](Document& d) { Lock lock(d.busy); return pyext::RealScalar(d.state.DT); },
            [](Document& d, py::handle v) {
                long double dt = pyext::ToReal(v, "dt");
                Lock lock(d.busy);
                CopyExt(&d.state.DT, &dt);
            },
            "The time step (numpy.longdouble; a str is read as exact decimal text).")
        .def_property(
            "params", [](py::object self) { return Params{self, &self.cast<Document&>()}; },
            [](py::object self, const py::object& values) { SetParams(self.cast<Document&>(), values); },
            "The parameters A1 .. G3 by name; assigning a mapping sets the names it holds.")
        .def("__repr__", [](Document& d) {
            int present = 0;
            Lock lock(d.busy);
            for (int k = 1; k <= sphaeron::kMaxTaons; ++k) present += d.state.Present(k);
            return "<sphaeron.Document " + (d.path.empty() ? std::string("(new)") : "'" + d.path + "'") + ", " +
                   std::to_string(present) + " taons present, step " + std::to_string(d.state.StepCount) + ">";
        });
    BindRunState(document);

    m.def("load", &Load, py::arg("path"), py::arg("any_size") = false,
          "Reads a .ato document (a file of exactly 6296 bytes) or its JSON form. A file of another\n"
          "size raises ValueError naming its size; with any_size=True the first 6296 bytes of a\n"
          "longer file are read, as the windows do.");
    m.attr("PARAMETER_NAMES") = py::tuple(py::cast(Params::Names()));
    m.attr("TAON_COUNT") = sphaeron::kMaxTaons;
}

}  // namespace pysphaeron

// sphaeron.observables, the potentials and slopes of the groups, and the pair
// distances: what a study plots.
#include <pybind11/numpy.h>

#include "common/fpcheck.h"
#include "python/binding_support.h"
#include "python/sphaeron_py.h"
#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_step.h"

namespace pysphaeron {

namespace {

using pyext::RealScalar;

sphaeron::StepSwitches Switches(int mode, bool stopL) {
    if (mode < 0 || mode > 2) throw py::value_error("mode must be 0, 1 or 2");
    return sphaeron::RunSwitches{.mode = mode, .stopL = stopL, .cool = false}.ForStep();
}

pyext::RealArray Triple(long double a, long double b, long double c) {
    pyext::RealArray out = pyext::ZeroArray({3});
    long double v[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) pyext::CopyExt(out.mutable_data() + i, &v[i]);
    return out;
}

sphaeron::Observables Observe(Document& d, int mode, bool stopL) {
    sphaeron::StepSwitches sw = Switches(mode, stopL);
    std::lock_guard<std::mutex> lock(d.busy);
    pyext::ExactArithmetic exact;
    return sphaeron::ComputeObservables(d.state, sw);
}

// f(r) for every element of r, in an array of r's shape. The first faulting
// element raises FloatError with its text.
template <class F>
pyext::RealArray OverDistances(Document& d, const pyext::RealArray& r, F f) {
    std::vector<py::ssize_t> shape(r.shape(), r.shape() + r.ndim());
    pyext::RealArray out = pyext::ZeroArray(shape);
    std::lock_guard<std::mutex> lock(d.busy);
    pyext::ExactArithmetic exact;
    const long double* in = r.data();
    long double* o = out.mutable_data();
    for (py::ssize_t i = 0; i < r.size(); ++i) {
        common::ClearFpFlags();
        long double v = f(d.state, in[i]);
        common::CheckFp();
        pyext::CopyExt(o + i, &v);
    }
    return out;
}

void CheckGroup(int g) {
    if (g < 1 || g > 3) throw py::value_error("group must be 1, 2 or 3");
}

}  // namespace

void BindObservables(py::module_& m) {
    py::class_<sphaeron::Observables>(m, "Observables",
                                      "Energies and momentum of the present taons (mass 1), numpy.longdouble.")
        .def_property_readonly("ke", [](const sphaeron::Observables& o) { return RealScalar(o.ke); }, "kinetic energy")
        .def_property_readonly("pe", [](const sphaeron::Observables& o) { return RealScalar(o.pe); },
                               "potential energy: half the sum of A U(r) over the acting pairs")
        .def_property_readonly("e", [](const sphaeron::Observables& o) { return RealScalar(o.e); }, "ke + pe")
        .def_property_readonly("momentum", [](const sphaeron::Observables& o) { return Triple(o.px, o.py, o.pz); },
                               "(px, py, pz)")
        .def_property_readonly("group_ke", [](const sphaeron::Observables& o) { return Triple(o.ke1, o.ke2, o.ke3); },
                               "kinetic energy of the taons of groups 1, 2, 3")
        .def("__repr__", [](const sphaeron::Observables& o) {
            auto text = [](long double v) { return std::string(py::repr(RealScalar(v))); };
            return "Observables(ke=" + text(o.ke) + ", pe=" + text(o.pe) + ", e=" + text(o.e) + ")";
        });

    m.def("observables", &Observe, py::arg("doc"), py::arg("mode") = 0, py::arg("stopl") = false,
          "Kinetic, potential and total energy, momentum and the kinetic energy per group of the\n"
          "committed state, under the law of the mode (1: Shelloscope) and stopl.");
    m.def(
        "potential",
        [](Document& d, int group, const pyext::RealArray& r, int mode) {
            CheckGroup(group);
            bool mode1 = Switches(mode, false).Mode1;
            return OverDistances(d, r, [&](const sphaeron::TaonState& s, long double x) {
                return sphaeron::GroupPotential(s, group, x, mode1);
            });
        },
        py::arg("doc"), py::arg("group"), py::arg("r"), py::arg("mode") = 0,
        "The pair potential U of a group (1, 2, 3) with the document's parameters at the distances r\n"
        "(an array of any shape).");
    m.def(
        "slope",
        [](Document& d, int group, const pyext::RealArray& r, int mode) {
            CheckGroup(group);
            bool mode1 = Switches(mode, false).Mode1;
            return OverDistances(d, r, [&](const sphaeron::TaonState& s, long double x) {
                return sphaeron::GroupSlope(s, group, x, mode1);
            });
        },
        py::arg("doc"), py::arg("group"), py::arg("r"), py::arg("mode") = 0,
        "The pair factor dU/dr of a group at the distances r, as the force law forms it.");
    m.def(
        "pair_distances",
        [](Document& d) {
            std::vector<long double> v;
            {
                std::lock_guard<std::mutex> lock(d.busy);
                v = sphaeron::PairDistances(d.state);
            }
            pyext::RealArray out = pyext::ZeroArray({static_cast<py::ssize_t>(v.size())});
            for (std::size_t i = 0; i < v.size(); ++i) pyext::CopyExt(out.mutable_data() + i, &v[i]);
            return out;
        },
        py::arg("doc"), "Distances of the present pairs i < j (i major), from the committed positions.");
}

}  // namespace pysphaeron

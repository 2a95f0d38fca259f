// sphaeron.structure: neighbours, coordination, bond order and clusters of a
// document's taons as numpy arrays over the 100 slots (0-based, like
// positions).
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "python/sphaeron_py.h"
#include "sphaeron/structure/structure.h"

namespace pysphaeron {

namespace {

namespace st = sphaeron::structure;
using sphaeron::kMaxTaons;

struct Structure {
    py::array_t<int> coordination, cluster;
    py::array_t<bool> neighbours;
    py::dict q, q_avg;
    int clusters = 0, largest = 0;
    double mean_coordination = 0, mean_q4 = 0, mean_q6 = 0, rg = 0;
    std::string rule;
};

st::StructureOptions Options(const std::string& neighbours, std::optional<double> cutoff, std::optional<int> k,
                             const std::vector<int>& degrees, std::optional<double> clusterCutoff) {
    st::StructureOptions o;
    std::string name = neighbours;
    if (name == "cutoff") {
        if (!cutoff) throw py::value_error("neighbours=\"cutoff\" needs cutoff=R");
        o.neighbours.rule = st::NeighbourRule::Cutoff;
        o.neighbours.cutoff = *cutoff;
        if (!(*cutoff > 0) || !std::isfinite(*cutoff)) throw py::value_error("cutoff must be a positive distance");
    } else if (name == "nearest") {
        if (!k) throw py::value_error("neighbours=\"nearest\" needs k=K");
        if (*k < 1 || *k >= kMaxTaons) throw py::value_error("k must be 1 to 99");
        o.neighbours.rule = st::NeighbourRule::Nearest;
        o.neighbours.k = *k;
    } else {
        try {
            o.neighbours = st::ParseNeighbourChoice(name);
        } catch (const std::invalid_argument& e) {
            throw py::value_error(e.what());
        }
    }
    if ((cutoff && o.neighbours.rule != st::NeighbourRule::Cutoff) || (k && o.neighbours.rule != st::NeighbourRule::Nearest))
        throw py::value_error("cutoff= goes with neighbours=\"cutoff\", k= with neighbours=\"nearest\"");
    for (int l : degrees)
        if (l < 1 || l > st::kMaxDegree) throw py::value_error("each l must be 1 to 12");
    o.degrees = degrees;
    if (clusterCutoff) {
        if (!(*clusterCutoff > 0) || !std::isfinite(*clusterCutoff))
            throw py::value_error("cluster_cutoff must be a positive distance");
        o.clusterCutoff = *clusterCutoff;
    }
    return o;
}

py::array_t<double> Slots(const std::array<double, sphaeron::kSlots>& v) {
    py::array_t<double> a(kMaxTaons);
    for (int i = 0; i < kMaxTaons; ++i) a.mutable_data()[i] = v[i + 1];
    return a;
}

Structure Analyse(Document& d, const std::string& neighbours, std::vector<int> degrees, std::optional<double> cutoff,
                  std::optional<int> k, std::optional<double> clusterCutoff) {
    st::StructureOptions o = Options(neighbours, cutoff, k, degrees, clusterCutoff);
    auto r = std::make_unique<st::StructureResult>();
    {
        std::lock_guard<std::mutex> lock(d.busy);
        st::AnalyseStructure(d.state, o, *r);
    }
    Structure s;
    s.coordination = py::array_t<int>(kMaxTaons);
    s.cluster = py::array_t<int>(kMaxTaons);
    s.neighbours = py::array_t<bool>({kMaxTaons, kMaxTaons});
    bool* nb = s.neighbours.mutable_data();
    std::fill(nb, nb + kMaxTaons * kMaxTaons, false);
    for (int i = 1; i <= kMaxTaons; ++i) {
        s.coordination.mutable_data()[i - 1] = r->coordination[i];
        s.cluster.mutable_data()[i - 1] = r->cluster[i];
        for (int t = 0; t < std::max(r->coordination[i], 0); ++t) nb[(i - 1) * kMaxTaons + r->neighbours[i][t] - 1] = true;
    }
    for (int l : degrees) {
        s.q[py::int_(l)] = Slots(r->q[l]);
        s.q_avg[py::int_(l)] = Slots(r->qAvg[l]);
    }
    s.clusters = r->summary.clusters;
    s.largest = r->summary.largest;
    s.mean_coordination = r->summary.mean_coordination;
    s.mean_q4 = r->summary.mean_q4;
    s.mean_q6 = r->summary.mean_q6;
    s.rg = r->summary.rg;
    s.rule = st::NeighbourChoiceText(o.neighbours);
    return s;
}

}  // namespace

void BindStructure(py::module_& m) {
    py::class_<Structure>(m, "Structure",
                          "Neighbours, coordination, bond order and clusters of the present taons. Arrays run\n"
                          "over the 100 slots in the order of positions (0-based).")
        .def_readonly("coordination", &Structure::coordination, "neighbours per slot (int), -1 for an absent slot")
        .def_readonly("cluster", &Structure::cluster,
                      "cluster label per slot (int, 0 .. clusters - 1 in the order of each cluster's first\n"
                      "slot), -1 for an absent slot")
        .def_readonly("neighbours", &Structure::neighbours,
                      "(100, 100) bool: [i, j] when j is a neighbour of i (SANN and k nearest need not be\n"
                      "symmetric)")
        .def_readonly("q", &Structure::q, "dict l -> Steinhardt q_l per slot (float), NaN where undefined")
        .def_readonly("q_avg", &Structure::q_avg, "dict l -> averaged q_l per slot, NaN where undefined")
        .def_readonly("clusters", &Structure::clusters, "number of clusters")
        .def_readonly("largest", &Structure::largest, "taons in the largest cluster")
        .def_readonly("mean_coordination", &Structure::mean_coordination, "over the present taons")
        .def_readonly("mean_q4", &Structure::mean_q4, "over the taons where q4 is defined")
        .def_readonly("mean_q6", &Structure::mean_q6, "over the taons where q6 is defined")
        .def_readonly("rg", &Structure::rg, "radius of gyration of the present taons (equal weights)")
        .def_readonly("rule", &Structure::rule, "the neighbour rule as text: sann, cutoff:R or nearest:K")
        .def("__repr__", [](const Structure& s) {
            return "Structure(rule=" + s.rule + ", clusters=" + std::to_string(s.clusters) +
                   ", largest=" + std::to_string(s.largest) + ")";
        });

    m.def("structure", &Analyse, py::arg("doc"), py::arg("neighbours") = "sann", py::arg("l") = std::vector<int>{4, 6},
          py::arg("cutoff") = py::none(), py::arg("k") = py::none(), py::arg("cluster_cutoff") = py::none(),
          "The structure of the committed positions: neighbours by SANN (the default),\n"
          "neighbours=\"cutoff\", cutoff=R or neighbours=\"nearest\", k=K; Steinhardt q_l and the\n"
          "averaged q_l for each l in l (1 .. 12); clusters of the symmetric neighbour relation,\n"
          "or of \"closer than cluster_cutoff\" when given. Values are double precision.");
}

}  // namespace pysphaeron

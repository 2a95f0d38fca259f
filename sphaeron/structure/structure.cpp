// The analysis of a state: neighbours, bond order, clusters and summary.
#include "sphaeron/structure/structure.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>
#include <memory>

namespace sphaeron::structure {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Connected components by a breadth-first walk from each unlabelled slot in
// slot order, so cluster 0 holds the lowest present slot.
template <typename Bonded>
void LabelClusters(const DistanceTable& d, Bonded bonded, StructureResult& out) {
    out.cluster.fill(-1);
    int clusters = 0, largest = 0;
    int queue[kMaxTaons];
    for (int a = 0; a < d.count; ++a) {
        int start = d.taons[a];
        if (out.cluster[start] >= 0) continue;
        int head = 0, tail = 0;
        queue[tail++] = start;
        out.cluster[start] = clusters;
        while (head < tail) {
            int i = queue[head++];
            for (int b = 0; b < d.count; ++b) {
                int j = d.taons[b];
                if (out.cluster[j] < 0 && bonded(i, j)) {
                    out.cluster[j] = clusters;
                    queue[tail++] = j;
                }
            }
        }
        largest = std::max(largest, tail);
        ++clusters;
    }
    out.summary.clusters = clusters;
    out.summary.largest = largest;
}

double MeanOver(const DistanceTable& d, const std::array<double, kSlots>& values) {
    double sum = 0;
    int n = 0;
    for (int a = 0; a < d.count; ++a) {
        double v = values[d.taons[a]];
        if (std::isnan(v)) continue;
        sum += v;
        ++n;
    }
    return n > 0 ? sum / n : kNaN;
}

void Summarise(const DistanceTable& d, StructureResult& out) {
    StructureSummary& s = out.summary;
    if (d.count == 0) {
        s.mean_coordination = s.mean_q4 = s.mean_q6 = s.rg = kNaN;
        return;
    }
    double coordination = 0, centre[3] = {0, 0, 0};
    for (int a = 0; a < d.count; ++a) {
        int i = d.taons[a];
        coordination += out.coordination[i];
        for (int c = 0; c < 3; ++c) centre[c] += d.pos[i][c];
    }
    s.mean_coordination = coordination / d.count;
    for (double& c : centre) c /= d.count;
    double spread = 0;
    for (int a = 0; a < d.count; ++a)
        for (int c = 0; c < 3; ++c) {
            double e = d.pos[d.taons[a]][c] - centre[c];
            spread += e * e;
        }
    s.rg = std::sqrt(spread / d.count);
    s.mean_q4 = MeanOver(d, out.q[4]);
    s.mean_q6 = MeanOver(d, out.q[6]);
}

}  // namespace

bool StructureResult::IsNeighbour(int i, int j) const {
    for (int t = 0; t < coordination[i]; ++t)
        if (neighbours[i][t] == j) return true;
    return false;
}

void AnalyseStructure(const TaonState& s, const StructureOptions& options, StructureResult& out) {
    // Whatever the arithmetic here raises (a NaN position compared, say)
    // must not reach the checks of the next step.
    std::fexcept_t flags;
    std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
    auto table = std::make_unique<DistanceTable>();
    DistanceTable& d = *table;
    FormDistances(s, d);
    FindNeighbours(d, options.neighbours, out);
    FormBondOrder(d, options.degrees, out);
    if (options.clusterCutoff > 0) {
        LabelClusters(d, [&](int i, int j) { return d.r[i][j] < options.clusterCutoff; }, out);
    } else {
        // The neighbour relation made symmetric.
        std::array<std::array<bool, kSlots>, kSlots> bond{};
        for (int a = 0; a < d.count; ++a) {
            int i = d.taons[a];
            for (int t = 0; t < out.coordination[i]; ++t) {
                int j = out.neighbours[i][t];
                bond[i][j] = bond[j][i] = true;
            }
        }
        LabelClusters(d, [&](int i, int j) { return bond[i][j]; }, out);
    }
    Summarise(d, out);
    std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}

StructureResult AnalyseStructure(const TaonState& s, const StructureOptions& options) {
    auto out = std::make_unique<StructureResult>();
    AnalyseStructure(s, options, *out);
    return *out;
}

}  // namespace sphaeron::structure

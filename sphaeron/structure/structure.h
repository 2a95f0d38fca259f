#pragma once
// What structure the taons form: the neighbours of each taon, its
// coordination number, its Steinhardt bond order q_l and the averaged q̄_l,
// the clusters of the bond graph, and a summary of the whole state.
//
// Arithmetic: the committed positions X, Y, Z are read exactly and the
// differences between two taons are formed in long double; everything derived
// from them (distances, directions, spherical harmonics, bond orders, radius
// of gyration) is double precision, which is ample for values that are
// looked at and logged, never fed back. The analysis only reads the state and
// leaves the floating-point status flags as it found them, so a run never
// notices it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sphaeron/core/taon_state.h"

namespace sphaeron::structure {

constexpr int kMaxDegree = 12;

enum class NeighbourRule {
    Sann,     // solid-angle based nearest neighbours, no parameter (the default)
    Cutoff,   // every taon closer than the cutoff distance
    Nearest,  // the k nearest taons
};

struct NeighbourChoice {
    NeighbourRule rule = NeighbourRule::Sann;
    double cutoff = 1.5;  // for Cutoff
    int k = 12;           // for Nearest
};

// "sann", "cutoff:R" or "nearest:K" (any case); throws std::invalid_argument
// with a message that names the text.
NeighbourChoice ParseNeighbourChoice(const std::string& text);
// The text ParseNeighbourChoice reads back: "sann", "cutoff:1.5", "nearest:12".
std::string NeighbourChoiceText(const NeighbourChoice& choice);

struct StructureOptions {
    NeighbourChoice neighbours;
    // The degrees l of q_l and q̄_l besides 4 and 6 (which are always formed
    // for the summary); each in 1 .. kMaxDegree.
    std::vector<int> degrees = {4, 6};
    // When positive, the clusters are the connected components of "closer
    // than this distance" instead of the symmetric neighbour relation.
    double clusterCutoff = 0;
};

// The summary of one state (the columns of the structure log).
struct StructureSummary {
    int clusters = 0;                // connected components among present taons
    int largest = 0;                 // taons in the largest of them
    double mean_coordination = 0;    // over present taons (NaN when none)
    double mean_q4 = 0, mean_q6 = 0; // over taons where q_l is defined (NaN when none)
    double rg = 0;                   // radius of gyration, present taons, equal weights (NaN when none)
};

// Per-slot results, indexed from 1 like the state (index 0 unused).
struct StructureResult {
    std::array<bool, kSlots> present{};
    // Neighbours of slot i in order of distance (ties by slot number);
    // count[i] of them, the coordination number. -1 for an absent slot.
    std::array<std::array<std::uint8_t, kMaxTaons>, kSlots> neighbours{};
    std::array<int, kSlots> coordination{};
    // Cluster of each present slot, 0 .. clusters - 1 in the order of each
    // cluster's lowest slot; -1 for an absent slot.
    std::array<int, kSlots> cluster{};
    // q[l][i] and qAvg[l][i] for l = 0 .. kMaxDegree; only the degrees asked
    // for (and 4 and 6) are formed, the others stay NaN. NaN for a taon
    // without neighbours and for an absent slot.
    std::array<std::array<double, kSlots>, kMaxDegree + 1> q{}, qAvg{};
    std::array<bool, kMaxDegree + 1> formed{};
    StructureSummary summary;

    bool IsNeighbour(int i, int j) const;
};

// Analyses the committed positions of the present taons.
void AnalyseStructure(const TaonState& s, const StructureOptions& options, StructureResult& out);
StructureResult AnalyseStructure(const TaonState& s, const StructureOptions& options = {});

// --- The parts, for the layers above and the tests -------------------------

// Distances between all present pairs (double, formed from long double
// differences); a non-finite distance is taken as infinite.
struct DistanceTable {
    std::array<std::array<double, kSlots>, kSlots> r{};
    std::array<std::array<double, 3>, kSlots> pos{};  // positions as doubles, for the directions
    std::array<int, kMaxTaons> taons{};                // the present slots in order
    int count = 0;
};
void FormDistances(const TaonState& s, DistanceTable& d);

// Fills present, neighbours and coordination.
void FindNeighbours(const DistanceTable& d, const NeighbourChoice& choice, StructureResult& out);

// The SANN neighbour count among sorted distances r[0] <= r[1] <= ...: the
// smallest m >= 3 with (r[0] + .. + r[m-1]) / (m - 2) < r[m], or all of them
// when there is no such m.
int SannCount(const double* sorted, int n);

// Y_l^m(θ, φ) of the direction (x, y, z) for m = 0 .. l (negative m follow
// from Y_l^-m = (-1)^m conj Y_l^m), l = 0 .. lmax, with the Condon-Shortley
// phase, from the associated Legendre recurrences. ylm[l][m].
struct Harmonics {
    double re[kMaxDegree + 1][kMaxDegree + 1];
    double im[kMaxDegree + 1][kMaxDegree + 1];
};
void SphericalHarmonics(double x, double y, double z, int lmax, Harmonics& h);

// Fills q, qAvg and formed from the neighbours.
void FormBondOrder(const DistanceTable& d, const std::vector<int>& degrees, StructureResult& out);

}  // namespace sphaeron::structure

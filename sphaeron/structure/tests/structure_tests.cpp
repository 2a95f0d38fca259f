// The structure analysis against values known independently: the bond order
// of perfect shells, the Legendre sum, std::sph_legendre, SANN worked out by
// hand, and lattices whose clusters and coordination are counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

#include "sphaeron/structure/structure.h"

namespace sphaeron::structure {
namespace {

using Point = std::array<long double, 3>;

// A state with the points in slots 1, 2, ... (the rest absent).
TaonState StateOf(const std::vector<Point>& points) {
    TaonState s;
    for (std::size_t n = 0; n < points.size(); ++n) {
        int k = static_cast<int>(n) + 1;
        s.GravonPresent[k] = 1;
        s.X[k] = points[n][0];
        s.Y[k] = points[n][1];
        s.Z[k] = points[n][2];
    }
    return s;
}

std::vector<Point> Fcc() {
    std::vector<Point> v;
    for (long double a : {1.0L, -1.0L})
        for (long double b : {1.0L, -1.0L}) v.insert(v.end(), {{a, b, 0}, {a, 0, b}, {0, a, b}});
    return v;
}
std::vector<Point> Hcp() {
    std::vector<Point> v;
    const long double pi = 3.141592653589793238462643383279503L, s3 = std::sqrt(3.0L), h = std::sqrt(2.0L / 3);
    for (int k = 0; k < 6; ++k) v.push_back({std::cos(k * pi / 3), std::sin(k * pi / 3), 0});
    for (long double z : {h, -h}) v.insert(v.end(), {{0.5L, s3 / 6, z}, {-0.5L, s3 / 6, z}, {0, -s3 / 3, z}});
    return v;
}
std::vector<Point> Cube() {
    std::vector<Point> v;
    for (long double a : {0.5L, -0.5L})
        for (long double b : {0.5L, -0.5L})
            for (long double c : {0.5L, -0.5L}) v.push_back({a, b, c});
    return v;
}
std::vector<Point> Octahedron() { return {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}; }
std::vector<Point> Icosahedron() {
    const long double phi = (1 + std::sqrt(5.0L)) / 2;
    std::vector<Point> v;
    for (long double a : {1.0L, -1.0L})
        for (long double b : {phi, -phi}) v.insert(v.end(), {{0, a, b}, {a, b, 0}, {b, 0, a}});
    return v;
}

// The central taon (slot 1, away from the origin) and its shell.
TaonState Shell(std::vector<Point> shell) {
    const Point centre = {0.25L, -2, 5};
    for (Point& p : shell)
        for (int c = 0; c < 3; ++c) p[c] += centre[c];
    shell.insert(shell.begin(), centre);
    return StateOf(shell);
}

TEST(BondOrder, PerfectShellsGiveTheReferenceValues) {
    struct Case {
        const char* name;
        std::vector<Point> shell;
        double q4, q6;  // to 9 digits; rounded to 5 they are the published table
    };
    std::vector<Point> bcc = Cube();
    for (const Point& p : Octahedron()) bcc.push_back(p);
    const Case cases[] = {
        {"fcc", Fcc(), 0.190940654, 0.574524260},
        {"hcp", Hcp(), 0.097222222, 0.484761685},
        {"bcc 8 + 6", bcc, 0.036369648, 0.510688231},
        {"bcc 8", Cube(), 0.509175077, 0.628539361},
        {"simple cubic", Octahedron(), 0.763762616, 0.353553391},
        {"icosahedron", Icosahedron(), 0.0, 0.663324958},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StructureOptions o;
        o.neighbours.rule = NeighbourRule::Nearest;
        o.neighbours.k = static_cast<int>(c.shell.size());
        StructureResult r = AnalyseStructure(Shell(c.shell), o);
        EXPECT_EQ(r.coordination[1], static_cast<int>(c.shell.size()));
        EXPECT_NEAR(r.q[4][1], c.q4, 1e-6);
        EXPECT_NEAR(r.q[6][1], c.q6, 1e-6);
    }
}

// Random taons in a box of side 4 in the slots of `slots` (others absent).
TaonState RandomState(std::mt19937& rng, const std::vector<int>& slots) {
    std::uniform_real_distribution<double> u(-2, 2);
    TaonState s;
    for (int k : slots) {
        s.GravonPresent[k] = 1;
        s.X[k] = u(rng);
        s.Y[k] = u(rng);
        s.Z[k] = u(rng);
    }
    return s;
}

std::vector<int> SomeSlots(std::mt19937& rng, int n) {
    std::vector<int> all(kMaxTaons);
    std::iota(all.begin(), all.end(), 1);
    std::shuffle(all.begin(), all.end(), rng);
    all.resize(static_cast<std::size_t>(n));
    return all;
}

TEST(BondOrder, EqualsTheLegendreSumOnRandomTaons) {
    std::mt19937 rng(23);
    const NeighbourChoice rules[] = {{NeighbourRule::Sann, 0, 0}, {NeighbourRule::Cutoff, 1.3, 0}, {NeighbourRule::Nearest, 0, 5}};
    for (const NeighbourChoice& rule : rules) {
        TaonState s = RandomState(rng, SomeSlots(rng, 40));
        StructureOptions o;
        o.neighbours = rule;
        o.degrees = {1, 2, 3, 5, 7, 8, 9, 10, 11, 12};
        StructureResult r = AnalyseStructure(s, o);
        int checked = 0;
        for (int i = 1; i <= kMaxTaons; ++i) {
            if (!r.present[i] || r.coordination[i] == 0) continue;
            ++checked;
            int nb = r.coordination[i];
            for (int l = 1; l <= kMaxDegree; ++l) {
                double sum = 0;
                for (int a = 0; a < nb; ++a)
                    for (int b = 0; b < nb; ++b) {
                        int j = r.neighbours[i][a], k = r.neighbours[i][b];
                        double u[3] = {double(s.X[j] - s.X[i]), double(s.Y[j] - s.Y[i]), double(s.Z[j] - s.Z[i])};
                        double v[3] = {double(s.X[k] - s.X[i]), double(s.Y[k] - s.Y[i]), double(s.Z[k] - s.Z[i])};
                        double cosine = (u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) /
                                        std::sqrt((u[0] * u[0] + u[1] * u[1] + u[2] * u[2]) * (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
                        sum += std::legendre(l, std::clamp(cosine, -1.0, 1.0));
                    }
                ASSERT_NEAR(r.q[l][i], std::sqrt(std::max(sum, 0.0)) / nb, 1e-9) << "slot " << i << " l " << l;
            }
        }
        EXPECT_GT(checked, 30);
    }
}

TEST(SphericalHarmonics, MatchTheLibraryOnRandomDirections) {
    std::mt19937 rng(7);
    std::normal_distribution<double> g;
    for (int n = 0; n < 50; ++n) {
        double x = g(rng), y = g(rng), z = g(rng);
        double theta = std::acos(z / std::sqrt(x * x + y * y + z * z)), phi = std::atan2(y, x);
        Harmonics h;
        SphericalHarmonics(x, y, z, kMaxDegree, h);
        for (int l = 0; l <= kMaxDegree; ++l)
            for (int m = 0; m <= l; ++m) {
                std::complex<double> want = std::sph_legendre(l, m, theta) * std::polar(1.0, m * phi);
                ASSERT_NEAR(h.re[l][m], want.real(), 1e-12) << l << " " << m;
                ASSERT_NEAR(h.im[l][m], want.imag(), 1e-12) << l << " " << m;
            }
    }
}

// Labels up to renaming: the partition of the slots.
std::map<int, std::vector<int>> Partition(const StructureResult& r, const std::vector<int>& slotOf) {
    std::map<int, std::vector<int>> parts;
    for (std::size_t n = 0; n < slotOf.size(); ++n) parts[r.cluster[slotOf[n]]].push_back(static_cast<int>(n));
    std::map<int, std::vector<int>> byFirst;
    for (auto& [label, members] : parts) byFirst[members.front()] = members;
    return byFirst;
}

// Equal to 1e-9, or both undefined.
bool Same(double a, double b) { return std::isnan(a) ? std::isnan(b) : std::abs(a - b) < 1e-9; }

TEST(Structure, RotationAndRenumberingChangeNothing) {
    std::mt19937 rng(11);
    const NeighbourChoice rules[] = {{NeighbourRule::Sann, 0, 0}, {NeighbourRule::Cutoff, 1.2, 0}, {NeighbourRule::Nearest, 0, 6}};
    for (const NeighbourChoice& rule : rules) {
        std::vector<int> slots = SomeSlots(rng, 60), moved = SomeSlots(rng, 60);
        TaonState a = RandomState(rng, slots), b;
        // b: a turned about an oblique axis, the taons in other slots.
        const long double c = std::cos(0.7L), sn = std::sin(0.7L);
        for (std::size_t n = 0; n < slots.size(); ++n) {
            int i = slots[n], j = moved[n];
            long double x = a.X[i], y = a.Y[i] * c - a.Z[i] * sn, z = a.Y[i] * sn + a.Z[i] * c;
            b.GravonPresent[j] = 1;
            b.X[j] = x * c - y * sn;
            b.Y[j] = x * sn + y * c;
            b.Z[j] = z;
        }
        StructureOptions o;
        o.neighbours = rule;
        StructureResult ra = AnalyseStructure(a, o), rb = AnalyseStructure(b, o);
        for (std::size_t n = 0; n < slots.size(); ++n) {
            int i = slots[n], j = moved[n];
            ASSERT_EQ(ra.coordination[i], rb.coordination[j]);
            for (int l : {4, 6}) {
                ASSERT_TRUE(Same(ra.q[l][i], rb.q[l][j])) << ra.q[l][i] << " " << rb.q[l][j];
                ASSERT_TRUE(Same(ra.qAvg[l][i], rb.qAvg[l][j])) << ra.qAvg[l][i] << " " << rb.qAvg[l][j];
            }
        }
        EXPECT_EQ(Partition(ra, slots), Partition(rb, moved));
        EXPECT_EQ(ra.summary.clusters, rb.summary.clusters);
        EXPECT_EQ(ra.summary.largest, rb.summary.largest);
        EXPECT_DOUBLE_EQ(ra.summary.mean_coordination, rb.summary.mean_coordination);
        EXPECT_NEAR(ra.summary.mean_q6, rb.summary.mean_q6, 1e-9);
        EXPECT_NEAR(ra.summary.rg, rb.summary.rg, 1e-9);
    }
}

TEST(Sann, ConfigurationWorkedOutByHand) {
    // Distances 1, 1, 1, 1, 1.05, 1.5, 1.6, 2.5 from taon 1:
    //   m = 3: 3 / 1 = 3 >= 1;  m = 4: 4 / 2 = 2 >= 1.05;  m = 5: 5.05 / 3 = 1.683 >= 1.5;
    //   m = 6: 6.55 / 4 = 1.6375 >= 1.6;  m = 7: 8.15 / 5 = 1.63 < 2.5, so 7 neighbours.
    const double sorted[] = {1, 1, 1, 1, 1.05, 1.5, 1.6, 2.5};
    EXPECT_EQ(SannCount(sorted, 8), 7);
    EXPECT_EQ(SannCount(sorted, 2), 2);  // fewer than three: all others
    EXPECT_EQ(SannCount(sorted, 7), 7);  // no m < n satisfies it: all others

    // The same distances in space, along directions far apart, with taon 1
    // in the middle (slots 2 .. 9 in the order of the list, shuffled).
    const long double h = 1 / std::sqrt(2.0L);
    std::vector<Point> p = {{0, 0, 0},  {0, 0, 1.6L}, {1, 0, 0},   {0, -1, 0},        {0, 0, -2.5L},
                            {-1, 0, 0}, {0, 1, 0},    {-1.05L * h, 0, -1.05L * h}, {1.5L * h, -1.5L * h, 0}};
    StructureResult r = AnalyseStructure(StateOf(p));
    EXPECT_EQ(r.coordination[1], 7);
    EXPECT_FALSE(r.IsNeighbour(1, 5));  // the one at 2.5
    const int byDistance[] = {3, 4, 6, 7, 8, 9, 2};
    for (int t = 0; t < 7; ++t) EXPECT_EQ(r.neighbours[1][t], byDistance[t]);
}

// A cube of n x n x n taons of spacing 1 at `corner`.
void AddLattice(std::vector<Point>& p, int n, Point corner) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) p.push_back({corner[0] + i, corner[1] + j, corner[2] + k});
}

TEST(Clusters, TwoSeparatedLatticesAreTwoClusters) {
    std::vector<Point> p;
    AddLattice(p, 3, {0, 0, 0});
    AddLattice(p, 3, {10, 0.5L, 0});
    TaonState s = StateOf(p);
    for (const char* rule : {"sann", "cutoff:1.2", "nearest:3"}) {
        SCOPED_TRACE(rule);
        StructureOptions o;
        o.neighbours = ParseNeighbourChoice(rule);
        StructureResult r = AnalyseStructure(s, o);
        EXPECT_EQ(r.summary.clusters, 2);
        EXPECT_EQ(r.summary.largest, 27);
        for (int k = 1; k <= 54; ++k) EXPECT_EQ(r.cluster[k], k <= 27 ? 0 : 1);
        EXPECT_EQ(r.cluster[55], -1);
        EXPECT_EQ(r.coordination[55], -1);
    }
    // Cutoff 1.2: corners 3, edges 4, faces 5, the centre 6 bonds.
    StructureOptions o;
    o.neighbours = ParseNeighbourChoice("cutoff:1.2");
    StructureResult r = AnalyseStructure(s, o);
    EXPECT_EQ(r.coordination[1], 3);
    EXPECT_EQ(r.coordination[14], 6);
    EXPECT_DOUBLE_EQ(r.summary.mean_coordination, (8 * 3 + 12 * 4 + 6 * 5 + 6) / 27.0);
    EXPECT_NEAR(r.q[6][14], 0.353553391, 1e-9);  // the centre: a simple cubic shell
    // A cluster cutoff that bridges the gap joins them.
    o.clusterCutoff = 9.5;
    r = AnalyseStructure(s, o);
    EXPECT_EQ(r.summary.clusters, 1);
    EXPECT_EQ(r.summary.largest, 54);
}

TEST(Structure, LonelyTaonsEmptyStatesAndFaults) {
    // Two taons at (+-1, 0, 0) and one far away under a cutoff of 3.
    StructureOptions o;
    o.neighbours = ParseNeighbourChoice("cutoff:3");
    StructureResult r = AnalyseStructure(StateOf({{1, 0, 0}, {-1, 0, 0}, {100, 0, 0}}), o);
    EXPECT_EQ(r.coordination[3], 0);
    EXPECT_TRUE(std::isnan(r.q[6][3]));
    EXPECT_TRUE(std::isnan(r.qAvg[6][3]));
    EXPECT_DOUBLE_EQ(r.q[6][1], 1.0);  // one bond: q_l = 1
    EXPECT_EQ(r.summary.clusters, 2);
    EXPECT_DOUBLE_EQ(r.summary.mean_q6, 1.0);  // over the taons where it is defined
    EXPECT_NEAR(r.summary.rg, std::sqrt((1 + 1 + 100.0 * 100) / 3 - (100 / 3.0) * (100 / 3.0)), 1e-9);

    r = AnalyseStructure(TaonState{});
    EXPECT_EQ(r.summary.clusters, 0);
    EXPECT_EQ(r.summary.largest, 0);
    EXPECT_TRUE(std::isnan(r.summary.mean_coordination));
    EXPECT_TRUE(std::isnan(r.summary.rg));

    // A taon at NaN is nobody's neighbour, and no fault flag leaks out.
    TaonState s = StateOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    s.X[2] = std::numeric_limits<long double>::quiet_NaN();
    std::feclearexcept(FE_ALL_EXCEPT);
    r = AnalyseStructure(s);
    EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0);
    EXPECT_EQ(r.coordination[2], 0);
    EXPECT_EQ(r.coordination[1], 2);
    EXPECT_FALSE(r.IsNeighbour(1, 2));
}

TEST(NeighbourChoice, TextsReadAndRejected) {
    EXPECT_EQ(ParseNeighbourChoice("SANN").rule, NeighbourRule::Sann);
    NeighbourChoice c = ParseNeighbourChoice("cutoff:1.25");
    EXPECT_EQ(c.rule, NeighbourRule::Cutoff);
    EXPECT_EQ(c.cutoff, 1.25);
    EXPECT_EQ(NeighbourChoiceText(c), "cutoff:1.25");
    c = ParseNeighbourChoice("Nearest:8");
    EXPECT_EQ(c.k, 8);
    EXPECT_EQ(NeighbourChoiceText(c), "nearest:8");
    for (const char* bad : {"", "sann:1", "cutoff", "cutoff:", "cutoff:0", "cutoff:-1", "cutoff:1,5", "cutoff:nan",
                            "nearest:0", "nearest:2.5", "nearest:100", "voronoi"})
        EXPECT_THROW(ParseNeighbourChoice(bad), std::invalid_argument) << bad;
}

}  // namespace
}  // namespace sphaeron::structure

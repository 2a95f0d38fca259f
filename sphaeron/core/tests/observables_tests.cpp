// The potentials against the slopes, the energies and momenta of small
// states against values formed by hand, and the observables the step hands
// out against the separate pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/core/tests/test_states.h"

namespace sphaeron {
namespace {

using testing::PutTaon;

// Three different groups; G1 = 2.5 is also the shell radius in mode 1.
TaonState ThreeGroups() {
    TaonState s = testing::FarState();
    SetGroupParams(s, 1, {1.3L, 1.0L, 1.4L, 1.7L, 2.0L, 2.5L});
    SetGroupParams(s, 2, {0.9L, 0.8L, 1.2L, 1.6L, 2.2L, 2.9L});
    SetGroupParams(s, 3, {1.1L, 1.1L, 1.5L, 1.9L, 2.4L, 3.2L});
    return s;
}

TEST(Potentials, SlopeIsTheDerivativeOfThePotential) {
    const TaonState s = ThreeGroups();
    const long double distances[] = {0.17L, 0.2L, 0.23L, 0.8L, 0.97L, 1.02L, 1.31L, 1.48L, 1.63L,
                                     1.95L, 2.1L, 2.38L, 2.47L, 2.55L, 2.8L, 3.1L, 3.3L};
    const long double h = 0x1p-26L;
    for (int g = 1; g <= 3; ++g) {
        for (bool mode1 : {false, true}) {
            for (long double r : distances) {
                long double slope = GroupSlope(s, g, r, mode1);
                long double diff = (GroupPotential(s, g, r + h, mode1) - GroupPotential(s, g, r - h, mode1)) / (2 * h);
                EXPECT_NEAR(static_cast<double>(diff), static_cast<double>(slope),
                            1e-9 * std::fabs(static_cast<double>(slope)))
                    << "group " << g << " mode1 " << mode1 << " r " << static_cast<double>(r);
            }
        }
    }
}

TEST(Potentials, ExactAroundTheirZeroThresholds) {
    // Bumps of e^-8980, subnormal, and underflowed around w = 1.5625 and
    // u = 1.75, where the potentials stop forming their exponentials.
    for (long double w : {1.5L, 1.515L, 1.52L, std::nextafter(1.5625L, 0.0L), 1.5625L, 2.0L}) {
        long double written = Power(w, Power(0.1L * 1.0L * w, -1.0L) * (2.5L - Power(w, 20.0L)));
        EXPECT_EQ(written, LayerPotential(1.0L, w)) << static_cast<double>(w);
    }
    for (long double v : {1.6L, 1.69L, 1.7L, std::nextafter(1.75L, 0.0L), 1.75L}) {
        long double r = v / 4.725L, u = 4.725L * r;
        EXPECT_EQ(Power(u, -Power(u, 19.0L)), CorePotential(r)) << static_cast<double>(v);
    }
}

// The pair potential written independently: powers by std::pow, the layer
// exponent as s / (0.1 w).
long double HandPotential(const TaonState& s, int g, bool mode1, long double r) {
    ParamGroup p = GroupParams(s, g);
    auto layer = [r](long double P) {
        long double w = 1.029L / P * r;
        return std::pow(w, (2.5L - std::pow(w, 20.0L)) / (0.1L * w));
    };
    long double u = 4.725L * r;
    long double core = std::pow(u, -std::pow(u, 19.0L));
    long double layers = layer(p.B) + layer(p.C) + layer(p.D) + layer(p.F);
    if (g == 1 && mode1) return s.A1 * std::exp(-(0.5L / 2.72L) * s.G1 / std::fabs(r - s.G1)) - layers;
    return core - layers - layer(p.G);
}

TEST(Observables, TwoTaonsAgainstHandValues) {
    struct Case {
        int a, b;
        long double r;
        bool mode1, stopL;
        bool aActs, bActs;
    };
    const Case cases[] = {
        {81, 82, 1.05L, false, false, true, true},  // one group
        {10, 90, 0.93L, false, false, true, true},  // groups 1 and 3
        {3, 60, 2.4L, true, false, true, true},     // the shell acts on 60
        {30, 60, 1.5L, false, true, false, true},   // StopL: 30 does not act
        {30, 40, 1.0L, false, true, false, false},  // nor does 40
    };
    for (const Case& c : cases) {
        TaonState s = ThreeGroups();
        PutTaon(s, c.a, 0.5L, -1.0L, 2.0L, 0.3L, -0.2L, 0.1L);
        PutTaon(s, c.b, 0.5L + c.r * 0.6L, -1.0L - c.r * 0.8L, 2.0L, -0.1L, 0.4L, 0.25L);
        PutTaon(s, 5, 0.5L, 0.0L, 2.0L, 7.0L);  // absent: neither counts nor acts
        s.GravonPresent[5] = 0;
        StepSwitches sw;
        sw.Mode1 = c.mode1;
        sw.StopL = c.stopL;
        Observables o = ComputeObservables(s, sw);

        auto groupOf = [](int k) { return k <= 50 ? 1 : (k <= 80 ? 2 : 3); };
        long double pe = 0;
        if (c.bActs) pe += GroupParams(s, groupOf(c.b)).A * HandPotential(s, groupOf(c.b), c.mode1, c.r);
        if (c.aActs) pe += GroupParams(s, groupOf(c.a)).A * HandPotential(s, groupOf(c.a), c.mode1, c.r);
        pe /= 2;
        long double keA = (0.09L + 0.04L + 0.01L) / 2, keB = (0.01L + 0.16L + 0.0625L) / 2;
        long double keGroup[4] = {};
        keGroup[groupOf(c.a)] += keA;
        keGroup[groupOf(c.b)] += keB;

        std::string what = std::to_string(c.a) + "-" + std::to_string(c.b);
        EXPECT_NEAR(static_cast<double>(o.pe), static_cast<double>(pe), 1e-14) << what;
        EXPECT_NEAR(static_cast<double>(o.ke), static_cast<double>(keA + keB), 1e-17) << what;
        EXPECT_EQ(o.ke + o.pe, o.e) << what;
        EXPECT_NEAR(static_cast<double>(o.ke1), static_cast<double>(keGroup[1]), 1e-17) << what;
        EXPECT_NEAR(static_cast<double>(o.ke2), static_cast<double>(keGroup[2]), 1e-17) << what;
        EXPECT_NEAR(static_cast<double>(o.ke3), static_cast<double>(keGroup[3]), 1e-17) << what;
        EXPECT_NEAR(static_cast<double>(o.px), 0.2, 1e-17) << what;
        EXPECT_NEAR(static_cast<double>(o.py), 0.2, 1e-17) << what;
        EXPECT_NEAR(static_cast<double>(o.pz), 0.35, 1e-17) << what;
        ASSERT_EQ(1u, PairDistances(s).size());
        EXPECT_NEAR(static_cast<double>(PairDistances(s)[0]), static_cast<double>(c.r), 1e-17) << what;
    }
}

TEST(Observables, FaultsCarryTheirTexts) {
    TaonState s = ThreeGroups();
    PutTaon(s, 1, 0, 0, 0);
    PutTaon(s, 2, 0, 0, 0);
    try {
        ComputeObservables(s, {});
        ADD_FAILURE() << "two taons on one spot";
    } catch (const common::FloatError& e) {
        EXPECT_STREQ("Floating point division by zero", e.what());
    }
}

bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

::testing::AssertionResult SameObservables(const Observables& a, const Observables& b) {
    const long double Observables::*fields[] = {&Observables::ke,  &Observables::pe,  &Observables::e,
                                                &Observables::px,  &Observables::py,  &Observables::pz,
                                                &Observables::ke1, &Observables::ke2, &Observables::ke3};
    for (auto f : fields)
        if (!SameBits(a.*f, b.*f))
            return ::testing::AssertionFailure() << static_cast<double>(a.*f) << " vs " << static_cast<double>(b.*f);
    return ::testing::AssertionSuccess();
}

TEST(Observables, StepHandsTheSeparatePassValuesAndKeepsItsTrajectory) {
    // A lattice in all three groups with a taon on the shell of another.
    TaonState start = ThreeGroups();
    start.DT = 0.002L;
    int k = 0;
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                ++k;
                PutTaon(start, k, x * 1.02L, y * 0.99L, z * 1.01L, 0.01L * (k % 7));
            }
    start.GravonPresent[17] = 0;
    PutTaon(start, 2, start.X[1] + 2.5L, start.Y[1], start.Z[1]);
    const StepSwitches switches[] = {{false, false, false}, {true, false, true}, {false, true, true}};
    StepEngine one(1), two(2);
    for (const StepSwitches& sw : switches) {
        TaonState plain = start, s1 = start, s2 = start;
        for (int n = 0; n < 3; ++n) {
            Observables expected = ComputeObservables(s1, sw), o1, o2;
            one.Step(plain, sw);
            one.Step(s1, sw, &o1);
            two.Step(s2, sw, &o2);
            EXPECT_TRUE(SameObservables(expected, o1)) << "StopL " << sw.StopL << " step " << n;
            EXPECT_TRUE(SameObservables(expected, o2)) << "StopL " << sw.StopL << " step " << n;
        }
        for (int q = 1; q <= kMaxTaons; ++q) {
            ASSERT_TRUE(SameBits(plain.X[q], s1.X[q]) && SameBits(plain.Uz[q], s1.Uz[q])) << q;
            ASSERT_TRUE(SameBits(plain.X[q], s2.X[q]) && SameBits(plain.Uz[q], s2.Uz[q])) << q;
        }
    }
}

// Largest deviation of the total energy from its start over a time span.
long double EnergyDrift(TaonState s, long double dt, int steps) {
    StepEngine engine(1);
    s.DT = dt;
    Observables o;
    long double e0 = ComputeObservables(s, {}).e, worst = 0;
    for (int n = 0; n < steps; ++n) {
        engine.Step(s, {}, &o);
        worst = std::max(worst, std::fabs(o.e - e0));
    }
    return worst;
}

TEST(Observables, EnergyAndMomentum) {
    // Three taons of group 2 swinging in the well of B.
    TaonState s = ThreeGroups();
    PutTaon(s, 51, 0, 0, 0, 0.2L);
    PutTaon(s, 52, 0.78L, 0, 0);
    PutTaon(s, 53, 0.4L, 0.71L, 0, 0, -0.3L);
    long double coarse = EnergyDrift(s, 0.002L, 200), fine = EnergyDrift(s, 0.001L, 400);
    // First order: the drift halves with the time step (0.029, 0.014 today).
    EXPECT_LT(coarse, 0.05L);
    EXPECT_GT(coarse, 0.0L);
    EXPECT_LT(fine, 0.6L * coarse);

    // The law is reciprocal within one group only.
    struct Case {
        int a, b;
        bool conserved;
    };
    for (Case c : {Case{81, 82, true}, Case{10, 90, false}}) {
        TaonState t = ThreeGroups();
        t.DT = 0.002L;
        PutTaon(t, c.a, 0, 0, 0, 0.1L);
        PutTaon(t, c.b, 0.9L, 0.3L, 0);
        StepEngine engine(1);
        Observables o0 = ComputeObservables(t, {}), o;
        for (int n = 0; n < 50; ++n) engine.Step(t, {}, &o);
        long double change = std::fabs(o.px - o0.px) + std::fabs(o.py - o0.py);
        if (c.conserved)
            EXPECT_LT(change, 1e-17L) << c.a;
        else
            EXPECT_GT(change, 1e-4L) << c.a;
    }
}

}  // namespace
}  // namespace sphaeron

// The fast step against the written procedure, bit for bit, on many random
// states: every switch, absent slots, coincident taons, zero and negative
// parameters, one and two threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "common/errors.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/core/tests/test_states.h"

namespace sphaeron {
namespace {

bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

// Compares every real of the committed and working copies bit for bit.
::testing::AssertionResult SameState(const TaonState& a, const TaonState& b) {
    const long double TaonState::*unused = nullptr;
    (void)unused;
    for (int k = 1; k <= kMaxTaons; ++k) {
        const long double* pa[15] = {a.X, a.Y, a.Z, a.Ux, a.Uy, a.Uz, a.NewX, a.NewY, a.NewZ,
                                     a.NewUx, a.NewUy, a.NewUz, a.ViewX, a.ViewY, a.ViewZ};
        const long double* pb[15] = {b.X, b.Y, b.Z, b.Ux, b.Uy, b.Uz, b.NewX, b.NewY, b.NewZ,
                                     b.NewUx, b.NewUy, b.NewUz, b.ViewX, b.ViewY, b.ViewZ};
        for (int f = 0; f < 15; ++f)
            if (!SameBits(pa[f][k], pb[f][k]))
                return ::testing::AssertionFailure()
                       << "array " << f << " slot " << k << ": " << static_cast<double>(pa[f][k]) << " vs "
                       << static_cast<double>(pb[f][k]);
    }
    return ::testing::AssertionSuccess();
}

struct Outcome {
    std::string error;
};

Outcome Run(TaonState& s, const StepSwitches& sw, StepEngine* engine) {
    try {
        if (engine)
            engine->Step(s, sw);
        else
            LiteralTaonStep(s, sw);
    } catch (const common::FloatError& e) {
        return {e.what()};
    }
    return {""};
}

TaonState RandomState(std::mt19937_64& rng, int variant) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    TaonState s;
    s.DT = variant % 7 == 0 ? 0.0L : static_cast<long double>(0.0005 + 0.003 * unit(rng));
    for (int g = 1; g <= 3; ++g) {
        ParamGroup p{static_cast<long double>(0.5 + unit(rng)), static_cast<long double>(0.8 + 0.4 * unit(rng)),
                     static_cast<long double>(1.3 + 0.4 * unit(rng)), static_cast<long double>(1.8 + 0.5 * unit(rng)),
                     static_cast<long double>(2.3 + 0.6 * unit(rng)), static_cast<long double>(2.8 + 0.8 * unit(rng))};
        SetGroupParams(s, g, p);
    }
    if (variant % 5 == 1) SetGroupParams(s, 2, GroupParams(s, 1));  // shared reach factors
    int count = 2 + static_cast<int>(unit(rng) * 99);
    long double spread = static_cast<long double>(1.0 + 4.0 * unit(rng));
    for (int k = 1; k <= kMaxTaons; ++k) {
        bool present = unit(rng) < static_cast<double>(count) / 100.0;
        long double x = spread * static_cast<long double>(unit(rng) - 0.5);
        long double y = spread * static_cast<long double>(unit(rng) - 0.5);
        long double z = spread * static_cast<long double>(unit(rng) - 0.5);
        testing::PutTaon(s, k, x, y, z, static_cast<long double>(0.1 * (unit(rng) - 0.5)),
                         static_cast<long double>(0.1 * (unit(rng) - 0.5)), 0);
        s.GravonPresent[k] = present ? (unit(rng) < 0.1 ? 2 : 1) : 0;
        // The working copy may differ from the committed one for slots the
        // edit dialog touched.
        if (unit(rng) < 0.05) s.NewUx[k] = static_cast<long double>(unit(rng));
    }
    return s;
}

void CompareOnState(TaonState start, const StepSwitches& sw, StepEngine& one, StepEngine& two, int steps,
                    const std::string& what) {
    TaonState lit = start, fast1 = start, fast2 = start;
    for (int n = 0; n < steps; ++n) {
        Outcome a = Run(lit, sw, nullptr);
        Outcome b = Run(fast1, sw, &one);
        Outcome c = Run(fast2, sw, &two);
        if (!a.error.empty()) ResetWorkingCopy(lit);  // the step's own reset after a fault
        ASSERT_EQ(a.error, b.error) << what << " step " << n + 1;
        ASSERT_EQ(a.error, c.error) << what << " step " << n + 1;
        ASSERT_TRUE(SameState(lit, fast1)) << what << " step " << n + 1;
        ASSERT_TRUE(SameState(lit, fast2)) << what << " step " << n + 1;
        if (!a.error.empty()) return;
    }
}

// 48 random states in four shards that ctest runs side by side; every shard
// draws the whole sequence, so the states do not depend on the sharding.
class FastStepShard : public ::testing::TestWithParam<int> {};

TEST_P(FastStepShard, MatchesTheWrittenProcedureBitForBit) {
    constexpr int kVariants = 48, kShards = 4;
    std::mt19937_64 rng(20261208);
    StepEngine one(1), two(2);
    for (int variant = 0; variant < kVariants; ++variant) {
        TaonState s = RandomState(rng, variant);
        if (variant * kShards / kVariants != GetParam()) continue;
        StepSwitches sw;
        sw.StopL = variant % 4 == 1;
        sw.Cool = variant % 3 == 1;
        sw.Mode1 = variant % 2 == 1;
        if (sw.Mode1 && variant % 6 == 3) {
            // A taon exactly on the shell of another.
            s.G1 = 1.25L;
            testing::PutTaon(s, 2, s.X[1] + 1.25L, s.Y[1], s.Z[1]);
        }
        CompareOnState(s, sw, one, two, 3, "variant " + std::to_string(variant));
    }
}

INSTANTIATE_TEST_SUITE_P(FastStep, FastStepShard, ::testing::Range(0, 4));

TEST(FastStep, FaultsMatchTheWrittenProcedure) {
    std::mt19937_64 rng(7);
    StepEngine one(1), two(2);
    for (int variant = 0; variant < 28; ++variant) {
        TaonState s = RandomState(rng, variant + 1);
        StepSwitches sw;
        sw.Mode1 = variant % 2 == 0;
        sw.StopL = variant % 5 == 0;
        switch (variant % 6) {
            case 0: s.C2 = 0; break;                            // division by zero in a reach factor
            case 1: s.F1 = -2.0L; break;                        // logarithm of a negative base
            case 2:                                             // coincident taons
                testing::PutTaon(s, 40, 0.3L, 0.3L, 0.3L);
                testing::PutTaon(s, 41, 0.3L, 0.3L, 0.3L);
                break;
            case 3: s.B3 = -1.0L; s.C1 = 0; break;              // two causes: the first one counts
            case 4:                                             // overflow in the update
                s.DT = 1e4000L;
                break;
            case 5: s.G2 = 1e-4940L; break;                     // denormal parameter: huge reach
        }
        if (variant >= 24) {
            // Values that no step can produce: a NaN position, an infinite
            // velocity, a NaN shell radius.
            testing::PutTaon(s, 3, NAN, 0.5L, 0.5L);
            s.NewUy[9] = s.Uy[9] = INFINITY;
            if (variant == 25) s.G1 = NAN;
            s.C2 = 1.4L;
            s.F1 = 2.5L;
            s.B3 = 1.0L;
        }
        CompareOnState(s, sw, one, two, 2, "fault variant " + std::to_string(variant));
    }
}

TEST(FastStep, ExamplesOfOrdinaryRunsStayIdentical) {
    // A dense lattice run for some steps, where most terms vanish exactly.
    TaonState s;
    testing::AllGroups(s, {1, 1, 1.4L, 1.7L, 2, 2.5L});
    s.A3 = 1.2L;
    s.DT = 0.002L;
    int k = 0;
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) testing::PutTaon(s, ++k, x - 2.0L, y - 2.0L, z * 1.0L);
    StepEngine one(1), two(2);
    CompareOnState(s, StepSwitches{}, one, two, 5, "lattice");
}

TEST(FastStep, ZeroDecisionsAtTheirThresholds) {
    // Two taons whose five lengths are all P, so that a single
    // term (one layer five times, or the core) is the whole force and a term
    // wrongly taken for zero shows in the velocities. The layer zero range
    // starts at w = 1.5625 (the bump is e^-8980 at w = 1.5 and underflows near
    // 1.515), the core zero range at u = 1.75 (e^-3557 at u = 1.6), both only
    // for reach factors b = 1.029 / P within [1e-100, 1e100].
    const long double below = std::nextafter(1.5625L, 0.0L), above = std::nextafter(1.5625L, 2.0L);
    struct Case {
        long double P, r;
        const char* what;
    };
    const Case cases[] = {
        {1.029L, 1.5L, "layer bump e^-8980"},
        {1.029L, 1.515L, "layer bump near underflow"},
        {1.029L, 1.52L, "layer bump underflowed"},
        {1.029L, below, "layer just below the zero range"},
        {1.029L, 1.5625L, "layer at the zero range"},
        {1.029L, above, "layer just in the zero range"},
        {0.2L, 1.6L / 4.725L, "core e^-3557"},
        {0.2L, 1.69L / 4.725L, "core subnormal"},
        {0.2L, 1.7L / 4.725L, "core underflowed"},
        {0.2L, std::nextafter(1.75L / 4.725L, 0.0L), "core just below the zero range"},
        {0.2L, 1.75L / 4.725L, "core at the zero range"},
        {1.029e-100L, 1.6e-100L, "largest zeroable reach"},
        {1.028e-100L, 1.6e-100L, "reach beyond the zeroable range"},
        {1.029e100L, 1.6e100L, "smallest zeroable reach"},
        {1.03e100L, 1.6e100L, "reach below the zeroable range"},
        {1.029e-200L, 1.6e200L, "tiny reach, core beyond its zero range"},
        {1.029e-2470L, 1.6e-2470L, "huge reach, r^-2 beyond the range"},
        {1.029L, 1e99L, "w below 1e100"},
        {1.029L, 1e250L, "w^20 beyond the range"},
        {-1.029L, 1.8L, "negative length"},
        {NAN, 1.8L, "length not a number"},
    };
    StepEngine one(1), two(2);
    for (const Case& c : cases) {
        TaonState s;
        s.TaonCount = 2;  // two slots, both of group 3, nothing else moved
        testing::AllGroups(s, {1, c.P, c.P, c.P, c.P, c.P});
        s.DT = 0.001L;
        testing::PutTaon(s, 1, 0, 0, 0);
        testing::PutTaon(s, 2, c.r, 0, 0);
        CompareOnState(s, StepSwitches{}, one, two, 1, c.what);
    }
}

}  // namespace
}  // namespace sphaeron

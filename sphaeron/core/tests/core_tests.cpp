#include <gtest/gtest.h>

#include <cmath>

#include "common/errors.h"
#include "sphaeron/core/listing.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/core/tests/test_states.h"
#include "tests/support/error_text.h"

namespace sphaeron {
namespace {

using testing::AllGroups;
using testing::PutTaon;
using testsupport::ErrorText;
using testsupport::StepOnce;

// Relative agreement to five significant digits.
void ExpectFive(long double expected, long double actual) {
    EXPECT_NEAR(static_cast<double>(actual), static_cast<double>(expected), std::fabs(static_cast<double>(expected)) * 5e-5)
        << "expected about " << static_cast<double>(expected);
}

TEST(InteractionLaw, ReferenceValues) {
    ExpectFive(-7.6324L, CoreSlope(0.25L));
    ExpectFive(15.331L, LayerSlope(1.029L, 0.95L));
    ExpectFive(-3.6287L, LayerSlope(1.029L, 1.0L));
    ExpectFive(-23.494L, LayerSlope(1.029L, 1.02L));
    ExpectFive(-1.8144L, LayerSlope(1.029L / 2, 2.0L));
    ExpectFive(-0.36661L, ShellSlope(4.0L, 1.0L, 5.0L));
    ExpectFive(0.36661L, ShellSlope(6.0L, 1.0L, 5.0L));

    TaonState s;
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    ExpectFive(3.6287L, GroupSlope(s, 2, 1.0L, false));
    ExpectFive(1.8143L, GroupSlope(s, 2, 2.0L, false));
}

TEST(InteractionLaw, ShellIsZeroOnTheShellAndContinuousAroundIt) {
    EXPECT_EQ(0.0L, ShellSlope(5.0L, 1.0L, 5.0L));
    EXPECT_EQ(0.0L, ShellSlope(5.0L - 1e-6L, 1.0L, 5.0L));
    EXPECT_EQ(0.0L, ShellSlope(5.0L + 1e-6L, 1.0L, 5.0L));
    // Mode 1 ignores the core: at r = G1 the group 1 factor is just the four
    // layers B .. F (value worked out to 50 digits apart from the program).
    TaonState s;
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    ExpectFive(4.7455964e-126L, GroupSlope(s, 1, 5.0L, true));
}

TEST(SourceGroups, BoundariesFollowTaonCountAndStopL) {
    EXPECT_EQ(1, SourceGroup(50, 100, false));
    EXPECT_EQ(2, SourceGroup(51, 100, false));
    EXPECT_EQ(2, SourceGroup(80, 100, false));
    EXPECT_EQ(3, SourceGroup(81, 100, false));
    EXPECT_EQ(1, SourceGroup(6, 100, true));
    EXPECT_EQ(0, SourceGroup(7, 100, true));
    EXPECT_EQ(0, SourceGroup(50, 100, true));
    EXPECT_EQ(2, SourceGroup(60, 100, true));
}

TEST(TaonStepTest, PairInGroupThreeFeelsEqualAndOppositeForces) {
    TaonState s = testing::FarState();
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    s.DT = 0.001L;
    PutTaon(s, 81, 0, 0, 0);
    PutTaon(s, 82, 0.9L, 0.3L, -0.2L);
    StepSwitches sw;
    long double fx81 = ForceX(s, 81, sw), fx82 = ForceX(s, 82, sw);
    EXPECT_EQ(fx81, -fx82);
    for (int k = 0; k < 50; ++k) StepOnce(s, sw);
    EXPECT_NEAR(static_cast<double>(s.Ux[81] + s.Ux[82]), 0.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(s.Uz[81] + s.Uz[82]), 0.0, 1e-15);
    EXPECT_NE(0.0L, s.Ux[81]);
}

TEST(TaonStepTest, EachTaonActsThroughItsOwnGroup) {
    TaonState s;
    SetGroupParams(s, 1, {1, 1, 2, 3, 4, 5});
    SetGroupParams(s, 3, {2, 1.1L, 2, 3, 4, 5});
    PutTaon(s, 10, 0, 0, 0);
    PutTaon(s, 90, 1.0L, 0, 0);
    StepSwitches sw;
    EXPECT_NE(ForceX(s, 10, sw), -ForceX(s, 90, sw));
}

TEST(TaonStepTest, StopLFreezesSlotsSevenOnwards) {
    TaonState s = testing::FarState();
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    s.DT = 0.01L;
    PutTaon(s, 1, 0, 0, 0);
    PutTaon(s, 30, 0.95L, 0, 0);  // neither moves nor acts
    PutTaon(s, 60, 0, 0.95L, 0);  // does not move, acts through group 2
    StepSwitches sw;
    sw.StopL = true;
    StepOnce(s, sw);
    EXPECT_EQ(0.95L, s.X[30]);
    EXPECT_EQ(0.95L, s.Y[60]);
    EXPECT_EQ(0.0L, s.Ux[30]);
    EXPECT_EQ(0.0L, s.Ux[1]);  // taon 30 exerts nothing
    EXPECT_NE(0.0L, s.Uy[1]);  // taon 60 pulls or pushes taon 1
}

TEST(TaonStepTest, CoolShrinksVelocityWithoutForces) {
    TaonState s = testing::FarState();
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    s.DT = 0.5L;
    PutTaon(s, 1, 0, 0, 0, 1.0L, -2.0L, 0.5L);
    StepSwitches sw;
    sw.Cool = true;
    StepOnce(s, sw);
    EXPECT_EQ(0.99L * 1.0L, s.Ux[1]);
    EXPECT_EQ(0.99L * -2.0L, s.Uy[1]);
    EXPECT_EQ(0.0L + (0.99L * 1.0L) * 0.5L, s.X[1]);
    EXPECT_EQ(s.X[1], s.ViewX[1]);
}

TEST(TaonStepTest, ZeroTimeStepChangesNothing) {
    TaonState s = testing::FarState();
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    s.DT = 0;
    PutTaon(s, 1, 0, 0, 0, 0.25L);
    PutTaon(s, 2, 0.9L, 0, 0);
    TaonState before = s;
    StepOnce(s, StepSwitches{});
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(before.X[k], s.X[k]);
        EXPECT_EQ(before.Ux[k], s.Ux[k]);
    }
}

TEST(TaonStepTest, AbsentTaonsAreMovedButExertNothing) {
    TaonState s = testing::FarState();
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    s.DT = 0.01L;
    PutTaon(s, 1, 0, 0, 0);
    PutTaon(s, 2, 0.95L, 0, 0);
    s.GravonPresent[2] = 0;  // absent: pulled by 1, pulls nobody
    StepOnce(s, StepSwitches{});
    EXPECT_EQ(0.0L, s.Ux[1]);
    EXPECT_NE(0.0L, s.Ux[2]);
}

TEST(TaonStepTest, ZeroVelocitiesKeepsPositionsAndPresence) {
    TaonState s;
    PutTaon(s, 3, 1, 2, 3, 4, 5, 6);
    s.StepCount = 7;
    ZeroVelocities(s);
    EXPECT_EQ(0.0L, s.Uy[3]);
    EXPECT_EQ(0.0L, s.NewUz[3]);
    EXPECT_EQ(2.0L, s.Y[3]);
    EXPECT_EQ(1, s.GravonPresent[3]);
    EXPECT_EQ(7, s.StepCount);
}

std::string StepError(TaonState& s, StepSwitches sw = {}) {
    return ErrorText<common::FloatError>([&] { StepOnce(s, sw); });
}

TEST(TaonStepFaults, TextsFollowTheCause) {
    TaonState base;
    AllGroups(base, {1, 1, 2, 3, 4, 5});
    base.DT = 0.001L;
    PutTaon(base, 1, 0, 0, 0);
    PutTaon(base, 2, 0.95L, 0, 0);

    TaonState coincident = base;
    PutTaon(coincident, 3, 0.95L, 0, 0);
    coincident.GravonPresent[3] = 0;  // absent, on top of taon 2
    EXPECT_EQ("Floating point division by zero", StepError(coincident));

    TaonState zero = base;
    zero.D2 = 0;  // a parameter of a group nobody uses still fails the step
    EXPECT_EQ("Floating point division by zero", StepError(zero));

    TaonState negative = base;
    negative.C1 = -2;
    EXPECT_EQ("Invalid floating point operation", StepError(negative));

    TaonState huge = base;
    huge.Ux[1] = huge.NewUx[1] = 1e4930L;
    huge.DT = 1000.0L;
    EXPECT_EQ("Floating point overflow", StepError(huge));

    // A power beyond the range turns into invalid operations later in the
    // same term; the overflow is what is reported.
    TaonState far = base;
    PutTaon(far, 2, 1e300L, 0, 0);
    EXPECT_EQ("Floating point overflow", StepError(far));
}

TEST(TaonStepFaults, FailedStepKeepsCommittedStateAndResetsWorkingCopy) {
    TaonState s;
    AllGroups(s, {1, 1, 2, 3, 4, 5});
    s.DT = 0.01L;
    PutTaon(s, 1, 0, 0, 0, 0.5L);
    PutTaon(s, 2, 0.95L, 0, 0);
    PutTaon(s, 50, 3, 3, 3);
    PutTaon(s, 51, 3, 3, 3);  // coincides with taon 50
    TaonState before = s;
    EXPECT_EQ("Floating point division by zero", StepError(s));
    for (int k = 1; k <= kMaxTaons; ++k) {
        EXPECT_EQ(before.X[k], s.X[k]);
        EXPECT_EQ(before.Ux[k], s.Ux[k]);
        EXPECT_EQ(s.X[k], s.NewX[k]);
        EXPECT_EQ(s.Ux[k], s.NewUx[k]);
    }
}

TEST(PointDistance, ExtendedPrecisionAndOverflow) {
    EXPECT_EQ(5.0L, PointDistance({1, 2, 3}, {4, 6, 3}));
    // Beyond double: the squares of 1e200 stay finite in extended precision.
    EXPECT_EQ(1e200L, PointDistance({0, 0, 0}, {0, 1e200L, 0}));
    EXPECT_EQ("Floating point overflow", ErrorText([] { PointDistance({1e4000L, 0, 0}, {-1e4000L, 0, 0}); }));
}

TEST(Listing, PresentTaonsInTheGeneralFormAbsentOnesEmpty) {
    TaonState s;
    PutTaon(s, 1, 0.5L, -1e-7L, 1e15L, 2, 0, -0.25L);
    PutTaon(s, 2, 1, 2, 3);
    s.GravonPresent[2] = 0;
    const ListingCells positions = MakeListing(s, false, ',');
    EXPECT_EQ((std::array<std::string, 3>{"X", "Y", "Z"}), positions.Heads);
    EXPECT_EQ((std::array<std::string, 3>{"0,5", "-1E-7", "1E15"}), positions.Rows[1]);
    EXPECT_EQ((std::array<std::string, 3>{"", "", ""}), positions.Rows[2]);
    const ListingCells velocities = MakeListing(s, true, '.');
    EXPECT_EQ((std::array<std::string, 3>{"u(x)", "u(y)", "u(z)"}), velocities.Heads);
    EXPECT_EQ((std::array<std::string, 3>{"2", "0", "-0.25"}), velocities.Rows[1]);
}

TEST(Listing, CutNumbersKeepTheirExponentAndWholePart) {
    // One unit per character; the ellipsis is one character too.
    auto chars = [](const std::string& t) {
        int n = 0;
        for (unsigned char c : t) n += (c & 0xC0) != 0x80;
        return n;
    };
    struct Case {
        const char* text;
        int width;
        const char* shown;
    };
    const Case cases[] = {
        {"-4,05475012345678E-20", 21, "-4,05475012345678E-20"},
        {"-4,05475012345678E-20", 12, "-4,0547\u2026E-20"},
        {"-4,05475012345678E-20", 7, "-4\u2026E-20"},
        {"-4,05475012345678E-20", 6, "\u2026"},
        {"-123456,789", 10, "-123456,7\u2026"},
        {"-123456,789", 9, "-1,234\u2026E5"},
        {"123456789012345", 8, "1,23\u2026E14"},
        {"100000000000000", 4, "1E14"},
        {"0,00012345", 5, "0,00\u2026"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.shown, FitNumber(c.text, c.width, chars, ',')) << c.text << " " << c.width;
}

}  // namespace
}  // namespace sphaeron

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "common/errors.h"
#include "duoplex/core/planar_step.h"

namespace duoplex {
namespace {

// Gravons 1 and 2 with the given strength and ranges, gravon 3 parked far
// away without strength, everything at rest.
PlanarState Pair(long double x1, long double x2, long double a, long double b) {
    PlanarState s;
    ResetToStartValues(s);
    for (int k = 1; k <= 2; ++k) {
        s.A[k] = a;
        s.B[k] = b;
        s.C[k] = 0.424L;
        s.D[k] = 5.0L;
        s.Y[k] = 2.0L;
    }
    s.X[1] = x1;
    s.X[2] = x2;
    return s;
}

StepSettings Settings(FunctionChoice f, bool two = true, int brake = 1) {
    StepSettings st;
    st.function = f;
    st.twoGravonPass = two;
    st.brake = brake;
    return st;
}

std::string StepFault(PlanarState& s, const StepSettings& st) {
    try {
        DoStep(s, st);
    } catch (const common::FloatError& e) {
        return e.what();
    }
    return "";
}

bool SameKinematics(const PlanarState& a, const PlanarState& b) {
    for (int k = 1; k <= kGravons; ++k)
        if (a.X[k] != b.X[k] || a.Y[k] != b.Y[k] || a.SpeedX[k] != b.SpeedX[k] || a.SpeedY[k] != b.SpeedY[k])
            return false;
    return true;
}

// The potentials the two laws derive from, written independently of the
// forces: the force terms must be their slopes.
long double PePotential(long double r, long double b) { return Power(r, b / r); }
long double PesPotential(long double r, long double b, long double c, long double d) {
    long double u = 9.45L * r, v = 0.09L * r;
    long double p = Power(u, -Power(u, 19.0L)) + 125.0L * Power(10.0L, -14.0L) * Power(v, 75.0L / v);
    for (long double q : {b, c, d}) {
        long double w = (1.029L / q) * r, s = (0.1029L / q) * r;
        p += Power(w, (2.5L - Power(w, 20.0L)) / s);
    }
    return p;
}
long double Slope(long double (*f)(long double), long double r) {
    long double h = 1e-6L * r;
    return (f(r + h) - f(r - h)) / (2 * h);
}

TEST(DuoplexLaws, TermsAreSlopesOfTheirPotentials) {
    for (long double r : {0.05L, 0.3L, 0.9L, 1.7L, 2.5L, 2.9L, 3.15L, 4.0L, 6.0L}) {
        long double pes = -Slope([](long double x) { return PesPotential(x, 3.0L, 0.424L, 5.0L); }, r);
        EXPECT_NEAR(PesSlope(r, 3.0L, 0.424L, 5.0L), pes, 1e-6L * std::fabs(pes) + 1e-30L) << "r " << r;
        long double pe = Slope([](long double x) { return PePotential(x, 2.0L); }, r);
        // With q = r and A = 1 the PE term is the slope itself.
        EXPECT_NEAR(PeTerm(r, r, 1.0L, 2.0L), pe, 1e-8L * std::fabs(pe) + 1e-30L) << "r " << r;
    }
}

TEST(DuoplexLaws, PeBalancesAtDistanceE) {
    const long double e = std::exp(1.0L);
    PlanarState s = Pair(0.0L, e, 1.0L, 1.0L);
    EXPECT_LT(std::fabs(ForceX(s, 1, FunctionChoice::F_PE)), 1e-17L);
    for (int n = 0; n < 100; ++n) DoStep(s, Settings(FunctionChoice::F_PE));
    EXPECT_NEAR(s.X[1], 0.0L, 1e-15L);
    EXPECT_NEAR(s.X[2], e, 1e-15L);
    EXPECT_EQ(s.Y[1], 2.0L);
    EXPECT_EQ(s.StepCount, 100);

    // Closer than e the pair pushes apart, farther it pulls together.
    PlanarState near = Pair(0.0L, 2.0L, 1.0L, 1.0L), far = Pair(0.0L, 4.0L, 1.0L, 1.0L);
    EXPECT_LT(ForceX(near, 1, FunctionChoice::F_PE), 0.0L);
    EXPECT_GT(ForceX(near, 2, FunctionChoice::F_PE), 0.0L);
    EXPECT_GT(ForceX(far, 1, FunctionChoice::F_PE), 0.0L);
    EXPECT_EQ(ForceY(far, 1, FunctionChoice::F_PE), 0.0L);
}

TEST(DuoplexLaws, ZeroStrengthExertsNothing) {
    for (FunctionChoice f : {FunctionChoice::F_PE, FunctionChoice::F_PES}) {
        PlanarState s = Pair(-1.5L, 1.6L, 1.0L, 3.0L);
        s.A[2] = 0.0L;
        EXPECT_EQ(ForceX(s, 1, f), 0.0L) << FunctionName(f);
        EXPECT_EQ(ForceY(s, 1, f), 0.0L) << FunctionName(f);
        EXPECT_NE(ForceX(s, 2, f), 0.0L) << FunctionName(f);
    }
}

TEST(DuoplexLaws, MixedFunctionActsDifferentlyOnTheTwo) {
    PlanarState s;
    ResetToStartValues(s);
    ApplyConfiguration(s, *RefreshConfiguration(FunctionChoice::F_PE_PES, false));
    long double f1 = ForceX(s, 1, FunctionChoice::F_PE_PES), f2 = ForceX(s, 2, FunctionChoice::F_PE_PES);
    EXPECT_EQ(f1, ForceX(s, 1, FunctionChoice::F_PE));
    EXPECT_EQ(f2, ForceX(s, 2, FunctionChoice::F_PES));
    EXPECT_NE(f1, -f2);
    s.A[3] = 1.0L;
    s.X[3] = 0.0L;
    EXPECT_EQ(ForceX(s, 3, FunctionChoice::F_PE_PES), 0.0L);
    PlanarState before = s;
    DoStep(s, Settings(FunctionChoice::F_PE_PES));
    EXPECT_EQ(s.X[3], before.X[3]);
    EXPECT_NE(s.X[1], before.X[1]);
}

TEST(DuoplexLaws, FaultsOfThePesLawAndOfCoincidingGravons) {
    struct Case {
        const char* what;
        FunctionChoice f;
        long double x2, b2;
        const char* text;
    };
    const Case cases[] = {
        {"PES, B = 0", FunctionChoice::F_PES, 1.5L, 0.0L, "Floating point division by zero"},
        {"PES, B < 0", FunctionChoice::F_PES, 1.5L, -3.0L, "Invalid floating point operation"},
        {"PES, same place", FunctionChoice::F_PES, -1.5L, 3.0L, "Floating point division by zero"},
        {"PE, same place", FunctionChoice::F_PE, -1.5L, 3.0L, "Floating point division by zero"},
    };
    for (const Case& c : cases) {
        PlanarState s = Pair(-1.5L, c.x2, 1.0L, 3.0L);
        s.B[2] = c.b2;
        s.SpeedX[1] = 0.25L;
        const PlanarState before = s;
        EXPECT_EQ(StepFault(s, Settings(c.f)), c.text) << c.what;
        EXPECT_TRUE(SameKinematics(s, before)) << c.what;
        EXPECT_EQ(s.StepCount, before.StepCount) << c.what;
    }
}

TEST(DuoplexPasses, BrakeActsPerAxisAndPass) {
    const long double b = 0.949L;  // "Brake-10%"
    // Without strength there is no force; only the brake changes the speeds.
    PlanarState s = Pair(-2.0L, 2.0L, 0.0L, 2.0L);
    s.SpeedX[1] = s.SpeedY[1] = 1.0L;
    PlanarState t = s;

    DoStep(s, Settings(FunctionChoice::F_PE, true, 5));
    EXPECT_EQ(s.SpeedX[1], b * (b * 1.0L));
    EXPECT_EQ(s.SpeedY[1], b * 1.0L);
    EXPECT_EQ(s.X[1], (-2.0L + b * s.DT) + b * (b * 1.0L) * s.DT);

    DoStep(t, Settings(FunctionChoice::F_PE, false, 5));
    EXPECT_EQ(t.SpeedX[1], b);
    EXPECT_EQ(t.SpeedY[1], 1.0L);
    EXPECT_EQ(t.Y[1], 2.0L + t.DT);
}

TEST(DuoplexPasses, WhichGravonsMoveHowOften) {
    // Unit x speeds and no forces: each advance moves a gravon by DT.
    auto advanced = [](FunctionChoice f, bool two) {
        PlanarState s = Pair(-2.0L, 2.0L, 0.0L, 2.0L);
        s.X[3] = 0.0L;
        for (int k = 1; k <= 3; ++k) s.SpeedX[k] = 1.0L;
        s.DT = 0.25L;
        DoStep(s, Settings(f, two));
        return std::to_string(static_cast<int>((s.X[1] + 2.0L) / 0.25L)) +
               std::to_string(static_cast<int>((s.X[2] - 2.0L) / 0.25L)) +
               std::to_string(static_cast<int>(s.X[3] / 0.25L));
    };
    EXPECT_EQ(advanced(FunctionChoice::F_PE, true), "220");
    EXPECT_EQ(advanced(FunctionChoice::F_PE, false), "110");
    EXPECT_EQ(advanced(FunctionChoice::F_PE1, true), "221");
    EXPECT_EQ(advanced(FunctionChoice::F_PE2, false), "111");
    EXPECT_EQ(advanced(FunctionChoice::GravoNew, false), "111");
    EXPECT_EQ(advanced(FunctionChoice::F_PES_Swi, false), "110");

    // Gravon 3 with strength pulls on the others but stays put under F_PE.
    PlanarState s;
    ResetToStartValues(s);
    ApplyConfiguration(s, *RefreshConfiguration(FunctionChoice::F_PE1, true));
    PlanarState before = s;
    DoStep(s, Settings(FunctionChoice::F_PE, false));
    EXPECT_EQ(s.X[3], before.X[3]);
    EXPECT_NE(s.X[1], before.X[1]);
}

TEST(DuoplexPasses, FaultInTheFunctionPassKeepsTheTwoGravonPass) {
    // Gravon 1's huge range overflows only in the force on gravon 3, which
    // only the function pass of F_PE1 computes.
    PlanarState s = Pair(0.0L, 100000.0L, 1.0L, 2.0L);
    s.B[1] = 100000.0L;
    s.A[3] = 1.0L;
    s.B[3] = 2.0L;
    s.X[3] = 2.0L;
    s.Y[3] = 2.0L;
    PlanarState expected = s;
    IntegrationPass(expected, 2, true, Settings(FunctionChoice::F_PE1));

    EXPECT_EQ(StepFault(s, Settings(FunctionChoice::F_PE1)), "Floating point overflow");
    EXPECT_TRUE(SameKinematics(s, expected));
    EXPECT_NE(s.X[1], 0.0L);
    EXPECT_EQ(s.StepCount, 0);
}

}  // namespace
}  // namespace duoplex

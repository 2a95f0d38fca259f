#include "duoplex/core/planar_step.h"

#include <cmath>
#include <cstdint>

#include "common/fpcheck.h"

namespace duoplex {

long double PeTerm(long double q, long double r, long double a, long double b) {
    return (1.0L - std::log(r)) * Power(r, b / r) * Power(r, -2.0L) * (q / r) * a * b;
}

namespace {

// Power(10, -14) * 125 * 0.09 * 75, evaluated by the library like every
// other power (never folded by the compiler into a differently rounded
// constant).
long double CoreK() {
    static const long double k = [] {
        volatile long double ten = 10.0L;
        return Power(ten, -14.0L) * 125.0L * 0.09L * 75.0L;
    }();
    return k;
}

}  // namespace

long double CoreSlope(long double r) {
    long double u = 9.45L * r;
    long double v = 0.09L * r;
    return Power(u, -Power(u, 19.0L)) * (19.0L * std::log(u) + 1.0L) * 9.45L * Power(u, 18.0L) -
           Power(v, 75.0L * Power(v, -1.0L)) * (1.0L - std::log(v)) * Power(v, -2.0L) * CoreK();
}

long double ShellSlope(long double r, long double p) {
    long double w = (1.029L / p) * r;
    long double s = (0.1029L / p) * r;
    long double e = 2.5L - Power(w, 20.0L);
    return Power(w, Power(s, -1.0L) * e) *
           (-((1.0L - std::log(w)) * e * Power(r, -2.0L) * Power(0.1029L / p, -1.0L) -
              std::log(w) * Power(w, 18.0L) * (205.8L / p)));
}

long double PesSlope(long double r, long double b, long double c, long double d) {
    return ((CoreSlope(r) + ShellSlope(r, b)) + ShellSlope(r, c)) + ShellSlope(r, d);
}

namespace {

long double Force(const PlanarState& s, int i, bool yAxis, FunctionChoice f) {
    Law law = LawFor(f, i);
    long double sum = 0.0L;
    if (law == Law::None) return sum;
    for (int j = 1; j <= kGravons; ++j) {
        if (j == i) continue;
        long double dx = s.X[i] - s.X[j];
        long double dy = s.Y[i] - s.Y[j];
        long double r = std::sqrt(dx * dx + dy * dy);
        long double q = yAxis ? dy : dx;
        if (law == Law::PE)
            sum = sum + PeTerm(q, r, s.A[j], s.B[j]);
        else
            sum = sum - (q / r) * s.A[j] * PesSlope(r, s.B[j], s.C[j], s.D[j]);
    }
    return sum;
}

}  // namespace

long double ForceX(const PlanarState& s, int i, FunctionChoice f) { return Force(s, i, false, f); }
long double ForceY(const PlanarState& s, int i, FunctionChoice f) { return Force(s, i, true, f); }

long double BrakeFactor(int brake) {
    switch (brake) {
        case 2: return 0.99994999875L;
        case 3: return 0.999499875L;
        case 4: return 0.995L;
        case 5: return 0.949L;
        default: return 1.0L;
    }
}

void IntegrationPass(PlanarState& s, int n, bool brakeBothAxes, const StepSettings& st) {
    // The work copies live in memory that the flag test below is ordered
    // after, so every operation of the pass has happened when it is made.
    volatile long double NewX[4], NewY[4], NewSpeedX[4], NewSpeedY[4];
    for (int k = 1; k <= kGravons; ++k) {
        NewX[k] = s.X[k];
        NewY[k] = s.Y[k];
        NewSpeedX[k] = s.SpeedX[k];
        NewSpeedY[k] = s.SpeedY[k];
    }
    common::ClearFpFlags();
    for (int i = 1; i <= n; ++i) {
        long double fx = ForceX(s, i, st.function) * s.DT;
        NewSpeedX[i] = BrakeFactor(st.brake) * NewSpeedX[i] + fx;
        NewX[i] = NewX[i] + NewSpeedX[i] * s.DT;
        long double fy = ForceY(s, i, st.function) * s.DT;
        if (brakeBothAxes)
            NewSpeedY[i] = BrakeFactor(st.brake) * NewSpeedY[i] + fy;
        else
            NewSpeedY[i] = NewSpeedY[i] + fy;
        NewY[i] = NewY[i] + NewSpeedY[i] * s.DT;
    }
    if (int faults = common::FpFaults()) {
        common::ClearFpFlags();
        common::ThrowFpFault(faults);
    }
    for (int k = 1; k <= n; ++k) {
        s.X[k] = NewX[k];
        s.SpeedX[k] = NewSpeedX[k];
        s.Y[k] = NewY[k];
        s.SpeedY[k] = NewSpeedY[k];
    }
}

void DoPasses(PlanarState& s, const StepSettings& st) {
    if (st.twoGravonPass) IntegrationPass(s, 2, true, st);
    IntegrationPass(s, MovedGravons(st.function), false, st);
}

std::int32_t ShownStepCount(std::uint64_t steps) {
    // The low 32 bits as a two's complement number (C++20 defines the
    // conversion as modular).
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(steps));
}

void DoStep(PlanarState& s, const StepSettings& st) {
    DoPasses(s, st);
    s.StepCount = ShownStepCount(static_cast<std::uint32_t>(s.StepCount) + 1u);
}

}  // namespace duoplex

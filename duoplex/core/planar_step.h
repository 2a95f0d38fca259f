#pragma once
// The physics of the planar program: the pair terms of the laws PE and PES,
// the forces under the seven function choices, the hand-brake and the
// integration step. Forces act directly as accelerations.
//
// Every expression keeps the written order and grouping, in extended
// precision, so that anyone evaluating the same formulas gets the same bits.
#include <cstdint>

#include "common/checked_real.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"

namespace duoplex {

// exp(exponent * ln(base)); defined for base > 0 only (0 gives the division
// by zero fault, a negative base the invalid operation fault).
using common::Power;

// The PE term added to the force on gravon i by gravon j, with direction
// component q, distance r and the source's A and B.
long double PeTerm(long double q, long double r, long double a, long double b);

// The PES slope T(r, j) = ((T0(r) + S(r, B)) + S(r, C)) + S(r, D) and its
// parts; the force is decreased by (q / r) * A * T.
long double CoreSlope(long double r);
long double ShellSlope(long double r, long double p);
long double PesSlope(long double r, long double b, long double c, long double d);

// The x and y force on gravon i (1..3) from the committed positions.
long double ForceX(const PlanarState& s, int i, FunctionChoice f);
long double ForceY(const PlanarState& s, int i, FunctionChoice f);

// The factor of hand-brake 1..5.
long double BrakeFactor(int brake);

// Advances gravons 1..n by one time step, all of them seeing the positions
// at the start of the pass. A floating-point fault throws FloatError with its
// text and commits nothing.
void IntegrationPass(PlanarState& s, int n, bool brakeBothAxes, const StepSettings& st);

// The passes of one step: the two-gravon pass when switched on, then the
// function pass. A fault in the function pass leaves the two-gravon pass
// committed.
void DoPasses(PlanarState& s, const StepSettings& st);

// The step count the window shows (`StepCount`, 32 bits with sign) for a
// count of steps: it wraps round at 2^32, 2^31 showing as -2^31.
std::int32_t ShownStepCount(std::uint64_t steps);

// One step of a run without drawing: the two-gravon pass when switched on,
// then the function pass, then the step count. A fault in the function pass
// leaves the two-gravon pass committed.
void DoStep(PlanarState& s, const StepSettings& st);

}  // namespace duoplex

#pragma once
// The potentials behind the force law and the observables of a state: the
// kinetic, potential and total energy, the momentum and the pair distances.
// Every taon has mass 1; only present taons count.
#include <vector>

#include "sphaeron/core/taon_state.h"

namespace sphaeron {

// Core potential Power(u, -Power(u, 19)), u = 4.725 r; its derivative is CoreSlope.
long double CorePotential(long double r);
// Layer potential Power(w, Power(0.1 b r, -1) s), w = b r, s = 2.5 - Power(w, 20):
// the exponential factor of LayerSlope, whose derivative it is.
long double LayerPotential(long double b, long double r);
// Shell potential a1 exp(-k g1 / |r - g1|); 0 at r == g1 (and when r or g1
// is not a number), like ShellSlope.
long double ShellPotential(long double r, long double a1, long double g1);
// U_g(r): the core minus the five layers (group 1 in mode 1: minus four
// layers plus the shell), summed in the grouping of GroupSlope, so that
// GroupSlope(s, g, r, mode1) = dU_g/dr. Reach factors from the parameters of s.
long double GroupPotential(const TaonState& s, int g, long double r, bool mode1);

struct Observables {
    long double ke = 0, pe = 0, e = 0, px = 0, py = 0, pz = 0, ke1 = 0, ke2 = 0, ke3 = 0;
};

// The observables of the committed positions and velocities:
//   ke  = sum over present i of 0.5 ((Ux Ux + Uy Uy) + Uz Uz), in slot order;
//         ke1, ke2, ke3 the same over the slots of groups 1, 2, 3;
//   pe  = 0.5 sum_i (sum_j A_g(j) U_g(j)(r_ij)), i and j present, j != i,
//         j a source that acts (its group under StopL); both sums in slot
//         order, the inner one first;
//   e   = ke + pe; px, py, pz the sums of Ux, Uy, Uz in slot order.
// Throws FloatError with the text of the fault when a fault flag is raised.
Observables ComputeObservables(const TaonState& s, const StepSwitches& sw);

// Distances of all present pairs i < j (i major, then j), committed
// positions, formed like the distances of the force law.
std::vector<long double> PairDistances(const TaonState& s);

}  // namespace sphaeron

#pragma once
// The sums behind the observables, shared by the separate pass and by the
// step, which takes the pair potentials from its own force evaluation. Both
// run exactly these operations in this order, so their results agree bit
// for bit.
#include <algorithm>

#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_state.h"

namespace sphaeron::detail {

// U_g from its terms, in the grouping of the pair factor: lay[0 .. 4] are the
// layer potentials of the group's B, C, D, F, G (lay[4] unused for group 1 in
// mode 1, core unused there, shell used only there).
inline long double SumPotential(int g, bool mode1, long double core, const long double* lay, long double shell) {
    if (g == 1 && mode1) {
        long double a = 0.0L + (-lay[0]);
        long double m = (-lay[1]) - lay[2];
        m = m - lay[3];
        a = a + m;
        return a + shell;
    }
    long double a = core + (-lay[0]);
    long double m = (-lay[1]) - lay[2];
    m = m - lay[3];
    if (g == 1) {
        a = a + m;
        return a + (-lay[4]);
    }
    m = m - lay[4];
    return a + m;
}

// The observables of s from pot(i, j) = U_g(j)(r_ij), asked for present
// i != j whose source j acts. Fault flags are left for the caller to read.
template <class Pot>
Observables SumObservables(const TaonState& s, const StepSwitches& sw, Pot&& pot) {
    Observables o;
    int n = std::clamp(s.TaonCount, 0, kMaxTaons);
    const long double A[4] = {0.0L, s.A1, s.A2, s.A3};
    long double* keGroup[4] = {nullptr, &o.ke1, &o.ke2, &o.ke3};
    long double total = 0.0L;
    for (int i = 1; i <= n; ++i) {
        if (!s.Present(i)) continue;
        long double k = 0.5L * ((s.Ux[i] * s.Ux[i] + s.Uy[i] * s.Uy[i]) + s.Uz[i] * s.Uz[i]);
        o.ke = o.ke + k;
        long double* bucket = keGroup[SourceGroup(i, s.TaonCount, false)];
        if (bucket) *bucket = *bucket + k;
        o.px = o.px + s.Ux[i];
        o.py = o.py + s.Uy[i];
        o.pz = o.pz + s.Uz[i];
        long double row = 0.0L;
        for (int j = 1; j <= n; ++j) {
            if (j == i || !s.Present(j)) continue;
            int g = SourceGroup(j, s.TaonCount, sw.StopL);
            if (g == 0) continue;
            row = row + A[g] * pot(i, j);
        }
        total = total + row;
    }
    o.pe = 0.5L * total;
    o.e = o.ke + o.pe;
    return o;
}

// The observables by a pass of their own (ComputeObservables without the
// fault check): fault flags are left set for the caller.
Observables ObservablesPass(const TaonState& s, const StepSwitches& sw);

}  // namespace sphaeron::detail

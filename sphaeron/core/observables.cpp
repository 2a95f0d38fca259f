#include "sphaeron/core/observables.h"

#include <cmath>
#include <vector>

#include "common/fpcheck.h"
#include "sphaeron/core/literal_step.h"
#include "sphaeron/core/observables_sum.h"
#include "sphaeron/core/zero_ranges.h"

namespace sphaeron {

// Each potential is the exponential factor of its slope, formed by the same
// operations, so the step can hand the one it has already computed; where
// that factor is known to be +0 without a flag it is not formed.

long double CorePotential(long double r) {
    long double u = 4.725L * r;
    if (detail::CoreIsZero(u)) return 0.0L;
    long double lnu = std::log(u);
    long double u19 = std::exp(19.0L * lnu);
    return std::exp((-u19) * lnu);
}

long double LayerPotential(long double b, long double r) {
    long double w = b * r;
    if (detail::ReachZeroable(b) && detail::LayerIsZero(w)) return 0.0L;
    long double lnw = std::log(w);
    long double s = 2.5L - std::exp(20.0L * lnw);
    long double y = std::exp(-1.0L * std::log(0.1L * b * r)) * s;
    return std::exp(y * lnw);
}

long double ShellPotential(long double r, long double a1, long double g1) {
    static const long double k = literal::ShellK<long double>();
    if (std::isless(r, g1)) return a1 * std::exp(((-k) * g1) / (g1 - r));
    if (std::isgreater(r, g1)) return a1 * std::exp(((-k) * g1) / (r - g1));
    return 0.0L;
}

namespace {

using Reach = literal::Reach<long double>;

long double GroupPotentialWith(const TaonState& s, const Reach& q, int g, long double r, bool mode1) {
    long double lay[5] = {0.0L, 0.0L, 0.0L, 0.0L, 0.0L};
    long double core = 0.0L, shell = 0.0L;
    lay[0] = LayerPotential(q.b[g], r);
    lay[1] = LayerPotential(q.c[g], r);
    lay[2] = LayerPotential(q.d[g], r);
    lay[3] = LayerPotential(q.f[g], r);
    if (g == 1 && mode1) {
        shell = ShellPotential(r, s.A1, s.G1);
    } else {
        core = CorePotential(r);
        lay[4] = LayerPotential(q.g[g], r);
    }
    return detail::SumPotential(g, mode1, core, lay, shell);
}

inline long double Distance(const TaonState& s, int i, int j) {
    long double dz = s.Z[i] - s.Z[j];
    long double dy = s.Y[i] - s.Y[j];
    long double dx = s.X[i] - s.X[j];
    return std::sqrt(dz * dz + (dy * dy + dx * dx));
}

}  // namespace

long double GroupPotential(const TaonState& s, int g, long double r, bool mode1) {
    return GroupPotentialWith(s, literal::ReachFactors<long double>(s), g, r, mode1);
}

namespace detail {

// The observables by a pass of their own; fault flags are left set.
Observables ObservablesPass(const TaonState& s, const StepSwitches& sw) {
    int n = std::clamp(s.TaonCount, 0, kMaxTaons);
    Reach q = literal::ReachFactors<long double>(s);
    // U[i][j] = U_g(j)(r_ij), each distinct value formed once.
    std::vector<long double> U(static_cast<std::size_t>(kSlots * kSlots), 0.0L);
    auto at = [&](int i, int j) -> long double& { return U[static_cast<std::size_t>(i * kSlots + j)]; };
    for (int i = 1; i <= n; ++i) {
        if (!s.Present(i)) continue;
        int gi = SourceGroup(i, s.TaonCount, sw.StopL);
        for (int j = i + 1; j <= n; ++j) {
            if (!s.Present(j)) continue;
            int gj = SourceGroup(j, s.TaonCount, sw.StopL);
            if (gi == 0 && gj == 0) continue;
            long double r = Distance(s, i, j);
            if (gj) at(i, j) = GroupPotentialWith(s, q, gj, r, sw.Mode1);
            if (gi) at(j, i) = gi == gj ? at(i, j) : GroupPotentialWith(s, q, gi, r, sw.Mode1);
        }
    }
    return SumObservables(s, sw, [&](int i, int j) { return at(i, j); });
}

}  // namespace detail

Observables ComputeObservables(const TaonState& s, const StepSwitches& sw) {
    common::ClearFpFlags();
    Observables o = detail::ObservablesPass(s, sw);
    int faults = common::FpFaults();
    common::ClearFpFlags();
    if (faults) common::ThrowFpFault(faults);
    return o;
}

std::vector<long double> PairDistances(const TaonState& s) {
    int n = std::clamp(s.TaonCount, 0, kMaxTaons);
    std::vector<long double> out;
    for (int i = 1; i <= n; ++i) {
        if (!s.Present(i)) continue;
        for (int j = i + 1; j <= n; ++j)
            if (s.Present(j)) out.push_back(Distance(s, i, j));
    }
    return out;
}

}  // namespace sphaeron

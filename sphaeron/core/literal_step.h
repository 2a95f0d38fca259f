#pragma once
// The interaction law and the integration step written out term by term in
// the order and grouping of the definition, on any real type R (long double,
// or CheckedReal to find the first faulting operation). This is the reference
// against which the fast step is checked bit for bit.
#include <cmath>

#include "common/checked_real.h"
#include "sphaeron/core/taon_state.h"

namespace sphaeron::literal {

using common::CheckedReal;
using common::Exp;
using common::Ln;
using common::Power;
using common::Sqrt;

inline long double ToLong(long double v) { return v; }
inline long double ToLong(CheckedReal v) { return v.value(); }

template <class R>
R CoreSlope(R r) {
    R u = R(4.725L) * r;
    R p = Power(u, R(18.0L)) * R(-4.725L);
    p = (Ln(u) * R(19.0L) + R(1.0L)) * p;
    R e = Power(u, -Power(u, R(19.0L)));
    return e * p;
}

template <class R>
R LayerSlope(R b, R r) {
    R w = b * r;
    R s = R(2.5L) - Power(w, R(20.0L));
    R r2 = Power(r, R(-2.0L));
    R b1 = Power(R(0.1L) * b, R(-1.0L));
    R q1 = s * (r2 * b1);
    q1 = q1 * (R(1.0L) - Ln(w));
    R q2 = Power(w, R(18.0L)) * (b * R(200.0L));
    R q = q1 - Ln(w) * q2;
    R y = Power(R(0.1L) * b * r, R(-1.0L)) * s;
    R e = Power(w, y);
    return e * q;
}

// k = Power(2.72, -1) * 0.5
template <class R>
R ShellK() {
    return Power(R(2.72L), R(-1.0L)) * R(0.5L);
}

// The shell term of group 1 in mode 1; 0 at r equal to G1 (both one-sided
// limits are 0 there), and also when r or G1 is not a number.
template <class R>
R ShellSlope(R r, R a1, R g1) {
    R k = ShellK<R>();
    if (r < g1) {
        R e = Exp(((-k) * g1) / (g1 - r));
        R f = Power(g1 - r, R(-2.0L)) * (-k);
        f = f * a1;
        f = f * g1;
        return e * f;
    }
    if (r > g1) {
        R e = Exp(((-k) * g1) / (r - g1));
        R f = Power(r - g1, R(-2.0L)) * k;
        f = f * a1;
        f = f * g1;
        return e * f;
    }
    return R(0.0L);
}

template <class R>
struct Reach {
    R b[4], c[4], d[4], f[4], g[4];  // index 1..3
};

template <class R>
Reach<R> ReachFactors(const TaonState& s) {
    Reach<R> q;
    for (int g = 1; g <= 3; ++g) {
        ParamGroup p = GroupParams(s, g);
        q.b[g] = R(1.029L) / R(p.B);
        q.c[g] = R(1.029L) / R(p.C);
        q.d[g] = R(1.029L) / R(p.D);
        q.f[g] = R(1.029L) / R(p.F);
        q.g[g] = R(1.029L) / R(p.G);
    }
    return q;
}

template <class R>
R GroupSlope(const TaonState& s, const Reach<R>& q, int g, R r, bool mode1) {
    if (g == 1 && !mode1) {
        R a = CoreSlope(r) + (-LayerSlope(q.b[1], r));
        R m = (-LayerSlope(q.c[1], r)) - LayerSlope(q.d[1], r);
        m = m - LayerSlope(q.f[1], r);
        a = a + m;
        return a + (-LayerSlope(q.g[1], r));
    }
    if (g == 1) {
        R a = R(0.0L) + (-LayerSlope(q.b[1], r));
        R m = (-LayerSlope(q.c[1], r)) - LayerSlope(q.d[1], r);
        m = m - LayerSlope(q.f[1], r);
        a = a + m;
        return a + ShellSlope(r, R(s.A1), R(s.G1));
    }
    R a = CoreSlope(r) + (-LayerSlope(q.b[g], r));
    R m = (-LayerSlope(q.c[g], r)) - LayerSlope(q.d[g], r);
    m = m - LayerSlope(q.f[g], r);
    m = m - LayerSlope(q.g[g], r);
    return a + m;
}

// One force component on taon i: axis 0, 1, 2 for x, y, z.
template <class R>
R Force(const TaonState& s, int i, int axis, const StepSwitches& sw) {
    const long double* P = axis == 0 ? s.X : (axis == 1 ? s.Y : s.Z);
    Reach<R> q = ReachFactors<R>(s);
    R sum = R(0.0L);
    for (int j = 1; j <= s.TaonCount && j <= kMaxTaons; ++j) {
        if (!s.Present(j) || j == i) continue;
        R dz = R(s.Z[i]) - R(s.Z[j]);
        R dy = R(s.Y[i]) - R(s.Y[j]);
        R dx = R(s.X[i]) - R(s.X[j]);
        R r = Sqrt(dz * dz + (dy * dy + dx * dx));
        int g = SourceGroup(j, s.TaonCount, sw.StopL);
        if (g == 0) continue;
        // The pair factor is evaluated before the rest of the summand, so
        // that a taon on top of another fails with the logarithm of 0.
        R gs = GroupSlope(s, q, g, r, sw.Mode1);
        R a = R(GroupParams(s, g).A);
        R coef = ((R(P[i]) - R(P[j])) * R(-1.0L)) / r;
        coef = coef * a;
        sum = coef * gs + sum;
    }
    return sum;
}

// One step; throws FloatError (for CheckedReal, at the first faulting
// operation). The state is left as the written procedure leaves it.
template <class R>
void TaonStep(TaonState& s, const StepSwitches& sw) {
    int m = MovingCount(s, sw.StopL);
    R dt = R(s.DT);
    R cool = R(CoolFactor(sw.Cool));
    long double* U[3] = {s.NewUx, s.NewUy, s.NewUz};
    long double* N[3] = {s.NewX, s.NewY, s.NewZ};
    for (int i = 1; i <= m; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            R t = Force<R>(s, i, axis, sw) * dt;
            R u = cool * R(U[axis][i]) + t;
            U[axis][i] = ToLong(u);
            R x = R(N[axis][i]) + u * dt;
            N[axis][i] = ToLong(x);
        }
    }
    CommitStep(s, sw.StopL);
}

}  // namespace sphaeron::literal

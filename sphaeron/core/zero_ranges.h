#pragma once
// Where a core or layer term of the pair factor, and its potential (the
// exponential factor e of the term), is an exact zero that can be decided
// without a transcendental, from w = b r and u = 4.725 r by comparisons alone.
#include <cmath>

namespace sphaeron::detail {

// The smallest subnormal is 2^-16445 = e^-11398.8, so exp(y) is +0 for
// y < -11400, with no flag but underflow and inexact (both silent).
//
// Layer, for 1.5625 <= w < 1e100 and a reach factor 1e-100 <= b <= 1e100:
//   the bump exponent y = (Power(0.1 b r, -1) s) ln w with s = 2.5 - w^20 is
//   -(10/w)(w^20 - 2.5) ln w up to a few units of the last place; both
//   (w^20 - 2.5)/w and ln w are positive and increasing for w > 1.05, so
//   y <= y(1.5625) = -21480 and e = exp(y) = +0. Every other operation of
//   the term stays finite and raises nothing: w^20 < 1e2000 and w^18 < 1e1800
//   (20 ln w < 4606 < 11356); r = w/b lies in [1.5e-100, 1e200], so
//   r^-2 = exp(-2 ln r) lies in [1e-400, 1e200]; Power(0.1 b, -1) lies in
//   [1e-99, 1e101], 200 b in [1e-98, 1e103], and 0.1 b r = w/10 >= 0.156;
//   so q1, q2 and q stay below 1e2400. The term e q is therefore +-0 and
//   its potential e is +0, with no flag raised.
// Core, for 1.75 <= u < 1e200: y = -u^19 ln u <= -(41468)(0.5596) = -23200,
//   so exp(y) = +0; u^18 < 1e3600, u^19 < 1e3800 and 19 ln u + 1 < 8800
//   are finite and the factor p is below 1e3605: the term is +-0 and its
//   potential e is +0, with no flag raised.
constexpr long double kLayerZeroFrom = 1.5625L, kLayerZeroBelow = 1e100L;
constexpr long double kReachZeroMin = 1e-100L, kReachZeroMax = 1e100L;
constexpr long double kCoreZeroFrom = 1.75L, kCoreZeroBelow = 1e200L;

// A reach factor b for which the layer zero range holds (false for NaN).
inline bool ReachZeroable(long double b) {
    return std::isgreaterequal(b, kReachZeroMin) && std::islessequal(b, kReachZeroMax);
}
// With a zeroable reach factor: the layer term and its potential are zero.
inline bool LayerIsZero(long double w) {
    return std::isgreaterequal(w, kLayerZeroFrom) && std::isless(w, kLayerZeroBelow);
}
// The core term and its potential are zero.
inline bool CoreIsZero(long double u) {
    return std::isgreaterequal(u, kCoreZeroFrom) && std::isless(u, kCoreZeroBelow);
}

}  // namespace sphaeron::detail

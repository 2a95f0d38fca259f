#pragma once
// An extended real whose every operation is checked for a floating-point
// fault as it happens, so that the first faulting operation of a computation
// is the one reported. Slow; used to find the exact fault of a failed step.
#include <cmath>

#include "common/fpcheck.h"

namespace common {

class CheckedReal {
public:
    CheckedReal() = default;
    CheckedReal(long double v) : v_(Checked(v)) {}  // NOLINT: implicit on purpose
    long double value() const { return v_; }

    friend CheckedReal operator+(CheckedReal a, CheckedReal b) { return CheckedReal(a.v_ + b.v_); }
    friend CheckedReal operator-(CheckedReal a, CheckedReal b) { return CheckedReal(a.v_ - b.v_); }
    friend CheckedReal operator*(CheckedReal a, CheckedReal b) { return CheckedReal(a.v_ * b.v_); }
    friend CheckedReal operator/(CheckedReal a, CheckedReal b) { return CheckedReal(a.v_ / b.v_); }
    friend CheckedReal operator-(CheckedReal a) { return CheckedReal(-a.v_); }
    friend bool operator<(CheckedReal a, CheckedReal b) { return Compare(a, b) < 0; }
    friend bool operator>(CheckedReal a, CheckedReal b) { return Compare(a, b) > 0; }
    friend bool operator==(CheckedReal a, CheckedReal b) { return Compare(a, b) == 0; }

    friend CheckedReal Ln(CheckedReal a) { return CheckedReal(std::log(a.v_)); }
    friend CheckedReal Exp(CheckedReal a) { return CheckedReal(std::exp(a.v_)); }
    friend CheckedReal Sqrt(CheckedReal a) { return CheckedReal(std::sqrt(a.v_)); }

private:
    static long double Checked(long double v) {
        volatile long double keep = v;  // the operation happens before the test
        if (int f = FpFaults()) ThrowFpFault(f);
        return keep;
    }
    // Comparisons are quiet: a NaN compares neither less, greater nor equal.
    static int Compare(CheckedReal a, CheckedReal b) {
        if (std::isless(a.v_, b.v_)) return -1;
        if (std::isgreater(a.v_, b.v_)) return 1;
        return a.v_ == b.v_ ? 0 : 2;
    }

    long double v_ = 0;
};

inline long double Ln(long double x) { return std::log(x); }
inline long double Exp(long double x) { return std::exp(x); }
inline long double Sqrt(long double x) { return std::sqrt(x); }

// Base raised to an exponent: exp(y * ln x), defined for x > 0. The one
// definition of both programs, on plain or checked reals.
template <class R>
R Power(R x, R y) {
    return Exp(y * Ln(x));
}

}  // namespace common

#include "common/fpcheck.h"

#include <cmath>

#include "common/errors.h"

namespace common {

const char* const kInvalidOperationText = "Invalid floating point operation";
const char* const kDivisionByZeroText = "Floating point division by zero";
const char* const kOverflowText = "Floating point overflow";

const char* FpFaultText(int faults) {
    if (faults & FE_DIVBYZERO) return kDivisionByZeroText;
    if (faults & FE_OVERFLOW) return kOverflowText;
    return kInvalidOperationText;
}

void ThrowFpFault(int faults) { throw FloatError(FpFaultText(faults)); }

void CheckFp() {
    if (int f = FpFaults()) ThrowFpFault(f);
}

std::int64_t Round64(long double value) {
    // 2^63 exactly; anything at or beyond it (or NaN) does not fit.
    constexpr long double kLimit = 9223372036854775808.0L;
    if (!(std::fabs(value) < kLimit)) throw FloatError(kInvalidOperationText);
    long double r = std::nearbyint(value);  // current mode: nearest, ties to even
    if (!(std::fabs(r) < kLimit)) throw FloatError(kInvalidOperationText);
    return static_cast<std::int64_t>(r);
}

std::int32_t Round32(long double value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(Round64(value))));
}

}  // namespace common

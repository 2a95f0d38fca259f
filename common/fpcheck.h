#pragma once
// Floating-point faults are detected through the status flags: clear them
// before a unit of work and test them after it. Underflow and inexact results
// are ignored.
#include <cfenv>
#include <cstdint>

namespace common {

constexpr int kFpFaults = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

extern const char* const kInvalidOperationText;   // "Invalid floating point operation"
extern const char* const kDivisionByZeroText;     // "Floating point division by zero"
extern const char* const kOverflowText;           // "Floating point overflow"

inline void ClearFpFlags() { std::feclearexcept(FE_ALL_EXCEPT); }
inline int FpFaults() { return std::fetestexcept(kFpFaults); }

// The text of one fault flag; with several flags set, division by zero wins
// over overflow, which wins over invalid operation (an infinity from either
// is the usual cause of the invalid operations that follow it).
const char* FpFaultText(int faults);

// Throws FloatError when any fault flag is set.
void CheckFp();
[[noreturn]] void ThrowFpFault(int faults);

// Round to nearest, halves to even, through a 64-bit integer. NaN or a
// magnitude of 2^63 and above raises the invalid-operation error.
std::int64_t Round64(long double value);
// The same, keeping the low 32 bits (wraps beyond the 32-bit range).
std::int32_t Round32(long double value);

}  // namespace common

#pragma once
// The 80-bit extended real as stored in documents: 10 bytes, little-endian,
// bytes 0..7 the significand with its explicit integer bit, bytes 8..9 the
// 15-bit exponent (bias 16383) and the sign.
#include <cfloat>
#include <cstddef>
#include <cstdint>

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit extended type");

namespace common {

constexpr std::size_t kExtSize = 10;

void EncodeExt(long double value, unsigned char* out10);
long double DecodeExt(const unsigned char* in10);

}  // namespace common

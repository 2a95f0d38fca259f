#pragma once
// Exact text of an 80-bit extended real, for the open (text) forms of the
// documents: the text reads back to the same 10 bytes.
//
// A value that some decimal reads back to is written as the shortest such
// decimal (1 to 21 significant digits, C locale), in fixed notation when the
// decimal exponent is -6 .. 20 and in scientific notation otherwise: "0.001",
// "-0", "1.5e-300", "1e+25". Every other value (infinities, NaNs with their
// payloads, unnormals, pseudo-denormals) is written as "0x" and the 20 hex
// digits of its 10 bytes, most significant byte (sign and exponent) first:
// 1 would be "0x3FFF8000000000000000".
#include <string>
#include <string_view>

namespace common {

std::string ExactText(const unsigned char* in10);
std::string ExactText(long double value);

// Reads a decimal ([+-]digits[.digits][e[+-]digits], no blanks, C locale,
// rounded to the nearest extended value) or the "0x" form (hex digits in
// either case) into the 10 bytes. A value beyond the extended range or any
// other text throws ConvertError "'<text>' is not a valid floating point
// value".
void ParseExactText(std::string_view text, unsigned char* out10);
long double ParseExactText(std::string_view text);

}  // namespace common

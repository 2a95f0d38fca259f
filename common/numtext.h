#pragma once
// Number text as the programs show and read it. The decimal separator is a
// parameter: the window layer passes the one of the user's locale.
#include <string>
#include <string_view>

namespace common {

// General form with up to 15 significant digits: fixed notation when
// 1e-5 <= |x| < 1e15 after rounding to 15 digits, scientific otherwise
// ("1,5E-7", "1E20"); trailing zeros and a bare separator are dropped.
// Non-finite values show as "NAN", "INF" and "-INF".
std::string FormatReal(long double value, char separator);

// Reads a real: blanks around it, optional sign, digits with the given
// separator, optional exponent. Exact to the nearest extended value and
// independent of the C library's locale. Anything else (or a value beyond
// the extended range) throws ConvertError
// "'<text>' is not a valid floating point value".
long double ParseReal(std::string_view text, char separator);

// Reads a whole number in the 32-bit range, or throws ConvertError
// "'<text>' is not a valid integer value".
int ParseInt(std::string_view text);

std::string InvalidRealText(std::string_view text);
std::string InvalidIntText(std::string_view text);

}  // namespace common

#include "common/numtext.h"

#include <locale.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "common/errors.h"

namespace common {

namespace {

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string InvalidRealText(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid floating point value";
}

std::string InvalidIntText(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

std::string FormatReal(long double value, char separator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";

    char buf[64];
    // d.dddddddddddddde+XXXX: the 15 significant digits, correctly rounded.
    std::snprintf(buf, sizeof buf, "%.14Le", value);
    std::string s(buf);
    bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    std::size_t epos = s.find('e');
    int exponent = std::atoi(s.c_str() + epos + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, epos - 2);  // 15 digits
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += '0';
            out += separator;
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else {
            std::size_t intLen = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= intLen) {
                out += digits;
                out.append(intLen - digits.size(), '0');
            } else {
                out += digits.substr(0, intLen);
                out += separator;
                out += digits.substr(intLen);
            }
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += separator;
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

long double ParseReal(std::string_view text, char separator) {
    std::string_view s = Trim(text);
    std::string plain;  // the same number with '.' as separator, for the C reader
    std::size_t i = 0;
    auto fail = [&]() -> long double { throw ConvertError(InvalidRealText(text)); };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
    std::size_t mantissaDigits = 0;
    while (i < s.size() && IsDigit(s[i])) { plain += s[i++]; ++mantissaDigits; }
    if (i < s.size() && s[i] == separator) {
        plain += '.';
        ++i;
        while (i < s.size() && IsDigit(s[i])) { plain += s[i++]; ++mantissaDigits; }
    }
    if (mantissaDigits == 0) return fail();
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) { plain += s[i++]; ++expDigits; }
        if (expDigits == 0) return fail();
    }
    if (i != s.size()) return fail();

    errno = 0;
    char* end = nullptr;
    long double value = strtold_l(plain.c_str(), &end, CLocale());
    if (end != plain.c_str() + plain.size()) return fail();
    if (std::isinf(value)) return fail();  // beyond the extended range
    return value;
}

int ParseInt(std::string_view text) {
    std::string_view s = Trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) throw ConvertError(InvalidIntText(text));
    long long value = 0;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i])) throw ConvertError(InvalidIntText(text));
        value = value * 10 + (s[i] - '0');
        if (value > 2147483648LL) throw ConvertError(InvalidIntText(text));
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) throw ConvertError(InvalidIntText(text));
    return static_cast<int>(value);
}

}  // namespace common

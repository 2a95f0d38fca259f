#include "common/exact_text.h"

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/ext80.h"
#include "common/numtext.h"

namespace common {

namespace {

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// The C library's printf follows the thread's locale: this thread uses the C
// locale while the guard lives, whatever the program set.
class CLocaleScope {
public:
    CLocaleScope() : previous_(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

const char* const kHexDigits = "0123456789ABCDEF";

std::string HexForm(const unsigned char* in10) {
    std::string out = "0x";
    for (int i = static_cast<int>(kExtSize) - 1; i >= 0; --i) {
        out += kHexDigits[in10[i] >> 4];
        out += kHexDigits[in10[i] & 15];
    }
    return out;
}

// Values that a decimal can read back to: finite, with the integer bit set
// exactly when the exponent is not zero (zeros and denormals have neither).
bool DecimalCanReach(const unsigned char* in10) {
    unsigned exponent = (in10[8] | (in10[9] << 8)) & 0x7FFFu;
    bool integerBit = (in10[7] & 0x80) != 0;
    if (exponent == 0x7FFF) return false;
    return integerBit == (exponent != 0);
}

// "d.ddde±x" (from printf) into the written form.
std::string Layout(const char* scientific) {
    std::string s(scientific);
    std::string sign;
    if (s[0] == '-') {
        sign = "-";
        s.erase(0, 1);
    }
    std::size_t epos = s.find('e');
    int exponent = std::atoi(s.c_str() + epos + 1);
    std::string digits = s.substr(0, 1) + (epos > 1 ? s.substr(2, epos - 2) : "");
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (digits == "0") return sign + "0";

    std::string out = sign;
    if (exponent >= -6 && exponent <= 20) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else {
            std::size_t whole = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= whole) {
                out += digits;
                out.append(whole - digits.size(), '0');
            } else {
                out += digits.substr(0, whole);
                out += '.';
                out += digits.substr(whole);
            }
        }
        return out;
    }
    out += digits[0];
    if (digits.size() > 1) out += '.' + digits.substr(1);
    out += exponent < 0 ? "e-" : "e+";
    out += std::to_string(exponent < 0 ? -exponent : exponent);
    return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDecimal(std::string_view s) {
    std::size_t i = 0, digits = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

}  // namespace

std::string ExactText(const unsigned char* in10) {
    if (DecimalCanReach(in10)) {
        long double value = DecodeExt(in10);
        CLocaleScope c;
        char buf[64];
        for (int digits = 1; digits <= 21; ++digits) {
            std::snprintf(buf, sizeof buf, "%.*Le", digits - 1, value);
            unsigned char back[kExtSize];
            EncodeExt(strtold_l(buf, nullptr, CLocale()), back);
            if (std::memcmp(back, in10, kExtSize) == 0) return Layout(buf);
        }
    }
    return HexForm(in10);
}

std::string ExactText(long double value) {
    unsigned char bytes[kExtSize];
    EncodeExt(value, bytes);
    return ExactText(bytes);
}

void ParseExactText(std::string_view text, unsigned char* out10) {
    if (text.size() == 2 + 2 * kExtSize && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned char bytes[kExtSize];
        for (std::size_t i = 0; i < kExtSize; ++i) {
            int hi = HexValue(text[2 + 2 * i]), lo = HexValue(text[3 + 2 * i]);
            if (hi < 0 || lo < 0) throw ConvertError(InvalidRealText(text));
            bytes[kExtSize - 1 - i] = static_cast<unsigned char>(hi * 16 + lo);
        }
        std::memcpy(out10, bytes, kExtSize);
        return;
    }
    if (!IsDecimal(text)) throw ConvertError(InvalidRealText(text));
    std::string plain(text);
    long double value = strtold_l(plain.c_str(), nullptr, CLocale());
    if (std::isinf(value)) throw ConvertError(InvalidRealText(text));  // beyond the extended range
    EncodeExt(value, out10);
}

long double ParseExactText(std::string_view text) {
    unsigned char bytes[kExtSize];
    ParseExactText(text, bytes);
    return DecodeExt(bytes);
}

}  // namespace common

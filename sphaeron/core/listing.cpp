#include "sphaeron/core/listing.h"

#include <cmath>
#include <optional>

#include "common/fpcheck.h"
#include "common/numtext.h"

namespace sphaeron {

ListingCells MakeListing(const TaonState& s, bool velocities, char separator) {
    ListingCells cells;
    cells.Heads = velocities ? std::array<std::string, 3>{"u(x)", "u(y)", "u(z)"}
                             : std::array<std::string, 3>{"X", "Y", "Z"};
    const long double* const columns[3] = {velocities ? s.Ux : s.X, velocities ? s.Uy : s.Y,
                                           velocities ? s.Uz : s.Z};
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!s.Present(k)) continue;
        for (std::size_t c = 0; c < 3; ++c)
            cells.Rows[static_cast<std::size_t>(k)][c] = common::FormatReal(columns[c][k], separator);
    }
    return cells;
}

namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";

// The same number with an exponent: sign, first significant digit, the
// other digits after the separator, "E" and the exponent.
std::string WithExponent(const std::string& sign, const std::string& whole, const std::string& fraction,
                         char separator) {
    const std::string digits = whole + fraction;
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return sign + "0";
    std::string rest = digits.substr(first + 1);
    rest.erase(rest.find_last_not_of('0') + 1);
    const long exponent = static_cast<long>(whole.size()) - static_cast<long>(first) - 1;
    return sign + digits[first] + (rest.empty() ? "" : separator + rest) + "E" + std::to_string(exponent);
}

// The longest cut of `head` (at least `keep` characters, not ending in the
// separator) that fits with the ellipsis and `tail`.
std::optional<std::string> CutToFit(const std::string& head, std::size_t keep, const std::string& tail, int width,
                                    const std::function<int(const std::string&)>& measure, char separator) {
    for (std::size_t n = head.size(); n >= keep && n > 0; --n) {
        if (head[n - 1] == separator) continue;
        std::string shown = head.substr(0, n) + kEllipsis + tail;
        if (measure(shown) <= width) return shown;
    }
    return std::nullopt;
}

}  // namespace

std::string FitNumber(const std::string& text, int width, const std::function<int(const std::string&)>& measure,
                      char separator) {
    if (measure(text) <= width) return text;
    std::string number = text;
    std::size_t e = number.find('E');
    if (e == std::string::npos) {
        const std::size_t signLength = !number.empty() && (number[0] == '-' || number[0] == '+') ? 1 : 0;
        const std::size_t point = number.find(separator);
        if (point != std::string::npos)
            if (auto shown = CutToFit(number, point + 2, "", width, measure, separator)) return *shown;
        const std::string whole = number.substr(signLength, point == std::string::npos ? std::string::npos
                                                                                       : point - signLength);
        const std::string fraction = point == std::string::npos ? "" : number.substr(point + 1);
        number = WithExponent(number.substr(0, signLength), whole, fraction, separator);
        if (measure(number) <= width) return number;
        e = number.find('E');
        if (e == std::string::npos) return kEllipsis;
    }
    const std::size_t signLength = number[0] == '-' || number[0] == '+' ? 1 : 0;
    if (auto shown = CutToFit(number.substr(0, e), signLength + 1, number.substr(e), width, measure, separator)) return *shown;
    return kEllipsis;
}

long double PointDistance(const Point& a, const Point& b) {
    common::ClearFpFlags();
    const long double dx = b[0] - a[0];
    const long double dy = b[1] - a[1];
    const long double dz = b[2] - a[2];
    const long double d = sqrtl(dx * dx + dy * dy + dz * dz);
    common::CheckFp();
    return d;
}

}  // namespace sphaeron

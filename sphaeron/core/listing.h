#pragma once
// The listing of the taons as both grids show it (the main window's listing
// and the edit dialog's grid), and the distance of two listed points.
#include <array>
#include <functional>
#include <string>

#include "sphaeron/core/taon_state.h"

namespace sphaeron {

struct ListingCells {
    // Columns 1 .. 3 of row 0: "X", "Y", "Z" or "u(x)", "u(y)", "u(z)".
    std::array<std::string, 3> Heads;
    // Columns 1 .. 3 of row k (1 .. 100): the committed position or
    // velocity of a present taon in the general number form; empty for an
    // absent one. Row 0 is unused.
    std::array<std::array<std::string, 3>, kSlots> Rows;
};

ListingCells MakeListing(const TaonState& s, bool velocities, char separator);

// A listed number cut to `width` (text widths as `measure` gives them, in
// the same unit) so that what is shown never reads as another number: the
// whole text when it fits; otherwise the digits are cut with "…" but the
// exponent is kept ("-4,0547…E-20"), a fixed number keeps its whole part
// and at least one digit after the separator ("-1234,5…"), and one whose
// whole part does not fit that way is shown with an exponent
// ("1,2345…E14"). When nothing fits, "…" alone.
std::string FitNumber(const std::string& text, int width, const std::function<int(const std::string&)>& measure,
                      char separator);

using Point = std::array<long double, 3>;

// The distance of two points in extended precision. An overflow or invalid
// operation in the arithmetic throws FloatError.
long double PointDistance(const Point& a, const Point& b);

}  // namespace sphaeron

#include "sphaeron/core/listing.h"

#include <cmath>

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

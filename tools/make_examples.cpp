// Writes the example documents of the project with its own document code:
//   make-examples FOLDER
#include <cmath>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "sphaeron/core/taon_state.h"
#include "sphaeron/document/document.h"

namespace {

using sphaeron::ParamGroup;
using sphaeron::TaonState;

void Put(TaonState& s, int k, long double x, long double y, long double z) {
    s.GravonPresent[k] = 1;
    s.X[k] = s.NewX[k] = s.ViewX[k] = x;
    s.Y[k] = s.NewY[k] = s.ViewY[k] = y;
    s.Z[k] = s.NewZ[k] = s.ViewZ[k] = z;
}

// Absent slots are still moved by every step, so they are parked far apart
// from each other and from the structure, where they feel nothing.
void ParkAbsent(TaonState& s) {
    for (int k = 1; k <= sphaeron::kMaxTaons; ++k) {
        if (s.GravonPresent[k]) continue;
        s.X[k] = s.NewX[k] = s.ViewX[k] = 1000.0L + 37.0L * k;
        s.Y[k] = s.NewY[k] = s.ViewY[k] = -500.0L;
        s.Z[k] = s.NewZ[k] = s.ViewZ[k] = 0;
    }
}

void Write(const TaonState& s, const std::string& path) {
    sphaeron::TaonsDocument doc;
    sphaeron::PackDocument(s, doc);
    sphaeron::WriteDocument(path, doc);
    std::printf("wrote %s\n", path.c_str());
}

// Four taons on the small square the program falls back on.
TaonState EasySquare() {
    TaonState s;
    s.DT = 0.001L;
    const long double q = 0.212L;
    for (int g = 1; g <= 3; ++g) sphaeron::SetGroupParams(s, g, {1.0L, 2.718L, 5.0L, 10.0L, 20.0L, 30.0L});
    Put(s, 1, q, q, -q);
    Put(s, 2, q, q, q);
    Put(s, 3, -q, q, q);
    Put(s, 4, -q, q, -q);
    return s;
}

// 100 taons on a 5 x 5 x 4 lattice of spacing 1, the three groups with
// distinct parameters (wells near the first and second neighbours).
TaonState Lattice() {
    TaonState s;
    s.DT = 0.001L;
    sphaeron::SetGroupParams(s, 1, {1.0L, 1.0L, 1.414L, 1.732L, 2.0L, 2.5L});
    sphaeron::SetGroupParams(s, 2, {0.8L, 1.05L, 1.5L, 1.8L, 2.2L, 3.0L});
    sphaeron::SetGroupParams(s, 3, {1.2L, 0.95L, 1.35L, 1.7L, 2.1L, 2.8L});
    int k = 0;
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                ++k;
                Put(s, k, x - 2.0L, y - 2.0L, z - 1.5L);
            }
    return s;
}

// Mode 1: taon 1 in the middle of a shell of radius G1 = 1.5 on which taons
// 2 .. 7 sit, with two taons of group 2 outside.
TaonState Shell() {
    TaonState s;
    s.DT = 0.001L;
    sphaeron::SetGroupParams(s, 1, {1.0L, 0.8L, 2.4L, 3.2L, 4.0L, 1.5L});
    sphaeron::SetGroupParams(s, 2, {1.0L, 1.0L, 2.0L, 3.0L, 4.0L, 5.0L});
    sphaeron::SetGroupParams(s, 3, {1.0L, 1.0L, 2.0L, 3.0L, 4.0L, 5.0L});
    const long double r = 1.45L;
    Put(s, 1, 0, 0, 0);
    Put(s, 2, r, 0, 0);
    Put(s, 3, -r, 0, 0);
    Put(s, 4, 0, r, 0);
    Put(s, 5, 0, -r, 0);
    Put(s, 6, 0, 0, r);
    Put(s, 7, 0, 0, -r);
    Put(s, 51, 3.0L, 0.5L, 0);
    Put(s, 52, -3.0L, -0.5L, 0);
    s.Uy[2] = s.NewUy[2] = 0.05L;
    ParkAbsent(s);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    try {
        Write(EasySquare(), folder + "/easy_square.ato");
        Write(Lattice(), folder + "/lattice100.ato");
        Write(Shell(), folder + "/shell_mode1.ato");
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "make-examples: %s\n", e.what());
        return 2;
    }
    return 0;
}

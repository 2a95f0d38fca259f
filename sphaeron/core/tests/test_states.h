#pragma once
// Small state builders shared by the core tests.
#include "sphaeron/core/taon_state.h"

namespace sphaeron::testing {

inline void PutTaon(TaonState& s, int k, long double x, long double y, long double z, long double ux = 0,
                    long double uy = 0, long double uz = 0) {
    s.GravonPresent[k] = 1;
    s.X[k] = s.NewX[k] = s.ViewX[k] = x;
    s.Y[k] = s.NewY[k] = s.ViewY[k] = y;
    s.Z[k] = s.NewZ[k] = s.ViewZ[k] = z;
    s.Ux[k] = s.NewUx[k] = ux;
    s.Uy[k] = s.NewUy[k] = uy;
    s.Uz[k] = s.NewUz[k] = uz;
}

// A state whose absent slots lie far apart from each other and from the
// region the tests use, so that they feel (almost) nothing.
inline TaonState FarState() {
    TaonState s;
    for (int k = 1; k <= kMaxTaons; ++k) {
        PutTaon(s, k, 1000.0L + 37.0L * k, -500.0L, 0);
        s.GravonPresent[k] = 0;
    }
    return s;
}

inline void AllGroups(TaonState& s, ParamGroup p) {
    for (int g = 1; g <= 3; ++g) SetGroupParams(s, g, p);
}

}  // namespace sphaeron::testing

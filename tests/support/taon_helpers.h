#pragma once
// Putting a taon into a 3D state as a loaded document would (present, with
// the same position in the committed, working and view copies and the same
// velocity in the committed and working copies), and one step of a state.
#include "sphaeron/core/taon_state.h"
#include "sphaeron/core/taon_step.h"

namespace testsupport {

inline void PutTaon(sphaeron::TaonState& s, int k, long double x, long double y, long double z, long double ux = 0,
                    long double uy = 0, long double uz = 0) {
    s.GravonPresent[k] = 1;
    s.X[k] = s.NewX[k] = s.ViewX[k] = x;
    s.Y[k] = s.NewY[k] = s.ViewY[k] = y;
    s.Z[k] = s.NewZ[k] = s.ViewZ[k] = z;
    s.Ux[k] = s.NewUx[k] = ux;
    s.Uy[k] = s.NewUy[k] = uy;
    s.Uz[k] = s.NewUz[k] = uz;
}

// One step of the state through an engine of its own.
inline void StepOnce(sphaeron::TaonState& s, const sphaeron::StepSwitches& sw = {}) {
    sphaeron::StepEngine engine;
    engine.Step(s, sw);
}

}  // namespace testsupport

#pragma once
// Small state builders shared by the core tests.
#include "sphaeron/core/taon_state.h"
#include "tests/support/taon_helpers.h"

namespace sphaeron::testing {

using testsupport::PutTaon;

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

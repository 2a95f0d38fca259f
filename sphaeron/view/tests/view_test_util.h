#pragma once
// Shared helpers of the view tests.
#include <gtest/gtest.h>

#include <string>

#include "common/canvas.h"
#include "common/errors.h"
#include "sphaeron/view/view.h"

namespace sphaeron::testing {

inline void Place(TaonState& s, int k, long double x, long double y, long double z) {
    s.GravonPresent[k] = 1;
    s.X[k] = s.NewX[k] = s.ViewX[k] = x;
    s.Y[k] = s.NewY[k] = s.ViewY[k] = y;
    s.Z[k] = s.NewZ[k] = s.ViewZ[k] = z;
}

// Runs f and returns the text of the AppError it throws ("" when none).
template <class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const common::AppError& e) {
        return e.what();
    }
    return "";
}

}  // namespace sphaeron::testing

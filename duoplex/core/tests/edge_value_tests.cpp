// Values at the edges of the extended range in a loaded configuration: NaN,
// infinities, the largest values and denormals. A frame, a step and a run
// over them end with the system's arithmetic texts, or go on where the
// arithmetic is silent (underflow), and never crash.
#include <cfloat>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "common/canvas.h"
#include "common/errors.h"
#include "common/numtext.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_step.h"

namespace duoplex {
namespace {

using L = std::numeric_limits<long double>;

// The window as it is after "Open": the A edits show the loaded values.
struct OpenedControls : SceneControls {
    FunctionChoice function = FunctionChoice::F_PE;
    std::string a[4];
    bool DoubleScale() const override { return true; }
    bool TwoGravonsChecked() const override { return true; }
    FunctionChoice Function() const override { return function; }
    std::string TypedA(int k) const override { return a[k]; }
    void ShowLiveValue(Field, int, const std::string&) override {}
    char DecimalSeparator() const override { return ','; }
};

template <class F>
std::string TextOf(F f) {
    try {
        f();
    } catch (const common::AppError& e) {
        return e.what();
    }
    return "";
}

const char* const kInvalid = "Invalid floating point operation";
const char* const kOverflow = "Floating point overflow";
const char* const kByZero = "Floating point division by zero";

TEST(DuoplexEdgeValues, FramesStepsAndRunsEndWithTheSystemTexts) {
    struct Case {
        const char* name;
        FunctionChoice function;
        int field;  // 0..7 a field of gravon 1, 8 the time step
        long double value;
        std::string frame, step, run;  // "" when it goes on
    };
    const FunctionChoice PE = FunctionChoice::F_PE, PES = FunctionChoice::F_PES;
    const Case cases[] = {
        // A quiet NaN passes through the force silently; the frame cannot
        // place it. A signalling one stops the step itself.
        {"X NaN", PE, 4, L::quiet_NaN(), kInvalid, "", kInvalid},
        {"X signalling NaN", PE, 4, L::signaling_NaN(), kInvalid, kInvalid, kInvalid},
        {"X infinite", PE, 4, L::infinity(), kInvalid, kInvalid, kInvalid},
        {"Y minus infinite", PE, 5, -L::infinity(), kInvalid, kInvalid, kInvalid},
        {"B infinite", PE, 1, L::infinity(), kInvalid, kInvalid, kInvalid},
        // The A edit shows "NAN", which the frame cannot read.
        {"A NaN", PE, 0, L::quiet_NaN(), "'NAN' is not a valid floating point value", "", kInvalid},
        {"A largest", PE, 0, LDBL_MAX, kOverflow, kOverflow, kOverflow},
        {"SpeedX largest", PE, 6, LDBL_MAX, "", kOverflow, kOverflow},
        {"DT largest", PE, 8, LDBL_MAX, "", kOverflow, kOverflow},
        {"PES B smallest denormal", PES, 1, L::denorm_min(), kOverflow, kOverflow, kOverflow},
        {"PES C largest", PES, 2, LDBL_MAX, "", kOverflow, kOverflow},
        {"PES D minus infinite", PES, 3, -L::infinity(), "", kByZero, kByZero},
        // Denormals and the smallest normal value underflow silently.
        {"X smallest denormal", PE, 4, L::denorm_min(), "", "", ""},
        {"SpeedX largest denormal", PE, 6, LDBL_MIN - L::denorm_min(), "", "", ""},
        {"DT smallest denormal", PE, 8, L::denorm_min(), "", "", ""},
        {"DT smallest normal", PE, 8, LDBL_MIN, "", "", ""},
        {"PES SpeedX smallest denormal", PES, 6, L::denorm_min(), "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlanarState loaded;
        StartConfiguration config = *RefreshConfiguration(c.function, false);
        ApplyConfiguration(loaded, config);
        loaded.DT = config.DT;
        (c.field < 8 ? Value(loaded, kAllFields[c.field], 1) : loaded.DT) = c.value;
        OpenedControls controls;
        controls.function = c.function;
        for (int k = 1; k <= kGravons; ++k) controls.a[k] = common::FormatReal(loaded.A[k], ',');
        const StepSettings settings{c.function, true, 1};
        common::MemoryCanvas canvas(kClientWidth, kClientHeight);

        PlanarState s = loaded;
        EXPECT_EQ(TextOf([&] { DrawScene(s, canvas, controls); }), c.frame);
        s = loaded;
        EXPECT_EQ(TextOf([&] { DoStep(s, settings); }), c.step);
        s = loaded;
        EXPECT_EQ(TextOf([&] {
                      for (int i = 0; i < 50; ++i) {
                          DoStep(s, settings);
                          DrawScene(s, canvas, controls);
                      }
                  }),
                  c.run);
    }
}

}  // namespace
}  // namespace duoplex

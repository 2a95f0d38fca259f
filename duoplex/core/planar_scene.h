#pragma once
// The picture of the planar program: each gravon as a 3 x 3 square on a
// black field and, in two-gravon mode, dotted guide crosses, function lines
// and the potential curves around gravons 1 and 2. Each frame erases the
// figures at their last places and draws them at the new ones, so only the
// pixels of moved figures change.
#include <cstdint>
#include <string>

#include "common/canvas.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"

namespace duoplex {

constexpr int kOriginX = 260;  // the drawing origin in field pixels
constexpr int kOriginY = 260;
constexpr int kFieldWidth = 495;  // the drawing field left of the control panel
constexpr int kClientWidth = 793;
constexpr int kClientHeight = 526;

// The window's controls that a frame reads and writes.
class SceneControls {
public:
    virtual ~SceneControls() = default;
    // The close view (Sc1, a field 5 units across each way): twice the
    // pixels per length unit of the wide one (Sc2, 10 units).
    virtual bool DoubleScale() const = 0;
    virtual bool TwoGravonsChecked() const = 0;
    virtual FunctionChoice Function() const = 0;
    // A of gravon k as typed (the text of `EditA1`..`EditA3`); each frame
    // reads it.
    virtual std::string TypedA(int k) const = 0;
    // Shows a live value in an edit (A3, X3, Y1 and Y2 in two-gravon mode).
    virtual void ShowLiveValue(Field f, int k, const std::string& text) = 0;
    virtual char DecimalSeparator() const = 0;
};

// 52 pixels per length unit on the double scale (`Sc1` checked), else 26.
int PixelScale(bool doubleScale);

// Blacks out the drawing field. The last drawn places are kept.
void ClearCanvas(common::Canvas& canvas);

// One frame: for each gravon, A from its edit, the live values, the erase at
// the last drawn place and the drawing at the new one. A text that is not a
// number throws ConvertError; a floating-point fault throws FloatError; what
// was drawn before either stays.
void DrawScene(PlanarState& s, common::Canvas& canvas, SceneControls& controls);

}  // namespace duoplex

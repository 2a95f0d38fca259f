#pragma once
// The view commands of the main window as plain functions named by what
// they do (the window's handlers keep their own names): angle nudges,
// stop, zoom, shifts, move to center, the amplitude bar, spin, numbers, the
// timer, mouse drags and the resize arithmetic. The window only wires its
// controls to them and keeps its check marks in step with the flags.
#include <cstdint>
#include <functional>

#include "sphaeron/view/scene.h"
#include "sphaeron/view/view_state.h"

namespace sphaeron {

// Step sizes and mouse anchors of the view commands (not stored anywhere).
struct ViewControls {
    long double AngleStep = 0.01L;  // radians per press and per dragged pixel
    long double ZoomStep = 3.0L;    // zoom unit; ViewScale per dragged pixel
    long double ShiftStep = 5.0L;   // pixels per Left/Right/Up/Down
    bool SpinOn = false;            // menu item ShowSpin checked
    std::int32_t RightDownX = 0, RightDownY = 0;  // right button press
    std::int32_t LeftDownX = 0, LeftDownY = 0;    // any other button press
};

// Start-up: AngleStep 0.01, ZoomStep 3 (not the bar's position 5).
void StartViewControls(ViewControls& c);

constexpr int kTrackBarMin = 0;
constexpr int kTrackBarMax = 10;
constexpr int kTrackBarStart = 5;
struct AmplitudeStep {
    long double AngleStep, ZoomStep;
};
// The step sizes of a bar position 0 .. 10.
AmplitudeStep AmplitudeTable(int position);

enum class Axis { Teta, Psi, Phi };
enum class MouseButton { Left, Middle, Right };

// S := S + delta; spiral: DrawFigureScene; taons: V := V + S and
// DrawTaonScene; then S := 0.
void NudgeAngle(Picture& p, Axis axis, long double delta);

// The six angle buttons (DaoTeta1, DaoTeta, DaoPsi1, DaoPsi, DaoPhi, DaoPhi1).
void TurnDown(const ViewControls& c, Picture& p);      // + AngleStep about x
void TurnUp(const ViewControls& c, Picture& p);        // - AngleStep about x
void TurnDownLeft(const ViewControls& c, Picture& p);  // + AngleStep about y
void TurnUpRight(const ViewControls& c, Picture& p);   // - AngleStep about y
void TurnLeft(const ViewControls& c, Picture& p);      // + AngleStep about z
void TurnRight(const ViewControls& c, Picture& p);     // - AngleStep about z

// All step angles := 0, RedrawPicture.
void StopTurning(Picture& p);
// Zoom in: ViewScale + ZoomStep * 3, RedrawPicture.
void ZoomIn(const ViewControls& c, Picture& p);
// Zoom out: ViewScale / ZoomStep below ZoomStep * 9, else ViewScale -
// ZoomStep * 3; RedrawPicture.
void ZoomOut(const ViewControls& c, Picture& p);
// The zoom arithmetic alone.
long double ZoomedIn(long double scale, long double zoomStep);
long double ZoomedOut(long double scale, long double zoomStep);

// Shifts by ShiftStep, then RedrawPicture.
void ShiftLeft(const ViewControls& c, Picture& p);
void ShiftRight(const ViewControls& c, Picture& p);
void ShiftUp(const ViewControls& c, Picture& p);
void ShiftDown(const ViewControls& c, Picture& p);

// ViewScale := 120, shifts := 0, RedrawPicture; angles unchanged.
void MoveToCenter(Picture& p);

// Sets AngleStep and ZoomStep from the table; positions outside 0 .. 10 are
// ignored. No redraw.
void SetAmplitude(ViewControls& c, int position);

// SpinOn := not itemChecked; returns SpinOn for the check mark. No redraw.
bool ToggleSpin(ViewControls& c, bool itemChecked);

// ShowNumbers := not itemChecked, setCheckMark(ShowNumbers) (when given),
// then RedrawPicture.
void ToggleNumbers(Picture& p, bool itemChecked, const std::function<void(bool)>& setCheckMark = {});

// Every 300 ms: RedrawPicture while SpinOn.
void AdvanceSpin(const ViewControls& c, Picture& p);

// Press: anchors of the right button, or of any other button.
void StartDrag(ViewControls& c, MouseButton button, int x, int y);
// Release: step angles (and for the right button the scale) from the
// pixel differences, then the redraw of the current picture; see the
// window's drag rules. Step angles end at 0 unless SpinOn in the spiral.
void EndDrag(ViewControls& c, Picture& p, MouseButton button, int x, int y);

// Sizes set by the resize handler from L = Panel1.Left.
struct ResizeLayout {
    int FNameWidth;        // L - 2
    int CommentHeight;     // PageControl.Height - 29
    int CommentWidth;      // L - 2
    int PageControlWidth;  // L - 5
    int DaonsTableWidth;   // L - 7
    int DefaultColWidth;   // (L - 35) div 6
};
ResizeLayout ComputeResizeLayout(int panel1Left, int pageControlHeight);

// The picture part of FormResize: UpdateCenter with the new area, then
// RedrawPicture. The control sizes (ComputeResizeLayout) do not affect the
// picture, so the window may set them before or after.
void ResizePicture(Picture& p, int formWidth, int panTop);

}  // namespace sphaeron

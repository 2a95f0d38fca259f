#pragma once
// The view state of the 3D program and the two operations every picture rests
// on: the rotation matrix from three angles and the projection of a point into
// window pixels. No window code here: the drawing area is described by the
// form width and the top of the bottom panel.
#include <array>
#include <cstdint>

#include "common/canvas.h"
#include "sphaeron/core/taon_state.h"

namespace sphaeron {

// Row-major 3x3 matrix: RotationMatrix[0][0] is m11, [0][1] m12, ...
using Matrix3 = std::array<std::array<long double, 3>, 3>;

struct Point3 {
    long double x = 0, y = 0, z = 0;
};

// Size of the default main window's drawing area: form width 725, bottom
// panel top 289.
constexpr int kDefaultFormWidth = 725;
constexpr int kDefaultPanTop = 289;
constexpr long double kDefaultViewScale = 120.0L;
constexpr int kDefaultFigureKind = 1;  // the spiral figure

inline Matrix3 IdentityMatrix() {
    return Matrix3{{{1.0L, 0.0L, 0.0L}, {0.0L, 1.0L, 0.0L}, {0.0L, 0.0L, 1.0L}}};
}

struct ViewState {
    std::int32_t CenterX = 0;   // horizontal pixel of the view origin
    std::int32_t CenterY = 0;   // vertical pixel of the view origin
    long double ViewScale = kDefaultViewScale;  // c moves a point by c * ViewScale / 2 pixels
    long double ShiftX = 0, ShiftY = 0;         // pixel shift of the whole picture

    // Rotation increments (radians) about x, y, z: they turn the spiral at
    // every redraw and are added once into the view angles of the taon scene.
    long double StepTeta = 0, StepPsi = 0, StepPhi = 0;
    // Accumulated view angles of the taon scene about x, y, z.
    long double ViewTeta = 0, ViewPsi = 0, ViewPhi = 0;

    // Shared by both pictures; rebuilt right before each use.
    Matrix3 RotationMatrix = IdentityMatrix();

    // Last projected pixel position of point k (index 1 .. 100).
    std::int32_t ScreenX[kSlots] = {};
    std::int32_t ScreenY[kSlots] = {};

    bool ShowNumbers = false;
    std::int32_t FigureKind = kDefaultFigureKind;

    // The drawing area as last given to UpdateCenter: it spans x in
    // [0, FormWidth) and y in [0, PanTop).
    int FormWidth = kDefaultFormWidth;
    int PanTop = kDefaultPanTop;
};

// Pixel rounding: nearest, halves to even, through a 64-bit integer whose low
// 32 bits are kept. NaN or a magnitude of 2^63 and above throws FloatError
// "Invalid floating point operation".
std::int32_t RoundPixel(long double value);

// Sine and cosine as the view uses them: an argument of magnitude 2^63 or
// more (out of the range the hardware reduces) yields 0.
long double ViewSin(long double a);
long double ViewCos(long double a);

// M(teta, psi, phi) = Rx(teta) Ry(psi) Rz(phi), elements in the order
// m11 .. m33 as written.
Matrix3 RotationMatrixOf(long double teta, long double psi, long double phi);

// CenterX := Round(formWidth / 2), CenterY := Round(panTop / 2); remembers
// the area for ClearDrawingArea.
void UpdateCenter(ViewState& v, int formWidth, int panTop);
// The same with the area last given.
void UpdateCenter(ViewState& v);

// Start-up order: UpdateCenter, ViewScale := 120, step angles := 0,
// ComputeStepMatrix. FigureKind := 1.
void StartView(ViewState& v, int formWidth = kDefaultFormWidth, int panTop = kDefaultPanTop);

void ComputeStepMatrix(ViewState& v);  // RotationMatrix := M(StepTeta, StepPsi, StepPhi)
void ComputeViewMatrix(ViewState& v);  // RotationMatrix := M(ViewTeta, ViewPsi, ViewPhi)

struct ProjectedPoint {
    Point3 rotated;        // x', y', z'
    std::int32_t sx = 0;   // screen pixel
    std::int32_t sy = 0;
};

// Rotates p with the current RotationMatrix and projects it:
// sx = Round(CenterX + x' * ViewScale / 2 + ShiftX),
// sy = Round(CenterY + z' * ViewScale / 2 + ShiftY).
// Throws FloatError on an invalid operation, division by zero or overflow.
ProjectedPoint ProjectPoint(const ViewState& v, long double x, long double y, long double z);
ProjectedPoint ProjectPoint(const ViewState& v, const Point3& p);

// The taon scene's projection: ComputeViewMatrix, then ScreenX/ScreenY of
// every present slot from its view copy (the view copy is not changed).
// Absent slots keep their old screen positions.
void ProjectTaons(const TaonState& s, ViewState& v);

// The spiral's projection over points 1 .. n (the caller has just called
// ComputeStepMatrix): each point's view copy is turned in place by the
// matrix, then projected. Presence is not consulted; n <= 0 does nothing.
void ProjectFigure(TaonState& s, ViewState& v, int n);

// Pen and brush black, filled rectangle from (0, 0) to (FormWidth, PanTop).
// The brush stays black for the texts drawn afterwards.
void ClearDrawingArea(common::Canvas& canvas, const ViewState& v);

}  // namespace sphaeron

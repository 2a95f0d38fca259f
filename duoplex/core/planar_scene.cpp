#include "duoplex/core/planar_scene.h"

#include <algorithm>

#include "common/checked_real.h"
#include "common/fpcheck.h"
#include "common/numtext.h"
#include "duoplex/core/planar_step.h"

namespace duoplex {

namespace {

constexpr common::Rgb kGuideColor[3] = {0, common::kYellow, common::kAqua};

// Sets a pixel of the drawing field; anything beyond it (the control panel
// included) stays untouched.
void Plot(common::Canvas& c, std::int64_t x, std::int64_t y, common::Rgb color) {
    if (x < 0 || y < 0 || x >= kFieldWidth || x >= c.Width() || y >= c.Height()) return;
    c.SetPixel(static_cast<int>(x), static_cast<int>(y), color);
}

// Evaluates a pixel coordinate and rounds it, halves to even; a fault of
// the evaluation throws its text.
template <class Compute>
std::int64_t RoundChecked(Compute compute) {
    common::ClearFpFlags();
    const long double keep = common::CheckedReal(compute()).value();
    // Anything this far out is off the field; the bound keeps the pixel
    // arithmetic from overflowing.
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    return std::clamp<std::int64_t>(common::Round64(keep), -kFar, kFar);
}

void Cross(common::Canvas& c, std::int64_t px, std::int64_t py, common::Rgb color) {
    for (int m = 1; m <= 40; ++m) Plot(c, px + 8 * m + kOriginX, py + kOriginY, color);
    for (int m = 1; m <= 40; ++m) Plot(c, px - 8 * m + kOriginX, py + kOriginY, color);
    for (int m = 1; m <= 30; ++m) Plot(c, px + kOriginX, py + 8 * m + kOriginY, color);
    for (int m = 1; m <= 30; ++m) Plot(c, px + kOriginX, py - 8 * m + kOriginY, color);
}

struct LineSpec {
    int h, last;  // height and last m; last 0 for none
};

LineSpec FunctionLineSpec(FunctionChoice f, int g) {
    bool one = g == 1;
    switch (f) {
        case FunctionChoice::F_PE: return {185, 30};
        case FunctionChoice::F_PE1: return {one ? 191 : 237, 30};
        case FunctionChoice::F_PE2: return {one ? 185 : 240, 30};
        case FunctionChoice::F_PES: return {240, 23};
        case FunctionChoice::F_PE_PES: return {one ? 243 : 236, 33};
        case FunctionChoice::F_PES_Swi: return {one ? 145 : 240, 23};
        case FunctionChoice::GravoNew: break;
    }
    return {0, 0};
}

// Gravon 1's line runs to the right, gravon 2's to the left.
void FunctionLine(common::Canvas& c, FunctionChoice f, int g, std::int64_t px, std::int64_t py,
                  common::Rgb color) {
    LineSpec l = FunctionLineSpec(f, g);
    int dir = g == 1 ? 1 : -1;
    for (int m = 1; m <= l.last; ++m) Plot(c, px + dir * 8 * m + kOriginX, py + l.h, color);
}

struct CurveRange {
    Law law;
    int first, last;
};

CurveRange CurveRangeFor(FunctionChoice f, int g) {
    bool one = g == 1;
    switch (f) {
        case FunctionChoice::F_PE:
        case FunctionChoice::F_PE1:
        case FunctionChoice::F_PE2:
            return {Law::PE, 1, 320};
        case FunctionChoice::F_PES: return {Law::PES, 104, 172};
        case FunctionChoice::F_PES_Swi: return {Law::PES, one ? 104 : 108, 190};
        // Around each gravon the law the other one feels from it.
        case FunctionChoice::F_PE_PES: return one ? CurveRange{Law::PES, 140, 240} : CurveRange{Law::PE, 1, 320};
        case FunctionChoice::GravoNew: break;
    }
    return {Law::None, 0, 0};
}

// The curve of gravon g with its A and B; t = 5m / 260 length units at
// 52 pixels per unit whatever the scale.
void Curve(common::Canvas& c, FunctionChoice f, int g, std::int64_t px, std::int64_t py, long double a,
           long double b, common::Rgb color) {
    CurveRange range = CurveRangeFor(f, g);
    int dir = g == 1 ? 1 : -1;
    for (int m = range.first; m <= range.last && range.law != Law::None; ++m) {
        long double lm = m;
        std::int64_t y;
        if (range.law == Law::PE) {
            y = py + kOriginY + RoundChecked([&] {
                    long double t = 5.0L * lm / 260.0L;
                    return (1.0L - Power(t, b / t)) * (a * 25.0L);
                });
        } else {
            y = py + kOriginY - RoundChecked([&] {
                    long double w = lm * 5.145L / (b * 260.0L);
                    long double s = lm * 0.5145L / (b * 260.0L);
                    return Power(w, (2.5L - Power(w, 20.0L)) / s) * (a * 100.0L);
                });
        }
        Plot(c, px + dir * m + kOriginX, y, color);
    }
}

void Marker(common::Canvas& c, std::int64_t px, std::int64_t py, common::Rgb color) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) Plot(c, px + kOriginX + dx, py + kOriginY + dy, color);
}

}  // namespace

int PixelScale(bool doubleScale) { return doubleScale ? 52 : 26; }

void ClearCanvas(common::Canvas& canvas) {
    canvas.SetPenColor(common::kBlack);
    canvas.SetBrushColor(common::kBlack);
    canvas.FillRect(0, 0, std::min(kFieldWidth, canvas.Width()), canvas.Height());
}

void DrawScene(PlanarState& s, common::Canvas& canvas, SceneControls& controls) {
    const char sep = controls.DecimalSeparator();
    for (int k = 1; k <= kGravons; ++k) {
        const bool two = controls.TwoGravonsChecked();
        const FunctionChoice f = controls.Function();
        const long double scale = PixelScale(controls.DoubleScale());
        std::int64_t nx = RoundChecked([&] { return s.X[k] * scale; });
        std::int64_t ny = RoundChecked([&] { return scale * s.Y[k]; });

        for (int g = 1; g <= kGravons; ++g) s.A[g] = common::ParseReal(controls.TypedA(g), sep);

        if (two) {
            controls.ShowLiveValue(Field::A, 3, common::FormatReal(s.A[3], sep));
            controls.ShowLiveValue(Field::X, 3, common::FormatReal(s.X[3], sep));
            controls.ShowLiveValue(Field::Y, 1, common::FormatReal(s.Y[1], sep));
            controls.ShowLiveValue(Field::Y, 2, common::FormatReal(s.Y[2], sep));
        }

        const std::int64_t ox = s.PixelX[k], oy = s.PixelY[k];
        Marker(canvas, ox, oy, common::kBlack);
        if (two) {
            Cross(canvas, ox, oy, common::kBlack);
            FunctionLine(canvas, f, 1, ox, oy, common::kBlack);
            FunctionLine(canvas, f, 2, ox, oy, common::kBlack);
            Curve(canvas, f, 1, ox, oy, s.A[1], s.B[1], common::kBlack);
            Curve(canvas, f, 2, ox, oy, s.A[2], s.B[2], common::kBlack);
        }

        common::Rgb color = k == 3 ? common::kAqua : (k == 1 && !two ? common::kLime : common::kRed);
        Marker(canvas, nx, ny, color);
        if (s.A[k] == 0.0L) Plot(canvas, nx + kOriginX, ny + kOriginY, common::kBlack);
        if (k <= 2 && two) {
            Cross(canvas, nx, ny, kGuideColor[k]);
            FunctionLine(canvas, f, k, nx, ny, kGuideColor[k]);
            Curve(canvas, f, k, nx, ny, s.A[k], s.B[k], kGuideColor[k]);
        }

        s.PixelX[k] = nx;
        s.PixelY[k] = ny;
    }
}

}  // namespace duoplex

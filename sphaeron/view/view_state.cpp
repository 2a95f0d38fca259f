#include "sphaeron/view/view_state.h"

#include <cmath>

#include "common/fpcheck.h"
#include "common/checked_real.h"

namespace sphaeron {

namespace {

using R = common::CheckedReal;

// 2^63: the hardware reduces no sine or cosine argument of this size.
constexpr long double kTrigLimit = 9223372036854775808.0L;

R Sin(long double a) { return R(ViewSin(a)); }
R Cos(long double a) { return R(ViewCos(a)); }

int SlotLimit(const TaonState& s) { return s.TaonCount < kMaxTaons ? s.TaonCount : kMaxTaons; }

}  // namespace

std::int32_t RoundPixel(long double value) { return common::Round32(value); }

long double ViewSin(long double a) {
    if (std::isfinite(a) && !(std::fabs(a) < kTrigLimit)) return 0.0L;
    return std::sin(a);
}

long double ViewCos(long double a) {
    if (std::isfinite(a) && !(std::fabs(a) < kTrigLimit)) return 0.0L;
    return std::cos(a);
}

Matrix3 RotationMatrixOf(long double teta, long double psi, long double phi) {
    common::ClearFpFlags();
    Matrix3 m;
    // Each sine and cosine afresh where it occurs, elements in this order.
    m[0][0] = (Cos(psi) * Cos(phi)).value();
    m[0][1] = (-Cos(psi) * Sin(phi)).value();
    m[0][2] = Sin(psi).value();
    m[1][0] = (Sin(teta) * Sin(psi) * Cos(phi) + Cos(teta) * Sin(phi)).value();
    m[1][1] = (-Sin(teta) * Sin(psi) * Sin(phi) + Cos(teta) * Cos(phi)).value();
    m[1][2] = (-Sin(teta) * Cos(psi)).value();
    m[2][0] = (-Cos(teta) * Sin(psi) * Cos(phi) + Sin(teta) * Sin(phi)).value();
    m[2][1] = (Cos(teta) * Sin(psi) * Sin(phi) + Sin(teta) * Cos(phi)).value();
    m[2][2] = (Cos(teta) * Cos(psi)).value();
    return m;
}

void UpdateCenter(ViewState& v, int formWidth, int panTop) {
    v.FormWidth = formWidth;
    v.PanTop = panTop;
    UpdateCenter(v);
}

void UpdateCenter(ViewState& v) {
    v.CenterX = RoundPixel(static_cast<long double>(v.FormWidth) / 2.0L);
    v.CenterY = RoundPixel(static_cast<long double>(v.PanTop) / 2.0L);
}

void StartView(ViewState& v, int formWidth, int panTop) {
    UpdateCenter(v, formWidth, panTop);
    v.ViewScale = kDefaultViewScale;
    v.StepTeta = 0.0L;
    v.StepPsi = 0.0L;
    v.StepPhi = 0.0L;
    ComputeStepMatrix(v);
    v.FigureKind = kDefaultFigureKind;
}

void ComputeStepMatrix(ViewState& v) { v.RotationMatrix = RotationMatrixOf(v.StepTeta, v.StepPsi, v.StepPhi); }

void ComputeViewMatrix(ViewState& v) { v.RotationMatrix = RotationMatrixOf(v.ViewTeta, v.ViewPsi, v.ViewPhi); }

namespace {

Point3 Rotate(const Matrix3& m, long double x, long double y, long double z) {
    common::ClearFpFlags();
    R px(x), py(y), pz(z);
    R xr = R(m[0][0]) * px + R(m[0][1]) * py + R(m[0][2]) * pz;
    R yr = R(m[1][0]) * px + R(m[1][1]) * py + R(m[1][2]) * pz;
    R zr = R(m[2][0]) * px + R(m[2][1]) * py + R(m[2][2]) * pz;
    return {xr.value(), yr.value(), zr.value()};
}

// Round(centre + c * ViewScale / 2 + shift), the centre converted first.
std::int32_t Pixel(std::int32_t centre, long double c, long double scale, long double shift) {
    common::ClearFpFlags();
    return RoundPixel((R(static_cast<long double>(centre)) + R(c) * R(scale) / R(2.0L) + R(shift)).value());
}

}  // namespace

ProjectedPoint ProjectPoint(const ViewState& v, long double x, long double y, long double z) {
    ProjectedPoint p;
    p.rotated = Rotate(v.RotationMatrix, x, y, z);
    p.sx = Pixel(v.CenterX, p.rotated.x, v.ViewScale, v.ShiftX);
    p.sy = Pixel(v.CenterY, p.rotated.z, v.ViewScale, v.ShiftY);
    return p;
}

ProjectedPoint ProjectPoint(const ViewState& v, const Point3& p) { return ProjectPoint(v, p.x, p.y, p.z); }

void ProjectTaons(const TaonState& s, ViewState& v) {
    ComputeViewMatrix(v);
    const int n = SlotLimit(s);
    for (int k = 1; k <= n; ++k) {
        if (!s.Present(k)) continue;
        Point3 r = Rotate(v.RotationMatrix, s.ViewX[k], s.ViewY[k], s.ViewZ[k]);
        v.ScreenX[k] = Pixel(v.CenterX, r.x, v.ViewScale, v.ShiftX);
        v.ScreenY[k] = Pixel(v.CenterY, r.z, v.ViewScale, v.ShiftY);
    }
}

void ProjectFigure(TaonState& s, ViewState& v, int n) {
    if (n > kMaxTaons) n = kMaxTaons;
    for (int k = 1; k <= n; ++k) {
        // The turned point is stored before its pixels are formed.
        Point3 r = Rotate(v.RotationMatrix, s.ViewX[k], s.ViewY[k], s.ViewZ[k]);
        s.ViewX[k] = r.x;
        s.ViewY[k] = r.y;
        s.ViewZ[k] = r.z;
        v.ScreenX[k] = Pixel(v.CenterX, r.x, v.ViewScale, v.ShiftX);
        v.ScreenY[k] = Pixel(v.CenterY, r.z, v.ViewScale, v.ShiftY);
    }
}

void ClearDrawingArea(common::Canvas& canvas, const ViewState& v) {
    canvas.SetPenColor(common::kBlack);
    canvas.SetBrushColor(common::kBlack);
    canvas.FillRect(0, 0, v.FormWidth, v.PanTop);
}

}  // namespace sphaeron

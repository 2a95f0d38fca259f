#include "sphaeron/view/figures.h"

#include <cmath>

namespace sphaeron {

const std::array<SpiralFace, 14> kSpiralFaces = {{
    {6, 1, 2, 5, 3},
    {7, 1, 2, 6, 5},
    {8, 2, 6, 7, 1},
    {9, 2, 6, 8, 7},
    {10, 2, 8, 9, 6},
    {11, 2, 8, 10, 9},
    {12, 2, 10, 11, 8},
    {13, 2, 10, 12, 11},
    {14, 10, 12, 13, 2},
    {15, 10, 12, 14, 13},
    {16, 10, 14, 15, 12},
    {17, 10, 14, 16, 15},
    {18, 10, 16, 17, 14},
    {19, 10, 16, 18, 17},
}};

namespace {

constexpr long double kThirdPi = 1.0471975511965979L;  // pi / 3 as the figure uses it

Point3 ViewPoint(const TaonState& s, int k) { return {s.ViewX[k], s.ViewY[k], s.ViewZ[k]}; }

void SetViewPoint(TaonState& s, int k, const Point3& p) {
    s.ViewX[k] = p.x;
    s.ViewY[k] = p.y;
    s.ViewZ[k] = p.z;
}

}  // namespace

SpiralConstants ComputeSpiralConstants() {
    SpiralConstants k;
    k.rc = 0.5L / std::sin(kThirdPi);
    k.h = std::sqrt(1.0L - 0.5L * 0.5L);
    k.hh = k.h * k.h;
    k.w = std::sqrt(k.hh - 0.5L * 0.5L);
    return k;
}

long double SpiralRatio(const SpiralConstants& k) { return (k.h - k.rc) / k.rc; }

Point3 DividePoint(const Point3& a, const Point3& b, double k) {
    const long double r = k;
    return {(b.x * r + a.x) / (1.0L + r), (b.y * r + a.y) / (1.0L + r), (b.z * r + a.z) / (1.0L + r)};
}

void SpiralFigure(TaonState& s) {
    const SpiralConstants k = ComputeSpiralConstants();
    SetViewPoint(s, 1, {0.0L, 0.0L, 0.0L});
    SetViewPoint(s, 2, {1.0L, 0.0L, 0.0L});
    SetViewPoint(s, 3, {0.5L, 0.0L, k.h});
    SetViewPoint(s, 4, {0.5L, k.w, k.h - k.rc});
    SetViewPoint(s, 5, {0.5L, -k.w, k.h - k.rc});
    for (const SpiralFace& f : kSpiralFaces) {
        Point3 m = DividePoint(ViewPoint(s, f.a), ViewPoint(s, f.b), 1.0);
        Point3 g = DividePoint(m, ViewPoint(s, f.c), static_cast<double>(SpiralRatio(k)));
        Point3 d = ViewPoint(s, f.d);
        SetViewPoint(s, f.n, {g.x * 2.0L - d.x, g.y * 2.0L - d.y, g.z * 2.0L - d.z});
    }
}

void EasySquare(TaonState& s) {
    const long double q = kEasySquareSide;
    SetViewPoint(s, 1, {q, q, -q});
    SetViewPoint(s, 2, {q, q, q});
    SetViewPoint(s, 3, {-q, q, q});
    SetViewPoint(s, 4, {-q, q, -q});
    for (int g = 1; g <= 3; ++g) SetGroupParams(s, g, ParamGroup{1.0L, 2.718L, 5.0L, 10.0L, 20.0L, 30.0L});
    for (int k = 1; k <= 4; ++k) {
        s.GravonPresent[k] = 1;
        s.Ux[k] = 0.0L;
        s.Uy[k] = 0.0L;
        s.Uz[k] = 0.0L;
        s.NewUx[k] = s.Ux[k];
        s.NewUy[k] = s.Uy[k];
        s.NewUz[k] = s.Uz[k];
        s.X[k] = s.ViewX[k];
        s.NewX[k] = s.X[k];
        s.Y[k] = s.ViewY[k];
        s.NewY[k] = s.Y[k];
        s.Z[k] = s.ViewZ[k];
        s.NewZ[k] = s.Z[k];
    }
}

void BuildStartStructure(TaonState& s, const ViewState& v) {
    for (int k = 1; k <= kMaxTaons; ++k) {
        s.ViewX[k] = 0.0L;
        s.ViewY[k] = 0.0L;
        s.ViewZ[k] = 0.0L;
    }
    if (s.SpiralMode) {
        if (v.FigureKind == kDefaultFigureKind) SpiralFigure(s);
        return;
    }
    EasySquare(s);
}

void ShowSpiral(Picture& p, const std::function<void()>& disableRunButtons) {
    p.state.SpiralMode = true;
    BuildStartStructure(p.state, p.view);
    if (disableRunButtons) disableRunButtons();
    DrawFigureScene(p);
}

}  // namespace sphaeron

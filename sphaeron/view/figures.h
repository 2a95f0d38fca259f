#pragma once
// The two built-in start structures: the spiral figure (19 points of a chain
// of face-sharing tetrahedra, a wire model in the view copy) and the easy
// square (four taons with a fixed parameter set).
#include <array>
#include <functional>

#include "sphaeron/core/taon_state.h"
#include "sphaeron/view/scene.h"
#include "sphaeron/view/view_state.h"

namespace sphaeron {

// Point n of the spiral is point d mirrored through the centroid of the face
// a, b, c; the picture draws the edges a-n, b-n and c-n.
struct SpiralFace {
    int n, a, b, c, d;
};
extern const std::array<SpiralFace, 14> kSpiralFaces;  // n = 6 .. 19

constexpr int kSpiralPoints = 19;
constexpr long double kEasySquareSide = 0.212L;  // half the side of the square

// Constants of the spiral, computed in this order.
struct SpiralConstants {
    long double rc;  // 0.5 / sin(pi/3): circumradius of the unit triangle
    long double h;   // sqrt(1 - 0.5^2): height of the unit triangle
    long double hh;  // h * h
    long double w;   // sqrt(h*h - 0.5^2)
};
SpiralConstants ComputeSpiralConstants();
// (h - rc) / rc, the ratio from an edge midpoint to the triangle's centroid.
long double SpiralRatio(const SpiralConstants& k);

// R = (B * k + A) / (1 + k) per coordinate: |AR| : |RB| = k : 1. The ratio
// arrives in double precision.
Point3 DividePoint(const Point3& a, const Point3& b, double k);

// Writes the view copy of points 1 .. 19 (nothing else).
void SpiralFigure(TaonState& s);
// Writes the view copy of slots 1 .. 4, the 18 parameters and slots 1 .. 4
// (presence, committed and working positions and velocities).
void EasySquare(TaonState& s);
// Zeroes the view copy of all 100 slots, then builds the spiral (SpiralMode
// on, FigureKind 1), nothing (SpiralMode on, other FigureKind) or the easy
// square (SpiralMode off).
void BuildStartStructure(TaonState& s, const ViewState& v);

// The Spiral command: SpiralMode := on, BuildStartStructure, then
// disableRunButtons (the window disables Go and Null00), DrawFigureScene.
void ShowSpiral(Picture& p, const std::function<void()>& disableRunButtons = {});

}  // namespace sphaeron

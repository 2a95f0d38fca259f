#include <gtest/gtest.h>

#include <cmath>

#include "sphaeron/view/tests/view_test_util.h"
#include "sphaeron/view/view.h"

namespace sphaeron {
namespace {

using testing::ErrorText;
using testing::PutTaon;

constexpr long double kHalfPi = 1.57079632679489661923L;

TEST(Projection, StartViewCentreAndWrittenExamples) {
    ViewState v;
    StartView(v, 725, 289);
    EXPECT_EQ(362, v.CenterX);  // 362.5 and 144.5 round to the even neighbour
    EXPECT_EQ(144, v.CenterY);
    EXPECT_EQ(120.0L, v.ViewScale);

    auto at = [&](long double x, long double y, long double z) {
        ProjectedPoint p = ProjectPoint(v, x, y, z);
        return std::pair<int, int>(p.sx, p.sy);
    };
    EXPECT_EQ(std::make_pair(422, 144), at(1, 0, 0));
    EXPECT_EQ(std::make_pair(362, 144), at(0, 5, 0));  // depth is dropped
    EXPECT_EQ(std::make_pair(362, 84), at(0, 0, -1));  // +z is downwards
    v.ShiftX = 0.5L;
    EXPECT_EQ(std::make_pair(392, 144), at(0.5L, 0, 0));  // 392.5 -> 392
    v.ShiftX = 1.5L;
    EXPECT_EQ(std::make_pair(394, 144), at(0.5L, 0, 0));  // 393.5 -> 394

    // Scale 0 collapses everything onto the shifted centre; a negative scale
    // mirrors through it.
    v.ShiftX = 2.5L;
    v.ShiftY = -1.0L;
    v.ViewScale = 0;
    EXPECT_EQ(std::make_pair(364, 143), at(7, 3, -9));
    v.ShiftX = v.ShiftY = 0;
    v.ViewScale = -120;
    EXPECT_EQ(std::make_pair(302, 84), at(1, 0, 1));
}

TEST(Projection, RoundingWrapsBeyond32BitsAndRejectsTheRest) {
    EXPECT_EQ(2, RoundPixel(2.5L));
    EXPECT_EQ(-2, RoundPixel(-2.5L));
    EXPECT_EQ(4, RoundPixel(3.5L));
    EXPECT_EQ(5, RoundPixel(4294967296.0L + 5.0L));  // low 32 bits
    EXPECT_EQ(-2147483648, RoundPixel(2147483648.0L));
    EXPECT_EQ("Invalid floating point operation", ErrorText([] { RoundPixel(9223372036854775808.0L); }));
    EXPECT_EQ("Invalid floating point operation", ErrorText([] { RoundPixel(NAN); }));
}

TEST(Projection, RotationMatrix) {
    // A positive psi turns +x towards -z, upwards on the screen.
    Matrix3 m = RotationMatrixOf(0, kHalfPi, 0);
    EXPECT_NEAR(0.0, static_cast<double>(m[0][0]), 1e-18);
    EXPECT_EQ(0.0L, m[1][0]);
    EXPECT_NEAR(-1.0, static_cast<double>(m[2][0]), 1e-18);
    ViewState v;
    StartView(v);
    v.ViewPsi = kHalfPi;
    ComputeViewMatrix(v);
    ProjectedPoint p = ProjectPoint(v, 1, 0, 0);
    EXPECT_EQ(362, p.sx);
    EXPECT_EQ(84, p.sy);

    // Rx(teta) Ry(psi) Rz(phi): applying the three one-axis matrices in turn
    // gives the same point.
    const long double t = 0.3L, s = -1.1L, f = 2.2L;
    Point3 q{0.7L, -0.2L, 1.3L};
    auto apply = [](const Matrix3& r, Point3 a) {
        return Point3{r[0][0] * a.x + r[0][1] * a.y + r[0][2] * a.z, r[1][0] * a.x + r[1][1] * a.y + r[1][2] * a.z,
                      r[2][0] * a.x + r[2][1] * a.y + r[2][2] * a.z};
    };
    Point3 whole = apply(RotationMatrixOf(t, s, f), q);
    Point3 steps = apply(RotationMatrixOf(t, 0, 0), apply(RotationMatrixOf(0, s, 0), apply(RotationMatrixOf(0, 0, f), q)));
    EXPECT_NEAR(static_cast<double>(whole.x), static_cast<double>(steps.x), 1e-15);
    EXPECT_NEAR(static_cast<double>(whole.y), static_cast<double>(steps.y), 1e-15);
    EXPECT_NEAR(static_cast<double>(whole.z), static_cast<double>(steps.z), 1e-15);

    // An angle the hardware cannot reduce has sine and cosine 0.
    EXPECT_EQ(0.0L, ViewSin(18446744073709551616.0L));
    EXPECT_EQ(0.0L, ViewCos(-18446744073709551616.0L));
    EXPECT_EQ(0.0L, RotationMatrixOf(0, 0, 18446744073709551616.0L)[0][0]);
}

TEST(Projection, ProjectTaonsIsRepeatableAndSkipsAbsentSlots) {
    TaonState s;
    ViewState v;
    StartView(v);
    v.ViewTeta = 0.4L;
    v.ViewPhi = -0.7L;
    PutTaon(s, 1, 0.3L, -0.5L, 0.9L);
    PutTaon(s, 2, -1.2L, 0.1L, 0.2L);
    v.ScreenX[3] = 17;
    v.ScreenY[3] = 19;
    s.ViewX[3] = 2;  // absent: not projected

    ProjectTaons(s, v);
    const auto x1 = v.ScreenX[1], y1 = v.ScreenY[1], x2 = v.ScreenX[2], y2 = v.ScreenY[2];
    for (int i = 0; i < 100; ++i) ProjectTaons(s, v);
    EXPECT_EQ(x1, v.ScreenX[1]);
    EXPECT_EQ(y1, v.ScreenY[1]);
    EXPECT_EQ(x2, v.ScreenX[2]);
    EXPECT_EQ(y2, v.ScreenY[2]);
    EXPECT_EQ(0.3L, s.ViewX[1]);
    EXPECT_EQ(17, v.ScreenX[3]);
    EXPECT_EQ(19, v.ScreenY[3]);
}

TEST(Projection, ProjectFigureTurnsByTheSumOfItsSteps) {
    TaonState s;
    s.SpiralMode = true;
    ViewState v;
    StartView(v);
    BuildStartStructure(s, v);
    TaonState start = s;

    v.StepPhi = 0.01L;
    ComputeStepMatrix(v);
    for (int i = 0; i < 100; ++i) ProjectFigure(s, v, kSpiralPoints);

    Matrix3 once = RotationMatrixOf(0, 0, 1.0L);
    for (int k = 1; k <= kSpiralPoints; ++k) {
        Point3 p{start.ViewX[k], start.ViewY[k], start.ViewZ[k]};
        long double x = once[0][0] * p.x + once[0][1] * p.y + once[0][2] * p.z;
        long double y = once[1][0] * p.x + once[1][1] * p.y + once[1][2] * p.z;
        EXPECT_NEAR(static_cast<double>(x), static_cast<double>(s.ViewX[k]), 1e-14) << k;
        EXPECT_NEAR(static_cast<double>(y), static_cast<double>(s.ViewY[k]), 1e-14) << k;
        EXPECT_EQ(start.ViewZ[k], s.ViewZ[k]) << k;  // a turn about z keeps z
        EXPECT_EQ(RoundPixel(362.0L + s.ViewX[k] * 120.0L / 2.0L), v.ScreenX[k]);
    }
    EXPECT_EQ(0.0L, s.ViewX[20]);  // only the first n points

    // With zero step angles the figure stays where it is.
    TaonState before = s;
    v.StepPhi = 0;
    ComputeStepMatrix(v);
    ProjectFigure(s, v, kSpiralPoints);
    for (int k = 1; k <= kSpiralPoints; ++k) EXPECT_EQ(before.ViewX[k], s.ViewX[k]);
}

TEST(Projection, RunawayTaonsEndThePassWithTheirFault) {
    TaonState s;
    ViewState v;
    StartView(v);
    PutTaon(s, 1, 1e4930L, 0, 0);  // finite, but times the scale it overflows
    EXPECT_EQ("Floating point overflow", ErrorText([&] { ProjectTaons(s, v); }));
    PutTaon(s, 1, INFINITY, 0, 0);
    EXPECT_EQ("Invalid floating point operation", ErrorText([&] { ProjectTaons(s, v); }));
    PutTaon(s, 1, 0, 0, NAN);
    EXPECT_EQ("Invalid floating point operation", ErrorText([&] { ProjectTaons(s, v); }));
    PutTaon(s, 1, 1e18L, 0, 0);  // 6e19 pixels, beyond 2^63
    EXPECT_EQ("Invalid floating point operation", ErrorText([&] { ProjectTaons(s, v); }));
}

}  // namespace
}  // namespace sphaeron

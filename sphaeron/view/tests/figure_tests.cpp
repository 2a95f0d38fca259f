#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/canvas.h"
#include "sphaeron/view/tests/view_test_util.h"
#include "sphaeron/view/view.h"

namespace sphaeron {
namespace {

using testing::PutTaon;

Point3 At(const TaonState& s, int k) { return {s.ViewX[k], s.ViewY[k], s.ViewZ[k]}; }

long double Dist(const Point3& a, const Point3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

TaonState Spiral() {
    TaonState s;
    s.SpiralMode = true;
    ViewState v;
    BuildStartStructure(s, v);
    return s;
}

TEST(SpiralFigure, CoordinatesToSixDecimals) {
    const double table[19][3] = {
        {0.000000, 0.000000, 0.000000},   {1.000000, 0.000000, 0.000000},   {0.500000, 0.000000, 0.866025},
        {0.500000, 0.707107, 0.288675},   {0.500000, -0.707107, 0.288675}, {0.500000, -0.471405, -0.673575},
        {0.500000, 0.392837, -0.737725},  {1.333333, -0.052378, -0.940867}, {1.388889, -0.742026, -0.338570},
        {1.981481, -0.058198, -0.179382}, {1.487654, 0.668308, -0.408263},  {1.646091, 0.459118, 0.549103},
        {1.597394, -0.401028, 0.654744},  {2.483310, -0.000072, 0.682976},  {2.476528, 0.668260, 0.047054},
        {2.981456, -0.052458, -0.182004}, {2.487637, -0.742079, 0.167339},  {2.483739, -0.568418, -0.812342},
        {2.476814, 0.289363, -0.949825},
    };
    TaonState s = Spiral();
    for (int k = 1; k <= 19; ++k) {
        EXPECT_NEAR(table[k - 1][0], static_cast<double>(s.ViewX[k]), 5e-7) << "P" << k;
        EXPECT_NEAR(table[k - 1][1], static_cast<double>(s.ViewY[k]), 5e-7) << "P" << k;
        EXPECT_NEAR(table[k - 1][2], static_cast<double>(s.ViewZ[k]), 5e-7) << "P" << k;
    }
    SpiralConstants c = ComputeSpiralConstants();
    EXPECT_NEAR(0.577350269, static_cast<double>(c.rc), 1e-9);
    EXPECT_NEAR(0.707106781, static_cast<double>(c.w), 1e-9);
    EXPECT_NEAR(0.5, static_cast<double>(SpiralRatio(c)), 1e-15);
}

TEST(SpiralFigure, MirrorImages) {
    TaonState s = Spiral();
    // P4 and P5 are mirror images in the plane y = 0.
    EXPECT_EQ(s.ViewX[4], s.ViewX[5]);
    EXPECT_EQ(s.ViewY[4], -s.ViewY[5]);
    EXPECT_EQ(s.ViewZ[4], s.ViewZ[5]);
    // P6 is P3 mirrored through the centroid G of P1, P2, P5.
    Point3 g = DividePoint(DividePoint(At(s, 1), At(s, 2), 1.0), At(s, 5), 0.5);
    EXPECT_NEAR(static_cast<double>(Dist(At(s, 3), g)), static_cast<double>(Dist(At(s, 6), g)), 1e-15);
    // Every chain point is its mirrored vertex reflected through the centroid
    // of its face: the centroid is the midpoint of the two.
    for (const SpiralFace& f : kSpiralFaces) {
        Point3 c = DividePoint(DividePoint(At(s, f.a), At(s, f.b), 1.0), At(s, f.c), 0.5);
        Point3 mid = DividePoint(At(s, f.n), At(s, f.d), 1.0);
        EXPECT_NEAR(0.0, static_cast<double>(Dist(c, mid)), 1e-15) << f.n;
    }
}

TEST(SpiralFigure, DividePoint) {
    Point3 r = DividePoint({0, 0, 0}, {3, 6, 9}, 2.0);  // |AR| : |RB| = 2 : 1
    EXPECT_EQ(2.0L, r.x);
    EXPECT_EQ(4.0L, r.y);
    EXPECT_EQ(6.0L, r.z);
    r = DividePoint({1, 2, 3}, {3, 2, -1}, 1.0);
    EXPECT_EQ(2.0L, r.x);
    EXPECT_EQ(2.0L, r.y);
    EXPECT_EQ(1.0L, r.z);
}

TEST(StartStructure, SpiralThenEasySquare) {
    TaonState s;
    ViewState v;
    for (int k = 1; k <= 10; ++k) PutTaon(s, k, k, -k, 2 * k);  // a 10-taon document
    s.DT = 0.5L;
    s.SpiralMode = true;
    BuildStartStructure(s, v);
    EXPECT_EQ(2.0L, s.X[2]);  // the spiral lives in the view copy only
    EXPECT_EQ(0.0L, s.A1);
    EXPECT_NE(0.0L, s.ViewX[19]);

    s.SpiralMode = false;
    BuildStartStructure(s, v);
    TaonState once = s;
    BuildStartStructure(s, v);
    EXPECT_EQ(0, std::memcmp(&once, &s, sizeof s));  // twice gives the same

    const long double q = 0.212L;
    const Point3 square[4] = {{q, q, -q}, {q, q, q}, {-q, q, q}, {-q, q, -q}};
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(1, s.GravonPresent[k]);
        EXPECT_EQ(square[k - 1].x, s.X[k]);
        EXPECT_EQ(square[k - 1].y, s.NewY[k]);
        EXPECT_EQ(square[k - 1].z, s.ViewZ[k]);
        EXPECT_EQ(0.0L, s.Ux[k]);
        EXPECT_EQ(0.0L, s.NewUz[k]);
    }
    for (int g = 1; g <= 3; ++g) {
        ParamGroup p = GroupParams(s, g);
        EXPECT_EQ(1.0L, p.A);
        EXPECT_EQ(2.718L, p.B);
        EXPECT_EQ(5.0L, p.C);
        EXPECT_EQ(10.0L, p.D);
        EXPECT_EQ(20.0L, p.F);
        EXPECT_EQ(30.0L, p.G);
    }
    // Slots 5 .. 10 keep presence and positions; their view copy is zeroed,
    // and so is the spiral's.
    for (int k = 5; k <= 10; ++k) {
        EXPECT_EQ(1, s.GravonPresent[k]);
        EXPECT_EQ(static_cast<long double>(k), s.X[k]);
        EXPECT_EQ(0.0L, s.ViewX[k]);
    }
    EXPECT_EQ(0.0L, s.ViewY[19]);
    EXPECT_EQ(0.5L, s.DT);
}

TEST(FigureScene, SpineEdgesNumbersAndTurning) {
    TaonState s = Spiral();
    ViewState v;
    StartView(v);
    v.ShowNumbers = true;
    common::MemoryCanvas c(725, 289);
    DrawFigureScene(s, v, c);

    EXPECT_EQ(common::kWhite, c.Pixel(380, 144));  // 1-2
    EXPECT_EQ(common::kRed, c.Pixel(407, 170));    // 2-3
    EXPECT_EQ(common::kWhite, c.Pixel(452, 138));  // 2-10
    EXPECT_GT(c.Count(common::kRed), c.Count(common::kWhite));
    ASSERT_EQ(19u, c.Texts().size());
    EXPECT_EQ("7", c.Texts()[6].text);
    EXPECT_EQ(v.ScreenX[7], c.Texts()[6].x);  // at the point itself
    EXPECT_EQ(v.ScreenY[7], c.Texts()[6].y);
    EXPECT_EQ(common::kLime, c.Texts()[6].font);

    // Zero step angles: the same picture again.
    auto first = c.Pixels();
    DrawFigureScene(s, v, c);
    EXPECT_EQ(first, c.Pixels());

    // A step angle turns the figure at every pass.
    TaonState before = s;
    v.StepPhi = 0.01L;
    DrawFigureScene(s, v, c);
    EXPECT_NE(first, c.Pixels());
    Matrix3 m = RotationMatrixOf(0, 0, 0.01L);
    EXPECT_EQ(m[0][0] * before.ViewX[12] + m[0][1] * before.ViewY[12] + m[0][2] * before.ViewZ[12], s.ViewX[12]);
}

TEST(FigureScene, OtherFigureKindsStayBlack) {
    TaonState s;
    s.SpiralMode = true;
    ViewState v;
    StartView(v);
    v.FigureKind = 2;
    BuildStartStructure(s, v);
    EXPECT_EQ(0.0L, s.ViewX[2]);
    s.ViewX[2] = 1;
    common::MemoryCanvas c(725, 289, common::kWhite);
    v.ShowNumbers = true;
    DrawFigureScene(s, v, c);
    EXPECT_EQ(725L * 289L, c.Count(common::kBlack));
    EXPECT_TRUE(c.Texts().empty());
    EXPECT_EQ(1.0L, s.ViewX[2]);
}

}  // namespace
}  // namespace sphaeron

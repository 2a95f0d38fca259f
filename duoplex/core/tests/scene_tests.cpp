#include <cmath>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "common/canvas.h"
#include "common/errors.h"
#include "common/numtext.h"
#include "duoplex/core/planar_scene.h"

namespace duoplex {
namespace {

using common::kAqua;
using common::kBlack;
using common::kLime;
using common::kRed;
using common::kYellow;

// The window's controls as plain values, with the edits of a comma locale.
struct FakeControls : SceneControls {
    bool sc1 = true, two = true;
    FunctionChoice function = FunctionChoice::F_PE;
    std::string a[4] = {"", "3", "3", "0"};
    std::map<std::string, std::string> live;

    bool DoubleScale() const override { return sc1; }
    bool TwoGravonsChecked() const override { return two; }
    FunctionChoice Function() const override { return function; }
    std::string TypedA(int k) const override { return a[k]; }
    void ShowLiveValue(Field f, int k, const std::string& text) override {
        const char* names = "ABCDXY";
        live[std::string(1, names[static_cast<int>(f)]) + std::to_string(k)] = text;
    }
    char DecimalSeparator() const override { return ','; }
};

struct Scene {
    PlanarState s;
    FakeControls c;
    common::MemoryCanvas canvas{kClientWidth, kClientHeight, common::kFuchsia};

    Scene() {
        ResetToStartValues(s);
        ClearCanvas(canvas);
    }
    void Draw() { DrawScene(s, canvas, c); }
    common::Rgb At(int x, int y) const { return canvas.Pixel(x, y); }
    // A 3 x 3 marker; the centre colour differs when hollow or crossed by
    // the other gravon's guide.
    bool Marker(int x, int y, common::Rgb color, common::Rgb centre) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (At(x + dx, y + dy) != (dx == 0 && dy == 0 ? centre : color)) return false;
        return true;
    }
    bool Marker(int x, int y, common::Rgb color) const { return Marker(x, y, color, color); }
};

// Independent transcriptions of the two curves, through the C library's pow.
int PeCurveY(int py, int m, long double a, long double b) {
    long double t = 5.0L * m / 260.0L;
    return py + 260 + static_cast<int>(std::nearbyint((1.0L - std::pow(t, b / t)) * (a * 25.0L)));
}
int PesCurveY(int py, int m, long double a, long double b) {
    long double w = m * 5.145L / (b * 260.0L), s = m * 0.5145L / (b * 260.0L);
    return py + 260 - static_cast<int>(std::nearbyint(std::pow(w, (2.5L - std::pow(w, 20.0L)) / s) * (a * 100.0L)));
}

TEST(DuoplexScene, StartUpFrame) {
    Scene sc;
    sc.Draw();
    // Gravon 2 is drawn last: the left arm of its cross runs through gravon
    // 1's centre (208 = 26 x 8 pixels away) and covers gravon 1's right arm.
    EXPECT_TRUE(sc.Marker(156, 416, kRed, kAqua));
    EXPECT_TRUE(sc.Marker(364, 416, kRed));
    // Guide crosses, every 8 pixels.
    EXPECT_EQ(sc.At(36, 416), kYellow);
    EXPECT_EQ(sc.At(40, 416), kBlack);
    EXPECT_EQ(sc.At(156, 176), kYellow);
    EXPECT_EQ(sc.At(164, 416), kAqua);
    EXPECT_EQ(sc.At(364, 176), kAqua);
    // Function lines 75 pixels above the markers, overlapping between them.
    EXPECT_EQ(sc.At(396, 341), kYellow);
    EXPECT_EQ(sc.At(404, 341), kBlack);
    EXPECT_EQ(sc.At(364 - 8, 341), kAqua);
    EXPECT_EQ(sc.At(364 - 240, 341), kAqua);
    // PE curves: gravon 1's to the right, gravon 2's to the left.
    for (int m : {1, 20, 52, 80, 140, 300}) {
        EXPECT_EQ(sc.At(156 + m, PeCurveY(156, m, 3, 2)), kYellow) << m;
        EXPECT_EQ(sc.At(364 - m, PeCurveY(156, m, 3, 2)), kAqua) << m;
    }
    // The control panel is never drawn over; gravon 3 is out of sight.
    for (int y = 0; y < kClientHeight; ++y)
        for (int x = kFieldWidth; x < kClientWidth; ++x) ASSERT_EQ(sc.At(x, y), common::kFuchsia) << x << "," << y;
    EXPECT_EQ(sc.s.PixelX[3], -226824);
    // Live values in two-gravon mode.
    EXPECT_EQ(sc.c.live["A3"], "0");
    EXPECT_EQ(sc.c.live["X3"], "-4362");
    EXPECT_EQ(sc.c.live["Y1"], "3");
    EXPECT_EQ(sc.c.live["Y2"], "3");
}

TEST(DuoplexScene, SecondScaleHalvesOffsetsAndErasesOldMarkers) {
    Scene sc;
    sc.Draw();
    sc.c.sc1 = false;
    sc.Draw();
    EXPECT_TRUE(sc.Marker(208, 338, kRed, kAqua));
    EXPECT_TRUE(sc.Marker(312, 338, kRed));
    EXPECT_TRUE(sc.Marker(156, 416, kBlack));
    EXPECT_TRUE(sc.Marker(364, 416, kBlack));
    // The curves keep their size.
    EXPECT_EQ(sc.At(208 + 30, PeCurveY(78, 30, 3, 2)), kYellow);
    EXPECT_EQ(sc.At(208 + 200, PeCurveY(78, 200, 3, 2)), kYellow);
}

TEST(DuoplexScene, ZeroStrengthShowsHollowAndIsTakenFromTheEdit) {
    Scene sc;
    sc.s.Y[2] = 4.0L;  // (364, 468), off gravon 1's guides
    sc.c.a[1] = "0";
    sc.c.a[2] = "2,5";
    sc.Draw();
    // Hollow; with A = 0 the curve lies flat on the marker's row.
    EXPECT_EQ(sc.At(156, 416), kBlack);
    EXPECT_EQ(sc.At(157, 416), kYellow);
    EXPECT_EQ(sc.At(155, 416), kRed);
    EXPECT_EQ(sc.At(157, 415), kRed);
    EXPECT_TRUE(sc.Marker(364, 468, kRed));
    EXPECT_EQ(sc.s.A[1], 0.0L);
    EXPECT_EQ(sc.s.A[2], 2.5L);
    EXPECT_EQ(sc.At(364 - 100, PeCurveY(208, 100, 2.5L, 2)), kAqua);
}

TEST(DuoplexScene, MoveLeavesNoStrayPixels) {
    for (FunctionChoice f : kAllFunctions) {
        Scene moved;
        moved.c.function = f;
        moved.s.Y[2] = 3.5L;
        moved.Draw();
        moved.s.X[1] = -1.5L;
        moved.s.Y[1] = 2.6L;
        moved.s.X[2] = 2.3L;
        moved.s.Y[2] = 3.2L;
        moved.Draw();

        // The same frame drawn with nothing to erase on the field.
        Scene fresh;
        fresh.c.function = f;
        for (int k = 1; k <= 3; ++k) {
            fresh.s.X[k] = moved.s.X[k];
            fresh.s.Y[k] = moved.s.Y[k];
            fresh.s.PixelX[k] = 100000;
        }
        fresh.Draw();
        int lit = 0;
        for (int y = 0; y < kClientHeight; ++y)
            for (int x = 0; x < kFieldWidth; ++x) {
                if (moved.At(x, y) == kBlack) continue;
                ++lit;
                ASSERT_EQ(moved.At(x, y), fresh.At(x, y)) << FunctionName(f) << " at " << x << "," << y;
            }
        EXPECT_GT(lit, 150) << FunctionName(f);
    }
}

TEST(DuoplexScene, ThreeGravonModeDrawsMarkersOnly) {
    Scene sc;
    ApplyConfiguration(sc.s, *RefreshConfiguration(FunctionChoice::F_PE2, true));
    sc.c.two = false;
    sc.c.sc1 = false;
    sc.c.a[2] = "3";
    sc.c.a[3] = "3";
    sc.Draw();
    EXPECT_TRUE(sc.Marker(208, 338, kLime));
    EXPECT_TRUE(sc.Marker(280, 338, kRed));  // 0.75 * 26 = 19.5 rounds to 20
    EXPECT_TRUE(sc.Marker(104, 338, kAqua));
    EXPECT_EQ(sc.canvas.Count(kBlack), kFieldWidth * kClientHeight - 27);
    EXPECT_TRUE(sc.c.live.empty());
}

TEST(DuoplexScene, FunctionLinesAndCurvesPerChoice) {
    struct Row {
        FunctionChoice f;
        int h1, last1, h2, last2;
    };
    const Row rows[] = {
        {FunctionChoice::F_PE1, 191, 30, 237, 30},
        {FunctionChoice::F_PE_PES, 243, 33, 236, 33},
        {FunctionChoice::F_PES_Swi, 145, 23, 240, 23},
    };
    for (const Row& r : rows) {
        Scene sc;
        sc.c.function = r.f;
        sc.s.X[1] = -3.0L;  // (104, 416)
        sc.s.Y[2] = 1.0L;   // (364, 312)
        sc.Draw();
        const char* n = FunctionName(r.f);
        EXPECT_EQ(sc.At(104 + 8, 156 + r.h1), kYellow) << n;
        EXPECT_EQ(sc.At(104 + 8 * r.last1, 156 + r.h1), kYellow) << n;
        EXPECT_EQ(sc.At(364 - 8, 52 + r.h2), kAqua) << n;
        EXPECT_EQ(sc.At(364 - 8 * r.last2, 52 + r.h2), kAqua) << n;
    }

    // PES curves with their ranges; around gravon 1 under F_PE_PES the PES
    // curve, around gravon 2 the PE curve.
    Scene pes;
    pes.c.function = FunctionChoice::F_PES_Swi;
    pes.s.X[1] = -3.0L;
    pes.s.Y[2] = 1.0L;
    pes.Draw();
    for (int m : {104, 130, 160, 190}) EXPECT_EQ(pes.At(104 + m, PesCurveY(156, m, 3, 2)), kYellow) << m;
    EXPECT_EQ(pes.At(364 - 108, PesCurveY(52, 108, 3, 2)), kAqua);
    EXPECT_EQ(pes.At(364 - 107, PesCurveY(52, 107, 3, 2)), kBlack);

    Scene mixed;
    mixed.c.function = FunctionChoice::F_PE_PES;
    mixed.s.X[1] = -3.0L;
    mixed.s.Y[2] = 1.0L;
    mixed.Draw();
    EXPECT_EQ(mixed.At(104 + 140, PesCurveY(156, 140, 3, 2)), kYellow);
    EXPECT_EQ(mixed.At(364 - 60, PeCurveY(52, 60, 3, 2)), kAqua);

    // GravoNew: markers and crosses only.
    Scene plain;
    plain.c.function = FunctionChoice::GravoNew;
    plain.s.Y[2] = 1.0L;
    plain.Draw();
    for (int y = 0; y < kClientHeight; ++y)
        for (int x = 0; x < kFieldWidth; ++x)
            if (plain.At(x, y) != kBlack) {
                bool onCross = y == 416 || y == 312 || x == 156 || x == 364;
                bool onMarker = std::abs(y - 416) <= 1 || std::abs(y - 312) <= 1;
                ASSERT_TRUE(onCross || onMarker) << x << "," << y;
            }
}

TEST(DuoplexScene, BadTextsAndFaultsEndTheFrame) {
    Scene sc;
    sc.c.a[1] = "1,5";
    sc.c.a[2] = "abc";
    try {
        sc.Draw();
        FAIL();
    } catch (const common::ConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
    }
    EXPECT_EQ(sc.s.A[1], 1.5L);  // read before the failing one

    Scene zero;
    zero.c.function = FunctionChoice::F_PES;
    zero.s.B[1] = 0.0L;
    zero.s.Y[2] = 4.0L;
    try {
        zero.Draw();
        FAIL();
    } catch (const common::FloatError& e) {
        EXPECT_STREQ(e.what(), "Floating point division by zero");
    }
    EXPECT_EQ(zero.s.PixelX[1], 0);  // the erase met the fault

    Scene lost;
    lost.s.X[2] = NAN;
    try {
        lost.Draw();
        FAIL();
    } catch (const common::FloatError& e) {
        EXPECT_STREQ(e.what(), "Invalid floating point operation");
    }
}

}  // namespace
}  // namespace duoplex

#include <gtest/gtest.h>

#include "common/canvas.h"
#include "sphaeron/view/tests/view_test_util.h"
#include "sphaeron/view/view.h"

namespace sphaeron {
namespace {

using common::kAqua;
using common::kBlack;
using common::kFuchsia;
using common::kLime;
using common::kRed;
using common::kWhite;
using common::kYellow;
using testing::ErrorText;
using testing::PutTaon;

bool Block(const common::MemoryCanvas& c, int x, int y, common::Rgb colour) {
    return c.Pixel(x, y) == colour && c.Pixel(x + 1, y) == colour && c.Pixel(x, y + 1) == colour &&
           c.Pixel(x + 1, y + 1) == colour;
}

// A taon scene on a W x H area with the start view; every view coordinate
// unit is 60 pixels.
struct Scene {
    Scene(int w, int h, int canvasHeight = 0) : canvas(w, canvasHeight ? canvasHeight : h, kWhite) { StartView(view, w, h); }
    void Draw() { DrawTaonScene(state, view, canvas, switches); }
    TaonState state;
    ViewState view;
    common::MemoryCanvas canvas;
    SceneSwitches switches;
};

SceneSwitches Mode1(const ShellFieldTexts& texts, int* calls = nullptr) {
    SceneSwitches sw;
    sw.shelloscope = true;
    sw.ShellFields = [texts, calls] {
        if (calls) ++*calls;
        return texts;
    };
    return sw;
}

TEST(TaonScene, BlocksInGroupColoursAndNumbersBesideThem) {
    Scene s(725, 289, 300);
    PutTaon(s.state, 1, 0, 0, 0);    // (362, 144)
    PutTaon(s.state, 7, -1, 0, 0);   // (302, 144)
    PutTaon(s.state, 60, 1, 0, 0);   // (422, 144)
    PutTaon(s.state, 90, 0, 0, -1);  // (362, 84)
    PutTaon(s.state, 5, -2, 0, 0);
    s.state.GravonPresent[5] = 0;  // absent: not drawn
    s.view.ShowNumbers = true;
    s.Draw();

    EXPECT_TRUE(Block(s.canvas, 362, 144, kLime));
    EXPECT_TRUE(Block(s.canvas, 302, 144, kLime));
    EXPECT_TRUE(Block(s.canvas, 422, 144, kYellow));
    EXPECT_TRUE(Block(s.canvas, 362, 84, kRed));
    EXPECT_EQ(kBlack, s.canvas.Pixel(364, 144));
    EXPECT_EQ(kBlack, s.canvas.Pixel(242, 144));
    EXPECT_EQ(16, s.canvas.Count(kLime) + s.canvas.Count(kYellow) + s.canvas.Count(kRed));
    // The black area ends at the bottom panel.
    EXPECT_EQ(kBlack, s.canvas.Pixel(724, 288));
    EXPECT_EQ(kWhite, s.canvas.Pixel(0, 289));

    const auto& t = s.canvas.Texts();
    ASSERT_EQ(4u, t.size());
    EXPECT_EQ("1", t[0].text);
    EXPECT_EQ(364, t[0].x);
    EXPECT_EQ(146, t[0].y);
    EXPECT_EQ(kLime, t[0].font);
    EXPECT_EQ(kBlack, t[0].brush);
    EXPECT_EQ("7", t[1].text);
    EXPECT_EQ(304, t[1].x);
    EXPECT_EQ("60", t[2].text);
    EXPECT_EQ(kYellow, t[2].font);
    EXPECT_EQ("90", t[3].text);
    EXPECT_EQ(kRed, t[3].font);
    EXPECT_EQ(86, t[3].y);

    // Drawing again gives the same picture.
    auto first = s.canvas.Pixels();
    s.Draw();
    EXPECT_EQ(first, s.canvas.Pixels());
}

TEST(TaonScene, StopLHidesSevenToFiftyButNumbersThemAndDropsTheShelloscope) {
    Scene s(725, 289);
    for (int k = 1; k <= 100; ++k)
        PutTaon(s.state, k, -3.0L + ((k - 1) % 20) * 0.1L, 0, -1.0L + ((k - 1) / 20) * 0.2L);
    s.state.A1 = s.state.B1 = s.state.C1 = s.state.D1 = s.state.F1 = s.state.G1 = 1;
    s.view.ShowNumbers = true;
    s.switches.stopL = true;
    s.switches.shelloscope = true;
    s.Draw();
    EXPECT_EQ(6 * 4, s.canvas.Count(kLime));
    EXPECT_EQ(30 * 4, s.canvas.Count(kYellow));
    EXPECT_EQ(20 * 4, s.canvas.Count(kRed));
    EXPECT_EQ(0, s.canvas.Count(kFuchsia));
    EXPECT_EQ(100u, s.canvas.Texts().size());
    EXPECT_EQ("30", s.canvas.Texts()[29].text);
    EXPECT_EQ(kLime, s.canvas.Texts()[29].font);
}

TEST(TaonScene, LibrationLineThroughTaonFour) {
    Scene s(725, 289);
    PutTaon(s.state, 1, 0.5L, 0, 0.25L);
    PutTaon(s.state, 2, 0, 1, 0);
    PutTaon(s.state, 3, 0, -1, 0);
    PutTaon(s.state, 4, 0, 0, 0);  // anchor (362, 144)
    s.switches.libration = true;
    s.Draw();
    // e - g = 4.5 and f - h = 2.25: dot j lies at +-(2.7 j, 1.35 j) rounded.
    EXPECT_EQ(200, s.canvas.Count(kYellow));
    EXPECT_EQ(kYellow, s.canvas.Pixel(362 + 270, 144 + 135));
    EXPECT_EQ(kYellow, s.canvas.Pixel(362 - 270, 144 - 135));
    EXPECT_EQ(kYellow, s.canvas.Pixel(365, 145));  // j = 1: 2.7 -> 3, 1.35 -> 1
    EXPECT_EQ(kYellow, s.canvas.Pixel(392, 159));  // j = 11 covers taon 1's block
    EXPECT_EQ(kLime, s.canvas.Pixel(393, 159));

    // Still drawn with StopL (taon 4 is one of the six).
    s.switches.stopL = true;
    s.Draw();
    EXPECT_EQ(200, s.canvas.Count(kYellow));

    // No line when the offset is parallel to an axis.
    s.switches.stopL = false;
    s.state.Z[1] = 0;
    s.Draw();
    EXPECT_EQ(0, s.canvas.Count(kYellow));
    s.state.Z[1] = 0.25L;
    s.state.X[1] = 0;
    s.Draw();
    EXPECT_EQ(0, s.canvas.Count(kYellow));
}

TEST(ShellProfileChart, ProfileColumnsAndAxes) {
    // Anchor at (100, 300); the curve runs 1800 pixels to the right.
    Scene s(2000, 600);
    PutTaon(s.state, 1, -15, 0, 0);
    int calls = 0;
    s.switches = Mode1({"1", "1", "2", "3", "4", "5"}, &calls);
    s.Draw();
    EXPECT_EQ(1, calls);  // the texts are read once per pass
    EXPECT_EQ(900, s.canvas.Count(kFuchsia));
    // Each of B1, C1, D1, F1 makes its own bump; the tail comes on top.
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 60, 300 + 8));     // j = 30: 6 + 2
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 120, 300 + 9));    // j = 60: 6 + 3
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 180, 300 + 10));   // j = 90: 6 + 4
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 234, 300 + 10));   // j = 117: 4 + 6
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 298, 300 + 10));   // j = 149: tail 10
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 400, 300 + 4));    // j = 200
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 1800, 300 + 0));   // j = 900
    // Axis dots every 20 pixels, drawn before (right) and after (left, up,
    // down) the curve.
    EXPECT_EQ(kYellow, s.canvas.Pixel(120, 300));
    EXPECT_EQ(kYellow, s.canvas.Pixel(160, 300));
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(100 + 1780, 300));  // the curve covers the axis
    EXPECT_EQ(kYellow, s.canvas.Pixel(80, 300));
    EXPECT_EQ(kYellow, s.canvas.Pixel(100, 100));
    EXPECT_EQ(kYellow, s.canvas.Pixel(100, 500));
    EXPECT_EQ(kBlack, s.canvas.Pixel(100, 510));
}

TEST(ShellProfileChart, EachPassFollowsTheCurrentTexts) {
    Scene s(725, 289);
    PutTaon(s.state, 1, -5, 0, 0);
    ShellFieldTexts texts{"1", "1", "2", "3", "4", "5"};
    s.switches = Mode1({}, nullptr);
    s.switches.ShellFields = [&texts] { return texts; };
    s.Draw();
    const auto first = s.canvas.Pixels();
    texts[0] = "2";
    s.Draw();
    EXPECT_NE(first, s.canvas.Pixels());
    texts[2] = "0";
    EXPECT_EQ("Floating point division by zero", ErrorText([&] { s.Draw(); }));
    texts = {"1", "1", "2", "3", "4", "5"};
    s.Draw();
    EXPECT_EQ(first, s.canvas.Pixels());
}

TEST(ShellProfileChart, EvenGapColumnTakesTheTailLimit) {
    // G1 = 0.25: q = 14, so 2j - q is 0 at j = 7.
    ShellFields f{0.35L, 100, 100, 100, 100, 0.25L};
    EXPECT_EQ(4, ShellProfileOffset(f, 7));  // Round(3.5): halves to even
    EXPECT_EQ(3, ShellProfileOffset(f, 6));  // 3.5 * (1 - 2.73^-29.5)
    EXPECT_EQ(3, ShellProfileOffset(f, 8));
    f.G1 = 1.25L;  // q = 74
    EXPECT_EQ(4, ShellProfileOffset(f, 37));

    // The pass goes on past the chart to the other taons.
    Scene s(725, 289);
    PutTaon(s.state, 1, 0, 0, 0);
    PutTaon(s.state, 2, 1, 0, 0);
    PutTaon(s.state, 3, -1, 0, 0);
    PutTaon(s.state, 60, 0, 0, 1);
    s.switches = Mode1({"0,35", "100", "100", "100", "100", "0,25"});
    std::string error = ErrorText([&] { s.Draw(); });
    EXPECT_EQ("", error);
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(362 + 14, 144 + 4));
    EXPECT_EQ(kFuchsia, s.canvas.Pixel(362 + 12, 144 + 3));
    EXPECT_TRUE(Block(s.canvas, 362, 204, kYellow));  // taon 60
    EXPECT_EQ(kLime, s.canvas.Pixel(423, 145));       // taon 2
}

TEST(ShellProfileChart, FaultsEndThePassWithTheirTexts) {
    struct Case {
        ShellFieldTexts texts;
        std::string error;
    };
    const Case cases[] = {
        {{"1", "0", "2", "3", "4", "5"}, "Floating point division by zero"},
        {{"1", "1", "2", "3", "-4", "5"}, "Invalid floating point operation"},
        {{"1", "1", "2", "3", "4", "x5"}, "'x5' is not a valid floating point value"},
        {{"1.5", "1", "2", "3", "4", "5"}, "'1.5' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        Scene s(725, 289);
        PutTaon(s.state, 1, 0, 0, 0);
        PutTaon(s.state, 2, 1, 0, 0);
        s.switches = Mode1(c.texts);
        EXPECT_EQ(c.error, ErrorText([&] { s.Draw(); })) << c.texts[1];
        // What was drawn stays: taon 1 and the right-hand axis, nothing after.
        EXPECT_TRUE(Block(s.canvas, 362, 144, kLime));
        EXPECT_EQ(kYellow, s.canvas.Pixel(382, 144));
        EXPECT_EQ(kBlack, s.canvas.Pixel(342, 144));
        EXPECT_EQ(kBlack, s.canvas.Pixel(422, 145));
    }
}

TEST(ShelloscopeOverlays, RaysBarsAndMarkers) {
    Scene s(725, 600);                  // centre (362, 300)
    PutTaon(s.state, 1, 0, 0, 0);         // (362, 300)
    PutTaon(s.state, 2, 1, 0, 0.5L);      // (422, 330)
    PutTaon(s.state, 3, -1, 0, 0);        // (302, 300)
    s.switches = Mode1({"1", "1", "2", "3", "4", "5"});
    s.Draw();
    const auto& c = s.canvas;
    // Rays from taon 3: red towards taon 1, aqua towards taon 2.
    EXPECT_EQ(kRed, c.Pixel(332, 300));   // j = 50
    EXPECT_EQ(kAqua, c.Pixel(362, 315));  // j = 50
    EXPECT_EQ(kRed, c.Pixel(362, 300));   // j = 100 covers taon 1's block
    EXPECT_EQ(kLime, c.Pixel(362, 301));
    // The bars' first dot walks from taon 1 to taon 2, over the aqua ray.
    EXPECT_EQ(kWhite, c.Pixel(363, 300));
    EXPECT_EQ(kWhite, c.Pixel(422, 330));
    EXPECT_EQ(kWhite, c.Pixel(392, 315));
    // Bars: d12 = 1.118 (67 px), d23 = 2.062 (124 px), d13 = 1 (60 px).
    EXPECT_EQ(kWhite, c.Pixel(429, 514));
    EXPECT_EQ(kAqua, c.Pixel(486, 518));
    EXPECT_EQ(kRed, c.Pixel(422, 510));
    EXPECT_EQ(kWhite, c.Pixel(363, 514));
    EXPECT_EQ(kAqua, c.Pixel(363, 518));
    EXPECT_EQ(kRed, c.Pixel(363, 510));
    // Markers at x0 = 362 + Round(d * 60) for d12, d13 and d23.
    for (int x0 : {429, 422, 486}) {
        EXPECT_EQ(kYellow, c.Pixel(x0, 304)) << x0;
        EXPECT_EQ(kYellow, c.Pixel(x0, 540)) << x0;
        EXPECT_EQ(kBlack, c.Pixel(x0, 544)) << x0;
        EXPECT_EQ(kAqua, c.Pixel(x0 + 1, 312)) << x0;
        EXPECT_EQ(kAqua, c.Pixel(x0 - 2, 528)) << x0;
        EXPECT_EQ(kRed, c.Pixel(x0 + 2, 324)) << x0;
        EXPECT_EQ(kRed, c.Pixel(x0 - 1, 540)) << x0;
        EXPECT_EQ(kBlack, c.Pixel(x0 + 3, 324)) << x0;
    }
    EXPECT_DOUBLE_EQ(1.118033988749895, static_cast<double>(XZDistance(s.state, 1, 2)));
}

TEST(ShelloscopeOverlays, WithoutTaonOneTheyHangAtItsLastScreenPosition) {
    Scene s(725, 600);
    PutTaon(s.state, 2, 1, 0, 0);
    PutTaon(s.state, 3, 0, 0, 0.5L);
    s.state.X[1] = s.state.Z[1] = 0;  // absent, still at the origin
    s.view.ScreenX[1] = 100;
    s.view.ScreenY[1] = 50;
    s.switches = Mode1({"1", "1", "2", "3", "4", "5"});
    s.Draw();
    const auto& c = s.canvas;
    EXPECT_EQ(0, c.Count(kFuchsia));
    // d13 = 0.5 (30 px) and d23 = 1.118 (67 px) markers; none for d12 (60).
    EXPECT_EQ(kYellow, c.Pixel(130, 54));
    EXPECT_EQ(kYellow, c.Pixel(167, 54));
    EXPECT_EQ(kBlack, c.Pixel(160, 54));
    // Bars below the old position.
    EXPECT_EQ(kWhite, c.Pixel(160, 264));
    EXPECT_EQ(kRed, c.Pixel(130, 260));
    EXPECT_EQ(kAqua, c.Pixel(167, 268));
    // Rays still start at taon 3.
    EXPECT_EQ(kRed, c.Pixel(362, 330 - 15));  // j = 50 towards taon 1
}

}  // namespace
}  // namespace sphaeron

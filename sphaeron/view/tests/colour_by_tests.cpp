// The taon scene coloured by structure: the blocks take the colours given,
// everything else stays, and a legend sits in the top-left corner.
#include <gtest/gtest.h>

#include "common/canvas.h"
#include "sphaeron/view/tests/view_test_util.h"
#include "sphaeron/view/view.h"

namespace sphaeron {
namespace {

using testing::PutTaon;

// Two clusters under a cutoff of 1.5: three taons in a row (slots 1, 2, 60)
// and five (slots 3, 4, 5, 90, 91) far away.
TaonState TwoClusters() {
    TaonState s;
    PutTaon(s, 1, 0, 0, 0);
    PutTaon(s, 2, 1, 0, 0);
    PutTaon(s, 60, 2, 0, 0);
    int five[] = {3, 4, 5, 90, 91};
    for (int i = 0; i < 5; ++i) PutTaon(s, five[i], 0, 0, 1 + i);
    for (int k : {3, 4, 5, 90, 91}) s.X[k] = s.NewX[k] = s.ViewX[k] = -3;
    return s;
}

structure::StructureResult Analysed(const TaonState& s) {
    structure::StructureOptions o;
    o.neighbours = structure::ParseNeighbourChoice("cutoff:1.5");
    return structure::AnalyseStructure(s, o);
}

TEST(ColourBy, ClustersByTheirSizeAndTheLegend) {
    TaonState s = TwoClusters();
    TaonColouring c = ColourTaons(ColourBy::Cluster, Analysed(s));
    EXPECT_EQ(c.colours[3], common::kLime);  // the larger cluster, though its lowest slot is higher
    EXPECT_EQ(c.colours[91], common::kLime);
    EXPECT_NE(c.colours[1], common::kLime);
    EXPECT_EQ(c.colours[1], c.colours[60]);
    ASSERT_EQ(c.legend.size(), 2u);
    EXPECT_EQ(c.legend[0].text, "cluster of 5");
    EXPECT_EQ(c.legend[1].text, "cluster of 3");

    // Ends of a row have one neighbour, the middle two.
    c = ColourTaons(ColourBy::Coordination, Analysed(s));
    EXPECT_EQ(c.colours[1], c.colours[60]);
    EXPECT_NE(c.colours[1], c.colours[2]);
    ASSERT_EQ(c.legend.size(), 2u);
    EXPECT_EQ(c.legend[0].text, "coordination 1: 4");
    EXPECT_EQ(c.legend[1].text, "coordination 2: 4");
}

TEST(ColourBy, OnlyTheBlocksChangeAndTheLegendIsInTheCorner) {
    TaonState s = TwoClusters();
    ViewState v;
    StartView(v, 400, 300);
    SceneSwitches plain;
    plain.stopL = true;  // taons 7 .. 50 hidden either way
    PutTaon(s, 20, 0.5L, 0, 0);
    common::MemoryCanvas before(400, 300);
    DrawTaonScene(s, v, before, plain);

    TaonColouring colouring = ColourTaons(ColourBy::Q6, Analysed(s));
    SceneSwitches coloured = plain;
    coloured.Colouring = &colouring;
    common::MemoryCanvas after(400, 300);
    DrawTaonScene(s, v, after, coloured);

    int changed = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            if (before.Pixel(x, y) == after.Pixel(x, y)) continue;
            ++changed;
            bool inLegend = x < 12 && y < 4 + 14 * static_cast<int>(colouring.legend.size());
            bool onBlock = false;
            for (int k : {1, 2, 60, 3, 4, 5, 90, 91})
                onBlock = onBlock || ((x == v.ScreenX[k] || x == v.ScreenX[k] + 1) &&
                                      (y == v.ScreenY[k] || y == v.ScreenY[k] + 1) && after.Pixel(x, y) == colouring.colours[k]);
            EXPECT_TRUE(inLegend || onBlock) << x << "," << y;
        }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(after.Pixel(v.ScreenX[20], v.ScreenY[20]), before.Pixel(v.ScreenX[20], v.ScreenY[20]));  // still hidden
    EXPECT_EQ(after.Pixel(4, 7), colouring.legend[0].colour);
    ASSERT_FALSE(after.Texts().empty());
    EXPECT_EQ(after.Texts().front().text, "q6 0.00");
}

}  // namespace
}  // namespace sphaeron

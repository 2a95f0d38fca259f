// View > Colour By and the structure row of the plots window: Group leaves
// the picture exactly as it was, the other colourings change the blocks
// and add a legend, a run is the same bit for bit with them, and the
// neighbour rule chosen in the plots window is remembered.
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QTest>
#include <fstream>
#include <sstream>

#include "forms_test_support.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/plots_window.h"
#include "sphaeron/forms/structure_charts.h"

namespace sphaeron::forms::testing {
namespace {

TaonState Lattice() {
    TaonsDocument doc;
    TaonState s;
    LoadDocument(std::string(SPHAERON_EXAMPLES_DEFAULT) + "/lattice100.ato", doc, s);
    return s;
}

class ColourByTest : public FormsTest {};

TEST_F(ColourByTest, GroupKeepsThePicturePixelForPixel) {
    TMainForm& f = StartWith(Lattice());
    ShowActive();
    const QImage before = f.BackBuffer.copy();
    EXPECT_TRUE(f.ColourByGroup->isChecked());

    for (QAction* by : {f.ColourByCoordination, f.ColourByQ6, f.ColourByCluster}) {
        by->trigger();
        EXPECT_TRUE(by->isChecked());
        ASSERT_NE(f.BackBuffer, before) << by->text().toStdString();
        // The legend's first square in the corner, in a colour of the blocks.
        const TaonColouring* c = f.Structure().Colouring();
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(QColor(f.BackBuffer.pixel(5, 8)).rgb() & 0xFFFFFF, c->legend.front().colour);
    }
    f.ColourByGroup->trigger();
    EXPECT_EQ(f.BackBuffer, before);
    EXPECT_EQ(nullptr, f.Structure().Colouring());
}

TEST_F(ColourByTest, ARunWithColoursAndChartsIsTheSameBitForBit) {
    const TaonState start = Lattice();
    TMainForm& f = StartWith(start);
    ShowActive();
    f.ColourByCluster->trigger();
    QTest::keyClick(&f, Qt::Key_F9);
    ASSERT_NE(nullptr, f.Plots);
    AtPass(f, 5, [&] { f.GoClick(); });
    f.GoClick();
    ASSERT_EQ(5, State().StepCount);
    EXPECT_GE(f.Structure().AnalysisCount(), 2);  // opening the plots and the first step at least
    EXPECT_GE(f.Plots->Structure->Series().size(), 2u);

    TaonState plain = start;
    StepEngine engine(1);
    for (int n = 0; n < 5; ++n) engine.Step(plain, {});
    for (int k = 1; k <= kMaxTaons; ++k) {
        ASSERT_TRUE(SameBits(plain.X[k], State().X[k]) && SameBits(plain.Uz[k], State().Uz[k])) << k;
    }
}

TEST_F(ColourByTest, TheRuleChosenInThePlotsIsRememberedAndCharted) {
    TMainForm& f = StartWith(Lattice());
    ShowActive();
    QTest::keyClick(&f, Qt::Key_F9);
    TStructurePanel& panel = *f.Plots->Structure;
    ASSERT_EQ(1u, panel.Series().size());
    int taons = 0;
    for (int n : panel.Coordination()) taons += n;
    EXPECT_EQ(100, taons);
    EXPECT_EQ(1, panel.Series()[0].clusters);
    EXPECT_EQ(100, panel.Series()[0].largest);

    // The series goes on through a state charted twice (the last sample of
    // a run and its end) and starts anew when the steps go back.
    const structure::StructureResult& r = f.Structure().Result();
    for (long step : {10, 20, 20}) panel.Add(step, r);
    ASSERT_EQ(3u, panel.Series().size());
    EXPECT_EQ(20, panel.Series().back().step);
    panel.Add(5, r);
    ASSERT_EQ(1u, panel.Series().size());
    panel.Reset();
    panel.Add(0, r);

    panel.CutoffBox->setValue(0.5);  // shorter than the lattice spacing: nobody is bonded
    panel.RuleBox->setCurrentIndex(1);
    EXPECT_EQ(structure::NeighbourRule::Cutoff, f.Structure().Options.neighbours.rule);
    ASSERT_EQ(1u, panel.Series().size());
    EXPECT_EQ(100, panel.Series()[0].clusters);
    EXPECT_EQ(std::vector<int>{100}, panel.Coordination());

    // Remembered for the next start.
    program_.reset();
    TMainForm& again = Start();
    EXPECT_EQ(structure::NeighbourRule::Cutoff, again.Structure().Options.neighbours.rule);
    EXPECT_EQ(0.5, again.Structure().Options.neighbours.cutoff);
    again.Plots1Click();
    ASSERT_NE(nullptr, again.Plots);
    EXPECT_EQ(1, again.Plots->Structure->RuleBox->currentIndex());
}

}  // namespace
}  // namespace sphaeron::forms::testing

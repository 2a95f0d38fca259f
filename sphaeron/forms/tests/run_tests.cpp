// The run loop and its controls: Go and Stop, the step counter, the listing
// during a run, the velocity reset, an arithmetic fault in a step, closing
// the window during a run and New during a run.
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <filesystem>

#include "common/numtext.h"
#include "forms_test_support.h"
#include "tests/support/taon_helpers.h"
#include "sphaeron/document/document.h"

namespace sphaeron::forms::testing {
namespace {

class RunTest : public FormsTest {
protected:
    void ExpectIdleLook(TMainForm& f) { testing::ExpectIdleLook(f, State()); }
};

TEST_F(RunTest, GoAndStopInTheFirstPassMakeOneStep) {
    TMainForm& f = StartWith(SquareState());
    f.LTimeDblClick();
    ASSERT_TRUE(State().TimeDisplayOn);
    bool sawRunning = false;
    AtPass(f, 1, [&] {
        // The running look, while the loop dispatches.
        sawRunning = !State().Stopped && f.Go->text() == QStringLiteral("Stop") &&
                     f.ShapeRed->BrushColor() == QColor(255, 0, 0) && f.ShapeLime->BrushColor() == QColor(0, 128, 0) &&
                     !f.Images->menuAction()->isEnabled() && !f.Null00->isEnabled() &&
                     f.Null00->text() == QStringLiteral("0");
        f.Go->click();
    });
    f.Go->click();
    EXPECT_TRUE(sawRunning);
    EXPECT_EQ(1, State().StepCount);
    EXPECT_EQ(QStringLiteral("1"), f.LTime->text());
    ExpectIdleLook(f);

    // The next run counts on from there; without the time display LTime
    // keeps its text.
    f.LTimeDblClick();
    AtPass(f, 4, [&] { f.GoClick(); });
    f.GoClick();
    EXPECT_EQ(4, State().StepCount);
    EXPECT_EQ(QStringLiteral("1"), f.LTime->text());
}

TEST_F(RunTest, RunStepsAsTheCoreDoesWithTheSwitchesOfTheWindow) {
    TMainForm& f = StartWith(SquareState());
    f.Cool->setChecked(true);
    f.RB1->setChecked(true);
    TaonState expect = State();
    StepSwitches sw;
    sw.Cool = true;
    sw.Mode1 = true;
    for (int i = 0; i < 3; ++i) testsupport::StepOnce(expect, sw);
    AtPass(f, 3, [&] { f.GoClick(); });
    f.GoClick();
    ASSERT_EQ(3, State().StepCount);
    for (int k = 1; k <= kMaxTaons; ++k) {
        EXPECT_TRUE(SameBits(expect.X[k], State().X[k])) << k;
        EXPECT_TRUE(SameBits(expect.Uz[k], State().Uz[k])) << k;
        EXPECT_TRUE(SameBits(expect.ViewY[k], State().ViewY[k])) << k;
    }
    // The listing shows the committed positions reached.
    EXPECT_EQ(QString::fromStdString(common::FormatReal(State().X[2], ',')), f.Listing->Cell(1, 2));
}

TEST_F(RunTest, ListingFollowsTheRunOnlyWhenShowListingIsChecked) {
    TMainForm& f = StartWith(SquareState());
    const QString before = f.Listing->Cell(1, 1);
    f.ShowList->setChecked(false);
    // The scene is redrawn at every step all the same.
    bool redrawn = true;
    AtPass(f, 1, [&] { f.BackBuffer.fill(Qt::white); });
    AtPass(f, 2, [&] {
        redrawn = redrawn && (f.BackBuffer.pixel(0, 0) & 0xFFFFFF) == 0;
        f.BackBuffer.fill(Qt::white);
    });
    AtPass(f, 5, [&] { f.GoClick(); });
    f.GoClick();
    EXPECT_EQ(before, f.Listing->Cell(1, 1));
    EXPECT_TRUE(redrawn);
    EXPECT_EQ(0u, f.BackBuffer.pixel(0, 0) & 0xFFFFFF);

    f.ShowList->setChecked(true);
    AtPass(f, 6, [&] { f.GoClick(); });
    f.GoClick();
    EXPECT_NE(before, f.Listing->Cell(1, 1));
}

TEST_F(RunTest, AtTheScreensPaceFastStepsShareAFrameAndStopShowsTheFinalState) {
    TMainForm& f = StartWith(SquareState(0.001L));
    f.FrameInterval = std::chrono::milliseconds(16);
    f.LTimeDblClick();
    int dispatches = 0;
    QTimer counter;
    counter.setInterval(0);
    QObject::connect(&counter, &QTimer::timeout, [&] { ++dispatches; });
    counter.start();
    QTimer::singleShot(150, &f, [&] { f.GoClick(); });
    f.GoClick();
    counter.stop();
    // Steps of four taons take microseconds: many steps to each dispatch,
    // and still a dispatch at least every frame or so (the Stop came).
    EXPECT_GT(State().StepCount, 4 * dispatches);
    EXPECT_GE(dispatches, 3);
    // The final state is shown, whatever frames were left out.
    EXPECT_EQ(QString::number(State().StepCount), f.LTime->text());
    EXPECT_EQ(QString::fromStdString(common::FormatReal(State().X[2], ',')), f.Listing->Cell(1, 2));
    const QImage shown = f.BackBuffer.copy();
    f.DrawTaonScene();
    EXPECT_EQ(shown, f.BackBuffer);
}

TEST_F(RunTest, ArithmeticFaultEndsTheRunInTheIdleLook) {
    TaonState s = SquareState();
    // Taon 2 on top of taon 1: the first force evaluation divides by zero.
    s.X[2] = s.NewX[2] = s.ViewX[2] = s.X[1];
    s.Y[2] = s.NewY[2] = s.ViewY[2] = s.Y[1];
    s.Z[2] = s.NewZ[2] = s.ViewZ[2] = s.Z[1];
    TMainForm& f = StartWith(s);
    const TaonState before = State();
    bool runningAtMessage = false;
    dialogs.OnFailure = [&](const QString&) { runningAtMessage = f.Go->text() == QStringLiteral("Stop"); };
    f.GoClick();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("Floating point division by zero"), dialogs.Failures[0]);
    EXPECT_TRUE(runningAtMessage);  // the message comes first, then the idle look
    ExpectIdleLook(f);
    EXPECT_EQ(0, State().StepCount);
    EXPECT_TRUE(SameBits(before.X[3], State().X[3]));
    EXPECT_TRUE(SameBits(before.NewUx[3], State().NewUx[3]));
    // Go starts a new run (which fails again): nothing pretended to run.
    f.GoClick();
    EXPECT_EQ(2u, dialogs.Failures.size());
    ExpectIdleLook(f);
}

TEST_F(RunTest, ClosingTheWindowEndsTheRunFirst) {
    TMainForm& f = StartWith(SquareState());
    f.show();
    AtPass(f, 3, [&] { f.close(); });
    f.GoClick();  // returns once the run has ended
    EXPECT_EQ(3, State().StepCount);
    EXPECT_TRUE(State().Stopped);
    EXPECT_FALSE(f.isVisible());
}

TEST_F(RunTest, ExitDuringARunEndsTheRunAndCloses) {
    TMainForm& f = StartWith(SquareState());
    f.show();
    AtPass(f, 2, [&] { f.Exit1->trigger(); });
    f.GoClick();
    EXPECT_EQ(2, State().StepCount);
    EXPECT_FALSE(f.isVisible());
    ExpectIdleLook(f);
}

TEST_F(RunTest, StopAndGoWithinOneDispatchKeepsOneLoopRunning) {
    TMainForm& f = StartWith(SquareState());
    AtPass(f, 2, [&] {
        f.GoClick();  // Stop
        f.GoClick();  // Go again before the loop has seen it
    });
    AtPass(f, 5, [&] { f.GoClick(); });
    f.GoClick();
    EXPECT_EQ(5, State().StepCount);
    ExpectIdleLook(f);
}

TEST_F(RunTest, NewDuringARunHoldsItAndResetsTheCounter) {
    TMainForm& f = StartWith(SquareState());
    int stepsWhileOpen = -1;
    AtPass(f, 3, [&] {
        int at = State().StepCount;
        dialogs.ModalActions.push_back([&, at](QDialog&) {
            QApplication::processEvents();
            stepsWhileOpen = State().StepCount - at;
            return int(QDialog::Accepted);
        });
        f.New1->trigger();
        EXPECT_EQ(0, State().StepCount);
        EXPECT_EQ(QStringLiteral("0"), f.LTime->text());
        EXPECT_FALSE(f.Null00->isEnabled());
    });
    AtPass(f, 4, [&] {
        dialogs.OpenAnswers.push_back(QString::fromStdString(Path("doc.ato")));
        f.Open1->trigger();
        // The velocity reset stays off while the run goes on.
        EXPECT_FALSE(f.Null00->isEnabled());
    });
    AtPass(f, 6, [&] { f.GoClick(); });
    f.GoClick();
    EXPECT_EQ(0, stepsWhileOpen);
    // The loop counts on with its own number.
    EXPECT_EQ(6, State().StepCount);
    EXPECT_TRUE(f.Null00->isEnabled());
    ASSERT_EQ(1u, dialogs.ModalTitles.size());
    EXPECT_EQ(QStringLiteral(" Editing of gravon's values"), dialogs.ModalTitles[0]);
}

TEST_F(RunTest, VelocityResetWithSave) {
    TMainForm& f = StartWith(SquareState());
    dialogs.SaveAnswers.push_back(QPath("null.ato"));
    f.Null00->click();
    EXPECT_EQ(QStringLiteral("Yes Null"), f.Null00->text());
    EXPECT_EQ(QColor(128, 0, 0), f.Null00->palette().color(QPalette::ButtonText));
    for (int k = 1; k <= kMaxTaons; ++k) {
        EXPECT_EQ(0.0L, State().Ux[k]);
        EXPECT_EQ(0.0L, State().NewUz[k]);
    }
    EXPECT_EQ(0.212L, State().X[1]);
    EXPECT_EQ(Path("null.ato"), Data().DocumentName());
    EXPECT_EQ(QPath("null.ato"), f.FName->text());
    EXPECT_EQ(Path("null.ato"), ReadStartFile());
    TaonsDocument expect;
    expect = Data().Document();
    PackDocument(State(), expect);
    std::vector<unsigned char> bytes(expect.bytes.begin(), expect.bytes.end());
    EXPECT_EQ(bytes, FileBytes(Path("null.ato")));
    f.DaonsTableDblClick();
    EXPECT_EQ(QStringLiteral("0"), f.Listing->Cell(2, 3));
    EXPECT_FALSE(std::filesystem::exists(Path("null.txt")));  // no commentary written

    // The next run sets the caption back.
    AtPass(f, 1, [&] { f.GoClick(); });
    f.GoClick();
    EXPECT_EQ(QStringLiteral("0"), f.Null00->text());
}

TEST_F(RunTest, VelocityResetCancelledOrFailedKeepsTheDocument) {
    TMainForm& f = StartWith(SquareState());
    const auto onDisk = FileBytes(Path("doc.ato"));
    dialogs.SaveAnswers.push_back(std::nullopt);
    f.Null00Click();
    EXPECT_EQ(0.0L, State().Ux[1]);
    EXPECT_EQ(onDisk, FileBytes(Path("doc.ato")));
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());

    // A path that cannot be written: reported, and the names stay.
    dialogs.SaveAnswers.push_back(QPath("no/such/folder/x.ato"));
    f.Null00->click();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("File not found"), dialogs.Failures[0]);
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());
    EXPECT_EQ(QPath("doc.ato"), f.FName->text());
    EXPECT_EQ(Path("doc.ato"), ReadStartFile());
}

TEST_F(RunTest, VelocityResetDoesNothingInTheSpiralOrDuringARun) {
    TMainForm& f = StartWith(SquareState());
    AtPass(f, 1, [&] {
        f.Null00Click();  // disabled during a run; called anyway it does nothing
        f.GoClick();
    });
    f.GoClick();
    EXPECT_NE(0.0L, State().Ux[1]);
    f.Spiral1Click();
    EXPECT_FALSE(f.Go->isEnabled());
    EXPECT_FALSE(f.Null00->isEnabled());
    f.Null00Click();
    EXPECT_NE(0.0L, State().Ux[1]);
    EXPECT_EQ(QStringLiteral("0"), f.Null00->text());
}

TEST_F(RunTest, ListingShowsPositionsOrVelocitiesAndBlankAbsentSlots) {
    TaonState s = SquareState();
    s.GravonPresent[3] = 0;
    TMainForm& f = StartWith(s);
    EXPECT_EQ(QStringLiteral("X"), f.Listing->Cell(1, 0));
    EXPECT_EQ(QStringLiteral("Z"), f.Listing->Cell(3, 0));
    EXPECT_EQ(QStringLiteral(""), f.Listing->Cell(0, 0));
    EXPECT_EQ(QStringLiteral("3"), f.Listing->Cell(0, 3));
    EXPECT_EQ(QStringLiteral("100"), f.Listing->Cell(0, 100));
    EXPECT_EQ(QStringLiteral(""), f.Listing->Cell(2, 3));
    EXPECT_EQ(QStringLiteral("0,212"), f.Listing->Cell(2, 4));
    f.DaonsTableDblClick();
    EXPECT_TRUE(State().ListVelocities);
    EXPECT_EQ(QStringLiteral("u(x)"), f.Listing->Cell(1, 0));
    EXPECT_EQ(QStringLiteral("u(z)"), f.Listing->Cell(3, 0));
    EXPECT_EQ(QStringLiteral("0,04"), f.Listing->Cell(1, 4));
    EXPECT_EQ(QStringLiteral("-0,08"), f.Listing->Cell(2, 4));
    EXPECT_EQ(QStringLiteral("1,5E-7"), f.Listing->Cell(3, 4));
    EXPECT_EQ(QStringLiteral(""), f.Listing->Cell(3, 3));
    // The view shows the fixed row and column as its headers.
    EXPECT_EQ(QStringLiteral("u(y)"), f.Listing->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString());
    EXPECT_EQ(QStringLiteral("4"), f.Listing->headerData(3, Qt::Vertical, Qt::DisplayRole).toString());
    EXPECT_EQ(QStringLiteral("-0,08"), f.Listing->data(f.Listing->index(3, 1), Qt::DisplayRole).toString());

    // A slot that becomes absent shows empty cells at the next fill.
    State().GravonPresent[4] = 0;
    f.FillListing();
    EXPECT_EQ(QStringLiteral(""), f.Listing->Cell(1, 4));
    EXPECT_EQ(QStringLiteral("4"), f.Listing->Cell(0, 4));
}

TEST_F(RunTest, ListingUsesTheDotWhereTheLocaleDoes) {
    QLocale::setDefault(QLocale::c());
    TMainForm& f = StartWith(SquareState(0.25L));
    EXPECT_EQ(QStringLiteral("0.212"), f.Listing->Cell(1, 1));
    EXPECT_EQ(QStringLiteral("0.25"), f.EditDT->text());
}

TEST_F(RunTest, VelocityResetCaptionFitsWhileShown) {
    TMainForm& f = StartWith(SquareState());
    dialogs.SaveAnswers.push_back(std::nullopt);
    f.Null00->click();
    EXPECT_EQ(QStringLiteral("Yes Null"), f.Null00->text());
    EXPECT_GE(f.Null00->width(), f.Null00->fontMetrics().horizontalAdvance(f.Null00->text()) + 4);
    EXPECT_EQ(68, f.Null00->x());
    AtPass(f, 1, [&] { f.Go->click(); });
    f.Go->click();
    EXPECT_EQ(QStringLiteral("0"), f.Null00->text());
    EXPECT_EQ(24, f.Null00->width());
}

TEST_F(RunTest, CutCellsKeepTheirExponentAndShowTheWholeNumberAsTooltip) {
    TaonState s = SquareState();
    s.X[1] = s.NewX[1] = s.ViewX[1] = -4.05475012345678e-20L;
    TMainForm& f = StartWith(s);
    f.show();
    const QModelIndex cell = f.Listing->index(0, 0);
    EXPECT_EQ(QStringLiteral("-4,05475012345678E-20"), f.Listing->data(cell, Qt::ToolTipRole).toString());
    // What the cell shows in its column: cut, with the exponent kept.
    const QString shown = FitCell(f.Listing->Cell(1, 1), f.DaonsTable->columnWidth(0) - 6, f.DaonsTable->fontMetrics());
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("E-20"))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("-4,0"))) << shown.toStdString();
}

}  // namespace
}  // namespace sphaeron::forms::testing

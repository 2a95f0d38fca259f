// The view controls wired in the window: buttons, drags, the amplitude bar,
// the menu keys, the timer and the resize arithmetic, with pixel checks on
// the back buffer.
#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <cmath>

#include "forms_test_support.h"

namespace sphaeron::forms::testing {
namespace {

class ViewControlTest : public FormsTest {
protected:
    TMainForm& StartWithSquare() {
        WriteState(Path("doc.ato"), SquareState());
        WriteStartFile(Path("doc.ato"));
        return Start();
    }
    QRgb Pixel(int x, int y) { return Form().BackBuffer.pixel(x, y) & 0xFFFFFF; }
    long Count(QRgb colour) {
        const QImage& im = Form().BackBuffer;
        long n = 0;
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x) n += (im.pixel(x, y) & 0xFFFFFF) == colour;
        return n;
    }
    void Drag(Qt::MouseButton b, QPoint from, QPoint to) {
        QTest::mousePress(Form().DrawArea, b, Qt::NoModifier, from);
        QTest::mouseRelease(Form().DrawArea, b, Qt::NoModifier, to);
    }
};

TEST_F(ViewControlTest, AngleButtonsTurnTheTaonView) {
    TMainForm& f = StartWithSquare();
    f.DaoTeta1->click();
    EXPECT_EQ(0.01L, Data().View().ViewTeta);
    EXPECT_EQ(0.0L, Data().View().StepTeta);
    f.DaoTeta->click();
    f.DaoTeta->click();
    EXPECT_NEAR(-0.01, static_cast<double>(Data().View().ViewTeta), 1e-18);
    f.DaoPsi1->click();
    f.DaoPhi->click();
    f.DaoPhi1->click();
    f.DaoPhi1->click();
    EXPECT_EQ(0.01L, Data().View().ViewPsi);
    EXPECT_EQ(-0.01L, Data().View().ViewPhi);
    // Taon coordinates are never changed by the view.
    EXPECT_EQ(0.212L, State().ViewX[1]);
}

TEST_F(ViewControlTest, TaonsAreDrawnWhereTheProjectionPutsThem) {
    TaonState s = SquareState();
    // Taon 1 at x = 1 on the axis: 60 pixels right of the centre.
    s.X[1] = s.NewX[1] = s.ViewX[1] = 1;
    s.Y[1] = s.NewY[1] = s.ViewY[1] = 0;
    s.Z[1] = s.NewZ[1] = s.ViewZ[1] = 0;
    WriteState(Path("one.ato"), s);
    WriteStartFile(Path("one.ato"));
    TMainForm& f = Start();
    f.show();
    const int cx = Data().View().CenterX, cy = Data().View().CenterY;
    EXPECT_EQ(cy, static_cast<int>(std::lrint(f.PanTop() / 2.0)));
    EXPECT_EQ(0x00FF00u, Pixel(cx + 60, cy));
    EXPECT_EQ(0x00FF00u, Pixel(cx + 61, cy + 1));
    EXPECT_EQ(0u, Pixel(cx + 62, cy));
    // Zoom in by 9 (ZoomStep 3): 129 / 2 pixels per unit, 64.5 rounds to 64.
    f.DaoForvard->click();
    EXPECT_EQ(129.0L, Data().View().ViewScale);
    EXPECT_EQ(0x00FF00u, Pixel(cx + 64, cy));
    EXPECT_EQ(0u, Pixel(cx + 60, cy));
    // Shift by Ctrl+Right through the hidden menu: 5 pixels.
    f.Right1->trigger();
    EXPECT_EQ(5.0L, Data().View().ShiftX);
    EXPECT_EQ(0x00FF00u, Pixel(cx + 70, cy));  // 431.5 rounds to the even 432
    // Move to center restores scale and shift.
    f.MoveToCenter->trigger();
    EXPECT_EQ(0x00FF00u, Pixel(cx + 60, cy));
    // Mode 1 adds the overlays (fuchsia profile), mode 0 has none.
    EXPECT_EQ(0, Count(0xFF00FF));
    f.RB1->setChecked(true);
    f.RedrawPicture();
    EXPECT_GT(Count(0xFF00FF), 100);
}

TEST_F(ViewControlTest, ZoomButtonsFollowTheWrittenSteps) {
    TMainForm& f = StartWithSquare();
    f.DaoForvard->click();
    EXPECT_EQ(129.0L, Data().View().ViewScale);
    f.MoveToCenterClick();
    std::vector<long double> seen;
    for (int i = 0; i < 14; ++i) {
        f.DaoBack->click();
        seen.push_back(Data().View().ViewScale);
    }
    EXPECT_EQ(111.0L, seen[0]);
    EXPECT_EQ(30.0L, seen[9]);
    EXPECT_EQ(21.0L, seen[10]);
    EXPECT_EQ(7.0L, seen[11]);
    EXPECT_EQ(7.0L / 3.0L, seen[12]);
    // Track bar at 0: zoom unit 0.5, zoom in adds 1.5.
    f.MoveToCenterClick();
    f.TrackBar->setValue(0);
    EXPECT_EQ(0.0005L, Data().Controls().AngleStep);
    f.DaoForvard->click();
    EXPECT_EQ(121.5L, Data().View().ViewScale);
}

TEST_F(ViewControlTest, RightDragDownShrinksAndMoveToCenterKeepsTheTurn) {
    TMainForm& f = StartWithSquare();
    f.show();
    Drag(Qt::RightButton, QPoint(100, 100), QPoint(100, 110));
    EXPECT_EQ(90.0L, Data().View().ViewScale);
    Drag(Qt::LeftButton, QPoint(100, 100), QPoint(120, 100));
    EXPECT_NEAR(-0.2, static_cast<double>(Data().View().ViewPhi), 1e-15);
    EXPECT_EQ(0.0L, Data().View().StepPhi);
    f.MoveToCenterClick();
    EXPECT_EQ(120.0L, Data().View().ViewScale);
    EXPECT_NEAR(-0.2, static_cast<double>(Data().View().ViewPhi), 1e-15);
}

TEST_F(ViewControlTest, SpinKeepsTheSpiralTurningOnTimerTicks) {
    TMainForm& f = Start();  // first start: the spiral
    f.show();
    f.ShowSpin->trigger();
    EXPECT_TRUE(f.ShowSpin->isChecked());
    EXPECT_TRUE(Data().Controls().SpinOn);
    Drag(Qt::LeftButton, QPoint(200, 100), QPoint(230, 100));
    EXPECT_NEAR(-0.3, static_cast<double>(Data().View().StepPhi), 1e-15);
    const long double x2 = State().ViewX[2], y2 = State().ViewY[2];
    f.TimerTimer();
    // P2 = (1, 0, 0) turned twice more about z by -0.3.
    const long double angle = std::atan2(static_cast<double>(State().ViewY[2]), static_cast<double>(State().ViewX[2])) -
                              std::atan2(static_cast<double>(y2), static_cast<double>(x2));
    EXPECT_NEAR(-0.3, static_cast<double>(angle), 1e-12);
    f.DaoStop->click();
    EXPECT_EQ(0.0L, Data().View().StepPhi);
    const long double x2b = State().ViewX[2];
    f.TimerTimer();
    EXPECT_EQ(x2b, State().ViewX[2]);

    // Without ShowSpin the drag turns the figure once and the step is 0.
    f.ShowSpin->trigger();
    EXPECT_FALSE(f.ShowSpin->isChecked());
    Drag(Qt::LeftButton, QPoint(200, 100), QPoint(230, 100));
    EXPECT_EQ(0.0L, Data().View().StepPhi);
}

TEST_F(ViewControlTest, NumbersItemTogglesLabels) {
    TMainForm& f = StartWithSquare();
    f.ShowNumbersOfPoints->trigger();
    EXPECT_TRUE(Data().View().ShowNumbers);
    EXPECT_TRUE(f.ShowNumbersOfPoints->isChecked());
    f.ShowNumbersOfPoints->trigger();
    EXPECT_FALSE(Data().View().ShowNumbers);
    EXPECT_FALSE(f.ShowNumbersOfPoints->isChecked());
}

TEST_F(ViewControlTest, MenuKeysWinInTheFields) {
    TMainForm& f = StartWithSquare();
    ShowActive();
    f.EditDT->setFocus();
    f.EditDT->setCursorPosition(2);
    QTest::keyClick(f.EditDT, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(-5.0L, Data().View().ShiftX);
    EXPECT_EQ(2, f.EditDT->cursorPosition());
    QTest::keyClick(f.EditDT, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(5.0L, Data().View().ShiftY);
    QTest::keyClick(f.Comment, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(0.0L, Data().View().ShiftY);
    QTest::keyClick(&f, Qt::Key_F8);
    EXPECT_EQ(0.0L, Data().View().ShiftX);
    QTest::keyClick(&f, Qt::Key_F7);
    EXPECT_TRUE(Data().View().ShowNumbers);
}

TEST_F(ViewControlTest, ResizeSetsTheListingWidths) {
    TMainForm& f = StartWithSquare();
    f.show();
    // Panel1 at 473, as at the default window size.
    f.resize(473 + 1 + TMainForm::kPanel1Width, f.height());
    QApplication::processEvents();
    ASSERT_EQ(473, f.Panel1->x());
    EXPECT_EQ(466, f.DaonsTable->width());
    EXPECT_EQ(73, f.DaonsTable->horizontalHeader()->defaultSectionSize());
    EXPECT_EQ(471, f.FName->width());
    EXPECT_EQ(468, f.PageControl->width());
    EXPECT_EQ(f.PageControl->height() - 29, f.Comment->height());
    EXPECT_EQ(f.width(), f.BackBuffer.width());
    EXPECT_EQ(358, Data().View().CenterX);  // Round(717 / 2): the half to the even neighbour
}

}  // namespace
}  // namespace sphaeron::forms::testing

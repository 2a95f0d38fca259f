#include <gtest/gtest.h>

#include <cmath>

#include "common/canvas.h"
#include "sphaeron/view/tests/view_test_util.h"
#include "sphaeron/view/view.h"

namespace sphaeron {
namespace {

using testing::PutTaon;

struct Window {
    explicit Window(bool spiral) : canvas(725, 289) {
        StartView(view);
        StartViewControls(controls);
        state.SpiralMode = spiral;
        BuildStartStructure(state, view);
    }
    Picture P() { return Picture{state, view, canvas, {}}; }
    TaonState state;
    ViewState view;
    ViewControls controls;
    common::MemoryCanvas canvas;
};

TEST(ViewCommands, NudgesInTheTaonSceneTurnTheViewOnce) {
    Window w(false);
    Picture p = w.P();
    TurnDown(w.controls, p);
    EXPECT_EQ(0.01L, w.view.ViewTeta);
    EXPECT_EQ(0.0L, w.view.StepTeta);
    TurnUp(w.controls, p);
    TurnUp(w.controls, p);
    EXPECT_NEAR(-0.01, static_cast<double>(w.view.ViewTeta), 1e-18);
    TurnDownLeft(w.controls, p);
    TurnRight(w.controls, p);
    EXPECT_EQ(0.01L, w.view.ViewPsi);
    EXPECT_EQ(-0.01L, w.view.ViewPhi);
    EXPECT_EQ(0.212L, w.state.ViewX[1]);  // taon coordinates never change
}

TEST(ViewCommands, NudgeInTheSpiralTurnsTheFigureAndEndsThatAxisSpin) {
    Window w(true);
    Picture p = w.P();
    w.view.StepTeta = 0.2L;  // a spin in progress about x and z
    w.view.StepPhi = 0.3L;
    const long double y2 = w.state.ViewY[2];
    TurnLeft(w.controls, p);
    EXPECT_EQ(0.0L, w.view.StepPhi);
    EXPECT_EQ(0.2L, w.view.StepTeta);
    EXPECT_EQ(0.0L, w.view.ViewPhi);
    EXPECT_NE(y2, w.state.ViewY[2]);  // turned by (0.2, 0, 0.31)
    StopTurning(p);
    EXPECT_EQ(0.0L, w.view.StepTeta);
}

TEST(ViewCommands, ZoomSteps) {
    long double scale = 120;
    const double expected[] = {111, 102, 93, 84, 75, 66, 57, 48, 39, 30, 21, 7, 7.0 / 3, 7.0 / 9};
    for (double e : expected) {
        scale = ZoomedOut(scale, 3);
        EXPECT_NEAR(e, static_cast<double>(scale), 1e-15);
    }
    EXPECT_EQ(129.0L, ZoomedIn(120, 3));
    EXPECT_EQ(5.0L, ZoomedOut(5, 1));      // unit 1 leaves it unchanged
    EXPECT_EQ(4.0L, ZoomedOut(2, 0.5L));  // below 1 the division enlarges

    Window w(false);
    Picture p = w.P();
    SetAmplitude(w.controls, 0);
    ZoomIn(w.controls, p);
    EXPECT_EQ(121.5L, w.view.ViewScale);
    SetAmplitude(w.controls, 10);
    EXPECT_EQ(2.0L, w.controls.AngleStep);
    EXPECT_EQ(50.0L, w.controls.ZoomStep);
    SetAmplitude(w.controls, 11);  // no such position
    EXPECT_EQ(50.0L, w.controls.ZoomStep);
    EXPECT_EQ(7.0L, AmplitudeTable(5).ZoomStep);
    EXPECT_EQ(0.01L, AmplitudeTable(5).AngleStep);

    ZoomOut(w.controls, p);  // 121.5 is below 50 * 9
    EXPECT_EQ(121.5L / 50.0L, w.view.ViewScale);
}

TEST(ViewCommands, ShiftsAndMoveToCenter) {
    Window w(false);
    Picture p = w.P();
    ShiftLeft(w.controls, p);
    ShiftLeft(w.controls, p);
    ShiftDown(w.controls, p);
    EXPECT_EQ(-10.0L, w.view.ShiftX);
    EXPECT_EQ(5.0L, w.view.ShiftY);
    EXPECT_EQ(RoundPixel(362.0L + 0.212L * 60.0L - 10.0L), w.view.ScreenX[1]);
    ShiftRight(w.controls, p);
    ShiftUp(w.controls, p);
    EXPECT_EQ(-5.0L, w.view.ShiftX);
    EXPECT_EQ(0.0L, w.view.ShiftY);

    TurnDownLeft(w.controls, p);
    ZoomIn(w.controls, p);
    MoveToCenter(p);
    EXPECT_EQ(120.0L, w.view.ViewScale);
    EXPECT_EQ(0.0L, w.view.ShiftX);
    EXPECT_EQ(0.01L, w.view.ViewPsi);  // the turned view stays
}

TEST(ViewCommands, DragsInTheSpiralWithAndWithoutSpin) {
    Window w(true);
    Picture p = w.P();
    const TaonState start = w.state;
    EXPECT_TRUE(ToggleSpin(w.controls, false));

    StartDrag(w.controls, MouseButton::Left, 100, 50);
    EndDrag(w.controls, p, MouseButton::Left, 130, 50);
    EXPECT_NEAR(-0.3, static_cast<double>(w.view.StepPhi), 1e-18);
    const long double x2 = w.state.ViewX[2];
    EXPECT_NEAR(std::cos(-0.3), static_cast<double>(x2), 1e-15);

    AdvanceSpin(w.controls, p);  // each tick turns further
    EXPECT_NEAR(std::cos(-0.6), static_cast<double>(w.state.ViewX[2]), 1e-15);
    StopTurning(p);
    EXPECT_EQ(0.0L, w.view.StepPhi);
    const long double stopped = w.state.ViewX[2];
    AdvanceSpin(w.controls, p);
    EXPECT_EQ(stopped, w.state.ViewX[2]);

    // Without spin: one turn, then the step angles are back at 0.
    Window u(true);
    Picture q = u.P();
    StartDrag(u.controls, MouseButton::Middle, 100, 50);  // any non-right button
    EndDrag(u.controls, q, MouseButton::Middle, 130, 50);
    EXPECT_EQ(0.0L, u.view.StepPhi);
    EXPECT_EQ(x2, u.state.ViewX[2]);
    AdvanceSpin(u.controls, q);
    EXPECT_EQ(x2, u.state.ViewX[2]);
    EXPECT_EQ(start.ViewZ[3], u.state.ViewZ[3]);
}

TEST(ViewCommands, DragsInTheTaonScene) {
    Window w(false);
    Picture p = w.P();
    // Right button 10 pixels down: scale 120 -> 90; 4 to the left: +0.04 psi.
    StartDrag(w.controls, MouseButton::Right, 200, 100);
    EndDrag(w.controls, p, MouseButton::Right, 196, 110);
    EXPECT_EQ(90.0L, w.view.ViewScale);
    EXPECT_NEAR(0.04, static_cast<double>(w.view.ViewPsi), 1e-18);
    EXPECT_EQ(0.0L, w.view.StepPsi);

    // Left button down and to the right: +teta, -phi; spin makes no
    // difference in the taon scene.
    ToggleSpin(w.controls, false);
    StartDrag(w.controls, MouseButton::Left, 10, 10);
    EndDrag(w.controls, p, MouseButton::Left, 15, 13);
    EXPECT_NEAR(0.03, static_cast<double>(w.view.ViewTeta), 1e-18);
    EXPECT_NEAR(-0.05, static_cast<double>(w.view.ViewPhi), 1e-18);
    EXPECT_EQ(0.0L, w.view.StepTeta);
    EXPECT_EQ(0.0L, w.view.StepPhi);
    EXPECT_EQ(90.0L, w.view.ViewScale);
    EXPECT_EQ(0.212L, w.state.ViewX[1]);
}

TEST(ViewCommands, NumbersSpinFlagAndResize) {
    Window w(false);
    Picture p = w.P();
    bool mark = false;
    ToggleNumbers(p, false, [&](bool on) { mark = on; });
    EXPECT_TRUE(w.view.ShowNumbers);
    EXPECT_TRUE(mark);
    EXPECT_EQ(4u, w.canvas.Texts().size());
    EXPECT_FALSE(ToggleSpin(w.controls, true));

    ResizeLayout r = ComputeResizeLayout(473, 150);
    EXPECT_EQ(466, r.DaonsTableWidth);
    EXPECT_EQ(73, r.DefaultColWidth);
    EXPECT_EQ(471, r.FNameWidth);
    EXPECT_EQ(471, r.CommentWidth);
    EXPECT_EQ(121, r.CommentHeight);
    EXPECT_EQ(468, r.PageControlWidth);
    EXPECT_EQ(-4, ComputeResizeLayout(10, 0).DefaultColWidth);  // truncates towards zero

    ResizePicture(p, 1001, 401);
    EXPECT_EQ(500, w.view.CenterX);
    EXPECT_EQ(200, w.view.CenterY);
}

}  // namespace
}  // namespace sphaeron

#include "sphaeron/view/view_commands.h"

namespace sphaeron {

namespace {

long double& StepAngle(ViewState& v, Axis a) {
    switch (a) {
        case Axis::Teta: return v.StepTeta;
        case Axis::Psi: return v.StepPsi;
        default: return v.StepPhi;
    }
}

long double& ViewAngle(ViewState& v, Axis a) {
    switch (a) {
        case Axis::Teta: return v.ViewTeta;
        case Axis::Psi: return v.ViewPsi;
        default: return v.ViewPhi;
    }
}

constexpr AmplitudeStep kAmplitude[kTrackBarMax + 1] = {
    {0.0005L, 0.5L}, {0.001L, 1.0L}, {0.002L, 2.0L}, {0.003L, 3.0L}, {0.005L, 5.0L}, {0.01L, 7.0L},
    {0.05L, 10.0L},  {0.1L, 15.0L},  {0.5L, 20.0L},  {1.0L, 30.0L},  {2.0L, 50.0L},
};

// A pixel difference as the drag arithmetic uses it (no 32-bit overflow).
long double Pixels(std::int32_t a, std::int32_t b) {
    return static_cast<long double>(static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b));
}

// shift := shift + delta (delta is plus or minus ShiftStep), then the redraw.
void ShiftPicture(Picture& p, long double& shift, long double delta) {
    shift = shift + delta;
    RedrawPicture(p);
}

}  // namespace

void StartViewControls(ViewControls& c) {
    c.AngleStep = 0.01L;
    c.ZoomStep = 3.0L;
    c.ShiftStep = 5.0L;
}

AmplitudeStep AmplitudeTable(int position) {
    if (position < kTrackBarMin) position = kTrackBarMin;
    if (position > kTrackBarMax) position = kTrackBarMax;
    return kAmplitude[position];
}

void NudgeAngle(Picture& p, Axis axis, long double delta) {
    long double& step = StepAngle(p.view, axis);
    step = step + delta;
    if (p.state.SpiralMode) {
        DrawFigureScene(p);
    } else {
        long double& view = ViewAngle(p.view, axis);
        view = view + step;
        DrawTaonScene(p);
    }
    step = 0.0L;
}

void TurnDown(const ViewControls& c, Picture& p) { NudgeAngle(p, Axis::Teta, c.AngleStep); }
void TurnUp(const ViewControls& c, Picture& p) { NudgeAngle(p, Axis::Teta, -c.AngleStep); }
void TurnDownLeft(const ViewControls& c, Picture& p) { NudgeAngle(p, Axis::Psi, c.AngleStep); }
void TurnUpRight(const ViewControls& c, Picture& p) { NudgeAngle(p, Axis::Psi, -c.AngleStep); }
void TurnLeft(const ViewControls& c, Picture& p) { NudgeAngle(p, Axis::Phi, c.AngleStep); }
void TurnRight(const ViewControls& c, Picture& p) { NudgeAngle(p, Axis::Phi, -c.AngleStep); }

void StopTurning(Picture& p) {
    p.view.StepPsi = 0.0L;
    p.view.StepTeta = 0.0L;
    p.view.StepPhi = 0.0L;
    RedrawPicture(p);
}

long double ZoomedIn(long double scale, long double zoomStep) { return scale + zoomStep * 3.0L; }

long double ZoomedOut(long double scale, long double zoomStep) {
    if (scale < zoomStep * 9.0L) return scale / zoomStep;
    return scale - zoomStep * 3.0L;
}

void ZoomIn(const ViewControls& c, Picture& p) {
    p.view.ViewScale = ZoomedIn(p.view.ViewScale, c.ZoomStep);
    RedrawPicture(p);
}

void ZoomOut(const ViewControls& c, Picture& p) {
    p.view.ViewScale = ZoomedOut(p.view.ViewScale, c.ZoomStep);
    RedrawPicture(p);
}

void ShiftLeft(const ViewControls& c, Picture& p) { ShiftPicture(p, p.view.ShiftX, -c.ShiftStep); }
void ShiftRight(const ViewControls& c, Picture& p) { ShiftPicture(p, p.view.ShiftX, c.ShiftStep); }
void ShiftUp(const ViewControls& c, Picture& p) { ShiftPicture(p, p.view.ShiftY, -c.ShiftStep); }
void ShiftDown(const ViewControls& c, Picture& p) { ShiftPicture(p, p.view.ShiftY, c.ShiftStep); }

void MoveToCenter(Picture& p) {
    p.view.ViewScale = kDefaultViewScale;
    p.view.ShiftX = 0.0L;
    p.view.ShiftY = 0.0L;
    RedrawPicture(p);
}

void SetAmplitude(ViewControls& c, int position) {
    if (position < kTrackBarMin || position > kTrackBarMax) return;
    c.AngleStep = kAmplitude[position].AngleStep;
    c.ZoomStep = kAmplitude[position].ZoomStep;
}

bool ToggleSpin(ViewControls& c, bool itemChecked) {
    c.SpinOn = !itemChecked;
    return c.SpinOn;
}

void ToggleNumbers(Picture& p, bool itemChecked, const std::function<void(bool)>& setCheckMark) {
    p.view.ShowNumbers = !itemChecked;
    if (setCheckMark) setCheckMark(p.view.ShowNumbers);
    RedrawPicture(p);
}

void AdvanceSpin(const ViewControls& c, Picture& p) {
    if (c.SpinOn) RedrawPicture(p);
}

void StartDrag(ViewControls& c, MouseButton button, int x, int y) {
    if (button == MouseButton::Right) {
        c.RightDownX = x;
        c.RightDownY = y;
    } else {
        c.LeftDownX = x;
        c.LeftDownY = y;
    }
}

void EndDrag(ViewControls& c, Picture& p, MouseButton button, int x, int y) {
    ViewState& v = p.view;
    const bool right = button == MouseButton::Right;
    if (right) {
        if (x > c.RightDownX) v.StepPsi = v.StepPsi - Pixels(x, c.RightDownX) * c.AngleStep;
        if (x < c.RightDownX) v.StepPsi = v.StepPsi + Pixels(c.RightDownX, x) * c.AngleStep;
        if (y > c.RightDownY) v.ViewScale = v.ViewScale - Pixels(y, c.RightDownY) * c.ZoomStep;
        if (y < c.RightDownY) v.ViewScale = v.ViewScale + Pixels(c.RightDownY, y) * c.ZoomStep;
    } else {
        if (x > c.LeftDownX) v.StepPhi = v.StepPhi - Pixels(x, c.LeftDownX) * c.AngleStep;
        if (x < c.LeftDownX) v.StepPhi = v.StepPhi + Pixels(c.LeftDownX, x) * c.AngleStep;
        if (y > c.LeftDownY) v.StepTeta = v.StepTeta + Pixels(y, c.LeftDownY) * c.AngleStep;
        if (y < c.LeftDownY) v.StepTeta = v.StepTeta - Pixels(c.LeftDownY, y) * c.AngleStep;
    }
    if (p.state.SpiralMode) {
        DrawFigureScene(p);
    } else {
        if (right) {
            v.ViewPsi = v.ViewPsi + v.StepPsi;
        } else {
            v.ViewPhi = v.ViewPhi + v.StepPhi;
            v.ViewTeta = v.ViewTeta + v.StepTeta;
        }
        DrawTaonScene(p);
        v.StepPsi = 0.0L;
        v.StepPhi = 0.0L;
        v.StepTeta = 0.0L;
    }
    if (!c.SpinOn) {
        v.StepPsi = 0.0L;
        v.StepPhi = 0.0L;
        v.StepTeta = 0.0L;
    }
}

ResizeLayout ComputeResizeLayout(int panel1Left, int pageControlHeight) {
    const int L = panel1Left;
    return ResizeLayout{L - 2, pageControlHeight - 29, L - 2, L - 5, L - 7, (L - 35) / 6};
}

void ResizePicture(Picture& p, int formWidth, int panTop) {
    UpdateCenter(p.view, formWidth, panTop);
    RedrawPicture(p);
}

}  // namespace sphaeron

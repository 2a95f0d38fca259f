#pragma once
// The controls of the windows: the shared filled circle, drawing area and
// back-buffer canvas, the colours the windows name, and a plain container
// that reports its resizes.
#include <QColor>
#include <QWidget>
#include <functional>

#include "common/colours.h"
#include "common/qt/controls.h"

namespace sphaeron::forms {

using common::qt::BackBufferCanvas;
using common::qt::DrawingArea;
using common::qt::TShape;

// The colours of the windows' controls.
inline const QColor kLime = common::qt::ToQColor(common::kLime);
inline const QColor kGreen = common::qt::ToQColor(common::kGreen);
inline const QColor kRed = common::qt::ToQColor(common::kRed);
inline const QColor kMaroon = common::qt::ToQColor(common::kMaroon);
inline const QColor kYellow = common::qt::ToQColor(common::kYellow);
inline const QColor kBlue = common::qt::ToQColor(common::kBlue);

// A container that calls back after every resize; a failure of the callback
// is shown through `dialogs` (not owned).
class ResizingWidget : public QWidget {
public:
    ResizingWidget(QWidget* parent, common::qt::Dialogs& dialogs) : QWidget(parent), dialogs_(dialogs) {}
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    common::qt::Dialogs& dialogs_;
};

}  // namespace sphaeron::forms

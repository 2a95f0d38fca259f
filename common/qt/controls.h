#pragma once
// Controls both windows use that Qt does not have as such: the small filled
// circle and the drawing area that shows the back buffer the pictures are
// drawn into.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "common/colours.h"
#include "common/qt/qimage_canvas.h"

class QMenu;

namespace common::qt {

class Dialogs;

inline QColor ToQColor(Rgb c) { return QColor::fromRgb(0xFF000000u | c); }

// The drawing surface on a window's back buffer. Pixels are written straight
// into the image's memory, whose address is taken once per drawing pass
// (Bind) instead of once per pixel.
class BackBufferCanvas : public QImageCanvas {
public:
    explicit BackBufferCanvas(QImage* image) : QImageCanvas(image) {}
    // Call before each drawing pass (the image may have been replaced or
    // shared since the last one).
    void Bind() {
        bits_ = Image()->bits();
        bytesPerLine_ = Image()->bytesPerLine();
    }

protected:
    void Put(int x, int y, Rgb c) override {
        reinterpret_cast<QRgb*>(bits_ + static_cast<qsizetype>(y) * bytesPerLine_)[x] = 0xFF000000u | c;
    }

private:
    uchar* bits_ = nullptr;
    qsizetype bytesPerLine_ = 0;
};

// A small filled circle with a black outline.
class TShape : public QWidget {
public:
    explicit TShape(QWidget* parent = nullptr) : QWidget(parent) {}
    void SetBrushColor(QColor c);
    QColor BrushColor() const { return brush_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_ = Qt::white;
};

// Shows the back buffer (black where the buffer does not reach) and passes
// mouse presses and releases on to the window; a failure in those handlers
// is reported through the dialogs.
class DrawingArea : public QWidget {
public:
    DrawingArea(QWidget* parent, const QImage* buffer, Dialogs& dialogs);

    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const QImage* buffer_;
    Dialogs& dialogs_;
};

// File > Recent Runs as it opens: the ten newest of `runs` (newest first)
// by file name, each opening its run through `open`; "(none)" greyed when
// there is none.
void FillRecentRuns(QMenu* menu, const std::vector<std::string>& runs,
                    const std::function<void(const std::string&)>& open);

}  // namespace common::qt

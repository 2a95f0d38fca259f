#pragma once
// Small controls of the main window that Qt does not have as such: the
// filled circle shape, the drawing area that shows the back buffer, and a
// plain container that reports its resizes.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>

#include "common/qt/qimage_canvas.h"

namespace sphaeron::forms {

// The colours of the windows' controls.
inline const QColor kLime(0, 255, 0);
inline const QColor kGreen(0, 128, 0);
inline const QColor kRed(255, 0, 0);
inline const QColor kMaroon(128, 0, 0);
inline const QColor kYellow(255, 255, 0);
inline const QColor kBlue(0, 0, 255);

// The drawing surface on the window's back buffer. Pixels are written
// straight into the image's memory, whose address is taken once per drawing
// pass (Bind) instead of once per pixel.
class BackBufferCanvas : public common::QImageCanvas {
public:
    explicit BackBufferCanvas(QImage* image) : QImageCanvas(image) {}
    // Call before each drawing pass (the image may have been replaced or
    // shared since the last one).
    void Bind() {
        bits_ = Image()->bits();
        bytesPerLine_ = Image()->bytesPerLine();
    }

protected:
    void Put(int x, int y, common::Rgb c) override {
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

// Shows the back buffer the pictures are drawn into and passes mouse
// presses and releases on to the window.
class DrawingArea : public QWidget {
public:
    DrawingArea(QWidget* parent, const QImage* buffer);

    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const QImage* buffer_;
};

// A container that calls back after every resize.
class ResizingWidget : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace sphaeron::forms

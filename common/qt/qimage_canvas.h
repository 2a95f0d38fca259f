#pragma once
// The drawing surface on a QImage back buffer (Format_RGB32). Lines and
// pixels go through the common rasteriser; text is drawn by Qt on an opaque
// rectangle in the brush colour.
#include <QFont>
#include <QImage>

#include <algorithm>

#include "common/canvas.h"

namespace common {

class QImageCanvas : public Canvas {
public:
    explicit QImageCanvas(QImage* image) : image_(image) {}

    int Width() const override { return image_->width(); }
    int Height() const override { return image_->height(); }
    void TextOut(int x, int y, const std::string& text) override;

    void SetFont(const QFont& font) { font_ = font; }
    QImage* Image() const { return image_; }
    Rgb Pixel(int x, int y) const { return image_->pixel(x, y) & 0xFFFFFF; }

protected:
    void Put(int x, int y, Rgb c) override {
        reinterpret_cast<QRgb*>(image_->scanLine(y))[x] = 0xFF000000u | c;
    }
    void PutRow(int x1, int x2, int y, Rgb c) override {
        QRgb* row = reinterpret_cast<QRgb*>(image_->scanLine(y));
        std::fill(row + x1, row + x2, 0xFF000000u | c);
    }

private:
    QImage* image_;
    QFont font_;
};

}  // namespace common

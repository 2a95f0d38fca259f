#pragma once
// The drawing surface the pictures are drawn through: exactly the operations
// the windows use. Colours are 0xRRGGBB. Coordinates outside the surface are
// clipped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/colours.h"

namespace common {

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    void SetPenColor(Rgb c) { pen_ = c; }
    void SetBrushColor(Rgb c) { brush_ = c; }
    void SetFontColor(Rgb c) { font_ = c; }
    Rgb PenColor() const { return pen_; }
    Rgb BrushColor() const { return brush_; }
    Rgb FontColor() const { return font_; }

    // Fills [x1, x2) x [y1, y2) with the brush colour.
    void FillRect(int x1, int y1, int x2, int y2);
    void MoveTo(int x, int y) {
        penX_ = x;
        penY_ = y;
    }
    // One-pixel line in the pen colour from the pen position to (x, y): the
    // start pixel is set, the end pixel is not; then the pen is at (x, y).
    void LineTo(int x, int y);
    // Sets one pixel in the given colour (clipped).
    void SetPixel(int x, int y, Rgb c) {
        if (x >= 0 && y >= 0 && x < Width() && y < Height()) Put(x, y, c);
    }
    // Text with its top-left corner at (x, y), in the font colour on the
    // brush colour.
    virtual void TextOut(int x, int y, const std::string& text) = 0;

    int PenX() const { return penX_; }
    int PenY() const { return penY_; }

protected:
    // Called only for pixels inside the surface.
    virtual void Put(int x, int y, Rgb c) = 0;
    // Fills one row from x1 to x2 (exclusive), already clipped.
    virtual void PutRow(int x1, int x2, int y, Rgb c) {
        for (int x = x1; x < x2; ++x) Put(x, y, c);
    }

private:
    Rgb pen_ = kBlack;
    Rgb brush_ = kWhite;
    Rgb font_ = kBlack;
    int penX_ = 0;
    int penY_ = 0;
};

// Pixels of the line from (x0, y0) to (x1, y1) under the rule of LineTo,
// restricted to 0 <= x < width, 0 <= y < height; calls put(x, y) in order.
template <class Put>
void RasteriseLine(int x0, int y0, int x1, int y1, int width, int height, Put put);

// An in-memory surface for the windowless tools and tests. Text is not
// rasterised: each call is recorded with its colours.
class MemoryCanvas : public Canvas {
public:
    struct TextCall {
        int x, y;
        std::string text;
        Rgb font, brush;
    };

    MemoryCanvas(int width, int height, Rgb fill = kBlack);

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void TextOut(int x, int y, const std::string& text) override {
        texts_.push_back({x, y, text, FontColor(), BrushColor()});
    }

    Rgb Pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    const std::vector<Rgb>& Pixels() const { return pixels_; }
    const std::vector<TextCall>& Texts() const { return texts_; }
    void ClearTexts() { texts_.clear(); }
    // Number of pixels of the given colour.
    long Count(Rgb c) const;

protected:
    void Put(int x, int y, Rgb c) override { pixels_[static_cast<std::size_t>(y) * width_ + x] = c; }
    void PutRow(int x1, int x2, int y, Rgb c) override {
        auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
        std::fill(row + x1, row + x2, c);
    }

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
    std::vector<TextCall> texts_;
};

template <class Put>
void RasteriseLine(int x0, int y0, int x1, int y1, int width, int height, Put put) {
    long long dx = static_cast<long long>(x1) - x0;
    long long dy = static_cast<long long>(y1) - y0;
    long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    bool xMajor = adx >= ady;
    long long n = xMajor ? adx : ady;
    if (n == 0) return;
    long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
    long long dmajor = xMajor ? dx : dy, dminor = xMajor ? dy : dx;
    long long sign = dmajor < 0 ? -1 : 1;
    long long majorLimit = xMajor ? width : height;
    long long minorLimit = xMajor ? height : width;
    // Only the steps whose major coordinate lies on the surface.
    long long lo, hi;  // i in [lo, hi]
    if (sign > 0) {
        lo = -major0;
        hi = majorLimit - 1 - major0;
    } else {
        lo = major0 - (majorLimit - 1);
        hi = major0;
    }
    if (lo < 0) lo = 0;
    if (hi > n - 1) hi = n - 1;
    for (long long i = lo; i <= hi; ++i) {
        long long major = major0 + i * sign;
        // minor0 + ceil((2 i dminor - n) / (2 n)): nearest, ties to the smaller.
        __int128 num = static_cast<__int128>(2) * i * dminor - n;
        __int128 den = static_cast<__int128>(2) * n;
        __int128 q = num >= 0 ? (num + den - 1) / den : -((-num) / den);
        long long minor = minor0 + static_cast<long long>(q);
        if (minor < 0 || minor >= minorLimit) continue;
        if (xMajor)
            put(static_cast<int>(major), static_cast<int>(minor));
        else
            put(static_cast<int>(minor), static_cast<int>(major));
    }
}

}  // namespace common

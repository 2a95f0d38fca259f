#include "common/canvas.h"

#include <algorithm>

namespace common {

void Canvas::FillRect(int x1, int y1, int x2, int y2) {
    int left = std::max(x1, 0), top = std::max(y1, 0);
    int right = std::min(x2, Width()), bottom = std::min(y2, Height());
    if (left >= right) return;
    for (int y = top; y < bottom; ++y) PutRow(left, right, y, brush_);
}

void Canvas::LineTo(int x, int y) {
    Rgb c = pen_;
    RasteriseLine(penX_, penY_, x, y, Width(), Height(), [&](int px, int py) { Put(px, py, c); });
    penX_ = x;
    penY_ = y;
}

MemoryCanvas::MemoryCanvas(int width, int height, Rgb fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_, fill) {}

long MemoryCanvas::Count(Rgb c) const { return std::count(pixels_.begin(), pixels_.end(), c); }

}  // namespace common

#include "common/qt/controls.h"

#include <QMouseEvent>
#include <QPainter>

#include "common/qt/guarded_app.h"

namespace common::qt {

void TShape::SetBrushColor(QColor c) {
    if (c == brush_) return;
    brush_ = c;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(brush_);
    int d = qMin(width(), height()) - 1;
    p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

DrawingArea::DrawingArea(QWidget* parent, const QImage* buffer, Dialogs& dialogs)
    : QWidget(parent), buffer_(buffer), dialogs_(dialogs) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void DrawingArea::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    QRect r = event->rect();
    p.fillRect(r, Qt::black);
    p.drawImage(r.topLeft(), *buffer_, r);
}

void DrawingArea::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) Guarded(dialogs_, window(), [&] { OnMouseDown(event); });
}

void DrawingArea::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp) Guarded(dialogs_, window(), [&] { OnMouseUp(event); });
}

}  // namespace common::qt

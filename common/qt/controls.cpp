#include "common/qt/controls.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <filesystem>

#include "common/qt/dialogs.h"
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

void FillRecentRuns(QMenu* menu, const std::vector<std::string>& runs,
                    const std::function<void(const std::string&)>& open) {
    constexpr std::size_t kShown = 10;
    menu->clear();
    for (std::size_t i = 0; i < runs.size() && i < kShown; ++i) {
        const std::string path = runs[i];
        QAction* a = menu->addAction(DisplayPath(std::filesystem::path(path).filename().string()));
        QObject::connect(a, &QAction::triggered, menu, [open, path] { open(path); });
    }
    if (runs.empty()) menu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

}  // namespace common::qt

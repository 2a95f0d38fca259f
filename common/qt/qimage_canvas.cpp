#include "common/qt/qimage_canvas.h"

#include <QFontMetrics>
#include <QPainter>

namespace common {

void QImageCanvas::TextOut(int x, int y, const std::string& text) {
    QString s = QString::fromLocal8Bit(text.c_str());
    QFontMetrics fm(font_);
    QRect box(x, y, fm.horizontalAdvance(s), fm.height());
    QPainter p(image_);
    p.setFont(font_);
    p.fillRect(box, QColor::fromRgb(0xFF000000u | BrushColor()));
    p.setPen(QColor::fromRgb(0xFF000000u | FontColor()));
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, s);
}

}  // namespace common

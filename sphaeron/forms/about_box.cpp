#include "sphaeron/forms/about_box.h"

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "common/qt/qimage_canvas.h"
#include "common/version.h"
#include "sphaeron/view/view.h"

namespace sphaeron::forms {

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::black);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        const qreal r = size * 0.16;
        const struct {
            qreal x, y;
            QColor c;
        } dots[] = {{0.30, 0.32, QColor(0, 255, 0)}, {0.70, 0.30, QColor(255, 255, 0)}, {0.50, 0.68, QColor(255, 0, 0)}};
        for (const auto& d : dots) {
            p.setBrush(d.c);
            p.drawEllipse(QPointF(d.x * size, d.y * size), r, r);
        }
        icon.addPixmap(pm);
    }
    return icon;
}

QImage SpiralPicture(int width, int height) {
    TaonState s;
    s.SpiralMode = true;
    ViewState v;
    StartView(v, width, height);
    BuildStartStructure(s, v);
    v.ViewScale = width / 2.0L;
    v.ShiftX = -1.5L * v.ViewScale / 2;
    v.StepTeta = 1.2L;
    v.StepPhi = 0.2L;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    common::QImageCanvas canvas(&image);
    DrawFigureScene(s, v, canvas);
    return image;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(300, 220);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setGeometry(16, 16, 32, 32);

    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap::fromImage(SpiralPicture(120, 120)));
    picture->setGeometry(16, 60, 120, 120);
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    auto* product = new QLabel(QStringLiteral("Sphaeron"), this);
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    product->setGeometry(60, 16, 220, 32);

    auto* version = new QLabel(QStringLiteral("Version ") + QString::fromLatin1(common::kShortVersion), this);
    version->setGeometry(150, 70, 140, 20);
    auto* freeware = new QLabel(QStringLiteral("freeware"), this);
    freeware->setGeometry(150, 96, 140, 20);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(200, 180, 80, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace sphaeron::forms

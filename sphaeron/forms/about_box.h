#pragma once
// The About box, and the program's icon and picture.
#include <QDialog>
#include <QIcon>
#include <QImage>

class QPushButton;

namespace sphaeron::forms {

// Taons of the three group colours on black.
QIcon ProgramIcon();
// The spiral figure, turned for a view from the side, on black.
QImage SpiralPicture(int width, int height);

class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QPushButton* OKButton = nullptr;
};

}  // namespace sphaeron::forms

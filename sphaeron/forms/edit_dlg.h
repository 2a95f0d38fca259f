#pragma once
// The gravon edit dialog. For now only its frame: the caption, the size and
// the OK and Cancel buttons; the fields follow with the dialog itself.
#include <QDialog>

#include "sphaeron/forms/session.h"

class QPushButton;

namespace sphaeron::forms {

class TEditDlg : public QDialog {
public:
    TEditDlg(Session& session, QWidget* parent = nullptr);

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    Session& session_;
};

}  // namespace sphaeron::forms

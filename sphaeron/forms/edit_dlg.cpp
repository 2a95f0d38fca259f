#include "sphaeron/forms/edit_dlg.h"

#include <QLabel>
#include <QPushButton>

namespace sphaeron::forms {

TEditDlg::TEditDlg(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    setWindowTitle(QStringLiteral(" Editing of gravon's values"));
    setFixedSize(787, 447);
    auto* note = new QLabel(QStringLiteral("The editing of gravons is not available yet."), this);
    note->setGeometry(20, 20, 747, 24);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(600, 410, 80, 26);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(690, 410, 80, 26);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    (void)session_;
}

}  // namespace sphaeron::forms

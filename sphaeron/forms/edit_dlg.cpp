#include "sphaeron/forms/edit_dlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QTableView>
#include <optional>
#include <string>

#include "common/errors.h"
#include "common/numtext.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/listing_model.h"
#include "sphaeron/forms/main_form.h"

// The edit dialog's operations and handlers: the grid and the shown
// particle, "&Yes", "Save As", "OK", "Cancel" and the calculators. The
// state and the files are the session's.
namespace sphaeron::forms {

namespace {

QString Text(long double value) { return QString::fromLatin1(common::FormatReal(value, TMainForm::Separator())); }

long double Value(const QString& text) { return common::ParseReal(text.toStdString(), TMainForm::Separator()); }

// A number into a field, shown from its first digit on.
void Show(QLineEdit* field, long double value) {
    field->setText(Text(value));
    field->setCursorPosition(0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Operations

int TEditDlg::CurrentRow() const {
    QModelIndex current = DaonsTable->currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TEditDlg::SelectRow(int k) {
    QModelIndex current = DaonsTable->currentIndex();
    DaonsTable->setCurrentIndex(Grid->index(k - 1, current.isValid() ? current.column() : 0));
}

void TEditDlg::FillGravonGrid() {
    const bool vel = DialogListVelocities;
    Grid->SetCell(0, 0, vel ? QStringLiteral("Velo") : QStringLiteral("Gravons"));
    Grid->ShowListing(MakeListing(session_.State(), vel, TMainForm::Separator()), kMaxTaons);
    GridCorner->setText(Grid->Cell(0, 0));
}

void TEditDlg::ShowGravon() {
    const TaonState& s = session_.State();
    const int k = CurrentRow();
    NumberOfTaon->setText(QString::number(k));
    Show(EditX, s.X[k]);
    Show(EditY, s.Y[k]);
    Show(EditZ, s.Z[k]);
    Show(EditV, s.Ux[k]);
    Show(EditU, s.Uy[k]);
    Show(EditW, s.Uz[k]);
    DaoTrue->setChecked(s.Present(k));
}

void TEditDlg::ReadDialogParameters() {
    std::array<std::string, kParameterCount> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = ParameterFields[i]->text().toStdString();
    session_.ReadParameters(texts, TMainForm::Separator());
}

Point TEditDlg::ReadGridRow(const QString& number) const {
    const int row = common::ParseInt(number.toStdString());
    if (row < 0)
        throw common::AppError("The gravon number " + std::to_string(row) +
                               " is negative; gravons are numbered from 1 to 100.");
    Point p{};
    for (int col = 1; col <= 3; ++col)
        // Beyond the last row the grid holds nothing.
        p[static_cast<std::size_t>(col - 1)] = Value(row < Grid->RowCount() ? Grid->Cell(col, row) : QString());
    return p;
}

// ---------------------------------------------------------------------------
// Handlers

void TEditDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    Guarded(dialogs_, [this] { FormPaint(); });
    EditX->setFocus(Qt::OtherFocusReason);
}

bool TEditDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        Handle([this] { DaonsTableDblClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TEditDlg::FormPaint() {
    EditFileName->setText(common::qt::DisplayPath(session_.DocumentName()));
    ShowGravon();
    for (int i = 0; i < kParameterCount; ++i)
        Show(ParameterFields[static_cast<std::size_t>(i)], *ParameterField(session_.State(), i));
    FillGravonGrid();
}

void TEditDlg::DaonsTableClick() {
    ShowGravon();
    FillGravonGrid();
}

void TEditDlg::DaonsTableDblClick() {
    DialogListVelocities = !DialogListVelocities;
    FillGravonGrid();
}

void TEditDlg::SubmitClick() {
    const int k = common::ParseInt(NumberOfTaon->text().toStdString());
    if (k < 1 || k > kMaxTaons) throw common::ConvertError(common::InvalidIntText(NumberOfTaon->text().toStdString()));
    std::array<std::string, 6> texts;
    const QLineEdit* const fields[6] = {EditX, EditY, EditZ, EditV, EditU, EditW};
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = fields[i]->text().toStdString();
    session_.SubmitTaon(k, texts, DaoTrue->isChecked(), TMainForm::Separator());
    FillGravonGrid();
}

void TEditDlg::SaveasClick() {
    std::optional<std::string> path = AskDocumentToSave(dialogs_, this);
    if (!path) return;
    EditFileName->setText(common::qt::DisplayPath(*path));
    ReadDialogParameters();
    session_.SaveCopy(*path);
}

void TEditDlg::OKBtnClick() {
    // The result is OK from the start: the dialog closes with OK also when
    // the save dialog is cancelled or a step fails.
    setResult(QDialog::Accepted);
    Handle([this] { Confirm(); });
    done(QDialog::Accepted);
}

void TEditDlg::Confirm() {
    std::optional<std::string> path = AskDocumentToSave(dialogs_, this);
    if (!path) return;
    ReadDialogParameters();
    session_.SaveEditedDocument(*path);
}

void TEditDlg::CancelBtnClick() { reject(); }

void TEditDlg::CalculateClick(int n) {
    DistanceCalculator& c = Calculators[static_cast<std::size_t>(n - 1)];
    const Point first = ReadGridRow(c.Part1->text());
    const Point second = ReadGridRow(c.Part2->text());
    Show(c.Result, PointDistance(first, second));
}

void TEditDlg::ResetClick(int n) {
    DistanceCalculator& c = Calculators[static_cast<std::size_t>(n - 1)];
    c.Part1->setText(QStringLiteral("0"));
    c.Part2->setText(QStringLiteral("0"));
    c.Result->setText(QStringLiteral("0"));
}

}  // namespace sphaeron::forms

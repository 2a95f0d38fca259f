// The monkey in the edit dialog: File > New, the dialog's fields and grid,
// "&Yes", "Save As", "OK", "Cancel" and the calculators.
#include "monkey.h"

namespace sphaeron::forms::testing::monkey {

void Monkey::NewCommand() {
    TMainForm& f = Form();
    const bool byKey = Chance(50);
    Note(byKey ? "F2" : "New");
    dialogAccepted_ = false;
    if (byKey)
        Key(&f, Qt::Key_F2);
    else
        f.New1->trigger();
    Require(!Dlg().isVisible(), "the edit dialog stayed open");
    EnsureActive();
    if (!dialogAccepted_) return;
    Require(!State().SpiralMode && f.Go->isEnabled() &&
                f.FName->text() == QString::fromStdString(Data().DocumentName) && State().StepCount == 0 &&
                f.LTime->text() == "0",
            "New with OK: the window does not show the document");
    for (int i = 0; i < kParameterCount; ++i)
        Require(f.ParameterFields[static_cast<std::size_t>(i)]->text() == Shown(*ParameterField(State(), i)),
                "New with OK: a parameter field");
}

int Monkey::EditSession() {
    TEditDlg& d = Dlg();
    ++dialogSessions_;
    d.setResult(QDialog::Rejected);
    d.show();
    d.activateWindow();
    Require(d.EditFileName->text() == QString::fromStdString(Data().DocumentName),
            "the dialog does not show the document name");
    CheckDialogShowsState("opening the dialog");
    const unsigned length = Pick(14);
    for (unsigned i = 0; d.isVisible() && failure_.empty(); ++i) {
        ++done_;
        firstMessage_ = messages_.size();
        before_ = State();
        dtLeft_.reset();
        try {
            if (i >= length || done_ >= target_)
                CloseDialog();
            else
                DialogAction();
        } catch (const std::exception& e) {
            Require(false, std::string("an exception escaped in the dialog: ") + e.what());
        }
        for (const std::string& w : outside_.Drain()) Require(false, "written outside the test's folder: " + w);
    }
    if (d.isVisible()) d.hide();
    EnsureActive();
    dialogAccepted_ = d.result() == QDialog::Accepted;
    return d.result();
}

void Monkey::CheckDialogShowsState(const std::string& when) {
    TEditDlg& d = Dlg();
    for (int i = 0; i < kParameterCount; ++i)
        Require(d.ParameterFields[static_cast<std::size_t>(i)]->text() == Shown(*ParameterField(State(), i)),
                when + ": a parameter field does not show the state");
    CheckDialogShowsParticle(when);
}

void Monkey::CheckDialogShowsParticle(const std::string& when) {
    TEditDlg& d = Dlg();
    const int k = d.CurrentRow();
    const TaonState& s = State();
    Require(d.NumberOfTaon->text() == QString::number(k) && d.EditX->text() == Shown(s.X[k]) &&
                d.EditY->text() == Shown(s.Y[k]) && d.EditZ->text() == Shown(s.Z[k]) &&
                d.EditV->text() == Shown(s.Ux[k]) && d.EditU->text() == Shown(s.Uy[k]) &&
                d.EditW->text() == Shown(s.Uz[k]) && d.DaoTrue->isChecked() == s.Present(k),
            when + ": the particle fields do not show the current row's taon");
}

std::vector<QLineEdit*> Monkey::DialogFields() {
    TEditDlg& d = Dlg();
    std::vector<QLineEdit*> fields(d.ParameterFields.begin(), d.ParameterFields.end());
    fields.insert(fields.end(), {d.EditX, d.EditY, d.EditZ, d.EditV, d.EditU, d.EditW, d.EditFileName});
    for (const DistanceCalculator& c : d.Calculators) fields.insert(fields.end(), {c.Part1, c.Part2, c.Result});
    return fields;
}

void Monkey::DialogAction() {
    TEditDlg& d = Dlg();
    const unsigned what = Pick(100);
    if (what < 30) {
        std::vector<QLineEdit*> fields = DialogFields();
        // Mostly the particle and parameter fields.
        QLineEdit* edit = fields[Pick(Chance(80) ? 25 : static_cast<unsigned>(fields.size()))];
        Note(Enter(edit, RandomText()) + " a dialog field");
        Require(CoreImage(State()) == CoreImage(Unchanged()), "typing in the dialog changed the state");
    } else if (what < 42) {
        const int k = Chance(60) ? 1 + static_cast<int>(Pick(8)) : 1 + static_cast<int>(Pick(100));
        const QModelIndex was = d.DaonsTable->currentIndex();
        bool clicked = false;
        switch (Pick(3)) {
            case 0: {
                Note("click grid row " + std::to_string(k));
                const QModelIndex index = d.Grid->index(k - 1, static_cast<int>(Pick(3)));
                d.DaonsTable->scrollTo(index);
                QTest::mouseClick(d.DaonsTable->viewport(), Qt::LeftButton, {},
                                  d.DaonsTable->visualRect(index).center());
                clicked = true;
                break;
            }
            case 1:
                Note("select grid row " + std::to_string(k));
                d.SelectRow(k);
                break;
            default: {
                const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Home};
                Note("grid key");
                QTest::keyClick(d.DaonsTable, OneOf(keys));
                break;
            }
        }
        // A click, or a key that moved the current cell, shows the row's taon.
        if (clicked || d.DaonsTable->currentIndex() != was) CheckDialogShowsParticle("moving in the grid");
    } else if (what < 46) {
        Note("double click on the dialog's grid");
        const bool on = d.DialogListVelocities;
        QWidget* targets[] = {d.DaonsTable->viewport(), d.DaonsTable->horizontalHeader()->viewport(), d.GridCorner};
        QTest::mouseDClick(OneOf(targets), Qt::LeftButton, {}, QPoint(5, 5));
        Require(d.DialogListVelocities != on && d.Grid->Cell(0, 0) == (on ? "Gravons" : "Velo"),
                "the dialog's double click did not toggle its grid");
    } else if (what < 52) {
        Note("toggle There is Gravon");
        d.DaoTrue->toggle();
    } else if (what < 66) {
        Submit();
    } else if (what < 74) {
        DialogSaveAs();
    } else if (what < 92) {
        Calculator();
    } else {
        Note("dialog paint");
        Guarded([&] { d.FormPaint(); });
        CheckDialogShowsState("a paint");
    }
}

std::optional<std::string> Monkey::ReadParameters(TaonState& s) {
    for (int i = 0; i < kParameterCount; ++i) {
        try {
            *ParameterField(s, i) =
                common::ParseReal(Dlg().ParameterFields[static_cast<std::size_t>(i)]->text().toStdString(),
                                  TMainForm::Separator());
        } catch (const common::ConvertError& e) {
            return e.what();
        }
    }
    return std::nullopt;
}

void Monkey::Submit() {
    TEditDlg& d = Dlg();
    const int k = d.NumberOfTaon->text().toInt();
    const bool byEnter = Chance(30);
    Note(std::string(byEnter ? "Enter" : "&Yes") + " for taon " + std::to_string(k));
    TaonState expect = Unchanged();
    std::optional<std::string> bad;
    QLineEdit* const fields[] = {d.EditX, d.EditY, d.EditZ, d.EditV, d.EditU, d.EditW};
    long double* const arrays[] = {expect.X, expect.Y, expect.Z, expect.Ux, expect.Uy, expect.Uz};
    for (int i = 0; i < 6 && !bad; ++i) {
        try {
            arrays[i][k] = common::ParseReal(fields[i]->text().toStdString(), TMainForm::Separator());
        } catch (const common::ConvertError& e) {
            bad = e.what();
        }
    }
    if (!bad) expect.GravonPresent[k] = d.DaoTrue->isChecked() ? 1 : 0;
    dirty_.insert(k);
    if (byEnter) {
        QLineEdit* f = fields[Pick(6)];
        f->setFocus();
        QTest::keyClick(f, Qt::Key_Return);
    } else {
        QTest::mouseClick(d.Submit, Qt::LeftButton);
    }
    Require(d.isVisible(), "&Yes closed the dialog");
    Require(StateImage(State()) == StateImage(expect), "&Yes did not store what it must");
    std::vector<std::string> got;
    for (std::size_t i = firstMessage_; i < messages_.size(); ++i) got.push_back(messages_[i].text);
    Require(got == (bad ? std::vector<std::string>{*bad} : std::vector<std::string>{}), "&Yes: not its message");
    const QString cell = d.Grid->Cell(1, k);
    Require(expect.Present(k) ? !cell.isEmpty() : cell.isEmpty(), "&Yes: the grid row");
}

void Monkey::WriteFromDialog(bool ok) {
    TEditDlg& d = Dlg();
    FileChoice c = saveChoices_[Pick(static_cast<unsigned>(saveChoices_.size()))];
    Note(std::string(ok ? "OK " : "dialog Save As ") +
         (c.kind == Kind::Cancel ? std::string("(cancel)") : c.path.substr(0, 70)));
    const auto files = Documents();
    const std::string old = Contents(Where(c.path));
    const std::string name = Data().DocumentName, start = ReadStartFile();
    const QString fileField = d.EditFileName->text();
    TaonState expect = Unchanged();
    std::optional<std::string> bad;
    if (c.kind != Kind::Cancel) bad = ReadParameters(expect);
    answers_ = {c};
    QTest::mouseClick(ok ? d.OKBtn : d.Saveas, Qt::LeftButton);
    answers_.clear();
    Require(ok != d.isVisible(), ok ? "OK did not close the dialog" : "Save As closed the dialog");
    if (ok) Require(d.result() == QDialog::Accepted, "OK did not close with OK");
    bool written = false;
    if (c.kind == Kind::Cancel || bad) {
        Require(DocumentsAsBefore(files), "a dialog save that stopped wrote");
        std::vector<std::string> got;
        for (std::size_t i = firstMessage_; i < messages_.size(); ++i) got.push_back(messages_[i].text);
        Require(got == (bad ? std::vector<std::string>{*bad} : std::vector<std::string>{}),
                "a dialog save with a bad field or a cancel: not its message");
    } else {
        written = CheckWrite(c.path, SaveText(c.kind), old, files, ok ? "OK" : "dialog Save As");
    }
    if (written && ok) {
        for (int k = 1; k <= kMaxTaons; ++k)
            if (expect.Present(k)) {
                expect.NewX[k] = expect.ViewX[k] = expect.X[k];
                expect.NewY[k] = expect.ViewY[k] = expect.Y[k];
                expect.NewZ[k] = expect.ViewZ[k] = expect.Z[k];
                expect.NewUx[k] = expect.Ux[k];
                expect.NewUy[k] = expect.Uy[k];
                expect.NewUz[k] = expect.Uz[k];
            }
        Require(Data().DocumentName == c.path && ReadStartFile() == c.path,
                "OK: the names are not the new document's");
    } else {
        Require(Data().DocumentName == name && ReadStartFile() == start, "a dialog save changed the names");
    }
    Require(StateImage(State()) == StateImage(expect), "a dialog save: the state is not as it must be");
    // The field shows the chosen name until a failure's repaint puts the
    // document name back.
    if (!ok)
        Require(d.EditFileName->text() == (c.kind == Kind::Cancel ? fileField
                                           : written             ? QString::fromStdString(c.path)
                                                                 : QString::fromStdString(Data().DocumentName)),
                "dialog Save As: the file name field");
}

void Monkey::Calculator() {
    TEditDlg& d = Dlg();
    const int n = 1 + static_cast<int>(Pick(4));
    const DistanceCalculator& c = d.Calculators[static_cast<std::size_t>(n - 1)];
    if (Chance(15)) {
        Note("Reset " + std::to_string(n));
        QTest::mouseClick(c.Reset, Qt::LeftButton);
        Require(c.Part1->text() == "0" && c.Part2->text() == "0" && c.Result->text() == "0", "Reset");
        return;
    }
    if (Chance(70)) {
        c.Part1->setText(QString::fromLatin1(OneOf(kRowTexts)));
        c.Part2->setText(QString::fromLatin1(OneOf(kRowTexts)));
    }
    Note("Calculate " + std::to_string(n) + " for '" + c.Part1->text().toStdString() + "' and '" +
         c.Part2->text().toStdString() + "'");
    const QString result = c.Result->text();
    QTest::mouseClick(c.Calculate, Qt::LeftButton);
    if (messages_.size() != firstMessage_) {
        Require(c.Result->text() == result, "a failed calculation changed the result");
        return;
    }
    // The distance of the two rows as the grid shows them.
    const char sep = TMainForm::Separator();
    auto row = [&](const QString& text) {
        const int i = common::ParseInt(text.toStdString());
        Point p{};
        for (int col = 1; col <= 3; ++col)
            p[static_cast<std::size_t>(col - 1)] = common::ParseReal(d.Grid->Cell(col, i).toStdString(), sep);
        return p;
    };
    try {
        const long double dist = PointDistance(row(c.Part1->text()), row(c.Part2->text()));
        Require(c.Result->text() == Shown(dist),
                "Calculate: not the distance of the rows");
    } catch (const common::AppError& e) {
        Require(false, std::string("Calculate gave a result where it must fail: ") + e.what());
    }
}

void Monkey::CloseDialog() {
    TEditDlg& d = Dlg();
    switch (Pick(5)) {
        case 0:
        case 1:
            WriteFromDialog(true);
            return;
        case 2:
            Note("Cancel");
            QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
            break;
        case 3:
            Note("Esc");
            QTest::keyClick(Chance(50) ? static_cast<QWidget*>(&d) : d.EditY, Qt::Key_Escape);
            break;
        default:
            Note("close the dialog");
            d.close();
            break;
    }
    Require(!d.isVisible() && d.result() == QDialog::Rejected, "the dialog did not close with Cancel");
    Require(StateImage(State()) == StateImage(Unchanged()), "closing the dialog changed the state");
}

}  // namespace sphaeron::forms::testing::monkey

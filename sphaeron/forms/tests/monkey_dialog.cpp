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
                f.FName->text() == QString::fromStdString(Data().DocumentName()) && State().StepCount == 0 &&
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
    Require(d.EditFileName->text() == QString::fromStdString(Data().DocumentName()),
            "the dialog does not show the document name");
    CheckDialogShowsState("opening the dialog");
    const unsigned length = Pick(14);
    for (unsigned i = 0; d.isVisible() && failure_.empty(); ++i) {
        ++done_;
        firstMessage_ = messages_.size();
        before_ = State();
        paramLeft_.fill(std::nullopt);
        writing_.clear();
        replaceRefused_ = false;
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
        Guarded(*this, [&] { d.FormPaint(); });
        CheckDialogShowsState("a paint");
    }
}

namespace {

using Slots = long double[kSlots];

// The known value of a good text typed by the monkey, if it is one.
std::optional<long double> KnownValue(const QString& text) {
    for (std::size_t i = 0; i < std::size(kGoodTexts); ++i)
        if (text == QLatin1String(kGoodTexts[i])) return kGoodValues[i];
    return std::nullopt;
}

bool KnownBad(const QString& text) {
    for (const char* bad : kBadTexts)
        if (text == QString::fromUtf8(bad)) return true;
    return false;
}

}  // namespace

bool Monkey::CheckFieldsRead(const std::vector<QString>& texts, const std::vector<long double>& before,
                             const std::vector<long double>& after, const std::string& what) {
    std::vector<std::string> conversions;
    for (std::size_t i = firstMessage_; i < messages_.size(); ++i)
        if (messages_[i].text.rfind('\'', 0) == 0) conversions.push_back(messages_[i].text);
    std::size_t failed = texts.size();
    if (!conversions.empty()) {
        Require(conversions.size() == 1, what + ": more than one conversion message");
        for (std::size_t i = 0; i < texts.size() && failed == texts.size(); ++i)
            if (conversions[0] == "'" + texts[i].toStdString() + "' is not a valid floating point value") failed = i;
        Require(failed < texts.size(), what + ": the message '" + conversions[0] + "' names no field's text");
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::optional<long double> known = KnownValue(texts[i]);
        if (i < failed) {
            Require(!KnownBad(texts[i]), what + ": the bad text '" + texts[i].toStdString() + "' was taken");
            if (known) Require(SameBits(*known, after[i]), what + ": '" + texts[i].toStdString() + "' not stored as its value");
        } else {
            Require(i != failed || !known, what + ": the good text '" + texts[i].toStdString() + "' was refused");
            Require(SameBits(before[i], after[i]), what + ": a field after the bad one was stored");
        }
    }
    return failed == texts.size();
}

void Monkey::Submit() {
    TEditDlg& d = Dlg();
    const int k = d.NumberOfTaon->text().toInt();
    const bool byEnter = Chance(30);
    Note(std::string(byEnter ? "Enter" : "&Yes") + " for taon " + std::to_string(k));
    const TaonState before = Unchanged();
    QLineEdit* const fields[] = {d.EditX, d.EditY, d.EditZ, d.EditV, d.EditU, d.EditW};
    std::vector<QString> texts;
    for (QLineEdit* f : fields) texts.push_back(f->text());
    const bool checked = d.DaoTrue->isChecked();
    dirty_.insert(k);
    if (byEnter) {
        QLineEdit* f = fields[Pick(6)];
        f->setFocus();
        QTest::keyClick(f, Qt::Key_Return);
    } else {
        QTest::mouseClick(d.Submit, Qt::LeftButton);
    }
    Require(d.isVisible(), "&Yes closed the dialog");
    Require(messages_.size() - firstMessage_ <= 1, "&Yes showed more than one box");
    const TaonState& s = State();
    const bool converted = CheckFieldsRead(texts, {before.X[k], before.Y[k], before.Z[k], before.Ux[k], before.Uy[k], before.Uz[k]},
                                           {s.X[k], s.Y[k], s.Z[k], s.Ux[k], s.Uy[k], s.Uz[k]}, "&Yes");
    Require(s.GravonPresent[k] == (converted ? (checked ? 1 : 0) : before.GravonPresent[k]), "&Yes: the presence flag");
    // Nothing but taon k's committed values and presence changed.
    TaonState expect = before;
    for (Slots TaonState::*a : {&TaonState::X, &TaonState::Y, &TaonState::Z, &TaonState::Ux, &TaonState::Uy,
                                      &TaonState::Uz})
        (expect.*a)[k] = (s.*a)[k];
    expect.GravonPresent[k] = s.GravonPresent[k];
    Require(StateImage(s) == StateImage(expect), "&Yes changed more than the shown taon");
    const QString cell = d.Grid->Cell(1, k);
    Require(s.Present(k) ? !cell.isEmpty() : cell.isEmpty(), "&Yes: the grid row");
}

void Monkey::WriteFromDialog(bool ok) {
    TEditDlg& d = Dlg();
    FileChoice c = saveChoices_[Pick(static_cast<unsigned>(saveChoices_.size()))];
    Note(std::string(ok ? "OK " : "dialog Save As ") +
         (c.kind == Kind::Cancel ? std::string("(cancel)") : c.path.substr(0, 70)));
    const auto files = Documents();
    const std::string old = Contents(Where(c.path));
    const std::string name = Data().DocumentName(), start = ReadStartFile();
    const QString fileField = d.EditFileName->text();
    const TaonState before = Unchanged();
    std::vector<QString> texts;
    for (QLineEdit* f : d.ParameterFields) texts.push_back(f->text());
    answers_ = {c};
    if (c.kind != Kind::Cancel) writing_ = c.path;
    QTest::mouseClick(ok ? d.OKBtn : d.Saveas, Qt::LeftButton);
    answers_.clear();
    Require(ok != d.isVisible(), ok ? "OK did not close the dialog" : "Save As closed the dialog");
    if (ok) Require(d.result() == QDialog::Accepted, "OK did not close with OK");
    const TaonState& s = State();
    std::vector<long double> params, paramsBefore;
    for (int i = 0; i < kParameterCount; ++i) {
        params.push_back(*ParameterField(s, i));
        paramsBefore.push_back(*ParameterField(before, i));
    }
    bool written = false;
    if (c.kind == Kind::Cancel || replaceRefused_) {
        bool onlyQuestions = true;
        for (std::size_t i = firstMessage_; i < messages_.size(); ++i)
            onlyQuestions = onlyQuestions && messages_[i].box == 'Q';
        Require(DocumentsAsBefore(files) && onlyQuestions, "a cancelled dialog save acted");
        Require(params == paramsBefore || StateImage(s) == StateImage(before), "a cancelled dialog save read the fields");
    } else if (!CheckFieldsRead(texts, paramsBefore, params, ok ? "OK" : "dialog Save As")) {
        Require(DocumentsAsBefore(files) && FileMessagesSince(firstMessage_).empty(), "a dialog save with a bad field wrote");
    } else {
        written = CheckWrite(c.path, SaveText(c.kind), old, files, ok ? "OK" : "dialog Save As");
    }
    // Only the parameters change, and after OK the copies of the present taons.
    TaonState expect = before;
    for (int i = 0; i < kParameterCount; ++i) *ParameterField(expect, i) = *ParameterField(s, i);
    if (written && ok) {
        // The present taons start from their committed values; the absent
        // ones keep their copies.
        Slots TaonState::* const copies[] = {&TaonState::NewX,  &TaonState::NewY,  &TaonState::NewZ,
                                             &TaonState::NewUx, &TaonState::NewUy, &TaonState::NewUz,
                                             &TaonState::ViewX, &TaonState::ViewY, &TaonState::ViewZ};
        Slots TaonState::* const committed[] = {&TaonState::X,  &TaonState::Y,  &TaonState::Z,
                                                &TaonState::Ux, &TaonState::Uy, &TaonState::Uz,
                                                &TaonState::X,  &TaonState::Y,  &TaonState::Z};
        for (int k = 1; k <= kMaxTaons; ++k)
            for (std::size_t a = 0; a < std::size(copies); ++a)
                Require(SameBits((s.*copies[a])[k], s.Present(k) ? (s.*committed[a])[k] : (before.*copies[a])[k]),
                        "OK: the working and view copies of taon " + std::to_string(k));
        for (Slots TaonState::*a : copies) std::copy(std::begin(s.*a), std::end(s.*a), std::begin(expect.*a));
        Require(Data().DocumentName() == c.path && ReadStartFile() == c.path,
                "OK: the names are not the new document's");
    } else {
        Require(Data().DocumentName() == name && ReadStartFile() == start, "a dialog save changed the names");
    }
    Require(StateImage(s) == StateImage(expect), "a dialog save: the state is not as it must be");
    // The field shows the chosen name until a failure's repaint puts the
    // document name back.
    if (!ok)
        Require(d.EditFileName->text() == (c.kind == Kind::Cancel || replaceRefused_ ? fileField
                                           : written             ? QString::fromStdString(c.path)
                                                                 : QString::fromStdString(Data().DocumentName())),
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
    // A distance is never negative, and a row's distance to itself is 0.
    Require(!c.Result->text().isEmpty() && !c.Result->text().startsWith(QLatin1Char('-')),
            "Calculate: not a distance");
    if (c.Part1->text() == c.Part2->text()) Require(c.Result->text() == "0", "Calculate: a row's distance to itself");
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

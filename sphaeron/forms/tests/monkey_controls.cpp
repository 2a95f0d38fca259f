// The monkey's actions on the fields, the memo, the focus, the run button,
// the switches, the view controls, the help items, painting and resizing,
// and Exit.
#include "monkey.h"

namespace sphaeron::forms::testing::monkey {

std::vector<QLineEdit*> Monkey::MainFields() {
    TMainForm& f = Form();
    std::vector<QLineEdit*> fields(f.ParameterFields.begin(), f.ParameterFields.end());
    fields.insert(fields.end(), {f.FName, f.Edit1, f.Edit2, f.Edit3});
    return fields;
}

std::string Monkey::RandomText() {
    switch (Pick(3)) {
        case 0: return OneOf(kGoodTexts);
        case 1: return OneOf(kBadTexts);
        default: {
            static const char alphabet[] = "0123456789,,,.-+eE ";
            std::string t;
            for (unsigned i = 0, n = Pick(9); i < n; ++i) t += alphabet[Pick(sizeof alphabet - 1)];
            return t;
        }
    }
}

std::string Monkey::Enter(QLineEdit* edit, const std::string& text) {
    const QString q = QString::fromUtf8(text.c_str());
    switch (Pick(3)) {
        case 0:
            edit->setText(q);
            return "set '" + text + "'";
        case 1:
            edit->selectAll();
            Type(edit, q);
            return "type '" + text + "' over";
        default:
            edit->end(false);
            Type(edit, q);
            QTest::keyClick(edit, Qt::Key_Backspace);
            return "type '" + text + "' and a backspace at the end of";
    }
}

void Monkey::TypeIntoField() {
    std::vector<QLineEdit*> fields = MainFields();
    QLineEdit* edit = fields[Pick(static_cast<unsigned>(fields.size()))];
    std::string text = RandomText();
    const std::string name = FieldName(edit);
    if (Chance(10)) {
        // Ctrl+V: the number key filter swallows it where it is installed.
        TMainForm& f = Form();
        const bool filtered = edit == f.EditDT || edit == f.EditA1 || edit == f.EditB1 || edit == f.EditC1 ||
                              edit == f.EditD1;
        const QString was = edit->text();
        QApplication::clipboard()->setText(QString::fromUtf8(text.c_str()));
        Note("paste '" + text + "' into " + name);
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        if (filtered) Require(edit->text() == was, "Ctrl+V reached the filtered field " + name);
    } else {
        Note(Enter(edit, text) + " " + name);
    }
    Require(CoreImage(State()) == CoreImage(Unchanged()), "typing into " + name + " changed the state");
    Require(messages_.size() == firstMessage_, "typing into a field showed a box");
}

std::string Monkey::FieldName(QWidget* w) {
    TMainForm& f = Form();
    for (int i = 0; i < kParameterCount; ++i)
        if (w == f.ParameterFields[static_cast<std::size_t>(i)]) return std::string("Edit") + kParameterNames[i];
    if (w == f.FName) return "FName";
    if (w == f.Comment) return "Comment";
    if (w == f.Edit1 || w == f.Edit2 || w == f.Edit3) return "a range field";
    return "a control";
}

void Monkey::TypeIntoMemo() {
    TMainForm& f = Form();
    f.PageControl->setCurrentIndex(1);
    std::string text = Chance(30) ? std::string("Zeile \xc3\xa4") : RandomText();
    Note("memo: type '" + text + "'");
    if (Chance(50))
        QTest::mouseClick(f.Comment->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    else
        f.Comment->setFocus(Qt::MouseFocusReason);
    Type(f.Comment, QString::fromUtf8(text.c_str()));
    if (Chance(30)) QTest::keyClick(f.Comment, Qt::Key_Return);
    Require(CoreImage(State()) == CoreImage(Unchanged()), "typing into the memo changed the state");
    RequireOnlyIncidentalMessages("typing into the memo");
}

void Monkey::MoveFocus() {
    TMainForm& f = Form();
    std::vector<QWidget*> targets;
    for (QLineEdit* e : MainFields()) targets.push_back(e);
    targets.insert(targets.end(), {f.Go, f.ShowList, f.Cool, f.Comment});
    QWidget* target = targets[Pick(static_cast<unsigned>(targets.size()))];
    if (target == f.Comment) f.PageControl->setCurrentIndex(1);
    QWidget* from = QApplication::focusWidget();
    const bool asks = from == f.Comment && Data().CommentModified();
    const std::size_t questions = Questions();
    if (from && Chance(30)) {
        Note(std::string("Tab from ") + FieldName(from));
        QTest::keyClick(from, Chance(70) ? Qt::Key_Tab : Qt::Key_Backtab);
    } else if (Chance(50) && qobject_cast<QLineEdit*>(target)) {
        Note("click into " + FieldName(target));
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
    } else {
        Note("focus to " + FieldName(target));
        target->setFocus(Qt::TabFocusReason);
    }
    QWidget* to = QApplication::focusWidget();
    for (int i = 0; i < kParameterCount; ++i) {
        if (from != f.ParameterFields[static_cast<std::size_t>(i)] || to == from) continue;
        const auto& left = paramLeft_[static_cast<std::size_t>(i)];
        Require(left.has_value() || !paramBadText_.empty(), "leaving " + FieldName(from) + " did not convert it");
        if (left) Require(SameBits(*left, *ParameterField(State(), i)), "leaving " + FieldName(from) + " did not set it");
    }
    if (asks && to != f.Comment)
        Require(Questions() == questions + 1 && !Data().CommentModified(), "leaving the changed memo did not ask");
    Require(CoreImage(State()) == CoreImage(Unchanged()), "moving the focus changed the state");
    RequireOnlyIncidentalMessages("moving the focus");
}

std::size_t Monkey::Questions() const {
    std::size_t n = 0;
    for (const Box& m : messages_) n += m.box == 'Q';
    return n;
}

void Monkey::GoButton() {
    TMainForm& f = Form();
    const bool idle = State().Stopped;
    const bool enabled = f.Go->isEnabled();
    Note(std::string(idle ? "Go" : "Stop") + (enabled ? "" : " (disabled)"));
    if (Chance(50))
        QTest::mouseClick(f.Go, Qt::LeftButton);
    else
        f.Go->click();
    // From idle the run went on inside the click until it was stopped.
    Require(State().Stopped, idle ? "a run outlived its Go click" : "Stop did not stop the run");
    if (!enabled) Require(CoreImage(State()) == CoreImage(Unchanged()), "a disabled Go changed the state");
}

void Monkey::ViewCommand() {
    TMainForm& f = Form();
    QPushButton* const buttons[] = {f.DaoBack, f.DaoTeta,    f.DaoPsi,   f.DaoPhi, f.DaoStop,
                                    f.DaoPhi1, f.DaoForvard, f.DaoTeta1, f.DaoPsi1};
    switch (Pick(9)) {
        case 0:
        case 1: {
            QPushButton* b = OneOf(buttons);
            Note("view button " + b->text().toStdString());
            QTest::mouseClick(b, Qt::LeftButton);
            break;
        }
        case 2: {
            const std::pair<Qt::Key, QAction*> keys[] = {{Qt::Key_F6, f.ShowSpin},
                                                         {Qt::Key_F7, f.ShowNumbersOfPoints},
                                                         {Qt::Key_F8, f.MoveToCenter}};
            auto [key, action] = OneOf(keys);
            const bool spin = Data().Controls().SpinOn;
            const bool byKey = Chance(50);
            Note((byKey ? "key for " : "menu ") + action->text().toStdString());
            if (byKey)
                Key(&f, key);
            else
                action->trigger();
            if (action == f.ShowSpin)
                Require(Data().Controls().SpinOn != spin && f.ShowSpin->isChecked() == Data().Controls().SpinOn,
                        "ShowSpin did not toggle");
            if (action == f.ShowNumbersOfPoints)
                Require(f.ShowNumbersOfPoints->isChecked() == Data().View().ShowNumbers, "Show Numbers: check mark");
            break;
        }
        case 3: {
            const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
            const Qt::Key key = OneOf(keys);
            Note("Ctrl+arrow " + std::to_string(key - Qt::Key_Left));
            const long double sx = Data().View().ShiftX, sy = Data().View().ShiftY;
            EnsureActive();
            QWidget* target = Chance(50) ? static_cast<QWidget*>(&f) : QApplication::focusWidget();
            Key(target ? target : &f, key, Qt::ControlModifier);
            Require(Data().View().ShiftX != sx || Data().View().ShiftY != sy || std::isnan(sx) || std::isnan(sy) ||
                        std::isinf(sx) || std::isinf(sy),
                    "Ctrl+arrow did not shift the picture");
            break;
        }
        case 4: {
            const int value = static_cast<int>(Pick(11));
            Note("track bar " + std::to_string(value));
            const int was = f.TrackBar->value();
            if (Chance(50))
                f.TrackBar->setValue(value);
            else
                QTest::keyClick(f.TrackBar, Chance(50) ? Qt::Key_Left : Qt::Key_Right);
            // A bar that moved sets the step sizes of its position (the
            // start-up ones are not those of the start position).
            const AmplitudeStep expected = AmplitudeTable(f.TrackBar->value());
            Require(f.TrackBar->value() == was || (Data().Controls().AngleStep == expected.AngleStep &&
                                                   Data().Controls().ZoomStep == expected.ZoomStep),
                    "the track bar did not set the step sizes");
            break;
        }
        case 5:
        case 6: {
            const Qt::MouseButton mb[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
            const Qt::MouseButton b = OneOf(mb);
            const int w = f.DrawArea->width(), h = f.DrawArea->height();
            auto point = [&] {
                const int far = 2000;
                if (Chance(10)) return QPoint(static_cast<int>(Pick(2 * far)) - far, static_cast<int>(Pick(2 * far)) - far);
                return QPoint(static_cast<int>(Pick(std::max(w, 1))), static_cast<int>(Pick(std::max(h, 1))));
            };
            const QPoint from = point(), to = Chance(20) ? from : point();
            Note("drag " + std::to_string(int(b)) + " from " + std::to_string(from.x()) + "," +
                 std::to_string(from.y()) + " to " + std::to_string(to.x()) + "," + std::to_string(to.y()));
            QTest::mousePress(f.DrawArea, b, Qt::NoModifier, from);
            QTest::mouseRelease(f.DrawArea, b, Qt::NoModifier, to);
            break;
        }
        case 7:
            Note("timer tick");
            Require(QMetaObject::invokeMethod(f.Timer, "timeout", Qt::DirectConnection), "the timer did not tick");
            break;
        default:
            Note("move to center");
            f.MoveToCenter->trigger();
            Require(Data().View().ViewScale == kDefaultViewScale && Data().View().ShiftX == 0 &&
                        Data().View().ShiftY == 0,
                    "Move to center did not centre");
            break;
    }
    Require(CoreImage(State()) == CoreImage(Unchanged()), "a view command changed the state");
    RequireOnlyIncidentalMessages("a view command");
}

void Monkey::TimelineMove() {
    TMainForm& f = Form();
    const common::Timeline& t = Data().Timeline();
    const bool idle = State().Stopped;
    std::optional<std::size_t> target;
    if (Chance(25)) {
        const int value = static_cast<int>(Pick(static_cast<unsigned>(f.TimelineSlider->maximum()) + 1));
        Note("timeline slider " + std::to_string(value));
        // Only a slider that is on and moves goes somewhere.
        if (f.TimelineSlider->isEnabled() && value != f.TimelineSlider->value()) target = value;
        f.TimelineSlider->setValue(value);
    } else {
        const struct {
            Qt::Key key;
            std::optional<std::size_t> to;
        } keys[] = {{Qt::Key_Left, t.Back()}, {Qt::Key_Right, t.Forward()}, {Qt::Key_Home, t.First()}, {Qt::Key_End, t.Last()}};
        const auto& k = OneOf(keys);
        Note("Alt+key " + std::to_string(k.key - Qt::Key_Home));
        target = k.to;
        Key(&f, k.key, Qt::AltModifier);
    }
    if (!idle || !target) {
        Require(CoreImage(State()) == CoreImage(Unchanged()), "a timeline key that goes nowhere changed the state");
        return;
    }
    TaonsDocument shown = Data().Document();
    PackDocument(State(), shown);
    Require(t.Shown() == *target && std::memcmp(shown.bytes.data(), t.StateAt(*target), kDocumentSize) == 0 &&
                State().StepCount == t.StepAt(*target),
            "the state is not the recorded one gone to");
    Require(f.LTime->text() == QString::number(State().StepCount), "the step counter does not show the state's step");
    RequireOnlyIncidentalMessages("a timeline move");
}

void Monkey::Switch() {
    TMainForm& f = Form();
    QAbstractButton* const switches[] = {f.ShowList, f.Cool, f.StopL, f.RB0, f.RB1, f.RB2};
    QAbstractButton* b = OneOf(switches);
    Note("click " + b->text().toStdString());
    if (Chance(50))
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    else
        b->click();
    Require(f.RB0->isChecked() + f.RB1->isChecked() + f.RB2->isChecked() == 1, "not one mode button checked");
    Require(CoreImage(State()) == CoreImage(Unchanged()), "a switch changed the state");
    RequireOnlyIncidentalMessages("a switch");
}

void Monkey::DoubleClick() {
    TMainForm& f = Form();
    switch (Pick(3)) {
        case 0: {
            Note("double click on LTime");
            const bool on = State().TimeDisplayOn;
            QTest::mouseDClick(f.LTime, Qt::LeftButton);
            Require(State().TimeDisplayOn != on, "LTime's double click did not toggle the time display");
            break;
        }
        case 1: {
            f.PageControl->setCurrentIndex(0);
            const bool on = State().ListVelocities;
            QWidget* targets[] = {f.DaonsTable->viewport(), f.DaonsTable->horizontalHeader()->viewport(),
                                  f.DaonsTable->verticalHeader()->viewport()};
            Note("double click on the listing");
            QTest::mouseDClick(OneOf(targets), Qt::LeftButton, {}, QPoint(8, 8));
            Require(State().ListVelocities != on, "the listing's double click did not toggle");
            Require(f.Listing->Cell(1, 0) == (State().ListVelocities ? "u(x)" : "X"), "the listing's heading");
            break;
        }
        default: {
            const int page = static_cast<int>(Pick(2));
            Note("page " + std::to_string(page));
            f.PageControl->setCurrentIndex(page);
            break;
        }
    }
    TaonState expect = Unchanged();
    expect.TimeDisplayOn = State().TimeDisplayOn;
    expect.ListVelocities = State().ListVelocities;
    Require(CoreImage(State()) == CoreImage(expect), "a double click changed the state");
    RequireOnlyIncidentalMessages("a double click");
}

void Monkey::HelpCommand() {
    TMainForm& f = Form();
    const std::pair<Qt::KeyboardModifiers, QAction*> items[] = {{Qt::NoModifier, f.EnglishHelp1},
                                                                {Qt::ControlModifier, f.RussianHelp1},
                                                                {Qt::ShiftModifier, f.PolandHelp1}};
    if (Chance(25)) {
        Note("About");
        f.About1->trigger();
    } else {
        auto [mods, action] = OneOf(items);
        const bool byKey = Chance(50);
        Note((byKey ? "key for " : "") + action->text().toStdString());
        if (byKey)
            Key(&f, Qt::Key_F1, mods);
        else
            action->trigger();
    }
    Require(CoreImage(State()) == CoreImage(Unchanged()), "a help item changed the state");
}

void Monkey::PaintOrResize() {
    TMainForm& f = Form();
    if (Chance(50)) {
        Note("paint");
        Guarded(*this, [&] { f.FormPaint(); });
    } else if (Chance(20)) {
        Note("minimise and restore");
        f.showMinimized();
        f.showNormal();
        EnsureActive();
    } else {
        const int w = Chance(10) ? 40 + static_cast<int>(Pick(200)) : 500 + static_cast<int>(Pick(500));
        const int h = Chance(10) ? 40 + static_cast<int>(Pick(200)) : 400 + static_cast<int>(Pick(400));
        Note("resize to " + std::to_string(w) + "x" + std::to_string(h));
        f.resize(w, h);
    }
    Require(CoreImage(State()) == CoreImage(Unchanged()), "painting or resizing changed the state");
    RequireOnlyIncidentalMessages("painting or resizing");
}

void Monkey::ExitCommand() {
    TMainForm& f = Form();
    const bool running = !State().Stopped;
    if (Chance(50)) {
        Note("Exit");
        f.Exit1->trigger();
    } else {
        Note("Alt+X");
        Key(&f, Qt::Key_X, Qt::AltModifier);
    }
    // During a run the window closes once the loop has returned.
    Require(State().Stopped, "Exit did not end the run");
    if (!running) Require(!f.isVisible(), "Exit did not close the window");
}

}  // namespace sphaeron::forms::testing::monkey

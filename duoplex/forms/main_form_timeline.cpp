// The window's side of the timeline: every state of a run is recorded from
// the one that Open, Refresh, New or the start put in place; Alt+Left,
// Alt+Right, Alt+Home and Alt+End make the state before, after, the first or
// the last the current one (between runs only). "Go" runs on from the state
// shown; "Save as ..." then writes it.
#include <QAction>
#include <QLabel>
#include <QLineEdit>

#include "duoplex/forms/main_form.h"

namespace duoplex::forms {

void TMainForm::BuildTimelineKeys() {
    auto key = [this](QKeyCombination combination, std::optional<std::size_t> (common::Timeline::*move)() const) {
        auto* a = new QAction(this);
        a->setShortcut(QKeySequence(combination));
        addAction(a);
        connect(a, &QAction::triggered, this, [this, move] { ShowRecorded((Session.Timeline().*move)()); });
        return a;
    };
    TimelineBack = key(Qt::ALT | Qt::Key_Left, &common::Timeline::Back);
    TimelineForward = key(Qt::ALT | Qt::Key_Right, &common::Timeline::Forward);
    TimelineFirst = key(Qt::ALT | Qt::Key_Home, &common::Timeline::First);
    TimelineLast = key(Qt::ALT | Qt::Key_End, &common::Timeline::Last);
}

void TMainForm::ShowRecorded(std::optional<std::size_t> index) {
    Guarded([&] {
        if (!Session.ShowRecorded(index, *this)) return;  // not during a run
        LTime->setText(QString::number(Session.State().StepCount));
        RedrawScene();
    });
}

}  // namespace duoplex::forms

// The main window's side of the timeline: View, "Timeline" (F10) shows and
// hides the strip with the slider below the window's panels (the window
// grows by its height, so the panels keep their sizes); Alt+Left,
// Alt+Right, Alt+Home and Alt+End move to the state before, the state
// after, the first and the last, with the strip shown or not. Shift+Alt+Left
// and Shift+Alt+Right move by one step: a step the timeline does not hold
// (a sparse run archive, a thinned history) is recomputed exactly from the
// state before it. A move makes the recorded state the current one;
// nothing moves during a run.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolBar>

#include "sphaeron/forms/main_form.h"

namespace sphaeron::forms {

void TMainForm::BuildTimeline() {
    Timeline1 = View1->addAction(QStringLiteral("Timeline"));
    Timeline1->setCheckable(true);
    Timeline1->setShortcut(QKeySequence(Qt::Key_F10));
    Wire(Timeline1, &QAction::triggered, &TMainForm::Timeline1Click);

    TimelineStrip = new QToolBar(QStringLiteral("Timeline"), this);
    TimelineStrip->setMovable(false);
    TimelineStrip->setFloatable(false);
    TimelineStrip->toggleViewAction()->setVisible(false);
    addToolBar(Qt::BottomToolBarArea, TimelineStrip);
    TimelineStrip->hide();
    TimelineSlider = new QSlider(Qt::Horizontal, TimelineStrip);
    TimelineSlider->setToolTip(QStringLiteral("The recorded states of the run: Alt+Left, Alt+Right, Alt+Home, Alt+End; one step: Shift+Alt+Left, Shift+Alt+Right"));
    TimelineStrip->addWidget(TimelineSlider);
    TimelineLabel = new QLabel(TimelineStrip);
    TimelineLabel->setMinimumWidth(TimelineLabel->fontMetrics().horizontalAdvance(QStringLiteral("Step 0000000 of 0000000 - 0000000")));
    TimelineStrip->addWidget(TimelineLabel);
    Wire(TimelineSlider, &QSlider::valueChanged, &TMainForm::TimelineSliderChange);

    auto key = [this](QKeyCombination combination, void (TMainForm::*handler)()) {
        auto* a = new QAction(this);
        a->setShortcut(QKeySequence(combination));
        addAction(a);
        Wire(a, &QAction::triggered, handler);
        return a;
    };
    TimelineBack = key(Qt::ALT | Qt::Key_Left, &TMainForm::TimelineBackClick);
    TimelineForward = key(Qt::ALT | Qt::Key_Right, &TMainForm::TimelineForwardClick);
    TimelineFirst = key(Qt::ALT | Qt::Key_Home, &TMainForm::TimelineFirstClick);
    TimelineLast = key(Qt::ALT | Qt::Key_End, &TMainForm::TimelineLastClick);
    TimelineStepBack = key(Qt::SHIFT | Qt::ALT | Qt::Key_Left, &TMainForm::TimelineStepBackClick);
    TimelineStepForward = key(Qt::SHIFT | Qt::ALT | Qt::Key_Right, &TMainForm::TimelineStepForwardClick);
    ShowTimeline();
}

void TMainForm::Timeline1Click() {
    const bool show = Timeline1->isChecked();
    if (show == TimelineStrip->isVisible()) return;
    // The window grows and shrinks by the strip, unless it is maximised or
    // full screen.
    const bool free = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (show) {
        TimelineStrip->show();
        ShowTimeline();
        timelineGrowth_ = free ? TimelineStrip->sizeHint().height() : 0;
        resize(width(), height() + timelineGrowth_);
    } else {
        TimelineStrip->hide();
        resize(width(), height() - timelineGrowth_);
        timelineGrowth_ = 0;
    }
}

void TMainForm::ShowTimeline() {
    const common::Timeline& t = session_.Timeline();
    const QSignalBlocker quiet(TimelineSlider);
    TimelineSlider->setRange(0, t.Empty() ? 0 : static_cast<int>(t.Count() - 1));
    TimelineSlider->setValue(static_cast<int>(t.Shown()));
    TimelineSlider->setEnabled(!runActive_ && t.Count() > 1);
    TimelineLabel->setText(t.Empty() ? QStringLiteral("Nothing recorded")
                                     : QStringLiteral("Step %1 of %2 - %3")
                                           .arg(t.StepAt(t.Shown()))
                                           .arg(t.StepAt(0))
                                           .arg(t.StepAt(t.Count() - 1)));
}

void TMainForm::ShowRecordedState(std::optional<std::size_t> index) {
    if (!index || runActive_ || !State().Stopped) return;
    if (session_.ShowRecorded(*index)) ShowMovedState();
}

void TMainForm::ShowStepNextTo(int direction) {
    if (runActive_ || !State().Stopped) return;
    if (session_.ShowStepNextTo(direction)) ShowMovedState();
}

void TMainForm::ShowMovedState() {
    ShowStepCount(State().StepCount);
    FillListing();
    ShowParameterTexts();
    PlotsStateShown();
    DrawTaonScene();
    ShowTimeline();
}

void TMainForm::RestartTimeline() {
    session_.RestartTimeline();
    ShowTimeline();
}

void TMainForm::TimelineSliderChange() { ShowRecordedState(static_cast<std::size_t>(TimelineSlider->value())); }
void TMainForm::TimelineBackClick() { ShowRecordedState(session_.Timeline().Back()); }
void TMainForm::TimelineForwardClick() { ShowRecordedState(session_.Timeline().Forward()); }
void TMainForm::TimelineFirstClick() { ShowRecordedState(session_.Timeline().First()); }
void TMainForm::TimelineLastClick() { ShowRecordedState(session_.Timeline().Last()); }
void TMainForm::TimelineStepBackClick() { ShowStepNextTo(-1); }
void TMainForm::TimelineStepForwardClick() { ShowStepNextTo(+1); }

}  // namespace sphaeron::forms

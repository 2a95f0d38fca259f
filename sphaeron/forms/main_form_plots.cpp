// The main window's side of the plots window: the menu item View, "Plots"
// (F9) and what the window is told about the run and the parameters.
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "sphaeron/forms/main_form.h"
#include "sphaeron/forms/plots_window.h"

namespace sphaeron::forms {

namespace {

// Tells the plots window when a parameter field or the mode may have
// changed the parameters. The call is queued so that it comes after the
// field's own handler, whatever that does with the text.
class ParameterWatch : public QObject {
public:
    ParameterWatch(TMainForm& form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut) Changed();
        return QObject::eventFilter(watched, event);
    }
    void Changed() {
        QTimer::singleShot(0, this, [this] { form_.PlotsParametersChanged(); });
    }

private:
    TMainForm& form_;
};

}  // namespace

StepSwitches TMainForm::PlotsSwitches() const { return WindowSwitches().ForStep(); }

void TMainForm::Plots1Click() {
    if (!Plots) {
        Plots = new TPlotsWindow(this, dialogs_);
        auto* watch = new ParameterWatch(*this, Plots);
        for (QLineEdit* field : ParameterFields) field->installEventFilter(watch);
        connect(RB1, &QRadioButton::toggled, watch, [watch] { watch->Changed(); });
        // The title bar is not known before the window is shown.
        if (QScreen* screen = this->screen()) {
            constexpr int kTitle = 32;
            const QRect place = PlacePlots(screen->availableGeometry(), frameGeometry(),
                                           QSize(Plots->width(), Plots->height() + kTitle), Panel1->width());
            Plots->resize(place.width(), place.height() - kTitle);
            Plots->move(place.topLeft());
        }
    }
    if (Plots->isVisible()) {
        Plots->raise();
        return;
    }
    Plots->show();
    PlotsRefresh();
}

bool TMainForm::PlotsSampleDue() const { return Plots && Plots->SampleDue(); }

void TMainForm::PlotsStepDone(const CommittedStep& step) {
    Plots->StepDone(step.state, step.switches.ForStep(), step.state.StepCount, step.before);
}

void TMainForm::PlotsRunEnded() { Plots->RunEnded(State(), PlotsSwitches(), State().StepCount); }

void TMainForm::PlotsParametersChanged() {
    if (Plots) Plots->ParametersChanged(State(), RB1->isChecked());
}

void TMainForm::PlotsStateShown() {
    if (Plots) Plots->StateShown(State(), PlotsSwitches(), State().StepCount);
}

void TMainForm::PlotsRefresh() {
    if (Plots && Plots->isVisible()) Plots->Refresh(State(), PlotsSwitches(), State().StepCount);
    if (Plots && Plots->isVisible()) StructureRefresh();
}

}  // namespace sphaeron::forms

// The main window's side of the structure analysis: View, "Colour By"
// (Group, Coordination, q6, Cluster), the analysis during runs and between
// them, and the neighbour rule chosen in the plots window, which the
// settings file remembers.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>

#include "sphaeron/forms/main_form.h"
#include "sphaeron/forms/plots_window.h"
#include "sphaeron/forms/structure_charts.h"

namespace sphaeron::forms {

namespace {

const char* const kRuleKey = "Structure/Neighbours";

// $XDG_CONFIG_HOME/Sphaeron/Sphaeron.ini, beside the start file.
QSettings Settings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Sphaeron"), QStringLiteral("Sphaeron")); }

structure::NeighbourChoice RememberedRule() {
    const QString text = Settings().value(QLatin1String(kRuleKey), QStringLiteral("sann")).toString();
    try {
        return structure::ParseNeighbourChoice(text.toStdString());
    } catch (const std::invalid_argument&) {
        return {};  // a hand-edited file: the default
    }
}

}  // namespace

void TMainForm::BuildStructureMenu() {
    structure_ = std::make_unique<StructureWatch>();
    structure_->Options.neighbours = RememberedRule();
    ColourBy1 = View1->addMenu(QStringLiteral("Colour By"));
    auto* group = new QActionGroup(this);
    auto item = [&](const char* caption) {
        QAction* a = ColourBy1->addAction(QString::fromLatin1(caption));
        a->setCheckable(true);
        group->addAction(a);
        Wire(a, &QAction::triggered, &TMainForm::ColourByClick);
        return a;
    };
    ColourByGroup = item("Group");
    ColourByCoordination = item("Coordination");
    ColourByQ6 = item("q6");
    ColourByCluster = item("Cluster");
    ColourByGroup->setChecked(true);
}

void TMainForm::ColourByClick() {
    ColourBy by = ColourBy::Group;
    if (ColourByCoordination->isChecked()) by = ColourBy::Coordination;
    if (ColourByQ6->isChecked()) by = ColourBy::Q6;
    if (ColourByCluster->isChecked()) by = ColourBy::Cluster;
    structure_->By = by;
    if (by != ColourBy::Group) structure_->Analyse(State());
    if (!runActive_) RedrawPicture();
}

const TaonColouring* TMainForm::StructureColouring() {
    if (!structure_ || structure_->By == ColourBy::Group) return nullptr;
    if (!runActive_) structure_->Analyse(State());  // between runs the state may have been replaced
    return structure_->Colouring();
}

void TMainForm::StructureStepDone(const CommittedStep& step) {
    // The colours follow the run; the plots window's structure row takes
    // its samples with the energy (StructureSampled).
    if (structure_->By != ColourBy::Group) structure_->StepDone(step.state);
}

void TMainForm::StructureSampled(const TaonState& s) {
    structure_->Analyse(s);
    Plots->Structure->Add(s.StepCount, structure_->Result());
}

void TMainForm::StructureRefresh() {
    if (!Plots) return;
    TStructurePanel& panel = *Plots->Structure;
    if (!Plots->StateSampled) Plots->StateSampled = [this](const TaonState& s) { StructureSampled(s); };
    if (!panel.RuleChanged) {
        panel.ShowRule(structure_->Options.neighbours);
        panel.RuleChanged = [this](const structure::NeighbourChoice& c) {
            Guarded(dialogs_, [&] { StructureRuleChanged(c); });
        };
    }
    panel.Reset();
    structure_->Analyse(State());
    panel.Add(State().StepCount, structure_->Result());
}

void TMainForm::StructureRuleChanged(const structure::NeighbourChoice& c) {
    structure_->Options.neighbours = c;
    Settings().setValue(QLatin1String(kRuleKey), QString::fromStdString(structure::NeighbourChoiceText(c)));
    StructureRefresh();
    if (!runActive_ && structure_->By != ColourBy::Group) RedrawPicture();
}

}  // namespace sphaeron::forms

// The window's run archives: File > "Save Run As..." writes the timeline's
// states as an archive, and File > Open (or the command line) with an
// archive shows its last state with the timeline of its frames; File >
// Recent Runs lists the window's own archives of its runs, and the start
// after an unclean end offers the last of them.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <filesystem>

#include "common/qt/controls.h"
#include "duoplex/core/run_archive.h"
#include "duoplex/forms/main_form.h"

namespace duoplex::forms {

const char* const kGravOrRunFilter =
    "Two taons and runs (*.grav *.gravrun)|*.grav;*.gravrun|Two taons|*.grav|Duoplex runs (*.gravrun)|*.gravrun";
const char* const kRunFilter = "Duoplex runs (*.gravrun)|*.gravrun";

void TMainForm::BuildRunMenu() {
    QMenu* file = menuBar()->actions().value(0)->menu();  // "File"
    QAction* after = file->actions().value(file->actions().indexOf(Save1) + 1);
    SaveRunAs1 = new QAction(QStringLiteral("Save Run As..."), this);
    file->insertAction(after, SaveRunAs1);
    RecentRuns1 = new QMenu(QStringLiteral("Recent Runs"), this);
    file->insertMenu(after, RecentRuns1);
    connect(SaveRunAs1, &QAction::triggered, this, [this] { Guarded([&] { SaveRunAs1Click(); }); });
    connect(RecentRuns1, &QMenu::aboutToShow, this, [this] { RecentRuns1Show(); });
}

void TMainForm::SaveRunAs1Click() {
    if (Session.Timeline().Empty()) return;
    std::optional<QString> chosen =
        dialogs_.SaveFileName(this, QString::fromLatin1(kRunFilter), QString::fromLatin1(kRunExtension));
    if (!chosen) return;
    const std::string path = common::qt::FilePath(*chosen);
    const std::optional<std::string> question = RunReplaceQuestion(path);
    if (question && !dialogs_.Confirm(this, common::qt::DisplayPath(*question))) return;
    Session.SaveRunAs(path, question.has_value());
}

void TMainForm::ShowSettings(const StepSettings& settings) {
    FunctionButton(settings.function)->setChecked(true);
    (settings.twoGravonPass ? TwoGravons : ThreeGravons)->setChecked(true);
    QRadioButton* const brakes[kBrakeCount] = {Brake1, Brake2, Brake3, Brake4, Brake5};
    brakes[settings.brake - 1]->setChecked(true);
}

void TMainForm::OpenRun(const std::string& path, const std::string& documentName) {
    if (!Session.Stopped()) return;  // as Open: not during a run
    // All or nothing: the session changes nothing unless every frame is read.
    Session.OpenRun(path, *this, documentName);
    ShowSettings(Session.Settings());
    LTime->setText(QString::number(Session.State().StepCount));
    RedrawScene();
}

void TMainForm::RecentRuns1Show() {
    common::qt::FillRecentRuns(RecentRuns1, RecentRuns(autosave_->Folder()),
                               [this](const std::string& path) { Guarded([&] { OpenRun(path); }); });
}

void TMainForm::RecoverRun() {
    Guarded([&] {
        const std::optional<common::UncleanEnd> end = autosave_->FindUncleanEnd();
        if (!end) return;
        std::error_code ec;
        std::filesystem::remove(end->marker, ec);  // asked once; the archive stays in Recent Runs
        // A run from no document (the start, New, Refresh) is named by its archive.
        const std::string name = std::filesystem::path(end->document.empty() ? end->run : end->document)
                                     .filename()
                                     .string();
        const QString question = QStringLiteral("Restore the run of %1, recorded up to step %2?")
                                     .arg(common::qt::DisplayPath(name))
                                     .arg(end->step);
        if (!dialogs_.Confirm(this, question)) return;
        OpenRun(end->run, end->document);
    });
}

}  // namespace duoplex::forms

// The main window's run archives: File > "Save Run As..." writes the
// timeline's states as an archive, and File > Open (or the command line)
// with an archive shows its last state with the timeline of its frames;
// File > Recent Runs lists the window's own archives of its runs, and the
// start after an unclean end offers the last of them.
#include <QAction>
#include <QMenu>
#include <QRadioButton>
#include <filesystem>

#include "common/qt/controls.h"
#include "sphaeron/forms/main_form.h"
#include "sphaeron/session/run_archive.h"

namespace sphaeron::forms {

bool IsRunPath(const std::string& path) {
    return std::filesystem::path(path).extension() == std::string(".") + kRunExtension ||
           common::LooksLikeRunArchive(path);
}

void TMainForm::SaveRunAs1Click() {
    if (session_.Timeline().Empty()) return;
    std::optional<QString> chosen =
        dialogs_.SaveFileName(this, QString::fromLatin1(kRunFilter), QString::fromLatin1(kRunExtension));
    if (!chosen) return;
    const std::string path = common::qt::FilePath(*chosen);
    const std::optional<std::string> question = RunReplaceQuestion(path);
    if (question && !dialogs_.Confirm(this, QString::fromStdString(*question))) return;
    session_.SaveRunAs(path, question.has_value());
}

void TMainForm::OpenRun(const std::string& path, const std::string& documentName) {
    // All or nothing: the session changes nothing unless every frame is read.
    session_.OpenRun(path, documentName);
    const RunSwitches sw = session_.Switches();  // the buttons below change the session's
    (sw.mode == 1 ? RB1 : sw.mode == 2 ? RB2 : RB0)->setChecked(true);
    StopL->setChecked(sw.stopL);
    Cool->setChecked(sw.cool);
    session_.SetSwitches(sw);
    Go->setEnabled(true);
    Null00->setEnabled(State().Stopped);
    ShowStepCount(State().StepCount);
    ShowTimeline();
    FillListing();
    FillParameterFields();
    DrawTaonScene();
}

void TMainForm::RecentRuns1Show() {
    common::qt::FillRecentRuns(RecentRuns1, RecentRuns(autosave_->Folder()),
                               [this](const std::string& path) { Guarded(dialogs_, [&] { OpenRun(path); }); });
}

void TMainForm::RecoverRun() {
    const std::optional<UncleanEnd> end = autosave_->FindUncleanEnd();
    if (!end) return;
    std::error_code ec;
    std::filesystem::remove(end->marker, ec);  // asked once; the archive stays in Recent Runs
    const std::string name = std::filesystem::path(end->document).filename().string();
    const QString question = QStringLiteral("Restore the run of %1, recorded up to step %2?")
                                 .arg(common::qt::DisplayPath(name))
                                 .arg(end->step);
    if (!dialogs_.Confirm(this, question)) return;
    OpenRun(end->run, end->document);
}

}  // namespace sphaeron::forms

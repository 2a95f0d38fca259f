// The main window's movies: File, "Export Movie ..." asks which of the
// states the timeline holds (every K-th of a range), the frames per second
// and the file, then draws those states as the picture shows them now
// (view, numbers, mode overlays) and hands them to ffmpeg, with a progress
// dialog that can cancel. Nothing is recomputed; a failure or Cancel leaves
// no file.
#include <QAction>
#include <QMenu>

#include "common/qt/movie_export.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/main_form.h"
#include "sphaeron/picture/picture.h"

namespace sphaeron::forms {

void TMainForm::BuildMovieExport() {
    ExportMovie1 = new QAction(QStringLiteral("Export Movie ..."), this);
    File1->insertAction(Exit1, ExportMovie1);
    File1->insertSeparator(Exit1);
    Wire(ExportMovie1, &QAction::triggered, &TMainForm::ExportMovie1Click);
}

void TMainForm::ExportMovie1Click() {
    const common::Timeline& timeline = session_.Timeline();
    if (runActive_ || timeline.Empty()) return;
    common::qt::MovieExportDialog choice(this, timeline.Count(),
                                         [&timeline](std::size_t i) { return static_cast<long long>(timeline.StepAt(i)); });
    if (dialogs_.ExecModal(choice) != QDialog::Accepted) return;
    std::optional<QString> name = dialogs_.SaveFileName(this, QString::fromLatin1(common::qt::kMovieFilter),
                                                        QStringLiteral("mp4"));
    if (!name) return;

    // The picture as it is now: its view (a copy, so the window's screen
    // positions stay) and switches.
    // (Colour By stands for the state shown, so the held states get their
    // group colours.)
    ViewState view = session_.View();
    SceneSwitches switches = CurrentPicture().switches;
    switches.Colouring = nullptr;
    common::MovieSettings settings;
    settings.width = view.FormWidth;
    settings.height = view.PanTop;
    settings.fps = choice.Fps();
    const std::size_t first = choice.First(), every = choice.Every();
    TaonsDocument record;
    TaonState state;
    common::qt::ExportMovie(this, common::qt::FilePath(*name), settings, choice.Frames(),
                            [&](std::size_t frame, QImage& image) {
                                const std::size_t index = first + frame * every;
                                std::copy_n(timeline.StateAt(index), kDocumentSize, record.bytes.begin());
                                DistributeDocument(record, state);
                                picture::DrawStateScene(state, view, switches, image);
                            });
}

}  // namespace sphaeron::forms

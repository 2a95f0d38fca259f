// The window's movies: File, "Export Movie ..." asks which of the states
// the timeline holds (a range, every K-th of it), the frames per second and
// the file. Every state of the range is drawn in turn on a field of its own,
// as the window draws a run (only what moved is redrawn), with the scale,
// gravon mode and function chosen now; every K-th picture goes to ffmpeg,
// with a progress dialog that can cancel. Nothing is recomputed and the
// window's own field and edits stay as they are; a failure or Cancel leaves
// no file.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "common/numtext.h"
#include "common/qt/movie_export.h"
#include "duoplex/forms/main_form.h"

namespace duoplex::forms {

namespace {

// The window's choices of the moment; the A edits show the recorded
// state's values.
class ExportControls : public SceneControls {
public:
    bool sc1 = true, two = true;
    FunctionChoice function = FunctionChoice::F_PE;
    char separator = ',';
    const PlanarState* state = nullptr;

    bool DoubleScale() const override { return sc1; }
    bool TwoGravonsChecked() const override { return two; }
    FunctionChoice Function() const override { return function; }
    std::string TypedA(int k) const override { return common::FormatReal(state->A[k], separator); }
    void ShowLiveValue(Field, int, const std::string&) override {}
    char DecimalSeparator() const override { return separator; }
};

}  // namespace

void TMainForm::BuildMovieExport() {
    ExportMovie1 = new QAction(QStringLiteral("Export Movie ..."), this);
    QMenu* file = menuBar()->actions().value(0)->menu();  // "File"
    file->insertAction(Exit1, ExportMovie1);
    file->insertSeparator(Exit1);
    connect(ExportMovie1, &QAction::triggered, this, [this] { Guarded([&] { ExportMovie1Click(); }); });
}

void TMainForm::ExportMovie1Click() {
    const common::Timeline& timeline = Session.Timeline();
    if (Session.Running() || timeline.Empty()) return;
    common::qt::MovieExportDialog choice(this, timeline.Count(), [&timeline](std::size_t i) {
        return static_cast<long long>(timeline.StepAt(i));
    });
    if (dialogs_.ExecModal(choice) != QDialog::Accepted) return;
    std::optional<QString> name = dialogs_.SaveFileName(this, QString::fromLatin1(common::qt::kMovieFilter),
                                                        QStringLiteral("mp4"));
    if (!name) return;

    ExportControls controls;
    controls.sc1 = DoubleScale();
    controls.two = TwoGravonsChecked();
    controls.function = Function();
    controls.separator = separator_;
    common::MovieSettings settings;
    settings.width = kFieldWidth;
    settings.height = kClientHeight;
    settings.fps = choice.Fps();
    const std::size_t first = choice.First(), every = choice.Every();
    PlanarState recorded, drawn;
    QImage field(kFieldWidth, kClientHeight, QImage::Format_RGB32);
    common::QImageCanvas canvas(&field);
    ClearCanvas(canvas);
    std::size_t next = first;  // the next state to draw
    controls.state = &recorded;
    common::qt::ExportMovie(this, common::qt::FilePath(*name), settings, choice.Frames(),
                            [&](std::size_t frame, QImage& image) {
                                for (const std::size_t index = first + frame * every; next <= index; ++next) {
                                    ShowRecordedState(recorded, timeline.StateAt(next), timeline.StepAt(next));
                                    for (int k = 1; k <= kGravons; ++k) {
                                        drawn.B[k] = recorded.B[k];
                                        drawn.X[k] = recorded.X[k];
                                        drawn.Y[k] = recorded.Y[k];
                                    }
                                    DrawScene(drawn, canvas, controls);
                                    if (next == first) {
                                        // As the window repaints a state: a clear field,
                                        // the figures erased where they were last drawn.
                                        ClearCanvas(canvas);
                                        DrawScene(drawn, canvas, controls);
                                    }
                                }
                                image = field;
                            });
}

}  // namespace duoplex::forms

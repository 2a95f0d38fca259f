#pragma once
// The single window of the planar program: the black drawing field on the
// left and the control panel `Panel1` on the right. The handlers keep the
// names of the controls they belong to and call the windowless code.
#include <QImage>
#include <QMainWindow>
#include <QRadioButton>
#include <QString>
#include <exception>
#include <memory>
#include <optional>

#include "common/qt/controls.h"
#include "common/qt/dialogs.h"
#include "common/qt/guarded_app.h"
#include "common/qt/qimage_canvas.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"
#include "duoplex/session/run_autosave.h"
#include "duoplex/session/session.h"

class QAction;
class QCheckBox;
class QMenu;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace duoplex::forms {

extern const char* const kTitle;       // "Duoplex"
extern const char* const kGravFilter;  // "Two taons|*.grav"
extern const char* const kGravSuffix;  // "grav"
// File > Open offers documents and run archives; "Save Run As..." runs.
extern const char* const kGravOrRunFilter;
extern const char* const kRunFilter;  // "Duoplex runs (*.gravrun)|*.gravrun"

using common::qt::Dialogs;
using common::qt::TShape;

// A radio button whose caption wraps onto a second line.
class TWrapRadio : public QRadioButton {
public:
    TWrapRadio(const QString& text, QWidget* parent) : QRadioButton(text, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TMainForm : public QMainWindow, private SceneControls, private ValueFields, private RunObserver {
public:
    // The dialogs are not owned.
    explicit TMainForm(Dialogs& dialogs);
    ~TMainForm() override;

    // Handlers.
    void FormCreate();
    void FormActivate();
    void FormPaint();
    void GoClick();
    void Exit1Click();
    void NewDiffClick();
    void New1Click();
    void Open1Click();
    void Save1Click();
    void RefreshClick();

    // Opens the document as "Open" does after its dialog (the file named on
    // the command line); a failure is reported and changes nothing.
    void OpenDocument(const QString& name);

    // The state, its timeline, the snapshot and the run. A fault in a step
    // keeps the passes the step finished.
    duoplex::Session Session{FaultKeeps::FinishedPasses};
    // Alt+Left, Alt+Right, Alt+Home, Alt+End (main_form_timeline.cpp).
    QAction *TimelineBack = nullptr, *TimelineForward = nullptr, *TimelineFirst = nullptr, *TimelineLast = nullptr;
    // The recorded state at `index` as the current one, shown; nothing
    // during a run or without one.
    void ShowRecorded(std::optional<std::size_t> index);

    // File, "Export Movie ..." (main_form_movie.cpp): held states of the
    // timeline drawn in turn as the field shows them, into a movie file.
    QAction* ExportMovie1 = nullptr;
    void ExportMovie1Click();

    // ---- run archives (main_form_runs.cpp) ----------------------------------
    QAction* SaveRunAs1 = nullptr;  // File, "Save Run As..."
    // Writes the timeline's states as a run archive (the file dialog, then a
    // replace question for a file that is no archive).
    void SaveRunAs1Click();
    // What "Open" does with a run archive: the timeline holds its frames and
    // the last is shown with its settings (and, when given, under the name
    // of the document the run came from).
    void OpenRun(const std::string& path, const std::string& documentName = {});
    // Autosave: every run is appended to an archive in the runs folder;
    // File > "Recent Runs" lists them, the newest first.
    QMenu* RecentRuns1 = nullptr;
    void RecentRuns1Show();
    RunAutosave& Autosave() { return *autosave_; }
    // At start: after an unclean end of a program whose run was being
    // recorded, "Restore the run of NAME, recorded up to step K?" (Yes the
    // default): Yes shows its last state under the document's name with its
    // timeline; No keeps it in Recent Runs.
    void RecoverRun();

    // Controls.
    common::qt::DrawingArea* DrawingField = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel *Label1 = nullptr, *LTime = nullptr, *Label2 = nullptr, *Label59 = nullptr;
    QCheckBox* ShowTime = nullptr;
    QLineEdit* EditDifferent = nullptr;
    QPushButton* NewDiff = nullptr;
    QGroupBox* Panel4 = nullptr;
    QRadioButton *Brake1 = nullptr, *Brake2 = nullptr, *Brake3 = nullptr, *Brake4 = nullptr, *Brake5 = nullptr;
    QFrame* Panel3 = nullptr;
    QRadioButton *Sc1 = nullptr, *Sc2 = nullptr, *RadioButton1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget *MainTaon = nullptr, *RedTaon = nullptr, *BlueTaon = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QRadioButton *F_PE = nullptr, *GravoNew = nullptr, *F_PES = nullptr, *F_PE1 = nullptr, *F_PE2 = nullptr,
                 *F_PES_Swi = nullptr, *F_PE_PES = nullptr;
    QFrame* Panel2 = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    QRadioButton *TwoGravons = nullptr, *ThreeGravons = nullptr;
    QPushButton *Refresh = nullptr, *Go = nullptr;
    TShape *ShapeRed = nullptr, *ShapeLime = nullptr;
    QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *Exit1 = nullptr;

    // `EditA1` .. `EditSpeedY3` and their labels.
    QLineEdit* Edit(duoplex::Field f, int k) const { return edits_[static_cast<int>(f)][k]; }
    QLabel* EditLabel(duoplex::Field f, int k) const { return labels_[static_cast<int>(f)][k]; }
    QRadioButton* FunctionButton(FunctionChoice f) const;

    const QImage& Picture() const { return image_; }
    StepSettings CurrentStepSettings() const;
    // The locale's decimal separator (also what the session reads with).
    char Separator() const override { return separator_; }

protected:
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The window's parts, in the order they are made.
    void BuildControls();
    void BuildMenu();
    void BuildTimeAndStep();
    void BuildBrakeAndScale();
    void BuildRunIndicator();
    void BuildGravonPages();
    void BuildFunctions();
    void BuildRunButtons();
    void BuildTimelineKeys();
    void BuildMovieExport();
    void BuildRunMenu();
    // The radio buttons show the session's settings.
    void ShowSettings(const StepSettings& settings);
    void BuildGravonPage(QWidget* page, int k);
    long double ReadEdit(const QLineEdit* edit) const;
    // The run settings of the radio buttons to the session.
    void PassSettings();
    void LoadAndShow(const QString& name);
    void RedrawScene();  // ClearCanvas, then DrawScene
    void DrawFrame();
    void SetRunning();
    void SetIdle();

    // Runs a handler; a failure ends it there and is reported over this
    // window (coming back from the box is then no reason to redraw).
    template <class Handler>
    void Guarded(Handler&& handler) {
        if (!common::qt::Guarded(dialogs_, this, std::forward<Handler>(handler))) skipActivate_ = true;
    }

    // SceneControls
    bool DoubleScale() const override;
    bool TwoGravonsChecked() const override;
    FunctionChoice Function() const override;
    std::string TypedA(int k) const override;
    void ShowLiveValue(duoplex::Field f, int k, const std::string& text) override;
    char DecimalSeparator() const override { return separator_; }

    // ValueFields
    std::string Text(duoplex::Field f, int k) const override;
    void Show(duoplex::Field f, int k, const std::string& text) override;
    std::string DTText() const override;
    void ShowDT(const std::string& text) override;

    // RunObserver: after each step of a run, the step count, the frame and
    // the window's events.
    void Committed(const CommittedStep& step) override;

    Dialogs& dialogs_;
    std::unique_ptr<RunAutosave> autosave_;
    QImage image_;
    common::QImageCanvas canvas_;
    char separator_;
    QLineEdit* edits_[kFieldCount][4] = {};
    QLabel* labels_[kFieldCount][4] = {};
    bool closePending_ = false;
    bool skipActivate_ = false;
};

}  // namespace duoplex::forms

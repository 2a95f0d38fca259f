#pragma once
// The main window of the 3D program: the drawing area, the bottom panel with
// the listing, the commentary and the name field, the right-hand panel with
// the run controls, the view buttons and the parameter fields, and the menus.
// Handlers carry the names of their controls and events; the work behind
// them is done by the windowless code.
#include <QCheckBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sphaeron/forms/controls.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/listing_model.h"
#include "sphaeron/forms/structure_watch.h"
#include "sphaeron/session/run_autosave.h"
#include "sphaeron/session/session.h"
#include "sphaeron/view/scene.h"

class QAction;
class QMenu;
class QToolBar;

namespace sphaeron::forms {

class TEditDlg;
class TAboutBox;
class TPlotsWindow;
class NumberKeyFilter;

class TMainForm : public QMainWindow {
public:
    // 725 x 525 is the window's outer size on the desktop it was drawn for,
    // title bar and borders included. Inside, the drawing area starts as
    // 725 x 289 above the 182-pixel bottom panel; the window is sized so.
    static constexpr int kFormWidth = 725;
    static constexpr int kDrawingHeight = 289;
    static constexpr int kPanHeight = 182;
    static constexpr int kPanel1Width = 243;
    static constexpr int kNull00Width = 24;

    // Builds the window and runs its start-up (FormCreate). Everything the
    // window and what it makes ask the user or show in a box goes through
    // `dialogs` (not owned).
    TMainForm(Session& session, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Windows created after the main window (program start order).
    TEditDlg* EditDlg = nullptr;
    TAboutBox* AboutBox = nullptr;
    // Where the help files are looked up (beside the executable).
    QString HelpFolder;
    // The help file in use ("HlpArtRu.hlp" or "HlpArtPl.hlp").
    QString HelpFile;

    // ---- controls -------------------------------------------------------
    // Menus
    QMenu* File1 = nullptr;
    QAction* New1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* SaveAs1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* View1 = nullptr;
    QMenu* Images = nullptr;  // "Show Images"
    QAction* Daons1 = nullptr;  // "Taons"
    QAction* Spiral1 = nullptr;
    QAction* ShowSpin = nullptr;
    QAction* ShowNumbersOfPoints = nullptr;
    QAction* MoveToCenter = nullptr;
    QMenu* Manager = nullptr;  // never shown: its items work through their keys
    QAction* Left1 = nullptr;
    QAction* Right1 = nullptr;
    QAction* Up1 = nullptr;
    QAction* Down1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* EnglishHelp1 = nullptr;
    QAction* RussianHelp1 = nullptr;
    QAction* PolandHelp1 = nullptr;
    QAction* About1 = nullptr;

    // Drawing area and its legend
    ResizingWidget* Body = nullptr;
    DrawingArea* DrawArea = nullptr;
    QRadioButton* RadioButton3 = nullptr;

    // Bottom panel
    QFrame* Pan = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* TabListing = nullptr;
    QWidget* TabCommentary = nullptr;
    QTableView* DaonsTable = nullptr;
    GridModel* Listing = nullptr;  // the cells of DaonsTable
    QPlainTextEdit* Comment = nullptr;
    QLineEdit* FName = nullptr;

    // Right-hand panel: run controls
    QFrame* Panel1 = nullptr;
    QPushButton* Go = nullptr;
    TShape* ShapeLime = nullptr;
    TShape* ShapeRed = nullptr;
    QLabel* LabelTime = nullptr;
    QLabel* LTime = nullptr;
    QCheckBox* ShowList = nullptr;
    QPushButton* Null00 = nullptr;
    QCheckBox* Cool = nullptr;
    QCheckBox* StopL = nullptr;
    QWidget* ModeBox = nullptr;
    QRadioButton* RB0 = nullptr;
    QRadioButton* RB1 = nullptr;
    QRadioButton* RB2 = nullptr;
    // View buttons and the amplitude bar
    QPushButton* DaoBack = nullptr;
    QPushButton* DaoTeta = nullptr;
    QPushButton* DaoPsi = nullptr;
    QPushButton* DaoPhi = nullptr;
    QPushButton* DaoStop = nullptr;
    QPushButton* DaoPhi1 = nullptr;
    QPushButton* DaoForvard = nullptr;
    QPushButton* DaoTeta1 = nullptr;
    QPushButton* DaoPsi1 = nullptr;
    QSlider* TrackBar = nullptr;
    // Parameter panel, in document order (DT, A1 .. G1, A2 .. G2, A3 .. G3)
    QLineEdit* EditDT = nullptr;
    QLineEdit *EditA1 = nullptr, *EditB1 = nullptr, *EditC1 = nullptr, *EditD1 = nullptr, *EditF1 = nullptr,
              *EditG1 = nullptr;
    QLineEdit *EditA2 = nullptr, *EditB2 = nullptr, *EditC2 = nullptr, *EditD2 = nullptr, *EditF2 = nullptr,
              *EditG2 = nullptr;
    QLineEdit *EditA3 = nullptr, *EditB3 = nullptr, *EditC3 = nullptr, *EditD3 = nullptr, *EditF3 = nullptr,
              *EditG3 = nullptr;
    std::array<QLineEdit*, kParameterCount> ParameterFields{};
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr;  // "1-50", "51-80", "81-100"

    QTimer* Timer = nullptr;

    // The back buffer the pictures are drawn into; DrawArea shows it.
    QImage BackBuffer;

    // ---- handlers -------------------------------------------------------
    void FormCreate();
    void FormPaint();
    void FormResize();
    void FormMouseDown(Qt::MouseButton button, int x, int y);
    void FormMouseUp(Qt::MouseButton button, int x, int y);

    // Run controls
    void GoClick();
    // A mode button or a check box of the run changed: the session's
    // switches follow, for the next step.
    void SwitchesClick();
    RunSwitches WindowSwitches() const;
    // During a run pending messages are dispatched when this much time has
    // passed since the last dispatch, and the picture, the listing, the step
    // counter and the strip drawn at most as often (less often when drawing
    // would take more than a few per cent of the run); a step slower than
    // this is drawn every time. Zero draws and dispatches after every step.
    std::chrono::nanoseconds FrameInterval{16'666'667};
    // Draws the state of the moment: counter, picture, listing, strip.
    void ShowRunFrame();
    void FillListing();
    void Null00Click();
    void LTimeDblClick();
    void DaonsTableDblClick();

    // View controls
    void DaoTetaClick();
    void DaoTeta1Click();
    void DaoPsiClick();
    void DaoPsi1Click();
    void DaoPhiClick();
    void DaoPhi1Click();
    void DaoStopClick();
    void DaoForvardClick();
    void DaoBackClick();
    void TrackBarChange();
    void TimerTimer();
    void ShowSpinClick();
    void ShowNumbersOfPointsClick();
    void MoveToCenterClick();
    void Left1Click();
    void Right1Click();
    void Up1Click();
    void Down1Click();
    void Spiral1Click();
    void Daons1Click();

    // File and help commands
    void New1Click();
    void Open1Click();
    // What "Open" does with the chosen path (also for a document named on
    // the command line): all or nothing, then the window shows it.
    void OpenDocument(const std::string& path);
    void Save1Click();
    void SaveAs1Click();
    void Exit1Click();
    void EnglishHelp1Click();
    void RussianHelp1Click();
    void PolandHelp1Click();
    void About1Click();

    // Fields and memo
    void EditDTExit();
    // Leaving one of the eighteen group fields (EditA1 .. EditG3; `index` in
    // document order, 1 .. 18) stores its value as leaving EditDT does.
    void GroupFieldExit(int index);
    void CommentChange();
    void CommentExit();

    // ---- helpers the handlers share ---------------------------------------
    Session& Data() { return session_; }
    const TaonState& State() const { return session_.State(); }
    // The decimal separator of the user's locale.
    static char Separator();
    // The picture of the moment: state, view, canvas and the switches.
    Picture CurrentPicture();
    // Runs a drawing command on the picture of the moment; the drawing area
    // shows the back buffer afterwards, also when the command fails.
    void ViewCommand(const std::function<void(Picture&)>& command);
    void ViewCommand(void (*command)(const ViewControls&, Picture&));
    void DrawTaonScene();
    void DrawFigureScene();
    void RedrawPicture();
    // The nineteen fields from DT, A1 .. G3, and the plots window from the
    // state (a new energy series).
    void FillParameterFields();
    // The nineteen fields alone.
    void ShowParameterTexts();
    // The top of the bottom panel: the height of the drawing area.
    int PanTop() const;
    // The memo's text as the commentary file holds it, and back.
    std::string CommentText() const;
    void SetCommentText(const std::string& text);
    // Idle and running looks of the run controls (Stopped is set apart).
    void ShowRunLook(bool running);
    // Step counter as shown in LTime.
    void ShowStepCount(int n);

    // ---- the plots window (main_form_plots.cpp) ----------------------------
    QAction* Plots1 = nullptr;      // View, "Plots" (F9)
    TPlotsWindow* Plots = nullptr;  // made at the first F9
    void Plots1Click();
    StepSwitches PlotsSwitches() const;
    // After a committed step of a run: a sample when one is due, with the
    // energies the step formed on the way (`before`: of the state before it).
    bool PlotsSampleDue() const;
    void PlotsStepDone(const CommittedStep& step);
    void PlotsRunEnded();  // the final state of a run
    void PlotsParametersChanged();
    void PlotsRefresh();  // new parameters and taons
    void PlotsStateShown();  // a recorded state of the run shown

    // ---- the timeline (main_form_timeline.cpp) -----------------------------
    QAction* Timeline1 = nullptr;        // View, "Timeline" (F10): the strip
    QToolBar* TimelineStrip = nullptr;   // below the panels, hidden at start
    QSlider* TimelineSlider = nullptr;   // the recorded states, the first at the left
    QLabel* TimelineLabel = nullptr;     // the step shown and the steps recorded
    QAction* TimelineBack = nullptr;     // Alt+Left
    QAction* TimelineForward = nullptr;  // Alt+Right
    QAction* TimelineFirst = nullptr;    // Alt+Home
    QAction* TimelineLast = nullptr;     // Alt+End
    QAction* TimelineStepBack = nullptr;     // Shift+Alt+Left: the step before, recomputed if not held
    QAction* TimelineStepForward = nullptr;  // Shift+Alt+Right: the step after, likewise
    void Timeline1Click();
    void TimelineSliderChange();
    void TimelineBackClick();
    void TimelineForwardClick();
    void TimelineFirstClick();
    void TimelineLastClick();
    void TimelineStepBackClick();
    void TimelineStepForwardClick();
    // The recorded state at `index` as the current one, shown everywhere;
    // nothing during a run or without one.
    void ShowRecordedState(std::optional<std::size_t> index);
    // One step from the state shown, recomputed where none is held.
    void ShowStepNextTo(int direction);
    // The picture, the listing, the fields and the strip after a move.
    void ShowMovedState();
    // The strip follows the timeline.
    void ShowTimeline();
    // A new first state: a document, the start structure or edited taons
    // took the place of the state (nothing is recorded in the spiral).
    void RestartTimeline();

    // ---- run archives (main_form_runs.cpp) ----------------------------------
    QAction* SaveRunAs1 = nullptr;  // File, "Save Run As..."
    // Writes the timeline's states as a run archive (the file dialog, then a
    // replace question for a file that is no archive).
    void SaveRunAs1Click();
    // What "Open" does with a run archive: the timeline holds its frames and
    // the last is shown with its switches (and, when given, under the name
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

    // ---- structure analysis (main_form_structure.cpp) ----------------------
    QMenu* ColourBy1 = nullptr;  // View, "Colour By": one of the four below
    QAction* ColourByGroup = nullptr;  // the picture as described (the default)
    QAction* ColourByCoordination = nullptr;
    QAction* ColourByQ6 = nullptr;
    QAction* ColourByCluster = nullptr;
    void ColourByClick();
    StructureWatch& Structure() { return *structure_; }
    // After each step of a run: the analysis when due, for the colours.
    void StructureStepDone(const CommittedStep& step);
    // A sample of the plots window: the structure row gets the analysis of the state.
    void StructureSampled(const TaonState& s);
    // The plots window's structure row starts anew from the state.
    void StructureRefresh();
    // The rule chosen in the plots window: remembered, and analysed anew.
    void StructureRuleChanged(const structure::NeighbourChoice& c);

    // ---- movies (main_form_movie.cpp) --------------------------------------
    QAction* ExportMovie1 = nullptr;  // File, "Export Movie ..."
    // Draws held states of the timeline, as the window shows them now, into
    // a movie file.
    void ExportMovie1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildBottomPanel();
    void BuildRightPanel();  // the run controls, then:
    void BuildViewButtons();
    void BuildParameterPanel();
    void BuildTimeline();
    void BuildStructureMenu();
    // The colours of the picture of the moment (null for the group colours).
    const TaonColouring* StructureColouring();
    void BuildMovieExport();
    QLineEdit* MakeField(QWidget* parent, int x, int y, int w, QColor colour, bool filtered);
    QPushButton* MakeViewButton(int x, int y, int w, const QString& caption, void (TMainForm::*handler)());
    void ArrangeControls();
    void ShowHelpContents();
    void ShowDocumentName();
    // The velocity reset's caption, in maroon.
    void ShowNull00(const QString& caption);
    // Wires a handler so that a failure in it reaches the failure handler.
    template <class Signal, class Sender>
    void Wire(Sender* sender, Signal signal, void (TMainForm::*handler)()) {
        connect(sender, signal, this, [this, handler] { Guarded(dialogs_, [&] { (this->*handler)(); }); });
    }

    Session& session_;
    Dialogs& dialogs_;
    BackBufferCanvas canvas_;
    NumberKeyFilter* keyFilter_ = nullptr;
    bool runActive_ = false;  // the run loop is on the stack
    bool closeAfterRun_ = false;
    bool created_ = false;
    int timelineGrowth_ = 0;  // what the window grew by for the strip
    std::unique_ptr<StructureWatch> structure_;
    std::unique_ptr<RunAutosave> autosave_;
};

// The open and save dialogs for documents (filter "Taons files
// (*.ato)|*.ato", default extension "ato"); nothing when cancelled. The
// save dialog's answer goes through MayReplace.
std::optional<std::string> AskDocumentToOpen(common::qt::Dialogs& dialogs, QWidget* parent);
std::optional<std::string> AskDocumentToSave(common::qt::Dialogs& dialogs, QWidget* parent);
// File > Open offers documents and run archives; a run archive is known by
// its extension or its first bytes.
inline constexpr const char* kDocumentOrRunFilter =
    "Taons files and runs (*.ato *.atorun)|*.ato;*.atorun|Taons files (*.ato)|*.ato|Sphaeron runs (*.atorun)|*.atorun";
inline constexpr const char* kRunFilter = "Sphaeron runs (*.atorun)|*.atorun";
bool IsRunPath(const std::string& path);
// Before a document is written to `path`: when an existing file there is no
// document, the question whether to replace it; false for No.
bool MayReplace(common::qt::Dialogs& dialogs, QWidget* parent, const std::string& path);

}  // namespace sphaeron::forms

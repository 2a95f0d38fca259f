#pragma once
// The windowless side of the 3D program: the data the windows share (the
// simulation state, the view state and its step sizes, the document record
// buffer, the two document names, the step engine) and the document
// commands behind the File menu, the edit dialog, the velocity reset and the
// "Taons" view command. The windows pass values in and show what comes
// back; nothing here needs a window.
//
// Each command does its steps in the order the program has always done
// them: a failure (an exception with the text to show) ends it at that
// step, and what came before stays done.
#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/run_archive.h"
#include "common/timeline.h"
#include "sphaeron/core/taon_state.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/session/run_loop.h"
#include "sphaeron/view/view_commands.h"
#include "sphaeron/view/view_state.h"

namespace sphaeron {

// Titles that stand in DocumentName or FName when no document is shown.
inline constexpr const char* kSpiralTitle = "ThetraSpiral";
inline constexpr const char* kEasySquareTitle = "The easy square";
inline constexpr const char* kStableStructureTitle = "This is a stabil structur of taons";

// What LoadRememberedDocument found.
enum class RememberedDocument {
    NoStartFile,     // the start file cannot be opened; nothing changed
    NoneRemembered,  // its first line is empty; LastDocumentName cleared
    Unreadable,      // a path the silent test cannot open; the names are set
    Loaded,          // the document is read and distributed
};

// Before a document is written over an existing file whose size is not
// exactly one record and that is not the JSON form: "'README.md' is 11,372
// bytes long and is not a Sphaeron document. Replace it?" (the file's name
// without its folder).
// Nothing for a new name, a document-sized file or anything but a file.
std::optional<std::string> ReplaceQuestion(const std::string& path);
// Before a longer file that is no document is opened as one: "'README.md'
// is 11,372 bytes long and is not a Sphaeron document. Open its first 6296
// bytes anyway?". Nothing for a record-sized or shorter file (the read
// reports "Read beyond end of file"), the JSON form or anything but a file.
std::optional<std::string> OpenQuestion(const std::string& path);

// Before a run archive is written to `path`: when an existing file there is
// no run archive, "'notes.txt' is 1,234 bytes long and is not a Sphaeron run
// archive. Replace it?"; nothing otherwise.
std::optional<std::string> RunReplaceQuestion(const std::string& path);

// A state of the timeline: the record Save would write, then the switches
// (as an archive frame holds them) of the step that made it.
inline constexpr std::size_t kTimelineEntrySize = kDocumentSize + common::kRunSwitchesSize;

class Session {
public:
    explicit Session(int stepThreads = 1);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // ---- what the windows show ---------------------------------------------
    // Read here; changed only through the commands and operations below.
    const TaonState& State() const { return state_; }
    const ViewState& View() const { return view_; }
    const ViewControls& Controls() const { return controls_; }
    // The document record buffer: the record read (with the bytes the state
    // does not hold) that Save packs the state into.
    const TaonsDocument& Document() const { return document_; }
    // The current document: what "Save" writes and what FName shows. Before
    // any document is known it holds a title instead of a path.
    const std::string& DocumentName() const { return documentName_; }
    // The path read from or written to the start file.
    const std::string& LastDocumentName() const { return lastDocumentName_; }
    // Called whenever a command sets DocumentName (FName follows it), also
    // when the command then fails at a later step; empty: no one is told.
    void OnDocumentNameSet(std::function<void()> shown) { documentNameSet_ = std::move(shown); }
    // The command line names a document: start-up leaves the remembered one
    // alone (the window then opens the one named).
    void SkipRememberedDocument() { skipRemembered_ = true; }
    // The record Save would write now: the buffer with the state packed in.
    TaonsDocument Packed() const;

    // ---- the picture and the view -----------------------------------------
    // The state and the view of the moment on `canvas`, for a redraw (which
    // projects the taons into the view and turns the spiral's figure) or a
    // view command (which changes the view).
    Picture PictureOn(common::Canvas& canvas, SceneSwitches switches);
    // The centre of the drawing area of `width` x `panTop` (paint, resize).
    void CenterView(int width, int panTop);
    // The mouse drag that turns the view (see StartDrag and EndDrag in
    // view_commands.h); `p` is from PictureOn.
    void StartDrag(MouseButton button, int x, int y);
    void EndDrag(Picture& p, MouseButton button, int x, int y);
    // The TrackBar's position as the angle and zoom steps (SetAmplitude).
    void SetAmplitude(int position);
    // "ShowSpin": returns the check mark (ToggleSpin).
    bool ToggleSpin(bool itemChecked);
    // LTime's double click: the step counter shown during runs, or not.
    void ToggleTimeDisplay() { state_.TimeDisplayOn = !state_.TimeDisplayOn; }
    // The listing's double click: velocities instead of positions, or back.
    void ToggleListVelocities() { state_.ListVelocities = !state_.ListVelocities; }

    // ---- the run ----------------------------------------------------------
    // One step of all moving taons by DT, committed (see StepEngine); with
    // `before`, also the observables of the state before it.
    void Step(const StepSwitches& sw, Observables* before = nullptr);
    // The switches the steps of a run are made with.
    const RunSwitches& Switches() const { return switches_; }
    void SetSwitches(const RunSwitches& switches) { switches_ = switches; }
    // The one run loop. Steps until `maxSteps` steps are made (kUntilStopped:
    // no limit) or a stop is requested (State().Stopped set, also by RequestStop), and
    // after each committed step counts it, records the state (the timeline
    // and every recorder added) and hands it to the observer, between two
    // steps. An arithmetic fault of a step ends the run with the state
    // committed before it; the result carries the fault. A failure of a
    // recorder or the observer ends the run and is thrown on. Stopped is
    // false while the loop runs and true when it returns. A call while a run
    // is going on does nothing.
    static constexpr std::uint64_t kUntilStopped = ~std::uint64_t{0};
    RunResult Run(std::uint64_t maxSteps, RunObserver* observer = nullptr);
    void RequestStop() { state_.Stopped = true; }
    // Stopped false again: a stop requested and not yet reached is called
    // off ("Go" right after "Stop" within one dispatch).
    void CancelStop() { state_.Stopped = false; }
    bool Running() const { return running_; }
    // The run's step count in 64 bits. State().StepCount, the counter the
    // window shows, is its low 32 bits read as a signed number, so it wraps
    // from 2147483647 to -2147483648 and on to 0 as defined arithmetic. A
    // counter set apart from it (a document opened, a value typed in
    // Python) starts the count anew from that value.
    std::uint64_t Steps() const;
    void SetSteps(std::uint64_t steps);
    // Recorders (not owned) that keep every committed state besides the
    // timeline.
    void AddRecorder(StateRecorder* recorder);
    void RemoveRecorder(StateRecorder* recorder);
    // The threads of the step engine; results are the same on any number.
    void SetStepThreads(int threads);
    int StepThreads() const;

    // ---- the timeline -----------------------------------------------------
    // The committed states since the document was loaded, each as the record
    // Save would write then followed by the switches of the step that made it
    // (kTimelineEntrySize bytes), with its step count. The window records the
    // state after each committed step and restarts the timeline whenever a
    // document, the start structure or the edited taons take the place of
    // the state.
    const common::Timeline& Timeline() const { return timeline_; }
    // How many bytes of states it may hold (0: none, as a headless run).
    void SetTimelineBudget(std::size_t bytes) { timeline_.SetBudget(bytes); }
    // Clears the timeline and records the state as its first; in the spiral
    // there is no state to record and it stays empty.
    void RestartTimeline();
    // At "Go": drops the states after the one shown, and records the state
    // when something changed it since (the velocity reset, the edit dialog).
    void ContinueTimeline();
    // After a committed step: the state, with its step count, as the newest.
    void RecordStep();
    // Makes the recorded state at `index` the current one: DT, the
    // parameters, presence, the committed, working and view copies of every
    // slot, and the step count. False (nothing changed) when there is none.
    bool ShowRecorded(std::size_t index);

    // The step next to the state shown (direction +1: after, -1: before):
    // shown when the timeline holds it, else recomputed exactly from the
    // state held before it (a thinned timeline, a sparse archive), put into
    // the timeline and shown. Where the parameters differ between the two
    // states held around it, the change lies somewhere between them and
    // the step cannot be recomputed: the move goes to the state held next
    // in that direction instead. False when there is none.
    bool ShowStepNextTo(int direction);

    // ---- run archives (session_runs.cpp) ------------------------------------
    // "Save Run As...": the timeline's states as a run archive (the first
    // state, then every state held, with a frame wherever the parameters or
    // switches changed between two steps). `replace`: an existing file that
    // is no archive is replaced (only after the archive is written in full
    // beside it); without it, such a file is refused.
    void SaveRunAs(const std::string& path, bool replace = false) const;
    // Opening a run archive: the timeline holds its frames, the last is
    // shown with its switches and step count; all or nothing. The document's
    // name is the archive's with the document extension, and NameFromRun is
    // set until a command names the document.
    // With `documentName` (a run restored after an unclean end) the
    // document keeps that name instead.
    void OpenRun(const std::string& path, const std::string& documentName = {});
    // The document name was made from a run archive's: Save asks for a name.
    bool NameFromRun() const { return nameFromRun_; }

    // ---- document commands ------------------------------------------------
    // "Open": reads the record (or the JSON form) and writes the start file
    // before anything else changes; then the record is the buffer, the document the current
    // one (spiral mode off, step count 0) and its taons the state. Returns
    // the document's commentary, when it has one.
    std::optional<std::string> OpenDocument(const std::string& path);
    // Every save writes the record, or its JSON form for a name ending in
    // ".json" (so a document opened from JSON stays JSON).
    // "Save": the state to DocumentName; false (and nothing done) in the
    // spiral.
    bool SaveDocument();
    // "Save As ..." and the velocity reset's save: writes, then the path
    // becomes the current and the remembered document.
    void SaveDocumentAs(const std::string& path);
    // The edit dialog's "Save As": writes a copy; no name changes.
    void SaveCopy(const std::string& path);
    // The edit dialog's "OK": writes, makes the path the current document,
    // starts the working and view copies of the present taons from the
    // committed ones, then remembers the path.
    void SaveEditedDocument(const std::string& path);
    // The velocity reset: all velocities zero unless the spiral is shown or
    // a run is active; true when it acted (the window then asks for a name
    // and saves with SaveDocumentAs).
    bool NullVelocities();
    // Start-up and the "Taons" command: the document the start file names.
    // The names are set before the record is read, so a read that fails
    // (shorter than a record) leaves them set and the state as it was.
    RememberedDocument LoadRememberedDocument();
    // The program's start-up after the window is made, for a drawing area
    // of `width` x `panTop`: the view defaults, the remembered document (a
    // start file made when there is none) or a start figure, the view step
    // sizes, and the time step in force (the document's, else 0.001). A
    // failure start-up goes on after is handed to `report`, in its order.
    // Returns what was found, and the document's commentary when it has
    // one. The state ends stopped, with its first state recorded.
    struct StartUpResult {
        RememberedDocument found;
        std::optional<std::string> commentary;
    };
    StartUpResult StartUp(int width, int panTop, const std::function<void(const std::exception&)>& report);
    // The "Taons" command: the remembered document again, the stable
    // structure when none is remembered, the start structure when it cannot
    // be read; the state shown is the first of the timeline.
    RememberedDocument ShowTaons();
    // The edit dialog's taons taken as a new state: out of the spiral, the
    // count at 0, the first state of the timeline.
    void AdoptNewTaons();
    // A record as the document, as a tool or a benchmark starts from one:
    // the buffer, and the state distributed from it (positions, velocities,
    // parameters, presence); names, count and timeline stay as they are.
    void UseRecord(const TaonsDocument& record);
    // A parameter in document order (0 DT, 1 .. 18 A1 .. G3); it acts on
    // the next step.
    void SetParameter(int index, long double value);
    // A parameter in document order (0 DT, 1 .. 18 A1 .. G3) from its field
    // text; a bad text throws its conversion error and changes nothing. It
    // acts on the next step.
    void ReadParameter(int index, const std::string& text, char separator);
    // The commentary memo: a change of its text, whether it changed since
    // the last question (and whether so far, the change taken), and the save
    // of its text beside the document.
    void MarkCommentModified() { commentModified_ = true; }
    bool CommentModified() const { return commentModified_; }
    bool TakeCommentChange();
    void SaveComment(const std::string& text);

    // ---- fields -----------------------------------------------------------
    // The nineteen parameters as shown in the fields, in document order.
    std::array<std::string, kParameterCount> ParameterTexts(char separator) const;
    // The nineteen field texts into DT, A1 .. G3, each stored as soon as it
    // converts; a bad text throws its conversion error there.
    void ReadParameters(const std::array<std::string, kParameterCount>& texts, char separator);
    // The edit dialog's "&Yes": x, y, z, u(x), u(y), u(z) of taon k from
    // texts, each stored as soon as it converts, then its presence.
    void SubmitTaon(int k, const std::array<std::string, 6>& texts, bool present, char separator);

private:
    // Tests set up states and names no command would make.
    friend struct SessionTestAccess;

    // The one way DocumentName changes; FName follows unless `shown` is
    // false (the spiral's title at start-up leaves "File Name").
    void SetDocumentName(const std::string& name, bool shown = true);
    void Remember(const std::string& path);
    void Write(const std::string& path);
    // The timeline's entry of the state now: the record and `switches`.
    std::vector<unsigned char> TimelineEntry(const common::SwitchBytes& switches) const;

    // The timeline is the first recorder of every run.
    struct TimelineRecorder : StateRecorder {
        explicit TimelineRecorder(Session& s) : session(s) {}
        void Record(const CommittedStep&) override { session.RecordStep(); }
        Session& session;
    };

    TaonState state_;
    ViewState view_;
    ViewControls controls_;
    TaonsDocument document_;
    std::string documentName_;
    std::string lastDocumentName_;
    bool commentModified_ = false;
    bool skipRemembered_ = false;
    bool nameFromRun_ = false;
    std::function<void()> documentNameSet_;
    common::Timeline timeline_{kTimelineEntrySize};

    std::unique_ptr<StepEngine> engine_;
    RunSwitches switches_;
    std::uint64_t steps_ = 0;
    bool running_ = false;
    TimelineRecorder timelineRecorder_;
    std::vector<StateRecorder*> recorders_;
};

}  // namespace sphaeron

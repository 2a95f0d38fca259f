#pragma once
// The windowless side of the planar program: the state, its step count in
// 64 bits, the settings of the run, the timeline of committed states, the
// document snapshot of "Save as ...", the built-in configurations, the file
// commands and the one run loop. The window, duoplex-run, the Python module
// and the benchmarks all run through it.
//
// Commands run their steps in the program's order: a failure (an exception
// with the text to show) ends a command at that step and what came before
// stays done.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/canvas.h"
#include "common/run_archive.h"
#include "common/timeline.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"
#include "duoplex/session/run_loop.h"

namespace duoplex {

// The window's fields of the values, as texts: the 24 gravon values and the
// time step, shown and read with the locale's decimal separator.
class ValueFields {
public:
    virtual ~ValueFields() = default;
    virtual std::string Text(Field f, int k) const = 0;
    virtual void Show(Field f, int k, const std::string& text) = 0;
    virtual std::string DTText() const = 0;
    virtual void ShowDT(const std::string& text) = 0;
    virtual char Separator() const = 0;
};

// A question to the user; true for Yes.
using Confirmation = std::function<bool(const std::string& question)>;

// A timeline entry: the record of a state and the switches (as an archive
// frame holds them) of the step that made it.
inline constexpr std::size_t kTimelineEntrySize = kGravRecordSize + common::kRunSwitchesSize;

// Before a run archive is written to `path`: when an existing file there is
// no run archive, "'notes.txt' is 1,234 bytes long and is not a Duoplex run
// archive. Replace it?"; nothing otherwise.
std::optional<std::string> RunReplaceQuestion(const std::string& path);
// Whether "Open" takes the file as a run archive: by its extension or its
// first bytes.
bool IsRunPath(const std::string& path);

class Session {
public:
    explicit Session(FaultKeeps keeps = FaultKeeps::StateBeforeStep,
                     std::size_t timelineBudget = common::Timeline::kDefaultBudget);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const PlanarState& State() const { return state_; }
    // The steps of the state; `StepCount` shows them (ShownStepCount).
    std::uint64_t Steps() const { return steps_; }
    StepSettings Settings() const { return settings_; }

    // ---- changes ----------------------------------------------------------
    // Between runs they act at once. During a run they act on the very next
    // step: at once when made between steps on the run's own thread (by the
    // observer), otherwise queued and applied before the next step.
    void SetSettings(const StepSettings& settings);
    void SetDT(long double dt);
    void SetValue(Field f, int k, long double value);
    // The step count of the state (also to set counts no run would reach).
    void SetSteps(std::uint64_t steps);

    // ---- the run ----------------------------------------------------------
    // Steps until maxSteps are made (kUntilStopped: no limit) or a stop is
    // requested. Each committed state goes to the timeline and the
    // recorders, then to the observer (may be null). An arithmetic fault
    // ends the run with its text (see FaultKeeps); the observer's exceptions
    // end it and pass on.
    RunResult Run(std::uint64_t maxSteps, RunObserver* observer);
    // Ends the run after the step in progress; from any thread.
    void RequestStop() { stopRequested_ = true; }
    // A stop requested but not yet reached is called off.
    void CancelStop() { stopRequested_ = false; }
    bool Running() const { return running_; }
    // No run, or one that ends after its step.
    bool Stopped() const { return !running_ || stopRequested_; }
    void AddRecorder(StateRecorder* recorder);
    void RemoveRecorder(StateRecorder* recorder);

    // ---- the timeline -----------------------------------------------------
    // Every committed state since the last Open, Refresh, New or start, as
    // its record and switches (kTimelineEntrySize) with its step count.
    const common::Timeline& Timeline() const { return timeline_; }
    void SetTimelineBudget(std::size_t bytes) { timeline_.SetBudget(bytes); }
    void RestartTimeline();
    // The recorded state at index as the current one, shown in the fields;
    // false (nothing changes) during a run or without one.
    bool ShowRecorded(std::optional<std::size_t> index, ValueFields& fields);

    // ---- the window's commands --------------------------------------------
    // Start-up: the start-up values shown, the snapshot taken from them.
    void StartUp(ValueFields& fields);
    // "New": the New values, shown; the step count and snapshot stay.
    void New(ValueFields& fields);
    // "Refresh": the function's configuration (GravoNew: the typed values),
    // shown; dt through its field; the snapshot; step count 0.
    void Refresh(FunctionChoice f, bool threeGravons, ValueFields& fields);
    // The snapshot "Save as ..." writes: A, B, C, D and DT from the state,
    // the positions and speeds as their fields show them.
    void TakeSnapshot(const ValueFields& fields);
    // "Open": a record or its JSON form; a file of another size is opened
    // only when `confirm` says Yes to OpenQuestion (grav_json.h). False when declined. A
    // failure changes nothing.
    bool Open(const std::string& path, const Confirmation& confirm, ValueFields& fields);
    // "Save as ...": the snapshot; a file that is no document is replaced
    // only when `confirm` says Yes to ReplaceQuestion.
    void SaveAs(const std::string& path, const Confirmation& confirm) const;
    // The 24 values and dt into the fields.
    void ShowValues(ValueFields& fields) const;

    // The document the state came from: the last opened (empty after the
    // start, New and Refresh). Autosaved runs are named after it.
    std::string DocumentName;

    // ---- run archives (session_runs.cpp) ----------------------------------
    // "Save Run As...": the timeline's states as a run archive (the first
    // state, every state held, a frame wherever the function, the gravon
    // pass, the brake or the values changed between two steps). A file there
    // that is no archive is refused, or with `replace` replaced once the
    // archive is written in full.
    void SaveRunAs(const std::string& path, bool replace = false) const;
    // Opening a run archive: the timeline holds its frames, the last is the
    // state (shown in the fields) with its settings. The document name is
    // the archive's with ".grav", or `documentName` when given (a run
    // restored after an unclean end). All or nothing.
    void OpenRun(const std::string& path, ValueFields& fields, const std::string& documentName = {});

    // ---- the tools' commands ----------------------------------------------
    // A record as the document: the snapshot, and the values.
    void UseRecord(const GravBytes& record);
    // The record's values (A .. SpeedY, DT) into the state; snapshot kept.
    void TakeValues(const GravBytes& record);
    // The function's start configuration and time step (GravoNew keeps the
    // gravons); false for GravoNew.
    bool UseConfiguration(FunctionChoice f, bool threeGravons);
    // A state and its count taken whole (a copy of another session's).
    void Replace(const PlanarState& state, std::uint64_t steps);
    // The record of the current values with the snapshot's unused bytes.
    GravBytes Record() const { return RecordedState(state_); }

    // ---- the picture ------------------------------------------------------
    // One frame of the state (DrawScene; it reads A from the window).
    void Draw(common::Canvas& canvas, SceneControls& controls);

private:
    struct Change {
        enum Kind { Settings, DT, Value } kind;
        StepSettings settings;
        long double value;
        Field field;
        int k;
    };
    void Submit(const Change& change);
    void Apply(const Change& change);
    void ApplyQueued();
    bool Step(RunResult& result);
    void Committed(RunObserver* observer);
    void SetCount(std::uint64_t steps);
    void Show(ValueFields& fields, Field f, int k) const;
    // The state's record followed by the switches.
    std::array<unsigned char, kTimelineEntrySize> TimelineEntry(const StepSettings& settings) const;

    FaultKeeps keeps_;
    PlanarState state_;
    std::uint64_t steps_ = 0;
    StepSettings settings_;
    common::Timeline timeline_;
    std::vector<StateRecorder*> recorders_;

    std::atomic<bool> running_{false}, stopRequested_{false};
    std::thread::id runThread_;
    std::mutex queueLock_;
    std::vector<Change> queue_;
    std::atomic<bool> queued_{false};
};

}  // namespace duoplex

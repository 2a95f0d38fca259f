#include "duoplex/session/session.h"

#include <algorithm>

#include "common/numtext.h"
#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_step.h"
#include "duoplex/core/run_archive.h"

namespace duoplex {

namespace {

constexpr Field kShownFields[] = {Field::X, Field::Y, Field::SpeedX, Field::SpeedY};

}  // namespace

Session::Session(FaultKeeps keeps, std::size_t timelineBudget)
    : keeps_(keeps), timeline_(kTimelineEntrySize, timelineBudget) {
    ResetToStartValues(state_);
}

// ---- changes ---------------------------------------------------------------

void Session::SetSettings(const StepSettings& settings) {
    Change c{};
    c.kind = Change::Settings;
    c.settings = settings;
    Submit(c);
}

void Session::SetDT(long double dt) {
    Change c{};
    c.kind = Change::DT;
    c.value = dt;
    Submit(c);
}

void Session::SetValue(Field f, int k, long double value) {
    Change c{};
    c.kind = Change::Value;
    c.field = f;
    c.k = k;
    c.value = value;
    Submit(c);
}

void Session::SetSteps(std::uint64_t steps) { SetCount(steps); }

void Session::SetCount(std::uint64_t steps) {
    steps_ = steps;
    state_.StepCount = ShownStepCount(steps);
}

void Session::Submit(const Change& change) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (running_ && std::this_thread::get_id() != runThread_) {
            queue_.push_back(change);
            queued_ = true;
            return;
        }
    }
    Apply(change);
}

void Session::Apply(const Change& change) {
    switch (change.kind) {
        case Change::Settings: settings_ = change.settings; break;
        case Change::DT: state_.DT = change.value; break;
        case Change::Value: duoplex::Value(state_, change.field, change.k) = change.value; break;
    }
}

void Session::ApplyQueued() {
    if (!queued_) return;
    std::lock_guard<std::mutex> lock(queueLock_);
    for (const Change& c : queue_) Apply(c);
    queue_.clear();
    queued_ = false;
}

// ---- the timeline ----------------------------------------------------------

std::array<unsigned char, kTimelineEntrySize> Session::TimelineEntry(const StepSettings& settings) const {
    const GravBytes record = Record();
    const common::SwitchBytes switches = EncodeSwitches(settings);
    std::array<unsigned char, kTimelineEntrySize> entry;
    std::copy(record.begin(), record.end(), entry.begin());
    std::copy(switches.begin(), switches.end(), entry.begin() + kGravRecordSize);
    return entry;
}

void Session::RestartTimeline() {
    timeline_.Restart(TimelineEntry(settings_).data(), static_cast<std::int64_t>(steps_));
    // During a run (a "New" between two steps) the recorders start anew too.
    if (running_)
        for (StateRecorder* r : recorders_) r->Restarted(CommittedStep{steps_, state_, settings_});
}

bool Session::ShowRecorded(std::optional<std::size_t> index, ValueFields& fields) {
    if (!index || !Stopped() || !timeline_.Show(*index)) return false;
    std::int64_t step = timeline_.StepAt(*index);
    ShowRecordedState(state_, timeline_.StateAt(*index), step);
    SetCount(static_cast<std::uint64_t>(step));
    ShowValues(fields);
    return true;
}

// ---- the window's commands -------------------------------------------------

void Session::Show(ValueFields& fields, Field f, int k) const {
    fields.Show(f, k, common::FormatReal(duoplex::Value(state_, f, k), fields.Separator()));
}

void Session::ShowValues(ValueFields& fields) const {
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k) Show(fields, f, k);
    fields.ShowDT(common::FormatReal(state_.DT, fields.Separator()));
}

void Session::StartUp(ValueFields& fields) {
    DocumentName.clear();
    ResetToStartValues(state_);
    SetCount(0);
    ShowValues(fields);
    struct Restart {
        Session* s;
        ~Restart() { s->RestartTimeline(); }
    } restart{this};  // also when the snapshot fails
    TakeSnapshot(fields);
}

void Session::New(ValueFields& fields) {
    ResetToNewValues(state_);
    DocumentName.clear();
    ShowValues(fields);
    RestartTimeline();
}

void Session::Refresh(FunctionChoice f, bool threeGravons, ValueFields& fields) {
    const char sep = fields.Separator();
    std::optional<StartConfiguration> c = RefreshConfiguration(f, threeGravons);
    if (c) {
        ApplyConfiguration(state_, *c);
    } else {
        // GravoNew: the typed values, each applied as it is read.
        for (int k = 1; k <= kGravons; ++k)
            for (Field field : kAllFields) duoplex::Value(state_, field, k) = common::ParseReal(fields.Text(field, k), sep);
    }
    for (Field field : kAllFields)
        for (int k = 1; k <= kGravons; ++k) Show(fields, field, k);
    fields.ShowDT(common::FormatReal(c ? c->DT : kGravoNewDT, sep));
    state_.DT = common::ParseReal(fields.DTText(), sep);
    TakeSnapshot(fields);
    SetCount(0);
    DocumentName.clear();
    RestartTimeline();
}

void Session::TakeSnapshot(const ValueFields& fields) {
    GravRecord r = RecordOfState(state_);
    for (Field f : kShownFields)
        for (int k = 1; k <= kGravons; ++k) duoplex::Value(r, f, k) = common::ParseReal(fields.Text(f, k), fields.Separator());
    state_.Snapshot = EncodeGravRecord(r);
}

bool Session::Open(const std::string& path, const Confirmation& confirm, ValueFields& fields) {
    if (std::optional<std::string> question = OpenQuestion(path))
        if (!confirm(*question)) return false;
    LoadDocument(path, state_);  // a record or its JSON form; throws before anything changes
    DocumentName = path;
    RestartTimeline();
    ShowValues(fields);
    return true;
}

void Session::SaveAs(const std::string& path, const Confirmation& confirm) const {
    if (std::optional<std::string> question = ReplaceQuestion(path))
        if (!confirm(*question)) return;
    SaveDocument(path, state_);
}

// ---- the tools' commands ---------------------------------------------------

void Session::UseRecord(const GravBytes& record) {
    state_.Snapshot = record;
    TakeRecordValues(state_, DecodeGravRecord(record));
}

void Session::TakeValues(const GravBytes& record) { TakeRecordValues(state_, DecodeGravRecord(record)); }

bool Session::UseConfiguration(FunctionChoice f, bool threeGravons) {
    return LoadStartConfiguration(state_, f, threeGravons);
}

void Session::Replace(const PlanarState& state, std::uint64_t steps) {
    state_ = state;
    SetCount(steps);
}

// ---- the picture -----------------------------------------------------------

void Session::Draw(common::Canvas& canvas, SceneControls& controls) { DrawScene(state_, canvas, controls); }

}  // namespace duoplex

#include "sphaeron/session/session.h"

#include <algorithm>
#include <filesystem>

#include "common/document_file.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/numtext.h"
#include "sphaeron/document/ato_json.h"
#include "sphaeron/session/run_archive.h"
#include "sphaeron/view/figures.h"

namespace sphaeron {

namespace {

// The size of a file that is neither one record long nor the JSON form (and
// at least `minimum` bytes long); nothing for such a document, a new name or
// anything but a file.
std::optional<std::uintmax_t> NotADocumentSize(const std::string& path, std::uintmax_t minimum = 0) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size == kDocumentSize || size < minimum || IsJsonDocumentFile(path)) return std::nullopt;
    return size;
}

}  // namespace

std::optional<std::string> ReplaceQuestion(const std::string& path) {
    const std::optional<std::uintmax_t> size = NotADocumentSize(path);
    if (!size) return std::nullopt;
    return common::SizeQuestion(path, *size, "Sphaeron", "Replace it?");
}

std::optional<std::string> OpenQuestion(const std::string& path) {
    // A shorter file has no record to open: it fails as it always did.
    const std::optional<std::uintmax_t> size = NotADocumentSize(path, kDocumentSize);
    if (!size) return std::nullopt;
    return common::SizeQuestion(path, *size, "Sphaeron",
                                "Open its first " + std::to_string(kDocumentSize) + " bytes anyway?");
}

Session::Session(int stepThreads)
    : engine_(std::make_unique<StepEngine>(std::max(stepThreads, 1))), timelineRecorder_{*this}, recorders_{&timelineRecorder_} {
    state_.SpiralMode = false;
    state_.Stopped = false;  // start-up sets it
    state_.DT = 0;
}

void Session::Step(const StepSwitches& sw, Observables* before) { engine_->Step(state_, sw, before); }

std::uint64_t Session::Steps() const {
    // The visible counter set apart from the count starts it anew.
    if (ShownCount(steps_) != state_.StepCount)
        return static_cast<std::uint32_t>(state_.StepCount);
    return steps_;
}

void Session::SetSteps(std::uint64_t steps) {
    steps_ = steps;
    state_.StepCount = ShownCount(steps);
}

void Session::AddRecorder(StateRecorder* recorder) { recorders_.push_back(recorder); }

void Session::RemoveRecorder(StateRecorder* recorder) { std::erase(recorders_, recorder); }

RunResult Session::Run(std::uint64_t maxSteps, RunObserver* observer) {
    if (running_) return {};
    running_ = true;
    struct Running {
        bool& on;
        ~Running() { on = false; }
    } running{running_};
    SetSteps(Steps());
    ContinueTimeline();
    return RunLoop({*engine_, state_, switches_, steps_, recorders_}, maxSteps, observer);
}

void Session::SetStepThreads(int threads) {
    threads = std::max(threads, 1);
    if (threads != engine_->Threads()) engine_ = std::make_unique<StepEngine>(threads);
}

int Session::StepThreads() const { return engine_->Threads(); }

Picture Session::PictureOn(common::Canvas& canvas, SceneSwitches switches) {
    return Picture{state_, view_, canvas, std::move(switches)};
}

void Session::CenterView(int width, int panTop) { UpdateCenter(view_, width, panTop); }

void Session::StartDrag(MouseButton button, int x, int y) { sphaeron::StartDrag(controls_, button, x, y); }

void Session::EndDrag(Picture& p, MouseButton button, int x, int y) { sphaeron::EndDrag(controls_, p, button, x, y); }

void Session::SetAmplitude(int position) { sphaeron::SetAmplitude(controls_, position); }

bool Session::ToggleSpin(bool itemChecked) { return sphaeron::ToggleSpin(controls_, itemChecked); }

TaonsDocument Session::Packed() const {
    TaonsDocument record = document_;
    PackDocument(state_, record);
    return record;
}

std::vector<unsigned char> Session::TimelineEntry(const common::SwitchBytes& switches) const {
    const TaonsDocument record = Packed();
    std::vector<unsigned char> entry(kTimelineEntrySize);
    std::copy_n(record.bytes.data(), kDocumentSize, entry.data());
    std::copy_n(switches.data(), switches.size(), entry.data() + kDocumentSize);
    return entry;
}

void Session::RestartTimeline() {
    if (state_.SpiralMode) {
        timeline_.Clear();
        return;
    }
    timeline_.Restart(TimelineEntry(EncodeSwitches(switches_)).data(), static_cast<std::int64_t>(Steps()));
}

void Session::ContinueTimeline() {
    if (state_.SpiralMode || !timeline_.Recording()) return;
    // The state shown is taken up again unless it changed: its switches
    // are not compared.
    common::SwitchBytes switches = EncodeSwitches(switches_);
    if (!timeline_.Empty())
        std::copy_n(timeline_.StateAt(timeline_.Shown()) + kDocumentSize, switches.size(), switches.begin());
    timeline_.Continue(TimelineEntry(switches).data(), static_cast<std::int64_t>(Steps()));
}

void Session::RecordStep() {
    if (!state_.SpiralMode && timeline_.Recording())
        timeline_.Record(TimelineEntry(EncodeSwitches(switches_)).data(), static_cast<std::int64_t>(Steps()));
}

bool Session::ShowRecorded(std::size_t index) {
    if (!timeline_.Show(index)) return false;
    TaonsDocument record;
    std::copy_n(timeline_.StateAt(index), kDocumentSize, record.bytes.begin());
    DistributeDocument(record, state_);
    SetSteps(static_cast<std::uint64_t>(timeline_.StepAt(index)));
    return true;
}

void Session::SetDocumentName(const std::string& name, bool shown) {
    documentName_ = name;
    nameFromRun_ = false;
    if (shown && documentNameSet_) documentNameSet_();
}

void Session::Remember(const std::string& path) {
    RememberLastDocument(path);
    lastDocumentName_ = path;
}

void Session::Write(const std::string& path) {
    PackDocument(state_, document_);
    if (common::IsJsonPath(path))
        common::WriteFileAtomic(path, AtoToJson(document_));
    else
        WriteDocument(path, document_);
}

std::optional<std::string> Session::OpenDocument(const std::string& path) {
    TaonsDocument record = document_;
    ReadDocumentOrJson(path, record);
    Remember(path);
    document_ = record;
    state_.SpiralMode = false;
    SetDocumentName(path);
    DistributeDocument(document_, state_);
    SetSteps(0);
    RestartTimeline();
    return LoadCommentary(documentName_);
}

bool Session::SaveDocument() {
    if (state_.SpiralMode) return false;
    Write(documentName_);
    return true;
}

void Session::SaveDocumentAs(const std::string& path) {
    Write(path);
    SetDocumentName(path);
    Remember(path);
}

void Session::SaveCopy(const std::string& path) { Write(path); }

void Session::SaveEditedDocument(const std::string& path) {
    Write(path);
    SetDocumentName(path);
    AdoptCommittedCopies(state_);
    Remember(path);
}

bool Session::NullVelocities() {
    if (state_.SpiralMode || !state_.Stopped) return false;
    ZeroVelocities(state_);
    return true;
}

RememberedDocument Session::LoadRememberedDocument() {
    std::optional<std::string> last = ReadLastDocument();
    if (!last) return RememberedDocument::NoStartFile;
    lastDocumentName_ = *last;
    if (last->empty()) return RememberedDocument::NoneRemembered;
    state_.SpiralMode = false;
    SetDocumentName(*last);
    if (!common::CanOpenForRead(documentName_)) return RememberedDocument::Unreadable;
    ReadDocumentOrJson(documentName_, document_);
    DistributeDocument(document_, state_);
    RestartTimeline();
    return RememberedDocument::Loaded;
}

Session::StartUpResult Session::StartUp(int width, int panTop,
                                       const std::function<void(const std::exception&)>& report) {
    StartView(view_, width, panTop);
    state_.SpiralMode = true;
    state_.TaonCount = kMaxTaons;
    // With a document on the command line, the spiral until that one is
    // opened: the remembered one is not even read.
    StartUpResult result{RememberedDocument::NoneRemembered, std::nullopt};
    if (!skipRemembered_) {
        result.found = RememberedDocument::Unreadable;
        try {
            result.found = LoadRememberedDocument();
        } catch (const common::AppError& e) {
            // A remembered document that cannot be read (shorter than a
            // record) is reported; start-up goes on with the easy square.
            report(e);
        }
    }
    switch (result.found) {
        case RememberedDocument::NoStartFile:
            try {
                CreateStartFile();
            } catch (const common::AppError& e) {
                report(e);  // start-up goes on with the spiral
            }
            [[fallthrough]];
        case RememberedDocument::NoneRemembered:
            BuildStartStructure(state_, view_);
            SetDocumentName(kSpiralTitle, false);
            break;
        case RememberedDocument::Unreadable:
            BuildStartStructure(state_, view_);
            break;
        case RememberedDocument::Loaded:
            result.commentary = LoadCommentary(documentName_);
            break;
    }
    StartViewControls(controls_);
    if (result.found != RememberedDocument::Loaded) state_.DT = 0.001L;
    state_.Stopped = true;
    RestartTimeline();
    return result;
}

RememberedDocument Session::ShowTaons() {
    state_.SpiralMode = false;
    const RememberedDocument found = LoadRememberedDocument();
    if (found == RememberedDocument::NoneRemembered) {
        BuildStartStructure(state_, view_);
        SetDocumentName(kStableStructureTitle);
    } else if (found == RememberedDocument::Unreadable) {
        BuildStartStructure(state_, view_);
    }
    // What is shown now is the first state, whatever it came from.
    RestartTimeline();
    return found;
}

void Session::AdoptNewTaons() {
    state_.SpiralMode = false;
    SetSteps(0);
    RestartTimeline();
}

void Session::UseRecord(const TaonsDocument& record) {
    document_ = record;
    DistributeDocument(document_, state_);
}

void Session::SetParameter(int index, long double value) { *ParameterField(state_, index) = value; }

void Session::ReadParameter(int index, const std::string& text, char separator) {
    *ParameterField(state_, index) = common::ParseReal(text, separator);
}

bool Session::TakeCommentChange() {
    const bool changed = commentModified_;
    commentModified_ = false;
    return changed;
}

void Session::SaveComment(const std::string& text) { SaveCommentary(documentName_, text); }

std::array<std::string, kParameterCount> Session::ParameterTexts(char separator) const {
    std::array<std::string, kParameterCount> texts;
    for (int i = 0; i < kParameterCount; ++i)
        texts[static_cast<std::size_t>(i)] = common::FormatReal(*ParameterField(state_, i), separator);
    return texts;
}

void Session::ReadParameters(const std::array<std::string, kParameterCount>& texts, char separator) {
    for (int i = 0; i < kParameterCount; ++i)
        *ParameterField(state_, i) = common::ParseReal(texts[static_cast<std::size_t>(i)], separator);
}

void Session::SubmitTaon(int k, const std::array<std::string, 6>& texts, bool present, char separator) {
    long double* const values[6] = {state_.X, state_.Y, state_.Z, state_.Ux, state_.Uy, state_.Uz};
    for (std::size_t i = 0; i < 6; ++i) values[i][k] = common::ParseReal(texts[i], separator);
    state_.GravonPresent[k] = present ? 1 : 0;
}

}  // namespace sphaeron

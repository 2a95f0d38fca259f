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
    State.SpiralMode = false;
    State.Stopped = false;  // start-up sets it
    State.DT = 0;
}

void Session::Step(const StepSwitches& sw, Observables* before) { engine_->Step(State, sw, before); }

std::uint64_t Session::Steps() const {
    // The visible counter set apart from the count starts it anew.
    if (ShownCount(steps_) != State.StepCount)
        return static_cast<std::uint32_t>(State.StepCount);
    return steps_;
}

void Session::SetSteps(std::uint64_t steps) {
    steps_ = steps;
    State.StepCount = ShownCount(steps);
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
    return RunLoop({*engine_, State, switches_, steps_, recorders_}, maxSteps, observer);
}

void Session::SetStepThreads(int threads) {
    threads = std::max(threads, 1);
    if (threads != engine_->Threads()) engine_ = std::make_unique<StepEngine>(threads);
}

int Session::StepThreads() const { return engine_->Threads(); }

TaonsDocument Session::Packed() const {
    TaonsDocument record = Document;
    PackDocument(State, record);
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
    if (State.SpiralMode) {
        Timeline.Clear();
        return;
    }
    Timeline.Restart(TimelineEntry(EncodeSwitches(switches_)).data(), static_cast<std::int64_t>(Steps()));
}

void Session::ContinueTimeline() {
    if (State.SpiralMode || !Timeline.Recording()) return;
    // The state shown is taken up again unless it changed: its switches
    // are not compared.
    common::SwitchBytes switches = EncodeSwitches(switches_);
    if (!Timeline.Empty())
        std::copy_n(Timeline.StateAt(Timeline.Shown()) + kDocumentSize, switches.size(), switches.begin());
    Timeline.Continue(TimelineEntry(switches).data(), static_cast<std::int64_t>(Steps()));
}

void Session::RecordStep() {
    if (!State.SpiralMode && Timeline.Recording())
        Timeline.Record(TimelineEntry(EncodeSwitches(switches_)).data(), static_cast<std::int64_t>(Steps()));
}

bool Session::ShowRecorded(std::size_t index) {
    if (!Timeline.Show(index)) return false;
    TaonsDocument record;
    std::copy_n(Timeline.StateAt(index), kDocumentSize, record.bytes.begin());
    DistributeDocument(record, State);
    SetSteps(static_cast<std::uint64_t>(Timeline.StepAt(index)));
    return true;
}

void Session::SetDocumentName(const std::string& name, bool shown) {
    DocumentName = name;
    NameFromRun = false;
    if (shown && DocumentNameSet) DocumentNameSet();
}

void Session::Remember(const std::string& path) {
    RememberLastDocument(path);
    LastDocumentName = path;
}

void Session::Write(const std::string& path) {
    PackDocument(State, Document);
    if (common::IsJsonPath(path))
        common::WriteFileAtomic(path, AtoToJson(Document));
    else
        WriteDocument(path, Document);
}

std::optional<std::string> Session::OpenDocument(const std::string& path) {
    TaonsDocument record = Document;
    ReadDocumentOrJson(path, record);
    Remember(path);
    Document = record;
    State.SpiralMode = false;
    SetDocumentName(path);
    DistributeDocument(Document, State);
    SetSteps(0);
    RestartTimeline();
    return LoadCommentary(DocumentName);
}

bool Session::SaveDocument() {
    if (State.SpiralMode) return false;
    Write(DocumentName);
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
    AdoptCommittedCopies(State);
    Remember(path);
}

bool Session::NullVelocities() {
    if (State.SpiralMode || !State.Stopped) return false;
    ZeroVelocities(State);
    return true;
}

RememberedDocument Session::LoadRememberedDocument() {
    std::optional<std::string> last = ReadLastDocument();
    if (!last) return RememberedDocument::NoStartFile;
    LastDocumentName = *last;
    if (last->empty()) return RememberedDocument::NoneRemembered;
    State.SpiralMode = false;
    SetDocumentName(*last);
    if (!common::CanOpenForRead(DocumentName)) return RememberedDocument::Unreadable;
    ReadDocumentOrJson(DocumentName, Document);
    DistributeDocument(Document, State);
    RestartTimeline();
    return RememberedDocument::Loaded;
}

Session::StartUpResult Session::StartUp(int width, int panTop,
                                       const std::function<void(const std::exception&)>& report) {
    StartView(View, width, panTop);
    State.SpiralMode = true;
    State.TaonCount = kMaxTaons;
    // With a document on the command line, the spiral until that one is
    // opened: the remembered one is not even read.
    StartUpResult result{RememberedDocument::NoneRemembered, std::nullopt};
    if (!SkipRememberedDocument) {
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
            BuildStartStructure(State, View);
            SetDocumentName(kSpiralTitle, false);
            break;
        case RememberedDocument::Unreadable:
            BuildStartStructure(State, View);
            break;
        case RememberedDocument::Loaded:
            result.commentary = LoadCommentary(DocumentName);
            break;
    }
    StartViewControls(Controls);
    if (result.found != RememberedDocument::Loaded) State.DT = 0.001L;
    State.Stopped = true;
    RestartTimeline();
    return result;
}

RememberedDocument Session::ShowTaons() {
    State.SpiralMode = false;
    const RememberedDocument found = LoadRememberedDocument();
    if (found == RememberedDocument::NoneRemembered) {
        BuildStartStructure(State, View);
        SetDocumentName(kStableStructureTitle);
    } else if (found == RememberedDocument::Unreadable) {
        BuildStartStructure(State, View);
    }
    // What is shown now is the first state, whatever it came from.
    RestartTimeline();
    return found;
}

void Session::AdoptNewTaons() {
    State.SpiralMode = false;
    SetSteps(0);
    RestartTimeline();
}

void Session::ReadParameter(int index, const std::string& text, char separator) {
    *ParameterField(State, index) = common::ParseReal(text, separator);
}

bool Session::TakeCommentChange() {
    const bool changed = CommentModified;
    CommentModified = false;
    return changed;
}

void Session::SaveComment(const std::string& text) { SaveCommentary(DocumentName, text); }

std::array<std::string, kParameterCount> Session::ParameterTexts(char separator) const {
    std::array<std::string, kParameterCount> texts;
    for (int i = 0; i < kParameterCount; ++i)
        texts[static_cast<std::size_t>(i)] = common::FormatReal(*ParameterField(State, i), separator);
    return texts;
}

void Session::ReadParameters(const std::array<std::string, kParameterCount>& texts, char separator) {
    for (int i = 0; i < kParameterCount; ++i)
        *ParameterField(State, i) = common::ParseReal(texts[static_cast<std::size_t>(i)], separator);
}

void Session::SubmitTaon(int k, const std::array<std::string, 6>& texts, bool present, char separator) {
    long double* const values[6] = {State.X, State.Y, State.Z, State.Ux, State.Uy, State.Uz};
    for (std::size_t i = 0; i < 6; ++i) values[i][k] = common::ParseReal(texts[i], separator);
    State.GravonPresent[k] = present ? 1 : 0;
}

}  // namespace sphaeron

#include "sphaeron/session/session.h"

#include <algorithm>
#include <filesystem>

#include "common/fileio.h"
#include "common/numtext.h"

namespace sphaeron {

namespace {

// 11372 as "11,372".
std::string Grouped(std::uintmax_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
    return digits;
}

}  // namespace

std::optional<std::string> ReplaceQuestion(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size == kDocumentSize) return std::nullopt;
    return "'" + std::filesystem::path(path).filename().string() + "' is " + Grouped(size) +
           (size == 1 ? " byte" : " bytes") + " long and is not a Sphaeron document. Replace it?";
}

Session::Session(int stepThreads) : engine_(std::make_unique<StepEngine>(std::max(stepThreads, 1))) {
    State.SpiralMode = false;
    State.Stopped = false;  // start-up sets it
    State.DT = 0;
}

void Session::Step(const StepSwitches& sw) { engine_->Step(State, sw); }

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

void Session::RestartTimeline() {
    if (State.SpiralMode) {
        Timeline.Clear();
        return;
    }
    Timeline.Restart(Packed().bytes.data(), State.StepCount);
}

void Session::ContinueTimeline() {
    if (!State.SpiralMode) Timeline.Continue(Packed().bytes.data(), State.StepCount);
}

void Session::RecordStep() {
    if (!State.SpiralMode) Timeline.Record(Packed().bytes.data(), State.StepCount);
}

bool Session::ShowRecorded(std::size_t index) {
    if (!Timeline.Show(index)) return false;
    TaonsDocument record;
    std::copy_n(Timeline.StateAt(index), kDocumentSize, record.bytes.begin());
    DistributeDocument(record, State);
    State.StepCount = static_cast<std::int32_t>(Timeline.StepAt(index));
    return true;
}

void Session::SetDocumentName(const std::string& name) {
    DocumentName = name;
    if (DocumentNameSet) DocumentNameSet();
}

void Session::Remember(const std::string& path) {
    RememberLastDocument(path);
    LastDocumentName = path;
}

void Session::Write(const std::string& path) {
    PackDocument(State, Document);
    WriteDocument(path, Document);
}

std::optional<std::string> Session::OpenDocument(const std::string& path) {
    TaonsDocument record = Document;
    ReadDocument(path, record);
    Remember(path);
    Document = record;
    State.SpiralMode = false;
    SetDocumentName(path);
    DistributeDocument(Document, State);
    State.StepCount = 0;
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
    ReadDocument(DocumentName, Document);
    DistributeDocument(Document, State);
    RestartTimeline();
    return RememberedDocument::Loaded;
}

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

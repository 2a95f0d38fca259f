// The session's run archives: the timeline written as an archive ("Save Run
// As...") and an archive read into the timeline (opening a run); see
// common/run_timeline.h.
#include <cstring>
#include <filesystem>

#include "common/run_timeline.h"
#include "sphaeron/session/run_archive.h"
#include "sphaeron/session/session.h"

namespace sphaeron {

namespace {

// The archive's path with the document extension in place of its own.
std::string DocumentNameOfRun(const std::string& path) {
    return std::filesystem::path(path).replace_extension(kDocumentExtension).string();
}

// Whether two records hold the same time step and parameters: everything
// but what a step computes.
bool SameParameters(const unsigned char* a, const unsigned char* b) {
    std::size_t from = 0;
    for (const auto& [offset, length] : TaonComputedRanges()) {
        if (std::memcmp(a + from, b + from, offset - from) != 0) return false;
        from = offset + length;
    }
    return std::memcmp(a + from, b + from, kDocumentSize - from) == 0;
}

}  // namespace

std::optional<std::string> RunReplaceQuestion(const std::string& path) {
    return common::RunReplaceQuestion(path, kTaonRunKind.program);
}

void Session::SaveRunAs(const std::string& path, bool replace) const {
    common::SaveTimelineRun(timeline_, path, kTaonRunKind, TaonComputedRanges(), replace);
}

void Session::OpenRun(const std::string& path, const std::string& documentName) {
    const common::RunArchive archive(path, kTaonRunKind);
    // Refuses switches the program does not know.
    common::RunTimeline read = common::ReadRunTimeline(archive, timeline_.Budget(),
                                                       [](const common::SwitchBytes& sw) { DecodeSwitches(sw); });
    // All read: the last frame becomes the state.
    const common::RunFrame& frame = read.last;
    std::memcpy(document_.bytes.data(), frame.record.data(), kDocumentSize);
    state_.SpiralMode = false;
    DistributeDocument(document_, state_);
    SetSteps(static_cast<std::uint64_t>(frame.step));
    switches_ = DecodeSwitches(frame.switches);
    timeline_ = std::move(read.timeline);
    if (!documentName.empty()) {
        SetDocumentName(documentName);
        return;
    }
    SetDocumentName(DocumentNameOfRun(path));
    nameFromRun_ = true;
}

bool Session::ShowStepNextTo(int direction) {
    if (timeline_.Empty()) return false;
    const std::size_t shown = timeline_.Shown();
    const std::int64_t target = timeline_.StepAt(shown) + direction;
    if (direction > 0 ? shown + 1 >= timeline_.Count() : shown == 0) return false;
    const std::size_t held = direction > 0 ? shown + 1 : shown - 1;
    // The span that holds the step: from the state before it to the one after.
    const std::size_t from = direction > 0 ? shown : held, to = direction > 0 ? held : shown;
    const bool between = timeline_.StepAt(from) < target && target < timeline_.StepAt(to);
    if (!between || !SameParameters(timeline_.StateAt(from), timeline_.StateAt(to))) return ShowRecorded(held);
    // The steps of the span were made under the switches of its later state.
    common::SwitchBytes with{};
    std::memcpy(with.data(), timeline_.StateAt(to) + kDocumentSize, with.size());
    std::vector<unsigned char> entry(timeline_.StateAt(from), timeline_.StateAt(from) + kTimelineEntrySize);
    std::vector<unsigned char> record(entry.begin(), entry.begin() + kDocumentSize);
    TaonReplay(StepThreads()).advance(record, with, target - timeline_.StepAt(from));
    std::copy(record.begin(), record.end(), entry.begin());
    std::copy(with.begin(), with.end(), entry.begin() + kDocumentSize);
    timeline_.Insert(entry.data(), target);
    return ShowRecorded(timeline_.Shown());
}

}  // namespace sphaeron

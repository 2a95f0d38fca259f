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

}  // namespace

std::optional<std::string> RunReplaceQuestion(const std::string& path) {
    return common::RunReplaceQuestion(path, kTaonRunKind.program);
}

void Session::SaveRunAs(const std::string& path, bool replace) const {
    common::SaveTimelineRun(Timeline, path, kTaonRunKind, TaonComputedRanges(), replace);
}

void Session::OpenRun(const std::string& path, const std::string& documentName) {
    const common::RunArchive archive(path, kTaonRunKind);
    // Refuses switches the program does not know.
    common::RunTimeline read = common::ReadRunTimeline(archive, Timeline.Budget(),
                                                       [](const common::SwitchBytes& sw) { DecodeSwitches(sw); });
    // All read: the last frame becomes the state.
    const common::RunFrame& frame = read.last;
    std::memcpy(Document.bytes.data(), frame.record.data(), kDocumentSize);
    State.SpiralMode = false;
    DistributeDocument(Document, State);
    SetSteps(static_cast<std::uint64_t>(frame.step));
    switches_ = DecodeSwitches(frame.switches);
    Timeline = std::move(read.timeline);
    if (!documentName.empty()) {
        SetDocumentName(documentName);
        return;
    }
    SetDocumentName(DocumentNameOfRun(path));
    NameFromRun = true;
}

}  // namespace sphaeron

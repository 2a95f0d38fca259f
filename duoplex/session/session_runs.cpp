// The session's run archives: the timeline written as an archive ("Save Run
// As...") and an archive read into the timeline (opening a run); see
// common/run_timeline.h.
#include <filesystem>

#include "common/run_timeline.h"
#include "duoplex/core/run_archive.h"
#include "duoplex/session/session.h"

namespace duoplex {

std::optional<std::string> RunReplaceQuestion(const std::string& path) {
    return common::RunReplaceQuestion(path, kPlanarRunKind.program);
}

bool IsRunPath(const std::string& path) {
    return std::filesystem::path(path).extension() == std::string(".") + kRunExtension ||
           common::LooksLikeRunArchive(path);
}

void Session::SaveRunAs(const std::string& path, bool replace) const {
    common::SaveTimelineRun(timeline_, path, kPlanarRunKind, PlanarComputedRanges(), replace);
}

void Session::OpenRun(const std::string& path, ValueFields& fields, const std::string& documentName) {
    const common::RunArchive archive(path, kPlanarRunKind);
    // Refuses switches the program does not know.
    common::RunTimeline read = common::ReadRunTimeline(archive, timeline_.Budget(),
                                                       [](const common::SwitchBytes& sw) { DecodeSwitches(sw); });
    // All read: the last frame becomes the state, the document snapshot with it.
    TakeFrameRecord(state_, read.last.record);
    SetCount(static_cast<std::uint64_t>(read.last.step));
    settings_ = DecodeSwitches(read.last.switches);
    timeline_ = std::move(read.timeline);
    DocumentName = documentName.empty() ? std::filesystem::path(path).replace_extension("grav").string() : documentName;
    ShowValues(fields);
}

}  // namespace duoplex

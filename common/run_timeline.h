#pragma once
// A timeline and a run archive, each into the other: "Save Run As..." of a
// window writes the states its timeline holds as an archive, and opening an
// archive fills a timeline with its frames. Both programs' timeline entries
// are a document record followed by the switch bytes (as an archive frame
// holds them) of the step that made it.
//
// An archive frame holds the switches in force for the steps after it.
// Between two entries one step apart they are the later entry's;
// RunRecorder turns the entries into frames, with a frame wherever
// parameters or switches changed between two steps. Where the timeline was
// thinned (entries more than a step apart) the frame takes the switches of
// the entry after it: the span replays exactly unless something changed
// inside it, which the thinned history no longer knows. A state taken up
// again at its step (changed between two runs) starts anew in the same way.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/run_archive.h"
#include "common/timeline.h"

namespace common {

using ByteRanges = std::vector<std::pair<std::size_t, std::size_t>>;

// Before a run archive is written to `path`: when an existing file there is
// no run archive, "'notes.txt' is 1,234 bytes long and is not a <program>
// run archive. Replace it?"; nothing otherwise.
std::optional<std::string> RunReplaceQuestion(const std::string& path, const std::string& program);

// The timeline's states as an archive at `path` (the first state, every
// state held, a frame wherever something changed between two steps).
// `computed`: the ranges a step computes. A file there that is no archive
// is refused, or with `replace` replaced once the archive is complete.
void SaveTimelineRun(const Timeline& timeline, const std::string& path, const RunArchiveKind& kind,
                     const ByteRanges& computed, bool replace);

// An archive's frames as a timeline of `budget` bytes, and its last frame.
// A frame written again at its step (the parameters or switches changed
// after it) stands for it. `check` sees every frame's switches first and
// throws for those the program does not know. Throws AppError for an
// archive without frames.
struct RunTimeline {
    Timeline timeline;
    RunFrame last;
};
RunTimeline ReadRunTimeline(const RunArchive& archive, std::size_t budget,
                            const std::function<void(const SwitchBytes&)>& check);

}  // namespace common

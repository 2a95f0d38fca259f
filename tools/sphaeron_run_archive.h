#pragma once
// sphaeron-run and run archives: reading a run's start from a document, an
// archive or the archive to resume, writing the run into an archive, and
// the commands that only read one (--info, --verify, --xyz of its frames).
#include <cstdint>
#include <memory>
#include <optional>

#include "sphaeron/document/document.h"
#include "sphaeron/session/run_archive.h"
#include "tools/sphaeron_run_options.h"

namespace sphaeron {

// Where a run starts.
struct RunStart {
    std::int64_t step = 0;  // the step of the state read (0 for a document)
    bool archived = false;  // read from an archive
};

// --info, --verify, or the frames of an archive IN as a trajectory (--xyz
// with no steps): the exit code; none when the command line asks for a run.
std::optional<int> ArchiveCommand(const RunOptions& o);

// Reads the state a run starts from into doc: IN as a document, IN as an
// archive (at --at, else its last state), or the last good frame of the
// archive to resume (and --steps becomes the steps still to go). From an
// archive, its switches replace those of the options unless the command
// line gave any. Warnings (a damaged end left out) go to stderr. Throws
// AppError naming the file and the reason.
RunStart ReadRunStart(RunOptions& o, TaonsDocument& doc);

// The archive the run is written into (--archive or --resume), with the
// state it starts from written; null when there is none. Throws AppError.
std::unique_ptr<RunArchiveRecorder> StartRunArchive(const RunOptions& o, const RunStart& start,
                                                    const TaonState& state, const TaonsDocument& doc);

inline RunSwitches SwitchesOf(const RunOptions& o) { return RunSwitches{o.mode, o.stopL, o.cool}; }

}  // namespace sphaeron

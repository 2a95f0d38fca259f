#pragma once
// duoplex-run and run archives: the run's start from a document, an archive
// or the archive to resume, writing the run into an archive, and the
// commands that only read one (--info, --verify).
#include <cstdint>
#include <memory>
#include <optional>

#include "common/run_archive.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/run_archive.h"
#include "tools/duoplex_run_options.h"

namespace duoplex {

struct RunStart {
    std::int64_t step = 0;  // the step of the state read (0 for a document)
    bool archived = false;
};

// --info or --verify: the exit code; none when the command line asks for a run.
std::optional<int> ArchiveCommand(const RunOptions& o);

// Reads the starting record: IN as a document, IN as an archive (at --at,
// else its last state), or the last good frame of the archive to resume
// (--steps becomes the steps still to go). From an archive, its function,
// gravon pass and brake are used unless the command line gives them.
// Throws AppError naming the file and the reason.
RunStart ReadRunStart(RunOptions& o, GravBytes& record);

// The archive the run is written into (--archive or --resume), with the
// state it starts from written; null when there is none. Throws AppError.
std::unique_ptr<common::RunRecorder> StartRunArchive(const RunOptions& o, const RunStart& start,
                                                     const PlanarState& s, const StepSettings& st);

}  // namespace duoplex

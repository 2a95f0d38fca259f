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
#include "duoplex/session/run_loop.h"
#include "duoplex/session/session.h"
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

// A run of the session written into an archive as it goes (see
// common::RunRecorder).
class PlanarArchiveRecorder : public StateRecorder {
public:
    PlanarArchiveRecorder(common::RunArchiveWriter writer, std::int64_t every)
        : recorder_(std::move(writer), every, PlanarComputedRanges()) {}
    void Start(std::int64_t step, const PlanarState& s, const StepSettings& st) {
        recorder_.Start(step, RecordedState(s).data(), EncodeSwitches(st));
    }
    void Record(const CommittedStep& c) override {
        recorder_.Record(static_cast<std::int64_t>(c.step), RecordedState(c.state).data(), EncodeSwitches(c.settings));
    }
    void Finish() { recorder_.Finish(); }

private:
    common::RunRecorder recorder_;
};

// The archive the run is written into (--archive or --resume), with the
// state it starts from written; null when there is none. Throws AppError.
std::unique_ptr<PlanarArchiveRecorder> StartRunArchive(const RunOptions& o, const RunStart& start,
                                                       const Session& session);

}  // namespace duoplex

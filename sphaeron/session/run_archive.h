#pragma once
// The 3D program's run archives (.atorun): what its frames hold, the exact
// replay of the steps between them, and the recorder that writes a run as
// it goes.
//
// A frame's switches and parameters are those in force for the steps after
// it. The recorder writes the state it starts from, every K-th committed
// step, the last state, and a frame before any step whose parameters, time
// step or switches differ from the step before, so that every step of the
// run is recomputed exactly from the frame before it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/run_archive.h"
#include "sphaeron/core/taon_state.h"
#include "sphaeron/document/document.h"
#include "sphaeron/session/run_loop.h"

namespace sphaeron {

extern const common::RunArchiveKind kTaonRunKind;  // "Sphaeron", 6296-byte records
inline constexpr const char* kRunExtension = "atorun";

// Bytes 0, 1, 2 of a frame's switches: mode, StopL, Cool (0 or 1); the rest 0.
common::SwitchBytes EncodeSwitches(const RunSwitches& sw);
// Throws AppError for values the program never writes.
RunSwitches DecodeSwitches(const common::SwitchBytes& bytes);

// The record bytes that a step computes: positions, velocities, presence.
// (DT and the parameters, bytes 0 .. 189, are set between steps.)
inline constexpr std::size_t kComputedOffset = kXOffset;

std::vector<std::pair<std::size_t, std::size_t>> TaonComputedRanges();

// The step of the program on `threads` threads, as the archive's replay.
common::RunReplay TaonReplay(int threads = 1);

// Writes a run of the 3D program into an archive as it goes (see
// common::RunRecorder): Start with the state the run starts from, Record
// after every committed step, Finish at the end.
class RunArchiveRecorder : public StateRecorder {
public:
    // `every`: steps between the regular frames (at least 1).
    RunArchiveRecorder(common::RunArchiveWriter writer, std::int64_t every);

    // The state the run starts from, in a record that carries its padding
    // (which travels into every frame).
    void Start(std::int64_t step, const TaonsDocument& record, const RunSwitches& sw);
    // After a committed step, with the switches it was made under.
    void Record(std::int64_t step, const TaonState& s, const RunSwitches& sw);
    void Record(const CommittedStep& c) override {
        Record(static_cast<std::int64_t>(c.step), c.state, c.switches);
    }
    void Finish();

    common::RunRecorder& Recorder() { return recorder_; }

private:
    common::RunRecorder recorder_;
    TaonsDocument packed_{};
};

}  // namespace sphaeron

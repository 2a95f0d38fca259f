#pragma once
// The planar program's run archives (.gravrun): what its frames hold and the
// exact replay of the steps between them (see common/run_archive.h).
#include <cstdint>
#include <string>

#include "common/run_archive.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"

namespace duoplex {

extern const common::RunArchiveKind kPlanarRunKind;  // "Duoplex", 256-byte records
inline constexpr const char* kRunExtension = "gravrun";

// Bytes 0, 1, 2 of a frame's switches: the function (0 F_PE .. 6 F_PE_PES, in
// the window's order), the two-gravon pass (1 on, 0 for three gravons) and
// the brake (1 .. 5); the rest 0.
common::SwitchBytes EncodeSwitches(const StepSettings& st);
// Throws AppError for values the program never writes.
StepSettings DecodeSwitches(const common::SwitchBytes& bytes);

// X, Y, SpeedX, SpeedY of the three gravons (bytes 120 .. 239): what a step
// computes. A, B, C, D and DT are set between steps.
std::vector<std::pair<std::size_t, std::size_t>> PlanarComputedRanges();

// The program's step (DoStep) as the archive's replay.
common::RunReplay PlanarReplay();

// The record of the state as a frame holds it (RecordedState), and a frame's
// record made the state (values, snapshot; the step count is the caller's).
void TakeFrameRecord(PlanarState& s, const std::vector<unsigned char>& record);

}  // namespace duoplex

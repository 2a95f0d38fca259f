#include "duoplex/core/run_archive.h"

#include <cstring>
#include <iterator>

#include "duoplex/core/planar_step.h"

namespace duoplex {

const common::RunArchiveKind kPlanarRunKind{"Duoplex", static_cast<std::uint32_t>(kGravRecordSize)};

namespace {

int FunctionIndex(FunctionChoice f) {
    for (std::size_t i = 0; i < std::size(kAllFunctions); ++i)
        if (kAllFunctions[i] == f) return static_cast<int>(i);
    return 0;
}

}  // namespace

common::SwitchBytes EncodeSwitches(const StepSettings& st) {
    common::SwitchBytes b{};
    b[0] = static_cast<unsigned char>(FunctionIndex(st.function));
    b[1] = st.twoGravonPass ? 1 : 0;
    b[2] = static_cast<unsigned char>(st.brake);
    return b;
}

StepSettings DecodeSwitches(const common::SwitchBytes& b) {
    bool known = b[0] < std::size(kAllFunctions) && b[1] <= 1 && b[2] >= 1 && b[2] <= kBrakeCount;
    for (std::size_t i = 3; i < b.size(); ++i) known = known && b[i] == 0;
    if (!known) throw common::AppError("a frame holds switches this program does not know");
    return StepSettings{kAllFunctions[b[0]], b[1] != 0, b[2]};
}

std::vector<std::pair<std::size_t, std::size_t>> PlanarComputedRanges() { return {{120, 120}}; }

void TakeFrameRecord(PlanarState& s, const std::vector<unsigned char>& record) {
    std::memcpy(s.Snapshot.data(), record.data(), kGravRecordSize);
    TakeRecordValues(s, DecodeGravRecord(s.Snapshot));
}

common::RunReplay PlanarReplay() {
    common::RunReplay replay;
    replay.advance = [](std::vector<unsigned char>& record, const common::SwitchBytes& bytes, std::int64_t steps) {
        StepSettings st = DecodeSwitches(bytes);
        PlanarState s;
        TakeFrameRecord(s, record);
        for (std::int64_t k = 0; k < steps; ++k) DoStep(s, st);
        GravBytes out = RecordedState(s);
        std::memcpy(record.data(), out.data(), kGravRecordSize);
    };
    replay.computed = PlanarComputedRanges();
    return replay;
}

}  // namespace duoplex

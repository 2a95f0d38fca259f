#include "sphaeron/session/run_archive.h"

#include <cstring>

#include "sphaeron/core/taon_step.h"

namespace sphaeron {

const common::RunArchiveKind kTaonRunKind{"Sphaeron", static_cast<std::uint32_t>(kDocumentSize)};

common::SwitchBytes EncodeSwitches(const RunSwitches& sw) {
    common::SwitchBytes b{};
    b[0] = static_cast<unsigned char>(sw.mode);
    b[1] = sw.stopL ? 1 : 0;
    b[2] = sw.cool ? 1 : 0;
    return b;
}

RunSwitches DecodeSwitches(const common::SwitchBytes& b) {
    bool known = b[0] <= 2 && b[1] <= 1 && b[2] <= 1;
    for (std::size_t i = 3; i < b.size(); ++i) known = known && b[i] == 0;
    if (!known) throw common::AppError("a frame holds switches this program does not know");
    return RunSwitches{b[0], b[1] != 0, b[2] != 0};
}

common::RunReplay TaonReplay(int threads) {
    auto engine = std::make_shared<StepEngine>(threads);
    common::RunReplay replay;
    replay.advance = [engine](std::vector<unsigned char>& record, const common::SwitchBytes& bytes,
                              std::int64_t steps) {
        StepSwitches sw = DecodeSwitches(bytes).ForStep();
        TaonsDocument doc;
        std::memcpy(doc.bytes.data(), record.data(), kDocumentSize);
        auto state = std::make_unique<TaonState>();
        DistributeDocument(doc, *state);
        for (std::int64_t k = 0; k < steps; ++k) engine->Step(*state, sw);
        PackDocument(*state, doc);
        std::memcpy(record.data(), doc.bytes.data(), kDocumentSize);
    };
    replay.computed = TaonComputedRanges();
    return replay;
}

std::vector<std::pair<std::size_t, std::size_t>> TaonComputedRanges() {
    // Positions and velocities (192 .. 6191) and the presence bytes; the
    // padding after them is no state.
    return {{kComputedOffset, kPresentOffset + kMaxTaons - kComputedOffset}};
}

RunArchiveRecorder::RunArchiveRecorder(common::RunArchiveWriter writer, std::int64_t every)
    : recorder_(std::move(writer), every, TaonComputedRanges()) {}

void RunArchiveRecorder::Start(std::int64_t step, const TaonsDocument& record, const RunSwitches& sw) {
    packed_ = record;
    recorder_.Start(step, packed_.bytes.data(), EncodeSwitches(sw));
}

void RunArchiveRecorder::Record(std::int64_t step, const TaonState& s, const RunSwitches& sw) {
    PackDocument(s, packed_);
    recorder_.Record(step, packed_.bytes.data(), EncodeSwitches(sw));
}

void RunArchiveRecorder::Finish() { recorder_.Finish(); }

}  // namespace sphaeron

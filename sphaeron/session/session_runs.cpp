// The session's run archives: the timeline written as an archive ("Save Run
// As...") and an archive read into the timeline (opening a run).
//
// A timeline entry holds the switches of the step that made it; an archive
// frame those in force for the steps after it. Between two entries one step
// apart they are the later entry's; common::RunRecorder turns the entries
// into frames, with a frame wherever parameters or switches changed between
// two steps. Where the timeline was thinned (entries more than a step
// apart) the frame takes the switches of the entry after it: the span
// replays exactly unless something changed inside it, which the thinned
// history no longer knows. A state the window took up again at its step
// (changed between two runs) starts anew in the same way.
#include <array>
#include <cstring>
#include <filesystem>

#include "common/errors.h"
#include "sphaeron/session/run_archive.h"
#include "sphaeron/session/session.h"

namespace sphaeron {

namespace {

common::SwitchBytes EntrySwitches(const common::Timeline& t, std::size_t i) {
    common::SwitchBytes sw{};
    std::memcpy(sw.data(), t.StateAt(i) + kDocumentSize, sw.size());
    return sw;
}

std::string Grouped(std::uintmax_t n) {
    std::string text = std::to_string(n);
    for (std::size_t i = text.size(); i > 3; i -= 3) text.insert(i - 3, ",");
    return text;
}

// The archive's path with the document extension in place of its own.
std::string DocumentNameOfRun(const std::string& path) {
    return std::filesystem::path(path).replace_extension(kDocumentExtension).string();
}

void WriteTimeline(const common::Timeline& t, common::RunArchiveWriter writer) {
    common::RunRecorder recorder(std::move(writer), 1, TaonComputedRanges());
    const std::size_t n = t.Count();
    bool started = false;
    std::int64_t last = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t step = t.StepAt(i);
        // A state taken up again after a change between two runs (the time
        // step, an edit) follows the one before it at the same step, as a
        // frame of its own: replay goes on from the later one.
        if (!started || step != last + 1)
            recorder.Start(step, t.StateAt(i), EntrySwitches(t, i + 1 < n ? i + 1 : i));
        else
            recorder.Record(step, t.StateAt(i), EntrySwitches(t, i));
        started = true;
        last = step;
    }
    recorder.Finish();
}

// The last few frames read, so that a frame, the one before it and the one
// after it are read once as the held frames are walked in order.
class RecentFrames {
public:
    explicit RecentFrames(const common::RunArchive& archive) : archive_(archive) {}
    const common::RunFrame& At(std::size_t k) {
        for (Slot& s : slots_)
            if (s.used && s.index == k) return s.frame;
        Slot& s = slots_[next_];
        next_ = (next_ + 1) % slots_.size();
        s.frame = archive_.Frame(k);
        s.index = k;
        s.used = true;
        return s.frame;
    }

private:
    struct Slot {
        bool used = false;
        std::size_t index = 0;
        common::RunFrame frame;
    };
    const common::RunArchive& archive_;
    std::array<Slot, 4> slots_;
    std::size_t next_ = 0;
};

// The frames a timeline holds of the archive, in order: those it would keep
// of them all, where a frame written again at its step (the parameters or
// switches changed after it) stands for the one before it.
std::vector<std::size_t> HeldFrames(const common::Timeline& timeline, RecentFrames& frames,
                                    std::size_t count) {
    std::vector<std::size_t> held;
    for (std::size_t k : timeline.HeldAfter(count)) {
        while (k + 1 < count && frames.At(k + 1).step == frames.At(k).step) ++k;
        if (held.empty() || held.back() != k) held.push_back(k);
    }
    return held;
}

// Whether two records hold the same time step and parameters: everything
// but what a step computes.
bool SameParameters(const unsigned char* a, const unsigned char* b) {
    std::size_t from = 0;
    for (const auto& [offset, length] : TaonComputedRanges()) {
        if (std::memcmp(a + from, b + from, offset - from) != 0) return false;
        from = offset + length;
    }
    return std::memcmp(a + from, b + from, kDocumentSize - from) == 0;
}

}  // namespace

std::optional<std::string> RunReplaceQuestion(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec) || common::LooksLikeRunArchive(path))
        return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    return "'" + std::filesystem::path(path).filename().string() + "' is " + Grouped(size) +
           (size == 1 ? " byte" : " bytes") + " long and is not a Sphaeron run archive. Replace it?";
}

void Session::SaveRunAs(const std::string& path, bool replace) const {
    if (timeline_.Empty()) return;
    std::error_code ec;
    if (!replace || !std::filesystem::is_regular_file(path, ec) || common::LooksLikeRunArchive(path)) {
        WriteTimeline(timeline_, common::RunArchiveWriter::Create(path, kTaonRunKind));
        return;
    }
    // The file that is no archive goes only once the archive is complete.
    const std::string part = path + ".part";
    try {
        WriteTimeline(timeline_, common::RunArchiveWriter::Create(part, kTaonRunKind));
        std::filesystem::rename(part, path);
    } catch (const std::filesystem::filesystem_error& e) {
        std::filesystem::remove(part, ec);
        throw common::FileError("cannot write '" + path + "': " + e.code().message(), e.code().value());
    } catch (...) {
        std::filesystem::remove(part, ec);
        throw;
    }
}

void Session::OpenRun(const std::string& path, const std::string& documentName) {
    const common::RunArchive archive(path, kTaonRunKind);
    if (archive.Count() == 0) throw common::AppError("'" + path + "' holds no states");
    common::Timeline timeline(kTimelineEntrySize, timeline_.Budget());
    std::vector<unsigned char> entry(kTimelineEntrySize);
    // Only the frames the timeline would hold after reading them all are
    // read: a long archive is opened in the time its held states take.
    RecentFrames frames(archive);
    const std::size_t n = archive.Count();
    for (std::size_t k : HeldFrames(timeline, frames, n)) {
        // An entry's switches are those of the frame before it (the first
        // frame's own for the first).
        const common::RunFrame& f = frames.At(k);
        std::memcpy(entry.data(), f.record.data(), kDocumentSize);
        const common::RunFrame& before = frames.At(k > 0 ? k - 1 : 0);
        DecodeSwitches(before.switches);  // refuses switches the program does not know
        std::memcpy(entry.data() + kDocumentSize, before.switches.data(), before.switches.size());
        if (timeline.Empty())
            timeline.Restart(entry.data(), f.step);
        else
            timeline.Record(entry.data(), f.step);
    }
    // The last frame becomes the state.
    const common::RunFrame last = frames.At(n - 1);
    switches_ = DecodeSwitches(last.switches);
    std::memcpy(document_.bytes.data(), last.record.data(), kDocumentSize);
    state_.SpiralMode = false;
    DistributeDocument(document_, state_);
    SetSteps(static_cast<std::uint64_t>(last.step));
    timeline_ = std::move(timeline);
    if (!documentName.empty()) {
        SetDocumentName(documentName);
        return;
    }
    SetDocumentName(DocumentNameOfRun(path));
    nameFromRun_ = true;
}

bool Session::ShowStepNextTo(int direction) {
    if (timeline_.Empty()) return false;
    const std::size_t shown = timeline_.Shown();
    const std::int64_t target = timeline_.StepAt(shown) + direction;
    if (direction > 0 ? shown + 1 >= timeline_.Count() : shown == 0) return false;
    const std::size_t held = direction > 0 ? shown + 1 : shown - 1;
    // The span that holds the step: from the state before it to the one after.
    const std::size_t from = direction > 0 ? shown : held, to = direction > 0 ? held : shown;
    const bool between = timeline_.StepAt(from) < target && target < timeline_.StepAt(to);
    if (!between || !SameParameters(timeline_.StateAt(from), timeline_.StateAt(to))) return ShowRecorded(held);
    // The steps of the span were made under the switches of its later state.
    common::SwitchBytes with{};
    std::memcpy(with.data(), timeline_.StateAt(to) + kDocumentSize, with.size());
    std::vector<unsigned char> entry(timeline_.StateAt(from), timeline_.StateAt(from) + kTimelineEntrySize);
    std::vector<unsigned char> record(entry.begin(), entry.begin() + kDocumentSize);
    TaonReplay(StepThreads()).advance(record, with, target - timeline_.StepAt(from));
    std::copy(record.begin(), record.end(), entry.begin());
    std::copy(with.begin(), with.end(), entry.begin() + kDocumentSize);
    timeline_.Insert(entry.data(), target);
    return ShowRecorded(timeline_.Shown());
}

}  // namespace sphaeron

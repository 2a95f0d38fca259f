#include "common/run_timeline.h"

#include <array>

#include <cstring>
#include <filesystem>

#include "common/errors.h"

namespace common {

namespace {

// The last few frames read, so that a frame, the one before it and the one
// after it are read once as the held frames are walked in order.
class RecentFrames {
public:
    explicit RecentFrames(const RunArchive& archive) : archive_(archive) {}
    const RunFrame& At(std::size_t k) {
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
        RunFrame frame;
    };
    const RunArchive& archive_;
    std::array<Slot, 4> slots_;
    std::size_t next_ = 0;
};



SwitchBytes EntrySwitches(const Timeline& t, std::size_t i, std::size_t recordSize) {
    SwitchBytes sw{};
    std::memcpy(sw.data(), t.StateAt(i) + recordSize, sw.size());
    return sw;
}

std::string Grouped(std::uintmax_t n) {
    std::string text = std::to_string(n);
    for (std::size_t i = text.size(); i > 3; i -= 3) text.insert(i - 3, ",");
    return text;
}

void WriteTimeline(const Timeline& t, RunArchiveWriter writer, const ByteRanges& computed) {
    const std::size_t size = writer.RecordSize();
    RunRecorder recorder(std::move(writer), 1, computed);
    const std::size_t n = t.Count();
    bool started = false;
    std::int64_t last = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t step = t.StepAt(i);
        // A state taken up again after a change between two runs (the time
        // step, an edit) follows the one before it at the same step, as a
        // frame of its own: replay goes on from the later one.
        if (!started || step != last + 1)
            recorder.Start(step, t.StateAt(i), EntrySwitches(t, i + 1 < n ? i + 1 : i, size));
        else
            recorder.Record(step, t.StateAt(i), EntrySwitches(t, i, size));
        started = true;
        last = step;
    }
    recorder.Finish();
}

}  // namespace

std::optional<std::string> RunReplaceQuestion(const std::string& path, const std::string& program) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec) || LooksLikeRunArchive(path))
        return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    return "'" + std::filesystem::path(path).filename().string() + "' is " + Grouped(size) +
           (size == 1 ? " byte" : " bytes") + " long and is not a " + program + " run archive. Replace it?";
}

void SaveTimelineRun(const Timeline& timeline, const std::string& path, const RunArchiveKind& kind,
                     const ByteRanges& computed, bool replace) {
    if (timeline.Empty()) return;
    std::error_code ec;
    if (!replace || !std::filesystem::is_regular_file(path, ec) || LooksLikeRunArchive(path)) {
        WriteTimeline(timeline, RunArchiveWriter::Create(path, kind), computed);
        return;
    }
    // The file that is no archive goes only once the archive is complete.
    const std::string part = path + ".part";
    try {
        WriteTimeline(timeline, RunArchiveWriter::Create(part, kind), computed);
        std::filesystem::rename(part, path);
    } catch (const std::filesystem::filesystem_error& e) {
        std::filesystem::remove(part, ec);
        throw FileError("cannot write '" + path + "': " + e.code().message(), e.code().value());
    } catch (...) {
        std::filesystem::remove(part, ec);
        throw;
    }
}

RunTimeline ReadRunTimeline(const RunArchive& archive, std::size_t budget,
                            const std::function<void(const SwitchBytes&)>& check) {
    const std::size_t n = archive.Count();
    if (n == 0) throw AppError("'" + archive.Path() + "' holds no states");
    const std::size_t size = archive.Kind().recordSize;
    RunTimeline out{Timeline(size + kRunSwitchesSize, budget), {}};
    Timeline& timeline = out.timeline;
    std::vector<unsigned char> entry(size + kRunSwitchesSize);
    // Only the frames the timeline would hold after reading them all are
    // read: a long archive opens in the time its held states take.
    // A frame written again at its step (the parameters or switches changed
    // after it) stands for the one before it. Walked in order, each frame
    // is read once: the one after, the one held and the one before it come
    // from the last few read.
    RecentFrames frames(archive);
    std::size_t lastHeld = n;
    for (std::size_t k : timeline.HeldAfter(n)) {
        while (k + 1 < n && frames.At(k + 1).step == frames.At(k).step) ++k;
        if (k == lastHeld) continue;
        lastHeld = k;
        // An entry's switches are those of the frame before it (the first
        // frame's own for the first).
        const RunFrame& f = frames.At(k);
        const std::int64_t step = f.step;
        std::memcpy(entry.data(), f.record.data(), size);
        const RunFrame& before = frames.At(k > 0 ? k - 1 : 0);
        check(before.switches);
        std::memcpy(entry.data() + size, before.switches.data(), before.switches.size());
        if (timeline.Empty())
            timeline.Restart(entry.data(), step);
        else
            timeline.Record(entry.data(), step);
    }
    out.last = frames.At(n - 1);
    check(out.last.switches);
    return out;
}

}  // namespace common

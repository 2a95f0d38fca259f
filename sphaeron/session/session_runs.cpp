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
    // Each frame goes into the timeline once the next is read: a frame
    // written again at its step (the parameters or switches changed after
    // it) stands for it. An entry's switches are those of the frame before.
    common::SwitchBytes madeWith{}, pendingWith{};
    common::RunFrame frame, pending;
    auto keep = [&](const common::RunFrame& f, const common::SwitchBytes& with) {
        if (!timeline.Recording()) return;
        std::memcpy(entry.data(), f.record.data(), kDocumentSize);
        std::memcpy(entry.data() + kDocumentSize, with.data(), with.size());
        if (timeline.Empty())
            timeline.Restart(entry.data(), f.step);
        else
            timeline.Record(entry.data(), f.step);
    };
    for (std::size_t k = 0; k < archive.Count(); ++k) {
        frame = archive.Frame(k);
        DecodeSwitches(frame.switches);  // refuses switches the program does not know
        if (k == 0) madeWith = frame.switches;
        if (k > 0 && pending.step != frame.step) keep(pending, pendingWith);
        pending = frame;
        pendingWith = madeWith;
        madeWith = frame.switches;
    }
    keep(pending, pendingWith);
    // All read: the last frame becomes the state.
    std::memcpy(document_.bytes.data(), frame.record.data(), kDocumentSize);
    state_.SpiralMode = false;
    DistributeDocument(document_, state_);
    SetSteps(static_cast<std::uint64_t>(frame.step));
    switches_ = DecodeSwitches(frame.switches);
    timeline_ = std::move(timeline);
    if (!documentName.empty()) {
        SetDocumentName(documentName);
        return;
    }
    SetDocumentName(DocumentNameOfRun(path));
    nameFromRun_ = true;
}

}  // namespace sphaeron

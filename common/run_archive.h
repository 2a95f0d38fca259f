#pragma once
// Runs on disk. A run archive holds states of one run of one program: a
// header, then frames of one fixed size, each with the step number, the
// switches in force, the whole document record and a CRC-32C. Frame k lies
// at a computed offset, so opening an archive and reading any frame costs
// the same whatever its length, and a step is found by binary search.
//
// The step of both programs is exact, so an archive may be sparse: a state
// between two frames is recomputed from the frame before it (RunReplay), and
// replaying every span checks the archive as a whole (VerifyRun).
//
// Durability: frames are only ever appended; an append never changes a good
// frame. The file is synced at most every so many seconds and at the end.
// A last frame cut short or failing its CRC (a run killed while writing) is
// left out on reading, with a warning naming the bytes, and the next append
// writes over it. A damaged frame before the last is an error naming the
// frame and its offset; salvaging reads the frames before it.
//
// Nothing is ever written into a file that is not an archive of the program.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "common/errors.h"

namespace common {

// CRC-32C (Castagnoli, reflected, as iSCSI): Crc32c("123456789") is
// 0xE3069283. `crc` continues an earlier sum.
std::uint32_t Crc32c(const void* data, std::size_t size, std::uint32_t crc = 0);

constexpr std::size_t kRunHeaderSize = 64;
constexpr std::size_t kRunSwitchesSize = 8;
constexpr std::size_t kRunFrameHead = 16;  // step, switches
constexpr std::size_t kRunProgramSize = 16;
constexpr std::uint32_t kRunFormatVersion = 1;
extern const char kRunMagic[8];  // "RUNARCH\n"

// True when the file starts as a run archive does (silently false when it
// cannot be read).
bool LooksLikeRunArchive(const std::string& path);

using SwitchBytes = std::array<unsigned char, kRunSwitchesSize>;

// Which program an archive belongs to.
struct RunArchiveKind {
    const char* program;       // "Sphaeron", "Duoplex"
    std::uint32_t recordSize;  // the document record
    std::size_t FrameSize() const { return kRunFrameHead + recordSize + 4; }
};

struct RunFrame {
    std::int64_t step = 0;
    SwitchBytes switches{};
    std::vector<unsigned char> record;
};

// Reading an archive: a failure throws AppError naming the file and the
// reason ("'run.atorun' is not a run archive", "... is a Duoplex run
// archive, not a Sphaeron one", "... has format version 2; this program
// reads version 1", "... holds records of 256 bytes, not 6296", "... frame 5
// (offset 31644) is damaged: its CRC-32C does not match"); a failing system
// call throws FileError with the system's text.
class RunArchive {
public:
    // Opens an archive read-only. Without `salvage` only the end is checked
    // (in constant time); with it every frame is, and the archive ends
    // before the first damaged one, with a warning.
    RunArchive(const std::string& path, const RunArchiveKind& kind, bool salvage = false);
    ~RunArchive();
    RunArchive(const RunArchive&) = delete;
    RunArchive& operator=(const RunArchive&) = delete;

    const std::string& Path() const { return path_; }
    const RunArchiveKind& Kind() const { return kind_; }
    std::size_t Count() const { return count_; }
    std::uint64_t FileSize() const { return fileSize_; }
    static std::uint64_t FrameOffset(const RunArchiveKind& kind, std::size_t k) {
        return kRunHeaderSize + static_cast<std::uint64_t>(k) * kind.FrameSize();
    }
    // What was left out at the end (or from the first damaged frame on, when
    // salvaging), as a sentence; empty when nothing was.
    const std::string& Warning() const { return warning_; }
    std::uint64_t BytesLeftOut() const { return leftOut_; }

    // Frame k, checked against its CRC; throws the damage error otherwise.
    RunFrame Frame(std::size_t k) const;
    std::int64_t StepOf(std::size_t k) const { return Frame(k).step; }
    // The last frame whose step is at most `step` (frames are in step order);
    // none when the first frame comes after it or there is none.
    std::optional<std::size_t> FindStep(std::int64_t step) const;

    // The damage error text of frame k.
    std::string DamagedText(std::size_t k) const;

private:
    bool FrameGood(std::size_t k, std::vector<unsigned char>& buffer) const;

    std::string path_;
    RunArchiveKind kind_;
    int fd_ = -1;
    std::uint64_t fileSize_ = 0;
    std::size_t count_ = 0;
    std::uint64_t leftOut_ = 0;
    std::string warning_;
};

// What a writer does to the file where a test may watch or fail it: the
// clock that schedules syncs, the sync itself and the positioned write.
// Each returns 0 (or the bytes written) or -1 with errno set, as the system
// calls do.
struct RunSyncSeam {
    std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
    std::function<int(int fd)> sync;                                           // fdatasync by default
    std::function<ssize_t(int fd, const void*, std::size_t, off_t)> write;  // pwrite by default
};

// Writing an archive. Failures throw FileError "cannot write '<path>':
// <reason>" (the system's texts: "Disk full", "File access denied", ...),
// and every frame written before stays.
class RunArchiveWriter {
public:
    static constexpr double kDefaultSyncSeconds = 2.0;

    // A new archive at `path`. An existing file there is replaced only when
    // it is an archive of the same program (any other file is refused and
    // left as it is); the new archive is built beside it and renamed over it.
    static RunArchiveWriter Create(const std::string& path, const RunArchiveKind& kind,
                                   double syncSeconds = kDefaultSyncSeconds, RunSyncSeam seam = {});
    // An existing archive to append to, after its last good frame. A damaged
    // last frame is written over by the next append (Warning() names it).
    static RunArchiveWriter Append(const std::string& path, const RunArchiveKind& kind,
                                   double syncSeconds = kDefaultSyncSeconds, RunSyncSeam seam = {});

    RunArchiveWriter(RunArchiveWriter&& other) noexcept;
    RunArchiveWriter& operator=(RunArchiveWriter&& other) noexcept;
    RunArchiveWriter(const RunArchiveWriter&) = delete;
    RunArchiveWriter& operator=(const RunArchiveWriter&) = delete;
    ~RunArchiveWriter();  // syncs and closes, silently

    // Appends a frame; the step may not go back before the last frame's.
    void Add(std::int64_t step, const SwitchBytes& switches, const unsigned char* record);
    // Syncs now, whatever the schedule.
    void Sync();
    // Syncs and closes; throws on a failed sync.
    void Close();

    const std::string& Path() const { return path_; }
    std::size_t RecordSize() const { return kind_.recordSize; }
    std::size_t Count() const { return count_; }
    std::optional<std::int64_t> LastStep() const { return lastStep_; }
    const std::string& Warning() const { return warning_; }
    // The last frame, when there is one.
    const std::optional<RunFrame>& LastFrame() const { return lastFrame_; }
    // Syncs made so far (for the tests and the benchmarks).
    std::size_t Syncs() const { return syncs_; }

private:
    RunArchiveWriter(std::string path, const RunArchiveKind& kind, int fd, double syncSeconds, RunSyncSeam seam);
    [[noreturn]] void Fail(int err) const;

    std::string path_;
    RunArchiveKind kind_;
    int fd_ = -1;
    double syncSeconds_;
    RunSyncSeam seam_;
    std::size_t count_ = 0;
    std::uint64_t fileSize_ = 0;  // bytes on disk, a damaged tail included
    std::optional<std::int64_t> lastStep_;
    std::optional<RunFrame> lastFrame_;
    std::string warning_;
    std::chrono::steady_clock::time_point lastSync_;
    bool dirty_ = false;
    std::size_t syncs_ = 0;
    std::vector<unsigned char> buffer_;
};

// Recomputing states between frames: the program's own step.
struct RunReplay {
    // Advances the record in place by `steps` steps under the switches.
    // Throws AppError on a fault.
    std::function<void(std::vector<unsigned char>& record, const SwitchBytes& switches, std::int64_t steps)> advance;
    // The byte ranges of a record that steps compute (positions, velocities):
    // a stored frame is checked against its replay on these. The others
    // (parameters, time step) may legitimately change between two frames.
    std::vector<std::pair<std::size_t, std::size_t>> computed;  // offset, length
};

// Writes a run into an archive as it goes, record by record: the state the
// run starts from, every K-th committed step, the last state, and a frame
// before any step whose parameters or switches (anything outside the
// computed ranges) differ from the step before, so that every step of the
// run is recomputed exactly from the frame before it. A frame's switches and
// parameters are those in force for the steps after it.
class RunRecorder {
public:
    // `every`: steps between the regular frames (at least 1); `computed`: the
    // ranges a step computes (RunReplay::computed).
    RunRecorder(RunArchiveWriter writer, std::int64_t every,
                std::vector<std::pair<std::size_t, std::size_t>> computed);

    // The state the run starts from; no frame when it is the archive's last
    // (a resumed run).
    void Start(std::int64_t step, const unsigned char* record, const SwitchBytes& switches);
    // After a committed step: the state and the switches it was made under.
    void Record(std::int64_t step, const unsigned char* record, const SwitchBytes& switches);
    // Writes the last state unless it is written, syncs and closes.
    void Finish();

    RunArchiveWriter& Writer() { return writer_; }
    std::int64_t Every() const { return every_; }
    // The steps between the regular frames from now on (at least 1).
    void SetEvery(std::int64_t every) { every_ = every < 1 ? 1 : every; }

private:
    void Write(std::int64_t step, const SwitchBytes& switches, const unsigned char* record);

    RunArchiveWriter writer_;
    std::int64_t every_;
    std::vector<std::pair<std::size_t, std::size_t>> computed_;
    std::vector<std::pair<std::size_t, std::size_t>> set_;  // the other ranges
    std::vector<unsigned char> last_, changed_;
    SwitchBytes lastSwitches_{};
    std::int64_t lastStep_ = 0;
    bool started_ = false;
    std::optional<std::int64_t> writtenStep_;
};

// The state at `step`, stored or recomputed from the frame before it; its
// switches are those of that frame. Throws AppError when the archive has no
// frame at or before the step.
RunFrame RunStateAt(const RunArchive& archive, std::int64_t step, const RunReplay& replay);

struct RunVerifyResult {
    bool ok = true;
    std::size_t frame = 0;  // the first frame that differs from its replay
    std::int64_t step = 0;
    std::string text;       // what differs
};
// Replays every span between consecutive frames and compares each stored
// frame with its replay, bit for bit. A damaged frame or steps going back
// also count as a difference. `progress` (optional) hears of each frame.
RunVerifyResult VerifyRun(const RunArchive& archive, const RunReplay& replay,
                          const std::function<void(std::size_t)>& progress = {});

// One line per fact for --info: frames, first and last step, size, damage.
std::string RunInfoText(const RunArchive& archive);

}  // namespace common

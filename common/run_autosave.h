#pragma once
// A window's own archive of every run, the same for both programs: while a
// run goes, its states are appended to an archive under
// $XDG_STATE_HOME/<program>/runs/ (by default ~/.local/state/<program>/runs/),
// every K-th state with K chosen so that the disk sees at most about 256 KiB
// a second, plus the frames of changes; replay makes the rest exact. The
// folder is bounded: the oldest runs go first.
//
// A program that runs leaves a marker in the folder naming its last run and
// the document it came from, and removes it when it ends cleanly; a marker
// of a program that is gone tells the next start that it ended uncleanly.
//
// The programs put their states into records and their switches into
// bytes; everything else is here.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/run_archive.h"

namespace common {

// $XDG_STATE_HOME/<program>/runs, else $HOME/.local/state/<program>/runs.
std::string RunsFolderOf(const std::string& program);

// The files of the folder ending in ".<extension>", the newest first.
std::vector<std::string> RecentRunFiles(const std::string& folder, const std::string& extension);

// What a marker of a program that ended uncleanly names.
struct UncleanEnd {
    std::string marker;     // the marker file (remove it when handled)
    std::string run;        // the archive of its last run
    std::string document;   // the document the run came from (may be empty)
    std::int64_t step = 0;  // the last step the archive holds
};

inline constexpr std::uint64_t kAutosaveFolderBytes = std::uint64_t{1} << 30;  // 1 GiB
inline constexpr double kAutosaveBytesPerSecond = 256.0 * 1024.0;

// K, the steps between the regular frames: at `secondsPerStep`, frames of
// `frameSize` bytes come at most kAutosaveBytesPerSecond; at least 1.
std::int64_t AutosaveEvery(double secondsPerStep, std::size_t frameSize);

// The runs folder of one program, with this process's marker in it.
class AutosaveFolder {
public:
    AutosaveFolder(std::string folder, const RunArchiveKind& kind, std::string extension,
                   std::uint64_t folderBytes = kAutosaveFolderBytes);
    ~AutosaveFolder();  // removes this process's marker: a clean end
    AutosaveFolder(const AutosaveFolder&) = delete;
    AutosaveFolder& operator=(const AutosaveFolder&) = delete;

    const std::string& Folder() const { return folder_; }
    const RunArchiveKind& Kind() const { return kind_; }
    // The archives of the folder, the newest first.
    std::vector<std::string> Recent() const { return RecentRunFiles(folder_, extension_); }
    // A marker left by a process that is gone, with an archive that holds a
    // state; the first found. Markers without one are removed.
    std::optional<UncleanEnd> FindUncleanEnd() const;
    // A new archive for a run of `document` ("<stem>-<date>-<time>-<pid>"),
    // named in the marker.
    RunArchiveWriter NewArchive(const std::string& document);
    // The archive NewArchive made last (empty before).
    const std::string& LastRun() const { return lastRun_; }
    // The oldest archives go until the folder holds at most its bound; the
    // last run stays.
    void Trim() const;
    // The end of a run: `finish` writes its last frame, then the folder is
    // trimmed; a failure of `finish` is thrown after the trim.
    void EndRun(const std::function<void()>& finish) const;

private:
    void WriteMarker(const std::string& document) const;

    std::string folder_;
    RunArchiveKind kind_;
    std::string extension_;
    std::uint64_t folderBytes_;
    std::string marker_;
    std::string lastRun_;
};

// One run into the folder, record by record. The archive is made at once;
// its first frame, the state the run starts from, is written with the first
// step, whose time sets K. A failure to write ends the archive, not the
// run: it is kept and thrown by Finish.
class AutosaveRecorder {
public:
    using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

    // How K follows the pace of the run: set once from the first step, or
    // also set again from the average pace at steps 2, 4, 8, ... of the run
    // (where a step costs far less than what the window does between two).
    enum class Pace { FirstStep, Average };

    // `record` (kind's record size) and `switches`: the state the run starts
    // from at `step`; `computed`: the ranges a step computes.
    AutosaveRecorder(AutosaveFolder& folder, const std::string& document, std::int64_t step,
                     const unsigned char* record, const SwitchBytes& switches, Ranges computed,
                     Pace pace = Pace::FirstStep);

    // Whether `step` follows the last state recorded (always before the first).
    bool Follows(std::int64_t step) const { return !archive_ || step == last_ + 1; }
    // After a committed step: the state and the switches it was made under.
    void Record(std::int64_t step, const unsigned char* record, const SwitchBytes& switches);
    // A state put in the place of the run's during it (a document opened,
    // new values) starts a new archive, with the same K.
    void Restart(const std::string& document, std::int64_t step, const unsigned char* record,
                 const SwitchBytes& switches);
    // The last state, then the sync; throws the failure met on the way.
    void Finish();
    // The steps between the regular frames now.
    std::int64_t Every() const { return every_; }

private:
    void Begin(std::int64_t step, const SwitchBytes& switches);
    double Seconds() const;

    AutosaveFolder& folder_;
    std::optional<RunArchiveWriter> writer_;
    std::vector<unsigned char> start_;
    std::int64_t step_;
    SwitchBytes switches_;
    Ranges computed_;
    std::chrono::steady_clock::time_point began_;
    Pace pace_;
    std::int64_t recorded_ = 0, nextPace_ = 2;  // steps recorded; when to look at the pace again
    std::int64_t every_ = 1;
    std::int64_t last_ = 0;
    std::unique_ptr<RunRecorder> archive_;
    std::string error_;
};

}  // namespace common

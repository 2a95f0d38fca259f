#pragma once
// The window's own archive of every run (see common/run_autosave.h): while
// a run goes, its states are appended to an archive under
// $XDG_STATE_HOME/Sphaeron/runs/ (by default ~/.local/state/Sphaeron/runs/),
// every K-th state with K chosen so that the disk sees at most about 256 KiB
// a second, plus the frames of changes; replay makes the rest exact. The
// folder is bounded: the oldest runs go first.
//
// A program that runs leaves a marker in the folder naming its last run and
// the document it came from, and removes it when it ends cleanly; a marker
// of a program that is gone tells the next start that it ended uncleanly.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/run_autosave.h"
#include "sphaeron/session/run_archive.h"

namespace sphaeron {

class Session;

// $XDG_STATE_HOME/Sphaeron/runs, else $HOME/.local/state/Sphaeron/runs.
std::string RunsFolder();

// The archives in the folder, the newest first.
std::vector<std::string> RecentRuns(const std::string& folder);

using common::UncleanEnd;

class RunAutosave {
public:
    static constexpr std::uint64_t kDefaultFolderBytes = common::kAutosaveFolderBytes;  // 1 GiB
    static constexpr double kBytesPerSecond = common::kAutosaveBytesPerSecond;

    explicit RunAutosave(std::string folder = RunsFolder(), std::uint64_t folderBytes = kDefaultFolderBytes);
    ~RunAutosave();  // removes this program's marker: a clean end
    RunAutosave(const RunAutosave&) = delete;
    RunAutosave& operator=(const RunAutosave&) = delete;

    const std::string& Folder() const { return folder_.Folder(); }
    // A marker left by a program that is gone, with its archive; the first
    // found. Markers without an archive are removed.
    std::optional<UncleanEnd> FindUncleanEnd() const { return folder_.FindUncleanEnd(); }

    // Before a run of the session: a new archive that starts with the state
    // now, added to the session's recorders. Nothing in the spiral.
    void Begin(Session& session);
    // After the run: the last state written, the recorder removed, the
    // folder trimmed. A write failure met during the run is thrown here (the
    // run itself went on); every frame written before it stays.
    void End(Session& session);
    // The archive of the last run (empty before the first).
    const std::string& LastRun() const { return folder_.LastRun(); }

private:
    class Recorder;

    common::AutosaveFolder folder_;
    std::unique_ptr<Recorder> recorder_;
};

}  // namespace sphaeron

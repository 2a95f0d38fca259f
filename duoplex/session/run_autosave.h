#pragma once
// The window's own archive of every run (see common/run_autosave.h), under
// $XDG_STATE_HOME/Duoplex/runs/ (by default ~/.local/state/Duoplex/runs/):
// every K-th state with K chosen so that the disk sees at most about 256 KiB
// a second, plus the frames of changes; the oldest runs go once the folder
// holds more than 1 GiB. A marker of a program that is gone tells the next
// start that it ended uncleanly.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/run_autosave.h"

namespace duoplex {

class Session;

// $XDG_STATE_HOME/Duoplex/runs, else $HOME/.local/state/Duoplex/runs.
std::string RunsFolder();

// The archives in the folder, the newest first.
std::vector<std::string> RecentRuns(const std::string& folder);

class RunAutosave {
public:
    explicit RunAutosave(std::string folder = RunsFolder(),
                         std::uint64_t folderBytes = common::kAutosaveFolderBytes);
    ~RunAutosave();  // removes this program's marker: a clean end
    RunAutosave(const RunAutosave&) = delete;
    RunAutosave& operator=(const RunAutosave&) = delete;

    const std::string& Folder() const { return folder_.Folder(); }
    // A marker left by a program that is gone, with its archive; the first
    // found. Markers without an archive are removed.
    std::optional<common::UncleanEnd> FindUncleanEnd() const { return folder_.FindUncleanEnd(); }

    // Before a run of the session: a new archive that starts with the state
    // now, added to the session's recorders.
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

}  // namespace duoplex

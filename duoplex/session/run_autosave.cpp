#include "duoplex/session/run_autosave.h"

#include <exception>

#include "duoplex/core/run_archive.h"
#include "duoplex/session/session.h"

namespace duoplex {

std::string RunsFolder() { return common::RunsFolderOf(kPlanarRunKind.program); }

std::vector<std::string> RecentRuns(const std::string& folder) { return common::RecentRunFiles(folder, kRunExtension); }

// Appends the run to its archive; a state put in the place of the run's
// during it ("New") starts a new archive. A step takes microseconds and the
// window draws each one, so K follows the average pace of the run.
class RunAutosave::Recorder : public StateRecorder {
public:
    Recorder(common::AutosaveFolder& folder, Session& session)
        : session_(session),
          run_(folder, session.DocumentName, static_cast<std::int64_t>(session.Steps()), session.Record().data(),
               EncodeSwitches(session.Settings()), PlanarComputedRanges(),
               common::AutosaveRecorder::Pace::Average) {}

    void Record(const CommittedStep& c) override {
        run_.Record(static_cast<std::int64_t>(c.step), RecordedState(c.state).data(), EncodeSwitches(c.settings));
    }
    void Restarted(const CommittedStep& c) override {
        run_.Restart(session_.DocumentName, static_cast<std::int64_t>(c.step), RecordedState(c.state).data(),
                     EncodeSwitches(c.settings));
    }
    void Finish() { run_.Finish(); }

private:
    Session& session_;
    common::AutosaveRecorder run_;
};

RunAutosave::RunAutosave(std::string folder, std::uint64_t folderBytes)
    : folder_(std::move(folder), kPlanarRunKind, kRunExtension, folderBytes) {}

RunAutosave::~RunAutosave() = default;

void RunAutosave::Begin(Session& session) {
    if (recorder_) return;
    recorder_ = std::make_unique<Recorder>(folder_, session);
    session.AddRecorder(recorder_.get());
}

void RunAutosave::End(Session& session) {
    if (!recorder_) return;
    session.RemoveRecorder(recorder_.get());
    std::unique_ptr<Recorder> recorder = std::move(recorder_);
    folder_.EndRun([&] { recorder->Finish(); });
}

}  // namespace duoplex

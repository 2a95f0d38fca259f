#include "sphaeron/session/run_autosave.h"

#include <exception>

#include "sphaeron/session/session.h"

namespace sphaeron {

std::string RunsFolder() { return common::RunsFolderOf("Sphaeron"); }

std::vector<std::string> RecentRuns(const std::string& folder) { return common::RecentRunFiles(folder, kRunExtension); }

// Appends the run to its archive. A state put in the place of the run's
// during it (a document opened, new taons) starts a new archive. Each state
// is packed into the record of the document it came from, padding and all.
class RunAutosave::Recorder : public StateRecorder {
public:
    Recorder(common::AutosaveFolder& folder, Session& session)
        : session_(session), packed_(Packed(session)),
          run_(folder, session.DocumentName(), static_cast<std::int64_t>(session.Steps()), packed_.bytes.data(),
               EncodeSwitches(session.Switches()), TaonComputedRanges()) {}

    void Record(const CommittedStep& c) override {
        const auto step = static_cast<std::int64_t>(c.step);
        if (!run_.Follows(step)) {
            packed_ = session_.Document();
            PackDocument(c.state, packed_);
            run_.Restart(session_.DocumentName(), step, packed_.bytes.data(), EncodeSwitches(c.switches));
            return;
        }
        PackDocument(c.state, packed_);
        run_.Record(step, packed_.bytes.data(), EncodeSwitches(c.switches));
    }
    void Finish() { run_.Finish(); }

private:
    static TaonsDocument Packed(const Session& session) { return session.Packed(); }

    Session& session_;
    TaonsDocument packed_;
    common::AutosaveRecorder run_;
};

RunAutosave::RunAutosave(std::string folder, std::uint64_t folderBytes)
    : folder_(std::move(folder), kTaonRunKind, kRunExtension, folderBytes) {}

RunAutosave::~RunAutosave() = default;

void RunAutosave::Begin(Session& session) {
    if (recorder_ || session.State().SpiralMode) return;
    recorder_ = std::make_unique<Recorder>(folder_, session);
    session.AddRecorder(recorder_.get());
}

void RunAutosave::End(Session& session) {
    if (!recorder_) return;
    session.RemoveRecorder(recorder_.get());
    std::unique_ptr<Recorder> recorder = std::move(recorder_);
    folder_.EndRun([&] { recorder->Finish(); });
}

}  // namespace sphaeron

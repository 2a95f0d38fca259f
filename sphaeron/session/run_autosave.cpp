#include "sphaeron/session/run_autosave.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>

#include "common/errors.h"
#include "sphaeron/session/session.h"

namespace fs = std::filesystem;

namespace sphaeron {

namespace {

const char* const kMarkerPrefix = "session-";
const char* const kMarkerSuffix = ".marker";

bool Alive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH); }

// "lattice-20261208-174501-1234.atorun" beside the others.
std::string NewRunPath(const std::string& folder, const std::string& document) {
    std::string stem = fs::path(document).stem().string();
    if (stem.empty()) stem = "run";
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char when[32];
    std::strftime(when, sizeof when, "%Y%m%d-%H%M%S", &tm);
    const std::string base = folder + "/" + stem + "-" + when + "-" + std::to_string(::getpid());
    std::string path = base + "." + kRunExtension;
    for (int n = 2; fs::exists(path); ++n) path = base + "-" + std::to_string(n) + "." + kRunExtension;
    return path;
}

}  // namespace

std::string RunsFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && *state == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/state";
    }
    return base + "/Sphaeron/runs";
}

std::vector<std::string> RecentRuns(const std::string& folder) {
    std::vector<std::pair<fs::file_time_type, std::string>> runs;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        std::error_code ec2;
        if (e.is_regular_file(ec2) && e.path().extension() == std::string(".") + kRunExtension)
            runs.emplace_back(e.last_write_time(ec2), e.path().string());
    }
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a > b; });
    std::vector<std::string> paths;
    for (auto& r : runs) paths.push_back(std::move(r.second));
    return paths;
}

// Appends the run to its archive. K, the steps between the regular frames,
// follows from the time of the first step. A state put in the place of the
// run's during it (a document opened, new taons) starts a new archive. A
// write failure ends the archive, not the run.
class RunAutosave::Recorder : public StateRecorder {
public:
    Recorder(RunAutosave& owner, Session& session, common::RunArchiveWriter writer)
        : owner_(owner), session_(session), writer_(std::move(writer)), start_(session.Document()),
          step_(static_cast<std::int64_t>(session.Steps())), switches_(session.Switches()),
          began_(std::chrono::steady_clock::now()) {
        PackDocument(session.State(), start_);
    }

    void Record(const CommittedStep& c) override {
        if (!error_.empty()) return;
        try {
            const auto step = static_cast<std::int64_t>(c.step);
            if (archive_ && step != last_ + 1) {
                archive_->Finish();
                archive_.reset();
                writer_ = owner_.NewArchive(session_.DocumentName());
                start_ = session_.Document();
                PackDocument(c.state, start_);
                Begin(step, c.switches);
                return;
            }
            if (!archive_) {
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
                const double framesPerSecond = kBytesPerSecond / static_cast<double>(kTaonRunKind.FrameSize());
                const double stepsPerSecond = 1.0 / std::max(seconds, 1e-9);
                const auto every = static_cast<std::int64_t>(std::ceil(stepsPerSecond / framesPerSecond));
                every_ = std::max<std::int64_t>(every, 1);
                Begin(step_, switches_);
            }
            archive_->Record(c);
            last_ = step;
        } catch (const std::exception& e) {
            error_ = e.what();
        }
    }
    // The last state, then the sync; the failure met on the way, if any.
    void Finish() {
        try {
            if (archive_ && error_.empty()) archive_->Finish();
        } catch (const std::exception& e) {
            error_ = e.what();
        }
        if (!error_.empty()) throw common::AppError(error_);
    }

private:
    void Begin(std::int64_t step, const RunSwitches& sw) {
        archive_ = std::make_unique<RunArchiveRecorder>(std::move(*writer_), every_);
        writer_.reset();
        archive_->Start(step, start_, sw);
        last_ = step;
    }

    RunAutosave& owner_;
    Session& session_;
    std::optional<common::RunArchiveWriter> writer_;
    TaonsDocument start_;
    std::int64_t step_;
    RunSwitches switches_;
    std::chrono::steady_clock::time_point began_;
    std::int64_t every_ = 1;
    std::int64_t last_ = 0;
    std::unique_ptr<RunArchiveRecorder> archive_;
    std::string error_;
};

RunAutosave::RunAutosave(std::string folder, std::uint64_t folderBytes)
    : folder_(std::move(folder)), folderBytes_(folderBytes),
      marker_(folder_ + "/" + kMarkerPrefix + std::to_string(::getpid()) + kMarkerSuffix) {}

RunAutosave::~RunAutosave() {
    std::error_code ec;
    fs::remove(marker_, ec);
}

std::optional<UncleanEnd> RunAutosave::FindUncleanEnd() const {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder_, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(kMarkerPrefix, 0) != 0 || e.path().extension() != kMarkerSuffix) continue;
        const long pid = std::strtol(name.c_str() + std::string(kMarkerPrefix).size(), nullptr, 10);
        if (pid == ::getpid() || Alive(pid)) continue;
        UncleanEnd end;
        end.marker = e.path().string();
        std::ifstream in(end.marker);
        std::getline(in, end.run);
        std::getline(in, end.document);
        try {
            const common::RunArchive archive(end.run, kTaonRunKind);
            if (archive.Count() > 0) {
                end.step = archive.StepOf(archive.Count() - 1);
                return end;
            }
        } catch (const std::exception&) {
            // Nothing to restore from this one.
        }
        std::error_code ec2;
        fs::remove(end.marker, ec2);
    }
    return std::nullopt;
}

void RunAutosave::WriteMarker(const std::string& document) const {
    const std::string part = marker_ + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        out << lastRun_ << '\n' << document << '\n';
        if (!out.flush()) throw common::AppError("cannot write '" + part + "'");
    }
    fs::rename(part, marker_);
}

common::RunArchiveWriter RunAutosave::NewArchive(const std::string& document) {
    fs::create_directories(folder_);
    const std::string path = NewRunPath(folder_, document);
    common::RunArchiveWriter writer = common::RunArchiveWriter::Create(path, kTaonRunKind);
    lastRun_ = path;
    WriteMarker(document);
    return writer;
}

void RunAutosave::Begin(Session& session) {
    if (recorder_ || session.State().SpiralMode) return;
    recorder_ = std::make_unique<Recorder>(*this, session, NewArchive(session.DocumentName()));
    session.AddRecorder(recorder_.get());
}

void RunAutosave::End(Session& session) {
    if (!recorder_) return;
    session.RemoveRecorder(recorder_.get());
    std::unique_ptr<Recorder> recorder = std::move(recorder_);
    std::exception_ptr failure;
    try {
        recorder->Finish();
    } catch (...) {
        failure = std::current_exception();
    }
    Trim();
    if (failure) std::rethrow_exception(failure);
}

void RunAutosave::Trim() const {
    std::uint64_t total = 0;
    for (const std::string& run : RecentRuns(folder_)) {
        std::error_code ec;
        total += fs::file_size(run, ec);
        if (total > folderBytes_ && run != lastRun_) fs::remove(run, ec);
    }
}

}  // namespace sphaeron

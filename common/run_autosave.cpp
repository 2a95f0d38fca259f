#include "common/run_autosave.h"

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

namespace fs = std::filesystem;

namespace common {

namespace {

const char* const kMarkerPrefix = "session-";
const char* const kMarkerSuffix = ".marker";

bool Alive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH); }

// "lattice-20261208-174501-1234.atorun" beside the others.
std::string NewRunPath(const std::string& folder, const std::string& document, const std::string& extension) {
    std::string stem = fs::path(document).stem().string();
    if (stem.empty()) stem = "run";
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char when[32];
    std::strftime(when, sizeof when, "%Y%m%d-%H%M%S", &tm);
    const std::string base = folder + "/" + stem + "-" + when + "-" + std::to_string(::getpid());
    std::string path = base + "." + extension;
    for (int n = 2; fs::exists(path); ++n) path = base + "-" + std::to_string(n) + "." + extension;
    return path;
}

}  // namespace

std::string RunsFolderOf(const std::string& program) {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && *state == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/state";
    }
    return base + "/" + program + "/runs";
}

std::vector<std::string> RecentRunFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::pair<fs::file_time_type, std::string>> runs;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        std::error_code ec2;
        if (e.is_regular_file(ec2) && e.path().extension() == "." + extension)
            runs.emplace_back(e.last_write_time(ec2), e.path().string());
    }
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a > b; });
    std::vector<std::string> paths;
    for (auto& r : runs) paths.push_back(std::move(r.second));
    return paths;
}

std::int64_t AutosaveEvery(double secondsPerStep, std::size_t frameSize) {
    const double framesPerSecond = kAutosaveBytesPerSecond / static_cast<double>(frameSize);
    const double stepsPerSecond = 1.0 / std::max(secondsPerStep, 1e-9);
    const auto every = static_cast<std::int64_t>(std::ceil(stepsPerSecond / framesPerSecond));
    return std::max<std::int64_t>(every, 1);
}

// ---- the folder -------------------------------------------------------------

AutosaveFolder::AutosaveFolder(std::string folder, const RunArchiveKind& kind, std::string extension,
                               std::uint64_t folderBytes)
    : folder_(std::move(folder)), kind_(kind), extension_(std::move(extension)), folderBytes_(folderBytes),
      marker_(folder_ + "/" + kMarkerPrefix + std::to_string(::getpid()) + kMarkerSuffix) {}

AutosaveFolder::~AutosaveFolder() {
    std::error_code ec;
    fs::remove(marker_, ec);
}

std::optional<UncleanEnd> AutosaveFolder::FindUncleanEnd() const {
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
            const RunArchive archive(end.run, kind_);
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

void AutosaveFolder::WriteMarker(const std::string& document) const {
    const std::string part = marker_ + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        out << lastRun_ << '\n' << document << '\n';
        if (!out.flush()) throw AppError("cannot write '" + part + "'");
    }
    fs::rename(part, marker_);
}

RunArchiveWriter AutosaveFolder::NewArchive(const std::string& document) {
    fs::create_directories(folder_);
    const std::string path = NewRunPath(folder_, document, extension_);
    RunArchiveWriter writer = RunArchiveWriter::Create(path, kind_);
    lastRun_ = path;
    WriteMarker(document);
    return writer;
}

void AutosaveFolder::EndRun(const std::function<void()>& finish) const {
    std::exception_ptr failure;
    try {
        finish();
    } catch (...) {
        failure = std::current_exception();
    }
    Trim();
    if (failure) std::rethrow_exception(failure);
}

void AutosaveFolder::Trim() const {
    std::uint64_t total = 0;
    for (const std::string& run : Recent()) {
        std::error_code ec;
        total += fs::file_size(run, ec);
        if (total > folderBytes_ && run != lastRun_) fs::remove(run, ec);
    }
}

// ---- one run ----------------------------------------------------------------

AutosaveRecorder::AutosaveRecorder(AutosaveFolder& folder, const std::string& document, std::int64_t step,
                                   const unsigned char* record, const SwitchBytes& switches, Ranges computed,
                                   Pace pace)
    : folder_(folder), writer_(folder.NewArchive(document)), start_(record, record + folder.Kind().recordSize),
      step_(step), switches_(switches), computed_(std::move(computed)), began_(std::chrono::steady_clock::now()),
      pace_(pace) {}

double AutosaveRecorder::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
}

void AutosaveRecorder::Begin(std::int64_t step, const SwitchBytes& switches) {
    archive_ = std::make_unique<RunRecorder>(std::move(*writer_), every_, computed_);
    writer_.reset();
    archive_->Start(step, start_.data(), switches);
    last_ = step;
}

void AutosaveRecorder::Record(std::int64_t step, const unsigned char* record, const SwitchBytes& switches) {
    if (!error_.empty()) return;
    try {
        ++recorded_;
        if (!archive_) {
            every_ = AutosaveEvery(Seconds(), folder_.Kind().FrameSize());
            Begin(step_, switches_);
        } else if (pace_ == Pace::Average && recorded_ == nextPace_) {
            every_ = AutosaveEvery(Seconds() / static_cast<double>(recorded_), folder_.Kind().FrameSize());
            archive_->SetEvery(every_);
            nextPace_ *= 2;
        }
        archive_->Record(step, record, switches);
        last_ = step;
    } catch (const std::exception& e) {
        error_ = e.what();
    }
}

void AutosaveRecorder::Restart(const std::string& document, std::int64_t step, const unsigned char* record,
                               const SwitchBytes& switches) {
    if (!error_.empty()) return;
    try {
        if (archive_) archive_->Finish();
        archive_.reset();
        writer_ = folder_.NewArchive(document);
        start_.assign(record, record + folder_.Kind().recordSize);
        Begin(step, switches);
    } catch (const std::exception& e) {
        error_ = e.what();
    }
}

void AutosaveRecorder::Finish() {
    try {
        if (archive_ && error_.empty()) archive_->Finish();
    } catch (const std::exception& e) {
        error_ = e.what();
    }
    if (!error_.empty()) throw AppError(error_);
}

}  // namespace common

#include "tools/run_outputs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/fileio.h"

namespace tools {

namespace {

// Staging files to remove when a signal ends the run. Written only by the
// main thread while no signal handler runs on it.
constexpr int kMaxStaging = 16;
constexpr std::size_t kMaxPath = 4096;
char gStaging[kMaxStaging][kMaxPath];
volatile std::sig_atomic_t gStagingCount = 0;

extern "C" void RemoveStagingAndDie(int sig) {
    for (int i = 0; i < gStagingCount; ++i) ::unlink(gStaging[i]);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void RememberForSignals(const std::vector<std::string>& stagings) {
    static bool installed = false;
    if (!installed) {
        installed = true;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            // A signal the caller ignores (nohup) stays ignored.
            if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) ::signal(sig, RemoveStagingAndDie);
        }
    }
    gStagingCount = 0;
    int n = 0;
    for (const std::string& s : stagings) {
        if (n == kMaxStaging || s.size() >= kMaxPath) continue;
        std::memcpy(gStaging[n], s.c_str(), s.size() + 1);
        ++n;
    }
    gStagingCount = n;
}

[[noreturn]] void Throw(const std::string& path, int err) {
    throw common::FileError(CannotWriteText(path, common::FileErrorText(err)), err);
}

// A device or a pipe is written where it is; throws FileError.
void WriteDirect(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) common::ThrowFileError(errno);
    const char* p = bytes.data();
    for (std::size_t left = bytes.size(); left > 0;) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            common::ThrowFileError(err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) common::ThrowFileError(errno);
}

}  // namespace

std::string CannotWriteText(const std::string& path, const std::string& reason) {
    return "cannot write '" + path + "': " + reason;
}

RunOutputs::~RunOutputs() { Discard(); }

int RunOutputs::Add(const std::string& path) {
    if (path.empty()) Throw(path, ENOENT);
    if (path.back() == '/') Throw(path, EISDIR);
    for (const Output& o : outputs_)
        if (o.target == path) throw common::FileError(CannotWriteText(path, "named for two outputs"), 0);

    Output out;
    out.target = path;
    std::string file = path;  // a link stands for the file it names
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            file = resolved;
            std::free(resolved);
        }
    }
    bool special = path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
    if (special || (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))) {
        // A device or a pipe (/dev/null, /dev/stdout) is written directly.
        out.direct = file;
        outputs_.push_back(std::move(out));
        return static_cast<int>(outputs_.size()) - 1;
    }
    if (::stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw common::FileError(CannotWriteText(path, "it is a folder"), EISDIR);
    try {
        out.file = std::make_unique<common::StagedFile>(path, "run");
    } catch (const common::FileError& e) {
        Throw(path, e.code());
    }
    outputs_.push_back(std::move(out));
    std::vector<std::string> stagings;
    for (const Output& o : outputs_)
        if (o.file) stagings.push_back(o.file->Path());
    RememberForSignals(stagings);
    return static_cast<int>(outputs_.size()) - 1;
}

void RunOutputs::Write(int id, const std::string& bytes) {
    const Output& o = outputs_[static_cast<std::size_t>(id)];
    try {
        if (o.file) {
            o.file->Write(bytes.data(), bytes.size());
        } else {
            WriteDirect(o.direct, bytes);
        }
    } catch (const common::FileError& e) {
        Throw(o.target, e.code());
    }
}

void RunOutputs::Commit() {
    // The name is copied before Discard lets go of the outputs.
    for (Output& o : outputs_) {
        try {
            if (o.file) o.file->Sync();
        } catch (const common::FileError& e) {
            const std::string target = o.target;
            Discard();
            Throw(target, e.code());
        }
    }
    for (Output& o : outputs_) {
        try {
            if (o.file) o.file->PutInPlace();
            o.committed = true;
        } catch (const common::FileError& e) {
            for (Output& done : outputs_)
                if (done.committed && done.file && !done.file->Existed()) ::unlink(done.file->Target().c_str());
            const std::string target = o.target;
            Discard();
            Throw(target, e.code());
        }
    }
    gStagingCount = 0;
    outputs_.clear();
}

void RunOutputs::Discard() {
    gStagingCount = 0;
    outputs_.clear();  // each staging file not put in place goes with its output
}

}  // namespace tools

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

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

[[noreturn]] void Throw(const std::string& path, int err) {
    throw common::FileError(CannotWriteText(path, common::FileErrorText(err)), err);
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
    // A link is followed: the file it names is replaced, the link stays.
    std::string file = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved) {
            file = resolved;
            std::free(resolved);
        }
    }
    out.file = file;
    bool special = path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
    if (special || (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))) {
        // A device or a pipe (/dev/null, /dev/stdout) is written directly.
        out.file = path;
        out.staging = file;
        out.existed = true;
        out.direct = true;
        outputs_.push_back(out);
        return static_cast<int>(outputs_.size()) - 1;
    }

    // Permission bits count even for a superuser: a read-only folder or
    // file is not written.
    std::string folder = FolderOf(file);
    if (::stat(folder.c_str(), &st) != 0) Throw(path, errno);
    if (!S_ISDIR(st.st_mode)) Throw(path, ENOTDIR);
    if ((st.st_mode & 0222) == 0 || ::access(folder.c_str(), W_OK) != 0) Throw(path, EACCES);
    mode_t mode;
    if (::stat(file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw common::FileError(CannotWriteText(path, "it is a folder"), EISDIR);
        if ((st.st_mode & 0222) == 0 || ::access(file.c_str(), W_OK) != 0) Throw(path, EACCES);
        out.existed = true;
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    out.staging = folder + "/.run-XXXXXX";
    int fd = ::mkstemp(out.staging.data());
    if (fd < 0) Throw(path, errno);
    ::fchmod(fd, mode);
    ::close(fd);
    outputs_.push_back(out);
    std::vector<std::string> stagings;
    for (const Output& o : outputs_)
        if (!o.direct) stagings.push_back(o.staging);
    RememberForSignals(stagings);
    return static_cast<int>(outputs_.size()) - 1;
}

void RunOutputs::Write(int id, const std::string& bytes) {
    const Output& o = outputs_[static_cast<std::size_t>(id)];
    int fd = ::open(o.staging.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) Throw(o.target, errno);
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            Throw(o.target, err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) Throw(o.target, errno);
}

void RunOutputs::Commit() {
    for (Output& o : outputs_) {
        if (o.direct || ::rename(o.staging.c_str(), o.file.c_str()) == 0) {
            o.committed = true;
            continue;
        }
        int err = errno;
        for (Output& done : outputs_)
            if (done.committed && !done.existed) ::unlink(done.file.c_str());
        Discard();
        Throw(o.target, err);
    }
    gStagingCount = 0;
    outputs_.clear();
}

void RunOutputs::Discard() {
    gStagingCount = 0;
    for (const Output& o : outputs_)
        if (!o.committed && !o.direct) ::unlink(o.staging.c_str());
    outputs_.clear();
}

}  // namespace tools

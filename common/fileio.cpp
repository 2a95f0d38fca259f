#include "common/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

#include "common/errors.h"

namespace common {

const char* const kReadBeyondEndText = "Read beyond end of file";

std::string FileErrorText(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return "File not found";
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EBUSY:
            return "File access denied";
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ:
            return "Invalid filename";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return "Disk full";
        default:
            return "I/O error " + std::to_string(err);
    }
}

void ThrowFileError(int err) { throw FileError(FileErrorText(err), err); }

namespace {

// Runs f; a FileError from it names the file when it does not yet.
template <class F>
void NamingFile(const std::string& path, F f) {
    try {
        f();
    } catch (FileError& e) {
        if (e.path().empty()) e.set_path(path);
        throw;
    }
}

}  // namespace

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

int OpenForRead(const std::string& path) {
    if (path.empty()) ThrowFileError(ENOENT);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowFileError(errno);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        ThrowFileError(EISDIR);
    }
    return fd;
}

// Reads up to size bytes; returns how many were read.
std::size_t ReadUpTo(int fd, char* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, out + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Permission bits are honoured even for a superuser, so that a read-only
// document or folder is never written over.
void CheckWritable(const std::string& path, bool mustExist) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT && !mustExist) return;
        ThrowFileError(errno);
    }
    if (S_ISDIR(st.st_mode) && !mustExist) ThrowFileError(EISDIR);
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) ThrowFileError(EACCES);
}

}  // namespace

void ReadRecord(const std::string& path, void* buffer, std::size_t size) {
    NamingFile(path, [&] {
        Fd fd(OpenForRead(path));
        if (ReadUpTo(fd.get(), static_cast<char*>(buffer), size) < size) throw FileError(kReadBeyondEndText, 0);
    });
}

std::string ReadWholeFile(const std::string& path) {
    std::string data;
    NamingFile(path, [&] {
        Fd fd(OpenForRead(path));
        char chunk[65536];
        for (;;) {
            std::size_t n = ReadUpTo(fd.get(), chunk, sizeof chunk);
            data.append(chunk, n);
            if (n < sizeof chunk) break;
        }
    });
    return data;
}

bool CanOpenForRead(const std::string& path) {
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return ok;
}

namespace {

void WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    for (std::size_t left = size; left > 0;) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// The file a write is meant for: a symbolic link stands for the file it
// names, so replacing the document keeps the link and changes its target.
std::string WriteTarget(const std::string& path) {
    struct stat lst;
    if (::lstat(path.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) return path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string target(real);
        std::free(real);
        return target;
    }
    // A link to a file that does not exist yet: the file it names.
    std::string link(static_cast<std::size_t>(lst.st_size > 0 ? lst.st_size : 4096) + 1, '\0');
    ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0) return path;
    link.resize(static_cast<std::size_t>(n));
    return link.front() == '/' ? link : FolderOf(path) + "/" + link;
}

// Devices and pipes cannot be replaced: they are written as they are.
void WriteInPlace(const std::string& path, const void* data, std::size_t size) {
    int raw = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (raw < 0) ThrowFileError(errno);
    Fd fd(raw);
    WriteAll(fd.get(), data, size);
    if (::close(fd.release()) != 0) ThrowFileError(errno);
}

}  // namespace

namespace {

SyncStep& CurrentSyncStep() {
    static SyncStep step;
    return step;
}

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

SyncStep SetSyncStep(SyncStep step) {
    SyncStep previous = std::move(CurrentSyncStep());
    CurrentSyncStep() = std::move(step);
    return previous;
}

void SyncFile(int fd) {
    const SyncStep& step = CurrentSyncStep();
    int err = 0;
    if (step)
        err = step(fd);
    else if (::fsync(fd) != 0)
        err = errno;
    if (err != 0 && err != EINVAL && err != EROFS) ThrowFileError(err);
}

StagedFile::StagedFile(const std::string& requested, std::string_view program) {
    NamingFile(requested, [&] { Create(requested, program); });
}

void StagedFile::Create(const std::string& requested, std::string_view program) {
    if (requested.empty()) ThrowFileError(ENOENT);
    if (requested.back() == '/') ThrowFileError(EISDIR);
    target_ = WriteTarget(requested);
    std::string folder = FolderOf(target_);
    CheckWritable(folder, true);
    CheckWritable(target_, false);

    // A new document gets the usual permissions; a replaced one keeps its own.
    struct stat st;
    existed_ = ::stat(target_.c_str(), &st) == 0;
    mode_t mode = existed_ ? (st.st_mode & 07777) : NewFileMode();
    staging_ = folder + "/." + std::string(program) + "-XXXXXX";
    int raw = ::mkstemp(staging_.data());
    if (raw < 0) {
        int err = errno;
        staging_.clear();
        ThrowFileError(err);
    }
    ::fchmod(raw, mode);
    ::close(raw);
}

StagedFile::~StagedFile() {
    if (!placed_ && !staging_.empty()) ::unlink(staging_.c_str());
}

void StagedFile::Write(const void* data, std::size_t size) {
    NamingFile(target_, [&] {
        int raw = ::open(staging_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (raw < 0) ThrowFileError(errno);
        Fd fd(raw);
        WriteAll(fd.get(), data, size);
        if (::close(fd.release()) != 0) ThrowFileError(errno);
    });
}

void StagedFile::Sync() {
    NamingFile(target_, [&] {
        int raw = ::open(staging_.c_str(), O_WRONLY | O_CLOEXEC);
        if (raw < 0) ThrowFileError(errno);
        Fd fd(raw);
        SyncFile(fd.get());
        if (::close(fd.release()) != 0) ThrowFileError(errno);
    });
}

void StagedFile::PutInPlace() {
    if (::rename(staging_.c_str(), target_.c_str()) != 0) {
        int err = errno;
        throw FileError(FileErrorText(err), err, target_);
    }
    placed_ = true;
}

void WriteFileAtomic(const std::string& requested, const void* data, std::size_t size, std::string_view program) {
    NamingFile(requested, [&] {
        if (requested.empty()) ThrowFileError(ENOENT);
        if (requested.back() == '/') ThrowFileError(EISDIR);
        const std::string path = WriteTarget(requested);
        struct stat existing;
        if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
            WriteInPlace(path, data, size);
            return;
        }
        StagedFile staged(path, program);
        staged.Write(data, size);
        staged.Sync();
        staged.PutInPlace();
    });
}

void MakeFolders(const std::string& path) {
    if (path.empty()) return;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) ThrowFileError(ENOTDIR);
        return;
    }
    std::string parent = FolderOf(path);
    if (parent != path && parent != "." && parent != "/") MakeFolders(parent);
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) ThrowFileError(errno);
}

}  // namespace common

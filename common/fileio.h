#pragma once
// Whole-file operations with the system's error texts. Every file is opened,
// used and closed within one call.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace common {

extern const char* const kReadBeyondEndText;  // "Read beyond end of file"

// The text for a system error number: "File not found", "File access
// denied", "Invalid filename", "Too many open files", "Disk full", or
// "I/O error <n>".
std::string FileErrorText(int err);
[[noreturn]] void ThrowFileError(int err);

// Every FileError thrown here carries the path of the file (FileError::path).

// Reads the first `size` bytes of a file opened read-only; a shorter file
// throws "Read beyond end of file". Bytes after the record are ignored.
void ReadRecord(const std::string& path, void* buffer, std::size_t size);

// The step that makes what was written to an open file durable: fsync(2).
// Every write here passes through it before a file is put in place; a test
// puts in its own to see when it happens or to make it fail. It returns 0 or
// the system error number.
using SyncStep = std::function<int(int fd)>;
// Puts in a sync step (an empty one brings fsync back); returns the one
// it replaces.
SyncStep SetSyncStep(SyncStep step);
// Passes the file through the sync step; a failure throws FileError with
// its text. Files that cannot be synced (pipes, some devices) pass.
void SyncFile(int fd);

// A file written beside its target and put in its place whole, so that the
// target holds either its previous content or the new one. The staging file
// ".<program>-XXXXXX" lies in the target's folder, with the permissions of
// the file it replaces (the usual ones for a new file); a link is followed,
// so the file it names is replaced and the link stays.
class StagedFile {
public:
    // Checks that the folder can be written and that the target is not a
    // folder or a read-only file, then creates the staging file; throws
    // FileError.
    StagedFile(const std::string& target, std::string_view program);
    ~StagedFile();  // removes the staging file unless it was put in place
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::string& Path() const { return staging_; }  // written until put in place
    const std::string& Target() const { return target_; } // the file replaced
    bool Existed() const { return existed_; }              // the target was there before

    // Replaces the staging file's content; throws FileError.
    void Write(const void* data, std::size_t size);
    // Syncs the staging file's content (SyncFile); throws FileError.
    void Sync();
    // Renames the staging file over the target; throws FileError.
    void PutInPlace();

private:
    void Create(const std::string& target, std::string_view program);

    std::string target_;
    std::string staging_;
    bool existed_ = false;
    bool placed_ = false;
};

// Writes the bytes through a StagedFile (write, sync, rename), so a failed
// write leaves the previous file as it was. A device or a pipe is written
// where it is.
void WriteFileAtomic(const std::string& path, const void* data, std::size_t size,
                     std::string_view program = "sphaeron");
inline void WriteFileAtomic(const std::string& path, const std::string& data,
                            std::string_view program = "sphaeron") {
    WriteFileAtomic(path, data.data(), data.size(), program);
}

// Reads a whole (small) file; throws on failure.
std::string ReadWholeFile(const std::string& path);

// Silent test: can the file be opened for reading (and is it not a folder)?
bool CanOpenForRead(const std::string& path);

// Creates the folder and its parents if missing; throws on failure.
void MakeFolders(const std::string& path);

}  // namespace common

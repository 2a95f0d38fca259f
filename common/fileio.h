#pragma once
// Whole-file operations with the system's error texts. Every file is opened,
// used and closed within one call.
#include <cstddef>
#include <string>
#include <string_view>

namespace common {

extern const char* const kReadBeyondEndText;  // "Read beyond end of file"

// The text for a system error number: "File not found", "File access
// denied", "Invalid filename", "Too many open files", "Disk full", or
// "I/O error <n>".
std::string FileErrorText(int err);
[[noreturn]] void ThrowFileError(int err);

// Reads the first `size` bytes of a file opened read-only; a shorter file
// throws "Read beyond end of file". Bytes after the record are ignored.
void ReadRecord(const std::string& path, void* buffer, std::size_t size);

// Writes the bytes to a temporary file beside the target and renames it over
// the target, so a failed write leaves the previous file as it was. The
// temporary is named after the writing program: ".<program>-XXXXXX".
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

#pragma once
// Reading a document file that holds either one fixed-size record or the
// document's JSON form, told apart by content.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

struct DocumentFile {
    std::string bytes;  // the record (exactly its size), or the JSON text
    bool json = false;
};

// True when a file name stands for the JSON form of a document: it ends in
// ".json", in any case. Every writer of the documents decides by it.
bool IsJsonPath(std::string_view path);

// True when the bytes are a JSON text: the first byte after blanks is '{'
// and, for bytes of exactly the record size, the whole text is JSON.
bool LooksLikeJson(std::string_view bytes, std::size_t recordSize);

// Reads the document at path. Failures throw AppError whose text names the
// file and the problem:
//   "cannot read '<path>': <file error text>"   (a FileError, with its code)
//   "'<path>' is a folder, not a document"
//   "'<path>' is <n> bytes; a <kind> document is <recordSize> bytes"
// With anySize a record file of another size is read as the windows read it:
// its first record, and a shorter one fails with "Read beyond end of file".
// kind is the extension with its dot, such as ".ato".
DocumentFile ReadDocumentFile(const std::string& path, std::size_t recordSize, const std::string& kind, bool anySize);

// "'<name>' is <bytes, with thousands commas> bytes long and is not a
// <program> document. <ask>" (the file's name without its folder).
std::string SizeQuestion(const std::string& path, std::uint64_t bytes, const std::string& program,
                         const std::string& ask);

// Before a document of `recordSize` bytes is written over `path`: when an
// existing file there has another size, "... Replace it?". None for a new
// name, a document-sized file or anything but a file.
std::optional<std::string> ReplaceQuestion(const std::string& path, std::size_t recordSize,
                                           const std::string& program);

}  // namespace common

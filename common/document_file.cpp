#include "common/document_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>

#include "common/errors.h"
#include "common/fileio.h"
#include "common/json_fields.h"

namespace common {

namespace {

// Longest file read whole; a longer one is neither a record nor a JSON form.
constexpr std::size_t kMaxDocumentText = 64u << 20;

[[noreturn]] void CannotRead(const std::string& path, int err, const std::string& text) {
    throw FileError("cannot read '" + path + "': " + text, err, path);
}

}  // namespace

bool IsJsonPath(std::string_view path) {
    constexpr std::string_view kSuffix = ".json";
    if (path.size() < kSuffix.size()) return false;
    std::string_view end = path.substr(path.size() - kSuffix.size());
    for (std::size_t i = 0; i < kSuffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(end[i])) != kSuffix[i]) return false;
    return true;
}

bool LooksLikeJson(std::string_view bytes, std::size_t recordSize) {
    std::size_t i = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\n' || bytes[i] == '\r')) ++i;
    if (i == bytes.size() || bytes[i] != '{') return false;
    return bytes.size() != recordSize || IsJsonSyntax(bytes.substr(i));
}

DocumentFile ReadDocumentFile(const std::string& path, std::size_t recordSize, const std::string& kind, bool anySize) {
    if (path.empty()) CannotRead(path, ENOENT, FileErrorText(ENOENT));
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        struct stat st;
        if (err == EISDIR || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
            throw AppError("'" + path + "' is a folder, not a document");
        CannotRead(path, err, FileErrorText(err));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) throw AppError("'" + path + "' is a folder, not a document");

    // Regular files report their size; pipes are read up to the limit.
    DocumentFile doc;
    bool regular = S_ISREG(st.st_mode);
    std::size_t want = kMaxDocumentText + 1;
    if (regular) want = static_cast<std::size_t>(st.st_size) > kMaxDocumentText ? recordSize : static_cast<std::size_t>(st.st_size) + 1;
    char chunk[65536];
    while (doc.bytes.size() < want) {
        ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, want - doc.bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) CannotRead(path, errno, FileErrorText(errno));
        if (n == 0) break;
        doc.bytes.append(chunk, static_cast<std::size_t>(n));
    }
    std::size_t got = doc.bytes.size();
    std::size_t size = regular ? static_cast<std::size_t>(st.st_size) : got;

    doc.json = got < want && LooksLikeJson(doc.bytes, recordSize);
    if (doc.json) return doc;
    if (size != recordSize && !anySize)
        throw AppError("'" + path + "' is " + std::to_string(size) + " bytes; a " + kind + " document is " +
                       std::to_string(recordSize) + " bytes");
    if (got < recordSize) CannotRead(path, 0, kReadBeyondEndText);
    doc.bytes.resize(recordSize);
    return doc;
}

std::string SizeQuestion(const std::string& path, std::uint64_t bytes, const std::string& program,
                         const std::string& ask) {
    // 11372 as "11,372".
    const std::string digits = std::to_string(bytes);
    std::string size;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) size += ',';
        size += digits[i];
    }
    return "'" + std::filesystem::path(path).filename().string() + "' is " + size +
           (bytes == 1 ? " byte" : " bytes") + " long and is not a " + program + " document. " + ask;
}

std::optional<std::string> ReplaceQuestion(const std::string& path, std::size_t recordSize,
                                           const std::string& program) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size == recordSize) return std::nullopt;
    return SizeQuestion(path, size, program, "Replace it?");
}

}  // namespace common

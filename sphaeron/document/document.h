#pragma once
// The .ato document (one record of 6296 bytes), its commentary text file and
// the start file that remembers the last document.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "sphaeron/core/taon_state.h"

namespace sphaeron {

constexpr std::size_t kDocumentSize = 6296;
constexpr std::size_t kParamsOffset = 0;      // DT, A1 .. G3: 19 reals
constexpr std::size_t kXOffset = 192;         // X[1..100], then Y, Z, Ux, Uy, Uz
constexpr std::size_t kPresentOffset = 6192;  // 100 presence bytes
constexpr const char* kDocumentFilter = "Taons files (*.ato)|*.ato";
constexpr const char* kDocumentExtension = "ato";

// The record buffer. Padding bytes (190..191, 6292..6295) are never set from
// the state: they keep whatever the last document read held.
struct TaonsDocument {
    std::array<unsigned char, kDocumentSize> bytes{};
};

// The nineteen parameters in document order: DT, A1, B1, C1, D1, F1, G1,
// A2 .. G2, A3 .. G3.
constexpr int kParameterCount = 19;
long double* ParameterField(TaonState& s, int index);
const long double* ParameterField(const TaonState& s, int index);
extern const char* const kParameterNames[kParameterCount];  // "DT", "A1", ...

void PackDocument(const TaonState& s, TaonsDocument& doc);
// Writes the whole buffer atomically; throws FileError.
void WriteDocument(const std::string& path, const TaonsDocument& doc);
// Reads the first 6296 bytes of a file opened read-only. On failure the
// buffer is left as it was; throws FileError.
void ReadDocument(const std::string& path, TaonsDocument& doc);
// Buffer into the committed, working and view copies of all 100 slots, the
// parameters and the presence bytes.
void DistributeDocument(const TaonsDocument& doc, TaonState& s);
void LoadDocument(const std::string& path, TaonsDocument& doc, TaonState& s);

// Commentary file: the document path without its last four characters,
// plus ".txt" (a shorter name is used whole).
std::string CommentaryName(const std::string& documentPath);
// Line breaks as the memo holds them: a lone CR or LF becomes CR LF.
std::string NormaliseLineBreaks(const std::string& text);
// The file's text with normalised line breaks, or nothing when the file
// cannot be opened (silently).
std::optional<std::string> LoadCommentary(const std::string& documentPath);
// Writes the memo's text (8-bit, CR LF between lines); throws FileError.
void SaveCommentary(const std::string& documentPath, const std::string& text);

// The start file: $XDG_CONFIG_HOME/Sphaeron/Start.-as- (default
// ~/.config/Sphaeron/Start.-as-).
std::string StartFilePath();
// The first line of the start file, or nothing when it cannot be opened.
std::optional<std::string> ReadLastDocument();
// Writes the path (no line end) into the start file, creating its folder.
void RememberLastDocument(const std::string& path);
// Creates an empty start file (and its folder); throws FileError.
void CreateStartFile();

}  // namespace sphaeron

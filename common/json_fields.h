#pragma once
// Pieces of the JSON forms of the documents. Reals are JSON strings holding
// their exact text (common/exact_text.h), raw bytes are hex strings. Reading
// is strict: a document that does not fit throws JsonFieldError whose text
// names the field and the problem, such as "groups[2].B: missing" or
// "dt: 'abc' is not a valid floating point value".
#include <cstddef>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "common/errors.h"

namespace common {

using Json = nlohmann::ordered_json;

class JsonFieldError : public AppError {
public:
    using AppError::AppError;
};

// Parses a whole text. Text that is not JSON, or an object with the same key
// twice, throws JsonFieldError ("not a JSON document: ..." or
// "document: '<key>' appears twice in one object"), like every field error
// in the form "<field>: <problem>".
Json ParseJsonDocument(const std::string& text);

// True when the text is syntactically one JSON value.
bool IsJsonSyntax(std::string_view text);

// The text of a document: one member of the top object per line, and one
// line per element of its arrays; ends with a line end.
std::string JsonDocumentText(const Json& document);

// Field names for messages: Member("groups[1]", "B") is "groups[1].B",
// Element("taons", 3) is "taons[3]".
std::string Member(const std::string& parent, std::string_view key);
std::string Element(const std::string& parent, std::size_t index);
[[noreturn]] void ThrowFieldError(const std::string& field, const std::string& problem);

// Checks that j is an object whose keys are all among `allowed`.
void ExpectObject(const Json& j, const std::string& field, std::initializer_list<std::string_view> allowed);
// Checks that j is an array, of `size` elements unless size is npos.
void ExpectArray(const Json& j, const std::string& field, std::size_t size = std::string::npos);

// The member `key` of the object `obj` (called `parent`); throws "missing".
const Json& Required(const Json& obj, const std::string& parent, const char* key);

// A real as its exact text, and back into its 10 bytes.
Json RealValue(const unsigned char* in10);
void ReadReal(const Json& obj, const std::string& parent, const char* key, unsigned char* out10);

// A whole number in [min, max].
long long ReadInteger(const Json& obj, const std::string& parent, const char* key, long long min, long long max);

// Bytes as hex text (two digits per byte, in file order), and back.
std::string HexText(const unsigned char* bytes, std::size_t n);
void ReadHex(const Json& obj, const std::string& parent, const char* key, unsigned char* out, std::size_t n);

// A string member that must equal `expected`.
void ExpectString(const Json& obj, const std::string& parent, const char* key, std::string_view expected);

}  // namespace common

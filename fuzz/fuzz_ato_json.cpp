// The JSON form of the .ato document: any record goes to JSON and back byte
// for byte, and any text either reads as a document (whose JSON form then
// reads back to the same record) or fails with a field-naming message.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/json_fields.h"
#include "sphaeron/document/ato_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sphaeron::TaonsDocument doc;  // the input's first record, zero-filled when short
    std::memcpy(doc.bytes.data(), data, size < doc.bytes.size() ? size : doc.bytes.size());
    if (sphaeron::AtoFromJson(sphaeron::AtoToJson(doc)).bytes != doc.bytes) std::abort();

    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        sphaeron::TaonsDocument read = sphaeron::AtoFromJson(text);
        if (sphaeron::AtoFromJson(sphaeron::AtoToJson(read)).bytes != read.bytes) std::abort();
    } catch (const common::JsonFieldError& e) {
        if (std::strchr(e.what(), ':') == nullptr) std::abort();
    }
    return 0;
}

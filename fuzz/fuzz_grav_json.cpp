// The JSON form of the .grav record: any 256 bytes go to JSON and back byte
// for byte, and any text either reads as a record (whose JSON form then
// reads back to the same record) or fails with a field-naming message.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/json_fields.h"
#include "duoplex/core/grav_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    duoplex::GravBytes record{};  // the input's first 256 bytes, zero-filled when short
    std::memcpy(record.data(), data, size < record.size() ? size : record.size());
    if (duoplex::GravFromJson(duoplex::GravToJson(record)) != record) std::abort();

    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        duoplex::GravBytes read = duoplex::GravFromJson(text);
        if (duoplex::GravFromJson(duoplex::GravToJson(read)) != read) std::abort();
    } catch (const common::JsonFieldError& e) {
        if (std::strchr(e.what(), ':') == nullptr) std::abort();
    }
    return 0;
}

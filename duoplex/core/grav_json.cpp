#include "duoplex/core/grav_json.h"

#include <strings.h>

#include <cstring>

#include "common/document_file.h"
#include "common/ext80.h"
#include "common/json_fields.h"

namespace duoplex {

namespace {

using common::Json;

const char* const kFieldKeys[kFieldCount] = {"A", "B", "C", "D", "X", "Y", "SpeedX", "SpeedY"};

}  // namespace

const char* const kGravFieldNames = "DT, A1 .. D3, X1 .. Y3, SpeedX1 .. SpeedY3";

std::size_t GravOffset(Field f, int k) {
    return (static_cast<std::size_t>(f) * kGravons + static_cast<std::size_t>(k - 1)) * common::kExtSize;
}

std::optional<std::size_t> GravFieldOffset(const std::string& name) {
    if (strcasecmp(name.c_str(), "DT") == 0) return kDTOffset;
    for (int f = 0; f < kFieldCount; ++f)
        for (int k = 1; k <= kGravons; ++k)
            if (strcasecmp(name.c_str(), (kFieldKeys[f] + std::to_string(k)).c_str()) == 0)
                return GravOffset(kAllFields[f], k);
    return std::nullopt;
}

std::string GravToJson(const GravBytes& record) {
    const unsigned char* bytes = record.data();
    Json j;
    j["format"] = kGravJsonFormat;
    j["DT"] = common::RealValue(bytes + kDTOffset);
    Json gravons = Json::array();
    for (int k = 1; k <= kGravons; ++k) {
        Json g;
        for (int f = 0; f < kFieldCount; ++f) g[kFieldKeys[f]] = common::RealValue(bytes + GravOffset(kAllFields[f], k));
        gravons.push_back(g);
    }
    j["gravons"] = gravons;
    j["unused"] = common::HexText(bytes + kUnusedOffset, kUnusedSize);
    return common::JsonDocumentText(j);
}

GravBytes GravFromJson(const std::string& text) {
    Json j = common::ParseJsonDocument(text);
    common::ExpectObject(j, "", {"format", "DT", "gravons", "unused"});
    common::ExpectString(j, "", "format", kGravJsonFormat);

    GravBytes record{};
    unsigned char* bytes = record.data();
    common::ReadReal(j, "", "DT", bytes + kDTOffset);
    const Json& gravons = common::Required(j, "", "gravons");
    common::ExpectArray(gravons, "gravons", kGravons);
    for (int k = 1; k <= kGravons; ++k) {
        std::string name = common::Element("gravons", static_cast<std::size_t>(k - 1));
        const Json& g = gravons[static_cast<std::size_t>(k - 1)];
        common::ExpectObject(g, name, {"A", "B", "C", "D", "X", "Y", "SpeedX", "SpeedY"});
        for (int f = 0; f < kFieldCount; ++f) common::ReadReal(g, name, kFieldKeys[f], bytes + GravOffset(kAllFields[f], k));
    }
    if (j.contains("unused")) common::ReadHex(j, "", "unused", bytes + kUnusedOffset, kUnusedSize);
    return record;
}

bool ReadAnyGrav(const std::string& path, GravBytes& record, bool anySize) {
    common::DocumentFile file = common::ReadDocumentFile(path, kGravRecordSize, ".grav", anySize);
    if (!file.json) {
        std::memcpy(record.data(), file.bytes.data(), kGravRecordSize);
        return false;
    }
    try {
        record = GravFromJson(file.bytes);
    } catch (const common::JsonFieldError& e) {
        throw common::JsonFieldError("'" + path + "': " + e.what());
    }
    return true;
}

}  // namespace duoplex

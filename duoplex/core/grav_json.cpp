#include "duoplex/core/grav_json.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstring>

#include "common/document_file.h"
#include "common/errors.h"
#include "common/ext80.h"
#include "common/fileio.h"
#include "common/json_fields.h"

namespace duoplex {

namespace {

using common::Json;

// Longest file the window reads whole to see whether it is the JSON form.
constexpr std::uint64_t kMaxJsonText = 64u << 20;

// The size of a regular file; none for anything else.
std::optional<std::uint64_t> RegularFileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

GravBytes FromJson(const std::string& path, const std::string& text) {
    try {
        return GravFromJson(text);
    } catch (const common::JsonFieldError& e) {
        throw common::JsonFieldError("'" + path + "': " + e.what());
    }
}

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
    j["dt"] = common::RealValue(bytes + kDTOffset);
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
    common::ExpectObject(j, "", {"format", "dt", "DT", "gravons", "unused"});
    common::ExpectString(j, "", "format", kGravJsonFormat);

    GravBytes record{};
    unsigned char* bytes = record.data();
    // "dt" as the other program spells it; "DT" as earlier files have it.
    if (j.contains("dt") && j.contains("DT")) common::ThrowFieldError("dt", "given twice, as dt and DT");
    common::ReadReal(j, "", j.contains("DT") ? "DT" : "dt", bytes + kDTOffset);
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

void LoadDocument(const std::string& path, PlanarState& s) {
    GravBytes bytes{};
    std::optional<std::uint64_t> size = RegularFileSize(path);
    if (size && *size <= kMaxJsonText) {
        std::string text = common::ReadWholeFile(path);
        if (common::LooksLikeJson(text, kGravRecordSize)) {
            bytes = FromJson(path, text);
        } else {
            if (text.size() < kGravRecordSize) throw common::FileError(common::kReadBeyondEndText, 0);
            std::memcpy(bytes.data(), text.data(), kGravRecordSize);
        }
    } else {
        common::ReadRecord(path, bytes.data(), bytes.size());
    }
    s.Snapshot = bytes;  // nothing changes before here
    TakeRecordValues(s, DecodeGravRecord(bytes));
}

std::optional<std::string> OpenQuestion(const std::string& path) {
    std::optional<std::uint64_t> size = RegularFileSize(path);
    if (!size || *size <= kGravRecordSize) return std::nullopt;
    if (*size <= kMaxJsonText) {
        try {
            if (common::LooksLikeJson(common::ReadWholeFile(path), kGravRecordSize)) return std::nullopt;
        } catch (const common::AppError&) {
            return std::nullopt;  // the read reports it
        }
    }
    return SizeQuestion(path, *size, "Open its first 256 bytes anyway?");
}

bool ReadAnyGrav(const std::string& path, GravBytes& record, bool anySize) {
    common::DocumentFile file = common::ReadDocumentFile(path, kGravRecordSize, ".grav", anySize);
    if (!file.json) {
        std::memcpy(record.data(), file.bytes.data(), kGravRecordSize);
        return false;
    }
    record = FromJson(path, file.bytes);
    return true;
}

}  // namespace duoplex

#include "sphaeron/document/ato_json.h"

#include <cstring>
#include <fstream>
#include <string_view>

#include "common/document_file.h"
#include "common/ext80.h"
#include "common/fileio.h"
#include "common/json_fields.h"

namespace sphaeron {

namespace {

using common::Json;

const char* const kGroupKeys[6] = {"A", "B", "C", "D", "F", "G"};
const char* const kSlotKeys[6] = {"x", "y", "z", "ux", "uy", "uz"};  // X, Y, Z, Ux, Uy, Uz
constexpr std::size_t kPadding1 = 190, kPadding1Size = 2;
constexpr std::size_t kPadding2 = 6292, kPadding2Size = 4;

std::size_t GroupOffset(int g, int p) { return kParamsOffset + static_cast<std::size_t>(1 + 6 * g + p) * common::kExtSize; }

std::size_t SlotOffset(int which, int k) {
    return kXOffset + static_cast<std::size_t>(which) * 1000 + static_cast<std::size_t>(k - 1) * common::kExtSize;
}

bool SlotIsBlank(const TaonsDocument& doc, int k) {
    if (doc.bytes[kPresentOffset + static_cast<std::size_t>(k - 1)] != 0) return false;
    for (int which = 0; which < 6; ++which)
        for (std::size_t b = 0; b < common::kExtSize; ++b)
            if (doc.bytes[SlotOffset(which, k) + b] != 0) return false;
    return true;
}

}  // namespace

std::string AtoToJson(const TaonsDocument& doc) {
    const unsigned char* bytes = doc.bytes.data();
    Json j;
    j["format"] = kAtoJsonFormat;
    j["dt"] = common::RealValue(bytes + kParamsOffset);
    Json groups = Json::array();
    for (int g = 0; g < 3; ++g) {
        Json group;
        for (int p = 0; p < 6; ++p) group[kGroupKeys[p]] = common::RealValue(bytes + GroupOffset(g, p));
        groups.push_back(group);
    }
    j["groups"] = groups;
    Json taons = Json::array();
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (SlotIsBlank(doc, k)) continue;
        Json taon;
        taon["slot"] = k;
        taon["present"] = bytes[kPresentOffset + static_cast<std::size_t>(k - 1)];
        for (int which = 0; which < 6; ++which) taon[kSlotKeys[which]] = common::RealValue(bytes + SlotOffset(which, k));
        taons.push_back(taon);
    }
    j["taons"] = taons;
    j["padding"] = {{"190", common::HexText(bytes + kPadding1, kPadding1Size)},
                    {"6292", common::HexText(bytes + kPadding2, kPadding2Size)}};
    return common::JsonDocumentText(j);
}

TaonsDocument AtoFromJson(const std::string& text) {
    Json j = common::ParseJsonDocument(text);
    common::ExpectObject(j, "", {"format", "dt", "DT", "groups", "taons", "padding"});
    common::ExpectString(j, "", "format", kAtoJsonFormat);

    TaonsDocument doc;
    unsigned char* bytes = doc.bytes.data();
    // "dt" as both programs write it; "DT" as the record names it.
    if (j.contains("DT") && j.contains("dt")) common::ThrowFieldError("dt", "given twice, as dt and as DT");
    common::ReadReal(j, "", j.contains("dt") ? "dt" : "DT", bytes + kParamsOffset);

    const Json& groups = common::Required(j, "", "groups");
    common::ExpectArray(groups, "groups", 3);
    for (int g = 0; g < 3; ++g) {
        std::string name = common::Element("groups", static_cast<std::size_t>(g));
        const Json& group = groups[static_cast<std::size_t>(g)];
        common::ExpectObject(group, name, {"A", "B", "C", "D", "F", "G"});
        for (int p = 0; p < 6; ++p) common::ReadReal(group, name, kGroupKeys[p], bytes + GroupOffset(g, p));
    }

    const Json& taons = common::Required(j, "", "taons");
    common::ExpectArray(taons, "taons");
    bool seen[kMaxTaons + 1] = {};
    for (std::size_t i = 0; i < taons.size(); ++i) {
        std::string name = common::Element("taons", i);
        const Json& taon = taons[i];
        common::ExpectObject(taon, name, {"slot", "present", "x", "y", "z", "ux", "uy", "uz"});
        int k = static_cast<int>(common::ReadInteger(taon, name, "slot", 1, kMaxTaons));
        if (seen[k]) common::ThrowFieldError(common::Member(name, "slot"), "slot " + std::to_string(k) + " is given twice");
        seen[k] = true;
        bytes[kPresentOffset + static_cast<std::size_t>(k - 1)] =
            static_cast<unsigned char>(common::ReadInteger(taon, name, "present", 0, 255));
        for (int which = 0; which < 6; ++which) common::ReadReal(taon, name, kSlotKeys[which], bytes + SlotOffset(which, k));
    }

    if (j.contains("padding")) {
        const Json& padding = j["padding"];
        common::ExpectObject(padding, "padding", {"190", "6292"});
        if (padding.contains("190")) common::ReadHex(padding, "padding", "190", bytes + kPadding1, kPadding1Size);
        if (padding.contains("6292")) common::ReadHex(padding, "padding", "6292", bytes + kPadding2, kPadding2Size);
    }
    return doc;
}

bool ReadAnyDocument(const std::string& path, TaonsDocument& doc, bool anySize) {
    common::DocumentFile file = common::ReadDocumentFile(path, kDocumentSize, ".ato", anySize);
    if (!file.json) {
        std::memcpy(doc.bytes.data(), file.bytes.data(), kDocumentSize);
        return false;
    }
    try {
        doc = AtoFromJson(file.bytes);
    } catch (const common::JsonFieldError& e) {
        throw common::JsonFieldError("'" + path + "': " + e.what());
    }
    return true;
}

bool IsJsonDocumentFile(const std::string& path) {
    // A JSON document starts with '{' after blanks; only then is it read whole.
    std::ifstream in(path, std::ios::binary);
    char head[4096];
    in.read(head, sizeof head);
    const std::string_view start(head, static_cast<std::size_t>(in.gcount()));
    const std::size_t from = start.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // a byte order mark
    const std::size_t brace = start.find_first_not_of(" \t\r\n", from);
    if (brace == std::string_view::npos || start[brace] != '{') return false;
    try {
        return common::LooksLikeJson(common::ReadWholeFile(path), kDocumentSize);
    } catch (const common::FileError&) {
        return false;
    }
}

bool ReadDocumentOrJson(const std::string& path, TaonsDocument& doc) {
    if (!IsJsonDocumentFile(path)) {
        ReadDocument(path, doc);
        return false;
    }
    try {
        doc = AtoFromJson(common::ReadWholeFile(path));
    } catch (const common::JsonFieldError& e) {
        throw common::JsonFieldError("'" + path + "': " + e.what());
    }
    return true;
}

}  // namespace sphaeron

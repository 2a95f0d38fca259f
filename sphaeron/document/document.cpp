#include "sphaeron/document/document.h"

#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/ext80.h"
#include "common/fileio.h"

namespace sphaeron {

const char* const kParameterNames[kParameterCount] = {"DT", "A1", "B1", "C1", "D1", "F1", "G1",
                                                      "A2", "B2", "C2", "D2", "F2", "G2",
                                                      "A3", "B3", "C3", "D3", "F3", "G3"};

long double* ParameterField(TaonState& s, int index) {
    long double* const fields[kParameterCount] = {&s.DT, &s.A1, &s.B1, &s.C1, &s.D1, &s.F1, &s.G1,
                                                  &s.A2, &s.B2, &s.C2, &s.D2, &s.F2, &s.G2,
                                                  &s.A3, &s.B3, &s.C3, &s.D3, &s.F3, &s.G3};
    return fields[index];
}

const long double* ParameterField(const TaonState& s, int index) {
    return ParameterField(const_cast<TaonState&>(s), index);
}

namespace {

long double* SlotArray(TaonState& s, int which) {
    long double* const arrays[6] = {s.X, s.Y, s.Z, s.Ux, s.Uy, s.Uz};
    return arrays[which];
}

std::size_t SlotOffset(int which, int k) {
    return kXOffset + static_cast<std::size_t>(which) * 1000 + static_cast<std::size_t>(k - 1) * common::kExtSize;
}

}  // namespace

void PackDocument(const TaonState& s, TaonsDocument& doc) {
    for (int p = 0; p < kParameterCount; ++p)
        common::EncodeExt(*ParameterField(s, p), &doc.bytes[kParamsOffset + static_cast<std::size_t>(p) * common::kExtSize]);
    for (int k = 1; k <= kMaxTaons; ++k) doc.bytes[kPresentOffset + static_cast<std::size_t>(k - 1)] = s.GravonPresent[k];
    TaonState& m = const_cast<TaonState&>(s);
    for (int k = 1; k <= kMaxTaons; ++k)
        for (int which = 0; which < 6; ++which) common::EncodeExt(SlotArray(m, which)[k], &doc.bytes[SlotOffset(which, k)]);
}

void WriteDocument(const std::string& path, const TaonsDocument& doc) {
    common::WriteFileAtomic(path, doc.bytes.data(), doc.bytes.size());
}

void ReadDocument(const std::string& path, TaonsDocument& doc) {
    TaonsDocument fresh;
    common::ReadRecord(path, fresh.bytes.data(), fresh.bytes.size());
    doc = fresh;
}

void DistributeDocument(const TaonsDocument& doc, TaonState& s) {
    for (int p = 0; p < kParameterCount; ++p)
        *ParameterField(s, p) = common::DecodeExt(&doc.bytes[kParamsOffset + static_cast<std::size_t>(p) * common::kExtSize]);
    for (int k = 1; k <= kMaxTaons; ++k) {
        s.GravonPresent[k] = doc.bytes[kPresentOffset + static_cast<std::size_t>(k - 1)];
        long double v[6];
        for (int which = 0; which < 6; ++which) v[which] = common::DecodeExt(&doc.bytes[SlotOffset(which, k)]);
        s.X[k] = s.ViewX[k] = s.NewX[k] = v[0];
        s.Y[k] = s.ViewY[k] = s.NewY[k] = v[1];
        s.Z[k] = s.ViewZ[k] = s.NewZ[k] = v[2];
        s.Ux[k] = s.NewUx[k] = v[3];
        s.Uy[k] = s.NewUy[k] = v[4];
        s.Uz[k] = s.NewUz[k] = v[5];
    }
}

void LoadDocument(const std::string& path, TaonsDocument& doc, TaonState& s) {
    ReadDocument(path, doc);
    DistributeDocument(doc, s);
}

std::string CommentaryName(const std::string& documentPath) {
    std::string base = documentPath.size() >= 4 ? documentPath.substr(0, documentPath.size() - 4) : documentPath;
    return base + ".txt";
}

std::string NormaliseLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> LoadCommentary(const std::string& documentPath) {
    std::string name = CommentaryName(documentPath);
    if (!common::CanOpenForRead(name)) return std::nullopt;
    try {
        return NormaliseLineBreaks(common::ReadWholeFile(name));
    } catch (const common::FileError&) {
        return std::nullopt;
    }
}

void SaveCommentary(const std::string& documentPath, const std::string& text) {
    common::WriteFileAtomic(CommentaryName(documentPath), text);
}

namespace {

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/Sphaeron";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/Sphaeron";
}

}  // namespace

std::string StartFilePath() { return ConfigFolder() + "/Start.-as-"; }

std::optional<std::string> ReadLastDocument() {
    std::string path = StartFilePath();
    if (!common::CanOpenForRead(path)) return std::nullopt;
    std::string text;
    try {
        text = common::ReadWholeFile(path);
    } catch (const common::FileError&) {
        return std::nullopt;
    }
    std::size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

void RememberLastDocument(const std::string& path) {
    common::MakeFolders(ConfigFolder());
    common::WriteFileAtomic(StartFilePath(), path);
}

void CreateStartFile() {
    common::MakeFolders(ConfigFolder());
    common::WriteFileAtomic(StartFilePath(), std::string());
}

}  // namespace sphaeron

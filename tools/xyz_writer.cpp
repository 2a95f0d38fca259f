#include "tools/xyz_writer.h"

#include <cerrno>
#include <cstdarg>

#include "common/fileio.h"

namespace sphaeron {

namespace {

const char* const kSymbols[4] = {"X", "H", "He", "Li"};

void Append(std::string& out, const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    out += buf;
}

}  // namespace

std::string XyzFrame(const TaonState& s, long long step) {
    int count = 0;
    for (int k = 1; k <= kMaxTaons; ++k)
        if (s.Present(k)) ++count;
    std::string out;
    Append(out, "%d\n", count);
    // No cell: the taons move in open space, and viewers that are given
    // none frame the taons themselves.
    Append(out, "Properties=species:S:1:pos:R:3:velo:R:3:id:I:1 pbc=\"F F F\" Time=%.21Lg step=%lld\n",
           static_cast<long double>(step) * s.DT, step);
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!s.Present(k)) continue;
        int g = SourceGroup(k, s.TaonCount, false);
        Append(out, "%s %.20Le %.20Le %.20Le %.20Le %.20Le %.20Le %d\n", kSymbols[g], s.X[k], s.Y[k], s.Z[k], s.Ux[k],
               s.Uy[k], s.Uz[k], k);
    }
    return out;
}

XyzWriter::~XyzWriter() {
    if (file_) std::fclose(file_);
}

void XyzWriter::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) common::ThrowFileError(errno);
    path_ = path;
}

void XyzWriter::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) std::remove(path_.c_str());
    path_.clear();
}

void XyzWriter::Frame(const TaonState& s, long long step) {
    std::string text = XyzFrame(s, step);
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) common::ThrowFileError(errno);
}

void XyzWriter::Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) common::ThrowFileError(errno);
}

}  // namespace sphaeron

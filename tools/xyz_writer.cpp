#include "tools/xyz_writer.h"

#include <cerrno>
#include <cmath>
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

std::string XyzFrame(const TaonState& s, long long step, const structure::StructureResult* analysis) {
    int count = 0;
    bool have[3] = {false, false, false};
    long double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    const long double* P[3] = {s.X, s.Y, s.Z};
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!s.Present(k)) continue;
        ++count;
        for (int a = 0; a < 3; ++a) {
            long double v = P[a][k];
            if (!std::isfinite(v)) continue;
            lo[a] = have[a] ? std::fmin(lo[a], v) : v;
            hi[a] = have[a] ? std::fmax(hi[a], v) : v;
            have[a] = true;
        }
    }
    // A box one unit larger than the frame on every side.
    long double origin[3], size[3];
    for (int a = 0; a < 3; ++a) {
        origin[a] = lo[a] - 1.0L;
        size[a] = (hi[a] - lo[a]) + 2.0L;
    }
    std::string out;
    Append(out, "%d\n", count);
    Append(out, "Lattice=\"%.10Lg 0 0 0 %.10Lg 0 0 0 %.10Lg\" Origin=\"%.10Lg %.10Lg %.10Lg\" ", size[0], size[1],
           size[2], origin[0], origin[1], origin[2]);
    Append(out, "Properties=species:S:1:pos:R:3:velo:R:3:id:I:1%s pbc=\"F F F\" Time=%.21Lg step=%lld\n",
           analysis ? ":coordination:I:1:q6:R:1:cluster:I:1" : "", static_cast<long double>(step) * s.DT, step);
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!s.Present(k)) continue;
        int g = SourceGroup(k, s.TaonCount, false);
        Append(out, "%s %.20Le %.20Le %.20Le %.20Le %.20Le %.20Le %d", kSymbols[g], s.X[k], s.Y[k], s.Z[k], s.Ux[k],
               s.Uy[k], s.Uz[k], k);
        if (analysis)
            Append(out, " %d %.17g %d", analysis->coordination[k], analysis->q[6][k], analysis->cluster[k] + 1);
        out += '\n';
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

void XyzWriter::Frame(const TaonState& s, long long step, const structure::StructureResult* analysis) {
    std::string text = XyzFrame(s, step, analysis);
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) common::ThrowFileError(errno);
}

void XyzWriter::Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) common::ThrowFileError(errno);
}

}  // namespace sphaeron

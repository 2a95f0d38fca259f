#include "tools/structure_log.h"

#include <locale.h>

#include <cerrno>

#include "common/fileio.h"

namespace sphaeron {

const char* const kStructureHeader = "step,clusters,largest,mean_coordination,mean_q4,mean_q6,rg";

std::string StructureRow(long long step, const structure::StructureSummary& s) {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    locale_t previous = uselocale(c);
    char buf[256];
    std::snprintf(buf, sizeof buf, "%lld,%d,%d,%.17g,%.17g,%.17g,%.17g\n", step, s.clusters, s.largest,
                  s.mean_coordination, s.mean_q4, s.mean_q6, s.rg);
    uselocale(previous);
    return buf;
}

StructureLog::StructureLog() : result_(std::make_unique<structure::StructureResult>()) {}

StructureLog::~StructureLog() {
    if (file_) std::fclose(file_);
}

void StructureLog::Open(const std::string& path, const structure::StructureOptions& options, long long every,
                        const TaonState& s, long long step) {
    options_ = options;
    every_ = every;
    analysed_ = -1;
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) common::ThrowFileError(errno);
    if (std::fprintf(file_, "%s\n", kStructureHeader) < 0) common::ThrowFileError(errno);
    WriteRow(s, step);  // the start, whatever its step
}

const structure::StructureResult* StructureLog::Analysis(const TaonState& s, long long step) {
    if (!file_) return nullptr;
    if (analysed_ != step) {
        structure::AnalyseStructure(s, options_, *result_);
        analysed_ = step;
    }
    return result_.get();
}

void StructureLog::Committed(const TaonState& s, long long step) {
    if (file_ && step % every_ == 0) WriteRow(s, step);
}

void StructureLog::WriteRow(const TaonState& s, long long step) {
    std::string row = StructureRow(step, Analysis(s, step)->summary);
    if (std::fwrite(row.data(), 1, row.size(), file_) != row.size()) common::ThrowFileError(errno);
}

void StructureLog::Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (f && std::fclose(f) != 0) common::ThrowFileError(errno);
}

}  // namespace sphaeron

#pragma once
// The structure log of a run: a CSV file with the header
// "step,clusters,largest,mean_coordination,mean_q4,mean_q6,rg" and one row
// per analysed step (the reals with 17 significant digits, C locale; "nan"
// where a mean has nothing to average). It also hands the analysis of the
// state of a step to the XYZ trajectory, which adds the per-taon columns
// coordination, q6 and cluster to its frames.
#include <cstdio>
#include <memory>
#include <string>

#include "sphaeron/structure/structure.h"

namespace sphaeron {

extern const char* const kStructureHeader;  // without the line end

std::string StructureRow(long long step, const structure::StructureSummary& s);  // with the line end

class StructureLog {
public:
    StructureLog();
    ~StructureLog();
    StructureLog(const StructureLog&) = delete;
    StructureLog& operator=(const StructureLog&) = delete;

    // Writes the header and the row of the state of `step`; throws FileError.
    void Open(const std::string& path, const structure::StructureOptions& options, long long every,
              const TaonState& s, long long step);
    bool IsOpen() const { return file_ != nullptr; }
    // After the state of `step` is committed: its row when step is a
    // multiple of `every`. Throws FileError.
    void Committed(const TaonState& s, long long step);
    // The analysis of the state of `step` (formed once per step), or null
    // while the log is not open.
    const structure::StructureResult* Analysis(const TaonState& s, long long step);
    void Close();  // throws FileError

private:
    void WriteRow(const TaonState& s, long long step);

    std::FILE* file_ = nullptr;
    structure::StructureOptions options_;
    long long every_ = 1;
    long long analysed_ = -1;
    std::unique_ptr<structure::StructureResult> result_;
};

}  // namespace sphaeron

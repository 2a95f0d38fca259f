#pragma once
// The measurement log of a run: a CSV file with the header
// "step,time,ke,pe,e,px,py,pz,ke1,ke2,ke3" and one row per logged step,
// time = step * DT, every real in "%.20Le" form (21 significant digits,
// C locale); observables that could not be formed are "nan".
#include <cstdio>
#include <string>

#include "sphaeron/core/observables.h"

namespace sphaeron {

extern const char* const kLogHeader;  // without the line end

std::string LogRow(long long step, long double dt, const Observables& o);  // with the line end

class ObservablesLog {
public:
    ObservablesLog() = default;
    ~ObservablesLog();
    ObservablesLog(const ObservablesLog&) = delete;
    ObservablesLog& operator=(const ObservablesLog&) = delete;

    void Open(const std::string& path);  // writes the header; throws FileError
    bool IsOpen() const { return file_ != nullptr; }
    void Row(long long step, long double dt, const Observables& o);  // throws FileError
    void Close();                                                     // throws FileError

private:
    std::FILE* file_ = nullptr;
};

}  // namespace sphaeron

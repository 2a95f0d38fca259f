#include "tools/observables_log.h"

#include <locale.h>

#include <cerrno>

#include "common/fileio.h"

namespace sphaeron {

const char* const kLogHeader = "step,time,ke,pe,e,px,py,pz,ke1,ke2,ke3";

std::string LogRow(long long step, long double dt, const Observables& o) {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    locale_t previous = uselocale(c);
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "%lld,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le\n", step,
                  static_cast<long double>(step) * dt, o.ke, o.pe, o.e, o.px, o.py, o.pz, o.ke1, o.ke2, o.ke3);
    uselocale(previous);
    return buf;
}

ObservablesLog::~ObservablesLog() {
    if (file_) std::fclose(file_);
}

void ObservablesLog::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) common::ThrowFileError(errno);
    if (std::fprintf(file_, "%s\n", kLogHeader) < 0) common::ThrowFileError(errno);
}

void ObservablesLog::Row(long long step, long double dt, const Observables& o) {
    std::string row = LogRow(step, dt, o);
    if (std::fwrite(row.data(), 1, row.size(), file_) != row.size()) common::ThrowFileError(errno);
}

void ObservablesLog::Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) common::ThrowFileError(errno);
}

}  // namespace sphaeron

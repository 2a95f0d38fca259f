#pragma once
// duoplex-run: advances a planar configuration by a number of steps without
// a window and writes the resulting state as a `.grav` record.
#include <ostream>
#include <string>
#include <vector>

namespace duoplex {

extern const char* const kRunToolUsage;
extern const char* const kRunToolVersion;  // "duoplex-run <version>\n"

// Runs the tool on its arguments (without the program name). `--help` prints
// the usage and `--version` the version to `out`. Returns the exit code: 0
// done, 2 bad arguments or files (nothing written), 3 a
// floating-point fault in a step (OUT then holds the state committed at the
// fault).
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace duoplex

#pragma once
// The command line of a window program: `program [FILE]`, and --help and
// --version, which print and end the program before any window.
#include <optional>
#include <string>

namespace common {

struct WindowCommandLine {
    const char* program;      // "sphaeron"
    const char* description;  // the first line of --help
    const char* version;      // printed after the program's name
};

// Before the application object exists: --help or --version print on
// standard output and exit 0. Everything else is left for later, as the
// toolkit's own options (-platform ...) are still among the arguments.
void HandleHelpAndVersion(int argc, char** argv, const WindowCommandLine& line);

// After the application object has taken its own options: the document to
// open, if one is named. Anything else prints one line and a hint to --help
// on standard error and exits 2.
std::optional<std::string> DocumentArgument(int argc, char** argv, const WindowCommandLine& line);

}  // namespace common

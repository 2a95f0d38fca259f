#pragma once
// The command line of a window program: `program [FILE]`, and --help and
// --version, which print and end the program before any window.
#include <cstddef>
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

// What the command line asks of the window.
struct WindowArguments {
    std::optional<std::string> document;  // to open as File > Open would
    std::size_t timelineBytes = 0;        // --timeline-memory, in bytes
};

// After the application object has taken its own options: the document to
// open, if one is named, and the memory for the timeline of runs (256 MiB
// unless --timeline-memory says otherwise). Anything else prints one line
// and a hint to --help on standard error and exits 2.
WindowArguments ReadWindowArguments(int argc, char** argv, const WindowCommandLine& line);

}  // namespace common

#pragma once
// The command line of the window program: `duoplex [FILE.grav]`, and
// --help and --version, which print and end the program before any window.
#include <optional>
#include <string>

namespace duoplex::forms {

// Before the application object exists: --help or --version print on
// standard output and exit 0. Everything else is left for later, as the
// toolkit's own options (-platform ...) are still among the arguments.
void HandleHelpAndVersion(int argc, char** argv);

// After the application object has taken its own options: the document to
// open, if one is named. Anything else prints one line and a hint to --help
// on standard error and exits 2.
std::optional<std::string> DocumentArgument(int argc, char** argv);

}  // namespace duoplex::forms

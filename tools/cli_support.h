#pragma once
// Command-line pieces shared by the headless tools, on CLI11.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace tools {

// The help layout and option rules both tools share: the footer (exit codes
// and the like) below the options, one column width, and the last of a
// repeated option counts.
void SetUpApp(CLI::App& app, const std::string& footer);

// Parses the command line of `app` (whose name is the program's). --help
// prints the help and --version "<name> <version>" on stdout, exit 0. A bad
// command line prints one line "<name>: <problem>" and a hint to --help on
// stderr and exits with 2. Arguments that name no option come back: the
// caller decides about them (UnknownOption, TooManyInputs).
std::vector<std::string> ParseCommandLine(CLI::App& app, const std::string& version, int argc, char** argv);

// ParseCommandLine for a tool with one input document and repeated
// --set NAME=VALUE texts: each text goes to `takeSet` (which throws
// CLI::ValidationError for a bad one); a left-over option or a second
// document is a bad command line.
void ParseDocumentCommandLine(CLI::App& app, const std::string& version, int argc, char** argv,
                              const std::string& input, const std::vector<std::string>& setTexts,
                              const std::function<void(const std::string&)>& takeSet);

// Prints "<name>: <message>" and the hint to --help on stderr, exits 2.
[[noreturn]] void BadCommandLine(const std::string& program, const std::string& message);

// Value checks for options; they throw CLI::ValidationError with the whole
// message, such as "--steps needs a whole number of at least 0, not 'x'".
long long WholeNumber(const std::string& option, const std::string& text, long long min, long long max);
long double Real(const std::string& option, const std::string& text);  // C-locale decimal
std::vector<long double> Reals(const std::string& option, const std::string& text, std::size_t n);  // "a,b,c"

}  // namespace tools

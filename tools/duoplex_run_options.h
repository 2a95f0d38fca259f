#pragma once
// The command line of duoplex-run.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "duoplex/core/settings.h"

namespace duoplex {

struct RunOptions {
    std::string in, out;
    bool anySize = false;
    std::optional<FunctionChoice> config, function;
    bool three = false;
    int brake = 1;
    long long steps = -1;
    std::optional<long double> dt;
    // --set NAME=VALUE: the value's offset in the record and its text (a
    // C-locale decimal or the exact "0x" form).
    std::vector<std::pair<std::size_t, std::string>> sets;
};

// Parses the command line; --help and --version print and exit 0, a bad
// command line prints one line and a hint to --help and exits 2.
RunOptions ParseRunOptions(int argc, char** argv);

// A function by its control name ("F_PES_Swi") or by the window's caption,
// whole or without "Functions " ("PES - Swifter", "PE1"), in any case and
// with any spacing ("PE_PES" for "PE_ PES"); the start of a caption will do
// where only one caption starts so.
// Throws CLI::ValidationError naming the choices.
FunctionChoice FunctionFromText(const std::string& option, std::string_view text);

}  // namespace duoplex

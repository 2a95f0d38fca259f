#include "tools/duoplex_run_options.h"

#include <cctype>
#include <climits>
#include <cstdint>

#include "common/errors.h"
#include "common/exact_text.h"
#include "common/version.h"
#include "duoplex/core/grav_json.h"
#include "tools/cli_support.h"

namespace duoplex {

namespace {

const char* const kProgram = "duoplex-run";

const char* const kDescription =
    "Runs N steps of the gravons without a window, from the document IN (a .grav\n"
    "record or its JSON form) or from the start configuration of a function (the\n"
    "window's \"Refresh\").\n"
    "\n"
    "  duoplex-run (IN | --config NAME [--three]) --steps N [--out OUT]\n"
    "              [--set NAME=VALUE ...] [--function NAME] [--brake 1..5] [--dt X]\n";

const char* const kFooter =
    "NAME of a function: F_PE, F_PES, GravoNew (with IN), F_PE1, F_PE2, F_PES_Swi,\n"
    "F_PE_PES, or the window's caption (PE, PES, PE1, PE2, PES - Swifter, PE_ PES).\n"
    "--set NAME: DT, A1 .. D3, X1 .. Y3, SpeedX1 .. SpeedY3 (the record's fields).\n"
    "OUT ending in .json gets the JSON form, any other name the .grav record.\n"
    "\n"
    "Exit codes: 0 done; 2 bad arguments or files (nothing written); 3 an arithmetic\n"
    "fault (\"step K: <message>\" on stderr; OUT holds the state committed at it).";

// Lower case, runs of blanks as one, none at the ends.
std::string Normalised(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string ShortCaption(FunctionChoice f) {
    std::string caption = Normalised(FunctionCaption(f));
    const std::string prefix = "functions ";
    return caption.rfind(prefix, 0) == 0 ? caption.substr(prefix.size()) : caption;
}

// Lower case without any blanks: "PE_PES" and "PE_ PES" alike.
std::string Compact(std::string_view text) {
    std::string out;
    for (char c : Normalised(text))
        if (c != ' ') out += c;
    return out;
}

// "NAME=VALUE" into the value's offset; the value must read.
std::pair<std::size_t, std::string> ParseSet(const std::string& text) {
    std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw CLI::ValidationError("--set needs NAME=VALUE, not '" + text + "'");
    std::string name = text.substr(0, eq), value = text.substr(eq + 1);
    std::optional<std::size_t> offset = GravFieldOffset(name);
    if (!offset) throw CLI::ValidationError("--set: unknown value '" + name + "' (" + kGravFieldNames + ")");
    try {
        common::ParseExactText(value);
    } catch (const common::ConvertError& e) {
        throw CLI::ValidationError("--set " + text + ": " + e.what());
    }
    return {*offset, value};
}

}  // namespace

FunctionChoice FunctionFromText(const std::string& option, std::string_view text) {
    if (auto f = FunctionFromName(text)) return *f;
    const std::string wanted = Compact(text);
    std::vector<FunctionChoice> starts;
    for (FunctionChoice f : kAllFunctions) {
        if (wanted == Compact(FunctionName(f)) || wanted == Compact(FunctionCaption(f)) ||
            wanted == Compact(ShortCaption(f)))
            return f;
        if (!wanted.empty() && Compact(ShortCaption(f)).rfind(wanted, 0) == 0) starts.push_back(f);
    }
    if (starts.size() == 1) return starts.front();
    std::string names;
    for (FunctionChoice f : starts.empty() ? std::vector<FunctionChoice>(std::begin(kAllFunctions), std::end(kAllFunctions))
                                           : starts)
        names += std::string(names.empty() ? "" : ", ") + FunctionName(f);
    if (starts.empty()) throw CLI::ValidationError(option + ": unknown function '" + std::string(text) + "' (" + names + ")");
    throw CLI::ValidationError(option + ": '" + std::string(text) + "' could be any of " + names);
}

RunOptions ParseRunOptions(int argc, char** argv) {
    RunOptions o;
    CLI::App app(kDescription, kProgram);
    tools::SetUpApp(app, kFooter);
    auto value = [&](const char* name, const char* type, const char* text, auto set) {
        return app.add_option_function<std::string>(name, set, text)->type_name(type);
    };

    app.add_option("IN", o.in, "the document to start from")->type_name("");
    value("--steps", "N", "steps to run",
          [&](const std::string& t) { o.steps = tools::WholeNumber("--steps", t, 0, INT32_MAX); });
    app.add_option("--out", o.out, "write the state after the run as a document")->type_name("OUT");
    app.add_flag("--any-size", o.anySize, "read the first 256 bytes of any file, as the window does");
    value("--config", "NAME", "start from that function's configuration and time step",
          [&](const std::string& t) { o.config = FunctionFromText("--config", t); });
    app.add_flag("--three", o.three, "the three-gravon configuration, without the two-gravon pass");
    value("--function", "NAME", "force function (the configuration's, or F_PE for a document)",
          [&](const std::string& t) { o.function = FunctionFromText("--function", t); });
    value("--brake", "1..5",
          "hand-brake, the window's Brake-0% .. Brake-10%: 1 none (0 %, the default), 2 0.01 %, "
          "3 0.1 %, 4 1 %, 5 10 %",
          [&](const std::string& t) { o.brake = static_cast<int>(tools::WholeNumber("--brake", t, 1, kBrakeCount)); });
    value("--dt", "X", "time step instead of the document's or configuration's",
          [&](const std::string& t) { o.dt = tools::Real("--dt", t); });
    std::vector<std::string> sets;
    app.add_option("--set", sets, "set a value of the record (DT, A1, X2, SpeedY3, ...) before the first step")
        ->type_name("NAME=VALUE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->expected(1)
        ->allow_extra_args(false);

    tools::ParseDocumentCommandLine(app, common::kVersion, argc, argv, o.in, sets,
                                    [&](const std::string& text) { o.sets.push_back(ParseSet(text)); });
    for (const auto& s : o.sets)
        if (s.first == kDTOffset && o.dt) tools::BadCommandLine(kProgram, "--dt and --set DT both give the time step");

    bool gravoNew = o.config == FunctionChoice::GravoNew;
    if (o.in.empty() && !o.config) tools::BadCommandLine(kProgram, "give an input document IN or --config NAME");
    if (!o.in.empty() && o.config && !gravoNew)
        tools::BadCommandLine(kProgram, "give either an input document or --config " +
                                            std::string(FunctionName(*o.config)) + ", not both");
    if (o.in.empty() && gravoNew)
        tools::BadCommandLine(kProgram, "--config GravoNew takes the gravons from a document: give IN");
    if (o.steps < 0) tools::BadCommandLine(kProgram, "--steps N is required");
    return o;
}

}  // namespace duoplex

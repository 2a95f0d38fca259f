#include "tools/cli_support.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/errors.h"
#include "common/numtext.h"

namespace tools {

namespace {

// CLI11's own messages in the tools' words.
std::string Reworded(const CLI::ParseError& e) {
    std::string text = e.what();
    std::size_t colon = text.find(':');
    std::string option = colon == std::string::npos ? text : text.substr(0, colon);
    if (e.get_name() == "ArgumentMismatch") {
        if (text.find("missing") != std::string::npos) return option + " needs a value";
        return option + " takes no value";
    }
    if (e.get_name() == "ExtrasError") {
        std::size_t at = text.find(": ");
        return "unexpected '" + (at == std::string::npos ? text : text.substr(at + 2)) + "'";
    }
    return text;
}

}  // namespace

void BadCommandLine(const std::string& program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", program.c_str(), message.c_str(), program.c_str());
    std::exit(2);
}

std::vector<std::string> ParseCommandLine(CLI::App& app, const std::string& version, int argc, char** argv) {
    app.allow_extras();
    app.set_version_flag("--version", app.get_name() + " " + version, "Print the version and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        std::exit(0);
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        std::exit(0);
    } catch (const CLI::ParseError& e) {
        BadCommandLine(app.get_name(), Reworded(e));
    }
    return app.remaining();
}

long long WholeNumber(const std::string& option, const std::string& text, long long min, long long max) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < min)
        throw CLI::ValidationError(option + " needs a whole number of at least " + std::to_string(min) + ", not '" + text + "'");
    if (v > max) throw CLI::ValidationError(option + " must be at most " + std::to_string(max));
    return v;
}

long double Real(const std::string& option, const std::string& text) {
    try {
        return common::ParseReal(text, '.');
    } catch (const common::ConvertError& e) {
        throw CLI::ValidationError(option + ": " + e.what());
    }
}

std::vector<long double> Reals(const std::string& option, const std::string& text, std::size_t n) {
    std::vector<long double> values;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        values.push_back(Real(option, text.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() != n)
        throw CLI::ValidationError(option + " needs " + std::to_string(n) + " numbers separated by commas, not '" + text + "'");
    return values;
}

void ParseDocumentCommandLine(CLI::App& app, const std::string& version, int argc, char** argv,
                              const std::string& input, const std::vector<std::string>& setTexts,
                              const std::function<void(const std::string&)>& takeSet) {
    const std::string program = app.get_name();
    std::vector<std::string> extra = ParseCommandLine(app, version, argc, argv);
    try {
        for (const std::string& s : setTexts) takeSet(s);
    } catch (const CLI::ValidationError& e) {
        BadCommandLine(program, e.what());
    }
    for (const std::string& a : extra)
        if (!a.empty() && a[0] == '-') BadCommandLine(program, "unknown option '" + a + "'");
    if (!extra.empty()) BadCommandLine(program, "more than one input document ('" + input + "', '" + extra[0] + "')");
}

void SetUpApp(CLI::App& app, const std::string& footer) {
    app.footer(footer);
    app.get_formatter()->column_width(26);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

}  // namespace tools

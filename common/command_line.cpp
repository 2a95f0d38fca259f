#include "common/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>

#include "common/timeline.h"

namespace common {

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

struct Parser {
    CLI::App app;
    std::string file;
    std::size_t timelineMiB = common::Timeline::kDefaultBudget / kMiB;

    explicit Parser(const WindowCommandLine& line) : app(line.description, line.program) {
        app.add_option("FILE", file, "the document to open")->type_name("");
        app.add_option("--timeline-memory", timelineMiB,
                       "memory for going back in a run, in MiB, 0 to 65536 (256 by default; 0: no timeline)")
            ->type_name("MIB")
            ->check(CLI::Range(std::size_t{0}, std::size_t{65536}).description(""));
        app.set_version_flag("--version", std::string(line.program) + " " + line.version, "Print the version and exit");
    }
};

[[noreturn]] void Bad(const WindowCommandLine& line, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", line.program, message.c_str(), line.program);
    std::exit(2);
}

}  // namespace

void HandleHelpAndVersion(int argc, char** argv, const WindowCommandLine& line) {
    Parser p(line);
    p.app.allow_extras();
    try {
        p.app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(p.app.help().c_str(), stdout);
        std::exit(0);
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        std::exit(0);
    } catch (const CLI::ParseError&) {
        // Reported by ReadWindowArguments once the toolkit has taken its options.
    }
}

WindowArguments ReadWindowArguments(int argc, char** argv, const WindowCommandLine& line) {
    Parser p(line);
    try {
        p.app.parse(argc, argv);
    } catch (const CLI::ExtrasError& e) {
        std::string text = e.what();
        std::size_t at = text.find(": ");
        Bad(line, "unexpected '" + (at == std::string::npos ? text : text.substr(at + 2)) + "'");
    } catch (const CLI::ParseError& e) {
        Bad(line, e.what());
    }
    WindowArguments args;
    if (p.app.count("FILE") != 0) args.document = p.file;
    args.timelineBytes = p.timelineMiB * kMiB;
    return args;
}

}  // namespace common

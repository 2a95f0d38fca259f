#include "duoplex/forms/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>

#include "common/version.h"

namespace duoplex::forms {

namespace {

const char* const kProgram = "duoplex";

struct Parser {
    CLI::App app{"The planar gravon simulator. Opens FILE (a .grav document) as File > Open would.", kProgram};
    std::string file;

    Parser() {
        app.add_option("FILE", file, "the document to open")->type_name("");
        app.set_version_flag("--version", std::string(kProgram) + " " + common::kVersion, "Print the version and exit");
    }
};

[[noreturn]] void Bad(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", kProgram, message.c_str(), kProgram);
    std::exit(2);
}

}  // namespace

void HandleHelpAndVersion(int argc, char** argv) {
    Parser p;
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
        // Reported by DocumentArgument once the toolkit has taken its options.
    }
}

std::optional<std::string> DocumentArgument(int argc, char** argv) {
    Parser p;
    try {
        p.app.parse(argc, argv);
    } catch (const CLI::ExtrasError& e) {
        std::string text = e.what();
        std::size_t at = text.find(": ");
        Bad("unexpected '" + (at == std::string::npos ? text : text.substr(at + 2)) + "'");
    } catch (const CLI::ParseError& e) {
        Bad(e.what());
    }
    if (p.app.count("FILE") == 0) return std::nullopt;
    return p.file;
}

}  // namespace duoplex::forms

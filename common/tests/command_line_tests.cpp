// The window programs' command line: the document and the timeline memory.
#include <gtest/gtest.h>

#include <vector>

#include "common/command_line.h"

namespace common {
namespace {

TEST(WindowCommandLine, DocumentAndTimelineMemory) {
    const WindowCommandLine line{"sphaeron", "test", "0"};
    const struct {
        std::vector<const char*> args;
        std::optional<std::string> document;
        std::size_t bytes;
    } cases[] = {
        {{}, std::nullopt, std::size_t{256} << 20},
        {{"ring.ato"}, "ring.ato", std::size_t{256} << 20},
        {{"--timeline-memory", "0", "ring.ato"}, "ring.ato", 0},
        {{"--timeline-memory=1"}, std::nullopt, std::size_t{1} << 20},
        {{"ring.ato", "--timeline-memory", "65536"}, "ring.ato", std::size_t{65536} << 20},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("sphaeron")};
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        const WindowArguments got = ReadWindowArguments(static_cast<int>(argv.size()), argv.data(), line);
        EXPECT_EQ(c.document, got.document) << argv.size();
        EXPECT_EQ(c.bytes, got.timelineBytes) << argv.size();
    }
    // Anything else ends the program with one line and a hint.
    for (const char* bad : {"-1", "65537", "x"}) {
        char* argv[] = {const_cast<char*>("sphaeron"), const_cast<char*>("--timeline-memory"), const_cast<char*>(bad)};
        EXPECT_EXIT(ReadWindowArguments(3, argv, line), ::testing::ExitedWithCode(2),
                    "sphaeron: --timeline-memory: Value .* not in range 0 to 65536\nRun 'sphaeron --help' for the options.")
            << bad;
    }
}

}  // namespace
}  // namespace common

// The runs folder both windows autosave into: K from the pace of a step,
// the bound of the folder, and the markers an unclean end leaves.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/run_autosave.h"
#include "tests/support/temp_dir.h"

namespace common {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

const RunArchiveKind kToy{"Toy", 24};

TEST(AutosaveEvery, KeepsTheDiskBelowAQuarterMebibyteASecond) {
    // 256 KiB/s is 949.8 frames of 276 bytes a second, 41.5 of 6316.
    const struct {
        double secondsPerStep;
        std::size_t frameSize;
        std::int64_t every;
    } cases[] = {
        {1.0, 276, 1}, {1e-3, 276, 2}, {1e-6, 276, 1053}, {0.0, 276, 1052857}, {6.3e-3, 6316, 4}, {1e-4, 6316, 241},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.every, AutosaveEvery(c.secondsPerStep, c.frameSize)) << c.secondsPerStep << " " << c.frameSize;
}

// An archive of `frames` frames made by the folder for `document`, written
// `age` seconds ago.
std::string MakeRun(AutosaveFolder& folder, const std::string& document, int frames, int age) {
    RunArchiveWriter w = folder.NewArchive(document);
    const std::vector<unsigned char> record(kToy.recordSize, 7);
    for (int i = 0; i < frames; ++i) w.Add(i, SwitchBytes{}, record.data());
    w.Close();
    fs::last_write_time(w.Path(), fs::file_time_type::clock::now() - std::chrono::seconds(age));
    return w.Path();
}

TEST(AutosaveFolder, TheOldestRunsGoFirstAndTheLastStays) {
    TempDir dir("autosave");
    const std::uint64_t frame = kToy.FrameSize(), header = kRunHeaderSize;
    // Room for two archives of 10 frames.
    AutosaveFolder folder(dir.Path("runs"), kToy, "toyrun", 2 * (header + 10 * frame));
    const std::string oldest = MakeRun(folder, "a.toy", 10, 300);
    const std::string older = MakeRun(folder, "b.toy", 10, 200);
    const std::string newer = MakeRun(folder, "c.toy", 10, 100);
    EXPECT_EQ((std::vector<std::string>{newer, older, oldest}), folder.Recent());
    EXPECT_EQ("c", fs::path(newer).filename().string().substr(0, 1));
    folder.Trim();
    EXPECT_EQ((std::vector<std::string>{newer, older}), folder.Recent());
    // The last run stays even where it alone is over the bound.
    const std::string big = MakeRun(folder, "d.toy", 30, 0);
    folder.Trim();
    EXPECT_EQ((std::vector<std::string>{big}), folder.Recent());
}

long GoneProcess() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

TEST(AutosaveFolder, MarkersOfProcessesThatAreGone) {
    TempDir dir("autosave");
    const std::string runs = dir.Path("runs");
    std::string withFrames, empty;
    {
        AutosaveFolder earlier(runs, kToy, "toyrun");
        empty = MakeRun(earlier, "", 0, 0);
        withFrames = MakeRun(earlier, "doc.toy", 3, 0);
    }
    EXPECT_EQ("run-", fs::path(empty).filename().string().substr(0, 4));
    const auto marker = [&](long pid, const std::string& run, const std::string& document) {
        const std::string path = runs + "/session-" + std::to_string(pid) + ".marker";
        std::ofstream(path) << run << '\n' << document << '\n';
        return path;
    };
    AutosaveFolder folder(runs, kToy, "toyrun");
    // A process that is alive (the first one always is), and one gone
    // without a state to restore: neither is offered, the second goes.
    const std::string alive = marker(1, withFrames, "doc.toy");
    const std::string gone = marker(GoneProcess(), empty, "");
    EXPECT_FALSE(folder.FindUncleanEnd());
    EXPECT_TRUE(fs::exists(alive));
    EXPECT_FALSE(fs::exists(gone));
    // One gone with a state.
    const std::string found = marker(GoneProcess(), withFrames, "doc.toy");
    const std::optional<UncleanEnd> end = folder.FindUncleanEnd();
    ASSERT_TRUE(end);
    EXPECT_EQ(found, end->marker);
    EXPECT_EQ(withFrames, end->run);
    EXPECT_EQ("doc.toy", end->document);
    EXPECT_EQ(2, end->step);
}

}  // namespace
}  // namespace common

// sphaeron-run with run archives: runs killed at any moment and resumed end
// exactly where an uninterrupted run ends, on any number of threads; an
// archive gives any of its steps; verification catches a forged frame.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/fileio.h"
#include "common/run_archive.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "tests/support/temp_dir.h"

namespace sphaeron {
namespace {

const common::RunArchiveKind kKind{"Sphaeron", 6296};

std::string Lattice() {
    const char* e = std::getenv("SPHAERON_EXAMPLES");
    return std::string(e ? e : SPHAERON_EXAMPLES_DEFAULT) + "/lattice100.ato";
}

// Runs the tool with the arguments (a shell command line) in the folder;
// returns the exit code, and its standard output in *out.
int RunIn(const std::string& dir, const std::string& args, std::string* out = nullptr) {
    std::string cmd = "cd '" + dir + "' && " SPHAERON_RUN_PATH " " + args + " 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string text;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    int status = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the tool and kills it with SIGKILL after `after`.
void RunAndKill(const std::string& dir, const std::string& args, std::chrono::microseconds after) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string cmd = "cd '" + dir + "' && exec " SPHAERON_RUN_PATH " " + args + " >/dev/null 2>&1";
        ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(after);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

TEST(RunArchiveToolTest, KilledRunsResumeToTheUninterruptedState) {
    testsupport::TempDir dir("sphaeron-archive");
    const int steps = 40;
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(0, RunIn(dir.Path(), Lattice() + " --steps " + std::to_string(steps) + " --out direct.ato"));
    auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    const std::string direct = common::ReadWholeFile(dir.Path("direct.ato"));

    int moment = 0;
    for (int threads : {1, 2, 4}) {
        for (double fraction : {0.15, 0.5, 0.85}) {
            SCOPED_TRACE("threads " + std::to_string(threads) + ", killed at " + std::to_string(fraction));
            std::string run = "k" + std::to_string(moment++) + ".atorun";
            RunAndKill(dir.Path(), Lattice() + " --steps " + std::to_string(steps) + " --archive " + run +
                                       " --archive-every 3 --sync-every 0 --threads " + std::to_string(threads),
                       std::chrono::microseconds(static_cast<long long>(whole.count() * fraction)));
            if (!std::filesystem::exists(dir.Path(run))) continue;  // killed before the archive was made
            common::RunArchive killed(dir.Path(run), kKind);
            if (killed.Count() == 0) continue;
            ASSERT_EQ(0, RunIn(dir.Path(), "--resume " + run + " --steps " + std::to_string(steps) + " --threads " +
                                             std::to_string(threads) + " --out resumed.ato"));
            EXPECT_EQ(common::ReadWholeFile(dir.Path("resumed.ato")), direct);
            EXPECT_EQ(0, RunIn(dir.Path(), "--verify " + run + " --threads " + std::to_string(threads)));
        }
    }
}

// The rows of a CSV file by the step in their first column.
std::map<long long, std::string> RowsByStep(const std::string& path) {
    std::map<long long, std::string> rows;
    std::istringstream lines(common::ReadWholeFile(path));
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) rows[std::stoll(line)] = line;
    return rows;
}

TEST(RunArchiveToolTest, AResumedRunsLogsGoOnWithTheStepsOfTheUninterruptedRun) {
    testsupport::TempDir dir("sphaeron-archive");
    const std::string logs = " --log l.csv --structure s.csv --structure-every 4";
    ASSERT_EQ(0, RunIn(dir.Path(), Lattice() + " --steps 12" + logs));
    const auto log = RowsByStep(dir.Path("l.csv")), structure = RowsByStep(dir.Path("s.csv"));
    ASSERT_EQ(0, RunIn(dir.Path(), Lattice() + " --steps 5 --archive r.atorun"));
    ASSERT_EQ(0, RunIn(dir.Path(), "--resume r.atorun --steps 12 --log l2.csv --structure s2.csv --structure-every 4"));
    // The energies of steps 5 to 12, as the uninterrupted run wrote them.
    const auto log2 = RowsByStep(dir.Path("l2.csv"));
    ASSERT_EQ(8u, log2.size());
    for (const auto& [step, row] : log2) EXPECT_EQ(log.at(step), row) << step;
    // The structure of the start (step 5), then of steps 8 and 12.
    const auto structure2 = RowsByStep(dir.Path("s2.csv"));
    ASSERT_EQ((std::vector<long long>{5, 8, 12}), [&] {
        std::vector<long long> steps;
        for (const auto& entry : structure2) steps.push_back(entry.first);
        return steps;
    }());
    EXPECT_EQ(structure.at(8), structure2.at(8));
    EXPECT_EQ(structure.at(12), structure2.at(12));
}

TEST(RunArchiveToolTest, AnyStepOfAnArchiveEqualsADirectRun) {
    testsupport::TempDir dir("sphaeron-archive");
    ASSERT_EQ(0, RunIn(dir.Path(), Lattice() + " --steps 12 --archive r.atorun --archive-every 5 --mode 1 --cool"));
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Lattice(), doc, s);
    StepSwitches sw;
    sw.Mode1 = true;
    sw.Cool = true;
    StepEngine engine;
    for (int step = 0; step <= 12; ++step) {
        if (step > 0) engine.Step(s, sw);
        if (step % 4 != 3 && step != 12) continue;  // between frames, on one and the last
        ASSERT_EQ(0, RunIn(dir.Path(), "r.atorun --at " + std::to_string(step) + " --out at.ato"));
        PackDocument(s, doc);
        EXPECT_EQ(common::ReadWholeFile(dir.Path("at.ato")), std::string(doc.bytes.begin(), doc.bytes.end()))
            << step;
    }
    // The archive's switches come with its state: two more steps from it
    // equal two more steps here.
    ASSERT_EQ(0, RunIn(dir.Path(), "r.atorun --steps 2 --out on.ato"));
    engine.Step(s, sw);
    engine.Step(s, sw);
    PackDocument(s, doc);
    EXPECT_EQ(common::ReadWholeFile(dir.Path("on.ato")), std::string(doc.bytes.begin(), doc.bytes.end()));
    std::string info;
    ASSERT_EQ(0, RunIn(dir.Path(), "--info r.atorun", &info));
    EXPECT_NE(info.find("frames 4\nsteps 0 to 12\nsize " + std::to_string(64 + 4 * 6316) + " bytes\ndamage none"),
              std::string::npos)
        << info;
}

TEST(RunArchiveToolTest, VerifyFindsAForgedFrameAndNothingButArchivesIsWritten) {
    testsupport::TempDir dir("sphaeron-archive");
    ASSERT_EQ(0, RunIn(dir.Path(), Lattice() + " --steps 6 --archive r.atorun --archive-every 2"));
    {
        // A copy with the x of taon 1 in frame 2 (step 4) changed by one
        // bit, written with a good CRC.
        common::RunArchive a(dir.Path("r.atorun"), kKind);
        common::RunArchiveWriter w = common::RunArchiveWriter::Create(dir.Path("forged.atorun"), kKind);
        for (std::size_t k = 0; k < a.Count(); ++k) {
            common::RunFrame f = a.Frame(k);
            if (k == 2) f.record[kXOffset] ^= 1;
            w.Add(f.step, f.switches, f.record.data());
        }
    }
    std::string out;
    EXPECT_EQ(0, RunIn(dir.Path(), "--verify r.atorun"));
    EXPECT_EQ(4, RunIn(dir.Path(), "--verify forged.atorun", &out));
    EXPECT_EQ(out.substr(0, 17), "frame 2, step 4: ");
    EXPECT_EQ(2, RunIn(dir.Path(), "--verify " + Lattice()));
    EXPECT_EQ(2, RunIn(dir.Path(), "--info missing.atorun"));
    // A document named as the archive is refused and stays as it is.
    std::filesystem::copy_file(Lattice(), dir.Path("doc.atorun"));
    EXPECT_EQ(2, RunIn(dir.Path(), Lattice() + " --steps 1 --archive doc.atorun"));
    EXPECT_EQ(common::ReadWholeFile(dir.Path("doc.atorun")), common::ReadWholeFile(Lattice()));
    EXPECT_EQ(2, RunIn(dir.Path(), "--resume doc.atorun --steps 3"));
    EXPECT_EQ(common::ReadWholeFile(dir.Path("doc.atorun")), common::ReadWholeFile(Lattice()));
}

}  // namespace
}  // namespace sphaeron

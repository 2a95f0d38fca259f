#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "common/fileio.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "tools/xyz_writer.h"

namespace sphaeron {
namespace {

std::string Examples() {
    const char* e = std::getenv("SPHAERON_EXAMPLES");
    return e ? e : SPHAERON_EXAMPLES_DEFAULT;
}

int RunTool(const std::string& args) {
    std::string cmd = std::string(SPHAERON_RUN_PATH) + " " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/sphaeron-run-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_F(RunnerTest, OutputEqualsStepsInProcessWithInputPadding) {
    std::string in = dir_ + "/in.ato", out = dir_ + "/out.ato";
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/easy_square.ato", doc, s);
    doc.bytes[191] = 0x5A;  // padding travels to the output
    WriteDocument(in, doc);

    ASSERT_EQ(0, RunTool(in + " --steps 25 --cool --dt 0.002 --threads 2 --out " + out));
    StepSwitches sw;
    sw.Cool = true;
    s.DT = 0.002L;
    StepEngine engine;
    for (int k = 0; k < 25; ++k) engine.Step(s, sw);
    PackDocument(s, doc);
    std::string expected(doc.bytes.begin(), doc.bytes.end());
    EXPECT_EQ(expected, common::ReadWholeFile(out));
}

TEST_F(RunnerTest, FaultWritesTheStateBeforeTheFailingStep) {
    std::string in = dir_ + "/in.ato", out = dir_ + "/out.ato";
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/easy_square.ato", doc, s);
    s.C3 = 0;
    PackDocument(s, doc);
    WriteDocument(in, doc);
    EXPECT_EQ(3, RunTool(in + " --steps 5 --out " + out));
    EXPECT_EQ(common::ReadWholeFile(in), common::ReadWholeFile(out));
}

TEST_F(RunnerTest, BadArgumentsWriteNothing) {
    std::string out = dir_ + "/out.ato";
    std::string sq = Examples() + "/easy_square.ato";
    EXPECT_EQ(2, RunTool(dir_ + "/missing.ato --steps 1 --out " + out));
    EXPECT_EQ(2, RunTool(sq + " --out " + out));
    EXPECT_EQ(2, RunTool(sq + " --steps -1 --out " + out));
    EXPECT_EQ(2, RunTool(sq + " --steps 1 --mode 3 --out " + out));
    EXPECT_EQ(2, RunTool(sq + " --steps 1 --dt 0,5 --out " + out));
    EXPECT_EQ(2, RunTool(sq + " --steps 1 --bogus --out " + out));
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(RunnerTest, TrajectoryOnAFullDiskIsRemoved) {
    // A file size limit of 20 KiB lets the first frame of the lattice
    // through and stops the second one, as a full disk would.
    std::string xyz = dir_ + "/t.xyz", out = dir_ + "/out.ato";
    std::string cmd = "bash -c \"trap '' XFSZ; ulimit -f 20; exec " + std::string(SPHAERON_RUN_PATH) + " " +
                      Examples() + "/lattice100.ato --steps 3 --xyz " + xyz + " --out " + out + "\" >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(2, WEXITSTATUS(status));
    EXPECT_FALSE(std::filesystem::exists(xyz));
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(XyzFrames, HeaderColumnsAndPrecision) {
    TaonState s;
    s.DT = 0.5L;
    s.GravonPresent[3] = 1;
    s.X[3] = 1.0L / 3;
    s.GravonPresent[60] = 1;
    s.Z[60] = -2;
    s.GravonPresent[90] = 1;
    std::string frame = XyzFrame(s, 4);
    std::istringstream in(frame);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ("3", line);
    std::getline(in, line);
    EXPECT_NE(std::string::npos, line.find("Properties=species:S:1:pos:R:3:velo:R:3:id:I:1"));
    EXPECT_NE(std::string::npos, line.find("pbc=\"F F F\""));
    EXPECT_NE(std::string::npos, line.find("Time=2 step=4"));
    EXPECT_NE(std::string::npos, line.find("Lattice=\""));
    std::getline(in, line);
    EXPECT_EQ(0u, line.find("H 3.33333333333333333342e-01 "));
    EXPECT_EQ(" 3", line.substr(line.size() - 2));
    std::getline(in, line);
    EXPECT_EQ(0u, line.find("He "));
    std::getline(in, line);
    EXPECT_EQ(0u, line.find("Li "));
}

}  // namespace
}  // namespace sphaeron

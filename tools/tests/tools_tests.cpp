#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <vector>

#include "common/errors.h"
#include "common/ext80.h"
#include "common/fileio.h"
#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "tools/run_outputs.h"
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
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        std::remove((dir_ + ".err").c_str());
    }
    // Runs the tool in the folder; returns the exit code and the first line
    // it wrote on stderr.
    int Run(const std::string& args, std::string* firstError = nullptr) {
        std::string err = dir_ + ".err";
        std::string cmd = "cd " + dir_ + " && " + SPHAERON_RUN_PATH + " " + args + " >/dev/null 2>" + err;
        int status = std::system(cmd.c_str());
        if (firstError) {
            std::string text = common::ReadWholeFile(err);
            *firstError = text.substr(0, text.find('\n'));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.insert(e.path().filename().string());
        return names;
    }
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

TEST_F(RunnerTest, BadCommandLinesAndFilesSayWhyAndWriteNothing) {
    std::string sq = Examples() + "/easy_square.ato";
    common::WriteFileAtomic(dir_ + "/short.ato", std::string(11, 'x'));
    ASSERT_EQ(0, Run(sq + " --steps 0 --out sq.json"));
    std::string json = common::ReadWholeFile(dir_ + "/sq.json");
    std::size_t b = json.find("\"B\": \"2.718\", ", json.find("\"groups\""));
    ASSERT_NE(std::string::npos, b);
    common::WriteFileAtomic(dir_ + "/bad.json", json.substr(0, b) + json.substr(b + 14));
    const struct {
        std::string args;
        int code;
        std::string firstLine;
    } cases[] = {
        {"missing.ato --steps 1 --out o.ato", 2, "cannot read 'missing.ato': File not found"},
        {"short.ato --steps 1 --out o.ato", 2, "'short.ato' is 11 bytes; a .ato document is 6296 bytes"},
        {"short.ato --any-size --steps 1 --out o.ato", 2, "cannot read 'short.ato': Read beyond end of file"},
        {". --steps 1 --out o.ato", 2, "'.' is a folder, not a document"},
        {"bad.json --steps 1 --out o.ato", 2, "'bad.json': groups[0].B: missing"},
        {sq + " --out o.ato", 2, "--steps N is required"},
        {sq + " --steps -1 --out o.ato", 2, "--steps needs a whole number of at least 0, not '-1'"},
        {sq + " --steps 1 --mode 3 --out o.ato", 2, "--mode must be 0, 1 or 2, not '3'"},
        {sq + " --steps 1 --dt 0,5 --out o.ato", 2, "--dt: '0,5' is not a valid floating point value"},
        {sq + " --steps 1 --bogus --out o.ato", 2, "unknown option '--bogus'"},
        {sq + " --steps 1 --set E1=2 --out o.ato", 2, "--set: unknown parameter 'E1' (DT, A1 .. G3, without E)"},
        {sq + " --steps 1 --set B1=x --out o.ato", 2, "--set B1=x: 'x' is not a valid floating point value"},
        {sq + " --steps 1 --log l.csv --log-every 0", 2, "--log-every needs a whole number of at least 1, not '0'"},
        {sq + " --steps 1 --log-every 2 --out o.ato", 2, "--log-every needs --log LOG.csv"},
        {sq + " --steps 1 --every 2 --out o.ato", 2, "--every needs --xyz TRAJ.xyz"},
        {sq + " --steps 1 --xyz t.xyz --out /missing/o.ato", 2, "cannot write '/missing/o.ato': File not found"},
        {sq + " --steps 1 --out o.ato --log l.csv --png /missing/p.png", 2, "cannot write '/missing/p.png': File not found"},
        {sq + " --steps 1 --out o.ato --xyz o.ato", 2, "cannot write 'o.ato': named for two outputs"},
    };
    std::set<std::string> before = Files();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string first;
        EXPECT_EQ(c.code, Run(c.args, &first));
        EXPECT_EQ("sphaeron-run: " + c.firstLine, first);
        EXPECT_EQ(before, Files());
    }
}

// Values a decimal cannot carry, a presence byte of 2 and padding, through
// JSON and back; a run from the JSON form equals the run from the record.
TEST_F(RunnerTest, JsonFormRoundTripsAndRunsLikeTheRecord) {
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/easy_square.ato", doc, s);
    const unsigned char nan[10] = {0x23, 0x01, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F};
    const unsigned char unnormal[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    const unsigned char denormal[10] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(&doc.bytes[kXOffset + 90 * 10], nan, 10);            // X of absent slot 91
    std::memcpy(&doc.bytes[kXOffset + 1000 + 95 * 10], unnormal, 10);  // Y of absent slot 96
    std::memcpy(&doc.bytes[kXOffset + 3000 + 0 * 10], denormal, 10);   // Ux of slot 1
    common::EncodeExt(-0.0L, &doc.bytes[kXOffset + 4000]);             // Uy of slot 1
    doc.bytes[kPresentOffset + 1] = 2;
    doc.bytes[190] = 0x5A;
    doc.bytes[6295] = 0xA5;
    WriteDocument(dir_ + "/in.ato", doc);

    ASSERT_EQ(0, Run("in.ato --steps 0 --out in.json"));
    std::string json = common::ReadWholeFile(dir_ + "/in.json");
    EXPECT_NE(std::string::npos, json.find("\"dt\": \"0.001\""));
    EXPECT_NE(std::string::npos, json.find("\"x\": \"0x7FFFC000000000000123\""));
    EXPECT_NE(std::string::npos, json.find("\"present\": 2"));
    ASSERT_EQ(0, Run("in.json --steps 0 --out back.ato"));
    EXPECT_EQ(common::ReadWholeFile(dir_ + "/in.ato"), common::ReadWholeFile(dir_ + "/back.ato"));

    // Slot 91 holds a NaN: the steps need a document without it.
    LoadDocument(Examples() + "/lattice100.ato", doc, s);
    doc.bytes[191] = 0x11;
    WriteDocument(dir_ + "/l.ato", doc);
    ASSERT_EQ(0, Run("l.ato --steps 0 --out l.json"));
    ASSERT_EQ(0, Run("l.ato --steps 4 --out from_record.ato"));
    ASSERT_EQ(0, Run("l.json --steps 4 --out from_json.ato"));
    EXPECT_EQ(common::ReadWholeFile(dir_ + "/from_record.ato"), common::ReadWholeFile(dir_ + "/from_json.ato"));
}

TEST_F(RunnerTest, SetActsLikeTheEditedDocument) {
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/lattice100.ato", doc, s);
    common::EncodeExt(2.5L, &doc.bytes[20]);  // B1
    common::EncodeExt(0.002L, &doc.bytes[0]);  // DT
    WriteDocument(dir_ + "/edited.ato", doc);
    ASSERT_EQ(0, Run(Examples() + "/lattice100.ato --steps 3 --set B1=2.5 --set dt=2e-3 --out set.ato"));
    ASSERT_EQ(0, Run("edited.ato --steps 3 --out edited_run.ato"));
    EXPECT_EQ(common::ReadWholeFile(dir_ + "/edited_run.ato"), common::ReadWholeFile(dir_ + "/set.ato"));
}

// Rows at step 0 and every K-th step hold the observables of those states;
// the trajectory is the same with the log on, and a fault keeps the rows
// before it.
TEST_F(RunnerTest, LogRowsAndTheRunWithTheLogOn) {
    ASSERT_EQ(0, Run(Examples() + "/lattice100.ato --steps 5 --threads 2 --log run.csv --log-every 2 --out log.ato"));
    ASSERT_EQ(0, Run(Examples() + "/lattice100.ato --steps 5 --out plain.ato"));
    EXPECT_EQ(common::ReadWholeFile(dir_ + "/plain.ato"), common::ReadWholeFile(dir_ + "/log.ato"));

    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/lattice100.ato", doc, s);
    StepSwitches sw;
    StepEngine engine;
    std::string expected = "step,time,ke,pe,e,px,py,pz,ke1,ke2,ke3\n";
    // Every second step, and the last one.
    for (int k = 0; k <= 5; ++k) {
        if (k % 2 == 0 || k == 5) {
            Observables o = ComputeObservables(s, sw);
            char row[512];
            std::snprintf(row, sizeof row, "%d,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le,%.20Le\n", k,
                          k * s.DT, o.ke, o.pe, o.e, o.px, o.py, o.pz, o.ke1, o.ke2, o.ke3);
            expected += row;
        }
        engine.Step(s, sw);
    }
    EXPECT_EQ(expected, common::ReadWholeFile(dir_ + "/run.csv"));

    EXPECT_EQ(3, Run(Examples() + "/lattice100.ato --steps 5 --set C3=0 --log fault.csv"));
    std::string fault = common::ReadWholeFile(dir_ + "/fault.csv");
    EXPECT_EQ(2, std::count(fault.begin(), fault.end(), '\n'));
    EXPECT_EQ(0u, fault.find("step,time,ke,pe,e,px,py,pz,ke1,ke2,ke3\n0,0.00000000000000000000e+00,"));
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
    EXPECT_EQ(std::set<std::string>{}, Files());  // neither output nor anything half-written
}

// The outputs are synced before the first is put in place, through the same
// sync step as every other write; a failed sync leaves every target as it
// was and no staging file behind.
TEST_F(RunnerTest, OutputsAreSyncedBeforeAnyReplacesItsTargetAndAFailedSyncWritesNothing) {
    common::WriteFileAtomic(dir_ + "/a", std::string("old a"));
    std::vector<std::string> seen;  // the targets at each sync: "a|b" contents, "-" for none
    int fail = 0;
    auto content = [&](const char* name) {
        std::string p = dir_ + "/" + name;
        return std::filesystem::exists(p) ? common::ReadWholeFile(p) : std::string("-");
    };
    common::SyncStep previous = common::SetSyncStep([&](int fd) {
        seen.push_back(content("a") + "|" + content("b"));
        return fail ? fail : ::fsync(fd);
    });
    for (int err : {0, EIO}) {
        SCOPED_TRACE(err);
        fail = err;
        seen.clear();
        std::string before = content("a") + "|" + content("b");
        tools::RunOutputs outputs;
        int a = outputs.Add(dir_ + "/a"), b = outputs.Add(dir_ + "/b");
        outputs.Write(a, "a" + std::to_string(err));
        outputs.Write(b, "b" + std::to_string(err));
        if (err == 0) {
            outputs.Commit();
            EXPECT_EQ((std::vector<std::string>{before, before}), seen);
            EXPECT_EQ("a0|b0", content("a") + "|" + content("b"));
        } else {
            try {
                outputs.Commit();
                ADD_FAILURE() << "a failed sync was not reported";
            } catch (const common::FileError& e) {
                EXPECT_EQ("cannot write '" + dir_ + "/a': I/O error 5", e.what());
            }
            EXPECT_EQ(before, content("a") + "|" + content("b"));
            EXPECT_EQ((std::set<std::string>{"a", "b"}), Files());
        }
    }
    common::SetSyncStep(std::move(previous));
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

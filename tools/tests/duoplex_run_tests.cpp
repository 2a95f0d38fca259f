#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ext80.h"
#include "duoplex/core/planar_step.h"
#include "duoplex/core/tests/test_files.h"
#include "tools/duoplex_run_tool.h"

namespace duoplex {
namespace {

using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

struct Result {
    int code;
    std::string out, err;
};

Result RunArgs(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int code = RunTool(args, out, err);
    return {code, out.str(), err.str()};
}

using testing::Bytes;

// The state the tool must reach, stepped here directly.
GravBytes Expected(PlanarState s, const StepSettings& st, int steps) {
    for (int k = 0; k < steps; ++k) DoStep(s, st);
    return EncodeGravRecord(RecordOfState(s));
}

TEST(DuoplexRunTool, ConfigurationsFunctionsPassesAndBrakes) {
    ScratchDir dir;
    std::string out = dir.File("out.grav");
    struct Case {
        std::vector<std::string> args;
        FunctionChoice config, function;
        bool three;
        int brake;
    };
    const Case cases[] = {
        {{"--config", "F_PE"}, FunctionChoice::F_PE, FunctionChoice::F_PE, false, 1},
        {{"--config", "F_PES", "--brake", "5"}, FunctionChoice::F_PES, FunctionChoice::F_PES, false, 5},
        {{"--config", "F_PE1", "--three"}, FunctionChoice::F_PE1, FunctionChoice::F_PE1, true, 1},
        {{"--config", "F_PE2", "--function", "F_PE"}, FunctionChoice::F_PE2, FunctionChoice::F_PE, false, 1},
        {{"--three", "--config", "F_PE_PES", "--brake", "3"}, FunctionChoice::F_PE_PES, FunctionChoice::F_PE_PES, true,
         3},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"--steps", "40", "--out"}) args.push_back(a);
        args.push_back(out);
        Result r = RunArgs(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("steps 40"), std::string::npos);

        PlanarState s;
        ApplyConfiguration(s, *RefreshConfiguration(c.config, c.three));
        s.DT = RefreshConfiguration(c.config, c.three)->DT;
        EXPECT_EQ(ReadBytes(out), Bytes(Expected(s, {c.function, !c.three, c.brake}, 40))) << c.args[1];
    }
}

TEST(DuoplexRunTool, FileInputCarriesUnusedBytesAndTakesDtAndGravoNew) {
    ScratchDir dir;
    PlanarState s;
    ResetToNewValues(s);
    s.SpeedY[1] = 0.5L;
    GravRecord rec = RecordOfState(s);
    rec.Unused = {0xDE, 0xAD, 0xBE, 0xEF, 1, 2};
    std::string in = dir.File("in.grav"), out = dir.File("out.grav");
    WriteBytes(in, Bytes(EncodeGravRecord(rec)));
    s.Snapshot = EncodeGravRecord(rec);

    Result r = RunArgs({in, "--steps", "25", "--dt", "0.01", "--out", out});
    ASSERT_EQ(r.code, 0) << r.err;
    PlanarState t = s;
    t.DT = 0.01L;
    std::string got = ReadBytes(out);
    EXPECT_EQ(got, Bytes(Expected(t, {FunctionChoice::F_PE, true, 1}, 25)));
    EXPECT_EQ(got.substr(250), "\xDE\xAD\xBE\xEF\x01\x02");

    // GravoNew takes the file's gravons, speeds included, and its own step.
    r = RunArgs({in, "--config", "GravoNew", "--steps", "5", "--out", out});
    ASSERT_EQ(r.code, 0) << r.err;
    t = s;
    t.DT = 0.005L;
    EXPECT_EQ(ReadBytes(out), Bytes(Expected(t, {FunctionChoice::GravoNew, true, 1}, 5)));

    // Built-in configurations have zero unused bytes.
    r = RunArgs({"--config", "F_PE", "--steps", "0", "--out", out});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(ReadBytes(out).substr(250), std::string(6, '\0'));
}

TEST(DuoplexRunTool, FaultWritesTheCommittedStateAndExitsThree) {
    ScratchDir dir;
    PlanarState s;
    ResetToStartValues(s);
    s.X[2] = s.X[1];
    s.Y[2] = s.Y[1];
    std::string in = dir.File("same.grav"), out = dir.File("out.grav");
    WriteBytes(in, Bytes(EncodeGravRecord(RecordOfState(s))));
    Result r = RunArgs({in, "--steps", "10", "--out", out});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "step 1: Floating point division by zero\n");
    EXPECT_EQ(ReadBytes(out), ReadBytes(in));

    // Gravon 1 coasts (no strengths) onto gravon 2: half a unit per pass,
    // two passes per step. At step 5 the two-gravon pass brings it to x = 2
    // and stays committed; the function pass then finds them together.
    for (int k = 1; k <= 3; ++k) s.A[k] = 0.0L;
    s.X[1] = -2.5L;
    s.X[2] = 2.0L;
    s.SpeedX[1] = 1.0L;
    s.DT = 0.5L;
    WriteBytes(in, Bytes(EncodeGravRecord(RecordOfState(s))));
    r = RunArgs({in, "--steps", "20", "--out", out});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "step 5: Floating point division by zero\n");
    EXPECT_NE(r.out.find("steps 4"), std::string::npos);
    GravBytes got{};
    std::string bytes = ReadBytes(out);
    ASSERT_EQ(bytes.size(), got.size());
    std::copy(bytes.begin(), bytes.end(), got.begin());
    GravRecord rec = DecodeGravRecord(got);
    EXPECT_EQ(rec.X[1], 2.0L);
    EXPECT_EQ(rec.SpeedX[1], 1.0L);
}

TEST(DuoplexRunTool, BadArgumentsAndFilesWriteNothing) {
    ScratchDir dir;
    std::string out = dir.File("out.grav"), shortIn = dir.File("short.grav");
    WriteBytes(shortIn, std::string(255, '\0'));
    const std::vector<std::vector<std::string>> bad = {
        {"--steps", "3", "--out", out},
        {"--config", "F_PE", "--out", out},
        {"--config", "F_XX", "--steps", "3", "--out", out},
        {"--config", "GravoNew", "--steps", "3", "--out", out},
        {shortIn, "--config", "F_PE", "--steps", "3", "--out", out},
        {"--config", "F_PE", "--steps", "-1", "--out", out},
        {"--config", "F_PE", "--steps", "3", "--brake", "6", "--out", out},
        {"--config", "F_PE", "--steps", "3", "--dt", "0,5", "--out", out},
        {"--config", "F_PE", "--steps", "3", "--bogus", "--out", out},
        {shortIn, "--steps", "3", "--out", out},
        {dir.File("missing.grav"), "--steps", "3", "--out", out},
    };
    for (const auto& args : bad) {
        Result r = RunArgs(args);
        EXPECT_EQ(r.code, 2) << args[0] << " " << args[1];
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(ReadBytes(out).empty()) << args[0] << " " << args[1];
    }
    EXPECT_NE(RunArgs({shortIn, "--steps", "1"}).err.find("Read beyond end of file"), std::string::npos);
}

// The program itself: usage and version on standard output, exit 0.
TEST(DuoplexRunTool, HelpAndVersion) {
    auto run = [](const std::string& args) {
        Result r{-1, "", ""};
        FILE* p = ::popen((std::string(DUOPLEX_RUN_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
        if (!p) return r;
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
        int status = ::pclose(p);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    };
    Result version = run("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "duoplex-run " DUOPLEX_PROJECT_VERSION "\n");
    Result help = run("--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out, kRunToolUsage);
    EXPECT_NE(help.out.find("--version"), std::string::npos);
    EXPECT_EQ(run("--steps").code, 2);
}

}  // namespace
}  // namespace duoplex

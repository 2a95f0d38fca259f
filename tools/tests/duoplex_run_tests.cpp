// duoplex-run as a program: its outputs equal the steps made here directly,
// its JSON form carries every byte, and bad command lines and files say why
// in one line and leave no file.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ext80.h"
#include "duoplex/core/planar_step.h"
#include "duoplex/core/tests/test_files.h"

namespace duoplex {
namespace {

using testing::Bytes;
using testing::Listing;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

struct Result {
    int code;
    std::string out, err;
};

// Runs the tool in the folder with the arguments (a shell command line).
Result RunTool(const ScratchDir& dir, const std::string& args) {
    std::string err = dir.File(".err");
    std::string cmd = "cd '" + dir.File("") + "' && " DUOPLEX_RUN_PATH " " + args + " 2>" + err;
    Result r{-1, "", ""};
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadBytes(err);
    std::remove(err.c_str());
    return r;
}

// The state the tool must reach, stepped here directly.
std::string Expected(PlanarState s, const StepSettings& st, int steps) {
    for (int k = 0; k < steps; ++k) DoStep(s, st);
    return Bytes(EncodeGravRecord(RecordOfState(s)));
}

PlanarState Configured(FunctionChoice f, bool three) {
    PlanarState s;
    ApplyConfiguration(s, *RefreshConfiguration(f, three));
    s.DT = RefreshConfiguration(f, three)->DT;
    return s;
}

TEST(DuoplexRun, ConfigurationsFunctionsPassesBrakesAndSets) {
    ScratchDir dir;
    PlanarState file;
    ResetToNewValues(file);
    file.SpeedY[1] = 0.5L;
    file.Snapshot[250] = 0xDE;  // unused bytes travel to the output
    file.Snapshot[255] = 0x02;
    WriteBytes(dir.File("in.grav"), Bytes(EncodeGravRecord(RecordOfState(file))));

    PlanarState swifter = Configured(FunctionChoice::F_PES_Swi, false);
    swifter.A[3] = 0.25L;
    swifter.SpeedX[2] = 1.0L;
    PlanarState slower = file;
    slower.DT = 0.01L;
    PlanarState gravoNew = file;
    gravoNew.DT = 0.005L;
    const struct {
        std::string args;
        PlanarState start;
        StepSettings st;
    } cases[] = {
        {"--config F_PE", Configured(FunctionChoice::F_PE, false), {FunctionChoice::F_PE, true, 1}},
        {"--config F_PES --brake 5", Configured(FunctionChoice::F_PES, false), {FunctionChoice::F_PES, true, 5}},
        {"--config PE1 --three", Configured(FunctionChoice::F_PE1, true), {FunctionChoice::F_PE1, false, 1}},
        {"--config f_pe2 --function F_PE", Configured(FunctionChoice::F_PE2, false), {FunctionChoice::F_PE, true, 1}},
        {"--three --config 'PE_ PES' --brake 3", Configured(FunctionChoice::F_PE_PES, true),
         {FunctionChoice::F_PE_PES, false, 3}},
        {"--config PE_PES", Configured(FunctionChoice::F_PE_PES, false), {FunctionChoice::F_PE_PES, true, 1}},
        {"--config 'PES - Swifter' --set a3=0.25 --set SpeedX2=0x3FFF8000000000000000", swifter,
         {FunctionChoice::F_PES_Swi, true, 1}},
        {"in.grav --dt 0.01", slower, {FunctionChoice::F_PE, true, 1}},
        {"in.grav --set DT=1e-2", slower, {FunctionChoice::F_PE, true, 1}},
        {"in.grav --config GravoNew", gravoNew, {FunctionChoice::GravoNew, true, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        Result r = RunTool(dir, c.args + " --steps 30 --out out.grav");
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 9), "steps 30\n");
        EXPECT_EQ(ReadBytes(dir.File("out.grav")), Expected(c.start, c.st, 30));
    }
}

TEST(DuoplexRun, FaultWritesTheCommittedStateAndExitsThree) {
    ScratchDir dir;
    // Gravon 1 coasts (no strengths) onto gravon 2: half a unit per pass,
    // two passes per step. At step 5 the two-gravon pass brings it to x = 2;
    // the function pass then finds them together, and the output holds the
    // state after step 4 (x = 1.5), not the half-made step.
    PlanarState s;
    ResetToStartValues(s);
    for (int k = 1; k <= 3; ++k) s.A[k] = 0.0L;
    s.X[1] = -2.5L;
    s.X[2] = 2.0L;
    s.SpeedX[1] = 1.0L;
    s.DT = 0.5L;
    WriteBytes(dir.File("in.grav"), Bytes(EncodeGravRecord(RecordOfState(s))));
    Result r = RunTool(dir, "in.grav --steps 20 --out out.json");
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "step 5: Floating point division by zero\n");
    EXPECT_EQ(r.out.substr(0, 8), "steps 4\n");
    ASSERT_EQ(RunTool(dir, "out.json --steps 0 --out out.grav").code, 0);
    GravBytes got{};
    std::string bytes = ReadBytes(dir.File("out.grav"));
    ASSERT_EQ(bytes.size(), got.size());
    std::memcpy(got.data(), bytes.data(), got.size());
    GravRecord rec = DecodeGravRecord(got);
    EXPECT_EQ(rec.X[1], 1.5L);
    EXPECT_EQ(rec.SpeedX[1], 1.0L);

    // An overflow in the first step: nothing of it is printed or written.
    r = RunTool(dir, "--config PE --set SpeedX1=1e4000 --steps 3 --out over.grav");
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "step 1: Floating point overflow\n");
    EXPECT_EQ(r.out.substr(0, r.out.find(", y")), "steps 0\ngravon 1: x -2");
}

// Values no decimal carries and the unused bytes go through JSON and back;
// a run from the JSON form equals the run from the record.
TEST(DuoplexRun, JsonFormRoundTripsAndRunsLikeTheRecord) {
    ScratchDir dir;
    PlanarState s;
    ResetToStartValues(s);
    GravBytes record = EncodeGravRecord(RecordOfState(s));
    const unsigned char nan[10] = {0x23, 0x01, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F};
    const unsigned char unnormal[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    std::memcpy(&record[20], nan, 10);        // A of gravon 3
    std::memcpy(&record[140], unnormal, 10);  // X of gravon 3
    common::EncodeExt(-0.0L, &record[230]);   // SpeedY of gravon 3
    record[250] = 0x5A;
    record[255] = 0xA5;
    WriteBytes(dir.File("in.grav"), Bytes(record));

    ASSERT_EQ(RunTool(dir, "in.grav --steps 0 --out in.json").code, 0);
    std::string json = ReadBytes(dir.File("in.json"));
    for (const char* part : {"\"format\": \"duoplex-grav\"", "\"dt\": \"0.05\"", "\"A\": \"0x7FFFC000000000000123\"",
                             "\"X\": \"0x3FFF4000000000000000\"", "\"SpeedY\": \"-0\"", "\"unused\": \"5A00000000A5\""})
        EXPECT_NE(json.find(part), std::string::npos) << part;
    ASSERT_EQ(RunTool(dir, "in.json --steps 0 --out back.grav").code, 0);
    EXPECT_EQ(ReadBytes(dir.File("back.grav")), Bytes(record));
    // Any case of ".json" names the JSON form; the time step spelt "DT", as
    // files written before have it, reads the same.
    ASSERT_EQ(RunTool(dir, "in.grav --steps 0 --out IN.JSON").code, 0);
    EXPECT_EQ(ReadBytes(dir.File("IN.JSON")), json);
    std::string old = json;
    old.replace(old.find("\"dt\""), 4, "\"DT\"");
    WriteBytes(dir.File("old.json"), old);
    ASSERT_EQ(RunTool(dir, "old.json --steps 0 --out old.grav").code, 0);
    EXPECT_EQ(ReadBytes(dir.File("old.grav")), Bytes(record));

    // Gravon 3 is taken out of the NaN and the unnormal for the steps.
    ASSERT_EQ(RunTool(dir, "in.grav --steps 7 --set A3=0 --set X3=-9 --out from_record.grav").code, 0);
    ASSERT_EQ(RunTool(dir, "in.json --steps 7 --set A3=0 --set X3=-9 --out from_json.grav").code, 0);
    EXPECT_EQ(ReadBytes(dir.File("from_record.grav")), ReadBytes(dir.File("from_json.grav")));
}

TEST(DuoplexRun, BadCommandLinesAndFilesSayWhyAndWriteNothing) {
    ScratchDir dir;
    PlanarState s;
    ResetToStartValues(s);
    std::string record = Bytes(EncodeGravRecord(RecordOfState(s)));
    WriteBytes(dir.File("ok.grav"), record);
    WriteBytes(dir.File("short.grav"), record.substr(0, 255));
    WriteBytes(dir.File("README.md"), std::string(11372, 'x'));
    WriteBytes(dir.File("keep.grav"), "previous");
    ASSERT_EQ(RunTool(dir, "ok.grav --steps 0 --out ok.json").code, 0);
    std::string json = ReadBytes(dir.File("ok.json"));
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string t = json;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    WriteBytes(dir.File("no_x.json"), edited("\"X\": \"2\", ", ""));
    WriteBytes(dir.File("bad_dt.json"), edited("\"dt\": \"0.05\"", "\"dt\": 0.05"));
    WriteBytes(dir.File("two_dt.json"), edited("\"dt\": \"0.05\"", "\"dt\": \"0.05\", \"DT\": \"0.05\""));
    WriteBytes(dir.File("two.json"), edited("\"format\": \"duoplex-grav\"", "\"format\": \"sphaeron-ato\""));
    WriteBytes(dir.File("unused.json"), edited("\"unused\": \"000000000000\"", "\"unused\": \"00\""));
    const struct {
        std::string args, firstLine;
    } cases[] = {
        {"missing.grav --steps 1", "cannot read 'missing.grav': File not found"},
        {"README.md --steps 1", "'README.md' is 11372 bytes; a .grav document is 256 bytes"},
        {"short.grav --steps 1", "'short.grav' is 255 bytes; a .grav document is 256 bytes"},
        {"short.grav --any-size --steps 1", "cannot read 'short.grav': Read beyond end of file"},
        {". --steps 1", "'.' is a folder, not a document"},
        {"no_x.json --steps 1", "'no_x.json': gravons[1].X: missing"},
        {"bad_dt.json --steps 1", "'bad_dt.json': dt: a real is written as a string, such as \"0.001\", not 0.05"},
        {"two_dt.json --steps 1", "'two_dt.json': dt: given twice, as dt and DT"},
        {"two.json --steps 1", "'two.json': format: must be \"duoplex-grav\", not \"sphaeron-ato\""},
        {"unused.json --steps 1", "'unused.json': unused: must be 6 bytes as 12 hex digits, not \"00\""},
        {"--steps 3", "give an input document IN or --config NAME"},
        {"--config F_PE", "--steps N is required"},
        {"--config F_XX --steps 3", "--config: unknown function 'F_XX' (F_PE, F_PES, GravoNew, F_PE1, F_PE2, "
                                    "F_PES_Swi, F_PE_PES)"},
        {"--config PES-X --steps 3", "--config: unknown function 'PES-X' (F_PE, F_PES, GravoNew, F_PE1, F_PE2, "
                                    "F_PES_Swi, F_PE_PES)"},
        {"--config 'PE ' --steps 3 --config P", "--config: 'P' could be any of F_PE, F_PES, F_PE1, F_PE2, F_PES_Swi, "
                                                "F_PE_PES"},
        {"--config GravoNew --steps 3", "--config GravoNew takes the gravons from a document: give IN"},
        {"ok.grav --config F_PE --steps 3", "give either an input document or --config F_PE, not both"},
        {"--config F_PE --steps -1", "--steps needs a whole number of at least 0, not '-1'"},
        {"--config F_PE --steps 3 --brake 6", "--brake must be at most 5"},
        {"--config F_PE --steps 3 --dt 0,5", "--dt: '0,5' is not a valid floating point value"},
        {"--config F_PE --steps 3 --bogus", "unknown option '--bogus'"},
        {"--config F_PE --steps 3 --set E1=2", "--set: unknown value 'E1' (DT, A1 .. D3, X1 .. Y3, SpeedX1 .. SpeedY3)"},
        {"--config F_PE --steps 3 --set B1=x", "--set B1=x: 'x' is not a valid floating point value"},
        {"--config F_PE --steps 3 --set B1", "--set needs NAME=VALUE, not 'B1'"},
        {"--config F_PE --steps 3 --set DT=1 --dt 2", "--dt and --set DT both give the time step"},
        {"--config F_PE --steps 3 --out missing/o.grav", "cannot write 'missing/o.grav': File not found"},
        {"--config F_PE --steps 3 --out .", "cannot write '.': it is a folder"},
        {"--config F_PE --steps 3 --out /dev/full", "cannot write '/dev/full': Disk full"},
    };
    auto before = Listing(dir.File(""));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        Result r = RunTool(dir, "--out keep.grav " + c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "duoplex-run: " + c.firstLine);
        EXPECT_LE(std::count(r.err.begin(), r.err.end(), '\n'), 2);
        EXPECT_TRUE(Listing(dir.File("")) == before);
    }
}

// The program itself: help and version on standard output, exit 0.
TEST(DuoplexRun, HelpAndVersion) {
    ScratchDir dir;
    Result version = RunTool(dir, "--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "duoplex-run " DUOPLEX_PROJECT_VERSION "\n");
    Result help = RunTool(dir, "--help");
    EXPECT_EQ(help.code, 0);
    for (const char* part : {"--set NAME=VALUE", "--any-size", "5 10 %", "PES - Swifter", "--version"})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace duoplex

#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/ext80.h"
#include "duoplex/planar_state.h"
#include "test_files.h"

namespace duoplex {
namespace {

using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

std::string AsString(const GravBytes& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

GravBytes RandomBytes(unsigned seed) {
    std::mt19937 gen(seed);
    GravBytes b;
    for (auto& x : b) x = static_cast<unsigned char>(gen());
    return b;
}

TEST(DuoplexValues, StartUpAndNewTables) {
    PlanarState s;
    s.StepCount = 7;
    s.Stopped = false;
    ResetToStartValues(s);
    EXPECT_EQ(s.StepCount, 0);
    EXPECT_TRUE(s.Stopped);
    EXPECT_EQ(s.DT, 0.05L);
    EXPECT_EQ(s.A[1], 3.0L);
    EXPECT_EQ(s.C[2], 0.424L);
    EXPECT_EQ(s.A[3], 0.0L);
    EXPECT_EQ(s.X[3], -4362.0L);
    EXPECT_EQ(s.Y[3], 3.8L);

    s.StepCount = 9;
    s.Stopped = false;
    s.SpeedX[2] = 1;
    ResetToNewValues(s);
    EXPECT_EQ(s.DT, 0.005L);
    EXPECT_EQ(s.B[2], 2.9L);
    EXPECT_EQ(s.X[1], -1.4L);
    EXPECT_EQ(s.B[3], 0.3L);
    EXPECT_EQ(s.SpeedX[2], 0.0L);
    // "New" leaves the run and the counter alone.
    EXPECT_EQ(s.StepCount, 9);
    EXPECT_FALSE(s.Stopped);
}

TEST(DuoplexRecord, FieldOffsetsAndLayout) {
    GravRecord r;
    r.A[1] = 1.0L;
    r.A[2] = 2.0L;
    r.SpeedY[3] = -0.5L;
    r.DT = 0.05L;
    r.Unused = {1, 2, 3, 4, 5, 6};
    GravBytes b = EncodeGravRecord(r);
    const unsigned char one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
    EXPECT_EQ(std::memcmp(b.data(), one, 10), 0);
    EXPECT_EQ(common::DecodeExt(b.data() + 10), 2.0L);
    EXPECT_EQ(common::DecodeExt(b.data() + 230), -0.5L);
    EXPECT_EQ(common::DecodeExt(b.data() + 240), 0.05L);
    EXPECT_EQ(b[250], 1);
    EXPECT_EQ(b[255], 6);

    PlanarState s;
    ResetToStartValues(s);
    GravBytes sb = EncodeGravRecord(RecordOfState(s));
    EXPECT_EQ(common::DecodeExt(sb.data() + 60), 0.424L);     // C of gravon 1
    EXPECT_EQ(common::DecodeExt(sb.data() + 140), -4362.0L);  // X of gravon 3
    EXPECT_EQ(common::DecodeExt(sb.data() + 170), 3.8L);      // Y of gravon 3
}

TEST(DuoplexRecord, AnyBytesSurviveDecodeAndEncode) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        GravBytes b = RandomBytes(seed);
        if (seed % 2) {  // NaN and infinity patterns in every value
            for (int v = 0; v < 25; ++v) b[v * 10 + 8] = 0xFF, b[v * 10 + 9] |= 0x7F;
        }
        ASSERT_EQ(EncodeGravRecord(DecodeGravRecord(b)), b) << "seed " << seed;
        // Through the state as well, the way a document is opened and saved.
        PlanarState s;
        s.Snapshot = b;
        TakeRecordValues(s, DecodeGravRecord(b));
        ASSERT_EQ(EncodeGravRecord(RecordOfState(s)), b) << "seed " << seed;
    }
}

TEST(DuoplexDocument, OpenReadOnlyLongerFileAndSaveCopy) {
    ScratchDir dir;
    GravBytes b = RandomBytes(42);
    PlanarState src;
    ResetToNewValues(src);
    GravRecord r = RecordOfState(src);
    r.Unused = {9, 8, 7, 6, 5, 4};
    b = EncodeGravRecord(r);
    std::string in = dir.File("in.grav");
    WriteBytes(in, AsString(b) + "trailing bytes are ignored");
    testing::MakeReadOnly(in);

    PlanarState s;
    ResetToStartValues(s);
    s.StepCount = 12;
    LoadDocument(in, s);
    EXPECT_EQ(s.Snapshot, b);
    EXPECT_EQ(s.B[2], 2.9L);
    EXPECT_EQ(s.DT, 0.005L);
    EXPECT_EQ(s.StepCount, 12);

    std::string out = dir.File("copy.grav");
    SaveDocument(out, s);
    EXPECT_EQ(ReadBytes(out), AsString(b));
}

TEST(DuoplexDocument, FailedOpenChangesNothing) {
    ScratchDir dir;
    std::string shortFile = dir.File("short.grav");
    WriteBytes(shortFile, std::string(255, '\x01'));
    PlanarState s;
    ResetToStartValues(s);
    s.Snapshot = RandomBytes(3);
    const PlanarState before = s;
    auto same = [&] {
        return std::memcmp(&before.A, &s.A, sizeof s.A) == 0 && std::memcmp(&before.X, &s.X, sizeof s.X) == 0 &&
               before.DT == s.DT && before.Snapshot == s.Snapshot;
    };
    try {
        LoadDocument(shortFile, s);
        FAIL() << "a short file was accepted";
    } catch (const common::FileError& e) {
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
    EXPECT_TRUE(same());
    try {
        LoadDocument(dir.File("missing.grav"), s);
        FAIL() << "a missing file was accepted";
    } catch (const common::FileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_TRUE(same());
}

TEST(DuoplexDocument, FailedSaveKeepsThePreviousFile) {
    ScratchDir dir;
    std::string target = dir.File("kept.grav");
    WriteBytes(target, "previous contents");
    testing::MakeReadOnly(target);
    PlanarState s;
    ResetToStartValues(s);
    try {
        SaveDocument(target, s);
        FAIL() << "a read-only file was written";
    } catch (const common::FileError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    EXPECT_EQ(ReadBytes(target), "previous contents");
    try {
        SaveDocument(dir.File("no/such/folder.grav"), s);
        FAIL();
    } catch (const common::FileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST(DuoplexConfigurations, TableRowsAndVariants) {
    auto pe1two = RefreshConfiguration(FunctionChoice::F_PE1, false);
    auto pe1three = RefreshConfiguration(FunctionChoice::F_PE1, true);
    ASSERT_TRUE(pe1two && pe1three);
    EXPECT_EQ(pe1two->g[2].X, -7501.0L);
    EXPECT_EQ(pe1two->g[2].A, 0.0L);
    EXPECT_EQ(pe1three->g[2].X, -7.5L);
    EXPECT_EQ(pe1three->g[2].A, 1.0L);
    auto pe2three = RefreshConfiguration(FunctionChoice::F_PE2, true);
    EXPECT_EQ(pe2three->g[1].X, 0.75L);
    EXPECT_EQ(pe2three->g[2].X, -6.0L);
    EXPECT_EQ(RefreshConfiguration(FunctionChoice::F_PE2, false)->g[2].X, -6001.0L);
    // Only F_PE1 and F_PE2 depend on the two-gravon switch.
    for (FunctionChoice f : {FunctionChoice::F_PE, FunctionChoice::F_PES, FunctionChoice::F_PES_Swi,
                             FunctionChoice::F_PE_PES}) {
        auto a = RefreshConfiguration(f, false), b = RefreshConfiguration(f, true);
        ASSERT_TRUE(a && b);
        for (int g = 0; g < kGravons; ++g) {
            EXPECT_EQ(a->g[g].A, b->g[g].A) << FunctionName(f);
            EXPECT_EQ(a->g[g].X, b->g[g].X) << FunctionName(f);
        }
    }
    EXPECT_FALSE(RefreshConfiguration(FunctionChoice::GravoNew, false));
    EXPECT_EQ(RefreshConfiguration(FunctionChoice::F_PES_Swi, false)->g[0].B, 3.2L);
    EXPECT_EQ(RefreshConfiguration(FunctionChoice::F_PE_PES, false)->g[0].C, 424.0L);
    EXPECT_EQ(RefreshConfiguration(FunctionChoice::F_PES, false)->DT, 0.005L);

    // The F_PE row is the start-up configuration; speeds become 0.
    PlanarState start, refreshed;
    ResetToStartValues(start);
    refreshed.SpeedX[1] = 4;
    ApplyConfiguration(refreshed, *RefreshConfiguration(FunctionChoice::F_PE, false));
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k) EXPECT_EQ(Value(refreshed, f, k), Value(start, f, k));
}

}  // namespace
}  // namespace duoplex

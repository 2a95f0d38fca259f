#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/ext80.h"
#include "duoplex/core/planar_state.h"
#include "test_files.h"

namespace duoplex {
namespace {

using testing::ScratchDir;
using testing::WriteBytes;

GravBytes RandomBytes(unsigned seed) {
    std::mt19937 gen(seed);
    GravBytes b;
    for (auto& x : b) x = static_cast<unsigned char>(gen());
    return b;
}

TEST(DuoplexValues, NewKeepsTheRunAndTheF_PERowIsTheStartUp) {
    PlanarState s;
    ResetToStartValues(s);
    s.StepCount = 9;
    s.Stopped = false;
    s.SpeedX[2] = 1;
    ResetToNewValues(s);
    EXPECT_EQ(s.DT, 0.005L);
    EXPECT_EQ(s.SpeedX[2], 0.0L);
    EXPECT_EQ(s.StepCount, 9);
    EXPECT_FALSE(s.Stopped);

    PlanarState start, refreshed;
    ResetToStartValues(start);
    refreshed.SpeedX[1] = 4;
    ApplyConfiguration(refreshed, *RefreshConfiguration(FunctionChoice::F_PE, false));
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k) EXPECT_EQ(Value(refreshed, f, k), Value(start, f, k));
    EXPECT_FALSE(RefreshConfiguration(FunctionChoice::GravoNew, false));
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

}  // namespace
}  // namespace duoplex

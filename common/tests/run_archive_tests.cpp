// Run archives: the format on disk, damage at the end and in the middle,
// refusals, writes that fail, the sync schedule, replay and verification.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/run_archive.h"
#include "tests/support/error_text.h"
#include "tests/support/temp_dir.h"

namespace common {
namespace {

using testsupport::ErrorText;
using testsupport::TempDir;

// A toy program: 8 bytes of position, 8 bytes of speed (both computed), 8
// bytes of a parameter added to the speed in each step.
const RunArchiveKind kToy{"Toy", 24};
const RunArchiveKind kOther{"Other", 24};

std::int64_t Get(const unsigned char* p) {
    std::int64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
void Put(unsigned char* p, std::int64_t v) { std::memcpy(p, &v, 8); }

std::vector<unsigned char> ToyRecord(std::int64_t x, std::int64_t v, std::int64_t a) {
    std::vector<unsigned char> r(24);
    Put(r.data(), x);
    Put(r.data() + 8, v);
    Put(r.data() + 16, a);
    return r;
}

RunReplay ToyReplay() {
    RunReplay replay;
    replay.advance = [](std::vector<unsigned char>& r, const SwitchBytes& sw, std::int64_t steps) {
        for (std::int64_t k = 0; k < steps; ++k) {
            Put(r.data() + 8, Get(r.data() + 8) + Get(r.data() + 16) * (sw[0] ? -1 : 1));
            Put(r.data(), Get(r.data()) + Get(r.data() + 8));
        }
    };
    replay.computed = {{0, 16}};
    return replay;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// An archive of a toy run of `frames` frames, one every step, parameter 1.
std::string MakeRun(const TempDir& dir, int frames, const std::string& name = "run.toyrun") {
    std::string path = dir.Path(name);
    RunArchiveWriter w = RunArchiveWriter::Create(path, kToy);
    auto r = ToyRecord(0, 0, 1);
    for (int k = 0; k < frames; ++k) {
        w.Add(k, SwitchBytes{}, r.data());
        ToyReplay().advance(r, SwitchBytes{}, 1);
    }
    w.Close();
    return path;
}

TEST(Crc32cTest, KnownValues) {
    EXPECT_EQ(Crc32c("123456789", 9), 0xE3069283u);
    std::vector<unsigned char> zeros(32, 0), ones(32, 0xFF);
    EXPECT_EQ(Crc32c(zeros.data(), zeros.size()), 0x8A9136AAu);  // iSCSI test vectors
    EXPECT_EQ(Crc32c(ones.data(), ones.size()), 0x62A8AB43u);
    EXPECT_EQ(Crc32c("56789", 5, Crc32c("1234", 4)), 0xE3069283u);
    std::vector<unsigned char> up(32), down(32);
    for (int i = 0; i < 32; ++i) up[i] = static_cast<unsigned char>(i), down[i] = static_cast<unsigned char>(31 - i);
    EXPECT_EQ(Crc32c(up.data(), up.size()), 0x46DD794Eu);
    EXPECT_EQ(Crc32c(down.data(), down.size()), 0x113FDB5Cu);
}

TEST(Crc32cTest, EveryLengthAndAlignmentAgreesWithTheBitwiseDefinition) {
    // Eight bytes at a time and the bytes left over must sum as bit by bit.
    auto bitwise = [](const unsigned char* p, std::size_t n) {
        std::uint32_t c = ~0u;
        for (std::size_t i = 0; i < n; ++i) {
            c ^= p[i];
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
        }
        return ~c;
    };
    std::vector<unsigned char> bytes(80);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    for (std::size_t start = 0; start < 8; ++start)
        for (std::size_t n = 0; start + n <= bytes.size(); ++n)
            ASSERT_EQ(Crc32c(bytes.data() + start, n), bitwise(bytes.data() + start, n)) << start << " " << n;
}

TEST(RunArchiveTest, FramesLieAtComputedOffsetsAndStepsAreFoundByHalving) {
    TempDir dir("run-archive");
    std::string path = dir.Path("a.toyrun");
    RunArchiveWriter w = RunArchiveWriter::Create(path, kToy);
    const std::int64_t steps[] = {0, 5, 5, 10, 1LL << 40};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SwitchBytes sw{};
        sw[0] = static_cast<unsigned char>(i);
        w.Add(steps[i], sw, ToyRecord(static_cast<std::int64_t>(i), 0, 0).data());
    }
    EXPECT_NE(ErrorText([&] { w.Add(9, SwitchBytes{}, ToyRecord(0, 0, 0).data()); }).find("comes before"),
              std::string::npos);
    w.Close();
    EXPECT_EQ(std::filesystem::file_size(path), kRunHeaderSize + 5 * (16 + 24 + 4));

    RunArchive a(path, kToy);
    ASSERT_EQ(a.Count(), 5u);
    EXPECT_TRUE(a.Warning().empty());
    RunFrame f = a.Frame(4);
    EXPECT_EQ(f.step, 1LL << 40);
    EXPECT_EQ(f.switches[0], 4);
    EXPECT_EQ(f.record, ToyRecord(4, 0, 0));
    // Header bytes: magic, program, version, record size, frame size.
    std::string bytes = ReadAll(path);
    EXPECT_EQ(bytes.substr(0, 8), std::string("RUNARCH\n"));
    EXPECT_EQ(bytes.substr(8, 16), std::string("Toy") + std::string(13, '\0'));
    EXPECT_EQ(bytes[24], 1);
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);
    EXPECT_EQ(static_cast<unsigned char>(bytes[32]), 44);

    struct Case { std::int64_t step; std::optional<std::size_t> frame; };
    for (Case c : {Case{-1, std::nullopt}, Case{0, 0}, Case{4, 0}, Case{5, 2}, Case{9, 2}, Case{10, 3},
                   Case{(1LL << 40) - 1, 3}, Case{1LL << 40, 4}, Case{1LL << 62, 4}})
        EXPECT_EQ(a.FindStep(c.step), c.frame) << c.step;
}

// A run killed while writing its last frame, or earlier: every cut in the
// last two frames leaves the whole frames before it, with a warning naming
// the bytes left out; the next append writes over them.
TEST(RunArchiveTest, CutAtEveryByteOfTheLastTwoFrames) {
    TempDir dir("run-archive");
    std::string path = MakeRun(dir, 4);
    const std::string whole = ReadAll(path);
    const std::size_t frame = kToy.FrameSize();
    std::string cut = dir.Path("cut.toyrun");
    for (std::size_t size = kRunHeaderSize + 2 * frame; size < whole.size(); ++size) {
        WriteAll(cut, whole.substr(0, size));
        std::size_t good = (size - kRunHeaderSize) / frame;
        std::uint64_t leftOut = size - RunArchive::FrameOffset(kToy, good);
        {
            RunArchive a(cut, kToy);
            ASSERT_EQ(a.Count(), good) << size;
            EXPECT_EQ(a.BytesLeftOut(), leftOut);
            if (leftOut > 0)
                EXPECT_NE(a.Warning().find("the last " + std::to_string(leftOut) + " bytes"), std::string::npos)
                    << a.Warning();
            else
                EXPECT_TRUE(a.Warning().empty());
        }
        RunArchiveWriter w = RunArchiveWriter::Append(cut, kToy);
        EXPECT_EQ(w.Warning().empty(), leftOut == 0);
        RunArchive before(cut, kToy);
        RunFrame last = before.Frame(good - 1);
        ToyReplay().advance(last.record, last.switches, 1);
        w.Add(last.step + 1, last.switches, last.record.data());
        w.Close();
        std::string after = ReadAll(cut);
        ASSERT_EQ(after.size(), kRunHeaderSize + (good + 1) * frame) << size;
        EXPECT_EQ(after, whole.substr(0, after.size())) << size;  // good frames unchanged, the next one rewritten
        EXPECT_TRUE(VerifyRun(RunArchive(cut, kToy), ToyReplay()).ok);
    }
}

// One flipped bit in each field of a frame: the last frame is left out, a
// frame before it is an error naming it, and salvage reads up to it.
TEST(RunArchiveTest, AFlippedBitInEachFieldOfAFrame) {
    TempDir dir("run-archive");
    std::string path = MakeRun(dir, 4);
    const std::string whole = ReadAll(path);
    const std::size_t frame = kToy.FrameSize();
    struct Field { const char* name; std::size_t offset; };
    const Field fields[] = {{"step", 3}, {"switches", 9}, {"record", 16 + 17}, {"crc", 16 + 24 + 2}};
    std::string bad = dir.Path("bad.toyrun");
    for (const Field& field : fields) {
        for (std::size_t k : {std::size_t{3}, std::size_t{1}}) {
            std::string bytes = whole;
            std::uint64_t at = RunArchive::FrameOffset(kToy, k);
            bytes[at + field.offset] = static_cast<char>(bytes[at + field.offset] ^ 0x10);
            WriteAll(bad, bytes);
            SCOPED_TRACE(std::string(field.name) + " of frame " + std::to_string(k));
            if (k == 3) {
                RunArchive a(bad, kToy);
                EXPECT_EQ(a.Count(), 3u);
                EXPECT_NE(a.Warning().find("the last " + std::to_string(frame) + " bytes (from offset " +
                                           std::to_string(at)),
                          std::string::npos)
                    << a.Warning();
                continue;
            }
            RunArchive a(bad, kToy);  // opening looks at the end only
            EXPECT_EQ(a.Count(), 4u);
            std::string damaged = "'" + bad + "': frame 1 (offset " + std::to_string(at) +
                                  ") is damaged: its CRC-32C does not match";
            EXPECT_EQ(ErrorText([&] { a.Frame(1); }), damaged);
            RunVerifyResult v = VerifyRun(a, ToyReplay());
            EXPECT_FALSE(v.ok);
            EXPECT_EQ(v.frame, 1u);
            EXPECT_EQ(v.text, damaged);
            RunArchive salvaged(bad, kToy, true);
            EXPECT_EQ(salvaged.Count(), 1u);
            EXPECT_NE(salvaged.Warning().find("from offset " + std::to_string(at)), std::string::npos);
        }
    }
}

TEST(RunArchiveTest, ThePreviousFrameDamagedToo) {
    TempDir dir("run-archive");
    std::string path = MakeRun(dir, 4);
    std::string bytes = ReadAll(path);
    for (std::size_t k : {2, 3}) bytes[RunArchive::FrameOffset(kToy, k) + 20] ^= 1;
    WriteAll(path, bytes);
    EXPECT_EQ(ErrorText([&] { RunArchive a(path, kToy); }),
              "'" + path + "': frame 2 (offset " + std::to_string(RunArchive::FrameOffset(kToy, 2)) +
                  ") is damaged: its CRC-32C does not match");
    EXPECT_EQ(RunArchive(path, kToy, true).Count(), 2u);
}

// What is not an archive of the program is refused with the reason, and
// never written.
TEST(RunArchiveTest, RefusalsNameTheFileAndTheReason) {
    TempDir dir("run-archive");
    std::string good = MakeRun(dir, 2);
    std::string other = dir.Path("other.run");
    RunArchiveWriter::Create(other, kOther).Close();
    std::string wide = dir.Path("wide.run");
    RunArchiveWriter::Create(wide, RunArchiveKind{"Toy", 30}).Close();
    std::string text = dir.Path("notes.txt");
    WriteAll(text, "some notes that are no archive at all, longer than a header of sixty-four bytes");
    std::string newer = dir.Path("newer.run");
    std::string bytes = ReadAll(good);
    bytes[24] = 2;
    WriteAll(newer, bytes);
    std::string header = dir.Path("header.run");
    bytes = ReadAll(good);
    bytes[40] ^= 4;
    WriteAll(header, bytes);
    std::string shortHeader = dir.Path("short.run");
    WriteAll(shortHeader, ReadAll(good).substr(0, 30));

    struct Case { std::string path, text; };
    const Case cases[] = {
        {text, "'" + text + "' is not a run archive"},
        {other, "'" + other + "' is a Other run archive, not a Toy one"},
        {newer, "'" + newer + "' has run archive format version 2, newer than this program reads (1)"},
        {wide, "'" + wide + "' holds records of 30 bytes, not the 24 of a Toy document"},
        {header, "'" + header + "' is a run archive with a damaged header"},
        {shortHeader, "'" + shortHeader + "' is a run archive cut short in its header"},
    };
    for (const Case& c : cases) {
        std::string before = ReadAll(c.path);
        EXPECT_EQ(ErrorText([&] { RunArchive a(c.path, kToy); }), c.text);
        EXPECT_EQ(ErrorText([&] { RunArchiveWriter::Append(c.path, kToy); }), c.text);
        EXPECT_EQ(ErrorText([&] { RunArchiveWriter::Create(c.path, kToy); }), c.text + "; it is left as it is");
        EXPECT_EQ(ReadAll(c.path), before) << c.path;
    }
    EXPECT_EQ(ErrorText([&] { RunArchive a(dir.Path("missing.run"), kToy); }), "File not found");
    // An archive of the program is replaced by a new one.
    RunArchiveWriter::Create(good, kToy).Close();
    EXPECT_EQ(RunArchive(good, kToy).Count(), 0u);
}

// A write that fails keeps every frame before it; so does a read-only folder
// or archive, which is never written.
TEST(RunArchiveTest, FailedWritesKeepTheFramesBefore) {
    TempDir dir("run-archive");
    std::string path = dir.Path("full.toyrun");
    RunSyncSeam seam;
    int writes = 0;
    seam.write = [&](int fd, const void* p, std::size_t n, off_t o) -> ssize_t {
        if (++writes > 3) {
            // Half a frame, then the disk is full.
            if (writes == 4) return ::pwrite(fd, p, n / 2, o);
            errno = ENOSPC;
            return -1;
        }
        return ::pwrite(fd, p, n, o);
    };
    RunArchiveWriter w = RunArchiveWriter::Create(path, kToy, 2.0, seam);
    w.Add(0, SwitchBytes{}, ToyRecord(1, 2, 3).data());
    w.Add(1, SwitchBytes{}, ToyRecord(4, 5, 6).data());
    EXPECT_EQ(ErrorText([&] { w.Add(2, SwitchBytes{}, ToyRecord(7, 8, 9).data()); }),
              "cannot write '" + path + "': Disk full");
    w.Close();
    RunArchive a(path, kToy);
    EXPECT_EQ(a.Count(), 2u);
    EXPECT_TRUE(a.Warning().empty());
    EXPECT_EQ(a.Frame(1).record, ToyRecord(4, 5, 6));

    std::string folder = dir.Path("locked");
    std::filesystem::create_directory(folder);
    std::string inside = MakeRun(dir, 2, "locked/run.toyrun");
    std::string before = ReadAll(inside);
    ::chmod(inside.c_str(), 0444);
    EXPECT_EQ(ErrorText([&] { RunArchiveWriter::Append(inside, kToy); }),
              "cannot write '" + inside + "': File access denied");
    ::chmod(folder.c_str(), 0555);
    EXPECT_EQ(ErrorText([&] { RunArchiveWriter::Create(folder + "/new.toyrun", kToy); }),
              "cannot write '" + folder + "/new.toyrun': File access denied");
    EXPECT_EQ(ReadAll(inside), before);
    EXPECT_FALSE(std::filesystem::exists(folder + "/new.toyrun"));
}

// Syncs at most every N seconds while frames come, and at the end; a sync
// that fails is reported.
TEST(RunArchiveTest, SyncsOnTheScheduleAndAtTheEnd) {
    TempDir dir("run-archive");
    std::chrono::steady_clock::time_point now{};
    std::vector<double> syncedAt;
    bool failSync = false;
    RunSyncSeam seam;
    seam.now = [&] { return now; };
    seam.sync = [&](int) {
        if (failSync) {
            errno = EIO;
            return -1;
        }
        syncedAt.push_back(std::chrono::duration<double>(now.time_since_epoch()).count());
        return 0;
    };
    RunArchiveWriter w = RunArchiveWriter::Create(dir.Path("s.toyrun"), kToy, 2.0, seam);
    for (int k = 0; k < 11; ++k) {  // a frame every 0.75 s
        w.Add(k, SwitchBytes{}, ToyRecord(k, 0, 0).data());
        now += std::chrono::milliseconds(750);
    }
    EXPECT_EQ(syncedAt, (std::vector<double>{2.25, 4.5, 6.75}));
    w.Close();
    EXPECT_EQ(syncedAt.size(), 4u);
    EXPECT_EQ(w.Syncs(), 4u);

    RunArchiveWriter e = RunArchiveWriter::Create(dir.Path("e.toyrun"), kToy, 0.0, seam);
    failSync = true;
    EXPECT_EQ(ErrorText([&] { e.Add(0, SwitchBytes{}, ToyRecord(0, 0, 0).data()); }),
              "cannot write '" + dir.Path("e.toyrun") + "': I/O error 5");
    failSync = false;
}

// The recorder writes the start, every K-th step, the last step, and the
// state before a step whose parameter or switches changed; any step is then
// recomputed exactly, and verification replays every span.
TEST(RunArchiveTest, RecordReplayAndVerify) {
    TempDir dir("run-archive");
    std::string path = dir.Path("r.toyrun");
    RunReplay replay = ToyReplay();
    std::vector<std::vector<unsigned char>> direct;  // the state of every step, run directly
    {
        RunRecorder rec(RunArchiveWriter::Create(path, kToy), 4, replay.computed);
        auto r = ToyRecord(0, 0, 1);
        SwitchBytes sw{};
        rec.Start(0, r.data(), sw);
        direct.push_back(r);
        for (std::int64_t step = 1; step <= 11; ++step) {
            if (step == 6) Put(r.data() + 16, 3);  // the parameter set before step 6
            if (step == 9) sw[0] = 1;              // a switch before step 9
            replay.advance(r, sw, 1);
            direct.push_back(r);
            rec.Record(step, r.data(), sw);
        }
        rec.Finish();
    }
    RunArchive a(path, kToy);
    std::vector<std::int64_t> steps;
    for (std::size_t k = 0; k < a.Count(); ++k) steps.push_back(a.StepOf(k));
    EXPECT_EQ(steps, (std::vector<std::int64_t>{0, 4, 5, 8, 8, 11}));
    // A state comes with the parameter in force for the step after it.
    for (std::int64_t step = 0; step <= 11; ++step) {
        RunFrame f = RunStateAt(a, step, replay);
        std::vector<unsigned char> expected = direct[static_cast<std::size_t>(step)];
        Put(expected.data() + 16, step >= 5 ? 3 : 1);
        EXPECT_EQ(f.record, expected) << step;
        EXPECT_EQ(f.switches[0], step >= 8 ? 1 : 0) << step;
    }
    EXPECT_TRUE(VerifyRun(a, replay).ok);

    // A frame whose content is wrong but whose CRC is right.
    std::string forged = dir.Path("forged.toyrun");
    {
        RunArchiveWriter w = RunArchiveWriter::Create(forged, kToy);
        for (std::size_t k = 0; k < a.Count(); ++k) {
            RunFrame f = a.Frame(k);
            if (k == 3) f.record[0] ^= 1;
            w.Add(f.step, f.switches, f.record.data());
        }
    }
    RunVerifyResult v = VerifyRun(RunArchive(forged, kToy), replay);
    EXPECT_FALSE(v.ok);
    EXPECT_EQ(v.frame, 3u);
    EXPECT_EQ(v.step, 8);
    EXPECT_NE(v.text.find("differs from its replay"), std::string::npos);
    EXPECT_NE(ErrorText([&] { RunStateAt(a, -1, replay); }).find("holds no state at step -1"), std::string::npos);
}

}  // namespace
}  // namespace common

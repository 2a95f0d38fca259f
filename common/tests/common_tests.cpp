#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <utility>

#include "common/canvas.h"
#include "common/errors.h"
#include "common/ext80.h"
#include "common/fileio.h"
#include "common/fpcheck.h"
#include "common/numtext.h"

namespace common {
namespace {

TEST(ExtendedCodec, DocumentedImagesAndRoundTrip) {
    unsigned char b[10];
    EncodeExt(1.0L, b);
    const unsigned char one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
    EXPECT_EQ(0, std::memcmp(b, one, 10));
    EncodeExt(0.001L, b);
    const unsigned char milli[10] = {0x3B, 0xDF, 0x4F, 0x8D, 0x97, 0x6E, 0x12, 0x83, 0xF5, 0x3F};
    EXPECT_EQ(0, std::memcmp(b, milli, 10));

    // Any 10-byte image comes back unchanged, NaN payloads and denormals included.
    std::mt19937_64 rng(1);
    for (int i = 0; i < 1000; ++i) {
        unsigned char in[10], out[10];
        for (auto& c : in) c = static_cast<unsigned char>(rng());
        EncodeExt(DecodeExt(in), out);
        ASSERT_EQ(0, std::memcmp(in, out, 10));
    }
}

TEST(NumberText, GeneralFormWithFifteenDigits) {
    EXPECT_EQ("0,001", FormatReal(0.001L, ','));
    EXPECT_EQ("0,01", FormatReal(0.01L, ','));
    EXPECT_EQ("1,5E-7", FormatReal(1.5e-7L, ','));
    EXPECT_EQ("1E20", FormatReal(1e20L, ','));
    EXPECT_EQ("-2,718", FormatReal(-2.718L, ','));
    EXPECT_EQ("0,00001", FormatReal(0.00001L, ','));
    EXPECT_EQ("9,9E-6", FormatReal(0.0000099L, ','));
    EXPECT_EQ("123456789012345", FormatReal(123456789012345.0L, ','));
    EXPECT_EQ("1E15", FormatReal(1e15L, ','));
    EXPECT_EQ("1E15", FormatReal(999999999999999.9L, ','));  // rounds up to 16 digits
    EXPECT_EQ("0,333333333333333", FormatReal(1.0L / 3, ','));
    EXPECT_EQ("0.212", FormatReal(0.212L, '.'));
    EXPECT_EQ("30", FormatReal(30.0L, '.'));
    EXPECT_EQ("0", FormatReal(0.0L, '.'));
    EXPECT_EQ("NAN", FormatReal(NAN, '.'));
    EXPECT_EQ("-INF", FormatReal(-INFINITY, '.'));
}

TEST(NumberText, ParsingIsExactAndReportsTheWholeText) {
    EXPECT_EQ(0.001L, ParseReal("0,001", ','));
    EXPECT_EQ(0.001L, ParseReal(" 0.001 ", '.'));
    EXPECT_EQ(-1.5e-7L, ParseReal("-1,5E-7", ','));
    EXPECT_EQ(1e20L, ParseReal("1e+20", ','));
    EXPECT_EQ(5.0L, ParseReal("5,", ','));
    EXPECT_EQ(0.5L, ParseReal(",5", ','));
    for (const char* bad : {"", " ", "0.001", "1,2,3", "abc", "1e", "--1", "1 2", ",", "e5", "1e99999", "NAN"}) {
        try {
            ParseReal(bad, ',');
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const ConvertError& e) {
            EXPECT_EQ(std::string("'") + bad + "' is not a valid floating point value", e.what());
        }
    }
    // What is shown reads back as the value shown.
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> d(-1e6, 1e6);
    for (int i = 0; i < 500; ++i) {
        long double v = static_cast<long double>(d(rng)) / 7.0L;
        std::string t = FormatReal(v, ',');
        EXPECT_EQ(t, FormatReal(ParseReal(t, ','), ','));
    }
}

TEST(NumberText, WholeNumbers) {
    EXPECT_EQ(42, ParseInt("42"));
    EXPECT_EQ(-7, ParseInt(" -7 "));
    EXPECT_EQ(2147483647, ParseInt("2147483647"));
    EXPECT_EQ(-2147483647 - 1, ParseInt("-2147483648"));
    for (const char* bad : {"", "1.5", "1,5", "2147483648", "x", "+", "99999999999999999999"}) {
        try {
            ParseInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const ConvertError& e) {
            EXPECT_EQ(std::string("'") + bad + "' is not a valid integer value", e.what());
        }
    }
}

TEST(FloatingPoint, RoundingToPixels) {
    EXPECT_EQ(362, Round64(362.5L));
    EXPECT_EQ(144, Round64(144.5L));
    EXPECT_EQ(392, Round64(392.5L));
    EXPECT_EQ(-2, Round64(-2.5L));
    EXPECT_EQ(7, Round64(6.6L));
    EXPECT_EQ(1, Round32(4294967297.0L));  // wraps beyond 32 bits
    for (long double bad : {9223372036854775808.0L, -9223372036854775808.0L, static_cast<long double>(NAN),
                            static_cast<long double>(INFINITY)}) {
        try {
            Round64(bad);
            ADD_FAILURE();
        } catch (const FloatError& e) {
            EXPECT_STREQ("Invalid floating point operation", e.what());
        }
    }
}

TEST(FloatingPoint, FlagsGiveTheStandardTexts) {
    volatile long double zero = 0, big = 1e4000L, minus = -1;
    ClearFpFlags();
    volatile long double r = 1.0L / zero;
    (void)r;
    EXPECT_THROW(CheckFp(), FloatError);
    EXPECT_STREQ("Floating point division by zero", FpFaultText(FpFaults()));
    ClearFpFlags();
    r = std::log(static_cast<long double>(minus));
    EXPECT_STREQ("Invalid floating point operation", FpFaultText(FpFaults()));
    ClearFpFlags();
    r = big * big;
    EXPECT_STREQ("Floating point overflow", FpFaultText(FpFaults()));
    ClearFpFlags();
    r = 1e-4000L * 1e-4000L;  // underflow is silent
    EXPECT_NO_THROW(CheckFp());
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/sphaeron-common-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        chmod(dir_.c_str(), 0755);
        std::filesystem::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    static void Write(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }
    static std::string FileError(const std::function<void()>& f) {
        try {
            f();
        } catch (const common::FileError& e) {
            return e.what();
        }
        return "";
    }
    std::string dir_;
};

TEST_F(TempDir, RecordsReadOnlyAndShortFilesFail) {
    Write(Path("rec"), "0123456789");
    char buf[10];
    chmod(Path("rec").c_str(), 0444);
    ReadRecord(Path("rec"), buf, 10);  // read-only file opens
    EXPECT_EQ(0, std::memcmp(buf, "0123456789", 10));
    EXPECT_EQ("Read beyond end of file", FileError([&] { ReadRecord(Path("rec"), buf, 11); }));
    EXPECT_EQ("File not found", FileError([&] { ReadRecord(Path("none"), buf, 1); }));
    EXPECT_EQ("File not found", FileError([&] { ReadRecord(Path("no/such"), buf, 1); }));
    EXPECT_EQ("File access denied", FileError([&] { ReadRecord(dir_, buf, 1); }));
    EXPECT_EQ("Invalid filename", FileError([&] { ReadRecord(Path(std::string(300, 'a')), buf, 1); }));
    EXPECT_FALSE(CanOpenForRead(Path("none")));
    EXPECT_FALSE(CanOpenForRead(dir_));
    EXPECT_TRUE(CanOpenForRead(Path("rec")));
}

TEST_F(TempDir, AtomicWritesLeaveThePreviousFileOnFailure) {
    WriteFileAtomic(Path("doc"), std::string("first"));
    WriteFileAtomic(Path("doc"), std::string("second"));
    EXPECT_EQ("second", ReadWholeFile(Path("doc")));

    chmod(Path("doc").c_str(), 0444);
    EXPECT_EQ("File access denied", FileError([&] { WriteFileAtomic(Path("doc"), std::string("third")); }));
    EXPECT_EQ("second", ReadWholeFile(Path("doc")));

    EXPECT_EQ("File not found", FileError([&] { WriteFileAtomic(Path("missing/doc"), std::string("x")); }));
    EXPECT_EQ("Invalid filename", FileError([&] { WriteFileAtomic(Path(std::string(300, 'b')), std::string("x")); }));
    chmod(dir_.c_str(), 0555);
    EXPECT_EQ("File access denied", FileError([&] { WriteFileAtomic(Path("new"), std::string("x")); }));
    chmod(dir_.c_str(), 0755);
    // No temporary files are left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(1, files);
}

// A link stays a link: the write replaces the file it names, whether that
// exists or not, and a pipe or device is written where it is.
TEST_F(TempDir, AtomicWritesThroughLinksKeepTheLink) {
    std::filesystem::create_directory(Path("real"));
    WriteFileAtomic(Path("real/doc"), std::string("first"));
    std::filesystem::create_symlink("real/doc", Path("link"));
    std::filesystem::create_symlink(Path("real/new"), Path("dangling"));
    WriteFileAtomic(Path("link"), std::string("second"));
    WriteFileAtomic(Path("dangling"), std::string("third"));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link")));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("dangling")));
    EXPECT_EQ("second", ReadWholeFile(Path("real/doc")));
    EXPECT_EQ("third", ReadWholeFile(Path("real/new")));
    WriteFileAtomic("/dev/null", std::string("gone"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(TempDir, FullDiskReportsDiskFullAndKeepsThePreviousFile) {
    WriteFileAtomic(Path("doc"), std::string(100, 'a'));
    // A file size limit stands in for a full disk; the child reports through
    // its exit code: 0 for the right text, 1 for any other outcome.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {50, 50};
        setrlimit(RLIMIT_FSIZE, &lim);
        try {
            WriteFileAtomic(Path("doc"), std::string(6296, 'b'));
        } catch (const common::FileError& e) {
            _exit(std::string(e.what()) == "Disk full" ? 0 : 1);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(std::string(100, 'a'), ReadWholeFile(Path("doc")));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(1, files);
}

// Puts in a sync step for the life of the scope.
struct SyncStepScope {
    explicit SyncStepScope(SyncStep step) : previous(SetSyncStep(std::move(step))) {}
    ~SyncStepScope() { SetSyncStep(std::move(previous)); }
    SyncStep previous;
};

// The sync step of the write, seen from inside: it runs while the target
// still holds the old content and the staging file the new, and a failure
// there keeps the old file and reports the reason.
TEST_F(TempDir, AtomicWriteSyncsTheNewContentBeforeTheRenameAndAFailedSyncKeepsTheOldFile) {
    WriteFileAtomic(Path("doc"), std::string("old"));
    struct Seen {
        int calls = 0;
        std::string target, staged;
    } seen;
    int fail = 0;
    SyncStepScope sync([&](int fd) {
        ++seen.calls;
        seen.target = ReadWholeFile(Path("doc"));
        for (auto& e : std::filesystem::directory_iterator(dir_))
            if (e.path().filename().string().rfind(".sphaeron-", 0) == 0) seen.staged = ReadWholeFile(e.path());
        return fail ? fail : ::fsync(fd);
    });

    WriteFileAtomic(Path("doc"), std::string("new"));
    EXPECT_EQ(1, seen.calls);
    EXPECT_EQ("old", seen.target);
    EXPECT_EQ("new", seen.staged);
    EXPECT_EQ("new", ReadWholeFile(Path("doc")));

    for (auto [err, text] : {std::pair{EIO, "I/O error 5"}, std::pair{ENOSPC, "Disk full"}}) {
        fail = err;
        EXPECT_EQ(text, FileError([&] { WriteFileAtomic(Path("doc"), std::string("lost")); }));
        EXPECT_EQ("new", ReadWholeFile(Path("doc")));
    }
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(1, files);
}

TEST(FileErrors, TextsByCause) {
    EXPECT_EQ("Too many open files", FileErrorText(EMFILE));
    EXPECT_EQ("Disk full", FileErrorText(ENOSPC));
    EXPECT_EQ("I/O error 5", FileErrorText(EIO));
}

std::set<std::pair<int, int>> Line(int x0, int y0, int x1, int y1) {
    MemoryCanvas c(40, 40);
    c.SetPenColor(kWhite);
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
    EXPECT_EQ(x1, c.PenX());
    std::set<std::pair<int, int>> px;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            if (c.Pixel(x, y) == kWhite) px.insert({x, y});
    return px;
}

TEST(CanvasLines, StartSetEndNotTiesToTheSmallerCoordinate) {
    EXPECT_EQ((std::set<std::pair<int, int>>{{0, 0}, {1, 0}}), Line(0, 0, 2, 1));
    EXPECT_EQ((std::set<std::pair<int, int>>{{2, 1}, {1, 0}}), Line(2, 1, 0, 0));
    EXPECT_EQ((std::set<std::pair<int, int>>{{5, 5}, {5, 6}, {5, 7}}), Line(5, 5, 5, 8));
    EXPECT_TRUE(Line(3, 3, 3, 3).empty());
    // Backwards: the same pixels apart from the two ends.
    for (auto [x0, y0, x1, y1] : {std::array{1, 2, 30, 17}, std::array{4, 30, 9, 1}, std::array{0, 0, 25, 25}}) {
        auto f = Line(x0, y0, x1, y1), b = Line(x1, y1, x0, y0);
        f.erase({x0, y0});
        b.erase({x1, y1});
        EXPECT_EQ(f, b);
    }
}

TEST(CanvasLines, HugeCoordinatesAreClippedWithoutWalkingTheLine) {
    MemoryCanvas c(10, 10);
    c.SetPenColor(kRed);
    c.MoveTo(-2000000000, 5);
    c.LineTo(2000000000, 5);
    EXPECT_EQ(10, c.Count(kRed));
    c.SetBrushColor(kAqua);
    c.FillRect(-5, -5, 3, 2);
    EXPECT_EQ(6, c.Count(kAqua));
}

}  // namespace
}  // namespace common

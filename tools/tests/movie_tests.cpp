// The movies of sphaeron-run and duoplex-run, read back with ffmpeg and
// ffprobe: lossless frames are the --png pictures of the same states, the
// MP4 is what players take, the GIF opens, and every failure says why and
// leaves no file. Tests that need ffmpeg skip without it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QImage>
#include <QImageReader>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/movie.h"
#include "tests/support/temp_dir.h"

namespace {

struct Result {
    int code;
    std::string out;  // stdout and stderr
};

Result Shell(const std::string& command) {
    Result r{-1, ""};
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Examples() {
    const char* e = std::getenv("SPHAERON_EXAMPLES");
    return e ? e : SPHAERON_EXAMPLES_DEFAULT;
}

bool HaveFfmpeg() { return !common::FindProgram("ffmpeg").empty() && !common::FindProgram("ffprobe").empty(); }

#define NEED_FFMPEG() \
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed (Debian package ffmpeg)"

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The frames of a movie decoded to rgb24, one string each.
std::vector<std::string> DecodedFrames(const std::string& movie, int width, int height) {
    std::string raw = movie + ".raw";
    Result r = Shell("ffmpeg -v error -i '" + movie + "' -f rawvideo -pix_fmt rgb24 -y '" + raw + "'");
    EXPECT_EQ(0, r.code) << r.out;
    std::string bytes = ReadAll(raw);
    std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    std::vector<std::string> frames;
    for (std::size_t at = 0; at + size <= bytes.size(); at += size) frames.push_back(bytes.substr(at, size));
    EXPECT_EQ(0u, bytes.size() % size);
    return frames;
}

// A PNG's pixels as rgb24, read by Qt (not by ffmpeg).
std::string PngRgb(const std::string& png) {
    QImage image = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB888);
    std::string out;
    for (int y = 0; y < image.height(); ++y)
        out.append(reinterpret_cast<const char*>(image.constScanLine(y)), static_cast<std::size_t>(image.width()) * 3);
    return out;
}

// "key=value" lines of ffprobe for the first video stream.
std::string Probe(const std::string& movie) {
    return Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=codec_name,width,height,pix_fmt,nb_read_frames -of default=nw=1 '" + movie + "'")
        .out;
}

// Names in the folder (the inputs of a test live elsewhere).
std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

TEST(Movie, LosslessFramesAreThePngPicturesOfTheSameStates) {
    NEED_FFMPEG();
    testsupport::TempDir dir("movie");
    const std::string view = " --mode 1 --numbers --view 0.3,-0.2,0.1 --scale 100 --shift 10,-4 --size 401,233";
    const std::string doc = Examples() + "/shell_mode1.ato";
    Result r = Shell(SPHAERON_RUN_PATH " " + doc + " --steps 60 --movie-every 20 --movie " + dir.Path("m.mkv") + view);
    ASSERT_EQ(0, r.code) << r.out;
    std::vector<std::string> frames = DecodedFrames(dir.Path("m.mkv"), 401, 233);
    ASSERT_EQ(4u, frames.size());
    for (int k = 0; k <= 3; ++k) {
        std::string png = dir.Path("p" + std::to_string(k) + ".png");
        ASSERT_EQ(0, Shell(SPHAERON_RUN_PATH " " + doc + " --steps " + std::to_string(20 * k) + " --png " + png + view).code);
        EXPECT_TRUE(frames[static_cast<std::size_t>(k)] == PngRgb(png)) << "frame " << k;
    }
    EXPECT_NE(frames.front(), frames.back());  // the taons moved
}

TEST(Movie, Mp4IsH264Yuv420pPaddedToEvenSizes) {
    NEED_FFMPEG();
    testsupport::TempDir dir("movie");
    Result r = Shell(SPHAERON_RUN_PATH " " + Examples() + "/lattice100.ato --steps 25 --movie-every 5 --fps 10 --size 301,151"
                   " --movie " + dir.Path("m.mp4"));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_EQ("codec_name=h264\nwidth=302\nheight=152\npix_fmt=yuv420p\nnb_read_frames=6\n", Probe(dir.Path("m.mp4")));

    // Duoplex's field is 495 wide.
    r = Shell(DUOPLEX_RUN_PATH " --config F_PE --steps 30 --movie-every 10 --movie " + dir.Path("d.mp4"));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_EQ("codec_name=h264\nwidth=496\nheight=526\npix_fmt=yuv420p\nnb_read_frames=4\n", Probe(dir.Path("d.mp4")));
}

TEST(Movie, GifOpens) {
    NEED_FFMPEG();
    testsupport::TempDir dir("movie");
    Result r = Shell(SPHAERON_RUN_PATH " " + Examples() + "/lattice100.ato --steps 4 --numbers --movie " + dir.Path("m.gif"));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_EQ("codec_name=gif\nwidth=725\nheight=289\npix_fmt=bgra\nnb_read_frames=5\n", Probe(dir.Path("m.gif")));
    if (QImageReader::supportedImageFormats().contains("gif")) {
        QImageReader reader(QString::fromStdString(dir.Path("m.gif")));
        QImage first = reader.read();
        EXPECT_EQ(QSize(725, 289), first.size()) << reader.errorString().toStdString();
    }
}

// Duoplex draws every step in turn and writes every K-th picture: the same
// pictures as a movie of every step, taken every K-th.
TEST(Movie, DuoplexEveryKthFrameIsTheFrameOfThatStep) {
    NEED_FFMPEG();
    testsupport::TempDir dir("movie");
    const std::string run = DUOPLEX_RUN_PATH " --config F_PES_Swi --steps 120 --movie ";
    ASSERT_EQ(0, Shell(run + dir.Path("all.mkv")).code);
    ASSERT_EQ(0, Shell(run + dir.Path("some.mkv") + " --movie-every 40").code);
    std::vector<std::string> all = DecodedFrames(dir.Path("all.mkv"), 495, 526);
    std::vector<std::string> some = DecodedFrames(dir.Path("some.mkv"), 495, 526);
    ASSERT_EQ(121u, all.size());
    ASSERT_EQ(4u, some.size());
    for (std::size_t k = 0; k < some.size(); ++k) EXPECT_TRUE(some[k] == all[40 * k]) << "frame " << k;
    EXPECT_NE(all.front(), all.back());
}

// Each failure: exit code 2, the reason on stderr, and no file in the folder.
TEST(Movie, FailuresSayWhyAndLeaveNoFile) {
    testsupport::TempDir dir("movie");
    const std::string out = dir.Path("out/m.mp4");
    std::filesystem::create_directory(dir.Path("out"));
    // A stand-in for ffmpeg that fails as a full disk makes it fail.
    const std::string fake = dir.Path("fake-ffmpeg");
    std::ofstream(fake) << "#!/bin/sh\necho 'frame=1 fps=0' >&2\necho 'Error writing trailer: No space left on device' >&2\n"
                           "exit 1\n";
    ::chmod(fake.c_str(), 0755);
    const std::string doc = Examples() + "/easy_square.ato --steps 3 ";
    struct Case {
        const char* name;
        std::string command;
        const char* message;
    } cases[] = {
        {"no ffmpeg", "PATH=/nonexistent " SPHAERON_RUN_PATH " " + doc + "--movie " + out,
         "movies need the ffmpeg program (Debian package ffmpeg), and it is not on the PATH"},
        {"no ffmpeg, duoplex", "PATH=/nonexistent " DUOPLEX_RUN_PATH " --config F_PE --steps 3 --movie " + out,
         "(Debian package ffmpeg)"},
        {"ffmpeg fails", "SPHAERON_FFMPEG=" + fake + " " SPHAERON_RUN_PATH " " + doc + "--movie " + out,
         "ffmpeg failed (exit status 1): Error writing trailer: No space left on device"},
        {"ffmpeg fails, duoplex", "SPHAERON_FFMPEG=" + fake + " " DUOPLEX_RUN_PATH " --config F_PE --steps 3 --movie " + out,
         "No space left on device"},
        {"no folder", SPHAERON_RUN_PATH " " + doc + "--movie " + dir.Path("none/m.mp4"), "File not found"},
        {"not a movie", SPHAERON_RUN_PATH " " + doc + "--movie " + dir.Path("out/m.avi"), "a movie is named .mp4, .gif or .mkv"},
        {"every without movie", SPHAERON_RUN_PATH " " + doc + "--movie-every 3", "need --movie OUT"},
    };
    for (const Case& c : cases) {
        Result r = Shell(c.command);
        EXPECT_EQ(2, r.code) << c.name << ": " << r.out;
        EXPECT_NE(std::string::npos, r.out.find(c.message)) << c.name << ": " << r.out;
        EXPECT_TRUE(Listing(dir.Path("out")).empty()) << c.name;
    }
    // A read-only folder (its permission bits count for a superuser too).
    ::chmod(dir.Path("out").c_str(), 0555);
    Result r = Shell(SPHAERON_RUN_PATH " " + doc + "--movie " + out);
    EXPECT_EQ(2, r.code);
    EXPECT_NE(std::string::npos, r.out.find("cannot write '" + out + "': File access denied")) << r.out;
    EXPECT_TRUE(Listing(dir.Path("out")).empty());
}

}  // namespace

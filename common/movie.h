#pragma once
// Movies of runs: pictures handed as raw RGB frames to the `ffmpeg` program,
// which encodes them in a child process. The output name chooses the format:
// .mp4 (H.264, yuv420p, padded to even sizes), .gif (two palette passes) or
// .mkv (lossless FFV1: the frames decode to the exact pictures).
//
// The programs build and run without ffmpeg; only a movie needs it.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace common {

enum class MovieFormat { Mp4, Gif, Mkv };

// "movies need the ffmpeg program (Debian package ffmpeg), and it is not on the PATH"
extern const char* const kNoFfmpegText;

// The format the name ends in (any case); other names throw AppError
// "'<path>': a movie is named .mp4, .gif or .mkv".
MovieFormat MovieFormatOf(const std::string& path);
bool IsMoviePath(const std::string& path);

struct MovieSettings {
    int width = 0, height = 0;  // of the pictures; odd sizes are padded for .mp4
    double fps = 25;
    int quality = 20;  // H.264 constant rate factor: 0 best .. 51 worst
};

// ffmpeg's arguments after the program name: rgb24 frames on its standard
// input, the movie written to `output` (any name: the format is given).
std::vector<std::string> FfmpegArguments(MovieFormat format, const MovieSettings& settings,
                                         const std::string& output);

// The program's path on the PATH, or empty.
std::string FindProgram(const std::string& name);
// The ffmpeg to run: $SPHAERON_FFMPEG when set (tests), else ffmpeg on the
// PATH; throws AppError kNoFfmpegText when there is none.
std::string FfmpegProgram();

// The last non-empty line of ffmpeg's messages.
std::string LastLine(const std::string& text);
// "ffmpeg failed (exit status N): <last line>" (or "ended by signal N").
std::string FfmpegFailureText(int waitStatus, const std::string& messages);

// A staging file beside the target (".movie-XXXXXX", the target's
// permissions or the usual ones); throws FileError
// "cannot write '<target>': <reason>" when the folder cannot be written or
// the target is a folder or read-only.
std::string MakeMovieStaging(const std::string& target);
// Renames the staging file over the target; removes it and throws on failure.
void CommitMovie(const std::string& staging, const std::string& target);

// RGB bytes (3 per pixel, rows without padding) of 0xRRGGBB pixels.
void RgbBytes(const std::uint32_t* pixels, std::size_t count, unsigned char* out);

// ffmpeg as a child process fed through a pipe. The child's messages go to
// an unnamed temporary file, read when it ends. Frames are written while the
// child encodes the ones before them.
class MovieEncoder {
public:
    // Starts ffmpeg writing `output` (a staging file). Throws AppError
    // kNoFfmpegText, or the failure to start it.
    MovieEncoder(MovieFormat format, const MovieSettings& settings, const std::string& output);
    ~MovieEncoder();  // ends a child that was not finished
    MovieEncoder(const MovieEncoder&) = delete;
    MovieEncoder& operator=(const MovieEncoder&) = delete;

    // One picture of width x height x 3 bytes. When ffmpeg has ended with
    // an error, throws AppError with its reason.
    void Frame(const unsigned char* rgb);
    // Ends the input and waits for ffmpeg; throws AppError with its reason
    // when it failed.
    void Finish();
    // Ends ffmpeg without waiting for the movie.
    void Abort();

    long long Frames() const { return frames_; }

private:
    [[noreturn]] void Failed();
    int Wait();

    std::size_t frameBytes_;
    pid_t child_ = -1;
    int input_ = -1;     // the pipe to ffmpeg's standard input
    int messages_ = -1;  // ffmpeg's standard error
    long long frames_ = 0;
};

}  // namespace common

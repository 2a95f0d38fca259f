#include "tools/movie_options.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "tools/cli_support.h"

namespace tools {

void AddMovieOptions(CLI::App& app, MovieOptions& movie) {
    const char* group = "Movie";
    app.add_option_function<std::string>(
           "--movie",
           [&](const std::string& t) {
               if (!common::IsMoviePath(t))
                   throw CLI::ValidationError("--movie '" + t + "': a movie is named .mp4, .gif or .mkv");
               movie.path = t;
           },
           "record the run as a movie: .mp4 (H.264), .gif or .mkv (lossless); needs ffmpeg")
        ->type_name("OUT")
        ->group(group);
    app.add_option_function<std::string>(
           "--movie-every", [&](const std::string& t) { movie.every = WholeNumber("--movie-every", t, 1, 1LL << 62); },
           "steps between movie frames (1 by default; the start state is the first frame)")
        ->type_name("K")
        ->group(group);
    app.add_option_function<std::string>(
           "--fps",
           [&](const std::string& t) {
               long double fps = Real("--fps", t);
               if (!(fps >= 0.1L && fps <= 1000.0L)) throw CLI::ValidationError("--fps must be 0.1 to 1000, not '" + t + "'");
               movie.fps = static_cast<double>(fps);
           },
           "movie frames per second (25 by default)")
        ->type_name("F")
        ->group(group);
    app.add_option_function<std::string>(
           "--quality",
           [&](const std::string& t) { movie.quality = static_cast<int>(WholeNumber("--quality", t, 0, 51)); },
           ".mp4 quality: 0 (best) .. 51 (worst), 20 by default")
        ->type_name("Q")
        ->group(group);
}

void CheckMovieOptions(const std::string& program, const MovieOptions& movie) {
    MovieOptions plain;
    if (movie.path.empty() && (movie.every != plain.every || movie.fps != plain.fps || movie.quality != plain.quality))
        BadCommandLine(program, "--movie-every, --fps and --quality need --movie OUT");
}

common::MovieSettings SettingsOf(const MovieOptions& movie, int width, int height) {
    common::MovieSettings s;
    s.width = width;
    s.height = height;
    s.fps = movie.fps;
    s.quality = movie.quality;
    return s;
}

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressLine::ProgressLine(long long total)
    : total_(total), terminal_(isatty(STDERR_FILENO) != 0), start_(Now()), last_(start_) {}

void ProgressLine::Done() {
    if (shown_) std::fprintf(stderr, "\r%60s\r", "");
    shown_ = false;
}

void ProgressLine::Update(long long done) {
    if (!terminal_ || total_ <= 0) return;
    double now = Now();
    if (now - last_ < 0.5) return;
    last_ = now;
    shown_ = true;
    double part = static_cast<double>(done) / static_cast<double>(total_);
    long left = done > 0 ? static_cast<long>((now - start_) / part * (1 - part) + 0.5) : 0;
    std::fprintf(stderr, "\rstep %lld of %lld, %3d %%, %ld:%02ld left ", done, total_, static_cast<int>(part * 100),
                 left / 60, left % 60);
    std::fflush(stderr);
}

}  // namespace tools

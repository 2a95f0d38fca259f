#pragma once
// The movie options both runners share: --movie OUT, --movie-every K,
// --fps F and --quality Q.
#include <CLI/CLI.hpp>
#include <string>

#include "common/movie.h"

namespace tools {

struct MovieOptions {
    std::string path;  // empty: no movie
    long long every = 1;
    double fps = 25;
    int quality = 20;
};

// Adds the options to the command line, in a group "Movie".
void AddMovieOptions(CLI::App& app, MovieOptions& movie);
// After parsing: the movie settings without --movie are a bad command line.
void CheckMovieOptions(const std::string& program, const MovieOptions& movie);

common::MovieSettings SettingsOf(const MovieOptions& movie, int width, int height);

// A progress line on stderr while a run goes: "step K of N, P %, M:SS left",
// at most twice a second, and only when stderr is a terminal.
class ProgressLine {
public:
    explicit ProgressLine(long long total);
    ~ProgressLine() { Done(); }
    void Update(long long done);
    // Clears the line.
    void Done();

private:
    long long total_;
    bool shown_ = false;
    bool terminal_;
    double start_, last_;
};

}  // namespace tools

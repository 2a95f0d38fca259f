#pragma once
// The pictures of sphaeron-run: the PNG of the final state and the movie of
// the run, both drawn as the window draws (sphaeron/picture, with Qt).
#include <memory>
#include <string>

#include "sphaeron/core/taon_state.h"
#include "tools/sphaeron_run_options.h"

namespace sphaeron {

// Draws the picture of the options and encodes it as PNG. Returns 0, or 3
// after a fault in the drawing (the partial picture is encoded), or 2 when
// there is no picture (a build without Qt).
int DrawPng(const RunOptions& o, TaonState& state, std::string& png);

// The movie of a run: every K-th committed state drawn with the picture
// options and handed to ffmpeg, which writes the staging file.
class MovieRecorder {
public:
    virtual ~MovieRecorder() = default;
    // The state after `step` steps; a frame when step is a multiple of K,
    // and for the first state recorded (the run's start, also when it
    // resumes at another step).
    // A write failure throws AppError with its reason; a fault in the
    // drawing is reported on stderr, its partial picture is the last frame
    // and the movie ends there.
    virtual void Record(long long step, const TaonState& state) = 0;
    // Waits for the movie; returns 0, or 3 after a fault in the drawing.
    // Throws AppError with the reason when ffmpeg failed.
    virtual int Finish() = 0;
};

// Starts ffmpeg. Throws AppError: no ffmpeg (the text names the package),
// or a build without Qt.
std::unique_ptr<MovieRecorder> StartMovie(const RunOptions& o, const std::string& staging);

}  // namespace sphaeron

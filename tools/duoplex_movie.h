#pragma once
// The movie of a duoplex-run: every step drawn in turn on a field of the
// window's size, as the window draws it (only what moved is redrawn), and
// every K-th picture handed to ffmpeg.
#include <string>
#include <vector>

#include "common/canvas.h"
#include "common/movie.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"
#include "tools/movie_options.h"

namespace duoplex {

class MovieRecorder {
public:
    // Starts ffmpeg writing the staging file; throws AppError (no ffmpeg:
    // the text names the package).
    MovieRecorder(const tools::MovieOptions& movie, FunctionChoice function, bool twoGravons,
                  const std::string& staging);

    // Draws the state after `step` steps; a frame when step is a multiple
    // of K. A write failure throws AppError with its reason; a fault in the
    // drawing is reported on stderr, its partial picture is the last frame
    // and the movie ends there.
    void Record(long long step, const PlanarState& state);
    // Waits for the movie; 0, or 3 after a fault in the drawing. Throws
    // AppError with the reason when ffmpeg failed.
    int Finish();

    const common::MemoryCanvas& Picture() const { return canvas_; }

private:
    // The window's controls as the run has them: Sc1, the function, the
    // gravon count and the A edits showing the state's values.
    class Controls : public SceneControls {
    public:
        FunctionChoice function = FunctionChoice::F_PE;
        bool two = true;
        const PlanarState* state = nullptr;
        bool DoubleScale() const override { return true; }
        bool TwoGravonsChecked() const override { return two; }
        FunctionChoice Function() const override { return function; }
        std::string TypedA(int k) const override;
        void ShowLiveValue(Field, int, const std::string&) override {}
        char DecimalSeparator() const override { return '.'; }
    };

    long long every_;
    Controls controls_;
    // The drawing's own copy of the positions (DrawScene takes A from the
    // edits' texts and keeps the places it drew at); the run's state is
    // left as it is.
    PlanarState drawn_;
    common::MemoryCanvas canvas_{kFieldWidth, kClientHeight};
    common::MovieEncoder encoder_;
    std::vector<unsigned char> frame_;
    bool ended_ = false;
};

}  // namespace duoplex

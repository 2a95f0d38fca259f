#include "tools/duoplex_movie.h"

#include <cstdio>

#include "common/errors.h"
#include "common/numtext.h"

namespace duoplex {

std::string MovieRecorder::Controls::TypedA(int k) const { return common::FormatReal(state->A[k], '.'); }

MovieRecorder::MovieRecorder(const tools::MovieOptions& movie, FunctionChoice function, bool twoGravons,
                             const std::string& staging)
    : every_(movie.every),
      encoder_(common::MovieFormatOf(movie.path), tools::SettingsOf(movie, kFieldWidth, kClientHeight), staging) {
    controls_.function = function;
    controls_.two = twoGravons;
    ClearCanvas(canvas_);
}

void MovieRecorder::Record(long long step, const PlanarState& state) {
    if (ended_) return;
    controls_.state = &state;
    for (int k = 1; k <= kGravons; ++k) {
        drawn_.B[k] = state.B[k];
        drawn_.X[k] = state.X[k];
        drawn_.Y[k] = state.Y[k];
    }
    try {
        DrawScene(drawn_, canvas_, controls_);
        if (step == 0) {
            // The start as the window shows it after a repaint: a clear
            // field, the figures erased where they were last drawn.
            ClearCanvas(canvas_);
            DrawScene(drawn_, canvas_, controls_);
        }
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "step %lld: drawing: %s\n", step, e.what());
        ended_ = true;
    }
    if (!ended_ && step % every_ != 0) return;
    frame_.resize(canvas_.Pixels().size() * 3);
    common::RgbBytes(canvas_.Pixels().data(), canvas_.Pixels().size(), frame_.data());
    encoder_.Frame(frame_.data());
}

int MovieRecorder::Finish() {
    encoder_.Finish();
    return ended_ ? 3 : 0;
}

}  // namespace duoplex

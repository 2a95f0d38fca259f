#include "tools/sphaeron_pictures.h"

#include <cstdio>
#include <vector>

#include "common/errors.h"
#include "common/movie.h"

#ifdef SPHAERON_RUN_WITH_QT
#include "sphaeron/picture/picture.h"
#endif

namespace sphaeron {

#ifdef SPHAERON_RUN_WITH_QT

namespace {

picture::PictureOptions PictureOptionsOf(const RunOptions& o) {
    picture::PictureOptions p;
    p.width = o.width;
    p.height = o.height;
    for (int k = 0; k < 3; ++k) p.view[k] = o.view[k];
    p.scale = o.scale;
    p.shift[0] = o.shift[0];
    p.shift[1] = o.shift[1];
    p.numbers = o.numbers;
    p.mode = o.mode;
    p.stopL = o.stopL;
    p.spiral = o.spiral;
    return p;
}

class QtMovieRecorder : public MovieRecorder {
public:
    QtMovieRecorder(const RunOptions& o, const std::string& staging)
        : every_(o.movie.every),
          view_(picture::OptionsView(PictureOptionsOf(o))),
          switches_(picture::OptionsSwitches(PictureOptionsOf(o))),
          encoder_(common::MovieFormatOf(o.movie.path), tools::SettingsOf(o.movie, o.width, o.height), staging) {}

    void Record(long long step, const TaonState& state) override {
        if (ended_ || (started_ && step % every_ != 0)) return;
        started_ = true;
        try {
            picture::DrawStateScene(state, view_, switches_, image_);
        } catch (const common::AppError& e) {
            std::fprintf(stderr, "step %lld: drawing: %s\n", step, e.what());
            ended_ = true;
        }
        picture::RgbFrame(image_, frame_);
        encoder_.Frame(frame_.data());
    }

    int Finish() override {
        encoder_.Finish();
        return ended_ ? 3 : 0;
    }

private:
    long long every_;
    ViewState view_;
    SceneSwitches switches_;
    common::MovieEncoder encoder_;
    QImage image_;
    std::vector<unsigned char> frame_;
    bool ended_ = false;
    bool started_ = false;
};

}  // namespace

int DrawPng(const RunOptions& o, TaonState& state, std::string& png) {
    picture::EnsureApplication();
    QImage image;
    int code = 0;
    try {
        picture::DrawPicture(state, PictureOptionsOf(o), image);
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "drawing: %s\n", e.what());
        code = 3;
    }
    QByteArray bytes = picture::EncodePng(image);
    if (bytes.isEmpty()) {
        std::fprintf(stderr, "sphaeron-run: the picture could not be encoded as PNG\n");
        return 2;
    }
    png.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return code;
}

std::unique_ptr<MovieRecorder> StartMovie(const RunOptions& o, const std::string& staging) {
    picture::EnsureApplication();
    return std::make_unique<QtMovieRecorder>(o, staging);
}

#else

int DrawPng(const RunOptions& o, TaonState&, std::string&) {
    std::fprintf(stderr, "sphaeron-run: --png '%s' needs the build with Qt\n", o.png.c_str());
    return 2;
}

std::unique_ptr<MovieRecorder> StartMovie(const RunOptions&, const std::string&) {
    throw common::AppError("--movie needs the build with Qt");
}

#endif

}  // namespace sphaeron

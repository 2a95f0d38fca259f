#pragma once
// The picture of a taon state as an image: what `sphaeron-run --png`, the
// Python module and the movies draw, pixel for pixel the window's picture
// for the same view.
#include <QByteArray>
#include <QImage>

#include <vector>

#include "sphaeron/core/taon_state.h"
#include "sphaeron/view/view.h"

namespace sphaeron::picture {

// The view of a picture drawn without a window.
struct PictureOptions {
    int width = kDefaultFormWidth, height = kDefaultPanTop;  // of the drawing area
    long double view[3] = {0, 0, 0};  // view angles (teta, psi, phi); step angles of the spiral
    long double scale = kDefaultViewScale;
    long double shift[2] = {0, 0};
    bool numbers = false;
    int mode = 0;  // 1 the Shelloscope overlays, 2 the Libration line
    bool stopL = false;
    bool spiral = false;  // the spiral figure of the first start instead of the taons
};

// Text needs a Qt application. When the process has none, one on the
// offscreen platform is made and kept for the life of the process; the
// platform setting of the environment is left as it was for anybody else.
void EnsureApplication();

// The view state and the switches the options stand for.
ViewState OptionsView(const PictureOptions& o);
SceneSwitches OptionsSwitches(const PictureOptions& o);

// The taon scene of the state in the given view into the image (made the
// view's size, Format_RGB32, when it is not). A fault in the drawing throws
// AppError and leaves the picture drawn up to it.
void DrawStateScene(const TaonState& state, ViewState& view, const SceneSwitches& switches, QImage& image);

// The picture of the options: the taon scene of the state, or with
// `spiral` the spiral figure (which puts the start structure into the
// state). Throws as DrawStateScene.
void DrawPicture(TaonState& state, const PictureOptions& o, QImage& image);

// The image as PNG bytes; empty when it could not be encoded.
QByteArray EncodePng(const QImage& image);

// The image as a movie frame: 3 bytes (red, green, blue) per pixel, rows
// without padding.
void RgbFrame(const QImage& image, std::vector<unsigned char>& frame);

}  // namespace sphaeron::picture

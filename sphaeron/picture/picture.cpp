#include "sphaeron/picture/picture.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/movie.h"
#include "common/qt/qimage_canvas.h"

namespace sphaeron::picture {

void EnsureApplication() {
    if (QGuiApplication::instance()) return;
    const char* previous = std::getenv("QT_QPA_PLATFORM");
    std::optional<std::string> saved;
    if (previous) saved = previous;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session Qt's notes about the missing runtime folder are
    // noise on the error stream.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtDebugMsg || type == QtInfoMsg || text.startsWith(QLatin1String("QStandardPaths:"))) return;
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    static int argc = 1;
    static char name[] = "sphaeron";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the process
    if (saved)
        qputenv("QT_QPA_PLATFORM", saved->c_str());
    else
        qunsetenv("QT_QPA_PLATFORM");
}

ViewState OptionsView(const PictureOptions& o) {
    ViewState view;
    StartView(view, o.width, o.height);
    view.ViewScale = o.scale;
    view.ShiftX = o.shift[0];
    view.ShiftY = o.shift[1];
    view.ShowNumbers = o.numbers;
    if (o.spiral) {
        view.StepTeta = o.view[0];
        view.StepPsi = o.view[1];
        view.StepPhi = o.view[2];
    } else {
        view.ViewTeta = o.view[0];
        view.ViewPsi = o.view[1];
        view.ViewPhi = o.view[2];
    }
    return view;
}

SceneSwitches OptionsSwitches(const PictureOptions& o) {
    SceneSwitches sw;
    sw.stopL = o.stopL;
    sw.shelloscope = o.mode == 1;
    sw.libration = o.mode == 2;
    sw.DecimalSeparator = ',';  // the panel's texts of the document's group 1
    return sw;
}

namespace {

void PrepareImage(QImage& image, int width, int height) {
    if (image.width() != width || image.height() != height || image.format() != QImage::Format_RGB32)
        image = QImage(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
}

}  // namespace

void DrawStateScene(const TaonState& state, ViewState& view, const SceneSwitches& switches, QImage& image) {
    PrepareImage(image, view.FormWidth, view.PanTop);
    common::QImageCanvas canvas(&image);
    DrawTaonScene(state, view, canvas, switches);
}

void DrawPicture(TaonState& state, const PictureOptions& o, QImage& image) {
    ViewState view = OptionsView(o);
    if (!o.spiral) {
        DrawStateScene(state, view, OptionsSwitches(o), image);
        return;
    }
    PrepareImage(image, o.width, o.height);
    common::QImageCanvas canvas(&image);
    state.SpiralMode = true;
    BuildStartStructure(state, view);
    DrawFigureScene(state, view, canvas);
}

QByteArray EncodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return {};
    return bytes;
}

void RgbFrame(const QImage& image, std::vector<unsigned char>& frame) {
    const auto width = static_cast<std::size_t>(image.width());
    frame.resize(width * static_cast<std::size_t>(image.height()) * 3);
    for (int y = 0; y < image.height(); ++y)
        common::RgbBytes(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), width,
                         frame.data() + static_cast<std::size_t>(y) * width * 3);
}

}  // namespace sphaeron::picture

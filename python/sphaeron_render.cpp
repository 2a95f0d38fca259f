// sphaeron.render: the taon scene of a document as a PNG, drawn as
// `sphaeron-run --png` draws it.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <array>
#include <optional>

#include "common/errors.h"
#include "common/fileio.h"
#include "python/binding_support.h"
#include "python/sphaeron_py.h"
#include "sphaeron/view/view.h"

#ifdef SPHAERON_RENDER_WITH_QT
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <cstdlib>

#include "common/qt/qimage_canvas.h"
#endif

namespace pysphaeron {

namespace {

constexpr int kMaxSide = 16384;

#ifdef SPHAERON_RENDER_WITH_QT
// Text needs a Qt application. When the process has none, one on the
// offscreen platform is made and kept for the life of the process; the
// platform setting of the environment is left as it was for anybody else.
void EnsureApplication() {
    if (QGuiApplication::instance()) return;
    const char* previous = std::getenv("QT_QPA_PLATFORM");
    std::optional<std::string> saved;
    if (previous) saved = previous;
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
#endif

std::array<long double, 3> Reals3(const std::vector<py::object>& v, const char* what) {
    if (v.size() != 3) throw py::value_error(std::string(what) + " needs 3 numbers");
    return {pyext::ToReal(v[0], what), pyext::ToReal(v[1], what), pyext::ToReal(v[2], what)};
}

void Render(Document& d, const std::filesystem::path& file, const std::vector<py::object>& view, py::object scale,
            const std::vector<py::object>& shift, std::pair<int, int> size, int mode, bool stopL, bool numbers) {
#ifdef SPHAERON_RENDER_WITH_QT
    if (mode < 0 || mode > 2) throw py::value_error("mode must be 0, 1 or 2");
    auto [width, height] = size;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        throw py::value_error("size must be 1 to 16384 pixels each way");
    if (shift.size() != 2) throw py::value_error("shift needs 2 numbers");
    std::array<long double, 3> angles = Reals3(view, "view");
    long double s = pyext::ToReal(scale, "scale");
    long double sx = pyext::ToReal(shift[0], "shift"), sy = pyext::ToReal(shift[1], "shift");
    EnsureApplication();

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    common::QImageCanvas canvas(&image);
    sphaeron::ViewState v;
    sphaeron::StartView(v, width, height);
    v.ViewScale = s;
    v.ShiftX = sx;
    v.ShiftY = sy;
    v.ShowNumbers = numbers;
    v.ViewTeta = angles[0];
    v.ViewPsi = angles[1];
    v.ViewPhi = angles[2];
    sphaeron::SceneSwitches sw;
    sw.StopL = stopL;
    sw.RB1 = mode == 1;
    sw.RB2 = mode == 2;
    sw.DecimalSeparator = ',';  // the panel's texts of the document's group 1

    // A fault ends the drawing; the picture drawn up to it is written all
    // the same, and then the fault is raised.
    std::exception_ptr fault;
    {
        std::lock_guard<std::mutex> lock(d.busy);
        pyext::ExactArithmetic exact;
        try {
            sphaeron::DrawTaonScene(d.state, v, canvas, sw);
        } catch (const common::AppError&) {
            fault = std::current_exception();
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw std::runtime_error("the picture could not be encoded");
    common::WriteFileAtomic(file.string(), png.constData(), static_cast<std::size_t>(png.size()));
    if (fault) std::rethrow_exception(fault);
#else
    (void)d, (void)file, (void)view, (void)scale, (void)shift, (void)size, (void)mode, (void)stopL, (void)numbers;
    throw std::runtime_error("render needs the build with Qt");
#endif
}

}  // namespace

void BindRender(py::module_& m) {
    m.def("render", &Render, py::arg("doc"), py::arg("path"),
          py::arg("view") = std::vector<py::object>{py::int_(0), py::int_(0), py::int_(0)},
          py::arg("scale") = py::int_(120), py::arg("shift") = std::vector<py::object>{py::int_(0), py::int_(0)},
          py::arg("size") = std::pair<int, int>{sphaeron::kDefaultFormWidth, sphaeron::kDefaultPanTop},
          py::arg("mode") = 0, py::arg("stopl") = false, py::arg("numbers") = false,
          "Draws the taons as the window does and writes a PNG, as sphaeron-run --png does:\n"
          "view angles (teta, psi, phi) in radians, scale in pixels per length unit, shift in\n"
          "pixels, size (width, height) of the drawing area, mode 1 the Shelloscope overlays,\n"
          "mode 2 the Libration line, stopl the hidden taons, numbers the taon numbers.");
}

}  // namespace pysphaeron

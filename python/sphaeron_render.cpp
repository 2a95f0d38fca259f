// sphaeron.render and sphaeron.render_movie: the taon scene of documents as
// a PNG or a movie, drawn as `sphaeron-run --png` and `--movie` draw it.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <array>
#include <optional>
#include <unistd.h>

#include "common/errors.h"
#include "common/fileio.h"
#include "python/binding_support.h"
#include "python/sphaeron_py.h"
#include "sphaeron/view/view.h"

#include "common/movie.h"

#ifdef SPHAERON_RENDER_WITH_QT
#include "sphaeron/picture/picture.h"
#endif

namespace pysphaeron {

namespace {

constexpr int kMaxSide = 16384;

std::array<long double, 3> Reals3(const std::vector<py::object>& v, const char* what) {
    if (v.size() != 3) throw py::value_error(std::string(what) + " needs 3 numbers");
    return {pyext::ToReal(v[0], what), pyext::ToReal(v[1], what), pyext::ToReal(v[2], what)};
}

#ifdef SPHAERON_RENDER_WITH_QT
// The picture options of the arguments; throws ValueError for bad ones.
sphaeron::picture::PictureOptions Options(const std::vector<py::object>& view, py::object scale,
                                          const std::vector<py::object>& shift, std::pair<int, int> size, int mode,
                                          bool stopL, bool numbers) {
    if (mode < 0 || mode > 2) throw py::value_error("mode must be 0, 1 or 2");
    auto [width, height] = size;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        throw py::value_error("size must be 1 to 16384 pixels each way");
    if (shift.size() != 2) throw py::value_error("shift needs 2 numbers");
    sphaeron::picture::PictureOptions o;
    std::array<long double, 3> angles = Reals3(view, "view");
    for (int k = 0; k < 3; ++k) o.view[k] = angles[static_cast<std::size_t>(k)];
    o.scale = pyext::ToReal(scale, "scale");
    o.shift[0] = pyext::ToReal(shift[0], "shift");
    o.shift[1] = pyext::ToReal(shift[1], "shift");
    o.width = width;
    o.height = height;
    o.mode = mode;
    o.stopL = stopL;
    o.numbers = numbers;
    return o;
}

// Draws the document's state; a fault in the drawing is kept in `fault`
// and leaves the picture drawn up to it.
void DrawDocument(Document& d, const sphaeron::picture::PictureOptions& o, QImage& image, std::exception_ptr& fault) {
    std::lock_guard<std::mutex> lock(d.busy);
    pyext::ExactArithmetic exact;
    try {
        sphaeron::ViewState view = sphaeron::picture::OptionsView(o);
        sphaeron::picture::DrawStateScene(d.state, view, sphaeron::picture::OptionsSwitches(o), image);
    } catch (const common::AppError&) {
        fault = std::current_exception();
    }
}
#endif

void Render(Document& d, const std::filesystem::path& file, const std::vector<py::object>& view, py::object scale,
            const std::vector<py::object>& shift, std::pair<int, int> size, int mode, bool stopL, bool numbers) {
#ifdef SPHAERON_RENDER_WITH_QT
    sphaeron::picture::PictureOptions o = Options(view, scale, shift, size, mode, stopL, numbers);
    sphaeron::picture::EnsureApplication();
    // A fault ends the drawing; the picture drawn up to it is written all
    // the same, and then the fault is raised.
    QImage image;
    std::exception_ptr fault;
    DrawDocument(d, o, image, fault);
    QByteArray png = sphaeron::picture::EncodePng(image);
    if (png.isEmpty()) throw std::runtime_error("the picture could not be encoded");
    common::WriteFileAtomic(file.string(), png.constData(), static_cast<std::size_t>(png.size()));
    if (fault) std::rethrow_exception(fault);
#else
    (void)d, (void)file, (void)view, (void)scale, (void)shift, (void)size, (void)mode, (void)stopL, (void)numbers;
    throw std::runtime_error("render needs the build with Qt");
#endif
}

// The documents' states as the frames of a movie, in order. A fault in a
// drawing ends the movie with that partial picture, which is written, and
// is raised after it; any other failure leaves no file.
void RenderMovie(const py::iterable& items, const std::filesystem::path& file, double fps,
                 const std::vector<py::object>& view, py::object scale, const std::vector<py::object>& shift,
                 std::pair<int, int> size, int mode, bool stopL, bool numbers, int quality) {
#ifdef SPHAERON_RENDER_WITH_QT
    sphaeron::picture::PictureOptions o = Options(view, scale, shift, size, mode, stopL, numbers);
    if (!(fps >= 0.1 && fps <= 1000)) throw py::value_error("fps must be 0.1 to 1000");
    if (quality < 0 || quality > 51) throw py::value_error("quality must be 0 to 51");
    // The frame objects are held for the whole movie: an archive makes each
    // document anew as it is read, and a pointer alone would outlive it.
    std::vector<py::object> held;
    std::vector<Document*> frames;
    for (py::handle item : items) {
        held.push_back(py::reinterpret_borrow<py::object>(item));
        try {
            frames.push_back(&held.back().cast<Document&>());
        } catch (const py::cast_error&) {
            throw py::type_error("frames must be documents");
        }
    }
    const std::string target = file.string();
    if (!common::IsMoviePath(target)) throw py::value_error("a movie is named .mp4, .gif or .mkv");
    common::MovieFormat format = common::MovieFormatOf(target);
    common::MovieSettings settings{o.width, o.height, fps, quality};
    common::FfmpegProgram();  // no ffmpeg: no file either
    sphaeron::picture::EnsureApplication();
    std::string staging = common::MakeMovieStaging(target);
    std::exception_ptr fault;
    try {
        common::MovieEncoder encoder(format, settings, staging);
        QImage image;
        std::vector<unsigned char> rgb;
        for (Document* d : frames) {
            DrawDocument(*d, o, image, fault);
            sphaeron::picture::RgbFrame(image, rgb);
            {
                py::gil_scoped_release free;
                encoder.Frame(rgb.data());
            }
            if (fault) break;
        }
        {
            py::gil_scoped_release free;
            encoder.Finish();
        }
    } catch (const common::AppError& e) {
        ::unlink(staging.c_str());
        throw std::runtime_error("cannot write '" + target + "': " + e.what());
    } catch (...) {
        ::unlink(staging.c_str());
        throw;
    }
    common::CommitMovie(staging, target);
    if (fault) std::rethrow_exception(fault);
#else
    (void)items, (void)file, (void)fps, (void)view, (void)scale, (void)shift, (void)size, (void)mode, (void)stopL,
        (void)numbers, (void)quality;
    throw std::runtime_error("render_movie needs the build with Qt");
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
    m.def("render_movie", &RenderMovie, py::arg("frames"), py::arg("path"), py::arg("fps") = 25.0,
          py::arg("view") = std::vector<py::object>{py::int_(0), py::int_(0), py::int_(0)},
          py::arg("scale") = py::int_(120), py::arg("shift") = std::vector<py::object>{py::int_(0), py::int_(0)},
          py::arg("size") = std::pair<int, int>{sphaeron::kDefaultFormWidth, sphaeron::kDefaultPanTop},
          py::arg("mode") = 0, py::arg("stopl") = false, py::arg("numbers") = false, py::arg("quality") = 20,
          "Draws each document of frames (a list of documents, or an Archive) as render() does and\n"
          "writes them as a movie through the ffmpeg program (Debian package ffmpeg): path ending in\n"
          ".mp4 (H.264, yuv420p, quality 0 best\n"
          "to 51 worst), .gif or .mkv (lossless FFV1). fps frames per second. A failure leaves no file.");
}

}  // namespace pysphaeron

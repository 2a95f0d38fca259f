// sphaeron-run: the headless runner of the 3D simulation.
//
//   sphaeron-run IN.ato --steps N [--out OUT.ato] [--mode 0|1|2] [--stopl]
//                [--cool] [--dt X] [--threads T] [--xyz TRAJ.xyz [--every K]]
//                [--png OUT.png [--view TETA,PSI,PHI] [--scale S] [--shift X,Y]
//                 [--numbers] [--size W,H]]
//   sphaeron-run --spiral --png OUT.png [--view TETA,PSI,PHI] [--scale S] ...
//
// --png draws the taon scene of the final state (with --mode 1 the
// Shelloscope overlays, --mode 2 the Libration line, --stopl the hidden
// taons) into a W x H drawing area (725 x 289 by default) and writes it as a
// PNG; --view gives the view angles. --spiral draws the spiral figure
// instead, turned once by the --view angles as step angles. With --png,
// --steps defaults to 0.
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed before it)
// or in the drawing (the PNG then holds the picture drawn up to the fault).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/canvas.h"
#include "common/errors.h"
#include "common/numtext.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/view/view.h"
#include "tools/xyz_writer.h"

#ifdef SPHAERON_RUN_WITH_QT
#include <QGuiApplication>
#include <QImage>

#include "common/qt/qimage_canvas.h"
#endif

namespace {

const char* const kUsage =
    "usage: sphaeron-run IN.ato --steps N [--out OUT.ato] [--mode 0|1|2] [--stopl] [--cool]\n"
    "                    [--dt X] [--threads T] [--xyz TRAJ.xyz [--every K]]\n"
    "                    [--png OUT.png [--view TETA,PSI,PHI] [--scale S] [--shift X,Y]\n"
    "                     [--numbers] [--size W,H]]\n"
    "       sphaeron-run --spiral --png OUT.png [--view TETA,PSI,PHI] [--scale S]\n"
    "                    [--shift X,Y] [--numbers] [--size W,H]\n"
    "       sphaeron-run --help | --version\n";

const char* const kOptions =
    "\n"
    "Runs N steps of the taons of the .ato document IN without a window.\n"
    "\n"
    "  --steps N          steps to run (with --png, 0 by default)\n"
    "  --out OUT.ato      write the state after the run as a document\n"
    "  --mode 0|1|2       the window's mode: 0 AtomStand, 1 Shelloscope (shell forces\n"
    "                     and overlays), 2 Libration (the line in the picture)\n"
    "  --stopl            freeze taons 7 to 100 and limit group 1 (the window's StopL)\n"
    "  --cool             multiply the velocities by 0.99 in every step (Cool)\n"
    "  --dt X             time step instead of the document's\n"
    "  --threads T        worker threads (1 by default; the results do not depend on it)\n"
    "  --xyz TRAJ.xyz     write the trajectory as extended XYZ frames: the start and\n"
    "                     every K-th step (--every K, 1 by default)\n"
    "  --png OUT.png      draw the final state as the window would and write a PNG:\n"
    "    --view T,P,F     view angles in radians (step angles with --spiral)\n"
    "    --scale S        pixels per length unit (120 by default)\n"
    "    --shift X,Y      picture offset in pixels\n"
    "    --numbers        write the taon numbers beside the taons\n"
    "    --size W,H       drawing area (725,289 by default)\n"
    "  --spiral           draw the spiral figure of the first start instead\n"
    "\n"
    "Exit codes: 0 done; 2 bad arguments or files (nothing written); 3 an arithmetic\n"
    "fault (\"step K: <message>\" on stderr; OUT holds the state committed before it).\n";

struct Options {
    std::string in, out, xyz;
    long long steps = -1;
    int mode = 0;
    bool stopL = false, cool = false;
    bool haveDt = false;
    long double dt = 0;
    int threads = 1;
    long long every = 1;
    // The picture.
    std::string png;
    bool spiral = false;
    bool numbers = false;
    long double view[3] = {0, 0, 0};
    long double scale = sphaeron::kDefaultViewScale;
    long double shift[2] = {0, 0};
    int width = sphaeron::kDefaultFormWidth;
    int height = sphaeron::kDefaultPanTop;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "sphaeron-run: %s\n", message.c_str());
    std::exit(2);
}

long long ParseCount(const std::string& option, const std::string& text, long long min) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < min)
        Fail(option + " needs a whole number of at least " + std::to_string(min) + ", not '" + text + "'");
    return v;
}

long double ParseRealOption(const std::string& option, const std::string& text) {
    try {
        return common::ParseReal(text, '.');
    } catch (const common::ConvertError& e) {
        Fail(option + ": " + e.what());
    }
}

// A comma-separated list of exactly n reals.
std::vector<long double> ParseRealList(const std::string& option, const std::string& text, std::size_t n) {
    std::vector<long double> values;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        values.push_back(ParseRealOption(option, text.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() != n) Fail(option + " needs " + std::to_string(n) + " numbers separated by commas, not '" + text + "'");
    return values;
}

Options ParseArgs(int argc, char** argv) {
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto value = [&](std::size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) Fail(args[i] + " needs a value");
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--version") {
            std::printf("sphaeron-run %s\n", SPHAERON_VERSION);
            std::exit(0);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kOptions, stdout);
            std::exit(0);
        } else if (a == "--steps") {
            o.steps = ParseCount(a, value(i), 0);
        } else if (a == "--out") {
            o.out = value(i);
        } else if (a == "--mode") {
            const std::string& m = value(i);
            if (m != "0" && m != "1" && m != "2") Fail("--mode must be 0, 1 or 2, not '" + m + "'");
            o.mode = m[0] - '0';
        } else if (a == "--stopl") {
            o.stopL = true;
        } else if (a == "--cool") {
            o.cool = true;
        } else if (a == "--dt") {
            const std::string& t = value(i);
            try {
                o.dt = common::ParseReal(t, '.');
            } catch (const common::ConvertError& e) {
                Fail(std::string("--dt: ") + e.what());
            }
            o.haveDt = true;
        } else if (a == "--threads") {
            o.threads = static_cast<int>(ParseCount(a, value(i), 1));
            if (o.threads > 64) Fail("--threads must be at most 64");
        } else if (a == "--xyz") {
            o.xyz = value(i);
        } else if (a == "--every") {
            o.every = ParseCount(a, value(i), 1);
        } else if (a == "--png") {
            o.png = value(i);
        } else if (a == "--spiral") {
            o.spiral = true;
        } else if (a == "--numbers") {
            o.numbers = true;
        } else if (a == "--view") {
            std::vector<long double> v = ParseRealList(a, value(i), 3);
            for (int k = 0; k < 3; ++k) o.view[k] = v[k];
        } else if (a == "--scale") {
            o.scale = ParseRealOption(a, value(i));
        } else if (a == "--shift") {
            std::vector<long double> v = ParseRealList(a, value(i), 2);
            o.shift[0] = v[0];
            o.shift[1] = v[1];
        } else if (a == "--size") {
            const std::string& t = value(i);
            std::size_t comma = t.find(',');
            if (comma == std::string::npos) Fail("--size needs W,H, not '" + t + "'");
            o.width = static_cast<int>(ParseCount(a, t.substr(0, comma), 1));
            o.height = static_cast<int>(ParseCount(a, t.substr(comma + 1), 1));
            if (o.width > 16384 || o.height > 16384) Fail("--size must be at most 16384,16384");
        } else if (!a.empty() && a[0] == '-') {
            Fail("unknown option '" + a + "'\n" + kUsage);
        } else if (o.in.empty()) {
            o.in = a;
        } else {
            Fail("more than one input document ('" + o.in + "', '" + a + "')");
        }
    }
    if (o.spiral) {
        if (o.png.empty()) Fail("--spiral needs --png OUT.png");
        if (!o.in.empty() || o.steps > 0 || !o.out.empty() || !o.xyz.empty())
            Fail("--spiral draws the spiral figure only: no input document, steps or outputs");
        return o;
    }
    if (o.in.empty()) Fail(std::string("no input document\n") + kUsage);
    if (o.steps < 0 && !o.png.empty()) o.steps = 0;
    if (o.steps < 0) Fail(std::string("--steps N is required\n") + kUsage);
    return o;
}

// Draws the picture of the options into a W x H area and writes it as a
// PNG. Returns 0, or 3 after a fault in the drawing (the partial picture is
// written), or 2 when the file cannot be written.
int WritePicture(const Options& o, sphaeron::TaonState& state) {
#ifdef SPHAERON_RUN_WITH_QT
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A headless run has no session: Qt's notes about the missing runtime
    // folder are noise on the tool's error stream.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtDebugMsg || type == QtInfoMsg || text.startsWith(QLatin1String("QStandardPaths:"))) return;
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    int qtArgc = 1;
    char qtName[] = "sphaeron-run";
    char* qtArgv[] = {qtName, nullptr};
    QGuiApplication app(qtArgc, qtArgv);

    QImage image(o.width, o.height, QImage::Format_RGB32);
    image.fill(Qt::black);
    common::QImageCanvas canvas(&image);

    sphaeron::ViewState view;
    sphaeron::StartView(view, o.width, o.height);
    view.ViewScale = o.scale;
    view.ShiftX = o.shift[0];
    view.ShiftY = o.shift[1];
    view.ShowNumbers = o.numbers;

    int code = 0;
    try {
        if (o.spiral) {
            state.SpiralMode = true;
            sphaeron::BuildStartStructure(state, view);
            view.StepTeta = o.view[0];
            view.StepPsi = o.view[1];
            view.StepPhi = o.view[2];
            sphaeron::DrawFigureScene(state, view, canvas);
        } else {
            view.ViewTeta = o.view[0];
            view.ViewPsi = o.view[1];
            view.ViewPhi = o.view[2];
            sphaeron::SceneSwitches sw;
            sw.StopL = o.stopL;
            sw.RB1 = o.mode == 1;
            sw.RB2 = o.mode == 2;
            sw.DecimalSeparator = ',';  // the panel's texts of the document's group 1
            sphaeron::DrawTaonScene(state, view, canvas, sw);
        }
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "drawing: %s\n", e.what());
        code = 3;
    }
    if (!image.save(QString::fromLocal8Bit(o.png.c_str()), "PNG")) {
        std::fprintf(stderr, "sphaeron-run: cannot write '%s'\n", o.png.c_str());
        return 2;
    }
    return code;
#else
    (void)state;
    std::fprintf(stderr, "sphaeron-run: --png '%s' needs the build with Qt\n", o.png.c_str());
    return 2;
#endif
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    Options o = ParseArgs(argc, argv);

    sphaeron::TaonsDocument doc;
    sphaeron::TaonState state;
    if (o.spiral) return WritePicture(o, state);
    try {
        sphaeron::LoadDocument(o.in, doc, state);
    } catch (const common::AppError& e) {
        Fail("cannot read '" + o.in + "': " + e.what());
    }
    if (o.haveDt) state.DT = o.dt;

    sphaeron::XyzWriter xyz;
    if (!o.xyz.empty()) {
        try {
            xyz.Open(o.xyz);
            xyz.Frame(state, 0);
        } catch (const common::AppError& e) {
            xyz.Discard();
            Fail("cannot write '" + o.xyz + "': " + e.what());
        }
    }

    sphaeron::StepSwitches sw;
    sw.StopL = o.stopL;
    sw.Cool = o.cool;
    sw.Mode1 = o.mode == 1;
    sphaeron::StepEngine engine(o.threads);

    bool progress = isatty(STDERR_FILENO) != 0;
    auto start = std::chrono::steady_clock::now();
    auto lastReport = start;
    long long done = 0;
    int exitCode = 0;
    for (long long k = 1; k <= o.steps; ++k) {
        try {
            engine.Step(state, sw);
        } catch (const common::FloatError& e) {
            std::fprintf(stderr, "step %lld: %s\n", k, e.what());
            exitCode = 3;
            break;
        }
        done = k;
        if (xyz.IsOpen() && k % o.every == 0) {
            try {
                xyz.Frame(state, k);
            } catch (const common::AppError& e) {
                xyz.Discard();
                std::fprintf(stderr, "sphaeron-run: cannot write '%s': %s\n", o.xyz.c_str(), e.what());
                return 2;
            }
        }
        if (progress && std::chrono::steady_clock::now() - lastReport > std::chrono::milliseconds(500)) {
            lastReport = std::chrono::steady_clock::now();
            std::fprintf(stderr, "\rstep %lld of %lld", k, o.steps);
            std::fflush(stderr);
        }
    }
    double seconds = Seconds(start);
    if (progress && seconds > 0.5) std::fprintf(stderr, "\r%40s\r", "");

    if (xyz.IsOpen()) {
        try {
            xyz.Close();
        } catch (const common::AppError& e) {
            xyz.Discard();
            std::fprintf(stderr, "sphaeron-run: cannot write '%s': %s\n", o.xyz.c_str(), e.what());
            return 2;
        }
    }
    if (!o.out.empty()) {
        try {
            sphaeron::PackDocument(state, doc);
            sphaeron::WriteDocument(o.out, doc);
        } catch (const common::AppError& e) {
            std::fprintf(stderr, "sphaeron-run: cannot write '%s': %s\n", o.out.c_str(), e.what());
            return 2;
        }
    }
    std::printf("steps %lld, seconds %.3f, steps per second %.1f\n", done, seconds,
                seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    if (!o.png.empty()) {
        int pictureCode = WritePicture(o, state);
        if (pictureCode == 2) return 2;
        if (exitCode == 0) exitCode = pictureCode;
    }
    return exitCode;
}

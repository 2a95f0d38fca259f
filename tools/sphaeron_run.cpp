// sphaeron-run: the headless runner of the 3D simulation.
//
//   sphaeron-run IN.ato --steps N [--out OUT.ato] [--mode 0|1|2] [--stopl]
//                [--cool] [--dt X] [--threads T] [--xyz TRAJ.xyz [--every K]]
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed before it).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/numtext.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "tools/xyz_writer.h"

namespace {

const char* const kUsage =
    "usage: sphaeron-run IN.ato --steps N [--out OUT.ato] [--mode 0|1|2] [--stopl] [--cool]\n"
    "                    [--dt X] [--threads T] [--xyz TRAJ.xyz [--every K]]\n";

struct Options {
    std::string in, out, xyz;
    long long steps = -1;
    int mode = 0;
    bool stopL = false, cool = false;
    bool haveDt = false;
    long double dt = 0;
    int threads = 1;
    long long every = 1;
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

Options ParseArgs(int argc, char** argv) {
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto value = [&](std::size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) Fail(args[i] + " needs a value");
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
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
        } else if (!a.empty() && a[0] == '-') {
            Fail("unknown option '" + a + "'\n" + kUsage);
        } else if (o.in.empty()) {
            o.in = a;
        } else {
            Fail("more than one input document ('" + o.in + "', '" + a + "')");
        }
    }
    if (o.in.empty()) Fail(std::string("no input document\n") + kUsage);
    if (o.steps < 0) Fail(std::string("--steps N is required\n") + kUsage);
    return o;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    Options o = ParseArgs(argc, argv);

    sphaeron::TaonsDocument doc;
    sphaeron::TaonState state;
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
    return exitCode;
}

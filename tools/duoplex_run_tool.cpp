#include "tools/duoplex_run_tool.h"

#include <cstdint>
#include <optional>

#include "common/errors.h"
#include "common/fileio.h"
#include "common/numtext.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/planar_step.h"

namespace duoplex {

const char* const kRunToolUsage =
    "usage: duoplex-run (IN.grav | --config NAME [--three]) --steps N [--function NAME] [--three]\n"
    "                   [--brake 1..5] [--dt X] [--out OUT.grav]\n"
    "       duoplex-run --help | --version\n"
    "NAME: F_PE, F_PES, GravoNew (with IN.grav), F_PE1, F_PE2, F_PES_Swi, F_PE_PES\n"
    "\n"
    "Runs N steps of the gravons without a window, from a .grav document or from the\n"
    "start configuration of a function (the window's \"Refresh\").\n"
    "\n"
    "  --steps N          steps to run\n"
    "  --config NAME      start from that function's configuration and time step\n"
    "  --three            the three-gravon configuration, without the two-gravon pass\n"
    "  --function NAME    force function (the configuration's, or F_PE for a file)\n"
    "  --brake 1..5       hand-brake position (1, no brake, by default)\n"
    "  --dt X             time step instead of the document's or configuration's\n"
    "  --out OUT.grav     write the state after the run as a 256-byte document\n"
    "\n"
    "Exit codes: 0 done; 2 bad arguments or files (nothing written); 3 an arithmetic\n"
    "fault (\"step K: <message>\" on stderr; OUT holds the state committed at the fault).\n";

const char* const kRunToolVersion = "duoplex-run " DUOPLEX_VERSION "\n";

namespace {

struct BadArguments {
    std::string message;
};

struct Options {
    std::string in, out;
    std::optional<FunctionChoice> config, function;
    bool three = false;
    int brake = 1;
    long long steps = -1;
    std::optional<long double> dt;
    bool help = false;
    bool version = false;
};

FunctionChoice ParseName(const std::string& option, const std::string& name) {
    if (auto f = FunctionFromName(name)) return *f;
    throw BadArguments{option + ": unknown function '" + name +
                       "' (one of F_PE, F_PES, GravoNew, F_PE1, F_PE2, F_PES_Swi, F_PE_PES)"};
}

long long ParseWhole(const std::string& option, const std::string& text, long long min, long long max) {
    long long v = 0;
    bool ok = !text.empty() && text.size() <= 12;
    for (char c : text) {
        if (c < '0' || c > '9') ok = false;
        if (ok) v = v * 10 + (c - '0');
    }
    if (!ok || v < min || v > max)
        throw BadArguments{option + " needs a whole number from " + std::to_string(min) + " to " +
                           std::to_string(max) + ", not '" + text + "'"};
    return v;
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw BadArguments{a + " needs a value"};
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--config") {
            o.config = ParseName(a, value());
        } else if (a == "--function") {
            o.function = ParseName(a, value());
        } else if (a == "--three") {
            o.three = true;
        } else if (a == "--steps") {
            o.steps = ParseWhole(a, value(), 0, INT32_MAX);
        } else if (a == "--brake") {
            o.brake = static_cast<int>(ParseWhole(a, value(), 1, kBrakeCount));
        } else if (a == "--dt") {
            const std::string& t = value();
            try {
                o.dt = common::ParseReal(t, '.');
            } catch (const common::ConvertError& e) {
                throw BadArguments{std::string("--dt: ") + e.what()};
            }
        } else if (a == "--out") {
            o.out = value();
            if (o.out.empty()) throw BadArguments{"--out needs a file name"};
        } else if (a.size() > 1 && a[0] == '-') {
            throw BadArguments{"unknown option '" + a + "'"};
        } else if (o.in.empty()) {
            o.in = a;
            if (o.in.empty()) throw BadArguments{"empty input file name"};
        } else {
            throw BadArguments{"more than one input file ('" + o.in + "', '" + a + "')"};
        }
    }
    if (o.help || o.version) return o;
    bool gravoNew = o.config == FunctionChoice::GravoNew;
    if (o.in.empty() && !o.config) throw BadArguments{"give an input file IN.grav or --config NAME"};
    if (!o.in.empty() && o.config && !gravoNew)
        throw BadArguments{"give either an input file or --config " + std::string(FunctionName(*o.config)) +
                           ", not both"};
    if (o.in.empty() && gravoNew)
        throw BadArguments{"--config GravoNew takes the gravons from a file: give IN.grav"};
    if (o.steps < 0) throw BadArguments{"--steps N is required"};
    return o;
}

void PrintState(std::ostream& out, const PlanarState& s, long long steps) {
    out << "steps " << steps << "\n";
    for (int k = 1; k <= kGravons; ++k)
        out << "gravon " << k << ": x " << common::FormatReal(s.X[k], '.') << ", y "
            << common::FormatReal(s.Y[k], '.') << ", speed x " << common::FormatReal(s.SpeedX[k], '.')
            << ", speed y " << common::FormatReal(s.SpeedY[k], '.') << "\n";
}

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    try {
        o = ParseOptions(args);
    } catch (const BadArguments& e) {
        err << "duoplex-run: " << e.message << "\n" << kRunToolUsage;
        return 2;
    }
    if (o.help) {
        out << kRunToolUsage;
        return 0;
    }
    if (o.version) {
        out << kRunToolVersion;
        return 0;
    }

    // The snapshot only carries the unused bytes: those of the input file,
    // zero for a built-in configuration.
    PlanarState s;
    FunctionChoice function = FunctionChoice::F_PE;
    if (!o.in.empty()) {
        try {
            LoadDocument(o.in, s);
        } catch (const common::AppError& e) {
            err << "duoplex-run: cannot read '" << o.in << "': " << e.what() << "\n";
            return 2;
        }
    }
    if (o.config) {
        function = *o.config;
        if (auto c = RefreshConfiguration(*o.config, o.three)) {
            ApplyConfiguration(s, *c);
            s.DT = c->DT;
        } else {
            s.DT = kGravoNewDT;  // GravoNew: the file's gravons as they are
        }
    }
    if (o.function) function = *o.function;
    if (o.dt) s.DT = *o.dt;
    s.StepCount = 0;

    StepSettings st;
    st.function = function;
    st.twoGravonPass = !o.three;
    st.brake = o.brake;

    int code = 0;
    long long done = 0;
    for (long long k = 1; k <= o.steps; ++k) {
        try {
            DoStep(s, st);
        } catch (const common::FloatError& e) {
            err << "step " << k << ": " << e.what() << "\n";
            code = 3;
            break;
        }
        done = k;
    }

    if (!o.out.empty()) {
        try {
            GravBytes bytes = EncodeGravRecord(RecordOfState(s));
            common::WriteFileAtomic(o.out, bytes.data(), bytes.size(), "duoplex-run");
        } catch (const common::AppError& e) {
            err << "duoplex-run: cannot write '" << o.out << "': " << e.what() << "\n";
            return 2;
        }
    }
    PrintState(out, s, done);
    return code;
}

}  // namespace duoplex

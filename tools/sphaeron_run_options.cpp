#include "tools/sphaeron_run_options.h"

#include <climits>
#include <functional>
#include <stdexcept>
#include <strings.h>

#include "common/errors.h"
#include "common/exact_text.h"
#include "common/version.h"
#include "sphaeron/document/document.h"
#include "common/run_archive.h"
#include "tools/cli_support.h"

namespace sphaeron {

namespace {

const char* const kProgram = "sphaeron-run";

const char* const kDescription =
    "Runs N steps of the taons of the document IN (a .ato record or its JSON form)\n"
    "without a window.\n"
    "\n"
    "  sphaeron-run IN --steps N [--out OUT] [--set NAME=VALUE ...] [--xyz TRAJ.xyz]\n"
    "               [--log LOG.csv] [--png OUT.png ...]\n"
    "               [--movie OUT.mp4|.gif|.mkv [--movie-every K] [--fps F] ...]\n"
    "  sphaeron-run --spiral --png OUT.png [--view TETA,PSI,PHI] [--scale S] ...\n"
    "  sphaeron-run IN --steps N --archive RUN.atorun [--archive-every K] [--sync-every S]\n"
    "  sphaeron-run --resume RUN.atorun --steps N\n"
    "  sphaeron-run (--info | --verify) RUN.atorun\n"
    "\n"
    "IN may be a run archive: its last state, or the state at --at STEP, with its\n"
    "switches; with --xyz and no steps its frames are written as a trajectory.\n";

const char* const kFooter =
    "OUT ending in .json gets the JSON form, any other name the .ato record.\n"
    "--movie draws the start state and every K-th step as --png would draw them and\n"
    "needs the ffmpeg program (Debian package ffmpeg).\n"
    "\n"
    "Exit codes: 0 done; 2 bad arguments or files (nothing written); 3 an arithmetic\n"
    "fault (\"step K: <message>\" on stderr; OUT holds the state committed before it);\n"
    "4 --verify found a frame that differs from its replay.";

// "NAME=VALUE" into the parameter's index; the value must read.
std::pair<int, std::string> ParseSet(const std::string& text) {
    std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw CLI::ValidationError("--set needs NAME=VALUE, not '" + text + "'");
    std::string name = text.substr(0, eq), value = text.substr(eq + 1);
    int index = -1;
    for (int p = 0; p < kParameterCount; ++p)
        if (strcasecmp(name.c_str(), kParameterNames[p]) == 0) index = p;
    if (index < 0) throw CLI::ValidationError("--set: unknown parameter '" + name + "' (DT, A1 .. G3, without E)");
    try {
        common::ParseExactText(value);
    } catch (const common::ConvertError& e) {
        throw CLI::ValidationError("--set " + text + ": " + e.what());
    }
    return {index, value};
}

// --structure, --structure-every and --neighbours (the last two need the first).
void AddStructureOptions(CLI::App& app, RunOptions& o) {
    auto* file = app.add_option("--structure", o.structure,
                                "write clusters, coordination, q4, q6 and rg of step 0 and every K-th; with --xyz\n"
                                "the frames gain the columns coordination, q6 and cluster")
                     ->type_name("FILE.csv");
    app.add_option_function<std::string>(
           "--structure-every",
           [&](const std::string& t) { o.structureEvery = tools::WholeNumber("--structure-every", t, 1, LLONG_MAX); },
           "steps between structure rows (1 by default)")
        ->type_name("K")
        ->needs(file);
    app.add_option_function<std::string>(
           "--neighbours",
           [&](const std::string& t) {
               try {
                   o.structureOptions.neighbours = structure::ParseNeighbourChoice(t);
               } catch (const std::invalid_argument& e) {
                   throw CLI::ValidationError(std::string("--") + e.what());
               }
           },
           "the neighbour rule: sann (the default), cutoff:R or nearest:K")
        ->type_name("RULE")
        ->needs(file);
}

// A value option whose text `set` takes apart.
CLI::Option* Value(CLI::App& app, const char* name, const char* type, const char* text,
                   std::function<void(const std::string&)> set) {
    return app.add_option_function<std::string>(name, std::move(set), text)->type_name(type);
}

// --png and the view it is drawn with (also used by --movie).
void AddPictureOptions(CLI::App& app, RunOptions& o) {
    using tools::Real;
    using tools::Reals;
    using tools::WholeNumber;
    const char* picture = "Picture";
    app.add_option("--png", o.png, "draw the final state as the window would, as PNG")->type_name("OUT.png")->group(picture);
    Value(app, "--view", "T,P,F", "view angles in radians (step angles with --spiral)", [&](const std::string& t) {
        std::vector<long double> v = Reals("--view", t, 3);
        for (int k = 0; k < 3; ++k) o.view[k] = v[k];
    })->group(picture);
    Value(app, "--scale", "S", "pixels per length unit (120 by default)", [&](const std::string& t) { o.scale = Real("--scale", t); })
        ->group(picture);
    Value(app, "--shift", "X,Y", "picture offset in pixels", [&](const std::string& t) {
        std::vector<long double> v = Reals("--shift", t, 2);
        o.shift[0] = v[0];
        o.shift[1] = v[1];
    })->group(picture);
    app.add_flag("--numbers", o.numbers, "write the taon numbers beside the taons")->group(picture);
    Value(app, "--size", "W,H", "drawing area (725,289 by default)", [&](const std::string& t) {
        std::size_t comma = t.find(',');
        if (comma == std::string::npos) throw CLI::ValidationError("--size needs W,H, not '" + t + "'");
        o.width = static_cast<int>(WholeNumber("--size", t.substr(0, comma), 1, LLONG_MAX));
        o.height = static_cast<int>(WholeNumber("--size", t.substr(comma + 1), 1, LLONG_MAX));
        if (o.width > 16384 || o.height > 16384) throw CLI::ValidationError("--size must be at most 16384,16384");
    })->group(picture);
    app.add_flag("--spiral", o.spiral, "draw the spiral figure of the first start instead")->group(picture);
}

}  // namespace

RunOptions ParseRunOptions(int argc, char** argv) {
    RunOptions o;
    CLI::App app(kDescription, kProgram);
    tools::SetUpApp(app, kFooter);
    using tools::Real;
    using tools::Reals;
    using tools::WholeNumber;
    auto value = [&](const char* name, const char* type, const char* text, auto set) {
        return app.add_option_function<std::string>(name, set, text)->type_name(type);
    };

    app.add_option("IN", o.in, "the document to run")->type_name("");
    value("--steps", "N", "steps to run (with --png, 0 by default)",
          [&](const std::string& t) { o.steps = WholeNumber("--steps", t, 0, LLONG_MAX); });
    app.add_option("--out", o.out, "write the state after the run as a document")->type_name("OUT");
    app.add_flag("--any-size", o.anySize, "read the first 6296 bytes of any file, as the windows do");
    std::vector<std::string> sets;
    app.add_option("--set", sets, "set a parameter (DT, A1 .. G3) before the first step")
        ->type_name("NAME=VALUE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->expected(1)
        ->allow_extra_args(false);
    value("--mode", "0|1|2", "0 AtomStand, 1 Shelloscope, 2 Libration (the window's modes)",
          [&](const std::string& m) {
              if (m != "0" && m != "1" && m != "2") throw CLI::ValidationError("--mode must be 0, 1 or 2, not '" + m + "'");
              o.mode = m[0] - '0';
          });
    app.add_flag("--stopl", o.stopL, "freeze taons 7 to 100, limit group 1 (the window's StopL)");
    app.add_flag("--cool", o.cool, "velocities times 0.99 in every step (Cool)");
    value("--dt", "X", "time step instead of the document's", [&](const std::string& t) {
        o.dt = Real("--dt", t);
        o.haveDt = true;
    });
    value("--threads", "T", "worker threads (1 by default; results do not depend on it)",
          [&](const std::string& t) { o.threads = static_cast<int>(WholeNumber("--threads", t, 1, 64)); });
    app.add_option("--xyz", o.xyz, "write the start and every K-th step as extended XYZ")
        ->type_name("TRAJ.xyz");
    CLI::Option* every = value("--every", "K", "steps between XYZ frames (1 by default)",
          [&](const std::string& t) { o.every = WholeNumber("--every", t, 1, LLONG_MAX); });
    app.add_option("--log", o.log, "write energies and momentum of step 0 and every K-th")->type_name("LOG.csv");
    CLI::Option* logEvery = value("--log-every", "K", "steps between log rows (1 by default; the last step too)",
          [&](const std::string& t) { o.logEvery = WholeNumber("--log-every", t, 1, LLONG_MAX); });
    AddStructureOptions(app, o);

    AddPictureOptions(app, o);
    tools::AddArchiveOptions(app, o.archive, "atorun");
    tools::AddMovieOptions(app, o.movie);

    tools::ParseDocumentCommandLine(app, common::kVersion, argc, argv, o.in, sets,
                                    [&](const std::string& text) { o.sets.push_back(ParseSet(text)); });
    o.switchesGiven = app.count("--mode") + app.count("--stopl") + app.count("--cool") > 0;
    tools::CheckArchiveOptions(kProgram, o.archive, o.in, o.steps,
                               !o.out.empty() || !o.xyz.empty() || !o.log.empty() || !o.png.empty() || o.spiral);
    tools::CheckMovieOptions(kProgram, o.movie);
    for (const auto& s : o.sets)
        if (s.first == 0 && o.haveDt) tools::BadCommandLine(kProgram, "--dt and --set DT both give the time step");
    if (o.archive.NoInput()) return o;

    if (o.spiral) {
        if (o.png.empty()) tools::BadCommandLine(kProgram, "--spiral needs --png OUT.png");
        if (!o.in.empty() || o.steps > 0 || !o.out.empty() || !o.xyz.empty() || !o.log.empty() || !o.sets.empty() ||
            !o.structure.empty() || !o.movie.path.empty())
            tools::BadCommandLine(kProgram, "--spiral draws the spiral figure only: no input document, steps or outputs");
        return o;
    }
    if (every->count() > 0 && o.xyz.empty()) tools::BadCommandLine(kProgram, "--every needs --xyz TRAJ.xyz");
    if (logEvery->count() > 0 && o.log.empty()) tools::BadCommandLine(kProgram, "--log-every needs --log LOG.csv");
    if (o.in.empty()) tools::BadCommandLine(kProgram, "no input document");
    if (o.steps < 0 && (!o.png.empty() || common::LooksLikeRunArchive(o.in))) o.steps = 0;
    if (o.archive.at && !common::LooksLikeRunArchive(o.in))
        tools::BadCommandLine(kProgram, "--at STEP needs a run archive as IN");
    if (o.steps < 0) tools::BadCommandLine(kProgram, "--steps N is required");
    return o;
}

}  // namespace sphaeron

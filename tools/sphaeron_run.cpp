// sphaeron-run: the headless runner of the 3D simulation.
//
//   sphaeron-run IN --steps N [--out OUT] [--set NAME=VALUE ...] [--mode 0|1|2]
//                [--stopl] [--cool] [--dt X] [--threads T] [--any-size]
//                [--xyz TRAJ.xyz [--every K]] [--log LOG.csv [--log-every K]]
//                [--structure S.csv [--structure-every K] [--neighbours RULE]]
//                [--png OUT.png [--view TETA,PSI,PHI] [--scale S] [--shift X,Y]
//                 [--numbers] [--size W,H]]
//                [--movie OUT.mp4|.gif|.mkv [--movie-every K] [--fps F] [--quality Q]]
//   sphaeron-run --spiral --png OUT.png [--view TETA,PSI,PHI] [--scale S] ...
//   sphaeron-run IN --steps N --archive RUN.atorun [--archive-every K] [--sync-every S]
//   sphaeron-run --resume RUN.atorun --steps N | --info RUN.atorun | --verify RUN.atorun
//
// (run archives: tools/sphaeron_run_archive.h; IN may be one, with --at STEP)
//
// IN is a .ato record or its JSON form (told apart by content); OUT ending
// in .json gets the JSON form. --set changes a parameter of the document
// before the first step, as an edit of the document would.
//
// --png draws the taon scene of the final state (with --mode 1 the
// Shelloscope overlays, --mode 2 the Libration line, --stopl the hidden
// taons) into a W x H drawing area (725 x 289 by default) and writes it as a
// PNG; --view gives the view angles. --spiral draws the spiral figure
// instead, turned once by the --view angles as step angles. With --png,
// --steps defaults to 0. --movie records the start state and every K-th
// step, drawn as --png draws (tools/sphaeron_pictures.h), through ffmpeg.
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed before it)
// or in the drawing (the PNG then holds the picture drawn up to the fault;
// a movie ends with it).
// Every output is written beside its target and put in place at the end, so
// a run that ends with 2 leaves no file.
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "common/errors.h"
#include "common/exact_text.h"
#include "common/ext80.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/session/session.h"
#include "sphaeron/document/ato_json.h"
#include "sphaeron/document/document.h"
#include "sphaeron/view/view.h"
#include "tools/movie_options.h"
#include "tools/observables_log.h"
#include "tools/run_outputs.h"
#include "tools/sphaeron_pictures.h"
#include "tools/sphaeron_run_archive.h"
#include "tools/sphaeron_run_options.h"
#include "tools/structure_log.h"
#include "tools/xyz_writer.h"

namespace {

using sphaeron::RunOptions;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "sphaeron-run: %s\n", message.c_str());
    std::exit(2);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Registers an output; a path that cannot be written ends the run with 2
// before anything is written.
int AddOutput(tools::RunOutputs& outputs, const std::string& path) {
    try {
        return outputs.Add(path);
    } catch (const common::AppError& e) {
        outputs.Discard();
        Fail(e.what());
    }
}

int RunSpiral(const RunOptions& o) {
    tools::RunOutputs outputs;
    int id = AddOutput(outputs, o.png);
    sphaeron::TaonState state;
    std::string png;
    int code = sphaeron::DrawPng(o, state, png);
    if (code == 2) return 2;
    try {
        outputs.Write(id, png);
        outputs.Commit();
    } catch (const common::AppError& e) {
        Fail(e.what());
    }
    return code;
}

// The outputs that follow the run step by step: the trajectory, the log,
// the movie and the progress line. Any write error ends the program with the message and
// leaves no file.
class RunWatch : public sphaeron::RunObserver {
public:
    RunWatch(const RunOptions& o, tools::RunOutputs& outputs) : o_(o), outputs_(outputs) {}

    // The outputs open with the state the run starts from, at its step (0,
    // or the archive's step when it resumes or starts from a state of one);
    // their later rows and frames are those of the same steps in an
    // uninterrupted run.
    void Open(const sphaeron::TaonState& state, long long step) {
        startStep_ = step;
        // The structure log analyses the start and every K-th step, and each XYZ frame.
        if (!o_.structure.empty())
            Guard(o_.structure, [&] {
                structure_.Open(outputs_.Staging(AddOutput(outputs_, o_.structure)), o_.structureOptions,
                                o_.structureEvery, state, step);
            });
        if (!o_.xyz.empty()) {
            Guard(o_.xyz, [&] {
                xyz_.Open(outputs_.Staging(AddOutput(outputs_, o_.xyz)));
                xyz_.Frame(state, step, structure_.Analysis(state, step));
            });
        }
        if (!o_.log.empty()) Guard(o_.log, [&] { log_.Open(outputs_.Staging(AddOutput(outputs_, o_.log))); });
        if (!o_.movie.path.empty()) {
            Guard(o_.movie.path, [&] {
                movie_ = sphaeron::StartMovie(o_, outputs_.Staging(AddOutput(outputs_, o_.movie.path)));
                movie_->Record(step, state);
            });
        }
        start_ = std::chrono::steady_clock::now();
    }

    // Row k of the log comes from step k + 1, which forms the observables
    // of the state before it on the way.
    bool WantsObservables(std::uint64_t next) override {
        return log_.IsOpen() && (next - 1) % static_cast<std::uint64_t>(o_.logEvery) == 0;
    }

    void Committed(const sphaeron::CommittedStep& c) override {
        const auto k = static_cast<long long>(c.step);
        if (c.before) Guard(o_.log, [&] { log_.Row(k - 1, c.state.DT, *c.before); });
        Guard(o_.structure, [&] { structure_.Committed(c.state, k); });
        if (xyz_.IsOpen() && k % o_.every == 0) Guard(o_.xyz, [&] { xyz_.Frame(c.state, k, structure_.Analysis(c.state, k)); });
        if (movie_) Guard(o_.movie.path, [&] { movie_->Record(k, c.state); });
        progress_.Update(k - startStep_);
    }

    // The last row of the log (the committed state itself) and the ends of
    // the files.
    void Close(const sphaeron::TaonState& state, const sphaeron::StepSwitches& sw, long long done) {
        const long long last = startStep_ + done;
        progress_.Done();
        if (movie_) Guard(o_.movie.path, [&] { movieCode_ = movie_->Finish(); });
        seconds_ = Seconds(start_);
        if (log_.IsOpen()) {
            sphaeron::Observables observables;
            try {
                observables = sphaeron::ComputeObservables(state, sw);
            } catch (const common::FloatError&) {
                // As the step gives them: every field not a number.
                observables.ke = observables.pe = observables.e = observables.px = observables.py =
                    observables.pz = observables.ke1 = observables.ke2 = observables.ke3 =
                        std::numeric_limits<long double>::quiet_NaN();
            }
            Guard(o_.log, [&] {
                log_.Row(last, state.DT, observables);
                log_.Close();
            });
        }
        if (xyz_.IsOpen()) Guard(o_.xyz, [&] { xyz_.Close(); });
        Guard(o_.structure, [&] { structure_.Close(); });
    }

    double Elapsed() const { return seconds_; }
    // 3 after a fault in the drawing of the movie, else 0.
    int MovieCode() const { return movieCode_; }

private:
    template <class Write>
    void Guard(const std::string& path, Write&& write) {
        try {
            write();
        } catch (const common::AppError& e) {
            movie_.reset();  // its ffmpeg ended first
            outputs_.Discard();
            Fail(tools::CannotWriteText(path, e.what()));
        }
    }

    const RunOptions& o_;
    tools::RunOutputs& outputs_;
    sphaeron::XyzWriter xyz_;
    sphaeron::ObservablesLog log_;
    sphaeron::StructureLog structure_;
    std::unique_ptr<sphaeron::MovieRecorder> movie_;
    int movieCode_ = 0;
    tools::ProgressLine progress_{o_.steps};
    std::chrono::steady_clock::time_point start_;
    double seconds_ = 0;
    long long startStep_ = 0;
};

// The document of the command line (or the archive's state), with its
// --set values and --dt, as the session's state; the record is kept for the
// output.
sphaeron::RunStart LoadDocument(RunOptions& o, sphaeron::Session& session) {
    sphaeron::RunStart start;
    sphaeron::TaonsDocument record = session.Document();
    try {
        start = sphaeron::ReadRunStart(o, record);
    } catch (const common::AppError& e) {
        Fail(e.what());
    }
    session.SetSteps(static_cast<std::uint64_t>(start.step));
    for (const auto& [index, text] : o.sets)
        common::ParseExactText(text, &record.bytes[sphaeron::kParamsOffset +
                                                   static_cast<std::size_t>(index) * common::kExtSize]);
    session.UseRecord(record);
    if (o.haveDt) session.SetParameter(0, o.dt);  // DT
    return start;
}

// Writes the final state to --out and the picture to --png, then puts
// every output in place. Returns the picture's exit code (2: no picture,
// and nothing written).
int WriteResults(const RunOptions& o, sphaeron::Session& session, tools::RunOutputs& outputs, int outId, int pngId) {
    if (outId >= 0) {
        try {
            const sphaeron::TaonsDocument doc = session.Packed();
            outputs.Write(outId, sphaeron::IsJsonPath(o.out) ? sphaeron::AtoToJson(doc)
                                                          : std::string(doc.bytes.begin(), doc.bytes.end()));
        } catch (const common::AppError& e) {
            outputs.Discard();
            Fail(e.what());
        }
    }
    int code = 0;
    if (pngId >= 0) {
        std::string png;
        sphaeron::TaonState state = session.State();  // the picture of a document leaves it as it is
        code = sphaeron::DrawPng(o, state, png);
        if (code == 2) {
            outputs.Discard();
            return 2;
        }
        try {
            outputs.Write(pngId, png);
        } catch (const common::AppError& e) {
            outputs.Discard();
            Fail(e.what());
        }
    }
    try {
        outputs.Commit();
    } catch (const common::AppError& e) {
        Fail(e.what());
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    RunOptions o = sphaeron::ParseRunOptions(argc, argv);
    if (o.spiral) return RunSpiral(o);
    if (auto code = sphaeron::ArchiveCommand(o)) return *code;

    sphaeron::Session session(o.threads);
    session.SetTimelineBudget(0);  // a headless run keeps no history
    const sphaeron::RunStart start = LoadDocument(o, session);

    tools::RunOutputs outputs;
    const int outId = o.out.empty() ? -1 : AddOutput(outputs, o.out);
    RunWatch watch(o, outputs);
    watch.Open(session.State(), static_cast<long long>(start.step));
    const int pngId = o.png.empty() ? -1 : AddOutput(outputs, o.png);

    sphaeron::RunSwitches sw;
    sw.mode = o.mode;
    sw.stopL = o.stopL;
    sw.cool = o.cool;
    session.SetSwitches(sw);
    std::unique_ptr<sphaeron::RunArchiveRecorder> archive;
    sphaeron::RunResult result;
    try {
        archive = sphaeron::StartRunArchive(o, start, session.State(), session.Document());
        if (archive) session.AddRecorder(archive.get());
        result = session.Run(static_cast<std::uint64_t>(o.steps), &watch);
        if (archive) archive->Finish();
    } catch (const common::AppError& e) {
        outputs.Discard();
        Fail(e.what());
    }
    int exitCode = 0;
    if (result.faulted) {
        std::fprintf(stderr, "step %llu: %s\n", static_cast<unsigned long long>(result.faultStep),
                     result.fault.c_str());
        exitCode = 3;
    }
    const auto done = static_cast<long long>(result.steps);
    watch.Close(session.State(), sw.ForStep(), done);
    if (exitCode == 0) exitCode = watch.MovieCode();
    const double seconds = watch.Elapsed();
    std::printf("steps %lld, seconds %.3f, steps per second %.1f\n", done, seconds,
                seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    const int pictureCode = WriteResults(o, session, outputs, outId, pngId);
    return pictureCode == 2 || exitCode == 0 ? pictureCode : exitCode;
}

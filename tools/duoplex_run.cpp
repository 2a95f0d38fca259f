// duoplex-run: the headless runner of the planar simulation.
//
//   duoplex-run (IN | --config NAME [--three]) --steps N [--out OUT]
//               [--set NAME=VALUE ...] [--function NAME] [--brake 1..5]
//               [--dt X] [--any-size]
//               [--movie OUT.mp4|.gif|.mkv [--movie-every K] [--fps F] [--quality Q]]
//   duoplex-run IN --steps N --archive RUN.gravrun [--archive-every K] [--sync-every S]
//   duoplex-run --resume RUN.gravrun --steps N | --info RUN.gravrun | --verify RUN.gravrun
//
// (run archives: tools/duoplex_run_archive.h; IN may be one, with --at STEP)
//
// IN is a .grav record or its JSON form (told apart by content); OUT ending
// in .json (any case) gets the JSON form. --set changes a value of the starting record
// before the first step. --movie records the start and every K-th step
// after it as the window draws them (tools/duoplex_movie.h).
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed before it)
// or in the drawing of the movie (which then ends at that picture).
// The output is written beside its target and put in place at the end, so a
// run that ends with 2 leaves no file.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/document_file.h"
#include "common/errors.h"
#include "common/exact_text.h"
#include "common/numtext.h"
#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/session/session.h"
#include "tools/duoplex_movie.h"
#include "tools/duoplex_run_archive.h"
#include "tools/duoplex_run_options.h"
#include "tools/run_outputs.h"

namespace {

using namespace duoplex;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "duoplex-run: %s\n", message.c_str());
    std::exit(2);
}

void PrintState(const PlanarState& s, unsigned long long steps) {
    std::printf("steps %llu\n", steps);
    for (int k = 1; k <= kGravons; ++k)
        std::printf("gravon %d: x %s, y %s, speed x %s, speed y %s\n", k, common::FormatReal(s.X[k], '.').c_str(),
                    common::FormatReal(s.Y[k], '.').c_str(), common::FormatReal(s.SpeedX[k], '.').c_str(),
                    common::FormatReal(s.SpeedY[k], '.').c_str());
}

// The starting state: the document's record (its unused bytes go to the
// output) or a built-in configuration, then --set and --dt.
RunStart SetUp(Session& session, RunOptions& o) {
    RunStart start;
    if (!o.in.empty() || !o.archive.resume.empty()) {
        GravBytes record{};
        try {
            start = ReadRunStart(o, record);
        } catch (const common::AppError& e) {
            Fail(e.what());
        }
        session.UseRecord(record);
        session.SetSteps(static_cast<std::uint64_t>(start.step));
    }
    if (o.config) session.UseConfiguration(*o.config, o.three);  // GravoNew: the document's gravons
    if (!o.sets.empty()) {
        GravBytes bytes = session.Record();
        for (const auto& [offset, text] : o.sets) common::ParseExactText(text, bytes.data() + offset);
        session.TakeValues(bytes);
    }
    if (o.dt) session.SetDT(*o.dt);
    FunctionChoice function = o.config ? *o.config : FunctionChoice::F_PE;
    if (o.function) function = *o.function;
    session.SetSettings(StepSettings{function, !o.three, o.brake});
    return start;
}

// The movie and the progress line follow the run step by step, counting
// from its start. A movie that fails ends the program with the message, its
// ffmpeg ended and no file left.
class RunWatch : public RunObserver {
public:
    RunWatch(const RunOptions& o, tools::RunOutputs& outputs, std::uint64_t first)
        : o_(o), outputs_(outputs), first_(first), progress_(o.steps) {}

    void Open(const Session& session, int movieId) {
        if (movieId < 0) return;
        const StepSettings st = session.Settings();
        Guard([&] {
            movie_ = std::make_unique<MovieRecorder>(o_.movie, st.function, st.twoGravonPass, outputs_.Staging(movieId));
            movie_->Record(0, session.State());
        });
    }
    void Committed(const CommittedStep& c) override {
        const auto k = static_cast<long long>(c.step - first_);
        if (movie_) Guard([&] { movie_->Record(k, c.state); });
        progress_.Update(k);
    }
    // 3 after a fault in the drawing of the movie, else 0.
    int Close() {
        progress_.Done();
        int code = 0;
        if (movie_) Guard([&] { code = movie_->Finish(); });
        return code;
    }

private:
    template <class Write>
    void Guard(Write&& write) {
        try {
            write();
        } catch (const common::AppError& e) {
            movie_.reset();
            outputs_.Discard();
            Fail(tools::CannotWriteText(o_.movie.path, e.what()));
        }
    }

    const RunOptions& o_;
    tools::RunOutputs& outputs_;
    std::uint64_t first_;
    std::unique_ptr<MovieRecorder> movie_;
    tools::ProgressLine progress_;
};

}  // namespace

int main(int argc, char** argv) {
    RunOptions o = ParseRunOptions(argc, argv);
    if (auto code = ArchiveCommand(o)) return *code;
    Session session(FaultKeeps::StateBeforeStep, 0);  // no timeline
    const RunStart start = SetUp(session, o);

    tools::RunOutputs outputs;
    int outId = -1, movieId = -1;
    try {
        if (!o.out.empty()) outId = outputs.Add(o.out);
        if (!o.movie.path.empty()) movieId = outputs.Add(o.movie.path);
    } catch (const common::AppError& e) {
        outputs.Discard();
        Fail(e.what());
    }
    RunWatch watch(o, outputs, static_cast<std::uint64_t>(start.step));
    watch.Open(session, movieId);

    RunResult result;
    try {
        std::unique_ptr<PlanarArchiveRecorder> archive = StartRunArchive(o, start, session);
        if (archive) session.AddRecorder(archive.get());
        if (o.steps > 0) result = session.Run(static_cast<std::uint64_t>(o.steps), &watch);
        if (archive) {
            session.RemoveRecorder(archive.get());
            archive->Finish();
        }
    } catch (const common::AppError& e) {
        outputs.Discard();
        Fail(e.what());
    }
    const int movieCode = watch.Close();
    if (result.faulted) std::fprintf(stderr, "step %llu: %s\n", static_cast<unsigned long long>(result.faultStep),
                                       result.fault.c_str());

    if (outId >= 0) {
        try {
            GravBytes bytes = session.Record();
            outputs.Write(outId, common::IsJsonPath(o.out) ? GravToJson(bytes) : std::string(bytes.begin(), bytes.end()));
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
    PrintState(session.State(), static_cast<unsigned long long>(start.step) + result.steps);
    return result.faulted ? 3 : movieCode;
}

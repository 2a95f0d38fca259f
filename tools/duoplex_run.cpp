// duoplex-run: the headless runner of the planar simulation.
//
//   duoplex-run (IN | --config NAME [--three]) --steps N [--out OUT]
//               [--set NAME=VALUE ...] [--function NAME] [--brake 1..5]
//               [--dt X] [--any-size]
//   duoplex-run IN --steps N --archive RUN.gravrun [--archive-every K] [--sync-every S]
//   duoplex-run --resume RUN.gravrun --steps N | --info RUN.gravrun | --verify RUN.gravrun
//
// (run archives: tools/duoplex_run_archive.h; IN may be one, with --at STEP)
//
// IN is a .grav record or its JSON form (told apart by content); OUT ending
// in .json gets the JSON form. --set changes a value of the starting record
// before the first step.
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed at it).
// The output is written beside its target and put in place at the end, so a
// run that ends with 2 leaves no file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/errors.h"
#include "common/exact_text.h"
#include "common/numtext.h"
#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/planar_step.h"
#include "tools/duoplex_run_archive.h"
#include "tools/duoplex_run_options.h"
#include "tools/run_outputs.h"

namespace {

using namespace duoplex;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "duoplex-run: %s\n", message.c_str());
    std::exit(2);
}

bool IsJsonPath(const std::string& path) {
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
}

void PrintState(const PlanarState& s, long long steps) {
    std::printf("steps %lld\n", steps);
    for (int k = 1; k <= kGravons; ++k)
        std::printf("gravon %d: x %s, y %s, speed x %s, speed y %s\n", k, common::FormatReal(s.X[k], '.').c_str(),
                    common::FormatReal(s.Y[k], '.').c_str(), common::FormatReal(s.SpeedX[k], '.').c_str(),
                    common::FormatReal(s.SpeedY[k], '.').c_str());
}

}  // namespace

int main(int argc, char** argv) {
    RunOptions o = ParseRunOptions(argc, argv);
    if (auto code = ArchiveCommand(o)) return *code;

    // The starting record: the document's, or a built-in configuration with
    // zero unused bytes.
    PlanarState s;
    RunStart start;
    if (!o.in.empty() || !o.archive.resume.empty()) {
        GravBytes record{};
        try {
            start = ReadRunStart(o, record);
        } catch (const common::AppError& e) {
            Fail(e.what());
        }
        s.Snapshot = record;  // the output carries its unused bytes
        TakeRecordValues(s, DecodeGravRecord(record));
    }
    FunctionChoice function = FunctionChoice::F_PE;
    if (o.config) {
        function = *o.config;
        if (auto c = RefreshConfiguration(*o.config, o.three)) {
            ApplyConfiguration(s, *c);
            s.DT = c->DT;
        } else {
            s.DT = kGravoNewDT;  // GravoNew: the document's gravons as they are
        }
    }
    if (o.function) function = *o.function;
    if (!o.sets.empty()) {
        GravBytes bytes = EncodeGravRecord(RecordOfState(s));
        for (const auto& [offset, text] : o.sets) common::ParseExactText(text, bytes.data() + offset);
        TakeRecordValues(s, DecodeGravRecord(bytes));
    }
    if (o.dt) s.DT = *o.dt;

    tools::RunOutputs outputs;
    int outId = -1;
    if (!o.out.empty()) {
        try {
            outId = outputs.Add(o.out);
        } catch (const common::AppError& e) {
            Fail(e.what());
        }
    }

    StepSettings st{function, !o.three, o.brake};
    std::unique_ptr<common::RunRecorder> archive;
    try {
        archive = StartRunArchive(o, start, s, st);
    } catch (const common::AppError& e) {
        outputs.Discard();
        Fail(e.what());
    }
    int code = 0;
    long long done = 0;
    for (long long k = 1; k <= o.steps; ++k) {
        try {
            DoStep(s, st);
        } catch (const common::FloatError& e) {
            std::fprintf(stderr, "step %lld: %s\n", k, e.what());
            code = 3;
            break;
        }
        done = k;
        try {
            if (archive) archive->Record(start.step + k, RecordedState(s).data(), EncodeSwitches(st));
        } catch (const common::AppError& e) {
            outputs.Discard();
            Fail(e.what());
        }
    }
    try {
        if (archive) archive->Finish();
    } catch (const common::AppError& e) {
        outputs.Discard();
        Fail(e.what());
    }

    if (outId >= 0) {
        try {
            GravBytes bytes = EncodeGravRecord(RecordOfState(s));
            outputs.Write(outId, IsJsonPath(o.out) ? GravToJson(bytes) : std::string(bytes.begin(), bytes.end()));
            outputs.Commit();
        } catch (const common::AppError& e) {
            outputs.Discard();
            Fail(e.what());
        }
    }
    PrintState(s, start.step + done);
    return code;
}

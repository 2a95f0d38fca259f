// duoplex-run: the headless runner of the planar simulation.
//
//   duoplex-run (IN | --config NAME [--three]) --steps N [--out OUT]
//               [--set NAME=VALUE ...] [--function NAME] [--brake 1..5]
//               [--dt X] [--any-size]
//
// IN is a .grav record or its JSON form (told apart by content); OUT ending
// in .json (any case) gets the JSON form. --set changes a value of the starting record
// before the first step.
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed before it).
// The output is written beside its target and put in place at the end, so a
// run that ends with 2 leaves no file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/document_file.h"
#include "common/errors.h"
#include "common/exact_text.h"
#include "common/numtext.h"
#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/session/session.h"
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
void SetUp(Session& session, const RunOptions& o) {
    if (!o.in.empty()) {
        GravBytes record{};
        try {
            ReadAnyGrav(o.in, record, o.anySize);
        } catch (const common::AppError& e) {
            Fail(e.what());
        }
        session.UseRecord(record);
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
}

}  // namespace

int main(int argc, char** argv) {
    RunOptions o = ParseRunOptions(argc, argv);
    Session session(FaultKeeps::StateBeforeStep, 0);  // no timeline
    SetUp(session, o);

    tools::RunOutputs outputs;
    int outId = -1;
    if (!o.out.empty()) {
        try {
            outId = outputs.Add(o.out);
        } catch (const common::AppError& e) {
            Fail(e.what());
        }
    }

    RunResult result;
    if (o.steps > 0) result = session.Run(static_cast<std::uint64_t>(o.steps), nullptr);
    if (result.faulted) std::fprintf(stderr, "step %llu: %s\n", static_cast<unsigned long long>(result.faultStep),
                                       result.fault.c_str());

    if (outId >= 0) {
        try {
            GravBytes bytes = session.Record();
            outputs.Write(outId, common::IsJsonPath(o.out) ? GravToJson(bytes) : std::string(bytes.begin(), bytes.end()));
            outputs.Commit();
        } catch (const common::AppError& e) {
            outputs.Discard();
            Fail(e.what());
        }
    }
    PrintState(session.State(), static_cast<unsigned long long>(result.steps));
    return result.faulted ? 3 : 0;
}

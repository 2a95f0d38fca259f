#include "tools/duoplex_run_archive.h"

#include <cstdio>
#include <cstring>

#include "common/errors.h"
#include "duoplex/core/grav_json.h"

namespace duoplex {

namespace {

const char* const kProgram = "duoplex-run";

void Warn(const std::string& warning) {
    if (!warning.empty()) std::fprintf(stderr, "%s: warning: %s\n", kProgram, warning.c_str());
}

void TakeFrame(RunOptions& o, const std::string& path, const common::RunFrame& f, GravBytes& record) {
    std::memcpy(record.data(), f.record.data(), kGravRecordSize);
    StepSettings st;
    try {
        st = DecodeSwitches(f.switches);
    } catch (const common::AppError& e) {
        throw common::AppError("'" + path + "': step " + std::to_string(f.step) + ": " + e.what());
    }
    if (!o.function) o.function = st.function;
    if (!o.threeGiven) o.three = !st.twoGravonPass;
    if (!o.brakeGiven) o.brake = st.brake;
}

}  // namespace

std::optional<int> ArchiveCommand(const RunOptions& o) {
    const tools::ArchiveOptions& a = o.archive;
    if (!a.info.empty()) return tools::ArchiveInfo(kProgram, a.info, kPlanarRunKind, a.salvage);
    if (!a.verify.empty()) return tools::VerifyArchive(kProgram, a.verify, kPlanarRunKind, PlanarReplay(), a.salvage);
    return std::nullopt;
}

RunStart ReadRunStart(RunOptions& o, GravBytes& record) {
    RunStart start;
    const std::string& resume = o.archive.resume;
    if (!resume.empty()) {
        common::RunArchive a(resume, kPlanarRunKind, o.archive.salvage);
        Warn(a.Warning());
        if (a.Count() == 0) throw common::AppError("'" + resume + "' holds no frame to resume from");
        common::RunFrame f = a.Frame(a.Count() - 1);
        if (f.step > o.steps)
            throw common::AppError("'" + resume + "' already holds step " + std::to_string(f.step) + ", beyond --steps " +
                                   std::to_string(o.steps));
        TakeFrame(o, resume, f, record);
        o.steps -= f.step;
        start.step = f.step;
        start.archived = true;
        return start;
    }
    if (!common::LooksLikeRunArchive(o.in)) {
        ReadAnyGrav(o.in, record, o.anySize);
        return start;
    }
    common::RunArchive a(o.in, kPlanarRunKind, o.archive.salvage);
    Warn(a.Warning());
    if (a.Count() == 0) throw common::AppError("'" + o.in + "' holds no frame");
    std::int64_t last = a.StepOf(a.Count() - 1);
    std::int64_t step = o.archive.at.value_or(last);
    if (step > last)
        throw common::AppError("'" + o.in + "' holds no state at step " + std::to_string(step) + " (its last is step " +
                               std::to_string(last) + ")");
    TakeFrame(o, o.in, common::RunStateAt(a, step, PlanarReplay()), record);
    start.step = step;
    start.archived = true;
    return start;
}

std::unique_ptr<PlanarArchiveRecorder> StartRunArchive(const RunOptions& o, const RunStart& start,
                                                       const Session& session) {
    const tools::ArchiveOptions& a = o.archive;
    if (a.archive.empty() && a.resume.empty()) return nullptr;
    common::RunArchiveWriter writer =
        a.resume.empty() ? common::RunArchiveWriter::Create(a.archive, kPlanarRunKind, a.syncSeconds)
                         : common::RunArchiveWriter::Append(a.resume, kPlanarRunKind, a.syncSeconds);
    auto recorder = std::make_unique<PlanarArchiveRecorder>(std::move(writer), a.every);
    recorder->Start(start.step, session.State(), session.Settings());
    return recorder;
}

}  // namespace duoplex

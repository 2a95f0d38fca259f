#include "tools/sphaeron_run_archive.h"

#include <cstdio>
#include <cstring>

#include "common/errors.h"
#include "sphaeron/document/ato_json.h"
#include "tools/run_outputs.h"
#include "tools/xyz_writer.h"

namespace sphaeron {

namespace {

const char* const kProgram = "sphaeron-run";

void Warn(const std::string& warning) {
    if (!warning.empty()) std::fprintf(stderr, "%s: warning: %s\n", kProgram, warning.c_str());
}

// The switches of a frame; a text naming the file for unknown ones.
RunSwitches SwitchesOfFrame(const std::string& path, const common::RunFrame& f) {
    try {
        return DecodeSwitches(f.switches);
    } catch (const common::AppError& e) {
        throw common::AppError("'" + path + "': step " + std::to_string(f.step) + ": " + e.what());
    }
}

void TakeFrame(RunOptions& o, const std::string& path, const common::RunFrame& f, TaonsDocument& doc) {
    std::memcpy(doc.bytes.data(), f.record.data(), kDocumentSize);
    if (!o.switchesGiven) {
        RunSwitches sw = SwitchesOfFrame(path, f);
        o.mode = sw.mode;
        o.stopL = sw.stopL;
        o.cool = sw.cool;
    }
}

// The frames of the archive IN as an extended XYZ trajectory.
int WriteFrames(const RunOptions& o) {
    try {
        common::RunArchive a(o.in, kTaonRunKind, o.archive.salvage);
        Warn(a.Warning());
        tools::RunOutputs outputs;
        int id = outputs.Add(o.xyz);
        XyzWriter xyz;
        xyz.Open(outputs.Staging(id));
        auto state = std::make_unique<TaonState>();
        TaonsDocument doc;
        for (std::size_t k = 0; k < a.Count(); ++k) {
            common::RunFrame f = a.Frame(k);
            std::memcpy(doc.bytes.data(), f.record.data(), kDocumentSize);
            DistributeDocument(doc, *state);
            xyz.Frame(*state, f.step);
        }
        xyz.Close();
        outputs.Commit();
        std::printf("frames %zu\n", a.Count());
        return 0;
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 2;
    }
}

}  // namespace

std::optional<int> ArchiveCommand(const RunOptions& o) {
    const tools::ArchiveOptions& a = o.archive;
    if (!a.info.empty()) return tools::ArchiveInfo(kProgram, a.info, kTaonRunKind, a.salvage);
    if (!a.verify.empty())
        return tools::VerifyArchive(kProgram, a.verify, kTaonRunKind, TaonReplay(o.threads), a.salvage);
    if (!o.xyz.empty() && o.steps == 0 && common::LooksLikeRunArchive(o.in)) return WriteFrames(o);
    return std::nullopt;
}

RunStart ReadRunStart(RunOptions& o, TaonsDocument& doc) {
    RunStart start;
    const std::string& resume = o.archive.resume;
    if (!resume.empty()) {
        common::RunArchive a(resume, kTaonRunKind, o.archive.salvage);
        Warn(a.Warning());
        if (a.Count() == 0) throw common::AppError("'" + resume + "' holds no frame to resume from");
        common::RunFrame f = a.Frame(a.Count() - 1);
        if (f.step > o.steps)
            throw common::AppError("'" + resume + "' already holds step " + std::to_string(f.step) + ", beyond --steps " +
                                   std::to_string(o.steps));
        TakeFrame(o, resume, f, doc);
        o.steps -= f.step;
        start.step = f.step;
        start.archived = true;
        return start;
    }
    if (!common::LooksLikeRunArchive(o.in)) {
        ReadAnyDocument(o.in, doc, o.anySize);
        return start;
    }
    common::RunArchive a(o.in, kTaonRunKind, o.archive.salvage);
    Warn(a.Warning());
    if (a.Count() == 0) throw common::AppError("'" + o.in + "' holds no frame");
    std::int64_t last = a.StepOf(a.Count() - 1);
    std::int64_t step = o.archive.at.value_or(last);
    if (step > last)
        throw common::AppError("'" + o.in + "' holds no state at step " + std::to_string(step) + " (its last is step " +
                               std::to_string(last) + ")");
    TakeFrame(o, o.in, common::RunStateAt(a, step, TaonReplay(o.threads)), doc);
    start.step = step;
    start.archived = true;
    return start;
}

std::unique_ptr<RunArchiveRecorder> StartRunArchive(const RunOptions& o, const RunStart& start, const TaonState& state,
                                                    const TaonsDocument& doc) {
    const tools::ArchiveOptions& a = o.archive;
    if (a.archive.empty() && a.resume.empty()) return nullptr;
    common::RunArchiveWriter writer =
        a.resume.empty() ? common::RunArchiveWriter::Create(a.archive, kTaonRunKind, a.syncSeconds)
                         : common::RunArchiveWriter::Append(a.resume, kTaonRunKind, a.syncSeconds);
    auto recorder = std::make_unique<RunArchiveRecorder>(std::move(writer), a.every);
    TaonsDocument packed = doc;  // the state as the run starts (--set, --dt), with the padding read
    PackDocument(state, packed);
    recorder->Start(start.step, packed, SwitchesOf(o));
    return recorder;
}

}  // namespace sphaeron

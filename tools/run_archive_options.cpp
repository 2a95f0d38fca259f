#include "tools/run_archive_options.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "common/errors.h"
#include "tools/cli_support.h"

namespace tools {

void AddArchiveOptions(CLI::App& app, ArchiveOptions& o, const std::string& extension) {
    const char* group = "Run archives";
    const std::string run = "RUN." + extension;
    auto value = [&](const char* name, const std::string& type, const char* text, auto set) {
        return app.add_option_function<std::string>(name, set, text)->type_name(type)->group(group);
    };
    app.add_option("--archive", o.archive, "write the run into an archive as it goes")->type_name(run)->group(group);
    value("--archive-every", "K", "steps between archive frames (1 by default); the others are recomputed exactly",
          [&o](const std::string& t) { o.every = WholeNumber("--archive-every", t, 1, LLONG_MAX); });
    value("--sync-every", "S", "seconds between syncs of the archive to disk (2 by default)",
          [&o](const std::string& t) {
              long double s = Real("--sync-every", t);
              if (!(s >= 0 && s <= 1e6L)) throw CLI::ValidationError("--sync-every needs seconds from 0 to 1000000");
              o.syncSeconds = static_cast<double>(s);
          });
    app.add_option("--resume", o.resume, "continue the archived run from its last good frame up to --steps in all")
        ->type_name(run)
        ->group(group);
    value("--at", "STEP", "with an archive as IN: the state at that step instead of the last",
          [&o](const std::string& t) { o.at = WholeNumber("--at", t, 0, LLONG_MAX); });
    app.add_flag("--salvage", o.salvage, "read the frames before a damaged one")->group(group);
    app.add_option("--info", o.info, "print the frames, the steps, the size and any damage")->type_name(run)->group(group);
    app.add_option("--verify", o.verify, "replay every span and compare (exit 4 at the first difference)")
        ->type_name(run)
        ->group(group);
}

void CheckArchiveOptions(const std::string& program, const ArchiveOptions& o, const std::string& input,
                         long long steps, bool otherOutputs) {
    int commands = !o.info.empty() + !o.verify.empty() + !o.resume.empty();
    if (commands > 1) BadCommandLine(program, "give one of --info, --verify and --resume");
    if (o.ReadOnlyCommand() && (!input.empty() || steps >= 0 || otherOutputs || !o.archive.empty()))
        BadCommandLine(program, std::string(o.info.empty() ? "--verify" : "--info") +
                                    " reads an archive only: no input document, steps or outputs");
    if (!o.resume.empty()) {
        if (!input.empty()) BadCommandLine(program, "--resume continues the archive: no input document");
        if (!o.archive.empty()) BadCommandLine(program, "--resume appends to its own archive: no --archive");
        if (steps < 0) BadCommandLine(program, "--resume needs --steps N, the steps in all");
        if (o.at) BadCommandLine(program, "--resume continues from the last frame: no --at");
    }
}

int ArchiveInfo(const std::string& program, const std::string& path, const common::RunArchiveKind& kind,
                bool salvage) {
    try {
        common::RunArchive a(path, kind, salvage);
        std::fputs(common::RunInfoText(a).c_str(), stdout);
        return 0;
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return 2;
    }
}

int VerifyArchive(const std::string& program, const std::string& path, const common::RunArchiveKind& kind,
                  const common::RunReplay& replay, bool salvage) {
    try {
        common::RunArchive a(path, kind, salvage);
        if (!a.Warning().empty()) std::fprintf(stderr, "%s: warning: %s\n", program.c_str(), a.Warning().c_str());
        bool progress = isatty(STDERR_FILENO) != 0;
        common::RunVerifyResult r = common::VerifyRun(a, replay, [&](std::size_t k) {
            if (progress && k % 64 == 0) std::fprintf(stderr, "\rframe %zu of %zu", k, a.Count());
        });
        if (progress) std::fprintf(stderr, "\r%40s\r", "");
        if (!r.ok) {
            std::printf("frame %zu, step %lld: %s\n", r.frame, static_cast<long long>(r.step), r.text.c_str());
            return kVerifyDiffers;
        }
        std::printf("%zu frames replay exactly\n", a.Count());
        return 0;
    } catch (const common::AppError& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return 2;
    }
}

}  // namespace tools

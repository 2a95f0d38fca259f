#pragma once
// The run archive options both headless runners share, and the commands
// that only read an archive (--info, --verify).
//
//   --archive RUN [--archive-every K] [--sync-every S]   write the run as it goes
//   --resume RUN --steps N                                continue it up to N steps
//   IN may be an archive: its last state, or --at STEP; --salvage reads the
//   frames before a damaged one. --info RUN, --verify RUN.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>

#include "common/run_archive.h"

namespace tools {

// Exit code of --verify when a frame differs from its replay.
constexpr int kVerifyDiffers = 4;

struct ArchiveOptions {
    std::string archive, resume, info, verify;
    std::int64_t every = 1;
    double syncSeconds = common::RunArchiveWriter::kDefaultSyncSeconds;
    std::optional<std::int64_t> at;
    bool salvage = false;

    // --info or --verify: a command that reads an archive and runs nothing.
    bool ReadOnlyCommand() const { return !info.empty() || !verify.empty(); }
    // Needs no input document: --info, --verify, --resume.
    bool NoInput() const { return ReadOnlyCommand() || !resume.empty(); }
};

// Adds the options; `extension` is "atorun" or "gravrun".
void AddArchiveOptions(CLI::App& app, ArchiveOptions& o, const std::string& extension);
// The option rules after parsing; a bad combination prints and exits 2.
// `input` is IN, `steps` --steps (-1 when not given).
void CheckArchiveOptions(const std::string& program, const ArchiveOptions& o, const std::string& input,
                         long long steps, bool otherOutputs);

// --info RUN: prints the facts; 0, or 2 for input that cannot be read.
int ArchiveInfo(const std::string& program, const std::string& path, const common::RunArchiveKind& kind, bool salvage);
// --verify RUN: 0 when every frame replays exactly, 4 with the first frame
// that differs and its step, 2 for input that cannot be read.
int VerifyArchive(const std::string& program, const std::string& path, const common::RunArchiveKind& kind,
                  const common::RunReplay& replay, bool salvage);

}  // namespace tools

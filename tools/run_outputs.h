#pragma once
// The files a headless run writes, all or nothing. Each output is checked
// and given a staging file beside its target before the first step; the run
// writes into the staging files, and Commit renames them over their targets
// at the end. A run that stops on a write error (or is interrupted) leaves
// no file behind, and a replaced file stays as it was until the commit.
#include <memory>
#include <string>
#include <vector>

#include "common/fileio.h"

namespace tools {

// "cannot write '<path>': <reason>"
std::string CannotWriteText(const std::string& path, const std::string& reason);

class RunOutputs {
public:
    RunOutputs() = default;
    ~RunOutputs();  // removes the staging files of a run that did not commit
    RunOutputs(const RunOutputs&) = delete;
    RunOutputs& operator=(const RunOutputs&) = delete;

    // Registers an output and creates its staging file, after checking that
    // its folder exists and can be written, that the target is not a folder
    // or a read-only file and that no other output names the same path.
    // Throws common::FileError "cannot write '<path>': <reason>" (the
    // system's file texts: "File not found", "File access denied", ...).
    // A link is followed (the file it names is replaced); a device or a pipe
    // and any path in /dev or /proc (/dev/null, /dev/stdout) is written
    // directly.
    int Add(const std::string& path);

    const std::string& Target(int id) const { return outputs_[static_cast<std::size_t>(id)].target; }
    // Where the run writes the output until the commit.
    const std::string& Staging(int id) const {
        const Output& o = outputs_[static_cast<std::size_t>(id)];
        return o.file ? o.file->Path() : o.direct;
    }

    // Writes the whole content of an output; throws FileError as Add.
    void Write(int id, const std::string& bytes);

    // Syncs every staging file, then renames each over its target in the
    // order added (the atomic write of common/fileio.h). A failed sync
    // leaves every target as it was; if a rename fails, the targets this
    // run created are removed again. Both throw FileError as Add.
    void Commit();
    // Removes the staging files.
    void Discard();

private:
    struct Output {
        std::string target;                        // as named
        std::string direct;                        // a device or pipe, written in place
        std::unique_ptr<common::StagedFile> file;  // else its staging file
        bool committed = false;
    };
    std::vector<Output> outputs_;
};

}  // namespace tools

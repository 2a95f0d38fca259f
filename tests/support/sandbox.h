#pragma once
// A temporary folder that stands in for a test process's home,
// configuration, cache, runtime and working folders, and a watch on the
// real folders outside it, for tests that must show that a window writes
// nowhere but where it was told to.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct Sandbox {
    std::string root;          // <system temporary folder>/<prefix>-<pid>
    std::string docs;          // root/docs, for the test's documents
    std::string cwd;           // root/cwd, the working folder while inside
    std::string originalCwd;   // where the process started
    std::string originalHome;  // $HOME at the start, may be empty
};

// Creates the sandbox and points HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_DATA_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR, TMPDIR and the working folder into it.
Sandbox EnterSandbox(const std::string& prefix);

// Back to the original working folder; removes the sandbox, read-only
// folders included.
void LeaveSandbox(const Sandbox& box);

// Files created or written in the folders outside the sandbox: the
// original working folder, the system's temporary folder, the real home
// and its configuration folder, and `extra` (relative to the real home).
// Only names for which `ours` holds are reported: other programs write to
// these shared folders too.
class OutsideWrites {
public:
    OutsideWrites(const Sandbox& box, std::function<bool(const std::string&)> ours,
                  const std::vector<std::string>& extraInHome = {});
    ~OutsideWrites();
    OutsideWrites(const OutsideWrites&) = delete;
    OutsideWrites& operator=(const OutsideWrites&) = delete;

    bool Watching() const { return !names_.empty(); }
    // The full names seen since the last call.
    std::vector<std::string> Drain();

private:
    int fd_ = -1;
    std::function<bool(const std::string&)> ours_;
    std::map<int, std::string> names_;
};

}  // namespace testsupport

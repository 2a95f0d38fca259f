#pragma once
// A small memory file system that really fills up, for the full-disk tests.
// Mounting one needs a private mount namespace, which a container without
// CAP_SYS_ADMIN does not grant: the test is then skipped, and says why.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

// The exit code of a forked child that could not mount.
inline constexpr int kNoSmallFileSystem = 77;

// In a forked child: mounts a memory file system of `size` (such as "16k")
// at mountPoint, in a mount namespace of the child's own. On failure it
// leaves the reason beside the mount point and ends the child with
// kNoSmallFileSystem.
inline void MountSmallFileSystemOrExit(const std::string& mountPoint, const char* size) {
    const char* step = nullptr;
    if (::unshare(CLONE_NEWNS) != 0) {
        step = "unshare(CLONE_NEWNS)";
    } else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        step = "making / private";
    } else if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) != 0) {
        step = "mounting tmpfs";
    }
    if (!step) return;
    const int error = errno;
    std::ofstream(mountPoint + ".why") << step << ": " << std::strerror(error);
    ::_exit(kNoSmallFileSystem);
}

// In the parent, after the child ended with kNoSmallFileSystem: why.
inline std::string SmallFileSystemSkipReason(const std::string& mountPoint) {
    std::ifstream in(mountPoint + ".why");
    std::stringstream why;
    why << in.rdbuf();
    return "a small memory file system cannot be mounted here (" + why.str() +
           "); this needs root with CAP_SYS_ADMIN, as outside a container";
}

}  // namespace testsupport

#include "tests/support/sandbox.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

namespace testsupport {

namespace fs = std::filesystem;

Sandbox EnterSandbox(const std::string& prefix) {
    Sandbox box;
    box.originalCwd = fs::current_path().string();
    const char* home = std::getenv("HOME");
    box.originalHome = home ? home : "";
    box.root = (fs::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()))).string();
    fs::remove_all(box.root);
    for (const char* sub : {"home", "config", "cache", "data", "runtime", "cwd", "docs"})
        fs::create_directories(box.root + "/" + sub);
    ::chmod((box.root + "/runtime").c_str(), 0700);
    box.docs = box.root + "/docs";
    box.cwd = box.root + "/cwd";
    ::setenv("HOME", (box.root + "/home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (box.root + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (box.root + "/cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (box.root + "/data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (box.root + "/state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (box.root + "/runtime").c_str(), 1);
    ::setenv("TMPDIR", box.cwd.c_str(), 1);
    fs::current_path(box.cwd);
    return box;
}

void LeaveSandbox(const Sandbox& box) {
    fs::current_path(box.originalCwd);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(box.root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_directory()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(box.root, ec);
}

OutsideWrites::OutsideWrites(const Sandbox& box, std::function<bool(const std::string&)> ours,
                             const std::vector<std::string>& extraInHome)
    : ours_(std::move(ours)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::set<std::string> folders = {box.originalCwd, fs::path(box.root).parent_path().string()};
    if (!box.originalHome.empty()) {
        folders.insert(box.originalHome);
        folders.insert(box.originalHome + "/.config");
        for (const std::string& e : extraInHome) folders.insert(box.originalHome + "/" + e);
    }
    for (const std::string& f : folders) {
        int wd = ::inotify_add_watch(fd_, f.c_str(), IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY);
        if (wd >= 0) names_[wd] = f;
    }
}

OutsideWrites::~OutsideWrites() {
    if (fd_ >= 0) ::close(fd_);
}

std::vector<std::string> OutsideWrites::Drain() {
    std::vector<std::string> found;
    alignas(inotify_event) char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) break;
        for (char* p = buf; p < buf + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            std::string name = e->len ? e->name : "";
            if (ours_(name)) found.push_back(names_[e->wd] + "/" + name);
            p += sizeof(inotify_event) + e->len;
        }
    }
    return found;
}

}  // namespace testsupport

#include "common/movie.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/fileio.h"

extern char** environ;

namespace common {

const char* const kNoFfmpegText =
    "movies need the ffmpeg program (Debian package ffmpeg), and it is not on the PATH";

namespace {

bool EndsWith(const std::string& path, const char* suffix) {
    std::size_t n = std::strlen(suffix);
    return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, suffix) == 0;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

[[noreturn]] void ThrowCannotWrite(const std::string& path, int err) {
    throw FileError("cannot write '" + path + "': " + FileErrorText(err), err);
}

std::string FormatFps(double fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", fps);
    return text;
}

// An unnamed file for the child's messages.
int MessagesFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : "/tmp") + "/.ffmpeg-messages-XXXXXX";
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::unlink(name.c_str());
    return fd;
}

std::string ReadMessages(int fd) {
    std::string text;
    off_t size = ::lseek(fd, 0, SEEK_END);
    if (size <= 0) return text;
    off_t from = size > 65536 ? size - 65536 : 0;
    text.resize(static_cast<std::size_t>(size - from));
    ssize_t n = ::pread(fd, text.data(), text.size(), from);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

}  // namespace

MovieFormat MovieFormatOf(const std::string& path) {
    if (EndsWith(path, ".mp4")) return MovieFormat::Mp4;
    if (EndsWith(path, ".gif")) return MovieFormat::Gif;
    if (EndsWith(path, ".mkv")) return MovieFormat::Mkv;
    throw AppError("'" + path + "': a movie is named .mp4, .gif or .mkv");
}

bool IsMoviePath(const std::string& path) {
    return EndsWith(path, ".mp4") || EndsWith(path, ".gif") || EndsWith(path, ".mkv");
}

std::vector<std::string> FfmpegArguments(MovieFormat format, const MovieSettings& s, const std::string& output) {
    std::vector<std::string> a = {"-hide_banner", "-loglevel", "error", "-nostats", "-nostdin",
                                  "-f", "rawvideo", "-pix_fmt", "rgb24",
                                  "-video_size", std::to_string(s.width) + "x" + std::to_string(s.height),
                                  "-framerate", FormatFps(s.fps), "-i", "pipe:0", "-an"};
    switch (format) {
    case MovieFormat::Mp4:
        // Players want yuv420p, and yuv420p wants even sizes: a black column
        // or row is added on the right or at the bottom.
        a.insert(a.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-c:v", "libx264", "-preset", "veryfast",
                           "-crf", std::to_string(s.quality), "-pix_fmt", "yuv420p", "-movflags", "+faststart",
                           "-f", "mp4"});
        break;
    case MovieFormat::Gif:
        // The palette of the whole movie first, then the frames through it.
        a.insert(a.end(), {"-filter_complex", "[0:v]split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse",
                           "-f", "gif"});
        break;
    case MovieFormat::Mkv:
        a.insert(a.end(), {"-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-f", "matroska"});
        break;
    }
    a.insert(a.end(), {"-y", output});
    return a;
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::string FfmpegProgram() {
    const char* given = std::getenv("SPHAERON_FFMPEG");
    std::string program = given && *given ? std::string(given) : FindProgram("ffmpeg");
    if (program.empty() || ::access(program.c_str(), X_OK) != 0) throw AppError(kNoFfmpegText);
    return program;
}

std::string LastLine(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0) {
        while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' ')) --end;
        std::size_t begin = text.find_last_of("\r\n", end == 0 ? 0 : end - 1);
        begin = begin == std::string::npos ? 0 : begin + 1;
        if (end > begin) return text.substr(begin, end - begin);
        end = begin;
    }
    return {};
}

std::string FfmpegFailureText(int status, const std::string& messages) {
    std::string text = "ffmpeg failed";
    if (WIFEXITED(status))
        text += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    else if (WIFSIGNALED(status))
        text += " (ended by signal " + std::to_string(WTERMSIG(status)) + ")";
    std::string last = LastLine(messages);
    if (!last.empty()) text += ": " + last;
    return text;
}

std::string MakeMovieStaging(const std::string& target) {
    if (target.empty()) ThrowCannotWrite(target, ENOENT);
    struct stat st;
    mode_t mode;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) ThrowCannotWrite(target, EISDIR);
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) ThrowCannotWrite(target, EACCES);
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string folder = FolderOf(target);
    if (::stat(folder.c_str(), &st) != 0) ThrowCannotWrite(target, errno);
    if (!S_ISDIR(st.st_mode)) ThrowCannotWrite(target, ENOTDIR);
    if ((st.st_mode & 0222) == 0 || ::access(folder.c_str(), W_OK) != 0) ThrowCannotWrite(target, EACCES);
    std::string staging = folder + "/.movie-XXXXXX";
    int fd = ::mkstemp(staging.data());
    if (fd < 0) ThrowCannotWrite(target, errno);
    ::fchmod(fd, mode);
    ::close(fd);
    return staging;
}

void CommitMovie(const std::string& staging, const std::string& target) {
    if (::rename(staging.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(staging.c_str());
        ThrowCannotWrite(target, err);
    }
}

void RgbBytes(const std::uint32_t* pixels, std::size_t count, unsigned char* out) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t c = pixels[i];
        out[3 * i] = static_cast<unsigned char>(c >> 16);
        out[3 * i + 1] = static_cast<unsigned char>(c >> 8);
        out[3 * i + 2] = static_cast<unsigned char>(c);
    }
}

MovieEncoder::MovieEncoder(MovieFormat format, const MovieSettings& settings, const std::string& output)
    : frameBytes_(static_cast<std::size_t>(settings.width) * static_cast<std::size_t>(settings.height) * 3) {
    std::string program = FfmpegProgram();
    std::vector<std::string> args = FfmpegArguments(format, settings, output);
    std::vector<char*> argv;
    argv.push_back(program.data());
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw AppError("ffmpeg could not be started: " + FileErrorText(errno));
    // Room for a whole frame, so that a frame is handed over while ffmpeg
    // is still busy with the one before (as far as the system allows).
    ::fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(frameBytes_ < (1u << 20) ? frameBytes_ + 4096 : 1u << 20));
    messages_ = MessagesFile();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, messages_, 2);
    // The child gets the usual signal handling, whatever its parent ignores
    // (an interpreter ignores SIGPIPE).
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    int err = ::posix_spawn(&child_, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[0]);
    input_ = fds[1];
    if (err != 0) {
        child_ = -1;
        throw AppError("ffmpeg could not be started: " + FileErrorText(err));
    }
}

MovieEncoder::~MovieEncoder() { Abort(); }

void MovieEncoder::Frame(const unsigned char* rgb) {
    // A child that has ended makes the write fail with EPIPE; the signal
    // that comes with it is held and taken back instead of ending us.
    sigset_t pipeSignal, old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    std::size_t left = frameBytes_;
    int err = 0;
    while (left > 0) {
        ssize_t n = ::write(input_, rgb, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            break;
        }
        rgb += n;
        left -= static_cast<std::size_t>(n);
    }
    if (err == EPIPE) {
        timespec zero{};
        sigtimedwait(&pipeSignal, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (err != 0) Failed();
    ++frames_;
}

int MovieEncoder::Wait() {
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    return status;
}

void MovieEncoder::Failed() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    int status = child_ > 0 ? Wait() : 0;
    std::string text = FfmpegFailureText(status, messages_ >= 0 ? ReadMessages(messages_) : std::string());
    if (status == 0) text += ": it stopped reading the frames";
    throw AppError(text);
}

void MovieEncoder::Finish() {
    if (child_ <= 0) throw AppError("ffmpeg failed: the movie was ended before");
    ::close(input_);
    input_ = -1;
    int status = Wait();
    if (status != 0) {
        std::string messages = ReadMessages(messages_);
        throw AppError(FfmpegFailureText(status, messages));
    }
    ::close(messages_);
    messages_ = -1;
}

void MovieEncoder::Abort() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        Wait();
    }
    if (messages_ >= 0) ::close(messages_);
    messages_ = -1;
}

}  // namespace common

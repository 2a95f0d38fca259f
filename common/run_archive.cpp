#include "common/run_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/fileio.h"

namespace common {

const char kRunMagic[8] = {'R', 'U', 'N', 'A', 'R', 'C', 'H', '\n'};

namespace {

// ---- CRC-32C ------------------------------------------------------------

struct Crc32cTable {
    std::uint32_t t[256];
    Crc32cTable() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
            t[i] = c;
        }
    }
};

#if defined(__x86_64__)
// The processor's own CRC-32C instruction (SSE 4.2), eight bytes at a time:
// the same sums, an archive's frames checked at the speed they are read.
__attribute__((target("sse4.2"))) std::uint32_t Crc32cHardware(const unsigned char* p, std::size_t size,
                                                                std::uint32_t crc) {
    std::uint64_t c = crc;
    for (; size >= 8; size -= 8, p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        c = _mm_crc32_u64(c, word);
    }
    auto c32 = static_cast<std::uint32_t>(c);
    for (; size > 0; --size, ++p) c32 = _mm_crc32_u8(c32, *p);
    return c32;
}
#endif

// ---- little-endian fields ---------------------------------------------------

void PutU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint32_t GetU32(const unsigned char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
void PutI64(unsigned char* p, std::int64_t s) {
    auto v = static_cast<std::uint64_t>(s);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::int64_t GetI64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return static_cast<std::int64_t>(v);
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// ---- files ------------------------------------------------------------------

// Reads exactly size bytes at offset; false when the file ends first.
bool ReadAt(int fd, unsigned char* out, std::size_t size, std::uint64_t offset) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(errno);
        }
        if (n == 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t SizeOf(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) ThrowFileError(errno);
    if (S_ISDIR(st.st_mode)) ThrowFileError(EISDIR);
    return static_cast<std::uint64_t>(st.st_size);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Permission bits count for a superuser too: a read-only folder or archive
// is never written.
int WritableError(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno;
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return EACCES;
    return 0;
}

std::string CannotWrite(const std::string& path, int err) {
    return "cannot write " + Quoted(path) + ": " + FileErrorText(err);
}

// The header of an archive of `kind`.
std::array<unsigned char, kRunHeaderSize> MakeHeader(const RunArchiveKind& kind) {
    std::array<unsigned char, kRunHeaderSize> h{};
    std::memcpy(h.data(), kRunMagic, 8);
    std::strncpy(reinterpret_cast<char*>(h.data() + 8), kind.program, kRunProgramSize - 1);
    PutU32(h.data() + 24, kRunFormatVersion);
    PutU32(h.data() + 28, kind.recordSize);
    PutU32(h.data() + 32, static_cast<std::uint32_t>(kind.FrameSize()));
    PutU32(h.data() + 60, Crc32c(h.data(), 60));
    return h;
}

// Checks the header of an open file: throws with the reason when it is not
// an archive of `kind`.
void CheckHeader(int fd, const std::string& path, const RunArchiveKind& kind) {
    std::array<unsigned char, kRunHeaderSize> h{};
    bool whole = ReadAt(fd, h.data(), h.size(), 0);
    std::string name = Quoted(path);
    if (std::memcmp(h.data(), kRunMagic, 8) != 0) throw AppError(name + " is not a run archive");
    if (!whole) throw AppError(name + " is a run archive cut short in its header");
    std::string program(reinterpret_cast<const char*>(h.data() + 8),
                        strnlen(reinterpret_cast<const char*>(h.data() + 8), kRunProgramSize));
    bool printable = !program.empty() && std::all_of(program.begin(), program.end(),
                                                     [](char c) { return c >= 0x20 && c < 0x7f; });
    if (!printable) throw AppError(name + " is not a run archive");
    if (program != kind.program)
        throw AppError(name + " is a " + program + " run archive, not a " + kind.program + " one");
    std::uint32_t version = GetU32(h.data() + 24);
    if (version > kRunFormatVersion)
        throw AppError(name + " has run archive format version " + std::to_string(version) +
                       ", newer than this program reads (" + std::to_string(kRunFormatVersion) + ")");
    if (version == 0 || GetU32(h.data() + 60) != Crc32c(h.data(), 60))
        throw AppError(name + " is a run archive with a damaged header");
    std::uint32_t record = GetU32(h.data() + 28);
    if (record != kind.recordSize)
        throw AppError(name + " holds records of " + std::to_string(record) + " bytes, not the " +
                       std::to_string(kind.recordSize) + " of a " + kind.program + " document");
    if (GetU32(h.data() + 32) != kind.FrameSize())
        throw AppError(name + " is a run archive with a damaged header");
}

bool FrameCrcGood(const unsigned char* frame, const RunArchiveKind& kind) {
    std::size_t body = kRunFrameHead + kind.recordSize;
    return GetU32(frame + body) == Crc32c(frame, body);
}

// The good frames of an open archive and what is left out after them.
struct Tail {
    std::size_t count = 0;
    std::uint64_t leftOut = 0;
    std::string warning;
};

std::string LeftOutText(const std::string& path, std::uint64_t from, std::uint64_t bytes, const char* what) {
    return Quoted(path) + ": the last " + std::to_string(bytes) + " bytes (from offset " + std::to_string(from) +
           ", " + what + ") are left out";
}

}  // namespace

bool LooksLikeRunArchive(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char head[sizeof kRunMagic] = {};
    bool same = ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
                std::memcmp(head, kRunMagic, sizeof head) == 0;
    ::close(fd);
    return same;
}

std::uint32_t Crc32c(const void* data, std::size_t size, std::uint32_t crc) {
    auto p = static_cast<const unsigned char*>(data);
#if defined(__x86_64__)
    static const bool hardware = __builtin_cpu_supports("sse4.2");
    if (hardware) return ~Crc32cHardware(p, size, ~crc);
#endif
    static const Crc32cTable table;
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table.t[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

// ---- RunArchive ---------------------------------------------------------------

RunArchive::RunArchive(const std::string& path, const RunArchiveKind& kind, bool salvage)
    : path_(path), kind_(kind) {
    if (path.empty()) ThrowFileError(ENOENT);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) ThrowFileError(errno);
    try {
        fileSize_ = SizeOf(fd_);
        CheckHeader(fd_, path, kind);
        const std::size_t frame = kind.FrameSize();
        std::uint64_t body = fileSize_ - kRunHeaderSize;
        std::size_t whole = static_cast<std::size_t>(body / frame);
        std::vector<unsigned char> buffer(frame);
        if (salvage) {
            std::size_t k = 0;
            while (k < whole && FrameGood(k, buffer)) ++k;
            count_ = k;
            leftOut_ = fileSize_ - FrameOffset(kind, k);
            if (k < whole)
                warning_ = LeftOutText(path, FrameOffset(kind, k), leftOut_, "damaged from this frame on");
            else if (leftOut_ > 0)
                warning_ = LeftOutText(path, FrameOffset(kind, k), leftOut_, "an incomplete frame");
            return;
        }
        count_ = whole;
        const char* what = "an incomplete frame";
        if (count_ > 0 && !FrameGood(count_ - 1, buffer)) {
            --count_;
            what = body % frame == 0 ? "a damaged frame" : "a damaged frame and an incomplete one";
        }
        leftOut_ = fileSize_ - FrameOffset(kind, count_);
        if (leftOut_ > 0) warning_ = LeftOutText(path, FrameOffset(kind, count_), leftOut_, what);
        // Only the last frame may be damaged by an interrupted write.
        if (count_ > 0 && !FrameGood(count_ - 1, buffer)) throw AppError(DamagedText(count_ - 1));
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

RunArchive::~RunArchive() {
    if (fd_ >= 0) ::close(fd_);
}

std::string RunArchive::DamagedText(std::size_t k) const {
    return Quoted(path_) + ": frame " + std::to_string(k) + " (offset " + std::to_string(FrameOffset(kind_, k)) +
           ") is damaged: its CRC-32C does not match";
}

bool RunArchive::FrameGood(std::size_t k, std::vector<unsigned char>& buffer) const {
    buffer.resize(kind_.FrameSize());
    if (!ReadAt(fd_, buffer.data(), buffer.size(), FrameOffset(kind_, k))) return false;
    return FrameCrcGood(buffer.data(), kind_);
}

RunFrame RunArchive::Frame(std::size_t k) const {
    if (k >= count_) throw AppError(Quoted(path_) + " has no frame " + std::to_string(k));
    std::vector<unsigned char> buffer;
    if (!FrameGood(k, buffer)) throw AppError(DamagedText(k));
    RunFrame f;
    f.step = GetI64(buffer.data());
    std::memcpy(f.switches.data(), buffer.data() + 8, kRunSwitchesSize);
    f.record.assign(buffer.begin() + kRunFrameHead, buffer.begin() + static_cast<long>(kRunFrameHead + kind_.recordSize));
    return f;
}

std::optional<std::size_t> RunArchive::FindStep(std::int64_t step) const {
    // The first frame whose step exceeds `step`, by halving.
    std::size_t lo = 0, hi = count_;
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (StepOf(mid) <= step)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0) return std::nullopt;
    return lo - 1;
}

// ---- RunArchiveWriter ---------------------------------------------------------

RunArchiveWriter::RunArchiveWriter(std::string path, const RunArchiveKind& kind, int fd, double syncSeconds,
                                   RunSyncSeam seam)
    : path_(std::move(path)), kind_(kind), fd_(fd), syncSeconds_(syncSeconds), seam_(std::move(seam)) {
    if (!seam_.now) seam_.now = [] { return std::chrono::steady_clock::now(); };
    if (!seam_.sync) seam_.sync = [](int f) { return ::fdatasync(f); };
    if (!seam_.write) seam_.write = [](int f, const void* p, std::size_t n, off_t o) { return ::pwrite(f, p, n, o); };
    lastSync_ = seam_.now();
    buffer_.resize(kind.FrameSize());
}

RunArchiveWriter::RunArchiveWriter(RunArchiveWriter&& o) noexcept
    : path_(std::move(o.path_)),
      kind_(o.kind_),
      fd_(o.fd_),
      syncSeconds_(o.syncSeconds_),
      seam_(std::move(o.seam_)),
      count_(o.count_),
      fileSize_(o.fileSize_),
      lastStep_(o.lastStep_),
      lastFrame_(std::move(o.lastFrame_)),
      warning_(std::move(o.warning_)),
      lastSync_(o.lastSync_),
      dirty_(o.dirty_),
      syncs_(o.syncs_),
      buffer_(std::move(o.buffer_)) {
    o.fd_ = -1;
}

RunArchiveWriter& RunArchiveWriter::operator=(RunArchiveWriter&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0) ::close(fd_);
        path_ = std::move(o.path_);
        kind_ = o.kind_;
        fd_ = o.fd_;
        o.fd_ = -1;
        syncSeconds_ = o.syncSeconds_;
        seam_ = std::move(o.seam_);
        count_ = o.count_;
        fileSize_ = o.fileSize_;
        lastStep_ = o.lastStep_;
        lastFrame_ = std::move(o.lastFrame_);
        warning_ = std::move(o.warning_);
        lastSync_ = o.lastSync_;
        dirty_ = o.dirty_;
        syncs_ = o.syncs_;
        buffer_ = std::move(o.buffer_);
    }
    return *this;
}

RunArchiveWriter::~RunArchiveWriter() {
    if (fd_ < 0) return;
    if (dirty_) seam_.sync(fd_);
    ::close(fd_);
}

void RunArchiveWriter::Fail(int err) const { throw FileError(CannotWrite(path_, err), err); }

RunArchiveWriter RunArchiveWriter::Create(const std::string& path, const RunArchiveKind& kind, double syncSeconds,
                                          RunSyncSeam seam) {
    if (path.empty()) throw FileError(CannotWrite(path, ENOENT), ENOENT);
    std::string folder = FolderOf(path);
    if (int err = WritableError(folder)) throw FileError(CannotWrite(path, err), err);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        // Only an archive of this program is replaced.
        if (S_ISDIR(st.st_mode)) throw FileError(CannotWrite(path, EISDIR), EISDIR);
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw FileError(CannotWrite(path, errno), errno);
        try {
            CheckHeader(fd, path, kind);
        } catch (const AppError& e) {
            ::close(fd);
            throw AppError(std::string(e.what()) + "; it is left as it is");
        }
        ::close(fd);
        if (int err = WritableError(path)) throw FileError(CannotWrite(path, err), err);
    }
    std::string temp = folder + "/." + std::string(kind.program) + "-run-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw FileError(CannotWrite(path, errno), errno);
    RunArchiveWriter w(path, kind, fd, syncSeconds, std::move(seam));
    auto header = MakeHeader(kind);
    ssize_t n = w.seam_.write(fd, header.data(), header.size(), 0);
    int err = n == static_cast<ssize_t>(header.size()) ? 0 : (n < 0 ? errno : ENOSPC);
    if (err == 0 && ::fchmod(fd, 0644) != 0) err = errno;
    if (err == 0 && ::rename(name.data(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(name.data());
        w.Fail(err);
    }
    // The new name lasts through a power cut too.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    w.fileSize_ = kRunHeaderSize;
    w.dirty_ = true;
    return w;
}

RunArchiveWriter RunArchiveWriter::Append(const std::string& path, const RunArchiveKind& kind, double syncSeconds,
                                          RunSyncSeam seam) {
    std::size_t count = 0;
    std::optional<RunFrame> last;
    std::string warning;
    {
        RunArchive reader(path, kind);
        count = reader.Count();
        if (count > 0) last = reader.Frame(count - 1);
        warning = reader.Warning();
    }
    if (int err = WritableError(path)) throw FileError(CannotWrite(path, err), err);
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) throw FileError(CannotWrite(path, errno), errno);
    RunArchiveWriter w(path, kind, fd, syncSeconds, std::move(seam));
    w.count_ = count;
    if (last) w.lastStep_ = last->step;
    w.lastFrame_ = std::move(last);
    w.warning_ = warning;
    w.fileSize_ = SizeOf(fd);
    return w;
}

void RunArchiveWriter::Add(std::int64_t step, const SwitchBytes& switches, const unsigned char* record) {
    if (fd_ < 0) throw AppError(CannotWrite(path_, EBADF));
    if (lastStep_ && step < *lastStep_)
        throw AppError(Quoted(path_) + ": step " + std::to_string(step) + " comes before the last frame's step " +
                       std::to_string(*lastStep_));
    const std::uint64_t end = RunArchive::FrameOffset(kind_, count_);
    // A damaged tail left by an interrupted run goes first; the good frames
    // before it stay as they are.
    if (fileSize_ > end) {
        if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) Fail(errno);
        fileSize_ = end;
    }
    unsigned char* f = buffer_.data();
    PutI64(f, step);
    std::memcpy(f + 8, switches.data(), kRunSwitchesSize);
    std::memcpy(f + kRunFrameHead, record, kind_.recordSize);
    std::size_t body = kRunFrameHead + kind_.recordSize;
    PutU32(f + body, Crc32c(f, body));
    std::size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = seam_.write(fd_, f + done, buffer_.size() - done, static_cast<off_t>(end + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            // No partial frame is left behind (as far as the system allows).
            if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) fileSize_ = end + done;
            Fail(err);
        }
        done += static_cast<std::size_t>(n);
    }
    fileSize_ = end + buffer_.size();
    ++count_;
    lastStep_ = step;
    if (!lastFrame_) lastFrame_.emplace();
    lastFrame_->step = step;
    lastFrame_->switches = switches;
    lastFrame_->record.assign(record, record + kind_.recordSize);
    dirty_ = true;
    if (std::chrono::duration<double>(seam_.now() - lastSync_).count() >= syncSeconds_) Sync();
}

void RunArchiveWriter::Sync() {
    if (fd_ < 0) return;
    if (seam_.sync(fd_) != 0) Fail(errno);
    ++syncs_;
    dirty_ = false;
    lastSync_ = seam_.now();
}

void RunArchiveWriter::Close() {
    if (fd_ < 0) return;
    int fd = fd_;
    if (dirty_ && seam_.sync(fd) != 0) {
        int err = errno;
        ::close(fd);
        fd_ = -1;
        Fail(err);
    }
    if (dirty_) ++syncs_;
    dirty_ = false;
    fd_ = -1;
    if (::close(fd) != 0) Fail(errno);
}

// ---- RunRecorder --------------------------------------------------------------

RunRecorder::RunRecorder(RunArchiveWriter writer, std::int64_t every,
                         std::vector<std::pair<std::size_t, std::size_t>> computed)
    : writer_(std::move(writer)), every_(every < 1 ? 1 : every), computed_(std::move(computed)) {
    std::sort(computed_.begin(), computed_.end());
}

void RunRecorder::Write(std::int64_t step, const SwitchBytes& switches, const unsigned char* record) {
    writer_.Add(step, switches, record);
    writtenStep_ = step;
}

void RunRecorder::Start(std::int64_t step, const unsigned char* record, const SwitchBytes& switches) {
    std::size_t size = writer_.RecordSize();
    last_.assign(record, record + size);
    // The set ranges: everything a step does not compute.
    set_.clear();
    std::size_t at = 0;
    for (const auto& [offset, length] : computed_) {
        if (offset > at) set_.emplace_back(at, offset - at);
        at = std::max(at, offset + length);
    }
    if (at < size) set_.emplace_back(at, size - at);
    lastStep_ = step;
    lastSwitches_ = switches;
    started_ = true;
    const auto& lastFrame = writer_.LastFrame();
    if (lastFrame && lastFrame->step == step && lastFrame->switches == switches &&
        std::memcmp(lastFrame->record.data(), record, size) == 0) {
        writtenStep_ = step;  // a resumed run starts from the archive's last frame
        return;
    }
    Write(step, switches, record);
}

void RunRecorder::Record(std::int64_t step, const unsigned char* record, const SwitchBytes& switches) {
    if (!started_) {
        Start(step, record, switches);
        return;
    }
    bool changed = switches != lastSwitches_;
    for (std::size_t r = 0; r < set_.size() && !changed; ++r)
        changed = std::memcmp(record + set_[r].first, last_.data() + set_[r].first, set_[r].second) != 0;
    if (changed) {
        // Changed between two steps: the state before this step under the
        // parameters and switches it was made with.
        changed_ = last_;
        for (const auto& [offset, length] : set_) std::memcpy(changed_.data() + offset, record + offset, length);
        Write(step - 1, switches, changed_.data());
    }
    std::memcpy(last_.data(), record, last_.size());
    lastStep_ = step;
    lastSwitches_ = switches;
    if (step % every_ == 0) Write(step, switches, record);
}

void RunRecorder::Finish() {
    if (started_ && writtenStep_ != lastStep_) Write(lastStep_, lastSwitches_, last_.data());
    writer_.Close();
}

// ---- replay -------------------------------------------------------------------

RunFrame RunStateAt(const RunArchive& archive, std::int64_t step, const RunReplay& replay) {
    auto k = archive.FindStep(step);
    if (!k) {
        std::string first = archive.Count() > 0 ? " (its first frame is step " +
                                                      std::to_string(archive.StepOf(0)) + ")"
                                                : " (it has no frames)";
        throw AppError(Quoted(archive.Path()) + " holds no state at step " + std::to_string(step) + first);
    }
    RunFrame f = archive.Frame(*k);
    try {
        if (step > f.step) replay.advance(f.record, f.switches, step - f.step);
    } catch (const AppError& e) {
        throw AppError(Quoted(archive.Path()) + ": the replay from frame " + std::to_string(*k) + " (step " +
                       std::to_string(f.step) + ") fails: " + e.what());
    }
    f.step = step;
    return f;
}

namespace {

// The first computed byte range where a and b differ, as a sentence part.
std::optional<std::size_t> FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                                           const RunReplay& replay) {
    for (const auto& [offset, length] : replay.computed)
        for (std::size_t i = offset; i < offset + length && i < a.size(); ++i)
            if (a[i] != b[i]) return i;
    return std::nullopt;
}

}  // namespace

RunVerifyResult VerifyRun(const RunArchive& archive, const RunReplay& replay,
                          const std::function<void(std::size_t)>& progress) {
    RunVerifyResult r;
    auto differs = [&](std::size_t k, std::int64_t step, std::string text) {
        r.ok = false;
        r.frame = k;
        r.step = step;
        r.text = std::move(text);
        return r;
    };
    if (archive.Count() == 0) return r;
    RunFrame prev;
    try {
        prev = archive.Frame(0);
    } catch (const AppError& e) {
        return differs(0, 0, e.what());
    }
    for (std::size_t k = 1; k < archive.Count(); ++k) {
        if (progress) progress(k);
        RunFrame next;
        try {
            next = archive.Frame(k);
        } catch (const AppError& e) {
            return differs(k, 0, e.what());
        }
        if (next.step < prev.step)
            return differs(k, next.step, "its step comes before that of frame " + std::to_string(k - 1) + " (" +
                                             std::to_string(prev.step) + ")");
        std::vector<unsigned char> replayed = prev.record;
        try {
            if (next.step > prev.step) replay.advance(replayed, prev.switches, next.step - prev.step);
        } catch (const AppError& e) {
            return differs(k, next.step, std::string("the replay fails: ") + e.what());
        }
        if (auto at = FirstDifference(replayed, next.record, replay))
            return differs(k, next.step, "the stored state differs from its replay (first at record byte " +
                                             std::to_string(*at) + ")");
        prev = std::move(next);
    }
    return r;
}

std::string RunInfoText(const RunArchive& a) {
    std::string s = "archive " + a.Path() + "\n";
    s += std::string("program ") + a.Kind().program + ", format version " + std::to_string(kRunFormatVersion) +
         ", record " + std::to_string(a.Kind().recordSize) + " bytes, frame " +
         std::to_string(a.Kind().FrameSize()) + " bytes\n";
    s += "frames " + std::to_string(a.Count()) + "\n";
    if (a.Count() > 0)
        s += "steps " + std::to_string(a.StepOf(0)) + " to " + std::to_string(a.StepOf(a.Count() - 1)) + "\n";
    s += "size " + std::to_string(a.FileSize()) + " bytes\n";
    s += a.Warning().empty() ? std::string("damage none\n") : "damage " + a.Warning() + "\n";
    return s;
}

}  // namespace common

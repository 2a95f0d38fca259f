#include "python/archive_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "common/fileio.h"

namespace pyext {

ArchiveCore::ArchiveCore(std::string path, const common::RunArchiveKind& kind, bool salvage)
    : path_(std::move(path)), kind_(kind), salvage_(salvage) {
    Reader();
}

const common::RunArchive& ArchiveCore::Reader() const {
    if (!reader_) reader_ = std::make_unique<common::RunArchive>(path_, kind_, salvage_);
    return *reader_;
}

common::RunFrame ArchiveCore::Frame(long long i) const {
    long long n = static_cast<long long>(Count());
    if (i < 0) i += n;
    if (i < 0 || i >= n) throw py::index_error("archive index out of range");
    return Reader().Frame(static_cast<std::size_t>(i));
}

py::array ArchiveCore::Steps() const {
    std::size_t n = Count();
    py::array_t<std::int64_t> out(static_cast<py::ssize_t>(n));
    for (std::size_t k = 0; k < n; ++k) out.mutable_data()[k] = Reader().StepOf(k);
    out.attr("flags").attr("writeable") = false;
    return out;
}

namespace {

struct Mapping {
    void* at = nullptr;
    std::size_t size = 0;
    ~Mapping() {
        if (at) ::munmap(at, size);
    }
};

}  // namespace

py::array ArchiveCore::MappedReals(std::size_t offset, py::ssize_t rows, py::ssize_t columns,
                                   std::size_t columnStride) const {
    std::size_t n = Count();
    std::size_t frame = kind_.FrameSize();
    auto map = std::make_unique<Mapping>();
    std::size_t first = common::kRunHeaderSize;
    map->size = first + n * frame;
    if (n > 0) {
        int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) common::ThrowFileError(errno);
        void* at = ::mmap(nullptr, map->size, PROT_READ, MAP_SHARED, fd, 0);
        int err = errno;
        ::close(fd);
        if (at == MAP_FAILED) common::ThrowFileError(err);
        map->at = at;
    }
    static unsigned char empty[16] = {};
    auto base = n > 0 ? static_cast<unsigned char*>(map->at) + first + common::kRunFrameHead + offset : empty;
    Mapping* raw = map.release();
    py::capsule owner(raw, [](void* p) { delete static_cast<Mapping*>(p); });
    std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(n), rows, columns};
    std::vector<py::ssize_t> strides{static_cast<py::ssize_t>(frame), 10, static_cast<py::ssize_t>(columnStride)};
    py::array out(py::dtype::of<long double>(), shape, strides, base, owner);
    out.attr("flags").attr("writeable") = false;
    return out;
}

py::object ArchiveCore::Verify(const common::RunReplay& replay) const {
    common::RunVerifyResult r = common::VerifyRun(Reader(), replay);
    if (r.ok) return py::none();
    return py::make_tuple(r.frame, r.step, r.text);
}

void ArchiveCore::Append(std::int64_t step, const common::SwitchBytes& switches, const unsigned char* record) {
    if (!writer_)
        writer_ = std::make_unique<common::RunArchiveWriter>(
            common::RunArchiveWriter::Append(path_, kind_, syncSeconds_));
    writer_->Add(step, switches, record);
    reader_.reset();  // the next read sees the new frame
}

void ArchiveCore::Close() {
    if (writer_) writer_->Close();
    writer_.reset();
}

void ArchiveCore::Create(const std::string& path, const common::RunArchiveKind& kind) {
    common::RunArchiveWriter::Create(path, kind).Close();
}

}  // namespace pyext

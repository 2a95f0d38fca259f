#pragma once
// What the Archive classes of both modules share: an archive open for
// reading (and, after the first append, for appending), frames by index
// (negative from the end), the steps as an int64 array, a memory-mapped view
// of reals in every frame, and verification.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/run_archive.h"

namespace pyext {

namespace py = pybind11;

class ArchiveCore {
public:
    ArchiveCore(std::string path, const common::RunArchiveKind& kind, bool salvage);

    const std::string& Path() const { return path_; }
    std::size_t Count() const { return Reader().Count(); }
    const common::RunArchive& Reader() const;
    // Frame i; negative i counts from the end; IndexError outside.
    common::RunFrame Frame(long long i) const;
    py::array Steps() const;
    // A read-only (frames, rows, columns) numpy.longdouble view of the file
    // through a memory map: element (k, r, c) is the real at
    // `offset + r * 10 + c * columnStride` of frame k's record. The 6 bytes
    // after each value are those that follow it in the file (numpy's
    // longdouble holds 16 bytes; the value is the first 10).
    py::array MappedReals(std::size_t offset, py::ssize_t rows, py::ssize_t columns, std::size_t columnStride) const;
    // None when every frame replays exactly, else (frame, step, text).
    py::object Verify(const common::RunReplay& replay) const;
    // Appends a frame (opening the archive for appending first).
    void Append(std::int64_t step, const common::SwitchBytes& switches, const unsigned char* record);
    // Syncs and closes the appending side.
    void Close();
    void SetSyncSeconds(double s) { syncSeconds_ = s; }

    // A new archive at path (an existing one of the program is replaced).
    static void Create(const std::string& path, const common::RunArchiveKind& kind);

private:
    std::string path_;
    common::RunArchiveKind kind_;
    bool salvage_;
    double syncSeconds_ = common::RunArchiveWriter::kDefaultSyncSeconds;
    mutable std::unique_ptr<common::RunArchive> reader_;
    std::unique_ptr<common::RunArchiveWriter> writer_;
};

}  // namespace pyext

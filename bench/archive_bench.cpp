// Run archives: what writing every step of the 100-taon lattice into an
// archive adds to the step (pack, CRC-32C, append, a sync every 2 s), and
// opening an archive and reading its last frame, for archives from 1 MiB to
// 1 GiB (the frames in between are never read: the file is sparse there).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/run_archive.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/session/run_archive.h"
#include "sphaeron/session/session.h"

namespace {

std::string Lattice() {
    const char* dir = std::getenv("SPHAERON_EXAMPLES");
    return std::string(dir ? dir : SPHAERON_EXAMPLES_DEFAULT) + "/lattice100.ato";
}

std::string TempName(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(::getpid()))).string();
}

// A step of the lattice, and with every step archived (arg 1).
void BM_LatticeStep(benchmark::State& st) {
    sphaeron::TaonsDocument doc;
    sphaeron::TaonState s;
    sphaeron::LoadDocument(Lattice(), doc, s);
    sphaeron::StepEngine engine(1);
    std::string path = TempName("archive-bench-");
    std::unique_ptr<sphaeron::RunArchiveRecorder> recorder;
    if (st.range(0)) {
        recorder = std::make_unique<sphaeron::RunArchiveRecorder>(
            common::RunArchiveWriter::Create(path, sphaeron::kTaonRunKind), 1);
        recorder->Start(0, doc, {});
    }
    std::int64_t step = 0;
    for (auto _ : st) {
        engine.Step(s, {});
        if (recorder) recorder->Record(++step, s, {});
        benchmark::DoNotOptimize(s.X[1]);
    }
    if (recorder) recorder->Finish();
    std::filesystem::remove(path);
    st.counters["steps/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

// Archiving one committed state alone (the step left out).
void BM_ArchiveRecord(benchmark::State& st) {
    sphaeron::TaonsDocument doc;
    sphaeron::TaonState s;
    sphaeron::LoadDocument(Lattice(), doc, s);
    std::string path = TempName("archive-record-bench-");
    sphaeron::RunArchiveRecorder recorder(common::RunArchiveWriter::Create(path, sphaeron::kTaonRunKind), 1);
    recorder.Start(0, doc, {});
    std::int64_t step = 0;
    for (auto _ : st) recorder.Record(++step, s, {});
    recorder.Finish();
    std::filesystem::remove(path);
}

// Opening an archive of n frames and reading its last one.
void BM_OpenAndReadLast(benchmark::State& st) {
    const auto frames = static_cast<std::size_t>(st.range(0));
    std::string path = TempName("archive-open-bench-");
    sphaeron::TaonsDocument doc;
    {
        common::RunArchiveWriter w = common::RunArchiveWriter::Create(path, sphaeron::kTaonRunKind);
        w.Add(0, {}, doc.bytes.data());
        w.Add(1, {}, doc.bytes.data());
    }
    // The two frames moved to the end of a sparse file of n frames.
    std::string two(2 * sphaeron::kTaonRunKind.FrameSize(), '\0');
    int fd = ::open(path.c_str(), O_RDWR);
    if (::pread(fd, two.data(), two.size(), common::kRunHeaderSize) != static_cast<ssize_t>(two.size()) ||
        ::pwrite(fd, two.data(), two.size(),
                 static_cast<off_t>(common::RunArchive::FrameOffset(sphaeron::kTaonRunKind, frames - 2))) !=
            static_cast<ssize_t>(two.size()))
        st.SkipWithError("cannot build the archive");
    ::close(fd);
    for (auto _ : st) {
        common::RunArchive a(path, sphaeron::kTaonRunKind);
        common::RunFrame last = a.Frame(a.Count() - 1);
        benchmark::DoNotOptimize(last.record.data());
    }
    st.counters["MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    std::filesystem::remove(path);
}

// What the window does with File > Open of a run: an archive of n frames
// read into the timeline (the frames its budget of 256 MiB holds), the last
// shown. 170000 frames make an archive of 1 GiB.
void BM_OpenRunIntoTimeline(benchmark::State& st) {
    const auto frames = static_cast<std::int64_t>(st.range(0));
    std::string path = TempName("archive-window-open-bench-");
    sphaeron::TaonsDocument doc;
    {
        common::RunArchiveWriter w = common::RunArchiveWriter::Create(path, sphaeron::kTaonRunKind);
        for (std::int64_t k = 0; k < frames; ++k) w.Add(k, {}, doc.bytes.data());
    }
    for (auto _ : st) {
        sphaeron::Session session;
        session.OpenRun(path);
        benchmark::DoNotOptimize(session.Timeline().Count());
    }
    st.counters["MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_LatticeStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ArchiveRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenAndReadLast)->Arg(166)->Arg(16600)->Arg(170000)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_OpenRunIntoTimeline)->Arg(1660)->Arg(16600)->Arg(170000)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();

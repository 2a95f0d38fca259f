// The run archive reader: any bytes either open as an archive or fail with a
// text naming the file; an opened archive counts its whole frames, leaves
// out at most the last and an incomplete tail, and every frame, search and
// verification either works or fails with its text. Salvaging never reads
// more frames than there are.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "common/fileio.h"
#include "common/run_archive.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

const common::RunArchiveKind kKind{"Duoplex", 256};

void Explore(const std::string& path, std::size_t size, bool salvage) {
    const std::size_t whole = size < common::kRunHeaderSize ? 0 : (size - common::kRunHeaderSize) / kKind.FrameSize();
    try {
        common::RunArchive a(path, kKind, salvage);
        Check(a.Count() <= whole);
        if (!salvage) Check(a.Count() + 1 >= whole);
        Check(a.BytesLeftOut() == size - common::RunArchive::FrameOffset(kKind, a.Count()));
        Check(a.Warning().empty() == (a.BytesLeftOut() == 0));
        for (std::size_t k = 0; k < a.Count(); ++k) {
            common::RunFrame f;
            try {
                f = a.Frame(k);
                Check(f.record.size() == kKind.recordSize);
            } catch (const common::AppError& e) {
                Check(e.what() == a.DamagedText(k) && !salvage);
                continue;
            }
            try {
                // The search reads other frames, which may be damaged too.
                if (auto at = a.FindStep(f.step)) Check(*at < a.Count());
            } catch (const common::AppError& e) {
                Check(std::string(e.what()).rfind("'" + path + "': frame ", 0) == 0 && !salvage);
            }
        }
        common::RunReplay replay;
        replay.advance = [](std::vector<unsigned char>&, const common::SwitchBytes&, std::int64_t) {};
        replay.computed = {{120, 120}};
        common::RunVerifyResult r = common::VerifyRun(a, replay);
        Check(r.ok || r.frame < a.Count());
    } catch (const common::AppError& e) {
        Check(std::string(e.what()).find("'" + path + "'") == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        std::string p = "/tmp/fuzz-run-" + std::to_string(getpid()) + ".gravrun";
        std::atexit([] { ::unlink(("/tmp/fuzz-run-" + std::to_string(getpid()) + ".gravrun").c_str()); });
        return p;
    }();
    common::WriteFileAtomic(path, data, size);
    Explore(path, size, false);
    Explore(path, size, true);
    return 0;
}

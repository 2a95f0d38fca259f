// The .ato reader: any bytes either load (and pack back to the same record)
// or fail with the exact text, leaving the state and the buffer untouched.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "common/fileio.h"
#include "sphaeron/document/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/fuzz-ato-" + std::to_string(getpid()) + ".ato";
    common::WriteFileAtomic(path, data, size);
    static sphaeron::TaonState state;
    static sphaeron::TaonsDocument doc;
    sphaeron::TaonState before = state;
    sphaeron::TaonsDocument docBefore = doc;
    try {
        sphaeron::LoadDocument(path, doc, state);
        if (size < sphaeron::kDocumentSize) std::abort();
        sphaeron::TaonsDocument again = doc;
        sphaeron::PackDocument(state, again);
        if (std::memcmp(again.bytes.data(), data, sphaeron::kDocumentSize) != 0) std::abort();
    } catch (const common::FileError& e) {
        if (size >= sphaeron::kDocumentSize || std::strcmp(e.what(), "Read beyond end of file") != 0) std::abort();
        if (std::memcmp(&before, &state, sizeof state) != 0 || docBefore.bytes != doc.bytes) std::abort();
    }
    return 0;
}

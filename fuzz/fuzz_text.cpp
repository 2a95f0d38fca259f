// The commentary and start-file readers: line breaks come out as CR LF only,
// normalising twice changes nothing, and the remembered path is one line.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/fileio.h"
#include "sphaeron/document/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        std::string d = "/tmp/fuzz-text-" + std::to_string(getpid());
        setenv("XDG_CONFIG_HOME", d.c_str(), 1);
        common::MakeFolders(d);
        return d;
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string norm = sphaeron::NormaliseLineBreaks(text);
    if (sphaeron::NormaliseLineBreaks(norm) != norm) std::abort();
    for (std::size_t i = 0; i < norm.size(); ++i) {
        if (norm[i] == '\r' && (i + 1 >= norm.size() || norm[i + 1] != '\n')) std::abort();
        if (norm[i] == '\n' && (i == 0 || norm[i - 1] != '\r')) std::abort();
    }
    std::string doc = dir + "/doc.ato";
    common::WriteFileAtomic(sphaeron::CommentaryName(doc), text);
    if (sphaeron::LoadCommentary(doc).value() != norm) std::abort();

    common::MakeFolders(dir + "/Sphaeron");
    common::WriteFileAtomic(sphaeron::StartFilePath(), text);
    std::string first = sphaeron::ReadLastDocument().value();
    if (first.find_first_of("\r\n") != std::string::npos || text.compare(0, first.size(), first) != 0) std::abort();
    return 0;
}

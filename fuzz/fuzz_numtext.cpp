// Number text: every input either converts or fails with the exact text,
// and what is shown converts back to the same text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "common/numtext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    char sep = (data[0] & 1) ? ',' : '.';
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        long double v = common::ParseReal(text, sep);
        std::string shown = common::FormatReal(v, sep);
        long double back = common::ParseReal(shown, sep);
        if (common::FormatReal(back, sep) != shown) std::abort();
    } catch (const common::ConvertError& e) {
        if (std::strcmp(e.what(), common::InvalidRealText(text).c_str()) != 0) std::abort();
    }
    try {
        int n = common::ParseInt(text);
        if (common::ParseInt(std::to_string(n)) != n) std::abort();
    } catch (const common::ConvertError& e) {
        if (std::strcmp(e.what(), common::InvalidIntText(text).c_str()) != 0) std::abort();
    }
    return 0;
}

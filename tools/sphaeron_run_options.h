#pragma once
// The command line of sphaeron-run.
#include <string>
#include <utility>
#include <vector>

#include "common/document_file.h"
#include "sphaeron/structure/structure.h"
#include "sphaeron/view/view.h"

namespace sphaeron {

struct RunOptions {
    std::string in, out, xyz, log;
    bool anySize = false;
    long long steps = -1;
    int mode = 0;
    bool stopL = false, cool = false;
    bool haveDt = false;
    long double dt = 0;
    // --set NAME=VALUE: the parameter's index in document order and the
    // value's text (a C-locale decimal or the exact "0x" form).
    std::vector<std::pair<int, std::string>> sets;
    int threads = 1;
    long long every = 1, logEvery = 1;
    // --structure FILE.csv: the structure log, every K steps, by the rule.
    std::string structure;
    long long structureEvery = 1;
    structure::StructureOptions structureOptions;
    // The picture.
    std::string png;
    bool spiral = false;
    bool numbers = false;
    long double view[3] = {0, 0, 0};
    long double scale = kDefaultViewScale;
    long double shift[2] = {0, 0};
    int width = kDefaultFormWidth;
    int height = kDefaultPanTop;
};

// Parses the command line; --help and --version print and exit 0, a bad
// command line prints one line and a hint to --help and exits 2.
RunOptions ParseRunOptions(int argc, char** argv);

// True when the path names the JSON form (it ends in ".json", any case).
using common::IsJsonPath;

}  // namespace sphaeron

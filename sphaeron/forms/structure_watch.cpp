#include "sphaeron/forms/structure_watch.h"

#include <algorithm>

namespace sphaeron::forms {

StructureWatch::StructureWatch() : result_(std::make_unique<structure::StructureResult>()) {}

void StructureWatch::Analyse(const TaonState& s) {
    const auto start = std::chrono::steady_clock::now();
    structure::AnalyseStructure(s, Options, *result_);
    if (By != ColourBy::Group) colouring_ = ColourTaons(By, *result_);
    const auto now = std::chrono::steady_clock::now();
    spent_ += now - start;
    interval_ = std::max<std::chrono::steady_clock::duration>(kInterval, (now - start) * kCostShare);
    last_ = now;
    inRun_ = false;
    ++count_;
}

bool StructureWatch::StepDone(const TaonState& s) {
    if (inRun_ && std::chrono::steady_clock::now() - last_ < interval_) return false;
    Analyse(s);
    inRun_ = true;
    return true;
}

}  // namespace sphaeron::forms

#pragma once
// The structure analysis the window keeps: the neighbour rule, what the
// taons are coloured by, the latest analysis and its colours. During a run
// it analyses at most every kInterval (ten times a second), and further
// apart when an analysis takes more than 1 / kCostShare of that, so that it
// costs the run at most a fiftieth of its time.
#include <chrono>
#include <memory>

#include "sphaeron/structure/structure.h"
#include "sphaeron/view/colour_by.h"

namespace sphaeron::forms {

class StructureWatch {
public:
    static constexpr std::chrono::milliseconds kInterval{100};
    static constexpr int kCostShare = 50;

    StructureWatch();

    structure::StructureOptions Options;
    ColourBy By = ColourBy::Group;

    // Analyses the state now (a new rule, a new colouring, a redraw between
    // runs) and forms its colours.
    void Analyse(const TaonState& s);
    // After a step of a run: analyses when the last analysis is old enough
    // or was not made in a run (so the first step of a run is analysed).
    // True when it did.
    bool StepDone(const TaonState& s);

    const structure::StructureResult& Result() const { return *result_; }
    // The colours of the blocks, or null for the group colours.
    const TaonColouring* Colouring() const { return By == ColourBy::Group ? nullptr : &colouring_; }

    long AnalysisCount() const { return count_; }
    std::chrono::steady_clock::duration TimeSpent() const { return spent_; }

private:
    std::unique_ptr<structure::StructureResult> result_;
    TaonColouring colouring_;
    bool inRun_ = false;
    std::chrono::steady_clock::time_point last_{};
    std::chrono::steady_clock::duration interval_ = kInterval;
    long count_ = 0;
    std::chrono::steady_clock::duration spent_{};
};

}  // namespace sphaeron::forms

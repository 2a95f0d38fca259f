#pragma once
// The data behind the plots window: the energy of a run against the step,
// the histogram of the pair distances with the well positions of the three
// groups, and the pair potentials of the groups sampled over the distance.
// Plain values and functions, no window code; the window only draws them.
// Nothing here throws a fault of the arithmetic: a value that cannot be
// computed is left out (or is NaN where a place must be kept).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sphaeron/core/taon_state.h"

namespace sphaeron {

// ---- energy -------------------------------------------------------------

struct EnergySample {
    std::int32_t step = 0;
    long double ke = 0, pe = 0, e = 0;
};

// The energy of the state, or nothing when its computation faults.
std::optional<EnergySample> SampleEnergy(const TaonState& s, const StepSwitches& sw, std::int32_t step);

// Energy samples of a run, oldest first. At most `capacity` samples are
// kept: when the series is full every second one is dropped and from then on
// only every second offered sample is kept, so the series spans the whole
// run with an even spacing (in offers) that doubles each time.
class EnergySeries {
public:
    explicit EnergySeries(std::size_t capacity = 2000);

    // Offers a sample. Kept samples of its step and later ones are dropped
    // first: a run that goes on from an earlier state replaces them (and New
    // and Open, which set the step counter back, start anew). True when kept.
    bool Add(const EnergySample& sample);
    // Drops the samples of the step and later ones.
    void DropFrom(std::int32_t step);
    void Clear();

    const std::vector<EnergySample>& Samples() const { return samples_; }
    // Offered samples per kept one (1, 2, 4, ...).
    std::size_t Stride() const { return stride_; }

private:
    std::size_t capacity_;
    std::size_t stride_ = 1;
    std::size_t offered_ = 0;  // offers since the series began
    std::vector<EnergySample> samples_;
};

// ---- distances ------------------------------------------------------------

// Equal bins over [lo, hi); distances outside are counted apart.
struct Histogram {
    long double lo = 0, hi = 0;
    std::vector<int> counts;
    int below = 0, above = 0;  // d < lo, d >= hi (NaN counts nowhere)

    long double BinWidth() const { return counts.empty() ? 0 : (hi - lo) / static_cast<long double>(counts.size()); }
    long double BinLow(std::size_t i) const;
    int Total() const;  // counts in the bins only
};

Histogram BinDistances(const std::vector<long double>& distances, long double lo, long double hi, int bins);

// The well positions B, C, D, F, G of group g (1, 2 or 3).
std::array<long double, 5> WellPositions(const TaonState& s, int g);

// The distances the histogram and the potentials cover: from 0 to 1.2 times
// the largest finite positive well position (2 when there is none).
long double DistanceLimit(const TaonState& s);

// The histogram of the pair distances of the present taons over
// [0, DistanceLimit), or an empty one when they cannot be computed.
Histogram DistanceHistogram(const TaonState& s, int bins);

// ---- potentials -----------------------------------------------------------

struct PotentialCurves {
    std::vector<long double> r;                // the sample distances, increasing
    std::array<std::vector<long double>, 3> u;  // U_g(r); NaN where it faults
    long double yLow = -1, yHigh = 1;          // a value range that shows the wells
};

// U_1, U_2, U_3 at `points` distances evenly from rLow to rHigh, with the
// value range for drawing (ValueRange).
PotentialCurves SamplePotentials(const TaonState& s, bool mode1, long double rLow, long double rHigh, int points);

// The range of the finite values of the curves, widened by 5 % on each side
// and including 0. When the curves reach below 0, the top is cut at twice
// the depth of the deepest well, so that a steep core does not squeeze the
// wells flat. [-1, 1] when no value is finite.
void ValueRange(PotentialCurves& c);

// The parameters the potentials depend on, to tell when they must be drawn
// anew.
struct PotentialKey {
    std::array<long double, 18> params{};
    bool mode1 = false;
    bool operator==(const PotentialKey&) const = default;
};
PotentialKey KeyOf(const TaonState& s, bool mode1);

// Indices [first, last) of the runs of finite values of a curve: a curve is
// drawn as one line per run, with gaps where it faults.
std::vector<std::pair<std::size_t, std::size_t>> FiniteRuns(const std::vector<long double>& v);

// ---- CSV text -------------------------------------------------------------
// A header line, then one line per row, fields separated by commas, numbers
// with a full stop and up to 15 significant digits, "\n" line ends. A value
// that could not be computed is an empty field.

std::string EnergyCsv(const std::vector<EnergySample>& samples);
std::string HistogramCsv(const Histogram& h);
std::string PotentialCsv(const PotentialCurves& c);

}  // namespace sphaeron

#include "sphaeron/view/plot_data.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>

#include "common/fpcheck.h"
#include "common/numtext.h"
#include "sphaeron/core/observables.h"

namespace sphaeron {

namespace {

// Runs a computation that may fault; nothing when it throws or leaves a
// fault flag behind. The flags are cleared before and after, so nothing of
// it reaches the run's own checks.
template <class F>
auto Quietly(F&& f) -> std::optional<decltype(f())> {
    common::ClearFpFlags();
    std::optional<decltype(f())> result;
    try {
        result = f();
        if (common::FpFaults()) result.reset();
    } catch (const std::exception&) {
        result.reset();
    }
    common::ClearFpFlags();
    return result;
}

std::string Number(long double v) { return std::isfinite(v) ? common::FormatReal(v, '.') : std::string(); }

}  // namespace

// ---- energy -------------------------------------------------------------

std::optional<EnergySample> SampleEnergy(const TaonState& s, const StepSwitches& sw, std::int32_t step) {
    auto o = Quietly([&] { return ComputeObservables(s, sw); });
    if (!o || !std::isfinite(o->ke) || !std::isfinite(o->pe) || !std::isfinite(o->e)) return std::nullopt;
    return EnergySample{step, o->ke, o->pe, o->e};
}

EnergySeries::EnergySeries(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 2)) {
    samples_.reserve(capacity_);
}

void EnergySeries::Clear() {
    samples_.clear();
    stride_ = 1;
    offered_ = 0;
}

void EnergySeries::DropFrom(std::int32_t step) {
    while (!samples_.empty() && samples_.back().step >= step) samples_.pop_back();
    if (samples_.empty()) Clear();
}

bool EnergySeries::Add(const EnergySample& sample) {
    DropFrom(sample.step);
    const std::size_t index = offered_++;
    if (index % stride_ != 0) return false;
    if (samples_.size() == capacity_) {
        // The kept samples are those of the offers 0, stride, 2 stride, ...:
        // keep every second one and double the stride.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < samples_.size(); i += 2) samples_[kept++] = samples_[i];
        samples_.resize(kept);
        stride_ *= 2;
        if (index % stride_ != 0) return false;
    }
    samples_.push_back(sample);
    return true;
}

// ---- distances ------------------------------------------------------------

long double Histogram::BinLow(std::size_t i) const {
    return lo + (hi - lo) * static_cast<long double>(i) / static_cast<long double>(counts.size());
}

int Histogram::Total() const {
    int n = 0;
    for (int c : counts) n += c;
    return n;
}

Histogram BinDistances(const std::vector<long double>& distances, long double lo, long double hi, int bins) {
    Histogram h;
    h.lo = lo;
    h.hi = hi;
    if (bins < 1 || !(hi > lo)) return h;
    h.counts.assign(static_cast<std::size_t>(bins), 0);
    const long double scale = static_cast<long double>(bins) / (hi - lo);
    for (long double d : distances) {
        if (std::isnan(d)) continue;
        if (d < lo) {
            ++h.below;
        } else if (d >= hi) {
            ++h.above;
        } else {
            // An edge that rounds onto the next bin stays in range.
            auto i = static_cast<std::size_t>((d - lo) * scale);
            ++h.counts[std::min(i, h.counts.size() - 1)];
        }
    }
    return h;
}

std::array<long double, 5> WellPositions(const TaonState& s, int g) {
    ParamGroup p = GroupParams(s, g);
    return {p.B, p.C, p.D, p.F, p.G};
}

long double DistanceLimit(const TaonState& s) {
    long double top = 0;
    for (int g = 1; g <= 3; ++g)
        for (long double w : WellPositions(s, g))
            if (std::isfinite(w) && w > top) top = w;
    const long double limit = 1.2L * top;
    return top > 0 && std::isfinite(limit) ? limit : 2.0L;
}

Histogram DistanceHistogram(const TaonState& s, int bins) {
    auto d = Quietly([&] { return PairDistances(s); });
    return BinDistances(d ? *d : std::vector<long double>{}, 0, DistanceLimit(s), bins);
}

// ---- potentials -----------------------------------------------------------

PotentialCurves SamplePotentials(const TaonState& s, bool mode1, long double rLow, long double rHigh, int points) {
    PotentialCurves c;
    const int n = std::max(points, 2);
    c.r.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) c.r.push_back(rLow + (rHigh - rLow) * static_cast<long double>(i) / (n - 1));
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    for (int g = 1; g <= 3; ++g) {
        // The potential forms the reach factors of all three groups: give
        // it the parameters of group g alone, so that a fault in another
        // group leaves this curve whole.
        auto only = std::make_unique<TaonState>();
        for (int h = 1; h <= 3; ++h) SetGroupParams(*only, h, h == g ? GroupParams(s, g) : ParamGroup{1, 1, 1, 1, 1, 1});
        auto& u = c.u[static_cast<std::size_t>(g - 1)];
        u.reserve(c.r.size());
        for (long double r : c.r) {
            auto v = Quietly([&] { return GroupPotential(*only, g, r, mode1); });
            u.push_back(v && std::isfinite(*v) ? *v : nan);
        }
    }
    ValueRange(c);
    return c;
}

void ValueRange(PotentialCurves& c) {
    bool any = false;
    long double lo = 0, hi = 0;
    for (const auto& u : c.u)
        for (long double v : u) {
            if (!std::isfinite(v)) continue;
            any = true;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    if (!any || (lo == 0 && hi == 0)) {
        c.yLow = -1;
        c.yHigh = 1;
        return;
    }
    if (lo < 0) hi = std::min(hi, -2 * lo);
    const long double margin = (hi - lo) * 0.05L;
    c.yLow = lo - margin;
    c.yHigh = hi + margin;
}

PotentialKey KeyOf(const TaonState& s, bool mode1) {
    PotentialKey k;
    std::size_t i = 0;
    for (int g = 1; g <= 3; ++g) {
        ParamGroup p = GroupParams(s, g);
        for (long double v : {p.A, p.B, p.C, p.D, p.F, p.G}) k.params[i++] = v;
    }
    k.mode1 = mode1;
    return k;
}

std::vector<std::pair<std::size_t, std::size_t>> FiniteRuns(const std::vector<long double>& v) {
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    std::size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && !std::isfinite(v[i])) ++i;
        std::size_t first = i;
        while (i < v.size() && std::isfinite(v[i])) ++i;
        if (i > first) runs.emplace_back(first, i);
    }
    return runs;
}

// ---- CSV text -------------------------------------------------------------

std::string EnergyCsv(const std::vector<EnergySample>& samples) {
    std::string t = "step,ke,pe,e\n";
    for (const EnergySample& x : samples)
        t += std::to_string(x.step) + ',' + Number(x.ke) + ',' + Number(x.pe) + ',' + Number(x.e) + '\n';
    return t;
}

std::string HistogramCsv(const Histogram& h) {
    std::string t = "r_from,r_to,count\n";
    for (std::size_t i = 0; i < h.counts.size(); ++i) {
        const long double to = i + 1 == h.counts.size() ? h.hi : h.BinLow(i + 1);
        t += Number(h.BinLow(i)) + ',' + Number(to) + ',' + std::to_string(h.counts[i]) + '\n';
    }
    return t;
}

std::string PotentialCsv(const PotentialCurves& c) {
    std::string t = "r,U1,U2,U3\n";
    for (std::size_t i = 0; i < c.r.size(); ++i) {
        t += Number(c.r[i]);
        for (const auto& u : c.u) t += ',' + (i < u.size() ? Number(u[i]) : std::string());
        t += '\n';
    }
    return t;
}

}  // namespace sphaeron

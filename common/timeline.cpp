#include "common/timeline.h"

#include <algorithm>
#include <cstring>

namespace common {

namespace {

// Whether a thinning of n states keeps the one at index i: every second
// state of the oldest half goes, counted from the first, which stays.
bool KeptByThinning(std::size_t n, std::size_t i) { return i >= (n + 1) / 2 || i % 2 == 0; }

}  // namespace

Timeline::Timeline(std::size_t stateSize, std::size_t budget) : stateSize_(stateSize) { SetBudget(budget); }

std::size_t Timeline::StateBytes() const {
    // The state's own block with the allocator's header, and its entry.
    return stateSize_ + 2 * sizeof(void*) + sizeof(Entry);
}

void Timeline::SetBudget(std::size_t budget) {
    budget_ = budget;
    capacity_ = budget / StateBytes();
    if (!Recording()) {
        Clear();
        return;
    }
    while (states_.size() > capacity_) Thin();
}

void Timeline::Clear() {
    states_.clear();
    states_.shrink_to_fit();
    shown_ = 0;
}

void Timeline::Restart(const unsigned char* state, std::int64_t step) {
    Clear();
    Record(state, step);
}

void Timeline::Record(const unsigned char* state, std::int64_t step) {
    if (!Recording()) return;
    if (!states_.empty()) states_.resize(shown_ + 1);
    if (states_.size() + 1 > capacity_) Thin();
    Append(state, step);
}

void Timeline::Continue(const unsigned char* state, std::int64_t step) {
    if (!states_.empty()) {
        states_.resize(shown_ + 1);
        const Entry& e = states_[shown_];
        if (e.step == step && std::memcmp(e.bytes.get(), state, stateSize_) == 0) return;
    }
    Record(state, step);
}

void Timeline::Insert(const unsigned char* state, std::int64_t step) {
    if (!Recording()) return;
    auto byStep = [](const Entry& e, std::int64_t s) { return e.step < s; };
    if (auto at = std::lower_bound(states_.begin(), states_.end(), step, byStep);
        at != states_.end() && at->step == step)
        return;
    if (states_.size() + 1 > capacity_) Thin();
    Entry e;
    e.step = step;
    e.bytes = std::make_unique<unsigned char[]>(stateSize_);
    std::memcpy(e.bytes.get(), state, stateSize_);
    auto at = std::lower_bound(states_.begin(), states_.end(), step, byStep);
    shown_ = static_cast<std::size_t>(states_.insert(at, std::move(e)) - states_.begin());
}

void Timeline::Append(const unsigned char* state, std::int64_t step) {
    // The list of states grows by doubling, but never past what the budget
    // allows: its entries are counted in StateBytes.
    if (states_.size() == states_.capacity())
        states_.reserve(std::min(capacity_, std::max<std::size_t>(1024, 2 * states_.capacity())));
    Entry e;
    e.step = step;
    e.bytes = std::make_unique<unsigned char[]>(stateSize_);
    std::memcpy(e.bytes.get(), state, stateSize_);
    states_.push_back(std::move(e));
    shown_ = states_.size() - 1;
}

void Timeline::Thin() {
    // With at least three states one goes at the least, and the newest is
    // never in the oldest half.
    const std::size_t n = states_.size();
    if (n < 3) return;
    // The state shown stays shown, or the one before it when it goes.
    std::size_t kept = 0, shown = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (KeptByThinning(n, i)) {
            if (kept != i) states_[kept] = std::move(states_[i]);
            ++kept;
        }
        if (i == shown_) shown = kept - 1;
    }
    states_.resize(kept);
    shown_ = shown;
}

std::vector<std::size_t> Timeline::HeldAfter(std::size_t n) const {
    std::vector<std::size_t> held;
    if (!Recording()) return held;
    for (std::size_t k = 0; k < n; ++k) {
        if (held.size() + 1 > capacity_) {
            std::size_t kept = 0;
            for (std::size_t i = 0; i < held.size(); ++i)
                if (KeptByThinning(held.size(), i)) held[kept++] = held[i];
            held.resize(kept);
        }
        held.push_back(k);
    }
    return held;
}

bool Timeline::Show(std::size_t index) {
    if (index >= states_.size()) return false;
    shown_ = index;
    return true;
}

std::optional<std::size_t> Timeline::Back() const {
    if (states_.empty() || shown_ == 0) return std::nullopt;
    return shown_ - 1;
}

std::optional<std::size_t> Timeline::Forward() const {
    if (shown_ + 1 >= states_.size()) return std::nullopt;
    return shown_ + 1;
}

std::optional<std::size_t> Timeline::First() const {
    if (states_.empty()) return std::nullopt;
    return 0;
}

std::optional<std::size_t> Timeline::Last() const {
    if (states_.empty()) return std::nullopt;
    return states_.size() - 1;
}

}  // namespace common

#pragma once
// The exact history of a run: the states a document went through, each as
// the bytes of its record (every real in its 80-bit form) with its step
// number, so that going back and running on again repeats the run bit for
// bit. Both programs keep one; they pack and unpack their own states.
//
// The history is bounded by a memory budget. When the next state would not
// fit, the oldest half is thinned: every second state of it is dropped, the
// first state of all is kept. Again and again, this leaves the recent past
// dense and the distant past sparse; the newest state is never dropped.
//
// One state is "shown": the newest while a run records, any of them after a
// move. Recording after a move drops what came after the state shown.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace common {

class Timeline {
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;  // 256 MiB

    // States of `stateSize` bytes. A budget too small for three states turns
    // recording off: nothing is recorded and there is nowhere to move.
    explicit Timeline(std::size_t stateSize, std::size_t budget = kDefaultBudget);

    // What one state takes in memory, its bookkeeping included.
    std::size_t StateBytes() const;
    // The budget, and what the states now held take of it.
    std::size_t Budget() const { return budget_; }
    std::size_t BytesHeld() const { return states_.size() * StateBytes(); }
    // Whether states are recorded at all.
    bool Recording() const { return capacity_ >= 3; }
    // The budget from now on; the states held are thinned until they fit.
    void SetBudget(std::size_t budget);

    // Nothing recorded.
    void Clear();
    // Clears, then records `state` as the first state.
    void Restart(const unsigned char* state, std::int64_t step);
    // Drops the states after the one shown, then records `state` as the
    // newest and shows it.
    void Record(const unsigned char* state, std::int64_t step);
    // A state recomputed between two held ones: put in its place by step
    // (the states after it stay) and shown; when the timeline is full it is
    // thinned first. A state at a step already held is not added.
    void Insert(const unsigned char* state, std::int64_t step);
    // At the start of a run from the state shown: drops the states after it
    // and records `state` unless it equals the state shown (step included);
    // it may differ when it was changed between runs.
    void Continue(const unsigned char* state, std::int64_t step);

    // Which of n states, recorded one after another into an empty timeline
    // of this budget, it holds afterwards (their positions, in order): a
    // reader of a long history takes only those.
    std::vector<std::size_t> HeldAfter(std::size_t n) const;

    std::size_t Count() const { return states_.size(); }
    bool Empty() const { return states_.empty(); }
    // Index of the state shown (0 when empty).
    std::size_t Shown() const { return shown_; }
    std::int64_t StepAt(std::size_t index) const { return states_.at(index).step; }
    const unsigned char* StateAt(std::size_t index) const { return states_.at(index).bytes.get(); }

    // Makes the state at `index` the one shown; false when there is none.
    bool Show(std::size_t index);
    // The index a move goes to, or none where it cannot go: one back, one
    // forward, the first, the last.
    std::optional<std::size_t> Back() const;
    std::optional<std::size_t> Forward() const;
    std::optional<std::size_t> First() const;
    std::optional<std::size_t> Last() const;

private:
    struct Entry {
        std::int64_t step = 0;
        std::unique_ptr<unsigned char[]> bytes;
    };
    void Append(const unsigned char* state, std::int64_t step);
    void Thin();

    std::size_t stateSize_;
    std::size_t budget_ = 0;
    std::size_t capacity_ = 0;  // states that fit the budget
    std::vector<Entry> states_;
    std::size_t shown_ = 0;
};

}  // namespace common

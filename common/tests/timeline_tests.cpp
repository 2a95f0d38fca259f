// The history of a run: thinning under the budget, moves, and recording
// after a move.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/timeline.h"

namespace common {
namespace {

constexpr std::size_t kSize = 24;

// A state whose bytes tell its step and a variant.
std::vector<unsigned char> StateOf(std::int64_t step, unsigned char variant = 0) {
    std::vector<unsigned char> b(kSize, variant);
    for (std::size_t i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(step >> (8 * i));
    return b;
}

Timeline WithRoomFor(std::size_t states) {
    Timeline t(kSize, 0);
    t.SetBudget(states * t.StateBytes());
    return t;
}

std::vector<std::int64_t> Steps(const Timeline& t) {
    std::vector<std::int64_t> steps;
    for (std::size_t i = 0; i < t.Count(); ++i) steps.push_back(t.StepAt(i));
    return steps;
}

void RecordRun(Timeline& t, std::int64_t last) {
    for (std::int64_t n = 0; n <= last; ++n) t.Record(StateOf(n).data(), n);
}

TEST(Timeline, ThinningKeepsTheFirstAndTheRecentPastWithinTheBudget) {
    // Worked out by hand: when full, every second state of the oldest half
    // goes (the first of all stays), then the new state is added.
    const struct {
        std::size_t room;
        std::int64_t last;
        std::vector<std::int64_t> steps;
    } cases[] = {
        {4, 3, {0, 1, 2, 3}},                    // just full
        {4, 4, {0, 2, 3, 4}},                    // one thinning
        {4, 6, {0, 4, 5, 6}},                    // three
        {3, 5, {0, 4, 5}},                       // the smallest room
        {8, 8, {0, 2, 4, 5, 6, 7, 8}},           // one thinning of eight
        {8, 10, {0, 4, 6, 7, 8, 9, 10}},         // and a second
        {5, 5, {0, 2, 3, 4, 5}},                 // an odd room
    };
    for (const auto& c : cases) {
        Timeline t = WithRoomFor(c.room);
        RecordRun(t, c.last);
        EXPECT_EQ(c.steps, Steps(t)) << "room " << c.room << ", steps to " << c.last;
        EXPECT_EQ(t.Count() - 1, t.Shown());
        // A reader that takes only what would be held takes these states.
        const std::vector<std::size_t> held = WithRoomFor(c.room).HeldAfter(static_cast<std::size_t>(c.last) + 1);
        EXPECT_EQ(c.steps, std::vector<std::int64_t>(held.begin(), held.end())) << "room " << c.room;
    }

    // A long run: the first, the newest and the newer half stay; the bytes
    // held never exceed the budget; each state is the one of its step.
    Timeline t = WithRoomFor(1000);
    for (std::int64_t n = 0; n <= 100000; ++n) {
        t.Record(StateOf(n).data(), n);
        ASSERT_LE(t.BytesHeld(), t.Budget());
    }
    const std::vector<std::int64_t> steps = Steps(t);
    EXPECT_EQ(0, steps.front());
    EXPECT_EQ(100000, steps.back());
    for (std::size_t i = 1; i < steps.size(); ++i) ASSERT_LT(steps[i - 1], steps[i]);
    for (std::size_t i = steps.size() - 500; i < steps.size(); ++i) EXPECT_EQ(steps[i - 1] + 1, steps[i]);
    const std::vector<std::size_t> held = WithRoomFor(1000).HeldAfter(100001);
    EXPECT_EQ(steps, std::vector<std::int64_t>(held.begin(), held.end()));
    for (std::size_t i = 0; i < t.Count(); ++i) ASSERT_EQ(StateOf(t.StepAt(i)), std::vector<unsigned char>(t.StateAt(i), t.StateAt(i) + kSize));

    // The default budget holds 256 MiB.
    EXPECT_EQ(std::size_t{256} * 1024 * 1024, Timeline(kSize).Budget());
}

TEST(Timeline, MovesAndRecordingAfterAMove) {
    Timeline t = WithRoomFor(100);
    RecordRun(t, 9);
    EXPECT_EQ(0u, *t.First());
    EXPECT_EQ(9u, *t.Last());
    EXPECT_FALSE(t.Forward());
    ASSERT_TRUE(t.Show(3));
    EXPECT_EQ(2u, *t.Back());
    EXPECT_EQ(4u, *t.Forward());
    EXPECT_FALSE(t.Show(10));
    EXPECT_EQ(3u, t.Shown());

    // Moving back keeps the later states; a run from the state shown as it
    // was recorded drops them and adds nothing.
    t.Continue(StateOf(3).data(), 3);
    EXPECT_EQ((std::vector<std::int64_t>{0, 1, 2, 3}), Steps(t));
    // A state changed between runs is recorded after the one it came from.
    t.Continue(StateOf(3, 7).data(), 3);
    EXPECT_EQ((std::vector<std::int64_t>{0, 1, 2, 3, 3}), Steps(t));
    EXPECT_EQ(7, t.StateAt(4)[kSize - 1]);
    // Recording after a move drops what came after.
    t.Show(1);
    t.Record(StateOf(2, 9).data(), 2);
    EXPECT_EQ((std::vector<std::int64_t>{0, 1, 2}), Steps(t));
    EXPECT_EQ(9, t.StateAt(2)[kSize - 1]);
    EXPECT_FALSE(t.Back() == std::nullopt);

    t.Restart(StateOf(50).data(), 50);
    EXPECT_EQ((std::vector<std::int64_t>{50}), Steps(t));
    EXPECT_FALSE(t.Back());
    EXPECT_FALSE(t.Forward());
    t.Clear();
    EXPECT_FALSE(t.First());
    EXPECT_FALSE(t.Last());
    t.Continue(StateOf(5).data(), 5);  // a run with nothing recorded yet
    EXPECT_EQ((std::vector<std::int64_t>{5}), Steps(t));

    // A smaller budget thins what is held; the shown state stays shown or
    // gives way to the one before it.
    RecordRun(t, 40);
    t.Show(20);
    const std::int64_t shownStep = t.StepAt(t.Shown());
    t.SetBudget(10 * t.StateBytes());
    EXPECT_LE(t.Count(), 10u);
    EXPECT_EQ(5, t.StepAt(0));
    EXPECT_LE(t.StepAt(t.Shown()), shownStep);
    EXPECT_EQ(40, t.StepAt(t.Count() - 1));

    // No room for three states: nothing is recorded.
    t.SetBudget(2 * t.StateBytes());
    EXPECT_FALSE(t.Recording());
    RecordRun(t, 3);
    t.Continue(StateOf(4).data(), 4);
    EXPECT_TRUE(t.Empty());
    EXPECT_FALSE(t.Show(0));
}

}  // namespace
}  // namespace common

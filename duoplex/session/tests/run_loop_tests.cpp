// The run loop of the session: count and stop, a fault, changes between
// steps, and step counts beyond 32 bits. Expected states come from the core
// step applied by hand.
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "duoplex/core/planar_step.h"
#include "duoplex/session/session.h"

namespace duoplex {
namespace {

// Calls `act` with each committed state; keeps the steps seen.
struct Watch : RunObserver, StateRecorder {
    std::function<void(const CommittedStep&)> act;
    std::vector<std::uint64_t> seen, recorded;
    void Committed(const CommittedStep& s) override {
        seen.push_back(s.step);
        if (act) act(s);
    }
    void Record(const CommittedStep& s) override { recorded.push_back(s.step); }
};

PlanarState Start() {
    PlanarState s;
    LoadStartConfiguration(s, FunctionChoice::F_PES, false);
    return s;
}

bool SameMotion(const PlanarState& a, const PlanarState& b) {
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k)
            if (Value(a, f, k) != Value(b, f, k)) return false;
    return a.DT == b.DT;
}

TEST(RunLoop, StepsToACountOrUntilAStopRequest) {
    Session session;
    session.UseConfiguration(FunctionChoice::F_PES, false);
    const StepSettings st{FunctionChoice::F_PES, true, 2};
    session.SetSettings(st);
    session.RestartTimeline();
    Watch watch;
    session.AddRecorder(&watch);
    RunResult r = session.Run(5, &watch);
    EXPECT_EQ(r.steps, 5u);
    EXPECT_FALSE(r.faulted);
    EXPECT_EQ(watch.seen, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(watch.recorded, watch.seen);
    EXPECT_EQ(session.Timeline().Count(), 6u);  // the start and five steps
    PlanarState expected = Start();
    for (int k = 0; k < 5; ++k) DoStep(expected, st);
    EXPECT_TRUE(SameMotion(session.State(), expected));
    EXPECT_EQ(session.State().StepCount, 5);

    // Without a limit: the stop requested at step 8 ends the run after it.
    session.RemoveRecorder(&watch);
    watch.seen.clear();
    watch.act = [&](const CommittedStep& s) {
        EXPECT_TRUE(session.Running());
        if (s.step == 8) session.RequestStop();
    };
    r = session.Run(kUntilStopped, &watch);
    EXPECT_EQ(r.steps, 3u);
    EXPECT_EQ(session.Steps(), 8u);
    EXPECT_EQ(watch.recorded.size(), 5u);
    EXPECT_FALSE(session.Running());
    EXPECT_TRUE(session.State().Stopped);
}

// Gravon 1 coasts onto gravon 2, half a unit per pass and two passes per
// step: in step 5 the two-gravon pass brings it to x = 2, the function pass
// divides by their distance 0.
TEST(RunLoop, AFaultEndsTheRunWithTheStateCommittedBeforeIt) {
    const struct {
        FaultKeeps keeps;
        long double x1;
    } cases[] = {{FaultKeeps::StateBeforeStep, 1.5L}, {FaultKeeps::FinishedPasses, 2.0L}};
    for (const auto& c : cases) {
        Session session(c.keeps);
        for (int k = 1; k <= kGravons; ++k) session.SetValue(Field::A, k, 0.0L);
        session.SetValue(Field::X, 1, -2.5L);
        session.SetValue(Field::X, 2, 2.0L);
        session.SetValue(Field::SpeedX, 1, 1.0L);
        session.SetDT(0.5L);
        session.RestartTimeline();
        RunResult r = session.Run(20, nullptr);
        EXPECT_TRUE(r.faulted);
        EXPECT_EQ(r.fault, "Floating point division by zero");
        EXPECT_EQ(r.faultStep, 5u);
        EXPECT_EQ(r.steps, 4u);
        EXPECT_EQ(session.Steps(), 4u);
        EXPECT_EQ(session.State().StepCount, 4);
        EXPECT_EQ(session.State().X[1], c.x1);
        EXPECT_EQ(session.State().SpeedX[1], 1.0L);
        EXPECT_EQ(session.Timeline().StepAt(session.Timeline().Count() - 1), 4);
    }
}

// Changes made between steps act on the very next one: from the observer
// at once, from another thread queued until the step boundary.
TEST(RunLoop, AChangeActsFromTheNextStep) {
    Session session;
    session.UseConfiguration(FunctionChoice::F_PES, false);
    const StepSettings first{FunctionChoice::F_PES, true, 1}, then{FunctionChoice::F_PES_Swi, false, 5};
    session.SetSettings(first);
    Watch watch;
    long double dtSeenAfterQueue = 0;
    watch.act = [&](const CommittedStep& s) {
        if (s.step == 2) {
            session.SetSettings(then);
            session.SetValue(Field::A, 2, 1.25L);
        }
        if (s.step == 3) {
            std::thread other([&] { session.SetDT(0.004L); });
            other.join();
            dtSeenAfterQueue = session.State().DT;
        }
    };
    session.Run(5, &watch);
    EXPECT_EQ(dtSeenAfterQueue, 0.005L);  // queued, not yet applied

    PlanarState expected = Start();
    DoStep(expected, first);
    DoStep(expected, first);
    expected.A[2] = 1.25L;
    DoStep(expected, then);
    expected.DT = 0.004L;
    DoStep(expected, then);
    DoStep(expected, then);
    EXPECT_TRUE(SameMotion(session.State(), expected));
    EXPECT_EQ(session.Settings().brake, 5);

    // A change queued during the last step is kept when the run ends.
    watch.act = [&](const CommittedStep&) {
        std::thread other([&] { session.SetDT(0.002L); });
        other.join();
    };
    session.Run(1, &watch);
    EXPECT_EQ(session.State().DT, 0.002L);
}

// The count goes on in 64 bits; the shown count is its low 32 bits with a
// sign, so it wraps to -2^31 after 2^31 - 1 and to 0 after 2^32 - 1.
TEST(RunLoop, CountsPastTwoToThe31And32) {
    const struct {
        std::uint64_t from, to;
        std::int32_t shown;
    } cases[] = {
        {(std::uint64_t{1} << 31) - 2, (std::uint64_t{1} << 31) + 1, -2147483647},
        {(std::uint64_t{1} << 32) - 2, (std::uint64_t{1} << 32) + 1, 1},
        {(std::uint64_t{1} << 40) + 5, (std::uint64_t{1} << 40) + 8, 8},
    };
    for (const auto& c : cases) {
        Session session;
        session.SetSteps(c.from);
        session.RestartTimeline();
        Watch watch;
        std::vector<std::int32_t> shown;
        watch.act = [&](const CommittedStep& s) { shown.push_back(s.state.StepCount); };
        session.Run(3, &watch);
        EXPECT_EQ(session.Steps(), c.to);
        EXPECT_EQ(session.State().StepCount, c.shown);
        EXPECT_EQ(watch.seen.back(), c.to);
        EXPECT_EQ(session.Timeline().StepAt(3), static_cast<std::int64_t>(c.to));
        EXPECT_EQ(shown.back(), c.shown);
    }
    EXPECT_EQ(ShownStepCount(std::uint64_t{1} << 31), INT32_MIN);
    EXPECT_EQ(ShownStepCount((std::uint64_t{1} << 32) - 1), -1);
}

}  // namespace
}  // namespace duoplex

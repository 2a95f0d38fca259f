// The one run loop: it counts and stops, a change made between two steps
// acts on the next one, a fault leaves the state committed before it, the
// count goes on past 32 bits while the shown counter wraps, and the
// observables a sample asks for come from the step itself.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "sphaeron/core/observables.h"
#include "sphaeron/session/session.h"
#include "sphaeron/session/tests/session_access.h"
#include "tests/support/taon_helpers.h"

namespace sphaeron {
namespace {

bool Same(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

bool SameState(const TaonState& a, const TaonState& b) {
    for (int k = 1; k <= kMaxTaons; ++k)
        if (!Same(a.X[k], b.X[k]) || !Same(a.Y[k], b.Y[k]) || !Same(a.Z[k], b.Z[k]) || !Same(a.Ux[k], b.Ux[k]) ||
            !Same(a.Uy[k], b.Uy[k]) || !Same(a.Uz[k], b.Uz[k]))
            return false;
    return Same(a.DT, b.DT);
}

// Four taons on a small square, moving; the rest absent.
TaonState Square() {
    TaonState s;
    const long double at[4][2] = {{0, 0}, {0.6L, 0}, {0, 0.6L}, {0.6L, 0.6L}};
    for (int k = 1; k <= 4; ++k) {
        s.GravonPresent[k] = 1;
        s.X[k] = at[k - 1][0];
        s.Y[k] = at[k - 1][1];
        s.Ux[k] = 0.01L * k;
    }
    for (int k = 5; k <= kMaxTaons; ++k) s.X[k] = 1000.0L + k;
    s.DT = 0.01L;
    s.A1 = s.A2 = s.A3 = 1;
    s.B1 = s.B2 = s.B3 = 1;
    s.C1 = s.C2 = s.C3 = 2;
    s.D1 = s.D2 = s.D3 = 3;
    s.F1 = s.F2 = s.F3 = 4;
    s.G1 = s.G2 = s.G3 = 5;
    ResetWorkingCopy(s);
    return s;
}

// Calls `at` after each committed step; records what it saw.
struct Watch : RunObserver {
    std::function<void(Session&, std::uint64_t)> at;
    std::function<bool(std::uint64_t)> wants = [](std::uint64_t) { return false; };
    Session* session = nullptr;
    std::vector<std::uint64_t> seen;
    std::vector<Observables> before;
    bool WantsObservables(std::uint64_t next) override { return wants(next); }
    void Committed(const CommittedStep& c) override {
        seen.push_back(c.step);
        if (c.before) before.push_back(*c.before);
        if (at) at(*session, c.step);
    }
};

struct Recorder : StateRecorder {
    std::vector<std::uint64_t> steps;
    void Record(const CommittedStep& c) override { steps.push_back(c.step); }
};

TEST(RunLoop, CountsRecordsAndStops) {
    Session s;
    SessionTestAccess::State(s) = Square();
    Recorder recorder;
    s.AddRecorder(&recorder);
    s.RestartTimeline();

    RunResult r = s.Run(5);
    EXPECT_EQ(5u, r.steps);
    EXPECT_FALSE(r.faulted);
    EXPECT_EQ(5u, s.Steps());
    EXPECT_EQ(5, s.State().StepCount);
    EXPECT_TRUE(s.State().Stopped);
    EXPECT_EQ((std::vector<std::uint64_t>{1, 2, 3, 4, 5}), recorder.steps);
    EXPECT_EQ(6u, s.Timeline().Count());
    TaonState expect = Square();
    for (int i = 0; i < 5; ++i) testsupport::StepOnce(expect);
    EXPECT_TRUE(SameState(expect, s.State()));

    // Without a limit it runs until a stop request between two steps.
    Watch w;
    w.session = &s;
    w.at = [](Session& session, std::uint64_t step) {
        if (step == 8) session.RequestStop();
    };
    r = s.Run(Session::kUntilStopped, &w);
    EXPECT_EQ(3u, r.steps);
    EXPECT_EQ((std::vector<std::uint64_t>{6, 7, 8}), w.seen);
    EXPECT_EQ(8u, s.Steps());
    s.RemoveRecorder(&recorder);
    s.Run(1);
    EXPECT_EQ(8u, recorder.steps.size());
    EXPECT_EQ(0u, s.Run(0).steps);
}

TEST(RunLoop, AChangeBetweenTwoStepsActsOnTheNext) {
    Session s;
    SessionTestAccess::State(s) = Square();
    Watch w;
    w.session = &s;
    w.at = [](Session& session, std::uint64_t step) {
        if (step == 1) session.SetParameter(0, 0.02L);  // DT
        if (step == 2) session.SetSwitches({.mode = 1, .stopL = false, .cool = true});
        if (step == 3) session.SetParameter(8, 1.1L);  // B2
    };
    s.Run(5, &w);

    TaonState expect = Square();
    testsupport::StepOnce(expect);
    expect.DT = 0.02L;
    testsupport::StepOnce(expect);
    const StepSwitches later{.StopL = false, .Cool = true, .Mode1 = true};
    testsupport::StepOnce(expect, later);
    expect.B2 = 1.1L;
    testsupport::StepOnce(expect, later);
    testsupport::StepOnce(expect, later);
    EXPECT_TRUE(SameState(expect, s.State()));
}

TEST(RunLoop, AFaultEndsTheRunWithTheStateCommittedBeforeIt) {
    Session s;
    SessionTestAccess::State(s) = Square();
    Watch w;
    w.session = &s;
    // After step 2 a position whose distances overflow.
    w.at = [](Session& session, std::uint64_t step) {
        if (step == 2) SessionTestAccess::State(session).X[1] = LDBL_MAX;
    };
    const RunResult r = s.Run(Session::kUntilStopped, &w);
    ASSERT_TRUE(r.faulted);
    EXPECT_EQ(2u, r.steps);
    EXPECT_EQ(3u, r.faultStep);
    EXPECT_EQ("Floating point overflow", r.fault);
    EXPECT_EQ(2u, s.Steps());
    EXPECT_TRUE(s.State().Stopped);

    TaonState expect = Square();
    testsupport::StepOnce(expect);
    testsupport::StepOnce(expect);
    expect.X[1] = LDBL_MAX;
    EXPECT_TRUE(SameState(expect, s.State()));
}

TEST(RunLoop, TheCountGoesOnPast32BitsWhileTheShownCounterWraps) {
    const struct {
        std::uint64_t from;
        int steps;
        std::uint64_t count;
        std::int32_t shown;
    } cases[] = {
        {2147483646u, 3, 2147483649u, INT32_MIN + 1},
        {4294967295u, 2, 4294967297u, 1},
        {(std::uint64_t{1} << 40) - 1, 1, std::uint64_t{1} << 40, 0},
    };
    for (const auto& c : cases) {
        Session s;
        SessionTestAccess::State(s) = Square();
        s.SetSteps(c.from);
        s.RestartTimeline();
        s.Run(static_cast<std::uint64_t>(c.steps));
        EXPECT_EQ(c.count, s.Steps()) << c.from;
        EXPECT_EQ(c.shown, s.State().StepCount) << c.from;
        EXPECT_EQ(static_cast<std::int64_t>(c.count), s.Timeline().StepAt(s.Timeline().Count() - 1));
    }
    // A counter set apart from the count starts it anew.
    Session s;
    SessionTestAccess::State(s) = Square();
    s.SetSteps(std::uint64_t{1} << 33);
    SessionTestAccess::State(s).StepCount = 17;
    s.Run(1);
    EXPECT_EQ(18u, s.Steps());
}

TEST(RunLoop, ObservablesAskedForComeWithTheStep) {
    Session s;
    SessionTestAccess::State(s) = Square();
    Watch w;
    w.session = &s;
    w.wants = [](std::uint64_t next) { return next == 3; };
    TaonState afterTwo = Square();
    testsupport::StepOnce(afterTwo);
    testsupport::StepOnce(afterTwo);
    s.Run(4, &w);
    ASSERT_EQ(1u, w.before.size());
    const Observables expect = ComputeObservables(afterTwo, {});
    EXPECT_TRUE(Same(expect.ke, w.before[0].ke) && Same(expect.pe, w.before[0].pe) && Same(expect.e, w.before[0].e));
}

}  // namespace
}  // namespace sphaeron

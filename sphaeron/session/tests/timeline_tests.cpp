// The timeline of a run without a window: the recorded states are the run's
// own, and going back and running on repeats the run bit for bit, on the
// examples under each switch and on one and two threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "sphaeron/session/session.h"
#include "sphaeron/session/tests/session_access.h"
#include "tests/support/temp_dir.h"

namespace sphaeron {
namespace {

using Image = std::vector<unsigned char>;

Image FileImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Image(std::istreambuf_iterator<char>(in), {});
}

// The record Save would write now.
Image RecordOf(const Session& s) {
    TaonsDocument record = s.Document();
    PackDocument(s.State(), record);
    return Image(record.bytes.begin(), record.bytes.end());
}

Image Recorded(const Session& s, std::size_t i) { return Image(s.Timeline().StateAt(i), s.Timeline().StateAt(i) + kDocumentSize); }

// Steps through the run loop with the switches.
void RunSteps(Session& s, const StepSwitches& sw, int steps) {
    s.SetSwitches({.mode = sw.Mode1 ? 1 : 0, .stopL = sw.StopL, .cool = sw.Cool});
    s.Run(static_cast<std::uint64_t>(steps));
}

TEST(SessionTimeline, GoingBackAndRunningOnRepeatsTheRun) {
    testsupport::TempDir dir{"sphaeron-timeline"};
    setenv("XDG_CONFIG_HOME", dir.Path("config").c_str(), 1);
    const struct {
        const char* example;
        StepSwitches sw;
        int threads, steps, back;
    } cases[] = {
        {"lattice100.ato", {}, 1, 8, 3},
        {"lattice100.ato", {.StopL = true, .Cool = true}, 2, 8, 5},
        {"shell_mode1.ato", {.Mode1 = true}, 2, 12, 4},
        {"easy_square.ato", {.Cool = true}, 1, 30, 29},
        {"easy_square.ato", {.StopL = true}, 1, 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.example);
        // The example with its padding bytes set, as a document from
        // elsewhere may have them.
        Image loaded = FileImage(std::string(SPHAERON_EXAMPLES_DEFAULT) + "/" + c.example);
        ASSERT_EQ(kDocumentSize, loaded.size());
        for (std::size_t i : {190u, 191u, 6292u, 6295u}) loaded[i] = 0xA5;
        const std::string path = dir.Path("doc.ato");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(loaded.data()), kDocumentSize);

        // The run as the core makes it, apart from any session.
        std::vector<Image> expected;
        {
            TaonsDocument record;
            TaonState ref;
            LoadDocument(path, record, ref);
            StepEngine engine(c.threads);
            for (int n = 0; n <= c.steps; ++n) {
                if (n > 0) engine.Step(ref, c.sw);
                PackDocument(ref, record);
                expected.emplace_back(record.bytes.begin(), record.bytes.end());
            }
        }

        Session s(c.threads);
        s.OpenDocument(path);
        ASSERT_EQ(1u, s.Timeline().Count());
        RunSteps(s, c.sw, c.steps);
        ASSERT_EQ(static_cast<std::size_t>(c.steps) + 1, s.Timeline().Count());
        for (int n = 0; n <= c.steps; ++n) {
            EXPECT_EQ(n, s.Timeline().StepAt(static_cast<std::size_t>(n)));
            ASSERT_EQ(expected[static_cast<std::size_t>(n)], Recorded(s, static_cast<std::size_t>(n))) << "step " << n;
        }

        // Back: the recorded state in all three copies, with its count.
        ASSERT_TRUE(s.ShowRecorded(static_cast<std::size_t>(c.back)));
        EXPECT_EQ(expected[static_cast<std::size_t>(c.back)], RecordOf(s));
        EXPECT_EQ(c.back, s.State().StepCount);
        for (int k = 1; k <= kMaxTaons; ++k)
            ASSERT_TRUE(s.State().NewX[k] == s.State().X[k] && s.State().ViewZ[k] == s.State().Z[k] &&
                        s.State().NewUy[k] == s.State().Uy[k])
                << k;

        // Running on from there drops the later states and makes them again.
        s.ContinueTimeline();
        EXPECT_EQ(static_cast<std::size_t>(c.back) + 1, s.Timeline().Count());
        RunSteps(s, c.sw, c.steps - c.back);
        ASSERT_EQ(static_cast<std::size_t>(c.steps) + 1, s.Timeline().Count());
        EXPECT_EQ(expected.back(), RecordOf(s));
        for (int n = c.back; n <= c.steps; ++n)
            ASSERT_EQ(expected[static_cast<std::size_t>(n)], Recorded(s, static_cast<std::size_t>(n))) << "step " << n;

        // The first state saved is the document as it was loaded, padding
        // and all.
        ASSERT_TRUE(s.ShowRecorded(0));
        s.SaveDocumentAs(dir.Path("first.ato"));
        EXPECT_EQ(loaded, FileImage(dir.Path("first.ato")));

        // A state changed between runs is recorded when the next run starts,
        // after the one it came from: here a new time step.
        s.ContinueTimeline();
        ASSERT_EQ(1u, s.Timeline().Count());
        SessionTestAccess::State(s).DT = s.State().DT / 2;
        s.ContinueTimeline();
        ASSERT_EQ(2u, s.Timeline().Count());
        EXPECT_EQ(0, s.Timeline().StepAt(1));
        EXPECT_EQ(RecordOf(s), Recorded(s, 1));
    }
}

TEST(SessionTimeline, TheSpiralRecordsNothing) {
    Session s;
    SessionTestAccess::State(s).SpiralMode = true;
    s.RestartTimeline();
    s.ContinueTimeline();
    s.RecordStep();
    EXPECT_TRUE(s.Timeline().Empty());
    EXPECT_FALSE(s.ShowRecorded(0));
}

}  // namespace
}  // namespace sphaeron

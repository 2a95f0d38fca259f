// Runs are reproducible: the same bytes on any number of threads, pinned to
// one digest, and a run saved and reopened half way ends where an unbroken
// run ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"

namespace sphaeron {
namespace {

const std::string kExamples = SPHAERON_EXAMPLES_DEFAULT;

// FNV-1a over the record: small, stable across compilers and platforms.
std::uint64_t Digest(const TaonsDocument& doc) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char b : doc.bytes) {
        h ^= b;
        h *= 1099511628211ULL;
    }
    return h;
}

TaonsDocument RunSteps(const std::string& example, int steps, int threads, const StepSwitches& sw) {
    TaonsDocument doc;
    TaonState s;
    LoadDocument(kExamples + "/" + example, doc, s);
    StepEngine engine(threads);
    for (int k = 0; k < steps; ++k) engine.Step(s, sw);
    PackDocument(s, doc);
    return doc;
}

// The digest of 20 steps of the lattice example, fixed once: any change to
// the arithmetic, the order of a sum or the splitting of the work shows here.
TEST(Determinism, LatticeDigestIsTheSameOnOneTwoAndFourThreads) {
    constexpr std::uint64_t kPinned = 5328487250273199332ULL;
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(Digest(RunSteps("lattice100.ato", 20, threads, {})), kPinned);
    }
}

TEST(Determinism, RestartFromASavedDocumentEqualsAnUnbrokenRun) {
    struct Case {
        const char* example;
        StepSwitches sw;
    };
    const Case cases[] = {
        {"lattice100.ato", {}},
        {"shell_mode1.ato", {false, true, true}},  // Cool, Shelloscope
        {"easy_square.ato", {true, false, false}},  // StopL
    };
    char tmpl[] = "/tmp/sphaeron-restart-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::filesystem::path dir(tmpl);
    constexpr int kHalf = 7;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.example);
        TaonsDocument doc;
        TaonState s;
        LoadDocument(kExamples + "/" + c.example, doc, s);
        StepEngine engine(2);
        for (int k = 0; k < kHalf; ++k) engine.Step(s, c.sw);
        PackDocument(s, doc);
        const std::string saved = (dir / c.example).string();
        WriteDocument(saved, doc);

        TaonsDocument reopenedDoc;
        TaonState reopened;
        LoadDocument(saved, reopenedDoc, reopened);
        for (int k = 0; k < kHalf; ++k) engine.Step(reopened, c.sw);
        PackDocument(reopened, reopenedDoc);

        EXPECT_TRUE(reopenedDoc.bytes == RunSteps(c.example, 2 * kHalf, 1, c.sw).bytes);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sphaeron

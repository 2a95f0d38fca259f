// The session's document commands without a window: what each one changes,
// and that a failed Open changes nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sphaeron/session/session.h"
#include "sphaeron/session/tests/session_access.h"
#include "tests/support/error_text.h"
#include "tests/support/taon_helpers.h"
#include "tests/support/temp_dir.h"

namespace sphaeron {
namespace {

using testsupport::ErrorText;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool SameState(const TaonState& a, const TaonState& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir_.Path("config").c_str(), 1);
        // A document: DT 0.5, taon 1 at (1, 2, 3) moving by (4, 5, 6) and
        // taon 2 absent, with a commentary.
        TaonState d;
        d.DT = 0.5L;
        testsupport::PutTaon(d, 1, 1, 2, 3, 4, 5, 6);
        testsupport::PutTaon(d, 2, 7, 8, 9);
        d.GravonPresent[2] = 0;
        TaonsDocument record;
        PackDocument(d, record);
        doc_ = std::string(record.bytes.begin(), record.bytes.end());
        Put(Path("doc.ato"), doc_);
        Put(Path("doc.txt"), "notes");
        Put(Path("short.ato"), doc_.substr(0, kDocumentSize - 1));
    }
    std::string Path(const std::string& name) const { return dir_.Path(name); }

    testsupport::TempDir dir_{"sphaeron-session"};
    std::string doc_;
    Session s_;
};

TEST_F(SessionTest, OpenTakesTheDocumentOrChangesNothing) {
    struct Case {
        std::string name, error;
        bool startFileIsAFolder;
    };
    const Case cases[] = {
        {"doc.ato", "", false},
        {"short.ato", "Read beyond end of file", false},
        {"none.ato", "File not found", false},
        {"doc.ato", "?", true},  // read, but the start file cannot be written
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(Path("config"));
        if (c.startFileIsAFolder) std::filesystem::create_directories(StartFilePath());
        Session s;
        SessionTestAccess::State(s).SpiralMode = true;
        SessionTestAccess::State(s).StepCount = 9;
        SessionTestAccess::DocumentName(s) = SessionTestAccess::LastDocumentName(s) = "before";
        const TaonState before = s.State();
        const TaonsDocument record = s.Document();
        std::optional<std::string> commentary;
        const std::string error = ErrorText([&] { commentary = s.OpenDocument(Path(c.name)); });
        if (c.error.empty()) {
            EXPECT_EQ("", error);
            EXPECT_EQ(0.5L, s.State().DT);
            EXPECT_EQ(3.0L, s.State().ViewZ[1]);
            EXPECT_EQ(6.0L, s.State().NewUz[1]);
            EXPECT_FALSE(s.State().Present(2));
            EXPECT_FALSE(s.State().SpiralMode);
            EXPECT_EQ(0, s.State().StepCount);
            EXPECT_EQ(Path(c.name), s.DocumentName());
            EXPECT_EQ(Path(c.name), s.LastDocumentName());
            EXPECT_EQ(Path(c.name), Contents(StartFilePath()));
            EXPECT_EQ("notes", commentary.value_or("<none>"));
            continue;
        }
        if (c.error != "?") {
            EXPECT_EQ(c.error, error);
        }
        EXPECT_NE("", error);
        EXPECT_TRUE(SameState(before, s.State()));
        EXPECT_EQ(record.bytes, s.Document().bytes);
        EXPECT_EQ("before", s.DocumentName());
        EXPECT_EQ("before", s.LastDocumentName());
    }
}

TEST_F(SessionTest, SavesWriteTheRecordAndSetTheNamesTheyOwn) {
    enum class Op { Save, SaveAs, Copy, Edited };
    struct Case {
        Op op;
        bool namesFollow;
    };
    for (const Case c : {Case{Op::Save, false}, Case{Op::SaveAs, true}, Case{Op::Copy, false}, Case{Op::Edited, true}}) {
        SCOPED_TRACE(static_cast<int>(c.op));
        std::filesystem::remove_all(Path("config"));
        Put(Path("work.ato"), doc_);
        Session s;
        s.OpenDocument(Path("work.ato"));
        SessionTestAccess::State(s).X[1] = 10;  // taken in by "&Yes": committed only
        SessionTestAccess::State(s).X[2] = 20;  // the same for an absent taon
        int nameShown = 0;
        s.OnDocumentNameSet([&] { ++nameShown; });
        const std::string target = c.op == Op::Save ? Path("work.ato") : Path("out.ato");
        switch (c.op) {
            case Op::Save: EXPECT_TRUE(s.SaveDocument()); break;
            case Op::SaveAs: s.SaveDocumentAs(target); break;
            case Op::Copy: s.SaveCopy(target); break;
            case Op::Edited: s.SaveEditedDocument(target); break;
        }
        const std::string written = Contents(target);
        ASSERT_EQ(kDocumentSize, written.size());
        long double x1 = 0;
        std::memcpy(&x1, written.data() + kXOffset, 10);
        EXPECT_EQ(10.0L, x1);
        const std::string current = c.namesFollow ? target : Path("work.ato");
        EXPECT_EQ(current, s.DocumentName());
        EXPECT_EQ(current, s.LastDocumentName());
        EXPECT_EQ(current, Contents(StartFilePath()));
        EXPECT_EQ(c.namesFollow ? 1 : 0, nameShown);
        // Only the edit dialog's OK starts the present taons from the
        // committed copy.
        EXPECT_EQ(c.op == Op::Edited ? 10.0L : 1.0L, s.State().NewX[1]);
        EXPECT_EQ(c.op == Op::Edited ? 10.0L : 1.0L, s.State().ViewX[1]);
        EXPECT_EQ(7.0L, s.State().NewX[2]);
    }
    Session spiral;
    SessionTestAccess::State(spiral).SpiralMode = true;
    SessionTestAccess::DocumentName(spiral) = Path("spiral.ato");
    EXPECT_FALSE(spiral.SaveDocument());
    EXPECT_EQ("<none>", Contents(Path("spiral.ato")));
}

TEST_F(SessionTest, RememberedDocument) {
    struct Case {
        const char* startFile;  // nullptr: no start file
        RememberedDocument found;
        std::string error;
    };
    const std::string doc = Path("doc.ato"), shortDoc = Path("short.ato"), none = Path("none.ato");
    const Case cases[] = {
        {nullptr, RememberedDocument::NoStartFile, ""},
        {"", RememberedDocument::NoneRemembered, ""},
        {none.c_str(), RememberedDocument::Unreadable, ""},
        {doc.c_str(), RememberedDocument::Loaded, ""},
        {shortDoc.c_str(), RememberedDocument::Unreadable, "Read beyond end of file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.startFile ? c.startFile : "(none)");
        std::filesystem::remove_all(Path("config"));
        if (c.startFile) {
            std::filesystem::create_directories(Path("config/Sphaeron"));
            Put(StartFilePath(), std::string(c.startFile) + "\r\nmore");
        }
        Session s;
        SessionTestAccess::State(s).SpiralMode = true;
        SessionTestAccess::DocumentName(s) = SessionTestAccess::LastDocumentName(s) = "before";
        RememberedDocument found = RememberedDocument::Unreadable;
        EXPECT_EQ(c.error, ErrorText([&] { found = s.LoadRememberedDocument(); }));
        EXPECT_EQ(c.found, found);
        const bool path = c.startFile && *c.startFile;
        EXPECT_EQ(path ? c.startFile : "before", s.DocumentName());
        EXPECT_EQ(c.startFile ? c.startFile : "before", s.LastDocumentName());
        EXPECT_EQ(!path, s.State().SpiralMode);
        EXPECT_EQ(found == RememberedDocument::Loaded && c.error.empty() ? 0.5L : 0.0L, s.State().DT);
    }
}

TEST_F(SessionTest, FieldTextsAreStoredUpToTheFirstBadOne) {
    TaonState& st = SessionTestAccess::State(s_);
    st.Z[3] = -1;
    EXPECT_EQ("'x' is not a valid floating point value",
              ErrorText([&] { s_.SubmitTaon(3, {"1", " 2,5 ", "x", "4", "5", "6"}, true, ','); }));
    EXPECT_EQ(1.0L, st.X[3]);
    EXPECT_EQ(2.5L, st.Y[3]);
    EXPECT_EQ(-1.0L, st.Z[3]);
    EXPECT_FALSE(st.Present(3));
    s_.SubmitTaon(3, {"1", "2", "3", "4", "5", "-1E-3"}, true, ',');
    EXPECT_EQ(-0.001L, st.Uz[3]);
    EXPECT_EQ(1, st.GravonPresent[3]);

    std::array<std::string, kParameterCount> texts;
    texts.fill("7");
    texts[0] = "0,25";
    texts[2] = "1.5";  // a full stop is no separator here
    EXPECT_EQ("'1.5' is not a valid floating point value", ErrorText([&] { s_.ReadParameters(texts, ','); }));
    EXPECT_EQ(0.25L, st.DT);
    EXPECT_EQ(7.0L, st.A1);
    EXPECT_EQ(0.0L, st.B1);
    EXPECT_EQ("0,25", s_.ParameterTexts(',')[0]);
    EXPECT_EQ("7", s_.ParameterTexts(',')[1]);
}

TEST_F(SessionTest, ARecordTakenAsTheDocumentLeavesNamesAndCountAndPacksBackToItself) {
    SessionTestAccess::DocumentName(s_) = "name";
    s_.SetSteps(7);
    int nameShown = 0;
    s_.OnDocumentNameSet([&] { ++nameShown; });
    TaonsDocument record;
    std::copy(doc_.begin(), doc_.end(), record.bytes.begin());
    s_.UseRecord(record);
    EXPECT_EQ(0.5L, s_.State().DT);
    EXPECT_EQ(6.0L, s_.State().NewUz[1]);
    EXPECT_FALSE(s_.State().Present(2));
    EXPECT_EQ("name", s_.DocumentName());
    EXPECT_EQ(0, nameShown);
    EXPECT_EQ(7u, s_.Steps());
    EXPECT_EQ(record.bytes, s_.Packed().bytes);

    // A parameter set acts on the state; the buffer keeps the record read
    // until a save packs the state into it.
    s_.SetParameter(0, 0.25L);
    TaonState packed, buffer;
    DistributeDocument(s_.Packed(), packed);
    DistributeDocument(s_.Document(), buffer);
    EXPECT_EQ(0.25L, packed.DT);
    EXPECT_EQ(0.5L, buffer.DT);
}

TEST_F(SessionTest, ReplaceQuestionForFilesThatAreNoDocument) {
    Put(Path("README.md"), std::string(11372, 'x'));
    Put(Path("one"), "x");
    Put(Path("empty.ato"), "");
    std::filesystem::create_directories(Path("folder.ato"));
    EXPECT_EQ("'README.md' is 11,372 bytes long and is not a Sphaeron document. Replace it?",
              ReplaceQuestion(Path("README.md")).value_or("<none>"));
    EXPECT_EQ("'one' is 1 byte long and is not a Sphaeron document. Replace it?",
              ReplaceQuestion(Path("one")).value_or("<none>"));
    EXPECT_EQ("'empty.ato' is 0 bytes long and is not a Sphaeron document. Replace it?",
              ReplaceQuestion(Path("empty.ato")).value_or("<none>"));
    for (const char* quiet : {"doc.ato", "none.ato", "folder.ato"}) EXPECT_FALSE(ReplaceQuestion(Path(quiet))) << quiet;
}

TEST_F(SessionTest, VelocityResetOnlyWhenIdleWithTaons) {
    for (const bool spiral : {true, false})
        for (const bool stopped : {true, false}) {
            Session s;
            testsupport::PutTaon(SessionTestAccess::State(s), 1, 0, 0, 0, 1, 2, 3);
            SessionTestAccess::State(s).SpiralMode = spiral;
            SessionTestAccess::State(s).Stopped = stopped;
            const bool acts = !spiral && stopped;
            EXPECT_EQ(acts, s.NullVelocities());
            EXPECT_EQ(acts ? 0.0L : 2.0L, s.State().Uy[1]);
            EXPECT_EQ(acts ? 0.0L : 2.0L, s.State().NewUy[1]);
        }
}

}  // namespace
}  // namespace sphaeron

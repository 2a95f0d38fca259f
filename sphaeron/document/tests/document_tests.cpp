#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/errors.h"
#include "common/fileio.h"
#include "sphaeron/document/document.h"
#include "tests/support/error_text.h"
#include "tests/support/temp_dir.h"

namespace sphaeron {
namespace {

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1); }
    std::string Path(const std::string& n) const { return dir_.Path(n); }
    testsupport::TempDir dir_{"sphaeron-doc"};
};

TaonState Sample() {
    TaonState s;
    for (int p = 0; p < kParameterCount; ++p) *ParameterField(s, p) = 1.0L / (p + 3);  // not exact in 64 bits
    for (int k = 1; k <= kMaxTaons; ++k) {
        s.GravonPresent[k] = k % 3 == 0 ? 0 : (k == 7 ? 2 : 1);
        s.X[k] = k / 7.0L;
        s.Y[k] = -k / 11.0L;
        s.Z[k] = k * 1e-300L;
        s.Ux[k] = 1.0L / k;
        s.Uy[k] = k * 3.0L;
        s.Uz[k] = -1e4000L / k;
    }
    return s;
}

TEST_F(DocumentTest, RoundTripIsBitExactIntoAllCopies) {
    TaonState a = Sample();
    TaonsDocument doc;
    PackDocument(a, doc);
    WriteDocument(Path("a.ato"), doc);
    EXPECT_EQ(kDocumentSize, std::filesystem::file_size(Path("a.ato")));

    TaonsDocument back;
    TaonState b;
    LoadDocument(Path("a.ato"), back, b);
    for (int p = 0; p < kParameterCount; ++p) EXPECT_EQ(0, std::memcmp(ParameterField(a, p), ParameterField(b, p), 10));
    for (int k = 1; k <= kMaxTaons; ++k) {
        EXPECT_EQ(a.GravonPresent[k], b.GravonPresent[k]);
        EXPECT_EQ(a.X[k], b.X[k]);
        EXPECT_EQ(a.X[k], b.NewX[k]);
        EXPECT_EQ(a.X[k], b.ViewX[k]);
        EXPECT_EQ(a.Z[k], b.ViewZ[k]);
        EXPECT_EQ(a.Uz[k], b.NewUz[k]);
    }
    // Layout: DT first, X[1] at 192, presence at 6192.
    EXPECT_EQ(0, std::memcmp(&back.bytes[0], &a.DT, 10));
    EXPECT_EQ(0, std::memcmp(&back.bytes[192], &a.X[1], 10));
    EXPECT_EQ(0, std::memcmp(&back.bytes[5192 + 990], &a.Uz[100], 10));
    EXPECT_EQ(2, back.bytes[6192 + 6]);
}

TEST_F(DocumentTest, PaddingComesFromTheLastDocumentRead) {
    TaonsDocument doc;
    TaonState s = Sample();
    PackDocument(s, doc);
    EXPECT_EQ(0, doc.bytes[190]);
    EXPECT_EQ(0, doc.bytes[6295]);
    doc.bytes[190] = 0xAB;
    doc.bytes[6293] = 0xCD;
    WriteDocument(Path("pad.ato"), doc);

    TaonsDocument buffer;
    TaonState t;
    LoadDocument(Path("pad.ato"), buffer, t);
    PackDocument(Sample(), buffer);
    EXPECT_EQ(0xAB, buffer.bytes[190]);
    EXPECT_EQ(0xCD, buffer.bytes[6293]);
}

TEST_F(DocumentTest, ShortLongAndMissingFiles) {
    TaonsDocument doc;
    PackDocument(Sample(), doc);
    std::string bytes(doc.bytes.begin(), doc.bytes.end());
    common::WriteFileAtomic(Path("long.ato"), bytes + "trailing");
    common::WriteFileAtomic(Path("short.ato"), bytes.substr(0, kDocumentSize - 1));

    TaonsDocument buf;
    TaonState s;
    LoadDocument(Path("long.ato"), buf, s);
    EXPECT_EQ(1.0L / 3, s.DT);

    TaonState before = s;
    TaonsDocument bufBefore = buf;
    EXPECT_EQ("Read beyond end of file",
              testsupport::ErrorText<common::FileError>([&] { LoadDocument(Path("short.ato"), buf, s); }));
    EXPECT_EQ(0, std::memcmp(&before, &s, sizeof s));
    EXPECT_EQ(bufBefore.bytes, buf.bytes);
    EXPECT_THROW(LoadDocument(Path("none.ato"), buf, s), common::FileError);

    chmod(Path("long.ato").c_str(), 0444);  // a read-only document loads
    EXPECT_NO_THROW(LoadDocument(Path("long.ato"), buf, s));
}

TEST(Commentary, NameRuleAndLineBreaks) {
    EXPECT_EQ("/a/b.txt", CommentaryName("/a/b.ato"));
    EXPECT_EQ("ThetraSp.txt", CommentaryName("ThetraSpiral"));
    EXPECT_EQ("abc.txt", CommentaryName("abc"));
    EXPECT_EQ(".txt", CommentaryName("abcd"));
    EXPECT_EQ("a\r\nb\r\nc\r\n\r\nd", NormaliseLineBreaks("a\rb\nc\r\n\nd"));
}

TEST_F(DocumentTest, CommentaryLoadAndSave) {
    std::string doc = Path("ring.ato");
    EXPECT_FALSE(LoadCommentary(doc).has_value());
    SaveCommentary(doc, "first line\r\nsecond");
    SaveCommentary(doc, "first line\r\nsecond");
    EXPECT_EQ("first line\r\nsecond", common::ReadWholeFile(Path("ring.txt")));
    EXPECT_EQ("first line\r\nsecond", LoadCommentary(doc).value());
}

TEST_F(DocumentTest, StartFileRemembersThePath) {
    EXPECT_EQ(Path("config/Sphaeron/Start.-as-"), StartFilePath());
    EXPECT_FALSE(ReadLastDocument().has_value());
    CreateStartFile();
    EXPECT_EQ("", ReadLastDocument().value());
    RememberLastDocument("/x/y.ato");
    EXPECT_EQ("/x/y.ato", common::ReadWholeFile(StartFilePath()));
    common::WriteFileAtomic(StartFilePath(), std::string("/c/x.ato\r\nmore text"));
    EXPECT_EQ("/c/x.ato", ReadLastDocument().value());
}

}  // namespace
}  // namespace sphaeron

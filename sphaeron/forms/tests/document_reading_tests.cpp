// What the window reads as a document: the JSON form wherever a record is
// read, a question before a file that is neither, and a document named on
// the command line in place of the remembered one.
#include "forms_test_support.h"
#include "sphaeron/document/ato_json.h"
#include "sphaeron/forms/failure.h"

namespace sphaeron::forms::testing {
namespace {

// Records the questions asked with No as the default apart.
class ReadingDialogs : public ScriptedDialogs {
public:
    std::vector<QString> DefaultNo;
    bool ConfirmDefaultNo(QWidget* parent, const QString& text) override {
        DefaultNo.push_back(text);
        return Confirm(parent, text);
    }
};

class DocumentReadingTest : public FormsTest {
protected:
    // The taons of the square with other values, as a record and as JSON.
    std::vector<unsigned char> WriteBoth() {
        TaonState s = SquareState(0.02L);
        s.X[2] = 0.25L;
        s.B3 = 3.5L;
        std::vector<unsigned char> record = WriteState(Path("doc.ato"), s);
        TaonsDocument doc;
        std::copy(record.begin(), record.end(), doc.bytes.begin());
        WriteBytes(Path("doc.json"), AtoToJson(doc));
        return record;
    }
    std::vector<unsigned char> Shown() {
        TaonsDocument doc;
        PackDocument(State(), doc);
        return std::vector<unsigned char>(doc.bytes.begin(), doc.bytes.end());
    }
};

TEST_F(DocumentReadingTest, JsonIsReadByOpenTheCommandLineAndTheRememberedDocument) {
    const std::vector<unsigned char> record = WriteBoth();
    // File > Open
    Start();
    dialogs.OpenAnswers.push_back(QPath("doc.json"));
    Form().Open1->trigger();
    EXPECT_EQ(record, Shown());
    EXPECT_EQ(Path("doc.json"), Data().DocumentName());
    // Save keeps the JSON form under its name.
    Form().Save1->trigger();
    ASSERT_NE(record.size(), FileBytes(Path("doc.json")).size());
    EXPECT_EQ('{', FileBytes(Path("doc.json")).front());
    program_.reset();

    // The remembered document at start-up (it was remembered by the Open).
    Start();
    EXPECT_EQ(record, Shown());
    program_.reset();

    // The command line
    WriteStartFile(Path("doc.ato"));
    program_ = std::make_unique<SphaeronProgram>(dialogs, true);
    Form().OpenDocument(Path("doc.json"));
    EXPECT_EQ(record, Shown());
    EXPECT_TRUE(dialogs.Failures.empty());
}

TEST_F(DocumentReadingTest, AFileThatIsNoDocumentIsOpenedOnlyAfterTheQuestion) {
    ReadingDialogs asked;
    const std::vector<unsigned char> record = WriteBoth();
    const std::vector<unsigned char> other = WriteState(Path("other.ato"), SquareState(0.03L));
    WriteBytes(Path("picture.png"), std::string(other.begin(), other.end()) + std::string(4000, 'p'));
    WriteStartFile(Path("doc.json"));
    Start(asked);

    asked.ConfirmAnswers = {false, true};
    for (int answer = 0; answer < 2; ++answer) {
        asked.OpenAnswers.push_back(QPath("picture.png"));
        Form().Open1->trigger();
        EXPECT_EQ(answer == 0 ? Path("doc.json") : Path("picture.png"), Data().DocumentName());
        EXPECT_EQ(answer == 0 ? record : other, Shown());  // Yes: its first 6296 bytes
    }
    const QString question = QStringLiteral(
        "'picture.png' is 10,296 bytes long and is not a Sphaeron document. Open its first 6296 bytes anyway?");
    EXPECT_EQ(std::vector<QString>(2, question), asked.DefaultNo);
    // No question for a record or the JSON form.
    for (const char* name : {"doc.ato", "doc.json"}) {
        asked.OpenAnswers.push_back(QPath(name));
        Form().Open1->trigger();
    }
    EXPECT_EQ(2u, asked.DefaultNo.size());
    program_.reset();
}

// A broken remembered document is not even looked at when the command line
// names one; a missing one named there leaves the spiral, not the
// remembered document.
TEST_F(DocumentReadingTest, WithADocumentNamedTheRememberedOneIsNotLoaded) {
    const std::vector<unsigned char> record = WriteBoth();
    WriteBytes(Path("short.ato"), std::string(100, 's'));
    for (const char* remembered : {"short.ato", "doc.json"}) {
        SCOPED_TRACE(remembered);
        WriteStartFile(Path(remembered));
        program_ = std::make_unique<SphaeronProgram>(dialogs, true);
        EXPECT_TRUE(dialogs.Failures.empty());
        EXPECT_TRUE(State().SpiralMode);
        Guarded(dialogs, [&] { Form().OpenDocument(Path("missing.ato")); });
        EXPECT_EQ(std::vector<QString>{QStringLiteral("File not found")}, dialogs.Failures);
        EXPECT_TRUE(State().SpiralMode);
        Form().OpenDocument(Path("doc.ato"));
        EXPECT_EQ(record, Shown());
        dialogs.Failures.clear();
        program_.reset();
    }
}

}  // namespace
}  // namespace sphaeron::forms::testing

// File commands with scripted dialogs: Open, Save, Save As, New, the Taons
// and Spiral commands, the commentary question and the help items.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTest>
#include <filesystem>
#include <functional>

#include "forms_test_support.h"
#include "sphaeron/document/document.h"

namespace sphaeron::forms::testing {
namespace {

class FileCommandTest : public FormsTest {};

std::vector<unsigned char> Packed(const TaonsDocument& buffer, const TaonState& s) {
    TaonsDocument d = buffer;
    PackDocument(s, d);
    return std::vector<unsigned char>(d.bytes.begin(), d.bytes.end());
}

TEST_F(FileCommandTest, OpenLoadsEverythingAndRemembersThePath) {
    TMainForm& f = Start();  // spiral
    TaonState s = SquareState(0.02L);
    WriteState(Path("a.ato"), s);
    WriteBytes(Path("a.txt"), "about a");
    State().StepCount = 17;
    f.LTime->setText(QStringLiteral("17"));
    dialogs.OpenAnswers.push_back(QPath("a.ato"));
    f.Open1->trigger();
    EXPECT_TRUE(dialogs.Failures.empty());
    EXPECT_FALSE(State().SpiralMode);
    EXPECT_TRUE(f.Go->isEnabled());
    EXPECT_TRUE(f.Null00->isEnabled());
    EXPECT_EQ(Path("a.ato"), Data().DocumentName());
    EXPECT_EQ(QPath("a.ato"), f.FName->text());
    EXPECT_EQ(Path("a.ato"), ReadStartFile());
    EXPECT_EQ(0, State().StepCount);
    EXPECT_EQ(QStringLiteral("0"), f.LTime->text());
    EXPECT_EQ(QStringLiteral("0,02"), f.EditDT->text());
    EXPECT_TRUE(SameBits(0.02L, State().DT));
    EXPECT_EQ(0.212L, State().ViewX[1]);
    EXPECT_EQ(QStringLiteral("0,212"), f.Listing->Cell(1, 1));
    EXPECT_EQ(QStringLiteral("about a"), f.Comment->toPlainText());

    // A document without a commentary keeps the memo as it is.
    WriteState(Path("b.ato"), SquareState(0.03L));
    dialogs.OpenAnswers.push_back(QPath("b.ato"));
    f.Open1Click();
    EXPECT_EQ(QStringLiteral("about a"), f.Comment->toPlainText());
    EXPECT_EQ(QStringLiteral("0,03"), f.EditDT->text());
}

TEST_F(FileCommandTest, FailedOpenChangesNothing) {
    TMainForm& f = Start();  // spiral, empty start file
    const TaonState before = State();
    WriteBytes(Path("short.ato"), std::string(100, 'x'));
    dialogs.OpenAnswers.push_back(QPath("missing.ato"));
    dialogs.OpenAnswers.push_back(QPath("short.ato"));
    f.Open1->trigger();
    f.Open1->trigger();
    ASSERT_EQ(2u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("File not found"), dialogs.Failures[0]);
    EXPECT_EQ(QStringLiteral("Read beyond end of file"), dialogs.Failures[1]);
    EXPECT_TRUE(State().SpiralMode);
    EXPECT_FALSE(f.Go->isEnabled());
    EXPECT_EQ(QStringLiteral("File Name"), f.FName->text());
    EXPECT_EQ("ThetraSpiral", Data().DocumentName());
    EXPECT_EQ("", ReadStartFile());
    EXPECT_TRUE(SameBits(before.ViewX[5], State().ViewX[5]));
    EXPECT_TRUE(SameBits(before.DT, State().DT));

    // Cancelled: nothing either.
    dialogs.OpenAnswers.push_back(std::nullopt);
    f.Open1Click();
    EXPECT_TRUE(State().SpiralMode);
    EXPECT_EQ(2u, dialogs.Failures.size());
}

TEST_F(FileCommandTest, OpenWhoseStartFileCannotBeWrittenChangesNothing) {
    WriteState(Path("old.ato"), SquareState(0.01L));
    WriteStartFile(Path("old.ato"));
    TMainForm& f = Start();
    WriteState(Path("new.ato"), SquareState(0.05L));
    // The start file's folder becomes a plain file.
    std::filesystem::remove_all(dir_ + "/config/Sphaeron");
    WriteBytes(dir_ + "/config/Sphaeron", "in the way");
    dialogs.OpenAnswers.push_back(QPath("new.ato"));
    f.Open1->trigger();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(Path("old.ato"), Data().DocumentName());
    EXPECT_EQ(Path("old.ato"), Data().LastDocumentName());
    EXPECT_EQ(QPath("old.ato"), f.FName->text());
    EXPECT_TRUE(SameBits(0.01L, State().DT));
    EXPECT_EQ(QStringLiteral("0,01"), f.EditDT->text());
}

TEST_F(FileCommandTest, SaveWritesTheCommittedStateToTheShownName) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    AtPass(f, 2, [&] { f.GoClick(); });
    f.GoClick();
    f.Save1->trigger();
    EXPECT_EQ(Packed(Data().Document(), State()), FileBytes(Path("doc.ato")));
    EXPECT_NE(FileBytes(Path("doc.ato")), std::vector<unsigned char>());
    EXPECT_EQ(f.FName->text(), QString::fromStdString(Data().DocumentName()));
    EXPECT_FALSE(std::filesystem::exists(Path("doc.txt")));
}

TEST_F(FileCommandTest, SaveKeepsThePaddingOfTheDocumentRead) {
    std::vector<unsigned char> bytes = WriteState(Path("pad.ato"), SquareState());
    bytes[190] = 0xAB;
    bytes[6295] = 0xCD;
    bytes[6192 + 5] = 2;  // a presence byte of 2 is kept
    WriteBytes(Path("pad.ato"), std::string(bytes.begin(), bytes.end()));
    WriteStartFile(Path("pad.ato"));
    TMainForm& f = Start();
    dialogs.SaveAnswers.push_back(QPath("copy.ato"));
    f.SaveAs1Click();
    EXPECT_EQ(bytes, FileBytes(Path("copy.ato")));
}

TEST_F(FileCommandTest, SaveAsWritesRemembersAndRenamesOnlyAfterTheWrite) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    dialogs.SaveAnswers.push_back(QPath("missing/dir/x.ato"));
    f.SaveAs1->trigger();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());
    EXPECT_EQ(QPath("doc.ato"), f.FName->text());
    EXPECT_EQ(Path("doc.ato"), ReadStartFile());
    f.FormPaint();
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());

    dialogs.SaveAnswers.push_back(QPath("other.ato"));
    f.SaveAs1Click();
    EXPECT_EQ(Path("other.ato"), Data().DocumentName());
    EXPECT_EQ(QPath("other.ato"), f.FName->text());
    EXPECT_EQ(Path("other.ato"), ReadStartFile());
    EXPECT_EQ(Packed(Data().Document(), State()), FileBytes(Path("other.ato")));
    EXPECT_FALSE(std::filesystem::exists(Path("other.txt")));

    // The commentary then goes next to the new name; the old one stays.
    WriteBytes(Path("doc.txt"), "old");
    f.Comment->setPlainText(QStringLiteral("line 1\nline 2"));
    dialogs.ConfirmAnswers.push_back(true);
    f.CommentExit();
    EXPECT_EQ(std::vector<unsigned char>({'l', 'i', 'n', 'e', ' ', '1', '\r', '\n', 'l', 'i', 'n', 'e', ' ', '2'}),
              FileBytes(Path("other.txt")));
    EXPECT_EQ(std::vector<unsigned char>({'o', 'l', 'd'}), FileBytes(Path("doc.txt")));
}

TEST_F(FileCommandTest, PaintLeavesTheDocumentNameAlone) {
    WriteStartFile("");
    TMainForm& f = Start();
    // Taons with an empty start file: the easy square under a title.
    f.Daons1Click();
    EXPECT_EQ(QStringLiteral("This is a stabil structur of taons"), f.FName->text());
    EXPECT_EQ("", Data().LastDocumentName());
    f.FormPaint();
    EXPECT_EQ("This is a stabil structur of taons", Data().DocumentName());
    // "Save" writes to the name the field shows.
    f.Save1Click();
    EXPECT_EQ(kDocumentSize, std::filesystem::file_size(Path("This is a stabil structur of taons")));
}

TEST_F(FileCommandTest, CommentaryQuestionOnLeavingTheMemo) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    ShowActive();
    f.PageControl->setCurrentIndex(1);
    // Start-up replaced "No Comment" by nothing (no commentary file): no change.
    EXPECT_FALSE(Data().CommentModified());
    f.Comment->setFocus();
    QTest::keyClicks(f.Comment, "x");
    EXPECT_TRUE(Data().CommentModified());
    dialogs.ConfirmAnswers.push_back(false);
    f.EditDT->setFocus();  // leaving the memo for another control
    ASSERT_EQ(1u, dialogs.Questions.size());
    EXPECT_EQ(QStringLiteral("The text was changed. Save now?"), dialogs.Questions[0]);
    EXPECT_FALSE(std::filesystem::exists(Path("doc.txt")));
    // Leaving again after the same edit asks nothing.
    f.Comment->setFocus();
    f.EditDT->setFocus();
    EXPECT_EQ(1u, dialogs.Questions.size());
    // A new edit and "Yes" writes the file.
    f.Comment->setFocus();
    QTest::keyClicks(f.Comment, "y");
    dialogs.ConfirmAnswers.push_back(true);
    f.EditA1->setFocus();
    EXPECT_EQ(2u, dialogs.Questions.size());
    EXPECT_TRUE(std::filesystem::exists(Path("doc.txt")));
}

TEST_F(FileCommandTest, CommentaryKeepsItsBytes) {
    WriteState(Path("doc.ato"), SquareState());
    // Latin-1 bytes and a lone line feed.
    WriteBytes(Path("doc.txt"), "caf\xE9\nend");
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    EXPECT_EQ(QString::fromUtf8("caf\u00E9\nend"), f.Comment->toPlainText());
    EXPECT_EQ(std::string("caf\xE9\r\nend"), f.CommentText());
    // Text beyond 8 bits is written as UTF-8 rather than lost.
    f.Comment->setPlainText(QString::fromUtf8("\u0442\u0430\u043e\u043d"));
    EXPECT_EQ(std::string("\xD1\x82\xD0\xB0\xD0\xBE\xD0\xBD"), f.CommentText());
    f.SetCommentText(f.CommentText());
    EXPECT_EQ(QString::fromUtf8("\u0442\u0430\u043e\u043d"), f.Comment->toPlainText());
}

TEST_F(FileCommandTest, NewWithOkLeavesTheSpiralAndCancelDoesNothing) {
    TMainForm& f = Start();
    dialogs.ModalActions.push_back([](QDialog&) { return int(QDialog::Rejected); });
    f.New1->trigger();
    EXPECT_TRUE(State().SpiralMode);
    EXPECT_FALSE(f.Go->isEnabled());

    State().StepCount = 9;
    const QString memo = f.Comment->toPlainText();
    dialogs.ModalActions.push_back([](QDialog&) { return int(QDialog::Accepted); });
    f.New1Click();
    EXPECT_FALSE(State().SpiralMode);
    EXPECT_TRUE(f.Go->isEnabled());
    EXPECT_TRUE(f.Null00->isEnabled());
    EXPECT_EQ(QStringLiteral("ThetraSpiral"), f.FName->text());
    EXPECT_EQ(0, State().StepCount);
    EXPECT_EQ(QStringLiteral("0"), f.LTime->text());
    EXPECT_EQ(memo, f.Comment->toPlainText());
}

TEST_F(FileCommandTest, TaonsAndSpiralCommands) {
    TMainForm& f = Start();
    std::filesystem::remove(StartFile());
    f.Daons1Click();
    ASSERT_EQ(1u, dialogs.Informations.size());
    EXPECT_EQ(QStringLiteral("The start File not found."), dialogs.Informations[0]);
    EXPECT_FALSE(State().SpiralMode);
    EXPECT_TRUE(f.Go->isEnabled());

    WriteState(Path("doc.ato"), SquareState(0.04L));
    WriteStartFile(Path("doc.ato"));
    f.Daons1->trigger();
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());
    EXPECT_EQ(QPath("doc.ato"), f.FName->text());
    EXPECT_TRUE(SameBits(0.04L, State().DT));
    EXPECT_EQ(QStringLiteral("0,04"), f.EditDT->text());  // the field shows the step in force
    EXPECT_EQ(QStringLiteral("0,212"), f.Listing->Cell(1, 1));

    f.Spiral1->trigger();
    EXPECT_TRUE(State().SpiralMode);
    EXPECT_FALSE(f.Go->isEnabled());
    EXPECT_FALSE(f.Null00->isEnabled());
    EXPECT_EQ(QPath("doc.ato"), f.FName->text());
    EXPECT_EQ(1.0L, State().ViewX[2]);  // the spiral's P2
}

TEST_F(FileCommandTest, HelpItems) {
    TMainForm& f = Start();
    f.HelpFolder = QString::fromStdString(dir_);
    f.EnglishHelp1->trigger();
    EXPECT_TRUE(dialogs.Informations.empty());
    EXPECT_TRUE(dialogs.HelpOpened.empty());

    f.RussianHelp1->trigger();
    ASSERT_EQ(1u, dialogs.Informations.size());
    EXPECT_TRUE(dialogs.Informations[0].contains(QStringLiteral("HlpArtRu.hlp"))) << dialogs.Informations[0].toStdString();
    EXPECT_TRUE(dialogs.HelpOpened.empty());

    WriteBytes(Path("HlpArtPl.hlp"), "help");
    f.PolandHelp1->trigger();
    EXPECT_EQ(QStringLiteral("HlpArtPl.hlp"), f.HelpFile);
    ASSERT_EQ(1u, dialogs.HelpOpened.size());
    EXPECT_EQ(QPath("HlpArtPl.hlp"), dialogs.HelpOpened[0]);

    dialogs.HelpOpens = false;
    f.PolandHelp1Click();
    ASSERT_EQ(2u, dialogs.Informations.size());
    EXPECT_TRUE(dialogs.Informations[1].contains(QStringLiteral("HlpArtPl.hlp")));

    dialogs.ModalActions.push_back([](QDialog& d) {
        EXPECT_EQ(QStringLiteral("About"), d.windowTitle());
        return int(QDialog::Accepted);
    });
    f.About1->trigger();
}

TEST_F(FileCommandTest, EveryDocumentWriteAsksBeforeReplacingAFileThatIsNoDocument) {
    TMainForm& f = StartWith(SquareState());
    const std::string readme(11372, 'r');
    const QString question = QStringLiteral("'README.md' is 11,372 bytes long and is not a Sphaeron document. Replace it?");
    const std::string target = Path("README.md");
    struct Case {
        const char* name;
        std::function<void()> command;
    };
    const Case cases[] = {
        {"Save", [&] { SessionTestAccess::DocumentName(Data()) = target; f.Save1->trigger(); }},
        {"Save As", [&] { dialogs.SaveAnswers.push_back(QPath("README.md")); f.SaveAs1->trigger(); }},
        {"velocity reset", [&] { dialogs.SaveAnswers.push_back(QPath("README.md")); f.Null00->click(); }},
        {"dialog Save As", [&] {
             RunNew([&](TEditDlg& d) {
                 dialogs.SaveAnswers.push_back(QPath("README.md"));
                 d.Saveas->click();
             });
         }},
        {"dialog OK", [&] {
             RunNew([&](TEditDlg& d) {
                 dialogs.SaveAnswers.push_back(QPath("README.md"));
                 d.OKBtn->click();
             });
         }},
    };
    for (const Case& c : cases)
        for (const bool yes : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (yes ? " Yes" : " No"));
            WriteBytes(target, readme);
            SessionTestAccess::DocumentName(Data()) = SessionTestAccess::LastDocumentName(Data()) = Path("doc.ato");
            const std::string start = ReadStartFile();
            dialogs.Questions.clear();
            dialogs.ConfirmAnswers.push_back(yes);
            c.command();
            EXPECT_EQ(std::vector<QString>{question}, dialogs.Questions);
            EXPECT_TRUE(dialogs.Failures.empty());
            const std::vector<unsigned char> bytes = FileBytes(target);
            EXPECT_EQ(yes ? kDocumentSize : readme.size(), bytes.size());
            if (!yes) {
                EXPECT_EQ(std::string(c.name) == "Save" ? target : Path("doc.ato"), Data().DocumentName());
                EXPECT_EQ(start, ReadStartFile());
            }
        }
    // A document-sized file is replaced without a question.
    dialogs.SaveAnswers.push_back(QPath("README.md"));
    f.SaveAs1->trigger();
    EXPECT_EQ(kDocumentSize, FileBytes(target).size());
}

TEST_F(FileCommandTest, KeysWorkAgainAfterAFileCommandsMessageBox) {
    // The desktop's boxes, with the file dialog and the edit dialog scripted.
    struct DesktopBoxes : QtDialogs {
        std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&) override { return name; }
        int ExecModal(QDialog&) override {
            ++modal;
            return QDialog::Rejected;
        }
        QString name;
        int modal = 0;
    } desktop;
    TMainForm& f = Start(desktop);
    ShowActive();
    desktop.name = QPath("missing.ato");
    QWidget* boxParent = nullptr;
    QString boxText;
    QTimer::singleShot(0, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            boxParent = box->parentWidget();
            if (auto* message = qobject_cast<QMessageBox*>(box)) boxText = message->text();
            box->close();
        }
    });
    QTest::keyClick(&f, Qt::Key_F3);
    EXPECT_EQ(QStringLiteral("File not found"), boxText);
    EXPECT_EQ(&f, boxParent);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &f; }, 1000));
    ASSERT_NE(nullptr, QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    EXPECT_EQ(1, desktop.modal);
    program_.reset();  // before the dialogs it was made with
}

}  // namespace
}  // namespace sphaeron::forms::testing

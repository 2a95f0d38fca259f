// Run archives in the window: Save Run As writes the timeline as an archive
// that replays exactly, opening it shows its states through the timeline
// keys, Go continues it bit for bit, and Save never writes a document over
// it.
#include <QMenu>
#include <QTest>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "common/run_archive.h"
#include "forms_test_support.h"
#include "sphaeron/document/document.h"
#include "sphaeron/session/run_archive.h"
#include "sphaeron/session/run_autosave.h"
#include "tests/support/taon_helpers.h"

namespace sphaeron::forms::testing {
namespace {

using Record = std::vector<unsigned char>;

class RunArchiveTest : public FormsTest {
protected:
    // The record Save would write now.
    Record Now() {
        TaonsDocument r = Data().Document();
        PackDocument(State(), r);
        return {r.bytes.begin(), r.bytes.end()};
    }
    void Key(Qt::Key key) {
        Form().setFocus();
        QTest::keyClick(&Form(), key, Qt::AltModifier);
    }
    void RunTo(int last) {
        AtPass(Form(), last, [&] { Form().GoClick(); });
        Form().GoClick();
        ASSERT_EQ(last, State().StepCount);
    }
    void SaveRun(const std::string& name) {
        dialogs.SaveAnswers.push_back(QPath(name));
        Form().SaveRunAs1->trigger();
    }
};

TEST_F(RunArchiveTest, SavedRunOpensShowsItsStatesAndContinuesExactly) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    ShowActive();

    // Four steps in mode 0, then the time step and the switches change
    // between two runs: the archive needs a frame for that change.
    std::map<int, Record> seen;
    seen[0] = Now();
    RunTo(4);
    f.EditDT->setText(QStringLiteral("0,02"));
    f.EditDTExit();
    f.RB1->setChecked(true);
    f.Cool->setChecked(true);
    RunTo(8);
    const common::Timeline& t = Data().Timeline();
    for (std::size_t i = 0; i < t.Count(); ++i)
        seen[static_cast<int>(t.StepAt(i))] = Record(t.StateAt(i), t.StateAt(i) + kDocumentSize);
    ASSERT_EQ(9u, seen.size());

    SaveRun("run.atorun");
    ASSERT_TRUE(dialogs.Failures.empty()) << dialogs.Failures.front().toStdString();
    {
        const common::RunArchive archive(Path("run.atorun"), kTaonRunKind);
        EXPECT_EQ(8, archive.StepOf(archive.Count() - 1));
        const common::RunVerifyResult v = common::VerifyRun(archive, TaonReplay());
        EXPECT_TRUE(v.ok) << v.text;
    }
    const Record archived = FileBytes(Path("run.atorun"));

    // The uninterrupted run to step 12.
    RunTo(12);
    const Record uninterrupted = Now();

    // Opening the run with other switches in the window: the archive's last
    // state with its own switches.
    f.RB2->setChecked(true);
    f.Cool->setChecked(false);
    dialogs.OpenAnswers.push_back(QPath("run.atorun"));
    f.Open1->trigger();
    ASSERT_TRUE(dialogs.Failures.empty()) << dialogs.Failures.front().toStdString();
    EXPECT_EQ(8, State().StepCount);
    EXPECT_EQ(QStringLiteral("8"), f.LTime->text());
    EXPECT_TRUE(f.RB1->isChecked());
    EXPECT_TRUE(f.Cool->isChecked());
    EXPECT_EQ(Path("run.ato"), Data().DocumentName());
    EXPECT_EQ(seen[8], Now());

    // The keys move through the frames, each state exactly as it was run.
    const struct {
        Qt::Key key;
        int step;
    } moves[] = {{Qt::Key_Home, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_End, 8}, {Qt::Key_Left, 7},
                 {Qt::Key_Left, 6}, {Qt::Key_Left, 5}, {Qt::Key_Left, 4}, {Qt::Key_Left, 3}, {Qt::Key_End, 8}};
    for (const auto& m : moves) {
        Key(m.key);
        ASSERT_EQ(m.step, State().StepCount) << m.key;
        EXPECT_EQ(seen[m.step], Now()) << m.step;
    }

    // Go continues the run bit for bit.
    RunTo(12);
    EXPECT_EQ(uninterrupted, Now());

    // Save asks for a document name; the archive stays as it was.
    dialogs.SaveAnswers.push_back(QPath("saved.ato"));
    QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.SaveAnswers.empty());
    EXPECT_EQ(uninterrupted, FileBytes(Path("saved.ato")));
    EXPECT_EQ(archived, FileBytes(Path("run.atorun")));
    EXPECT_FALSE(Data().NameFromRun());
}

TEST_F(RunArchiveTest, SparseArchiveFromTheCommandLineContinuesExactly) {
    // A headless run of 25 steps with a frame every 10, and the same run
    // on to step 30.
    WriteState(Path("doc.ato"), SquareState());
    std::vector<Record> direct{{}};  // the state after step i at i
    TaonsDocument record;
    auto s = std::make_unique<TaonState>();
    LoadDocument(Path("doc.ato"), record, *s);
    {
        RunArchiveRecorder recorder(common::RunArchiveWriter::Create(Path("sparse.atorun"), kTaonRunKind), 10);
        recorder.Start(0, record, RunSwitches{});
        for (int i = 1; i <= 25; ++i) {
            testsupport::StepOnce(*s);
            recorder.Record(i, *s, RunSwitches{});
            TaonsDocument at = record;
            PackDocument(*s, at);
            direct.emplace_back(at.bytes.begin(), at.bytes.end());
        }
        recorder.Finish();
    }
    for (int i = 26; i <= 30; ++i) testsupport::StepOnce(*s);
    PackDocument(*s, record);

    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    ShowActive();
    f.OpenDocument(Path("sparse.atorun"));  // as main() does with an argument
    ASSERT_TRUE(dialogs.Failures.empty()) << dialogs.Failures.front().toStdString();
    EXPECT_EQ(25, State().StepCount);
    const common::Timeline& t = Data().Timeline();
    ASSERT_EQ(4u, t.Count());
    EXPECT_EQ(10, t.StepAt(1));
    Key(Qt::Key_Home);
    EXPECT_EQ(0, State().StepCount);
    // One step at a time: the steps between the frames are recomputed
    // exactly, the frames themselves shown as held.
    for (int step : {1, 2, 3, 2, 1, 0}) {
        QTest::keyClick(&Form(), step > State().StepCount ? Qt::Key_Right : Qt::Key_Left,
                        Qt::AltModifier | Qt::ShiftModifier);
        ASSERT_EQ(step, State().StepCount);
        if (step > 0) {
            ASSERT_EQ(direct[step], Now()) << "step " << step;
        }
    }
    Key(Qt::Key_End);
    EXPECT_EQ(25, State().StepCount);
    QTest::keyClick(&Form(), Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(24, State().StepCount);
    EXPECT_EQ(direct[24], Now());
    Key(Qt::Key_Right);
    EXPECT_EQ(25, State().StepCount);
    RunTo(30);
    EXPECT_EQ(Record(record.bytes.begin(), record.bytes.end()), Now());
}

TEST_F(RunArchiveTest, FilesThatAreNoArchiveAreAskedAboutOrRefused) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    RunTo(2);
    const std::string notes = "12345 not an archive";

    // Save Run As over a file that is no archive: No keeps it, Yes replaces it.
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        WriteBytes(Path("notes.atorun"), notes);
        dialogs.ConfirmAnswers.push_back(yes);
        SaveRun("notes.atorun");
        ASSERT_EQ(1u, dialogs.Questions.size());
        EXPECT_EQ(QStringLiteral("'notes.atorun' is 20 bytes long and is not a Sphaeron run archive. Replace it?"),
                  dialogs.Questions.back());
        dialogs.Questions.clear();
        EXPECT_EQ(yes, common::LooksLikeRunArchive(Path("notes.atorun")));
        if (!yes) {
            EXPECT_EQ(Record(notes.begin(), notes.end()), FileBytes(Path("notes.atorun")));
        }
    }
    EXPECT_TRUE(dialogs.Failures.empty());

    // Opening one: the reason, and nothing changes.
    WriteBytes(Path("notes.atorun"), notes);
    const WindowLook before = LookOf(f);
    dialogs.OpenAnswers.push_back(QPath("notes.atorun"));
    f.Open1->trigger();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_TRUE(dialogs.Failures[0].contains(QStringLiteral("is not a run archive")))
        << dialogs.Failures[0].toStdString();
    EXPECT_EQ("", before.Difference(LookOf(f)));
}

// The id of a process that has ended.
long GoneProcess() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

TEST_F(RunArchiveTest, RunsAreAutosavedAndOfferedAfterAnUncleanEnd) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    const std::string folder = Path("state/Sphaeron/runs");
    EXPECT_EQ(folder, f.Autosave().Folder());
    RunTo(6);
    const Record last = Now();

    // The run's archive replays exactly and is listed in Recent Runs.
    const std::vector<std::string> runs = RecentRuns(folder);
    ASSERT_EQ(1u, runs.size());
    {
        const common::RunArchive archive(runs[0], kTaonRunKind);
        EXPECT_EQ(0, archive.StepOf(0));
        EXPECT_EQ(6, archive.StepOf(archive.Count() - 1));
        const common::RunVerifyResult v = common::VerifyRun(archive, TaonReplay());
        EXPECT_TRUE(v.ok) << v.text;
    }
    f.RecentRuns1Show();
    ASSERT_EQ(1, f.RecentRuns1->actions().size());
    EXPECT_EQ(QString::fromStdString(std::filesystem::path(runs[0]).filename().string()),
              f.RecentRuns1->actions()[0]->text());

    // The program's marker, as a program that was killed leaves it.
    const std::string marker = folder + "/session-" + std::to_string(getpid()) + ".marker";
    ASSERT_TRUE(std::filesystem::exists(marker));
    const std::string gone = folder + "/session-" + std::to_string(GoneProcess()) + ".marker";
    std::filesystem::copy_file(marker, gone);
    const std::string kept = gone + ".kept";
    std::filesystem::copy_file(marker, kept);

    // A clean end removes the marker; its own start asks nothing of it.
    program_.reset();
    EXPECT_FALSE(std::filesystem::exists(marker));

    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        std::filesystem::copy_file(kept, gone, std::filesystem::copy_options::overwrite_existing);
        TMainForm& g = Start();
        const std::string before = StateImage(State());
        dialogs.ConfirmAnswers.push_back(yes);
        g.RecoverRun();
        ASSERT_EQ(1u, dialogs.Questions.size());
        EXPECT_EQ(QStringLiteral("Restore the run of doc.ato, recorded up to step 6?"), dialogs.Questions[0]);
        dialogs.Questions.clear();
        EXPECT_FALSE(std::filesystem::exists(gone));
        EXPECT_EQ(runs, RecentRuns(folder));  // No keeps it
        if (yes) {
            EXPECT_EQ(6, State().StepCount);
            EXPECT_EQ(last, Now());
            EXPECT_EQ(Path("doc.ato"), Data().DocumentName());
            EXPECT_FALSE(Data().NameFromRun());
            EXPECT_EQ(6, Data().Timeline().StepAt(Data().Timeline().Count() - 1));
        } else {
            EXPECT_EQ(before, StateImage(State()));
        }
        // Asked once only.
        g.RecoverRun();
        EXPECT_TRUE(dialogs.Questions.empty());
        program_.reset();
    }
}

}  // namespace
}  // namespace sphaeron::forms::testing

// Run archives in the window: Save Run As writes the timeline as an archive
// that replays exactly, opening it shows its states through the timeline
// keys and Go continues it bit for bit; every run is autosaved and offered
// again after an unclean end.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "common/run_archive.h"
#include "duoplex/core/run_archive.h"
#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using testing::Bytes;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

// The F_PE configuration in motion, as a document.
std::string MovingDocument() {
    GravRecord r;
    const StartConfiguration c = *RefreshConfiguration(FunctionChoice::F_PE, false);
    for (int k = 1; k <= kGravons; ++k) {
        const auto& g = c.g[k - 1];
        r.A[k] = g.A, r.B[k] = g.B, r.C[k] = g.C, r.D[k] = g.D, r.X[k] = g.X, r.Y[k] = g.Y;
        r.SpeedX[k] = 0.25L * k, r.SpeedY[k] = -0.125L;
    }
    r.DT = c.DT;
    r.Unused = {1, 2, 3, 4, 5, 6};
    return Bytes(EncodeGravRecord(r));
}

class DuoplexRuns : public ::testing::Test {
protected:
    DuoplexRuns() {
        WriteBytes(doc, MovingDocument());
        // This test's own runs folder.
        const char* state = std::getenv("XDG_STATE_HOME");
        oldState_ = state ? state : "";
        ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    }
    ~DuoplexRuns() override {
        form.reset();
        ::setenv("XDG_STATE_HOME", oldState_.c_str(), 1);
    }

    TMainForm& Start() {
        form = std::make_unique<TMainForm>(dialogs);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }
    int Step() const { return form->Session.State().StepCount; }
    std::string Now() const { return Bytes(RecordedState(form->Session.State())); }
    void RunTo(int last) {
        QTimer stopper;
        stopper.setInterval(0);
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            if (Step() < last) return;
            stopper.stop();
            form->GoClick();
        });
        stopper.start();
        form->GoClick();
        ASSERT_EQ(last, Step());
    }
    void Key(Qt::Key k) {
        form->setFocus();
        QTest::keyClick(form.get(), k, Qt::AltModifier);
    }

    ScratchDir dir;
    const std::string doc = dir.File("doc.grav");
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;

private:
    std::string oldState_;
};

TEST_F(DuoplexRuns, SavedRunOpensShowsItsStatesAndContinuesExactly) {
    TMainForm& f = Start();
    f.OpenDocument(QString::fromStdString(doc));
    // Four steps, then the time step, the function and the brake change
    // between two runs: the archive needs frames for those changes.
    RunTo(4);
    f.EditDifferent->setText(QString::fromStdString(std::string("0") + f.Separator() + "02"));
    f.NewDiffClick();
    f.F_PES->setChecked(true);
    f.Brake3->setChecked(true);
    RunTo(8);
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    std::map<int, std::string> seen;  // a state taken up again stands for its step
    const common::Timeline& t = f.Session.Timeline();
    for (std::size_t i = 0; i < t.Count(); ++i)
        seen[static_cast<int>(t.StepAt(i))] = std::string(t.StateAt(i), t.StateAt(i) + kGravRecordSize);
    ASSERT_EQ(9u, seen.size());

    const std::string run = dir.File("run.gravrun");
    dialogs.save.push_back(QString::fromStdString(run));
    f.SaveRunAs1->trigger();
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    {
        const common::RunArchive archive(run, kPlanarRunKind);
        EXPECT_EQ(8, archive.StepOf(archive.Count() - 1));
        const common::RunVerifyResult v = common::VerifyRun(archive, PlanarReplay());
        EXPECT_TRUE(v.ok) << v.text;
    }
    const std::string archived = ReadBytes(run);

    // The uninterrupted run to step 12.
    RunTo(12);
    const std::string uninterrupted = Now();

    // Opened with other settings in the window: the archive's last state
    // with its own settings, named as a document beside the archive.
    f.F_PE->setChecked(true);
    f.Brake1->setChecked(true);
    dialogs.open.push_back(QString::fromStdString(run));
    f.Open1Click();
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_EQ(8, Step());
    EXPECT_EQ(QStringLiteral("8"), f.LTime->text());
    EXPECT_TRUE(f.F_PES->isChecked());
    EXPECT_TRUE(f.Brake3->isChecked());
    EXPECT_EQ(dir.File("run.grav"), f.Session.DocumentName);
    EXPECT_EQ(seen[8], Now());

    // The keys move through the states, each exactly as it was run.
    const struct {
        Qt::Key key;
        int step;
    } moves[] = {{Qt::Key_Home, 0}, {Qt::Key_Right, 1}, {Qt::Key_End, 8}, {Qt::Key_Left, 7},
                 {Qt::Key_Left, 6}, {Qt::Key_Left, 5}, {Qt::Key_Left, 4}, {Qt::Key_End, 8}};
    for (const auto& m : moves) {
        Key(m.key);
        ASSERT_EQ(m.step, Step()) << m.key;
        EXPECT_EQ(seen[m.step], Now()) << m.step;
    }

    // Go continues the run bit for bit; the archive stays as it was.
    RunTo(12);
    EXPECT_EQ(uninterrupted, Now());
    EXPECT_EQ(archived, ReadBytes(run));

    // Save Run As over a file that is no archive: No keeps it, Yes replaces it.
    const std::string notes = dir.File("notes.gravrun");
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        WriteBytes(notes, "12345 not an archive");
        dialogs.questions.clear();
        dialogs.confirm.push_back(yes);
        dialogs.save.push_back(QString::fromStdString(notes));
        f.SaveRunAs1->trigger();
        ASSERT_EQ(1u, dialogs.questions.size());
        EXPECT_EQ("'notes.gravrun' is 20 bytes long and is not a Duoplex run archive. Replace it?",
                  dialogs.questions[0]);
        EXPECT_EQ(yes, common::LooksLikeRunArchive(notes));
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

// The id of a process that has ended.
long GoneProcess() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

TEST_F(DuoplexRuns, RunsAreAutosavedAndOfferedAfterAnUncleanEnd) {
    TMainForm& f = Start();
    const std::string folder = dir.File("state/Duoplex/runs");
    EXPECT_EQ(folder, f.Autosave().Folder());
    f.OpenDocument(QString::fromStdString(doc));
    RunTo(6);
    const std::string last = Now();

    // The run's archive replays exactly and is listed in Recent Runs.
    const std::vector<std::string> runs = RecentRuns(folder);
    ASSERT_EQ(1u, runs.size());
    {
        const common::RunArchive archive(runs[0], kPlanarRunKind);
        EXPECT_EQ(0, archive.StepOf(0));
        EXPECT_EQ(6, archive.StepOf(archive.Count() - 1));
        const common::RunVerifyResult v = common::VerifyRun(archive, PlanarReplay());
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
    const std::string kept = dir.File("kept.marker");
    std::filesystem::copy_file(marker, kept);

    // A clean end removes the marker.
    form.reset();
    EXPECT_FALSE(std::filesystem::exists(marker));

    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        std::filesystem::copy_file(kept, gone, std::filesystem::copy_options::overwrite_existing);
        TMainForm& g = Start();
        const std::string before = testing::StateImage(g.Session.State());
        dialogs.questions.clear();
        dialogs.confirm.push_back(yes);
        g.RecoverRun();
        ASSERT_EQ(1u, dialogs.questions.size());
        EXPECT_EQ("Restore the run of doc.grav, recorded up to step 6?", dialogs.questions[0]);
        EXPECT_FALSE(std::filesystem::exists(gone));
        EXPECT_EQ(runs, RecentRuns(folder));  // No keeps it
        if (yes) {
            EXPECT_EQ(6, Step());
            EXPECT_EQ(last, Now());
            EXPECT_EQ(doc, g.Session.DocumentName);
            EXPECT_EQ(6, g.Session.Timeline().StepAt(g.Session.Timeline().Count() - 1));
        } else {
            EXPECT_EQ(before, testing::StateImage(g.Session.State()));
        }
        // Asked once only.
        g.RecoverRun();
        EXPECT_EQ(1u, dialogs.questions.size());
        form.reset();
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace duoplex::forms

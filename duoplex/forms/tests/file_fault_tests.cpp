// File faults through the window with scripted dialogs: a full disk, a
// read-only folder or file, a missing folder, too long a name; reading a
// folder, an empty or a short file. Each shows its exact text and changes
// nothing: the previous file, the state, the edits and the picture stay as
// they were, and the window goes on working.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QLocale>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/small_fs.h"
#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using testing::Bytes;
using testing::Listing;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::StateImage;
using testing::WriteBytes;

class DuoplexFileFaults : public ::testing::Test {
protected:
    DuoplexFileFaults() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        form = std::make_unique<TMainForm>(dialogs);
        // A state of its own: typed gravons, a step count, a picture.
        form->GravoNew->setChecked(true);
        form->Edit(Field::SpeedY, 1)->setText("0,25");
        form->Edit(Field::X, 2)->setText("1,75");
        form->RefreshClick();
        form->Session.SetSteps(12);
        form->Edit(Field::A, 3)->setText("typed, not read");
    }
    ~DuoplexFileFaults() override { QLocale::setDefault(QLocale::c()); }

    // What a failed command must leave as it was.
    struct Look {
        std::string state;
        QStringList texts;
        QImage picture;
        bool operator==(const Look& o) const {
            return state == o.state && texts == o.texts && picture == o.picture;
        }
    };
    Look Now() const {
        Look l{StateImage(form->Session.State()), {form->EditDifferent->text(), form->LTime->text()}, form->Picture()};
        for (Field f : kAllFields)
            for (int k = 1; k <= kGravons; ++k) l.texts << form->Edit(f, k)->text();
        return l;
    }

    // Saves or opens the name and returns the messages shown.
    std::vector<std::string> Save(const std::string& path) {
        dialogs.messages.clear();
        dialogs.save.push_back(QString::fromStdString(path));
        form->Save1Click();
        return dialogs.messages;
    }
    std::vector<std::string> Open(const std::string& path) {
        dialogs.messages.clear();
        dialogs.open.push_back(QString::fromStdString(path));
        form->Open1Click();
        return dialogs.messages;
    }
    using Texts = std::vector<std::string>;

    // Still usable: a save writes the snapshot, opening it loads it.
    void ExpectUsable(const ScratchDir& dir) {
        std::string path = dir.File("usable.grav");
        EXPECT_EQ(Save(path), Texts{});
        EXPECT_EQ(ReadBytes(path), Bytes(form->Session.State().Snapshot));
        EXPECT_EQ(Open(path), Texts{});
        EXPECT_EQ(form->Session.State().X[2], 1.75L);
        EXPECT_EQ(form->Edit(Field::A, 3)->text(), "0");
        std::filesystem::remove(path);
    }

    testing::ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

TEST_F(DuoplexFileFaults, FailedSavesKeepThePreviousFileAndTheWindow) {
    ScratchDir dir;
    const std::string previous(256, '\x5a');
    std::string lockedFile = dir.File("locked.grav");
    WriteBytes(lockedFile, previous);
    testing::MakeReadOnly(lockedFile);
    std::string lockedFolder = dir.File("locked");
    std::filesystem::create_directory(lockedFolder);
    WriteBytes(lockedFolder + "/doc.grav", previous);
    ::chmod(lockedFolder.c_str(), 0555);
    std::filesystem::create_directory(dir.File("folder.grav"));

    struct Case {
        std::string path, text;
    };
    const Case cases[] = {
        {lockedFile, "File access denied"},
        {lockedFolder + "/doc.grav", "File access denied"},
        {lockedFolder + "/new.grav", "File access denied"},
        {dir.File("missing/doc.grav"), "File not found"},
        {dir.File(std::string(300, 'n') + ".grav"), "Invalid filename"},
        {dir.File(std::string(4200, 'p')), "Invalid filename"},
        {dir.File("folder.grav"), "File access denied"},
    };
    const auto files = Listing(dir.File(""));
    for (const Case& c : cases) {
        Look before = Now();
        EXPECT_EQ(Save(c.path), Texts{c.text}) << c.path.substr(0, 80);
        EXPECT_TRUE(Now() == before) << c.path.substr(0, 80);
        EXPECT_EQ(Listing(dir.File("")), files) << c.path.substr(0, 80);  // no temporary file left
    }
    EXPECT_EQ(ReadBytes(lockedFile), previous);
    ExpectUsable(dir);
    ::chmod(lockedFolder.c_str(), 0755);
}

TEST_F(DuoplexFileFaults, FailedOpensChangeNothing) {
    ScratchDir dir;
    WriteBytes(dir.File("empty.grav"), "");
    WriteBytes(dir.File("short.grav"), std::string(255, '\x3f'));
    std::filesystem::create_directory(dir.File("folder.grav"));
    struct Case {
        std::string path, text;
    };
    std::vector<Case> cases = {
        {dir.File("folder.grav"), "File access denied"},
        {dir.File("empty.grav"), "Read beyond end of file"},
        {dir.File("short.grav"), "Read beyond end of file"},
        {dir.File("missing.grav"), "File not found"},
        {dir.File("missing/doc.grav"), "File not found"},
        {dir.File(std::string(300, 'n') + ".grav"), "Invalid filename"},
    };
    if (::geteuid() != 0) {  // permission bits do not stop a superuser's reads
        WriteBytes(dir.File("secret.grav"), std::string(256, '\0'));
        ::chmod(dir.File("secret.grav").c_str(), 0);
        cases.push_back({dir.File("secret.grav"), "File access denied"});
    }
    for (const Case& c : cases) {
        Look before = Now();
        EXPECT_EQ(Open(c.path), Texts{c.text}) << c.path.substr(0, 80);
        EXPECT_TRUE(Now() == before) << c.path.substr(0, 80);
    }
    ExpectUsable(dir);
}

// The child process reports through its exit code: 0 when every check held,
// otherwise the number of the first one that failed.
int WaitForChild(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

TEST_F(DuoplexFileFaults, FullDiskKeepsThePreviousFile) {
    ScratchDir dir;
    std::string doc = dir.File("doc.grav");
    const std::string previous(256, '\x11');
    WriteBytes(doc, previous);
    const auto files = Listing(dir.File(""));
    // A file size limit stands in for a full disk.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {100, 100};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        Look before = Now();
        if (Save(doc) != Texts{"Disk full"}) ::_exit(1);
        if (!(Now() == before)) ::_exit(2);
        if (Save(dir.File("new.grav")) != Texts{"Disk full"}) ::_exit(3);
        ::_exit(0);
    }
    EXPECT_EQ(WaitForChild(pid), 0);
    EXPECT_EQ(ReadBytes(doc), previous);
    EXPECT_EQ(Listing(dir.File("")), files);
    ExpectUsable(dir);
}

// The same on a small memory file system that really fills up; skipped where
// such a mount is not allowed.
TEST_F(DuoplexFileFaults, FullFileSystemKeepsThePreviousFile) {
    ScratchDir dir;
    std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        testsupport::MountSmallFileSystemOrExit(mountPoint, "16k");
        std::string doc = mountPoint + "/doc.grav";
        if (Save(doc) != Texts{}) ::_exit(1);
        const std::string previous = ReadBytes(doc);
        if (previous != Bytes(form->Session.State().Snapshot)) ::_exit(2);
        // Fill what is left.
        {
            std::string filler = mountPoint + "/filler";
            FILE* f = std::fopen(filler.c_str(), "wb");
            if (!f) ::_exit(3);
            std::string block(512, 'f');
            while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
            }
            std::fclose(f);
        }
        // A new snapshot that cannot be written.
        form->F_PES->setChecked(true);
        form->RefreshClick();
        const auto files = Listing(mountPoint);
        Look before = Now();
        if (Save(doc) != Texts{"Disk full"}) ::_exit(4);
        if (ReadBytes(doc) != previous) ::_exit(5);
        if (!(Now() == before)) ::_exit(6);
        if (Listing(mountPoint) != files) ::_exit(7);
        // Room again: the same command succeeds.
        std::filesystem::remove(mountPoint + "/filler");
        if (Save(doc) != Texts{} || ReadBytes(doc) != Bytes(form->Session.State().Snapshot)) ::_exit(8);
        ::_exit(0);
    }
    int code = WaitForChild(pid);
    if (code == testsupport::kNoSmallFileSystem) GTEST_SKIP() << testsupport::SmallFileSystemSkipReason(mountPoint);
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace duoplex::forms

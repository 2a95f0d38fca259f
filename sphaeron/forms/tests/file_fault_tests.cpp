// File faults through the window with scripted dialogs: Save, Save As, the
// velocity reset's save and the edit dialog's Save As and OK writing to a
// full disk, into a read-only folder, over a read-only file, into a missing
// folder or under too long a name; Open reading a folder, an empty file or a
// file one byte short. Each shows its exact text and changes nothing: the
// previous file, the state, the names, the start file and the window stay
// as they were, no temporary file is left, and the window goes on working.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPushButton>
#include <cstdio>
#include <filesystem>

#include "tests/support/small_fs.h"
#include "forms_test_support.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/listing_model.h"

namespace sphaeron::forms::testing {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<QString>;

std::string Bytes(const std::vector<unsigned char>& b) { return std::string(b.begin(), b.end()); }

// The x coordinate of taon k as a document holds it.
long double StoredX(const std::string& path, int k) {
    TaonsDocument doc;
    TaonState s;
    LoadDocument(path, doc, s);
    return s.X[k];
}

// The commands that write a document to a name the user chooses.
enum class Writer { SaveAs, NullSave, DialogSaveAs, DialogOk };
const Writer kWriters[] = {Writer::SaveAs, Writer::NullSave, Writer::DialogSaveAs, Writer::DialogOk};
const char* Name(Writer w) {
    switch (w) {
        case Writer::SaveAs: return "Save As";
        case Writer::NullSave: return "velocity reset";
        case Writer::DialogSaveAs: return "dialog Save As";
        default: return "dialog OK";
    }
}

class FileFaultTest : public FormsTest {
protected:
    // A document of its own, open and drawn.
    TMainForm& StartWithDocument() {
        TaonState s = SquareState(0.02L);
        s.GravonPresent[60] = 1;  // a yellow one as well
        s.X[60] = s.NewX[60] = s.ViewX[60] = -0.5L;
        previous_ = Bytes(WriteState(Path("doc.ato"), s));
        WriteStartFile(Path("doc.ato"));
        TMainForm& f = Start();
        f.FormPaint();
        return f;
    }

    // Moves taon k to x as the edit dialog and OK would, and shows it.
    void Move(int k, long double x) {
        State().X[k] = State().NewX[k] = State().ViewX[k] = x;
        Form().FillListing();
        Form().FormPaint();
    }

    // Runs the command with the name as the save dialog's answer; returns
    // the messages it showed.
    Texts Write(Writer w, const std::string& path) {
        dialogs.Failures.clear();
        const QString name = QString::fromStdString(path);
        switch (w) {
            case Writer::SaveAs:
                dialogs.SaveAnswers.push_back(name);
                Form().SaveAs1->trigger();
                break;
            case Writer::NullSave:
                dialogs.SaveAnswers.push_back(name);
                Form().Null00->click();
                break;
            case Writer::DialogSaveAs:
                RunNew([&](TEditDlg& d) {
                    dialogs.SaveAnswers.push_back(name);
                    d.Saveas->click();
                    // The dialog stays open and shows the document name again.
                    if (!d.isVisible() || d.EditFileName->text() != QString::fromStdString(Data().DocumentName()))
                        dialogs.Failures.push_back(QStringLiteral("(the dialog does not look as before)"));
                });
                break;
            case Writer::DialogOk:
                if (RunNew([&](TEditDlg& d) {
                        dialogs.SaveAnswers.push_back(name);
                        d.OKBtn->click();
                    }) != QDialog::Accepted)
                    dialogs.Failures.push_back(QStringLiteral("(the dialog did not close with OK)"));
                break;
        }
        return dialogs.Failures;
    }
    Texts Save() {
        dialogs.Failures.clear();
        Form().Save1->trigger();
        return dialogs.Failures;
    }
    Texts Open(const std::string& path) {
        dialogs.Failures.clear();
        dialogs.OpenAnswers.push_back(QString::fromStdString(path));
        Form().Open1->trigger();
        return dialogs.Failures;
    }

    // What the window must look like after a failed command: as before,
    // with all velocities zero after the velocity reset.
    WindowLook Expected(const WindowLook& before, Writer w) {
        WindowLook expect = before;
        if (w == Writer::NullSave) {
            TaonState s = State();
            ZeroVelocities(s);
            expect.state = StateImage(s);
        }
        return expect;
    }

    // Still usable: Save As writes the state, Open reads it back, Save
    // writes it again.
    void ExpectUsable() {
        dialogs.Failures.clear();
        const std::string path = Path("usable.ato");
        TaonsDocument expected = Data().Document();
        PackDocument(State(), expected);
        dialogs.SaveAnswers.push_back(QPath("usable.ato"));
        Form().SaveAs1->trigger();
        EXPECT_EQ(Bytes({expected.bytes.begin(), expected.bytes.end()}), Bytes(FileBytes(path)));
        const std::string image = StateImage(State());
        Move(1, 99);
        EXPECT_EQ(Open(path), Texts{});
        EXPECT_TRUE(image == StateImage(State()));
        EXPECT_EQ(path, Data().DocumentName());
        EXPECT_EQ(QPath("usable.ato"), Form().FName->text());
        EXPECT_EQ(path, ReadStartFile());
        EXPECT_EQ(Save(), Texts{});
        EXPECT_EQ(Bytes({expected.bytes.begin(), expected.bytes.end()}), Bytes(FileBytes(path)));
        fs::remove(path);
    }

    std::string previous_;  // the bytes of doc.ato
};

TEST_F(FileFaultTest, WritesToBadPlacesKeepThePreviousFileAndTheWindow) {
    StartWithDocument();
    const std::string other(kDocumentSize, '\x5a');
    const std::string lockedFile = Path("locked.ato");
    WriteBytes(lockedFile, other);
    ::chmod(lockedFile.c_str(), 0444);
    const std::string lockedFolder = Path("locked");
    fs::create_directory(lockedFolder);
    WriteBytes(lockedFolder + "/doc.ato", other);
    ::chmod(lockedFolder.c_str(), 0555);
    fs::create_directory(Path("folder.ato"));

    struct Case {
        std::string path, text;
    };
    const Case cases[] = {
        {lockedFile, "File access denied"},
        {lockedFolder + "/doc.ato", "File access denied"},
        {lockedFolder + "/new.ato", "File access denied"},
        {Path("missing/doc.ato"), "File not found"},
        {Path(std::string(300, 'n') + ".ato"), "Invalid filename"},
        {Path(std::string(4200, 'p')), "Invalid filename"},
        {Path("folder.ato"), "File access denied"},
    };
    const auto files = FolderListing(dir_);
    for (Writer w : kWriters)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(Name(w)) + " to " + c.path.substr(dir_.size(), 60));
            const WindowLook before = LookOf(Form());
            EXPECT_EQ(Write(w, c.path), Texts{QString::fromStdString(c.text)});
            const WindowLook after = LookOf(Form());
            EXPECT_TRUE(after == Expected(before, w)) << after.Difference(Expected(before, w));
            EXPECT_EQ(FolderListing(dir_), files);  // no file changed, no temporary file left
        }
    EXPECT_EQ(other, Bytes(FileBytes(lockedFile)));
    EXPECT_EQ(previous_, Bytes(FileBytes(Path("doc.ato"))));
    ExpectUsable();
    ::chmod(lockedFolder.c_str(), 0755);
}

TEST_F(FileFaultTest, SaveToADocumentThatCannotBeWrittenAnyMore) {
    // Opened from a folder, then the document or its folder changes under
    // the window.
    fs::create_directory(Path("sub"));
    const std::string doc = Path("sub/doc.ato");
    const std::string bytes = Bytes(WriteState(doc, SquareState(0.03L)));
    StartWithDocument();
    ASSERT_EQ(Open(doc), Texts{});
    Move(1, 0.5L);  // something to save

    struct Case {
        std::function<void()> spoil, mend;
        const char* text;
    };
    const Case cases[] = {
        {[&] { ::chmod(doc.c_str(), 0444); }, [&] { ::chmod(doc.c_str(), 0644); }, "File access denied"},
        {[&] { ::chmod(Path("sub").c_str(), 0555); }, [&] { ::chmod(Path("sub").c_str(), 0755); },
         "File access denied"},
        {[&] { fs::rename(Path("sub"), Path("gone")); }, [&] { fs::rename(Path("gone"), Path("sub")); },
         "File not found"},
        {[&] {
             fs::rename(doc, Path("doc.keep"));
             fs::create_directory(doc);
         },
         [&] {
             fs::remove(doc);
             fs::rename(Path("doc.keep"), doc);
         },
         "File access denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        c.spoil();
        const auto files = FolderListing(dir_);
        const WindowLook before = LookOf(Form());
        EXPECT_EQ(Save(), Texts{QString::fromLatin1(c.text)});
        const WindowLook after = LookOf(Form());
        EXPECT_TRUE(after == before) << after.Difference(before);
        EXPECT_EQ(FolderListing(dir_), files);
        c.mend();
        EXPECT_EQ(bytes, Bytes(FileBytes(doc)));
    }
    // Mended, the same command writes.
    EXPECT_EQ(Save(), Texts{});
    EXPECT_EQ(0.5L, StoredX(doc, 1));
    ExpectUsable();
}

// Too long a name reaches Save through the start file: the remembered
// document cannot be opened, so the window shows the easy square under it.
TEST_F(FileFaultTest, SaveUnderARememberedNameTooLong) {
    const std::string name = Path(std::string(300, 'n') + ".ato");
    WriteStartFile(name);
    TMainForm& f = Start();
    ASSERT_TRUE(dialogs.Failures.empty());
    EXPECT_EQ(QStringLiteral("The easy square"), f.FName->text());
    const auto files = FolderListing(dir_);
    const WindowLook before = LookOf(f);
    EXPECT_EQ(Save(), Texts{QStringLiteral("Invalid filename")});
    EXPECT_TRUE(LookOf(f) == before) << LookOf(f).Difference(before);
    EXPECT_EQ(FolderListing(dir_), files);
    ExpectUsable();
}

TEST_F(FileFaultTest, FailedOpensChangeNothing) {
    WriteBytes(Path("empty.ato"), "");
    WriteBytes(Path("short.ato"), std::string(kDocumentSize - 1, '\x3f'));
    fs::create_directory(Path("folder.ato"));
    struct Case {
        std::string path, text;
    };
    std::vector<Case> cases = {
        {Path("folder.ato"), "File access denied"},
        {Path("empty.ato"), "Read beyond end of file"},
        {Path("short.ato"), "Read beyond end of file"},
        {Path("missing.ato"), "File not found"},
        {Path("missing/doc.ato"), "File not found"},
        {Path(std::string(300, 'n') + ".ato"), "Invalid filename"},
    };
    if (::geteuid() != 0) {  // permission bits do not stop a superuser's reads
        WriteState(Path("secret.ato"), SquareState());
        ::chmod(Path("secret.ato").c_str(), 0);
        cases.push_back({Path("secret.ato"), "File access denied"});
    }
    // From the spiral (nothing open yet) and with a document open.
    for (bool spiral : {true, false}) {
        if (spiral)
            Start();
        else
            StartWithDocument();
        for (const Case& c : cases) {
            SCOPED_TRACE((spiral ? "spiral, " : "document, ") + c.path.substr(dir_.size()));
            const WindowLook before = LookOf(Form());
            EXPECT_EQ(Open(c.path), Texts{QString::fromStdString(c.text)});
            const WindowLook after = LookOf(Form());
            EXPECT_TRUE(after == before) << after.Difference(before);
            EXPECT_EQ(spiral, State().SpiralMode);
            EXPECT_EQ(!spiral, Form().Go->isEnabled());
        }
    }
    ExpectUsable();
}

TEST_F(FileFaultTest, FullDiskKeepsThePreviousFile) {
    StartWithDocument();
    Move(2, 0.75L);
    const auto files = FolderListing(dir_);
    // A file size limit stands in for a full disk, in a child process.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {100, 100};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        const Texts full = {QStringLiteral("Disk full")};
        WindowLook before = LookOf(Form());
        if (Save() != full) ::_exit(1);
        if (!(LookOf(Form()) == before)) ::_exit(2);
        int check = 3;
        for (Writer w : kWriters)
            for (const char* name : {"doc.ato", "new.ato"}) {
                before = LookOf(Form());
                if (Write(w, Path(name)) != full) ::_exit(check);
                if (!(LookOf(Form()) == Expected(before, w))) ::_exit(check + 1);
                check += 2;
            }
        ::_exit(0);
    }
    EXPECT_EQ(0, WaitForChild(pid));
    EXPECT_EQ(previous_, Bytes(FileBytes(Path("doc.ato"))));
    EXPECT_EQ(FolderListing(dir_), files);
    ExpectUsable();
}

// The same on a small memory file system that really fills up; skipped where
// such a mount is not allowed.
TEST_F(FileFaultTest, FullFileSystemKeepsThePreviousFile) {
    StartWithDocument();
    const std::string mountPoint = Path("small");
    fs::create_directory(mountPoint);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        testsupport::MountSmallFileSystemOrExit(mountPoint, "16k");
        const std::string doc = mountPoint + "/doc.ato";
        if (Write(Writer::SaveAs, doc) != Texts{}) ::_exit(1);
        const std::string previous = Bytes(FileBytes(doc));
        if (previous.size() != kDocumentSize) ::_exit(2);
        {  // fill what is left
            FILE* f = std::fopen((mountPoint + "/filler").c_str(), "wb");
            if (!f) ::_exit(3);
            const std::string block(512, 'f');
            while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
            }
            std::fclose(f);
        }
        Move(3, 2.5L);
        const auto files = FolderListing(mountPoint);
        const Texts full = {QStringLiteral("Disk full")};
        WindowLook before = LookOf(Form());
        if (Save() != full) ::_exit(4);
        if (!(LookOf(Form()) == before)) ::_exit(5);
        int check = 6;
        for (Writer w : kWriters) {
            before = LookOf(Form());
            if (Write(w, doc) != full) ::_exit(check);
            if (!(LookOf(Form()) == Expected(before, w))) ::_exit(check + 1);
            if (Bytes(FileBytes(doc)) != previous || FolderListing(mountPoint) != files) ::_exit(check + 2);
            check += 3;
        }
        // Room again: the same command succeeds.
        fs::remove(mountPoint + "/filler");
        if (Save() != Texts{} || StoredX(doc, 3) != 2.5L) ::_exit(check);
        ::_exit(0);
    }
    const int code = WaitForChild(pid);
    if (code == testsupport::kNoSmallFileSystem) GTEST_SKIP() << testsupport::SmallFileSystemSkipReason(mountPoint);
    EXPECT_EQ(0, code);
}

}  // namespace
}  // namespace sphaeron::forms::testing

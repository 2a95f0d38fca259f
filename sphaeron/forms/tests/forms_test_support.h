#pragma once
// Shared set-up of the window tests: a scripted Dialogs, a temporary folder
// that holds the start file and the documents, and builders of documents.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <QDialog>
#include <QImage>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sphaeron/core/taon_state.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/program.h"
#include "sphaeron/session/tests/session_access.h"
#include "tests/support/temp_dir.h"

// Failure messages of the tests print as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace sphaeron::forms::testing {

// Answers from queues and records what the program showed. A question that
// was not scripted fails the test and is answered with Cancel or No.
class ScriptedDialogs : public Dialogs {
public:
    std::deque<std::optional<QString>> OpenAnswers;
    std::deque<std::optional<QString>> SaveAnswers;
    std::deque<bool> ConfirmAnswers;
    // Each modal dialog runs the next action (if any) and returns its result.
    std::deque<std::function<int(QDialog&)>> ModalActions;
    bool HelpOpens = true;

    std::vector<QString> Informations;
    std::vector<QString> Failures;
    std::vector<QString> Questions;
    std::vector<QString> HelpOpened;
    std::vector<QString> ModalTitles;
    // Called whenever a failure is shown (for example to look at the window
    // at that moment).
    std::function<void(const QString&)> OnFailure;

    std::optional<QString> OpenFileName(QWidget*, const QString& filter, const QString& defaultExt) override;
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& defaultExt) override;
    void Information(QWidget*, const QString& text) override { Informations.push_back(text); }
    bool Confirm(QWidget*, const QString& text) override;
    void Failure(QWidget*, const QString& text) override;
    int ExecModal(QDialog& dialog) override;
    bool OpenHelpFile(const QString& path) override {
        HelpOpened.push_back(path);
        return HelpOpens;
    }
};

// Where the application object of a test executable reports a failure that
// reached it: a handler let it escape, which no test expects. Every other
// question fails the test.
class EscapedFailures : public Dialogs {
public:
    std::vector<QString> Texts;

    std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&) override;
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&) override;
    void Information(QWidget*, const QString& text) override;
    bool Confirm(QWidget*, const QString& text) override;
    void Failure(QWidget*, const QString& text) override { Texts.push_back(text); }
    int ExecModal(QDialog& dialog) override;
    bool OpenHelpFile(const QString& path) override;
};
EscapedFailures& Escaped();

// The application object of the test executable (created on first use),
// reporting to Escaped().
void EnsureApplication();

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    QString QPath(const std::string& name) const { return QString::fromStdString(Path(name)); }
    std::string StartFile() const;
    void WriteStartFile(const std::string& content);
    std::string ReadStartFile() const;
    bool StartFileExists() const;

    // Starts the program as main() does (without the event loop), with the
    // scripted dialogs or with `with` (which must outlive the program).
    TMainForm& Start();
    TMainForm& Start(Dialogs& with);
    // The same with a start file that names a document of the state.
    TMainForm& StartWith(const TaonState& s);
    // Shows the window and makes it active (for keys and focus).
    void ShowActive();
    // File > New: the edit dialog runs modally and `body` runs inside it; a
    // dialog still open afterwards is cancelled. Returns the dialog's result.
    int RunNew(const std::function<void(TEditDlg&)>& body);
    TMainForm& Form() { return *program_->MainForm; }
    Session& Data() { return program_->Data; }
    TaonState& State() { return SessionTestAccess::State(program_->Data); }

    ScriptedDialogs dialogs;
    std::unique_ptr<SphaeronProgram> program_;
    std::unique_ptr<testsupport::TempDir> temp_;
    std::string dir_;
    std::string oldCwd_;
};

// A document state: taons 1 .. 4 on a small square (as in the easy square
// but with velocities), the others absent and far apart; DT as given.
TaonState SquareState(long double dt = 0.01L);
// Writes a state as a document; returns the record.
std::vector<unsigned char> WriteState(const std::string& path, const TaonState& s);
std::vector<unsigned char> FileBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool SameBits(long double a, long double b);

// Every value of the state as its ten bytes, then the presence bytes, the
// counters and the flags: equal images are equal states bit for bit.
std::string StateImage(const TaonState& s);
// Slots whose working copy differs from the committed one, bit for bit.
std::vector<int> WorkingCopyDiffers(const TaonState& s);

// What a failed command must leave as it was: the state, the two names and
// the start file, and what the window shows of them (name field, step
// label, parameter fields, listing, run buttons, picture).
struct WindowLook {
    std::string state;
    std::vector<std::string> names;
    std::vector<QString> texts;
    QImage picture;
    bool operator==(const WindowLook& o) const {
        return state == o.state && names == o.names && texts == o.texts && picture == o.picture;
    }
    // The first difference, for a failure message ("" when equal).
    std::string Difference(const WindowLook& o) const;
};
WindowLook LookOf(TMainForm& f);

// The names and contents of the files below a folder ("<dir>" for folders).
std::map<std::string, std::string> FolderListing(const std::string& folder);

// A forked child reports through its exit code: 0 when every check held,
// otherwise the number of the first one that failed (100 + signal when it
// died of one).
int WaitForChild(pid_t pid);

// The window between runs: Stopped, "Go", lime and maroon lights, Images
// and the velocity reset enabled.
void ExpectIdleLook(TMainForm& f, const TaonState& s);

// Runs f once the run loop dispatches for the `pass`-th time (1 = the first
// pass) by checking after every dispatch.
void AtPass(TMainForm& form, int pass, std::function<void()> f);

}  // namespace sphaeron::forms::testing

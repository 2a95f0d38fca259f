#pragma once
// The monkey test of the Sphaeron window: the class that plays the user, its
// scripted dialogs and its checks. Its members are defined by area: the run
// and the checks (monkey_tests.cpp), fields, switches and view controls
// (monkey_controls.cpp), file commands (monkey_files.cpp) and the edit
// dialog (monkey_dialog.cpp).
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <array>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iterator>
#include <limits>
#include <random>
#include <set>
#include <sstream>

#include "common/errors.h"
#include "common/numtext.h"
#include "forms_test_support.h"
#include "tests/support/app_environment.h"
#include "tests/support/sandbox.h"
#include "tests/support/typing.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/listing_model.h"

namespace sphaeron::forms::testing::monkey {

namespace fs = std::filesystem;
using L = std::numeric_limits<long double>;

// The temporary folder that holds the documents and stands in for the home,
// configuration, cache and working folders.
extern testsupport::Sandbox gFolders;

// Our files appearing or changing outside the temporary folder, in the
// real configuration folder of the program too.
// Names the program writes: documents, commentaries, the start file, the
// temporary files beside them, and the titles that stand in for names.
bool OneOfOurNames(const std::string& name);

class OutsideWrites : public testsupport::OutsideWrites {
public:
    OutsideWrites() : testsupport::OutsideWrites(gFolders, OneOfOurNames, {".config/Sphaeron"}) {}
};

// ---------------------------------------------------------------------------
// The system's texts.

// `text` is `head`, a number and `tail`.
bool NumberBetween(const std::string& text, const std::string& head, const std::string& tail);
bool IsFileText(const std::string& t);
bool IsArithmeticText(const std::string& t);
inline constexpr const char* kSaveQuestion = "The text was changed. Save now?";
inline constexpr const char* kStartFileMissing = "The start File not found.";

// ---------------------------------------------------------------------------
// Documents and names the scripted dialogs answer with.

enum class Kind { Good, Short, Folder, Missing, LongName, ReadOnlyFile, ReadOnlyFolder, Relative, Cancel };

struct FileChoice {
    std::string path;
    Kind kind;
};

// The text a save to such a name shows ("" for none), and an open.
std::string SaveText(Kind k);
std::string OpenText(Kind k);
// (Re)writes the documents of the pool; saves overwrite some of them.
void WritePool(std::mt19937& rng);
std::vector<FileChoice> MakeOpenChoices(std::mt19937& rng);
std::vector<FileChoice> MakeSaveChoices();
// The question before a document replaces the file at `path` that is no
// document ("'long.ato' is 6,373 bytes long and ..."), or "" for none.
std::string ReplaceQuestionFor(const std::string& path);
// The question before such a file is opened ("... Open its first 6296 bytes
// anyway?"), or "" for none.
std::string OpenQuestionFor(const std::string& path);

// ---------------------------------------------------------------------------
// Texts typed into the fields.

inline constexpr const char* kGoodTexts[] = {"0",       "1",      "-2",     "3,5",     "0,212", "2,718", "5",
                                  "1E3",     "-1,5E-7", "  2,25 ", "1E-4950", "1,18E4932", "0,05", "0,001",
                                  "30",      "+3",     "0,0",    "2,",      ",5",    "100",   "0,01"};
// The values of the good texts, known apart from the program's conversion.
inline constexpr long double kGoodValues[] = {0,     1,          -2,   3.5L,   0.212L, 2.718L, 5,
                                              1000,  -1.5e-7L,   2.25L, 1e-4950L, 1.18e4932L, 0.05L, 0.001L,
                                              30,    3,          0,    2,      0.5L,   100,    0.01L};
static_assert(std::size(kGoodValues) == std::size(kGoodTexts));
inline constexpr const char* kBadTexts[] = {"",   "abc", "1.5", "1,2,3", "--1", "1e99999", "NAN", "INF", "1 2", ",",
                                 "e5", "1E",  "0x10", "\xc3\xa9", "-", "1,5;",   "-0,5,"};
// Particle numbers for the calculators.
inline constexpr const char* kRowTexts[] = {"1", "2", "3", "4", "7", "50", "99", "100", "0", "101", "-3", "1,5", "", "x",
                                 "2147483648"};

class Monkey : public Dialogs {
public:
    Monkey(unsigned seed, int actions);
    ~Monkey() override;

    // Returns the first failure, or "" when the whole sequence held.
    std::string Run();
    int Done() const { return done_; }

    std::string Summary() const;

    // ---- the scripted dialogs -------------------------------------------------

    std::optional<QString> OpenFileName(QWidget*, const QString& filter, const QString& ext) override;
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& ext) override;
    void Information(QWidget*, const QString& text) override;
    bool Confirm(QWidget*, const QString& text) override;
    void Failure(QWidget*, const QString& text) override;
    int ExecModal(QDialog& dialog) override;
    bool OpenHelpFile(const QString&) override { return Chance(70); }

private:
    struct Box {
        char box;  // 'F' failure, 'I' information, 'Q' question
        std::string text;
    };

    // Sees a parameter field being left before the window's own handler does.
    struct Watch : QObject {
        Monkey* monkey = nullptr;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::FocusOut && monkey) {
                auto reason = static_cast<QFocusEvent*>(event)->reason();
                if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                    monkey->Left(watched);
            }
            return false;
        }
    };

    TMainForm& Form() { return *program_->MainForm; }
    TEditDlg& Dlg() { return *program_->EditDlg; }
    Session& Data() { return program_->Data; }
    TaonState& State() { return SessionTestAccess::State(program_->Data); }

    unsigned Pick(unsigned n) { return static_cast<unsigned>(rng_() % n); }
    bool Chance(unsigned percent) { return Pick(100) < percent; }
    template <class T, std::size_t N>
    const T& OneOf(const T (&items)[N]) {
        return items[Pick(N)];
    }

    std::string Log() const;
    void Require(bool ok, const std::string& what);
    // Fails on any failure that reached the application object.
    void RequireNoneEscaped();
    void Note(const std::string& action);
    void Record(char box, const std::string& text, bool known);

    std::optional<QString> Answer(const QString& filter, const QString& ext);

    // A conversion text naming a text that stands in a field, a label or a
    // cell of the dialog's grid right now.
    bool NamesAText(const std::string& t);

    // ---- leaving a parameter field (EditDT, EditA1 .. EditG3) -----------------------

    void Left(QObject* field);

    // ---- runs -------------------------------------------------------------------

    // Between two steps of a run.
    void Feed();

    // ---- the main window's actions ----------------------------------------------

    void Act(bool running);

    // The state as it must be after an action that reads nothing: as before,
    // but for the parameters whose fields were left with a number.
    TaonState Unchanged() const;
    // The same without the view copies, which the spiral turns and the
    // start structures rebuild.
    static std::string CoreImage(TaonState s);
    bool Shows(const std::string& text) const;
    bool NoFileMessageSince(std::size_t first) const;
    // The file texts shown since `first`; other boxes there must be those a
    // redraw or leaving a field can bring.
    std::vector<std::string> FileMessagesSince(std::size_t first);
    // Only boxes that a redraw, a field left or the memo's question bring
    // have been shown during the action.
    void RequireOnlyIncidentalMessages(const std::string& what);

    static QString Shown(long double v);

    // The window has the keyboard, as it has again after a dialog closed on
    // a desktop (the offscreen platform leaves a hidden dialog active).
    void EnsureActive();

    // A key of the window's menus, pressed while the window has the keyboard.
    void Key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);

    std::vector<QLineEdit*> MainFields();

    std::string RandomText();

    static void Type(QWidget* w, const QString& text) { testsupport::TypeText(w, text); }

    // Sets, types over or appends a text; returns a description.
    std::string Enter(QLineEdit* edit, const std::string& text);

    void TypeIntoField();

    std::string FieldName(QWidget* w);

    void TypeIntoMemo();

    // Focus to another control: leaving EditDT converts, leaving the memo
    // after a change asks.
    void MoveFocus();
    std::size_t Questions() const;

    void GoButton();

    void ViewCommand();

    // Alt+Left, Alt+Right, Alt+Home, Alt+End or the timeline's slider.
    void TimelineMove();

    void Switch();

    void DoubleClick();

    // ---- file commands ----------------------------------------------------------

    // Compares the state and the window with their look before a command
    // that failed or was cancelled.
    void RequireUnchangedLook(const WindowLook& before, const std::string& what);

    void OpenCommand();

    static std::string ReadStartFile();

    std::string Packed();
    static std::string Contents(const std::string& path);
    // Where a save goes: relative names are in the working folder.
    static std::string Where(const std::string& path);
    // The documents' and the working folder's files.
    static std::map<std::string, std::string> Documents();
    // The files are as they were, but for `written` and a commentary the
    // memo's question wrote during the action.
    bool DocumentsAsBefore(std::map<std::string, std::string> files, const std::string& written = "");
    // After a write to `path` that must have succeeded or failed with
    // `text`: the file holds the record, or it and every other file stay.
    bool CheckWrite(const std::string& path, const std::string& text, const std::string& old,
                    const std::map<std::string, std::string>& files, const std::string& what);
    std::string SaveTextOf(const std::string& path) const;

    void SaveCommand();

    // Save As and the velocity reset's save.
    void SaveAsCommand() { SaveWithDialog(false); }
    void NullCommand() { SaveWithDialog(true); }

    void SaveWithDialog(bool nullVelocity);

    void TaonsOrSpiral();

    void HelpCommand();

    void PaintOrResize();

    void ExitCommand();

    // ---- New and the edit dialog --------------------------------------------------

    void NewCommand();

    int EditSession();

    // After a paint: the parameters and the current row's taon.
    void CheckDialogShowsState(const std::string& when);
    void CheckDialogShowsParticle(const std::string& when);

    std::vector<QLineEdit*> DialogFields();

    void DialogAction();

    // After fields were read in order, each value stored as soon as it
    // converted: the conversion message shown names the first field with a
    // bad text, the fields before it that hold a known good text have its
    // value and the fields from it on are as before. True when every field
    // converted.
    bool CheckFieldsRead(const std::vector<QString>& texts, const std::vector<long double>& before,
                         const std::vector<long double>& after, const std::string& what);

    void Submit();

    // The dialog's Save As (ok false) or OK: the save dialog, the parameter
    // fields, the record, and for OK the names and the working copies.
    void WriteFromDialog(bool ok);

    void DialogSaveAs() { WriteFromDialog(false); }

    void Calculator();

    void CloseDialog();

    // ---- invariants -------------------------------------------------------------

    // Between steps the working copy equals the committed copy, but for
    // slots "&Yes" has changed since they last were equal.
    void CheckCopies(const std::string& when);

    void CheckIdle();
    void CheckRunningLook();
    void CheckBetweenSteps(bool stepped);

    unsigned seed_;
    int target_;
    int done_ = 0;
    std::mt19937 rng_;
    std::unique_ptr<SphaeronProgram> program_;
    Watch watch_;
    std::vector<FileChoice> openChoices_, saveChoices_;
    std::map<std::string, Kind> saveKind_;
    std::deque<FileChoice> answers_;
    int asked_ = 0;
    std::vector<Box> messages_;
    std::size_t firstMessage_ = 0;
    TaonState before_;
    std::array<std::optional<long double>, kParameterCount> paramLeft_;  // by field, in document order
    std::vector<std::string> paramBadText_;
    std::optional<std::pair<std::string, std::string>> commentary_;
    std::string opening_;  // the file File > Open is reading in this action
    std::set<int> dirty_;
    // The document being written in this action, and whether the question
    // before replacing a file that is no document was answered No.
    std::string writing_;
    bool replaceRefused_ = false;
    bool dialogAccepted_ = false;
    QTimer feeder_;
    bool feeding_ = false, inRun_ = false;
    int stepsLeft_ = 0, nextPool_ = 1000;
    std::int32_t stepCountSeen_ = 0;
    int runs_ = 0, steps_ = 0, betweenSteps_ = 0, opened_ = 0, saved_ = 0, dialogSessions_ = 0;
    std::deque<std::string> recent_;
    OutsideWrites outside_;
    std::string failure_;
};

}  // namespace sphaeron::forms::testing::monkey

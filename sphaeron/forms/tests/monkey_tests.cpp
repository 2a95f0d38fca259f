// A seeded random sequence of user actions on the Sphaeron window and its
// edit dialog under the offscreen platform: the run buttons, the nine view
// buttons, the amplitude bar, drags with every mouse button, the mode
// buttons and check boxes, menu commands and their keys (the hidden Manager
// items too), good and bad texts typed into every field, the commentary
// memo, documents opened and saved through scripted dialogs (bad files and
// names included), and in the edit dialog the grid, "&Yes", "Save As",
// "OK", "Cancel" and the four calculators. Runs are a few steps long: an
// action between two steps ends them through the Stop button.
//
// After every action: no exception reached the top-level handler that is
// not one of the program's failures, every box shows one of the system's
// texts, the outcome of a command is the one it must have, the window's run
// look matches the state, the working copy equals the committed copy
// between steps (but for the slots the edit dialog's "&Yes" has changed and
// nothing has copied yet), and no file was written outside the test's
// temporary folder, which also stands in for the home, configuration and
// working folders.
//
// SPHAERON_MONKEY_SEED chooses the sequence (a failure prints it), and
// SPHAERON_MONKEY_ACTIONS its length.
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
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
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
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/listing_model.h"

namespace sphaeron::forms::testing {
namespace {

namespace fs = std::filesystem;
using L = std::numeric_limits<long double>;

// ---------------------------------------------------------------------------
// The process: a temporary folder holds the documents and stands in for the
// home, configuration, cache and working folders.

testsupport::Sandbox gFolders;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(
    new testsupport::SandboxedApplication<SphaeronApplication>(gFolders, "sphaeron-monkey"));

// Names the program writes: documents, commentaries, the start file, the
// temporary files beside them, and the titles that stand in for names.
bool OneOfOurNames(const std::string& name) {
    auto ends = [&](const char* e) {
        std::size_t n = std::strlen(e);
        return name.size() >= n && name.compare(name.size() - n, n, e) == 0;
    };
    return name.rfind(".sphaeron-", 0) == 0 || ends(".ato") || ends(".txt") || name == "Start.-as-" ||
           name == "Sphaeron" || name.rfind("ThetraSp", 0) == 0 || name.rfind("This is a stabil", 0) == 0 ||
           name.rfind("The easy", 0) == 0 || name.rfind("monkey", 0) == 0;
}

// Our files appearing or changing outside the temporary folder, in the
// real configuration folder of the program too.
class OutsideWrites : public testsupport::OutsideWrites {
public:
    OutsideWrites() : testsupport::OutsideWrites(gFolders, OneOfOurNames, {".config/Sphaeron"}) {}
};

std::size_t OpenDescriptors() {
    std::error_code ec;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd", ec), {}));
}

// ---------------------------------------------------------------------------
// The system's texts.

const char* const kFileTexts[] = {"File not found",    "File access denied",      "Invalid filename",
                                  "Too many open files", "Read beyond end of file", "Disk full"};
// `text` is `head`, a number and `tail`.
bool NumberBetween(const std::string& text, const std::string& head, const std::string& tail) {
    if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string number = text.substr(head.size(), text.size() - head.size() - tail.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}
bool IsFileText(const std::string& t) {
    for (const char* f : kFileTexts)
        if (t == f) return true;
    return NumberBetween(t, "I/O error ", "");
}
bool IsArithmeticText(const std::string& t) {
    return t == "Invalid floating point operation" || t == "Floating point overflow" ||
           t == "Floating point division by zero";
}
const char* const kSaveQuestion = "The text was changed. Save now?";
const char* const kStartFileMissing = "The start File not found.";

// ---------------------------------------------------------------------------
// Documents and names the scripted dialogs answer with.

enum class Kind { Good, Short, Folder, Missing, LongName, ReadOnlyFile, ReadOnlyFolder, Relative, Cancel };

struct FileChoice {
    std::string path;
    Kind kind;
};

std::string LongName() { return gFolders.docs + "/monkey" + std::string(300, 'n') + ".ato"; }

// The text a save to such a name shows ("" for none).
std::string SaveText(Kind k) {
    switch (k) {
        case Kind::ReadOnlyFile:
        case Kind::ReadOnlyFolder:
        case Kind::Folder: return "File access denied";
        case Kind::Missing: return "File not found";
        case Kind::LongName: return "Invalid filename";
        default: return "";
    }
}
std::string OpenText(Kind k) {
    switch (k) {
        case Kind::Short: return "Read beyond end of file";
        case Kind::Folder: return "File access denied";
        case Kind::Missing: return "File not found";
        case Kind::LongName: return "Invalid filename";
        default: return "";
    }
}

TaonState LatticeState(int count) {
    TaonState s = SquareState(0.005L);
    for (int k = 1; k <= count; ++k) {
        s.GravonPresent[k] = 1;
        s.X[k] = s.NewX[k] = s.ViewX[k] = 0.9L * ((k - 1) % 4) - 1.2L;
        s.Y[k] = s.NewY[k] = s.ViewY[k] = 0.9L * ((k - 1) / 4 % 4) - 1.2L;
        s.Z[k] = s.NewZ[k] = s.ViewZ[k] = 0.9L * ((k - 1) / 16) - 1.2L;
    }
    return s;
}

// (Re)writes the documents of the pool; saves overwrite some of them.
void WritePool(std::mt19937& rng) {
    const std::string& d = gFolders.docs;
    std::error_code ec;
    fs::permissions(d + "/readonly.ato", fs::perms::owner_read | fs::perms::owner_write, ec);
    WriteState(d + "/square.ato", SquareState(0.01L));
    WriteState(d + "/lattice.ato", LatticeState(40));
    {
        auto bytes = WriteState(d + "/long.ato", SquareState(0.02L));
        bytes.insert(bytes.end(), 77, '+');
        WriteBytes(d + "/long.ato", std::string(bytes.begin(), bytes.end()));
    }
    {
        auto bytes = WriteState(d + "/pad.ato", SquareState(0.01L));
        bytes[190] = 0xAB;
        bytes[6295] = 0xCD;
        bytes[kPresentOffset + 6] = 2;  // present, and kept as 2
        WriteBytes(d + "/pad.ato", std::string(bytes.begin(), bytes.end()));
    }
    TaonState e = SquareState(0.01L);
    e.X[2] = e.NewX[2] = e.ViewX[2] = L::quiet_NaN();
    WriteState(d + "/nan.ato", e);
    e = SquareState(0.01L);
    e.Uz[3] = e.NewUz[3] = L::infinity();
    e.B2 = -L::infinity();
    WriteState(d + "/inf.ato", e);
    e = SquareState(0.01L);
    e.DT = LDBL_MAX;
    e.Ux[1] = e.NewUx[1] = -LDBL_MAX;
    WriteState(d + "/largest.ato", e);
    e = SquareState(0.01L);
    e.X[4] = e.NewX[4] = e.ViewX[4] = L::denorm_min();
    e.G1 = LDBL_MIN;
    WriteState(d + "/denormal.ato", e);
    e = SquareState(0.01L);
    e.C1 = 0;  // division by zero at the first step
    WriteState(d + "/zero-c1.ato", e);
    WriteBytes(d + "/zero.ato", std::string(kDocumentSize, '\0'));
    std::string random(kDocumentSize, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    WriteBytes(d + "/random.ato", random);
    WriteState(d + "/readonly.ato", LatticeState(6));
    ::chmod((d + "/readonly.ato").c_str(), 0444);
}

std::vector<FileChoice> MakeOpenChoices(std::mt19937& rng) {
    const std::string& d = gFolders.docs;
    WritePool(rng);
    WriteBytes(d + "/short.ato", std::string(kDocumentSize - 1, '\x01'));
    WriteBytes(d + "/empty.ato", "");
    fs::create_directories(d + "/folder.ato");
    return {
        {d + "/square.ato", Kind::Good},   {d + "/lattice.ato", Kind::Good},  {d + "/long.ato", Kind::Good},
        {d + "/pad.ato", Kind::Good},      {d + "/nan.ato", Kind::Good},      {d + "/inf.ato", Kind::Good},
        {d + "/largest.ato", Kind::Good},  {d + "/denormal.ato", Kind::Good}, {d + "/zero-c1.ato", Kind::Good},
        {d + "/zero.ato", Kind::Good},     {d + "/random.ato", Kind::Good},   {d + "/readonly.ato", Kind::Good},
        {d + "/short.ato", Kind::Short},   {d + "/empty.ato", Kind::Short},   {d + "/folder.ato", Kind::Folder},
        {d + "/none.ato", Kind::Missing},  {d + "/no/doc.ato", Kind::Missing}, {LongName(), Kind::LongName},
        {"", Kind::Cancel},
    };
}

std::vector<FileChoice> MakeSaveChoices() {
    const std::string& d = gFolders.docs;
    fs::create_directories(d + "/locked");
    WriteBytes(d + "/locked/doc.ato", std::string(kDocumentSize, 'l'));
    ::chmod((d + "/locked").c_str(), 0555);
    return {
        {d + "/out1.ato", Kind::Good},           {d + "/out2.ato", Kind::Good},
        {"rel.ato", Kind::Relative},             {d + "/readonly.ato", Kind::ReadOnlyFile},
        {d + "/locked/doc.ato", Kind::ReadOnlyFolder}, {d + "/locked/new.ato", Kind::ReadOnlyFolder},
        {d + "/folder.ato", Kind::Folder},       {d + "/no/doc.ato", Kind::Missing},
        {LongName(), Kind::LongName},            {"", Kind::Cancel},
    };
}

// ---------------------------------------------------------------------------
// Texts typed into the fields.

const char* const kGoodTexts[] = {"0",       "1",      "-2",     "3,5",     "0,212", "2,718", "5",
                                  "1E3",     "-1,5E-7", "  2,25 ", "1E-4950", "1,18E4932", "0,05", "0,001",
                                  "30",      "+3",     "0,0",    "2,",      ",5",    "100",   "0,01"};
const char* const kBadTexts[] = {"",   "abc", "1.5", "1,2,3", "--1", "1e99999", "NAN", "INF", "1 2", ",",
                                 "e5", "1E",  "0x10", "\xc3\xa9", "-", "1,5;",   "-0,5,"};
// Particle numbers for the calculators.
const char* const kRowTexts[] = {"1", "2", "3", "4", "7", "50", "99", "100", "0", "101", "-3", "1,5", "", "x",
                                 "2147483648"};

class Monkey : public Dialogs {
public:
    Monkey(unsigned seed, int actions) : seed_(seed), target_(actions), rng_(seed) {
        Dialogs::Install(this);
        SetStepThreads(2);
        openChoices_ = MakeOpenChoices(rng_);
        saveChoices_ = MakeSaveChoices();
        for (const FileChoice& c : saveChoices_)
            if (c.kind != Kind::Cancel) saveKind_[c.path] = c.kind;
        WriteBytes(gFolders.docs + "/HlpArtPl.hlp", "help");

        program_ = std::make_unique<SphaeronProgram>();
        TMainForm& f = Form();
        f.HelpFolder = QString::fromStdString(gFolders.docs);
        // The 300 ms spin timer ticks when the sequence says so, so that a
        // seed repeats the same run whatever the speed of the build.
        f.Timer->stop();
        f.EditDT->installEventFilter(&watch_);
        watch_.monkey = this;
        f.show();
        f.activateWindow();
        (void)QTest::qWaitForWindowActive(&f);
        feeder_.setInterval(0);
        QObject::connect(&feeder_, &QTimer::timeout, [this] { Feed(); });
    }
    ~Monkey() override {
        feeder_.stop();
        program_.reset();
        Dialogs::Install(nullptr);
        SetStepThreads(1);
    }

    // Returns the first failure, or "" when the whole sequence held.
    std::string Run() {
        if (!outside_.Watching()) return "no folder outside could be watched";
        Require(messages_.empty(), "the start-up showed a message");
        const std::size_t descriptors = OpenDescriptors();
        feeder_.start();
        while (done_ < target_ && failure_.empty()) {
            inRun_ = false;
            Act(false);
            if (failure_.empty()) CheckIdle();
            if (done_ >= nextPool_) {  // saves overwrite the pool's documents now and then
                WritePool(rng_);
                nextPool_ += 1000;
            }
        }
        feeder_.stop();
        if (failure_.empty()) {
            // Every file is closed within its command.
            const std::size_t now = OpenDescriptors();
            Require(now <= descriptors + 8, "files were left open: " + std::to_string(descriptors) +
                                                " descriptors at the start, " + std::to_string(now) + " at the end");
        }
        return failure_;
    }
    int Done() const { return done_; }

    std::string Summary() const {
        int file = 0, arithmetic = 0, questions = 0;
        for (const Box& m : messages_) {
            file += IsFileText(m.text);
            arithmetic += IsArithmeticText(m.text);
            questions += m.box == 'Q';
        }
        std::ostringstream out;
        out << "seed " << seed_ << ": " << done_ << " actions, " << betweenSteps_ << " of them between the steps of "
            << runs_ << " runs (" << steps_ << " steps); " << dialogSessions_ << " edit dialog sessions; "
            << messages_.size() << " boxes (" << file << " file, " << arithmetic << " arithmetic, " << questions
            << " questions, " << messages_.size() - file - arithmetic - questions << " other); " << opened_
            << " documents opened, " << saved_ << " saved";
        return out.str();
    }

    // ---- the scripted dialogs -------------------------------------------------

    std::optional<QString> OpenFileName(QWidget*, const QString& filter, const QString& ext) override {
        return Answer(filter, ext);
    }
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& ext) override {
        return Answer(filter, ext);
    }
    void Information(QWidget*, const QString& text) override {
        const std::string t = text.toStdString();
        bool known = t == kStartFileMissing;
        for (const char* file : {"/HlpArtRu.hlp", "/HlpArtPl.hlp"})
            for (const char* end : {" was not found.", " could not be opened."})
                known = known || t == "The help file " + gFolders.docs + file + end;
        Record('I', t, known);
    }
    bool Confirm(QWidget*, const QString& text) override {
        Record('Q', text.toStdString(), text == QLatin1String(kSaveQuestion));
        const bool yes = Chance(60);
        if (yes) commentary_ = {CommentaryName(Data().DocumentName), Form().CommentText()};
        return yes;
    }
    void Failure(QWidget*, const QString& text) override {
        const std::string t = text.toStdString();
        // The failure being handled must be one of the program's own.
        if (std::exception_ptr e = std::current_exception()) {
            try {
                std::rethrow_exception(e);
            } catch (const common::AppError&) {
            } catch (const std::exception& other) {
                Require(false, std::string("an unexpected exception reached the failure handler: ") + other.what());
            } catch (...) {
                Require(false, "an exception of no standard type reached the failure handler");
            }
        }
        const bool negative =
            NumberBetween(t, "The gravon number -", " is negative; gravons are numbered from 1 to 100.");
        Record('F', t, IsFileText(t) || IsArithmeticText(t) || NamesAText(t) || negative);
    }
    int ExecModal(QDialog& dialog) override {
        if (program_ && &dialog == program_->EditDlg.get()) return EditSession();
        if (program_ && &dialog == program_->AboutBox.get()) {
            Note("About box");
            dialog.show();
            if (Chance(50))
                QTest::mouseClick(program_->AboutBox->OKButton, Qt::LeftButton);
            else
                dialog.reject();
            Require(!dialog.isVisible(), "the About box stayed open");
            EnsureActive();
            return dialog.result();
        }
        Require(false, "an unknown modal dialog: " + dialog.windowTitle().toStdString());
        return QDialog::Rejected;
    }
    bool OpenHelpFile(const QString&) override { return Chance(70); }

private:
    struct Box {
        char box;  // 'F' failure, 'I' information, 'Q' question
        std::string text;
    };

    // Sees EditDT being left before the window's own handler does.
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
    TaonState& State() { return program_->Data.State; }

    unsigned Pick(unsigned n) { return static_cast<unsigned>(rng_() % n); }
    bool Chance(unsigned percent) { return Pick(100) < percent; }
    template <class T, std::size_t N>
    const T& OneOf(const T (&items)[N]) {
        return items[Pick(N)];
    }

    std::string Log() const {
        std::ostringstream out;
        QWidget* active = QApplication::activeWindow();
        QWidget* focus = QApplication::focusWidget();
        out << "seed " << seed_ << " (repeat with SPHAERON_MONKEY_SEED=" << seed_ << "), action " << done_
            << " (active window '" << (active ? active->windowTitle().toStdString() : "none") << "', focus on "
            << (focus ? focus->metaObject()->className() : "nothing") << "); the last actions:";
        for (const std::string& a : recent_) out << "\n  " << a;
        return out.str();
    }
    void Require(bool ok, const std::string& what) {
        if (!ok && failure_.empty()) failure_ = what + "\n" + Log();
    }
    void Note(const std::string& action) {
        const char* where = Dlg().isVisible() ? " dialog: " : State().Stopped ? " idle: " : " running: ";
        recent_.push_back(std::to_string(done_) + where + action);
        if (recent_.size() > 30) recent_.pop_front();
    }
    void Record(char box, const std::string& text, bool known) {
        messages_.push_back({box, text});
        recent_.push_back(std::string("    box '") + text + "'");
        if (recent_.size() > 30) recent_.pop_front();
        Require(known, "not one of the system's texts: '" + text + "'");
    }

    std::optional<QString> Answer(const QString& filter, const QString& ext) {
        ++asked_;
        Require(filter == QLatin1String(kDocumentFilter) && ext == QLatin1String(kDocumentExtension),
                "a file dialog with another filter");
        if (answers_.empty()) return std::nullopt;
        FileChoice c = answers_.front();
        answers_.pop_front();
        if (c.kind == Kind::Cancel) return std::nullopt;
        return QString::fromStdString(c.path);
    }

    // A conversion text naming a text that stands in a field, a label or a
    // cell of the dialog's grid right now.
    bool NamesAText(const std::string& t) {
        if (t.rfind('\'', 0) != 0) return false;
        std::vector<QString> texts = {QString()};  // the cells beyond the grid's last row
        for (QLineEdit* e : Form().findChildren<QLineEdit*>()) texts.push_back(e->text());
        for (QLineEdit* e : Dlg().findChildren<QLineEdit*>()) texts.push_back(e->text());
        texts.push_back(Dlg().NumberOfTaon->text());
        for (int row = 0; row < Dlg().Grid->RowCount(); ++row)
            for (int col = 0; col < Dlg().Grid->ColCount(); ++col) texts.push_back(Dlg().Grid->Cell(col, row));
        for (const QString& q : texts) {
            const std::string s = q.toStdString();
            if (t == common::InvalidRealText(s) || t == common::InvalidIntText(s)) return true;
        }
        return false;
    }

    // ---- leaving EditDT -----------------------------------------------------------

    void Left(QObject* field) {
        if (field == Form().EditDT) {
            const std::string text = Form().EditDT->text().toStdString();
            try {
                dtLeft_ = common::ParseReal(text, TMainForm::Separator());
            } catch (const common::ConvertError& e) {
                dtBadText_.push_back(e.what());
            }
        }
    }

    // ---- runs -------------------------------------------------------------------

    // Between two steps of a run.
    void Feed() {
        if (State().Stopped || feeding_) return;
        feeding_ = true;
        const bool first = !inRun_;
        if (first) {
            ++runs_;
            stepsLeft_ = 1 + static_cast<int>(Pick(6));
        }
        // The zero timer may fire more than once in one dispatch: a step
        // happened when the count moved since the last visit.
        const bool stepped = first || State().StepCount != stepCountSeen_;
        inRun_ = true;
        ++betweenSteps_;
        steps_ += stepped;
        CheckBetweenSteps(stepped);
        if (done_ >= target_ || !failure_.empty() || --stepsLeft_ <= 0) {
            Note("Stop");
            if (Chance(50))
                QTest::mouseClick(Form().Go, Qt::LeftButton);
            else
                Form().Go->click();
            Require(State().Stopped, "Stop did not stop the run");
        } else {
            Act(true);
            if (!State().Stopped && failure_.empty()) CheckRunningLook();
        }
        stepCountSeen_ = State().StepCount;
        feeding_ = false;
    }

    // ---- the main window's actions ----------------------------------------------

    void Act(bool running) {
        ++done_;
        TMainForm& f = Form();
        if (!running && !f.isVisible()) {  // after "Exit": the window again
            Note("show the window again");
            f.show();
        }
        if (!running) EnsureActive();
        firstMessage_ = messages_.size();
        before_ = State();
        dtLeft_.reset();
        dtBadText_.clear();
        commentary_.reset();

        try {
            const unsigned what = Pick(100);
            if (what < 16) {
                TypeIntoField();
            } else if (what < 21) {
                MoveFocus();
            } else if (what < 24) {
                TypeIntoMemo();
            } else if (what < 34) {
                GoButton();
            } else if (what < 48) {
                ViewCommand();
            } else if (what < 54) {
                Switch();
            } else if (what < 57) {
                DoubleClick();
            } else if (what < 64) {
                NewCommand();
            } else if (what < 72) {
                OpenCommand();
            } else if (what < 77) {
                SaveCommand();
            } else if (what < 83) {
                SaveAsCommand();
            } else if (what < 87) {
                NullCommand();
            } else if (what < 92) {
                TaonsOrSpiral();
            } else if (what < 95) {
                HelpCommand();
            } else if (what < 98) {
                PaintOrResize();
            } else {
                ExitCommand();
            }
        } catch (const std::exception& e) {
            Require(false, std::string("an exception escaped: ") + e.what());
        }

        // Leaving EditDT: its number is the time step, or its text was shown.
        for (const std::string& t : dtBadText_)
            Require(Shows(t), "leaving EditDT with a bad text did not show '" + t + "'");
        if (commentary_ && NoFileMessageSince(firstMessage_)) {
            std::vector<unsigned char> bytes = FileBytes(commentary_->first);
            Require(std::string(bytes.begin(), bytes.end()) == commentary_->second,
                    "the commentary written is not the memo's text");
        }
        for (const std::string& w : outside_.Drain()) Require(false, "written outside the test's folder: " + w);
    }

    // The state as it must be after an action that reads nothing: as before,
    // but for the time step when EditDT was left with a number.
    TaonState Unchanged() const {
        TaonState s = before_;
        if (dtLeft_) s.DT = *dtLeft_;
        return s;
    }
    // The same without the view copies, which the spiral turns and the
    // start structures rebuild.
    static std::string CoreImage(TaonState s) {
        for (int k = 1; k <= kMaxTaons; ++k) s.ViewX[k] = s.ViewY[k] = s.ViewZ[k] = 0;
        return StateImage(s);
    }
    bool Shows(const std::string& text) const {
        for (std::size_t i = firstMessage_; i < messages_.size(); ++i)
            if (messages_[i].text == text) return true;
        return false;
    }
    bool NoFileMessageSince(std::size_t first) const {
        for (std::size_t i = first; i < messages_.size(); ++i)
            if (IsFileText(messages_[i].text)) return false;
        return true;
    }
    // The file texts shown since `first`; other boxes there must be those a
    // redraw or leaving a field can bring.
    std::vector<std::string> FileMessagesSince(std::size_t first) {
        std::vector<std::string> files;
        for (std::size_t i = first; i < messages_.size(); ++i) {
            const Box& m = messages_[i];
            if (IsFileText(m.text))
                files.push_back(m.text);
            else
                Require(m.box != 'F' || IsArithmeticText(m.text) || m.text.rfind('\'', 0) == 0,
                        "a file command showed '" + m.text + "'");
        }
        return files;
    }
    // Only boxes that a redraw, a field left or the memo's question bring
    // have been shown during the action.
    void RequireOnlyIncidentalMessages(const std::string& what) {
        for (std::size_t i = firstMessage_; i < messages_.size(); ++i) {
            const Box& m = messages_[i];
            Require(m.box == 'Q' || IsArithmeticText(m.text) || m.text.rfind('\'', 0) == 0,
                    what + " showed '" + m.text + "'");
        }
    }

    static QString Shown(long double v) {
        return QString::fromStdString(common::FormatReal(v, TMainForm::Separator()));
    }

    // The window has the keyboard, as it has again after a dialog closed on
    // a desktop (the offscreen platform leaves a hidden dialog active).
    void EnsureActive() {
        TMainForm& f = Form();
        if (QApplication::activeWindow() == &f || !f.isVisible()) return;
        f.activateWindow();
        QApplication::setActiveWindow(&f);
        (void)QTest::qWaitForWindowActive(&f, 1000);
    }

    // A key of the window's menus, pressed while the window has the keyboard.
    void Key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        EnsureActive();
        QTest::keyClick(target, key, mods);
    }

    std::vector<QLineEdit*> MainFields() {
        TMainForm& f = Form();
        std::vector<QLineEdit*> fields(f.ParameterFields.begin(), f.ParameterFields.end());
        fields.insert(fields.end(), {f.FName, f.Edit1, f.Edit2, f.Edit3});
        return fields;
    }

    std::string RandomText() {
        switch (Pick(3)) {
            case 0: return OneOf(kGoodTexts);
            case 1: return OneOf(kBadTexts);
            default: {
                static const char alphabet[] = "0123456789,,,.-+eE ";
                std::string t;
                for (unsigned i = 0, n = Pick(9); i < n; ++i) t += alphabet[Pick(sizeof alphabet - 1)];
                return t;
            }
        }
    }

    static void Type(QWidget* w, const QString& text) { testsupport::TypeText(w, text); }

    // Sets, types over or appends a text; returns a description.
    std::string Enter(QLineEdit* edit, const std::string& text) {
        const QString q = QString::fromUtf8(text.c_str());
        switch (Pick(3)) {
            case 0:
                edit->setText(q);
                return "set '" + text + "'";
            case 1:
                edit->selectAll();
                Type(edit, q);
                return "type '" + text + "' over";
            default:
                edit->end(false);
                Type(edit, q);
                QTest::keyClick(edit, Qt::Key_Backspace);
                return "type '" + text + "' and a backspace at the end of";
        }
    }

    void TypeIntoField() {
        std::vector<QLineEdit*> fields = MainFields();
        QLineEdit* edit = fields[Pick(static_cast<unsigned>(fields.size()))];
        std::string text = RandomText();
        const std::string name = FieldName(edit);
        if (Chance(10)) {
            // Ctrl+V: the number key filter swallows it where it is installed.
            TMainForm& f = Form();
            const bool filtered = edit == f.EditDT || edit == f.EditA1 || edit == f.EditB1 || edit == f.EditC1 ||
                                  edit == f.EditD1;
            const QString was = edit->text();
            QApplication::clipboard()->setText(QString::fromUtf8(text.c_str()));
            Note("paste '" + text + "' into " + name);
            edit->end(false);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            if (filtered) Require(edit->text() == was, "Ctrl+V reached the filtered field " + name);
        } else {
            Note(Enter(edit, text) + " " + name);
        }
        Require(CoreImage(State()) == CoreImage(Unchanged()), "typing into " + name + " changed the state");
        Require(messages_.size() == firstMessage_, "typing into a field showed a box");
    }

    std::string FieldName(QWidget* w) {
        TMainForm& f = Form();
        for (int i = 0; i < kParameterCount; ++i)
            if (w == f.ParameterFields[static_cast<std::size_t>(i)]) return std::string("Edit") + kParameterNames[i];
        if (w == f.FName) return "FName";
        if (w == f.Comment) return "Comment";
        if (w == f.Edit1 || w == f.Edit2 || w == f.Edit3) return "a range field";
        return "a control";
    }

    void TypeIntoMemo() {
        TMainForm& f = Form();
        f.PageControl->setCurrentIndex(1);
        std::string text = Chance(30) ? std::string("Zeile \xc3\xa4") : RandomText();
        Note("memo: type '" + text + "'");
        if (Chance(50))
            QTest::mouseClick(f.Comment->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        else
            f.Comment->setFocus(Qt::MouseFocusReason);
        Type(f.Comment, QString::fromUtf8(text.c_str()));
        if (Chance(30)) QTest::keyClick(f.Comment, Qt::Key_Return);
        Require(CoreImage(State()) == CoreImage(Unchanged()), "typing into the memo changed the state");
        RequireOnlyIncidentalMessages("typing into the memo");
    }

    // Focus to another control: leaving EditDT converts, leaving the memo
    // after a change asks.
    void MoveFocus() {
        TMainForm& f = Form();
        std::vector<QWidget*> targets;
        for (QLineEdit* e : MainFields()) targets.push_back(e);
        targets.insert(targets.end(), {f.Go, f.ShowList, f.Cool, f.Comment});
        QWidget* target = targets[Pick(static_cast<unsigned>(targets.size()))];
        if (target == f.Comment) f.PageControl->setCurrentIndex(1);
        QWidget* from = QApplication::focusWidget();
        const bool asks = from == f.Comment && Data().CommentModified;
        const std::size_t questions = Questions();
        if (from && Chance(30)) {
            Note(std::string("Tab from ") + FieldName(from));
            QTest::keyClick(from, Chance(70) ? Qt::Key_Tab : Qt::Key_Backtab);
        } else if (Chance(50) && qobject_cast<QLineEdit*>(target)) {
            Note("click into " + FieldName(target));
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
        } else {
            Note("focus to " + FieldName(target));
            target->setFocus(Qt::TabFocusReason);
        }
        QWidget* to = QApplication::focusWidget();
        if (from == f.EditDT && to != f.EditDT) {
            Require(dtLeft_.has_value() || !dtBadText_.empty(), "leaving EditDT did not convert it");
            if (dtLeft_) Require(SameBits(*dtLeft_, State().DT), "leaving EditDT did not set the time step");
        }
        if (asks && to != f.Comment)
            Require(Questions() == questions + 1 && !Data().CommentModified, "leaving the changed memo did not ask");
        Require(CoreImage(State()) == CoreImage(Unchanged()), "moving the focus changed the state");
        RequireOnlyIncidentalMessages("moving the focus");
    }
    std::size_t Questions() const {
        std::size_t n = 0;
        for (const Box& m : messages_) n += m.box == 'Q';
        return n;
    }

    void GoButton() {
        TMainForm& f = Form();
        const bool idle = State().Stopped;
        const bool enabled = f.Go->isEnabled();
        Note(std::string(idle ? "Go" : "Stop") + (enabled ? "" : " (disabled)"));
        if (Chance(50))
            QTest::mouseClick(f.Go, Qt::LeftButton);
        else
            f.Go->click();
        // From idle the run went on inside the click until it was stopped.
        Require(State().Stopped, idle ? "a run outlived its Go click" : "Stop did not stop the run");
        if (!enabled) Require(CoreImage(State()) == CoreImage(Unchanged()), "a disabled Go changed the state");
    }

    void ViewCommand() {
        TMainForm& f = Form();
        QPushButton* const buttons[] = {f.DaoBack, f.DaoTeta,    f.DaoPsi,   f.DaoPhi, f.DaoStop,
                                        f.DaoPhi1, f.DaoForvard, f.DaoTeta1, f.DaoPsi1};
        switch (Pick(9)) {
            case 0:
            case 1: {
                QPushButton* b = OneOf(buttons);
                Note("view button " + b->text().toStdString());
                QTest::mouseClick(b, Qt::LeftButton);
                break;
            }
            case 2: {
                const std::pair<Qt::Key, QAction*> keys[] = {{Qt::Key_F6, f.ShowSpin},
                                                             {Qt::Key_F7, f.ShowNumbersOfPoints},
                                                             {Qt::Key_F8, f.MoveToCenter}};
                auto [key, action] = OneOf(keys);
                const bool spin = Data().Controls.SpinOn;
                const bool byKey = Chance(50);
                Note((byKey ? "key for " : "menu ") + action->text().toStdString());
                if (byKey)
                    Key(&f, key);
                else
                    action->trigger();
                if (action == f.ShowSpin)
                    Require(Data().Controls.SpinOn != spin && f.ShowSpin->isChecked() == Data().Controls.SpinOn,
                            "ShowSpin did not toggle");
                if (action == f.ShowNumbersOfPoints)
                    Require(f.ShowNumbersOfPoints->isChecked() == Data().View.ShowNumbers, "Show Numbers: check mark");
                break;
            }
            case 3: {
                const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
                const Qt::Key key = OneOf(keys);
                Note("Ctrl+arrow " + std::to_string(key - Qt::Key_Left));
                const long double sx = Data().View.ShiftX, sy = Data().View.ShiftY;
                EnsureActive();
                QWidget* target = Chance(50) ? static_cast<QWidget*>(&f) : QApplication::focusWidget();
                Key(target ? target : &f, key, Qt::ControlModifier);
                Require(Data().View.ShiftX != sx || Data().View.ShiftY != sy || std::isnan(sx) || std::isnan(sy) ||
                            std::isinf(sx) || std::isinf(sy),
                        "Ctrl+arrow did not shift the picture");
                break;
            }
            case 4: {
                const int value = static_cast<int>(Pick(11));
                Note("track bar " + std::to_string(value));
                const int was = f.TrackBar->value();
                if (Chance(50))
                    f.TrackBar->setValue(value);
                else
                    QTest::keyClick(f.TrackBar, Chance(50) ? Qt::Key_Left : Qt::Key_Right);
                // A bar that moved sets the step sizes of its position (the
                // start-up ones are not those of the start position).
                const AmplitudeStep expected = AmplitudeTable(f.TrackBar->value());
                Require(f.TrackBar->value() == was || (Data().Controls.AngleStep == expected.AngleStep &&
                                                       Data().Controls.ZoomStep == expected.ZoomStep),
                        "the track bar did not set the step sizes");
                break;
            }
            case 5:
            case 6: {
                const Qt::MouseButton mb[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
                const Qt::MouseButton b = OneOf(mb);
                const int w = f.DrawArea->width(), h = f.DrawArea->height();
                auto point = [&] {
                    const int far = 2000;
                    if (Chance(10)) return QPoint(static_cast<int>(Pick(2 * far)) - far, static_cast<int>(Pick(2 * far)) - far);
                    return QPoint(static_cast<int>(Pick(std::max(w, 1))), static_cast<int>(Pick(std::max(h, 1))));
                };
                const QPoint from = point(), to = Chance(20) ? from : point();
                Note("drag " + std::to_string(int(b)) + " from " + std::to_string(from.x()) + "," +
                     std::to_string(from.y()) + " to " + std::to_string(to.x()) + "," + std::to_string(to.y()));
                QTest::mousePress(f.DrawArea, b, Qt::NoModifier, from);
                QTest::mouseRelease(f.DrawArea, b, Qt::NoModifier, to);
                break;
            }
            case 7:
                Note("timer tick");
                Require(QMetaObject::invokeMethod(f.Timer, "timeout", Qt::DirectConnection), "the timer did not tick");
                break;
            default:
                Note("move to center");
                f.MoveToCenter->trigger();
                Require(Data().View.ViewScale == kDefaultViewScale && Data().View.ShiftX == 0 &&
                            Data().View.ShiftY == 0,
                        "Move to center did not centre");
                break;
        }
        Require(CoreImage(State()) == CoreImage(Unchanged()), "a view command changed the state");
        RequireOnlyIncidentalMessages("a view command");
    }

    void Switch() {
        TMainForm& f = Form();
        QAbstractButton* const switches[] = {f.ShowList, f.Cool, f.StopL, f.RB0, f.RB1, f.RB2};
        QAbstractButton* b = OneOf(switches);
        Note("click " + b->text().toStdString());
        if (Chance(50))
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
        else
            b->click();
        Require(f.RB0->isChecked() + f.RB1->isChecked() + f.RB2->isChecked() == 1, "not one mode button checked");
        Require(CoreImage(State()) == CoreImage(Unchanged()), "a switch changed the state");
        RequireOnlyIncidentalMessages("a switch");
    }

    void DoubleClick() {
        TMainForm& f = Form();
        switch (Pick(3)) {
            case 0: {
                Note("double click on LTime");
                const bool on = State().TimeDisplayOn;
                QTest::mouseDClick(f.LTime, Qt::LeftButton);
                Require(State().TimeDisplayOn != on, "LTime's double click did not toggle the time display");
                break;
            }
            case 1: {
                f.PageControl->setCurrentIndex(0);
                const bool on = State().ListVelocities;
                QWidget* targets[] = {f.DaonsTable->viewport(), f.DaonsTable->horizontalHeader()->viewport(),
                                      f.DaonsTable->verticalHeader()->viewport()};
                Note("double click on the listing");
                QTest::mouseDClick(OneOf(targets), Qt::LeftButton, {}, QPoint(8, 8));
                Require(State().ListVelocities != on, "the listing's double click did not toggle");
                Require(f.Listing->Cell(1, 0) == (State().ListVelocities ? "u(x)" : "X"), "the listing's heading");
                break;
            }
            default: {
                const int page = static_cast<int>(Pick(2));
                Note("page " + std::to_string(page));
                f.PageControl->setCurrentIndex(page);
                break;
            }
        }
        TaonState expect = Unchanged();
        expect.TimeDisplayOn = State().TimeDisplayOn;
        expect.ListVelocities = State().ListVelocities;
        Require(CoreImage(State()) == CoreImage(expect), "a double click changed the state");
        RequireOnlyIncidentalMessages("a double click");
    }

    // ---- file commands ----------------------------------------------------------

    // Compares the state and the window with their look before a command
    // that failed or was cancelled.
    void RequireUnchangedLook(const WindowLook& before, const std::string& what) {
        WindowLook now = LookOf(Form());
        WindowLook expect = before;
        expect.state = StateImage(Unchanged());
        if (Data().Controls.SpinOn || messages_.size() != firstMessage_) expect.picture = now.picture;
        Require(now == expect, what + " changed something: " + now.Difference(expect));
    }

    void OpenCommand() {
        TMainForm& f = Form();
        FileChoice c = openChoices_[Pick(static_cast<unsigned>(openChoices_.size()))];
        if (Chance(20)) {  // now and then a document this run saved
            for (const char* name : {"/out1.ato", "/out2.ato"})
                if (fs::is_regular_file(gFolders.docs + name)) c = {gFolders.docs + name, Kind::Good};
            if (fs::is_regular_file(gFolders.cwd + "/rel.ato") && Chance(50)) c = {"rel.ato", Kind::Good};
        }
        const bool byKey = Chance(50);
        Note(std::string(byKey ? "F3 " : "Open ") + (c.kind == Kind::Cancel ? "(cancel)" : c.path.substr(0, 70)));
        const WindowLook before = LookOf(f);
        std::vector<unsigned char> bytes;
        if (c.kind == Kind::Good) bytes = FileBytes(c.path);
        answers_ = {c};
        const int asked = asked_;
        if (byKey)
            Key(&f, Qt::Key_F3);
        else
            f.Open1->trigger();
        Require(asked_ == asked + 1, "Open did not ask for a file");
        answers_.clear();
        const std::vector<std::string> files = FileMessagesSince(firstMessage_);
        if (c.kind != Kind::Good) {
            std::vector<std::string> expected;
            if (c.kind != Kind::Cancel) expected.push_back(OpenText(c.kind));
            Require(files == expected, "Open of a bad file or a cancel: not its text");
            RequireUnchangedLook(before, "a failed or cancelled Open");
            return;
        }
        Require(files.empty(), "Open of a good document showed a file text");
        TaonsDocument doc;
        Require(bytes.size() >= kDocumentSize, "a pool document is short");
        std::copy(bytes.begin(), bytes.begin() + kDocumentSize, doc.bytes.begin());
        TaonState expect = Unchanged();
        DistributeDocument(doc, expect);
        expect.SpiralMode = false;
        expect.StepCount = 0;
        Require(StateImage(State()) == StateImage(expect), "Open: the state is not the document");
        Require(Data().Document.bytes == doc.bytes, "Open: the record buffer is not the document");
        Require(Data().DocumentName == c.path && f.FName->text() == QString::fromStdString(c.path) &&
                    ReadStartFile() == c.path,
                "Open: the names are not the document's");
        Require(f.LTime->text() == "0" && f.Go->isEnabled(), "Open: step label or Go");
        Require(f.EditDT->text() == Shown(expect.DT), "Open: EditDT does not show the document's time step");
        ++opened_;
    }

    static std::string ReadStartFile() {
        std::vector<unsigned char> b = FileBytes(StartFilePath());
        return std::string(b.begin(), b.end());
    }

    std::string Packed() {
        TaonsDocument d = Data().Document;
        PackDocument(State(), d);
        return std::string(d.bytes.begin(), d.bytes.end());
    }
    static std::string Contents(const std::string& path) {
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) return "<none>";
        std::vector<unsigned char> b = FileBytes(path);
        return std::string(b.begin(), b.end());
    }
    // Where a save goes: relative names are in the working folder.
    static std::string Where(const std::string& path) {
        return path.empty() || path[0] == '/' ? path : gFolders.cwd + "/" + path;
    }
    // The documents' and the working folder's files.
    static std::map<std::string, std::string> Documents() {
        auto files = FolderListing(gFolders.docs);
        files.merge(FolderListing(gFolders.cwd));
        return files;
    }
    // The files are as they were, but for `written` and a commentary the
    // memo's question wrote during the action.
    bool DocumentsAsBefore(std::map<std::string, std::string> files, const std::string& written = "") {
        auto now = Documents();
        for (const std::string& name : {written, commentary_ ? Where(commentary_->first) : std::string()}) {
            if (name.empty()) continue;
            files.erase(name);
            now.erase(name);
        }
        return now == files;
    }
    // After a write to `path` that must have succeeded or failed with
    // `text`: the file holds the record, or it and every other file stay.
    bool CheckWrite(const std::string& path, const std::string& text, const std::string& old,
                    const std::map<std::string, std::string>& files, const std::string& what) {
        const std::vector<std::string> got = FileMessagesSince(firstMessage_);
        if (text.empty()) {
            Require(got.empty(), what + " to a good name showed a file text");
            Require(Contents(Where(path)) == std::string(Data().Document.bytes.begin(), Data().Document.bytes.end()),
                    what + " did not write the record");
            Require(DocumentsAsBefore(files, Where(path)), what + " left another file behind");
            ++saved_;
            return true;
        }
        Require(got == std::vector<std::string>{text}, what + " to a bad name: not its text");
        Require(Contents(Where(path)) == old && DocumentsAsBefore(files), what + " that failed changed a file");
        return false;
    }
    std::string SaveTextOf(const std::string& path) const {
        auto it = saveKind_.find(path);
        return it == saveKind_.end() ? "" : SaveText(it->second);
    }

    void SaveCommand() {
        TMainForm& f = Form();
        const bool byKey = Chance(50);
        const std::string path = Data().DocumentName;
        Note(std::string(byKey ? "Ctrl+S" : "Save") + " to " + path.substr(0, 70));
        const WindowLook before = LookOf(f);
        const auto files = Documents();
        const std::string old = Contents(Where(path));
        const std::string packed = Packed();
        const bool spiral = State().SpiralMode;
        if (byKey)
            Key(&f, Qt::Key_S, Qt::ControlModifier);
        else
            f.Save1->trigger();
        if (spiral) {
            Require(DocumentsAsBefore(files) && FileMessagesSince(firstMessage_).empty(), "Save in the spiral acted");
            RequireUnchangedLook(before, "Save in the spiral");
            return;
        }
        if (CheckWrite(path, SaveTextOf(path), old, files, "Save"))
            Require(Contents(Where(path)) == packed, "Save did not write the committed state");
        RequireUnchangedLook(before, "Save");
    }

    // Save As and the velocity reset's save.
    void SaveAsCommand() { SaveWithDialog(false); }
    void NullCommand() { SaveWithDialog(true); }

    void SaveWithDialog(bool nullVelocity) {
        TMainForm& f = Form();
        FileChoice c = saveChoices_[Pick(static_cast<unsigned>(saveChoices_.size()))];
        const std::string what = nullVelocity ? "velocity reset" : "Save As";
        Note(what + " " + (c.kind == Kind::Cancel ? std::string("(cancel)") : c.path.substr(0, 70)));
        const WindowLook before = LookOf(f);
        const auto files = Documents();
        const std::string old = Contents(Where(c.path));
        const bool acts = !State().SpiralMode && (!nullVelocity || State().Stopped);
        const int asked = asked_;
        answers_ = {c};
        if (nullVelocity) {
            if (Chance(50))
                QTest::mouseClick(f.Null00, Qt::LeftButton);
            else
                f.Null00->click();
        } else {
            f.SaveAs1->trigger();
        }
        answers_.clear();
        if (!acts) {
            Require(asked_ == asked, what + " asked in the spiral or during a run");
            RequireUnchangedLook(before, what + " in the spiral or during a run");
            return;
        }
        Require(asked_ == asked + 1, what + " did not ask for a name");
        TaonState expect = Unchanged();
        if (nullVelocity) {
            ZeroVelocities(expect);
            Require(f.Null00->text() == "Yes Null", "the velocity reset's caption");
        }
        Require(StateImage(State()) == StateImage(expect), what + ": the state is not as it must be");
        if (c.kind == Kind::Cancel) {
            Require(DocumentsAsBefore(files) && FileMessagesSince(firstMessage_).empty(), what + " cancelled wrote");
            return;
        }
        if (CheckWrite(c.path, SaveText(c.kind), old, files, what)) {
            Require(Data().DocumentName == c.path && Data().LastDocumentName == c.path &&
                        f.FName->text() == QString::fromStdString(c.path) && ReadStartFile() == c.path,
                    what + ": the names are not the new document's");
        } else {
            WindowLook expectLook = before;
            expectLook.state = StateImage(expect);
            WindowLook now = LookOf(f);
            expectLook.picture = now.picture;
            if (nullVelocity) expectLook.texts = now.texts;  // the listing may show the zeros
            Require(now == expectLook, what + " that failed changed something: " + now.Difference(expectLook));
        }
    }

    void TaonsOrSpiral() {
        TMainForm& f = Form();
        const bool running = !State().Stopped;
        if (Chance(50)) {
            const bool byKey = Chance(50);
            Note(byKey ? "F5 (Taons)" : "Taons");
            const std::string remembered = ReadStartFile();
            if (byKey)
                Key(&f, Qt::Key_F5);
            else
                f.Daons1->trigger();
            if (running) {
                Require(CoreImage(State()) == CoreImage(Unchanged()), "Taons acted during a run");
                return;
            }
            Require(!State().SpiralMode && f.Go->isEnabled(), "Taons did not leave the spiral");
            if (remembered.empty()) {
                Require(Data().DocumentName == kStableStructureTitle, "Taons without a document: the title");
            } else {
                Require(Data().DocumentName == remembered, "Taons: not the remembered document");
                TaonState expect = Unchanged();
                TaonsDocument doc;
                ReadDocument(Where(remembered), doc);
                DistributeDocument(doc, expect);
                expect.SpiralMode = false;
                Require(StateImage(State()) == StateImage(expect), "Taons: the state is not the remembered document");
                Require(f.EditDT->text() == Shown(expect.DT), "Taons: EditDT does not show the time step");
            }
        } else {
            Note("Spiral");
            f.Spiral1->trigger();
            if (running) {
                Require(!State().SpiralMode, "Spiral acted during a run");
                return;
            }
            Require(State().SpiralMode && !f.Go->isEnabled() && !f.Null00->isEnabled(), "Spiral: mode and buttons");
            Require(CoreImage(State()) == CoreImage([&] {
                        TaonState s = Unchanged();
                        s.SpiralMode = true;
                        return s;
                    }()),
                    "Spiral changed the taons");
        }
        RequireOnlyIncidentalMessages("Taons or Spiral");
    }

    void HelpCommand() {
        TMainForm& f = Form();
        const std::pair<Qt::KeyboardModifiers, QAction*> items[] = {{Qt::NoModifier, f.EnglishHelp1},
                                                                    {Qt::ControlModifier, f.RussianHelp1},
                                                                    {Qt::ShiftModifier, f.PolandHelp1}};
        if (Chance(25)) {
            Note("About");
            f.About1->trigger();
        } else {
            auto [mods, action] = OneOf(items);
            const bool byKey = Chance(50);
            Note((byKey ? "key for " : "") + action->text().toStdString());
            if (byKey)
                Key(&f, Qt::Key_F1, mods);
            else
                action->trigger();
        }
        Require(CoreImage(State()) == CoreImage(Unchanged()), "a help item changed the state");
    }

    void PaintOrResize() {
        TMainForm& f = Form();
        if (Chance(50)) {
            Note("paint");
            Guarded([&] { f.FormPaint(); });
        } else if (Chance(20)) {
            Note("minimise and restore");
            f.showMinimized();
            f.showNormal();
            EnsureActive();
        } else {
            const int w = Chance(10) ? 40 + static_cast<int>(Pick(200)) : 500 + static_cast<int>(Pick(500));
            const int h = Chance(10) ? 40 + static_cast<int>(Pick(200)) : 400 + static_cast<int>(Pick(400));
            Note("resize to " + std::to_string(w) + "x" + std::to_string(h));
            f.resize(w, h);
        }
        Require(CoreImage(State()) == CoreImage(Unchanged()), "painting or resizing changed the state");
        RequireOnlyIncidentalMessages("painting or resizing");
    }

    void ExitCommand() {
        TMainForm& f = Form();
        const bool running = !State().Stopped;
        if (Chance(50)) {
            Note("Exit");
            f.Exit1->trigger();
        } else {
            Note("Alt+X");
            Key(&f, Qt::Key_X, Qt::AltModifier);
        }
        // During a run the window closes once the loop has returned.
        Require(State().Stopped, "Exit did not end the run");
        if (!running) Require(!f.isVisible(), "Exit did not close the window");
    }

    // ---- New and the edit dialog --------------------------------------------------

    void NewCommand() {
        TMainForm& f = Form();
        const bool byKey = Chance(50);
        Note(byKey ? "F2" : "New");
        dialogAccepted_ = false;
        if (byKey)
            Key(&f, Qt::Key_F2);
        else
            f.New1->trigger();
        Require(!Dlg().isVisible(), "the edit dialog stayed open");
        EnsureActive();
        if (!dialogAccepted_) return;
        Require(!State().SpiralMode && f.Go->isEnabled() &&
                    f.FName->text() == QString::fromStdString(Data().DocumentName) && State().StepCount == 0 &&
                    f.LTime->text() == "0",
                "New with OK: the window does not show the document");
        for (int i = 0; i < kParameterCount; ++i)
            Require(f.ParameterFields[static_cast<std::size_t>(i)]->text() == Shown(*ParameterField(State(), i)),
                    "New with OK: a parameter field");
    }

    int EditSession() {
        TEditDlg& d = Dlg();
        ++dialogSessions_;
        d.setResult(QDialog::Rejected);
        d.show();
        d.activateWindow();
        Require(d.EditFileName->text() == QString::fromStdString(Data().DocumentName),
                "the dialog does not show the document name");
        CheckDialogShowsState("opening the dialog");
        const unsigned length = Pick(14);
        for (unsigned i = 0; d.isVisible() && failure_.empty(); ++i) {
            ++done_;
            firstMessage_ = messages_.size();
            before_ = State();
            dtLeft_.reset();
            try {
                if (i >= length || done_ >= target_)
                    CloseDialog();
                else
                    DialogAction();
            } catch (const std::exception& e) {
                Require(false, std::string("an exception escaped in the dialog: ") + e.what());
            }
            for (const std::string& w : outside_.Drain()) Require(false, "written outside the test's folder: " + w);
        }
        if (d.isVisible()) d.hide();
        EnsureActive();
        dialogAccepted_ = d.result() == QDialog::Accepted;
        return d.result();
    }

    // After a paint: the parameters and the current row's taon.
    void CheckDialogShowsState(const std::string& when) {
        TEditDlg& d = Dlg();
        for (int i = 0; i < kParameterCount; ++i)
            Require(d.ParameterFields[static_cast<std::size_t>(i)]->text() == Shown(*ParameterField(State(), i)),
                    when + ": a parameter field does not show the state");
        CheckDialogShowsParticle(when);
    }
    void CheckDialogShowsParticle(const std::string& when) {
        TEditDlg& d = Dlg();
        const int k = d.CurrentRow();
        const TaonState& s = State();
        Require(d.NumberOfTaon->text() == QString::number(k) && d.EditX->text() == Shown(s.X[k]) &&
                    d.EditY->text() == Shown(s.Y[k]) && d.EditZ->text() == Shown(s.Z[k]) &&
                    d.EditV->text() == Shown(s.Ux[k]) && d.EditU->text() == Shown(s.Uy[k]) &&
                    d.EditW->text() == Shown(s.Uz[k]) && d.DaoTrue->isChecked() == s.Present(k),
                when + ": the particle fields do not show the current row's taon");
    }

    std::vector<QLineEdit*> DialogFields() {
        TEditDlg& d = Dlg();
        std::vector<QLineEdit*> fields(d.ParameterFields.begin(), d.ParameterFields.end());
        fields.insert(fields.end(), {d.EditX, d.EditY, d.EditZ, d.EditV, d.EditU, d.EditW, d.EditFileName});
        for (const DistanceCalculator& c : d.Calculators) fields.insert(fields.end(), {c.Part1, c.Part2, c.Result});
        return fields;
    }

    void DialogAction() {
        TEditDlg& d = Dlg();
        const unsigned what = Pick(100);
        if (what < 30) {
            std::vector<QLineEdit*> fields = DialogFields();
            // Mostly the particle and parameter fields.
            QLineEdit* edit = fields[Pick(Chance(80) ? 25 : static_cast<unsigned>(fields.size()))];
            Note(Enter(edit, RandomText()) + " a dialog field");
            Require(CoreImage(State()) == CoreImage(Unchanged()), "typing in the dialog changed the state");
        } else if (what < 42) {
            const int k = Chance(60) ? 1 + static_cast<int>(Pick(8)) : 1 + static_cast<int>(Pick(100));
            const QModelIndex was = d.DaonsTable->currentIndex();
            bool clicked = false;
            switch (Pick(3)) {
                case 0: {
                    Note("click grid row " + std::to_string(k));
                    const QModelIndex index = d.Grid->index(k - 1, static_cast<int>(Pick(3)));
                    d.DaonsTable->scrollTo(index);
                    QTest::mouseClick(d.DaonsTable->viewport(), Qt::LeftButton, {},
                                      d.DaonsTable->visualRect(index).center());
                    clicked = true;
                    break;
                }
                case 1:
                    Note("select grid row " + std::to_string(k));
                    d.SelectRow(k);
                    break;
                default: {
                    const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Home};
                    Note("grid key");
                    QTest::keyClick(d.DaonsTable, OneOf(keys));
                    break;
                }
            }
            // A click, or a key that moved the current cell, shows the row's taon.
            if (clicked || d.DaonsTable->currentIndex() != was) CheckDialogShowsParticle("moving in the grid");
        } else if (what < 46) {
            Note("double click on the dialog's grid");
            const bool on = d.DialogListVelocities;
            QWidget* targets[] = {d.DaonsTable->viewport(), d.DaonsTable->horizontalHeader()->viewport(), d.GridCorner};
            QTest::mouseDClick(OneOf(targets), Qt::LeftButton, {}, QPoint(5, 5));
            Require(d.DialogListVelocities != on && d.Grid->Cell(0, 0) == (on ? "Gravons" : "Velo"),
                    "the dialog's double click did not toggle its grid");
        } else if (what < 52) {
            Note("toggle There is Gravon");
            d.DaoTrue->toggle();
        } else if (what < 66) {
            Submit();
        } else if (what < 74) {
            DialogSaveAs();
        } else if (what < 92) {
            Calculator();
        } else {
            Note("dialog paint");
            Guarded([&] { d.FormPaint(); });
            CheckDialogShowsState("a paint");
        }
    }

    // The nineteen parameter fields as the dialog reads them: the values up
    // to the first bad text, and that text's message.
    std::optional<std::string> ReadParameters(TaonState& s) {
        for (int i = 0; i < kParameterCount; ++i) {
            try {
                *ParameterField(s, i) =
                    common::ParseReal(Dlg().ParameterFields[static_cast<std::size_t>(i)]->text().toStdString(),
                                      TMainForm::Separator());
            } catch (const common::ConvertError& e) {
                return e.what();
            }
        }
        return std::nullopt;
    }

    void Submit() {
        TEditDlg& d = Dlg();
        const int k = d.NumberOfTaon->text().toInt();
        const bool byEnter = Chance(30);
        Note(std::string(byEnter ? "Enter" : "&Yes") + " for taon " + std::to_string(k));
        TaonState expect = Unchanged();
        std::optional<std::string> bad;
        QLineEdit* const fields[] = {d.EditX, d.EditY, d.EditZ, d.EditV, d.EditU, d.EditW};
        long double* const arrays[] = {expect.X, expect.Y, expect.Z, expect.Ux, expect.Uy, expect.Uz};
        for (int i = 0; i < 6 && !bad; ++i) {
            try {
                arrays[i][k] = common::ParseReal(fields[i]->text().toStdString(), TMainForm::Separator());
            } catch (const common::ConvertError& e) {
                bad = e.what();
            }
        }
        if (!bad) expect.GravonPresent[k] = d.DaoTrue->isChecked() ? 1 : 0;
        dirty_.insert(k);
        if (byEnter) {
            QLineEdit* f = fields[Pick(6)];
            f->setFocus();
            QTest::keyClick(f, Qt::Key_Return);
        } else {
            QTest::mouseClick(d.Submit, Qt::LeftButton);
        }
        Require(d.isVisible(), "&Yes closed the dialog");
        Require(StateImage(State()) == StateImage(expect), "&Yes did not store what it must");
        std::vector<std::string> got;
        for (std::size_t i = firstMessage_; i < messages_.size(); ++i) got.push_back(messages_[i].text);
        Require(got == (bad ? std::vector<std::string>{*bad} : std::vector<std::string>{}), "&Yes: not its message");
        const QString cell = d.Grid->Cell(1, k);
        Require(expect.Present(k) ? !cell.isEmpty() : cell.isEmpty(), "&Yes: the grid row");
    }

    // The dialog's Save As (ok false) or OK: the save dialog, the parameter
    // fields, the record, and for OK the names and the working copies.
    void WriteFromDialog(bool ok) {
        TEditDlg& d = Dlg();
        FileChoice c = saveChoices_[Pick(static_cast<unsigned>(saveChoices_.size()))];
        Note(std::string(ok ? "OK " : "dialog Save As ") +
             (c.kind == Kind::Cancel ? std::string("(cancel)") : c.path.substr(0, 70)));
        const auto files = Documents();
        const std::string old = Contents(Where(c.path));
        const std::string name = Data().DocumentName, start = ReadStartFile();
        const QString fileField = d.EditFileName->text();
        TaonState expect = Unchanged();
        std::optional<std::string> bad;
        if (c.kind != Kind::Cancel) bad = ReadParameters(expect);
        answers_ = {c};
        QTest::mouseClick(ok ? d.OKBtn : d.Saveas, Qt::LeftButton);
        answers_.clear();
        Require(ok != d.isVisible(), ok ? "OK did not close the dialog" : "Save As closed the dialog");
        if (ok) Require(d.result() == QDialog::Accepted, "OK did not close with OK");
        bool written = false;
        if (c.kind == Kind::Cancel || bad) {
            Require(DocumentsAsBefore(files), "a dialog save that stopped wrote");
            std::vector<std::string> got;
            for (std::size_t i = firstMessage_; i < messages_.size(); ++i) got.push_back(messages_[i].text);
            Require(got == (bad ? std::vector<std::string>{*bad} : std::vector<std::string>{}),
                    "a dialog save with a bad field or a cancel: not its message");
        } else {
            written = CheckWrite(c.path, SaveText(c.kind), old, files, ok ? "OK" : "dialog Save As");
        }
        if (written && ok) {
            for (int k = 1; k <= kMaxTaons; ++k)
                if (expect.Present(k)) {
                    expect.NewX[k] = expect.ViewX[k] = expect.X[k];
                    expect.NewY[k] = expect.ViewY[k] = expect.Y[k];
                    expect.NewZ[k] = expect.ViewZ[k] = expect.Z[k];
                    expect.NewUx[k] = expect.Ux[k];
                    expect.NewUy[k] = expect.Uy[k];
                    expect.NewUz[k] = expect.Uz[k];
                }
            Require(Data().DocumentName == c.path && ReadStartFile() == c.path,
                    "OK: the names are not the new document's");
        } else {
            Require(Data().DocumentName == name && ReadStartFile() == start, "a dialog save changed the names");
        }
        Require(StateImage(State()) == StateImage(expect), "a dialog save: the state is not as it must be");
        // The field shows the chosen name until a failure's repaint puts the
        // document name back.
        if (!ok)
            Require(d.EditFileName->text() == (c.kind == Kind::Cancel ? fileField
                                               : written             ? QString::fromStdString(c.path)
                                                                     : QString::fromStdString(Data().DocumentName)),
                    "dialog Save As: the file name field");
    }

    void DialogSaveAs() { WriteFromDialog(false); }

    void Calculator() {
        TEditDlg& d = Dlg();
        const int n = 1 + static_cast<int>(Pick(4));
        const DistanceCalculator& c = d.Calculators[static_cast<std::size_t>(n - 1)];
        if (Chance(15)) {
            Note("Reset " + std::to_string(n));
            QTest::mouseClick(c.Reset, Qt::LeftButton);
            Require(c.Part1->text() == "0" && c.Part2->text() == "0" && c.Result->text() == "0", "Reset");
            return;
        }
        if (Chance(70)) {
            c.Part1->setText(QString::fromLatin1(OneOf(kRowTexts)));
            c.Part2->setText(QString::fromLatin1(OneOf(kRowTexts)));
        }
        Note("Calculate " + std::to_string(n) + " for '" + c.Part1->text().toStdString() + "' and '" +
             c.Part2->text().toStdString() + "'");
        const QString result = c.Result->text();
        QTest::mouseClick(c.Calculate, Qt::LeftButton);
        if (messages_.size() != firstMessage_) {
            Require(c.Result->text() == result, "a failed calculation changed the result");
            return;
        }
        // The distance of the two rows as the grid shows them.
        const char sep = TMainForm::Separator();
        auto row = [&](const QString& text) {
            const int i = common::ParseInt(text.toStdString());
            GridPoint p{};
            for (int col = 1; col <= 3; ++col)
                p[static_cast<std::size_t>(col - 1)] = common::ParseReal(d.Grid->Cell(col, i).toStdString(), sep);
            return p;
        };
        try {
            const long double dist = PointDistance(row(c.Part1->text()), row(c.Part2->text()));
            Require(c.Result->text() == Shown(dist),
                    "Calculate: not the distance of the rows");
        } catch (const common::AppError& e) {
            Require(false, std::string("Calculate gave a result where it must fail: ") + e.what());
        }
    }

    void CloseDialog() {
        TEditDlg& d = Dlg();
        switch (Pick(5)) {
            case 0:
            case 1:
                WriteFromDialog(true);
                return;
            case 2:
                Note("Cancel");
                QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
                break;
            case 3:
                Note("Esc");
                QTest::keyClick(Chance(50) ? static_cast<QWidget*>(&d) : d.EditY, Qt::Key_Escape);
                break;
            default:
                Note("close the dialog");
                d.close();
                break;
        }
        Require(!d.isVisible() && d.result() == QDialog::Rejected, "the dialog did not close with Cancel");
        Require(StateImage(State()) == StateImage(Unchanged()), "closing the dialog changed the state");
    }

    // ---- invariants -------------------------------------------------------------

    // Between steps the working copy equals the committed copy, but for
    // slots "&Yes" has changed since they last were equal.
    void CheckCopies(const std::string& when) {
        std::set<int> differ;
        for (int k : WorkingCopyDiffers(State())) differ.insert(k);
        for (auto it = dirty_.begin(); it != dirty_.end();) it = differ.count(*it) ? std::next(it) : dirty_.erase(it);
        for (int k : differ)
            Require(dirty_.count(k) != 0, when + ": the working copy differs from the committed one in slot " +
                                              std::to_string(k));
    }

    void CheckIdle() {
        TMainForm& f = Form();
        Require(State().Stopped, "idle, but Stopped is false");
        if (f.isVisible())
            Require(f.Go->text() == "Go" && f.ShapeLime->BrushColor() == QColor(0, 255, 0) &&
                        f.ShapeRed->BrushColor() == QColor(128, 0, 0) && f.Images->menuAction()->isEnabled(),
                    "idle, but the window does not look idle");
        Require(f.Go->isEnabled() == !State().SpiralMode, "Go is enabled in the spiral or disabled with taons");
        Require(!Dlg().isVisible(), "the edit dialog is open while idle");
        CheckCopies("idle");
    }
    void CheckRunningLook() {
        TMainForm& f = Form();
        Require(f.Go->text() == "Stop" && f.ShapeLime->BrushColor() == QColor(0, 128, 0) &&
                    f.ShapeRed->BrushColor() == QColor(255, 0, 0) && !f.Images->menuAction()->isEnabled() &&
                    !f.Daons1->isEnabled() && !f.Spiral1->isEnabled() && !f.Null00->isEnabled(),
                "running, but the window does not look it");
    }
    void CheckBetweenSteps(bool stepped) {
        CheckRunningLook();
        if (stepped && State().TimeDisplayOn)
            Require(Form().LTime->text() == QString::number(State().StepCount),
                    "the time display " + Form().LTime->text().toStdString() + " is not the step count " +
                        std::to_string(State().StepCount));
        CheckCopies("between steps");
    }

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
    std::optional<long double> dtLeft_;
    std::vector<std::string> dtBadText_;
    std::optional<std::pair<std::string, std::string>> commentary_;
    std::set<int> dirty_;
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

unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* v = std::getenv(name);
    return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : fallback;
}

TEST(SphaeronMonkey, RandomUserActions) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const unsigned seed = EnvNumber("SPHAERON_MONKEY_SEED", 20250611);
    const int actions = static_cast<int>(EnvNumber("SPHAERON_MONKEY_ACTIONS", 10000));
    std::string failure, summary;
    int done = 0;
    {
        Monkey monkey(seed, actions);
        failure = monkey.Run();
        done = monkey.Done();
        summary = monkey.Summary();
    }
    if (!failure.empty()) ADD_FAILURE() << failure;
    EXPECT_GE(done, actions);
    std::printf("%s\n", summary.c_str());
    RecordProperty("seed", static_cast<int>(seed));
    QLocale::setDefault(QLocale::c());
}

}  // namespace
}  // namespace sphaeron::forms::testing

// A seeded random sequence of user actions on the Duoplex window under the
// offscreen platform: buttons, menu commands and shortcuts, good and bad
// texts in every field, radio buttons and check boxes, runs started and
// stopped, documents opened and saved through scripted dialogs (bad files
// included). After every action: nothing escaped a handler, the window's run
// look matches the state, every message is one of the system's texts, the
// outcome of a command is the one it must have, and no file was written
// outside the test's temporary folder.
//
// DUOPLEX_MONKEY_SEED chooses the sequence (a failure prints it), and
// DUOPLEX_MONKEY_ACTIONS its length (tests/support/monkey.h).
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cfloat>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <limits>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/fpcheck.h"
#include "common/numtext.h"
#include "duoplex/core/planar_step.h"
#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"
#include "monkey_pool.h"
#include "tests/support/app_environment.h"
#include "tests/support/monkey.h"
#include "tests/support/sandbox.h"
#include "tests/support/typing.h"

namespace duoplex::forms {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ReadBytes;
using testing::StateImage;
using testing::WriteBytes;
using namespace monkey;

// ---------------------------------------------------------------------------
// The process: a temporary folder that holds the documents and stands in for
// the home, configuration, cache and working folders, and an application
// object that catches whatever a handler lets escape.

std::vector<std::string> gEscaped;

class MonkeyApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            gEscaped.push_back(e.what());
        } catch (...) {
            gEscaped.push_back("(not a standard exception)");
        }
        return false;
    }
};

testsupport::Sandbox gFolders;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(
    new testsupport::SandboxedApplication<MonkeyApplication>(gFolders, "duoplex-monkey"));

// The document names and the temporary names beside them, seen written
// outside the temporary folder; other programs' files in those shared
// folders are none of the window's doing.
bool OneOfOurNames(const std::string& name) {
    return name.rfind(".duoplex-", 0) == 0 || name.rfind(".grav") != std::string::npos || name == "notes.md";
}

class OutsideWrites : public testsupport::OutsideWrites {
public:
    OutsideWrites() : testsupport::OutsideWrites(gFolders, OneOfOurNames) {}
};

const char* const kGoodTexts[] = {"0",       "1",     "-2",       "3,5",     "0,424",   "2",      "5",
                                  "1E3",     "-1,5E-7", "  2,25 ", "1E-4950", "1,18E4932", "0,05", "0,001",
                                  "-4362",   "7,5",   "+3",       "0,0",     "2,",      ",5"};
const char* const kBadTexts[] = {"",     "abc", "1.5",    "1,2,3", "--1",  "1e99999", "NAN", "INF",
                                 "1 2",  ",",   "e5",     "1E",    "0x10", "\xc3\xa9", "-",   "1,5;"};

struct Message {
    std::string text;
    bool namesAField;  // the conversion text of a field's text at that moment
};

struct MonkeyDialogs : common::qt::Dialogs {
    TMainForm* form = nullptr;
    std::deque<FileChoice> answers;
    std::vector<Message> messages;
    std::vector<std::string> questions;
    bool yes = false;  // the answer to the next question
    int asked = 0;

    std::optional<QString> Answer() {
        ++asked;
        if (answers.empty()) return std::nullopt;
        FileChoice c = answers.front();
        answers.pop_front();
        if (c.kind == Kind::Cancel) return std::nullopt;
        return QString::fromStdString(c.path);
    }
    std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&) override { return Answer(); }
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&) override { return Answer(); }
    void Information(QWidget* parent, const QString& text) override { Failure(parent, text); }
    bool Confirm(QWidget*, const QString& text) override {
        questions.push_back(text.toStdString());
        return yes;
    }
    void Failure(QWidget*, const QString& text) override {
        Message m{text.toStdString(), false};
        std::vector<QLineEdit*> fields = {form->EditDifferent};
        for (Field f : kAllFields)
            for (int k = 1; k <= kGravons; ++k) fields.push_back(form->Edit(f, k));
        for (QLineEdit* e : fields)
            if (common::InvalidRealText(e->text().toStdString()) == m.text) m.namesAField = true;
        messages.push_back(m);
    }
};

using testsupport::IsArithmeticText;
using testsupport::IsFileText;

// A message a redraw may bring: an arithmetic fault or an A edit that does
// not hold a number.
bool IsDrawingText(const Message& m) { return IsArithmeticText(m.text) || m.namesAField; }

class Monkey {
public:
    Monkey() : run_("DUOPLEX", 20240607, 10000) {
        dialogs_.form = nullptr;
        form_ = std::make_unique<TMainForm>(dialogs_);
        dialogs_.form = form_.get();
        openChoices_ = MakeOpenChoices(gFolders.docs, run_.Random());
        saveChoices_ = MakeSaveChoices(gFolders.docs);
        form_->show();
        form_->activateWindow();
        (void)QTest::qWaitForWindowActive(form_.get());
        feeder_.setInterval(0);
        QObject::connect(&feeder_, &QTimer::timeout, [this] { Feed(); });
    }

    // Returns the first failure, or "" when the whole sequence held.
    std::string Run() {
        if (!outside_.Watching()) return "no folder outside could be watched";
        Require(dialogs_.messages.empty(), "the start-up showed a message");
        while (!run_.Over()) {
            feeder_.start();
            inRun_ = false;
            Act(false);
            feeder_.stop();
            if (run_.Failure().empty()) Require(form_->Session.Stopped(), "a run outlived its Go click");
            if (run_.Failure().empty()) CheckIdleLook();
        }
        if (run_.Failure().empty()) CheckPicture();
        form_->close();
        return run_.Failure();
    }
    int Done() const { return run_.Done(); }
    int Target() const { return run_.Target(); }
    unsigned Seed() const { return run_.Seed(); }

    std::string Summary() const {
        int file = 0, arithmetic = 0;
        for (const Message& m : dialogs_.messages) {
            file += IsFileText(m.text);
            arithmetic += IsArithmeticText(m.text);
        }
        std::ostringstream out;
        out << "seed " << run_.Seed() << ": " << run_.Done() << " actions, " << betweenSteps_ << " of them between the steps of "
            << runs_ << " runs; " << dialogs_.messages.size() << " messages (" << file << " file, " << arithmetic
            << " arithmetic, " << dialogs_.messages.size() - file - arithmetic << " conversion); " << opened_
            << " documents opened, " << saved_ << " saved, " << dialogs_.questions.size() << " questions";
        return out.str();
    }

private:
    unsigned Pick(unsigned n) { return run_.Pick(n); }
    bool Chance(unsigned percent) { return run_.Chance(percent); }
    void Require(bool ok, const std::string& what) { run_.Require(ok, what); }
    void Note(const std::string& action) { run_.Note(form_->Session.Stopped() ? "idle" : "running", action); }

    // Between two steps of a run.
    void Feed() {
        if (form_->Session.Stopped() || feeding_) return;
        feeding_ = true;
        if (!inRun_) ++runs_;
        inRun_ = true;
        ++betweenSteps_;
        CheckBetweenSteps();
        if (run_.Over()) {
            form_->Go->click();  // the sequence is over: stop the run
        } else {
            Act(true);
            if (!form_->Session.Stopped()) {
                Require(form_->Session.State().Snapshot == runSnapshot_, "the snapshot changed during a run");
                CheckRunningLook();
            }
        }
        feeding_ = false;
    }

    // ----- the actions -----------------------------------------------------

    QLineEdit* RandomField() {
        unsigned n = Pick(kGravons * kFieldCount + 1);
        if (n == 0) return form_->EditDifferent;
        --n;
        return form_->Edit(kAllFields[n % kFieldCount], 1 + static_cast<int>(n / kFieldCount));
    }

    std::string RandomText() {
        switch (Pick(3)) {
            case 0: return kGoodTexts[Pick(std::size(kGoodTexts))];
            case 1: return kBadTexts[Pick(std::size(kBadTexts))];
            default: {
                static const char alphabet[] = "0123456789,,,.-+eE ";
                std::string t;
                for (unsigned i = 0, n = Pick(9); i < n; ++i) t += alphabet[Pick(sizeof alphabet - 1)];
                return t;
            }
        }
    }

    static void Type(QLineEdit* edit, const QString& text) { testsupport::TypeText(edit, text); }

    QRadioButton* RandomRadio() {
        QRadioButton* const radios[] = {form_->Brake1, form_->Brake2, form_->Brake3,       form_->Brake4,
                                        form_->Brake5, form_->Sc1,    form_->Sc2,          form_->RadioButton1,
                                        form_->F_PE,   form_->F_PES,  form_->GravoNew,     form_->F_PE1,
                                        form_->F_PE2,  form_->F_PES_Swi, form_->F_PE_PES,  form_->TwoGravons,
                                        form_->ThreeGravons};
        return radios[Pick(std::size(radios))];
    }

    // What must not change across an action that touches no document.
    struct Look {
        std::string state;
        std::vector<QString> texts;
    };
    // `EditDifferent` and the 24 gravon edits.
    std::vector<QLineEdit*> Fields() const {
        std::vector<QLineEdit*> fields = {form_->EditDifferent};
        for (Field f : kAllFields)
            for (int k = 1; k <= kGravons; ++k) fields.push_back(form_->Edit(f, k));
        return fields;
    }
    Look Now() const {
        Look l{StateImage(form_->Session.State()), {}};
        for (QLineEdit* e : Fields()) l.texts.push_back(e->text());
        l.texts.push_back(form_->LTime->text());
        return l;
    }
    bool Same(const Look& a, const Look& b) const { return a.state == b.state && a.texts == b.texts; }

    void Act(bool running) {
        run_.Count();
        const std::size_t firstMessage = dialogs_.messages.size();
        if (!running && !form_->isVisible()) {  // after "Exit": the window again
            Note("show the window again");
            form_->show();
            form_->activateWindow();
            (void)QTest::qWaitForWindowActive(form_.get());
        }
        const std::size_t actionMessage = dialogs_.messages.size();  // after the redraw of the showing
        const Look before = Now();
        const bool idle = form_->Session.Stopped();
        if (!running) runSnapshot_ = form_->Session.State().Snapshot;
        // A control that reads nothing: the state stays, and so do the
        // fields but the one typed into; no message.
        bool readsNothing = false;
        QLineEdit* typedInto = nullptr;

        try {
            unsigned what = Pick(100);
            if (what < 22) {
                QLineEdit* edit = RandomField();
                std::string text = RandomText();
                QString q = QString::fromUtf8(text.c_str());
                const std::string name = edit->objectName().toStdString();
                switch (Pick(3)) {
                    case 0:
                        Note("set " + name + " to '" + text + "'");
                        edit->setText(q);
                        break;
                    case 1:
                        Note("type '" + text + "' over " + name);
                        edit->selectAll();
                        Type(edit, q);
                        break;
                    default:
                        Note("type '" + text + "' and a backspace at the end of " + name);
                        edit->end(false);
                        Type(edit, q);
                        QTest::keyClick(edit, Qt::Key_Backspace);
                        break;
                }
                readsNothing = true;
                typedInto = edit;
            } else if (what < 38) {
                QRadioButton* r = RandomRadio();
                Note("click " + r->objectName().toStdString());
                if (Chance(50))
                    QTest::mouseClick(r, Qt::LeftButton);
                else
                    r->click();
                readsNothing = true;
            } else if (what < 42) {
                Note("click ShowTime");
                QTest::mouseClick(form_->ShowTime, Qt::LeftButton);
                readsNothing = true;
            } else if (what < 44) {
                int page = static_cast<int>(Pick(3));
                Note("page " + std::to_string(page + 1));
                form_->PageControl1->setCurrentIndex(page);
                readsNothing = true;
            } else if (what < 52) {
                NewDifferent(before);
            } else if (what < 60) {
                RefreshCommand(before, idle);
            } else if (what < 72) {
                // Go or Stop by mouse, Enter or Esc; from idle a run goes on
                // inside this action until an action between its steps ends it.
                switch (Pick(3)) {
                    case 0:
                        Note("click Go");
                        QTest::mouseClick(form_->Go, Qt::LeftButton);
                        break;
                    case 1:
                        Note("Enter");
                        QTest::keyClick(form_.get(), Qt::Key_Return);
                        break;
                    default:
                        Note("Esc");
                        QTest::keyClick(form_.get(), Qt::Key_Escape);
                        break;
                }
                if (!running) Require(form_->Session.State().Snapshot == runSnapshot_, "a run changed the snapshot");
                if (!idle) Require(form_->Session.Stopped() || run_.Recent().back().find("Enter") != std::string::npos,
                                   "Stop did not stop the run");
            } else if (what < 77) {
                NewCommand(before);
            } else if (what < 86) {
                OpenCommand(before, idle);
            } else if (what < 95) {
                SaveCommand(before);
            } else if (what < 97) {
                Note("paint");
                form_->FormPaint();
            } else if (Chance(50)) {
                Note("Exit");
                form_->Exit1->trigger();
            } else {
                Note("Alt+X");
                QTest::keyClick(form_.get(), Qt::Key_X, Qt::AltModifier);
            }
        } catch (const std::exception& e) {
            Require(false, std::string("an exception escaped: ") + e.what());
        }

        if (!gEscaped.empty()) Require(false, "an exception escaped a handler: " + gEscaped.front());
        for (std::size_t i = firstMessage; i < dialogs_.messages.size(); ++i) {
            const Message& m = dialogs_.messages[i];
            run_.Shown(m.text, IsFileText(m.text) || IsArithmeticText(m.text) || m.namesAField);
        }
        if (readsNothing) {
            Look now = Now();
            Require(now.state == before.state, "a control that reads nothing changed the state");
            const std::vector<QLineEdit*> fields = Fields();
            for (std::size_t i = 0; i < now.texts.size(); ++i)
                if (i >= fields.size() || fields[i] != typedInto)
                    Require(now.texts[i] == before.texts[i], "a control changed a field it does not own");
            Require(dialogs_.messages.size() == actionMessage, "a control that reads nothing showed a message");
        }
        for (const std::string& w : outside_.Drain()) Require(false, "written outside the test's folder: " + w);
        if (run_.Done() % 500 == 0) CheckPicture();
    }

    void NewDifferent(const Look& before) {
        std::string text = form_->EditDifferent->text().toStdString();
        Note("New Different with '" + text + "'");
        std::size_t first = dialogs_.messages.size();
        const bool idle = form_->Session.Stopped();
        QTest::mouseClick(form_->NewDiff, Qt::LeftButton);
        try {
            long double dt = common::ParseReal(text, form_->Separator());
            Require(dialogs_.messages.size() == first, "New Different with a number showed a message");
            Require(form_->Session.State().DT == dt, "New Different did not take the step");
        } catch (const common::ConvertError& e) {
            Require(dialogs_.messages.size() == first + 1 && dialogs_.messages[first].text == e.what(),
                    "New Different with '" + text + "' did not show its text");
            Require(Same(Now(), before), "a failed New Different changed something");
        }
        Require(form_->Session.Stopped() == idle, "New Different changed the run");
    }

    void NewCommand(const Look& before) {
        bool byKey = Chance(50);
        Note(byKey ? "F2" : "New");
        std::size_t first = dialogs_.messages.size();
        if (byKey)
            QTest::keyClick(form_.get(), Qt::Key_F2);
        else
            form_->New1->trigger();
        PlanarState expected;
        ResetToNewValues(expected);
        for (Field f : kAllFields)
            for (int k = 1; k <= kGravons; ++k)
                Require(Value(form_->Session.State(), f, k) == Value(expected, f, k), "New did not set the New values");
        Require(form_->Session.State().DT == 0.005L && form_->EditDifferent->text() == Format(0.005L), "New: time step");
        Require(form_->Session.State().Snapshot == runSnapshot_, "New changed the snapshot");
        Require(StateImage(form_->Session.State()).substr(512) == before.state.substr(512),
                "New changed the step count, the run or the marks");
        Require(dialogs_.messages.size() == first, "New showed a message");
    }

    QString Format(long double v) const { return QString::fromStdString(common::FormatReal(v, form_->Separator())); }

    void RefreshCommand(const Look& before, bool idle) {
        const FunctionChoice f = CheckedFunction();
        const bool three = form_->ThreeGravons->isChecked();
        Note(std::string("Refresh with ") + FunctionName(f) + (three ? " three" : ""));
        std::size_t first = dialogs_.messages.size();
        // What the typed values give with GravoNew, up to the first bad one.
        std::optional<std::string> bad;
        long double typed[kFieldCount][4] = {};
        if (f == FunctionChoice::GravoNew)
            for (int k = 1; k <= kGravons && !bad; ++k)
                for (int i = 0; i < kFieldCount && !bad; ++i) {
                    std::string t = form_->Edit(kAllFields[i], k)->text().toStdString();
                    try {
                        typed[i][k] = common::ParseReal(t, form_->Separator());
                    } catch (const common::ConvertError& e) {
                        bad = e.what();
                    }
                }
        QTest::mouseClick(form_->Refresh, Qt::LeftButton);
        if (!idle) {
            Require(Same(Now(), before) && dialogs_.messages.size() == first, "Refresh acted during a run");
            return;
        }
        if (bad) {
            Require(dialogs_.messages.size() == first + 1 && dialogs_.messages[first].text == *bad,
                    "Refresh with a bad field did not show its text");
            Require(Bytes(form_->Session.State().Snapshot) == before.state.substr(256, 256), "a failed Refresh took a snapshot");
            Require(form_->Session.State().StepCount == *reinterpret_cast<const std::int32_t*>(before.state.data() + 512),
                    "a failed Refresh reset the step count");
            return;
        }
        GravRecord snap = DecodeGravRecord(form_->Session.State().Snapshot);
        std::optional<StartConfiguration> c = RefreshConfiguration(f, three);
        for (int k = 1; k <= kGravons; ++k)
            for (int i = 0; i < kFieldCount; ++i) {
                Field field = kAllFields[i];
                long double v;
                if (c) {
                    const auto& g = c->g[k - 1];
                    const long double values[kFieldCount] = {g.A, g.B, g.C, g.D, g.X, g.Y, 0.0L, 0.0L};
                    v = values[i];
                } else {
                    v = typed[i][k];
                }
                // Positions and speeds are stored as their edits show them.
                long double stored = i < 4 ? v : common::ParseReal(common::FormatReal(v, form_->Separator()),
                                                                   form_->Separator());
                Require(Value(snap, field, k) == stored, "Refresh stored a wrong snapshot");
                if (i != 0) Require(Value(form_->Session.State(), field, k) == v, "Refresh set a wrong value");
            }
        Require(snap.DT == (c ? c->DT : kGravoNewDT) && form_->Session.State().DT == snap.DT, "Refresh: time step");
        Require(form_->Session.State().StepCount == 0 && form_->LTime->text() == "0", "Refresh did not reset the step count");
        for (std::size_t i = first; i < dialogs_.messages.size(); ++i)
            Require(c ? false : IsArithmeticText(dialogs_.messages[i].text),
                    "Refresh showed '" + dialogs_.messages[i].text + "'");
        runSnapshot_ = form_->Session.State().Snapshot;
    }

    FunctionChoice CheckedFunction() const {
        for (FunctionChoice f : kAllFunctions)
            if (form_->FunctionButton(f)->isChecked()) return f;
        return FunctionChoice::F_PE;
    }

    void OpenCommand(const Look& before, bool idle) {
        FileChoice c = openChoices_[Pick(static_cast<unsigned>(openChoices_.size()))];
        // Now and then a document this run saved.
        if (Chance(20) && fs::is_regular_file(gFolders.docs + "/out1.grav"))
            c = {gFolders.docs + "/out1.grav", Kind::Good};
        bool byKey = Chance(50);
        Note(std::string(byKey ? "F3" : "Open") + " " + (c.kind == Kind::Cancel ? "(cancel)" : c.path.substr(0, 60)));
        dialogs_.answers = {c};
        const int asked = dialogs_.asked;
        std::size_t first = dialogs_.messages.size();
        const std::string bytes = c.kind == Kind::Good ? ReadBytes(c.path) : "";
        const std::size_t questions = dialogs_.questions.size();
        dialogs_.yes = Chance(70);  // to "Open its first 256 bytes anyway?"
        if (byKey)
            QTest::keyClick(form_.get(), Qt::Key_F3);
        else
            form_->Open1->trigger();
        const bool longer = idle && bytes.size() > kGravRecordSize;
        Require(dialogs_.questions.size() == questions + (longer ? 1u : 0u), "Open: the question about the size");
        if (longer && !dialogs_.yes) {
            Require(Same(Now(), before) && dialogs_.messages.size() == first, "Open answered No changed something");
            return;
        }
        if (!idle) {
            Require(dialogs_.asked == asked && Same(Now(), before) && dialogs_.messages.size() == first,
                    "Open acted during a run");
            dialogs_.answers.clear();
            return;
        }
        Require(dialogs_.asked == asked + 1, "Open did not ask for a file");
        static const std::map<Kind, std::string> texts = {{Kind::Short, "Read beyond end of file"},
                                                          {Kind::Folder, "File access denied"},
                                                          {Kind::Missing, "File not found"},
                                                          {Kind::LongName, "Invalid filename"}};
        if (c.kind == Kind::Cancel || texts.count(c.kind)) {
            std::vector<std::string> expected;
            if (c.kind != Kind::Cancel) expected.push_back(texts.at(c.kind));
            std::vector<std::string> got;
            for (std::size_t i = first; i < dialogs_.messages.size(); ++i) got.push_back(dialogs_.messages[i].text);
            Require(got == expected, "Open of a bad file or a cancel: wrong message");
            Require(Same(Now(), before), "a failed or cancelled Open changed something");
            return;
        }
        Require(bytes.size() >= kGravRecordSize, "the pool's document is short");
        Require(Bytes(form_->Session.State().Snapshot) == bytes.substr(0, kGravRecordSize), "Open: snapshot is not the file");
        GravBytes record{};
        std::copy(bytes.begin(), bytes.begin() + kGravRecordSize, record.begin());
        GravRecord r = DecodeGravRecord(record);
        const char sep = form_->Separator();
        for (int k = 1; k <= kGravons; ++k)
            for (Field f : kAllFields) {
                long double want = Value(r, f, k), got = Value(form_->Session.State(), f, k);
                bool same = std::memcmp(&want, &got, 10) == 0;
                if (f == Field::A && !same) {  // the frame reads A back from its edit
                    try {
                        same = got == common::ParseReal(common::FormatReal(want, sep), sep);
                    } catch (const common::ConvertError&) {
                    }
                }
                Require(same, "Open: a value is not the file's");
                Require(form_->Edit(f, k)->text() == Format(want), "Open: a field does not show the file's value");
            }
        long double dt = form_->Session.State().DT;
        Require(std::memcmp(&dt, &r.DT, 10) == 0 && form_->EditDifferent->text() == Format(r.DT), "Open: time step");
        Require(form_->Session.State().StepCount == *reinterpret_cast<const std::int32_t*>(before.state.data() + 512),
                "Open changed the step count");
        for (std::size_t i = first; i < dialogs_.messages.size(); ++i)
            Require(IsDrawingText(dialogs_.messages[i]), "Open showed '" + dialogs_.messages[i].text + "'");
        runSnapshot_ = form_->Session.State().Snapshot;
        ++opened_;
    }

    void SaveCommand(const Look& before) {
        FileChoice c = saveChoices_[Pick(static_cast<unsigned>(saveChoices_.size()))];
        Note("Save as " + (c.kind == Kind::Cancel ? std::string("(cancel)") : c.path.substr(0, 60)));
        dialogs_.answers = {c};
        std::size_t first = dialogs_.messages.size();
        const std::size_t questions = dialogs_.questions.size();
        if (c.kind == Kind::NotADocument) {
            WriteBytes(c.path, kNotes);
            dialogs_.yes = Chance(50);
        }
        std::error_code ec;
        const bool file = fs::is_regular_file(c.path, ec);
        const std::string old = file ? ReadBytes(c.path) : "";
        const auto files = Documents();
        form_->Save1->trigger();
        std::vector<std::string> got;
        for (std::size_t i = first; i < dialogs_.messages.size(); ++i) got.push_back(dialogs_.messages[i].text);
        static const std::map<Kind, std::string> texts = {{Kind::ReadOnlyFile, "File access denied"},
                                                          {Kind::ReadOnlyFolder, "File access denied"},
                                                          {Kind::Folder, "File access denied"},
                                                          {Kind::Missing, "File not found"},
                                                          {Kind::LongName, "Invalid filename"}};
        Require(Same(Now(), before), "Save as changed the state or a field");
        const std::vector<std::string> asked(dialogs_.questions.begin() + static_cast<std::ptrdiff_t>(questions),
                                             dialogs_.questions.end());
        Require(asked == (c.kind == Kind::NotADocument ? std::vector<std::string>{kNotesQuestion}
                                                         : std::vector<std::string>{}),
                "Save as asked the wrong question");
        if (c.kind == Kind::NotADocument && !dialogs_.yes) {
            Require(got.empty() && ReadBytes(c.path) == kNotes && Documents() == files, "No to the question wrote");
            return;
        }
        if (c.kind == Kind::Good || c.kind == Kind::Relative || c.kind == Kind::NotADocument) {
            std::string path = c.kind == Kind::Relative ? gFolders.root + "/cwd/" + c.path : c.path;
            Require(got.empty(), "Save as to a good name showed a message");
            Require(ReadBytes(path) == Bytes(form_->Session.State().Snapshot), "Save as did not write the snapshot");
            auto now = Documents();
            now.erase(path);
            auto was = files;
            was.erase(path);
            Require(now == was, "Save as left another file behind");
            ++saved_;
            return;
        }
        std::vector<std::string> expected;
        if (c.kind != Kind::Cancel) expected.push_back(texts.at(c.kind));
        Require(got == expected, "Save as to a bad name or a cancel: wrong message");
        Require(Documents() == files, "a failed Save as changed a file");
        Require(!file || ReadBytes(c.path) == old, "a failed Save as changed the file");
    }

    // The files where the documents are saved: the documents' folder and
    // the working folder.
    static std::map<std::string, std::string> Documents() {
        auto files = testing::Listing(gFolders.docs);
        files.merge(testing::Listing(gFolders.root + "/cwd"));
        return files;
    }

    // ----- invariants ----------------------------------------------------------

    void CheckIdleLook() {
        Require(form_->Go->text() == "Go" && form_->Refresh->isEnabled() && form_->Open1->isEnabled() &&
                    form_->ShapeRed->BrushColor() == common::qt::ToQColor(common::kMaroon) &&
                    // dark green until the first run, lime after it
                    (form_->ShapeLime->BrushColor() == common::qt::ToQColor(common::kLime) ||
                     form_->ShapeLime->BrushColor() == common::qt::ToQColor(common::kGreen)),
                "idle, but the window does not look idle");
    }
    void CheckRunningLook() {
        Require(form_->Go->text() == "Stop" && !form_->Refresh->isEnabled() && !form_->Open1->isEnabled() &&
                    form_->ShapeRed->BrushColor() == common::qt::ToQColor(common::kRed) && form_->ShapeLime->BrushColor() == common::qt::ToQColor(common::kGreen),
                "running, but the window does not look it");
    }
    // Right after a step and its frame: the step count shown when "Show
    // Time" is checked, and in two-gravon mode the live values of the frame.
    void CheckBetweenSteps() {
        if (form_->ShowTime->isChecked())
            Require(form_->LTime->text() == QString::number(form_->Session.State().StepCount), "Show Time: not the step count");
        if (!form_->TwoGravons->isChecked()) return;
        const std::pair<Field, int> live[] = {{Field::A, 3}, {Field::X, 3}, {Field::Y, 1}, {Field::Y, 2}};
        for (auto [f, k] : live)
            Require(form_->Edit(f, k)->text() == Format(Value(form_->Session.State(), f, k)), "a live value is not shown");
    }

    // Only the scene's colours on the drawing field.
    void CheckPicture() {
        const QImage& p = form_->Picture();
        static const std::set<common::Rgb> colours = {common::kBlack, common::kRed, common::kLime, common::kYellow,
                                                      common::kAqua};
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                if (!colours.count(p.pixel(x, y) & 0xFFFFFFu)) {
                    Require(false, "a pixel of a colour the scene never draws");
                    return;
                }
    }

    testsupport::MonkeyRun run_;
    MonkeyDialogs dialogs_;
    std::unique_ptr<TMainForm> form_;
    std::vector<FileChoice> openChoices_, saveChoices_;
    QTimer feeder_;
    bool feeding_ = false, inRun_ = false;
    int runs_ = 0, betweenSteps_ = 0, opened_ = 0, saved_ = 0;
    GravBytes runSnapshot_{};
    OutsideWrites outside_;
};

TEST(DuoplexMonkey, RandomUserActions) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Monkey monkey;
    std::string failure = monkey.Run();
    EXPECT_EQ(failure, "") << "seed " << monkey.Seed();
    EXPECT_GE(monkey.Done(), monkey.Target());
    std::printf("%s\n", monkey.Summary().c_str());
    RecordProperty("seed", static_cast<int>(monkey.Seed()));
    QLocale::setDefault(QLocale::c());
}

}  // namespace
}  // namespace duoplex::forms

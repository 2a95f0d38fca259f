#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>

#include <gtest/gtest.h>

#include "common/ext80.h"
#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

using testing::ScriptedDialogs;
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

class DuoplexForm : public ::testing::Test {
protected:
    explicit DuoplexForm(QLocale locale = QLocale(QLocale::German, QLocale::Germany)) {
        QLocale::setDefault(locale);
        form = std::make_unique<TMainForm>(dialogs);
    }
    ~DuoplexForm() override { QLocale::setDefault(QLocale::c()); }

    std::string Text(Field f, int k) const { return form->Edit(f, k)->text().toStdString(); }
    void Type(Field f, int k, const char* text) { form->Edit(f, k)->setText(QString::fromUtf8(text)); }
    GravRecord Snapshot() const { return DecodeGravRecord(form->Session.State().Snapshot); }
    common::Rgb Pixel(int x, int y) const { return form->Picture().pixel(x, y) & 0xFFFFFF; }

    // Runs until `act` returns true; it is called between steps.
    void RunUntil(std::function<bool(int)> act) {
        int n = 0;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (act(++n)) timer.stop();
        });
        timer.start();
        form->GoClick();
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

TEST_F(DuoplexForm, StartUpWindow) {
    EXPECT_EQ(form->windowTitle(), "Duoplex");
    EXPECT_EQ(form->centralWidget()->size(), QSize(793, 526));
    // The field is 495 pixels wide, the panel fills the rest to the right.
    QWidget* client = form->centralWidget();
    EXPECT_EQ(client->childAt(494, 300), form->DrawingField);
    EXPECT_TRUE(form->Panel1->isAncestorOf(client->childAt(495, 300)) || client->childAt(495, 300) == form->Panel1);
    EXPECT_TRUE(form->Panel1->isAncestorOf(client->childAt(792, 525)) || client->childAt(792, 525) == form->Panel1);
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(form->PageControl1->currentIndex(), 2);
    EXPECT_EQ(form->PageControl1->tabText(2), "B3");
    const char* g1[] = {"3", "2", "0,424", "5", "-2", "3", "0", "0"};
    for (int f = 0; f < kFieldCount; ++f) EXPECT_EQ(Text(kAllFields[f], 1), g1[f]);
    EXPECT_EQ(form->EditDifferent->text(), "0,05");
    EXPECT_EQ(form->EditLabel(Field::D, 2)->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_TRUE(form->F_PE->isChecked());
    EXPECT_TRUE(form->Brake1->isChecked());
    EXPECT_TRUE(form->TwoGravons->isChecked());
    EXPECT_EQ(form->Go->text(), "Go");

    form->show();
    EXPECT_EQ(Pixel(155, 415), common::kRed);
    EXPECT_EQ(Pixel(365, 417), common::kRed);
    EXPECT_EQ(Pixel(148 - 112, 416), common::kYellow);
    form->close();
}

TEST_F(DuoplexForm, SaveRightAfterStartWritesWhatIsShown) {
    ScratchDir dir;
    std::string path = dir.File("start.grav");
    dialogs.save.push_back(QString::fromStdString(path));
    form->Save1Click();
    // The start-up values as 80-bit numbers, field after field, each for
    // gravons 1, 2, 3; then DT 0.05 and six zero bytes.
    const char* const three = "00000000000000c00040", *two = "00000000000000800040", *zero = "00000000000000000000",
                      *c424 = "ba490c022b8716d9fd3f", *five = "00000000000000a00140";
    const std::string hex = std::string(three) + three + zero +                         // A
                            two + two + three +                                         // B
                            c424 + c424 + c424 +                                        // C
                            five + five + two +                                         // D
                            "000000000000008000c0" + two + "00000000000050880bc0" +     // X: -2, 2, -4362
                            three + three + "33333333333333f30040" +                    // Y: 3, 3, 3.8
                            zero + zero + zero + zero + zero + zero +                   // speeds
                            "cdccccccccccccccfa3f" + "000000000000";                    // DT, unused
    std::string expected;
    for (std::size_t i = 0; i < hex.size(); i += 2) expected += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    ASSERT_EQ(expected.size(), 256u);
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(DuoplexForm, RefreshLoadsEachStartConfiguration) {
    // The data table: X and A of the three gravons, C of gravon 1 and DT.
    const struct {
        FunctionChoice f;
        bool three;
        long double x[3], a[3], c1, dt;
    } rows[] = {
        {FunctionChoice::F_PE, false, {-2, 2, -4362}, {3, 3, 0}, 0.424L, 0.05L},
        {FunctionChoice::F_PES, true, {-1.575L, 1.575L, -4362}, {1, 1, 0}, 0.424L, 0.005L},
        {FunctionChoice::F_PE1, false, {-2.4L, 2.4L, -7501}, {3, 1, 0}, 0.424L, 0.05L},
        {FunctionChoice::F_PE1, true, {-2.4L, 2.4L, -7.5L}, {3, 1, 1}, 0.424L, 0.05L},
        {FunctionChoice::F_PE2, false, {-2, 2, -6001}, {3, 3, 0}, 0.424L, 0.05L},
        {FunctionChoice::F_PE2, true, {-2, 0.75L, -6}, {3, 3, 3}, 0.424L, 0.05L},
        {FunctionChoice::F_PES_Swi, false, {-1.575L, 1.575L, -4362}, {1, 1, 0}, 0.424L, 0.005L},
        {FunctionChoice::F_PE_PES, true, {-2.1L, 2.1L, -4362}, {1, 1, 0}, 424, 0.05L},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(FunctionName(row.f)) + (row.three ? " three" : " two"));
        form->FunctionButton(row.f)->setChecked(true);
        (row.three ? form->ThreeGravons : form->TwoGravons)->setChecked(true);
        form->Session.SetSteps(17);
        form->LTime->setText("17");
        Type(Field::SpeedX, 2, "4");
        form->RefreshClick();
        GravRecord snap = Snapshot();
        for (int k = 1; k <= kGravons; ++k) {
            EXPECT_EQ(form->Session.State().A[k], row.a[k - 1]);
            EXPECT_EQ(form->Session.State().X[k], row.x[k - 1]);
            EXPECT_EQ(form->Session.State().SpeedX[k], 0.0L);
            EXPECT_EQ(snap.X[k], row.x[k - 1]);
            EXPECT_EQ(Text(Field::SpeedX, k), "0");
        }
        EXPECT_EQ(snap.C[1], row.c1);
        EXPECT_EQ(form->Session.State().DT, row.dt);
        EXPECT_EQ(snap.DT, row.dt);
        EXPECT_EQ(form->Session.State().StepCount, 0);
        EXPECT_EQ(form->LTime->text(), "0");
    }
    form->F_PE1->setChecked(true);
    form->TwoGravons->setChecked(true);
    form->RefreshClick();
    EXPECT_EQ(Text(Field::X, 3), "-7501");
    EXPECT_EQ(Text(Field::A, 3), "0");
    form->ThreeGravons->setChecked(true);
    form->RefreshClick();
    EXPECT_EQ(Text(Field::X, 3), "-7,5");
    EXPECT_EQ(Text(Field::A, 3), "1");
    form->F_PES->setChecked(true);
    form->RefreshClick();
    EXPECT_EQ(Text(Field::X, 1), "-1,575");
    EXPECT_EQ(form->EditDifferent->text(), "0,005");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(DuoplexForm, GravoNewTakesTheTypedValues) {
    form->GravoNew->setChecked(true);
    Type(Field::SpeedX, 1, "1,5");
    Type(Field::B, 2, " 2,50 ");
    Type(Field::X, 3, "-3E0");
    form->EditDifferent->setText("0,07");
    form->RefreshClick();
    EXPECT_EQ(form->Session.State().SpeedX[1], 1.5L);
    EXPECT_EQ(Text(Field::SpeedX, 1), "1,5");
    EXPECT_EQ(Text(Field::B, 2), "2,5");
    EXPECT_EQ(Text(Field::X, 3), "-3");
    EXPECT_EQ(Snapshot().SpeedX[1], 1.5L);
    EXPECT_EQ(Snapshot().B[2], 2.5L);
    EXPECT_EQ(form->Session.State().DT, 0.005L);
    EXPECT_EQ(form->EditDifferent->text(), "0,005");

    // A text that is not a number stops the command where it is read.
    form->Session.SetSteps(5);
    GravBytes snapshot = form->Session.State().Snapshot;
    Type(Field::A, 1, "2");
    Type(Field::B, 2, "1.5");
    Type(Field::Y, 3, "7");
    form->RefreshClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "'1.5' is not a valid floating point value");
    EXPECT_EQ(form->Session.State().A[1], 2.0L);  // read before it
    EXPECT_EQ(form->Session.State().Y[3], 3.8L);  // after it: untouched
    EXPECT_EQ(form->Session.State().StepCount, 5);
    EXPECT_EQ(form->Session.State().Snapshot, snapshot);
    EXPECT_EQ(Text(Field::B, 2), "1.5");
}

TEST_F(DuoplexForm, RunLookAndNewDifferentDuringARun) {
    int stepsAtMessage = 0;
    bool lookedRunning = false;
    RunUntil([&](int n) {
        if (n == 2) {
            lookedRunning = form->Go->text() == "Stop" && !form->Refresh->isEnabled() && !form->Open1->isEnabled() &&
                            form->ShapeRed->BrushColor() == common::qt::ToQColor(common::kRed) &&
                            form->ShapeLime->BrushColor() == common::qt::ToQColor(common::kGreen);
            form->EditDifferent->setText("abc");
            form->NewDiffClick();
            stepsAtMessage = form->Session.State().StepCount;
            // Refresh and Open do nothing while running.
            form->RefreshClick();
            form->Open1Click();
        } else if (n == 4) {
            form->ShowTime->setChecked(true);
            form->EditDifferent->setText("0,01");
            form->NewDiff->click();
        } else if (n == 6) {
            form->Go->click();  // "Stop"
            return true;
        }
        return false;
    });
    EXPECT_TRUE(lookedRunning);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "'abc' is not a valid floating point value");
    EXPECT_EQ(dialogs.asked, 0);
    EXPECT_GT(form->Session.State().StepCount, stepsAtMessage);  // the run went on
    EXPECT_NE(form->Session.State().StepCount, 0);
    EXPECT_EQ(form->Session.State().DT, 0.01L);
    EXPECT_TRUE(form->Session.Stopped());
    EXPECT_EQ(form->Go->text(), "Go");
    EXPECT_TRUE(form->Refresh->isEnabled());
    EXPECT_TRUE(form->Open1->isEnabled());
    EXPECT_EQ(form->ShapeRed->BrushColor(), common::qt::ToQColor(common::kMaroon));
    EXPECT_EQ(form->ShapeLime->BrushColor(), common::qt::ToQColor(common::kLime));
    EXPECT_EQ(form->LTime->text(), QString::number(form->Session.State().StepCount));
}

TEST_F(DuoplexForm, NewRefillsTheEditsOnly) {
    form->Session.SetSteps(3);
    GravBytes snapshot = form->Session.State().Snapshot;
    form->New1->trigger();
    EXPECT_EQ(form->EditDifferent->text(), "0,005");
    EXPECT_EQ(Text(Field::B, 2), "2,9");
    EXPECT_EQ(form->Session.State().StepCount, 3);
    EXPECT_EQ(form->Session.State().Snapshot, snapshot);
}

TEST_F(DuoplexForm, ErrorEndsTheRunInTheIdleLook) {
    struct Case {
        std::function<void(TMainForm&)> spoil;
        const char* message;
    };
    const Case cases[] = {
        {[](TMainForm& f) {
             f.Session.SetValue(Field::X, 2, f.Session.State().X[1]);
             f.Session.SetValue(Field::Y, 2, f.Session.State().Y[1]);
         },
         "Floating point division by zero"},
        {[](TMainForm& f) { f.Edit(Field::A, 2)->setText("x"); }, "'x' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        bool idleAtMessage = false;
        dialogs.onMessage = [&] {
            idleAtMessage = form->Session.Stopped() && form->Go->text() == "Go" && form->Refresh->isEnabled() &&
                            form->Open1->isEnabled();
        };
        c.spoil(*form);
        form->GoClick();  // returns when the error has ended the run
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], c.message);
        EXPECT_TRUE(idleAtMessage) << c.message;
        EXPECT_TRUE(form->Session.Stopped());
        EXPECT_EQ(form->ShapeLime->BrushColor(), common::qt::ToQColor(common::kLime));
        form->Edit(Field::A, 2)->setText("3");
        form->F_PE->setChecked(true);
        form->RefreshClick();
    }
}

TEST_F(DuoplexForm, ClosingDuringARunEndsItFirst) {
    form->show();
    int stepsAtClose = 0;
    RunUntil([&](int n) {
        if (n == 3) {
            form->close();
            stepsAtClose = form->Session.State().StepCount;
            return true;
        }
        return false;
    });
    EXPECT_TRUE(form->Session.Stopped());
    EXPECT_FALSE(form->isVisible());
    EXPECT_LE(form->Session.State().StepCount, stepsAtClose + 1);
}

TEST_F(DuoplexForm, OpenAndSaveAs) {
    ScratchDir dir;
    PlanarState doc;
    ResetToNewValues(doc);
    doc.SpeedY[2] = -0.25L;
    GravRecord rec = RecordOfState(doc);
    rec.Unused = {1, 2, 3, 4, 5, 6};
    GravBytes bytes = EncodeGravRecord(rec);
    std::string in = dir.File("in.grav"), copy = dir.File("copy.grav");
    WriteBytes(in, std::string(bytes.begin(), bytes.end()) + "longer files are accepted");
    testing::MakeReadOnly(in);

    // A longer file is opened when the user says Yes to the question.
    form->Session.SetSteps(8);
    dialogs.open.push_back(QString::fromStdString(in));
    dialogs.confirm.push_back(true);
    form->Open1->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0],
              "'in.grav' is 281 bytes long and is not a Duoplex document. Open its first 256 bytes anyway?");
    EXPECT_EQ(dialogs.defaultNo, 1);
    EXPECT_EQ(Text(Field::B, 2), "2,9");
    EXPECT_EQ(Text(Field::SpeedY, 2), "-0,25");
    EXPECT_EQ(form->EditDifferent->text(), "0,005");
    EXPECT_EQ(form->Session.State().StepCount, 8);
    EXPECT_EQ(Pixel(187, 415), common::kRed);  // gravon 1 at (-1.4, 3)

    dialogs.save.push_back(QString::fromStdString(copy));
    form->Save1Click();
    EXPECT_EQ(ReadBytes(copy), ReadBytes(in).substr(0, 256));

    // A short file changes nothing, the snapshot included.
    std::string shortFile = dir.File("short.grav");
    WriteBytes(shortFile, std::string(255, '\x7f'));
    Type(Field::A, 1, "2");
    dialogs.open.push_back(QString::fromStdString(shortFile));
    form->Open1Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Read beyond end of file");
    EXPECT_EQ(Text(Field::A, 1), "2");
    EXPECT_EQ(Text(Field::B, 2), "2,9");
    EXPECT_EQ(form->Session.State().B[2], 2.9L);

    // A failed write keeps the previous file.
    std::string locked = dir.File("locked.grav");
    const std::string old(256, 'o');
    WriteBytes(locked, old);
    testing::MakeReadOnly(locked);
    dialogs.save.push_back(QString::fromStdString(locked));
    form->Save1Click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1], "File access denied");
    EXPECT_EQ(ReadBytes(locked), old);
    dialogs.save.push_back(QString::fromStdString(copy + "2"));
    form->Save1Click();
    EXPECT_EQ(ReadBytes(copy + "2"), ReadBytes(copy));

    // Cancelled dialogs do nothing.
    form->Open1Click();
    form->Save1Click();
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(Text(Field::A, 1), "2");
}

// The JSON form opens from the command line and from Open; a file of
// another size is opened only after the question, which has No as the
// default; a shorter one fails to read without a question.
TEST_F(DuoplexForm, OpensTheJsonFormAndAsksAboutOtherFiles) {
    ScratchDir dir;
    const std::string json =
        "{\"format\": \"duoplex-grav\", \"dt\": \"0.001\", \"gravons\": ["
        "{\"A\": \"1\", \"B\": \"2.5\", \"C\": \"3\", \"D\": \"4\", \"X\": \"-1.25\", \"Y\": \"2\", \"SpeedX\": \"0\", \"SpeedY\": \"0\"},"
        "{\"A\": \"1\", \"B\": \"2\", \"C\": \"3\", \"D\": \"4\", \"X\": \"1.5\", \"Y\": \"2\", \"SpeedX\": \"0\", \"SpeedY\": \"-0.5\"},"
        "{\"A\": \"0\", \"B\": \"2\", \"C\": \"3\", \"D\": \"4\", \"X\": \"-4000\", \"Y\": \"3\", \"SpeedX\": \"0\", \"SpeedY\": \"0\"}],"
        "\"unused\": \"0102030405FF\"}";
    WriteBytes(dir.File("pes.json"), json);
    form->OpenDocument(QString::fromStdString(dir.File("pes.json")));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(Text(Field::B, 1), "2,5");
    EXPECT_EQ(Text(Field::X, 1), "-1,25");
    EXPECT_EQ(Text(Field::SpeedY, 2), "-0,5");
    EXPECT_EQ(form->EditDifferent->text(), "0,001");
    EXPECT_EQ(Snapshot().X[2], 1.5L);
    EXPECT_EQ(Snapshot().Unused, (std::array<unsigned char, 6>{1, 2, 3, 4, 5, 0xFF}));

    // Written in the older spelling "DT", through File > Open.
    std::string old = json;
    old.replace(old.find("\"dt\""), 4, "\"DT\"");
    old.replace(old.find("0.001"), 5, "0.002");
    WriteBytes(dir.File("old.json"), old);
    dialogs.open.push_back(QString::fromStdString(dir.File("old.json")));
    form->Open1Click();
    EXPECT_EQ(form->EditDifferent->text(), "0,002");

    // Not a document: No (the default) changes nothing.
    WriteBytes(dir.File("notes.txt"), std::string(1200, 'x'));
    dialogs.open.push_back(QString::fromStdString(dir.File("notes.txt")));
    form->Open1Click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0],
              "'notes.txt' is 1,200 bytes long and is not a Duoplex document. Open its first 256 bytes anyway?");
    EXPECT_EQ(dialogs.defaultNo, 1);
    EXPECT_EQ(Text(Field::B, 1), "2,5");
    EXPECT_EQ(Snapshot().X[2], 1.5L);
    EXPECT_TRUE(dialogs.messages.empty());

    // A broken JSON form says where.
    std::string bad = json;
    bad.replace(bad.find("\"unused\": \"0102030405FF\""), 24, "\"extra\": 1");
    WriteBytes(dir.File("bad.json"), bad);
    form->OpenDocument(QString::fromStdString(dir.File("bad.json")));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "'" + dir.File("bad.json") + "': document: unknown field 'extra'");
    EXPECT_EQ(Text(Field::B, 1), "2,5");
}

class DuoplexDotLocaleForm : public DuoplexForm {
protected:
    DuoplexDotLocaleForm() : DuoplexForm(QLocale(QLocale::English, QLocale::UnitedStates)) {}
};

TEST_F(DuoplexDotLocaleForm, NumbersUseTheLocaleSeparator) {
    EXPECT_EQ(form->EditDifferent->text(), "0.05");
    EXPECT_EQ(Text(Field::C, 1), "0.424");
    form->GravoNew->setChecked(true);
    Type(Field::SpeedX, 1, "1.5");
    form->RefreshClick();
    EXPECT_EQ(form->Session.State().SpeedX[1], 1.5L);
    form->EditDifferent->setText("0,01");
    form->NewDiffClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "'0,01' is not a valid floating point value");
    EXPECT_EQ(form->Session.State().DT, 0.005L);
}

}  // namespace
}  // namespace duoplex::forms

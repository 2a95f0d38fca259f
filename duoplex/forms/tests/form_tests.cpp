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
    GravRecord Snapshot() const { return DecodeGravRecord(form->State.Snapshot); }
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
    EXPECT_EQ(form->DrawingField->geometry(), QRect(0, 0, 495, 526));
    EXPECT_EQ(form->Panel1->geometry(), QRect(495, 0, 298, 526));
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
    PlanarState start;
    ResetToStartValues(start);
    GravBytes expected = EncodeGravRecord(RecordOfState(start));
    EXPECT_EQ(ReadBytes(path), std::string(expected.begin(), expected.end()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(DuoplexForm, RefreshLoadsEachStartConfiguration) {
    for (FunctionChoice f : kAllFunctions) {
        if (f == FunctionChoice::GravoNew) continue;
        for (bool three : {false, true}) {
            form->FunctionButton(f)->setChecked(true);
            (three ? form->ThreeGravons : form->TwoGravons)->setChecked(true);
            form->State.StepCount = 17;
            form->LTime->setText("17");
            Type(Field::SpeedX, 2, "4");
            form->RefreshClick();
            StartConfiguration c = *RefreshConfiguration(f, three);
            GravRecord snap = Snapshot();
            for (int k = 1; k <= kGravons; ++k) {
                const auto& g = c.g[k - 1];
                EXPECT_EQ(form->State.A[k], g.A);
                EXPECT_EQ(form->State.X[k], g.X) << FunctionName(f) << three;
                EXPECT_EQ(form->State.SpeedX[k], 0.0L);
                EXPECT_EQ(snap.X[k], g.X);
                EXPECT_EQ(snap.C[k], g.C);
                EXPECT_EQ(Text(Field::SpeedX, k), "0");
            }
            EXPECT_EQ(form->State.DT, c.DT);
            EXPECT_EQ(snap.DT, c.DT);
            EXPECT_EQ(form->State.StepCount, 0);
            EXPECT_EQ(form->LTime->text(), "0");
        }
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
    EXPECT_EQ(form->State.SpeedX[1], 1.5L);
    EXPECT_EQ(Text(Field::SpeedX, 1), "1,5");
    EXPECT_EQ(Text(Field::B, 2), "2,5");
    EXPECT_EQ(Text(Field::X, 3), "-3");
    EXPECT_EQ(Snapshot().SpeedX[1], 1.5L);
    EXPECT_EQ(Snapshot().B[2], 2.5L);
    EXPECT_EQ(form->State.DT, 0.005L);
    EXPECT_EQ(form->EditDifferent->text(), "0,005");

    // A text that is not a number stops the command where it is read.
    form->State.StepCount = 5;
    GravBytes snapshot = form->State.Snapshot;
    Type(Field::A, 1, "2");
    Type(Field::B, 2, "1.5");
    Type(Field::Y, 3, "7");
    form->RefreshClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "'1.5' is not a valid floating point value");
    EXPECT_EQ(form->State.A[1], 2.0L);  // read before it
    EXPECT_EQ(form->State.Y[3], 3.8L);  // after it: untouched
    EXPECT_EQ(form->State.StepCount, 5);
    EXPECT_EQ(form->State.Snapshot, snapshot);
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
            stepsAtMessage = form->State.StepCount;
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
    EXPECT_GT(form->State.StepCount, stepsAtMessage);  // the run went on
    EXPECT_NE(form->State.StepCount, 0);
    EXPECT_EQ(form->State.DT, 0.01L);
    EXPECT_TRUE(form->State.Stopped);
    EXPECT_EQ(form->Go->text(), "Go");
    EXPECT_TRUE(form->Refresh->isEnabled());
    EXPECT_TRUE(form->Open1->isEnabled());
    EXPECT_EQ(form->ShapeRed->BrushColor(), common::qt::ToQColor(common::kMaroon));
    EXPECT_EQ(form->ShapeLime->BrushColor(), common::qt::ToQColor(common::kLime));
    EXPECT_EQ(form->LTime->text(), QString::number(form->State.StepCount));
}

TEST_F(DuoplexForm, NewRefillsTheEditsOnly) {
    form->State.StepCount = 3;
    GravBytes snapshot = form->State.Snapshot;
    form->New1->trigger();
    EXPECT_EQ(form->EditDifferent->text(), "0,005");
    EXPECT_EQ(Text(Field::B, 2), "2,9");
    EXPECT_EQ(form->State.StepCount, 3);
    EXPECT_EQ(form->State.Snapshot, snapshot);
}

TEST_F(DuoplexForm, ErrorEndsTheRunInTheIdleLook) {
    struct Case {
        std::function<void(TMainForm&)> spoil;
        const char* message;
    };
    const Case cases[] = {
        {[](TMainForm& f) {
             f.State.X[2] = f.State.X[1];
             f.State.Y[2] = f.State.Y[1];
         },
         "Floating point division by zero"},
        {[](TMainForm& f) { f.Edit(Field::A, 2)->setText("x"); }, "'x' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        bool idleAtMessage = false;
        dialogs.onMessage = [&] {
            idleAtMessage = form->State.Stopped && form->Go->text() == "Go" && form->Refresh->isEnabled() &&
                            form->Open1->isEnabled();
        };
        c.spoil(*form);
        form->GoClick();  // returns when the error has ended the run
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], c.message);
        EXPECT_TRUE(idleAtMessage) << c.message;
        EXPECT_TRUE(form->State.Stopped);
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
            stepsAtClose = form->State.StepCount;
            return true;
        }
        return false;
    });
    EXPECT_TRUE(form->State.Stopped);
    EXPECT_FALSE(form->isVisible());
    EXPECT_LE(form->State.StepCount, stepsAtClose + 1);
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

    form->State.StepCount = 8;
    dialogs.open.push_back(QString::fromStdString(in));
    form->Open1->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(Text(Field::B, 2), "2,9");
    EXPECT_EQ(Text(Field::SpeedY, 2), "-0,25");
    EXPECT_EQ(form->EditDifferent->text(), "0,005");
    EXPECT_EQ(form->State.StepCount, 8);
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
    EXPECT_EQ(form->State.B[2], 2.9L);

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
    EXPECT_EQ(form->State.SpeedX[1], 1.5L);
    form->EditDifferent->setText("0,01");
    form->NewDiffClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "'0,01' is not a valid floating point value");
    EXPECT_EQ(form->State.DT, 0.005L);
}

}  // namespace
}  // namespace duoplex::forms

// The timeline in the window: the keys move between runs only, "Save as ..."
// writes the state shown, a run goes on exactly from it, and Open, Refresh
// and New start the timeline afresh.
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "duoplex/core/planar_step.h"
#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using testing::Bytes;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

// Runs until the step count reaches `last`.
void RunTo(TMainForm& form, int last) {
    QTimer stopper;
    stopper.setInterval(0);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (form.Session.State().StepCount < last) return;
        stopper.stop();
        form.GoClick();
    });
    stopper.start();
    form.GoClick();
    ASSERT_EQ(last, form.Session.State().StepCount);
}

TEST(DuoplexTimeline, KeysSaveAsAndRunningOnFromAStateGoneBackTo) {
    ScratchDir dir;
    // A document in motion with its unused bytes set.
    GravRecord r;
    const StartConfiguration c = *RefreshConfiguration(FunctionChoice::F_PE, false);
    for (int k = 1; k <= kGravons; ++k) {
        const auto& g = c.g[k - 1];
        r.A[k] = g.A, r.B[k] = g.B, r.C[k] = g.C, r.D[k] = g.D, r.X[k] = g.X, r.Y[k] = g.Y;
        r.SpeedX[k] = 0.25L * k, r.SpeedY[k] = -0.125L;
    }
    r.DT = c.DT;
    r.Unused = {1, 2, 3, 4, 5, 6};
    const std::string doc = Bytes(EncodeGravRecord(r));
    WriteBytes(dir.File("doc.grav"), doc);

    testing::ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.OpenDocument(QString::fromStdString(dir.File("doc.grav")));
    // The document after n steps, as the step itself makes them.
    auto after = [&](int n) {
        PlanarState p;
        LoadDocument(dir.File("doc.grav"), p);
        for (int i = 0; i < n; ++i) DoStep(p, form.CurrentStepSettings());
        return Bytes(RecordedState(p));
    };
    auto saveAs = [&] {
        dialogs.save.push_back(QString::fromStdString(dir.File("out.grav")));
        form.Save1Click();
        return ReadBytes(dir.File("out.grav"));
    };
    // The keys reach the window from a field with the keyboard too.
    auto key = [&](Qt::Key k) {
        QWidget* target = k == Qt::Key_Left ? static_cast<QWidget*>(form.Edit(Field::X, 1)) : &form;
        target->setFocus();
        QTest::keyClick(target, k, Qt::AltModifier);
    };

    // During a run the keys do nothing.
    QTimer during;
    during.setInterval(0);
    int stepAfterKey = -1;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (form.Session.State().StepCount < 3) return;
        during.stop();
        key(Qt::Key_Home);
        stepAfterKey = form.Session.State().StepCount;
    });
    during.start();
    RunTo(form, 8);
    EXPECT_EQ(3, stepAfterKey);
    EXPECT_EQ(9u, form.Session.Timeline().Count());

    const struct {
        Qt::Key key;
        int step;
    } moves[] = {{Qt::Key_Home, 0}, {Qt::Key_Left, 0}, {Qt::Key_Right, 1}, {Qt::Key_End, 8}, {Qt::Key_Left, 7}};
    for (const auto& m : moves) {
        key(m.key);
        ASSERT_EQ(m.step, form.Session.State().StepCount) << m.key;
        EXPECT_EQ(QString::number(m.step), form.LTime->text());
        EXPECT_EQ(after(m.step), saveAs()) << m.key;
    }
    key(Qt::Key_Home);
    EXPECT_EQ(doc, saveAs());  // the document as it was opened

    // From the last state on: the run of the whole number of steps.
    key(Qt::Key_End);
    RunTo(form, 12);
    EXPECT_EQ(after(12), Bytes(RecordedState(form.Session.State())));
    // From a state gone back to: the later states are dropped.
    key(Qt::Key_Home);
    RunTo(form, 3);
    EXPECT_EQ(4u, form.Session.Timeline().Count());
    EXPECT_EQ(after(3), Bytes(RecordedState(form.Session.State())));

    const struct {
        const char* name;
        std::function<void()> command;
    } afresh[] = {
        {"Open", [&] { form.OpenDocument(QString::fromStdString(dir.File("doc.grav"))); }},
        {"Refresh", [&] { form.RefreshClick(); }},
        {"New", [&] { form.New1Click(); }},
    };
    for (const auto& a : afresh) {
        RunTo(form, form.Session.State().StepCount + 2);
        a.command();
        ASSERT_EQ(1u, form.Session.Timeline().Count()) << a.name;
        const unsigned char* first = form.Session.Timeline().StateAt(0);
        EXPECT_EQ(Bytes(RecordedState(form.Session.State())), std::string(first, first + kGravRecordSize)) << a.name;
    }
    form.close();
}

}  // namespace
}  // namespace duoplex::forms

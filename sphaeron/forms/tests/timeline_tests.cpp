// The timeline in the window: its keys and its strip, Save of a state gone
// back to, running on from it, and the commands that start it afresh.
#include <QSlider>
#include <QTest>
#include <QToolBar>

#include "common/numtext.h"
#include "forms_test_support.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/edit_dlg.h"
#include "tests/support/taon_helpers.h"

namespace sphaeron::forms::testing {
namespace {

class TimelineTest : public FormsTest {
protected:
    // The square document with its padding bytes set; the record loaded.
    std::vector<unsigned char> WriteDocument() {
        std::vector<unsigned char> bytes = WriteState(Path("doc.ato"), SquareState());
        for (std::size_t i : {190u, 191u, 6292u, 6295u}) bytes[i] = 0x5A;
        WriteBytes(Path("doc.ato"), std::string(bytes.begin(), bytes.end()));
        WriteBytes(Path("orig.ato"), std::string(bytes.begin(), bytes.end()));
        return bytes;
    }
    // The document after `steps` steps of the core, padding as loaded.
    std::vector<unsigned char> After(int steps) {
        TaonsDocument record;
        TaonState s;
        LoadDocument(Path("orig.ato"), record, s);
        for (int i = 0; i < steps; ++i) testsupport::StepOnce(s);
        PackDocument(s, record);
        return {record.bytes.begin(), record.bytes.end()};
    }
    // Alt+Left is pressed in a parameter field, Alt+Right in the memo: the
    // keys reach the window from there too.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::AltModifier) {
        QWidget* target = &Form();
        if (modifiers == Qt::AltModifier && key == Qt::Key_Left) target = Form().EditA1;
        if (modifiers == Qt::AltModifier && key == Qt::Key_Right) target = Form().Comment;
        target->setFocus();
        QTest::keyClick(target, key, modifiers);
    }
    // Runs until the step count reaches `last`.
    void RunTo(int last) {
        AtPass(Form(), last, [&] { Form().GoClick(); });
        Form().GoClick();
        ASSERT_EQ(last, State().StepCount);
    }
};

TEST_F(TimelineTest, KeysGoBackSaveAndRunOnExactly) {
    const std::vector<unsigned char> loaded = WriteDocument();
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    ShowActive();
    EXPECT_FALSE(f.TimelineStrip->isVisible());

    // During a run the keys do nothing and the slider is off.
    bool idleDuringRun = false;
    AtPass(f, 3, [&] {
        Key(Qt::Key_Home);
        idleDuringRun = State().StepCount == 3 && !f.TimelineSlider->isEnabled();
    });
    AtPass(f, 6, [&] { f.GoClick(); });
    f.GoClick();
    ASSERT_EQ(6, State().StepCount);
    EXPECT_TRUE(idleDuringRun);
    EXPECT_EQ(7u, Data().Timeline().Count());

    // Back to the start: Save writes the document as it was loaded.
    Key(Qt::Key_Home);
    EXPECT_EQ(0, State().StepCount);
    EXPECT_EQ(QStringLiteral("0"), f.LTime->text());
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(loaded, FileBytes(Path("doc.ato")));

    // One state at a time, and to the last; the later states stay until Go.
    const struct {
        Qt::Key key;
        int step;
    } moves[] = {{Qt::Key_Left, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_Left, 1}, {Qt::Key_End, 6},
                 {Qt::Key_Right, 6}, {Qt::Key_Left, 5}};
    for (const auto& m : moves) {
        Key(m.key);
        ASSERT_EQ(m.step, State().StepCount) << m.key;
        EXPECT_EQ(QString::number(m.step), f.LTime->text());
    }
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(After(5), FileBytes(Path("doc.ato")));
    EXPECT_EQ(7u, Data().Timeline().Count());

    // Running on from the last state is the run of the whole number of steps.
    Key(Qt::Key_End);
    RunTo(9);
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(After(9), FileBytes(Path("doc.ato")));

    // The strip: F10 shows it below the panels, which keep their sizes.
    const int drawingHeight = f.DrawArea->height(), windowHeight = f.height();
    Key(Qt::Key_F10, Qt::NoModifier);
    QApplication::processEvents();
    ASSERT_TRUE(f.TimelineStrip->isVisible());
    EXPECT_EQ(drawingHeight, f.DrawArea->height());
    EXPECT_EQ(windowHeight + f.TimelineStrip->height(), f.height());
    EXPECT_EQ(9, f.TimelineSlider->maximum());
    EXPECT_EQ(QStringLiteral("Step 9 of 0 - 9"), f.TimelineLabel->text());

    // Dragging to a step shows it everywhere; going on from it drops what
    // came after.
    f.TimelineSlider->setValue(4);
    EXPECT_EQ(4, State().StepCount);
    EXPECT_EQ(QStringLiteral("Step 4 of 0 - 9"), f.TimelineLabel->text());
    EXPECT_EQ(QString::fromStdString(common::FormatReal(State().X[2], ',')), f.Listing->Cell(1, 2));
    RunTo(6);
    EXPECT_EQ(7u, Data().Timeline().Count());
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(After(6), FileBytes(Path("doc.ato")));
    EXPECT_EQ(QStringLiteral("Step 6 of 0 - 6"), f.TimelineLabel->text());

    Key(Qt::Key_F10, Qt::NoModifier);
    QApplication::processEvents();
    EXPECT_FALSE(f.TimelineStrip->isVisible());
    EXPECT_EQ(windowHeight, f.height());
    EXPECT_EQ(drawingHeight, f.DrawArea->height());
}

TEST_F(TimelineTest, NewOpenTaonsAndSpiralStartItAfresh) {
    WriteDocument();
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    const struct {
        const char* name;
        std::function<void()> command;
        std::size_t count;
    } cases[] = {
        {"Open", [&] { f.OpenDocument(Path("doc.ato")); }, 1},
        {"Taons", [&] { f.Daons1->trigger(); }, 1},
        {"New", [&] { RunNew([&](TEditDlg& d) {
                          dialogs.SaveAnswers.push_back(QPath("edited.ato"));
                          d.OKBtn->click();
                      }); }, 1},
        {"Spiral", [&] { f.Spiral1->trigger(); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (State().SpiralMode) f.OpenDocument(Path("doc.ato"));
        RunTo(State().StepCount + 2);
        ASSERT_EQ(3u, Data().Timeline().Count());
        c.command();
        EXPECT_EQ(c.count, Data().Timeline().Count());
        EXPECT_FALSE(f.TimelineSlider->isEnabled());
    }
    // In the spiral the keys find nothing to go to.
    f.TimelineFirst->trigger();
    EXPECT_TRUE(State().SpiralMode);
}

}  // namespace
}  // namespace sphaeron::forms::testing

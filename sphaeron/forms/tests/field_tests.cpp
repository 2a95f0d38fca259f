// The parameter fields: the per-key filter, the conversion when a field is
// left, and the failure handler that reports conversion errors.
#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "forms_test_support.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/key_filter.h"
#include "sphaeron/forms/plots_window.h"

namespace sphaeron::forms::testing {
namespace {

class FieldTest : public FormsTest {
protected:
    TMainForm& StartShown() {
        WriteState(Path("doc.ato"), SquareState(0.01L));
        WriteStartFile(Path("doc.ato"));
        Start();
        ShowActive();
        return Form();
    }
};

TEST(KeyFilter, AcceptsDigitsSignsSeparatorsAndEditingKeys) {
    auto accepts = [](Qt::Key key, const QString& text, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, m, text);
        return KeyFilterAccepts(e);
    };
    EXPECT_TRUE(accepts(Qt::Key_7, QStringLiteral("7")));
    EXPECT_TRUE(accepts(Qt::Key_Comma, QStringLiteral(",")));
    EXPECT_TRUE(accepts(Qt::Key_Minus, QStringLiteral("-")));
    EXPECT_TRUE(accepts(Qt::Key_Period, QStringLiteral(".")));
    EXPECT_TRUE(accepts(Qt::Key_Backspace, QStringLiteral("\b")));
    EXPECT_TRUE(accepts(Qt::Key_Left, QString()));
    EXPECT_TRUE(accepts(Qt::Key_Delete, QString()));
    EXPECT_TRUE(accepts(Qt::Key_Tab, QStringLiteral("\t")));
    EXPECT_FALSE(accepts(Qt::Key_E, QStringLiteral("E"), Qt::ShiftModifier));
    EXPECT_FALSE(accepts(Qt::Key_Space, QStringLiteral(" ")));
    EXPECT_FALSE(accepts(Qt::Key_Plus, QStringLiteral("+")));
    EXPECT_FALSE(accepts(Qt::Key_Slash, QStringLiteral("/")));
    EXPECT_FALSE(accepts(Qt::Key_Return, QStringLiteral("\r")));
    // The control characters of the clipboard keys, with or without text.
    EXPECT_FALSE(accepts(Qt::Key_V, QString(QChar(22)), Qt::ControlModifier));
    EXPECT_FALSE(accepts(Qt::Key_V, QString(), Qt::ControlModifier));
    EXPECT_FALSE(accepts(Qt::Key_C, QString(), Qt::ControlModifier));
}

TEST_F(FieldTest, FilteredFieldsTakeOnlyNumberCharacters) {
    TMainForm& f = StartShown();
    f.EditDT->setFocus();
    f.EditDT->clear();
    QTest::keyClicks(f.EditDT, "a E1.5 x");
    EXPECT_EQ(QStringLiteral("1.5"), f.EditDT->text());
    f.EditDT->clear();
    QTest::keyClicks(f.EditDT, "--1,,2");
    EXPECT_EQ(QStringLiteral("--1,,2"), f.EditDT->text());
    // Pasting with the key is swallowed.
    QApplication::clipboard()->setText(QStringLiteral("99"));
    QTest::keyClick(f.EditDT, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QStringLiteral("--1,,2"), f.EditDT->text());
    // Backspace works.
    QTest::keyClick(f.EditDT, Qt::Key_Backspace);
    EXPECT_EQ(QStringLiteral("--1,,"), f.EditDT->text());

    for (QLineEdit* e : {f.EditA1, f.EditB1, f.EditC1, f.EditD1}) {
        e->setFocus();
        e->clear();
        QTest::keyClicks(e, "x3");
        EXPECT_EQ(QStringLiteral("3"), e->text());
    }
    // F1, G1 and the other groups have no filter.
    for (QLineEdit* e : {f.EditF1, f.EditG1, f.EditA2, f.EditG3}) {
        e->setFocus();
        e->clear();
        QTest::keyClicks(e, "x3");
        EXPECT_EQ(QStringLiteral("x3"), e->text());
    }
    // Leaving a field converts it: B1 took its 3; the texts dt=, F1, G1 and
    // A2 were left with are reported and leave their parameters alone.
    EXPECT_EQ(3.0L, State().B1);
    const QString x3 = QStringLiteral("'x3' is not a valid floating point value");
    EXPECT_EQ((std::vector<QString>{QStringLiteral("'--1,,' is not a valid floating point value"), x3, x3, x3}),
              dialogs.Failures);
    EXPECT_EQ(20.0L, State().F1);
}

// A group field left stores its value (the conversion of EditDT); during a
// run it acts from the next step on. The timeline and Save keep it, and
// the plots window redraws the well marks.
TEST_F(FieldTest, LeavingAGroupFieldStoresItsValueForTheNextStep) {
    TMainForm& f = StartShown();
    f.Plots1->trigger();
    ASSERT_EQ(36.0L, f.Plots->Distances().hi);  // 1.2 x G3, 30
    auto leave = [&](QLineEdit* field, const char* text) {
        QApplication::setActiveWindow(&f);  // not the plots window
        field->setFocus();
        field->setText(QString::fromLatin1(text));
        f.EditDT->setFocus();
    };
    leave(f.EditG3, "40");
    leave(f.EditB1, " 2,5 ");
    leave(f.EditC2, "1.5");  // no separator in this locale
    EXPECT_EQ(std::vector<QString>{QStringLiteral("'1.5' is not a valid floating point value")}, dialogs.Failures);
    EXPECT_EQ(QStringLiteral("1.5"), f.EditC2->text());
    EXPECT_EQ(40.0L, State().G3);
    EXPECT_EQ(2.5L, State().B1);
    EXPECT_EQ(5.0L, State().C2);
    QCoreApplication::processEvents();
    EXPECT_EQ(48.0L, f.Plots->Distances().hi);
    f.EditC2->setText(QStringLiteral("5"));

    int changedAfter = -1;
    AtPass(f, 2, [&] {
        changedAfter = State().StepCount;
        leave(f.EditB1, "2,6");
    });
    AtPass(f, 4, [&] { f.GoClick(); });
    f.GoClick();
    ASSERT_GE(changedAfter, 2);
    const int steps = State().StepCount;

    TaonsDocument record;
    TaonState expected;
    LoadDocument(Path("doc.ato"), record, expected);
    expected.G3 = 40;
    expected.B1 = 2.5L;
    StepEngine engine;
    for (int k = 1; k <= steps; ++k) {
        if (k == changedAfter + 1) expected.B1 = 2.6L;
        engine.Step(expected, StepSwitches{});
    }
    TaonsDocument shown, wanted;
    PackDocument(State(), shown);
    PackDocument(expected, wanted);
    EXPECT_EQ(wanted.bytes, shown.bytes);

    f.Save1->trigger();
    EXPECT_EQ(std::vector<unsigned char>(wanted.bytes.begin(), wanted.bytes.end()), FileBytes(Path("doc.ato")));
    f.TimelineFirst->trigger();
    EXPECT_EQ(QStringLiteral("2,718"), f.EditB1->text());
    f.TimelineLast->trigger();
    EXPECT_EQ(QStringLiteral("2,6"), f.EditB1->text());
    EXPECT_EQ(1u, dialogs.Failures.size());
}

TEST_F(FieldTest, LeavingEditDTConvertsWithTheCommaLocale) {
    TMainForm& f = StartShown();
    EXPECT_EQ(0.01L, State().DT);
    f.EditDT->setFocus();
    f.EditDT->setText(QStringLiteral(" 0,005 "));
    f.EditA1->setFocus();
    EXPECT_TRUE(dialogs.Failures.empty());
    EXPECT_EQ(0.005L, State().DT);

    // A full stop passes the filter but is no separator here.
    f.EditDT->setFocus();
    f.EditDT->clear();
    QTest::keyClicks(f.EditDT, "1.5");
    f.EditB1->setFocus();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("'1.5' is not a valid floating point value"), dialogs.Failures[0]);
    EXPECT_EQ(0.005L, State().DT);
    EXPECT_EQ(QStringLiteral("1.5"), f.EditDT->text());

    // With an exponent.
    f.EditDT->setFocus();
    f.EditDT->setText(QStringLiteral("1,5E-3"));
    f.EditB1->setFocus();
    EXPECT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(0.0015L, State().DT);
}

TEST_F(FieldTest, LeavingEditDTConvertsWithTheDotLocale) {
    QLocale::setDefault(QLocale::c());
    TMainForm& f = StartShown();
    EXPECT_EQ(QStringLiteral("0.01"), f.EditDT->text());
    f.EditDT->setFocus();
    f.EditDT->setText(QStringLiteral("0.5"));
    f.EditA1->setFocus();
    EXPECT_EQ(0.5L, State().DT);
    f.EditDT->setFocus();
    f.EditDT->setText(QStringLiteral("0,5"));
    f.EditA1->setFocus();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("'0,5' is not a valid floating point value"), dialogs.Failures[0]);
}

TEST_F(FieldTest, ShelloscopeChartReadsTheGroupOneFields) {
    TMainForm& f = StartShown();
    f.RB1->setChecked(true);
    f.EditC1->setText(QStringLiteral("abc"));
    f.MoveToCenter->trigger();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("'abc' is not a valid floating point value"), dialogs.Failures[0]);
    // A failure in a handler called by Qt reaches the failure handler too.
    f.DaoTeta1->click();
    EXPECT_EQ(2u, dialogs.Failures.size());
    f.EditC1->setText(QStringLiteral("5"));
    f.DaoTeta1->click();
    EXPECT_EQ(2u, dialogs.Failures.size());
}

}  // namespace
}  // namespace sphaeron::forms::testing

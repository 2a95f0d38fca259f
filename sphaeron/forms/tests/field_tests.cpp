// The parameter fields: the per-key filter, the conversion when EditDT is
// left, and the failure handler that reports conversion errors.
#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "forms_test_support.h"
#include "sphaeron/forms/key_filter.h"

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
    // The group fields are not read back.
    EXPECT_EQ(2.718L, State().B1);
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

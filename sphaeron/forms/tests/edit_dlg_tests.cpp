// The gravon edit dialog, opened through File > New and driven as a user
// would: refilling from the state, the grid, "&Yes", "Save As", "OK", the
// key filter and the four distance calculators.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>

#include "common/errors.h"
#include "common/numtext.h"
#include "forms_test_support.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/listing_model.h"

namespace sphaeron::forms::testing {
namespace {

QString Shown(long double v) { return QString::fromStdString(common::FormatReal(v, ',')); }
long double Read(const char* text) { return common::ParseReal(text, ','); }

class EditDlgTest : public FormsTest {
protected:
    TEditDlg& Dlg() { return *program_->EditDlg; }

    // File > New: the dialog runs modally and `body` runs inside it; a
    // dialog still open afterwards is cancelled. Returns the dialog's result.
    int New(const std::function<void(TEditDlg&)>& body) { return RunNew(body); }

    void ClickCell(TEditDlg& d, int row, int col = 1) {
        QRect r = d.DaonsTable->visualRect(d.Grid->index(row - 1, col - 1));
        QTest::mouseClick(d.DaonsTable->viewport(), Qt::LeftButton, {}, r.center());
    }
    void Type(QLineEdit* field, const char* text) {
        field->clear();
        QTest::keyClicks(field, text);
    }
};

TEST_F(EditDlgTest, OpensShowingTheStateAndRefillsAtEveryOpening) {
    StartWith(SquareState(0.02L));
    New([&](TEditDlg& d) {
        EXPECT_EQ(QStringLiteral(" Editing of gravon's values"), d.windowTitle());
        EXPECT_EQ(QSize(787, 447), d.size());
        EXPECT_EQ(QPath("doc.ato"), d.EditFileName->text());
        EXPECT_EQ(QStringLiteral("1"), d.NumberOfTaon->text());
        EXPECT_EQ(QStringLiteral("0,212"), d.EditX->text());
        EXPECT_EQ(QStringLiteral("-0,212"), d.EditZ->text());
        EXPECT_EQ(0, d.EditZ->cursorPosition());  // long numbers show their first digits
        // V, U, W hold the x, y and z components.
        EXPECT_EQ(QStringLiteral("0,01"), d.EditV->text());
        EXPECT_EQ(QStringLiteral("-0,02"), d.EditU->text());
        EXPECT_EQ(QStringLiteral("1,5E-7"), d.EditW->text());
        EXPECT_TRUE(d.DaoTrue->isChecked());
        for (int i = 0; i < kParameterCount; ++i)
            EXPECT_EQ(Shown(*ParameterField(State(), i)), d.ParameterFields[static_cast<std::size_t>(i)]->text())
                << kParameterNames[i];
        EXPECT_EQ(QStringLiteral("0,02"), d.EditDT->text());
        EXPECT_EQ(QStringLiteral("Gravons"), d.GridCorner->text());
        EXPECT_EQ(QStringLiteral("Z"), d.Grid->Cell(3, 0));
        EXPECT_EQ(QStringLiteral("100"), d.Grid->Cell(0, 100));
        EXPECT_EQ(QStringLiteral("-0,212"), d.Grid->Cell(1, 4));
        EXPECT_EQ(QString(), d.Grid->Cell(1, 5));  // absent
        EXPECT_EQ(QStringLiteral("0"), d.EditCal1Part1->text());

        // Typed text that is not taken in does not survive the dialog.
        d.EditX->setText(QStringLiteral("9"));
        d.EditDT->setText(QStringLiteral("7"));
        d.EditFileName->setText(QStringLiteral("elsewhere"));
    });
    State().X[1] = 0.5L;
    New([&](TEditDlg& d) {
        EXPECT_EQ(QStringLiteral("0,5"), d.EditX->text());
        EXPECT_EQ(QStringLiteral("0,02"), d.EditDT->text());
        EXPECT_EQ(QPath("doc.ato"), d.EditFileName->text());
        EXPECT_EQ(QStringLiteral("0,5"), d.Grid->Cell(1, 1));
    });
    EXPECT_TRUE(dialogs.Failures.empty());
}

TEST_F(EditDlgTest, GridClicksKeysAndDoubleClicks) {
    StartWith(SquareState());
    New([&](TEditDlg& d) {
        ClickCell(d, 3, 2);
        EXPECT_EQ(QStringLiteral("3"), d.NumberOfTaon->text());
        EXPECT_EQ(QStringLiteral("-0,212"), d.EditX->text());
        EXPECT_EQ(QStringLiteral("0,03"), d.EditV->text());
        QTest::keyClick(d.DaonsTable, Qt::Key_Down);
        EXPECT_EQ(QStringLiteral("4"), d.NumberOfTaon->text());
        QTest::keyClick(d.DaonsTable, Qt::Key_Down);
        EXPECT_EQ(QStringLiteral("5"), d.NumberOfTaon->text());
        EXPECT_FALSE(d.DaoTrue->isChecked());
        EXPECT_EQ(QStringLiteral("1185"), d.EditX->text());  // absent, but its numbers are shown

        // A click on the current cell shows the particle again.
        d.EditX->setText(QStringLiteral("8"));
        ClickCell(d, 5, 2);
        EXPECT_EQ(QStringLiteral("1185"), d.EditX->text());

        // A double click: its first click moves to row 2.
        ClickCell(d, 2, 1);
        QTest::mouseDClick(d.DaonsTable->viewport(), Qt::LeftButton, {},
                           d.DaonsTable->visualRect(d.Grid->index(1, 0)).center());
        EXPECT_TRUE(d.DialogListVelocities);
        EXPECT_EQ(QStringLiteral("Velo"), d.GridCorner->text());
        EXPECT_EQ(QStringLiteral("u(z)"), d.Grid->Cell(3, 0));
        EXPECT_EQ(QStringLiteral("-0,04"), d.Grid->Cell(2, 2));
        EXPECT_EQ(QStringLiteral("2"), d.NumberOfTaon->text());
        // On the fixed cells too.
        QTest::mouseDClick(d.GridCorner, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_FALSE(d.DialogListVelocities);
        QTest::mouseDClick(d.DaonsTable->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
        EXPECT_TRUE(d.DialogListVelocities);
    });
    // The listing and the current row are kept for the next opening.
    New([&](TEditDlg& d) {
        EXPECT_EQ(QStringLiteral("u(x)"), d.Grid->Cell(1, 0));
        EXPECT_EQ(QStringLiteral("2"), d.NumberOfTaon->text());
    });
}

TEST_F(EditDlgTest, BadZAfterYesKeepsXAndYAndRefills) {
    StartWith(SquareState());
    const TaonState before = State();
    New([&](TEditDlg& d) {
        d.SelectRow(2);
        Type(d.EditX, "0,5");
        Type(d.EditY, "-0,25");
        Type(d.EditZ, "1.5");  // passes the filter, not the comma locale
        Type(d.EditV, "9");
        d.DaoTrue->setChecked(false);
        d.Submit->click();
        ASSERT_EQ(1u, dialogs.Failures.size());
        EXPECT_EQ(QStringLiteral("'1.5' is not a valid floating point value"), dialogs.Failures[0]);
        // The message covered the dialog: it shows the state again.
        EXPECT_EQ(QStringLiteral("0,5"), d.EditX->text());
        EXPECT_EQ(QStringLiteral("0,212"), d.EditZ->text());
        EXPECT_EQ(QStringLiteral("0,02"), d.EditV->text());
        EXPECT_TRUE(d.DaoTrue->isChecked());
        EXPECT_TRUE(d.isVisible());
    });
    const TaonState& s = State();
    EXPECT_EQ(0.5L, s.X[2]);
    EXPECT_EQ(-0.25L, s.Y[2]);
    EXPECT_TRUE(SameBits(before.Z[2], s.Z[2]));
    EXPECT_TRUE(SameBits(before.Ux[2], s.Ux[2]));
    EXPECT_TRUE(SameBits(before.Uz[2], s.Uz[2]));
    EXPECT_EQ(1, s.GravonPresent[2]);
}

TEST_F(EditDlgTest, KeysOfTheFieldsAndTheDialog) {
    StartWith(SquareState());
    // Filtered: EditDT, A1 .. D1 and the particle fields.
    New([&](TEditDlg& d) {
        for (QLineEdit* e : {d.EditDT, d.EditA1, d.EditD1, d.EditX, d.EditZ, d.EditV, d.EditW}) {
            Type(e, "a1,x5 E-.");
            EXPECT_EQ(QStringLiteral("1,5-."), e->text());
        }
        for (QLineEdit* e : {d.EditF1, d.EditG1, d.EditA2, d.EditG3, d.EditCal1Part1, d.EditResult4, d.EditFileName}) {
            Type(e, "a1");
            EXPECT_EQ(QStringLiteral("a1"), e->text());
        }
        // Enter in a filtered field takes the particle in.
        d.FormPaint();
        Type(d.EditX, "2");
        QTest::keyClick(d.EditX, Qt::Key_Return);
        EXPECT_EQ(2.0L, State().X[1]);
        // Esc cancels.
        QTest::keyClick(d.EditY, Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(0, Dlg().result());
}

TEST_F(EditDlgTest, DotLocaleShowsAndReadsWithTheDot) {
    QLocale::setDefault(QLocale::c());
    StartWith(SquareState(0.02L));
    New([&](TEditDlg& d) {
        EXPECT_EQ(QStringLiteral("0.02"), d.EditDT->text());
        EXPECT_EQ(QStringLiteral("0.212"), d.Grid->Cell(1, 1));
        Type(d.EditX, "1.5");
        d.Submit->click();
        EXPECT_EQ(1.5L, State().X[1]);
        Type(d.EditY, "1,5");
        d.Submit->click();
        ASSERT_EQ(1u, dialogs.Failures.size());
        EXPECT_EQ(QStringLiteral("'1,5' is not a valid floating point value"), dialogs.Failures[0]);
    });
}

TEST_F(EditDlgTest, SaveAsWritesACopyAndKeepsTheDocumentName) {
    TMainForm& f = StartWith(SquareState());
    const TaonState before = State();
    New([&](TEditDlg& d) {
        dialogs.SaveAnswers.push_back(std::nullopt);
        d.Saveas->click();
        EXPECT_FALSE(std::filesystem::exists(Path("copy.ato")));

        d.SelectRow(9);
        Type(d.EditX, "4");
        d.DaoTrue->setChecked(true);
        d.Submit->click();
        Type(d.EditDT, "0,05");
        dialogs.SaveAnswers.push_back(QPath("copy.ato"));
        d.Saveas->click();
        EXPECT_EQ(QPath("copy.ato"), d.EditFileName->text());
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_TRUE(dialogs.Failures.empty());
    TaonsDocument expected;
    PackDocument(State(), expected);
    EXPECT_EQ(std::vector<unsigned char>(expected.bytes.begin(), expected.bytes.end()), FileBytes(Path("copy.ato")));
    EXPECT_TRUE(SameBits(Read("0,05"), State().DT));
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());
    EXPECT_EQ(Path("doc.ato"), ReadStartFile());
    EXPECT_TRUE(SameBits(before.NewX[9], State().NewX[9]));

    // The main window's Save still writes the previous document.
    f.Save1->trigger();
    EXPECT_EQ(FileBytes(Path("copy.ato")), FileBytes(Path("doc.ato")));
    EXPECT_FALSE(std::filesystem::exists(Path("copy.txt")));
}

TEST_F(EditDlgTest, OkWithTheSaveDialogCancelledStillClosesWithOk) {
    TMainForm& f = Start();  // spiral
    const TaonState before = State();
    const int result = New([&](TEditDlg& d) {
        Type(d.EditDT, "0,5");
        dialogs.SaveAnswers.push_back(std::nullopt);
        d.OKBtn->click();
    });
    EXPECT_EQ(QDialog::Accepted, result);
    EXPECT_TRUE(SameBits(before.DT, State().DT));  // the fields were not read
    EXPECT_EQ("ThetraSpiral", Data().DocumentName());
    EXPECT_EQ("", ReadStartFile());
    EXPECT_FALSE(State().SpiralMode);  // the main window's OK branch ran
    EXPECT_TRUE(f.Go->isEnabled());
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir_), {}));  // only the config folder
}

TEST_F(EditDlgTest, YesThenOkWritesTheDocumentAndMakesItCurrent) {
    TMainForm& f = StartWith(SquareState());
    const TaonState before = State();
    const int result = New([&](TEditDlg& d) {
        // Particle 2 moved and present; particle 8 moved, first present, then
        // absent again.
        d.SelectRow(2);
        Type(d.EditX, "3");
        Type(d.EditW, "0,5");
        d.Submit->click();
        d.SelectRow(8);
        Type(d.EditX, "-6");
        Type(d.EditU, "0,001");
        d.DaoTrue->setChecked(true);
        d.Submit->click();
        EXPECT_EQ(QStringLiteral("-6"), d.Grid->Cell(1, 8));
        d.DaoTrue->setChecked(false);
        d.Submit->click();
        EXPECT_EQ(QString(), d.Grid->Cell(1, 8));
        // Only the committed arrays change before OK.
        EXPECT_TRUE(SameBits(before.NewX[2], State().NewX[2]));
        Type(d.EditG3, "2,5");
        dialogs.SaveAnswers.push_back(QPath("new.ato"));
        d.OKBtn->click();
    });
    EXPECT_EQ(QDialog::Accepted, result);
    EXPECT_TRUE(dialogs.Failures.empty());
    const TaonState& s = State();
    EXPECT_EQ(2.5L, s.G3);
    TaonsDocument expected;
    PackDocument(s, expected);
    EXPECT_EQ(std::vector<unsigned char>(expected.bytes.begin(), expected.bytes.end()), FileBytes(Path("new.ato")));
    EXPECT_EQ(Path("new.ato"), Data().DocumentName());
    EXPECT_EQ(Path("new.ato"), Data().LastDocumentName());
    EXPECT_EQ(Path("new.ato"), ReadStartFile());
    EXPECT_EQ(3.0L, s.ViewX[2]);
    EXPECT_EQ(3.0L, s.NewX[2]);
    EXPECT_EQ(0.5L, s.NewUz[2]);
    // The absent particle keeps its numbers, but not in the working arrays.
    EXPECT_EQ(-6.0L, s.X[8]);
    EXPECT_TRUE(SameBits(Read("0,001"), s.Uy[8]));
    EXPECT_EQ(0, s.GravonPresent[8]);
    EXPECT_TRUE(SameBits(before.NewX[8], s.NewX[8]));
    EXPECT_TRUE(SameBits(before.ViewX[8], s.ViewX[8]));
    // The main window shows the new document.
    EXPECT_EQ(QPath("new.ato"), f.FName->text());
    EXPECT_EQ(QStringLiteral("3"), f.Listing->Cell(1, 2));
    EXPECT_EQ(QStringLiteral("2,5"), f.EditG3->text());
}

TEST_F(EditDlgTest, OkFailuresStillCloseWithOk) {
    StartWith(SquareState());
    const TaonState before = State();
    // A bad parameter: those before it are stored, nothing is written.
    int result = New([&](TEditDlg& d) {
        Type(d.EditDT, "0,03");
        d.EditC2->setText(QStringLiteral("x"));
        Type(d.EditD2, "77");
        dialogs.SaveAnswers.push_back(QPath("bad.ato"));
        d.OKBtn->click();
    });
    EXPECT_EQ(QDialog::Accepted, result);
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("'x' is not a valid floating point value"), dialogs.Failures[0]);
    EXPECT_TRUE(SameBits(Read("0,03"), State().DT));
    EXPECT_TRUE(SameBits(before.C2, State().C2));
    EXPECT_TRUE(SameBits(before.D2, State().D2));
    EXPECT_FALSE(std::filesystem::exists(Path("bad.ato")));
    EXPECT_EQ(Path("doc.ato"), Data().DocumentName());

    // A start file that cannot be written: the document is written and
    // current all the same, its particles in the working and view copies.
    std::filesystem::remove_all(dir_ + "/config/Sphaeron");
    WriteBytes(dir_ + "/config/Sphaeron", "in the way");
    result = New([&](TEditDlg& d) {
        Type(d.EditX, "5");
        d.Submit->click();
        dialogs.SaveAnswers.push_back(QPath("kept.ato"));
        d.OKBtn->click();
    });
    EXPECT_EQ(QDialog::Accepted, result);
    ASSERT_EQ(2u, dialogs.Failures.size());
    EXPECT_EQ(6296u, FileBytes(Path("kept.ato")).size());
    EXPECT_EQ(Path("kept.ato"), Data().DocumentName());
    EXPECT_EQ(5.0L, State().NewX[1]);
    EXPECT_EQ(5.0L, State().ViewX[1]);
}

TEST_F(EditDlgTest, DocumentBuiltByHandReopensByteForByte) {
    TMainForm& f = Start();  // spiral: no particle present
    const TaonState before = State();
    const char* params[kParameterCount] = {"0,001", "1",   "1,05", "1,414", "1,732", "2",   "2,5",
                                           "0,8",   "1,1", "1,5",  "1,8",   "2,2",   "3",   "1,2",
                                           "0,95",  "1,35", "1,7", "2,1",   "2,8"};
    const char* particles[3][6] = {{"0,1", "0", "-0,1", "0", "0,001", "0"},
                                   {"-0,3", "0,25", "0", "1E-7", "0", "-2"},
                                   {"0", "0", "1234,5678901234", "0", "0", "0"}};
    const int slotNumbers[3] = {1, 2, 60};
    New([&](TEditDlg& d) {
        for (int i = 0; i < kParameterCount; ++i) d.ParameterFields[static_cast<std::size_t>(i)]->setText(params[i]);
        for (int p = 0; p < 3; ++p) {
            d.SelectRow(slotNumbers[p]);
            QLineEdit* fields[6] = {d.EditX, d.EditY, d.EditZ, d.EditV, d.EditU, d.EditW};
            for (int c = 0; c < 6; ++c) fields[c]->setText(particles[p][c]);
            d.DaoTrue->setChecked(true);
            d.Submit->click();
        }
        dialogs.SaveAnswers.push_back(QPath("built.ato"));
        d.OKBtn->click();
    });
    ASSERT_TRUE(dialogs.Failures.empty());

    // The record as the format lays it out, from the typed texts.
    TaonState expect = before;
    for (int i = 0; i < kParameterCount; ++i) *ParameterField(expect, i) = Read(params[i]);
    for (int p = 0; p < 3; ++p) {
        const int k = slotNumbers[p];
        long double* arrays[6] = {expect.X, expect.Y, expect.Z, expect.Ux, expect.Uy, expect.Uz};
        for (int c = 0; c < 6; ++c) arrays[c][k] = Read(particles[p][c]);
        expect.GravonPresent[k] = 1;
    }
    std::vector<unsigned char> record = WriteState(Path("expect.ato"), expect);
    const std::vector<unsigned char> written = FileBytes(Path("built.ato"));
    ASSERT_EQ(record, written);
    const unsigned char dt[10] = {0x3B, 0xDF, 0x4F, 0x8D, 0x97, 0x6E, 0x12, 0x83, 0xF5, 0x3F};
    EXPECT_TRUE(std::equal(dt, dt + 10, written.begin()));
    EXPECT_EQ(1, written[6192 + 59]);
    EXPECT_EQ(0, written[6192 + 2]);

    // Opened by the main window and saved again under another name.
    dialogs.OpenAnswers.push_back(QPath("built.ato"));
    f.Open1->trigger();
    dialogs.SaveAnswers.push_back(QPath("again.ato"));
    f.SaveAs1->trigger();
    EXPECT_TRUE(dialogs.Failures.empty());
    EXPECT_EQ(written, FileBytes(Path("again.ato")));
}

TEST_F(EditDlgTest, CalculatorsMeasureWhatTheGridShows) {
    TaonState s = SquareState();
    // The grid shows 15 digits: 1 + 1e-17 is 1 there.
    s.X[3] = 1.0L + 1e-17L;
    s.X[4] = 1.0L;
    s.Y[3] = s.Y[4] = s.Z[3] = s.Z[4] = 0;
    // Present with huge x of both signs.
    s.X[5] = 1e4000L;
    s.X[6] = -1e4000L;
    s.GravonPresent[5] = s.GravonPresent[6] = 1;
    StartWith(s);
    New([&](TEditDlg& d) {
        auto calc = [&](int n, const char* i, const char* j) {
            const DistanceCalculator& c = d.Calculators[static_cast<std::size_t>(n - 1)];
            c.Part1->setText(i);
            c.Part2->setText(j);
            c.Calculate->click();
            return c.Result->text();
        };
        EXPECT_EQ(QStringLiteral("0,424"), calc(1, "1", "2"));
        EXPECT_EQ(QStringLiteral("0"), calc(2, "3", "3"));
        EXPECT_EQ(QStringLiteral("0"), calc(3, "3", "4"));
        EXPECT_EQ(d.EditResult3, d.Calculators[2].Result);
        // With velocities: the length of the velocity difference.
        d.DaonsTableDblClick();
        const long double dv = std::sqrt(Read("0,01") * Read("0,01") + Read("0,02") * Read("0,02"));
        EXPECT_EQ(Shown(dv), calc(4, "1", "2"));
        EXPECT_TRUE(dialogs.Failures.empty());
        d.Calculators[3].Reset->click();
        EXPECT_EQ(QStringLiteral("0"), d.EditCal4Part1->text());
        EXPECT_EQ(QStringLiteral("0"), d.EditCal4Part2->text());
        EXPECT_EQ(QStringLiteral("0"), d.EditResult4->text());

        // Rows without three numbers; the result keeps its text.
        auto failure = [&](const char* i, const char* j) {
            dialogs.Failures.clear();
            calc(1, i, j);
            EXPECT_EQ(QStringLiteral("0,424"), d.EditResult1->text());
            return dialogs.Failures.size() == 1 ? dialogs.Failures[0] : QStringLiteral("no single failure");
        };
        EXPECT_EQ(QStringLiteral("'u(x)' is not a valid floating point value"), failure("1", "0"));
        d.DaonsTableDblClick();
        EXPECT_EQ(QStringLiteral("'X' is not a valid floating point value"), failure("0", "1"));
        EXPECT_EQ(QStringLiteral("'' is not a valid floating point value"), failure("1", "101"));
        EXPECT_EQ(QStringLiteral("'' is not a valid floating point value"), failure("7", "1"));
        EXPECT_EQ(QStringLiteral("'1,5' is not a valid integer value"), failure("1,5", "1"));
        EXPECT_EQ(QStringLiteral("Floating point overflow"), failure("5", "6"));
        const QString negative = failure("2", "-3");
        EXPECT_TRUE(negative.contains(QStringLiteral("-3")) && negative.contains(QStringLiteral("negative")))
            << negative.toStdString();
        dialogs.Failures.clear();
    });
}

}  // namespace
}  // namespace sphaeron::forms::testing

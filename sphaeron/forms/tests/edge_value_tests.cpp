// Documents holding NaN, infinities, the largest values, denormals and an
// unnormal bit pattern, written with the document codec and opened in the
// window: the listing, the parameter fields and the edit dialog show them,
// and a drawing or a run over them ends with the system's arithmetic text,
// the window back in its idle look and the working copy equal to the
// committed one. The window stays usable afterwards.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <limits>

#include "common/ext80.h"
#include "common/numtext.h"
#include "forms_test_support.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/listing_model.h"

namespace sphaeron::forms::testing {
namespace {

using L = std::numeric_limits<long double>;
using Texts = std::vector<QString>;

const QString kInvalid = QStringLiteral("Invalid floating point operation");
const QString kOverflow = QStringLiteral("Floating point overflow");
const QString kDivision = QStringLiteral("Floating point division by zero");
const QString kMaxText = QStringLiteral("1,18973149535723E4932");
const QString kDenormText = QStringLiteral("3,64519953188247E-4951");

// Exponent and integer bit disagree: no value, the arithmetic treats it as
// an invalid operand.
long double Unnormal() {
    const unsigned char bytes[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    return common::DecodeExt(bytes);
}

class EdgeValueTest : public FormsTest {
protected:
    // Opens a square document with one value changed.
    TMainForm& OpenWith(const std::function<void(TaonState&)>& change) {
        TaonState s = SquareState(0.01L);
        change(s);
        WriteState(Path("edge.ato"), s);
        if (!program_) Start();
        dialogs.Failures.clear();
        dialogs.OpenAnswers.push_back(QPath("edge.ato"));
        Form().Open1->trigger();
        return Form();
    }
    Texts Messages() {
        Texts m = dialogs.Failures;
        dialogs.Failures.clear();
        return m;
    }
    // Runs for five steps or until a fault ends the run.
    Texts Run() {
        dialogs.Failures.clear();
        AtPass(Form(), State().StepCount + 5, [this] {
            if (!State().Stopped) Form().GoClick();
        });
        Form().Go->click();
        return Messages();
    }
    void ExpectIdleAndConsistent() {
        ExpectIdleLook(Form(), State());
        EXPECT_EQ(std::vector<int>{}, WorkingCopyDiffers(State()));
    }
    // A plain document opens and runs without a message.
    void ExpectUsable() {
        OpenWith([](TaonState&) {});
        EXPECT_EQ(Messages(), Texts{});
        const int from = State().StepCount;
        EXPECT_EQ(Run(), Texts{});
        EXPECT_EQ(from + 5, State().StepCount);
        ExpectIdleAndConsistent();
    }
};

TEST_F(EdgeValueTest, ParticlesOpenShowAndRunToTheSystemTexts) {
    struct Case {
        const char* what;
        std::function<void(TaonState&)> change;
        int column;  // of taon 2 in the listing: 1 .. 3 positions, 4 .. 6 velocities
        QString shown;
        Texts atOpen, ofRun;
        Texts ofRunAbsent;  // the same value in an absent taon, which moves but is not drawn
    };
    const Case cases[] = {
        // A quiet NaN passes through the step without a fault; the drawing
        // cannot place it.
        {"x NaN", [](TaonState& s) { s.X[2] = L::quiet_NaN(); }, 1, "NAN", {kInvalid}, {kInvalid}, {}},
        {"y -inf", [](TaonState& s) { s.Y[2] = -L::infinity(); }, 2, "-INF", {kInvalid}, {kInvalid}, {kInvalid}},
        {"z +inf", [](TaonState& s) { s.Z[2] = L::infinity(); }, 3, "INF", {kInvalid}, {kInvalid}, {kInvalid}},
        {"x largest", [](TaonState& s) { s.X[2] = LDBL_MAX; }, 1, kMaxText, {kOverflow}, {kOverflow}, {kOverflow}},
        {"x -largest", [](TaonState& s) { s.X[2] = -LDBL_MAX; }, 1, "-" + kMaxText, {kOverflow}, {kOverflow},
         {kOverflow}},
        {"x unnormal", [](TaonState& s) { s.X[2] = Unnormal(); }, 1, "NAN", {kInvalid}, {kInvalid}, {kInvalid}},
        // Velocities are drawn only once a step has moved the taon with them.
        {"u(x) NaN", [](TaonState& s) { s.Ux[2] = L::quiet_NaN(); }, 4, "NAN", {}, {kInvalid}, {}},
        {"u(y) largest", [](TaonState& s) { s.Uy[2] = LDBL_MAX; }, 5, kMaxText, {}, {kOverflow}, {kOverflow}},
        {"x denormal", [](TaonState& s) { s.X[2] = L::denorm_min(); }, 1, kDenormText, {}, {}, {}},
        {"u(z) smallest normal", [](TaonState& s) { s.Uz[2] = LDBL_MIN; }, 6, "3,36210314311209E-4932", {}, {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMainForm& f = OpenWith(c.change);
        EXPECT_EQ(Messages(), c.atOpen);
        if (c.column > 3) f.DaonsTableDblClick();
        EXPECT_EQ(c.shown, f.Listing->Cell((c.column - 1) % 3 + 1, 2));
        if (c.column > 3) f.DaonsTableDblClick();

        EXPECT_EQ(Run(), c.ofRun);
        if (c.ofRun.empty()) {
            EXPECT_EQ(5, State().StepCount);
        }
        ExpectIdleAndConsistent();
        // An absent taon with the same value: not drawn or listed, but moved.
        OpenWith([&](TaonState& s) {
            c.change(s);
            for (auto* a : {s.X, s.Y, s.Z, s.Ux, s.Uy, s.Uz}) a[50] = a[2];
            s.X[2] = 0.3L;
            s.Y[2] = 0.1L;
            s.Z[2] = 0.2L;
            s.Ux[2] = s.Uy[2] = s.Uz[2] = 0;
        });
        EXPECT_EQ(Messages(), Texts{});
        EXPECT_EQ(QString(), f.Listing->Cell(1, 50));
        EXPECT_EQ(Run(), c.ofRunAbsent);
        ExpectIdleAndConsistent();
    }
    ExpectUsable();
}

TEST_F(EdgeValueTest, ParametersOpenShowAndRunToTheSystemTexts) {
    struct Case {
        const char* what;
        std::function<void(TaonState&)> change;
        int field;  // in document order: 0 DT, 1 A1, 2 B1, ...
        QString shown;
        Texts ofRun;
        Texts inShelloscope;  // the drawing of mode 1 reads the texts of A1 .. G1
    };
    const Case cases[] = {
        {"dt NaN", [](TaonState& s) { s.DT = L::quiet_NaN(); }, 0, "NAN", {kInvalid}, {}},
        {"dt +inf", [](TaonState& s) { s.DT = L::infinity(); }, 0, "INF", {kInvalid}, {}},
        {"dt largest", [](TaonState& s) { s.DT = LDBL_MAX; }, 0, kMaxText, {kOverflow}, {}},
        {"dt denormal", [](TaonState& s) { s.DT = L::denorm_min(); }, 0, kDenormText, {}, {}},
        {"A1 largest", [](TaonState& s) { s.A1 = LDBL_MAX; }, 1, kMaxText, {kInvalid}, {kOverflow}},
        {"B1 +inf", [](TaonState& s) { s.B1 = L::infinity(); }, 2, "INF", {kDivision},
         {QStringLiteral("'INF' is not a valid floating point value")}},
        {"C1 NaN", [](TaonState& s) { s.C1 = L::quiet_NaN(); }, 3, "NAN", {kInvalid},
         {QStringLiteral("'NAN' is not a valid floating point value")}},
        {"D1 denormal", [](TaonState& s) { s.D1 = L::denorm_min(); }, 4, kDenormText, {kOverflow}, {kOverflow}},
        {"G1 denormal", [](TaonState& s) { s.G1 = L::denorm_min(); }, 6, kDenormText, {kOverflow}, {}},
        // Group 3 acts from taons 81 .. 100, none of which is present.
        {"A3 NaN", [](TaonState& s) { s.A3 = L::quiet_NaN(); }, 13, "NAN", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMainForm& f = OpenWith(c.change);
        EXPECT_EQ(Messages(), Texts{});
        EXPECT_EQ(c.shown, f.ParameterFields[static_cast<std::size_t>(c.field)]->text());
        // The time step in force is the document's.
        TaonState doc = SquareState(0.01L);
        c.change(doc);
        EXPECT_TRUE(SameBits(*ParameterField(doc, c.field), *ParameterField(State(), c.field)));

        f.RB1->setChecked(true);
        Guarded(dialogs, [&] { f.FormPaint(); });
        EXPECT_EQ(Messages(), c.inShelloscope);
        f.RB2->setChecked(true);
        Guarded(dialogs, [&] { f.FormPaint(); });
        EXPECT_EQ(Messages(), Texts{});
        f.RB0->setChecked(true);

        EXPECT_EQ(Run(), c.ofRun);
        if (c.ofRun.empty()) {
            EXPECT_EQ(5, State().StepCount);
        }
        ExpectIdleAndConsistent();
    }
    ExpectUsable();
}

// The edit dialog shows the values in its fields and grid; its number text
// reads back the largest value and the denormal, not NaN or infinity.
TEST_F(EdgeValueTest, EditDialogShowsThemAndReadsBackWhatItCan) {
    OpenWith([](TaonState& s) {
        s.X[2] = L::quiet_NaN();
        s.Uy[2] = -L::infinity();
        s.X[3] = LDBL_MAX;
        s.X[4] = -LDBL_MAX;
        s.Z[4] = L::denorm_min();
        s.C2 = L::infinity();
    });
    EXPECT_EQ(Messages(), Texts{kInvalid});  // the drawing of the NaN
    const TaonState before = State();
    RunNew([&](TEditDlg& d) {
        EXPECT_EQ(QStringLiteral("INF"), d.EditC2->text());
        d.SelectRow(2);
        EXPECT_EQ(QStringLiteral("NAN"), d.EditX->text());
        EXPECT_EQ(QStringLiteral("-INF"), d.EditU->text());
        EXPECT_EQ(QStringLiteral("NAN"), d.Grid->Cell(1, 2));
        // "&Yes" stops at the text it cannot read; nothing changes.
        d.Submit->click();
        EXPECT_EQ(Messages(), Texts{QStringLiteral("'NAN' is not a valid floating point value")});
        EXPECT_TRUE(StateImage(State()) == StateImage(before));

        d.SelectRow(4);
        EXPECT_EQ("-" + kMaxText, d.EditX->text());
        EXPECT_EQ(kDenormText, d.EditZ->text());
        d.Submit->click();
        EXPECT_EQ(Messages(), Texts{});
        // Fifteen digits of the largest value read back a little smaller.
        EXPECT_EQ(common::ParseReal(("-" + kMaxText).toStdString(), ','), State().X[4]);
        EXPECT_GT(State().X[4], -LDBL_MAX);
        EXPECT_TRUE(SameBits(L::denorm_min(), State().Z[4]));

        // The calculators: largest to largest overflows, a NaN cell is no
        // number.
        auto calculate = [&](const char* i, const char* j) {
            d.EditCal1Part1->setText(QString::fromLatin1(i));
            d.EditCal1Part2->setText(QString::fromLatin1(j));
            d.Calculators[0].Calculate->click();
            return Messages();
        };
        d.SelectRow(3);
        d.Submit->click();
        EXPECT_EQ(calculate("3", "4"), Texts{kOverflow});
        EXPECT_EQ(calculate("2", "1"), Texts{QStringLiteral("'NAN' is not a valid floating point value")});
        EXPECT_EQ(QStringLiteral("0"), d.EditResult1->text());
        EXPECT_EQ(calculate("4", "4"), Texts{});
        EXPECT_EQ(QStringLiteral("0"), d.EditResult1->text());

        // "OK" cannot read the infinite C2 back: nothing is written.
        dialogs.SaveAnswers.push_back(QPath("copy.ato"));
        d.OKBtn->click();
        EXPECT_EQ(Messages(), Texts{QStringLiteral("'INF' is not a valid floating point value")});
    });
    // The dialog closed with OK all the same; the window draws the NaN.
    EXPECT_EQ(Messages(), Texts{kInvalid});
    EXPECT_FALSE(std::filesystem::exists(Path("copy.ato")));
    EXPECT_TRUE(std::isinf(State().C2));
    // The particles taken in with "&Yes" wait for OK's copy into the working
    // arrays, which the failure skipped.
    EXPECT_EQ(std::vector<int>({3, 4}), WorkingCopyDiffers(State()));
}

}  // namespace
}  // namespace sphaeron::forms::testing

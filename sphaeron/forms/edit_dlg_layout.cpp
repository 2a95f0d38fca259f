#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>

#include "common/numtext.h"
#include "sphaeron/forms/controls.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/key_filter.h"
#include "sphaeron/forms/listing_model.h"
#include "sphaeron/forms/main_form.h"

// The edit dialog's layout: the particle fields, the parameter fields, the
// grid, the four distance calculators and the bottom row, wired to their
// handlers.
namespace sphaeron::forms {

namespace {

const char* const kHeadingText = "S e r i a l   n u m b e r   o f   g r a v o n s ";
const char* const kStarLine = "**********************************";
const char* const kNoteText = "Attention: G1E is parametr of exponentials part of function PESE";

// The number key filter of the fields, except for the keys that belong to
// the dialog's buttons: Enter still reaches the default button and Esc
// still cancels while such a field has the focus.
class FieldKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
                case Qt::Key_Return:
                case Qt::Key_Enter:
                case Qt::Key_Escape:
                    return false;
                default:
                    if (!KeyFilterAccepts(*key)) return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h = 20) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

void SetBold(QWidget* w) {
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
}

void SetTextColour(QWidget* w, QPalette::ColorRole role, QColor colour) {
    QPalette pal = w->palette();
    pal.setColor(role, colour);
    w->setPalette(pal);
}

}  // namespace

// ---------------------------------------------------------------------------
// Building the dialog

TEditDlg::TEditDlg(Session& session, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), session_(session), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral(" Editing of gravon's values"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(kClientWidth, kClientHeight);
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);
    keyFilter_ = new FieldKeys(this);

    // Created in the order the Tab key visits them.
    BuildParticleFields();
    BuildParameterFields();
    BuildGrid();
    BuildCalculators();
    BuildBottom();

    // Centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

void TEditDlg::BuildParticleFields() {
    auto field = [this](int x, int y) {
        auto* e = new QLineEdit(this);
        e->setGeometry(x, y, 90, 20);
        e->installEventFilter(keyFilter_);
        return e;
    };
    MakeLabel(this, QStringLiteral("Gravon"), 166, 222, 44, 18);
    NumberOfTaon = MakeLabel(this, QStringLiteral("1"), 212, 222, 40, 18);
    SetBold(NumberOfTaon);

    MakeLabel(this, QStringLiteral("Coordinats"), 166, 242, 110, 18);
    MakeLabel(this, QStringLiteral("VeloCity"), 282, 242, 110, 18);
    const int rowY[3] = {262, 286, 310};
    const char* positionLabels[3] = {"X =", "Y =", "Z =", };
    const char* velocityLabels[3] = {"V =", "U =", "W =", };
    QLineEdit** positions[3] = {&EditX, &EditY, &EditZ};
    QLineEdit** velocities[3] = {&EditV, &EditU, &EditW};
    for (int i = 0; i < 3; ++i) {
        MakeLabel(this, QString::fromLatin1(positionLabels[i]), 166, rowY[i], 22);
        *positions[i] = field(188, rowY[i]);
    }
    for (int i = 0; i < 3; ++i) {
        MakeLabel(this, QString::fromLatin1(velocityLabels[i]), 282, rowY[i], 22);
        *velocities[i] = field(304, rowY[i]);
    }

    DaoTrue = new QCheckBox(QStringLiteral("There is Gravon"), this);
    DaoTrue->setGeometry(166, 336, 200, 20);

    Submit = new QPushButton(QStringLiteral("&Yes"), this);
    Submit->setGeometry(166, 362, 110, 26);
    Submit->setDefault(true);
    connect(Submit, &QPushButton::clicked, this, [this] { Handle([this] { SubmitClick(); }); });
    Saveas = new QPushButton(QStringLiteral("Save As"), this);
    Saveas->setGeometry(284, 362, 110, 26);
    connect(Saveas, &QPushButton::clicked, this, [this] { Handle([this] { SaveasClick(); }); });
}

void TEditDlg::BuildParameterFields() {
    MakeLabel(this, QStringLiteral("Differential of time"), 6, 222, 150, 18);
    MakeLabel(this, QStringLiteral("dt="), 6, 244, 24);
    EditDT = new QLineEdit(QString::fromLatin1(common::FormatReal(0.01L, TMainForm::Separator())), this);
    EditDT->setGeometry(30, 244, 110, 20);
    EditDT->installEventFilter(keyFilter_);
    Note = MakeLabel(this, QString::fromLatin1(kNoteText), 6, 272, 150, 64);
    Note->setWordWrap(true);
    Note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetBold(Note);
    SetTextColour(Note, QPalette::WindowText, kRed);

    MakeLabel(this, QStringLiteral("Parametrs"), 400, 2, 120, 18);
    const char* labels[3][6] = {{"A1", "B1", "C1", "D1", "F1", "G1E"},
                                {"A2", "B2", "C2", "D2", "F2", "G2"},
                                {"A3", "B3", "C3", "D3", "F3", "G3"}};
    QLineEdit** fields[3][6] = {{&EditA1, &EditB1, &EditC1, &EditD1, &EditF1, &EditG1},
                                {&EditA2, &EditB2, &EditC2, &EditD2, &EditF2, &EditG2},
                                {&EditA3, &EditB3, &EditC3, &EditD3, &EditF3, &EditG3}};
    const QColor colours[3] = {kLime, kYellow, kRed};
    const char* ranges[3] = {"1   -:-  50", "51 -:- 80", "81 -:-100"};
    QLineEdit** rangeFields[3] = {&Edit1, &Edit2, &Edit3};
    for (int g = 0; g < 3; ++g) {
        const int x = 400 + g * 128;
        for (int row = 0; row < 6; ++row) {
            const int y = 22 + row * 22;
            QLabel* l = MakeLabel(this, QString::fromLatin1(labels[g][row]), x, y, 28);
            if (g == 0 && row == 5) {
                SetBold(l);
                SetTextColour(l, QPalette::WindowText, kRed);
            }
            auto* e = new QLineEdit(this);
            e->setGeometry(x + 28, y, 94, 20);
            QPalette pal = e->palette();
            pal.setColor(QPalette::Base, colours[g]);
            pal.setColor(QPalette::Text, Qt::black);
            e->setPalette(pal);
            // The key filter is on A1 .. D1 only.
            if (g == 0 && row < 4) e->installEventFilter(keyFilter_);
            *fields[g][row] = e;
        }
        MakeLabel(this, QStringLiteral("for"), x, 156, 28);
        auto* range = new QLineEdit(QString::fromLatin1(ranges[g]), this);
        range->setGeometry(x + 28, 156, 94, 20);
        *rangeFields[g] = range;
    }
    ParameterFields = {EditDT, EditA1, EditB1, EditC1, EditD1, EditF1, EditG1, EditA2, EditB2, EditC2,
                       EditD2, EditF2, EditG2, EditA3, EditB3, EditC3, EditD3, EditF3, EditG3};
}

void TEditDlg::BuildGrid() {
    Grid = new GridModel(4, kMaxTaons + 1, this);
    DaonsTable = MakeGridView(this, Grid);
    DaonsTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DaonsTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QHeaderView* top = DaonsTable->horizontalHeader();
    QHeaderView* side = DaonsTable->verticalHeader();
    // The fixed cells are not for clicking, as in a string grid.
    top->setSectionsClickable(false);
    side->setSectionsClickable(false);
    top->setMinimumSectionSize(1);
    top->setDefaultSectionSize(kGridColumnWidth);
    top->setFixedHeight(kGridRowHeight);
    side->setMinimumSectionSize(1);
    side->setDefaultSectionSize(kGridRowHeight);
    side->setFixedWidth(kGridColumnWidth);

    const int frame = 2 * DaonsTable->frameWidth();
    const int scroll = DaonsTable->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, DaonsTable);
    const int width = 4 * kGridColumnWidth + frame + scroll;
    const int top_ = 182;
    DaonsTable->setGeometry(kClientWidth - 4 - width, top_, width, 404 - top_);

    // The view has no text where its headers meet: a label shows cell (0, 0).
    GridCorner = new QLabel(DaonsTable);
    GridCorner->setGeometry(DaonsTable->frameWidth(), DaonsTable->frameWidth(), kGridColumnWidth, kGridRowHeight);
    GridCorner->setIndent(4);
    GridCorner->installEventFilter(this);

    DaonsTable->setCurrentIndex(Grid->index(0, 0));
    connect(DaonsTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { Handle([this] { DaonsTableClick(); }); });
    connect(DaonsTable, &QAbstractItemView::clicked, this, [this] { Handle([this] { DaonsTableClick(); }); });
    for (QObject* o : {static_cast<QObject*>(DaonsTable->viewport()), static_cast<QObject*>(top),
                       static_cast<QObject*>(top->viewport()), static_cast<QObject*>(side),
                       static_cast<QObject*>(side->viewport())})
        o->installEventFilter(this);
}

void TEditDlg::BuildCalculators() {
    auto* heading = MakeLabel(this, QString::fromLatin1(kHeadingText), 6, 2, 380, 18);
    SetBold(heading);
    QLineEdit** fields[4][3] = {{&EditCal1Part1, &EditCal1Part2, &EditResult1},
                                {&EditCal2Part1, &EditCal2Part2, &EditResult2},
                                {&EditCal3Part1, &EditCal3Part2, &EditResult3},
                                {&EditCal4Part1, &EditCal4Part2, &EditResult4}};
    // 1 upper left, 2 lower left, 3 upper right, 4 lower right.
    const QPoint places[4] = {{6, 22}, {6, 126}, {200, 22}, {200, 126}};
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i + 1);
        DistanceCalculator& c = Calculators[static_cast<std::size_t>(i)];
        c.Box = new QGroupBox(QStringLiteral("Calculation of distance ") + n, this);
        c.Box->setGeometry(places[i].x(), places[i].y(), 188, 90);
        c.Part1 = new QLineEdit(QStringLiteral("0"), c.Box);
        c.Part1->setGeometry(8, 20, 40, 20);
        c.Part2 = new QLineEdit(QStringLiteral("0"), c.Box);
        c.Part2->setGeometry(52, 20, 40, 20);
        c.Calculate = new QPushButton(QStringLiteral("Calculate ") + n, c.Box);
        c.Calculate->setGeometry(98, 19, 82, 22);
        c.Calculate->setAutoDefault(false);
        MakeLabel(c.Box, QStringLiteral("Result ") + n, 8, 44, 80);
        c.Reset = new QPushButton(QStringLiteral("Reset ") + n, c.Box);
        c.Reset->setGeometry(98, 43, 82, 22);
        c.Reset->setAutoDefault(false);
        c.Result = new QLineEdit(QStringLiteral("0"), c.Box);
        c.Result->setGeometry(8, 66, 172, 20);
        *fields[i][0] = c.Part1;
        *fields[i][1] = c.Part2;
        *fields[i][2] = c.Result;
        connect(c.Calculate, &QPushButton::clicked, this, [this, i] { Handle([this, i] { CalculateClick(i + 1); }); });
        connect(c.Reset, &QPushButton::clicked, this, [this, i] { Handle([this, i] { ResetClick(i + 1); }); });
    }
    // The rows of calculators are parted by blue lines.
    for (int x : {6, 200}) {
        QLabel* line = MakeLabel(this, QString::fromLatin1(kStarLine), x, 112, 188, 14);
        line->setAlignment(Qt::AlignCenter);
        SetTextColour(line, QPalette::WindowText, kBlue);
    }
}

void TEditDlg::BuildBottom() {
    MakeLabel(this, QStringLiteral("FileName"), 6, 414, 56);
    EditFileName = new QLineEdit(this);
    EditFileName->setGeometry(64, 412, 520, 24);
    SetBold(EditFileName);
    SetTextColour(EditFileName, QPalette::Text, kBlue);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(598, 410, 88, 28);
    OKBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(694, 410, 88, 28);
    CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
}
}  // namespace sphaeron::forms

#include "sphaeron/forms/main_form.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/key_filter.h"

// The main window's layout: menus, the drawing area with its legend, the
// bottom panel (listing, memo, name field) and the right-hand panel (run
// controls, view buttons, parameter fields), and their places as the window
// is resized.
namespace sphaeron::forms {

namespace {

const char* const kLegendText = "   0 - AtomStand;   1 - Shelloscope;   2 - Libration;    ";

}  // namespace

// ---------------------------------------------------------------------------
// Building the window

TMainForm::TMainForm(Session& session, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), session_(session), dialogs_(dialogs), canvas_(&BackBuffer),
      autosave_(std::make_unique<RunAutosave>()) {
    setWindowTitle(QStringLiteral("Sphaeron"));
    HelpFolder = QCoreApplication::applicationDirPath();

    keyFilter_ = new NumberKeyFilter(this);
    BuildMenus();

    Body = new ResizingWidget(this, dialogs_);
    setCentralWidget(Body);
    Body->OnResize = [this] {
        if (created_) FormResize();
    };
    DrawArea = new DrawingArea(Body, &BackBuffer, dialogs_);
    DrawArea->OnMouseDown = [this](QMouseEvent* e) {
        FormMouseDown(e->button(), qRound(e->position().x()), qRound(e->position().y()));
    };
    DrawArea->OnMouseUp = [this](QMouseEvent* e) {
        FormMouseUp(e->button(), qRound(e->position().x()), qRound(e->position().y()));
    };

    // The legend of the mode buttons, at the top left of the drawing area.
    auto* legendBox = new QWidget(DrawArea);
    legendBox->setAutoFillBackground(true);
    QPalette legendPalette = legendBox->palette();
    legendPalette.setColor(QPalette::Window, Qt::black);
    legendPalette.setColor(QPalette::WindowText, QColor(192, 192, 192));
    legendBox->setPalette(legendPalette);
    RadioButton3 = new QRadioButton(QString::fromLatin1(kLegendText), legendBox);
    RadioButton3->setFocusPolicy(Qt::NoFocus);
    RadioButton3->adjustSize();
    RadioButton3->move(2, 1);
    legendBox->resize(RadioButton3->width() + 4, RadioButton3->height() + 2);

    BuildBottomPanel();
    BuildRightPanel();

    Timer = new QTimer(this);
    Timer->setInterval(300);
    Wire(Timer, &QTimer::timeout, &TMainForm::TimerTimer);

    // Menu keys win over the controls' own use of the same keys.
    QList<QKeySequence> keys;
    for (QAction* a : findChildren<QAction*>())
        if (!a->shortcut().isEmpty()) keys << a->shortcut();
    auto* menuKeys = new MenuKeysFirst(this, keys);
    for (QWidget* w : findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus) w->installEventFilter(menuKeys);

    // Centred on the screen.
    const int height = kDrawingHeight + kPanHeight + menuBar()->sizeHint().height();
    resize(kFormWidth, height);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kFormWidth / 2, height / 2));
    }
    if (layout()) layout()->activate();
    ArrangeControls();

    // The name field follows the document name the commands set.
    session_.OnDocumentNameSet([this] { ShowDocumentName(); });
    FormCreate();
    Timer->start();
}

TMainForm::~TMainForm() {
    Timer->stop();
    session_.OnDocumentNameSet(nullptr);
    // Leaving the window is not leaving a control: no more handlers.
    for (QObject* o : {static_cast<QObject*>(EditDT), static_cast<QObject*>(Comment)}) o->removeEventFilter(this);
    Comment->disconnect(this);
}

void TMainForm::BuildMenus() {
    auto item = [this](QMenu* menu, const char* caption, void (TMainForm::*handler)(), QKeySequence key = {}) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setShortcut(key);
        Wire(a, &QAction::triggered, handler);
        return a;
    };
    File1 = menuBar()->addMenu(QStringLiteral("File"));
    New1 = item(File1, "New", &TMainForm::New1Click, QKeySequence(Qt::Key_F2));
    Open1 = item(File1, "Open", &TMainForm::Open1Click, QKeySequence(Qt::Key_F3));
    Save1 = item(File1, "Save", &TMainForm::Save1Click, QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAs1 = item(File1, "Save As ...", &TMainForm::SaveAs1Click);
    SaveRunAs1 = item(File1, "Save Run As...", &TMainForm::SaveRunAs1Click);
    RecentRuns1 = File1->addMenu(QStringLiteral("Recent Runs"));
    Wire(RecentRuns1, &QMenu::aboutToShow, &TMainForm::RecentRuns1Show);
    File1->addSeparator();
    Exit1 = item(File1, "Exit", &TMainForm::Exit1Click, QKeySequence(Qt::ALT | Qt::Key_X));

    View1 = menuBar()->addMenu(QStringLiteral("View"));
    Images = View1->addMenu(QStringLiteral("Show Images"));
    Daons1 = item(Images, "Taons", &TMainForm::Daons1Click, QKeySequence(Qt::Key_F5));
    Spiral1 = item(Images, "Spiral", &TMainForm::Spiral1Click);
    // The check marks are set by the handlers from their flags, not by a
    // click itself.
    auto checkItem = [this](QMenu* menu, const char* caption, void (TMainForm::*handler)(), QKeySequence key) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setShortcut(key);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a, handler](bool checked) {
            a->setChecked(!checked);
            Guarded(dialogs_, [&] { (this->*handler)(); });
        });
        return a;
    };
    ShowSpin = checkItem(View1, "ShowSpin", &TMainForm::ShowSpinClick, QKeySequence(Qt::Key_F6));
    ShowNumbersOfPoints = checkItem(View1, "Show Numbers of Points", &TMainForm::ShowNumbersOfPointsClick,
                                    QKeySequence(Qt::Key_F7));
    MoveToCenter = item(View1, "Move to center", &TMainForm::MoveToCenterClick, QKeySequence(Qt::Key_F8));
    Plots1 = item(View1, "Plots", &TMainForm::Plots1Click, QKeySequence(Qt::Key_F9));
    BuildTimeline();
    BuildStructureMenu();
    BuildMovieExport();

    // "Manager" is never shown; its items act through their keys only.
    Manager = new QMenu(QStringLiteral("Manager"), this);
    Left1 = item(Manager, "Left", &TMainForm::Left1Click, QKeySequence(Qt::CTRL | Qt::Key_Left));
    Right1 = item(Manager, "Right", &TMainForm::Right1Click, QKeySequence(Qt::CTRL | Qt::Key_Right));
    Up1 = item(Manager, "Up", &TMainForm::Up1Click, QKeySequence(Qt::CTRL | Qt::Key_Up));
    Down1 = item(Manager, "Down", &TMainForm::Down1Click, QKeySequence(Qt::CTRL | Qt::Key_Down));
    addActions({Left1, Right1, Up1, Down1});

    Help1 = menuBar()->addMenu(QStringLiteral("Help"));
    EnglishHelp1 = item(Help1, "English Help", &TMainForm::EnglishHelp1Click, QKeySequence(Qt::Key_F1));
    RussianHelp1 = item(Help1, "Russian Help", &TMainForm::RussianHelp1Click, QKeySequence(Qt::CTRL | Qt::Key_F1));
    PolandHelp1 = item(Help1, "Poland Help", &TMainForm::PolandHelp1Click, QKeySequence(Qt::SHIFT | Qt::Key_F1));
    Help1->addSeparator();
    About1 = item(Help1, "About", &TMainForm::About1Click);
}

void TMainForm::BuildBottomPanel() {
    Pan = new QFrame(Body);
    Pan->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Pan->setLineWidth(1);

    PageControl = new QTabWidget(Pan);
    PageControl->setGeometry(1, 1, 400, kPanHeight - 2 - 22);
    TabListing = new QWidget();
    TabCommentary = new QWidget();
    PageControl->addTab(TabListing, QStringLiteral("Listing"));
    PageControl->addTab(TabCommentary, QStringLiteral("Commentary"));

    // The listing: 4 columns and 101 rows; row 0 and column 0 are fixed and
    // shown as the headers of the view.
    Listing = new GridModel(4, kMaxTaons + 1, this);
    DaonsTable = MakeGridView(TabListing, Listing);
    DaonsTable->verticalHeader()->setDefaultSectionSize(18);
    DaonsTable->horizontalHeader()->setFixedHeight(19);
    DaonsTable->move(0, 0);
    for (QObject* o : {static_cast<QObject*>(DaonsTable->viewport()), static_cast<QObject*>(DaonsTable->horizontalHeader()),
                       static_cast<QObject*>(DaonsTable->verticalHeader()->viewport()),
                       static_cast<QObject*>(DaonsTable->horizontalHeader()->viewport()),
                       static_cast<QObject*>(DaonsTable->verticalHeader())})
        o->installEventFilter(this);

    Comment = new QPlainTextEdit(TabCommentary);
    Comment->move(0, 0);
    Comment->setPlainText(QStringLiteral("No Comment"));
    Comment->installEventFilter(this);
    Wire(Comment, &QPlainTextEdit::textChanged, &TMainForm::CommentChange);

    FName = new QLineEdit(QStringLiteral("File Name"), Pan);
}

QLineEdit* TMainForm::MakeField(QWidget* parent, int x, int y, int w, QColor colour, bool filtered) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(x, y, w, 18);
    e->setTextMargins(0, 0, 0, 0);
    if (colour.isValid()) {
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, colour);
        pal.setColor(QPalette::Text, Qt::black);
        e->setPalette(pal);
    }
    if (filtered) e->installEventFilter(keyFilter_);
    return e;
}

QPushButton* TMainForm::MakeViewButton(int x, int y, int w, const QString& caption, void (TMainForm::*handler)()) {
    auto* b = new QPushButton(caption, Panel1);
    b->setGeometry(x, y, w, 22);
    b->setFocusPolicy(Qt::TabFocus);
    Wire(b, &QPushButton::clicked, handler);
    return b;
}

void TMainForm::BuildRightPanel() {
    Panel1 = new QFrame(Pan);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QFont small = Panel1->font();
    small.setPointSizeF(7.5);
    Panel1->setFont(small);

    // Run controls
    Go = new QPushButton(QStringLiteral("Go"), Panel1);
    Go->setGeometry(4, 4, 58, 25);
    Go->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    Go->setEnabled(false);
    Wire(Go, &QPushButton::clicked, &TMainForm::GoClick);
    ShapeLime = new TShape(Panel1);
    ShapeLime->setGeometry(67, 4, 12, 12);
    ShapeLime->SetBrushColor(kLime);
    ShapeRed = new TShape(Panel1);
    ShapeRed->setGeometry(67, 17, 12, 12);
    ShapeRed->SetBrushColor(kMaroon);

    LabelTime = new QLabel(QStringLiteral("Time:"), Panel1);
    LabelTime->setGeometry(4, 32, 30, 16);
    LTime = new QLabel(QStringLiteral("0"), Panel1);
    LTime->setGeometry(34, 32, 34, 16);
    LTime->installEventFilter(this);
    Null00 = new QPushButton(QStringLiteral("0"), Panel1);
    Null00->setGeometry(68, 31, kNull00Width, 18);
    Null00->setToolTip(QStringLiteral("Make null of velocity"));
    Wire(Null00, &QPushButton::clicked, &TMainForm::Null00Click);

    ShowList = new QCheckBox(QStringLiteral("Show Listing"), Panel1);
    ShowList->setGeometry(4, 50, 88, 16);
    ShowList->setChecked(true);
    BuildViewButtons();
    BuildParameterPanel();

    Cool = new QCheckBox(QStringLiteral("Cool"), Panel1);
    Cool->setGeometry(118, 160, 46, 16);
    StopL = new QCheckBox(QStringLiteral("StopL"), Panel1);
    StopL->setGeometry(170, 160, 60, 16);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{RB0, RB1, RB2, Cool, StopL})
        Wire(b, &QAbstractButton::toggled, &TMainForm::SwitchesClick);
}

void TMainForm::BuildViewButtons() {
    // The nine view buttons; their captions are arrows.
    DaoBack = MakeViewButton(4, 83, 37, QString(QChar(0x2197)), &TMainForm::DaoBackClick);
    DaoTeta = MakeViewButton(44, 83, 23, QString(QChar(0x21E7)), &TMainForm::DaoTetaClick);
    DaoPsi = MakeViewButton(68, 83, 23, QString(QChar(0x2B00)), &TMainForm::DaoPsiClick);
    DaoPhi = MakeViewButton(20, 107, 23, QString(QChar(0x21E6)), &TMainForm::DaoPhiClick);
    DaoStop = MakeViewButton(44, 107, 23, QString(), &TMainForm::DaoStopClick);
    DaoPhi1 = MakeViewButton(68, 107, 23, QString(QChar(0x21E8)), &TMainForm::DaoPhi1Click);
    DaoForvard = MakeViewButton(4, 131, 37, QString(QChar(0x2199)), &TMainForm::DaoForvardClick);
    DaoTeta1 = MakeViewButton(44, 131, 23, QString(QChar(0x21E9)), &TMainForm::DaoTeta1Click);
    DaoPsi1 = MakeViewButton(68, 131, 23, QString(QChar(0x2B03)), &TMainForm::DaoPsi1Click);
    QFont arrows = Panel1->font();
    arrows.setPointSizeF(10);
    for (QPushButton* b : {DaoBack, DaoTeta, DaoPsi, DaoPhi, DaoStop, DaoPhi1, DaoForvard, DaoTeta1, DaoPsi1})
        b->setFont(arrows);

    TrackBar = new QSlider(Qt::Horizontal, Panel1);
    TrackBar->setGeometry(2, 155, 90, 24);
    TrackBar->setRange(kTrackBarMin, kTrackBarMax);
    TrackBar->setPageStep(1);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setTickInterval(1);
    TrackBar->setValue(kTrackBarStart);
    TrackBar->setToolTip(QStringLiteral("Amplitude"));
    Wire(TrackBar, &QSlider::valueChanged, &TMainForm::TrackBarChange);
}

void TMainForm::BuildParameterPanel() {
    auto label = [this](const char* text, int x, int y, int w) {
        auto* l = new QLabel(QString::fromLatin1(text), Panel1);
        l->setGeometry(x, y, w, 18);
        return l;
    };
    label("dt=", 97, 3, 17);
    EditDT = MakeField(Panel1, 114, 3, 44, QColor(), true);
    EditDT->setText(QStringLiteral("0"));
    EditDT->installEventFilter(this);

    ModeBox = new QWidget(Panel1);
    ModeBox->setGeometry(160, 3, 81, 18);
    RB0 = new QRadioButton(QStringLiteral("0"), ModeBox);
    RB1 = new QRadioButton(QStringLiteral("1"), ModeBox);
    RB2 = new QRadioButton(QStringLiteral("2"), ModeBox);
    RB0->setGeometry(0, 0, 27, 18);
    RB1->setGeometry(27, 0, 27, 18);
    RB2->setGeometry(54, 0, 27, 18);
    RB0->setChecked(true);

    const char* rowLabels[6] = {"A1", "B1", "C1", "D1", "F1", "G1E"};
    const char* initial[6] = {"1", "1", "2", "3", "4", "5"};
    QLineEdit** groups[3][6] = {{&EditA1, &EditB1, &EditC1, &EditD1, &EditF1, &EditG1},
                                {&EditA2, &EditB2, &EditC2, &EditD2, &EditF2, &EditG2},
                                {&EditA3, &EditB3, &EditC3, &EditD3, &EditF3, &EditG3}};
    const QColor colours[3] = {kLime, kYellow, kRed};
    const int columnX[3] = {118, 163, 208};
    const int columnW[3] = {36, 36, 33};
    for (int row = 0; row < 6; ++row) {
        int y = 23 + row * 19;
        label(rowLabels[row], 97, y, 21);
        label("2", 155, y, 8);
        label("3", 200, y, 8);
        for (int g = 0; g < 3; ++g) {
            // The key filter is on A1 .. D1 only.
            bool filtered = g == 0 && row < 4;
            QLineEdit* e = MakeField(Panel1, columnX[g], y, columnW[g], colours[g], filtered);
            e->setText(QString::fromLatin1(initial[row]));
            // Leaving the field stores its value, as leaving dt= does.
            e->installEventFilter(this);
            e->setToolTip(QStringLiteral("Group %1: the value is used from the next step on once you leave the field")
                              .arg(g + 1));
            *groups[g][row] = e;
        }
    }
    ParameterFields = {EditDT, EditA1, EditB1, EditC1, EditD1, EditF1, EditG1, EditA2, EditB2, EditC2,
                       EditD2, EditF2, EditG2, EditA3, EditB3, EditC3, EditD3, EditF3, EditG3};
    int rangeY = 23 + 6 * 19;
    Edit1 = MakeField(Panel1, columnX[0], rangeY, columnW[0], kLime, false);
    Edit2 = MakeField(Panel1, columnX[1], rangeY, columnW[1], kYellow, false);
    Edit3 = MakeField(Panel1, columnX[2], rangeY, columnW[2], kRed, false);
    Edit1->setText(QStringLiteral("1-50"));
    Edit2->setText(QStringLiteral("51-80"));
    Edit3->setText(QStringLiteral("81-100"));
    QFont tiny = Panel1->font();
    tiny.setPointSizeF(6.0);
    for (QLineEdit* e : {Edit1, Edit2, Edit3}) {
        e->setFont(tiny);
        e->setFrame(false);
        e->setAlignment(Qt::AlignCenter);
        e->setCursorPosition(0);
    }
}

int TMainForm::PanTop() const { return Pan->y(); }

// Places the drawing area, the bottom panel and the right-hand panel as the
// window's size asks; the back buffer covers the drawing area.
void TMainForm::ArrangeControls() {
    int w = Body->width(), h = Body->height();
    int panTop = std::max(0, h - kPanHeight);
    Pan->setGeometry(0, panTop, w, kPanHeight);
    DrawArea->setGeometry(0, 0, w, panTop);
    Panel1->setGeometry(std::max(0, w - 1 - kPanel1Width), 1, kPanel1Width, kPanHeight - 2);
    PageControl->setGeometry(1, 1, PageControl->width(), kPanHeight - 2 - 22);
    FName->setGeometry(1, kPanHeight - 1 - 22, FName->width(), 22);
    DaonsTable->resize(DaonsTable->width(), PageControl->height() - 29);
    QSize size(std::max(1, width()), std::max(1, panTop));
    if (BackBuffer.size() != size) {
        BackBuffer = QImage(size, QImage::Format_RGB32);
        BackBuffer.fill(Qt::black);
    }
}

}  // namespace sphaeron::forms

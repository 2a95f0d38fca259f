#include "sphaeron/forms/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStringDecoder>
#include <QStyle>

#include "common/errors.h"
#include "common/fileio.h"
#include "common/numtext.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/key_filter.h"
#include "sphaeron/view/view.h"

namespace sphaeron::forms {

namespace {

const QColor kLime(0, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kYellow(255, 255, 0);

const char* const kLegendText = "   0 - AtomStand;   1 - Shelloscope;   2 - Libration;    ";
const char* const kSaveQuestion = "The text was changed. Save now?";
const char* const kStartFileMissingText = "The start File not found.";

// Repaints the drawing area when a drawing pass ends, also when it ends
// with a failure: what was drawn so far stays on the screen.
class ShowWhenDone {
public:
    explicit ShowWhenDone(QWidget* area) : area_(area) {}
    ~ShowWhenDone() { area_->update(); }
    ShowWhenDone(const ShowWhenDone&) = delete;
    ShowWhenDone& operator=(const ShowWhenDone&) = delete;

private:
    QWidget* area_;
};

bool LeavesForAnotherControl(const QFocusEvent* e) {
    // Leaving a control means focus moving to another control of the same
    // window, not the window losing its activation or a menu opening.
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

}  // namespace

QString PathText(const std::string& path) { return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())); }

std::string TextPath(const QString& text) { return text.toStdString(); }

// ---------------------------------------------------------------------------
// Building the window

TMainForm::TMainForm(Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session), canvas_(&BackBuffer) {
    setWindowTitle(QStringLiteral("Sphaeron"));
    HelpFolder = QCoreApplication::applicationDirPath();

    keyFilter_ = new NumberKeyFilter(this);
    BuildMenus();

    Body = new ResizingWidget(this);
    setCentralWidget(Body);
    Body->OnResize = [this] {
        if (created_) FormResize();
    };
    DrawArea = new DrawingArea(Body, &BackBuffer);
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

    FormCreate();
    Timer->start();
}

TMainForm::~TMainForm() {
    Timer->stop();
    // Leaving the window is not leaving a control: no more handlers.
    for (QObject* o : {static_cast<QObject*>(EditDT), static_cast<QObject*>(Comment)}) o->removeEventFilter(this);
    Comment->disconnect(this);
}

template <class Signal, class Sender>
void TMainForm::Wire(Sender* sender, Signal signal, void (TMainForm::*handler)()) {
    connect(sender, signal, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
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
            Guarded([&] { (this->*handler)(); });
        });
        return a;
    };
    ShowSpin = checkItem(View1, "ShowSpin", &TMainForm::ShowSpinClick, QKeySequence(Qt::Key_F6));
    ShowNumbersOfPoints = checkItem(View1, "Show Numbers of Points", &TMainForm::ShowNumbersOfPointsClick,
                                    QKeySequence(Qt::Key_F7));
    MoveToCenter = item(View1, "Move to center", &TMainForm::MoveToCenterClick, QKeySequence(Qt::Key_F8));
    Plots1 = item(View1, "Plots", &TMainForm::Plots1Click, QKeySequence(Qt::Key_F9));

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
    DaonsTable = new QTableView(TabListing);
    DaonsTable->setModel(Listing);
    DaonsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DaonsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    DaonsTable->setWordWrap(false);
    DaonsTable->setCornerButtonEnabled(false);
    DaonsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DaonsTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DaonsTable->verticalHeader()->setDefaultSectionSize(18);
    DaonsTable->horizontalHeader()->setFixedHeight(19);
    DaonsTable->horizontalHeader()->setHighlightSections(false);
    DaonsTable->verticalHeader()->setHighlightSections(false);
    DaonsTable->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DaonsTable->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
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
    Null00->setGeometry(68, 31, 24, 18);
    Null00->setToolTip(QStringLiteral("Make null of velocity"));
    Wire(Null00, &QPushButton::clicked, &TMainForm::Null00Click);

    ShowList = new QCheckBox(QStringLiteral("Show Listing"), Panel1);
    ShowList->setGeometry(4, 50, 88, 16);
    ShowList->setChecked(true);

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

    // Parameter panel
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

    Cool = new QCheckBox(QStringLiteral("Cool"), Panel1);
    Cool->setGeometry(118, 160, 46, 16);
    StopL = new QCheckBox(QStringLiteral("StopL"), Panel1);
    StopL->setGeometry(170, 160, 60, 16);
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

// ---------------------------------------------------------------------------
// Start-up

void TMainForm::FormCreate() {
    TaonState& s = State();
    ViewState& v = session_.View;
    // 1 .. 4: view defaults.
    UpdateCenter(v, width(), PanTop());
    v.ViewScale = kDefaultViewScale;
    v.StepTeta = v.StepPsi = v.StepPhi = 0;
    s.SpiralMode = true;
    s.TaonCount = kMaxTaons;
    v.FigureKind = kDefaultFigureKind;
    ComputeStepMatrix(v);

    // 5: the remembered document, or a start figure.
    bool loaded = false;
    std::optional<std::string> last = ReadLastDocument();
    if (!last) {
        try {
            CreateStartFile();
        } catch (const common::AppError& e) {
            // Reported; start-up goes on with the spiral.
            ReportFailure(e);
        }
        BuildStartStructure(s, v);
        session_.DocumentName = kSpiralTitle;
    } else if (last->empty()) {
        session_.LastDocumentName.clear();
        BuildStartStructure(s, v);
        session_.DocumentName = kSpiralTitle;
    } else {
        session_.LastDocumentName = *last;
        s.SpiralMode = false;
        Go->setEnabled(true);
        session_.DocumentName = *last;
        ShowDocumentName();
        bool readable = common::CanOpenForRead(session_.DocumentName);
        if (readable) {
            try {
                ReadDocument(session_.DocumentName, session_.Document);
                DistributeDocument(session_.Document, s);
                loaded = true;
            } catch (const common::AppError& e) {
                // A remembered document that cannot be read (shorter than a
                // record) is reported; start-up goes on with the easy square.
                ReportFailure(e);
            }
        }
        if (loaded) {
            if (auto text = LoadCommentary(session_.DocumentName)) SetCommentText(*text);
        } else {
            BuildStartStructure(s, v);
            FName->setText(QString::fromLatin1(kEasySquareTitle));
        }
    }

    // 6: step sizes.
    session_.Controls.ShiftStep = 5.0L;
    session_.Controls.ZoomStep = 3.0L;
    session_.Controls.AngleStep = 0.01L;

    // The time step in force is the one the field shows: the document's, or
    // 0.001 when no document was loaded.
    if (!loaded) s.DT = 0.001L;

    // 7 .. 9
    FillListing();
    FillParameterFields();
    s.Stopped = true;
    created_ = true;
}

// ---------------------------------------------------------------------------
// Window events

void TMainForm::FormPaint() {
    UpdateCenter(session_.View, width(), PanTop());
    if (State().SpiralMode) {
        DrawFigureScene();
    } else {
        DrawTaonScene();
        FillListing();
    }
}

void TMainForm::FormResize() {
    ArrangeControls();
    UpdateCenter(session_.View, width(), PanTop());
    ResizeLayout lay = ComputeResizeLayout(Panel1->x(), PageControl->height());
    FName->resize(lay.FNameWidth, FName->height());
    Comment->resize(lay.CommentWidth, lay.CommentHeight);
    PageControl->resize(lay.PageControlWidth, PageControl->height());
    DaonsTable->resize(lay.DaonsTableWidth, DaonsTable->height());
    int col = std::max(0, lay.DefaultColWidth);
    DaonsTable->horizontalHeader()->setMinimumSectionSize(std::min(col, 1));
    DaonsTable->horizontalHeader()->setDefaultSectionSize(col);
    DaonsTable->verticalHeader()->setFixedWidth(col);
    RedrawPicture();
}

void TMainForm::FormMouseDown(Qt::MouseButton button, int x, int y) {
    MouseButton b = button == Qt::RightButton ? MouseButton::Right
                    : button == Qt::MiddleButton ? MouseButton::Middle
                                                 : MouseButton::Left;
    sphaeron::FormMouseDown(session_.Controls, b, x, y);
}

void TMainForm::FormMouseUp(Qt::MouseButton button, int x, int y) {
    MouseButton b = button == Qt::RightButton ? MouseButton::Right
                    : button == Qt::MiddleButton ? MouseButton::Middle
                                                 : MouseButton::Left;
    ShowWhenDone show(DrawArea);
    Picture p = CurrentPicture();
    sphaeron::FormMouseUp(session_.Controls, p, b, x, y);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) Guarded([this] { FormPaint(); });
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from the minimised state asks for a fresh picture.
    if (event->type() == QEvent::WindowStateChange && created_ && isVisible() && !isMinimized()) {
        auto* e = static_cast<QWindowStateChangeEvent*>(event);
        if (e->oldState() & Qt::WindowMinimized) Guarded([this] { FormPaint(); });
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (runActive_) {
        // A run is going on: end it first; the window closes once the run
        // loop has returned.
        State().Stopped = true;
        ShowIdleLook();
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusOut:
            if (LeavesForAnotherControl(static_cast<QFocusEvent*>(event))) {
                if (watched == EditDT) Guarded([this] { EditDTExit(); });
                if (watched == Comment) Guarded([this] { CommentExit(); });
            }
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == LTime) {
                Guarded([this] { LTimeDblClick(); });
                return true;
            }
            if (watched == DaonsTable->viewport() || watched == DaonsTable->horizontalHeader() ||
                watched == DaonsTable->verticalHeader() || watched == DaonsTable->horizontalHeader()->viewport() ||
                watched == DaonsTable->verticalHeader()->viewport()) {
                Guarded([this] { DaonsTableDblClick(); });
                return true;
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Pictures

char TMainForm::Separator() {
    QString point = QLocale().decimalPoint();
    return point.isEmpty() ? '.' : point.at(0).toLatin1();
}

Picture TMainForm::CurrentPicture() {
    SceneSwitches sw;
    sw.StopL = StopL->isChecked();
    sw.RB1 = RB1->isChecked();
    sw.RB2 = RB2->isChecked();
    sw.DecimalSeparator = Separator();
    sw.ShellFields = [this] {
        ShellFieldTexts t;
        QLineEdit* fields[6] = {EditA1, EditB1, EditC1, EditD1, EditF1, EditG1};
        for (int i = 0; i < 6; ++i) t[static_cast<std::size_t>(i)] = fields[i]->text().toStdString();
        return t;
    };
    canvas_.Bind();
    return Picture{session_.State, session_.View, canvas_, std::move(sw)};
}

void TMainForm::DrawTaonScene() {
    ShowWhenDone show(DrawArea);
    Picture p = CurrentPicture();
    sphaeron::DrawTaonScene(p);
}

void TMainForm::DrawFigureScene() {
    ShowWhenDone show(DrawArea);
    Picture p = CurrentPicture();
    sphaeron::DrawFigureScene(p);
}

void TMainForm::RedrawPicture() {
    ShowWhenDone show(DrawArea);
    Picture p = CurrentPicture();
    sphaeron::RedrawPicture(p);
}

// ---------------------------------------------------------------------------
// Run controls

void TMainForm::ShowIdleLook() {
    Go->setText(QStringLiteral("Go"));
    Go->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ShapeRed->SetBrushColor(kMaroon);
    ShapeLime->SetBrushColor(kLime);
    Images->menuAction()->setEnabled(true);
    Daons1->setEnabled(true);
    Spiral1->setEnabled(true);
    Null00->setEnabled(true);
}

void TMainForm::ShowRunningLook() {
    Go->setText(QStringLiteral("Stop"));
    Go->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ShapeRed->SetBrushColor(kRed);
    ShapeLime->SetBrushColor(kGreen);
    // "Show Images" is off during a run, and so are its items' keys.
    Images->menuAction()->setEnabled(false);
    Daons1->setEnabled(false);
    Spiral1->setEnabled(false);
    Null00->setEnabled(false);
    Null00->setText(QStringLiteral("0"));
    QPalette pal = Null00->palette();
    pal.setColor(QPalette::ButtonText, kMaroon);
    Null00->setPalette(pal);
}

void TMainForm::ShowStepCount(int n) { LTime->setText(QString::number(n)); }

void TMainForm::GoClick() {
    TaonState& s = State();
    if (s.Stopped) {
        ShowRunningLook();
        s.Stopped = false;
        if (runActive_) return;  // "Stop" and "Go" within one dispatch: the loop goes on
        runActive_ = true;
        RunLoop(s.StepCount);
        runActive_ = false;
        if (closeAfterRun_) {
            closeAfterRun_ = false;
            close();
        }
    } else {
        ShowIdleLook();
        s.Stopped = true;
    }
}

void TMainForm::RunLoop(int n) {
    TaonState& s = State();
    do {
        try {
            ++n;
            StepSwitches sw;
            sw.StopL = StopL->isChecked();
            sw.Cool = Cool->isChecked();
            sw.Mode1 = RB1->isChecked();
            TaonStep(s, sw);
            s.StepCount = n;
            if (s.TimeDisplayOn) ShowStepCount(n);
            DrawTaonScene();
            if (ShowList->isChecked()) FillListing();
            if (Plots) PlotsStepDone(sw, n);
        } catch (const std::exception& e) {
            // The failing step ends the run: the message, then the idle look.
            s.Stopped = true;
            ReportFailure(e);
            ShowIdleLook();
            return;
        }
        QCoreApplication::processEvents();
    } while (!s.Stopped);
}

void TMainForm::FillListing() {
    const TaonState& s = State();
    const char sep = Separator();
    const bool vel = s.ListVelocities;
    Listing->SetCell(1, 0, vel ? QStringLiteral("u(x)") : QStringLiteral("X"));
    Listing->SetCell(2, 0, vel ? QStringLiteral("u(y)") : QStringLiteral("Y"));
    Listing->SetCell(3, 0, vel ? QStringLiteral("u(z)") : QStringLiteral("Z"));
    const int n = std::min<int>(s.TaonCount, kMaxTaons);
    for (int k = 1; k <= n; ++k) Listing->SetCell(0, k, QString::number(k));
    auto text = [sep](long double v) { return QString::fromLatin1(common::FormatReal(v, sep)); };
    for (int k = 1; k <= n; ++k) {
        if (s.Present(k)) {
            Listing->SetCell(1, k, text(vel ? s.Ux[k] : s.X[k]));
            Listing->SetCell(2, k, text(vel ? s.Uy[k] : s.Y[k]));
            Listing->SetCell(3, k, text(vel ? s.Uz[k] : s.Z[k]));
        } else {
            Listing->SetCell(1, k, QString());
            Listing->SetCell(2, k, QString());
            Listing->SetCell(3, k, QString());
        }
    }
    Listing->Publish();
}

void TMainForm::Null00Click() {
    TaonState& s = State();
    if (s.SpiralMode || !s.Stopped) return;
    ZeroVelocities(s);
    Null00->setText(QStringLiteral("Yes Null"));
    QPalette pal = Null00->palette();
    pal.setColor(QPalette::ButtonText, kMaroon);
    Null00->setPalette(pal);
    FillListing();
    std::optional<QString> chosen =
        Dialogs::Current().SaveFileName(this, QString::fromLatin1(kDocumentFilter), QString::fromLatin1(kDocumentExtension));
    if (!chosen) return;  // the velocities stay zero in memory
    std::string path = TextPath(*chosen);
    PackDocument(s, session_.Document);
    WriteDocument(path, session_.Document);
    // The name changes once the document is written.
    session_.DocumentName = path;
    ShowDocumentName();
    RememberLastDocument(path);
    session_.LastDocumentName = path;
}

void TMainForm::LTimeDblClick() { State().TimeDisplayOn = !State().TimeDisplayOn; }

void TMainForm::DaonsTableDblClick() {
    State().ListVelocities = !State().ListVelocities;
    FillListing();
}

// ---------------------------------------------------------------------------
// View controls

#define SPHAERON_VIEW_COMMAND(Handler, Call)       \
    void TMainForm::Handler() {                    \
        ShowWhenDone show(DrawArea);               \
        Picture p = CurrentPicture();              \
        ViewControls& c = session_.Controls;       \
        (void)c;                                   \
        Call;                                      \
    }

SPHAERON_VIEW_COMMAND(DaoTetaClick, sphaeron::DaoTetaClick(c, p))
SPHAERON_VIEW_COMMAND(DaoTeta1Click, sphaeron::DaoTeta1Click(c, p))
SPHAERON_VIEW_COMMAND(DaoPsiClick, sphaeron::DaoPsiClick(c, p))
SPHAERON_VIEW_COMMAND(DaoPsi1Click, sphaeron::DaoPsi1Click(c, p))
SPHAERON_VIEW_COMMAND(DaoPhiClick, sphaeron::DaoPhiClick(c, p))
SPHAERON_VIEW_COMMAND(DaoPhi1Click, sphaeron::DaoPhi1Click(c, p))
SPHAERON_VIEW_COMMAND(DaoStopClick, sphaeron::DaoStopClick(p))
SPHAERON_VIEW_COMMAND(DaoForvardClick, sphaeron::DaoForvardClick(c, p))
SPHAERON_VIEW_COMMAND(DaoBackClick, sphaeron::DaoBackClick(c, p))
SPHAERON_VIEW_COMMAND(MoveToCenterClick, sphaeron::MoveToCenterClick(p))
SPHAERON_VIEW_COMMAND(Left1Click, sphaeron::Left1Click(c, p))
SPHAERON_VIEW_COMMAND(Right1Click, sphaeron::Right1Click(c, p))
SPHAERON_VIEW_COMMAND(Up1Click, sphaeron::Up1Click(c, p))
SPHAERON_VIEW_COMMAND(Down1Click, sphaeron::Down1Click(c, p))
SPHAERON_VIEW_COMMAND(TimerTimer, sphaeron::TimerTimer(c, p))
SPHAERON_VIEW_COMMAND(ShowNumbersOfPointsClick,
                      sphaeron::ShowNumbersOfPointsClick(p, ShowNumbersOfPoints->isChecked(),
                                                         [this](bool on) { ShowNumbersOfPoints->setChecked(on); }))

#undef SPHAERON_VIEW_COMMAND

void TMainForm::TrackBarChange() { sphaeron::TrackBarChange(session_.Controls, TrackBar->value()); }

void TMainForm::ShowSpinClick() {
    bool on = sphaeron::ShowSpinClick(session_.Controls, ShowSpin->isChecked());
    ShowSpin->setChecked(on);
}

void TMainForm::Spiral1Click() {
    ShowWhenDone show(DrawArea);
    Picture p = CurrentPicture();
    ShowSpiral(p, [this] {
        Go->setEnabled(false);
        Null00->setEnabled(false);
    });
}

void TMainForm::Daons1Click() {
    TaonState& s = State();
    s.SpiralMode = false;
    Go->setEnabled(true);
    Null00->setEnabled(true);
    std::optional<std::string> last = ReadLastDocument();
    if (!last) {
        Dialogs::Current().Information(this, QString::fromLatin1(kStartFileMissingText));
        return;
    }
    session_.LastDocumentName = *last;
    if (last->empty()) {
        BuildStartStructure(s, session_.View);
        session_.DocumentName = kStableStructureTitle;
        FillListing();
        ShowDocumentName();
        DrawTaonScene();
        return;
    }
    session_.DocumentName = *last;
    ShowDocumentName();
    if (!common::CanOpenForRead(session_.DocumentName)) {
        BuildStartStructure(s, session_.View);
        return;
    }
    ReadDocument(session_.DocumentName, session_.Document);
    DistributeDocument(session_.Document, s);
    // The field shows the time step in force.
    EditDT->setText(QString::fromLatin1(common::FormatReal(s.DT, Separator())));
    DrawTaonScene();
    FillListing();
}

// ---------------------------------------------------------------------------
// File and help commands

void TMainForm::ShowDocumentName() { FName->setText(PathText(session_.DocumentName)); }

void TMainForm::FillParameterFields() {
    const char sep = Separator();
    for (int i = 0; i < kParameterCount; ++i)
        ParameterFields[static_cast<std::size_t>(i)]->setText(
            QString::fromLatin1(common::FormatReal(*ParameterField(State(), i), sep)));
    PlotsRefresh();
}

void TMainForm::New1Click() {
    if (!EditDlg) return;
    if (Dialogs::Current().ExecModal(*EditDlg) != QDialog::Accepted) return;
    TaonState& s = State();
    s.SpiralMode = false;
    Go->setEnabled(true);
    // During a run the velocity reset stays off until Stop.
    Null00->setEnabled(s.Stopped);
    ShowDocumentName();
    s.StepCount = 0;
    LTime->setText(QStringLiteral("0"));
    FillListing();
    FillParameterFields();
    DrawTaonScene();
}

void TMainForm::Open1Click() {
    std::optional<QString> chosen =
        Dialogs::Current().OpenFileName(this, QString::fromLatin1(kDocumentFilter), QString::fromLatin1(kDocumentExtension));
    if (!chosen) return;
    OpenDocumentFromDialog(TextPath(*chosen));
}

void TMainForm::OpenDocumentFromDialog(const std::string& path) {
    // All or nothing: the record is read and the start file written before
    // anything of the window or the state changes.
    TaonsDocument record = session_.Document;
    ReadDocument(path, record);
    RememberLastDocument(path);
    session_.LastDocumentName = path;
    session_.Document = record;

    TaonState& s = State();
    s.SpiralMode = false;
    Go->setEnabled(true);
    Null00->setEnabled(s.Stopped);
    session_.DocumentName = path;
    ShowDocumentName();
    DistributeDocument(session_.Document, s);
    s.StepCount = 0;
    LTime->setText(QStringLiteral("0"));
    FillListing();
    FillParameterFields();
    if (auto text = LoadCommentary(session_.DocumentName)) SetCommentText(*text);
    DrawTaonScene();
}

void TMainForm::Save1Click() {
    if (State().SpiralMode) return;
    PackDocument(State(), session_.Document);
    WriteDocument(session_.DocumentName, session_.Document);
}

void TMainForm::SaveAs1Click() {
    if (State().SpiralMode) return;
    std::optional<QString> chosen =
        Dialogs::Current().SaveFileName(this, QString::fromLatin1(kDocumentFilter), QString::fromLatin1(kDocumentExtension));
    if (!chosen) return;
    std::string path = TextPath(*chosen);
    PackDocument(State(), session_.Document);
    WriteDocument(path, session_.Document);
    session_.DocumentName = path;
    ShowDocumentName();
    RememberLastDocument(path);
    session_.LastDocumentName = path;
}

void TMainForm::Exit1Click() { close(); }

void TMainForm::EnglishHelp1Click() {}

void TMainForm::RussianHelp1Click() {
    HelpFile = QStringLiteral("HlpArtRu.hlp");
    ShowHelpContents();
}

void TMainForm::PolandHelp1Click() {
    HelpFile = QStringLiteral("HlpArtPl.hlp");
    ShowHelpContents();
}

void TMainForm::ShowHelpContents() {
    QString path = QDir(HelpFolder).filePath(HelpFile);
    QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        Dialogs::Current().Information(this, QStringLiteral("The help file %1 was not found.").arg(shown));
        return;
    }
    if (!Dialogs::Current().OpenHelpFile(path))
        Dialogs::Current().Information(this, QStringLiteral("The help file %1 could not be opened.").arg(shown));
}

void TMainForm::About1Click() {
    if (AboutBox) Dialogs::Current().ExecModal(*AboutBox);
}

// ---------------------------------------------------------------------------
// Fields and memo

void TMainForm::EditDTExit() { State().DT = common::ParseReal(EditDT->text().toStdString(), Separator()); }

void TMainForm::CommentChange() { session_.CommentModified = true; }

void TMainForm::CommentExit() {
    if (!session_.CommentModified) return;
    session_.CommentModified = false;
    if (!Dialogs::Current().Confirm(this, QString::fromLatin1(kSaveQuestion))) return;
    SaveCommentary(session_.DocumentName, CommentText());
}

std::string TMainForm::CommentText() const {
    // Lines separated by CR LF, no line end after the last; one byte per
    // character where the text allows it, UTF-8 otherwise.
    QString text = Comment->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    bool eightBit = true;
    for (QChar c : text)
        if (c.unicode() > 0xFF) {
            eightBit = false;
            break;
        }
    QByteArray bytes = eightBit ? text.toLatin1() : text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void TMainForm::SetCommentText(const std::string& bytes) {
    QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (utf8.hasError()) text = QString::fromLatin1(raw);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Replacing the text counts as a change only when it differs.
    if (text != Comment->toPlainText()) Comment->setPlainText(text);
}

}  // namespace sphaeron::forms

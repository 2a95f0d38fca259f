#include "duoplex/forms/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabWidget>

#include "common/numtext.h"
#include "common/errors.h"

namespace duoplex::forms {

const char* const kTitle = "Duoplex";
const char* const kGravFilter = "Two taons|*.grav";
const char* const kGravSuffix = "grav";

namespace {

using common::qt::ToQColor;

void SetTextColor(QWidget* w, common::Rgb c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, ToQColor(c));
    w->setPalette(p);
}

// The glyphs of the `Go` button: a check mark while it reads "Go", a cross
// while it reads "Stop".
QIcon Glyph(bool check) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (check) {
        p.setPen(QPen(ToQColor(common::kGreen), 2.5));
        QPainterPath path;
        path.moveTo(2, 8);
        path.lineTo(6, 13);
        path.lineTo(14, 3);
        p.drawPath(path);
    } else {
        p.setPen(QPen(QColor(200, 0, 0), 2.5));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
    }
    return QIcon(pm);
}

char LocaleSeparator() { return common::qt::DecimalSeparator(); }

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 16);
    return l;
}

QRadioButton* NewRadio(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(QString::fromLatin1(name));
    r->setGeometry(x, y, w, 18);
    return r;
}

QString GravFilter() { return QString::fromLatin1(kGravFilter); }
QString GravSuffix() { return QString::fromLatin1(kGravSuffix); }

const char* const kFieldLabel[kFieldCount] = {"Parametr A", "Parametr B", "Parametr C", "Parametr D",
                                              "Koordinat X", "Koordinat Y", "Speed X", "Speed Y"};
const char* const kFieldEdit[kFieldCount] = {"EditA", "EditB", "EditC", "EditD",
                                             "EditX", "EditY", "EditSpeedX", "EditSpeedY"};

}  // namespace

// ---------------------------------------------------------------------------

void TWrapRadio::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_RadioButton, option);
    QRect text = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    text.setLeft(style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this).right() + 4);
    text.setRight(width());
    text.setTop(0);
    text.setBottom(height());
    // The two halves of the caption, "Only 2 Gravons" and "Only 3 Gravons",
    // one above the other.
    QString caption = this->text();
    caption.replace(QStringLiteral("  "), QStringLiteral("\n"));
    p.drawItemText(text, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), caption, QPalette::WindowText);
}

// ---------------------------------------------------------------------------

TMainForm::TMainForm(Dialogs& dialogs)
    : dialogs_(dialogs),
      autosave_(std::make_unique<RunAutosave>()),
      image_(kFieldWidth, kClientHeight, QImage::Format_RGB32),
      canvas_(&image_),
      separator_(LocaleSeparator()) {
    image_.fill(Qt::black);
    BuildControls();
    BuildTimelineKeys();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildControls() {
    setWindowTitle(QString::fromLatin1(kTitle));
    QFont font = this->font();
    font.setPixelSize(11);
    setFont(font);
    BuildMenu();
    BuildRunMenu();
    BuildMovieExport();

    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    DrawingField = new common::qt::DrawingArea(client, &image_, dialogs_);
    DrawingField->setObjectName(QStringLiteral("DrawingField"));
    DrawingField->setGeometry(0, 0, kFieldWidth, kClientHeight);

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(kFieldWidth, 0, kClientWidth - kFieldWidth, kClientHeight);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);

    BuildTimeAndStep();
    BuildBrakeAndScale();
    BuildRunIndicator();
    BuildGravonPages();
    BuildFunctions();
    BuildRunButtons();
    // The run settings follow the radio buttons, also during a run.
    for (QRadioButton* b : {Brake1, Brake2, Brake3, Brake4, Brake5, TwoGravons, ThreeGravons})
        connect(b, &QRadioButton::toggled, this, [this] { PassSettings(); });
    for (FunctionChoice f : kAllFunctions)
        connect(FunctionButton(f), &QRadioButton::toggled, this, [this] { PassSettings(); });
    PassSettings();
}

void TMainForm::BuildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    New1 = file->addAction(QStringLiteral("New"));
    New1->setShortcut(QKeySequence(Qt::Key_F2));
    Open1 = file->addAction(QStringLiteral("Open"));
    Open1->setShortcut(QKeySequence(Qt::Key_F3));
    Save1 = file->addAction(QStringLiteral("Save as ..."));
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("Exit"));
    Exit1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    connect(New1, &QAction::triggered, this, [this] { New1Click(); });
    connect(Open1, &QAction::triggered, this, [this] { Open1Click(); });
    connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
}

void TMainForm::BuildTimeAndStep() {
    Label1 = NewLabel(Panel1, "Label1", QStringLiteral("Time"), 8, 8, 30);
    LTime = NewLabel(Panel1, "LTime", QStringLiteral("0"), 42, 8, 90);
    ShowTime = new QCheckBox(QStringLiteral("Show Time"), Panel1);
    ShowTime->setObjectName(QStringLiteral("ShowTime"));
    ShowTime->setGeometry(160, 6, 130, 20);
    Label2 = NewLabel(Panel1, "Label2", QStringLiteral("Different"), 8, 34, 52);
    EditDifferent = new QLineEdit(Panel1);
    EditDifferent->setObjectName(QStringLiteral("EditDifferent"));
    EditDifferent->setGeometry(62, 31, 90, 22);
    NewDiff = new QPushButton(QStringLiteral("New Different"), Panel1);
    NewDiff->setObjectName(QStringLiteral("NewDiff"));
    NewDiff->setGeometry(160, 30, 130, 24);
    connect(NewDiff, &QPushButton::clicked, this, [this] { NewDiffClick(); });
}

void TMainForm::BuildBrakeAndScale() {
    Panel4 = new QGroupBox(QStringLiteral("Hand-brake"), Panel1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry(4, 58, 100, 106);
    QRadioButton** brakes[kBrakeCount] = {&Brake1, &Brake2, &Brake3, &Brake4, &Brake5};
    for (int b = 1; b <= kBrakeCount; ++b) {
        std::string name = "Brake" + std::to_string(b);
        *brakes[b - 1] = NewRadio(Panel4, name.c_str(), QString::fromLatin1(BrakeCaption(b)), 6, 18 + (b - 1) * 17, 92);
    }
    Brake1->setChecked(true);

    Panel3 = new QFrame(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(108, 58, 186, 74);
    Panel3->setFrameShape(QFrame::Panel);
    Panel3->setFrameShadow(QFrame::Raised);
    Sc1 = NewRadio(Panel3, "Sc1", QStringLiteral("Sc1[5]"), 8, 3, 170);
    Sc2 = NewRadio(Panel3, "Sc2", QStringLiteral("Sc2[10]"), 8, 20, 170);
    RadioButton1 = new TWrapRadio(QStringLiteral("Only 2 Gravons  Only 3 Gravons"), Panel3);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(8, 38, 170, 32);
    Sc1->setChecked(true);
}

void TMainForm::BuildRunIndicator() {
    ShapeRed = new TShape(Panel1);
    ShapeRed->setObjectName(QStringLiteral("ShapeRed"));
    ShapeRed->setGeometry(156, 138, 24, 24);
    ShapeRed->SetBrushColor(ToQColor(common::kMaroon));
    ShapeLime = new TShape(Panel1);
    ShapeLime->setObjectName(QStringLiteral("ShapeLime"));
    ShapeLime->setGeometry(222, 138, 24, 24);
    ShapeLime->SetBrushColor(ToQColor(common::kGreen));
}

void TMainForm::BuildGravonPages() {
    Label59 = NewLabel(Panel1, "Label59", QStringLiteral("T  a  b  l  e    of    d  a  t  a"), 8, 168, 282);
    Label59->setAlignment(Qt::AlignCenter);
    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(4, 184, 290, 126);
    MainTaon = new QWidget;
    MainTaon->setObjectName(QStringLiteral("MainTaon"));
    RedTaon = new QWidget;
    RedTaon->setObjectName(QStringLiteral("RedTaon"));
    BlueTaon = new QWidget;
    BlueTaon->setObjectName(QStringLiteral("BlueTaon"));
    PageControl1->addTab(MainTaon, QStringLiteral("G1"));
    PageControl1->addTab(RedTaon, QStringLiteral("R2"));
    PageControl1->addTab(BlueTaon, QStringLiteral("B3"));
    BuildGravonPage(MainTaon, 1);
    BuildGravonPage(RedTaon, 2);
    BuildGravonPage(BlueTaon, 3);
    PageControl1->setCurrentIndex(2);
}

void TMainForm::BuildFunctions() {
    RadioGroup1 = new QGroupBox(QStringLiteral("Name of strukture"), Panel1);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(4, 314, 290, 96);
    struct Slot {
        QRadioButton** button;
        FunctionChoice f;
        int column, row;
    };
    const Slot places[] = {
        {&F_PE, FunctionChoice::F_PE, 0, 0},          {&GravoNew, FunctionChoice::GravoNew, 0, 2},
        {&F_PES, FunctionChoice::F_PES, 0, 1},        {&F_PE1, FunctionChoice::F_PE1, 1, 0},
        {&F_PE2, FunctionChoice::F_PE2, 1, 1},        {&F_PES_Swi, FunctionChoice::F_PES_Swi, 1, 2},
        {&F_PE_PES, FunctionChoice::F_PE_PES, 1, 3},
    };
    for (const Slot& s : places)
        *s.button = NewRadio(RadioGroup1, FunctionName(s.f), QString::fromLatin1(FunctionCaption(s.f)),
                             6 + s.column * 104, 18 + s.row * 18, s.column ? 178 : 100);
    F_PE->setChecked(true);

    // The two-gravon pass.
    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(4, 414, 290, 50);
    RadioGroup2 = new QGroupBox(QStringLiteral("Functions for Two gravons"), Panel2);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    RadioGroup2->setGeometry(0, 0, 290, 50);
    TwoGravons = NewRadio(RadioGroup2, "TwoGravons", QStringLiteral("Two Gravons(Sc1[5])"), 6, 22, 138);
    ThreeGravons = NewRadio(RadioGroup2, "ThreeGravons", QStringLiteral("Three Grav(Sc2[10])"), 146, 22, 140);
    TwoGravons->setChecked(true);
}

void TMainForm::BuildRunButtons() {
    Refresh = new QPushButton(QStringLiteral("Refresh"), Panel1);
    Refresh->setObjectName(QStringLiteral("Refresh"));
    Refresh->setGeometry(4, 474, 136, 42);
    connect(Refresh, &QPushButton::clicked, this, [this] { RefreshClick(); });
    Go = new QPushButton(Panel1);
    Go->setObjectName(QStringLiteral("Go"));
    Go->setGeometry(158, 474, 136, 42);
    connect(Go, &QPushButton::clicked, this, [this] { GoClick(); });
    // "Go" takes Enter, "Stop" takes Esc.
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), this);
    auto* enterPad = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    auto startByKey = [this] {
        if (Session.Stopped()) Go->click();
    };
    connect(enter, &QShortcut::activated, this, startByKey);
    connect(enterPad, &QShortcut::activated, this, startByKey);
    connect(escape, &QShortcut::activated, this, [this] {
        if (!Session.Stopped()) Go->click();
    });
}

void TMainForm::BuildGravonPage(QWidget* page, int k) {
    const common::Rgb paramColor[4] = {0, common::kGreen, common::kMaroon, common::kBlue};
    for (int f = 0; f < kFieldCount; ++f) {
        int column = f / 4, row = f % 4;
        std::string digit = std::to_string(k);
        auto* l = new QLabel(QString::fromLatin1(kFieldLabel[f]) + QString::fromStdString(digit), page);
        l->setObjectName(QStringLiteral("Label") + QString::fromLatin1(kFieldEdit[f] + 4) +
                         QString::fromStdString(digit));
        l->setGeometry(4 + column * 142, 6 + row * 23, 76, 18);
        if (f < 4) SetTextColor(l, k == 2 && f == 3 ? common::kPurple : paramColor[k]);
        auto* e = new QLineEdit(page);
        e->setObjectName(QString::fromLatin1(kFieldEdit[f]) + QString::fromStdString(digit));
        e->setGeometry(80 + column * 142, 4 + row * 23, 60, 21);
        edits_[f][k] = e;
        labels_[f][k] = l;
    }
}

// ---------------------------------------------------------------------------
// Helpers

long double TMainForm::ReadEdit(const QLineEdit* edit) const {
    return common::ParseReal(edit->text().toStdString(), separator_);
}

std::string TMainForm::Text(duoplex::Field f, int k) const { return Edit(f, k)->text().toStdString(); }
void TMainForm::Show(duoplex::Field f, int k, const std::string& text) { Edit(f, k)->setText(QString::fromStdString(text)); }
std::string TMainForm::DTText() const { return EditDifferent->text().toStdString(); }
void TMainForm::ShowDT(const std::string& text) { EditDifferent->setText(QString::fromStdString(text)); }

void TMainForm::DrawFrame() {
    struct Show {
        QWidget* w;
        ~Show() { w->update(); }
    } show{DrawingField};
    Session.Draw(canvas_, *this);
}

void TMainForm::RedrawScene() {
    ClearCanvas(canvas_);
    DrawFrame();
}

StepSettings TMainForm::CurrentStepSettings() const {
    StepSettings st;
    st.function = Function();
    st.twoGravonPass = TwoGravons->isChecked();
    QRadioButton* const brakes[kBrakeCount] = {Brake1, Brake2, Brake3, Brake4, Brake5};
    for (int b = 1; b <= kBrakeCount; ++b)
        if (brakes[b - 1]->isChecked()) st.brake = b;
    return st;
}

void TMainForm::PassSettings() {
    Session.SetSettings(CurrentStepSettings());
}

QRadioButton* TMainForm::FunctionButton(FunctionChoice f) const {
    switch (f) {
        case FunctionChoice::F_PE: return F_PE;
        case FunctionChoice::F_PES: return F_PES;
        case FunctionChoice::GravoNew: return GravoNew;
        case FunctionChoice::F_PE1: return F_PE1;
        case FunctionChoice::F_PE2: return F_PE2;
        case FunctionChoice::F_PES_Swi: return F_PES_Swi;
        case FunctionChoice::F_PE_PES: return F_PE_PES;
    }
    return F_PE;
}

bool TMainForm::DoubleScale() const { return Sc1->isChecked(); }
bool TMainForm::TwoGravonsChecked() const { return TwoGravons->isChecked(); }

FunctionChoice TMainForm::Function() const {
    for (FunctionChoice f : kAllFunctions)
        if (FunctionButton(f)->isChecked()) return f;
    return FunctionChoice::F_PE;
}

std::string TMainForm::TypedA(int k) const { return Edit(Field::A, k)->text().toStdString(); }

void TMainForm::ShowLiveValue(duoplex::Field f, int k, const std::string& text) {
    QString t = QString::fromStdString(text);
    if (Edit(f, k)->text() != t) Edit(f, k)->setText(t);
}

void TMainForm::SetRunning() {
    Go->setText(QStringLiteral("Stop"));
    Go->setIcon(Glyph(false));
    ShapeRed->SetBrushColor(ToQColor(common::kRed));
    ShapeLime->SetBrushColor(ToQColor(common::kGreen));
    Refresh->setEnabled(false);
    Open1->setEnabled(false);
    RecentRuns1->setEnabled(false);
}

void TMainForm::SetIdle() {
    Go->setText(QStringLiteral("Go"));
    Go->setIcon(Glyph(true));
    ShapeRed->SetBrushColor(ToQColor(common::kMaroon));
    ShapeLime->SetBrushColor(ToQColor(common::kLime));
    Refresh->setEnabled(true);
    Open1->setEnabled(true);
    RecentRuns1->setEnabled(true);
}

// The one failure handler: the text in a box with OK, then carry on.
// ---------------------------------------------------------------------------
// Handlers

void TMainForm::FormCreate() {
    Guarded([&] { Session.StartUp(*this); });  // "Save as ..." writes what is shown
    Go->setText(QStringLiteral("Go"));
    Go->setIcon(Glyph(true));
    move(0, 0);
}

void TMainForm::FormActivate() {
    Guarded([&] { RedrawScene(); });
}

void TMainForm::FormPaint() {
    Guarded([&] { RedrawScene(); });
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormPaint();
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    if (skipActivate_) {
        skipActivate_ = false;
        return;
    }
    FormActivate();
}

void TMainForm::GoClick() {
    if (!Session.Stopped()) {  // the button reads "Stop": the run ends after its step
        SetIdle();
        Session.RequestStop();
        return;
    }
    SetRunning();
    if (Session.Running()) {  // Stop and Go between the same two steps: the run goes on
        Session.CancelStop();
        return;
    }
    PassSettings();
    Guarded([&] { autosave_->Begin(Session); });
    Guarded([&] {
        try {
            // Runs on from the state shown; the states after it are dropped.
            RunResult result = Session.Run(kUntilStopped, this);
            if (result.faulted) throw common::FloatError(result.fault);
        } catch (...) {
            SetIdle();  // back to the idle look before the message
            throw;
        }
    });
    Guarded([&] { autosave_->End(Session); });
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void TMainForm::Committed(const CommittedStep& step) {
    if (ShowTime->isChecked()) LTime->setText(QString::number(step.state.StepCount));
    DrawFrame();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// FormCloseQuery: a running loop is ended first; the window closes once it
// has returned.
void TMainForm::closeEvent(QCloseEvent* event) {
    if (!Session.Stopped()) {
        SetIdle();
        Session.RequestStop();
        closePending_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void TMainForm::Exit1Click() { close(); }

void TMainForm::NewDiffClick() {
    Guarded([&] { Session.SetDT(ReadEdit(EditDifferent)); });
}

void TMainForm::New1Click() { Session.New(*this); }

void TMainForm::Open1Click() {
    if (!Session.Stopped()) return;  // disabled during a run
    Guarded([&] {
        std::optional<QString> name =
            dialogs_.OpenFileName(this, QString::fromLatin1(kGravOrRunFilter), GravSuffix());
        if (name) LoadAndShow(*name);
    });
}

void TMainForm::OpenDocument(const QString& name) {
    Guarded([&] { LoadAndShow(name); });
}

void TMainForm::LoadAndShow(const QString& name) {
    if (IsRunPath(common::qt::FilePath(name))) {
        OpenRun(common::qt::FilePath(name));
        return;
    }
    // A file that is neither a document nor its JSON form: No is the default.
    auto ask = [this](const std::string& question) {
        return dialogs_.ConfirmDefaultNo(this, common::qt::DisplayPath(question));
    };
    if (Session.Open(common::qt::FilePath(name), ask, *this)) RedrawScene();
}

void TMainForm::Save1Click() {
    Guarded([&] {
        std::optional<QString> name = dialogs_.SaveFileName(this, GravFilter(), GravSuffix());
        if (!name) return;
        // A file that is no document is replaced only when the user says so.
        auto ask = [this](const std::string& question) { return dialogs_.Confirm(this, common::qt::DisplayPath(question)); };
        Session.SaveAs(common::qt::FilePath(*name), ask);
    });
}

void TMainForm::RefreshClick() {
    if (!Session.Stopped()) return;  // disabled during a run
    Guarded([&] {
        Session.Refresh(Function(), ThreeGravons->isChecked(), *this);
        LTime->setText(QStringLiteral("0"));
        RedrawScene();
    });
}

}  // namespace duoplex::forms

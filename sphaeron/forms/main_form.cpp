#include "sphaeron/forms/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QToolBar>

#include "common/errors.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/view/view.h"

// The main window's start-up, its window events, the pictures, the run
// controls and the view controls.
namespace sphaeron::forms {

namespace {

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

MouseButton ButtonOf(Qt::MouseButton button) {
    return button == Qt::RightButton    ? MouseButton::Right
           : button == Qt::MiddleButton ? MouseButton::Middle
                                        : MouseButton::Left;
}

}  // namespace

// ---------------------------------------------------------------------------
// Start-up

void TMainForm::FormCreate() {
    // 1 .. 6 and the time step: the session's start-up; its failures are
    // reported on the way.
    const Session::StartUpResult start =
        session_.StartUp(width(), PanTop(), [this](const std::exception& e) { ReportFailure(dialogs_, e); });
    switch (start.found) {
        case RememberedDocument::NoStartFile:
        case RememberedDocument::NoneRemembered:
            break;
        case RememberedDocument::Unreadable:
            Go->setEnabled(true);
            FName->setText(QString::fromLatin1(kEasySquareTitle));
            break;
        case RememberedDocument::Loaded:
            Go->setEnabled(true);
            if (start.commentary) SetCommentText(*start.commentary);
            break;
    }
    // 7 .. 9
    FillListing();
    FillParameterFields();
    ShowTimeline();
    created_ = true;
}

// ---------------------------------------------------------------------------
// Window events

void TMainForm::FormPaint() {
    session_.CenterView(width(), PanTop());
    if (State().SpiralMode) {
        DrawFigureScene();
    } else {
        DrawTaonScene();
        FillListing();
    }
}

void TMainForm::FormResize() {
    ArrangeControls();
    session_.CenterView(width(), PanTop());
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
    session_.StartDrag(ButtonOf(button), x, y);
}

void TMainForm::FormMouseUp(Qt::MouseButton button, int x, int y) {
    ViewCommand([&](Picture& p) { session_.EndDrag(p, ButtonOf(button), x, y); });
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) Guarded(dialogs_, [this] { FormPaint(); });
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from the minimised state asks for a fresh picture.
    if (event->type() == QEvent::WindowStateChange && created_ && isVisible() && !isMinimized()) {
        auto* e = static_cast<QWindowStateChangeEvent*>(event);
        if (e->oldState() & Qt::WindowMinimized) Guarded(dialogs_, [this] { FormPaint(); });
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (runActive_) {
        // A run is going on: end it first; the window closes once the run
        // loop has returned.
        session_.RequestStop();
        ShowRunLook(false);
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
                if (watched == EditDT) Guarded(dialogs_, [this] { EditDTExit(); });
                for (int i = 1; i < kParameterCount; ++i)
                    if (watched == ParameterFields[static_cast<std::size_t>(i)])
                        Guarded(dialogs_, [this, i] { GroupFieldExit(i); });
                if (watched == Comment) Guarded(dialogs_, [this] { CommentExit(); });
            }
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == LTime) {
                Guarded(dialogs_, [this] { LTimeDblClick(); });
                return true;
            }
            if (watched == DaonsTable->viewport() || watched == DaonsTable->horizontalHeader() ||
                watched == DaonsTable->verticalHeader() || watched == DaonsTable->horizontalHeader()->viewport() ||
                watched == DaonsTable->verticalHeader()->viewport()) {
                Guarded(dialogs_, [this] { DaonsTableDblClick(); });
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

char TMainForm::Separator() { return common::qt::DecimalSeparator(); }

Picture TMainForm::CurrentPicture() {
    SceneSwitches sw;
    sw.stopL = StopL->isChecked();
    sw.shelloscope = RB1->isChecked();
    sw.libration = RB2->isChecked();
    sw.DecimalSeparator = Separator();
    sw.Colouring = StructureColouring();
    sw.ShellFields = [this] {
        ShellFieldTexts t;
        QLineEdit* fields[6] = {EditA1, EditB1, EditC1, EditD1, EditF1, EditG1};
        for (int i = 0; i < 6; ++i) t[static_cast<std::size_t>(i)] = fields[i]->text().toStdString();
        return t;
    };
    canvas_.Bind();
    return session_.PictureOn(canvas_, std::move(sw));
}

void TMainForm::ViewCommand(const std::function<void(Picture&)>& command) {
    ShowWhenDone show(DrawArea);
    Picture p = CurrentPicture();
    command(p);
}

void TMainForm::ViewCommand(void (*command)(const ViewControls&, Picture&)) {
    ViewCommand([this, command](Picture& p) { command(session_.Controls(), p); });
}

void TMainForm::DrawTaonScene() { ViewCommand([](Picture& p) { sphaeron::DrawTaonScene(p); }); }

void TMainForm::DrawFigureScene() { ViewCommand([](Picture& p) { sphaeron::DrawFigureScene(p); }); }

void TMainForm::RedrawPicture() { ViewCommand([](Picture& p) { sphaeron::RedrawPicture(p); }); }

// ---------------------------------------------------------------------------
// Run controls

void TMainForm::ShowRunLook(bool running) {
    Go->setText(running ? QStringLiteral("Stop") : QStringLiteral("Go"));
    Go->setIcon(style()->standardIcon(running ? QStyle::SP_DialogCancelButton : QStyle::SP_DialogOkButton));
    ShapeRed->SetBrushColor(running ? kRed : kMaroon);
    ShapeLime->SetBrushColor(running ? kGreen : kLime);
    // "Show Images" is off during a run, and so are its items' keys.
    for (QAction* a : {Images->menuAction(), Daons1, Spiral1}) a->setEnabled(!running);
    Null00->setEnabled(!running);
    if (running) ShowNull00(QStringLiteral("0"));
    TimelineSlider->setEnabled(!running && session_.Timeline().Count() > 1);
}

void TMainForm::ShowNull00(const QString& caption) {
    // A caption wider than the small button widens it to the right while it
    // is shown.
    const int width = std::max(kNull00Width, Null00->fontMetrics().horizontalAdvance(caption) + 6);
    Null00->resize(width, Null00->height());
    if (width > kNull00Width) Null00->raise();
    Null00->setText(caption);
    QPalette pal = Null00->palette();
    pal.setColor(QPalette::ButtonText, kMaroon);
    Null00->setPalette(pal);
}

void TMainForm::ShowStepCount(int n) { LTime->setText(QString::number(n)); }

void TMainForm::FillListing() {
    const TaonState& s = State();
    Listing->ShowListing(MakeListing(s, s.ListVelocities, Separator()), std::min<int>(s.TaonCount, kMaxTaons));
}

void TMainForm::LTimeDblClick() { session_.ToggleTimeDisplay(); }

void TMainForm::DaonsTableDblClick() {
    session_.ToggleListVelocities();
    FillListing();
}
// ---------------------------------------------------------------------------
// View controls

void TMainForm::DaoTetaClick() { ViewCommand(TurnUp); }
void TMainForm::DaoTeta1Click() { ViewCommand(TurnDown); }
void TMainForm::DaoPsiClick() { ViewCommand(TurnUpRight); }
void TMainForm::DaoPsi1Click() { ViewCommand(TurnDownLeft); }
void TMainForm::DaoPhiClick() { ViewCommand(TurnLeft); }
void TMainForm::DaoPhi1Click() { ViewCommand(TurnRight); }
void TMainForm::DaoStopClick() { ViewCommand([](Picture& p) { StopTurning(p); }); }
void TMainForm::DaoForvardClick() { ViewCommand(ZoomIn); }
void TMainForm::DaoBackClick() { ViewCommand(ZoomOut); }
void TMainForm::MoveToCenterClick() { ViewCommand([](Picture& p) { sphaeron::MoveToCenter(p); }); }
void TMainForm::Left1Click() { ViewCommand(ShiftLeft); }
void TMainForm::Right1Click() { ViewCommand(ShiftRight); }
void TMainForm::Up1Click() { ViewCommand(ShiftUp); }
void TMainForm::Down1Click() { ViewCommand(ShiftDown); }
void TMainForm::TimerTimer() { ViewCommand(AdvanceSpin); }

void TMainForm::ShowNumbersOfPointsClick() {
    ViewCommand([this](Picture& p) {
        ToggleNumbers(p, ShowNumbersOfPoints->isChecked(), [this](bool on) { ShowNumbersOfPoints->setChecked(on); });
    });
}

void TMainForm::TrackBarChange() { session_.SetAmplitude(TrackBar->value()); }

void TMainForm::ShowSpinClick() { ShowSpin->setChecked(session_.ToggleSpin(ShowSpin->isChecked())); }

void TMainForm::Spiral1Click() {
    ViewCommand([this](Picture& p) {
        ShowSpiral(p, [this] {
            Go->setEnabled(false);
            Null00->setEnabled(false);
            RestartTimeline();
        });
    });
}

}  // namespace sphaeron::forms

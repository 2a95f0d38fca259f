#include "sphaeron/forms/plots_window.h"

#include <QAction>
#include <QBuffer>
#include <QGridLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "common/fileio.h"
#include "common/numtext.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/structure_charts.h"
#include "sphaeron/forms/timed_chart_view.h"

namespace sphaeron::forms {

namespace {

const QColor kGroupColours[3] = {QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
const QColor kKeColour(0, 255, 255);
const QColor kPeColour(255, 0, 255);
const QColor kEColour(255, 255, 255);
const char* const kCsvFilter = "CSV files (*.csv)|*.csv";
const char* const kPngFilter = "PNG images (*.png)|*.png";

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTheme(QChart::ChartThemeDark);
    chart->setTitle(title);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

QValueAxis* NewAxis(QChart* chart, const QString& title, Qt::Alignment where) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%.6g"));
    chart->addAxis(axis, where);
    return axis;
}

QLineSeries* AddLine(QChart* chart, QValueAxis* x, QValueAxis* y, const QString& name, const QColor& colour,
                     qreal width) {
    auto* series = new QLineSeries;
    series->setName(name);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    // After adding: the theme sets its own pen when a series is added.
    series->setPen(QPen(colour, width));
    return series;
}

void HideLegendEntry(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* m : chart->legend()->markers(series)) m->setVisible(false);
}

// The range of the values with a margin; a flat range is opened up.
std::pair<qreal, qreal> Padded(qreal lo, qreal hi) {
    if (!(hi > lo)) {
        const qreal d = std::max<qreal>(std::abs(lo) * 0.1, 1e-9);
        return {lo - d, hi + d};
    }
    const qreal m = (hi - lo) * 0.05;
    return {lo - m, hi + m};
}

// The round step (1, 2 or 5 times a power of ten) that cuts a span into
// four to ten.
qreal RoundStep(qreal span) {
    const qreal unit = std::pow(10.0, std::floor(std::log10(span / 4)));
    qreal step = unit;
    for (qreal m : {1.0, 2.0, 5.0, 10.0})
        if (span / (m * unit) >= 4) step = m * unit;
    return step;
}

// Ticks at round multiples (1, 2 or 5 times a power of ten) of the range,
// four to ten of them, the range itself left as it is; whole numbers only on
// an axis of counts. The labels get as many digits as tell the ticks apart.
void NiceTicks(QValueAxis* axis, bool whole = false) {
    const qreal span = axis->max() - axis->min();
    if (!(span > 0) || !std::isfinite(span)) return;
    qreal step = RoundStep(span);
    if (whole) step = std::max<qreal>(1, std::round(step));
    // Each change lays the chart out anew: only what differs is set.
    if (axis->tickType() != QValueAxis::TicksDynamic) axis->setTickType(QValueAxis::TicksDynamic);
    if (axis->tickAnchor() != 0) axis->setTickAnchor(0);
    if (axis->tickInterval() != step) axis->setTickInterval(step);
    QString format = QStringLiteral("%d");
    if (!whole) {
        const qreal largest = std::max(std::abs(axis->min()), std::abs(axis->max()));
        const int digits = std::clamp(static_cast<int>(std::ceil(std::log10(largest / step + 1))) + 1, 1, 15);
        format = QStringLiteral("%.%1g").arg(digits);
    }
    if (axis->labelFormat() != format) axis->setLabelFormat(format);
}

// The range with its ticks; an axis that shows them already is left alone.
// A wider range gets its wider tick step first: the axis lays out a label
// for every tick at once, and the old step over the new range could be
// thousands of them.
void SetNiceRange(QValueAxis* axis, qreal lo, qreal hi, bool whole = false) {
    if (axis->min() == lo && axis->max() == hi) {
        NiceTicks(axis, whole);
        return;
    }
    if (hi - lo > 0 && std::isfinite(hi - lo)) {
        qreal step = RoundStep(hi - lo);
        if (whole) step = std::max<qreal>(1, std::round(step));
        if (axis->tickType() == QValueAxis::TicksDynamic && step > axis->tickInterval()) axis->setTickInterval(step);
    }
    axis->setRange(lo, hi);
    NiceTicks(axis, whole);
}

// The tick step NiceTicks gives a span of whole numbers.
qreal TickStep(qreal span) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    return std::max<qreal>(1, std::round(RoundStep(span)));
}

QString Value(long double v) { return QString::fromLatin1(common::FormatReal(v, '.')); }

}  // namespace

QRect PlacePlots(const QRect& room, const QRect& main, QSize size, int keepClear) {
    int w = std::min(size.width(), room.width());
    const int h = std::min(size.height(), room.height());
    const int right = room.right() - main.right();  // free pixels right of the main window
    const int left = main.left() - room.left();
    int x;
    if (right >= w) {
        x = main.right() + 1;
    } else if (left >= w) {
        x = main.left() - w;
    } else if (std::max(left, right) >= kMinPlotsWidth) {
        w = std::max(left, right);
        x = right >= left ? main.right() + 1 : room.left();
    } else {
        w = std::min(w, std::max(kMinPlotsWidth, main.right() + 1 - keepClear - room.left()));
        x = room.left();
    }
    x = std::clamp(x, room.left(), room.right() + 1 - w);
    const int y = std::clamp(main.top(), room.top(), room.bottom() + 1 - h);
    return QRect(x, y, w, h);
}

TPlotsWindow::TPlotsWindow(QWidget* owner, Dialogs& dialogs)
    : QMainWindow(owner, Qt::Window), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Plots"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    BuildMenu();
    BuildEnergyChart();
    BuildDistanceChart();
    BuildPotentialChart();

    auto* body = new QWidget(this);
    body->setAutoFillBackground(true);
    QPalette pal = body->palette();
    pal.setColor(QPalette::Window, Qt::black);
    body->setPalette(pal);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(2);
    grid->addWidget(EnergyView, 0, 0, 1, 2);
    grid->addWidget(DistanceView, 1, 0);
    grid->addWidget(PotentialView, 1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    Structure = new TStructurePanel(body, paintTime_);
    grid->addWidget(Structure, 2, 0, 1, 2);
    grid->setRowStretch(2, 1);
    setCentralWidget(body);
    resize(960, 900);
}

TPlotsWindow::~TPlotsWindow() = default;

void TPlotsWindow::BuildMenu() {
    auto item = [this](const char* caption, void (TPlotsWindow::*handler)()) {
        QAction* a = File1->addAction(QString::fromLatin1(caption));
        // A failure is the plots window's own: its box stands over it.
        connect(a, &QAction::triggered, this,
                [this, handler] { common::qt::Guarded(dialogs_, this, [&] { (this->*handler)(); }); });
        return a;
    };
    File1 = menuBar()->addMenu(QStringLiteral("File"));
    SaveEnergyCsv = item("Save energy data as CSV...", &TPlotsWindow::SaveEnergyCsvClick);
    SaveDistanceCsv = item("Save distance data as CSV...", &TPlotsWindow::SaveDistanceCsvClick);
    SavePotentialCsv = item("Save potential data as CSV...", &TPlotsWindow::SavePotentialCsvClick);
    File1->addSeparator();
    SaveEnergyPng = item("Save energy chart as PNG...", &TPlotsWindow::SaveEnergyPngClick);
    SaveDistancePng = item("Save distance chart as PNG...", &TPlotsWindow::SaveDistancePngClick);
    SavePotentialPng = item("Save potential chart as PNG...", &TPlotsWindow::SavePotentialPngClick);
    File1->addSeparator();
    Close1 = File1->addAction(QStringLiteral("Close"));
    Close1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(Close1, &QAction::triggered, this, &QWidget::close);
}

void TPlotsWindow::BuildEnergyChart() {
    energyChart_ = NewChart(QStringLiteral("Energy"));
    energyX_ = NewAxis(energyChart_, QStringLiteral("step"), Qt::AlignBottom);
    energyX_->setLabelFormat(QStringLiteral("%d"));
    energyY_ = NewAxis(energyChart_, QStringLiteral("energy"), Qt::AlignLeft);
    ke_ = AddLine(energyChart_, energyX_, energyY_, QStringLiteral("ke"), kKeColour, 1.5);
    pe_ = AddLine(energyChart_, energyX_, energyY_, QStringLiteral("pe"), kPeColour, 1.5);
    e_ = AddLine(energyChart_, energyX_, energyY_, QStringLiteral("e"), kEColour, 1.5);
    cursorLine_ = AddLine(energyChart_, energyX_, energyY_, QStringLiteral("shown"), QColor(200, 200, 200), 1);
    QPen pen = cursorLine_->pen();
    pen.setStyle(Qt::DashLine);
    cursorLine_->setPen(pen);
    HideLegendEntry(energyChart_, cursorLine_);
    EnergyView = new TimedChartView(energyChart_, this, paintTime_);
}

void TPlotsWindow::BuildDistanceChart() {
    distanceChart_ = NewChart(QStringLiteral("Pair distances"));
    distanceX_ = NewAxis(distanceChart_, QStringLiteral("r"), Qt::AlignBottom);
    distanceY_ = NewAxis(distanceChart_, QStringLiteral("pairs"), Qt::AlignLeft);
    distanceY_->setLabelFormat(QStringLiteral("%d"));
    bars_ = new QLineSeries;
    auto* area = new QAreaSeries(bars_);
    area->setName(QStringLiteral("pairs"));
    distanceChart_->addSeries(area);
    area->attachAxis(distanceX_);
    area->attachAxis(distanceY_);
    area->setPen(QPen(QColor(150, 180, 230), 1));
    area->setBrush(QColor(70, 110, 180, 170));
    for (int g = 0; g < 3; ++g)
        for (int k = 0; k < 5; ++k) {
            QLineSeries* mark = AddLine(distanceChart_, distanceX_, distanceY_,
                                        QStringLiteral("wells %1").arg(g + 1), kGroupColours[g], 1.2);
            QPen pen = mark->pen();
            pen.setStyle(Qt::DashLine);
            mark->setPen(pen);
            if (k > 0) HideLegendEntry(distanceChart_, mark);
            wellMarks_.push_back(mark);
        }
    DistanceView = new TimedChartView(distanceChart_, this, paintTime_);
    // The histogram is all level and upright edges: smoothing them changes
    // nothing to see and costs most of what its paints take.
    DistanceView->setRenderHint(QPainter::Antialiasing, false);
}

void TPlotsWindow::BuildPotentialChart() {
    potentialChart_ = NewChart(QStringLiteral("Pair potential"));
    potentialX_ = NewAxis(potentialChart_, QStringLiteral("r"), Qt::AlignBottom);
    potentialY_ = NewAxis(potentialChart_, QStringLiteral("U(r)"), Qt::AlignLeft);
    PotentialView = new TimedChartView(potentialChart_, this, paintTime_);
}

// ---------------------------------------------------------------------------
// Updates

bool TPlotsWindow::SampleDue() const {
    if (!isVisible() || isMinimized()) return false;
    return !sampled_ || std::chrono::steady_clock::now() - lastSample_ >= interval_;
}

void TPlotsWindow::StepDone(const TaonState& s, const StepSwitches& sw, int stepCount, const Observables* before) {
    if (!isVisible() || isMinimized()) return;
    if (cursor_ || (!energy_.Samples().empty() && energy_.Samples().back().step >= stepCount)) {
        // A run from a state shown: the samples after it are replaced.
        cursor_.reset();
        energy_.DropFrom(stepCount);
        DrawEnergy();
    }
    if (!SampleDue()) return;
    // Due without the step's energies (it fell due during the step): the
    // next step brings them, asked for by SampleDue, and costs nothing more.
    if (!before && sampled_ && deferred_ < 1) {
        ++deferred_;
        return;
    }
    deferred_ = 0;
    const auto now = std::chrono::steady_clock::now();
    // What the last sample cost: its paints since, and the computing below.
    auto cost = paintTime_;
    lastSample_ = now;
    sampled_ = true;
    Sample(s, sw, stepCount, before);
    if (StateSampled) StateSampled(s);
    if (drawnKey_ != KeyOf(s, sw.Mode1)) DrawPotentials(s, sw.Mode1);
    cost += std::chrono::steady_clock::now() - now;
    paintTime_ = {};
    timeSpent_ += cost;
    // The energy of 100 taons alone costs several steps: space the samples
    // so that they take at most 1 / kCostShare of the run.
    interval_ = std::max<std::chrono::steady_clock::duration>(kSampleInterval, cost * kCostShare);
}

void TPlotsWindow::ParametersChanged(const TaonState& s, bool mode1) {
    if (!isVisible()) {
        drawnKey_.reset();  // drawn when shown
        return;
    }
    DrawPotentials(s, mode1);
    distances_ = DistanceHistogram(s, kHistogramBins);  // its range follows the wells
    DrawDistances(s);
}

void TPlotsWindow::StateShown(const TaonState& s, const StepSwitches& sw, int stepCount) {
    if (!isVisible()) return;
    EnergySample shown;
    shown.step = stepCount;
    shown.ke = shown.pe = shown.e = std::numeric_limits<long double>::quiet_NaN();
    cursor_ = SampleEnergy(s, sw, stepCount).value_or(shown);
    distances_ = DistanceHistogram(s, kHistogramBins);
    DrawEnergy();
    DrawDistances(s);
    if (drawnKey_ != KeyOf(s, sw.Mode1)) DrawPotentials(s, sw.Mode1);
}

void TPlotsWindow::Refresh(const TaonState& s, const StepSwitches& sw, int stepCount) {
    energy_.Clear();
    last_.reset();
    cursor_.reset();
    lastSample_ = std::chrono::steady_clock::now();
    sampled_ = true;
    Sample(s, sw, stepCount);
    // The first samples of a run are spaced by what this one cost.
    interval_ = std::max<std::chrono::steady_clock::duration>(
        kSampleInterval, (std::chrono::steady_clock::now() - lastSample_) * kCostShare);
    DrawPotentials(s, sw.Mode1);
}

void TPlotsWindow::RunEnded(const TaonState& s, const StepSwitches& sw, int stepCount) {
    if (!isVisible() || isMinimized()) return;
    if (last_ && last_->step == stepCount) return;  // sampled there already
    const auto now = std::chrono::steady_clock::now();
    Sample(s, sw, stepCount);
    if (StateSampled) StateSampled(s);
    timeSpent_ += std::chrono::steady_clock::now() - now;
}

void TPlotsWindow::Sample(const TaonState& s, const StepSwitches& sw, int stepCount, const Observables* before) {
    ++sampleCount_;
    std::optional<EnergySample> sample;
    if (before) {
        // Not finite (NaN throughout when they faulted): no sample, as when
        // computed apart.
        const auto previous = static_cast<std::int32_t>(static_cast<std::uint32_t>(stepCount) - 1u);
        if (std::isfinite(before->ke) && std::isfinite(before->pe) && std::isfinite(before->e))
            sample = EnergySample{previous, before->ke, before->pe, before->e};
    } else {
        sample = SampleEnergy(s, sw, stepCount);
    }
    if (sample) {
        last_ = sample;
        energy_.Add(*sample);
    }
    distances_ = DistanceHistogram(s, kHistogramBins);
    DrawEnergy();
    DrawDistances(s);
}

void TPlotsWindow::DrawEnergy() {
    const auto& samples = energy_.Samples();
    QList<QPointF> ke, pe, e;
    ke.reserve(static_cast<qsizetype>(samples.size()));
    pe.reserve(ke.capacity());
    e.reserve(ke.capacity());
    qreal lo = 0, hi = 0;
    bool first = true;
    for (const EnergySample& x : samples) {
        const qreal step = x.step;
        ke.append({step, static_cast<qreal>(x.ke)});
        pe.append({step, static_cast<qreal>(x.pe)});
        e.append({step, static_cast<qreal>(x.e)});
        for (long double v : {x.ke, x.pe, x.e}) {
            const auto q = static_cast<qreal>(v);
            if (!std::isfinite(q)) continue;
            lo = first ? q : std::min(lo, q);
            hi = first ? q : std::max(hi, q);
            first = false;
        }
    }
    ke_->replace(ke);
    pe_->replace(pe);
    e_->replace(e);
    if (!samples.empty()) {
        qreal x0 = samples.front().step, x1 = samples.back().step;
        if (cursor_) {
            x0 = std::min<qreal>(x0, cursor_->step);
            x1 = std::max<qreal>(x1, cursor_->step);
        }
        // The step axis ends at the next tick after the last sample, and the
        // energy axis keeps its range while the values stay well inside it,
        // so that most samples of a run leave the axes as they are.
        x1 = std::max(x1, x0 + 4);
        const qreal tick = TickStep(x1 - x0);
        SetNiceRange(energyX_, x0, x0 + std::ceil((x1 - x0) / tick) * tick, true);
        auto [y0, y1] = Padded(lo, hi);
        const bool inside = energyY_->min() <= y0 && y1 <= energyY_->max() &&
                            energyY_->max() - energyY_->min() <= 2 * (y1 - y0);
        if (!inside) std::tie(y0, y1) = Padded(y0, y1);
        if (!inside) SetNiceRange(energyY_, y0, y1);
    }
    // The legend and the title: the state shown after a move, else the
    // last sample.
    const std::optional<EnergySample>& shown = cursor_ ? cursor_ : last_;
    if (shown) {
        ke_->setName(QStringLiteral("ke = ") + Value(shown->ke));
        pe_->setName(QStringLiteral("pe = ") + Value(shown->pe));
        e_->setName(QStringLiteral("e = ") + Value(shown->e));
        energyChart_->setTitle(QStringLiteral("Energy at step %1").arg(shown->step));
    }
    if (cursor_)
        cursorLine_->replace(QList<QPointF>{{static_cast<qreal>(cursor_->step), energyY_->min()},
                                            {static_cast<qreal>(cursor_->step), energyY_->max()}});
    else
        cursorLine_->clear();
}

void TPlotsWindow::DrawDistances(const TaonState& s) {
    // The bins as a staircase outline; the area under it is filled.
    const Histogram& h = distances_;
    QList<QPointF> outline;
    int top = 1;
    if (!h.counts.empty()) {
        outline.reserve(static_cast<qsizetype>(2 * h.counts.size() + 2));
        outline.append({static_cast<qreal>(h.lo), 0});
        for (std::size_t i = 0; i < h.counts.size(); ++i) {
            const qreal x0 = static_cast<qreal>(h.BinLow(i));
            const qreal x1 = static_cast<qreal>(i + 1 == h.counts.size() ? h.hi : h.BinLow(i + 1));
            outline.append({x0, static_cast<qreal>(h.counts[i])});
            outline.append({x1, static_cast<qreal>(h.counts[i])});
            top = std::max(top, h.counts[i]);
        }
        outline.append({static_cast<qreal>(h.hi), 0});
    }
    bars_->replace(outline);
    limit_ = DistanceLimit(s);
    SetNiceRange(distanceX_, 0, static_cast<qreal>(limit_));
    // The count axis keeps its top while the highest bin stays well under
    // it, so that most samples leave it as it is.
    qreal yTop = distanceY_->max();
    if (!(top * 1.05 <= yTop && yTop <= top * 1.6 + 5)) yTop = std::ceil(top * 1.25);
    SetNiceRange(distanceY_, 0, yTop, true);
    const QString title = QStringLiteral("Pair distances: %1 of %2 pairs below r = %3")
                              .arg(h.Total())
                              .arg(h.Total() + h.above + h.below)
                              .arg(Value(limit_));
    if (distanceChart_->title() != title) distanceChart_->setTitle(title);
    for (int g = 0; g < 3; ++g) {
        const auto wells = WellPositions(s, g + 1);
        for (int k = 0; k < 5; ++k) {
            const long double w = wells[static_cast<std::size_t>(k)];
            QList<QPointF> points;
            if (std::isfinite(w) && w > 0 && w <= limit_)
                points = {{static_cast<qreal>(w), 0}, {static_cast<qreal>(w), yTop}};
            QLineSeries* mark = wellMarks_[static_cast<std::size_t>(g * 5 + k)];
            if (mark->points() != points) mark->replace(points);
        }
    }
}

void TPlotsWindow::DrawPotentials(const TaonState& s, bool mode1) {
    drawnKey_ = KeyOf(s, mode1);
    limit_ = DistanceLimit(s);
    const long double rLow = std::min(0.15L, limit_ / 10);
    potentials_ = SamplePotentials(s, mode1, rLow, limit_, kPotentialPoints);
    for (QLineSeries* c : curves_) {
        potentialChart_->removeSeries(c);
        delete c;
    }
    curves_.clear();
    static const char* const names[3] = {"U1 (1-50)", "U2 (51-80)", "U3 (81-100)"};
    for (std::size_t g = 0; g < 3; ++g) {
        const auto& u = potentials_.u[g];
        bool named = false;
        for (auto [first, last] : FiniteRuns(u)) {
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(last - first));
            for (std::size_t i = first; i < last; ++i)
                points.append({static_cast<qreal>(potentials_.r[i]), static_cast<qreal>(u[i])});
            QLineSeries* c = AddLine(potentialChart_, potentialX_, potentialY_, QString::fromLatin1(names[g]),
                                     kGroupColours[g], 1.5);
            c->replace(points);
            if (named) HideLegendEntry(potentialChart_, c);
            named = true;
            curves_.push_back(c);
        }
    }
    SetNiceRange(potentialX_, 0, static_cast<qreal>(limit_));
    SetNiceRange(potentialY_, static_cast<qreal>(potentials_.yLow), static_cast<qreal>(potentials_.yHigh));
    potentialChart_->setTitle(mode1 ? QStringLiteral("Pair potential U(r), mode 1")
                                    : QStringLiteral("Pair potential U(r)"));
}

// ---------------------------------------------------------------------------
// File menu

void TPlotsWindow::SaveCsv(const std::string& text) {
    auto chosen = dialogs_.SaveFileName(this, QString::fromLatin1(kCsvFilter), QStringLiteral("csv"));
    if (!chosen) return;
    common::WriteFileAtomic(common::qt::FilePath(*chosen), text);
}

void TPlotsWindow::SavePng(QChartView* view) {
    auto chosen = dialogs_.SaveFileName(this, QString::fromLatin1(kPngFilter), QStringLiteral("png"));
    if (!chosen) return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    view->grab().save(&buffer, "PNG");
    common::WriteFileAtomic(common::qt::FilePath(*chosen), bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void TPlotsWindow::SaveEnergyCsvClick() { SaveCsv(EnergyCsv(energy_.Samples())); }
void TPlotsWindow::SaveDistanceCsvClick() { SaveCsv(HistogramCsv(distances_)); }
void TPlotsWindow::SavePotentialCsvClick() { SaveCsv(PotentialCsv(potentials_)); }
void TPlotsWindow::SaveEnergyPngClick() { SavePng(EnergyView); }
void TPlotsWindow::SaveDistancePngClick() { SavePng(DistanceView); }
void TPlotsWindow::SavePotentialPngClick() { SavePng(PotentialView); }

}  // namespace sphaeron::forms

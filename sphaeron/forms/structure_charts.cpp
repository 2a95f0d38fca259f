#include "sphaeron/forms/structure_charts.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "sphaeron/forms/timed_chart_view.h"

namespace sphaeron::forms {

namespace {

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTheme(QChart::ChartThemeDark);
    chart->setTitle(title);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

QValueAxis* NewAxis(QChart* chart, const QString& title, Qt::Alignment where, const char* format) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QString::fromLatin1(format));
    chart->addAxis(axis, where);
    return axis;
}

QLineSeries* AddLine(QChart* chart, QValueAxis* x, QValueAxis* y, const QString& name, const QColor& colour) {
    auto* series = new QLineSeries;
    series->setName(name);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    series->setPen(QPen(colour, 1.5));
    return series;
}

}  // namespace

TStructurePanel::TStructurePanel(QWidget* parent, std::chrono::steady_clock::duration& paintTime)
    : QWidget(parent), paintTime_(paintTime) {
    RuleBox = new QComboBox(this);
    RuleBox->addItems({QStringLiteral("SANN"), QStringLiteral("Cutoff R"), QStringLiteral("k nearest")});
    CutoffBox = new QDoubleSpinBox(this);
    CutoffBox->setRange(0.01, 1000);
    CutoffBox->setDecimals(3);
    CutoffBox->setSingleStep(0.1);
    CutoffBox->setValue(1.5);
    NearestBox = new QSpinBox(this);
    NearestBox->setRange(1, kMaxTaons - 1);
    NearestBox->setValue(12);
    BuildStructureChart();
    BuildCoordinationChart();

    auto* rules = new QHBoxLayout;
    rules->addWidget(new QLabel(QStringLiteral("Neighbours:"), this));
    rules->addWidget(RuleBox);
    rules->addWidget(new QLabel(QStringLiteral("R"), this));
    rules->addWidget(CutoffBox);
    rules->addWidget(new QLabel(QStringLiteral("k"), this));
    rules->addWidget(NearestBox);
    rules->addStretch(1);
    auto* charts = new QHBoxLayout;
    charts->setSpacing(2);
    charts->addWidget(StructureView, 2);
    charts->addWidget(CoordinationView, 1);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(2);
    all->addLayout(rules);
    all->addLayout(charts, 1);

    connect(RuleBox, &QComboBox::currentIndexChanged, this, [this] { RuleBoxChange(); });
    connect(CutoffBox, &QDoubleSpinBox::editingFinished, this, [this] { RuleBoxChange(); });
    connect(NearestBox, &QSpinBox::editingFinished, this, [this] { RuleBoxChange(); });
    ShowRule({});
}

void TStructurePanel::BuildStructureChart() {
    structureChart_ = NewChart(QStringLiteral("Structure"));
    stepAxis_ = NewAxis(structureChart_, QStringLiteral("step"), Qt::AlignBottom, "%d");
    q6Axis_ = NewAxis(structureChart_, QStringLiteral("mean q6"), Qt::AlignLeft, "%.2f");
    q6Axis_->setRange(0, 1);
    countAxis_ = NewAxis(structureChart_, QStringLiteral("taons, clusters"), Qt::AlignRight, "%d");
    countAxis_->setRange(0, kMaxTaons);
    q6_ = AddLine(structureChart_, stepAxis_, q6Axis_, QStringLiteral("mean q6"), QColor(0, 255, 255));
    largest_ = AddLine(structureChart_, stepAxis_, countAxis_, QStringLiteral("largest cluster"), QColor(0, 255, 0));
    clusters_ = AddLine(structureChart_, stepAxis_, countAxis_, QStringLiteral("clusters"), QColor(255, 0, 255));
    StructureView = new TimedChartView(structureChart_, this, paintTime_);
}

void TStructurePanel::BuildCoordinationChart() {
    coordinationChart_ = NewChart(QStringLiteral("Coordination"));
    bars_ = new QBarSet(QStringLiteral("taons"));
    bars_->setColor(QColor(70, 110, 180));
    barSeries_ = new QBarSeries;
    barSeries_->append(bars_);
    coordinationChart_->addSeries(barSeries_);
    coordinationAxis_ = new QBarCategoryAxis;
    coordinationAxis_->setTitleText(QStringLiteral("neighbours"));
    coordinationChart_->addAxis(coordinationAxis_, Qt::AlignBottom);
    barSeries_->attachAxis(coordinationAxis_);
    taonAxis_ = NewAxis(coordinationChart_, QStringLiteral("taons"), Qt::AlignLeft, "%d");
    barSeries_->attachAxis(taonAxis_);
    coordinationChart_->legend()->hide();
    CoordinationView = new TimedChartView(coordinationChart_, this, paintTime_);
    CoordinationView->setRenderHint(QPainter::Antialiasing, false);
}

void TStructurePanel::ShowRule(const structure::NeighbourChoice& choice) {
    showing_ = true;
    RuleBox->setCurrentIndex(static_cast<int>(choice.rule));
    if (choice.rule == structure::NeighbourRule::Cutoff) CutoffBox->setValue(choice.cutoff);
    if (choice.rule == structure::NeighbourRule::Nearest) NearestBox->setValue(choice.k);
    CutoffBox->setEnabled(choice.rule == structure::NeighbourRule::Cutoff);
    NearestBox->setEnabled(choice.rule == structure::NeighbourRule::Nearest);
    showing_ = false;
}

structure::NeighbourChoice TStructurePanel::Rule() const {
    structure::NeighbourChoice c;
    c.rule = static_cast<structure::NeighbourRule>(std::clamp(RuleBox->currentIndex(), 0, 2));
    c.cutoff = CutoffBox->value();
    c.k = NearestBox->value();
    return c;
}

void TStructurePanel::RuleBoxChange() {
    if (showing_) return;
    structure::NeighbourChoice c = Rule();
    CutoffBox->setEnabled(c.rule == structure::NeighbourRule::Cutoff);
    NearestBox->setEnabled(c.rule == structure::NeighbourRule::Nearest);
    if (RuleChanged) RuleChanged(c);
}

void TStructurePanel::Reset() {
    points_.clear();
    histogram_.clear();
    DrawSeries();
}

void TStructurePanel::Add(long step, const structure::StructureResult& r) {
    if (!points_.empty() && step < points_.back().step) points_.clear();  // went back in time
    if (!points_.empty() && step == points_.back().step) points_.pop_back();  // the same state again
    points_.push_back({step, r.summary.mean_q6, r.summary.largest, r.summary.clusters});
    if (static_cast<int>(points_.size()) > kMaxPoints) {
        std::vector<Point> kept;
        for (std::size_t i = 0; i < points_.size(); i += 2) kept.push_back(points_[i]);
        if (kept.back().step != points_.back().step) kept.push_back(points_.back());
        points_.swap(kept);
    }
    histogram_.assign(1, 0);
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!r.present[k]) continue;
        std::size_t c = static_cast<std::size_t>(std::max(r.coordination[k], 0));
        if (c >= histogram_.size()) histogram_.resize(c + 1, 0);
        ++histogram_[c];
    }
    DrawSeries();
}

void TStructurePanel::DrawSeries() {
    QList<QPointF> q6, largest, clusters;
    for (const Point& p : points_) {
        const qreal x = static_cast<qreal>(p.step);
        if (!std::isnan(p.meanQ6)) q6.append(QPointF(x, p.meanQ6));
        largest.append(QPointF(x, p.largest));
        clusters.append(QPointF(x, p.clusters));
    }
    q6_->replace(q6);
    largest_->replace(largest);
    clusters_->replace(clusters);
    // The step axis ends at a round number of steps past the first, so that
    // most samples of a run leave it as it is (each change lays the chart out
    // anew).
    const qreal first = points_.empty() ? 0 : static_cast<qreal>(points_.front().step);
    const qreal last = points_.empty() ? 1 : static_cast<qreal>(points_.back().step);
    const qreal span = std::max<qreal>(last - first, 4);
    const qreal unit = std::pow(10.0, std::floor(std::log10(span)));
    const qreal end = first + std::ceil(span / unit) * unit;
    if (stepAxis_->min() != first || stepAxis_->max() != end) stepAxis_->setRange(first, end);

    int top = 1;
    for (int n : histogram_) top = std::max(top, n);
    if (bars_->count() == static_cast<qsizetype>(histogram_.size())) {
        for (std::size_t c = 0; c < histogram_.size(); ++c)
            if (bars_->at(static_cast<qsizetype>(c)) != histogram_[c]) bars_->replace(static_cast<qsizetype>(c), histogram_[c]);
    } else {
        QStringList categories;
        QList<qreal> counts;
        for (std::size_t c = 0; c < histogram_.size(); ++c) {
            categories.append(QString::number(c));
            counts.append(histogram_[c]);
        }
        bars_->remove(0, bars_->count());
        bars_->append(counts);
        coordinationAxis_->setCategories(categories);
    }
    // The count axis keeps its top while the highest bar stays well under it.
    if (!(top <= taonAxis_->max() && taonAxis_->max() <= top * 1.6 + 5)) taonAxis_->setRange(0, std::ceil(top * 1.25));
}

}  // namespace sphaeron::forms

#pragma once
// The structure row of the plots window: the neighbour rule (SANN, cutoff R
// or k nearest), the Structure chart (mean q6, the largest cluster and the
// number of clusters against the step) and the histogram of the
// coordination numbers of the latest analysis.
#include <QWidget>
#include <chrono>
#include <functional>
#include <vector>

#include "sphaeron/structure/structure.h"

class QBarSet;
class QBarSeries;
class QBarCategoryAxis;
class QChart;
class QChartView;
class QComboBox;
class QDoubleSpinBox;
class QLineSeries;
class QSpinBox;
class QValueAxis;

namespace sphaeron::forms {

class TStructurePanel : public QWidget {
public:
    // Points kept per series; beyond it every second one is let go.
    static constexpr int kMaxPoints = 4000;

    // The paints of its charts add to `paintTime` (what the plots' samples
    // cost the run).
    TStructurePanel(QWidget* parent, std::chrono::steady_clock::duration& paintTime);

    // ---- controls -------------------------------------------------------
    QComboBox* RuleBox = nullptr;         // "SANN", "Cutoff R", "k nearest"
    QDoubleSpinBox* CutoffBox = nullptr;  // R
    QSpinBox* NearestBox = nullptr;       // k
    QChartView* StructureView = nullptr;
    QChartView* CoordinationView = nullptr;

    // ---- handlers -------------------------------------------------------
    void RuleBoxChange();  // also the two value boxes

    // Called with the rule chosen in the panel.
    std::function<void(const structure::NeighbourChoice&)> RuleChanged;

    // Shows `choice` in the controls without calling RuleChanged.
    void ShowRule(const structure::NeighbourChoice& choice);
    structure::NeighbourChoice Rule() const;
    // Forgets the series (a new document, a new rule).
    void Reset();
    // The analysis of the state after `step`.
    void Add(long step, const structure::StructureResult& r);

    struct Point {
        long step;
        double meanQ6;
        int largest, clusters;
    };
    const std::vector<Point>& Series() const { return points_; }
    // Taons with 0, 1, 2, ... neighbours in the latest analysis.
    const std::vector<int>& Coordination() const { return histogram_; }

private:
    void BuildStructureChart();
    void BuildCoordinationChart();
    void DrawSeries();

    std::chrono::steady_clock::duration& paintTime_;
    bool showing_ = false;  // ShowRule is setting the controls
    std::vector<Point> points_;
    std::vector<int> histogram_;
    QChart* structureChart_ = nullptr;
    QLineSeries* q6_ = nullptr;
    QLineSeries* largest_ = nullptr;
    QLineSeries* clusters_ = nullptr;
    QValueAxis* stepAxis_ = nullptr;
    QValueAxis* q6Axis_ = nullptr;
    QValueAxis* countAxis_ = nullptr;
    QChart* coordinationChart_ = nullptr;
    QBarSet* bars_ = nullptr;
    QBarSeries* barSeries_ = nullptr;
    QBarCategoryAxis* coordinationAxis_ = nullptr;
    QValueAxis* taonAxis_ = nullptr;
};

}  // namespace sphaeron::forms

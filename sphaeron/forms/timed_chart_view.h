#pragma once
// A chart view that adds the time its paints take to a counter: painting
// the plots is part of what a sample costs the run.
#include <QChartView>
#include <chrono>

namespace sphaeron::forms {

class TimedChartView : public QChartView {
public:
    TimedChartView(QChart* chart, QWidget* parent, std::chrono::steady_clock::duration& paintTime)
        : QChartView(chart, parent), paintTime_(paintTime) {
        setRenderHint(QPainter::Antialiasing, true);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const auto start = std::chrono::steady_clock::now();
        QChartView::paintEvent(event);
        paintTime_ += std::chrono::steady_clock::now() - start;
    }

private:
    std::chrono::steady_clock::duration& paintTime_;
};

}  // namespace sphaeron::forms

#pragma once
// The plots window: a top-level window beside the main window that follows
// a run. It shows the energy against the step (ke, pe, e with their last
// values), the histogram of the pair distances with the well positions of
// the three groups marked in the group colours, and the pair potentials of
// the groups. Its "File" menu saves the data shown as CSV and each chart as
// PNG. It never raises a failure into the run: a value that cannot be
// computed is left out of the picture.
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sphaeron/core/observables.h"
#include "sphaeron/core/taon_state.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/view/plot_data.h"

class QAction;
class QChart;
class QChartView;
class QLineSeries;
class QMenu;
class QValueAxis;

namespace sphaeron::forms {

class TStructurePanel;

// Where the plots window goes (frames in screen coordinates): beside the
// main window `main`, right or left, where the screen's free area `room`
// has space for `size`; else beside it on the wider side, narrowed, when
// that leaves at least kMinPlotsWidth; else at the left of the screen over
// the main window's picture, narrowed so that the `keepClear` pixels at the
// main window's right (its run controls and parameters) stay in sight.
// Inside `room` in any case.
constexpr int kMinPlotsWidth = 480;
QRect PlacePlots(const QRect& room, const QRect& main, QSize size, int keepClear);

class TPlotsWindow : public QMainWindow {
public:
    // Samples are taken at most this often during a run, and further apart
    // when a sample takes more than 1 / kCostShare of this time.
    static constexpr std::chrono::milliseconds kSampleInterval{100};
    static constexpr int kCostShare = 34;
    static constexpr int kHistogramBins = 120;
    static constexpr int kPotentialPoints = 600;

    // A top-level window of its own; `owner` (the main window) takes it
    // along when it goes away. The save dialogs and the failure boxes go
    // through `dialogs` (not owned).
    TPlotsWindow(QWidget* owner, Dialogs& dialogs);
    ~TPlotsWindow() override;

    // After every step of a run. Takes a sample only while the window is
    // shown and the last sample is old enough (kSampleInterval, kCostShare),
    // so that it costs next to nothing otherwise.
    // `before`, when given, holds the observables of the state before the
    // step as the step formed them: the energy sample is theirs (at step
    // stepCount - 1) and costs nothing more.
    void StepDone(const TaonState& s, const StepSwitches& sw, int stepCount, const Observables* before = nullptr);
    // Whether StepDone would take a sample now.
    bool SampleDue() const;
    // The run ended: a last sample of the final state, so the charts and
    // the legend show where the run stopped.
    void RunEnded(const TaonState& s, const StepSwitches& sw, int stepCount);
    // A parameter may have changed: the potentials and the well marks are
    // drawn anew (while the window is shown).
    void ParametersChanged(const TaonState& s, bool mode1);
    // A recorded state of the run is shown (a move along the timeline): the
    // energy series stays, a cursor line marks the step shown and the
    // legend gives its energies; the distances and potentials are those of
    // the state. The next step of a run takes the cursor away and drops the
    // samples after the state it goes on from.
    void StateShown(const TaonState& s, const StepSwitches& sw, int stepCount);
    // Starts a new energy series, samples and draws everything now (opening
    // the window, a new or opened document).
    void Refresh(const TaonState& s, const StepSwitches& sw, int stepCount);

    // ---- controls -------------------------------------------------------
    QMenu* File1 = nullptr;
    QAction* SaveEnergyCsv = nullptr;
    QAction* SaveDistanceCsv = nullptr;
    QAction* SavePotentialCsv = nullptr;
    QAction* SaveEnergyPng = nullptr;
    QAction* SaveDistancePng = nullptr;
    QAction* SavePotentialPng = nullptr;
    QAction* Close1 = nullptr;
    QChartView* EnergyView = nullptr;
    QChartView* DistanceView = nullptr;
    QChartView* PotentialView = nullptr;
    // The neighbour rule, the Structure chart and the coordination
    // histogram (fed by the main window's structure analysis).
    TStructurePanel* Structure = nullptr;
    // Called with the state of each sample of a run and of its end, so that
    // the structure row samples with the energy, its cost counted with the
    // sample's.
    std::function<void(const TaonState&)> StateSampled;

    // ---- handlers -------------------------------------------------------
    void SaveEnergyCsvClick();
    void SaveDistanceCsvClick();
    void SavePotentialCsvClick();
    void SaveEnergyPngClick();
    void SaveDistancePngClick();
    void SavePotentialPngClick();

    // ---- the data shown -------------------------------------------------
    const EnergySeries& Energy() const { return energy_; }
    const Histogram& Distances() const { return distances_; }
    const PotentialCurves& Potentials() const { return potentials_; }
    // The step the cursor line marks, after a move.
    std::optional<int> CursorStep() const {
        return cursor_ ? std::optional<int>(cursor_->step) : std::nullopt;
    }
    // Samples taken so far (each a full energy and distance update).
    long SampleCount() const { return sampleCount_; }
    // Time the samples of runs took, computing and painting (up to the
    // paints of the last one).
    std::chrono::steady_clock::duration TimeSpent() const { return timeSpent_; }

private:
    void BuildMenu();
    void BuildEnergyChart();
    void BuildDistanceChart();
    void BuildPotentialChart();
    void Sample(const TaonState& s, const StepSwitches& sw, int stepCount, const Observables* before = nullptr);
    void DrawEnergy();
    // The histogram with the well marks of the parameters of the moment.
    void DrawDistances(const TaonState& s);
    void DrawPotentials(const TaonState& s, bool mode1);
    void SaveCsv(const std::string& text);
    void SavePng(QChartView* view);

    Dialogs& dialogs_;
    EnergySeries energy_;
    std::optional<EnergySample> last_;
    std::optional<EnergySample> cursor_;  // the state shown after a move
    Histogram distances_;
    PotentialCurves potentials_;
    std::optional<PotentialKey> drawnKey_;
    long double limit_ = 2;  // the distance range of both lower charts
    long sampleCount_ = 0;
    int deferred_ = 0;  // samples put off to the next step, for its energies
    std::chrono::steady_clock::time_point lastSample_{};
    std::chrono::steady_clock::duration interval_ = kSampleInterval;
    std::chrono::steady_clock::duration paintTime_{};  // painting the charts since the last sample
    std::chrono::steady_clock::duration timeSpent_{};
    bool sampled_ = false;

    QChart* energyChart_ = nullptr;
    QLineSeries* ke_ = nullptr;
    QLineSeries* pe_ = nullptr;
    QLineSeries* e_ = nullptr;
    QLineSeries* cursorLine_ = nullptr;
    QValueAxis* energyX_ = nullptr;
    QValueAxis* energyY_ = nullptr;

    QChart* distanceChart_ = nullptr;
    QLineSeries* bars_ = nullptr;  // outline of the bins; an area fills under it
    QValueAxis* distanceX_ = nullptr;
    QValueAxis* distanceY_ = nullptr;
    std::vector<QLineSeries*> wellMarks_;

    QChart* potentialChart_ = nullptr;
    QValueAxis* potentialX_ = nullptr;
    QValueAxis* potentialY_ = nullptr;
    std::vector<QLineSeries*> curves_;
};

}  // namespace sphaeron::forms

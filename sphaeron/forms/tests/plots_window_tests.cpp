// The plots window: F9 opens it, a run updates it at most every 100 ms and
// only while it is shown, and its File menu writes the data and the charts
// through the save dialog.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <filesystem>
#include <functional>

#include "forms_test_support.h"
#include "sphaeron/forms/plots_window.h"

namespace sphaeron::forms::testing {
namespace {

// Answers the save dialogs of the plots window and records their filters
// and the windows the failure boxes stand over.
class PlotDialogs : public ScriptedDialogs {
public:
    std::deque<QString> Answers;  // an empty one cancels
    std::vector<QString> Filters;
    std::vector<QWidget*> FailureParents;
    void Failure(QWidget* parent, const QString& text) override {
        FailureParents.push_back(parent);
        ScriptedDialogs::Failure(parent, text);
    }
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& ext) override {
        Filters.push_back(filter + QLatin1Char(' ') + ext);
        if (Answers.empty()) {
            ADD_FAILURE() << "save dialog not scripted";
            return std::nullopt;
        }
        QString a = Answers.front();
        Answers.pop_front();
        if (a.isEmpty()) return std::nullopt;
        return a;
    }
};

class PlotsWindowTest : public FormsTest {
protected:
    // Runs until `ms` milliseconds have passed and `enough` holds (on a slow
    // machine, or under the sanitizers, a sample can take longer than `ms`);
    // returns the time as measured.
    qint64 RunFor(TMainForm& f, qint64 ms, const std::function<bool()>& enough = [] { return true; }) {
        QElapsedTimer clock;
        clock.start();
        QTimer stopper;
        stopper.setInterval(0);
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            const bool done = clock.elapsed() >= ms && (enough() || clock.elapsed() >= 60000);
            if (!State().Stopped && done) f.GoClick();
        });
        stopper.start();
        f.GoClick();
        return clock.elapsed();
    }
};

TEST_F(PlotsWindowTest, F9OpensItAndARunUpdatesItWhileItIsShown) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    ShowActive();
    ASSERT_EQ(nullptr, f.Plots);
    QTest::keyClick(&f, Qt::Key_F9);
    ASSERT_NE(nullptr, f.Plots);
    TPlotsWindow& p = *f.Plots;
    ASSERT_TRUE(p.isVisible());
    EXPECT_TRUE(p.isWindow());
    EXPECT_FALSE(p.isModal());
    // Opening samples once: the energy at step 0, the six pairs of the
    // four taons, the three potentials.
    EXPECT_EQ(1, p.SampleCount());
    ASSERT_EQ(1u, p.Energy().Samples().size());
    EXPECT_EQ(0, p.Energy().Samples()[0].step);
    EXPECT_EQ(6, p.Distances().Total() + p.Distances().above);
    EXPECT_EQ(36.0L, p.Distances().hi);  // 1.2 x the largest well, 30
    for (const auto& u : p.Potentials().u) EXPECT_EQ(1u, FiniteRuns(u).size());

    // A run samples at most once per 100 ms (less often when sampling is
    // slow).
    const qint64 ms = RunFor(f, 600, [&] { return p.SampleCount() >= 2; });
    const long runSamples = p.SampleCount() - 1;
    EXPECT_GE(runSamples, 1);
    EXPECT_LE(runSamples, ms / 100);
    const auto& samples = p.Energy().Samples();
    EXPECT_EQ(static_cast<std::size_t>(runSamples + 1), samples.size());
    for (std::size_t i = 1; i < samples.size(); ++i) EXPECT_LT(samples[i - 1].step, samples[i].step);
    EXPECT_LE(samples.back().step, State().StepCount);

    // Closed, it takes no samples; F9 brings it back with a new series.
    p.close();
    RunFor(f, 250);
    EXPECT_EQ(runSamples + 1, p.SampleCount());
    f.Plots1->trigger();
    EXPECT_TRUE(p.isVisible());
    ASSERT_EQ(1u, p.Energy().Samples().size());
    EXPECT_EQ(State().StepCount, p.Energy().Samples()[0].step);

    // A change of the parameters (as Open or New make it) is drawn.
    SetGroupParams(State(), 3, {1, 2.718L, 5, 10, 20, 40});
    f.FillParameterFields();
    EXPECT_EQ(48.0L, p.Distances().hi);
}

TEST_F(PlotsWindowTest, FileMenuSavesTheDataAndTheCharts) {
    PlotDialogs plotDialogs;
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start(plotDialogs);
    f.show();
    f.Plots1->trigger();
    TPlotsWindow& p = *f.Plots;
    AtPass(f, 3, [&] { f.GoClick(); });
    f.GoClick();
    p.Refresh(State(), f.PlotsSwitches(), State().StepCount);

    struct Case {
        QAction* item;
        std::string name;
        QString filter;
        std::string start;
        std::size_t lines;  // CSV only: header and rows
    } cases[] = {
        {p.SaveEnergyCsv, "e.csv", "CSV files (*.csv)|*.csv csv", "step,ke,pe,e\n3,", 2},
        {p.SaveDistanceCsv, "d.csv", "CSV files (*.csv)|*.csv csv", "r_from,r_to,count\n0,0.3,",
         TPlotsWindow::kHistogramBins + 1},
        {p.SavePotentialCsv, "u.csv", "CSV files (*.csv)|*.csv csv", "r,U1,U2,U3\n0.15,",
         TPlotsWindow::kPotentialPoints + 1},
        {p.SaveEnergyPng, "e.png", "PNG images (*.png)|*.png png", "\x89PNG", 0},
        {p.SaveDistancePng, "d.png", "PNG images (*.png)|*.png png", "\x89PNG", 0},
        {p.SavePotentialPng, "u.png", "PNG images (*.png)|*.png png", "\x89PNG", 0},
    };
    for (const Case& c : cases) {
        plotDialogs.Answers.push_back(QPath(c.name));
        c.item->trigger();
        EXPECT_EQ(c.filter, plotDialogs.Filters.back());
        auto bytes = FileBytes(Path(c.name));
        std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(c.start, text.substr(0, c.start.size())) << c.name;
        if (c.lines) {
            EXPECT_EQ(c.lines, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'))) << c.name;
        }
    }
    // Cancel writes nothing; a failed write is reported with its text.
    plotDialogs.Answers.push_back(QString());
    p.SaveEnergyCsv->trigger();
    plotDialogs.Answers.push_back(QPath("missing/e.csv"));
    p.SaveEnergyPng->trigger();
    EXPECT_EQ(std::vector<QString>{QStringLiteral("File not found")}, plotDialogs.Failures);
    EXPECT_EQ(std::vector<QWidget*>{&p}, plotDialogs.FailureParents);  // the box stands over the plots
    EXPECT_FALSE(std::filesystem::exists(Path("missing")));
    program_.reset();  // before the dialogs it was made with
}

// A move along the timeline keeps the energy series and marks the step
// shown; a run from an earlier state replaces the samples after it. The
// axes of counts (steps, pairs) tick at whole numbers.
TEST_F(PlotsWindowTest, AMoveKeepsTheSeriesAndARunFromAnEarlierStateReplacesItsLaterSamples) {
    WriteState(Path("doc.ato"), SquareState());
    WriteStartFile(Path("doc.ato"));
    TMainForm& f = Start();
    ShowActive();
    f.Plots1->trigger();
    TPlotsWindow& p = *f.Plots;
    RunFor(f, 300, [&] { return p.Energy().Samples().size() >= 3; });
    const std::vector<EnergySample> before = p.Energy().Samples();
    ASSERT_GE(before.size(), 3u);
    const int last = State().StepCount;

    for (QAction* move : {f.TimelineLast, f.TimelineBack, f.TimelineBack, f.TimelineForward}) {
        move->trigger();
        ASSERT_EQ(before.size(), p.Energy().Samples().size());
        EXPECT_EQ(before.back().step, p.Energy().Samples().back().step);
        EXPECT_EQ(State().StepCount, p.CursorStep());
    }
    EXPECT_EQ(last - 1, p.CursorStep());

    f.TimelineFirst->trigger();
    EXPECT_EQ(0, p.CursorStep());
    AtPass(f, 2, [&] { f.GoClick(); });
    f.GoClick();
    ASSERT_LT(State().StepCount, before.back().step);
    EXPECT_EQ(std::nullopt, p.CursorStep());
    ASSERT_FALSE(p.Energy().Samples().empty());
    EXPECT_EQ(0, p.Energy().Samples().front().step);
    EXPECT_LE(p.Energy().Samples().back().step, State().StepCount);

    for (QChartView* view : {p.EnergyView, p.DistanceView}) {
        auto* counts = qobject_cast<QValueAxis*>(
            view->chart()->axes(view == p.EnergyView ? Qt::Horizontal : Qt::Vertical).front());
        ASSERT_NE(nullptr, counts);
        EXPECT_GE(counts->tickInterval(), 1.0);
        EXPECT_EQ(std::round(counts->tickInterval()), counts->tickInterval());
    }
}

// Beside the main window where the screen has room, else narrowed on the
// wider side, else over the picture with the controls at the right in sight.
TEST(PlotsPlacement, BesideTheMainWindowWhereTheScreenHasRoom) {
    const QSize plots(960, 690);
    const struct {
        QRect room, main;
        QRect expected;
    } cases[] = {
        {{0, 0, 2560, 1400}, {800, 300, 725, 525}, {1525, 300, 960, 690}},   // right
        {{0, 0, 2560, 1400}, {1600, 300, 725, 525}, {640, 300, 960, 690}},   // left
        {{0, 0, 1920, 1040}, {597, 257, 725, 525}, {1322, 257, 598, 690}},   // the wider side, narrowed
        {{0, 0, 1280, 1024}, {277, 249, 725, 525}, {0, 249, 759, 690}},      // over the picture
        {{0, 0, 1024, 700}, {0, 400, 725, 525}, {0, 10, 482, 690}},          // inside the screen
    };
    for (const auto& c : cases) {
        const QRect got = PlacePlots(c.room, c.main, plots, 243);
        EXPECT_EQ(c.expected, got) << got.x() << "," << got.y() << " " << got.width() << "x" << got.height();
        EXPECT_TRUE(c.room.contains(got));
    }
}

}  // namespace
}  // namespace sphaeron::forms::testing

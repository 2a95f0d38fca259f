#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "sphaeron/view/plot_data.h"
#include "sphaeron/view/tests/view_test_util.h"

namespace sphaeron {
namespace {

const long double kNaN = std::numeric_limits<long double>::quiet_NaN();
const long double kInf = std::numeric_limits<long double>::infinity();

TEST(PlotData, DistancesFallIntoHalfOpenBins) {
    struct Case {
        std::vector<long double> d;
        long double lo, hi;
        int bins;
        std::vector<int> counts;
        int below, above;
    } cases[] = {
        // Edges belong to the bin above them; hi itself is beyond; NaN nowhere.
        {{0.1L, 0.5L, 0.6L, 1.99L, 2.0L, -0.1L, kNaN, kInf}, 0, 2, 4, {1, 2, 0, 1}, 1, 2},
        {{2, 2.999L, 3, 3.5L}, 2, 4, 2, {2, 2}, 0, 0},
        {{}, 0, 1, 3, {0, 0, 0}, 0, 0},
        {{1}, 0, 1, 0, {}, 0, 0},   // no bins
        {{1}, 2, 2, 5, {}, 0, 0},   // empty range
    };
    for (const Case& c : cases) {
        Histogram h = BinDistances(c.d, c.lo, c.hi, c.bins);
        EXPECT_EQ(c.counts, h.counts);
        EXPECT_EQ(c.below, h.below);
        EXPECT_EQ(c.above, h.above);
    }
}

TEST(PlotData, PairDistancesOfThreeTaonsOverTheWellRange) {
    TaonState s;
    for (int g = 1; g <= 3; ++g) SetGroupParams(s, g, {1, 1, 2, 3, 4, 5});
    testing::PutTaon(s, 1, 0, 0, 0);
    testing::PutTaon(s, 2, 1, 0, 0);
    testing::PutTaon(s, 60, 0, 2, 0);  // distances 1, 2 and the root of 5
    EXPECT_EQ(6.0L, DistanceLimit(s));
    Histogram h = DistanceHistogram(s, 6);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 0, 0, 0}), h.counts);

    // No positive well: the range is 0 .. 2.
    for (int g = 1; g <= 3; ++g) SetGroupParams(s, g, {1, 0, -1, kNaN, kInf, 0});
    EXPECT_EQ(2.0L, DistanceLimit(s));
}

TEST(PlotData, EnergySeriesThinsOutEvenlyAndIsReplacedFromWhereTheStepGoesBack) {
    struct Case {
        std::size_t capacity;
        int offers;  // steps 1 .. offers
        std::vector<int> kept;
    } cases[] = {
        {4, 4, {1, 2, 3, 4}},
        {4, 5, {1, 3, 5}},
        {4, 13, {1, 5, 9, 13}},
        {4, 16, {1, 5, 9, 13}},
        {3, 4, {1, 3}},
        {3, 9, {1, 5, 9}},
    };
    for (const Case& c : cases) {
        EnergySeries series(c.capacity);
        for (int step = 1; step <= c.offers; ++step) series.Add({step, 0, 0, 0});
        std::vector<int> kept;
        for (const EnergySample& x : series.Samples()) kept.push_back(x.step);
        EXPECT_EQ(c.kept, kept) << "capacity " << c.capacity << ", " << c.offers << " offers";
    }
    EnergySeries series(4);
    for (int step : {5, 6, 7, 0, 1}) series.Add({step, 0, 0, 0});
    ASSERT_EQ(2u, series.Samples().size());
    EXPECT_EQ(0, series.Samples()[0].step);
    // Going on from step 2 of 1 .. 4: the samples from 3 on are replaced.
    EnergySeries again(8);
    for (int step : {1, 2, 3, 4, 3, 5}) again.Add({step, 0, 0, 0});
    std::vector<int> kept;
    for (const EnergySample& x : again.Samples()) kept.push_back(x.step);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 5}), kept);
}

TEST(PlotData, ValueRangeShowsTheWells) {
    struct Case {
        std::vector<long double> u1, u2;
        long double low, high;
    } cases[] = {
        {{-1, 0.5L}, {}, -1.075L, 0.575L},
        {{-1, kNaN}, {5, kInf}, -1.15L, 2.15L},  // the top cut at twice the depth
        {{2, 3}, {}, -0.15L, 3.15L},             // 0 is always in the range
        {{kNaN}, {kInf}, -1, 1},
    };
    for (const Case& c : cases) {
        PotentialCurves p;
        p.u[0] = c.u1;
        p.u[1] = c.u2;
        ValueRange(p);
        EXPECT_NEAR(static_cast<double>(c.low), static_cast<double>(p.yLow), 1e-15);
        EXPECT_NEAR(static_cast<double>(c.high), static_cast<double>(p.yHigh), 1e-15);
    }
}

TEST(PlotData, PotentialsLeaveGapsWhereTheyFault) {
    TaonState s;
    SetGroupParams(s, 1, {1, 0, 2, 3, 4, 5});  // B1 = 0: every U1 divides by zero
    SetGroupParams(s, 2, {1, 1, 2, 3, 4, 5});
    SetGroupParams(s, 3, {1, 1, 2, 3, 4, 5});
    PotentialCurves c = SamplePotentials(s, false, 0.5L, 1.5L, 3);
    EXPECT_EQ((std::vector<long double>{0.5L, 1, 1.5L}), c.r);
    EXPECT_TRUE(FiniteRuns(c.u[0]).empty());
    EXPECT_EQ(1u, FiniteRuns(c.u[1]).size());
    EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO)) << "a fault flag left behind";


    // A curve is drawn as one line per run of finite values.
    using Runs = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ((Runs{{0, 1}, {2, 4}}), FiniteRuns({1, kNaN, 2, 3, kInf}));
    EXPECT_EQ((Runs{{1, 2}}), FiniteRuns({-kInf, 0, kNaN}));
}

TEST(PlotData, CsvText) {
    const std::vector<EnergySample> energy = {{1, 0.5L, -2, -1.5L}, {2, 0.25L, 1e-7L, 0}};
    EXPECT_EQ("step,ke,pe,e\n1,0.5,-2,-1.5\n2,0.25,1E-7,0\n", EnergyCsv(energy));
    EXPECT_EQ("step,ke,pe,e\n", EnergyCsv({}));

    Histogram h = BinDistances({0.1L, 0.5L, 0.6L, 1.99L}, 0, 2, 4);
    EXPECT_EQ("r_from,r_to,count\n0,0.5,1\n0.5,1,2\n1,1.5,0\n1.5,2,1\n", HistogramCsv(h));

    PotentialCurves p;
    p.r = {0.5L, 1};
    p.u[0] = {1, kNaN};
    p.u[1] = {-0.25L, 2};
    EXPECT_EQ("r,U1,U2,U3\n0.5,1,-0.25,\n1,,2,\n", PotentialCsv(p));
}

}  // namespace
}  // namespace sphaeron

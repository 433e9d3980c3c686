// The benchmark harness: which way a ratio points, and what one slow pair can move.
#include "bench/common/paired_runs.h"

#include <chrono>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(PairedRuns, ASpeedUpIsTheReferenceOverOursAndATimeRatioTheInverse) {
    const std::vector<double> ours{1, 2, 4}, reference{2, 2, 2};
    const bench::PairedFigures speedUp = bench::FromPairs(ours, reference, bench::Goal::kSpeedUp);
    EXPECT_DOUBLE_EQ(1.0, speedUp.median);
    EXPECT_DOUBLE_EQ(0.5, speedUp.min);
    EXPECT_DOUBLE_EQ(2.0, speedUp.max);
    const bench::PairedFigures time = bench::FromPairs(ours, reference, bench::Goal::kTimeRatio);
    EXPECT_DOUBLE_EQ(2.0, time.max);
    EXPECT_DOUBLE_EQ(2.0, time.oursSeconds);
    EXPECT_EQ(3, time.pairs);
}

// The verdict is the median of the pairs' ratios (of an even count, the middle two's mean): a
// pair in which both sides were slowed together moves it by one place at most.
TEST(PairedRuns, TheMedianIsTakenOverThePairsRatios) {
    const std::vector<double> ours{1, 1, 10, 1}, reference{2, 2, 30, 4};
    const bench::PairedFigures figures = bench::FromPairs(ours, reference, bench::Goal::kSpeedUp);
    EXPECT_DOUBLE_EQ(2.5, figures.median);   // ratios 2, 2, 3, 4
    EXPECT_DOUBLE_EQ(4.0, figures.max);
    EXPECT_DOUBLE_EQ(1.0, figures.oursSeconds);
    EXPECT_DOUBLE_EQ(3.0, figures.referenceSeconds);
}

void Spin(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
    }
}

TEST(PairedRuns, RunsArePairedAndPausedTimeDoesNotCount) {
    bench::PairOptions options;
    options.pairs = 3;
    options.sampleSeconds = 0;
    options.clock = bench::Clock::kWall;
    int oursRuns = 0, referenceRuns = 0;
    const bench::PairedFigures figures = bench::RunPairs(
        [&](bench::Stopwatch& watch) {
            ++oursRuns;
            watch.Pause();
            Spin(0.002);
        },
        [&](bench::Stopwatch&) {
            ++referenceRuns;
            Spin(0.002);
        },
        bench::Goal::kTimeRatio, options);
    EXPECT_EQ(3, figures.pairs);
    EXPECT_EQ(oursRuns, referenceRuns);
    EXPECT_LT(figures.max, 0.25);
    EXPECT_GE(figures.referenceSeconds, 0.002);
}

}  // namespace

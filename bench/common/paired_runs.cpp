// Interleaved pairs of timed samples and their printed verdicts.
#include "bench/common/paired_runs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#ifndef _WIN32
#include <time.h>
#endif

namespace bench {
namespace {

double WallNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    if (n == 0) return 0;
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds of one run, averaged over as many runs as fill the sample. The wall bound ends a
// sample whose runs pause away nearly all their time.
double Sample(const Run& run, const PairOptions& options) {
    for (int i = 0; i < options.settlingRuns; ++i) {
        Stopwatch unused(options.clock);
        run(unused);
    }
    Stopwatch watch(options.clock);
    const double wallStart = WallNow();
    long runs = 0;
    do {
        watch.Resume();
        run(watch);
        watch.Pause();
        ++runs;
    } while (watch.Seconds() < options.sampleSeconds
             && WallNow() - wallStart < 20 * options.sampleSeconds);
    return watch.Seconds() / static_cast<double>(runs);
}

}  // namespace

void Stopwatch::Resume() {
    if (running) return;
    running = true;
    started = Now();
}

void Stopwatch::Pause() {
    if (!running) return;
    running = false;
    total += Now() - started;
}

double Stopwatch::Now() const {
#ifndef _WIN32
    if (clock == Clock::kProcessCpu) {
        timespec now;
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
#endif
    return WallNow();
}

PairedFigures RunPairs(const Run& ours, const Run& reference, Goal goal,
                       const PairOptions& options) {
    Sample(ours, options);
    Sample(reference, options);
    std::vector<double> oursTimes, referenceTimes;
    for (int i = 0; i < options.pairs; ++i) {
        oursTimes.push_back(Sample(ours, options));
        referenceTimes.push_back(Sample(reference, options));
    }
    return FromPairs(oursTimes, referenceTimes, goal);
}

PairedFigures FromPairs(const std::vector<double>& ours, const std::vector<double>& reference,
                        Goal goal) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size() && i < reference.size(); ++i)
        ratios.push_back(goal == Goal::kSpeedUp ? reference[i] / ours[i] : ours[i] / reference[i]);
    PairedFigures figures;
    if (ratios.empty()) return figures;
    figures.oursSeconds = Median(ours);
    figures.referenceSeconds = Median(reference);
    figures.median = Median(ratios);
    figures.min = *std::min_element(ratios.begin(), ratios.end());
    figures.max = *std::max_element(ratios.begin(), ratios.end());
    figures.pairs = static_cast<int>(ratios.size());
    return figures;
}

double MedianSeconds(const Run& run, const PairOptions& options) {
    Sample(run, options);
    std::vector<double> times;
    for (int i = 0; i < options.pairs; ++i) times.push_back(Sample(run, options));
    return Median(times);
}

std::string FormatSeconds(double seconds) {
    const char* unit = "s";
    double value = seconds;
    if (seconds < 1e-6) { value = seconds * 1e9; unit = "ns"; }
    else if (seconds < 1e-3) { value = seconds * 1e6; unit = "us"; }
    else if (seconds < 1) { value = seconds * 1e3; unit = "ms"; }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g %s", value, unit);
    return text;
}

void PrintTimes(const std::string& name, const PairedFigures& figures) {
    std::printf("  %s: ours %s, reference %s (median run)\n", name.c_str(),
                FormatSeconds(figures.oursSeconds).c_str(),
                FormatSeconds(figures.referenceSeconds).c_str());
}

void PrintRatio(const std::string& name, const PairedFigures& figures, Goal goal, double value) {
    std::printf("RATIO %s: %.2f (spread %.2f..%.2f, %d pairs) goal %s %.2f\n", name.c_str(),
                figures.median, figures.min, figures.max, figures.pairs,
                goal == Goal::kSpeedUp ? ">=" : "<=", value);
    std::fflush(stdout);
}

PairedFigures ComparePairs(const std::string& name, const Run& ours, const Run& reference,
                           Goal goal, double value, const PairOptions& options) {
    const PairedFigures figures = RunPairs(ours, reference, goal, options);
    PrintTimes(name, figures);
    PrintRatio(name, figures, goal, value);
    return figures;
}

PairedFigures CompareTimes(const std::string& name, const Run& ours, const Run& reference,
                           const PairOptions& options) {
    const PairedFigures figures = RunPairs(ours, reference, Goal::kTimeRatio, options);
    PrintTimes(name, figures);
    return figures;
}

}  // namespace bench

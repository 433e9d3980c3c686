// Interleaved pairs of timed samples, ours then the reference, again and again; a verdict is
// the median of the pairs' ratios, so one slow moment on a shared machine moves one pair only.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

enum class Clock {
    kProcessCpu,  // CPU time of the process (wall time where the platform's is coarse)
    kWall,        // a steady clock, for work that waits on other threads
};

// Times one run: the harness resumes it before the run and pauses it after; a run pauses it
// itself around work that must not count (freeing what it built, waiting for idle).
class Stopwatch {
public:
    explicit Stopwatch(Clock c) : clock(c) {}
    void Resume();
    void Pause();
    double Seconds() const { return total; }
private:
    double Now() const;
    Clock clock;
    double started = 0;
    double total = 0;
    bool running = false;
};

typedef std::function<void(Stopwatch&)> Run;

// A speed-up (the reference's time over ours) must be at least the goal; a time ratio (ours
// over the reference's) at most.
enum class Goal { kSpeedUp, kTimeRatio };

struct PairOptions {
    int pairs = 11;
    double sampleSeconds = 0.1;  // each sample repeats its run at least this long; 0: one run
    // Uncounted runs that open each sample, so that a sample measures its side in the state
    // its own runs leave (malloc's free lists above all), not in the state the other side left.
    int settlingRuns = 1;
    Clock clock = Clock::kProcessCpu;
};

struct PairedFigures {
    double oursSeconds = 0;       // median time of one run
    double referenceSeconds = 0;
    double median = 0;            // of the pairs' ratios, in the goal's sense
    double min = 0;
    double max = 0;
    int pairs = 0;
};

// One sample of each first, uncounted, then the pairs.
PairedFigures RunPairs(const Run& ours, const Run& reference, Goal goal,
                       const PairOptions& options);

// The figures of samples that a benchmark took in pairs itself, ours[i] just before
// reference[i]: for work that cannot be repeated as a run (a fresh browser for every page).
PairedFigures FromPairs(const std::vector<double>& ours, const std::vector<double>& reference,
                        Goal goal);

// The median time of one run over options.pairs samples.
double MedianSeconds(const Run& run, const PairOptions& options);

// "  <name>: ours 1.20 ms, reference 2.90 ms (median run)"
void PrintTimes(const std::string& name, const PairedFigures& figures);

// "RATIO <name>: <median> (spread <min>..<max>, <n> pairs) goal <op> <value>", the one form
// scripts/bench.sh collects into its summary.
void PrintRatio(const std::string& name, const PairedFigures& figures, Goal goal, double value);

// RunPairs, then both lines above.
PairedFigures ComparePairs(const std::string& name, const Run& ours, const Run& reference,
                           Goal goal, double value, const PairOptions& options);

// RunPairs, then the times alone: for a reference that has no goal of its own.
PairedFigures CompareTimes(const std::string& name, const Run& ours, const Run& reference,
                           const PairOptions& options);

// Makes a result observable, so that no timed work is optimised away.
template <class T>
inline void Keep(const T& value) {
    asm volatile("" : : "r"(&value) : "memory");
}

// "1.20 ms": seconds in the unit that suits them.
std::string FormatSeconds(double seconds);

}  // namespace bench

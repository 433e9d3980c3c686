// Console reporter that also prints, after the run, each measured time as a ratio to its
// reference measured in the same run, and the main function the metadata benchmarks share.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}  // plain text, also in logs

    // Benchmark name with its argument ("BuildModel/1000") over its reference's name.
    void AddRatio(const std::string& measured, const std::string& reference) {
        ratios.emplace_back(measured, reference);
    }

    // The median CPU time of the repetitions when there are several: other programs share
    // the machine, and the median of interleaved runs is what they disturb least.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !times.count(run.run_name.str()))
                times[run.run_name.str()] = run.GetAdjustedCPUTime();
            else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                times[run.run_name.str()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& ratio : ratios) {
            if (!times.count(ratio.first) || !times.count(ratio.second))
                continue;
            std::printf("ratio %-28s / %-28s = %.3f\n", ratio.first.c_str(),
                        ratio.second.c_str(), times[ratio.first] / times[ratio.second]);
        }
    }

private:
    std::map<std::string, double> times;
    std::vector<std::pair<std::string, std::string>> ratios;
};

// Runs the registered benchmarks five times each in random order (options given on the
// command line take precedence) and prints the ratios at the end.
inline int RunWithRatios(int argc, char** argv, RatioReporter& reporter) {
    std::vector<char*> args{argv[0]};
    char repetitions[] = "--benchmark_repetitions=5";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.end(), {repetitions, interleave, aggregates});
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

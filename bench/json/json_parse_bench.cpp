// Throughput of json::parse against nlohmann::json::parse on the same cache texts, and the
// peak heap either parse takes for the largest text.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/any.hpp>
#include <nlohmann/json.hpp>

#include "addon/json/json_parser.h"
#include "bench/json/cache_text_generator.h"
#include "bench/json/heap_counter.h"

namespace {

const int kCardCounts[] = {10, 1000, 10000};

const std::string& CacheText(int cards) {
    static std::map<int, std::string> texts;
    std::string& text = texts[cards];
    if (text.empty()) text = MakeCacheText(cards);
    return text;
}

json::value_ptr ParseOurs(const std::string& text) { return json::parse(text.begin(), text.end()); }
nlohmann::json ParseTheirs(const std::string& text) { return nlohmann::json::parse(text); }

// With freeTimed the tree is also freed inside the timed loop; otherwise the timer is paused
// while it goes, so only the parse itself is measured. Both parsers are timed the same way.
template <class Parse>
void BM_Parse(benchmark::State& state, Parse parse, int cards, bool freeTimed) {
    const std::string& text = CacheText(cards);
    for (auto _ : state) {
        auto root = parse(text);
        benchmark::DoNotOptimize(&root);
        if (!freeTimed) {
            state.PauseTiming();
            { auto gone = std::move(root); }
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

std::string Name(const std::string& parser, const char* suffix, int cards) {
    return parser + suffix + "/" + std::to_string(cards);
}

// Keeps the console output and remembers each benchmark's best MB/s over its repetitions:
// on a shared machine the best run is the one least disturbed by other work.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto bytes = run.counters.find("bytes_per_second");
            if (run.run_type != Run::RT_Iteration || run.error_occurred || bytes == run.counters.end())
                continue;
            double& best = megabytesPerSecond[run.run_name.str()];
            best = std::max(best, bytes->second.value / 1e6);
        }
    }
    double MegabytesPerSecond(const std::string& name) const {
        auto it = megabytesPerSecond.find(name);
        return it == megabytesPerSecond.end() ? 0.0 : it->second;
    }
private:
    std::map<std::string, double> megabytesPerSecond;
};

void PrintThroughput(const SummaryReporter& reporter, const char* title, const char* suffix) {
    std::printf("\n%s\n%8s %12s %16s %16s %8s\n", title, "cards", "text bytes",
                "json::parse MB/s", "nlohmann MB/s", "ratio");
    for (int cards : kCardCounts) {
        const double ours = reporter.MegabytesPerSecond(Name("json::parse", suffix, cards));
        const double theirs =
            reporter.MegabytesPerSecond(Name("nlohmann::json::parse", suffix, cards));
        std::printf("%8d %12zu %16.1f %16.1f %7.2fx\n", cards, CacheText(cards).size(), ours,
                    theirs, theirs > 0 ? ours / theirs : 0.0);
    }
}

void PrintHeap(const char* parser, const heap_counter::Totals& totals, std::size_t textBytes) {
    std::printf("%-22s peak heap %10zu bytes (%.1fx text), %8zu allocations\n", parser,
                totals.peakBytes, double(totals.peakBytes) / double(textBytes), totals.allocations);
}

// Peak heap of one parse with its tree, as malloc sizes the blocks.
void PrintPeakHeap(int cards) {
    const std::string& text = CacheText(cards);
    std::printf("\nheap for %d cards, %zu bytes of text:\n", cards, text.size());
    heap_counter::Start();
    { json::value_ptr root = json::parse(text.begin(), text.end()); }
    PrintHeap("json::parse", heap_counter::Stop(), text.size());
    heap_counter::Start();
    { nlohmann::json root = nlohmann::json::parse(text); }
    PrintHeap("nlohmann::json::parse", heap_counter::Stop(), text.size());
}

}  // namespace

int main(int argc, char** argv) {
    for (int cards : kCardCounts) {
        if (!boost::any_cast<json::object>(ParseOurs(CacheText(cards)).get())) {
            std::fprintf(stderr, "json::parse refused the %d-card text\n", cards);
            return 1;
        }
        for (bool freeTimed : {false, true}) {
            const char* suffix = freeTimed ? "+free" : "";
            benchmark::RegisterBenchmark(Name("json::parse", suffix, cards).c_str(),
                                         BM_Parse<decltype(&ParseOurs)>, &ParseOurs, cards,
                                         freeTimed);
            benchmark::RegisterBenchmark(Name("nlohmann::json::parse", suffix, cards).c_str(),
                                         BM_Parse<decltype(&ParseTheirs)>, &ParseTheirs, cards,
                                         freeTimed);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintThroughput(reporter, "parse (tree freed outside the timing):", "");
    PrintThroughput(reporter, "parse and free the tree:", "+free");
    PrintPeakHeap(kCardCounts[2]);
    return 0;
}

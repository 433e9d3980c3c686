// json::parse against nlohmann::json::parse on the same generated cache texts, in interleaved
// pairs: the parse alone (the tree freed untimed) and the parse with the freeing of its tree;
// then the peak heap either parse takes with its tree.
#include <cstdio>
#include <string>

#include <boost/any.hpp>
#include <nlohmann/json.hpp>

#include "addon/json/json_parser.h"
#include "bench/common/paired_runs.h"
#include "bench/json/cache_text_generator.h"
#include "bench/json/heap_counter.h"

namespace {

const int kCardCounts[] = {1000, 10000};


json::value_ptr ParseOurs(const std::string& text) { return json::parse(text.begin(), text.end()); }
nlohmann::json ParseTheirs(const std::string& text) { return nlohmann::json::parse(text); }

// With freeTimed the tree is freed inside the timing; otherwise the watch is paused first.
template <class Parse>
bench::Run Parsing(const std::string& text, Parse parse, bool freeTimed) {
    return [&text, parse, freeTimed](bench::Stopwatch& watch) {
        auto root = parse(text);
        bench::Keep(root);
        if (!freeTimed) watch.Pause();
    };
}

void PrintThroughput(const bench::PairedFigures& figures, std::size_t bytes) {
    std::printf("  throughput: json::parse %.1f MB/s, nlohmann %.1f MB/s\n",
                double(bytes) / figures.oursSeconds / 1e6,
                double(bytes) / figures.referenceSeconds / 1e6);
}

void PrintHeap(const char* parser, const heap_counter::Totals& totals, std::size_t textBytes) {
    std::printf("  %-22s peak heap %10zu bytes (%.1fx text), %8zu allocations\n", parser,
                totals.peakBytes, double(totals.peakBytes) / double(textBytes), totals.allocations);
}

// Peak heap of one parse with its tree, as malloc sizes the blocks.
void PrintPeakHeap(const std::string& text) {
    heap_counter::Start();
    { json::value_ptr root = ParseOurs(text); }
    PrintHeap("json::parse", heap_counter::Stop(), text.size());
    heap_counter::Start();
    { nlohmann::json root = ParseTheirs(text); }
    PrintHeap("nlohmann::json::parse", heap_counter::Stop(), text.size());
}

}  // namespace

int main() {
    bench::PairOptions options;
    options.sampleSeconds = 0.2;
    for (int cards : kCardCounts) {
        const std::string text = MakeCacheText(cards);
        if (!boost::any_cast<json::object>(ParseOurs(text).get())) {
            std::fprintf(stderr, "json::parse refused the %d-card text\n", cards);
            return 1;
        }
        std::printf("\n%d cards, %zu bytes of cache text:\n", cards, text.size());
        for (bool freeTimed : {false, true}) {
            const std::string name = std::string("json::parse vs nlohmann, ")
                + (freeTimed ? "parse and free" : "parse only") + ", " + std::to_string(cards)
                + " cards";
            const bench::PairedFigures figures = bench::ComparePairs(
                name, Parsing(text, ParseOurs, freeTimed), Parsing(text, ParseTheirs, freeTimed),
                bench::Goal::kSpeedUp, freeTimed ? 1.3 : 1.5, options);
            PrintThroughput(figures, text.size());
        }
        PrintPeakHeap(text);
    }
    return 0;
}

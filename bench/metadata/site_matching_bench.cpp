// Matching 1,000 page hosts against models of 10 to 10,000 cards, against the plain scan of
// every pattern.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/site_index.h"
#include "addon/metadata/site_matching.h"
#include "bench/metadata/ratio_reporter.h"
#include "bench/metadata/sample_cards.h"
#include "tests/metadata/plain_scan.h"

namespace {

const int kHosts = 1000;

MetadataModel SampleModel(int cards) {
    std::string reply = sample_cards::Reply(cards);
    MetadataModel model;
    BuildModelFromResponse(reply, "1024", model);
    return model;
}

// Time per 1,000 hosts; the "per host" counter gives the time of one call.
template <MatchResult (*Match)(const std::string&, MetadataModel&)>
void MatchHosts(benchmark::State& state) {
    int cards = static_cast<int>(state.range(0));
    MetadataModel model = SampleModel(cards);
    const std::vector<std::string> hosts = sample_cards::Hosts(kHosts, cards);
    int matched = 0;
    Match(hosts[0], model);  // builds the index outside the timing
    for (auto _ : state) {
        for (const std::string& host : hosts) {
            MatchResult result = Match(host, model);
            matched += result.matched;
            benchmark::DoNotOptimize(result);
        }
    }
    state.counters["per host"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kHosts,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["matched"] = static_cast<double>(matched) / state.iterations();
}

void MatchSitesIndexed(benchmark::State& state) { MatchHosts<MatchSites>(state); }
void MatchSitesPlainScan(benchmark::State& state) { MatchHosts<MatchSitesByScan>(state); }

// What the first match after a model replacement pays on top.
void BuildIndex(benchmark::State& state) {
    MetadataModel model = SampleModel(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        SiteIndex index(model.Sites());
        benchmark::DoNotOptimize(&index);
    }
}

BENCHMARK(MatchSitesIndexed)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(MatchSitesPlainScan)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BuildIndex)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    for (const char* cards : {"10", "1000"})
        reporter.AddRatio(std::string("MatchSitesIndexed/") + cards,
                          std::string("MatchSitesPlainScan/") + cards);
    return RunWithRatios(argc, argv, reporter);
}

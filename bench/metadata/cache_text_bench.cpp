// Reading a cache text into the model, against nlohmann::json::parse of the same text alone.
#include <string>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "addon/json/json_parser.h"
#include "addon/metadata/cache_text.h"
#include "addon/metadata/metadata_response.h"
#include "bench/metadata/ratio_reporter.h"
#include "bench/metadata/sample_cards.h"

namespace {

std::string SampleCacheText(int cards) {
    std::string reply = sample_cards::Reply(cards);
    MetadataModel model;
    BuildModelFromResponse(reply, "1024", model);
    return CacheText(model);
}

void NlohmannParse(benchmark::State& state) {
    const std::string text = SampleCacheText(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(nlohmann::json::parse(text));
}

// The parse alone, to tell the parser's share from the walk's.
void JsonParse(benchmark::State& state) {
    const std::string text = SampleCacheText(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(json::parse(text.begin(), text.end()));
}

void ReadCache(benchmark::State& state) {
    const std::string text = SampleCacheText(static_cast<int>(state.range(0)));
    MetadataModel model;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadCacheText(text, model));
    state.counters["bytes"] = static_cast<double>(text.size());
}

void WriteCache(benchmark::State& state) {
    std::string reply = sample_cards::Reply(static_cast<int>(state.range(0)));
    MetadataModel model;
    BuildModelFromResponse(reply, "1024", model);
    for (auto _ : state)
        benchmark::DoNotOptimize(CacheText(model));
}

BENCHMARK(NlohmannParse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(JsonParse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadCache)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteCache)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    reporter.AddRatio("ReadCache/1000", "NlohmannParse/1000");
    reporter.AddRatio("ReadCache/10000", "NlohmannParse/10000");
    reporter.AddRatio("JsonParse/1000", "NlohmannParse/1000");
    reporter.AddRatio("JsonParse/10000", "NlohmannParse/10000");
    return RunWithRatios(argc, argv, reporter);
}

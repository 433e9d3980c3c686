// Reading a selector reply into the model, against TinyXML's bare parse of the same reply
// (with its defaults, and without the row and column tracking that the reader switches off).
#include <string>

#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/xml_bounds.h"
#include "bench/metadata/ratio_reporter.h"
#include "bench/metadata/sample_cards.h"

namespace {

void TinyXmlParse(benchmark::State& state) {
    const std::string reply = sample_cards::Reply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TiXmlDocument document;
        document.Parse(reply.c_str());
        benchmark::DoNotOptimize(document.RootElement());
    }
}

// The same parse without row and column tracking, as BuildModelFromResponse runs it.
void TinyXmlParseUntracked(benchmark::State& state) {
    const std::string reply = sample_cards::Reply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TiXmlDocument document;
        document.SetTabSize(0);
        document.Parse(reply.c_str());
        benchmark::DoNotOptimize(document.RootElement());
    }
}

// The nesting and attribute scan that runs before every parse of a reply.
void ShapeScan(benchmark::State& state) {
    const std::string reply = sample_cards::Reply(static_cast<int>(state.range(0))) +
                              std::string(3, '\0');
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureXml(reply.c_str(), TIXML_ENCODING_UTF8));
}

void BuildModel(benchmark::State& state) {
    const std::string reply = sample_cards::Reply(static_cast<int>(state.range(0)));
    MetadataModel model;
    for (auto _ : state) {
        std::string responseText = reply;  // emptied by the call
        benchmark::DoNotOptimize(BuildModelFromResponse(responseText, "1024", model));
    }
    state.counters["patterns"] = static_cast<double>(model.Sites().size());
}

BENCHMARK(TinyXmlParse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(TinyXmlParseUntracked)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(ShapeScan)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildModel)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    reporter.AddRatio("BuildModel/1000", "TinyXmlParse/1000");
    reporter.AddRatio("BuildModel/10000", "TinyXmlParse/10000");
    reporter.AddRatio("BuildModel/1000", "TinyXmlParseUntracked/1000");
    reporter.AddRatio("BuildModel/10000", "TinyXmlParseUntracked/10000");
    reporter.AddRatio("ShapeScan/1000", "TinyXmlParseUntracked/1000");
    reporter.AddRatio("ShapeScan/10000", "TinyXmlParseUntracked/10000");
    return RunWithRatios(argc, argv, reporter);
}

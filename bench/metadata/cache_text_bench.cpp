// Reading a cache text into the model against nlohmann::json::parse of the same text alone
// (its tree freed as the run ends), and json::parse alone against it, in interleaved pairs;
// writing the text, timed alone.
#include <string>

#include <nlohmann/json.hpp>

#include "addon/json/json_parser.h"
#include "addon/metadata/cache_text.h"
#include "addon/metadata/metadata_response.h"
#include "bench/common/paired_runs.h"
#include "bench/metadata/sample_cards.h"

namespace {

MetadataModel SampleModel(int cards) {
    std::string reply = sample_cards::Reply(cards);
    MetadataModel model;
    BuildModelFromResponse(reply, "1024", model);
    return model;
}

}  // namespace

int main() {
    bench::PairOptions options;
    for (int cards : {1000, 10000}) {
        const MetadataModel written = SampleModel(cards);
        const std::string text = CacheText(written);
        const std::string suffix = ", " + std::to_string(cards) + " cards";
        const bench::Run nlohmannParse = [&](bench::Stopwatch&) {
            bench::Keep(nlohmann::json::parse(text));
        };
        MetadataModel model;
        bench::ComparePairs("ReadCacheText vs nlohmann's parse alone" + suffix,
                            [&](bench::Stopwatch&) { bench::Keep(ReadCacheText(text, model)); },
                            nlohmannParse, bench::Goal::kTimeRatio, 1.0, options);
        // The parse alone, with its tree freed like nlohmann's: the parser's share of the read.
        bench::CompareTimes("json::parse vs nlohmann's parse alone" + suffix,
                            [&](bench::Stopwatch&) {
                                bench::Keep(json::parse(text.begin(), text.end()));
                            },
                            nlohmannParse, options);
        const double write = bench::MedianSeconds(
            [&](bench::Stopwatch&) { bench::Keep(CacheText(written)); }, options);
        std::printf("  CacheText%s: %s (median run)\n", suffix.c_str(),
                    bench::FormatSeconds(write).c_str());
    }
    return 0;
}

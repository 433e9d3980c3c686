// Matching 1,000 page hosts against models of 10 to 10,000 cards, against the plain scan of
// every pattern, in interleaved pairs; and the index build that the first match pays.
#include <cstdio>
#include <string>
#include <vector>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/site_index.h"
#include "addon/metadata/site_matching.h"
#include "bench/common/paired_runs.h"
#include "bench/metadata/sample_cards.h"
#include "tests/metadata/plain_scan.h"

namespace {

const int kHosts = 1000;
const double kGoalPerHost = 2e-6;

MetadataModel SampleModel(int cards) {
    std::string reply = sample_cards::Reply(cards);
    MetadataModel model;
    BuildModelFromResponse(reply, "1024", model);
    return model;
}

// One run matches every host once.
template <MatchResult (*Match)(const std::string&, MetadataModel&)>
bench::Run MatchHosts(const std::vector<std::string>& hosts, MetadataModel& model) {
    return [&hosts, &model](bench::Stopwatch&) {
        for (const std::string& host : hosts) bench::Keep(Match(host, model));
    };
}

}  // namespace

int main() {
    bench::PairOptions options;
    for (int cards : {10, 1000, 10000}) {
        MetadataModel indexed = SampleModel(cards);
        MetadataModel scanned = indexed;
        const std::vector<std::string> hosts = sample_cards::Hosts(kHosts, cards);
        MatchSites(hosts[0], indexed);  // builds the index outside the timing
        const std::string name = "MatchSites per 1,000 hosts vs the plain scan, " +
                                 std::to_string(cards) + " cards";
        double perHost = 0;
        if (cards <= 1000) {
            perHost = bench::CompareTimes(name, MatchHosts<MatchSites>(hosts, indexed),
                                          MatchHosts<MatchSitesByScan>(hosts, scanned), options)
                          .oursSeconds / kHosts;
        } else {
            perHost = bench::MedianSeconds(MatchHosts<MatchSites>(hosts, indexed), options) / kHosts;
        }
        std::printf("  MatchSites, %d cards: %s per host (goal <= %s)\n", cards,
                    bench::FormatSeconds(perHost).c_str(),
                    bench::FormatSeconds(kGoalPerHost).c_str());
        if (cards >= 1000) {
            const double build = bench::MedianSeconds(
                [&](bench::Stopwatch&) {
                    SiteIndex index(indexed.Sites());
                    bench::Keep(index);
                },
                options);
            std::printf("  SiteIndex build, %d cards: %s (median run)\n", cards,
                        bench::FormatSeconds(build).c_str());
        }
    }
    return 0;
}

// Realistic card metadata for the benchmarks: replies, cache texts and page hosts.
#pragma once

#include <string>
#include <vector>

namespace sample_cards {

inline std::string Site(int card) {
    static const char* const kTlds[] = {"com", "net", "org", "de", "co.uk", "io"};
    return "shop" + std::to_string(card) + ".example" + std::to_string(card % 17) + "." +
           kTlds[card % 6];
}

// A reply as the selector service writes it: one metadata block per card; every fourth card
// shares its rule id with the card before it.
inline std::string Reply(int cards) {
    std::string reply = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cards>\n";
    for (int i = 0; i < cards; ++i) {
        std::string ruleId = std::to_string(1000 + i - (i % 4 == 3 ? 1 : 0));
        reply += "  <card id=\"" + std::to_string(i) + "\">\n"
                 "    <title>Card " + std::to_string(i) + "</title>\n"
                 "    <VeltraneMetadata>\n"
                 "      <item name=\"searchOverlayCard.ruleid\">" + ruleId + "</item>\n"
                 "      <item name=\"searchOverlayCard.sites\">urn:" + Site(i) +
                 ", urn:www." + Site(i) + ",m." + Site(i) + "</item>\n"
                 "      <item name=\"searchOverlayCard.url\">urn:dataset-" + std::to_string(i) +
                 "</item>\n"
                 "      <item name=\"searchOverlayCard.label\">Offer " + std::to_string(i) +
                 " for members</item>\n"
                 "      <item name=\"searchOverlayCard.color\">#" + std::to_string(100000 + i) +
                 "</item>\n"
                 "    </VeltraneMetadata>\n"
                 "  </card>\n";
    }
    return reply + "</cards>\n";
}

// Page hosts: about a third belong to a card's site, the rest to unrelated sites.
inline std::vector<std::string> Hosts(int count, int cards) {
    static const char* const kOther[] = {"www.news-daily.com", "static.cdn-images.net",
                                         "login.accounts.example.org", "maps.search.io",
                                         "video.stream-hub.tv", "intranet.local"};
    std::vector<std::string> hosts;
    for (int i = 0; i < count; ++i) {
        if (i % 3 == 0)
            hosts.push_back((i % 2 ? "www." : "checkout.") + Site((i * 7919) % cards));
        else
            hosts.push_back(std::to_string(i) + "." + kOther[i % 6]);
    }
    return hosts;
}

}  // namespace sample_cards

// Generated metadata cache texts of a chosen number of cards.
#include "bench/json/cache_text_generator.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace {

// A small fixed generator, so every run and machine sees the same texts.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state(seed) {}
    std::uint32_t Next() { return state = state * 1664525u + 1013904223u; }
    std::uint32_t Below(std::uint32_t n) { return (Next() >> 8) % n; }
private:
    std::uint32_t state;
};

const char* const kWords[] = {"northwind", "contoso", "fabrikam", "tailspin", "wingtip",
                              "adventure", "litware", "proseware", "margie", "woodgrove"};
const char* const kTlds[] = {"com", "net", "org", "co.uk", "de"};
const char* const kHosts[] = {"*.", "www.", "login.", "shop.", "accounts."};
const char* const kDatasets[] = {"email", "phone", "postal-address", "birth-date",
                                 "given-name", "family-name", "loyalty-number"};

std::string Format(const char* format, const char* a, unsigned n, const char* b) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, a, n, b);
    return buffer;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

typedef std::map<std::string, std::string> RuleData;

RuleData MakeRuleData(Lcg& random, const std::string& site, unsigned card) {
    RuleData data;
    std::string datasets;
    for (const char* d : kDatasets)
        if (random.Below(2)) datasets += (datasets.empty() ? "" : " ") + std::string(d);
    data["datasets"] = datasets.empty() ? "email" : datasets;
    data["issuer"] = "https://id." + site + "/issuer";
    data["name"] = Format("%s %u %s", kWords[card % 10], card, "Member Card");
    data["policy"] = "https://" + site + "/privacy";
    if (random.Below(3) == 0) data["level"] = random.Below(2) ? "gold" : "silver";
    data["version"] = std::to_string(1 + random.Below(4));
    return data;
}

}  // namespace

std::string MakeCacheText(int cards) {
    Lcg random(20261208u + static_cast<std::uint32_t>(cards));
    std::map<std::string, std::set<std::string>> sites;
    std::map<std::string, RuleData> data;
    std::vector<std::string> patterns;
    for (int i = 0; i < cards; ++i) {
        const unsigned card = static_cast<unsigned>(i);
        const std::string site = Format("%s%u.%s", kWords[random.Below(10)], card,
                                        kTlds[random.Below(5)]);
        char rid[32];
        std::snprintf(rid, sizeof rid, "r%08x-%u", static_cast<unsigned>(random.Next()), card);
        const unsigned own = 1 + random.Below(2);
        for (unsigned p = 0; p < own; ++p) {
            patterns.push_back(kHosts[random.Below(5)] + site);
            sites[patterns.back()].insert(rid);
        }
        if (!patterns.empty() && random.Below(5) == 0)   // some patterns serve several cards
            sites[patterns[random.Below(static_cast<std::uint32_t>(patterns.size()))]].insert(rid);
        data[rid] = MakeRuleData(random, site, card);
    }
    std::string text = "{\"sites\":{";
    for (auto s = sites.begin(); s != sites.end(); ++s) {
        text += (s == sites.begin() ? "" : ",") + Quoted(s->first) + ":[";
        for (auto r = s->second.begin(); r != s->second.end(); ++r)
            text += (r == s->second.begin() ? "" : ",") + Quoted(*r);
        text += "]";
    }
    text += "},\"data\":{";
    for (auto d = data.begin(); d != data.end(); ++d) {
        text += (d == data.begin() ? "" : ",") + Quoted(d->first) + ":{";
        for (auto k = d->second.begin(); k != d->second.end(); ++k)
            text += (k == d->second.begin() ? "" : ",") + Quoted(k->first) + ":" + Quoted(k->second);
        text += "}";
    }
    return text + "}}";
}

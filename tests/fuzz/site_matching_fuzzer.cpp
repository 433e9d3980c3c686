// Fuzzes site matching against the plain scan: for random models (empty patterns, ".*", "all",
// patterns inside one another, bytes from 0x80 and NUL) and hosts, the indexed MatchSites gives
// exactly the scan's result and leaves the model as the scan does, also when patterns are added
// between two matches.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "addon/metadata/site_matching.h"
#include "tests/metadata/plain_scan.h"

namespace {

// Few letters, so that patterns overlap and occur in the hosts often.
std::string Text(FuzzedDataProvider& input) {
    static const char kLetters[] = {'a', 'b', '.', '\0', '\x80', '\xFF'};
    static const char* const kWhole[] = {"", ".*", "all", "blank", "a.b", "ab"};
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0)
        return kWhole[input.ConsumeIntegralInRange<int>(0, 5)];
    std::string text;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 6);
    for (std::size_t i = 0; i < length; ++i)
        text += kLetters[input.ConsumeIntegralInRange<int>(0, 5)];
    return text;
}

std::string RuleId(FuzzedDataProvider& input) {
    return std::string(1, static_cast<char>('0' + input.ConsumeIntegralInRange<int>(0, 5)));
}

void AddSite(FuzzedDataProvider& input, MetadataModel& model) {
    const std::string ruleId = RuleId(input);
    model.AddSite(Text(input), ruleId);
    if (input.ConsumeBool()) model.Data()[ruleId][Text(input)] = Text(input);
}

bool SameResult(const MatchResult& a, const MatchResult& b) {
    return a.matched == b.matched && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MetadataModel indexed;
    const int sites = input.ConsumeIntegralInRange<int>(0, 12);
    for (int i = 0; i < sites; ++i) AddSite(input, indexed);
    MetadataModel scanned = indexed;
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {  // the index must follow the change
            AddSite(input, indexed);
            scanned = indexed;
        }
        const std::string host = Text(input) + Text(input);
        if (!SameResult(MatchSites(host, indexed), MatchSitesByScan(host, scanned)) ||
            indexed != scanned)
            std::abort();
    }
    return 0;
}

// The refresh rule and the reason it gives: each input decides in its turn, and the trigger
// file is consulted only when the cache is otherwise fresh.
#include "addon/metadata/refresh_decision.h"

#include <gtest/gtest.h>

namespace {

const std::int64_t kNow = 1800000000;

struct DecisionCase {
    const char* name;
    std::uint32_t force;
    std::int64_t cacheTime;
    std::uint32_t interval;
    std::int64_t triggerTime;  // 0: no file
    RefreshReason reason;
    bool triggerLookedAt;
    const char* text;
};

const DecisionCase kCases[] = {
    {"fresh, no trigger file", 0, kNow - 812, 86400, 0, RefreshReason::kFresh, true,
     "fresh: 812 s old, interval 86400 s, trigger file missing"},
    {"exactly the interval old", 0, kNow - 86400, 86400, 0, RefreshReason::kFresh, true,
     "fresh: 86400 s old, interval 86400 s, trigger file missing"},
    {"one second more", 0, kNow - 86401, 86400, kNow, RefreshReason::kOlderThanInterval, false,
     "stale: 86401 s old, interval 86400 s"},
    {"forced wins over a young cache", 5, kNow - 1, 86400, kNow, RefreshReason::kForced, false,
     "stale: forced (\"Force Refresh\" is 5)"},
    {"cache time in the future", 0, kNow + 500, 60, 0, RefreshReason::kFresh, true,
     "fresh: cache time 500 s in the future, interval 60 s, trigger file missing"},
    {"trigger file newer", 0, kNow - 100, 86400, kNow - 70, RefreshReason::kTriggerFileNewer, true,
     "stale: trigger file written 30 s after the cache (100 s old, interval 86400 s)"},
    {"trigger file with the cache", 0, kNow - 100, 86400, kNow - 100, RefreshReason::kFresh, true,
     "fresh: 100 s old, interval 86400 s, trigger file written with the cache"},
    {"trigger file older", 0, kNow - 100, 86400, kNow - 160, RefreshReason::kFresh, true,
     "fresh: 100 s old, interval 86400 s, trigger file written 60 s before the cache"},
    {"future cache, newer trigger file", 0, kNow + 500, 86400, kNow + 501,
     RefreshReason::kTriggerFileNewer, true,
     "stale: trigger file written 1 s after the cache (cache time 500 s in the future, "
     "interval 86400 s)"},
};

TEST(RefreshDecision, EachInputDecidesInTurnAndSaysWhy) {
    for (const DecisionCase& c : kCases) {
        SCOPED_TRACE(c.name);
        RefreshInputs inputs;
        inputs.forceRefresh = c.force;
        inputs.cacheModifiedTime = static_cast<std::uint32_t>(c.cacheTime);
        inputs.refreshInterval = c.interval;
        int asked = 0;
        const RefreshDecision d = DecideRefresh(inputs, kNow, [&] {
            ++asked;
            return c.triggerTime;
        });
        EXPECT_EQ(c.reason, d.reason);
        EXPECT_EQ(c.reason != RefreshReason::kFresh, d.Stale());
        EXPECT_EQ(c.triggerLookedAt ? 1 : 0, asked);
        EXPECT_EQ(c.text, DescribeRefreshDecision(d));
    }
}

TEST(RefreshDecision, CacheTimeIsUnsignedThirtyTwoBits) {
    RefreshInputs inputs;
    inputs.cacheModifiedTime = 0xFFFFFFF0u;  // far in the future, not negative
    inputs.refreshInterval = 10;
    const RefreshDecision d = DecideRefresh(inputs, kNow, [] { return std::int64_t(0); });
    EXPECT_FALSE(d.Stale());
    EXPECT_EQ(kNow - 0xFFFFFFF0LL, d.age);
}

}  // namespace

// Whether the metadata cache is fresh, and why: the add-on's refresh rule as a pure decision.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The settings the rule reads: "Force Refresh", "Cache Modified Time", "Cache Refresh Interval".
struct RefreshInputs {
    std::uint32_t forceRefresh = 0;
    std::uint32_t cacheModifiedTime = 0;
    std::uint32_t refreshInterval = 0;
};

enum class RefreshReason {
    kFresh,
    kForced,            // "Force Refresh" is non-zero
    kOlderThanInterval, // the cache is more than the interval old
    kTriggerFileNewer,  // the trigger file was written after the cache
};

struct RefreshDecision {
    RefreshReason reason = RefreshReason::kFresh;
    std::uint32_t forceRefresh = 0;
    std::int64_t age = 0;        // now minus the cache time; negative for a time in the future
    std::uint32_t interval = 0;
    bool triggerLookedAt = false;
    std::int64_t triggerTime = 0;  // Unix seconds; 0: no trigger file
    std::int64_t cacheTime = 0;
    bool Stale() const { return reason != RefreshReason::kFresh; }
};

// Stale when forced, when older than the interval (strictly; a cache time in the future is never
// old), or when the trigger file is newer than the cache. The trigger file's time is only asked
// for when the first two found the cache fresh; 0 stands for no file.
RefreshDecision DecideRefresh(const RefreshInputs& inputs, std::int64_t now,
                              const std::function<std::int64_t()>& triggerFileTime);

// The decision and its why, in one line:
//   "fresh: 812 s old, interval 86400 s, trigger file missing"
//   "stale: forced (\"Force Refresh\" is 1)"
//   "stale: trigger file written 30 s after the cache (100 s old, interval 86400 s)"
std::string DescribeRefreshDecision(const RefreshDecision& decision);

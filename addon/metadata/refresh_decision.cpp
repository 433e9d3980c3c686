// The refresh rule and its one-line account.
#include "addon/metadata/refresh_decision.h"

namespace {

std::string Seconds(std::int64_t value) { return std::to_string(value) + " s"; }

std::string AgeText(const RefreshDecision& d) {
    const std::string age = d.age >= 0 ? Seconds(d.age) + " old"
                                       : "cache time " + Seconds(-d.age) + " in the future";
    return age + ", interval " + Seconds(d.interval);
}

std::string TriggerText(const RefreshDecision& d) {
    if (d.triggerTime == 0) return "trigger file missing";
    const std::int64_t after = d.triggerTime - d.cacheTime;
    if (after > 0) return "trigger file written " + Seconds(after) + " after the cache";
    if (after == 0) return "trigger file written with the cache";
    return "trigger file written " + Seconds(-after) + " before the cache";
}

}  // namespace

RefreshDecision DecideRefresh(const RefreshInputs& inputs, std::int64_t now,
                              const std::function<std::int64_t()>& triggerFileTime) {
    RefreshDecision d;
    d.forceRefresh = inputs.forceRefresh;
    d.cacheTime = inputs.cacheModifiedTime;  // unsigned 32 bits, widened
    d.age = now - d.cacheTime;
    d.interval = inputs.refreshInterval;
    if (inputs.forceRefresh != 0) {
        d.reason = RefreshReason::kForced;
    } else if (d.age > static_cast<std::int64_t>(d.interval)) {
        d.reason = RefreshReason::kOlderThanInterval;
    } else {
        d.triggerLookedAt = true;
        d.triggerTime = triggerFileTime();
        if (d.triggerTime > d.cacheTime) d.reason = RefreshReason::kTriggerFileNewer;
    }
    return d;
}

std::string DescribeRefreshDecision(const RefreshDecision& d) {
    switch (d.reason) {
    case RefreshReason::kForced:
        return "stale: forced (\"Force Refresh\" is " + std::to_string(d.forceRefresh) + ")";
    case RefreshReason::kOlderThanInterval:
        return "stale: " + AgeText(d);
    case RefreshReason::kTriggerFileNewer:
        return "stale: " + TriggerText(d) + " (" + AgeText(d) + ")";
    case RefreshReason::kFresh:
        break;
    }
    return "fresh: " + AgeText(d) + ", " + TriggerText(d);
}

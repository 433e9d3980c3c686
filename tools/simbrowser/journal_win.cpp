// The call and event journal and the failure rules of one simulated browser.
#include "tools/simbrowser/sim_browser_win.h"

namespace simbrowser {

void Journal::Record(Op op, const Page* page, const std::wstring& tag) {
    std::lock_guard<std::mutex> hold(lock);
    calls.push_back(Call{op, page, ::GetCurrentThreadId(), tag});
}

void Journal::RecordEvent(DISPID dispid, const Page* page, const std::wstring& url) {
    std::lock_guard<std::mutex> hold(lock);
    events.push_back(FiredEvent{dispid, page, url});
}

bool Journal::Injected(Op op, const Page* page, const std::wstring& tag, HRESULT* result) {
    std::lock_guard<std::mutex> hold(lock);
    for (ActiveRule& active : rules) {
        const FailureRule& rule = active.rule;
        if (active.page != page || rule.op != op) continue;
        if (!rule.tag.empty() && rule.tag != tag) continue;
        int call = active.seen++;
        if (call < rule.skip) continue;
        if (rule.times >= 0 && call >= rule.skip + rule.times) continue;
        *result = rule.result;
        return true;
    }
    return false;
}

void Journal::AddRule(const Page* page, const FailureRule& rule) {
    std::lock_guard<std::mutex> hold(lock);
    rules.push_back(ActiveRule{page, rule, 0});
}

void Journal::ClearRules(const Page* page) {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<ActiveRule> kept;
    for (const ActiveRule& active : rules)
        if (active.page != page) kept.push_back(active);
    rules.swap(kept);
}

std::vector<Call> Journal::Calls() const {
    std::lock_guard<std::mutex> hold(lock);
    return calls;
}

std::vector<FiredEvent> Journal::Events() const {
    std::lock_guard<std::mutex> hold(lock);
    return events;
}

void Journal::Clear() {
    std::lock_guard<std::mutex> hold(lock);
    calls.clear();
    events.clear();
}

}  // namespace simbrowser

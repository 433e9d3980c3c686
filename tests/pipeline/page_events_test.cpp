// The page decisions: which sequences of browser events start which workers.
#include "addon/pipeline/page_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One event as the browser fires it; for DownloadBegin `flag` is the top document's
// completeness, otherwise whether the event's browser is the top-level one.
enum Kind { kBefore, kNavigated, kCompleted, kDownload, kOnload };
struct Event {
    Kind kind;
    const wchar_t* url;
    bool flag;
};

std::vector<PageAction> Replay(const std::vector<Event>& events, PageEventState& state) {
    std::vector<PageAction> actions;
    for (const Event& e : events) {
        switch (e.kind) {
        case kBefore: OnBeforeNavigate2(state, e.url, e.flag); break;
        case kNavigated: actions.push_back(OnNavigateComplete2(state, e.url)); break;
        case kCompleted: actions.push_back(OnDocumentComplete(state, e.flag)); break;
        case kDownload:
            if (DownloadMayArmOnload(state)) actions.push_back(OnDownloadBegin(state, e.flag));
            break;
        case kOnload: actions.push_back(OnWindowLoad(state)); break;
        }
    }
    std::vector<PageAction> started;
    for (PageAction a : actions)
        if (a != PageAction::kNone) started.push_back(a);
    return started;
}

const PageAction kTop = PageAction::kStartTopWorker;
const PageAction kOwn = PageAction::kStartEventBrowserWorker;
const PageAction kSink = PageAction::kAttachOnloadSink;

struct Sequence {
    const char* name;
    std::vector<Event> events;
    std::vector<PageAction> expected;
};

const Sequence kSequences[] = {
    {"page with two frames: one top-level worker",
     {{kBefore, L"http://a/", true}, {kDownload, L"", false}, {kNavigated, L"http://a/", true},
      {kBefore, L"http://f0/", false}, {kNavigated, L"http://f0/", false},
      {kBefore, L"http://f1/", false}, {kNavigated, L"http://f1/", false},
      {kCompleted, L"", false}, {kCompleted, L"", false}, {kCompleted, L"", true}},
     {kTop}},
    {"top-level about:blank announces nothing",
     {{kBefore, L"about:blank", true}, {kNavigated, L"about:blank", true}},
     {}},
    {"about:blank with a fragment is a page",
     {{kBefore, L"about:blank#x", true}, {kNavigated, L"about:blank#x", true},
      {kCompleted, L"", true}},
     {kTop}},
    {"frame navigated after completion",
     {{kBefore, L"http://a/", true}, {kCompleted, L"", true},
      {kBefore, L"http://late/", false}, {kNavigated, L"http://late/", false},
      {kCompleted, L"", false}},
     {kTop, kOwn}},
    {"unannounced top-level navigation",
     {{kNavigated, L"http://a/", true}},
     {kOwn}},
    {"two downloads before onload: two sinks, one worker",
     {{kDownload, L"", false}, {kDownload, L"", false}, {kOnload, L"", false},
      {kOnload, L"", false}},
     {kSink, kSink, kTop}},
    {"download of a complete document",
     {{kDownload, L"", true}, {kOnload, L"", false}},
     {}},
    {"download during a top-level navigation",
     {{kBefore, L"http://a/", true}, {kDownload, L"", false}},
     {}},
};

TEST(PageEvents, SequencesStartTheirWorkers) {
    for (const Sequence& s : kSequences) {
        SCOPED_TRACE(s.name);
        PageEventState state;
        EXPECT_EQ(s.expected, Replay(s.events, state));
    }
}

TEST(PageEvents, OnlyTheExactBlankPageIsIgnored) {
    EXPECT_TRUE(IsAboutBlank(L"about:blank"));
    EXPECT_FALSE(IsAboutBlank(L"about:blank#top"));
    EXPECT_FALSE(IsAboutBlank(L"About:blank"));
    EXPECT_FALSE(IsAboutBlank(L""));
}

}  // namespace

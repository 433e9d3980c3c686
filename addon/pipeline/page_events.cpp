// The page decisions behind the browser events.
#include "addon/pipeline/page_events.h"

bool IsAboutBlank(const std::wstring& url) { return url == L"about:blank"; }

void OnBeforeNavigate2(PageEventState& state, const std::wstring& url, bool isTopLevel) {
    if (!IsAboutBlank(url) && isTopLevel) state.topNavigationPending = true;
}

PageAction OnNavigateComplete2(const PageEventState& state, const std::wstring& url) {
    if (IsAboutBlank(url) || state.topNavigationPending) return PageAction::kNone;
    return PageAction::kStartEventBrowserWorker;
}

PageAction OnDocumentComplete(PageEventState& state, bool isTopLevel) {
    if (!isTopLevel) return PageAction::kNone;
    state.topNavigationPending = false;
    return PageAction::kStartTopWorker;
}

bool DownloadMayArmOnload(const PageEventState& state) { return !state.topNavigationPending; }

PageAction OnDownloadBegin(PageEventState& state, bool topDocumentComplete) {
    if (state.topNavigationPending || topDocumentComplete) return PageAction::kNone;
    state.onloadPending = true;
    return PageAction::kAttachOnloadSink;
}

PageAction OnWindowLoad(PageEventState& state) {
    if (!state.onloadPending) return PageAction::kNone;
    state.onloadPending = false;
    return PageAction::kStartTopWorker;
}

// Which browser events start a page worker: the add-on object's page decisions, apart from COM.
#pragma once

#include <string>

struct PageEventState {
    bool topNavigationPending = false;  // a top-level navigation has begun, its page not complete
    bool onloadPending = false;         // the window's onload is awaited before a worker starts
};

enum class PageAction {
    kNone,
    kStartEventBrowserWorker,  // a worker for the document of the browser that fired the event
    kStartTopWorker,           // a worker for the top-level document
    kAttachOnloadSink,         // listen for the top-level window's onload
};

// Exactly "about:blank"; "about:blank#top" is a page like any other.
bool IsAboutBlank(const std::wstring& url);

void OnBeforeNavigate2(PageEventState& state, const std::wstring& url, bool isTopLevel);
// A frame navigated inside a completed page, or an unannounced top-level navigation.
PageAction OnNavigateComplete2(const PageEventState& state, const std::wstring& url);
// Frames are handled with their top-level page.
PageAction OnDocumentComplete(PageEventState& state, bool isTopLevel);
// Whether a DownloadBegin needs to look at the top-level document at all.
bool DownloadMayArmOnload(const PageEventState& state);
// A download without a navigation of our own, while the top-level document is still loading.
PageAction OnDownloadBegin(PageEventState& state, bool topDocumentComplete);
// Several sinks on one window start at most one worker.
PageAction OnWindowLoad(PageEventState& state);

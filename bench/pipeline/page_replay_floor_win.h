// The floor of a page under the simulated browser: the document calls the add-on made for one
// page, recorded from the browser's journal and issued again from a worker apartment by bare
// code, each add-on page timed beside a replay in interleaved pairs.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tools/simbrowser/sim_browser_win.h"

namespace pagefloor {

// A journaled call, its page named by the frame indexes that lead to it from the top, so that
// the calls made on two browsers with pages of the same shape compare equal.
struct RecordedCall {
    simbrowser::Op op;
    std::vector<std::size_t> page;
    std::wstring tag;

    bool operator==(const RecordedCall& other) const {
        return op == other.op && page == other.page && tag == other.tag;
    }
};

// What one document received: its body's two new scripts, configuration script first, each
// with the tag it was created with.
struct Insertion {
    std::wstring configTag;
    std::wstring configText;
    std::wstring configType;
    std::wstring scriptTag;
    std::vector<std::pair<std::wstring, std::wstring>> scriptAttributes;  // in the order set
};

// One handled page as the browser saw it: every call in order, and each document's
// insertion in the order the walk visits them (each document before its frames).
struct PageRecording {
    std::vector<RecordedCall> calls;
    std::vector<Insertion> insertions;
};

PageRecording RecordPage(simbrowser::SimBrowser& browser);

// True when every document of the page has two children appended to its body.
bool EveryDocumentInjected(const simbrowser::Page& page);

// Replays a recording's page on a browser of the same shape, as the add-on's DocumentComplete
// and page worker do it, without any of the add-on's own work: on this (user-interface)
// thread the location, the document and its marshalling, then a new thread in its own
// apartment that makes the recorded calls. The calling thread must dispatch messages until
// the page is injected; the destructor waits for the thread, dispatching.
class BareReplay {
public:
    BareReplay(simbrowser::SimBrowser& browser, const std::vector<Insertion>& insertions);
    ~BareReplay();
    BareReplay(const BareReplay&) = delete;
    BareReplay& operator=(const BareReplay&) = delete;

    bool Started() const { return thread != nullptr; }
    // Waits for the thread, dispatching messages.
    void Finish();
    // Once finished: the interface proxies the page needed, and what one call through an
    // existing proxy cost after the page.
    std::size_t NewInterfaces() const { return newInterfaces; }
    double RoundTripMs() const { return roundTripMs; }
    // How many calls the browser's journal held when the walk ended.
    std::size_t WalkCalls() const { return walkCalls; }

private:
    static unsigned __stdcall Run(void* self);
    void Walk(IHTMLDocument2* document);
    void Inject(IHTMLDocument2* document, const Insertion& insertion);

    simbrowser::SimBrowser& browser;
    const std::vector<Insertion>& insertions;
    std::size_t nextInsertion = 0;
    std::size_t newInterfaces = 0;
    double roundTripMs = 0;
    std::size_t walkCalls = 0;
    IStream* stream = nullptr;
    HANDLE started = nullptr;
    HANDLE thread = nullptr;
};

// Times the page of `frames` frames (URLs as the page benchmark's) with the add-on against
// its replay, in interleaved pairs, and the add-on's DocumentComplete against the bare
// marshal and thread start; prints the ratios and what the page costs in calls. Expects the
// settings and cache of the benchmark in the registry. False when the replay did not make
// the add-on's calls (it then prints both sequences' first difference).
bool MeasurePageFloor(int pairs, std::size_t frames);

}  // namespace pagefloor

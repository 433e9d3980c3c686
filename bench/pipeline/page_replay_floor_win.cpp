// A page's document calls replayed by bare code, timed in pairs against the add-on's page.
#include "bench/pipeline/page_replay_floor_win.h"

#include <windows.h>
#include <process.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "addon/pipeline/brimwell_bho.h"
#include "addon/pipeline/worker_thread_win.h"
#include "addon/win/com_ptr.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_variant.h"
#include "tools/simbrowser/message_pump_win.h"

namespace pagefloor {
namespace {

const DWORD kPageTimeoutMs = 60000;
const int kRoundTrips = 100;  // calls through one existing proxy, for the per-call cost

class Stopwatch {
public:
    Stopwatch() { ::QueryPerformanceCounter(&start); }
    double Ms() const {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start;
};

// The page benchmark's page: a top-level document and its frames, every one matching card 0.
std::unique_ptr<simbrowser::SimBrowser> FramedPage(std::size_t frames) {
    std::unique_ptr<simbrowser::SimBrowser> browser(
        new simbrowser::SimBrowser(L"http://www.bench.test/"));
    for (std::size_t i = 0; i < frames; ++i)
        browser->Top().AddFrame(L"http://f" + std::to_wstring(i) + L".bench.test/");
    browser->Top().SetComplete();
    for (std::size_t i = 0; i < frames; ++i) browser->Top().Frame(i).SetComplete();
    browser->ClearJournal();
    return browser;
}

std::vector<std::size_t> PathOf(const simbrowser::Page* page) {
    std::vector<std::size_t> path;
    for (; page && page->Parent(); page = page->Parent()) {
        const simbrowser::Page& parent = *page->Parent();
        for (std::size_t i = 0; i < parent.FrameCount(); ++i)
            if (&parent.Frame(i) == page) path.insert(path.begin(), i);
    }
    return path;
}

void CollectInsertions(const simbrowser::Page& page, std::vector<Insertion>& insertions) {
    const std::vector<simbrowser::ElementSnapshot> children = page.BodyChildren();
    if (children.size() == 2) {
        const simbrowser::ElementSnapshot& config = children[0];
        const simbrowser::ElementSnapshot& script = children[1];
        insertions.push_back(Insertion{config.tag, config.text, config.Attribute(L"type"),
                                       script.tag, script.attributes});
    }
    for (std::size_t i = 0; i < page.FrameCount(); ++i)
        CollectInsertions(page.Frame(i), insertions);
}

bool Idle() { return RunningWorkerCount() == 0; }

struct PairRatios {
    std::vector<double> ratios;
    std::vector<double> ours;
    std::vector<double> reference;

    void Add(double measured, double floor) {
        ours.push_back(measured);
        reference.push_back(floor);
        ratios.push_back(measured / floor);
    }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// One line in the form every benchmark prints its verdicts in.
void PrintRatio(const char* name, const PairRatios& pairs, double goal) {
    const auto range = std::minmax_element(pairs.ratios.begin(), pairs.ratios.end());
    std::printf("RATIO %s: %.3f (spread %.3f..%.3f, %zu pairs) goal <= %.2f\n", name,
                Median(pairs.ratios), *range.first, *range.second, pairs.ratios.size(), goal);
}

void PrintMedians(const char* ours, const char* reference, const PairRatios& pairs) {
    std::printf("  %s: median %.2f ms; %s: median %.2f ms\n", ours, Median(pairs.ours), reference,
                Median(pairs.reference));
}

// Pages handled by one add-on object, each on a new browser: the first reads the cache.
class AddonPages {
public:
    explicit AddonPages(std::size_t frames) : frames(frames) {
        CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid());
    }

    // From the top-level DocumentComplete until all documents hold both scripts; negative
    // when that did not happen in time.
    double Page(PageRecording* recording) {
        std::unique_ptr<simbrowser::SimBrowser> browser = FramedPage(frames);
        addon->SetSite(browser->Site().Get());
        browser->ClearJournal();
        const Stopwatch clock;
        browser->FireDocumentComplete(browser->Top());
        const bool done = simbrowser::PumpUntil(
            [&] { return EveryDocumentInjected(browser->Top()); }, kPageTimeoutMs);
        const double took = clock.Ms();
        simbrowser::PumpUntil(Idle, kPageTimeoutMs);
        if (recording) *recording = RecordPage(*browser);
        addon->SetSite(nullptr);
        return done ? took : -1;
    }

private:
    std::size_t frames;
    win::ComPtr<IObjectWithSite> addon;
};

struct FloorPage {
    double took = -1;
    double roundTripMs = 0;
    std::size_t newInterfaces = 0;
};

FloorPage ReplayPage(std::size_t frames, const PageRecording& recording,
                     PageRecording* replayed) {
    std::unique_ptr<simbrowser::SimBrowser> browser = FramedPage(frames);
    FloorPage result;
    bool done = false;
    {
        const Stopwatch clock;
        BareReplay replay(*browser, recording.insertions);
        done = replay.Started() &&
               simbrowser::PumpUntil([&] { return EveryDocumentInjected(browser->Top()); },
                                     kPageTimeoutMs);
        result.took = clock.Ms();
        replay.Finish();
        if (replayed) {
            *replayed = RecordPage(*browser);
            replayed->calls.resize(std::min(replayed->calls.size(), replay.WalkCalls()));
        }
        result.roundTripMs = replay.RoundTripMs();
        result.newInterfaces = replay.NewInterfaces();
    }
    if (!done) result.took = -1;
    return result;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string Describe(const RecordedCall& call) {
    std::string text = Narrow(simbrowser::OpName(call.op)) + " on top";
    for (std::size_t index : call.page) text += "/" + std::to_string(index);
    if (!call.tag.empty()) text += " <" + Narrow(call.tag) + ">";
    return text;
}

bool SameCalls(const PageRecording& addon, const PageRecording& replay) {
    if (addon.calls == replay.calls) return true;
    const std::size_t common = std::min(addon.calls.size(), replay.calls.size());
    std::size_t at = 0;
    while (at < common && addon.calls[at] == replay.calls[at]) ++at;
    std::printf("replay differs from the add-on's page at call %zu of %zu/%zu: add-on %s, "
                "replay %s\n",
                at, addon.calls.size(), replay.calls.size(),
                at < addon.calls.size() ? Describe(addon.calls[at]).c_str() : "(none)",
                at < replay.calls.size() ? Describe(replay.calls[at]).c_str() : "(none)");
    return false;
}

// A bare worker: says that it runs, then takes the document out of its stream and lets it
// go, as the add-on's worker finally does, so that both leave the document's stub alike.
struct BareWorker {
    HANDLE started;
    IStream* stream;
};

unsigned __stdcall RunBareWorker(void* raw) {
    BareWorker& work = *static_cast<BareWorker*>(raw);
    ::SetEvent(work.started);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        win::ComPtr<IHTMLDocument2> document;
        ::CoGetInterfaceAndReleaseStream(work.stream, IID_IHTMLDocument2, document.PutVoid());
    }
    ::CoUninitialize();
    return 0;
}

// The add-on's DocumentComplete (which starts its worker) against the two platform steps
// inside it, done bare: marshal the document, start a thread and see it run.
void MeasureDocumentComplete(int pairs, std::size_t frames) {
    std::unique_ptr<simbrowser::SimBrowser> withAddon = FramedPage(frames);
    std::unique_ptr<simbrowser::SimBrowser> bare = FramedPage(frames);
    win::ComPtr<IObjectWithSite> addon;
    CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid());
    addon->SetSite(withAddon->Site().Get());
    simbrowser::PumpUntil(Idle, kPageTimeoutMs);
    const win::ComPtr<IHTMLDocument2> document = bare->Top().Document();
    PairRatios ratios;
    for (int i = 0; i <= pairs; ++i) {  // the first pair warms both up and is not counted
        const Stopwatch event;
        withAddon->FireDocumentComplete(withAddon->Top());
        const double addonMs = event.Ms();
        simbrowser::PumpUntil(Idle, kPageTimeoutMs);  // the worker runs between pairs

        // Seeing the thread run takes an event of its own, made and closed within the steps.
        const Stopwatch steps;
        BareWorker work{::CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
        ::CoMarshalInterThreadInterfaceInStream(IID_IHTMLDocument2, document.Get(), &work.stream);
        const HANDLE thread = reinterpret_cast<HANDLE>(
            ::_beginthreadex(nullptr, 0, RunBareWorker, &work, 0, nullptr));
        ::WaitForSingleObject(work.started, INFINITE);
        ::CloseHandle(work.started);
        const double bareMs = steps.Ms();
        simbrowser::PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; },
                              INFINITE);
        ::CloseHandle(thread);
        if (i > 0) ratios.Add(addonMs, bareMs);
    }
    addon->SetSite(nullptr);
    PrintRatio("DocumentComplete / bare marshal + thread start", ratios, 1.10);
    PrintMedians("DocumentComplete", "marshal + thread start", ratios);
}

}  // namespace

PageRecording RecordPage(simbrowser::SimBrowser& browser) {
    PageRecording recording;
    for (const simbrowser::Call& call : browser.Calls())
        recording.calls.push_back(RecordedCall{call.op, PathOf(call.page), call.tag});
    CollectInsertions(browser.Top(), recording.insertions);
    return recording;
}

bool EveryDocumentInjected(const simbrowser::Page& page) {
    if (page.BodyChildren().size() != 2) return false;
    for (std::size_t i = 0; i < page.FrameCount(); ++i)
        if (!EveryDocumentInjected(page.Frame(i))) return false;
    return true;
}

BareReplay::BareReplay(simbrowser::SimBrowser& browser, const std::vector<Insertion>& insertions)
    : browser(browser), insertions(insertions) {
    // What the add-on's DocumentComplete asks of the browser before it starts its worker.
    const win::ComPtr<IWebBrowser2> top = browser.Top().Browser();
    win::ScopedBstr location;
    top->get_LocationURL(location.Put());
    win::ComPtr<IDispatch> dispatch;
    win::ComPtr<IHTMLDocument2> document;
    if (FAILED(top->get_Document(dispatch.Put())) || !dispatch ||
        FAILED(dispatch->QueryInterface(IID_IHTMLDocument2, document.PutVoid())) ||
        FAILED(::CoMarshalInterThreadInterfaceInStream(IID_IHTMLDocument2, document.Get(),
                                                       &stream)))
        return;
    started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
    if (thread) ::WaitForSingleObject(started, INFINITE);
}

BareReplay::~BareReplay() {
    Finish();
    if (stream) {
        ::CoReleaseMarshalData(stream);
        stream->Release();
    }
    if (started) ::CloseHandle(started);
}

void BareReplay::Finish() {
    if (!thread) return;
    simbrowser::PumpUntil([this] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; },
                          INFINITE);
    ::CloseHandle(thread);
    thread = nullptr;
}

unsigned __stdcall BareReplay::Run(void* raw) {
    BareReplay& self = *static_cast<BareReplay*>(raw);
    ::SetEvent(self.started);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        win::ComPtr<IHTMLDocument2> document;
        ::CoGetInterfaceAndReleaseStream(self.stream, IID_IHTMLDocument2, document.PutVoid());
        self.stream = nullptr;
        if (document) {
            ++self.newInterfaces;
            win::ScopedBstr state;
            document->get_readyState(state.Put());
            self.Walk(document.Get());
            self.walkCalls = self.browser.Calls().size();
            // After the page: what one call costs through a proxy that already exists.
            const Stopwatch clock;
            for (int i = 0; i < kRoundTrips; ++i) {
                win::ScopedBstr again;
                document->get_readyState(again.Put());
            }
            self.roundTripMs = clock.Ms() / kRoundTrips;
        }
    }
    ::CoUninitialize();
    return 0;
}

void BareReplay::Walk(IHTMLDocument2* document) {
    if (nextInsertion < insertions.size()) Inject(document, insertions[nextInsertion++]);
    win::ComPtr<IHTMLFramesCollection2> frames;
    if (FAILED(document->get_frames(frames.Put())) || !frames) return;
    ++newInterfaces;
    long count = 0;
    frames->get_length(&count);
    for (long i = 0; i < count; ++i) {
        win::ComPtr<IHTMLDocument2> frameDocument;
        {
            win::ScopedVariant index(i), frame;
            win::ComPtr<IHTMLWindow2> window;
            if (FAILED(frames->item(const_cast<VARIANT*>(&index.AsInput()), frame.Put())) ||
                frame.Type() != VT_DISPATCH ||
                FAILED(frame.Get()->pdispVal->QueryInterface(IID_IHTMLWindow2,
                                                             window.PutVoid())))
                continue;
            window->get_document(frameDocument.Put());
            newInterfaces += 3;  // the window's IDispatch and IHTMLWindow2, its document
        }
        if (frameDocument) Walk(frameDocument.Get());
    }
}

void BareReplay::Inject(IHTMLDocument2* document, const Insertion& insertion) {
    win::ScopedBstr url;
    document->get_URL(url.Put());
    win::ComPtr<IHTMLElementCollection> scripts;
    win::ComPtr<IHTMLElement> body, script, config;
    if (FAILED(document->get_scripts(scripts.Put())) || !scripts) return;
    long count = 0;
    scripts->get_length(&count);  // the page had none: the replay makes no element calls
    win::ScopedBstr scriptTag(insertion.scriptTag), configTag(insertion.configTag);
    if (FAILED(document->get_body(body.Put())) || !body ||
        FAILED(document->createElement(scriptTag.Get(), script.Put())) || !script)
        return;
    for (const auto& attribute : insertion.scriptAttributes) {
        win::ScopedBstr name(attribute.first);
        win::ScopedVariant value(attribute.second.c_str());
        script->setAttribute(name.Get(), value.AsInput(), 0);
    }
    win::ComPtr<IHTMLDOMNode> scriptNode, bodyNode, configNode;
    win::ComPtr<IHTMLScriptElement> configScript;
    script->QueryInterface(IID_IHTMLDOMNode, scriptNode.PutVoid());
    body->QueryInterface(IID_IHTMLDOMNode, bodyNode.PutVoid());
    if (FAILED(document->createElement(configTag.Get(), config.Put())) || !config ||
        FAILED(config->QueryInterface(IID_IHTMLScriptElement, configScript.PutVoid())))
        return;
    win::ScopedBstr text(insertion.configText), type(insertion.configType);
    configScript->put_text(text.Get());
    configScript->put_type(type.Get());
    config->QueryInterface(IID_IHTMLDOMNode, configNode.PutVoid());
    if (!bodyNode || !configNode || !scriptNode) return;
    newInterfaces += 8;  // scripts; body, its node; two elements, two nodes; a script element
    win::ComPtr<IHTMLDOMNode> appended;
    bodyNode->appendChild(configNode.Get(), appended.Put());
    bodyNode->appendChild(scriptNode.Get(), appended.Put());
}

bool MeasurePageFloor(int pairs, std::size_t frames) {
    // A warm-up pair records the add-on's page and checks that the replay makes its calls.
    PageRecording addonPage, replayedPage;
    AddonPages warmUp(frames);
    if (warmUp.Page(&addonPage) < 0 || addonPage.insertions.size() != frames + 1) {
        std::printf("the add-on's page was not injected in time\n");
        return false;
    }
    const FloorPage first = ReplayPage(frames, addonPage, &replayedPage);
    if (first.took < 0 || !SameCalls(addonPage, replayedPage)) return false;
    std::printf("replay floor: the add-on's %zu document calls on %zu documents, same order, "
                "same new objects\n",
                addonPage.calls.size(), addonPage.insertions.size());

    PairRatios firstPages, laterPages;
    double roundTripMs = first.roundTripMs;
    for (int i = 0; i < pairs; ++i) {
        AddonPages addon(frames);
        for (PairRatios* series : {&firstPages, &laterPages}) {
            const double page = addon.Page(nullptr);
            const FloorPage floor = ReplayPage(frames, addonPage, nullptr);
            if (page < 0 || floor.took < 0) {
                std::printf("a page was not injected in time\n");
                return false;
            }
            series->Add(page, floor.took);
            roundTripMs = floor.roundTripMs;
        }
    }
    PrintRatio("later page / replay floor", laterPages, 1.15);
    PrintMedians("later page", "replay floor", laterPages);
    std::printf("  window's first page (also reads the cache): %.3f x its replay floor "
                "(spread %.3f..%.3f); median %.2f ms\n",
                Median(firstPages.ratios),
                *std::min_element(firstPages.ratios.begin(), firstPages.ratios.end()),
                *std::max_element(firstPages.ratios.begin(), firstPages.ratios.end()),
                Median(firstPages.ours));
    std::printf("  the page: %zu document calls, %zu new interface proxies; one call through "
                "an existing proxy %.1f us, so with every proxy cached the page's calls cost "
                "about %.1f ms here\n",
                addonPage.calls.size(), first.newInterfaces, roundTripMs * 1000,
                static_cast<double>(addonPage.calls.size()) * roundTripMs);
    MeasureDocumentComplete(pairs, frames);
    return true;
}

}  // namespace pagefloor

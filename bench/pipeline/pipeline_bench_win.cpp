// Add-on load time, user-interface time of each browser event and page latency, measured with
// the simulated browser; each figure is printed beside its reference from the same run.
#include <windows.h>
#include <exdispid.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "addon/metadata/cache_registry_win.h"
#include "addon/metadata/registration_defaults.h"
#include "addon/pipeline/brimwell_bho.h"
#include "addon/pipeline/worker_thread_win.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/unique_handle.h"
#include "bench/pipeline/page_replay_floor_win.h"
#include "tools/simbrowser/message_pump_win.h"
#include "tools/simbrowser/sim_browser_win.h"

namespace {

const int kCards = 1000;

double NowMs() {
    LARGE_INTEGER count, frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    double median;
    double p90;
};

Figures Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10]};
}

void Report(const char* name, const Figures& measured, const char* reference,
            const Figures& floor, double goal) {
    std::printf("%-38s median %9.1f us  p90 %9.1f us | %s: median %9.1f us | goal %.0f us\n",
                name, measured.median * 1000, measured.p90 * 1000, reference, floor.median * 1000,
                goal * 1000);
}

// The add-on of either bitness reads the machine-wide settings from the 64-bit view.
constexpr REGSAM kSettingsAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

void SetString(HKEY root, const wchar_t* name, const std::wstring& text) {
    win::UniqueHKey key;
    ::RegCreateKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, nullptr, 0, kSettingsAccess,
                      nullptr, key.Put(), nullptr);
    ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY root, const wchar_t* name, DWORD value) {
    win::UniqueHKey key;
    ::RegCreateKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, nullptr, 0, kSettingsAccess,
                      nullptr, key.Put(), nullptr);
    ::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof(value));
}

void DeleteMachineSettings() {
    win::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0,
                        kSettingsAccess, key.Put()) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(key.Get(), nullptr);
    key.Reset();
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), KEY_WOW64_64KEY, 0);
}

// A fresh cache of kCards cards; card 0 applies to every host containing "bench.test".
void WriteSettings() {
    std::wstring sites = L"\"bench.test\":[\"0\"]";
    std::wstring data = L"\"0\":{\"datasets\":\"a,b\",\"k\":\"v\"}";
    for (int i = 1; i < kCards; ++i) {
        const std::wstring id = std::to_wstring(i);
        sites += L",\"site" + id + L".example.net\":[\"" + id + L"\"]";
        data += L",\"" + id + L"\":{\"datasets\":\"d" + id + L"\"}";
    }
    SetString(HKEY_LOCAL_MACHINE, L"Default Rule Id", L"1024");
    SetString(HKEY_LOCAL_MACHINE, L"Zolvex Static Script",
              BRIMWELL_WIDE(BRIMWELL_DEFAULT_STATIC_SCRIPT));
    SetString(HKEY_LOCAL_MACHINE, L"Zolvex Dynamic Script",
              BRIMWELL_WIDE(BRIMWELL_DEFAULT_DYNAMIC_SCRIPT));
    SetString(HKEY_LOCAL_MACHINE, L"Selector Selector Host", L"127.0.0.1");
    SetDword(HKEY_LOCAL_MACHINE, L"Selector Selector Port", 1);
    SetDword(HKEY_LOCAL_MACHINE, L"Cache Refresh Interval", 86400);
    SetString(HKEY_CURRENT_USER, L"Metadata Cache", L"{\"sites\":{" + sites + L"},\"data\":{" + data + L"}}");
    SetDword(HKEY_CURRENT_USER, L"Cache Modified Time",
             static_cast<DWORD>(CurrentUnixSeconds()));
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 0);
}

// A page of the benchmark: a top-level document with three frames, all matching.
std::unique_ptr<simbrowser::SimBrowser> ThreeFramePage() {
    std::unique_ptr<simbrowser::SimBrowser> browser(
        new simbrowser::SimBrowser(L"http://www.bench.test/"));
    for (int i = 0; i < 3; ++i)
        browser->Top().AddFrame(L"http://f" + std::to_wstring(i) + L".bench.test/");
    return browser;
}

bool AllInjected(simbrowser::SimBrowser& browser) {
    if (browser.Top().BodyChildren().size() != 2) return false;
    for (std::size_t i = 0; i < browser.Top().FrameCount(); ++i)
        if (browser.Top().Frame(i).BodyChildren().size() != 2) return false;
    return true;
}

bool Idle() { return RunningWorkerCount() == 0; }

// Creating the object and siting it, against advising a bare sink on the same browser.
void MeasureLoad(int rounds) {
    simbrowser::SimBrowser browser;
    win::ComPtr<IUnknown> site = browser.Site();
    std::vector<double> load, floor;
    for (int i = 0; i < rounds; ++i) {
        win::ComPtr<IObjectWithSite> addon;
        const double start = NowMs();
        CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid());
        addon->SetSite(site.Get());
        load.push_back(NowMs() - start);
        addon->SetSite(nullptr);

        win::ComPtr<IConnectionPointContainer> container;
        win::ComPtr<IConnectionPoint> point;
        win::ComPtr<IObjectWithSite> other;
        CreateBrimwellBHO(IID_IObjectWithSite, other.PutVoid());
        win::ComPtr<IDispatch> sink;
        other->QueryInterface(IID_IDispatch, sink.PutVoid());
        DWORD cookie = 0;
        const double bare = NowMs();
        site->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put());
        point->Advise(sink.Get(), &cookie);
        floor.push_back(NowMs() - bare);
        point->Unadvise(cookie);
    }
    Report("load (create + SetSite)", Summarise(load), "bare FindConnectionPoint+Advise",
           Summarise(floor), 1.0);
}

// The user-interface thread's time inside each event, against the same event with no add-on.
void MeasureEvents(int rounds) {
    struct Event {
        const char* name;
        std::function<void(simbrowser::SimBrowser&)> fire;
    };
    const Event events[] = {
        {"BeforeNavigate2", [](simbrowser::SimBrowser& b) { b.FireBeforeNavigate2(b.Top()); }},
        {"NavigateComplete2", [](simbrowser::SimBrowser& b) { b.FireNavigateComplete2(b.Top()); }},
        {"DownloadBegin", [](simbrowser::SimBrowser& b) { b.FireDownloadBegin(); }},
        {"DocumentComplete (starts worker)",
         [](simbrowser::SimBrowser& b) { b.FireDocumentComplete(b.Top()); }},
    };
    for (const Event& event : events) {
        std::vector<double> withAddon, without;
        std::unique_ptr<simbrowser::SimBrowser> bare = ThreeFramePage();
        bare->Top().SetComplete();
        std::unique_ptr<simbrowser::SimBrowser> browser = ThreeFramePage();
        browser->Top().SetComplete();
        win::ComPtr<IObjectWithSite> addon;
        CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid());
        addon->SetSite(browser->Site().Get());
        simbrowser::PumpUntil(Idle, 10000);
        for (int i = 0; i < rounds; ++i) {  // in pairs: the same event without, then with
            double start = NowMs();
            event.fire(*bare);
            without.push_back(NowMs() - start);
            start = NowMs();
            event.fire(*browser);
            withAddon.push_back(NowMs() - start);
            simbrowser::PumpUntil(Idle, 10000);  // workers run between rounds, not timed
        }
        addon->SetSite(nullptr);
        char name[80];
        std::snprintf(name, sizeof name, "event %s", event.name);
        Report(name, Summarise(withAddon), "same event, no add-on", Summarise(without), 0.5);
    }
}

// The two platform steps inside StartPageWorker, timed alone on the same kind of document.
void MeasureWorkerStartParts(int rounds) {
    std::unique_ptr<simbrowser::SimBrowser> browser = ThreeFramePage();
    std::vector<double> marshal, start;
    for (int i = 0; i < rounds; ++i) {
        IStream* stream = nullptr;
        const double before = NowMs();
        ::CoMarshalInterThreadInterfaceInStream(IID_IHTMLDocument2,
                                                browser->Top().Document().Get(), &stream);
        marshal.push_back(NowMs() - before);
        ::CoReleaseMarshalData(stream);
        stream->Release();

        WorkerThread thread;
        const double spawn = NowMs();
        StartWorkerThread([] {}, thread);
        start.push_back(NowMs() - spawn);
        ::WaitForSingleObject(thread.handle.get(), INFINITE);
    }
    const Figures none = {0, 0};
    Report("  part: marshal the document", Summarise(marshal), "(platform step)", none, 0.5);
    Report("  part: start a thread and see it run", Summarise(start), "(platform step)", none, 0.5);
}

// Bare round trips from a worker apartment to the simulated document: the floor of a page.
Figures CrossApartmentFloor(std::size_t calls, int rounds) {
    simbrowser::SimBrowser browser(L"http://www.bench.test/");
    browser.Top().SetComplete();
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        IStream* stream = nullptr;
        ::CoMarshalInterThreadInterfaceInStream(IID_IHTMLDocument2, browser.Top().Document().Get(),
                                                &stream);
        double took = 0;
        simbrowser::RunInWorkerApartment(
            [&] {
                win::ComPtr<IHTMLDocument2> document;
                ::CoGetInterfaceAndReleaseStream(stream, IID_IHTMLDocument2, document.PutVoid());
                const double start = NowMs();
                for (std::size_t c = 0; c < calls; ++c) {
                    win::ScopedBstr state;
                    document->get_readyState(state.Put());
                }
                took = NowMs() - start;
            },
            60000);
        samples.push_back(took);
    }
    return Summarise(samples);
}

// From the top-level DocumentComplete to both scripts in all four documents.
void MeasurePages(int rounds) {
    std::vector<double> first, later;
    std::size_t callsPerPage = 0;
    for (int i = 0; i < rounds; ++i) {
        win::ComPtr<IObjectWithSite> addon;
        CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid());
        for (int page = 0; page < 2; ++page) {
            std::unique_ptr<simbrowser::SimBrowser> browser = ThreeFramePage();
            addon->SetSite(browser->Site().Get());
            // Everything up to the last frame's DocumentComplete, then the timed top-level one.
            browser->Top().SetComplete();
            for (std::size_t f = 0; f < browser->Top().FrameCount(); ++f)
                browser->Top().Frame(f).SetComplete();
            browser->ClearJournal();
            const double start = NowMs();
            browser->FireDocumentComplete(browser->Top());
            simbrowser::PumpUntil([&] { return AllInjected(*browser); }, 60000);
            (page == 0 ? first : later).push_back(NowMs() - start);
            simbrowser::PumpUntil(Idle, 10000);
            callsPerPage = browser->Calls().size();
            addon->SetSite(nullptr);
        }
    }
    const Figures floor = CrossApartmentFloor(callsPerPage, rounds);
    char reference[96];
    std::snprintf(reference, sizeof reference, "%zu bare cross-apartment calls", callsPerPage);
    Report("page, window's first (1000 cards)", Summarise(first), reference, floor, 10.0);
    Report("page, later (1000 cards)", Summarise(later), reference, floor, 3.0);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 101;
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    // A browser process has the document library's type library loaded already.
    ITypeLib* html = nullptr;
    ::LoadTypeLibEx(L"mshtml.tlb", REGKIND_NONE, &html);
    WriteSettings();
    std::printf("pipeline benchmarks under Wine, %d rounds each\n", rounds);
    MeasureLoad(rounds);
    MeasureEvents(rounds);
    MeasureWorkerStartParts(rounds);
    MeasurePages(rounds);
    const bool floorMade = pagefloor::MeasurePageFloor(rounds, 3);
    if (html) html->Release();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY));
    DeleteMachineSettings();
    return floorMade ? 0 : 1;
}

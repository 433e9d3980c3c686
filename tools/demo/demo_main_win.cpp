// brimwell-demo: a simulated browser window per listed page that loads the registered browser
// helper objects the way the browser does, navigates, and prints what each document received.
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "addon/win/com_ptr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/text_win.h"
#include "addon/win/unique_handle.h"
#include "tools/demo/page_list.h"
#include "tools/simbrowser/message_pump_win.h"
#include "tools/simbrowser/sim_browser_win.h"

namespace {

const wchar_t kHelperObjectsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

struct Options {
    std::string pageList;
    DWORD quietMs = 700;       // no call on any document for this long: the page is done
    DWORD timeoutMs = 30000;   // a page whose documents are not all visited by then fails
};

// The class ids listed under the browser's helper-object key, as the browser reads them.
std::vector<CLSID> RegisteredHelperObjects() {
    std::vector<CLSID> classes;
    win::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHelperObjectsKey, 0, KEY_READ, key.Put()) !=
        ERROR_SUCCESS)
        return classes;
    wchar_t name[64];
    for (DWORD index = 0;; ++index) {
        DWORD length = ARRAYSIZE(name);
        if (::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS)
            break;
        CLSID clsid;
        if (SUCCEEDED(::CLSIDFromString(name, &clsid))) classes.push_back(clsid);
    }
    return classes;
}

void AddFrames(simbrowser::Page& page, const demo::PageSpec& pageSpec) {
    for (const demo::PageSpec& frameSpec : pageSpec.frames) {
        simbrowser::Page& frame = page.AddFrame(win::ToWide(frameSpec.url));
        frame.SetCrossDomain(frameSpec.crossDomain);
        AddFrames(frame, frameSpec);
    }
}

void ForEachDocument(simbrowser::Page& page, const std::function<void(simbrowser::Page&, int)>& fn,
                     int depth = 0) {
    fn(page, depth);
    for (std::size_t i = 0; i < page.FrameCount(); ++i) ForEachDocument(page.Frame(i), fn, depth + 1);
}

bool EveryDocumentVisited(simbrowser::Page& top) {
    bool all = true;
    ForEachDocument(top, [&all](simbrowser::Page& page, int) {
        if (page.CallCount(simbrowser::Op::kGetUrl) == 0) all = false;
    });
    return all;
}

// Pumps until the page's documents have all been looked at and the calls have stopped.
bool WaitUntilHandled(simbrowser::SimBrowser& browser, const Options& options) {
    if (!simbrowser::PumpUntil([&] { return EveryDocumentVisited(browser.Top()); },
                               options.timeoutMs))
        return false;
    std::size_t seen = browser.Calls().size();
    for (DWORD quiet = 0; quiet < options.quietMs; quiet += 100) {
        simbrowser::PumpFor(100);
        const std::size_t now = browser.Calls().size();
        if (now != seen) { seen = now; quiet = 0; }
    }
    return true;
}

std::string Narrow(const std::wstring& text) { return win::ToNarrow(text); }

void PrintDocument(simbrowser::Page& page, int depth) {
    const std::string indent(2 + 2 * depth, ' ');
    std::printf("%sdocument %s%s\n", indent.c_str(), Narrow(page.Url()).c_str(),
                page.CrossDomain() ? " (another security domain)" : "");
    std::wstring staticScript, configuration;
    bool injected = false;
    for (const simbrowser::ElementSnapshot& element : page.BodyChildren()) {
        if (element.HasAttribute(L"src")) {
            staticScript = element.Attribute(L"src");
            injected = true;
        } else {
            configuration = element.text;
        }
    }
    std::printf("%s  scripts injected: %s\n", indent.c_str(), injected ? "yes" : "no");
    if (!injected) return;
    std::printf("%s  static script:    %s\n", indent.c_str(), Narrow(staticScript).c_str());
    std::printf("%s  configuration:    %s\n", indent.c_str(), Narrow(configuration).c_str());
}

// Creates every helper object and hands it the browser, as the browser does for a new window.
bool AttachHelperObjects(const std::vector<CLSID>& classes, simbrowser::SimBrowser& browser,
                         std::vector<win::ComPtr<IObjectWithSite>>& attached) {
    for (const CLSID& clsid : classes) {
        win::ComPtr<IObjectWithSite> helper;
        HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                        helper.PutVoid());
        if (SUCCEEDED(hr)) hr = helper->SetSite(browser.Site().Get());
        if (FAILED(hr)) {
            std::fprintf(stderr, "brimwell-demo: creating a helper object failed (0x%08lx)\n",
                         static_cast<unsigned long>(hr));
            return false;
        }
        attached.push_back(helper);
    }
    return true;
}

bool ShowPage(int number, const demo::PageSpec& pageSpec, const std::vector<CLSID>& classes,
              const Options& options) {
    std::printf("page %d: %s\n", number, pageSpec.url.c_str());
    simbrowser::SimBrowser browser(win::ToWide(pageSpec.url));
    AddFrames(browser.Top(), pageSpec);
    std::vector<win::ComPtr<IObjectWithSite>> helpers;
    if (!AttachHelperObjects(classes, browser, helpers)) return false;
    browser.Navigate();
    const bool handled = WaitUntilHandled(browser, options);
    ForEachDocument(browser.Top(), PrintDocument);
    for (win::ComPtr<IObjectWithSite>& helper : helpers) helper->SetSite(nullptr);
    if (!handled)
        std::fprintf(stderr, "brimwell-demo: page %d was not handled within %lu ms\n", number,
                     static_cast<unsigned long>(options.timeoutMs));
    std::fflush(stdout);
    return handled;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--pages") == 0 && hasValue) options.pageList = argv[++i];
        else if (std::strcmp(argv[i], "--timeout-ms") == 0 && hasValue)
            options.timeoutMs = std::strtoul(argv[++i], nullptr, 10);
        else return false;
    }
    return !options.pageList.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: brimwell-demo --pages FILE [--timeout-ms N]\n");
        return 2;
    }
    std::ifstream file(options.pageList);
    if (!file) {
        std::fprintf(stderr, "brimwell-demo: cannot read %s\n", options.pageList.c_str());
        return 2;
    }
    std::vector<demo::PageSpec> pages;
    try {
        pages = demo::ReadPageList(file);
    } catch (const demo::PageListError& error) {
        std::fprintf(stderr, "brimwell-demo: %s\n", error.what());
        return 2;
    }
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    const std::vector<CLSID> classes = RegisteredHelperObjects();
    if (classes.empty()) {
        std::fprintf(stderr, "brimwell-demo: no browser helper object is registered\n");
        return 2;
    }
    bool allHandled = true;
    for (std::size_t i = 0; i < pages.size(); ++i)
        allHandled = ShowPage(static_cast<int>(i + 1), pages[i], classes, options) && allHandled;
    return allHandled ? 0 : 1;
}

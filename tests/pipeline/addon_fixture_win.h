// An add-on object sited in a simulated browser, over the real registry settings.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "addon/metadata/cache_registry_win.h"
#include "addon/pipeline/brimwell_bho.h"
#include "addon/pipeline/module_lock.h"
#include "addon/pipeline/worker_thread_win.h"
#include "addon/win/scoped_co_init.h"
#include "tests/selector/loopback_service.h"
#include "tests/settings/scratch_roots_win.h"
#include "tools/simbrowser/message_pump_win.h"
#include "tools/simbrowser/sim_browser_win.h"

namespace pipeline_test {

using settings_test::ReadStored;
using settings_test::SetDword;
using settings_test::SetString;

const wchar_t kStaticUrl[] = BRIMWELL_WIDE(BRIMWELL_DEFAULT_STATIC_SCRIPT);
const wchar_t kHttpsStaticUrl[] =
    L"https://" BRIMWELL_WIDE(BRIMWELL_RULE_ENGINE_HOST) BRIMWELL_WIDE(BRIMWELL_STATIC_SCRIPT_PATH);
// Cards for every host that contains "example.com": rule 7 with one key.
const wchar_t kExampleCache[] =
    L"{\"sites\":{\"example.com\":[\"7\"]},\"data\":{\"7\":{\"k\":\"v\"}}}";
const wchar_t kExampleConfig[] = L"var ZLVX_config ={\"rids\":[\"7\"],\"7:k\":\"v\"};";

inline std::uint32_t Now() { return static_cast<std::uint32_t>(CurrentUnixSeconds()); }

// A browser process always has the document library's type library loaded; holding it here
// spares Wine's type-library marshaler from reading it again for every new proxy.
inline void KeepHtmlTypeLibraryLoaded() {
    static ITypeLib* library = [] {
        ITypeLib* loaded = nullptr;
        ::LoadTypeLibEx(L"mshtml.tlb", REGKIND_NONE, &loaded);
        return loaded;
    }();
    (void)library;
}

// The whole settings key of both hives, as a fresh installation writes it, with a fresh cache
// holding kExampleCache and the selector pointed at a port nobody listens on.
class AddonTest : public ::testing::Test {
protected:
    void SetUp() override {
        KeepHtmlTypeLibraryLoaded();
        settings_test::DeleteSettings(HKEY_LOCAL_MACHINE);
        settings_test::DeleteSettings(HKEY_CURRENT_USER);
        settings_test::WriteInstallationDefaults(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
        SetSelectorPort(selector_test::UnusedLoopbackPort());
        SetString(HKEY_CURRENT_USER, L"Metadata Cache", kExampleCache);
        SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", Now());
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", 0);
        lockBefore = pipeline::ModuleLockCount();
    }

    void TearDown() override {
        Detach();
        addon.Reset();
        browser.reset();
        EXPECT_TRUE(WaitIdle());
        settings_test::DeleteSettings(HKEY_LOCAL_MACHINE);
        settings_test::DeleteSettings(HKEY_CURRENT_USER);
    }

    void SetSelectorPort(std::uint16_t port) {
        SetDword(HKEY_LOCAL_MACHINE, L"Selector Selector Port", port);
    }

    // Creates the browser with its top-level URL and an add-on object sited in it.
    simbrowser::SimBrowser& Open(const std::wstring& url = L"http://www.example.com/") {
        browser.reset(new simbrowser::SimBrowser(url));
        EXPECT_EQ(S_OK, CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid()));
        Object().SetSelectorBounds(bounds);
        EXPECT_EQ(S_OK, addon->SetSite(browser->Site().Get()));
        return *browser;
    }

    CBrimwellBHO& Object() { return *static_cast<CBrimwellBHO*>(addon.Get()); }

    void Detach() {
        if (addon) addon->SetSite(nullptr);
    }

    // Pumps until every page worker has ended.
    bool WaitIdle(DWORD timeoutMs = 5000) {
        return simbrowser::PumpUntil([] { return RunningWorkerCount() == 0; }, timeoutMs);
    }

    // Navigates the whole tree and waits for the page to be handled.
    std::size_t NavigateAndWait(const simbrowser::NavigateOptions& options =
                                    simbrowser::NavigateOptions()) {
        const std::size_t before = StartedWorkerCount();
        browser->Navigate(options);
        EXPECT_TRUE(WaitIdle());
        return StartedWorkerCount() - before;
    }

    win::ScopedCoInit apartment{COINIT_APARTMENTTHREADED};
    std::unique_ptr<simbrowser::SimBrowser> browser;
    win::ComPtr<IObjectWithSite> addon;
    selector::SelectorBounds bounds;
    long lockBefore = 0;
};

// The scripts appended to a page's body: configuration first, then the static script.
inline bool HasBothScripts(const simbrowser::Page& page, const std::wstring& staticUrl = kStaticUrl,
                           const std::wstring& config = kExampleConfig) {
    const std::vector<simbrowser::ElementSnapshot> children = page.BodyChildren();
    if (children.size() != 2) return false;
    return children[0].tag == L"SCRIPT" && children[0].text == config &&
           children[0].Attribute(L"type") == L"text/javascript" && children[1].tag == L"script" &&
           children[1].Attribute(L"src") == staticUrl &&
           children[1].Attribute(L"type") == L"text/javascript";
}

}  // namespace pipeline_test

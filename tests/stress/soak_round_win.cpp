// The soak round: random events, detaches, re-sitings and releases while pages load and the
// selector behaves as drawn; then a clean navigation of every window, the teardown and the
// library's unload, each followed by its check.
#include "tests/stress/soak_round_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <vector>

#include "addon/com/brimwell_addon_h.h"
#include "addon/pipeline/brimwell_bho.h"
#include "tests/settings/scratch_roots_win.h"
#include "tests/stress/addon_library_win.h"
#include "tests/stress/soak_dice.h"
#include "tests/stress/soak_pages_win.h"
#include "tests/stress/soak_service.h"
#include "tools/simbrowser/message_pump_win.h"

namespace soak {
namespace {

using settings_test::SetDword;
using settings_test::SetString;
using simbrowser::SimBrowser;

const DWORD kDetachBoundMs = 2000;      // the detach waits about one second, never much more
const DWORD kInjectedWithinMs = 10000;  // a clean page behind at most a few short conversations
// After the last detach: a conversation's deadline, a poll and the thread's exit.
const DWORD kWorkersGoneWithinMs = 6000;
const DWORD kObjectsReleasedWithinMs = 3000;
const int kMostActions = 24;

// The cards of the round's cache; the service's good reply reads as the same cards.
const wchar_t kCache[] = L"{\"sites\":{\"example.com\":[\"7\"]},\"data\":{\"7\":{\"k\":\"v\"}}}";

struct Window {
    std::unique_ptr<SimBrowser> browser;
    win::ComPtr<IObjectWithSite> addon;  // null once released
    bool attached = false;
};

class Round {
public:
    explicit Round(std::uint64_t seed) : dice(seed), service(dice) {
        figures.service = service.Behaviour();
    }

    RoundFigures Run() {
        PrepareRegistry();
        EXPECT_FALSE(AddonLibrary::Mapped()) << "the library is still mapped from before";
        library.reset(new AddonLibrary());
        if (!library->Loaded()) {
            ADD_FAILURE() << "the built library does not load";
            return figures;
        }
        factory = library->Factory();
        if (!factory) {
            ADD_FAILURE() << "the built library hands out no class factory";
            return figures;
        }
        OpenWindows();
        const int actions = dice.Between(4, kMostActions);
        for (int i = 0; i < actions; ++i) {
            RandomAction();
            ++figures.actions;
            Pause(150);
        }
        CleanNavigation();
        TearDown();
        return figures;
    }

private:
    void PrepareRegistry() {
        settings_test::WriteInstallationDefaults(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
        SetDword(HKEY_LOCAL_MACHINE, L"Selector Selector Port", service.Port());
        SetString(HKEY_CURRENT_USER, L"Metadata Cache", kCache);
        const auto now = static_cast<std::uint32_t>(::time(nullptr));
        SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", dice.Chance(0.5) ? now : 0);
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", dice.Chance(0.5) ? 1 : 0);
    }

    void Pause(int mostMs) { simbrowser::PumpFor(static_cast<DWORD>(dice.Between(0, mostMs))); }

    win::ComPtr<IObjectWithSite> NewObject() {
        win::ComPtr<IObjectWithSite> object;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IObjectWithSite, object.PutVoid()));
        // The same class, from the same headers and build as the library: its inline setter
        // gives the object the round's short conversation bounds.
        if (object) static_cast<CBrimwellBHO*>(object.Get())->SetSelectorBounds(ShortBounds());
        return object;
    }

    void Site(Window& window, std::unique_ptr<SimBrowser> browser) {
        if (browser) {
            if (window.browser) retired.push_back(std::move(window.browser));
            window.browser = std::move(browser);
        }
        EXPECT_EQ(S_OK, window.addon->SetSite(window.browser->Site().Get()));
        window.attached = true;
    }

    void Detach(Window& window) {
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(S_OK, window.addon->SetSite(nullptr));
        const ULONGLONG took = ::GetTickCount64() - start;
        EXPECT_LE(took, kDetachBoundMs) << "SetSite(NULL) took " << took << " ms";
        window.attached = false;
    }

    void OpenWindows() {
        windows.resize(static_cast<std::size_t>(dice.Between(1, 3)));
        figures.windows = windows.size();
        for (Window& window : windows) {
            window.addon = NewObject();
            if (window.addon) Site(window, NewBrowser(dice));
        }
    }

    void RandomAction() {
        Window& window = windows[dice.Index(windows.size())];
        if (!window.browser) return;
        SimBrowser& browser = *window.browser;
        switch (dice.Between(0, 11)) {
        case 0:
            figures.documents += Navigate(browser, RandomStyle(dice), dice);
            break;
        case 1: CompleteLoading(browser, dice); break;
        case 2:
            if (simbrowser::Page* frame = RandomFrame(browser, dice)) {
                simbrowser::NavigateOptions options;
                options.completeDocuments = dice.Chance(0.6);
                browser.NavigateFrame(*frame, RandomUrl(dice), options);
                ++figures.documents;
            }
            break;
        case 3: DownloadDuringPage(browser, dice); break;
        case 4: Refresh(window); break;
        case 5:
            if (window.attached) Detach(window);
            break;
        case 6:  // sited again: in the same window or in a new one
            if (window.addon && !window.attached)
                Site(window, dice.Chance(0.5) ? NewBrowser(dice) : nullptr);
            break;
        case 7:  // moved to another browser without a detach first
            if (window.attached) Site(window, NewBrowser(dice));
            break;
        case 8:
            if (window.addon && !window.attached) window.addon.Reset();
            break;
        case 9:
            if (!window.addon) {
                window.addon = NewObject();
                if (window.addon) Site(window, nullptr);
            }
            break;
        case 10: SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1); break;
        default: Pause(600); break;  // workers poll, fetch and inject meanwhile
        }
    }

    void Refresh(Window& window) {
        if (!window.addon) return;
        win::ComPtr<IBrimwellBHO> refresh;
        ASSERT_EQ(S_OK, window.addon->QueryInterface(IID_IBrimwellBHO, refresh.PutVoid()));
        EXPECT_EQ(S_OK, refresh->RefreshMetadata());
    }

    // Every window gets an attached object and a new page tree, navigated without tricks: then
    // each document with cards holds exactly one pair of scripts, and no other document any.
    void CleanNavigation() {
        for (Window& window : windows) {
            if (!window.addon) window.addon = NewObject();
            if (!window.addon) return;
            if (window.attached && dice.Chance(0.5)) Detach(window);
            Site(window, NewBrowser(dice));
            NavigationStyle style;
            style.downloadBegin = dice.Chance(0.5);
            style.shuffled = dice.Chance(0.5);
            figures.documents += Navigate(*window.browser, style, dice);
        }
        const bool injected = simbrowser::PumpUntil([this] {
            for (Window& window : windows)
                if (!MatchingDocumentsInjected(*window.browser)) return false;
            return true;
        }, kInjectedWithinMs);
        if (injected) simbrowser::PumpFor(300);  // a late duplicate would show now
        for (std::size_t i = 0; i < windows.size(); ++i)
            for (const std::string& problem : ScriptProblems(*windows[i].browser))
                ADD_FAILURE() << "window " << i << " after a clean navigation: " << problem;
    }

    // Pages may still be in flight; every object detaches and goes, the factory goes, and the
    // library is freed at once or once it says it can unload. Then nothing may be left.
    void TearDown() {
        if (dice.Chance(0.5)) {
            SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
            for (Window& window : windows)
                if (dice.Chance(0.7)) figures.documents += Navigate(*window.browser, RandomStyle(dice), dice);
            Pause(200);
        }
        std::vector<Window*> order;
        for (Window& window : windows) order.push_back(&window);
        dice.Shuffle(order);
        for (Window* window : order) {
            if (window->attached) Detach(*window);
            Pause(50);
        }
        dice.Shuffle(order);
        for (Window* window : order) window->addon.Reset();
        factory.Reset();
        const int unload = dice.Between(0, 2);
        if (unload > 0) {
            if (unload == 2) Pause(800);
            EXPECT_TRUE(simbrowser::PumpUntil([this] { return library->CanUnloadNow() == S_OK; },
                                              kWorkersGoneWithinMs))
                << "the module stays locked";
        }
        library->Free();  // with unload 0 its workers may still be running its code
        EXPECT_TRUE(simbrowser::PumpUntil([] { return !AddonLibrary::Mapped(); },
                                          kWorkersGoneWithinMs))
            << "the library is still mapped: a thread of it lives on (unload " << unload << ")";
        windows.clear();
        retired.clear();
        EXPECT_TRUE(simbrowser::PumpUntil([] { return simbrowser::LiveObjectCount() == 0; },
                                          kObjectsReleasedWithinMs))
            << simbrowser::LiveObjectCount() << " simulated objects are still referenced";
    }

    Dice dice;
    SoakService service;
    std::unique_ptr<AddonLibrary> library;
    win::ComPtr<IClassFactory> factory;
    std::vector<Window> windows;
    std::vector<std::unique_ptr<SimBrowser>> retired;  // browsers that an object has left
    RoundFigures figures;
};

}  // namespace

RoundFigures RunRound(std::uint64_t seed) { return Round(seed).Run(); }

}  // namespace soak

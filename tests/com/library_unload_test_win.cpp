// The built library unloaded while its page workers still run: it stays loaded until the last
// of them has left its code, the unload takes no wait, and no thread of it is left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "addon/com/brimwell_addon_h.h"
#include "addon/win/com_ptr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/unique_handle.h"
#include "tests/com/addon_library_path_win.h"
#include "tests/com/crash_ends_process_win.h"
#include "tests/selector/loopback_service.h"
#include "tests/settings/scratch_roots_win.h"
#include "tools/simbrowser/message_pump_win.h"
#include "tools/simbrowser/sim_browser_win.h"

namespace {

using selector_test::LoopbackService;
using selector_test::ServiceScript;
using std::chrono::milliseconds;

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();

const milliseconds kFastUnload{1000};  // the unload step waits up to 5 s when it waits at all

milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

bool Mapped() { return ::GetModuleHandleW(testing_addon::BuiltLibraryPath().c_str()) != nullptr; }

// One browser window with the add-on object sited in it, created as the browser creates it.
struct Window {
    explicit Window(IClassFactory* factory) : browser(new simbrowser::SimBrowser()) {
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IObjectWithSite, addon.PutVoid()));
        if (addon) {
            EXPECT_EQ(S_OK, addon->SetSite(browser->Site().Get()));
        }
    }
    void Close() {
        if (addon) addon->SetSite(nullptr);
        addon.Reset();
    }
    std::unique_ptr<simbrowser::SimBrowser> browser;
    win::ComPtr<IObjectWithSite> addon;
};

class LibraryUnload : public ::testing::Test {
protected:
    void SetUp() override {
        testing_addon::EndProcessOnCrash();  // the process living on is what is tested
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY));
        settings_test::WriteInstallationDefaults(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY));
    }

    // Every page fetches, from the service given.
    void UseService(const LoopbackService& service) {
        settings_test::SetDword(HKEY_LOCAL_MACHINE, L"Selector Selector Port", service.Port());
        settings_test::SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
    }

    HMODULE Load() {
        HMODULE library = ::LoadLibraryW(testing_addon::BuiltLibraryPath().c_str());
        EXPECT_NE(nullptr, library);
        return library;
    }

    template <class Fn>
    static Fn Export(HMODULE library, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
    }

    static win::ComPtr<IClassFactory> Factory(HMODULE library) {
        win::ComPtr<IClassFactory> factory;
        const auto getClassObject = Export<GetClassObjectFn>(library, "DllGetClassObject");
        if (getClassObject) {
            EXPECT_EQ(S_OK, getClassObject(CLSID_BrimwellBHO, IID_IClassFactory,
                                           factory.PutVoid()));
        }
        return factory;
    }

    static bool WaitForConnections(const LoopbackService& service, std::size_t count) {
        return simbrowser::PumpUntil([&] { return service.Connections() >= count; }, 5000);
    }
};

TEST_F(LibraryUnload, FreedDuringConversationsItStaysLoadedUntilTheirWorkersLeave) {
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    ServiceScript silent;
    silent.readRequest = false;  // accepts and never answers: each worker waits its deadline
    LoopbackService service(silent);
    UseService(service);
    HMODULE library = Load();
    win::ComPtr<IClassFactory> factory = Factory(library);
    ASSERT_TRUE(factory);
    std::vector<std::unique_ptr<Window>> windows;
    for (int i = 0; i < 3; ++i) {
        windows.emplace_back(new Window(factory.Get()));
        windows.back()->browser->Navigate();
    }
    ASSERT_TRUE(WaitForConnections(service, 3));
    for (auto& window : windows) window->Close();
    factory.Reset();

    const auto start = std::chrono::steady_clock::now();
    ::FreeLibrary(library);
    EXPECT_LT(Since(start).count(), kFastUnload.count());
    EXPECT_TRUE(Mapped());  // the workers still run its code
    EXPECT_TRUE(simbrowser::PumpUntil([] { return !Mapped(); }, 15000));
    // Past every conversation's deadline: a thread left behind would wake into unmapped code.
    simbrowser::PumpFor(2000);
    windows.clear();
    EXPECT_EQ(0u, simbrowser::LiveObjectCount());
}

TEST_F(LibraryUnload, FreedTheMomentItCanUnloadItNeitherWaitsNorTerminates) {
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    ServiceScript slow;
    slow.reply = "<cards/>";
    slow.quietPeriod = milliseconds(1300);  // longer than the detach waits
    LoopbackService service(slow);
    for (int attempt = 0; attempt < 8; ++attempt) {
        SCOPED_TRACE(attempt);
        UseService(service);
        HMODULE library = Load();
        const auto canUnloadNow = Export<CanUnloadNowFn>(library, "DllCanUnloadNow");
        ASSERT_TRUE(canUnloadNow);
        win::ComPtr<IClassFactory> factory = Factory(library);
        ASSERT_TRUE(factory);
        Window window(factory.Get());
        window.browser->Navigate();
        ASSERT_TRUE(WaitForConnections(service, attempt + 1u));
        window.Close();  // the worker, still talking, holds the object's last reference
        factory.Reset();
        // Frees the library as soon as it can be unloaded, as the browser does while tabs close.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (canUnloadNow() != S_OK && std::chrono::steady_clock::now() < deadline) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        }
        const auto start = std::chrono::steady_clock::now();
        ::FreeLibrary(library);
        EXPECT_LT(Since(start).count(), kFastUnload.count());
        EXPECT_TRUE(simbrowser::PumpUntil([] { return !Mapped(); }, 2000));
    }
}

}  // namespace

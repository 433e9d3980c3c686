// brimwell-inspect --state under Wine: for prepared registry contents, the decision and page it
// prints are what an add-on object's next page then does in the same registry.
#include <windows.h>

#include <functional>
#include <regex>
#include <string>

#include "addon/win/text_win.h"
#include "tests/inspect/captured_run_win.h"
#include "tests/pipeline/addon_fixture_win.h"
#include "tests/runner/host_path_win.h"

namespace {

using namespace pipeline_test;
using selector_test::LoopbackService;
using selector_test::ServiceScript;

const char kReply[] =
    "<cards><card><VeltraneMetadata><item name=\"searchOverlayCard.sites\">fresh.test</item>"
    "</VeltraneMetadata></card></cards>";
const wchar_t kTriggerFolder[] = L"BrimwellTests";
const wchar_t kTriggerRelative[] = L"BrimwellTests\\refresh.trigger";

std::wstring TriggerPath() {
    wchar_t appData[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    return std::wstring(appData) + L"\\" + kTriggerRelative;
}

// Creates the trigger file with the given last-write time (Unix seconds).
void WriteTriggerFile(std::uint32_t unixTime) {
    const std::wstring path = TriggerPath();
    ::CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    win::UniqueHandleObject file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, file.Get());
    const ULONGLONG ticks = (static_cast<ULONGLONG>(unixTime) + 11644473600ULL) * 10000000ULL;
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &time));
}

void RemoveTriggerFile() {
    const std::wstring path = TriggerPath();
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str());
}

std::string Line(const std::string& text, const std::string& label) {
    const std::string::size_type at = ("\n" + text).find("\n" + label + ": ");
    if (at == std::string::npos) return "(no " + label + " line)";
    const std::string::size_type start = at + label.size() + 2;
    return text.substr(start, text.find('\n', start) - start);
}

struct StateCase {
    const char* name;
    std::function<void()> prepare;  // on top of the fixture's fresh installation with a young cache
    const char* refresh;            // a pattern for the "refresh:" line
    std::vector<const char*> shown; // further lines the output holds
};

std::vector<StateCase> StateCases() {
    return {
        {"fresh", [] {}, "fresh: \\d+ s old, interval 86400 s, trigger file missing", {}},
        {"stale by age",
         [] { SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", Now() - 86500); },
         "stale: 865\\d\\d s old, interval 86400 s", {}},
        {"stale by the force flag", [] { SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1); },
         "stale: forced \\(\"Force Refresh\" is 1\\)", {"  Force Refresh: REG_DWORD 1"}},
        {"stale by the trigger file",
         [] {
             SetString(HKEY_LOCAL_MACHINE, L"Refresh Trigger File", kTriggerRelative);
             SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", Now() - 100);
             WriteTriggerFile(Now() - 70);
         },
         "stale: trigger file written 30 s after the cache \\(10\\d s old, interval 86400 s\\)",
         {}},
        {"trigger file older than the cache",
         [] {
             SetString(HKEY_LOCAL_MACHINE, L"Refresh Trigger File", kTriggerRelative);
             SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", Now() - 100);
             WriteTriggerFile(Now() - 160);
         },
         "fresh: 10\\d s old, interval 86400 s, trigger file written 60 s before the cache", {}},
        {"cache time in the future",
         [] { SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", Now() + 1000); },
         "fresh: cache time (1000|999|998) s in the future, interval 86400 s, trigger file missing",
         {}},
        {"per-user key missing", [] { settings_test::DeleteSettings(HKEY_CURRENT_USER); },
         "stale: forced \\(\"Force Refresh\" is 1\\)",
         {"user state: HKCU\\Software\\Veltrane\\Brimwell: missing; the add-on's next page creates it",
          "  Force Refresh: missing; the add-on keeps 1"}},
        {"machine-wide key missing", [] { settings_test::DeleteSettings(HKEY_LOCAL_MACHINE); },
         "fresh: \\d+ s old, interval 86400 s, trigger file missing",
         {"  Selector Selector Host: missing; the add-on takes \"\"",
          "trigger file: none (no machine-wide settings, or APPDATA is not set)"}},
        {"wrong types: flag and interval as text, rule id as a number",
         [] {
             SetString(HKEY_CURRENT_USER, L"Force Refresh", L"0");
             SetString(HKEY_LOCAL_MACHINE, L"Cache Refresh Interval", L"1");
             SetDword(HKEY_LOCAL_MACHINE, L"Default Rule Id", 7);
         },
         "stale: forced \\(\"Force Refresh\" is 1\\)",
         {"  Force Refresh: REG_SZ \"0\" (not a REG_DWORD); the add-on keeps 1",
          "  Cache Refresh Interval: REG_SZ \"1\" (not a REG_DWORD); the add-on keeps 86400",
          "  Default Rule Id: REG_DWORD 7 (not a string); the add-on takes \"\""}},
        {"wrong type: cache time as text",
         [] { SetString(HKEY_CURRENT_USER, L"Cache Modified Time", L"1"); },
         "stale: \\d+ s old, interval 86400 s",
         {"  Cache Modified Time: REG_SZ \"1\" (not a REG_DWORD); the add-on keeps 0"}},
    };
}

class InspectState : public AddonTest {
protected:
    void TearDown() override {
        RemoveTriggerFile();
        AddonTest::TearDown();
    }
};

TEST_F(InspectState, DecisionAndPageAreWhatTheAddonsNextPageDoes) {
    const std::string tool = HostPathToWindows(INSPECT_EXE);
    const std::wstring url = L"http://www.example.com/";
    for (const StateCase& c : StateCases()) {
        SCOPED_TRACE(c.name);
        // The same registry for both: prepared afresh, since either may create the user key.
        auto prepare = [&] {
            RemoveTriggerFile();
            SetUp();
            c.prepare();
        };
        prepare();
        const CapturedRun run = RunCaptured(tool, "--state --url " + win::ToNarrow(url));
        EXPECT_EQ(0u, run.exitCode);
        const std::string refresh = Line(run.output, "refresh");
        EXPECT_TRUE(std::regex_match(refresh, std::regex(c.refresh))) << run.output;
        for (const char* shown : c.shown)
            EXPECT_NE(std::string::npos, run.output.find(std::string("\n") + shown + "\n"))
                << shown << "\n" << run.output;

        prepare();
        LoopbackService service([] {
            ServiceScript script;
            script.reply = kReply;
            return script;
        }());
        SetSelectorPort(service.Port());
        simbrowser::SimBrowser& b = Open(url);
        ASSERT_EQ(1u, NavigateAndWait());
        const bool fetched = service.Connections() > 0;
        EXPECT_EQ(refresh.rfind("stale", 0) == 0, fetched) << run.output;
        if (!fetched) {
            // A fresh page gets exactly the configuration and script address printed.
            const std::vector<simbrowser::ElementSnapshot> added = b.Top().BodyChildren();
            ASSERT_EQ(2u, added.size()) << run.output;
            EXPECT_EQ(Line(run.output, "configuration"), win::ToNarrow(added[0].text));
            EXPECT_EQ(Line(run.output, "static script"),
                      win::ToNarrow(added[1].Attribute(L"src")));
        }
        Detach();
        addon.Reset();
        ASSERT_TRUE(WaitIdle());
    }
}

TEST_F(InspectState, HttpsPageGetsTheScriptOverHttpsAndAStaleCacheSaysSo) {
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
    const CapturedRun run = RunCaptured(HostPathToWindows(INSPECT_EXE),
                                        "--state --url https://shop.example.com/cart");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(win::ToNarrow(kHttpsStaticUrl), Line(run.output, "static script"));
    EXPECT_EQ(win::ToNarrow(kExampleConfig), Line(run.output, "configuration"));
    EXPECT_NE(std::string::npos, run.output.find("\nnote: the next page asks the selector"));
    EXPECT_EQ("1 pattern, 1 rule id, data for 1 of them (cards that share a rule id are kept as one)",
              Line(run.output, "cache"));
}

}  // namespace

namespace {

// --fetch takes the selector's address and the cache from the add-on's settings.
TEST_F(InspectState, FetchUsesTheSettingsAndFallsBackOnTheCache) {
    const std::uint16_t port = selector_test::UnusedLoopbackPort();
    SetSelectorPort(port);
    const std::uint32_t cacheTime = Now() - 100;
    SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", cacheTime);
    const CapturedRun run = RunCaptured(HostPathToWindows(INSPECT_EXE),
                                        "--fetch --url https://www.example.com/");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("127.0.0.1 port " + std::to_string(port) + " (from the settings)",
              Line(run.output, "selector"));
    EXPECT_TRUE(std::regex_match(Line(run.output, "conversation"),
                                 std::regex("refused or unreachable after \\d+ ms")))
        << run.output;
    EXPECT_EQ(win::ToNarrow(kExampleCache), Line(run.output, "model"));
    EXPECT_EQ(win::ToNarrow(kExampleConfig), Line(run.output, "configuration"));
    EXPECT_EQ(win::ToNarrow(kHttpsStaticUrl), Line(run.output, "static script"));
    // It never writes the cache: the add-on would have stamped it with a new time.
    EXPECT_EQ(cacheTime, ReadStored(HKEY_CURRENT_USER, L"Cache Modified Time").number);
}

// A value set in the 32-bit view (say with the 32-bit reg) is shown, and named as unread.
TEST_F(InspectState, ShowsWhatOnlyThe32BitViewHolds) {
    win::UniqueHKey view32;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, nullptr,
                                0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, view32.Put(), nullptr));
    const DWORD port = 4242;
    ::RegSetValueExW(view32.Get(), L"Selector Selector Port", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&port), sizeof port);
    const CapturedRun run = RunCaptured(HostPathToWindows(INSPECT_EXE), "--state");
    ::RegDeleteValueW(view32.Get(), L"Selector Selector Port");
    view32.Reset();
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), KEY_WOW64_32KEY, 0);
    EXPECT_NE(std::string::npos,
              run.output.find("\n  32-bit view, not read by the add-on: Selector Selector Port: "
                              "REG_DWORD 4242\n"))
        << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("32-bit view, not read by the add-on: Default"))
        << run.output;
}

}  // namespace

// The live settings, cache and refresh decision, read by the add-on's own code.
#include "tools/inspect/state_mode_win.h"

#include <ctime>
#include <functional>
#include <string>

#include "addon/metadata/cache_registry_win.h"
#include "addon/metadata/cache_text.h"
#include "addon/metadata/metadata_refresh_win.h"
#include "addon/metadata/script_scheme.h"
#include "addon/metadata/settings_values.h"
#include "addon/metadata/settings_win.h"
#include "addon/win/text_win.h"
#include "addon/win/unique_handle.h"
#include "tools/inspect/page_report.h"
#include "tools/inspect/stored_value_win.h"

namespace {

// What the add-on took for one value, given the Settings record it filled.
typedef std::function<std::string(const Settings&)> TakenValue;

std::string Quoted(const std::wstring& text) { return "\"" + win::ToNarrow(text) + "\""; }

struct ShownValue {
    const wchar_t* name;
    TakenValue taken;
};

const ShownValue kMachineValues[] = {
    {value_name::kDefaultRuleId, [](const Settings& s) { return Quoted(s.defaultRuleId); }},
    {value_name::kStaticScript, [](const Settings& s) { return Quoted(s.staticScriptUrl); }},
    {value_name::kDynamicScript,
     [](const Settings& s) { return Quoted(s.dynamicScriptTemplate); }},
    {value_name::kSelectorHost, [](const Settings& s) { return Quoted(s.selectorHost); }},
    {value_name::kSelectorPort,
     [](const Settings& s) { return std::to_string(s.selectorPort); }},
    {value_name::kRefreshInterval,
     [](const Settings& s) { return std::to_string(s.refreshInterval); }},
    {value_name::kTriggerFile, [](const Settings&) { return std::string("\"\""); }},
};

const ShownValue kUserValues[] = {
    {value_name::kMetadataCache, [](const Settings&) { return std::string("\"\""); }},
    {value_name::kCacheTime,
     [](const Settings& s) { return std::to_string(s.cacheModifiedTime); }},
    {value_name::kForceRefresh, [](const Settings& s) { return std::to_string(s.forceRefresh); }},
};

const SettingsValue* Described(const wchar_t* name) {
    for (const SettingsValue& v : kMachineSettingsValues)
        if (std::wstring(v.wideName) == name) return &v;
    for (const SettingsValue& v : kUserSettingsValues)
        if (std::wstring(v.wideName) == name) return &v;
    return nullptr;
}

// Whether the add-on can use a stored value of this type.
bool Usable(const StoredValue& value, SettingsValueType type) {
    if (!value.present) return false;
    if (type == SettingsValueType::kString)
        return value.type == REG_SZ || value.type == REG_EXPAND_SZ;
    return value.type == REG_DWORD && value.bytes == sizeof(std::uint32_t);
}

std::string Count(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string UtcText(std::int64_t seconds) {
    const __time64_t time = seconds;
    std::tm parts = {};
    if (_gmtime64_s(&parts, &time) != 0) return "?";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

void PrintValue(const ShownValue& shown, HKEY key, const Settings& settings, std::ostream& out) {
    const SettingsValue* described = Described(shown.name);
    const StoredValue stored = ReadStoredValue(key, shown.name);
    out << "  " << win::ToNarrow(shown.name) << ": " << DescribeStoredValue(stored);
    const bool isString = described && described->type == SettingsValueType::kString;
    if (described && !Usable(stored, described->type)) {
        if (stored.present)
            out << " (not " << (isString ? "a string" : "a REG_DWORD") << ")";
        out << "; the add-on " << (isString ? "takes " : "keeps ") << shown.taken(settings);
    } else if (stored.present && stored.type == REG_EXPAND_SZ) {
        out << " (taken as written, not expanded)";
    } else if (shown.name == std::wstring(value_name::kCacheTime) && stored.present) {
        out << " (" << UtcText(stored.number) << ")";
    }
    out << "\n";
}

// The machine-wide values as the add-on reads them (64-bit view), and any value that the 32-bit
// view holds differently: a leftover, or a value set with the 32-bit reg, that neither bitness
// of the add-on reads.
void PrintMachineSettings(const Settings& settings, std::ostream& out) {
    const std::string path = "HKLM\\" BRIMWELL_SETTINGS_KEY;
    win::UniqueHKey key;
    if (OpenMachineSettingsKey(SettingsRoots(), key.Put()) != ERROR_SUCCESS) {
        out << "machine-wide settings: " << path
            << " (64-bit view): missing or unreadable; the add-on uses its start values\n";
        key.Reset();
    } else {
        out << "machine-wide settings: " << path << " (64-bit view)\n";
    }
    for (const ShownValue& shown : kMachineValues) PrintValue(shown, key.Get(), settings, out);
    win::UniqueHKey other;
    if (!key.Get() || ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0,
                                      KEY_READ | KEY_WOW64_32KEY, other.Put()) != ERROR_SUCCESS)
        return;
    for (const ShownValue& shown : kMachineValues) {
        const StoredValue mine = ReadStoredValue(key.Get(), shown.name);
        const StoredValue theirs = ReadStoredValue(other.Get(), shown.name);
        if (theirs.present && mine != theirs)
            out << "  32-bit view, not read by the add-on: " << win::ToNarrow(shown.name) << ": "
                << DescribeStoredValue(theirs) << "\n";
    }
}

void PrintUserState(HKEY key, const Settings& settings, std::ostream& out) {
    out << "user state: HKCU\\" BRIMWELL_SETTINGS_KEY;
    if (!key) out << ": missing; the add-on's next page creates it";
    out << "\n";
    for (const ShownValue& shown : kUserValues) PrintValue(shown, key, settings, out);
}

void PrintTriggerFile(const Settings& settings, std::ostream& out) {
    out << "trigger file: ";
    if (settings.triggerFilePath.empty()) {
        out << "none (no machine-wide settings, or APPDATA is not set)\n";
        return;
    }
    const std::int64_t time = GetTriggerFileTime(settings.triggerFilePath);
    out << win::ToNarrow(settings.triggerFilePath) << ": ";
    if (time == 0)
        out << "missing\n";
    else
        out << "written " << UtcText(time) << " (" << time << ")\n";
}

void PrintCache(const Settings& settings, MetadataModel& model, std::ostream& out) {
    switch (TryReadCacheText(win::ToNarrow(settings.metadataCacheText), model)) {
    case kCacheEmpty:
        out << "cache: empty (nothing matches until a fetch)\n";
        return;
    case kCacheUnreadable:
        out << "cache: unreadable as cache text (a fresh page matches nothing)\n";
        return;
    case kCacheRead:
        break;
    }
    RuleIdSet ruleIds;
    for (const SiteMap::value_type& site : model.Sites())
        ruleIds.insert(site.second.begin(), site.second.end());
    for (const RuleDataMap::value_type& rule : model.Data()) ruleIds.insert(rule.first);
    out << "cache: " << Count(model.Sites().size(), "pattern") << ", "
        << Count(ruleIds.size(), "rule id") << ", data for " << model.Data().size()
        << " of them (cards that share a rule id are kept as one)\n";
}

}  // namespace

int RunStateMode(const InspectOptions& options, std::ostream& out) {
    // Before the loader, which creates the per-user key when it is missing.
    win::UniqueHKey user;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, KEY_READ,
                        user.Put()) != ERROR_SUCCESS)
        user.Reset();
    Settings settings;
    const bool pageIsHttps = options.haveUrl && ContainsHttps(win::ToWide(options.url));
    LoadSettings(settings, 0, pageIsHttps);

    PrintMachineSettings(settings, out);
    PrintUserState(user.Get(), settings, out);
    PrintTriggerFile(settings, out);
    const RefreshDecision decision = DecideRefresh(settings, CurrentUnixSeconds());
    out << "refresh: " << DescribeRefreshDecision(decision) << "\n";
    MetadataModel model;
    PrintCache(settings, model, out);
    if (options.haveUrl) {
        if (decision.Stale())
            out << "note: the next page asks the selector service first (see --fetch); without"
                   " a reply it keeps these cards\n";
        const bool matched =
            PrintPage(options.url, win::ToNarrow(settings.dynamicScriptTemplate), model, out);
        PrintStaticScript(matched, win::ToNarrow(settings.staticScriptUrl), out);
    }
    return out.good() ? 0 : 1;
}

// The registry values the add-on reads, by name and type: the one list of them, for the settings
// loader, the inspector and the check of the administrative template.
#pragma once

#include "addon/metadata/registration_defaults.h"

#define BRIMWELL_DEFAULT_RULE_ID_VALUE "Default Rule Id"
#define BRIMWELL_STATIC_SCRIPT_VALUE "Zolvex Static Script"
#define BRIMWELL_DYNAMIC_SCRIPT_VALUE "Zolvex Dynamic Script"
#define BRIMWELL_SELECTOR_HOST_VALUE "Selector Selector Host"
#define BRIMWELL_SELECTOR_PORT_VALUE "Selector Selector Port"
#define BRIMWELL_REFRESH_INTERVAL_VALUE "Cache Refresh Interval"
#define BRIMWELL_TRIGGER_FILE_VALUE "Refresh Trigger File"
#define BRIMWELL_METADATA_CACHE_VALUE "Metadata Cache"
#define BRIMWELL_CACHE_TIME_VALUE "Cache Modified Time"
#define BRIMWELL_FORCE_REFRESH_VALUE "Force Refresh"

// The same names as wide text, for the registry calls.
namespace value_name {
constexpr wchar_t kDefaultRuleId[] = BRIMWELL_WIDE(BRIMWELL_DEFAULT_RULE_ID_VALUE);
constexpr wchar_t kStaticScript[] = BRIMWELL_WIDE(BRIMWELL_STATIC_SCRIPT_VALUE);
constexpr wchar_t kDynamicScript[] = BRIMWELL_WIDE(BRIMWELL_DYNAMIC_SCRIPT_VALUE);
constexpr wchar_t kSelectorHost[] = BRIMWELL_WIDE(BRIMWELL_SELECTOR_HOST_VALUE);
constexpr wchar_t kSelectorPort[] = BRIMWELL_WIDE(BRIMWELL_SELECTOR_PORT_VALUE);
constexpr wchar_t kRefreshInterval[] = BRIMWELL_WIDE(BRIMWELL_REFRESH_INTERVAL_VALUE);
constexpr wchar_t kTriggerFile[] = BRIMWELL_WIDE(BRIMWELL_TRIGGER_FILE_VALUE);
constexpr wchar_t kMetadataCache[] = BRIMWELL_WIDE(BRIMWELL_METADATA_CACHE_VALUE);
constexpr wchar_t kCacheTime[] = BRIMWELL_WIDE(BRIMWELL_CACHE_TIME_VALUE);
constexpr wchar_t kForceRefresh[] = BRIMWELL_WIDE(BRIMWELL_FORCE_REFRESH_VALUE);
}  // namespace value_name

// Strings are read as REG_SZ or REG_EXPAND_SZ (not expanded); numbers as REG_DWORD only.
enum class SettingsValueType { kString, kDword };

struct SettingsValue {
    const char* name;
    const wchar_t* wideName;
    SettingsValueType type;
};

#define BRIMWELL_SETTINGS_VALUE(name, type) {name, BRIMWELL_WIDE(name), SettingsValueType::type}

// Below HKEY_LOCAL_MACHINE, in the 64-bit view, in the order the add-on reads them.
constexpr SettingsValue kMachineSettingsValues[] = {
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_DEFAULT_RULE_ID_VALUE, kString),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_STATIC_SCRIPT_VALUE, kString),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_DYNAMIC_SCRIPT_VALUE, kString),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_SELECTOR_HOST_VALUE, kString),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_TRIGGER_FILE_VALUE, kString),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_SELECTOR_PORT_VALUE, kDword),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_REFRESH_INTERVAL_VALUE, kDword),
};

// Below HKEY_CURRENT_USER: the cache state, also written by the add-on.
constexpr SettingsValue kUserSettingsValues[] = {
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_METADATA_CACHE_VALUE, kString),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_CACHE_TIME_VALUE, kDword),
    BRIMWELL_SETTINGS_VALUE(BRIMWELL_FORCE_REFRESH_VALUE, kDword),
};

// The add-on keeps only the low 16 bits of the port, and port 0 cannot be connected to.
constexpr unsigned long kMinSelectorPort = 1;
constexpr unsigned long kMaxSelectorPort = 65535;

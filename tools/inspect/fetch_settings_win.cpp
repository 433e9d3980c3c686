// The settings of a --fetch on Windows: the add-on's own, loaded in full as a new add-on
// object's first page loads them.
#include "tools/inspect/fetch_settings.h"

#include "addon/metadata/script_scheme.h"
#include "addon/metadata/settings_win.h"
#include "addon/win/text_win.h"

FetchSettings LoadFetchSettings(const InspectOptions& options) {
    Settings loaded;
    const bool pageIsHttps = options.haveUrl && ContainsHttps(win::ToWide(options.url));
    LoadSettings(loaded, 0, pageIsHttps);
    FetchSettings settings;
    settings.source = "the settings";
    settings.host = win::ToNarrow(loaded.selectorHost);
    settings.port = loaded.selectorPort;
    settings.defaultRuleId = win::ToNarrow(loaded.defaultRuleId);
    settings.scriptTemplate = win::ToNarrow(loaded.dynamicScriptTemplate);
    settings.staticScriptUrl = win::ToNarrow(loaded.staticScriptUrl);
    settings.haveCacheText = true;
    settings.cacheText = win::ToNarrow(loaded.metadataCacheText);
    ApplyFetchOptions(options, settings);
    return settings;
}

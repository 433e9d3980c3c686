// The options' precedence over the settings of a --fetch, and the settings where there is no
// registry: the registration defaults.
#include "tools/inspect/fetch_settings.h"

#include "addon/metadata/registration_defaults.h"
#include "addon/metadata/script_scheme.h"

void ApplyFetchOptions(const InspectOptions& options, FetchSettings& settings) {
    if (options.haveHost || options.havePort) settings.source = "the options";
    if (options.haveHost) settings.host = options.host;
    if (options.havePort) settings.port = options.port;
    if (options.haveTemplate) settings.scriptTemplate = options.scriptTemplate;
    if (options.haveDefaultRuleId) settings.defaultRuleId = options.defaultRuleId;
}

#ifndef _WIN32
FetchSettings LoadFetchSettings(const InspectOptions& options) {
    FetchSettings settings;
    settings.source = "the registration defaults";
    settings.host = BRIMWELL_DEFAULT_SELECTOR_HOST;
    settings.port = BRIMWELL_DEFAULT_SELECTOR_PORT;
    settings.defaultRuleId = BRIMWELL_DEFAULT_RULE_ID;
    settings.scriptTemplate = BRIMWELL_DEFAULT_DYNAMIC_SCRIPT;
    std::wstring staticUrl = BRIMWELL_WIDE(BRIMWELL_DEFAULT_STATIC_SCRIPT);
    // The add-on takes the page's scheme for the script; the default is an http address. Both
    // texts are searched for ASCII letters only, so widening their bytes one by one will do.
    if (options.haveUrl && ContainsHttps(std::wstring(options.url.begin(), options.url.end())))
        SwitchScriptScheme(staticUrl, true);
    settings.staticScriptUrl = std::string(staticUrl.begin(), staticUrl.end());
    ApplyFetchOptions(options, settings);
    return settings;
}
#endif

// The settings a --fetch conversation and its page use, and where they came from.
#pragma once

#include <cstdint>
#include <string>

#include "tools/inspect/inspect_options.h"

struct FetchSettings {
    std::string source;           // where host and port came from, for the report
    std::string host;
    std::uint32_t port = 0;
    std::string defaultRuleId;
    std::string scriptTemplate;
    std::string staticScriptUrl;  // with the scheme of the --url page
    bool haveCacheText = false;   // the cached cards a conversation without a reply falls back on
    std::string cacheText;
};

// On Windows the add-on's settings, loaded as its next page loads them; elsewhere the
// registration defaults. --host, --port, --template and --default-rule-id take precedence.
FetchSettings LoadFetchSettings(const InspectOptions& options);

// The options' part of LoadFetchSettings.
void ApplyFetchOptions(const InspectOptions& options, FetchSettings& settings);

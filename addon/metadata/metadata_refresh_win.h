// The refresh policy of the metadata cache and the cache's reading and writing around a fetch.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "addon/metadata/cache_registry_win.h"
#include "addon/metadata/metadata_model.h"
#include "addon/metadata/refresh_decision.h"
#include "addon/metadata/settings_win.h"

// The add-on object's card metadata and whether it has been filled since the object was made.
struct MetadataState {
    MetadataModel model;
    std::string responseText;
    std::uint32_t modelLoaded = 0;
    std::uint32_t handlerRuns = 0;  // entries into the completion handlers
};

// DecideRefresh over the settings' force flag, cache time and interval, and the trigger file of
// the settings; the file is only looked at when the first two found the cache fresh.
RefreshDecision DecideRefresh(const Settings& settings, std::int64_t now);

// The same decision with another source of the trigger file's time.
bool CacheIsStale(const Settings& settings, std::int64_t now,
                  const std::function<std::int64_t()>& triggerFileTime);

// Returns 1 when the cache was fresh (the model is read from the cache text once per object)
// and 0 when fetch was called. A cache text that cannot be read leaves the model empty. A
// fetch that ran neither handler leaves modelLoaded as it was, so the next page decides again.
int EnsureMetadataCurrent(Settings& settings, MetadataState& state,
                          const std::function<void()>& fetch, std::int64_t now);

// Completion handlers of a fetch. The reply is decoded to UTF-8 first (ReplyTextAsUtf8, legacy
// text through Utf8FromLegacyReply). A reply that is not well-formed XML counts as no reply; a
// cache text that cannot be read raises an exception and leaves the registry as it was.
void OnSelectorReply(Settings& settings, MetadataState& state, const std::string& reply,
                     const SettingsRoots& roots);
void OnSelectorNoReply(Settings& settings, MetadataState& state, const SettingsRoots& roots);

// Stores the model as the cache text with a new time and "Force Refresh" 0, and keeps the
// settings equal to what was stored. Nothing changes when the key cannot be opened.
void WriteCache(Settings& settings, const MetadataState& state, const SettingsRoots& roots,
                std::int64_t now);

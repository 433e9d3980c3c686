// Deciding whether the cache is fresh, and rebuilding and storing it when a fetch ends.
#include "addon/metadata/metadata_refresh_win.h"

#include "addon/metadata/cache_text.h"
#include "addon/metadata/reply_code_page_win.h"
#include "addon/metadata/selector_reply.h"
#include "addon/win/text_win.h"

namespace {

// Inside a fetch: a text that cannot be read ends the fetch before anything is written.
void RebuildFromCacheText(Settings& settings, MetadataState& state) {
    if (ReadCacheText(win::ToNarrow(settings.metadataCacheText), state.model))
        state.modelLoaded = 1;
}

}  // namespace

namespace {

RefreshInputs InputsOf(const Settings& settings) {
    RefreshInputs inputs;
    inputs.forceRefresh = settings.forceRefresh;
    inputs.cacheModifiedTime = settings.cacheModifiedTime;
    inputs.refreshInterval = settings.refreshInterval;
    return inputs;
}

}  // namespace

RefreshDecision DecideRefresh(const Settings& settings, std::int64_t now) {
    return DecideRefresh(InputsOf(settings), now,
                         [&settings] { return GetTriggerFileTime(settings.triggerFilePath); });
}

bool CacheIsStale(const Settings& settings, std::int64_t now,
                  const std::function<std::int64_t()>& triggerFileTime) {
    return DecideRefresh(InputsOf(settings), now, triggerFileTime).Stale();
}

int EnsureMetadataCurrent(Settings& settings, MetadataState& state,
                          const std::function<void()>& fetch, std::int64_t now) {
    if (!DecideRefresh(settings, now).Stale()) {
        // Outside a fetch an unreadable text only means that nothing matches on this page.
        if (state.modelLoaded == 0 &&
            TryReadCacheText(win::ToNarrow(settings.metadataCacheText), state.model) == kCacheRead)
            state.modelLoaded = 1;
        return 1;
    }
    const std::uint32_t loadedBefore = state.modelLoaded;
    const std::uint32_t handledBefore = state.handlerRuns;
    state.modelLoaded = 1;
    fetch();
    if (state.handlerRuns == handledBefore) state.modelLoaded = loadedBefore;
    return 0;
}

void OnSelectorReply(Settings& settings, MetadataState& state, const std::string& reply,
                     const SettingsRoots& roots) {
    ++state.handlerRuns;
    state.responseText.clear();  // read here and done with
    switch (ModelFromReply(reply, win::ToNarrow(settings.defaultRuleId), Utf8FromLegacyReply,
                           state.model)) {
    case ReplyUse::kCards:
        break;
    case ReplyUse::kEmptyText:
        RebuildFromCacheText(settings, state);
        break;
    case ReplyUse::kUnreadable:
        // A broken reply must not replace the user's cards with nothing for a whole interval.
        OnSelectorNoReply(settings, state, roots);
        return;
    }
    WriteCache(settings, state, roots, CurrentUnixSeconds());
}

void OnSelectorNoReply(Settings& settings, MetadataState& state, const SettingsRoots& roots) {
    ++state.handlerRuns;
    RebuildFromCacheText(settings, state);
    WriteCache(settings, state, roots, CurrentUnixSeconds());
}

void WriteCache(Settings& settings, const MetadataState& state, const SettingsRoots& roots,
                std::int64_t now) {
    const std::wstring text = win::ToWide(CacheText(state.model));
    const std::uint32_t stamp = static_cast<std::uint32_t>(now);  // low 32 bits
    if (!WriteCacheToRegistry(text, stamp, roots)) return;
    settings.forceRefresh = 0;
    settings.cacheModifiedTime = stamp;
    // A later failed fetch rebuilds from this text, not from an older one.
    settings.metadataCacheText = text;
}

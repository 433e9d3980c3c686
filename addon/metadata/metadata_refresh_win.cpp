// Deciding whether the cache is fresh, and rebuilding and storing it when a fetch ends.
#include "addon/metadata/metadata_refresh_win.h"

#include "addon/metadata/cache_text.h"
#include "addon/metadata/metadata_response.h"
#include "addon/metadata/reply_code_page_win.h"
#include "addon/metadata/reply_text.h"
#include "addon/win/text_win.h"

namespace {

// Inside a fetch: a text that cannot be read ends the fetch before anything is written.
void RebuildFromCacheText(Settings& settings, MetadataState& state) {
    if (ReadCacheText(win::ToNarrow(settings.metadataCacheText), state.model))
        state.modelLoaded = 1;
}

}  // namespace

bool CacheIsStale(const Settings& settings, std::int64_t now,
                  const std::function<std::int64_t()>& triggerFileTime) {
    if (settings.forceRefresh != 0) return true;
    const std::int64_t cacheTime = settings.cacheModifiedTime;  // unsigned 32 bits, widened
    if (now - cacheTime > static_cast<std::int64_t>(settings.refreshInterval)) return true;
    return triggerFileTime() > cacheTime;
}

int EnsureMetadataCurrent(Settings& settings, MetadataState& state,
                          const std::function<void()>& fetch, std::int64_t now) {
    const bool stale = CacheIsStale(settings, now, [&settings] {
        return GetTriggerFileTime(settings.triggerFilePath);
    });
    if (!stale) {
        // Outside a fetch an unreadable text only means that nothing matches on this page.
        if (state.modelLoaded == 0 &&
            TryReadCacheText(win::ToNarrow(settings.metadataCacheText), state.model) == kCacheRead)
            state.modelLoaded = 1;
        return 1;
    }
    state.modelLoaded = 1;
    fetch();
    return 0;
}

void OnSelectorReply(Settings& settings, MetadataState& state, const std::string& reply,
                     const SettingsRoots& roots) {
    state.responseText = ReplyTextAsUtf8(reply, Utf8FromLegacyReply);
    if (state.responseText.empty()) {
        RebuildFromCacheText(settings, state);
    } else if (BuildModelFromResponse(state.responseText, win::ToNarrow(settings.defaultRuleId),
                                      state.model) == kReplyUnreadable) {
        // A broken reply must not replace the user's cards with nothing for a whole interval.
        state.responseText.clear();
        OnSelectorNoReply(settings, state, roots);
        return;
    }
    WriteCache(settings, state, roots, CurrentUnixSeconds());
}

void OnSelectorNoReply(Settings& settings, MetadataState& state, const SettingsRoots& roots) {
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

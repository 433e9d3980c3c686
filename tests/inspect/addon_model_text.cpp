// The add-on's model after a conversation, for comparison with what the inspector prints.
#include "tests/inspect/addon_model_text.h"

#include "addon/metadata/cache_text.h"

#ifdef _WIN32
#include <windows.h>

#include "addon/metadata/metadata_refresh_win.h"
#include "addon/win/text_win.h"
#include "addon/win/unique_handle.h"

std::string AddonModelText(const std::string& reply, const std::string& cacheText,
                           const std::string& defaultRuleId) {
    const wchar_t scratch[] = L"Software\\BrimwellTests\\InspectFetch";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratch);
    win::UniqueHKey user;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, scratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          user.Put(), nullptr) != ERROR_SUCCESS)
        return "(no scratch key)";
    SettingsRoots roots;
    roots.machine = user.Get();
    roots.user = user.Get();
    roots.keyPath = L"Cache";
    Settings settings;
    settings.defaultRuleId = win::ToWide(defaultRuleId);
    settings.metadataCacheText = win::ToWide(cacheText);
    MetadataState state;
    try {
        if (reply.empty())
            OnSelectorNoReply(settings, state, roots);
        else
            OnSelectorReply(settings, state, reply, roots);
    } catch (...) {
        return "(handler failed)";
    }
    user.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratch);
    return CacheText(state.model);
}
#else
#include "addon/metadata/reply_text.h"
#include "addon/metadata/selector_reply.h"

std::string AddonModelText(const std::string& reply, const std::string& cacheText,
                           const std::string& defaultRuleId) {
    MetadataModel model;
    const LegacyTextDecoder legacy = [](const std::string& bytes, const std::string&) {
        return Utf8FromWindows1252(bytes);
    };
    if (reply.empty() || ModelFromReply(reply, defaultRuleId, legacy, model) != ReplyUse::kCards)
        TryReadCacheText(cacheText, model);
    return CacheText(model);
}
#endif

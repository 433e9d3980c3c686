// The refresh decision, the trigger file's time and the cache's rebuilding and writing.
#include "addon/metadata/metadata_refresh_win.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "addon/metadata/cache_text.h"
#include "addon/win/text_win.h"
#include "tests/settings/scratch_roots_win.h"

namespace {

using namespace settings_test;

const char kReplyAB[] =
    "<cards><card><VeltraneMetadata>"
    "<item name=\"searchOverlayCard.ruleid\">7</item>"
    "<item name=\"searchOverlayCard.sites\">urn:a.test</item>"
    "<item name=\"k\">v</item>"
    "</VeltraneMetadata></card></cards>";
const wchar_t kCachedText[] = L"{\"sites\":{\"old.test\":[\"3\"]},\"data\":{\"3\":{}}}";

struct StaleCase {
    const char* name;
    std::uint32_t force;
    std::uint32_t cacheTime;
    std::int64_t trigger;
    bool stale;
    bool triggerAsked;
};

const std::int64_t kNow = 1700000000;
const std::uint32_t kDay = 86400;

const StaleCase kStaleCases[] = {
    {"exactly the interval old", 0, kNow - kDay, 0, false, true},
    {"one second older", 0, kNow - kDay - 1, 0, true, false},
    {"written in the future", 0, kNow + 5000, 0, false, true},
    {"forced", 1, kNow, 0, true, false},
    {"trigger newer than the cache", 0, kNow - 10, kNow - 9, true, true},
    {"trigger as old as the cache", 0, kNow - 10, kNow - 10, false, true},
    {"trigger in the future, cache in the future", 0, kNow + 50, kNow + 60, true, true},
};

TEST(RefreshDecision, ForceAgeAndTriggerInThisOrder) {
    for (const StaleCase& c : kStaleCases) {
        SCOPED_TRACE(c.name);
        Settings settings;
        settings.forceRefresh = c.force;
        settings.cacheModifiedTime = c.cacheTime;
        settings.refreshInterval = kDay;
        int asked = 0;
        EXPECT_EQ(c.stale, CacheIsStale(settings, kNow, [&] { ++asked; return c.trigger; }));
        EXPECT_EQ(c.triggerAsked, asked == 1);
    }
}

TEST(TriggerFileTime, ExactUnixSecondsRoundedDown) {
    FILETIME epoch = {0xD53E8000u, 0x019DB1DEu};  // 1970-01-01 00:00:00 UTC
    EXPECT_EQ(0, UnixSecondsFromFileTime(epoch));
    FILETIME before = {epoch.dwLowDateTime - 1, epoch.dwHighDateTime};
    EXPECT_EQ(-1, UnixSecondsFromFileTime(before));

    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, folder));
    const std::wstring path = std::wstring(folder) + L"brimwell_trigger_test.trigger";
    win::UniqueHandle<HANDLE, win::CloseKernelHandle> file(::CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, file.Get());
    // 2023-11-14 22:13:20.9 UTC
    const ULONGLONG ticks = 116444736000000000ULL + 1700000000ULL * 10000000ULL + 9000000ULL;
    FILETIME written = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &written));
    file.Reset();
    EXPECT_EQ(1700000000, GetTriggerFileTime(path));
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(0, GetTriggerFileTime(path));
    EXPECT_EQ(0, GetTriggerFileTime(L""));
    EXPECT_GT(GetTriggerFileTime(folder), 0);  // a folder counts too
}

class CacheWriting : public ScratchRoots {
protected:
    void SetUp() override {
        ScratchRoots::SetUp();
        settings.metadataCacheText = kCachedText;
        settings.forceRefresh = 1;
        settings.defaultRuleId = L"1024";
    }

    std::wstring StoredText() { return ReadStored(user.Get(), L"Metadata Cache").text; }

    Settings settings;
    MetadataState state;
};

TEST_F(CacheWriting, StoresTextTimeAndFlagAndKeepsTheTextInMemory) {
    state.model.AddSite("a.test", "7");
    state.model.Data()["7"]["k"] = "v";
    WriteCache(settings, state, roots, 0x1'2345'6789LL);
    const std::wstring expected = win::ToWide(CacheText(state.model));
    const StoredValue text = ReadStored(user.Get(), L"Metadata Cache");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), text.type);
    EXPECT_EQ(expected, text.text);
    EXPECT_EQ((expected.size() + 1) * 2, text.bytes);
    EXPECT_EQ(0x2345'6789u, ReadStored(user.Get(), L"Cache Modified Time").number);  // low 32 bits
    EXPECT_EQ(0u, ReadStored(user.Get(), L"Force Refresh").number);
    EXPECT_EQ(0x2345'6789u, settings.cacheModifiedTime);
    EXPECT_EQ(0u, settings.forceRefresh);
    EXPECT_EQ(expected, settings.metadataCacheText);
}

TEST_F(CacheWriting, KeyThatCannotBeOpenedChangesNothing) {
    SettingsRoots broken = roots;
    broken.user = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    settings.cacheModifiedTime = 5;
    WriteCache(settings, state, broken, kNow);
    EXPECT_EQ(1u, settings.forceRefresh);
    EXPECT_EQ(5u, settings.cacheModifiedTime);
    EXPECT_EQ(kCachedText, settings.metadataCacheText);
}

TEST_F(CacheWriting, FailedFetchAfterASuccessfulOneKeepsTheNewerCards) {
    OnSelectorReply(settings, state, kReplyAB, roots);
    const std::wstring afterReply = StoredText();
    ASSERT_NE(std::wstring::npos, afterReply.find(L"a.test"));
    OnSelectorNoReply(settings, state, roots);  // no full settings load in between
    EXPECT_EQ(afterReply, StoredText());
    EXPECT_EQ(1u, state.model.Sites().count("a.test"));
}

TEST_F(CacheWriting, UnreadableReplyCountsAsNoReply) {
    OnSelectorReply(settings, state, "<cards><card>", roots);
    EXPECT_EQ(1u, state.model.Sites().count("old.test"));
    EXPECT_EQ(win::ToNarrow(kCachedText), CacheText(state.model));
    EXPECT_EQ(kCachedText, StoredText());
    EXPECT_EQ(0u, ReadStored(user.Get(), L"Force Refresh").number);
    EXPECT_TRUE(state.responseText.empty());
}

TEST_F(CacheWriting, WellFormedReplyWithoutCardsCachesTheEmptyModel) {
    OnSelectorReply(settings, state, "<cards/>", roots);
    EXPECT_TRUE(state.model.Empty());
    EXPECT_EQ(L"{\"sites\":{},\"data\":{}}", StoredText());
}

TEST_F(CacheWriting, UnreadableCacheTextInsideAFetchEndsItWithoutWriting) {
    settings.metadataCacheText = L"{";
    EXPECT_ANY_THROW(OnSelectorNoReply(settings, state, roots));
    EXPECT_EQ(static_cast<DWORD>(REG_NONE), ReadStored(user.Get(), L"Metadata Cache").type);
    EXPECT_EQ(1u, settings.forceRefresh);
}

class FreshCache : public CacheWriting {
protected:
    int Ensure() {
        settings.forceRefresh = 0;
        settings.cacheModifiedTime = static_cast<std::uint32_t>(kNow);
        return EnsureMetadataCurrent(settings, state, [this] { ++fetches; }, kNow);
    }
    int fetches = 0;
};

TEST_F(FreshCache, ReadsTheCacheTextOncePerObject) {
    EXPECT_EQ(1, Ensure());
    EXPECT_EQ(1u, state.modelLoaded);
    EXPECT_EQ(1u, state.model.Sites().count("old.test"));
    settings.metadataCacheText = L"{\"sites\":{},\"data\":{}}";
    EXPECT_EQ(1, Ensure());
    EXPECT_EQ(1u, state.model.Sites().count("old.test"));
    EXPECT_EQ(0, fetches);
}

TEST_F(FreshCache, EmptyTextIsTriedAgainOnEveryPage) {
    settings.metadataCacheText.clear();
    EXPECT_EQ(1, Ensure());
    EXPECT_EQ(0u, state.modelLoaded);
    settings.metadataCacheText = kCachedText;
    EXPECT_EQ(1, Ensure());
    EXPECT_EQ(1u, state.model.Sites().count("old.test"));
}

TEST_F(FreshCache, UnreadableTextGivesAnEmptyModelWithoutAnException) {
    const wchar_t* texts[] = {L"{", L"[]", L"{\"sites\":{\"a\":\"x\"},\"data\":{}}",
                              L"{\"sites\":{\"a\":[\"1\"]},\"data\":{\"1\":[]}}"};
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(win::ToNarrow(text));
        state = MetadataState();
        state.model.AddSite("left.over", "1");
        settings.metadataCacheText = text;
        EXPECT_EQ(1, Ensure());
        EXPECT_TRUE(state.model.Empty());
    }
    EXPECT_EQ(0, fetches);
}

TEST_F(FreshCache, StaleCacheMarksTheModelLoadedAndFetches) {
    settings.metadataCacheText = L"{";
    settings.forceRefresh = 1;
    EXPECT_EQ(0, EnsureMetadataCurrent(settings, state, [this] { ++fetches; }, kNow));
    EXPECT_EQ(1, fetches);
    EXPECT_EQ(1u, state.modelLoaded);
}

}  // namespace

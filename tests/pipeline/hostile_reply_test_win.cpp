// Replies that would overflow a page worker's stack or hold it for hours count as no reply:
// the page is handled against the cached cards, and the cache keeps them.
#include <string>

#include "addon/metadata/settings_win.h"
#include "addon/selector/selector_bounds.h"
#include "addon/win/unique_handle.h"
#include "tests/pipeline/addon_fixture_win.h"

namespace {

using namespace pipeline_test;
using selector_test::LoopbackService;
using selector_test::ServiceScript;

const std::string kCard =
    "<card><VeltraneMetadata><item name=\"searchOverlayCard.ruleid\">8</item>"
    "<item name=\"searchOverlayCard.sites\">urn:fresh.test</item></VeltraneMetadata></card>";

// The cards, then `unit` again and again, then `tail`, `size` bytes in all.
std::string Reply(std::size_t size, const std::string& unit, const std::string& tail) {
    std::string reply = "<cards>" + kCard;
    const std::size_t room = size - reply.size() - tail.size();
    for (std::size_t i = 0; i + unit.size() <= room; i += unit.size()) reply += unit;
    reply.append(size - reply.size() - tail.size(), ' ');
    return reply + tail;
}

// One element with as many attributes as fit.
std::string ManyAttributes(std::size_t size) {
    std::string reply = "<cards>" + kCard + "<x";
    for (std::size_t i = 0; reply.size() + 32 < size; ++i) reply += " a" + std::to_string(i) + "=''";
    reply += "/>";
    return reply.append(size - reply.size() - 8, ' ') + "</cards>";
}

std::wstring StoredCacheText() {
    win::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, KEY_READ,
                        key.Put()) != ERROR_SUCCESS)
        return L"<no key>";
    return ReadRegistryString(key.Get(), L"Metadata Cache");
}

class HostileReply : public AddonTest {
protected:
    // One forced page at url against a service that sends `reply`.
    void LoadPageWithReply(const std::string& reply,
                           const std::wstring& url = L"http://www.example.com/") {
        SetString(HKEY_CURRENT_USER, L"Metadata Cache", kExampleCache);
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
        ServiceScript script;
        script.reply = reply;
        LoopbackService service(script);
        SetSelectorPort(service.Port());
        Open(url).Navigate();
        ASSERT_TRUE(WaitIdle(30000));
        EXPECT_EQ(1u, service.Connections());
    }
};

TEST_F(HostileReply, DeepOrAttributeLadenRepliesKeepTheCachedCards) {
    const std::size_t cap = selector::kReplySizeCap;
    const struct {
        const char* name;
        std::string reply;
    } cases[] = {
        {"a million levels", Reply(kCard.size() + 7 + 3000000, "<a>", "")},
        {"as deep as the reply cap allows", Reply(cap, "<a>", "")},
        {"as many attributes as the cap allows", ManyAttributes(cap)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadPageWithReply(c.reply);
        EXPECT_TRUE(HasBothScripts(browser->Top()));
        EXPECT_EQ(kExampleCache, StoredCacheText());
        EXPECT_EQ(0u, ReadStored(HKEY_CURRENT_USER, L"Force Refresh").number);
        Detach();
    }
}

TEST_F(HostileReply, FlatReplyAsLargeAsTheCapIsRead) {
    std::string reply = Reply(selector::kReplySizeCap, kCard, "</cards>");
    ASSERT_EQ(selector::kReplySizeCap, reply.size());
    LoadPageWithReply(reply, L"http://www.fresh.test/");
    EXPECT_TRUE(HasBothScripts(browser->Top(), kStaticUrl, L"var ZLVX_config ={\"rids\":[\"8\"]};"));
    EXPECT_EQ(L"{\"sites\":{\"fresh.test\":[\"8\"]},\"data\":{\"8\":{}}}", StoredCacheText());
}

}  // namespace

// brimwell-inspect --fetch against scripted loopback services: how each conversation ended,
// and that the model it prints is the add-on's for the same reply.
#include "tools/inspect/fetch_mode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>

#include "tests/inspect/addon_model_text.h"
#include "tests/selector/loopback_service.h"

namespace {

using selector_test::LoopbackService;
using selector_test::ServiceScript;
using std::chrono::milliseconds;

const char kReply[] =
    "<cards><card><VeltraneMetadata>"
    "<item name=\"searchOverlayCard.ruleid\">7</item>"
    "<item name=\"searchOverlayCard.sites\">urn:example.com, urn:shop.test</item>"
    "<item name=\"searchOverlayCard.url\"> urn:a, urn:b </item>"
    "</VeltraneMetadata></card><card><VeltraneMetadata>"
    "<item name=\"searchOverlayCard.sites\">example.com</item>"
    "<item name=\"x\">say \"hi\"</item>"
    "</VeltraneMetadata></card></cards>";
const char kCache[] = "{\"sites\":{\"cached.test\":[\"3\"]},\"data\":{\"3\":{\"k\":\"v\"}}}";

struct Printed {
    int code = -1;
    std::string text;
};

FetchSettings Settings(std::uint16_t port) {
    FetchSettings settings;
    settings.source = "the test";
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.defaultRuleId = "1024";
    settings.scriptTemplate = "var ZLVX_config ={${1}};";
    settings.staticScriptUrl = "https://rules.test/static.js";
    settings.haveCacheText = true;
    settings.cacheText = kCache;
    return settings;
}

// Short bounds: the slow services end by the deadline within a second.
selector::SelectorBounds Bounds(std::size_t cap = selector::kReplySizeCap) {
    selector::SelectorBounds bounds;
    bounds.connectTimeout = milliseconds(3000);
    bounds.deadline = milliseconds(1000);
    bounds.replySizeCap = cap;
    return bounds;
}

Printed Fetch(const FetchSettings& settings, const selector::SelectorBounds& bounds,
              const std::string& url = std::string()) {
    InspectOptions options;
    options.mode = InspectMode::kFetch;
    options.haveUrl = !url.empty();
    options.url = url;
    std::ostringstream out;
    Printed printed;
    printed.code = RunFetchMode(settings, options, bounds, out);
    printed.text = out.str();
    return printed;
}

std::string Line(const std::string& text, const std::string& label) {
    const std::string::size_type at = text.find("\n" + label + ": ");
    if (at == std::string::npos) return "(no " + label + " line)";
    const std::string::size_type start = at + label.size() + 3;
    return text.substr(start, text.find('\n', start) - start);
}

ServiceScript Replying(const std::string& reply) {
    ServiceScript script;
    script.reply = reply;
    return script;
}

struct EndingCase {
    const char* name;
    ServiceScript script;
    std::size_t cap;
    const char* conversation;  // a pattern for the whole "conversation:" line
    const char* reply;         // the "reply:" line
};

std::vector<EndingCase> EndingCases() {
    ServiceScript closes = Replying("");
    ServiceScript drip = Replying(kReply);  // ten bytes every 150 ms: far past the deadline
    drip.pieceSize = 10;
    drip.pieceInterval = milliseconds(150);
    ServiceScript endless = Replying("<cards>");
    endless.endless = true;
    ServiceScript silent;
    silent.readRequest = false;
    return {
        {"accepts and closes", closes, selector::kReplySizeCap,
         "no reply: the service closed the connection after \\d+ ms",
         "none: the add-on rebuilds its cards from the cache"},
        {"slow drip", drip, selector::kReplySizeCap,
         "deadline of 1000 ms passed after [1-9]\\d* bytes, taken as the reply",
         "unreadable \\(not well-formed XML, or nested or attributed beyond the limits\\): the "
         "add-on keeps the cards of its cache"},
        {"over the cap", endless, 4096,
         "cut at the cap of 4096 bytes after \\d+ ms: not a reply",
         "none: the add-on rebuilds its cards from the cache"},
        {"silent", silent, selector::kReplySizeCap,
         "deadline of 1000 ms passed without a reply",
         "none: the add-on rebuilds its cards from the cache"},
    };
}

TEST(InspectFetch, SaysHowEachConversationEndedAndKeepsTheCachedCards) {
    const std::string cached = AddonModelText("", kCache, "1024");
    for (const EndingCase& c : EndingCases()) {
        SCOPED_TRACE(c.name);
        LoopbackService service(c.script);
        const Printed printed = Fetch(Settings(service.Port()), Bounds(c.cap));
        EXPECT_EQ(0, printed.code);
        EXPECT_EQ(1u, service.Connections());
        EXPECT_TRUE(std::regex_match(Line(printed.text, "conversation"), std::regex(c.conversation)))
            << printed.text;
        EXPECT_TRUE(std::regex_match(Line(printed.text, "reply"), std::regex(c.reply)))
            << printed.text;
        EXPECT_EQ(cached, Line(printed.text, "model"));
    }
}

TEST(InspectFetch, NobodyListeningIsRefused) {
    const Printed printed = Fetch(Settings(selector_test::UnusedLoopbackPort()), Bounds());
    EXPECT_EQ(0, printed.code);
    EXPECT_TRUE(std::regex_match(Line(printed.text, "conversation"),
                                 std::regex("refused or unreachable after \\d+ ms")))
        << printed.text;
    // Without a cache to fall back on, the tool cannot know the cards the add-on keeps.
    FetchSettings noCache = Settings(selector_test::UnusedLoopbackPort());
    noCache.haveCacheText = false;
    EXPECT_EQ("unknown here (the cards the add-on has cached stay)",
              Line(Fetch(noCache, Bounds()).text, "model"));
}

TEST(InspectFetch, GoodReplyPrintsTheAddonsModelAndThePage) {
    LoopbackService service(Replying(kReply));
    const Printed printed = Fetch(Settings(service.Port()), Bounds(), "https://www.example.com/x");
    EXPECT_EQ(0, printed.code);
    EXPECT_TRUE(std::regex_match(
        Line(printed.text, "conversation"),
        std::regex("reply of " + std::to_string(sizeof(kReply) - 1) + " bytes in \\d+ ms")))
        << printed.text;
    EXPECT_EQ("read", Line(printed.text, "reply"));
    const std::string model = AddonModelText(kReply, kCache, "1024");
    EXPECT_EQ(model, Line(printed.text, "model"));
    EXPECT_EQ("{\"sites\":{\"example.com\":[\"1024\",\"7\"],\"shop.test\":[\"7\"]},\"data\":{"
              "\"1024\":{\"x\":\"say \\\"hi\\\"\"},\"7\":{\"datasets\":\"a, b\"}}}",
              model);
    EXPECT_EQ("www.example.com", Line(printed.text, "host"));
    EXPECT_EQ("1024 7", Line(printed.text, "rule ids"));
    EXPECT_EQ("var ZLVX_config ={\"rids\":[\"1024\",\"7\"],\"1024:x\":\"say \\\"hi\\\"\","
              "\"7:datasets\":\"a, b\"};",
              Line(printed.text, "configuration"));
    EXPECT_EQ("https://rules.test/static.js", Line(printed.text, "static script"));
}

TEST(InspectFetch, HostThatIsNotAnAddressHoldsNoConversation) {
    FetchSettings settings = Settings(31002);
    settings.host = "localhost";
    const Printed printed = Fetch(settings, Bounds());
    EXPECT_EQ(1, printed.code);
    EXPECT_NE(std::string::npos, printed.text.find("is not a numeric IPv4 or IPv6 address"));
    EXPECT_EQ(std::string::npos, printed.text.find("model:"));
}

}  // namespace

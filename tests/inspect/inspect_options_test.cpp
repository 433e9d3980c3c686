// Which option belongs to which mode of brimwell-inspect, and what a usage error is.
#include "tools/inspect/inspect_options.h"

#include <gtest/gtest.h>

namespace {

struct OptionsCase {
    std::vector<std::string> args;  // after the program's name
    bool valid;
    InspectMode mode;
};

const OptionsCase kCases[] = {
    {{"reply.xml"}, true, InspectMode::kFile},
    {{"--url", "http://a/", "--template", "t", "-"}, true, InspectMode::kFile},
    {{"--state"}, true, InspectMode::kState},
    {{"--state", "--url", "https://a/"}, true, InspectMode::kState},
    {{"--fetch", "--host", "::1", "--port", "65535", "--url", "u", "--default-rule-id", "9"},
     true, InspectMode::kFetch},
    {{"--fetch", "--port", "1"}, true, InspectMode::kFetch},
    // usage errors
    {{"--state", "--fetch"}, false, InspectMode::kState},
    {{"--state", "reply.xml"}, false, InspectMode::kState},
    {{"--state", "--template", "t"}, false, InspectMode::kState},
    {{"--state", "--port", "80"}, false, InspectMode::kState},
    {{"--fetch", "reply.xml"}, false, InspectMode::kFetch},
    {{"--fetch", "--port", "0"}, false, InspectMode::kFetch},
    {{"--fetch", "--port", "65536"}, false, InspectMode::kFetch},
    {{"--fetch", "--port", "+80"}, false, InspectMode::kFetch},
    {{"--fetch", "--port"}, false, InspectMode::kFetch},
    {{"--host", "127.0.0.1", "reply.xml"}, false, InspectMode::kFile},
    {{"a.xml", "b.xml"}, false, InspectMode::kFile},
    {{"--url"}, false, InspectMode::kFile},
};

TEST(InspectOptions, EachModeTakesItsOwnOptions) {
    for (const OptionsCase& c : kCases) {
        std::vector<std::string> args{"brimwell-inspect"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        InspectOptions options;
        EXPECT_EQ(c.valid, ParseInspectOptions(args, options));
        if (c.valid) {
            EXPECT_EQ(c.mode, options.mode);
        }
    }
}

TEST(InspectOptions, FetchOptionsKeepTheirValues) {
    InspectOptions options;
    ASSERT_TRUE(ParseInspectOptions({"x", "--fetch", "--host", "::1", "--port", "31002"}, options));
    EXPECT_TRUE(options.haveHost && options.havePort);
    EXPECT_EQ("::1", options.host);
    EXPECT_EQ(31002u, options.port);
    EXPECT_FALSE(options.haveUrl);
}

}  // namespace

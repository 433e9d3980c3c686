// Reading the demo's page list: nesting, flags and the lines it refuses.
#include "tools/demo/page_list.h"

#include <gtest/gtest.h>

#include <sstream>

namespace demo {
namespace {

std::vector<PageSpec> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadPageList(in);
}

TEST(PageList, IndentationNestsFramesUnderTheLineAbove) {
    const std::vector<PageSpec> pages = Read(
        "# comment\n"
        "http://a.test/\r\n"
        "  http://b.test/\n"
        "    http://c.test/ cross-domain\n"
        "  http://d.test/\n"
        "\n"
        "\v\f \n"
        "\f# comment after white space\n"
        "https://e.test/\n");
    ASSERT_EQ(2u, pages.size());
    EXPECT_EQ("http://a.test/", pages[0].url);
    ASSERT_EQ(2u, pages[0].frames.size());
    EXPECT_EQ("http://b.test/", pages[0].frames[0].url);
    ASSERT_EQ(1u, pages[0].frames[0].frames.size());
    EXPECT_EQ("http://c.test/", pages[0].frames[0].frames[0].url);
    EXPECT_TRUE(pages[0].frames[0].frames[0].crossDomain);
    EXPECT_EQ("http://d.test/", pages[0].frames[1].url);
    EXPECT_FALSE(pages[0].frames[1].crossDomain);
    EXPECT_EQ("https://e.test/", pages[1].url);
    EXPECT_TRUE(pages[1].frames.empty());
}

TEST(PageList, RefusesWhatItCannotPlace) {
    const char* const kBad[] = {
        "",                                       // no page at all
        "  http://frame-without-page.test/\n",    // a frame before any page
        "http://a.test/\n    http://b.test/\n",   // skips a level
        "http://a.test/\n   http://b.test/\n",    // odd indentation
        "http://a.test/\n\thttp://b.test/\n",     // tab
        "http://a.test/ cross-domain\n",          // a top-level page cannot be cross-domain
        "http://a.test/ sideways\n",              // unknown flag
    };
    for (const char* text : kBad) {
        SCOPED_TRACE(text);
        EXPECT_THROW(Read(text), PageListError);
    }
}

}  // namespace
}  // namespace demo

// The configuration script text: layout, template handling, escaping, and what a script
// engine makes of it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "addon/metadata/configuration_text.h"

namespace {

const char kTemplate[] = "var ZLVX_config ={${1}};";

TEST(ConfigurationText, PlainTextComesOutAsDocumented) {
    RuleDataMap matched{{"7", {{"datasets", "a,b"}, {"x", "1"}}}, {"9", {}}};
    EXPECT_EQ("var ZLVX_config ={\"rids\":[\"7\",\"9\"],\"7:datasets\":\"a,b\",\"7:x\":\"1\"};",
              ConfigurationText(kTemplate, matched));
}

TEST(ConfigurationText, OneCommaBetweenEntriesOfDifferentRules) {
    RuleDataMap matched{{"1", {{"a", "x"}}}, {"2", {}}, {"3", {{"b", "y"}}}};
    EXPECT_EQ("\"rids\":[\"1\",\"2\",\"3\"],\"1:a\":\"x\",\"3:b\":\"y\"", InsertionText(matched));
    EXPECT_EQ("\"rids\":[\"4\"]", InsertionText(RuleDataMap{{"4", {}}}));
}

TEST(ConfigurationText, OnlyTheFirstPlaceholderIsReplaced) {
    RuleDataMap matched{{"4", {}}};
    EXPECT_EQ("a\"rids\":[\"4\"]b${1}", ConfigurationText("a${1}b${1}", matched));
    EXPECT_EQ("no placeholder", ConfigurationText("no placeholder", matched));
    EXPECT_EQ("${1 \"rids\":[\"4\"]", ConfigurationText("${1 ${1}", matched));
}

struct EscapeCase {
    const char* text;
    const char* escaped;
};

const EscapeCase kEscapes[] = {
    {"say \"hi\"", "say \\\"hi\\\""},
    {"C:\\dir", "C:\\\\dir"},
    {"a\nb\rc\td", "a\\nb\\rc\\td"},
    {"\x01\x1f", "\\u0001\\u001f"},
    {"</script><!--", "\\u003c/script>\\u003c!--"},
    {"x\xE2\x80\xA8y\xE2\x80\xA9z", "x\\u2028y\\u2029z"},
    // Other characters unchanged, whatever their bytes.
    {"\xE2\x80\xAA \xC3\xA9 \xE8\xA1\xA8 \xE3\x82\xBD \xF0\x9F\x98\x80",
     "\xE2\x80\xAA \xC3\xA9 \xE8\xA1\xA8 \xE3\x82\xBD \xF0\x9F\x98\x80"},
    // Not UTF-8: a replacement character, and the escapes of what follows stay whole.
    {"\x95\\\"", "\xEF\xBF\xBD\\\\\\\""},
    {"\xE2\x80\"", "\xEF\xBF\xBD\\\""},
    {"x\xE2\x80", "x\xEF\xBF\xBD"},
    {"\xED\xA0\xBD\xED\xB8\x80 \xED\xBF\xBF", "\\ud83d\\ude00 \\udfff"},
    {"'/&>", "'/&>"},
};

TEST(ConfigurationText, ScriptStringEscapes) {
    for (const EscapeCase& c : kEscapes) {
        std::string out;
        AppendScriptString(out, c.text);
        EXPECT_EQ(c.escaped, out) << c.text;
    }
}

#ifndef _WIN32

std::string Hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) { hex += kHex[c >> 4]; hex += kHex[c & 15]; }
    return hex;
}

std::string RunNode(const std::string& scriptPath) {
    std::string output;
    FILE* pipe = ::popen(("node " + scriptPath + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

// Hostile rule ids, keys and values must come out of a real script engine as exactly the
// strings that went in, without breaking out of the script or the element.
TEST(ConfigurationText, ScriptEngineReadsBackHostileStrings) {
    if (std::system("command -v node >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed: the script engine check is skipped";
    RuleDataMap matched{
        {"7\"]});alert(1);//", {{"k\\\"", "v\"\\\n\r\t</script><script>alert(2)</script>"}}},
        {"9", {{"line", "a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\x01\x1f"}, {"<!--", "-->"}}},
        {"plain", {{"datasets", "a,b"}}},
        // Café «Été» — 10€, 表示, ソフト and an emoji, in ids, keys and values.
        {"Caf\xC3\xA9 \xC2\xAB\xC3\x89t\xC3\xA9\xC2\xBB \xE2\x80\x94 10\xE2\x82\xAC",
         {{"\xE8\xA1\xA8\xE7\xA4\xBA", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88 \xF0\x9F\x98\x80"}}},
        {"\xF0\x9F\x98\x80", {{"\xE3\x82\xBD", "\xE8\xA1\xA8\\"}}},
    };
    // The surrogates of an emoji each on its own (as the cache parser gives "\ud83d\ude00"):
    // the script reads the emoji.
    RuleDataMap withPair = matched;
    withPair["pair"]["k"] = "\xED\xA0\xBD\xED\xB8\x80";
    std::string text = ConfigurationText(kTemplate, withPair);
    EXPECT_EQ(std::string::npos, text.find("</script"));
    EXPECT_EQ(std::string::npos, text.find('\n'));

    std::vector<std::string> lines{"rid " + Hex("pair") + "\n",
                                   Hex("pair:k") + " " + Hex("\xF0\x9F\x98\x80") + "\n"};
    for (const auto& rule : matched) lines.push_back("rid " + Hex(rule.first) + "\n");
    for (const auto& rule : matched)
        for (const auto& entry : rule.second)
            lines.push_back(Hex(rule.first + ":" + entry.first) + " " + Hex(entry.second) + "\n");
    std::sort(lines.begin(), lines.end());
    std::string expected;
    for (const std::string& line : lines) expected += line;

    std::string path =
        testing::TempDir() + "configuration_text_test_" + std::to_string(::getpid()) + ".js";
    std::ofstream(path, std::ios::binary)
        << text << "\n"
        << "const hex = s => Buffer.from(s, 'utf8').toString('hex');\n"
           "const lines = ZLVX_config.rids.map(id => 'rid ' + hex(id) + '\\n');\n"
           "for (const key of Object.keys(ZLVX_config).filter(k => k !== 'rids'))\n"
           "  lines.push(hex(key) + ' ' + hex(ZLVX_config[key]) + '\\n');\n"
           "process.stdout.write(lines.sort().join(''));\n";
    EXPECT_EQ(expected, RunNode(path));
    std::remove(path.c_str());
}

#endif

}  // namespace

// The configuration script text: layout, template handling, escaping, and what a script
// engine makes of it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
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

// What a script engine should make of one configuration: the rule ids in order, then each
// distinct "id:key" with the value of its last entry, in byte order (hex sorts as bytes do).
std::string ExpectedView(const RuleDataMap& matched) {
    std::string view = "rids";
    for (const auto& rule : matched) view += " " + Hex(rule.first);
    view += "\n";
    std::map<std::string, std::string> members;
    for (const auto& rule : matched)
        for (const auto& entry : rule.second) members[rule.first + ":" + entry.first] = entry.second;
    for (const auto& member : members) view += Hex(member.first) + " " + Hex(member.second) + "\n";
    return view;
}

// Runs each configuration text in a fresh context of a real script engine and prints the same
// view of the object it defined, or the error it raised.
std::string ScriptEngineView(const std::vector<std::string>& texts) {
    const std::string path =
        testing::TempDir() + "configuration_text_test_" + std::to_string(::getpid()) + ".js";
    {
        std::ofstream script(path, std::ios::binary);
        script << "const vm = require('vm');\n"
                  "const hex = s => Buffer.from(s, 'utf8').toString('hex');\n"
                  "const texts = [\n";
        for (const std::string& text : texts) script << "'" << Hex(text) << "',\n";
        script << "];\n"
                  "for (const text of texts) {\n"
                  "  const context = {};\n"
                  "  try { vm.runInNewContext(Buffer.from(text, 'hex').toString('utf8'), context); }\n"
                  "  catch (e) { process.stdout.write('error ' + e.message + '\\n'); continue; }\n"
                  "  const config = context.ZLVX_config;\n"
                  "  let view = 'rids' + config.rids.map(id => ' ' + hex(id)).join('') + '\\n';\n"
                  "  const members = Object.keys(config).filter(k => k !== 'rids')\n"
                  "      .map(k => [hex(k), hex(config[k])]).sort();\n"
                  "  for (const [key, value] of members) view += key + ' ' + value + '\\n';\n"
                  "  process.stdout.write(view);\n"
                  "}\n";
    }
    const std::string output = RunNode(path);
    std::remove(path.c_str());
    return output;
}

// Texts built from pieces a script or an HTML parser treats specially, all valid UTF-8.
std::string GeneratedText(std::mt19937& random, int mostPieces) {
    static const std::string kPieces[] = {
        "a", "Z", "7", ":", ",", "\"", "\\", "'", "`", "/", "<", ">", "!", "-", " ", "${", "${1}",
        "</script>", "<!--", "-->", "\\u0041", "\n", "\r", "\t", "\x01", "\x1f", "\x7f",
        std::string(1, '\0'), "\xC2\x80", "\xC3\xA9", "\xE2\x80\xA8", "\xE2\x80\xA9",
        "\xE2\x80\xAA", "\xEF\xBB\xBF", "\xF0\x9F\x98\x80"};
    std::string text;
    const int pieces = std::uniform_int_distribution<int>(0, mostPieces)(random);
    for (int i = 0; i < pieces; ++i)
        text += kPieces[std::uniform_int_distribution<std::size_t>(
            0, sizeof kPieces / sizeof kPieces[0] - 1)(random)];
    return text;
}

// Hostile rule ids, keys and values must come out of a real script engine as exactly the
// strings that went in, without breaking out of the script or the element.
TEST(ConfigurationText, ScriptEngineReadsBackHostileStrings) {
    if (std::system("command -v node >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed: the script engine check is skipped";
    std::vector<RuleDataMap> cases{{
        {"7\"]});alert(1);//", {{"k\\\"", "v\"\\\n\r\t</script><script>alert(2)</script>"}}},
        {"9", {{"line", "a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\x01\x1f"}, {"<!--", "-->"}}},
        {"plain", {{"datasets", "a,b"}}},
        // Café «Été» — 10€, 表示, ソフト and an emoji, in ids, keys and values.
        {"Caf\xC3\xA9 \xC2\xAB\xC3\x89t\xC3\xA9\xC2\xBB \xE2\x80\x94 10\xE2\x82\xAC",
         {{"\xE8\xA1\xA8\xE7\xA4\xBA", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88 \xF0\x9F\x98\x80"}}},
        {"\xF0\x9F\x98\x80", {{"\xE3\x82\xBD", "\xE8\xA1\xA8\\"}}},
    }};
    std::mt19937 random(20240611);
    for (int n = 0; n < 300; ++n) {
        RuleDataMap matched;
        const int rules = std::uniform_int_distribution<int>(1, 3)(random);
        for (int r = 0; r < rules; ++r) {
            RuleData& data = matched[GeneratedText(random, 3)];
            const int keys = std::uniform_int_distribution<int>(0, 3)(random);
            for (int k = 0; k < keys; ++k) data[GeneratedText(random, 3)] = GeneratedText(random, 4);
        }
        cases.push_back(matched);
    }
    std::vector<std::string> texts;
    std::string expected;
    for (const RuleDataMap& matched : cases) {
        texts.push_back(ConfigurationText(kTemplate, matched));
        EXPECT_EQ(std::string::npos, texts.back().find("</script"));
        EXPECT_EQ(std::string::npos, texts.back().find_first_of("\n\r"));
        expected += ExpectedView(matched);
    }
    // The surrogates of an emoji each on its own (as the cache parser gives "\ud83d\ude00"):
    // the script reads the emoji.
    texts.push_back(ConfigurationText(kTemplate, {{"pair", {{"k", "\xED\xA0\xBD\xED\xB8\x80"}}}}));
    expected += ExpectedView({{"pair", {{"k", "\xF0\x9F\x98\x80"}}}});
    EXPECT_EQ(expected, ScriptEngineView(texts));
}

#endif

}  // namespace

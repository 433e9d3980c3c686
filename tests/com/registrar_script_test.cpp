// Registrar script parser: the tree it builds, replacements, and the scripts it refuses.
#include "addon/com/registrar_script.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using registrar::Key;
using registrar::KeyFlag;
using registrar::ParseError;
using registrar::Replacements;
using registrar::Script;
using registrar::Value;
using registrar::ValueType;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

void DumpKeys(const std::vector<Key>& keys, const std::string& path, std::string& out) {
    static const char* const kFlags[] = {"", "NoRemove ", "ForceRemove ", "Delete "};
    for (const Key& key : keys) {
        const std::string here = path + "\\" + Narrow(key.name);
        out += kFlags[static_cast<int>(key.flag)] + here + "\n";
        for (const Value& v : key.values) {
            out += "  " + (v.name.empty() ? std::string("@") : Narrow(v.name)) + "=";
            out += v.type == ValueType::kString ? "s:" + Narrow(v.text) : "d:" + std::to_string(v.number);
            out += "\n";
        }
        DumpKeys(key.subkeys, here, out);
    }
}

// One line per key (flag, full path) and one per value, in script order.
std::string Dump(const Script& script) {
    static const char* const kHives[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKCC"};
    std::string out;
    for (const auto& root : script.roots) DumpKeys(root.subkeys, kHives[static_cast<int>(root.hive)], out);
    return out;
}

std::string ParseToDump(const std::wstring& text, const Replacements& replacements = {}) {
    Script script;
    ParseError error;
    if (!registrar::ParseScript(text, replacements, script, error))
        return "error at line " + std::to_string(error.line) + ": " + error.message;
    return Dump(script);
}

TEST(RegistrarScript, BuildsTheKeyTreeWithFlagsDefaultsAndValues) {
    const std::wstring text =
        L"HKCR\n{\n"
        L"\tNoRemove CLSID\n\t{\n"
        L"\t\tForceRemove {5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13} = s 'BrimwellBHO Class'\n\t\t{\n"
        L"\t\t\tForceRemove 'Programmable'\n"
        L"\t\t\tInprocServer32 = s 'C:\\x.dll'\n\t\t\t{\n"
        L"\t\t\t\tval ThreadingModel = s 'Apartment'\n\t\t\t}\n"
        L"\t\t}\n\t}\n}\n"
        L"hkey_current_user { Delete Old { } 'Two Words' { val 'It''s' = d '0x10' val n = d 7 } }\n";
    EXPECT_EQ(
        "NoRemove HKCR\\CLSID\n"
        "ForceRemove HKCR\\CLSID\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}\n"
        "  @=s:BrimwellBHO Class\n"
        "ForceRemove HKCR\\CLSID\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}\\Programmable\n"
        "HKCR\\CLSID\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}\\InprocServer32\n"
        "  @=s:C:\\x.dll\n"
        "  ThreadingModel=s:Apartment\n"
        "Delete HKCU\\Old\n"
        "HKCU\\Two Words\n"
        "  It's=d:16\n"
        "  n=d:7\n",
        ParseToDump(text));
}

TEST(RegistrarScript, KeywordsAreCaseInsensitiveAndQuotedKeywordsAreNames) {
    EXPECT_EQ("NoRemove HKLM\\a\nHKLM\\val\n  @=s:x\nHKLM\\NoRemove\n",
              ParseToDump(L"HKLM { noremove a { } 'val' = S 'x' 'NoRemove' }"));
}

TEST(RegistrarScript, QuotedTextKeepsSpacesBracesAndNewlines) {
    EXPECT_EQ("HKCU\\k\n  v=s:var ZLVX_config ={${1}};\n  w=s:a\nb\n  e=s:\n",
              ParseToDump(L"HKCU { k { val v = s 'var ZLVX_config ={${1}};' val w = s 'a\nb' "
                          L"val e = s '' } }"));
}

TEST(RegistrarReplacements, SubstituteByNameWithoutRegardToCase) {
    Replacements r;
    r[L"Module"] = L"C:\\it''s\\a.dll";  // the caller doubles quotes for quoted text
    r[L"APPID"] = L"{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}";
    EXPECT_EQ("HKCR\\{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}\n  @=s:res://C:\\it's\\a.dll/201\n"
              "  p=s:100%\n",
              ParseToDump(L"HKCR { %AppId% = s 'res://%MODULE%/201' { val p = s '100%%' } }", r));
}

TEST(RegistrarReplacements, ReplacedTextIsNotExpandedAgain) {
    Replacements r;
    r[L"A"] = L"%B%";
    r[L"B"] = L"wrong";
    std::wstring expanded;
    ParseError error;
    ASSERT_TRUE(registrar::ExpandReplacements(L"x%A%y", r, expanded, error));
    EXPECT_EQ(L"x%B%y", expanded);
}

struct MalformedCase {
    const wchar_t* text;
    std::size_t line;
};

const MalformedCase kMalformed[] = {
    {L"HKCR { a", 1},                          // block never closed
    {L"HKCR { a }\n}", 2},                     // stray closing brace
    {L"HKXX { }", 1},                          // unknown hive
    {L"HKCR a { }", 1},                        // hive without its block
    {L"HKCR { val v = s 'x' }", 1},            // value outside any key
    {L"HKCR { k { val v s 'x' } }", 1},        // value without '='
    {L"HKCR { k { val v = s x } }", 1},        // unquoted text
    {L"HKCR { k { val v = d 'x1' } }", 1},     // not a number
    {L"HKCR { k { val v = d '-1' } }", 1},     // signs are not numbers
    {L"HKCR { k { val v = d '4294967296' } }", 1},  // over 32 bits
    {L"HKCR { k { val v = d '0x' } }", 1},     // hex prefix without digits
    {L"HKCR { k { val v = b '00' } }", 1},     // unsupported type
    {L"HKCR { k = }", 1},                      // '=' without a value
    {L"HKCR {\n k = s 'open\n }", 2},          // unterminated quote
    {L"HKCR { a\\b }", 1},                     // two levels in one name
    {L"HKCR { it's }", 1},                     // quote inside a bare name
    {L"HKCR { ForceRemove }", 1},              // flag without a name
    {L"HKCR { k { val = s 'x' } }", 1},        // value without a name
    {L"HKCR { %UNKNOWN% }", 1},                // unknown replacement
    {L"HKCR {\n\n %Module }", 3},              // '%' never closed
};

TEST(RegistrarScript, RefusesMalformedScriptsWithTheirLine) {
    Replacements r;
    r[L"Module"] = L"m";
    for (const MalformedCase& c : kMalformed) {
        SCOPED_TRACE(Narrow(c.text));
        Script script;
        script.roots.resize(1);  // must come back empty
        ParseError error;
        EXPECT_FALSE(registrar::ParseScript(c.text, r, script, error));
        EXPECT_EQ(c.line, error.line);
        EXPECT_FALSE(error.message.empty());
        EXPECT_TRUE(script.roots.empty());
    }
}

// "HKCU {" and then `keys` keys each opening a block inside the one before, one a line.
std::wstring NestedKeys(int keys) {
    std::wstring text = L"HKCU {\n";
    for (int i = 0; i < keys; ++i) text += L"k {\n";
    for (int i = 0; i <= keys; ++i) text += L"}\n";
    return text;
}

// Sixty-four levels of blocks, the hive's own included, are read; one more is refused as
// too deep, at the line after the block that went too deep, and not for any other reason.
TEST(RegistrarScript, RefusesNestingDeeperThanAnyRegistryPath) {
    Script script;
    ParseError error;
    ASSERT_TRUE(registrar::ParseScript(NestedKeys(63), {}, script, error)) << error.message;
    const Key* deepest = &script.roots.at(0).subkeys.at(0);
    for (int level = 1; level < 63; ++level) deepest = &deepest->subkeys.at(0);
    EXPECT_TRUE(deepest->subkeys.empty());

    EXPECT_FALSE(registrar::ParseScript(NestedKeys(64), {}, script, error));
    EXPECT_EQ("keys nested too deeply", error.message);
    EXPECT_EQ(66u, error.line);
    EXPECT_TRUE(script.roots.empty());
}

TEST(RegistrarScript, EmptyScriptIsValidAndDoesNothing) {
    EXPECT_EQ("", ParseToDump(L" \r\n\t"));
}

}  // namespace

// Fuzzes the registrar script parser (the fuzzer's own limits catch hangs and runaway memory):
// a refused script comes back empty with a line and a message, the expansion grows the text at
// most by the longest replacement per "%", and a parsed script, written out again, parses to
// the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "addon/com/registrar_script.h"

namespace registrar {  // where the comparison of vectors of these looks for them

bool operator==(const Value& a, const Value& b) {
    return a.name == b.name && a.type == b.type && a.text == b.text && a.number == b.number;
}

bool operator==(const Key& a, const Key& b) {
    return a.name == b.name && a.flag == b.flag && a.values == b.values && a.subkeys == b.subkeys;
}

bool operator==(const RootBlock& a, const RootBlock& b) {
    return a.hive == b.hive && a.subkeys == b.subkeys;
}

}  // namespace registrar

namespace {

using registrar::Key;
using registrar::RootBlock;
using registrar::Script;
using registrar::Value;
using registrar::ValueType;

// Quoted, with quotes doubled and "%" written "%%", so it reads back as the same text.
std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"'";
    for (wchar_t c : text) {
        if (c == L'\'' || c == L'%') out += c;
        out += c;
    }
    return out + L"'";
}

std::wstring Typed(const Value& value) {
    return value.type == ValueType::kString ? L"s " + Quoted(value.text)
                                            : L"d " + std::to_wstring(value.number);
}

// An unnamed first value as "key = ...", and a block only where one is needed, so that the
// nesting is no deeper than it was.
void WriteKeys(const std::vector<Key>& keys, std::wstring& out) {
    static const wchar_t* const kFlags[] = {L"", L"NoRemove ", L"ForceRemove ", L"Delete "};
    for (const Key& key : keys) {
        out += kFlags[static_cast<int>(key.flag)] + Quoted(key.name);
        std::size_t first = 0;
        if (!key.values.empty() && key.values[0].name.empty()) {
            out += L" = " + Typed(key.values[0]);
            first = 1;
        }
        out += L"\n";
        if (first == key.values.size() && key.subkeys.empty()) continue;
        out += L"{\n";
        for (std::size_t i = first; i < key.values.size(); ++i)
            out += L"val " + Quoted(key.values[i].name) + L" = " + Typed(key.values[i]) + L"\n";
        WriteKeys(key.subkeys, out);
        out += L"}\n";
    }
}

std::wstring Write(const Script& script) {
    static const wchar_t* const kHives[] = {L"HKCR", L"HKCU", L"HKLM", L"HKU", L"HKCC"};
    std::wstring out;
    for (const RootBlock& root : script.roots) {
        out += std::wstring(kHives[static_cast<int>(root.hive)]) + L" {\n";
        WriteKeys(root.subkeys, out);
        out += L"}\n";
    }
    return out;
}

const registrar::Replacements& TheReplacements() {
    static const registrar::Replacements replacements = {
        {L"Module", L"C:\\Program Files\\it''s\\brimwell-addon.dll"},
        {L"Module_Raw", L"C:\\Program Files\\it's\\brimwell-addon.dll"},
        {L"APPID", L"{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}"},
    };
    return replacements;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {  // a byte 0xFF makes the next two one wide character
        if (data[i] == 0xFF && i + 2 < size) {
            text += static_cast<wchar_t>(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        } else {
            text += static_cast<wchar_t>(data[i]);
        }
    }
    const registrar::Replacements& replacements = TheReplacements();
    std::wstring expanded;
    registrar::ParseError error;
    if (registrar::ExpandReplacements(text, replacements, expanded, error) &&
        expanded.size() > text.size() * (1 + replacements.at(L"Module").size()))
        std::abort();

    Script script;
    error = registrar::ParseError();
    if (!registrar::ParseScript(text, replacements, script, error)) {
        if (!script.roots.empty() || error.line == 0 || error.message.empty()) std::abort();
        return 0;
    }
    Script again;
    if (!registrar::ParseScript(Write(script), replacements, again, error) ||
        !(again.roots == script.roots))
        std::abort();
    return 0;
}

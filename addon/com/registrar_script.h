// Registrar scripts: the key tree a registration script describes, fully parsed before any of it
// is applied, so a malformed script changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace registrar {

// NoRemove: kept when unregistering. ForceRemove: deleted with its subtree before it is created,
// and deleted with its subtree when unregistering. Delete: deleted when registering.
enum class KeyFlag { kNone, kNoRemove, kForceRemove, kDelete };
enum class ValueType { kString, kDword };

struct Value {
    std::wstring name;  // empty: the key's unnamed (default) value
    ValueType type = ValueType::kString;
    std::wstring text;  // kString
    std::uint32_t number = 0;  // kDword
};

struct Key {
    std::wstring name;
    KeyFlag flag = KeyFlag::kNone;
    std::vector<Value> values;  // the default value first when the script gives one
    std::vector<Key> subkeys;
};

enum class Hive { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

struct RootBlock {
    Hive hive = Hive::kClassesRoot;
    std::vector<Key> subkeys;
};

struct Script {
    std::vector<RootBlock> roots;
};

struct CaseInsensitiveLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};
// Names are matched without regard to ASCII case: "%MODULE%" finds the replacement "Module".
typedef std::map<std::wstring, std::wstring, CaseInsensitiveLess> Replacements;

struct ParseError {
    std::size_t line = 0;  // 1-based line of the expanded text, 0 when no error
    std::string message;
};

// "%NAME%" => the replacement's text; "%%" => "%". An unknown name or a lone "%" is an error.
bool ExpandReplacements(const std::wstring& text, const Replacements& replacements,
                        std::wstring& expanded, ParseError& error);

// Expands the replacements, then parses the whole script. On failure `script` is left empty.
bool ParseScript(const std::wstring& text, const Replacements& replacements, Script& script,
                 ParseError& error);

}  // namespace registrar

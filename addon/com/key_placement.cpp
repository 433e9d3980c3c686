// Placement of registration keys: the most specific rule wins.
#include "addon/com/key_placement.h"

namespace registrar {
namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// True when `prefix` is `path` itself or a chain of its leading names.
bool Covers(const std::wstring& prefix, const std::wstring& path) {
    if (prefix.size() > path.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (FoldAscii(prefix[i]) != FoldAscii(path[i])) return false;
    return prefix.empty() || prefix.size() == path.size() || path[prefix.size()] == L'\\';
}

}  // namespace

Placement PlacementOf(const std::vector<PlacementRule>& rules, Hive hive, const std::wstring& path) {
    const PlacementRule* best = nullptr;
    for (const PlacementRule& rule : rules) {
        if (rule.hive != hive || !Covers(rule.path, path)) continue;
        if (!best || rule.path.size() > best->path.size()) best = &rule;
    }
    return best ? best->placement : Placement::kOwnView;
}

}  // namespace registrar

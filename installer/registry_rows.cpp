// Walks a parsed registrar script and sorts its keys and values into package rows.
#include "installer/registry_rows.h"

namespace installer {
namespace {

using registrar::Hive;
using registrar::Key;
using registrar::KeyFlag;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    return out;
}

class Collector {
public:
    Collector(const std::vector<registrar::PlacementRule>& rules, PackageRows& out,
              std::string& err)
        : placement(rules), rows(out), error(err) {}

    bool Root(const registrar::RootBlock& root) {
        if (root.hive == Hive::kUsers || root.hive == Hive::kCurrentConfig)
            return Fail(L"", "only HKCR, HKCU and HKLM keys can be authored");
        for (const Key& key : root.subkeys)
            if (!Visit(root.hive, std::wstring(), key)) return false;
        return true;
    }

private:
    bool Visit(Hive hive, const std::wstring& parent, const Key& key) {
        const std::wstring path = parent.empty() ? key.name : parent + L"\\" + key.name;
        if (key.flag == KeyFlag::kDelete) return Fail(path, "a Delete key cannot be authored");
        if (hive == Hive::kCurrentUser && key.flag == KeyFlag::kForceRemove) {
            rows.userKeys.push_back(path);  // removed with everything below it
            return true;
        }
        if (hive != Hive::kCurrentUser && !Add(hive, path, key)) return false;
        for (const Key& subkey : key.subkeys)
            if (!Visit(hive, path, subkey)) return false;
        return true;
    }

    bool Add(Hive hive, const std::wstring& path, const Key& key) {
        // An empty plain key would be created but, unlike unregistering, never removed.
        if (key.flag == KeyFlag::kNone && key.values.empty() && key.subkeys.empty())
            return Fail(path, "an empty key needs ForceRemove to be authored");
        const bool own = registrar::PlacementOf(placement, hive, path) ==
                         registrar::Placement::kOwnView;
        std::vector<RegistryRow>& target = own ? rows.ownView : rows.shared;
        RegistryRow row;
        row.hive = hive;
        row.key = path;
        if (key.flag == KeyFlag::kForceRemove) {
            row.wholeKey = true;
            target.push_back(row);
            row.wholeKey = false;
        }
        for (const registrar::Value& value : key.values) {
            row.value = value;
            target.push_back(row);
        }
        return true;
    }

    bool Fail(const std::wstring& path, const char* message) {
        error = std::string(message) + (path.empty() ? "" : ": " + Narrow(path));
        return false;
    }

    const std::vector<registrar::PlacementRule>& placement;
    PackageRows& rows;
    std::string& error;
};

}  // namespace

bool CollectRows(const registrar::Script& script,
                 const std::vector<registrar::PlacementRule>& placement, PackageRows& rows,
                 std::string& error) {
    Collector collector(placement, rows, error);
    for (const registrar::RootBlock& root : script.roots)
        if (!collector.Root(root)) return false;
    return true;
}

}  // namespace installer

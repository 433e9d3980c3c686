// The registry rows of an installation package, derived from the same registrar scripts that
// the add-on's own registration runs, so that the two cannot drift apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addon/com/key_placement.h"
#include "addon/com/registrar_script.h"

namespace installer {

// One authored row: a value, or (wholeKey) the key itself, which removal deletes with
// everything below it, as unregistering deletes a ForceRemove key.
struct RegistryRow {
    registrar::Hive hive = registrar::Hive::kLocalMachine;
    std::wstring key;   // names below the hive joined with "\"
    bool wholeKey = false;
    registrar::Value value;  // unused for a whole-key row
};

struct PackageRows {
    std::vector<RegistryRow> ownView;  // written by each bitness into its own view
    std::vector<RegistryRow> shared;   // written once per machine (the 64-bit view's copy)
    // Per-user keys that the scripts create and remove (ForceRemove below HKEY_CURRENT_USER).
    // A per-machine package cannot reach other users' hives, so they get no rows; removal
    // deletes them for the user who uninstalls.
    std::vector<std::wstring> userKeys;
};

// Adds the rows of `script`, placed as `placement` says. False, with `error` set, for what
// rows cannot express: a Delete key, an empty key that is not ForceRemove, a hive other than
// HKCR, HKCU and HKLM. `rows` may then hold part of the script.
bool CollectRows(const registrar::Script& script,
                 const std::vector<registrar::PlacementRule>& placement, PackageRows& rows,
                 std::string& error);

}  // namespace installer

// The placement table of the add-on's registration.
#include "addon/com/server_key_placement.h"

namespace com {

const std::vector<registrar::PlacementRule>& ServerKeyPlacement() {
    using registrar::Hive;
    using registrar::Placement;
    static const std::vector<registrar::PlacementRule> rules = {
        {Hive::kClassesRoot, L"", Placement::kShared},
        {Hive::kClassesRoot, L"CLSID", Placement::kOwnView},
        {Hive::kClassesRoot, L"Interface", Placement::kOwnView},
        {Hive::kCurrentUser, L"", Placement::kShared},
        {Hive::kLocalMachine, L"", Placement::kOwnView},
        {Hive::kLocalMachine, L"Software\\Veltrane", Placement::kShared64BitView},
    };
    return rules;
}

}  // namespace com

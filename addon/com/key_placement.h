// Where the keys of a registration live on 64-bit Windows, where a 32-bit and a 64-bit
// registration of the same server sit side by side.
#pragma once

#include <string>
#include <vector>

#include "addon/com/registrar_script.h"

namespace registrar {

enum class Placement {
    kOwnView,         // redirected: each bitness has a copy of its own (CLSID, browser keys)
    kShared,          // stored once by the system for both bitnesses (ProgIDs, AppID, HKCU)
    kShared64BitView  // stored once on purpose: both bitnesses use the 64-bit view
};

// Keys at `path` (names joined with "\") below `hive`, and everything under them.
struct PlacementRule {
    Hive hive;
    std::wstring path;  // empty: the whole hive
    Placement placement;
};

// The placement of the most specific rule covering the key; kOwnView when none does.
// Names match without regard to ASCII case, whole names only: "Software\Vel" covers
// "Software\Vel\X" but not "Software\Veltrane".
Placement PlacementOf(const std::vector<PlacementRule>& rules, Hive hive, const std::wstring& path);

}  // namespace registrar

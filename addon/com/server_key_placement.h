// Where each key of the add-on's registration scripts lives beside the other bitness's.
#pragma once

#include <vector>

#include "addon/com/key_placement.h"

namespace com {

// The class keys, the helper-object key and the browser's Extensions key are per bitness, as
// the platform expects. ProgIDs, the AppID, the type library key and everything under
// HKEY_CURRENT_USER exist once. The machine-wide settings exist once too, in the 64-bit view,
// so that an administrator sets them once for both bitnesses.
const std::vector<registrar::PlacementRule>& ServerKeyPlacement();

}  // namespace com

// Test helper: where the built add-on library is, as a Windows path.
#pragma once

#include <string>

namespace testing_addon {

// The library the build produced (BRIMWELL_ADDON_DLL, a host path), seen through Wine's Z:
// drive when it is a Unix path.
std::wstring BuiltLibraryPath();

}  // namespace testing_addon

// Test helper: where the built add-on library is, as a Windows path.
#pragma once

#include <string>

namespace testing_addon {

// The library the build produced (BRIMWELL_ADDON_DLL, a host path), seen through Wine's Z:
// drive when it is a Unix path.
std::wstring BuiltLibraryPath();

// Runs a command line, waits for it and returns its exit code (or -1 when it cannot start).
long RunAndWait(const std::wstring& commandLine);

}  // namespace testing_addon

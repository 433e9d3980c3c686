// Test helper: what the add-on's registration writes, read back as one sorted listing per
// registry view, and the listing expected of each bitness's registration.
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace testing_registration {

typedef std::set<std::wstring> Lines;

extern const wchar_t kClassKey[];
extern const wchar_t kTypeLibKey[];
extern const wchar_t kInterfaceKey[];
extern const wchar_t kBhoParent[];
extern const wchar_t kMenuExt[];
extern const wchar_t kExtensions[];
extern const wchar_t kSettings[];       // below HKLM (64-bit view) and HKCU
extern const wchar_t kStaleSettings[];  // where a 32-bit copy of the settings would be

// Everything the scripts write: the class, helper-object and Extensions keys as `view` holds
// them (0: this process's own, KEY_WOW64_32KEY, KEY_WOW64_64KEY); the keys shared by both
// bitnesses, the machine-wide settings from the 64-bit view, and a line for any 32-bit copy.
Lines Registered(REGSAM view = 0);

// The keys a registration of `library` writes into its own view.
Lines ClassKeys(const std::wstring& library);
// The keys both bitnesses share; the menu entries name the menu script of `menuLibrary`.
Lines SharedKeys(const std::wstring& menuLibrary);

// Removes a 32-bit copy of the settings that older builds or tests left, so that Registered()
// reports only what the registration under test writes there.
void RemoveStaleSettings();

// The type library's entry of each bitness: "win32" or "win64".
bool TypeLibPlatformRegistered(const wchar_t* platform);

}  // namespace testing_registration

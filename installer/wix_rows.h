// Package rows written as WiX source: RegistryValue elements, and the actions that remove
// the uninstalling user's keys.
#pragma once

#include <string>
#include <vector>

#include "installer/registry_rows.h"

namespace installer {

// Stands for the add-on library's path in expanded script text; each occurrence becomes a
// reference to the installed file, which the installer resolves to its full path.
extern const wchar_t kModuleMarker[];

// Text for a formatted column: "[" and "]" escaped, kModuleMarker => "[#fileId]".
// "a[b]" => "a[\[]b[\]]"; marker + "/201" => "[#dll]/201".
std::wstring FormattedText(const std::wstring& text, const std::wstring& fileId);

// Text for an attribute of WiX source: & < > " escaped for XML, "$" doubled for the
// preprocessor, which reads "${1}" as "{1}".
std::wstring WixAttribute(const std::wstring& text);

// One RegistryValue element per row, one a line, in the order given.
std::wstring RegistryValueElements(const std::vector<RegistryRow>& rows, const std::wstring& fileId);

// A CustomAction per user key: cmd.exe (property CMDEXE) deletes the key with reg.exe unless
// the add-on library (preprocessor variable InstalledAddon) is still there. An upgrade removes
// the old version after installing the new one, whose files stay, so the users' caches are
// kept; failures are ignored, since a user who never used the add-on has no such key.
std::wstring UserKeyRemovalActions(const std::vector<std::wstring>& userKeys);

// Their scheduling after InstallFinalize, on a removal that is not part of an upgrade.
std::wstring UserKeyRemovalSequence(const std::vector<std::wstring>& userKeys);

// Wide text as UTF-8.
std::string Utf8(const std::wstring& text);

}  // namespace installer

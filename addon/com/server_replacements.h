// The replacements the add-on's registration scripts are expanded with.
#pragma once

#include <string>

#include "addon/com/registrar_script.h"

namespace com {

// AppID of the module, as the registration scripts write it.
extern const wchar_t kAppId[];

// "APPID", "Module" (the path with each single quote doubled, for use inside quoted script
// text) and "Module_Raw" (the path unchanged).
registrar::Replacements ServerReplacements(const std::wstring& modulePath);

}  // namespace com

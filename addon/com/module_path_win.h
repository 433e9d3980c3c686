// Full path of a loaded module, however long.
#pragma once

#include <windows.h>

#include <string>

namespace com {

HRESULT ModuleFilePath(HMODULE module, std::wstring& path);

}  // namespace com

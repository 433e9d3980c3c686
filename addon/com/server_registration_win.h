// Registration and unregistration of the server: scripts, type library, thread locale.
#pragma once

#include <windows.h>

#include <string>

#include "addon/com/registrar_script.h"

namespace com {

// Resource id of the module's registration script ("REGISTRY").
constexpr UINT kModuleScriptId = 101;

// Thread locale LOCALE_SYSTEM_DEFAULT while registering; then the module script (101), and
// when it succeeded the class script and the type library from the library's "TYPELIB"
// resource. Keys are placed as ServerKeyPlacement() says. Returns S_OK or the first failure.
HRESULT RegisterServer(HMODULE library, const CLSID& clsid, UINT classScriptId);
// The class script and the type library first; when they succeeded, the module script. When
// the other bitness has `clsid` registered too, the shared keys stay for it.
HRESULT UnregisterServer(HMODULE library, const CLSID& clsid, UINT classScriptId);

}  // namespace com

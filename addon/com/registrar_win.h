// Applies a parsed registrar script to the registry, and runs the scripts held as "REGISTRY"
// resources of a module.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "addon/com/key_placement.h"
#include "addon/com/registrar_script.h"

namespace registrar {

enum class Mode { kRegister, kUnregister };

// Where each hive of a script is applied; tests point every hive at a scratch key.
struct RootMap {
    HKEY classesRoot;
    HKEY currentUser;
    HKEY localMachine;
    HKEY users;
    HKEY currentConfig;
};
RootMap SystemRoots();

// Failure of a script that does not follow the notation; nothing has been applied.
constexpr HRESULT kMalformedScript = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// How keys are placed beside another bitness's registration (see key_placement.h).
struct ApplyOptions {
    std::vector<PlacementRule> placement;  // none: every key in the caller's own view
    // Unregistering while the other bitness stays registered: shared keys and their values
    // stay, and shared text values that name `ownModule` are made to name `otherModule`.
    bool keepShared = false;
    std::wstring ownModule;
    std::wstring otherModule;
};

// Register: keys opened or created, ForceRemove keys recreated, Delete keys removed, values
// written. Unregister: NoRemove keys kept, ForceRemove keys removed with their subtrees, listed
// named values removed, other keys removed once their listed subkeys are done and none remains.
// Keys placed in the 64-bit view are opened there from either bitness. Stops at the first
// failure and returns it.
HRESULT ApplyScript(const Script& script, Mode mode, const RootMap& roots,
                    const ApplyOptions& options = ApplyOptions());

// Parses the text, and applies it only when all of it parsed.
HRESULT RunScriptText(const std::wstring& text, const Replacements& replacements, Mode mode,
                      const RootMap& roots);

// Reads and parses resource `id` of type "REGISTRY" in `module` (UTF-8 or ASCII text).
HRESULT LoadScriptResource(HMODULE module, UINT id, const Replacements& replacements,
                           Script& script);

// Loads resource `id` and applies it only when all of it parsed.
HRESULT RunScriptResource(HMODULE module, UINT id, const Replacements& replacements, Mode mode,
                          const RootMap& roots);

}  // namespace registrar

// Test helper: redirects a loaded module's calls of one imported function, for a scope.
#pragma once

#include <windows.h>

namespace testing_addon {

// Rewrites the module's import address table entry for `function` of `dll` (names compared
// without regard to case for the library); the destructor puts the original back.
class ImportHook {
public:
    ImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool Installed() const { return slot != nullptr; }
    void* Original() const { return original; }

private:
    void** slot = nullptr;
    void* original = nullptr;
};

}  // namespace testing_addon

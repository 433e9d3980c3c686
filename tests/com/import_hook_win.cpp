// Finds a module's import address table entry by library and function name and rewrites it.
#include "tests/com/import_hook_win.h"

#include <cstring>

namespace testing_addon {
namespace {

void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
    BYTE* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name; ++library) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + library->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value) {
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    ::VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

ImportHook::ImportHook(HMODULE module, const char* dll, const char* function, void* replacement)
    : slot(FindImportSlot(module, dll, function)) {
    if (!slot) return;
    original = *slot;
    WriteSlot(slot, replacement);
}

ImportHook::~ImportHook() {
    if (slot) WriteSlot(slot, original);
}

}  // namespace testing_addon

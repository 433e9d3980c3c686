// One owner template for kernel, registry and library handles, one alias per handle kind.
#pragma once

#include <windows.h>

namespace win {

template <class T, void (*CloseFn)(T)>
class UniqueHandle {
public:
    explicit UniqueHandle(T h = T()) : handle(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    T Get() const { return handle; }
    T* Put() { Reset(); return &handle; }  // for out-parameters
    T Detach() { T h = handle; handle = T(); return h; }
    void Reset(T h = T()) {
        if (handle) CloseFn(handle);
        handle = h;
    }
    explicit operator bool() const { return handle != T(); }

private:
    T handle;
};

inline void CloseKey(HKEY key) { ::RegCloseKey(key); }
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
// Not "FreeModule": <winbase.h> defines that name as a macro.
inline void FreeLibraryHandle(HMODULE module) { ::FreeLibrary(module); }

// Wrap only keys we opened, never a predefined root such as HKEY_LOCAL_MACHINE.
typedef UniqueHandle<HKEY, CloseKey> UniqueHKey;
// Handles whose "none" value is null (threads, events, mutexes); not for file handles.
typedef UniqueHandle<HANDLE, CloseKernelHandle> UniqueHandleObject;
typedef UniqueHandle<HMODULE, FreeLibraryHandle> UniqueModule;

}  // namespace win

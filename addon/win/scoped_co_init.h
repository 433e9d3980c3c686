// Enters a COM apartment for the scope; leaves it only when entering succeeded.
#pragma once

#include <objbase.h>

namespace win {

class ScopedCoInit {
public:
    explicit ScopedCoInit(DWORD model = COINIT_APARTMENTTHREADED)
        : result(::CoInitializeEx(nullptr, model)) {}
    ~ScopedCoInit() { if (SUCCEEDED(result)) ::CoUninitialize(); }
    ScopedCoInit(const ScopedCoInit&) = delete;
    ScopedCoInit& operator=(const ScopedCoInit&) = delete;

    HRESULT Result() const { return result; }

private:
    HRESULT result;
};

}  // namespace win

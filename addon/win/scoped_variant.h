// VARIANT owner: VariantClear on exit.
#pragma once

#include <oleauto.h>
#include <windows.h>

namespace win {

class ScopedVariant {
public:
    ScopedVariant() { ::VariantInit(&var); }
    explicit ScopedVariant(long value) {
        ::VariantInit(&var);
        var.vt = VT_I4;
        var.lVal = value;
    }
    // Takes a copy of the text as a VT_BSTR.
    explicit ScopedVariant(const wchar_t* text) {
        ::VariantInit(&var);
        var.vt = VT_BSTR;
        var.bstrVal = ::SysAllocString(text);
    }
    ~ScopedVariant() { ::VariantClear(&var); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    const VARIANT& AsInput() const { return var; }
    VARIANT* Put() { ::VariantClear(&var); return &var; }
    VARIANT* Get() { return &var; }
    VARTYPE Type() const { return var.vt; }

private:
    VARIANT var;
};

}  // namespace win

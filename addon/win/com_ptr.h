// Counted COM interface references: copying AddRefs, destruction releases.
#pragma once

#include <unknwn.h>

#include <utility>

namespace win {

// Tag for taking over a reference that the caller already owns.
struct AdoptTag {};
constexpr AdoptTag kAdopt{};

template <class T>
class ComPtr {
public:
    ComPtr() : ptr(nullptr) {}
    ComPtr(T* p) : ptr(p) { if (ptr) ptr->AddRef(); }  // NOLINT: implicit like a raw pointer
    ComPtr(T* p, AdoptTag) : ptr(p) {}
    ComPtr(const ComPtr& other) : ComPtr(other.ptr) {}
    ComPtr(ComPtr&& other) noexcept : ptr(other.Detach()) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        ComPtr copy(other);
        Swap(copy);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr moved(std::move(other));
        Swap(moved);
        return *this;
    }

    T* Get() const { return ptr; }
    T* operator->() const { return ptr; }
    explicit operator bool() const { return ptr != nullptr; }

    // Out-parameter access; any earlier reference is released first.
    T** Put() { Reset(); return &ptr; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Hands the reference over to the caller; the pointer becomes empty.
    T* Detach() { T* p = ptr; ptr = nullptr; return p; }

    void Reset() {
        T* p = ptr;
        ptr = nullptr;
        if (p) p->Release();
    }
    void Swap(ComPtr& other) noexcept { T* p = ptr; ptr = other.ptr; other.ptr = p; }

    // Asks for another interface; an empty pointer on failure.
    template <class U>
    HRESULT As(ComPtr<U>& out) const {
        if (!ptr) { out.Reset(); return E_POINTER; }
        return ptr->QueryInterface(__uuidof(U), out.PutVoid());
    }
    HRESULT AsIid(REFIID iid, void** out) const {
        if (!ptr) { *out = nullptr; return E_POINTER; }
        return ptr->QueryInterface(iid, out);
    }

private:
    T* ptr;
};

// True when both pointers reach the same COM object (same IUnknown identity).
inline bool SameComObject(IUnknown* a, IUnknown* b) {
    if (!a || !b) return false;
    ComPtr<IUnknown> ua, ub;
    if (FAILED(a->QueryInterface(IID_IUnknown, ua.PutVoid()))) return false;
    if (FAILED(b->QueryInterface(IID_IUnknown, ub.PutVoid()))) return false;
    return ua.Get() == ub.Get();
}

}  // namespace win

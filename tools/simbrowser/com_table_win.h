// Hand-built COM vtables: a few bound methods per interface, every other slot E_NOTIMPL.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>

namespace simbrowser {

class ComObject;

// A success code other than S_OK that the call running on this thread answers once its work
// is done (failure injection sets it; see FailureRule).
HRESULT& PendingSuccessCode();

// Simulated objects alive in the process.
std::size_t LiveComObjects();

// What a client holds as an interface pointer: the vtable, then the object that serves it.
struct ComPart {
    const void* const* vtbl;
    ComObject* owner;
};

// Reference counting and interface lookup shared by every simulated object.
class ComObject {
public:
    ULONG AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs)); }
    ULONG Release() {
        LONG left = ::InterlockedDecrement(&refs);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT QueryInterface(REFIID iid, void** out);
    // Held around every bound method: objects that other threads may call directly share it.
    virtual std::recursive_mutex* CallLock() { return nullptr; }

protected:
    ComObject();
    virtual ~ComObject();
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // Answers one interface (through Give) or E_NOINTERFACE; `out` is already null.
    virtual HRESULT Find(REFIID iid, void** out) = 0;
    // True when the object hands itself to other apartments (the free-threaded marshaler).
    virtual bool FreeThreaded() const { return false; }

    // Hands out one interface of this object with a reference.
    HRESULT Give(ComPart& part, void** out) {
        AddRef();
        *out = &part;
        return S_OK;
    }

private:
    HRESULT QueryMarshaler(void** out);

    volatile LONG refs = 0;
    std::mutex marshalerLock;
    IUnknown* marshaler = nullptr;  // the aggregated free-threaded marshaler, made on first use
};

class SlotTable {
public:
    static constexpr std::size_t kSlots = 256;  // more than the largest interface we serve

    SlotTable();

    // Puts impl into the slot of method; the argument lists must agree. COM methods are
    // __stdcall (the x64 compiler ignores the word: it has one calling convention).
    template <class I, class R, class... A>
    SlotTable& Bind(R (__stdcall I::*method)(A...), R(__stdcall* impl)(ComPart*, A...)) {
        slots.at(SlotOf(method)) = reinterpret_cast<const void*>(impl);
        return *this;
    }
    const void* const* Slots() const { return slots.data(); }

private:
    // A pointer to a virtual member holds 1 + the byte offset of its vtable slot (g++ ABI).
    template <class M>
    static std::size_t SlotOf(M method) {
        struct Representation {
            std::uintptr_t ptr;
            std::ptrdiff_t adjust;
        };
        static_assert(sizeof(M) == sizeof(Representation), "unexpected member pointer layout");
        Representation r;
        std::memcpy(&r, &method, sizeof r);
        if ((r.ptr & 1) == 0) throw std::logic_error("not a virtual member");
        return (r.ptr - 1) / sizeof(void*);
    }

    std::array<const void*, kSlots> slots;
};

// Turns a member function of the serving class into a vtable entry.
template <class C, class M, M method>
struct Forward;
template <class C, class... A, HRESULT (C::*method)(A...)>
struct Forward<C, HRESULT (C::*)(A...), method> {
    static HRESULT __stdcall Call(ComPart* part, A... args) {
        std::unique_lock<std::recursive_mutex> hold;
        if (std::recursive_mutex* lock = part->owner->CallLock())
            hold = std::unique_lock<std::recursive_mutex>(*lock);
        try {
            PendingSuccessCode() = S_OK;
            HRESULT hr = (static_cast<C*>(part->owner)->*method)(args...);
            if (hr == S_OK) hr = PendingSuccessCode();
            PendingSuccessCode() = S_OK;
            return hr;
        } catch (const std::bad_alloc&) {  // no exception crosses a COM entry point
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }
};

}  // namespace simbrowser

// Binds Iface::name to the member of the same name in Class.
#define SIMBROWSER_BIND(Iface, Class, name) \
    Bind(&Iface::name, &::simbrowser::Forward<Class, decltype(&Class::name), &Class::name>::Call)

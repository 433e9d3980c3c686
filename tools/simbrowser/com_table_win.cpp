// The shared slots of every hand-built vtable: IUnknown forwarded, the rest E_NOTIMPL.
#include "tools/simbrowser/com_table_win.h"

#include <atomic>
#include <cstdio>
#include <utility>

namespace simbrowser {
namespace {

std::atomic<std::size_t> liveObjects{0};

HRESULT __stdcall PartQueryInterface(ComPart* part, REFIID iid, void** out) {
    return part->owner->QueryInterface(iid, out);
}
ULONG __stdcall PartAddRef(ComPart* part) {
    return part->owner->AddRef();
}
ULONG __stdcall PartRelease(ComPart* part) {
    return part->owner->Release();
}

#ifdef _WIN64
// The caller cleans the stack, so one stub answers every unbound slot whatever its arguments.
HRESULT NotImplemented(ComPart*) {
    return E_NOTIMPL;
}
void FillUnbound(std::array<const void*, SlotTable::kSlots>& slots) {
    slots.fill(reinterpret_cast<const void*>(&NotImplemented));
}
#else
// __stdcall: the callee removes its arguments, which a stub that does not know them cannot
// do. An unbound slot therefore ends the process, naming the slot, rather than return with
// the caller's stack out of place.
constexpr UINT kUnboundSlotExitCode = 0xE0B0B001;
template <std::size_t N>
HRESULT Unbound(ComPart*) {
    std::fprintf(stderr, "simulated browser: unbound vtable slot %u called\n", static_cast<unsigned>(N));
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), kUnboundSlotExitCode);
    return E_NOTIMPL;
}
template <std::size_t... N>
void FillUnboundSlots(std::array<const void*, SlotTable::kSlots>& slots, std::index_sequence<N...>) {
    ((slots[N] = reinterpret_cast<const void*>(&Unbound<N>)), ...);
}
void FillUnbound(std::array<const void*, SlotTable::kSlots>& slots) {
    FillUnboundSlots(slots, std::make_index_sequence<SlotTable::kSlots>());
}
#endif

}  // namespace

HRESULT& PendingSuccessCode() {
    thread_local HRESULT code = S_OK;
    return code;
}

std::size_t LiveComObjects() { return liveObjects.load(); }

ComObject::ComObject() { ++liveObjects; }

ComObject::~ComObject() {
    if (marshaler) marshaler->Release();
    --liveObjects;
}

HRESULT ComObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IMarshal && FreeThreaded()) return QueryMarshaler(out);
    return Find(iid, out);
}

HRESULT ComObject::QueryMarshaler(void** out) {
    std::lock_guard<std::mutex> hold(marshalerLock);
    if (!marshaler) {
        IUnknown* self = nullptr;
        HRESULT hr = Find(IID_IUnknown, reinterpret_cast<void**>(&self));
        if (FAILED(hr)) return hr;
        // The marshaler keeps its outer object without a reference, as aggregation wants.
        hr = ::CoCreateFreeThreadedMarshaler(self, &marshaler);
        self->Release();
        if (FAILED(hr)) return hr;
    }
    return marshaler->QueryInterface(IID_IMarshal, out);
}

SlotTable::SlotTable() {
    FillUnbound(slots);
    slots[0] = reinterpret_cast<const void*>(&PartQueryInterface);
    slots[1] = reinterpret_cast<const void*>(&PartAddRef);
    slots[2] = reinterpret_cast<const void*>(&PartRelease);
}

}  // namespace simbrowser

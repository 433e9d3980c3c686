// The shared slots of every hand-built vtable: IUnknown forwarded, the rest E_NOTIMPL.
#include "tools/simbrowser/com_table_win.h"

#include <atomic>

namespace simbrowser {
namespace {

std::atomic<std::size_t> liveObjects{0};

HRESULT PartQueryInterface(ComPart* part, REFIID iid, void** out) {
    return part->owner->QueryInterface(iid, out);
}
ULONG PartAddRef(ComPart* part) {
    return part->owner->AddRef();
}
ULONG PartRelease(ComPart* part) {
    return part->owner->Release();
}
HRESULT NotImplemented(ComPart*) {
    return E_NOTIMPL;
}

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
    slots.fill(reinterpret_cast<const void*>(&NotImplemented));
    slots[0] = reinterpret_cast<const void*>(&PartQueryInterface);
    slots[1] = reinterpret_cast<const void*>(&PartAddRef);
    slots[2] = reinterpret_cast<const void*>(&PartRelease);
}

}  // namespace simbrowser

// The shared slots of every hand-built vtable: IUnknown forwarded, the rest E_NOTIMPL.
#include "tools/simbrowser/com_table_win.h"

namespace simbrowser {
namespace {

HRESULT PartQueryInterface(ComPart* part, REFIID iid, void** out) {
    return part->owner->QueryInterface(iid, out);
}
ULONG PartAddRef(ComPart* part) { return part->owner->AddRef(); }
ULONG PartRelease(ComPart* part) { return part->owner->Release(); }
HRESULT NotImplemented(ComPart*) { return E_NOTIMPL; }

}  // namespace

SlotTable::SlotTable() {
    slots.fill(reinterpret_cast<const void*>(&NotImplemented));
    slots[0] = reinterpret_cast<const void*>(&PartQueryInterface);
    slots[1] = reinterpret_cast<const void*>(&PartAddRef);
    slots[2] = reinterpret_cast<const void*>(&PartRelease);
}

}  // namespace simbrowser

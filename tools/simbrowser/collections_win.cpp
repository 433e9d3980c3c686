// The frames collection of a page and the element collection handed out for its scripts.
#include "tools/simbrowser/sim_objects_win.h"

#include "addon/win/scoped_variant.h"

namespace simbrowser {
namespace {

const SlotTable& FramesTable() {
    static const SlotTable table =
        SlotTable()
            .SIMBROWSER_BIND(IHTMLFramesCollection2, FramesObject, item)
            .SIMBROWSER_BIND(IHTMLFramesCollection2, FramesObject, get_length);
    return table;
}

const SlotTable& CollectionTable() {
    static const SlotTable table =
        SlotTable()
            .SIMBROWSER_BIND(IHTMLElementCollection, CollectionObject, get_length)
            .SIMBROWSER_BIND(IHTMLElementCollection, CollectionObject, item);
    return table;
}

// The numeric index a VARIANT holds; false when it holds none.
bool IndexOf(const VARIANT& index, LONG* value) {
    win::ScopedVariant number;
    if (FAILED(::VariantChangeType(number.Put(), const_cast<VARIANT*>(&index), 0, VT_I4)))
        return false;
    *value = number.Get()->lVal;
    return true;
}

}  // namespace

FramesObject::FramesObject(std::shared_ptr<PageLink> link)
    : SimObject(std::move(link)), part{FramesTable().Slots(), this} {}

HRESULT FramesObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IHTMLFramesCollection2))
        return Give(part, out);
    return E_NOINTERFACE;
}

HRESULT FramesObject::item(VARIANT* index, VARIANT* result) {
    if (!index) return E_POINTER;
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kFramesItem, result, hr)) return hr;
    // Frame i as a VARIANT holding the frame window's IDispatch.
    Page& page = OwnPage();
    LONG i = 0;
    if (!IndexOf(*index, &i) || i < 0 || static_cast<std::size_t>(i) >= page.FrameCount())
        return E_INVALIDARG;
    result->vt = VT_DISPATCH;
    return HandOut<IDispatch>(page.Frame(static_cast<std::size_t>(i)).WindowObj().Interface(),
                              &result->pdispVal);
}

HRESULT FramesObject::get_length(LONG* length) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kFramesGetLength, length, hr)) return hr;
    *length = static_cast<LONG>(OwnPage().FrameCount());
    return S_OK;
}

CollectionObject::CollectionObject(std::shared_ptr<PageLink> link,
                                   std::vector<win::ComPtr<ElementObject>> items)
    : SimObject(std::move(link)), part{CollectionTable().Slots(), this}, items(std::move(items)) {}

HRESULT CollectionObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IHTMLElementCollection))
        return Give(part, out);
    return E_NOINTERFACE;
}

HRESULT CollectionObject::get_length(LONG* length) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kCollectionGetLength, length, hr)) return hr;
    *length = static_cast<LONG>(items.size());
    return S_OK;
}

// Element `name` (a number); like the DOM, an index out of range is S_OK with nothing.
HRESULT CollectionObject::item(VARIANT name, VARIANT /*index*/, IDispatch** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kCollectionItem, out, hr)) return hr;
    LONG i = 0;
    if (!IndexOf(name, &i) || i < 0 || static_cast<std::size_t>(i) >= items.size()) return S_OK;
    return items[static_cast<std::size_t>(i)]->QueryInterface(IID_IDispatch,
                                                              reinterpret_cast<void**>(out));
}

}  // namespace simbrowser

// The window of a page: its document (denied across security domains), its frames, its
// HTMLWindowEvents2 connection point, and the frame's browser as a service.
#include "tools/simbrowser/sim_objects_win.h"

#include <shlguid.h>

namespace simbrowser {
namespace {

const SlotTable& WindowTable() {
    static const SlotTable table = SlotTable()
                                       .SIMBROWSER_BIND(IHTMLWindow2, WindowObject, item)
                                       .SIMBROWSER_BIND(IHTMLWindow2, WindowObject, get_length)
                                       .SIMBROWSER_BIND(IHTMLWindow2, WindowObject, get_document);
    return table;
}

const SlotTable& WindowContainerTable() {
    static const SlotTable table =
        SlotTable().SIMBROWSER_BIND(IConnectionPointContainer, WindowObject, FindConnectionPoint);
    return table;
}

const SlotTable& WindowServiceTable() {
    // QueryService is overloaded (a typed template helper), so its slot is named by type.
    using Slot = HRESULT (STDMETHODCALLTYPE IServiceProvider::*)(REFGUID, REFIID, void**);
    static const SlotTable table =
        SlotTable().Bind(static_cast<Slot>(&IServiceProvider::QueryService),
                         &Forward<WindowObject, decltype(&WindowObject::QueryService),
                                  &WindowObject::QueryService>::Call);
    return table;
}

}  // namespace

WindowObject::WindowObject(std::shared_ptr<PageLink> link)
    : SimObject(std::move(link)),
      windowPart{WindowTable().Slots(), this},
      containerPart{WindowContainerTable().Slots(), this},
      servicePart{WindowServiceTable().Slots(), this} {}

HRESULT WindowObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IHTMLFramesCollection2) ||
        iid == __uuidof(IHTMLWindow2))
        return Give(windowPart, out);
    if (iid == __uuidof(IConnectionPointContainer)) return Give(containerPart, out);
    if (iid == __uuidof(IServiceProvider)) return Give(servicePart, out);
    return E_NOINTERFACE;
}

HRESULT WindowObject::get_document(IHTMLDocument2** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kWindowGetDocument, out, hr)) return hr;
    if (OwnPage().CrossDomain()) return E_ACCESSDENIED;
    return HandOut(OwnPage().DocumentObj().Interface(), out);
}

// A window is the collection of its frames.
HRESULT WindowObject::item(VARIANT* index, VARIANT* result) {
    if (!link->page) return RPC_E_DISCONNECTED;
    return OwnPage().FramesObj().item(index, result);
}

HRESULT WindowObject::get_length(LONG* length) {
    if (!link->page) return RPC_E_DISCONNECTED;
    return OwnPage().FramesObj().get_length(length);
}

HRESULT WindowObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kFindConnectionPoint, out, hr)) return hr;
    if (iid != kHtmlWindowEvents2) return CONNECT_E_NOCONNECTION;
    return HandOut(OwnPage().WindowEvents().Interface(), out);
}

HRESULT WindowObject::QueryService(REFGUID service, REFIID iid, void** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kQueryService, out, hr)) return hr;
    if (service != SID_SWebBrowserApp) return E_NOINTERFACE;
    return OwnPage().BrowserObj().QueryInterface(iid, out);
}

}  // namespace simbrowser

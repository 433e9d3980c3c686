// The browser object of a page (IWebBrowser2) and its DWebBrowserEvents2 connection point.
#include "tools/simbrowser/sim_objects_win.h"

#include <exdispid.h>

namespace simbrowser {
namespace {

const SlotTable& BrowserTable() {
    static const SlotTable table =
        SlotTable()
            .SIMBROWSER_BIND(IWebBrowser2, BrowserObject, get_Document)
            .SIMBROWSER_BIND(IWebBrowser2, BrowserObject, get_LocationURL);
    return table;
}

const SlotTable& BrowserContainerTable() {
    static const SlotTable table =
        SlotTable().SIMBROWSER_BIND(IConnectionPointContainer, BrowserObject, FindConnectionPoint);
    return table;
}

}  // namespace

BrowserObject::BrowserObject(std::shared_ptr<PageLink> link)
    : SimObject(std::move(link)),
      browserPart{BrowserTable().Slots(), this},
      containerPart{BrowserContainerTable().Slots(), this} {}

HRESULT BrowserObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IWebBrowser) ||
        iid == __uuidof(IWebBrowserApp) || iid == __uuidof(IWebBrowser2))
        return Give(browserPart, out);
    if (iid == __uuidof(IConnectionPointContainer)) return Give(containerPart, out);
    return E_NOINTERFACE;
}

HRESULT BrowserObject::get_Document(IDispatch** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetDocument, out, hr)) return hr;
    return OwnPage().DocumentObj().QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT BrowserObject::get_LocationURL(BSTR* out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetLocationUrl, out, hr)) return hr;
    return CopyText(OwnPage().Url(), out);
}

HRESULT BrowserObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kFindConnectionPoint, out, hr)) return hr;
    if (iid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    return HandOut(OwnPage().BrowserEvents().Interface(), out);
}

}  // namespace simbrowser

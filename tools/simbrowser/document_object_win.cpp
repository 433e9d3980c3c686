// The document of a page (IHTMLDocument2): URL, ready state, window, frames, scripts, body
// and new elements.
#include "tools/simbrowser/sim_objects_win.h"

namespace simbrowser {
namespace {

const SlotTable& DocumentTable() {
    static const SlotTable table =
        SlotTable()
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, get_readyState)
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, get_parentWindow)
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, get_frames)
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, get_URL)
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, get_scripts)
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, get_body)
            .SIMBROWSER_BIND(IHTMLDocument2, DocumentObject, createElement);
    return table;
}

}  // namespace

DocumentObject::DocumentObject(std::shared_ptr<PageLink> link)
    : SimObject(std::move(link)), documentPart{DocumentTable().Slots(), this} {}

HRESULT DocumentObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IHTMLDocument) ||
        iid == __uuidof(IHTMLDocument2))
        return Give(documentPart, out);
    return E_NOINTERFACE;
}

HRESULT DocumentObject::get_readyState(BSTR* out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetReadyState, out, hr)) return hr;
    return CopyText(OwnPage().ReadyState(), out);
}

HRESULT DocumentObject::get_parentWindow(IHTMLWindow2** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetParentWindow, out, hr)) return hr;
    return HandOut(OwnPage().WindowObj().Interface(), out);
}

HRESULT DocumentObject::get_frames(IHTMLFramesCollection2** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetFrames, out, hr)) return hr;
    return HandOut(OwnPage().FramesObj().Interface(), out);
}

HRESULT DocumentObject::get_URL(BSTR* out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetUrl, out, hr)) return hr;
    return CopyText(OwnPage().Url(), out);
}

// The scripts as they stand now: those the page came with, then those appended to the body.
HRESULT DocumentObject::get_scripts(IHTMLElementCollection** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetScripts, out, hr)) return hr;
    std::vector<win::ComPtr<ElementObject>> scripts(OwnPage().HeadScripts());
    if (ElementObject* body = OwnPage().Body()) body->CollectScripts(scripts);
    win::ComPtr<CollectionObject> collection(new CollectionObject(link, std::move(scripts)));
    return collection->QueryInterface(__uuidof(IHTMLElementCollection),
                                      reinterpret_cast<void**>(out));
}

HRESULT DocumentObject::get_body(IHTMLElement** out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetBody, out, hr)) return hr;
    ElementObject* body = OwnPage().Body();
    return body ? HandOut(body->Interface(), out) : S_OK;
}

HRESULT DocumentObject::createElement(BSTR tag, IHTMLElement** out) {
    std::wstring name = TextOf(tag);
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kCreateElement, out, hr, name)) return hr;
    if (name.empty()) return E_INVALIDARG;
    win::ComPtr<ElementObject> element(new ElementObject(link, name));
    OwnPage().Adopt(element.Get());
    return HandOut(element->Interface(), out);
}

}  // namespace simbrowser

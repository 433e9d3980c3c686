// The depth-first walk over a document's frames, and the way into cross-domain frames.
#include "addon/pipeline/document_walk_win.h"

#include <exdisp.h>
#include <servprov.h>

#include "addon/win/scoped_variant.h"

namespace {

win::ComPtr<IHTMLDocument2> FrameDocument(IHTMLFramesCollection2* frames, long index) {
    win::ScopedVariant which(index), frame;
    if (FAILED(frames->item(const_cast<VARIANT*>(&which.AsInput()), frame.Put())))
        return win::ComPtr<IHTMLDocument2>();
    VARIANT* value = frame.Get();
    if ((value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN) || !value->punkVal)
        return win::ComPtr<IHTMLDocument2>();
    win::ComPtr<IHTMLWindow2> window;
    if (FAILED(value->punkVal->QueryInterface(IID_IHTMLWindow2, window.PutVoid())) || !window)
        return win::ComPtr<IHTMLDocument2>();
    win::ComPtr<IHTMLDocument2> document;
    if (window->get_document(document.Put()) == E_ACCESSDENIED)
        document = DocumentFromWindow(window.Get());
    return document;
}

}  // namespace

void WalkDocument(IHTMLDocument2* document, const DocumentAction& action) {
    if (!document) return;
    action(document);
    win::ComPtr<IHTMLFramesCollection2> frames;
    if (FAILED(document->get_frames(frames.Put())) || !frames) return;
    long count = 0;
    if (FAILED(frames->get_length(&count))) return;
    for (long i = 0; i < count; ++i) {
        win::ComPtr<IHTMLDocument2> frameDocument = FrameDocument(frames.Get(), i);
        if (frameDocument) WalkDocument(frameDocument.Get(), action);
    }
}

win::ComPtr<IHTMLDocument2> DocumentFromWindow(IHTMLWindow2* window) {
    win::ComPtr<IHTMLDocument2> document;
    if (!window) return document;
    if (window->get_document(document.Put()) == S_OK && document) return document;
    document.Reset();
    win::ComPtr<IServiceProvider> provider;
    win::ComPtr<IWebBrowser2> frameBrowser;
    if (FAILED(window->QueryInterface(IID_IServiceProvider, provider.PutVoid())) || !provider ||
        FAILED(provider->QueryService(IID_IWebBrowserApp, IID_IWebBrowser2,
                                      frameBrowser.PutVoid())) ||
        !frameBrowser)
        return document;
    win::ComPtr<IDispatch> dispatch;
    if (FAILED(frameBrowser->get_Document(dispatch.Put())) || !dispatch) return document;
    dispatch->QueryInterface(IID_IHTMLDocument2, document.PutVoid());
    return document;
}

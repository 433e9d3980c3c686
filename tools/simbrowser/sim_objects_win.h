// The simulated browser's COM objects; each serves its interfaces through hand-built vtables.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <servprov.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "addon/win/com_ptr.h"
#include "tools/simbrowser/com_table_win.h"
#include "tools/simbrowser/sim_browser_win.h"

namespace simbrowser {

// Shared by a page and every object it hands out; the page clears it when it goes, after
// which the objects answer RPC_E_DISCONNECTED.
struct PageLink {
    Page* page;
    std::shared_ptr<std::recursive_mutex> treeLock;
    bool freeThreaded;
};

class SimObject : public ComObject {
protected:
    explicit SimObject(std::shared_ptr<PageLink> link) : link(std::move(link)) {}

    // Journals the call; false with `result` set when the page is gone or a rule injects it.
    bool Enter(Op op, HRESULT& result, const std::wstring& tag = std::wstring());
    // The same for an operation with one result: the result is cleared first.
    template <class T>
    bool EnterWithResult(Op op, T* out, HRESULT& result, const std::wstring& tag = std::wstring()) {
        if (!out) {
            result = E_POINTER;
            return false;
        }
        *out = T();
        return Enter(op, result, tag);
    }
    Page& OwnPage() const { return *link->page; }
    std::recursive_mutex* CallLock() override { return link->treeLock.get(); }
    bool FreeThreaded() const override { return link->freeThreaded; }

    std::shared_ptr<PageLink> link;
};

HRESULT CopyText(const std::wstring& text, BSTR* out);
// Hands out one more reference to an interface of ours.
template <class I>
HRESULT HandOut(I* iface, I** out) {
    iface->AddRef();
    *out = iface;
    return S_OK;
}
std::wstring TextOf(BSTR text);

class ConnectionPointObject : public SimObject {
public:
    ConnectionPointObject(std::shared_ptr<PageLink> link, REFIID events, ComPart& container);
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT GetConnectionInterface(IID* iid);
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** out);
    HRESULT Advise(IUnknown* sink, DWORD* cookie);
    HRESULT Unadvise(DWORD cookie);

    std::vector<win::ComPtr<IDispatch>> Sinks() const;
    std::size_t SinkCount() const;
    void Clear();  // drops every connection, releasing the sinks
    IConnectionPoint* Interface() { return reinterpret_cast<IConnectionPoint*>(&part); }

private:
    IID events;
    ComPart* container;  // lives as long as the page, like this object
    ComPart part;
    DWORD nextCookie;
    std::vector<std::pair<DWORD, win::ComPtr<IDispatch>>> sinks;
};

class BrowserObject : public SimObject {
public:
    explicit BrowserObject(std::shared_ptr<PageLink> link);
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT get_Document(IDispatch** out);
    HRESULT get_LocationURL(BSTR* out);
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out);

    IWebBrowser2* Interface() { return reinterpret_cast<IWebBrowser2*>(&browserPart); }
    ComPart& ContainerPart() { return containerPart; }

private:
    ComPart browserPart;
    ComPart containerPart;
};

class WindowObject : public SimObject {
public:
    explicit WindowObject(std::shared_ptr<PageLink> link);
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT get_document(IHTMLDocument2** out);
    HRESULT item(VARIANT* index, VARIANT* result);
    HRESULT get_length(LONG* length);
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out);
    HRESULT QueryService(REFGUID service, REFIID iid, void** out);

    IHTMLWindow2* Interface() { return reinterpret_cast<IHTMLWindow2*>(&windowPart); }
    ComPart& ContainerPart() { return containerPart; }

private:
    ComPart windowPart;
    ComPart containerPart;
    ComPart servicePart;
};

class DocumentObject : public SimObject {
public:
    explicit DocumentObject(std::shared_ptr<PageLink> link);
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT get_readyState(BSTR* out);
    HRESULT get_parentWindow(IHTMLWindow2** out);
    HRESULT get_frames(IHTMLFramesCollection2** out);
    HRESULT get_URL(BSTR* out);
    HRESULT get_scripts(IHTMLElementCollection** out);
    HRESULT get_body(IHTMLElement** out);
    HRESULT createElement(BSTR tag, IHTMLElement** out);

    IHTMLDocument2* Interface() { return reinterpret_cast<IHTMLDocument2*>(&documentPart); }

private:
    ComPart documentPart;
};

// The frames of a page, as its document's get_frames hands them out.
class FramesObject : public SimObject {
public:
    explicit FramesObject(std::shared_ptr<PageLink> link);
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT item(VARIANT* index, VARIANT* result);
    HRESULT get_length(LONG* length);

    IHTMLFramesCollection2* Interface() { return reinterpret_cast<IHTMLFramesCollection2*>(&part); }

private:
    ComPart part;
};

// A fixed list of elements (the document's scripts when asked).
class CollectionObject : public SimObject {
public:
    CollectionObject(std::shared_ptr<PageLink> link, std::vector<win::ComPtr<ElementObject>> items);
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT get_length(LONG* length);
    HRESULT item(VARIANT name, VARIANT index, IDispatch** out);

    IHTMLElementCollection* Interface() { return reinterpret_cast<IHTMLElementCollection*>(&part); }

private:
    ComPart part;
    std::vector<win::ComPtr<ElementObject>> items;
};

class ElementObject : public SimObject {
public:
    ElementObject(std::shared_ptr<PageLink> link, const std::wstring& tag);
    ~ElementObject() override;
    HRESULT Find(REFIID iid, void** out) override;

    HRESULT setAttribute(BSTR name, VARIANT value, LONG flags);
    HRESULT get_src(BSTR* out);
    HRESULT put_text(BSTR text);
    HRESULT put_type(BSTR type);
    HRESULT appendChild(IHTMLDOMNode* child, IHTMLDOMNode** out);

    IHTMLElement* Interface() { return reinterpret_cast<IHTMLElement*>(&elementPart); }
    const std::wstring& Tag() const { return tag; }
    bool IsScript() const;
    void SetAttribute(const std::wstring& name, const std::wstring& value);
    std::wstring Attribute(const std::wstring& name) const;
    ElementSnapshot Snapshot() const;
    // Script elements of this subtree, this one first, in document order.
    void CollectScripts(std::vector<win::ComPtr<ElementObject>>& found);
    // The element behind a node pointer, when it is one of ours (in this apartment).
    static ElementObject* FromNode(IHTMLDOMNode* node);

private:
    void Detach(ElementObject* child);

    ComPart elementPart;
    ComPart scriptPart;
    ComPart nodePart;
    std::wstring tag;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::wstring text;
    std::vector<win::ComPtr<ElementObject>> children;
    ElementObject* parent;  // the parent holds us; it clears this when it goes or lets us go
};

}  // namespace simbrowser

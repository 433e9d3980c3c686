// An element of a simulated page: attributes, script text, and children appended in order.
#include "tools/simbrowser/sim_objects_win.h"

#include <wchar.h>

#include "addon/win/scoped_variant.h"

namespace simbrowser {
namespace {

const SlotTable& ElementTable() {
    static const SlotTable table =
        SlotTable().SIMBROWSER_BIND(IHTMLElement, ElementObject, setAttribute);
    return table;
}

const SlotTable& ScriptTable() {
    static const SlotTable table =
        SlotTable()
            .SIMBROWSER_BIND(IHTMLScriptElement, ElementObject, get_src)
            .SIMBROWSER_BIND(IHTMLScriptElement, ElementObject, put_text)
            .SIMBROWSER_BIND(IHTMLScriptElement, ElementObject, put_type);
    return table;
}

const SlotTable& NodeTable() {
    static const SlotTable table =
        SlotTable().SIMBROWSER_BIND(IHTMLDOMNode, ElementObject, appendChild);
    return table;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::_wcsicmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

ElementObject::ElementObject(std::shared_ptr<PageLink> link, const std::wstring& tag)
    : SimObject(std::move(link)),
      elementPart{ElementTable().Slots(), this},
      scriptPart{ScriptTable().Slots(), this},
      nodePart{NodeTable().Slots(), this},
      tag(tag),
      parent(nullptr) {}

ElementObject::~ElementObject() {
    for (const auto& child : children) child->parent = nullptr;
}

HRESULT ElementObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IHTMLElement))
        return Give(elementPart, out);
    HRESULT hr = S_OK;
    if (iid == __uuidof(IHTMLScriptElement)) {
        if (!Enter(Op::kQueryScriptElement, hr, tag)) return hr;
        return IsScript() ? Give(scriptPart, out) : E_NOINTERFACE;
    }
    if (iid == __uuidof(IHTMLDOMNode)) {
        if (!Enter(Op::kQueryDomNode, hr, tag)) return hr;
        return Give(nodePart, out);
    }
    return E_NOINTERFACE;
}

HRESULT ElementObject::setAttribute(BSTR name, VARIANT value, LONG /*flags*/) {
    HRESULT hr = S_OK;
    if (!Enter(Op::kSetAttribute, hr, tag)) return hr;
    if (::SysStringLen(name) == 0) return E_INVALIDARG;
    win::ScopedVariant text;
    if (FAILED(::VariantChangeType(text.Put(), &value, 0, VT_BSTR))) return E_INVALIDARG;
    SetAttribute(TextOf(name), TextOf(text.Get()->bstrVal));
    return S_OK;
}

HRESULT ElementObject::get_src(BSTR* out) {
    HRESULT hr = S_OK;
    if (!EnterWithResult(Op::kGetSrc, out, hr, tag)) return hr;
    return CopyText(Attribute(L"src"), out);
}

HRESULT ElementObject::put_text(BSTR value) {
    HRESULT hr = S_OK;
    if (!Enter(Op::kPutText, hr, tag)) return hr;
    text = TextOf(value);
    return S_OK;
}

HRESULT ElementObject::put_type(BSTR value) {
    HRESULT hr = S_OK;
    if (!Enter(Op::kPutType, hr, tag)) return hr;
    SetAttribute(L"type", TextOf(value));
    return S_OK;
}

HRESULT ElementObject::appendChild(IHTMLDOMNode* node, IHTMLDOMNode** out) {
    if (out) *out = nullptr;
    if (!node) return E_INVALIDARG;
    ElementObject* child = FromNode(node);
    HRESULT hr = S_OK;
    if (!Enter(Op::kAppendChild, hr, child ? child->tag : std::wstring())) return hr;
    if (!child) return E_INVALIDARG;
    for (ElementObject* above = this; above; above = above->parent)
        if (above == child) return E_INVALIDARG;  // would put the node inside itself
    win::ComPtr<ElementObject> held(child);
    if (child->parent) child->parent->Detach(child);  // the DOM moves a node that has a parent
    children.push_back(held);
    child->parent = this;
    if (out) child->Give(child->nodePart, reinterpret_cast<void**>(out));
    return S_OK;
}

bool ElementObject::IsScript() const {
    return SameName(tag, L"script");
}

void ElementObject::SetAttribute(const std::wstring& name, const std::wstring& value) {
    for (auto& attribute : attributes) {
        if (SameName(attribute.first, name)) {
            attribute.second = value;
            return;
        }
    }
    attributes.emplace_back(name, value);
}

std::wstring ElementObject::Attribute(const std::wstring& name) const {
    for (const auto& attribute : attributes)
        if (SameName(attribute.first, name)) return attribute.second;
    return std::wstring();
}

ElementSnapshot ElementObject::Snapshot() const {
    ElementSnapshot snapshot{tag, attributes, text, {}};
    for (const auto& child : children) snapshot.children.push_back(child->Snapshot());
    return snapshot;
}

void ElementObject::CollectScripts(std::vector<win::ComPtr<ElementObject>>& found) {
    if (IsScript()) found.emplace_back(this);
    for (const auto& child : children) child->CollectScripts(found);
}

ElementObject* ElementObject::FromNode(IHTMLDOMNode* node) {
    ComPart* part = reinterpret_cast<ComPart*>(node);
    if (part->vtbl != NodeTable().Slots()) return nullptr;  // someone else's node, or a proxy
    return static_cast<ElementObject*>(part->owner);
}

void ElementObject::Detach(ElementObject* child) {
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (it->Get() != child) continue;
        child->parent = nullptr;
        children.erase(it);
        return;
    }
}

std::wstring ElementSnapshot::Attribute(const std::wstring& name) const {
    for (const auto& attribute : attributes)
        if (SameName(attribute.first, name)) return attribute.second;
    return std::wstring();
}

bool ElementSnapshot::HasAttribute(const std::wstring& name) const {
    for (const auto& attribute : attributes)
        if (SameName(attribute.first, name)) return true;
    return false;
}

}  // namespace simbrowser

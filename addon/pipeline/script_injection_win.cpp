// The two script elements put into a matching document, and the check for an earlier injection.
#include "addon/pipeline/script_injection_win.h"

#include "addon/metadata/configuration_text.h"
#include "addon/metadata/host_of_url.h"
#include "addon/metadata/site_matching.h"
#include "addon/win/com_ptr.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_variant.h"
#include "addon/win/text_win.h"

namespace {

const wchar_t kScriptType[] = L"text/javascript";

// True when an element of the script collection already loads the static script. A failing
// collection count or element is passed over.
bool HasStaticScript(IHTMLElementCollection* scripts, const std::wstring& staticUrl) {
    long count = 0;
    if (scripts->get_length(&count) != S_OK || count <= 0) return false;
    win::ScopedBstr wanted(staticUrl);
    for (long i = 0; i < count; ++i) {
        win::ScopedVariant index(i), none;
        win::ComPtr<IDispatch> item;
        if (scripts->item(index.AsInput(), none.AsInput(), item.Put()) != S_OK || !item) continue;
        win::ComPtr<IHTMLScriptElement> script;
        if (FAILED(item->QueryInterface(IID_IHTMLScriptElement, script.PutVoid())) || !script)
            continue;
        win::ScopedBstr source;
        if (FAILED(script->get_src(source.Put())) || source.Empty()) continue;
        // Case-sensitive: a source that differs in letter case is another script.
        if (::VarBstrCmp(source.Get(), wanted.Get(), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ)
            return true;
    }
    return false;
}

HRESULT SetAttribute(IHTMLElement* element, const wchar_t* name, const std::wstring& value) {
    win::ScopedBstr attribute(name);
    win::ScopedVariant text(value.c_str());
    return element->setAttribute(attribute.Get(), text.AsInput(), 0);
}

win::ComPtr<IHTMLElement> CreateElement(IHTMLDocument2* document, const wchar_t* tag,
                                        HRESULT* result) {
    win::ScopedBstr name(tag);
    win::ComPtr<IHTMLElement> element;
    *result = document->createElement(name.Get(), element.Put());
    return element;
}

}  // namespace

void InjectScripts(IHTMLDocument2* document, const Settings& settings, MetadataModel& model) {
    win::ScopedBstr url;
    if (FAILED(document->get_URL(url.Put()))) return;
    const MatchResult match = MatchSites(win::ToNarrow(HostOfUrl(url.Str())), model);
    if (!match.matched) return;

    win::ComPtr<IHTMLElementCollection> scripts;
    if (FAILED(document->get_scripts(scripts.Put())) || !scripts) return;
    const std::wstring staticUrl = settings.staticScriptUrl;
    if (HasStaticScript(scripts.Get(), staticUrl)) return;

    win::ComPtr<IHTMLElement> body;
    if (FAILED(document->get_body(body.Put())) || !body) return;
    HRESULT hr = S_OK;
    win::ComPtr<IHTMLElement> staticScript = CreateElement(document, L"script", &hr);
    if (FAILED(hr) || !staticScript) return;
    if (FAILED(SetAttribute(staticScript.Get(), L"src", staticUrl)) ||
        FAILED(SetAttribute(staticScript.Get(), L"type", kScriptType)))
        return;

    const std::wstring configText = win::ToWide(
        ConfigurationText(win::ToNarrow(settings.dynamicScriptTemplate), match.data));
    win::ComPtr<IHTMLDOMNode> staticNode, bodyNode;
    if (staticScript->QueryInterface(IID_IHTMLDOMNode, staticNode.PutVoid()) != S_OK ||
        body->QueryInterface(IID_IHTMLDOMNode, bodyNode.PutVoid()) != S_OK || !bodyNode)
        return;
    win::ComPtr<IHTMLElement> configScript = CreateElement(document, L"SCRIPT", &hr);
    if (hr != S_OK || !configScript) return;
    win::ComPtr<IHTMLScriptElement> configElement;
    if (configScript->QueryInterface(IID_IHTMLScriptElement, configElement.PutVoid()) == S_OK &&
        configElement) {
        win::ScopedBstr text(configText), type(kScriptType);
        configElement->put_text(text.Get());
        configElement->put_type(type.Get());
    }
    win::ComPtr<IHTMLDOMNode> configNode;
    if (FAILED(configScript->QueryInterface(IID_IHTMLDOMNode, configNode.PutVoid())) || !configNode)
        return;
    win::ComPtr<IHTMLDOMNode> appended;
    bodyNode->appendChild(configNode.Get(), appended.Put());
    bodyNode->appendChild(staticNode.Get(), appended.Put());
}

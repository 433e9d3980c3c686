// Journaled entry into every simulated operation, and the text helpers the objects share.
#include "tools/simbrowser/sim_objects_win.h"

namespace simbrowser {

const IID kHtmlWindowEvents2 = {
    0x3050f625, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

const wchar_t* OpName(Op op) {
    static const wchar_t* const kNames[] = {L"get_Document",
                                            L"get_LocationURL",
                                            L"FindConnectionPoint",
                                            L"Advise",
                                            L"Unadvise",
                                            L"get_readyState",
                                            L"get_parentWindow",
                                            L"get_frames",
                                            L"get_URL",
                                            L"get_scripts",
                                            L"get_body",
                                            L"createElement",
                                            L"window.get_document",
                                            L"QueryService",
                                            L"frames.get_length",
                                            L"frames.item",
                                            L"collection.get_length",
                                            L"collection.item",
                                            L"setAttribute",
                                            L"get_src",
                                            L"put_text",
                                            L"put_type",
                                            L"appendChild",
                                            L"QueryInterface(IHTMLScriptElement)",
                                            L"QueryInterface(IHTMLDOMNode)"};
    static_assert(sizeof kNames / sizeof kNames[0] == static_cast<std::size_t>(Op::kCount),
                  "one name per operation");
    std::size_t index = static_cast<std::size_t>(op);
    return index < static_cast<std::size_t>(Op::kCount) ? kNames[index] : L"?";
}

bool SimObject::Enter(Op op, HRESULT& result, const std::wstring& tag) {
    Page* page = link->page;
    if (!page) {
        result = RPC_E_DISCONNECTED;
        return false;
    }
    Journal& journal = page->GetJournal();
    journal.Record(op, page, tag);
    HRESULT injected = S_OK;
    if (!journal.Injected(op, page, tag, &injected)) return true;
    const bool query = op == Op::kQueryScriptElement || op == Op::kQueryDomNode;
    if (SUCCEEDED(injected) && injected != S_OK && !query) {
        PendingSuccessCode() = injected;  // the work is done, then this code is answered
        return true;
    }
    result = injected;
    return false;
}

HRESULT CopyText(const std::wstring& text, BSTR* out) {
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring TextOf(BSTR text) {
    return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

}  // namespace simbrowser

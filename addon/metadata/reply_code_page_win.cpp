// Legacy reply text through the code page its declaration names, else the thread's own.
#include "addon/metadata/reply_code_page_win.h"

#include <windows.h>


#include "addon/win/text_win.h"

namespace {

struct NamedCodePage {
    const char* name;  // lower case
    UINT codePage;
};

// Labels as services write them. As browsers do, ISO-8859-1 and ASCII are read as Windows-1252,
// their superset: a service that says Latin-1 and writes 0x80 means the euro sign.
const NamedCodePage kCodePages[] = {
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
    {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255},
    {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258},
    {"cp1250", 1250},       {"cp1251", 1251},       {"cp1252", 1252},
    {"iso-8859-1", 1252},   {"latin1", 1252},       {"us-ascii", 1252},
    {"ascii", 1252},        {"iso-8859-2", 28592},  {"iso-8859-4", 28594},
    {"iso-8859-5", 28595},  {"iso-8859-7", 28597},  {"iso-8859-9", 1254},
    {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"koi8-r", 20866},
    {"koi8-u", 21866},      {"shift_jis", 932},     {"shift-jis", 932},
    {"sjis", 932},          {"windows-31j", 932},   {"cp932", 932},
    {"euc-jp", 20932},      {"gb2312", 936},        {"gbk", 936},
    {"cp936", 936},         {"gb18030", 54936},     {"euc-kr", 949},
    {"ks_c_5601-1987", 949}, {"cp949", 949},        {"big5", 950},
    {"cp950", 950},
};

std::string LowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

unsigned CodePageOfEncoding(const std::string& name) {
    const std::string lower = LowerCase(name);
    for (const NamedCodePage& entry : kCodePages)
        if (lower == entry.name)
            return ::IsValidCodePage(entry.codePage) ? entry.codePage : CP_THREAD_ACP;
    return CP_THREAD_ACP;
}

std::string Utf8FromLegacyReply(const std::string& bytes, const std::string& declaredEncoding) {
    return win::ToNarrow(win::WideFromCodePage(bytes, CodePageOfEncoding(declaredEncoding)));
}

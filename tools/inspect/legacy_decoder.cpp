// The legacy reply decoder of the build: the add-on's on Windows, Windows-1252 elsewhere.
#include "tools/inspect/legacy_decoder.h"

#ifdef _WIN32
#include "addon/metadata/reply_code_page_win.h"
#endif

LegacyTextDecoder InspectLegacyDecoder() {
#ifdef _WIN32
    return Utf8FromLegacyReply;
#else
    return [](const std::string& bytes, const std::string&) { return Utf8FromWindows1252(bytes); };
#endif
}

// Fuzzes the reading of a selector reply: the shape scan counts exactly what TinyXML's parse
// meets, in every encoding, and every model read from a reply decoded as the add-on decodes
// it reads back to itself through its cache text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "addon/metadata/cache_text.h"
#include "addon/metadata/metadata_response.h"
#include "addon/metadata/reply_text.h"
#include "addon/metadata/utf8_text.h"
#include "addon/metadata/xml_bounds.h"
#include "tests/metadata/xml_tree_shape.h"

namespace {

const std::size_t kNoLimit = static_cast<std::size_t>(-1);
// Deeper texts are refused unparsed; a wrong count below this is still parsed and compared.
const std::size_t kComparedNesting = 4096;

void CheckShape(const std::string& reply, TiXmlEncoding encoding) {
    const std::string text = reply + std::string(3, '\0');
    const XmlShape measured = MeasureXml(text.c_str(), encoding, kNoLimit, kNoLimit);
    if (measured.deepestNesting > kComparedNesting) return;
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, encoding);
    const XmlShape tree = TreeShape(document);
    if (tree.deepestNesting != measured.deepestNesting ||
        tree.mostAttributes != measured.mostAttributes)
        std::abort();
}

std::string Windows1252(const std::string& bytes, const std::string&) {
    return Utf8FromWindows1252(bytes);
}

void CheckRoundTrip(std::string text) {
    MetadataModel model;
    model.AddSite("old.test", "0");
    const ReplyReading reading = BuildModelFromResponse(text, "1024", model);
    if (!text.empty() || (reading == kReplyUnreadable && !model.Empty())) std::abort();
    MetadataModel back;
    if (TryReadCacheText(CacheText(model), back) != kCacheRead || back != model) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    try {
        for (TiXmlEncoding encoding :
             {TIXML_ENCODING_UNKNOWN, TIXML_ENCODING_UTF8, TIXML_ENCODING_LEGACY})
            CheckShape(reply, encoding);
        const std::string text = ReplyTextAsUtf8(reply, Windows1252);  // as the add-on reads it
        if (!IsUtf8(text)) std::abort();
        CheckShape(text, TIXML_ENCODING_UTF8);
        CheckRoundTrip(text);
    } catch (const std::bad_alloc&) {
        // exhausted memory may end a reading
    } catch (...) {
        std::abort();
    }
    return 0;
}

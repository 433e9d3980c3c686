// Walks an XML text as TinyXML's parser does, with a loop where the parser recurses.
#include "addon/metadata/xml_bounds.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// TinyXML's own character-level readers, so that the walk steps exactly as the parse does.
struct Lexis : TiXmlBase {
    using TiXmlBase::GetChar;
    using TiXmlBase::IsAlpha;
    using TiXmlBase::ReadName;
    using TiXmlBase::SkipWhiteSpace;
    using TiXmlBase::StringEqual;
};

// The steps of TiXmlBase::ReadText up to a one-character end: a character at a time as
// GetChar reads it (an entity as a whole, a UTF-8 sequence by its lead byte), until the end
// character, the end of the text, or a character GetChar refuses (null). The text itself,
// which the walk never needs, is not kept.
const char* StepTo(const char* p, char stop, TiXmlEncoding encoding) {
    while (p && *p && *p != stop) {
        char character[4] = {0, 0, 0, 0};
        int length = 0;
        p = Lexis::GetChar(p, character, &length, encoding);
    }
    return p;
}

// What TiXmlText::Parse returns for text that is not CDATA: the "<" after it, or null where
// the parse would stop. ReadText steps over that "<" and gives up if the text ends there;
// Parse then steps back onto it.
const char* SkipText(const char* p, TiXmlEncoding encoding) {
    if (TiXmlBase::IsWhiteSpaceCondensed()) p = Lexis::SkipWhiteSpace(p, encoding);
    p = StepTo(p, '<', encoding);
    return p && *p && p[1] ? p : nullptr;
}

// The byte order mark that makes the parser read UTF-8.
const unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

enum class Node { kNone, kDeclaration, kComment, kCData, kUnknown, kElement };

// TiXmlNode::Identify, without making the node.
Node Identify(const char* p, TiXmlEncoding encoding) {
    p = Lexis::SkipWhiteSpace(p, encoding);
    if (!p || *p != '<') return Node::kNone;
    if (Lexis::StringEqual(p, "<?xml", true, encoding)) return Node::kDeclaration;
    if (Lexis::StringEqual(p, "<!--", false, encoding)) return Node::kComment;
    if (Lexis::StringEqual(p, "<![CDATA[", false, encoding)) return Node::kCData;
    if (Lexis::StringEqual(p, "<!", false, encoding)) return Node::kUnknown;
    if (Lexis::IsAlpha(static_cast<unsigned char>(p[1]), encoding) || p[1] == '_')
        return Node::kElement;
    return Node::kUnknown;
}

// Nodes that hold no elements, parsed by TinyXML itself; null where the parse would stop.
const char* ParseLeaf(Node kind, const char* p, TiXmlEncoding encoding) {
    switch (kind) {
    case Node::kDeclaration: { TiXmlDeclaration node; return node.Parse(p, nullptr, encoding); }
    case Node::kComment: { TiXmlComment node; return node.Parse(p, nullptr, encoding); }
    case Node::kCData: {
        TiXmlText node("");
        node.SetCDATA(true);
        return node.Parse(p, nullptr, encoding);
    }
    case Node::kUnknown: { TiXmlUnknown node; return node.Parse(p, nullptr, encoding); }
    default: return nullptr;
    }
}

// The encoding TiXmlDocument::Parse settles on after its first declaration.
TiXmlEncoding DeclaredEncoding(const TiXmlDeclaration& declaration) {
    const char* named = declaration.Encoding();
    if (!*named || Lexis::StringEqual(named, "UTF-8", true, TIXML_ENCODING_UNKNOWN) ||
        Lexis::StringEqual(named, "UTF8", true, TIXML_ENCODING_UNKNOWN))
        return TIXML_ENCODING_UTF8;
    return TIXML_ENCODING_LEGACY;
}

class ShapeScan {
public:
    ShapeScan(TiXmlEncoding encoding, std::size_t nestingLimit, std::size_t attributeLimit)
        : encoding(encoding), nestingLimit(nestingLimit), attributeLimit(attributeLimit) {}

    XmlShape Document(const char* p);

private:
    bool Passed() const {
        return shape.deepestNesting > nestingLimit || shape.mostAttributes > attributeLimit;
    }
    const char* Element(const char* p);
    const char* StartTag(const char* p);
    const char* Name(const char* p, std::string_view& read);
    const char* Attribute(const char* start, std::string_view& attributeName);
    const char* Content(const char* p);
    const char* EndTag(const char* p);

    TiXmlEncoding encoding;
    const std::size_t nestingLimit;
    const std::size_t attributeLimit;
    // Names are read into the text's own bytes as they stand, so each is a view of the text.
    std::vector<std::string_view> openElements;  // whose content is being read, innermost last
    std::vector<std::string_view> attributeNames;  // of the start tag being read
    // Read into again and again, so their strings keep their buffers: the scan allocates
    // almost nothing however long the reply.
    std::string name;
    TiXmlAttribute unquoted;
    XmlShape shape;
};

// TiXmlDocument::Parse: nodes one after another; the first declaration may set the encoding.
XmlShape ShapeScan::Document(const char* p) {
    if (!p || !*p) return shape;
    if (encoding == TIXML_ENCODING_UNKNOWN && std::equal(kUtf8Mark, kUtf8Mark + 3,
            reinterpret_cast<const unsigned char*>(p)))
        encoding = TIXML_ENCODING_UTF8;
    p = Lexis::SkipWhiteSpace(p, encoding);
    while (p && *p) {
        const Node kind = Identify(p, encoding);
        if (kind == Node::kNone) break;
        if (kind == Node::kElement) {
            p = Element(p);
        } else if (kind == Node::kDeclaration) {
            TiXmlDeclaration declaration;
            p = declaration.Parse(p, nullptr, encoding);
            if (encoding == TIXML_ENCODING_UNKNOWN) encoding = DeclaredEncoding(declaration);
        } else {
            p = ParseLeaf(kind, p, encoding);
        }
        p = Lexis::SkipWhiteSpace(p, encoding);
    }
    return shape;
}

// TiXmlElement::Parse and TiXmlElement::ReadValue call each other once per level; here one
// loop runs them over a stack of the open elements' end tags.
const char* ShapeScan::Element(const char* p) {
    p = StartTag(p);
    while (p && !openElements.empty()) {
        p = Content(p);
        if (!p || !*p) return nullptr;  // the text ended inside an element
        p = Lexis::StringEqual(p, "</", false, encoding) ? EndTag(p) : StartTag(p);
    }
    return p;
}

// The name, the attributes, then ">" (content follows) or "/>" (none does).
const char* ShapeScan::StartTag(const char* p) {
    shape.deepestNesting = std::max(shape.deepestNesting, openElements.size() + 1);
    if (Passed()) return nullptr;
    p = Lexis::SkipWhiteSpace(p, encoding);
    if (!p || *p != '<') return nullptr;
    std::string_view elementName;
    p = Name(Lexis::SkipWhiteSpace(p + 1, encoding), elementName);
    if (!p || !*p) return nullptr;
    attributeNames.clear();
    for (;;) {
        p = Lexis::SkipWhiteSpace(p, encoding);
        if (!p || !*p) return nullptr;
        if (*p == '/') return p[1] == '>' ? p + 2 : nullptr;
        if (*p == '>') {
            openElements.push_back(elementName);
            return p + 1;
        }
        std::string_view attributeName;
        p = Attribute(p, attributeName);
        if (!p || !*p) return nullptr;
        if (std::find(attributeNames.begin(), attributeNames.end(), attributeName) !=
            attributeNames.end())
            return nullptr;  // the parser refuses a name given twice
        attributeNames.push_back(attributeName);
        shape.mostAttributes = std::max(shape.mostAttributes, attributeNames.size());
        if (Passed()) return nullptr;
    }
}

// ReadName, with the name it read as a view of the text.
const char* ShapeScan::Name(const char* p, std::string_view& read) {
    const char* const start = p;
    p = Lexis::ReadName(p, &name, encoding);
    read = std::string_view(start, name.size());
    return p;
}

// TiXmlAttribute::Parse from the name (white space already skipped): name, "=", then a quoted
// value read as ReadText reads it. The parser itself reads a value without quotes, whose
// rules are its own.
const char* ShapeScan::Attribute(const char* start, std::string_view& attributeName) {
    const char* p = Name(start, attributeName);
    if (!p || !*p) return nullptr;
    p = Lexis::SkipWhiteSpace(p, encoding);
    if (!p || !*p || *p != '=') return nullptr;
    p = Lexis::SkipWhiteSpace(p + 1, encoding);
    if (!p || !*p) return nullptr;
    if (*p != '\'' && *p != '"') return unquoted.Parse(start, nullptr, encoding);
    const char quote = *p;
    p = StepTo(p + 1, quote, encoding);
    if (p && *p) ++p;  // the closing quote
    return p && *p ? p : nullptr;
}

// The loop of ReadValue: text and flat nodes, up to an end tag or a child element.
const char* ShapeScan::Content(const char* p) {
    const char* withWhiteSpace = p;
    p = Lexis::SkipWhiteSpace(p, encoding);
    while (p && *p) {
        if (*p != '<') {
            p = SkipText(TiXmlBase::IsWhiteSpaceCondensed() ? p : withWhiteSpace, encoding);
        } else if (Lexis::StringEqual(p, "</", false, encoding)) {
            return p;
        } else {
            const Node kind = Identify(p, encoding);
            if (kind == Node::kElement) return p;
            p = ParseLeaf(kind, p, encoding);
        }
        withWhiteSpace = p;
        p = Lexis::SkipWhiteSpace(p, encoding);
    }
    return p;
}

// "</name", white space, ">"; anything else ends the parse. The caller has seen the "</".
// strncmp stops at the text's end: a name holds no NUL.
const char* ShapeScan::EndTag(const char* p) {
    const std::string_view open = openElements.back();
    if (std::strncmp(p + 2, open.data(), open.size()) != 0) return nullptr;
    p = Lexis::SkipWhiteSpace(p + 2 + open.size(), encoding);
    openElements.pop_back();
    return p && *p == '>' ? p + 1 : nullptr;
}

}  // namespace

XmlShape MeasureXml(const char* text, TiXmlEncoding encoding, std::size_t nestingLimit,
                    std::size_t attributeLimit) {
    return ShapeScan(encoding, nestingLimit, attributeLimit).Document(text);
}

bool ParseWithinReplyBounds(TiXmlDocument& document, std::string& text, TiXmlEncoding encoding) {
    text.append(3, '\0');
    const XmlShape shape = MeasureXml(text.c_str(), encoding);
    if (shape.deepestNesting > kMaxReplyNesting || shape.mostAttributes > kMaxReplyAttributes)
        return false;
    document.Parse(text.c_str(), nullptr, encoding);
    return true;
}

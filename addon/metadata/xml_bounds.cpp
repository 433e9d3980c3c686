// Walks an XML text as TinyXML's parser does, with a loop where the parser recurses.
#include "addon/metadata/xml_bounds.h"

#include <algorithm>
#include <vector>

namespace {

// TinyXML's own character-level readers, so that the walk steps exactly as the parse does.
struct Lexis : TiXmlBase {
    using TiXmlBase::IsAlpha;
    using TiXmlBase::ReadName;
    using TiXmlBase::SkipWhiteSpace;
    using TiXmlBase::StringEqual;
};

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
    const char* Content(const char* p);
    const char* EndTag(const char* p);

    TiXmlEncoding encoding;
    const std::size_t nestingLimit;
    const std::size_t attributeLimit;
    std::vector<std::string> endTags;  // "</name" of each element whose content is being read
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
    while (p && !endTags.empty()) {
        p = Content(p);
        if (!p || !*p) return nullptr;  // the text ended inside an element
        p = Lexis::StringEqual(p, "</", false, encoding) ? EndTag(p) : StartTag(p);
    }
    return p;
}

// The name, the attributes, then ">" (content follows) or "/>" (none does).
const char* ShapeScan::StartTag(const char* p) {
    shape.deepestNesting = std::max(shape.deepestNesting, endTags.size() + 1);
    if (Passed()) return nullptr;
    p = Lexis::SkipWhiteSpace(p, encoding);
    if (!p || *p != '<') return nullptr;
    p = Lexis::SkipWhiteSpace(p + 1, encoding);
    std::string name;
    p = Lexis::ReadName(p, &name, encoding);
    if (!p || !*p) return nullptr;
    std::vector<std::string> attributes;
    for (;;) {
        p = Lexis::SkipWhiteSpace(p, encoding);
        if (!p || !*p) return nullptr;
        if (*p == '/') return p[1] == '>' ? p + 2 : nullptr;
        if (*p == '>') {
            endTags.push_back("</" + name);
            return p + 1;
        }
        TiXmlAttribute attribute;
        p = attribute.Parse(p, nullptr, encoding);
        if (!p || !*p) return nullptr;
        if (std::find(attributes.begin(), attributes.end(), attribute.NameTStr()) !=
            attributes.end())
            return nullptr;  // the parser refuses a name given twice
        attributes.push_back(attribute.NameTStr());
        shape.mostAttributes = std::max(shape.mostAttributes, attributes.size());
        if (Passed()) return nullptr;
    }
}

// The loop of ReadValue: text and flat nodes, up to an end tag or a child element.
const char* ShapeScan::Content(const char* p) {
    const char* withWhiteSpace = p;
    p = Lexis::SkipWhiteSpace(p, encoding);
    while (p && *p) {
        if (*p != '<') {
            TiXmlText text("");
            p = text.Parse(TiXmlBase::IsWhiteSpaceCondensed() ? p : withWhiteSpace, nullptr,
                           encoding);
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

// "</name", white space, ">"; anything else ends the parse.
const char* ShapeScan::EndTag(const char* p) {
    const std::string& endTag = endTags.back();
    if (!Lexis::StringEqual(p, endTag.c_str(), false, encoding)) return nullptr;
    p = Lexis::SkipWhiteSpace(p + endTag.size(), encoding);
    endTags.pop_back();
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

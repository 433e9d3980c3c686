// Limits on the shape of an XML reply, checked before TinyXML parses it.
#pragma once

#include <cstddef>
#include <string>

#include <tinyxml.h>

// TinyXML's parse recurses once per level of element nesting, so a deep enough text overflows
// the stack of the thread that parses it; a reply needs four levels. And it compares each new
// attribute of an element with every earlier one, so an element with a hundred thousand
// attributes takes minutes.
constexpr std::size_t kMaxReplyNesting = 256;
constexpr std::size_t kMaxReplyAttributes = 64;

struct XmlShape {
    std::size_t deepestNesting = 0;  // the root element is level 1
    std::size_t mostAttributes = 0;  // on one element
};

// What TiXmlDocument::Parse(text, 0, encoding) would meet: the deepest element nesting and
// the most attributes of one element, up to the point where the parse would stop. Found
// without recursion, stepping over everything but elements with TinyXML's own readers, so
// the counts are those of the parse itself. The scan ends as soon as either count passes
// its limit. Like the parse, it may read up to three bytes past the terminating NUL.
XmlShape MeasureXml(const char* text, TiXmlEncoding encoding,
                    std::size_t nestingLimit = kMaxReplyNesting,
                    std::size_t attributeLimit = kMaxReplyAttributes);

// Parses text into document when its shape is within the reply limits; otherwise leaves the
// document alone and returns false. Appends three NULs to text first: on a UTF-8 lead byte
// just before the end, TinyXML steps that far past the terminator.
bool ParseWithinReplyBounds(TiXmlDocument& document, std::string& text,
                            TiXmlEncoding encoding = TIXML_ENCODING_UNKNOWN);

// The shape of a tree that TinyXML parsed: the reference for the shape scan of a reply.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include <tinyxml.h>

#include "addon/metadata/xml_bounds.h"

// Every element whose parse began is linked into the tree, also when the parse stopped on an
// error, so the deepest element here is as deep as the parser's recursion went.
inline XmlShape TreeShape(const TiXmlDocument& document) {
    XmlShape shape;
    std::vector<std::pair<const TiXmlNode*, std::size_t>> pending;
    for (const TiXmlNode* child = document.FirstChild(); child; child = child->NextSibling())
        pending.emplace_back(child, 1);
    while (!pending.empty()) {
        const TiXmlElement* element = pending.back().first->ToElement();
        const std::size_t depth = pending.back().second;
        pending.pop_back();
        if (!element) continue;
        shape.deepestNesting = std::max(shape.deepestNesting, depth);
        std::size_t attributes = 0;
        for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) ++attributes;
        shape.mostAttributes = std::max(shape.mostAttributes, attributes);
        for (const TiXmlNode* child = element->FirstChild(); child; child = child->NextSibling())
            pending.emplace_back(child, depth + 1);
    }
    return shape;
}

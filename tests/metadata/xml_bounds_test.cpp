// The shape limits of a reply: measured as TinyXML's parse meets the text, refused beyond them.
#include <string>

#include <gtest/gtest.h>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/xml_bounds.h"
#include "tests/metadata/xml_tree_shape.h"

namespace {

const std::size_t kNoLimit = static_cast<std::size_t>(-1);

std::string Repeat(const std::string& text, std::size_t count) {
    std::string out;
    out.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

std::string Nested(std::size_t levels) { return Repeat("<a>", levels) + Repeat("</a>", levels); }

struct ShapeCase {
    const char* name;
    std::string text;
};

// Texts where a scan that does not read exactly as TinyXML does would count other levels.
const ShapeCase kShapes[] = {
    {"nesting and siblings", "<r><a><b/><b></b></a><a x='1' y=\"2\"/></r>"},
    {"several top-level elements", "<r/><s><t><u/></t></s>"},
    {"markup inside a comment", "<r><!-- <a><a><a> </r> --><b/></r>"},
    {"markup inside CDATA", "<r><![CDATA[<a><a></r>]]><b/></r>"},
    {"markup inside quoted values", "<r a='<b><b>' c=\"</r>\" d='/>'><e/></r>"},
    {"unquoted value with a bracket", "<r a=<b c=d><e><f/></e></r>"},
    {"processing instruction", "<?pi a='<b>'?><r><b/></r>"},
    {"document type", "<!DOCTYPE r SYSTEM 'r.dtd'><r><b/></r>"},
    {"declaration value holding markup", "<?xml version='<a><a>'?><r><b/></r>"},
    {"entity for a bracket", "<r>&#x3c;a&#60;a&lt;a<b/></r>"},
    {"space inside the end tag", "<r><a></a  ><a/></r>"},
    {"mismatched end tag stops the parse", "<r><a></b><a><a><a/></a></a></r>"},
    {"end tag that only starts with the name", "<r><ab><a></a></ab><c><d/></c></r>"},
    {"repeated attribute stops the parse", "<r><a x='1' x='2'><b><c/></b></a></r>"},
    {"not a name after <", "<r>< a><b/></r>"},
    {"UTF-8 mark: a lead byte swallows </", "\xEF\xBB\xBF<r><a>\xE0</a><b><c/></b></a></r>"},
    {"UTF-8 declared: a lead byte swallows </",
     "<?xml version='1.0' encoding='UTF-8'?><r><a>\xE0</a><b><c/></b></a></r>"},
    {"no encoding declared means UTF-8", "<?xml version='1.0'?><r>\xF0</r><s><t/></s></r>"},
    {"another encoding keeps bytes apart",
     "<?xml version='1.0' encoding='ISO-8859-1'?><r><a>\xE0</a><b><c/></b></r>"},
    {"UTF-8 marks count as white space", "\xEF\xBB\xBF<r \xEF\xBB\xBF x='1'\xEF\xBF\xBF><a/></r>"},
    {"lead byte just before the end", "\xEF\xBB\xBF<r><a>\xF0"},
    {"attributes counted per element", "<r a='' b='' c=''><e f=''/><g h='' i=''/></r>"},
    {"UTF-8: a lead byte swallows a closing quote",
     "\xEF\xBB\xBF<r a='\xE0' b='><c><d/></c>'><e/></r>"},
    {"entities inside quoted values", "<r a='&#39;<x>' b=\"&quot;&#x22;\"><c/></r>"},
    {"a refused entity in a value stops the parse", "<r><a b='&#x;'><c><d/></c></a></r>"},
    {"a refused entity in text stops the parse", "<r><a>&#1x;<b><c/></b></a></r>"},
    {"text up to a bracket at the very end", "<r><a>text<"},
};

TEST(XmlShape, MeasuresWhatTheParserMeets) {
    for (const ShapeCase& c : kShapes) {
        SCOPED_TRACE(c.name);
        std::string text = c.text + std::string(3, '\0');  // the parser may step past the end
        TiXmlDocument document;
        document.Parse(text.c_str());
        const XmlShape expected = TreeShape(document);
        const XmlShape measured = MeasureXml(text.c_str(), TIXML_ENCODING_UNKNOWN, kNoLimit, kNoLimit);
        EXPECT_EQ(expected.deepestNesting, measured.deepestNesting);
        EXPECT_EQ(expected.mostAttributes, measured.mostAttributes);
    }
}

TEST(XmlShape, RepliesAreParsedUpToTheLimitsAndNotBeyond) {
    std::string attributes;
    for (std::size_t i = 0; i < kMaxReplyAttributes; ++i) attributes += " a" + std::to_string(i) + "=''";
    const struct {
        std::string text;
        bool parsed;
    } cases[] = {
        {Nested(kMaxReplyNesting), true},
        {Nested(kMaxReplyNesting + 1), false},
        {"<r" + attributes + "/>", true},
        {"<r" + attributes + " z=''/>", false},
        {"<r>" + Repeat("<a/>", 100000) + "</r>", true},  // long, but flat
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        std::string text = c.text;
        TiXmlDocument document;
        EXPECT_EQ(c.parsed, ParseWithinReplyBounds(document, text));
        EXPECT_EQ(c.parsed, document.FirstChild() != nullptr);
    }
}

std::string OneCard() {
    return "<cards><card><VeltraneMetadata><item name=\"searchOverlayCard.ruleid\">7</item>"
           "<item name=\"searchOverlayCard.sites\">a.com</item></VeltraneMetadata></card>";
}

// Parsed as it stands, a million levels overflow any thread's stack, and a hundred thousand
// attributes on one element take minutes.
TEST(XmlShape, HostileRepliesAreUnreadableAtOnce) {
    const std::string hostile[] = {
        OneCard() + Repeat("<a>", 1000000) + "</cards>",
        OneCard() + "<card" + [] {
            std::string many;
            for (int i = 0; i < 100000; ++i) many += " a" + std::to_string(i) + "=''";
            return many;
        }() + "/></cards>",
    };
    for (const std::string& reply : hostile) {
        MetadataModel model;
        model.AddSite("old.com", "1");
        std::string text = reply;
        EXPECT_EQ(kReplyUnreadable, BuildModelFromResponse(text, "1024", model));
        EXPECT_TRUE(model.Empty());
        EXPECT_TRUE(text.empty());
    }
}

TEST(XmlShape, DepthInsideCommentsAndValuesDoesNotCount) {
    const std::string deepText = Repeat("<a>", 100000);
    MetadataModel model;
    std::string text = OneCard() + "<!--" + deepText + "--><x v='" + deepText + "'/></cards>";
    EXPECT_EQ(kReplyRead, BuildModelFromResponse(text, "1024", model));
    EXPECT_EQ((SiteMap{{"a.com", {"7"}}}), model.Sites());
}

}  // namespace

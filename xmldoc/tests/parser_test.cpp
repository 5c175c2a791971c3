#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

namespace {

std::string attribute(xml::sarnel& doc, xml::handle h, const std::string& name)
{
    std::string value;
    EXPECT_TRUE(doc.get_attribute(h, name, value)) << name;
    return value;
}

std::vector<xml::handle> children(xml::sarnel& doc, xml::handle h)
{
    std::unique_ptr<xml::child_iterator> it(doc.children(h));
    std::vector<xml::handle> found;
    for (it->first(); !it->at_end(); it->next())
        found.push_back(it->get());
    return found;
}

// The tree as text, for comparing two parses.
std::string dump(const xml::sarnel& doc)
{
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

std::string nested(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<d>";
    for (int i = 0; i < depth; ++i)
        text += "</d>";
    return text;
}

} // namespace

TEST(Parser, AttributeValueReferencesFollowTheirRules)
{
    xml::sarnel doc;
    doc.parse("<a gt='&gt;' lt='&lt;' dec='&#65;' hex='&#x141;' q=\"&quot;&apos;&amp;\" other='&nbsp;x'"
              " mix=\"a&#x20;b\tc\r\nd\"/>");
    const xml::handle a = doc.root_handle();
    EXPECT_EQ(attribute(doc, a, "gt"), "&gt;");
    EXPECT_EQ(attribute(doc, a, "lt"), "<");
    EXPECT_EQ(attribute(doc, a, "dec"), "A");
    EXPECT_EQ(attribute(doc, a, "hex"), "\x41");
    EXPECT_EQ(attribute(doc, a, "q"), "\"'&");
    EXPECT_EQ(attribute(doc, a, "other"), "&nbsp;x");
    EXPECT_EQ(attribute(doc, a, "mix"), "a b\tc\r\nd");
}

TEST(Parser, ARepeatedAttributeKeepsTheSecondValue)
{
    xml::sarnel doc;
    doc.parse("<a x='1' y='2' x=\"3\"/>");
    EXPECT_EQ(attribute(doc, doc.root_handle(), "x"), "3");
    EXPECT_EQ(attribute(doc, doc.root_handle(), "y"), "2");
}

TEST(Parser, EmptyAndFullElementsBecomeChildrenInDocumentOrder)
{
    xml::sarnel doc;
    doc.parse("<a><b/><c></c ></a>");
    const auto kids = children(doc, doc.root_handle());
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(doc.name(kids[0]), "b");
    EXPECT_EQ(doc.name(kids[1]), "c");
    EXPECT_TRUE(children(doc, kids[1]).empty());
}

TEST(Parser, TextCommentsCdataAndInstructionsLeaveNoTrace)
{
    xml::sarnel plain;
    plain.parse("<a><b x='1'/><c/></a>");
    xml::sarnel decorated;
    decorated.parse("<?xml version='1.0' encoding=\"UTF-8\" standalone='yes'?>\n"
                    "<!-- before --><?style sheet?>\n"
                    "<a>text &amp; &#169; &#xA9; more<!-- a <b> comment -->"
                    "<![CDATA[<b x='2'/> ]] > ]]><?pi <b/>?>"
                    "<b x='1'>inner</b><c/>tail</a>\n<!-- after -->\n<?end?>  ");
    EXPECT_EQ(dump(decorated), dump(plain));
}

TEST(Parser, ADocumentTypeDeclarationChangesNothing)
{
    xml::sarnel plain;
    plain.parse("<doc a='1'><item/></doc>");
    xml::sarnel declared;
    declared.parse(R"(<?xml version="1.0"?>
<!DOCTYPE doc SYSTEM "doc.dtd" [
  <!ELEMENT doc (item | (x, y?)+ | z*)*>
  <!ELEMENT item EMPTY>
  <!ELEMENT any ANY>
  <!ELEMENT text (#PCDATA | b | i)*>
  <!ELEMENT only (#PCDATA)>
  <!ATTLIST doc a CDATA #REQUIRED b ID #IMPLIED c (one|two) "one" d NOTATION (n) #FIXED 'n'
                e IDREFS #IMPLIED f NMTOKENS #IMPLIED g ENTITIES #IMPLIED>
  <!ENTITY copy "&#169; &amp; %pe;">
  <!ENTITY % pe 'param'>
  <!ENTITY pic SYSTEM "pic.png" NDATA png>
  <!ENTITY ext PUBLIC "-//Tavelo//Test//EN" 'ext.xml'>
  <!NOTATION png PUBLIC "image/png">
  <!NOTATION n SYSTEM "n">
  %pe;
  <![INCLUDE[ <!ELEMENT inc EMPTY> ]]>
  <![ IGNORE [ anything <![ nested ]]> goes ]]>
  <!-- comment --><?pi data?>
]>
<doc a='1'><item/></doc>)");
    EXPECT_EQ(dump(declared), dump(plain));
}

TEST(Parser, MalformedDocumentsFailWithStreamParseError)
{
    const char* bad[] = {
        "",
        "   ",
        "text",
        "<a>",
        "<a></b>",
        "<a><b></a></b>",
        "<a/><b/>",
        "<a/>text",
        "<a x='1' x>",
        "<a x=1/>",
        "<a x='<'/>",
        "<a x='&'/>",
        "<a x='&amp'/>",
        "<a x='&#;'/>",
        "<a x='&#xZ;'/>",
        "<a x='1'y='2'/>",
        "<a>&bad</a>",
        "<a><!-- a -- b --></a>",
        "<a><!-- a ---></a>",
        "<a><![CDATA[ open </a>",
        "<a><?xml version='1.0'?></a>",
        "<?xml version='1.0'?><?xml version='1.0'?><a/>",
        "<!DOCTYPE a [ <!ELEMENT a (b,c|d)> ]><a/>",
        "<!DOCTYPE a [ <!ELEMENT a> ]><a/>",
        "<1a/>",
        "<a 1b='x'/>",
        "< a/>",
        "<a/",
        "<a\x01/>",
        "<a>\x01</a>",
        "<a x='\x1F'/>",
    };
    for (const char* text : bad) {
        xml::sarnel doc;
        EXPECT_THROW(doc.parse(text), xml::stream_parse_error) << '"' << text << '"';
    }
    xml::sarnel doc;
    EXPECT_THROW(doc.parse(std::string("<a>\0</a>", 8)), xml::stream_parse_error);
}

TEST(Parser, AParseErrorTellsTheLineWhereTheTextStoppedMatching)
{
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::size_t line;
    } cases[] = {
        { "", 1 },
        { "<a x=1/>", 1 },
        { "RIFF\x10\0\0\0AVI LIST"s, 1 },
        { "<a>\r\n<b>\r\n</c>\r\n</a>", 3 },
        { "<a>\r<b>\r</c>\r</a>", 3 },
        { "<a>\n<b/>\r\n\r\n<c x='1'\n   y='2\n\n<'/></a>", 7 },
        { "<a\n x='1'\n x2='&#0;'/>", 3 },
        { "<a><b/>\n</a>\n\n<c/>", 4 },
        { "<Tavelo>\n  <Footage type='avi'/>\n  <WorkArea First='1' Last=", 3 },
        { "<Tavelo>\n  <Footage type='avi'/>\n", 3 },
        { "<a>\r\n", 2 },
        { "<!DOCTYPE a [\n<!ELEMENT a (b,c|d)>\n]>\n<a/>", 2 },
    };
    for (const auto& c : cases) {
        xml::sarnel doc;
        try {
            doc.parse(c.text);
            ADD_FAILURE() << '"' << c.text << "\" parsed";
        } catch (const xml::stream_parse_error& error) {
            EXPECT_EQ(error.line(), c.line) << '"' << c.text << '"';
            EXPECT_STREQ(error.what(), "stream parse error");
            EXPECT_EQ(error.description(), "stream parse error at line " + std::to_string(c.line));
        }
    }
    // The line is where the end tag that does not match was read.
    xml::sarnel doc;
    try {
        doc.parse("<a>\n<b>\n\n</c></b></a>");
        ADD_FAILURE() << "parsed";
    } catch (const xml::stream_parse_error& error) {
        EXPECT_EQ(error.line(), 4u);
    }
    // A file's text counts its lines the same way, and its name goes first.
    xml::stream_parse_error named(12);
    named.set_file("/p/cut.tvp");
    EXPECT_STREQ(named.what(), "/p/cut.tvp: stream parse error at line 12");
    EXPECT_EQ(named.file(), "/p/cut.tvp");
    EXPECT_EQ(xml::stream_parse_error().description(), "stream parse error");
}

TEST(Parser, ElementsBuiltBeforeAFailureStayUntilTheNextParse)
{
    xml::sarnel doc;
    EXPECT_THROW(doc.parse("<a><b x='1'/><c>"), xml::stream_parse_error);
    ASSERT_NE(doc.root_handle(), nullptr);
    EXPECT_EQ(children(doc, doc.root_handle()).size(), 2u);
    doc.parse("<z/>");
    EXPECT_EQ(doc.name(doc.root_handle()), "z");
    EXPECT_TRUE(children(doc, doc.root_handle()).empty());
}

TEST(Parser, ZeroAndOverflowingCharacterReferencesAreParseErrors)
{
    for (const char* text : { "<a x='&#0;'/>", "<a x='&#x0;'/>", "<a x='&#0000;'/>", "<a x='&#256;'/>",
             "<a x='&#4294967296;'/>", "<a x='&#x100000000;'/>", "<a x='&#99999999999999999999999;'/>",
             "<a>&#0;</a>", "<a>&#x1FFFFFFFF;</a>" }) {
        xml::sarnel doc;
        EXPECT_THROW(doc.parse(text), xml::stream_parse_error) << text;
    }
    xml::sarnel doc;
    doc.parse("<a x='&#4294967295;&#x7FFFFFFF;&#0010;'/>");
    EXPECT_EQ(attribute(doc, doc.root_handle(), "x"), "\xFF\xFF\n");
}

TEST(Parser, BytesAboveAsciiAreCharacterData)
{
    const std::string utf8_path = "c:\\m\xC3\xBCsic\\\xE6\x97\xA5\xE6\x9C\xAC.avi";
    xml::sarnel doc;
    doc.parse("<a path='" + utf8_path + "'>\xC3\xA9t\xC3\xA9 \x80\xFF<!-- \xE2\x82\xAC --></a>");
    EXPECT_EQ(attribute(doc, doc.root_handle(), "path"), utf8_path);
    // In names each byte is the Latin-1 character of its value.
    doc.parse("<\xC0\xB7 \xE9t\xE9='1'/>");
    EXPECT_EQ(doc.name(doc.root_handle()), "\xC0\xB7");
    EXPECT_THROW(doc.parse("<\xC3\xA9/>"), xml::stream_parse_error);
}

TEST(Parser, NestingPastTheDepthLimitFailsCleanly)
{
    xml::sarnel doc;
    doc.parse(nested(xml::sarnel::max_depth));
    EXPECT_THROW(doc.parse(nested(xml::sarnel::max_depth + 1)), xml::stream_parse_error);
    EXPECT_THROW(doc.parse(nested(100000)), xml::stream_parse_error);
    EXPECT_THROW(doc.parse(std::string(100000, '<') + "a/>"), xml::stream_parse_error);
    EXPECT_THROW(doc.parse("<!DOCTYPE a [<!ELEMENT a " + std::string(100000, '(') + "b"
                     + std::string(100000, ')') + ">]><a/>"),
        xml::stream_parse_error);
    std::string ignored = "<!DOCTYPE a [";
    for (int i = 0; i < 100000; ++i)
        ignored += "<![IGNORE[";
    EXPECT_THROW(doc.parse(ignored + "]><a/>"), xml::stream_parse_error);
}

TEST(Parser, ModestDeclarationNestingParses)
{
    xml::sarnel doc;
    doc.parse("<!DOCTYPE a [<!ELEMENT a " + std::string(100, '(') + "b" + std::string(100, ')') + ">]><a/>");
    EXPECT_EQ(doc.name(doc.root_handle()), "a");
}

TEST(Parser, AFailureInsideAStartTagKeepsTheAttributesReadSoFar)
{
    xml::sarnel doc;
    EXPECT_THROW(doc.parse("<a><b y='2' x='1' x='3' <"), xml::stream_parse_error);
    const auto kids = children(doc, doc.root_handle());
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(attribute(doc, kids[0], "x"), "3");
    EXPECT_EQ(attribute(doc, kids[0], "y"), "2");
}

// Long runs of hexadecimal digits are kept packed; every form must read
// back and write out exactly as the text had it.
TEST(Parser, LongHexadecimalValuesReadAndWriteBackAsWritten)
{
    const std::string lower(200, 'a');
    const std::string digits = std::string(64, '0') + "123456789";
    const std::string cases[] = {
        std::string("0123456789abcdef").append(lower),
        std::string("0123456789ABCDEF").append(std::string(100, 'F')),
        digits + "0", // digits only, even length
        digits, // odd length stays text
        std::string(100, 'a') + "A" + std::string(99, 'a'), // mixed case stays text
        std::string(100, 'a') + "g" + std::string(99, 'a'), // not hexadecimal
        std::string(62, 'b'), // too short to pack
        std::string(64, 'c'),
    };
    for (const std::string& value : cases) {
        xml::sarnel doc;
        const std::string text = "<?xml version=\"1.0\" ?>\n<a v=\"" + value + "\"/>\n";
        doc.parse(text);
        EXPECT_EQ(attribute(doc, doc.root_handle(), "v"), value);
        EXPECT_EQ(dump(doc), text);
    }
}

TEST(Parser, AHexadecimalValueBuiltFromReferencesReadsBack)
{
    xml::sarnel doc;
    const std::string value = std::string(70, 'e') + "&#x41;" + std::string(69, 'E');
    doc.parse("<a v='" + value + "'/>");
    EXPECT_EQ(attribute(doc, doc.root_handle(), "v"), std::string(70, 'e') + "A" + std::string(69, 'E'));
}

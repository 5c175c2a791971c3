#include "foundation/xml/xml_stream.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "xmldoc/sarnel.h"

namespace {

// A persistent type in the system's form: optional attributes, a required
// one and an optional child.
struct sample {
    int count = 4;
    float weight = 0.5f;
    bool on = true;
    std::string label = "none";
    int id = 0;
    int inner = 9;
};

xml::stream& operator||(xml::stream& s, sample& v)
{
    static const std::string default_label = "none";
    if (s.reading) {
        v.count = s.read("count", 4);
        v.weight = s.read("weight", 0.5f);
        v.on = s.read("on", true);
    } else {
        s.write("count", v.count);
        s.write("weight", v.weight);
        s.write("on", v.on);
    }
    xml::optional_string_attribute(std::string("label"), v.label, default_label).serialize(s);
    xml::stream inner = s.child("inner");
    if (s.reading) {
        v.inner = inner.read("value", 9);
        v.id = s.read<int>("id");
    } else {
        inner.write("value", v.inner);
        s.write("id", v.id);
    }
    return s;
}

// A document with an empty root element "root".
struct document_fixture {
    document_fixture() { doc.create("root"); }
    xml::stream loading() { return xml::stream(doc.root(), true); }
    xml::stream saving() { return xml::stream(doc.root(), false); }
    xml::sarnel doc;
};

TEST(XmlStream, LoadingFromAMissingChildGivesDefaultsUntilTheFirstRequiredRead)
{
    document_fixture f;
    xml::stream absent = f.loading().child("absent");
    EXPECT_TRUE(absent.is_null());
    EXPECT_TRUE(absent.reading);

    sample v;
    v.count = 1;
    v.weight = 2.0f;
    v.on = false;
    v.label = "x";
    v.inner = 1;
    EXPECT_THROW(absent || v, xml::attribute_not_found);
    EXPECT_EQ(v.count, 4);
    EXPECT_EQ(v.weight, 0.5f);
    EXPECT_TRUE(v.on);
    EXPECT_EQ(v.label, "none");
    EXPECT_EQ(v.inner, 9);
}

TEST(XmlStream, SavedValuesLoadBackFromTheDocumentText)
{
    sample saved;
    saved.count = -2147483647 - 1;
    saved.weight = 2.5f;
    saved.on = false;
    saved.label = "a <b> & 'c' \"d\"";
    saved.id = 2147483647;
    saved.inner = 12;
    std::string text;
    {
        document_fixture f;
        xml::stream child = f.saving().child("sample");
        child || saved;
        EXPECT_EQ(child.get_attribute_or_default("weight", "?"), "2.5");
        EXPECT_EQ(child.get_attribute_or_default("on", "?"), "0");
        std::ostringstream written;
        f.doc.write(written);
        text = written.str();
    }
    xml::sarnel doc;
    doc.parse(text);
    xml::stream child = xml::stream(doc.root(), true).child("sample");
    sample loaded;
    child || loaded;
    EXPECT_EQ(loaded.count, saved.count);
    EXPECT_EQ(loaded.weight, saved.weight);
    EXPECT_EQ(loaded.on, saved.on);
    EXPECT_EQ(loaded.label, saved.label);
    EXPECT_EQ(loaded.id, saved.id);
    EXPECT_EQ(loaded.inner, saved.inner);
}

TEST(XmlStream, LoadingChildWithTwoMatchesThrowsAmbiguous)
{
    document_fixture f;
    f.doc.root().add_child("param");
    f.doc.root().add_child("param");
    try {
        f.loading().child("param");
        FAIL() << "no exception";
    } catch (const xml::ambiguous& e) {
        EXPECT_STREQ(e.what(), "Node is ambiguous (tag = param)");
    }
}

TEST(XmlStream, OptionalStringEqualToItsDefaultWritesNothing)
{
    document_fixture f;
    xml::stream out = f.saving();
    const std::string default_value = "dflt";
    std::string value = "dflt";
    xml::optional_string_attribute("name", value, default_value).serialize(out);
    std::string text;
    EXPECT_FALSE(out.get_attribute("name", text));

    value = "changed";
    xml::stream in = f.loading();
    xml::optional_string_attribute("name", value, default_value).serialize(in);
    EXPECT_EQ(value, "dflt");

    value = "";
    xml::optional_string_attribute("name", value, default_value).serialize(out);
    EXPECT_TRUE(out.get_attribute("name", text));
    EXPECT_EQ(text, "");
}

TEST(XmlStream, RequiredStringIsAlwaysWrittenAndMissingOnLoadThrows)
{
    document_fixture f;
    xml::stream out = f.saving();
    std::string value;
    xml::required_string_attribute("name", value).serialize(out);
    EXPECT_EQ(out.get_attribute_or_default("name", "?"), "");

    xml::stream in = f.loading();
    std::string other;
    EXPECT_THROW(xml::required_string_attribute("other", other).serialize(in), xml::attribute_not_found);

    xml::stream null_out(xml::node(), false);
    EXPECT_THROW(xml::required_string_attribute("name", value).serialize(null_out), xml::attribute_not_found);
}

TEST(XmlStream, SetNodeKeepsTheDirection)
{
    document_fixture f;
    xml::node a = f.doc.root().add_child("a");
    a.set_attribute("v", "5");
    xml::stream s = f.loading();
    s.set_node(a);
    EXPECT_TRUE(s.reading);
    EXPECT_EQ(s.read<int>("v"), 5);
}

} // namespace

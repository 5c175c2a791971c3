#include "foundation/xml/xml_node.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

#include "xmldoc/sarnel.h"

namespace {

enum class shade { light, dark, grey };

const char* const* enum_names(shade)
{
    static const char* const names[] = { "light", "dark", "grey", nullptr };
    return names;
}

// An element <root> whose attribute "v" holds the text given.
struct attribute_fixture {
    explicit attribute_fixture(const std::string& text)
    {
        doc.create("root");
        root = doc.root();
        root.set_attribute("v", text);
    }
    xml::sarnel doc;
    xml::node root;
};

// A document that passes every call on to a real one, and fails the test
// when it is called after it was marked gone (standing in for a destroyed
// document).
class guarded_document final : public xml::document {
public:
    explicit guarded_document(xml::sarnel& real)
        : m_real(real)
    {
    }
    void mark_gone() { m_gone = true; }

    xml::handle copy_handle(xml::handle h) override { return check().copy_handle(h); }
    void release_handle(xml::handle h) override { check().release_handle(h); }
    bool is_null(xml::handle h) override { return check().is_null(h); }
    std::string name(xml::handle h) override { return check().name(h); }
    xml::attribute_iterator* attributes(xml::handle h) override { return check().attributes(h); }
    bool get_attribute(xml::handle h, const std::string& n, std::string& v) override
    {
        return check().get_attribute(h, n, v);
    }
    void set_attribute(xml::handle h, const std::string& n, const std::string& v) override
    {
        check().set_attribute(h, n, v);
    }
    xml::child_iterator* children(xml::handle h) override { return check().children(h); }
    xml::child_iterator* named_children(xml::handle h, const std::string& t) override
    {
        return check().named_children(h, t);
    }
    xml::handle add_child(xml::handle h, const std::string& n) override { return check().add_child(h, n); }
    void clear_element(xml::handle h, bool a, bool c) override { check().clear_element(h, a, c); }
    void remove(xml::handle h) override { check().remove(h); }

private:
    xml::sarnel& check()
    {
        if (m_gone) {
            ADD_FAILURE() << "the access layer called into a document that is gone";
        }
        return m_real;
    }
    xml::sarnel& m_real;
    bool m_gone = false;
};

TEST(XmlNode, NullNodeReadsDefaultsAndIgnoresChanges)
{
    xml::node null;
    EXPECT_TRUE(null.is_null());
    std::string value = "unchanged";
    EXPECT_FALSE(null.get_attribute("a", value));
    EXPECT_EQ(value, "unchanged");
    EXPECT_EQ(null.get_attribute_or_default("a", "dflt"), "dflt");
    null.set_attribute("a", "1");
    EXPECT_TRUE(null.add_child("c").is_null());
    std::vector<xml::node> found;
    null.collect(xml::filter(), found);
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(null.child(xml::filter("c"), xml::node()).is_null());

    EXPECT_EQ(null.read<int>("a", 3), 3);
    EXPECT_THROW(null.read<int>("a"), xml::attribute_not_found);
    EXPECT_THROW(null.read<std::string>("a"), xml::attribute_not_found);
    EXPECT_THROW(null.write("a", 1), xml::attribute_not_found);

    xml::sarnel empty;
    EXPECT_TRUE(empty.root().is_null());
}

TEST(XmlNode, OptionalIntReadTakesTheLeadingNumberOrTheDefault)
{
    EXPECT_EQ(attribute_fixture("x7").root.read<int>("v", 7), 7);
    EXPECT_EQ(attribute_fixture("  42").root.read<int>("v", 7), 42);
    EXPECT_EQ(attribute_fixture("42.9").root.read<int>("v", 7), 42);
    EXPECT_EQ(attribute_fixture("12abc").root.read<int>("v", 7), 12);
    EXPECT_EQ(attribute_fixture("-5").root.read<int>("v", 7), -5);
    EXPECT_EQ(attribute_fixture("").root.read<int>("v", 7), 7);
    EXPECT_EQ(attribute_fixture("99999999999").root.read<int>("v", 7), 7);
    EXPECT_EQ(attribute_fixture("1").root.read<int>("missing", 7), 7);
}

TEST(XmlNode, RequiredIntReadThrowsForMissingOrUnparsableText)
{
    EXPECT_THROW(attribute_fixture("").root.read<int>("v"), xml::attribute_parse_error);
    EXPECT_THROW(attribute_fixture("abc").root.read<int>("v"), xml::attribute_parse_error);
    EXPECT_THROW(attribute_fixture("1").root.read<int>("missing"), xml::attribute_not_found);
    EXPECT_EQ(attribute_fixture(" -12").root.read<int>("v"), -12);
    EXPECT_STREQ(xml::attribute_parse_error().what(), "attribute parse error");
    EXPECT_STREQ(xml::attribute_not_found().what(), "attribute not found");
}

TEST(XmlNode, RequiredReadErrorsNameTheAttributeAndTheElement)
{
    auto error = [](const xml::node& n, const std::string& name) -> std::string {
        try {
            n.read<int>(name);
        } catch (const xml::exception& e) {
            // The error's own text stays what the caller expects.
            EXPECT_EQ(e.description().rfind(e.what(), 0), 0u) << e.what();
            return e.description();
        }
        return "no error";
    };
    EXPECT_EQ(error(attribute_fixture("abc").root, "v"), "attribute parse error (\"v\" of element \"root\")");
    EXPECT_EQ(
        error(attribute_fixture("1").root, "Last"), "attribute not found (\"Last\" of element \"root\")");
    EXPECT_EQ(error(xml::node(), "First"), "attribute not found (\"First\")");
}

TEST(XmlNode, NegativeTextIsNoUnsignedValue)
{
    // The stream extraction alone would read "-1" as 4294967295.
    EXPECT_EQ(attribute_fixture("-1").root.read<std::uint32_t>("v", 7u), 7u);
    EXPECT_THROW(attribute_fixture(" -1").root.read<std::uint64_t>("v"), xml::attribute_parse_error);
    EXPECT_EQ(attribute_fixture(" 12").root.read<std::uint32_t>("v", 7u), 12u);
    EXPECT_EQ(attribute_fixture("0").root.read<bool>("v", true), false);
}

TEST(XmlNode, ValuesAreWrittenInStandardStreamForm)
{
    attribute_fixture f("");
    auto text = [&](auto value) {
        f.root.write("w", value);
        return f.root.get_attribute_or_default("w", "?");
    };
    EXPECT_EQ(text(2.5f), "2.5");
    EXPECT_EQ(text(0.1f), "0.1");
    EXPECT_EQ(text(1000000.0f), "1e+06");
    EXPECT_EQ(text(true), "1");
    EXPECT_EQ(text(false), "0");
    EXPECT_EQ(text(-17), "-17");
    EXPECT_EQ(text(std::string("as is")), "as is");
    EXPECT_EQ(text(shade::grey), "grey");
}

TEST(XmlNode, FloatAndBoolReadsFallBackOnBadText)
{
    EXPECT_FLOAT_EQ(attribute_fixture("0.25").root.read<float>("v", 1.0f), 0.25f);
    EXPECT_FLOAT_EQ(attribute_fixture("1e+06").root.read<float>("v", 1.0f), 1e6f);
    EXPECT_FLOAT_EQ(attribute_fixture("abc").root.read<float>("v", 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(attribute_fixture("1e999").root.read<float>("v", 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(attribute_fixture("nan").root.read<float>("v", 1.0f), 1.0f);
    EXPECT_TRUE(attribute_fixture("1").root.read<bool>("v", false));
    EXPECT_FALSE(attribute_fixture("0").root.read<bool>("v", true));
    EXPECT_TRUE(attribute_fixture("2").root.read<bool>("v", true));
    EXPECT_FALSE(attribute_fixture("true").root.read<bool>("v", false));
}

TEST(XmlNode, EnumerationsReadTheFirstWordFromTheirTable)
{
    EXPECT_EQ(attribute_fixture("dark").root.read("v", shade::light), shade::dark);
    EXPECT_EQ(attribute_fixture(" grey trailing").root.read("v", shade::light), shade::grey);
    EXPECT_EQ(attribute_fixture("Dark").root.read("v", shade::grey), shade::grey);
    EXPECT_EQ(attribute_fixture("").root.read("v", shade::grey), shade::grey);
    EXPECT_THROW(attribute_fixture("x").root.read<shade>("v"), xml::attribute_parse_error);
}

TEST(XmlNode, EnumerationValueOutsideItsTableIsNotWritten)
{
    attribute_fixture f("light");
    EXPECT_THROW(f.root.write("v", static_cast<shade>(3)), std::out_of_range);
    EXPECT_THROW(f.root.write("v", static_cast<shade>(-1)), std::out_of_range);
    EXPECT_EQ(f.root.get_attribute_or_default("v", "?"), "light");
}

TEST(XmlNode, CollectSelectsChildrenByTagInDocumentOrder)
{
    xml::sarnel doc;
    doc.create("root");
    xml::node root = doc.root();
    for (const char* name : { "a", "b", "a" }) {
        root.add_child(name).set_attribute("n", name);
    }
    root.add_child("a").set_attribute("last", "1");

    std::list<xml::node> as;
    root.select(as, "a");
    ASSERT_EQ(as.size(), 3u);
    EXPECT_EQ(as.back().get_attribute_or_default("last", ""), "1");

    std::vector<xml::node> all;
    root.collect(xml::filter(), all);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].get_attribute_or_default("n", ""), "b");

    EXPECT_EQ(root.child(xml::filter("b"), xml::node()).get_attribute_or_default("n", ""), "b");
    EXPECT_TRUE(root.child(xml::filter("c"), xml::node()).is_null());
}

TEST(XmlNode, NodeThatOutlivesItsDocumentNeverCallsIntoIt)
{
    xml::sarnel real;
    real.create("root");
    guarded_document doc(real);
    xml::node root(&doc, real.root_handle());
    root.add_child("a");
    xml::node copy = root;
    std::vector<xml::node> kept;
    root.collect(xml::filter(), kept);
    kept.push_back(copy);

    doc.mark_gone();
    const xml::node null;
    copy = null;
    root = std::move(copy);
    kept.clear();
    // The nodes' destructors at the end of the test must not call either.
}

} // namespace

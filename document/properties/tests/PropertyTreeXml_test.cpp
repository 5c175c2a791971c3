#include "widgets/properties/EditableObject.h"
#include "widgets/properties/PropertyBase.h"
#include "widgets/properties/tests/RecordingProperties.h"

#include "foundation/xml/xml_stream.h"
#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The XML form of property trees (the toolkit's tests build no documents).
using test::Leaf;
using test::Thing;

TEST(PropertyModel, LoadOfElementWithoutNameThrowsAndUnknownNamesAreSkipped)
{
    Leaf leaf;
    leaf.persistent = true;
    My::PropertyGroup root;
    root.Add(My::ResourceString("Work Area", 51011), &leaf);
    Thing thing;

    xml::sarnel missing;
    missing.parse("<r><property value='1'/></r>");
    xml::stream s1(missing.root(), true);
    EXPECT_THROW(root.Load(s1, &thing), xml::attribute_not_found);

    xml::sarnel unknown;
    unknown.parse("<r><property name='Nothing' value='9'/><property name='Work Area' value='2'/></r>");
    xml::stream s2(unknown.root(), true);
    root.Load(s2, &thing);
    // Found by its text although the key carries a string-table id.
    EXPECT_EQ(leaf.loaded, (std::vector<std::string> { "2" }));
}

TEST(PropertyModel, SaveWritesOnlyPersistentChildrenNestedByName)
{
    Leaf plain, kept;
    kept.persistent = true;
    My::PropertyGroup inner, empty, root;
    inner.Add(My::ResourceString("Kept"), &kept);
    empty.Add(My::ResourceString("Plain"), &plain);
    root.Add(My::ResourceString("Inner"), &inner);
    root.Add(My::ResourceString("Empty"), &empty);
    Thing thing;
    xml::sarnel doc;
    doc.parse("<r/>");
    xml::stream out(doc.root(), false);
    root.Save(out, &thing);
    std::vector<xml::node> top;
    doc.root().select(top, "property");
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].get_attribute_or_default("name", ""), "Inner");
    std::vector<xml::node> nested;
    top[0].select(nested, "property");
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(nested[0].get_attribute_or_default("name", ""), "Kept");
    EXPECT_EQ(nested[0].get_attribute_or_default("value", ""), "1");

    // A tree of non-persistent leaves writes nothing at all.
    kept.persistent = false;
    xml::sarnel none;
    none.parse("<r/>");
    xml::stream out2(none.root(), false);
    root.Save(out2, &thing);
    std::vector<xml::node> nothing;
    none.root().select(nothing, "property");
    EXPECT_TRUE(nothing.empty());
}

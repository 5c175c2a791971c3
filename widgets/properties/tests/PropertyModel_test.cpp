#include "widgets/properties/EditableObject.h"
#include "widgets/properties/Percent.h"
#include "widgets/properties/PropertyBase.h"
#include "widgets/properties/ResourceString.h"
#include "widgets/properties/tests/RecordingProperties.h"

#include "foundation/xml/xml_stream.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

using test::ChangeLog;
using test::Leaf;
using test::Thing;

TEST(ResourceString, OrderIsTotalByIdThenText)
{
    const My::ResourceString five("zeta", 5), seven("alpha", 7), literalB("b"), literalA("a");
    EXPECT_TRUE(five < seven);
    EXPECT_FALSE(seven < five);
    EXPECT_TRUE(literalA < literalB);
    // Literal labels come before string-table labels whatever the texts.
    EXPECT_TRUE(literalB < seven);
    EXPECT_FALSE(seven < literalB);
    // Three labels that a mixed rule would order in a cycle sort consistently.
    const My::ResourceString x("z", 5), y("m"), z("a", 7);
    std::set<My::ResourceString> keys { x, y, z };
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys.begin()->GetText(), "m");
    EXPECT_EQ(My::ResourceString(51011).GetText(), "Work Area");
    EXPECT_EQ(My::ResourceString("x", 3), My::ResourceString("x", 3));
    EXPECT_FALSE(My::ResourceString("x", 3) == My::ResourceString("x"));
}

TEST(PropertyModel, CompositeAndGroupAnswersOverTheirChildren)
{
    My::PropertyString composite(My::ResourceString("help"));
    const My::EditableList none;
    EXPECT_TRUE(composite.IsReadOnly(none));
    EXPECT_FALSE(composite.IsEnabled(none));
    EXPECT_TRUE(composite.IsApplicable(nullptr));
    Leaf a, b;
    a.readOnly = true;
    b.enabled = false;
    composite.Add(My::ResourceString("First", 55001), &a);
    composite.Add(My::ResourceString("Last", 55002), &b);
    EXPECT_FALSE(composite.IsReadOnly(none));
    EXPECT_TRUE(composite.IsEnabled(none));
    EXPECT_EQ(composite.GetDescription(none), "help");

    My::PropertyGroup group("about", true);
    EXPECT_TRUE(group.IsInitiallyExpanded());
    EXPECT_EQ(group.GetDescription(none), "about");
    Thing t1, t2;
    My::EditableList two({ &t1, &t2 }), out;
    group.GetChildObjects(two, out);
    EXPECT_EQ(out.GetObjects(), two.GetObjects());
    out.Resize(1);
    EXPECT_EQ(out.GetCount(), 1u);
    out.Resize(3);
    EXPECT_EQ(out.Get(2), nullptr);
}

TEST(EditableObject, NotifyChangeReachesTheListenersOfTheChangedProperty)
{
    Thing thing;
    Leaf a, b;
    ChangeLog onA, onB;
    a.AddListener(&onA);
    b.AddListener(&onB);
    thing.NotifyChange(nullptr); // empty table: nothing
    EXPECT_TRUE(onA.seen.empty());
    thing.table.Add(My::ResourceString("b"), &b);
    thing.table.Add(My::ResourceString("a"), &a);
    thing.NotifyChange(&a);
    ASSERT_EQ(onA.seen.size(), 1u);
    EXPECT_EQ(onA.seen[0].first, &thing);
    EXPECT_TRUE(onB.seen.empty());
    thing.NotifyChange(nullptr);
    EXPECT_EQ(onA.seen.size(), 2u);
    EXPECT_EQ(onB.seen.size(), 1u);
    a.RemoveListener(&onA);
    b.RemoveListener(&onB);
}

TEST(Percent, MalformedTextFailsAndKeepsTheValue)
{
    for (const char* text : { "50% ", "50 % x", "50%x", "abc", "" }) {
        My::Percent<2> value(0.25f);
        std::istringstream in(text);
        in >> value;
        EXPECT_TRUE(in.fail()) << text;
        EXPECT_EQ(static_cast<float>(value), 0.25f) << text;
    }
}

TEST(Percent, ClampsPrintsAndReads)
{
    My::Percent<2> p;
    p = 1.5f;
    EXPECT_EQ(static_cast<float>(p), 1.0f);
    std::ostringstream out;
    out.precision(3);
    out << p << ' ' << My::Percent<2>(-0.2f) << ' ' << My::Percent<2>(0.125f) << ' ' << My::Percent<0>(0.5f);
    EXPECT_EQ(out.str(), "100.00% 0.00% 12.50% 50%");
    EXPECT_EQ(out.precision(), 3);
    EXPECT_FALSE(out.flags() & std::ios_base::fixed);
    for (const char* text : { "50", "50%", "50 %" }) {
        My::Percent<0> value;
        std::istringstream in(text);
        in >> value;
        EXPECT_FALSE(in.fail()) << text;
        EXPECT_FLOAT_EQ(static_cast<float>(value), 0.5f) << text;
    }
    My::Percent<2> read;
    std::istringstream in("12.5%");
    in >> read;
    EXPECT_FLOAT_EQ(static_cast<float>(read), 0.125f);
    std::istringstream big("250");
    big >> read;
    EXPECT_EQ(static_cast<float>(read), 1.0f);
    My::Percent<2> nan(std::nanf(""));
    EXPECT_TRUE(std::isnan(static_cast<float>(nan)));
}

#include "foundation/system/profiler.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/xml/xml_stream.h"
#include "platform/kernel/clock.h"
#include "xmldoc/sarnel.h"

namespace {

// Spends processor time so that the figures of a scope are not zero.
void burn(std::uint64_t units = 20000)
{
    const std::uint64_t start = platform::thread_cpu_time();
    volatile std::uint64_t sink = 0;
    while (platform::thread_cpu_time() - start < units)
        sink = sink + 1;
}

const profiler::node& child(const profiler::node& parent, const std::string& name)
{
    return *parent.children.at(name);
}

std::string saved_text(profiler& p)
{
    xml::sarnel document;
    document.create("timing");
    xml::stream s(document.root(), false);
    s || p;
    std::ostringstream out;
    document.write(out);
    return out.str();
}

void load(const std::string& text, profiler& p)
{
    xml::sarnel document;
    document.parse(text);
    xml::stream s(document.root(), true);
    s || p;
}

// A tree with real figures: root -> a -> (b, c), root -> d.
profiler measured()
{
    profiler p;
    {
        profiler::scope a(p, "a");
        burn();
        {
            profiler::scope b(p, "b");
            burn();
        }
        profiler::scope c(p, "c");
        burn();
    }
    {
        profiler::scope d(p, "d");
        burn();
    }
    return p;
}

void expect_same_tree(const profiler::node& x, const profiler::node& y)
{
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.calls_count, y.calls_count);
    EXPECT_EQ(x.node_count, y.node_count);
    EXPECT_EQ(x.subtree_count, y.subtree_count);
    ASSERT_EQ(x.children.size(), y.children.size());
    for (auto i = x.children.begin(), j = y.children.begin(); i != x.children.end(); ++i, ++j) {
        EXPECT_EQ(i->first, j->first);
        expect_same_tree(*i->second, *j->second);
    }
}

} // namespace

TEST(profiler, NestedScopeCountsInParentSubtreeOnly)
{
    profiler p;
    {
        profiler::scope a(p, "a");
        burn();
        profiler::scope b(p, "b");
        burn();
    }
    const profiler::node& a = child(p.root(), "a");
    const profiler::node& b = child(a, "b");
    EXPECT_EQ(a.calls_count, 1u);
    EXPECT_EQ(b.calls_count, 1u);
    EXPECT_GT(b.node_time, 0u);
    EXPECT_EQ(b.node_time, b.subtree_time);
    EXPECT_EQ(a.subtree_time, a.node_time + b.subtree_time);
    EXPECT_EQ(a.subtree_count, a.node_count + b.subtree_count);
    EXPECT_GT(a.node_time, 0u);
    // The root is never timed.
    EXPECT_EQ(p.root().calls_count, 0u);
    EXPECT_EQ(p.root().node_time, 0u);
    EXPECT_EQ(p.root().node_count, 0);
}

TEST(profiler, ReenteringNameUnderSameParentAccumulates)
{
    profiler p;
    for (int i = 0; i < 2; ++i) {
        profiler::scope a(p, "a");
        profiler::scope x(p, "x");
    }
    {
        profiler::scope b(p, "b");
        profiler::scope x(p, "x");
    }
    ASSERT_EQ(p.root().children.size(), 2u);
    EXPECT_EQ(child(p.root(), "a").calls_count, 2u);
    EXPECT_EQ(child(child(p.root(), "a"), "x").calls_count, 2u);
    EXPECT_EQ(child(child(p.root(), "b"), "x").calls_count, 1u);
}

TEST(profiler, StopClosesOnceAndNullProfilerIsIgnored)
{
    profiler p;
    {
        profiler::scope a(p, "a");
        a.stop();
        a.stop();
        // Closed: the next scope opens under the root again.
        profiler::scope b(p, "b");
        profiler::scope none(nullptr, "none");
        none.stop();
    }
    EXPECT_EQ(child(p.root(), "a").calls_count, 1u);
    EXPECT_EQ(child(p.root(), "b").calls_count, 1u);
    EXPECT_TRUE(child(p.root(), "a").children.empty());
}

TEST(profiler, CopyIsDeepAndResetStartsAfresh)
{
    profiler original = measured();
    profiler copy(original);
    expect_same_tree(original.root(), copy.root());
    original.reset();
    EXPECT_TRUE(original.root().children.empty());
    EXPECT_EQ(original.root().name, "root");
    EXPECT_EQ(child(copy.root(), "a").children.size(), 2u);

    // Scopes of the copy start from its own root.
    {
        profiler::scope again(copy, "a");
    }
    EXPECT_EQ(child(copy.root(), "a").calls_count, 2u);

    original = copy;
    expect_same_tree(original.root(), copy.root());
}

TEST(profiler, UntimedRootSavesOnlyFrequencyAndChildren)
{
    profiler p;
    {
        profiler::scope a(p, "a");
    }
    xml::sarnel document;
    document.create("timing");
    xml::stream s(document.root(), false);
    s || p;

    std::string value;
    EXPECT_TRUE(s.get_attribute("frequency", value));
    EXPECT_EQ(value, std::to_string(platform::performance_frequency()));
    for (const char* absent :
        { "name", "calls_count", "node_time", "subtree_time", "node_count", "subtree_count" })
        EXPECT_FALSE(s.get_attribute(absent, value)) << absent;

    std::vector<xml::node> children;
    s.select(children, "node");
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].get_attribute_or_default("name", ""), "a");
    EXPECT_EQ(children[0].get_attribute_or_default("calls_count", ""), "1");
}

TEST(profiler, XmlRoundTripKeepsNamesCountsAndTimes)
{
    profiler p = measured();
    profiler back;
    load(saved_text(p), back);
    expect_same_tree(p.root(), back.root());

    const profiler::node& a = child(p.root(), "a");
    const profiler::node& loaded = child(back.root(), "a");
    // Times travel as seconds with 6 significant digits.
    EXPECT_NEAR(double(loaded.node_time), double(a.node_time), a.node_time * 1e-5 + 1);
    EXPECT_NEAR(double(loaded.subtree_time), double(a.subtree_time), a.subtree_time * 1e-5 + 1);
}

TEST(profiler, LoadingReadsTimesAsSeconds)
{
    profiler p;
    load("<timing frequency='1' node_time='2' subtree_time='0.5'>"
         "<node name='x' calls_count='3' node_count='-4' subtree_time='nonsense'/>"
         "<node name='y' node_time='-1' subtree_time='1e300'/></timing>",
        p);
    EXPECT_EQ(p.root().node_time, 20000000u);
    EXPECT_EQ(p.root().subtree_time, 5000000u);
    const profiler::node& x = child(p.root(), "x");
    EXPECT_EQ(x.calls_count, 3u);
    EXPECT_EQ(x.node_count, -4);
    EXPECT_EQ(x.subtree_time, 0u);
    // Values no program wrote come back as 0 rather than as garbage.
    EXPECT_EQ(child(p.root(), "y").node_time, 0u);
    EXPECT_EQ(child(p.root(), "y").subtree_time, 0u);
}

TEST(profiler, RepeatedSiblingNamesAreReadInDocumentOrderSoTheLastWins)
{
    profiler p;
    load("<timing>"
         "<node name='a' calls_count='1' node_count='10'><node name='x' calls_count='1'/></node>"
         "<node name='b' calls_count='5'/>"
         "<node name='a' calls_count='2'><node name='x' calls_count='2'/><node name='y'/></node>"
         "</timing>",
        p);
    const profiler::node& a = child(p.root(), "a");
    EXPECT_EQ(a.calls_count, 2u);
    // Attributes missing from the later element take their defaults.
    EXPECT_EQ(a.node_count, 0);
    EXPECT_EQ(child(a, "x").calls_count, 2u);
    EXPECT_EQ(a.children.size(), 2u);
    EXPECT_EQ(child(p.root(), "b").calls_count, 5u);
}

TEST(profiler, ChildWithoutNameFailsLoad)
{
    profiler p;
    EXPECT_THROW(load("<timing><node calls_count='1'/></timing>", p), xml::attribute_not_found);
}

TEST(profiler, LoadingDeepFileDoesNotRecurse)
{
    const int depth = 4000;
    std::string text = "<timing>";
    for (int i = 0; i < depth; ++i)
        text += "<node name='n' calls_count='1'>";
    for (int i = 0; i < depth; ++i)
        text += "</node>";
    text += "</timing>";
    profiler p;
    load(text, p);
    const profiler::node* n = &p.root();
    int levels = 0;
    while (!n->children.empty()) {
        n = n->children.begin()->second.get();
        ++levels;
    }
    EXPECT_EQ(levels, depth);
}

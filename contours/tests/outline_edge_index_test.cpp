#include "contours/outline_edge_index.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>

using namespace contours;

namespace {

crack_outline square_outline(unsigned x0, unsigned y0, unsigned size)
{
    // Down the left side, right along the bottom, up the right, left along the top.
    crack_outline outline;
    for (unsigned i = 0; i < size; ++i)
        outline.push_back(make_vertex(x0, y0 + i));
    for (unsigned i = 0; i < size; ++i)
        outline.push_back(make_vertex(x0 + i, y0 + size));
    for (unsigned i = 0; i < size; ++i)
        outline.push_back(make_vertex(x0 + size, y0 + size - i));
    for (unsigned i = 0; i <= size; ++i)
        outline.push_back(make_vertex(x0 + size - i, y0));
    return outline;
}

std::set<std::pair<unsigned, unsigned>> keys(const outline_edge_index& index, unsigned cls)
{
    std::set<std::pair<unsigned, unsigned>> out;
    for (const auto& n : index.nodes(cls))
        out.insert({ n.x, n.y });
    return out;
}

} // namespace

TEST(OutlineEdgeIndex, StepsAreKeyedByTheirUpperOrLeftEnd)
{
    const crack_outline outline { make_vertex(5, 2), make_vertex(4, 2), make_vertex(4, 3), make_vertex(5, 3),
        make_vertex(5, 2) };
    const outline_edge_index index(outline);
    EXPECT_EQ(keys(index, outline_edge_index::west), (std::set<std::pair<unsigned, unsigned>> { { 4, 2 } }));
    EXPECT_EQ(keys(index, outline_edge_index::south), (std::set<std::pair<unsigned, unsigned>> { { 4, 2 } }));
    EXPECT_EQ(keys(index, outline_edge_index::east), (std::set<std::pair<unsigned, unsigned>> { { 4, 3 } }));
    EXPECT_EQ(keys(index, outline_edge_index::north), (std::set<std::pair<unsigned, unsigned>> { { 5, 2 } }));

    const outline_edge_index up(crack_outline { make_vertex(3, 7), make_vertex(3, 6) });
    EXPECT_EQ(keys(up, outline_edge_index::north), (std::set<std::pair<unsigned, unsigned>> { { 3, 6 } }));
    EXPECT_EQ(up.search_radius(), 10u);
}

TEST(OutlineEdgeIndex, WindowQueryFindsExactlyTheEdgesInsideIncludingThoseOnTheBounds)
{
    // Many steps share coordinates, so split coordinates often equal the
    // window's bounds; the query must agree with a plain scan.
    std::mt19937 random(7);
    crack_outline outline { make_vertex(20, 20) };
    for (int i = 0; i < 3000; ++i) {
        unsigned x = vertex_x(outline.back());
        unsigned y = vertex_y(outline.back());
        switch (random() % 4) {
        case 0:
            x = x < 40 ? x + 1 : x - 1;
            break;
        case 1:
            x = x > 0 ? x - 1 : x + 1;
            break;
        case 2:
            y = y < 40 ? y + 1 : y - 1;
            break;
        default:
            y = y > 0 ? y - 1 : y + 1;
            break;
        }
        outline.push_back(make_vertex(x, y));
    }
    const outline_edge_index index(outline);
    for (int trial = 0; trial < 500; ++trial) {
        const auto x0 = static_cast<std::uint16_t>(random() % 42);
        const auto y0 = static_cast<std::uint16_t>(random() % 42);
        const outline_edge_index::window w { x0, y0, static_cast<std::uint16_t>(x0 + random() % 6),
            static_cast<std::uint16_t>(y0 + random() % 6) };
        for (unsigned cls = 0; cls < 4; ++cls) {
            std::multiset<std::pair<unsigned, unsigned>> found, expected;
            index.query(cls, w, [&](const outline_edge_index::node& n) { found.insert({ n.x, n.y }); });
            for (const auto& n : index.nodes(cls))
                if (outline_edge_index::in_window(n, w))
                    expected.insert({ n.x, n.y });
            ASSERT_EQ(found, expected) << "trial " << trial << " class " << cls;
        }
    }
}

TEST(OutlineEdgeIndex, NearestSnapsToTheEdgeFacingTheNormal)
{
    // The square's left side runs south (normals to -x), its right side north.
    const outline_edge_index index(square_outline(10, 10, 8));
    const pointf left = index.nearest({ 11.2f, 13.7f }, { -1.0f, 0.0f });
    EXPECT_FLOAT_EQ(left.x, 10.0f);
    EXPECT_FLOAT_EQ(left.y, 13.7f);
    const pointf right = index.nearest({ 11.2f, 13.7f }, { 1.0f, 0.0f });
    EXPECT_FLOAT_EQ(right.x, 18.0f);
    EXPECT_FLOAT_EQ(right.y, 13.7f);
    // The nearest point of an edge is clamped onto it.
    const pointf corner = index.nearest({ 9.0f, 8.0f }, { -1.0f, 0.0f });
    EXPECT_FLOAT_EQ(corner.x, 10.0f);
    EXPECT_FLOAT_EQ(corner.y, 10.0f);
}

TEST(OutlineEdgeIndex, NearestReturnsThePointItselfWhenNoEdgeIsInReach)
{
    outline_edge_index index(square_outline(10, 10, 8));
    index.set_search_radius(2);
    const pointf far { 14.0f, 14.0f };
    EXPECT_EQ(index.nearest(far, { -1.0f, 0.0f }), far);
    // A zero normal searches the north steps: the right side at x = 18.
    index.set_search_radius(5);
    EXPECT_FLOAT_EQ(index.nearest(far, { 0.0f, 0.0f }).x, 18.0f);
    const pointf nan { std::nanf(""), 1.0f };
    EXPECT_TRUE(std::isnan(index.nearest(nan, { 1.0f, 0.0f }).x));
}

TEST(OutlineEdgeIndex, WindowBoundsAreClampedIntoTheVertexRange)
{
    outline_edge_index index(square_outline(65500, 2, 30));
    index.set_search_radius(100);
    // Far beyond the coordinate range, and below 0: no wrap-around.
    const pointf beyond = index.nearest({ 70000.0f, 5.0f }, { 1.0f, 0.0f });
    EXPECT_FLOAT_EQ(beyond.x, 70000.0f);
    const pointf wrapped = index.nearest({ 131040.0f, 5.0f }, { 1.0f, 0.0f });
    EXPECT_FLOAT_EQ(wrapped.x, 131040.0f);
    const pointf below = index.nearest({ -3.0f, 5.0f }, { -1.0f, 0.0f });
    EXPECT_FLOAT_EQ(below.x, -3.0f);
    const pointf near_right = index.nearest({ 65534.0f, 5.0f }, { 1.0f, 0.0f });
    EXPECT_FLOAT_EQ(near_right.x, 65530.0f);
}

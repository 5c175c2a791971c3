#include "engine/mincut/mincut_graph.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/tests/mask_test_support.h"

namespace {

using trm::mincut::capacity_type;
using trm::mincut::graph;
using trm::mincut::side;
using trm::mincut::vertex_map;
using trm::testing::mask_from_rows;
using colour = img::BGRA<unsigned char>;
using colour_image = img::image<colour>;

colour grey(unsigned char v)
{
    return { v, v, v, 255 };
}

// A one-row image of the given grey values.
colour_image row_image(const std::vector<unsigned char>& values)
{
    colour_image im(static_cast<unsigned>(values.size()), 1, 4);
    for (unsigned x = 0; x < im.width; ++x)
        im.row(0)[x] = grey(values[x]);
    return im;
}

colour_image uniform_image(unsigned width, unsigned height)
{
    colour_image im(width, height, 4);
    im.fill(grey(100));
    return im;
}

struct quiet_graph {
    std::ostringstream log;
    graph g { nullptr, false, log };
};

TEST(MincutGraph, PixelVerticesAreNumberedFromTwoInRasterOrder)
{
    quiet_graph q;
    vertex_map map;
    q.g.map_vertices(mask_from_rows({ "#..", "..." }), mask_from_rows({ "..#", ".#." }), map);
    EXPECT_EQ(map.vertices, (std::vector<std::uint32_t> { 0, 2, 1, 3, 1, 4 }));
    EXPECT_EQ(q.g.vertex_count(), 5u);

    vertex_map reference;
    q.g.map_reference_vertices(mask_from_rows({ "#.", ".#" }), reference);
    EXPECT_EQ(reference.vertices, (std::vector<std::uint32_t> { 0, 1, 1, 0 }));
    EXPECT_EQ(q.g.vertex_count(), 5u);

    EXPECT_THROW(
        q.g.map_vertices(mask_from_rows({ "#.." }), mask_from_rows({ "#." }), map), std::runtime_error);
}

TEST(MincutGraph, LinksAreAddedOnceAndAccumulated)
{
    quiet_graph q;
    const graph::vertex a = q.g.add_vertex();
    const graph::vertex b = q.g.add_vertex();
    EXPECT_TRUE(q.g.add_link_two_way(a, b, 5));
    EXPECT_FALSE(q.g.add_link_two_way(b, a, 2));
    // The first edge either way is the capacity edge.
    EXPECT_EQ(q.g.capacity(a, b), 7);
    EXPECT_EQ(q.g.capacity(b, a), 7);
    EXPECT_TRUE(q.g.add_link_one_way(graph::source, a, 3));
    EXPECT_FALSE(q.g.add_link_one_way(graph::source, a, 4));
    EXPECT_TRUE(q.g.add_link_one_way(b, graph::sink, 1));
    EXPECT_FALSE(q.g.add_link_one_way(b, graph::sink, 1));
    EXPECT_EQ(q.g.capacity(graph::source, a), 7);
    EXPECT_EQ(q.g.capacity(a, graph::source), 0);
    EXPECT_EQ(q.g.capacity(b, graph::sink), 2);
    EXPECT_EQ(q.g.capacity(graph::sink, b), 0);
    EXPECT_EQ(q.g.edge_count(), 8u);
}

TEST(MincutGraph, NearerCandidatesGetMoreCapacityAndTiesGoToTheSmallerVertex)
{
    // Three free pixels; aspect 0, so only colour ranks them.
    quiet_graph q;
    const colour_image im = row_image({ 0, 10, 5 });
    vertex_map map;
    q.g.map_vertices(mask_from_rows({ "..." }), mask_from_rows({ "..." }), map);
    const std::uint64_t links = q.g.establish_links(im, im, map, map, 2, 2, 0.0f);
    // Pixel 0: 2 (to vertex 4), 1 (to 3). Pixel 1: 2 (to 4), 1 (to 2).
    // Pixel 2: equal distances to vertices 2 and 3, so 2 to vertex 2, 1 to 3.
    EXPECT_EQ(q.g.capacity(2, 4), 4);
    EXPECT_EQ(q.g.capacity(4, 2), 4);
    EXPECT_EQ(q.g.capacity(2, 3), 2);
    EXPECT_EQ(q.g.capacity(3, 4), 3);
    EXPECT_EQ(links, 6u);
    EXPECT_EQ(q.g.edge_count(), 12u);
    EXPECT_NE(q.log.str().find("edges added 6\n"), std::string::npos);
}

TEST(MincutGraph, TerminalCandidatesMergeIntoOneStrongLink)
{
    // A free pixel inside obligatory foreground; far terminal pixels are
    // skipped before any candidate search.
    quiet_graph q;
    const colour_image im = uniform_image(5, 5);
    vertex_map map;
    q.g.map_vertices(mask_from_rows({ "#####", "#####", "##.##", "#####", "#####" }),
        mask_from_rows({ ".....", ".....", ".....", ".....", "....." }), map);
    const std::uint64_t links = q.g.establish_links(im, im, map, map, 1, 8, 0.0f);
    // The centre's eight candidates are all the source: 8 + 7 + ... + 1;
    // each of its eight neighbours ranks it last of eight: 1 each.
    EXPECT_EQ(q.g.capacity(graph::source, 2), 36 + 8);
    EXPECT_EQ(q.g.edge_count(), 2u);
    EXPECT_EQ(links, 16u);
}

TEST(MincutGraph, TerminalsLinkOnlyToFreeVerticesAndOnlyOneWay)
{
    quiet_graph q;
    const colour_image im = uniform_image(3, 1);
    vertex_map map;
    q.g.map_vertices(mask_from_rows({ "#.." }), mask_from_rows({ "..#" }), map);
    q.g.establish_links(im, im, map, map, 2, 2, 1.0f);
    EXPECT_EQ(q.g.capacity(graph::source, 2), 2 + 2);
    EXPECT_EQ(q.g.capacity(2, graph::sink), 1 + 2);
    EXPECT_EQ(q.g.capacity(graph::source, graph::sink), 0);
    EXPECT_EQ(q.g.capacity(graph::sink, graph::source), 0);
    EXPECT_EQ(q.g.edge_count(), 4u);

    EXPECT_EQ(q.g.find_cut(), 3);
    EXPECT_EQ(q.g.side_of(2), side::source);
    EXPECT_EQ(q.g.residual(graph::source, 2), 1);
}

TEST(MincutGraph, BetweenFramesThePixelAtTheSamePositionIsACandidate)
{
    quiet_graph q;
    const colour_image reference = uniform_image(2, 1);
    const colour_image target = uniform_image(2, 1);
    vertex_map reference_map;
    vertex_map map;
    q.g.map_reference_vertices(mask_from_rows({ "#." }), reference_map);
    q.g.map_vertices(mask_from_rows({ ".." }), mask_from_rows({ ".." }), map);
    // A window of one pixel: only the same position.
    EXPECT_EQ(q.g.establish_links(target, target, map, map, 0, 1, 1.0f), 0u);
    EXPECT_EQ(q.g.establish_links(target, reference, map, reference_map, 0, 1, 1.0f), 2u);
    EXPECT_EQ(q.g.capacity(graph::source, 2), 1);
    EXPECT_EQ(q.g.capacity(3, graph::sink), 1);
    EXPECT_EQ(q.g.establish_links(reference, target, reference_map, map, 0, 1, 1.0f), 2u);
    EXPECT_EQ(q.g.capacity(graph::source, 2), 2);
    EXPECT_EQ(q.g.capacity(3, graph::sink), 2);
    EXPECT_EQ(q.g.establish_links(reference, target, reference_map, map, 3, 0, 1.0f), 0u);
    EXPECT_EQ(q.g.edge_count(), 4u);
}

// Whether a pixel may be its own candidate depends on the vertex maps (one
// map: one frame), never on whether the two images share a buffer.
TEST(MincutGraph, LinksBetweenFramesDoNotDependOnSharedImageBuffers)
{
    const colour_image image = uniform_image(2, 1);
    const colour_image copy = image;
    ASSERT_NE(copy.data, image.data);
    for (const colour_image* other : { &image, &copy }) {
        quiet_graph q;
        vertex_map reference_map;
        vertex_map map;
        q.g.map_reference_vertices(mask_from_rows({ "#." }), reference_map);
        q.g.map_vertices(mask_from_rows({ ".." }), mask_from_rows({ ".." }), map);
        // Between frames the pixel at the same position is the one candidate.
        EXPECT_EQ(q.g.establish_links(image, *other, map, reference_map, 0, 1, 1.0f), 2u);
        EXPECT_EQ(q.g.establish_links(image, *other, reference_map, map, 0, 1, 1.0f), 2u);
        EXPECT_EQ(q.g.capacity(graph::source, 2), 2);
        EXPECT_EQ(q.g.capacity(3, graph::sink), 2);
        // Within one frame it never is, however the image is passed.
        EXPECT_EQ(q.g.establish_links(image, *other, map, map, 0, 1, 1.0f), 0u);
        EXPECT_EQ(q.g.edge_count(), 4u);
    }
}

TEST(MincutGraph, LinkingRefusesImagesAndMapsOfDifferentSizes)
{
    quiet_graph q;
    const colour_image small = uniform_image(3, 2);
    const colour_image large = uniform_image(4, 2);
    vertex_map map;
    q.g.map_vertices(trm::testing::filled_mask(3, 2, false), trm::testing::filled_mask(3, 2, false), map);
    vertex_map other;
    q.g.map_reference_vertices(trm::testing::filled_mask(4, 2, true), other);
    EXPECT_THROW(q.g.establish_links(small, large, map, other, 5, 5, 1.0f), std::runtime_error);
    EXPECT_THROW(q.g.establish_links(large, large, other, map, 5, 5, 1.0f), std::runtime_error);
    EXPECT_THROW(q.g.establish_links(small, small, map, map, 5, 5, std::nanf("")), std::invalid_argument);
}

// s→c 5, c→t 2: c stays on the source side. s→d 1, d→t 4: d on the sink
// side. s→a 1, a→t 1: a is cut off both ways. b has no link.
struct known_cut {
    quiet_graph q;
    graph::vertex a = q.g.add_vertex();
    graph::vertex b = q.g.add_vertex();
    graph::vertex c = q.g.add_vertex();
    graph::vertex d = q.g.add_vertex();
    vertex_map map;

    known_cut()
    {
        q.g.add_link_one_way(graph::source, c, 5);
        q.g.add_link_one_way(c, graph::sink, 2);
        q.g.add_link_one_way(graph::source, d, 1);
        q.g.add_link_one_way(d, graph::sink, 4);
        q.g.add_link_one_way(graph::source, a, 1);
        q.g.add_link_one_way(a, graph::sink, 1);
        map.resize(3, 2);
        map.vertices = { a, b, c, d, graph::source, graph::sink };
    }
};

TEST(MincutGraph, ResidualGraphGivesSourceSideSinkSideAndNeither)
{
    known_cut k;
    EXPECT_EQ(k.q.g.find_cut(), 4);
    EXPECT_EQ(k.q.g.side_of(k.c), side::source);
    EXPECT_EQ(k.q.g.side_of(k.d), side::sink);
    EXPECT_EQ(k.q.g.side_of(k.a), side::neither);
    EXPECT_EQ(k.q.g.side_of(k.b), side::neither);

    img::image<img::bit> out;
    k.q.g.extract_side(k.map, side::source, out);
    EXPECT_EQ(trm::testing::rows_of(out), (std::vector<std::string> { "..#", ".#." }));
    k.q.g.extract_side(k.map, side::sink, out);
    EXPECT_EQ(trm::testing::rows_of(out), (std::vector<std::string> { "...", "#.#" }));

    img::image<unsigned char> codes(3, 2, 4);
    codes.fill(1);
    k.q.g.accumulate_codes(k.map, codes);
    EXPECT_EQ(codes.row(0)[0], 3);
    EXPECT_EQ(codes.row(0)[1], 3);
    EXPECT_EQ(codes.row(0)[2], 4);
    EXPECT_EQ(codes.row(1)[0], 2);
    EXPECT_EQ(codes.row(1)[1], 4);
    EXPECT_EQ(codes.row(1)[2], 2);
}

TEST(MincutGraph, DoublingTouchesOnlySaturatedCapacityEdges)
{
    known_cut k;
    k.q.g.find_cut();
    k.q.g.double_saturated();
    EXPECT_EQ(k.q.g.capacity(graph::source, k.c), 5);
    EXPECT_EQ(k.q.g.capacity(k.c, graph::sink), 4);
    EXPECT_EQ(k.q.g.capacity(graph::source, k.d), 2);
    EXPECT_EQ(k.q.g.capacity(k.d, graph::sink), 4);
    EXPECT_EQ(k.q.g.capacity(graph::source, k.a), 2);
    EXPECT_EQ(k.q.g.capacity(k.a, graph::sink), 2);
    EXPECT_EQ(k.q.g.capacity(k.c, graph::source), 0);
    // The flow starts afresh from the new capacities.
    EXPECT_EQ(k.q.g.find_cut(), 2 + 4 + 2);
}

// Random graphs of the engine's shape: one-way links from the source and to
// the sink, two-way links between pixel vertices.
void random_links(graph& g, std::mt19937& random, capacity_type largest)
{
    const int n = std::uniform_int_distribution<int>(1, 60)(random);
    std::vector<graph::vertex> free;
    for (int i = 0; i < n; ++i)
        free.push_back(g.add_vertex());
    std::uniform_int_distribution<capacity_type> capacity(1, largest);
    std::uniform_int_distribution<int> pick(0, n - 1);
    const int links = std::uniform_int_distribution<int>(0, 4 * n)(random);
    for (int i = 0; i < links; ++i) {
        const int kind = std::uniform_int_distribution<int>(0, 3)(random);
        const graph::vertex u = free[pick(random)];
        const graph::vertex v = free[pick(random)];
        if (kind == 0)
            g.add_link_one_way(graph::source, u, capacity(random));
        else if (kind == 1)
            g.add_link_one_way(u, graph::sink, capacity(random));
        else if (u != v)
            g.add_link_two_way(u, v, capacity(random));
    }
}

TEST(MincutGraph, PushRelabelAndBoykovKolmogorovGiveTheSameCutOnRandomGraphs)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 400; ++round) {
        std::ostream quiet(nullptr);
        graph g(nullptr, true, quiet);
        random_links(g, random, round % 2 ? 20 : capacity_type(1) << 40);
        const capacity_type flow = g.find_cut(trm::mincut::flow_method::push_relabel);
        std::vector<side> sides;
        for (graph::vertex v = 0; v < g.vertex_count(); ++v)
            sides.push_back(g.side_of(v));
        ASSERT_EQ(g.find_cut(trm::mincut::flow_method::boykov_kolmogorov), flow) << "round " << round;
        for (graph::vertex v = 0; v < g.vertex_count(); ++v)
            ASSERT_EQ(g.side_of(v), sides[v]) << "round " << round << " vertex " << v;
        EXPECT_EQ(sides[graph::source], side::source);
        EXPECT_EQ(sides[graph::sink], side::sink);
    }
}

TEST(MincutGraph, HugeCapacitiesNeverOverflowTheFlow)
{
    std::ostream quiet(nullptr);
    graph g(nullptr, true, quiet);
    const capacity_type huge = std::numeric_limits<capacity_type>::max() / 2;
    std::vector<graph::vertex> v;
    for (int i = 0; i < 4; ++i) {
        v.push_back(g.add_vertex());
        g.add_link_one_way(graph::source, v.back(), huge);
        g.add_link_one_way(graph::source, v.back(), huge);
        g.add_link_one_way(v.back(), graph::sink, huge);
    }
    for (int i = 0; i < 5; ++i)
        g.double_saturated();
    const capacity_type flow = g.find_cut();
    EXPECT_GT(flow, 0);
    capacity_type into_sink = 0;
    for (graph::vertex u : v)
        into_sink += g.capacity(u, graph::sink) - g.residual(u, graph::sink);
    EXPECT_EQ(flow, into_sink);
}

// The links of a tall frame of random colours, with bands of obligatory
// foreground and background, cut once and once more after doubling what
// the first cut saturated; rows far beyond the candidate search's lead
// make the adding task wait for rows and the search wait for the adding.
struct linked_frame {
    std::ostringstream log;
    graph g { nullptr, true, log };
    vertex_map map;
    std::uint64_t links = 0;
    capacity_type flows[2] = { 0, 0 };

    explicit linked_frame(unsigned threads)
    {
        struct restored {
            ~restored() { trm::thread_pool::set_threads(0); }
        } restore;
        trm::thread_pool::set_threads(threads);
        constexpr unsigned width = 23;
        constexpr unsigned height = 700;
        std::mt19937 random(77);
        colour_image im(width, height, 4);
        for (unsigned y = 0; y < height; ++y)
            for (unsigned x = 0; x < width; ++x)
                im.row(y)[x] = grey(static_cast<unsigned char>(random() % 40 + (y / 50 % 2) * 150));
        img::image<img::bit> foreground = trm::testing::filled_mask(width, height, false);
        img::image<img::bit> background = trm::testing::filled_mask(width, height, false);
        for (unsigned y = 0; y < height; ++y)
            for (unsigned x = 0; x < width; ++x) {
                foreground.at(x, y) = y % 100 < 30 && x < 8;
                background.at(x, y) = y % 100 > 60 && x > 15;
            }
        g.map_vertices(foreground, background, map);
        links = g.establish_links(im, im, map, map, 2, 6, 3.0f);
        flows[0] = g.find_cut();
        g.double_saturated();
        flows[1] = g.find_cut();
    }
};

// The same links in the same order on one thread and on eight: the flow,
// every edge's capacity and residual and every side agree, which they would
// not if an out-list's order differed and the flow took other paths.
TEST(MincutGraph, LinksComeOutTheSameOnOneAndEightThreads)
{
    const linked_frame one(1);
    const linked_frame eight(8);
    ASSERT_EQ(one.g.vertex_count(), eight.g.vertex_count());
    EXPECT_EQ(one.links, eight.links);
    EXPECT_EQ(one.g.edge_count(), eight.g.edge_count());
    EXPECT_GT(one.g.edge_count(), 10000u);
    EXPECT_EQ(one.flows[0], eight.flows[0]);
    EXPECT_EQ(one.flows[1], eight.flows[1]);
    const auto same_edge = [&](graph::vertex u, graph::vertex v) {
        return one.g.capacity(u, v) == eight.g.capacity(u, v)
            && one.g.residual(u, v) == eight.g.residual(u, v);
    };
    const unsigned width = one.map.width;
    for (unsigned y = 0; y < one.map.height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const graph::vertex u = one.map.at(x, y);
            ASSERT_EQ(u, eight.map.at(x, y));
            if (u == graph::source || u == graph::sink)
                continue;
            ASSERT_EQ(one.g.side_of(u), eight.g.side_of(u)) << x << ", " << y;
            ASSERT_TRUE(same_edge(graph::source, u) && same_edge(u, graph::sink)) << x << ", " << y;
            for (unsigned v = y < 2 ? 0 : y - 2; v <= y + 2 && v < one.map.height; ++v)
                for (unsigned w = x < 2 ? 0 : x - 2; w <= x + 2 && w < width; ++w)
                    ASSERT_TRUE(same_edge(u, one.map.at(w, v))) << x << ", " << y << " to " << w << ", " << v;
        }
}

} // namespace

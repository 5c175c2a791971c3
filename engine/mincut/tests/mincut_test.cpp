#include "engine/mincut/mincut.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/masks/morphology.h"
#include "engine/masks/reduction.h"
#include "engine/mincut/mincut_graph.h"
#include "engine/tests/mask_test_support.h"
#include "engine/tests/synthetic_scene.h"
#include "foundation/system/profiler.h"

namespace {

using namespace trm::mincut;
using trm::testing::filled_mask;
using trm::testing::mask_from_rows;
using trm::testing::region_similarity;
using trm::testing::rows_of;

colour_image uniform_image(unsigned width, unsigned height)
{
    colour_image im(width, height, 4);
    im.fill(img::BGRA<unsigned char> { 100, 100, 100, 255 });
    return im;
}

template <class Call> std::string error_of(Call call)
{
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

// Every number that follows `label` in the log, in order.
std::vector<long> figures(const std::string& log, const std::string& label)
{
    std::vector<long> found;
    for (std::size_t at = log.find(label); at != std::string::npos; at = log.find(label, at + 1))
        found.push_back(std::stol(log.substr(at + label.size())));
    return found;
}

options plain_options(int levels, int max_motion)
{
    options o;
    o.pyramid_levels = levels;
    o.max_motion = max_motion;
    return o;
}

TEST(Mincut, LevelCutWithoutOutputsDoesNothing)
{
    std::ostringstream log;
    cut_level(uniform_image(4, 4), mask(), mask(), nullptr, nullptr, options(), nullptr, log);
    EXPECT_EQ(log.str(), "");
}

// Inputs for the failure paths; `out` must survive every failure unchanged.
struct MincutFailure : ::testing::Test {
    const colour_image im = uniform_image(6, 4);
    const mask half = mask_from_rows({ "###...", "###...", "###...", "###..." });
    // Erosion empties its obligatory foreground.
    const mask small = mask_from_rows({ "......", ".##...", ".##...", "......" });
    mask out = filled_mask(2, 2, true);
    std::ostringstream log;
    const options o = plain_options(0, 0);

    void TearDown() override { EXPECT_EQ(rows_of(out), rows_of(filled_mask(2, 2, true))); }
};

TEST_F(MincutFailure, SingleFormRefusesBadSizesAndEmptyMasks)
{

    EXPECT_EQ(error_of([&] { cut_single(im, filled_mask(5, 4, true), out, nullptr, o, nullptr, log); }),
        "dimensions of image and initial mask do not coincide");
    EXPECT_EQ(error_of([&] { cut_level(im, filled_mask(6, 3, true), half, &out, nullptr, o, nullptr, log); }),
        "dimensions of image and obligatory foreground pixels mask do not coincide");
    EXPECT_EQ(error_of([&] { cut_level(im, half, filled_mask(7, 4, true), &out, nullptr, o, nullptr, log); }),
        "dimensions of image and obligatory background pixels mask do not coincide");
    EXPECT_EQ(error_of([&] { cut_single(im, filled_mask(6, 4, false), out, nullptr, o, nullptr, log); }),
        "obligatory foreground pixels mask can't be empty");
    EXPECT_EQ(error_of([&] { cut_single(im, filled_mask(6, 4, true), out, nullptr, o, nullptr, log); }),
        "obligatory background pixels mask can't be empty");
    EXPECT_EQ(error_of([&] { cut_single(im, small, out, nullptr, plain_options(0, 1), nullptr, log); }),
        "obligatory foreground pixels mask can't be empty");
}

TEST_F(MincutFailure, TwoFrameFormRefusesEverySizeThatDiffers)
{

    EXPECT_EQ(
        error_of([&] { cut_two_frames(im, filled_mask(6, 5, true), im, out, nullptr, o, nullptr, log); }),
        "dimensions of reference image and reference mask do not coincide");
    EXPECT_EQ(error_of([&] { cut_two_frames(im, half, uniform_image(6, 5), out, nullptr, o, nullptr, log); }),
        "dimensions of reference image and target image do not coincide");
    EXPECT_EQ(error_of([&] {
        cut_level_two_frames(im, half, im, filled_mask(5, 4, true), half, &out, nullptr, o, nullptr, log);
    }),
        "dimensions of image and obligatory foreground pixels mask do not coincide");
    EXPECT_EQ(error_of([&] {
        cut_level_two_frames(im, half, im, half, filled_mask(6, 1, true), &out, nullptr, o, nullptr, log);
    }),
        "dimensions of image and obligatory background pixels mask do not coincide");
    EXPECT_EQ(
        error_of([&] { cut_two_frames(im, small, im, out, nullptr, plain_options(0, 1), nullptr, log); }),
        "Either initial mask has too few foreground or background pixels, or maximum motion parameter is too "
        "large.");
}

TEST(Mincut, WithoutFreePixelsTheForegroundIsTheInitialMask)
{
    const colour_image im = uniform_image(6, 4);
    const mask initial = mask_from_rows({ "##....", "###...", "#####.", "#....." });
    for (information_source source : { information_source::target, information_source::both }) {
        options o = plain_options(0, 0);
        o.information_source = source;
        mask out;
        mask background;
        std::ostringstream log;
        run(im, initial, im, out, &background, o, nullptr, log);
        EXPECT_EQ(rows_of(out), rows_of(initial));
        mask inverse = initial;
        inverse.invert();
        EXPECT_EQ(rows_of(background), rows_of(inverse));
        EXPECT_EQ(figures(log.str(), "max flow = "), std::vector<long> { 0 });
        EXPECT_EQ(figures(log.str(), "total vertices in graph: "), std::vector<long> { 2 });
    }
}

TEST(Mincut, ObligatoryMasksAreTheReducedInitialMaskAndItsInverseEroded)
{
    trm::testing::synthetic_scene scene = trm::testing::make_scene(64, 48);
    std::ostringstream log;
    mask out;
    cut_single(scene.frame, scene.object, out, nullptr, plain_options(1, 2), nullptr, log);

    mask reduced;
    trm::reduce_mask(scene.object, reduced, 2, 2);
    mask inverse = reduced;
    inverse.invert();
    mask expected_foreground;
    mask expected_background;
    trm::erode4_n(expected_foreground, reduced, 2);
    trm::erode4_n(expected_background, inverse, 2);
    const std::vector<long> foreground = figures(log.str(), "obligatory foreground pixels ");
    const std::vector<long> background = figures(log.str(), "obligatory background pixels ");
    ASSERT_EQ(foreground.size(), 2u);
    ASSERT_EQ(background.size(), 2u);
    EXPECT_EQ(foreground[0], static_cast<long>(expected_foreground.count()));
    EXPECT_EQ(background[0], static_cast<long>(expected_background.count()));
    // Both levels cut the same uncertain band in their own resolution.
    const std::vector<long> vertices = figures(log.str(), "total vertices in graph: ");
    ASSERT_EQ(vertices.size(), 2u);
    EXPECT_EQ(vertices[0], 2 + 32 * 24 - foreground[0] - background[0]);
    EXPECT_EQ(vertices[1], 2 + 64 * 48 - foreground[1] - background[1]);
}

TEST(Mincut, OddFinerLevelLeavesItsLastColumnAndRowFree)
{
    // 5 x 5 halves to 2 x 2; without erosion the coarse cut returns its
    // obligatory masks, which cover 4 x 4 pixels once expanded.
    const colour_image im = uniform_image(5, 5);
    const mask initial = mask_from_rows({ "##...", "##...", "##...", "##...", "##..." });
    for (information_source source : { information_source::target, information_source::both }) {
        options o = plain_options(1, 0);
        o.information_source = source;
        std::ostringstream log;
        mask out;
        run(im, initial, im, out, nullptr, o, nullptr, log);
        EXPECT_EQ(figures(log.str(), "total vertices in graph: "), (std::vector<long> { 2, 2 + 9 }));
        for (unsigned y = 0; y < 4; ++y)
            for (unsigned x = 0; x < 4; ++x)
                EXPECT_EQ(static_cast<bool>(out.at(x, y)), x < 2) << x << "," << y;
    }
}

TEST(Mincut, InterframeLinksAreSplitOverTheTwoDirections)
{
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(40, 32);
    // A copy: the same pixels in another buffer, so the pixel at the same
    // position is a candidate between the frames.
    const colour_image target = scene.frame;
    options o = plain_options(0, 1);
    o.information_source = information_source::both;
    o.interframe_link_count = 1;
    std::ostringstream log;
    mask out;
    cut_two_frames(scene.frame, scene.object, target, out, nullptr, o, nullptr, log);
    const long free_pixels = figures(log.str(), "total vertices in graph: ").at(0) - 2;
    const std::vector<long> added = figures(log.str(), "edges added ");
    ASSERT_EQ(added.size(), 3u);
    EXPECT_EQ(added[1], 0);
    EXPECT_EQ(added[2], free_pixels);

    o.interframe_link_count = 4;
    std::ostringstream more;
    cut_two_frames(scene.frame, scene.object, target, out, nullptr, o, nullptr, more);
    const std::vector<long> split = figures(more.str(), "edges added ");
    ASSERT_EQ(split.size(), 3u);
    EXPECT_EQ(split[0], added[0]);
    EXPECT_EQ(split[2], 2 * free_pixels);
    EXPECT_GT(split[1], 0);
}

TEST(Mincut, OneCutWritesItsDiagnosticLinesInOrder)
{
    colour_image im = uniform_image(3, 1);
    std::ostringstream log;
    mask out;
    options o = plain_options(0, 0);
    o.max_link_distance = 2;
    o.link_count = 2;
    o.aspect = 1.0f;
    cut_level(im, mask_from_rows({ "#.." }), mask_from_rows({ "..#" }), &out, nullptr, o, nullptr, log);
    EXPECT_EQ(log.str(),
        "obligatory foreground pixels 1\n"
        "obligatory background pixels 1\n"
        "MinCut segmenting\n"
        "building graph...\n"
        "total vertices in graph: 3\n"
        "edges added 4\n"
        "total directional edges in graph: 4\n"
        "done\n"
        "determining max flow...done\n"
        "max flow = 3\n");
    EXPECT_EQ(rows_of(out), (std::vector<std::string> { "##." }));

    options quiet = plain_options(1, 1);
    quiet.quiet = true;
    std::ostringstream none;
    grey_image soft;
    cut_single(uniform_image(8, 8),
        mask_from_rows({ "####....", "####....", "####....", "####....", "####....", "####....", "####....",
            "####...." }),
        out, nullptr, quiet, &soft, none);
    EXPECT_EQ(none.str(), "");
}

// s→c 5, c→t 2 (c on the source side); s→d 1, d→t 4 (d on the sink side);
// s→a 1, a→t 1 (a in neither); s→e 3, e→t 2 (e changes side as the
// saturated links double).
struct known_graph {
    std::ostringstream log;
    graph g { nullptr, false, log };
    vertex_map map;

    known_graph()
    {
        const graph::vertex a = g.add_vertex();
        const graph::vertex c = g.add_vertex();
        const graph::vertex d = g.add_vertex();
        const graph::vertex e = g.add_vertex();
        g.add_link_one_way(graph::source, c, 5);
        g.add_link_one_way(c, graph::sink, 2);
        g.add_link_one_way(graph::source, d, 1);
        g.add_link_one_way(d, graph::sink, 4);
        g.add_link_one_way(graph::source, a, 1);
        g.add_link_one_way(a, graph::sink, 1);
        g.add_link_one_way(graph::source, e, 3);
        g.add_link_one_way(e, graph::sink, 2);
        map.resize(6, 1);
        map.vertices = { graph::source, graph::sink, a, c, d, e };
        g.find_cut();
    }
};

TEST(Mincut, GreyMaskMapsAccumulatedSidesOntoTheFullRange)
{
    options o;
    o.antialiasing_levels_exp = 0;
    known_graph k0;
    grey_image grey;
    compute_grey(k0.g, k0.map, o, grey, k0.log);
    ASSERT_EQ(grey.width, 6u);
    EXPECT_EQ(
        std::vector<int>(grey.row(0), grey.row(0) + 6), (std::vector<int> { 255, 0, 127, 255, 0, 255 }));

    // e: source side, then sink side once its sink link has doubled:
    // 2 x 2 + 0 = 4 of 6.
    o.antialiasing_levels_exp = 1;
    known_graph k1;
    compute_grey(k1.g, k1.map, o, grey, k1.log);
    EXPECT_EQ(
        std::vector<int>(grey.row(0), grey.row(0) + 6), (std::vector<int> { 255, 0, 127, 255, 0, 170 }));
    EXPECT_NE(k1.log.str().find("computing gray level 1...\n"), std::string::npos);

    // Six extra cuts: 0..254 onto 0..255; a stays in neither (127 of 254).
    o.antialiasing_levels_exp = 6;
    known_graph k6;
    compute_grey(k6.g, k6.map, o, grey, k6.log);
    EXPECT_EQ(grey.row(0)[0], 255);
    EXPECT_EQ(grey.row(0)[1], 0);
    EXPECT_EQ(grey.row(0)[2], 127);
    EXPECT_EQ(figures(k6.log.str(), "computing gray level ").size(), 6u);

    // Out-of-range counts are clamped, never wrap a byte or divide by zero.
    o.antialiasing_levels_exp = -3;
    known_graph low;
    compute_grey(low.g, low.map, o, grey, low.log);
    EXPECT_EQ(grey.row(0)[2], 127);
    o.antialiasing_levels_exp = 40;
    known_graph high;
    compute_grey(high.g, high.map, o, grey, high.log);
    EXPECT_EQ(figures(high.log.str(), "computing gray level ").size(), 6u);
}

TEST(Mincut, GreyMaskOfACutAgreesWithItsForeground)
{
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(64, 48);
    options o = plain_options(0, 2);
    o.antialiasing_levels_exp = 0;
    std::ostringstream log;
    mask out;
    grey_image grey;
    cut_single(scene.frame, scene.object, out, nullptr, o, &grey, log);
    ASSERT_EQ(grey.width, 64u);
    ASSERT_EQ(grey.height, 48u);
    for (unsigned y = 0; y < 48; ++y)
        for (unsigned x = 0; x < 64; ++x) {
            const unsigned char g = grey.row(y)[x];
            EXPECT_TRUE(g == 0 || g == 127 || g == 255);
            EXPECT_EQ(g == 255, static_cast<bool>(out.at(x, y)));
        }
}

TEST(Mincut, ProfilerReceivesTheScopesOfBothForms)
{
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(40, 32);
    profiler timing;
    options o = plain_options(1, 1);
    o.profiler = &timing;
    o.quiet = true;
    std::ostringstream log;
    mask out;
    o.information_source = information_source::target;
    run(scene.frame, scene.object, scene.frame, out, nullptr, o, nullptr, log);
    o.information_source = information_source::both;
    run(scene.frame, scene.object, scene.frame, out, nullptr, o, nullptr, log);
    const auto& scopes = timing.root().children;
    for (const char* name : { "downsampling image", "downsampling images & masks", "creating vmap",
             "creating vmap 1", "establishing links", "finding max-flow & min-cut" })
        EXPECT_EQ(scopes.count(name), 1u) << name;
    EXPECT_EQ(scopes.at("establishing links")->calls_count, 2u + 2u * 3u);
}

// The object moves 2 pixels right and 1 down and turns slightly; the cut
// starting from the reference mask must find its new outline.
TEST(Mincut, TrackedFrameCutFollowsTheObject)
{
    const trm::testing::synthetic_scene reference = trm::testing::make_scene(240, 192);
    const trm::affine_motion motion = trm::testing::turn_and_shift(240, 192, 0.01, 2.0, 1.0);
    const trm::testing::synthetic_scene target = trm::testing::make_scene(240, 192, motion);
    const double before = region_similarity(reference.object, target.object);

    for (information_source source : { information_source::target, information_source::both }) {
        options o;
        o.information_source = source;
        o.interframe_link_count = 4;
        std::ostringstream log;
        mask out;
        run(reference.frame, reference.object, target.frame, out, nullptr, o, nullptr, log);
        const double after = region_similarity(out, target.object);
        EXPECT_GT(after, 0.97) << static_cast<int>(source);
        EXPECT_GT(after, before);
    }
}

} // namespace

#include "engine/mincut/mincut.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <stdexcept>

#include "engine/masks/morphology.h"
#include "engine/masks/pyramid.h"
#include "engine/masks/reduction.h"
#include "engine/mincut/mincut_graph.h"
#include "foundation/system/profiler.h"

namespace trm::mincut {

namespace {

// Deeper pyramids only add empty levels: 2^31 exceeds every image side.
constexpr int max_pyramid_levels = 31;
constexpr int max_grey_levels_exp = 6;

template <class A, class B> bool same_size(const A& a, const B& b) noexcept
{
    return a.width == b.width && a.height == b.height;
}

void require_same_size(bool same, const char* message)
{
    if (!same)
        throw std::runtime_error(message);
}

int pyramid_levels(const options& o)
{
    return std::clamp(o.pyramid_levels, 0, max_pyramid_levels);
}

int erosion_steps(const options& o)
{
    return std::max(o.max_motion, 0);
}

// The obligatory masks at the coarsest level: the initial mask reduced by
// 2^levels by block majority, and its inverse, each eroded max_motion times.
void obligatory_masks(const mask& initial, const options& o, mask& foreground, mask& background)
{
    const unsigned factor = 1u << pyramid_levels(o);
    reduce_mask(initial, foreground, factor, factor);
    background = foreground;
    background.invert();
    erode4_n(foreground, foreground, erosion_steps(o));
    erode4_n(background, background, erosion_steps(o));
}

// Carries a cut's side to the next finer level: each pixel becomes a 2 x 2
// block of a mask of the finer size (an odd last column or row stays clear),
// then eroded max_motion times.
void to_finer_level(mask& side_mask, const colour_image& finer, const options& o)
{
    mask coarse;
    coarse.swap(side_mask);
    side_mask.resize(finer.width, finer.height, 4);
    side_mask.fill(false);
    expand_mask(coarse, side_mask, 2, 2);
    erode4_n(side_mask, side_mask, erosion_steps(o));
}

// Reads the cut into the outputs; computed aside and handed over at the end,
// so that a failure leaves the outputs untouched.
void deliver(graph& g, const vertex_map& map, mask* foreground, mask* background, const options& o,
    grey_image* grey, std::ostream& log)
{
    mask source_side;
    mask sink_side;
    grey_image soft;
    if (foreground)
        g.extract_side(map, side::source, source_side);
    if (background)
        g.extract_side(map, side::sink, sink_side);
    if (grey)
        compute_grey(g, map, o, soft, log);
    if (foreground)
        foreground->swap(source_side);
    if (background)
        background->swap(sink_side);
    if (grey)
        grey->swap(soft);
}

void log_edge_count(const graph& g, const options& o, std::ostream& log)
{
    log_line(log, o.quiet, "total directional edges in graph: ", g.edge_count(), "\ndone");
}

void check_obligatory(const colour_image& image, const mask& obligatory, const char* size_message,
    const char* empty_message, const char* count_text, const options& o, std::ostream& log)
{
    require_same_size(same_size(image, obligatory), size_message);
    const std::uint64_t count = obligatory.count();
    if (count == 0)
        throw std::runtime_error(empty_message);
    log_line(log, o.quiet, count_text, count);
}

} // namespace

void run(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& foreground, mask* background, const options& o, grey_image* grey, std::ostream& log)
{
    if (o.information_source == information_source::both)
        cut_two_frames(reference, reference_mask, target, foreground, background, o, grey, log);
    else
        cut_single(target, reference_mask, foreground, background, o, grey, log);
}

void cut_single(const colour_image& image, const mask& initial, mask& foreground, mask* background,
    const options& o, grey_image* grey, std::ostream& log)
{
    require_same_size(same_size(image, initial), "dimensions of image and initial mask do not coincide");
    mask obligatory_foreground;
    mask obligatory_background;
    obligatory_masks(initial, o, obligatory_foreground, obligatory_background);

    const int levels = pyramid_levels(o);
    if (levels > 0) {
        profiler::scope scope(o.profiler, "downsampling image");
        const colour_pyramid colours(image, levels);
        scope.stop();
        for (int level = levels; level >= 1; --level) {
            cut_level(colours[level], obligatory_foreground, obligatory_background, &obligatory_foreground,
                &obligatory_background, o, nullptr, log);
            to_finer_level(obligatory_foreground, colours[level - 1], o);
            to_finer_level(obligatory_background, colours[level - 1], o);
        }
    }
    cut_level(image, obligatory_foreground, obligatory_background, &foreground, background, o, grey, log);
}

void cut_two_frames(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& foreground, mask* background, const options& o, grey_image* grey, std::ostream& log)
{
    require_same_size(same_size(reference, reference_mask),
        "dimensions of reference image and reference mask do not coincide");
    require_same_size(
        same_size(reference, target), "dimensions of reference image and target image do not coincide");
    mask obligatory_foreground;
    mask obligatory_background;
    obligatory_masks(reference_mask, o, obligatory_foreground, obligatory_background);
    if (obligatory_foreground.count() == 0)
        throw std::runtime_error(
            "Either initial mask has too few foreground or background pixels, or maximum "
            "motion parameter is too large.");

    const int levels = pyramid_levels(o);
    if (levels > 0) {
        profiler::scope scope(o.profiler, "downsampling images & masks");
        const colour_pyramid references(reference, levels);
        const colour_pyramid targets(target, levels);
        const mask_pyramid reference_masks(reference_mask, levels);
        scope.stop();
        for (int level = levels; level >= 1; --level) {
            cut_level_two_frames(references[level], reference_masks[level], targets[level],
                obligatory_foreground, obligatory_background, &obligatory_foreground, &obligatory_background,
                o, nullptr, log);
            to_finer_level(obligatory_foreground, targets[level - 1], o);
            to_finer_level(obligatory_background, targets[level - 1], o);
        }
    }
    cut_level_two_frames(reference, reference_mask, target, obligatory_foreground, obligatory_background,
        &foreground, background, o, grey, log);
}

void cut_level(const colour_image& image, const mask& obligatory_foreground,
    const mask& obligatory_background, mask* foreground, mask* background, const options& o, grey_image* grey,
    std::ostream& log)
{
    if (!foreground && !background && !grey)
        return;
    check_obligatory(image, obligatory_foreground,
        "dimensions of image and obligatory foreground pixels mask do not coincide",
        "obligatory foreground pixels mask can't be empty", "obligatory foreground pixels ", o, log);
    check_obligatory(image, obligatory_background,
        "dimensions of image and obligatory background pixels mask do not coincide",
        "obligatory background pixels mask can't be empty", "obligatory background pixels ", o, log);

    graph g(o.profiler, o.quiet, log);
    log_line(log, o.quiet, "building graph...");
    vertex_map map;
    g.map_vertices(obligatory_foreground, obligatory_background, map);
    log_line(log, o.quiet, "total vertices in graph: ", g.vertex_count());
    g.establish_links(image, image, map, map, o.max_link_distance, o.link_count, o.aspect);
    log_edge_count(g, o, log);
    g.find_cut();
    deliver(g, map, foreground, background, o, grey, log);
}

void cut_level_two_frames(const colour_image& reference, const mask& reference_mask,
    const colour_image& target, const mask& obligatory_foreground, const mask& obligatory_background,
    mask* foreground, mask* background, const options& o, grey_image* grey, std::ostream& log)
{
    require_same_size(same_size(reference, reference_mask),
        "dimensions of reference image and reference mask do not coincide");
    require_same_size(
        same_size(reference, target), "dimensions of reference image and target image do not coincide");
    require_same_size(same_size(target, obligatory_foreground),
        "dimensions of image and obligatory foreground pixels mask do not coincide");
    require_same_size(same_size(target, obligatory_background),
        "dimensions of image and obligatory background pixels mask do not coincide");

    graph g(o.profiler, o.quiet, log);
    log_line(log, o.quiet, "building graph...");
    vertex_map reference_map;
    g.map_reference_vertices(reference_mask, reference_map);
    vertex_map map;
    g.map_vertices(obligatory_foreground, obligatory_background, map);
    log_line(log, o.quiet, "total vertices in graph: ", g.vertex_count());

    // The interframe links are split over the two directions, the odd one
    // going from the target to the reference.
    const std::int64_t interframe = std::max(o.interframe_link_count, 0);
    g.establish_links(target, target, map, map, o.max_link_distance, o.link_count, o.aspect);
    g.establish_links(reference, target, reference_map, map, o.interframe_max_link_distance,
        static_cast<int>(interframe / 2), o.aspect);
    g.establish_links(target, reference, map, reference_map, o.interframe_max_link_distance,
        static_cast<int>((interframe + 1) / 2), o.aspect);
    log_edge_count(g, o, log);
    g.find_cut();
    deliver(g, map, foreground, background, o, grey, log);
}

void compute_grey(graph& g, const vertex_map& map, const options& o, grey_image& grey, std::ostream& log)
{
    // Each cut adds one base-2 digit; 6 extra cuts fill the 8 bits.
    const int n = std::clamp(o.antialiasing_levels_exp, 0, max_grey_levels_exp);
    grey.resize(map.width, map.height, 4);
    grey.fill(0);
    g.accumulate_codes(map, grey);
    for (int i = 1; i <= n; ++i) {
        log_line(log, o.quiet, "computing gray level ", i, "...");
        g.double_saturated();
        g.find_cut();
        g.accumulate_codes(map, grey);
    }

    const unsigned values = (1u << (n + 2)) - 1;
    unsigned char table[256] = {};
    for (unsigned j = 0; j < values; ++j)
        table[j] = static_cast<unsigned char>(255u * j / (values - 1));
    for (unsigned y = 0; y < grey.height; ++y) {
        unsigned char* row = grey.row(y);
        for (unsigned x = 0; x < grey.width; ++x)
            row[x] = table[row[x]];
    }
}

} // namespace trm::mincut

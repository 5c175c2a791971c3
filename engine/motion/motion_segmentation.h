#pragma once

// Block segmentation of an object mask into motion segments: the mask is cut
// into square blocks, every connected piece of the mask inside a block
// becomes a region, and regions smaller than a fifth of a block are merged
// into the region whose centroid is nearest until none is left. The motion
// stages (profiles, coherent motion, motion fits) work on the segments.

#include <cstdint>
#include <map>
#include <vector>

#include "engine/common/grid.h"
#include "foundation/image/image.h"

namespace trm {

using float_image = img::image<img::BGRA<float>>;

// A pixel offset or window cell.
struct int_offset {
    int x = 0;
    int y = 0;

    bool operator==(const int_offset&) const = default;
};

struct motion_segment {
    // The region label the segment was made from; 0 is never a key (it marks
    // the pixels outside the mask).
    std::uint32_t key = 0;
    // Number of pixels.
    std::int32_t count = 0;
    // The segments that touch this one: key -> segment index, by key.
    std::map<std::uint32_t, std::uint32_t> neighbours;
    // Score of every candidate displacement, row = vertical, column =
    // horizontal; empty until profiles are built.
    grid<double> scores;
    // Pixels that contributed to each score cell while profiles are built.
    grid<int> hits;
    // Mean colour (blue, green, red) and colour variance over the reference
    // frame.
    float mean_colour[3] = { 0.0f, 0.0f, 0.0f };
    double variance = 0.0;
    // Bounding box; x1 and y1 one past the last pixel.
    struct box {
        int x0 = 0;
        int y0 = 0;
        int x1 = 0;
        int y1 = 0;
    } bounds;
    // Mean pixel position.
    struct point {
        double x = 0.0;
        double y = 0.0;
    } centroid;
    // Window cell of displacement zero.
    int_offset origin;
    // Current displacement, relative to `base`.
    int_offset displacement;
    // Base displacement; the absolute displacement is displacement + base.
    int_offset base;
};

class motion_segmentation {
public:
    // Finds a segment by its key.
    std::map<std::uint32_t, std::uint32_t> keys;
    std::vector<motion_segment> segments;
    // Segment index of every pixel of the mask (columns = width), -1 outside.
    grid<int> segment_index;
    unsigned width = 0;
    unsigned height = 0;
    // The reference frame as float colour, the size of the mask; set by the
    // caller and not owned.
    const float_image* reference_images = nullptr;
    // Centroids and bounding boxes are valid.
    bool centroids_current = false;
    // Colour statistics are valid, and were computed with scaling.
    bool statistics_current = false;
    bool statistics_scaled = false;

    // Replaces any content by the segmentation of `mask` into blocks of
    // `block_size` pixels whose grid is offset by `shift` (0: blocks at
    // multiples of the block size). Throws std::invalid_argument for a block
    // size of 0 and trm::not_enough_memory (check_memory.h) when the
    // segmentation would not fit into the available memory, leaving the
    // segmentation empty. Centroids and bounding boxes come out current.
    void build(const img::image<img::bit>& mask, unsigned block_size, unsigned shift);

    // Empties everything and clears the flags (reference_images stays).
    void clear();

    // Computes centroids and bounding boxes unless they are current.
    void update_centroids();

    std::size_t segment_count() const noexcept { return segments.size(); }

private:
    // Merges the segments smaller than `threshold` pixels into their nearest
    // neighbours; sum_x and sum_y hold each segment's sums of its pixels'
    // coordinates.
    void merge_small_segments(
        std::uint32_t threshold, const std::vector<double>& sum_x, const std::vector<double>& sum_y);
};

} // namespace trm

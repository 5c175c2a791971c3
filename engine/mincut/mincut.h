#pragma once

// The graph-cut segmentation stage ("mincut segmenting"): decides the pixels
// of a band around an object's outline by a minimum s-t cut, coarse to fine
// over an image pyramid, from one frame or from the target frame together
// with its reference frame, optionally with a grey (soft) mask from repeated
// cuts.
//
// All images and masks of one call have the frame's size. Failures throw
// std::runtime_error (sizes that do not coincide, empty obligatory masks);
// nothing is written to the outputs then. Diagnostic lines go to `log`
// unless options::quiet; timing scopes to options::profiler when not null.
// Each call builds and frees everything it uses; calls on different data may
// run on different threads.

#include <iosfwd>

#include "engine/param.h"
#include "foundation/image/image.h"

class profiler;

namespace trm::mincut {

class graph;
struct vertex_map;

using colour_image = img::image<img::BGRA<unsigned char>>;
using mask = img::image<img::bit>;
using grey_image = img::image<unsigned char>;

struct options {
    // Halvings of the pyramid; the initial mask is reduced by 2^levels.
    int pyramid_levels = 2;
    // Erosion steps that turn the initial mask into the obligatory masks, at
    // every level.
    int max_motion = 2;
    // Half side of the square link window within one frame.
    int max_link_distance = 5;
    // Links per pixel within one frame.
    int link_count = 5;
    // Weight of the squared spatial distance against the squared colour
    // distance; must be finite.
    float aspect = 10.0f;
    // Half side of the link window between the two frames.
    int interframe_max_link_distance = 5;
    // Links per pixel between the two frames, split over the two directions.
    int interframe_link_count = 5;
    mincut::information_source information_source = mincut::information_source::both;
    // Extra cuts for the grey mask, 0 to 6 (values outside are clamped).
    int antialiasing_levels_exp = 0;
    // Suppresses every diagnostic line.
    bool quiet = false;
    ::profiler* profiler = nullptr;
};

// The stage entry: `cut_two_frames` when the information source is "both",
// else `cut_single` on the target frame with the reference mask as its
// initial mask. `foreground` may be the same record as `reference_mask`.
void run(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& foreground, mask* background, const options& o, grey_image* grey, std::ostream& log);

// The single-frame form, pyramid included: `foreground` receives the pixels
// on the source side of the cut, `background` (when given) those on the sink
// side, `grey` (when given) the soft mask. `foreground` may be the same
// record as `initial`.
void cut_single(const colour_image& image, const mask& initial, mask& foreground, mask* background,
    const options& o, grey_image* grey, std::ostream& log);

// The two-frame form, pyramid included: colour samples of both frames, the
// reference mask deciding the reference frame's pixels.
void cut_two_frames(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& foreground, mask* background, const options& o, grey_image* grey, std::ostream& log);

// One single-frame cut at one resolution, from the obligatory foreground and
// background masks. Does nothing when no output is asked for. The outputs may
// be the same records as the obligatory masks.
void cut_level(const colour_image& image, const mask& obligatory_foreground,
    const mask& obligatory_background, mask* foreground, mask* background, const options& o, grey_image* grey,
    std::ostream& log);

// One two-frame cut at one resolution.
void cut_level_two_frames(const colour_image& reference, const mask& reference_mask,
    const colour_image& target, const mask& obligatory_foreground, const mask& obligatory_background,
    mask* foreground, mask* background, const options& o, grey_image* grey, std::ostream& log);

// The grey mask from a graph after its first cut: cuts again
// antialiasing_levels_exp times with the saturated capacities doubled and
// maps the accumulated sides of each pixel to 0..255.
void compute_grey(graph& g, const vertex_map& map, const options& o, grey_image& grey, std::ostream& log);

} // namespace trm::mincut

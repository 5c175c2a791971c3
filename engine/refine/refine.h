#pragma once

// The refinement stages "refining" and "refining2": they correct a frame's
// bit mask pixel by pixel. A pixel whose eight neighbours agree takes their
// value; a pixel with mixed neighbours is judged by colour statistics from a
// source image and mask (window_statistics). Changed pixels and their
// surroundings are checked again in the next pass until nothing changes. The
// statistics come from the reference frame (at the position the frame's
// motion gives) or from the target frame itself ("adjust"). "refining2" runs
// the same passes coarse to fine over a pyramid, in a band around the
// mask's outline.
//
// Diagnostic lines go to `log` unless the options are quiet. Failures throw
// std::runtime_error: a mask whose size differs from its image's, a check
// mask whose size differs from the target's, a window half size outside 1 to
// 127. Each call keeps its state to itself.

#include <iosfwd>

#include "engine/motion/affine_motion.h"
#include "engine/param.h"
#include "engine/refine/window_statistics.h"
#include "foundation/image/image.h"

namespace refine {

using colour_image = img::image<img::BGRA<unsigned char>>;
using mask = img::image<img::bit>;

struct options {
    // w: half size of the statistics window.
    int window_half_size = 6;
    // True: decide by the most significant prefix of the vote ("Auto");
    // false: by the threshold enough_statistics ("Manual").
    bool auto_threshold = true;
    // e: significance threshold of the manual vote.
    float enough_statistics = 3.5f;
    // The pass loop ends after the pass numbered max_passes (from 0).
    int max_passes = 150;
    // What a pixel the statistics leave undecided becomes.
    refine::preference preference = refine::preference::none;
    bool quiet = false;
    // When set (of the target's size), only its pixels are ever checked.
    const mask* check_mask = nullptr;
};

struct refine2_options {
    // The largest band radius, at full resolution.
    int max_motion = 5;
    // Most pyramid levels after the first.
    int max_level = 3;
    bool quiet = false;
};

// The "refining" stage of a tracked frame: statistics from the reference
// frame (source "reference" or "both"; `motion` maps reference positions to
// target positions), then from the target itself (source "target" or
// "both"). The reference image and mask may be smaller than the target (a
// reduced reference).
void refine_frame(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& target_mask, information_source source, const trm::affine_motion& motion, const options& o,
    std::ostream& log);

// Refinement of a frame by its own statistics, without a log line of its own.
void adjust(const colour_image& image, mask& m, const options& o, std::ostream& log);

// The pass engine: statistics from source image `a` and mask `am`, applied
// to target image `b` and mask `bm` (in/out; it receives the last pass's
// result however the loop ends). `motion` (may be null) maps source
// positions to target positions. With `using_reference` (forced on when am
// and bm are different buffers) each pixel meets the statistics at most
// once.
void run_passes(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const options& o, bool using_reference, std::ostream& log);

// The "refining2" stage: reference image and mask (i1, m1), target image and
// mask (i2, m2, in/out). At the origin frame both pairs may be the same.
void refine2(const colour_image& i1, const mask& m1, const colour_image& i2, mask& m2,
    const refine2_options& o, std::ostream& log);

// out = (m dilated r times) AND NOT (m eroded r times), 4-neighbourhood: the
// pixels within r steps of the outline on either side.
void band(const mask& m, int r, mask& out);

// The vote of the up to eight neighbours of (x, y) inside the image (the
// pixel itself is not looked at): object when all are set, background when
// none is, undecided for a mix (or when the image has no other pixel).
decision local_vote(const mask& m, unsigned x, unsigned y) noexcept;

} // namespace refine

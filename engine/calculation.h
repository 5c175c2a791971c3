#pragma once

// The working objects of one segment calculation (trm::segment::calculate):
// the driver, the frames it loads and the reference frame of a tracking
// pass. Internal to the engine; everything here lives for one call and runs
// on the calculating thread.

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

#include "engine/mincut/mincut.h"
#include "engine/motion/random15.h"
#include "engine/param.h"
#include "engine/refine/refine.h"
#include "engine/segment.h"
#include "foundation/image/image.h"

class profiler;

namespace lumvex {
class cached_image;
}

namespace trm {

class calculation;
class motion_segmentation;

// The settings of the "mincut segmenting", "refining" and "refining2" stages
// from the parameters (no profiler; the caller attaches its own).
mincut::options mincut_options(const trm::param& p);
::refine::options refine_options(const trm::param& p);
::refine::refine2_options refine2_options(const trm::param& p);

using colour_image = img::image<img::BGRA<unsigned char>>;
using bit_mask = img::image<img::bit>;

// One footage frame as the stages need it.
struct loaded_frame {
    explicit loaded_frame(calculation& owner)
        : owner(&owner)
    {
    }

    calculation* owner;
    // The frame held; -1 when nothing is loaded.
    int frame = -1;
    // The full-resolution frame from the footage.
    boost::shared_ptr<lumvex::cached_image> image;
    // The frame reduced by `downsample` (empty when that is 1).
    colour_image reduced;
    // `reduced` (or the full frame) as floats; only with `optic_flow`.
    img::image<img::BGRA<float>> colour;

    const colour_image& full() const;

    // Loads origin + offset (direction 1) or origin - offset (direction 0);
    // nothing happens when that frame is held already.
    void load(int direction, int offset);
    void load(int n);
};

// The reference frame of a tracking pass: its images, the motion
// segmentation built on its mask, and its mask reduced by `downsample`.
class reference_state {
public:
    explicit reference_state(calculation& owner);
    ~reference_state();
    reference_state(const reference_state&) = delete;
    reference_state& operator=(const reference_state&) = delete;

    // Chooses the reference of a pass in `direction` that is to continue
    // from the edge of `segmented`: origin ± k·pitch, the one nearest the
    // edge on the origin's side; loads and derives it unless it is held.
    void start(int direction, const My::Span& segmented);
    // The target just computed becomes the reference, taking over its images
    // without reloading; `target` is left without them.
    void advance(loaded_frame& target);
    // Rebuilds what depends on the reference record: reduced mask and motion
    // segmentation.
    void derive();
    // The stages that turn the reference record into the target's record:
    // motion estimate and warp, graph cut, refinements.
    void propagate(frame_record& record, const loaded_frame& target);

    int frame() const { return m_frame.frame; }
    // The reference frame's record (never null after `start`).
    const frame_record& record() const { return *m_record; }

private:
    calculation& m_owner;
    loaded_frame m_frame;
    boost::shared_ptr<frame_record> m_record;
    std::unique_ptr<motion_segmentation> m_tracker;
    bit_mask m_reduced_mask;
};

struct tracking_context {
    // The wanted span of the call, clamped to the table range.
    const My::Span& wanted;
    // 0 backward pass, 1 forward pass.
    int direction;
    reference_state reference;
};

// The driver of one call of trm::segment::calculate.
class calculation {
public:
    calculation(segment& owner, std::ostream& log, const My::Span& wanted);

    void run(bool key_only);
    // The frame being calculated (loaded, tracked, refined or smoothed);
    // -1 before the key frame's turn.
    int frame() const { return m_frame; }

    segment& owner() { return m_segment; }
    const trm::param& param() const { return m_param; }
    std::ostream& log() { return m_log; }
    ::profiler& timing();

    // The footage frame n, checked against the key mask's size; the request
    // bits tell the footage where the next frames lie.
    boost::shared_ptr<lumvex::cached_image> load_frame(int n, bool forward);
    boost::shared_ptr<lumvex::cached_image> load_origin_frame(int a, int b);

    // The record of a computed frame (never null inside `segmented`).
    boost::shared_ptr<frame_record> record(int frame) const;

    // What one tracked frame may need at most, in bytes (images, masks and
    // the stages' working memory), for the memory guard.
    std::uint64_t frame_need() const;

    bool cancelled();

    // The random numbers of the coherent-motion tie rule, one sequence per
    // calculation.
    random15& random() { return m_random; }

private:
    // False when cancelled (nothing stored).
    bool origin_pass(bool do_stages);
    void track(tracking_context& context);
    // Phase 1 of a pass; false when cancelled.
    bool resmooth(int direction);
    void decrease_mask_freedom(frame_record& record, const std::vector<pointf>* reference);
    void smooth_mask(frame_record& record, const colour_image& frame);
    // Throws std::runtime_error naming frame n when it is missing or its
    // size differs from the key mask's.
    void check_frame(const boost::shared_ptr<lumvex::cached_image>& image, int n) const;

    segment& m_segment;
    // The parameters as the calculation started (the segment's are not
    // changed while it runs).
    const trm::param m_param;
    std::ostream& m_log;
    My::Span m_wanted;
    random15 m_random;
    int m_frame = -1;
};

} // namespace trm

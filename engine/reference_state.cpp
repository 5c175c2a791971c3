#include <cstdlib>

#include "engine/calculation.h"
#include "engine/common/thread_pool.h"
#include "engine/masks/reduction.h"
#include "engine/mincut/mincut.h"
#include "engine/motion/affine_motion.h"
#include "engine/motion/coherent_motion.h"
#include "engine/motion/motion_models.h"
#include "engine/motion/motion_segmentation.h"
#include "engine/motion/profiles.h"
#include "foundation/system/profiler.h"
#include "lumvex/cache/cache.h"

namespace trm {

namespace {

// Fewer motion segments than this give no usable motion estimate.
constexpr std::size_t min_motion_segments = 10;

// The motion with its translation scaled: from a reference mask at full
// resolution onto the full-resolution target when the motion was estimated
// on images reduced `factor` times.
affine_motion scale_translation(affine_motion m, double factor)
{
    m.x *= factor;
    m.y *= factor;
    return m;
}

// All six components scaled: from the reduced reference onto the
// full-resolution target.
affine_motion scale_all(affine_motion m, double factor)
{
    m.x *= factor;
    m.y *= factor;
    m.xx *= factor;
    m.xy *= factor;
    m.yx *= factor;
    m.yy *= factor;
    return m;
}

} // namespace

const colour_image& loaded_frame::full() const
{
    return image->image;
}

void loaded_frame::load(int direction, int offset)
{
    calculation& c = *owner;
    const trm::param& p = c.param();
    const int origin = c.owner().origin();
    const int n = direction == 1 ? origin + offset : origin - offset;
    if (n == frame)
        return;
    frame = -1;
    image = c.load_frame(n, direction == 1);
    if (p.downsample > 1) {
        profiler::scope scope(c.timing(), "image downsampling");
        const auto factor = static_cast<unsigned>(p.downsample);
        reduce_image(image->image, reduced, factor, factor);
    } else {
        reduced.clear();
    }
    if (p.optic_flow) {
        // The float copy the motion profiles read, in bands of rows.
        const img::image<img::BGRA<unsigned char>>& source = reduced.data != nullptr ? reduced : image->image;
        if (colour.width != source.width || colour.height != source.height || colour.data == nullptr)
            colour.resize(source.width, source.height, 4);
        parallel_rows(source.height, [&](unsigned y0, unsigned y1) { colour.assign_rows(source, y0, y1); });
    } else {
        colour.clear();
    }
    frame = n;
}

void loaded_frame::load(int n)
{
    const int origin = owner->owner().origin();
    if (n >= origin)
        load(1, n - origin);
    else
        load(0, origin - n);
}

reference_state::reference_state(calculation& owner)
    : m_owner(owner)
    , m_frame(owner)
{
}

reference_state::~reference_state() = default;

void reference_state::start(int direction, const My::Span& segmented)
{
    const trm::param& p = m_owner.param();
    const int origin = m_owner.owner().origin();
    const int edge = direction == 0 ? segmented.first - 1 : segmented.last;
    const int distance = std::max(1, std::abs(edge - origin));
    const int pitch = p.reference_frame_pitch;
    const int offset = (distance - 1) / pitch * pitch;
    const int r = direction == 0 ? origin - offset : origin + offset;
    if (r == m_frame.frame)
        return;
    m_frame.load(direction, offset);
    derive();
    if (m_tracker) {
        const int next = direction == 0 ? segmented.first : segmented.last - 1;
        const boost::shared_ptr<frame_record> neighbour = m_owner.record(next);
        if (neighbour && neighbour->ref_frame == r)
            seed_displacements(*m_tracker, neighbour->motion);
    }
}

void reference_state::advance(loaded_frame& target)
{
    std::swap(m_frame.frame, target.frame);
    m_frame.image.swap(target.image);
    m_frame.reduced.swap(target.reduced);
    m_frame.colour.swap(target.colour);
    derive();
}

void reference_state::derive()
{
    const trm::param& p = m_owner.param();
    m_record = m_owner.record(m_frame.frame);
    if (!m_record || m_record->bit_mask.data == nullptr)
        throw std::runtime_error("Frame " + std::to_string(m_frame.frame) + " has no mask to track from.");
    if (p.downsample > 1) {
        profiler::scope scope(m_owner.timing(), "mask downsampling");
        const auto factor = static_cast<unsigned>(p.downsample);
        reduce_mask(m_record->bit_mask, m_reduced_mask, factor, factor);
    } else {
        m_reduced_mask.clear();
    }
    m_tracker.reset();
    if (p.optic_flow) {
        profiler::scope scope(m_owner.timing(), "block segmenting");
        auto tracker = std::make_unique<motion_segmentation>();
        const bit_mask& mask = m_reduced_mask.data != nullptr ? m_reduced_mask : m_record->bit_mask;
        tracker->build(mask, static_cast<unsigned>(p.tracker_size), 0);
        tracker->reference_images = &m_frame.colour;
        tracker->statistics_current = false;
        if (tracker->segments.size() >= min_motion_segments)
            m_tracker = std::move(tracker);
    }
}

void reference_state::propagate(frame_record& record, const loaded_frame& target)
{
    const trm::param& p = m_owner.param();
    std::ostream& log = m_owner.log();
    ::profiler& timing = m_owner.timing();
    const frame_record& reference = *m_record;
    const double factor = p.downsample;
    if (m_tracker) {
        {
            profiler::scope scope(timing, "profiles building");
            profile_param o { 0, 2, 1, p.max_motion, 2, 10.0f, 2.0f, -1.0f };
            build_profiles(*m_tracker, target.colour, o, log);
        }
        profiler::scope scope(timing, "coherent motion");
        record.ref_frame = m_frame.frame;
        const coherent_motion_param o { 1.0f, 30, 0.01f, 2, 1000.0f, 0.8f, motion_model::affine, 2, true };
        find_coherent_motion(*m_tracker, record.motion, o, m_owner.random(), log);
        const affine_motion full = scale_translation(record.motion, factor);
        record.bit_mask.resize(reference.bit_mask.width, reference.bit_mask.height, 4);
        warp_mask(full, reference.bit_mask, record.bit_mask, log);
    } else {
        record.bit_mask = reference.bit_mask;
        record.ref_frame = -1;
        record.motion = affine_motion {};
    }
    if (p.mincut) {
        profiler::scope scope(timing, "mincut segmenting");
        mincut::options o = mincut_options(p);
        o.profiler = &timing;
        img::image<unsigned char> grey;
        mincut::run(m_frame.full(), reference.bit_mask, target.full(), record.bit_mask, nullptr, o,
            p.use_antialiasing() ? &grey : nullptr, log);
        if (grey.data != nullptr)
            record.grey_mask.encode(grey);
    }
    if (p.refine_mask) {
        profiler::scope scope(timing, "refining");
        const ::refine::options o = refine_options(p);
        const bool reduced = m_frame.reduced.data != nullptr;
        const affine_motion motion = scale_all(record.motion, factor);
        ::refine::refine_frame(reduced ? m_frame.reduced : m_frame.full(),
            m_reduced_mask.data != nullptr ? m_reduced_mask : reference.bit_mask, target.full(),
            record.bit_mask, p.refine_information_source, motion, o, log);
        // The reduced reference says little about single pixels: the
        // reference source is asked once more at full resolution, where only
        // the motion's translation needs the scale.
        if (p.downsample > 1 && p.refine_information_source == ::refine::information_source::reference)
            ::refine::refine_frame(m_frame.full(), reference.bit_mask, target.full(), record.bit_mask,
                p.refine_information_source, scale_translation(record.motion, factor), o, log);
    }
    if (p.refine2_mask) {
        profiler::scope scope(timing, "refining2");
        ::refine::refine2(
            m_frame.full(), reference.bit_mask, target.full(), record.bit_mask, refine2_options(p), log);
    }
}

} // namespace trm

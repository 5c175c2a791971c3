#include "engine/calculation.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "engine/common/check_memory.h"
#include "engine/debug_log.h"
#include "engine/masks/morphology.h"
#include "engine/masks/remove_wool.h"
#include "engine/mincut/mincut.h"
#include "engine/refine/refine.h"
#include "foundation/system/profiler.h"
#include "lumvex/footage/footage.h"

namespace trm {

namespace {

// The wanted span inside the table range [first, last); an empty span stays
// empty (first == last).
My::Span clamp_to_table(const My::Span& wanted, int first, int last)
{
    My::Span s { std::max(wanted.first, first), std::min(wanted.last, last) };
    if (s.last < s.first)
        s.last = s.first;
    return s;
}

std::string size_text(unsigned width, unsigned height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

void segment::calculate(bool key_only, const My::Span& wanted)
{
    if (cancelled())
        return;
    const calculation_mark mark(*this);
    debug_log log;
    profiler::scope scope(timing(), "calculating");
    calculation c(*this, log.stream(), wanted);
    m_stopped_at = -1;
    try {
        c.run(key_only);
    } catch (...) {
        m_stopped_at = c.frame();
        throw;
    }
}

calculation::calculation(segment& owner, std::ostream& log, const My::Span& wanted)
    : m_segment(owner)
    , m_param(owner.param())
    , m_log(log)
    , m_wanted(clamp_to_table(wanted, owner.range().first, owner.range().last))
{
}

::profiler& calculation::timing()
{
    return m_segment.timing();
}

bool calculation::cancelled()
{
    return m_segment.cancelled();
}

boost::shared_ptr<frame_record> calculation::record(int frame) const
{
    return m_segment.frame_data(frame);
}

void calculation::run(bool key_only)
{
    const int origin = m_segment.origin();
    const My::Span table = m_segment.range();
    if (origin < table.first || origin >= table.last)
        throw std::runtime_error(
            "The key frame " + std::to_string(origin) + " lies outside the frame range of its segment.");
    const boost::shared_ptr<frame_record> origin_record = record(origin);
    const bool missing = !origin_record || origin_record->bit_mask.data == nullptr;
    const trm::param& p = m_param;
    bool do_stages
        = missing && !key_only && (p.mincut || p.refine_mask || p.refine2_mask || p.decrease_mask_freedom);
    const bool refit = !missing && p.decrease_mask_freedom && origin_record->contour.empty();
    if (refit)
        do_stages = true;
    if (missing || refit) {
        if (m_segment.keymask().data == nullptr)
            throw std::runtime_error("The segment has no key mask to start from.");
        if (!origin_pass(do_stages))
            return;
    }
    if (cancelled())
        return;
    tracking_context context { m_wanted, 0, reference_state(*this) };
    track(context);
    if (cancelled())
        return;
    context.direction = 1;
    track(context);
}

bool calculation::origin_pass(bool do_stages)
{
    segment& s = m_segment;
    const trm::param& p = m_param;
    const int origin = s.origin();
    m_frame = origin;
    s.trim({ origin, origin });
    const auto record = boost::make_shared<frame_record>();
    record->bit_mask = s.keymask();
    if (do_stages) {
        const boost::shared_ptr<lumvex::cached_image> loaded
            = load_origin_frame(m_wanted.first, m_wanted.last);
        const colour_image& image = loaded->image;
        if (p.mincut) {
            if (cancelled())
                return false;
            profiler::scope scope(timing(), "mincut segmenting");
            // The key frame alone, at full resolution, close to the drawn
            // mask.
            mincut::options o = mincut_options(p);
            o.pyramid_levels = 0;
            o.max_motion = 2;
            o.information_source = mincut::information_source::target;
            o.profiler = &timing();
            img::image<unsigned char> grey;
            mincut::cut_single(image, record->bit_mask, record->bit_mask, nullptr, o,
                p.use_antialiasing() ? &grey : nullptr, m_log);
            if (grey.data != nullptr)
                record->grey_mask.encode(grey);
        }
        if (p.refine_mask) {
            if (cancelled())
                return false;
            profiler::scope scope(timing(), "refining");
            ::refine::adjust(image, record->bit_mask, refine_options(p), m_log);
        }
        if (p.refine2_mask) {
            if (cancelled())
                return false;
            profiler::scope scope(timing(), "refining2");
            ::refine::refine2(image, record->bit_mask, image, record->bit_mask, refine2_options(p), m_log);
        }
        if (p.wool_removal > 0) {
            if (cancelled())
                return false;
            remove_wool(record->bit_mask, p.wool_removal);
        }
        if (p.decrease_mask_freedom) {
            if (cancelled())
                return false;
            decrease_mask_freedom(*record, nullptr);
        }
    }
    s.store(origin, record, { origin, origin + 1 }, s.smoothed());
    return true;
}

void calculation::track(tracking_context& context)
{
    segment& s = m_segment;
    const trm::param& p = m_param;
    const int d = context.direction;
    const My::Span& wanted = context.wanted;
    const auto done = [&] {
        const My::Span segmented = s.segmented();
        return d == 0 ? wanted.first >= segmented.first : wanted.last <= segmented.last;
    };
    const auto segmented_end = [&] {
        const My::Span segmented = s.segmented();
        return d == 0 ? segmented.first - 1 : segmented.last;
    };
    const bool smoothing = p.smooth_mask != smooth_mask_method::off;
    if (smoothing && !resmooth(d))
        return;

    if (done())
        return;
    m_frame = segmented_end();
    context.reference.start(d, s.segmented());
    check_memory(frame_need());
    auto target = std::make_unique<loaded_frame>(*this);
    target->load(segmented_end());
    if (cancelled())
        return;
    for (;;) {
        const int f = target->frame;
        auto record = boost::make_shared<frame_record>();
        context.reference.propagate(*record, *target);
        if (p.dilation_erosion != 0) {
            if (cancelled())
                return;
            bit_mask changed;
            if (p.dilation_erosion > 0)
                dilate4_n(changed, record->bit_mask, p.dilation_erosion);
            else
                erode4_n(changed, record->bit_mask, -p.dilation_erosion);
            record->bit_mask.swap(changed);
        }
        if (p.wool_removal > 0) {
            if (cancelled())
                return;
            remove_wool(record->bit_mask, p.wool_removal);
        }
        if (p.decrease_mask_freedom) {
            if (cancelled())
                return;
            const std::vector<pointf>& reference = context.reference.record().contour;
            decrease_mask_freedom(*record, &reference);
        }
        if (smoothing) {
            if (cancelled())
                return;
            smooth_mask(*record, target->full());
        }
        My::Span segmented = s.segmented();
        My::Span smoothed = s.smoothed();
        if (d == 0) {
            --segmented.first;
            --smoothed.first;
        } else {
            ++segmented.last;
            ++smoothed.last;
        }
        s.store(f, record, segmented, smoothed);
        s.frame_calculated(f, d, smoothing ? smoothed : segmented);
        if (done() || cancelled())
            return;
        m_frame = segmented_end();
        // Pitches are compared as distances: frames `pitch` away from the
        // reference become the next reference.
        if (std::abs(f - context.reference.frame()) == p.reference_frame_pitch)
            context.reference.advance(*target);
        record.reset();
        target.reset();
        check_memory(frame_need());
        target = std::make_unique<loaded_frame>(*this);
        target->load(segmented_end());
        if (cancelled())
            return;
    }
}

bool calculation::resmooth(int d)
{
    segment& s = m_segment;
    for (;;) {
        const My::Span segmented = s.segmented();
        My::Span smoothed = s.smoothed();
        const int e = d == 0 ? smoothed.first - 1 : smoothed.last;
        const int segmented_end = d == 0 ? segmented.first - 1 : segmented.last;
        if (e == segmented_end)
            return true;
        if (d == 0 ? m_wanted.first >= smoothed.first : m_wanted.last <= smoothed.last)
            return true;
        const boost::shared_ptr<frame_record> stored = record(e);
        // Smoothed frames lie inside the computed ones; a frame without a
        // result ends the phase rather than inventing one.
        if (!stored || stored->bit_mask.data == nullptr)
            return true;
        m_frame = e;
        check_memory(frame_need());
        const boost::shared_ptr<frame_record> copy = copy_without_grey_mask(*stored);
        const boost::shared_ptr<lumvex::cached_image> image = load_frame(e, d == 1);
        if (cancelled())
            return false;
        smooth_mask(*copy, image->image);
        if (d == 0)
            --smoothed.first;
        else
            ++smoothed.last;
        s.store(e, copy, segmented, smoothed);
        s.frame_calculated(e, d, smoothed);
        if (cancelled())
            return false;
    }
}

boost::shared_ptr<lumvex::cached_image> calculation::load_frame(int n, bool forward)
{
    profiler::scope scope(timing(), "loading frame");
    const boost::shared_ptr<lumvex::footage>& footage = m_segment.footage();
    if (!footage)
        throw std::runtime_error("The segment has no footage to load frame " + std::to_string(n) + " from.");
    boost::shared_ptr<lumvex::cached_image> image
        = footage->frame(n, forward ? lumvex::frame_request::after : lumvex::frame_request::before, true);
    check_frame(image, n);
    return image;
}

boost::shared_ptr<lumvex::cached_image> calculation::load_origin_frame(int a, int b)
{
    profiler::scope scope(timing(), "loading origin frame");
    const boost::shared_ptr<lumvex::footage>& footage = m_segment.footage();
    const int origin = m_segment.origin();
    if (!footage)
        throw std::runtime_error(
            "The segment has no footage to load frame " + std::to_string(origin) + " from.");
    const My::Span table = m_segment.range();
    a = std::max(a, table.first);
    b = std::min(b, table.last);
    int request = 0;
    if (a < origin)
        request |= lumvex::frame_request::before;
    if (b > origin + 1)
        request |= lumvex::frame_request::after;
    boost::shared_ptr<lumvex::cached_image> image = footage->frame(origin, request, true);
    check_frame(image, origin);
    return image;
}

void calculation::check_frame(const boost::shared_ptr<lumvex::cached_image>& image, int n) const
{
    const bit_mask& key = m_segment.keymask();
    if (!image || image->image.data == nullptr)
        throw std::runtime_error("Frame " + std::to_string(n) + " could not be loaded from the footage.");
    if (image->image.width != key.width || image->image.height != key.height)
        throw std::runtime_error("Frame " + std::to_string(n) + " is "
            + size_text(image->image.width, image->image.height) + " pixels, but the key mask is "
            + size_text(key.width, key.height) + " pixels.");
}

std::uint64_t calculation::frame_need() const
{
    const trm::param& p = m_param;
    const bit_mask& key = m_segment.keymask();
    const std::uint64_t pixels = std::uint64_t(key.width) * key.height;
    const std::uint64_t reduced = pixels / (std::uint64_t(p.downsample) * p.downsample);
    // Target and reference frames, their reductions, masks.
    std::uint64_t need = pixels * (4 + 4 + 1) + reduced * (4 + 4);
    if (p.optic_flow)
        need += reduced * (16 + 16 + 16);
    // The refinement's per-pixel tables, and its neighbour lists (up to a
    // cap of 4-byte entries) for the source pixels looked up, which lie in a
    // band about the outline: taken as a sixteenth of the frame.
    if (p.refine_mask || p.refine2_mask) {
        const std::uint64_t w = static_cast<std::uint64_t>(p.refine_window_half_size);
        need += pixels * 8 + pixels / 16 * std::max<std::uint64_t>(w * (w + 1), 7) * 4;
    }
    // The graph cut: vertices and links of the free band, and its maps.
    if (p.mincut)
        need += pixels * 64;
    if (p.smooth_mask != smooth_mask_method::off)
        need += pixels * (4 + 4 + 24 + 1);
    return need;
}

} // namespace trm

#include "engine/segment.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace trm {

namespace {

bool has_bit_mask(const frame_record& record)
{
    return record.bit_mask.data != nullptr;
}

bool has_grey_mask(const frame_record& record)
{
    return !is_empty(record.grey_mask);
}

// `range` narrowed to `keep`; when nothing of it is left, an empty range at
// a frame inside `keep`, so that neither bound leaves it.
My::Span narrow(const My::Span& range, My::Span keep)
{
    keep.last = std::max(keep.last, keep.first);
    My::Span result { std::max(range.first, keep.first), std::min(range.last, keep.last) };
    if (result.last < result.first) {
        result.first = std::min(result.first, keep.last);
        result.last = result.first;
    }
    return result;
}

// The frames next to `origin` whose entries all satisfy `has`: down to the
// table start, and up to one past the highest such frame.
template <class Has>
My::Span find_range(
    int origin, int first, int last, const std::vector<boost::shared_ptr<frame_record>>& frames, Has has)
{
    const auto satisfies = [&](int frame) {
        if (frame < first || frame >= last)
            return false;
        const auto& record = frames[static_cast<std::size_t>(std::int64_t(frame) - first)];
        return record && has(*record);
    };
    My::Span range { origin, origin };
    while (range.first > first && satisfies(range.first - 1))
        --range.first;
    while (range.last < last && satisfies(range.last))
        ++range.last;
    return range;
}

} // namespace

segment::segment(int origin, const boost::shared_ptr<lumvex::footage>& footage)
{
    reset(origin, footage);
}

segment::segment(const segment& other)
    : m_keymask(other.m_keymask)
    , m_param(other.m_param)
    , m_footage(other.m_footage)
{
    {
        std::lock_guard lock(other.m_timing_lock);
        if (other.m_calculations == 0)
            m_timing = other.m_timing;
    }
    std::lock_guard lock(other.m_lock);
    m_origin = other.m_origin;
    m_first = other.m_first;
    m_last = other.m_last;
    m_segmented = other.m_segmented;
    m_smoothed = other.m_smoothed;
    m_frames = other.m_frames;
}

segment::~segment() = default;

void segment::frame_calculated(int, int, const My::Span&) { }

bool segment::cancelled()
{
    return false;
}

void segment::reset(int origin, const boost::shared_ptr<lumvex::footage>& footage)
{
    table released;
    {
        std::lock_guard lock(m_lock);
        m_origin = origin;
        m_first = origin;
        m_last = origin;
        released.swap(m_frames);
        m_segmented = { origin, origin };
        m_smoothed = { origin, origin };
    }
    m_timing.reset();
    m_footage = footage;
    m_param = trm::param();
}

void segment::set_range(const My::Span& range)
{
    if (range.last < range.first)
        throw std::invalid_argument("a frame range must not end before it starts");
    table fresh(static_cast<std::size_t>(std::int64_t(range.last) - range.first));

    std::lock_guard lock(m_lock);
    const int from = std::max(m_first, range.first);
    const int to = std::min(m_last, range.last);
    for (int frame = from; frame < to; ++frame)
        fresh[static_cast<std::size_t>(std::int64_t(frame) - range.first)]
            = std::move(m_frames[static_cast<std::size_t>(std::int64_t(frame) - m_first)]);
    m_frames.swap(fresh);
    m_first = range.first;
    m_last = range.last;
    // The records of the frames left out go with `fresh` once the lock is
    // released (the guard is destroyed first).
}

void segment::clear_results(table& released)
{
    released.resize(m_frames.size());
    for (std::size_t i = 0; i < m_frames.size(); ++i)
        released[i].swap(m_frames[i]);
    m_segmented = { m_origin, m_origin };
    m_smoothed = { m_origin, m_origin };
}

void segment::set_keymask(const img::image<img::bit>& mask)
{
    m_keymask = mask;
    table released;
    {
        std::lock_guard lock(m_lock);
        clear_results(released);
    }
    m_timing.reset();
}

bool segment::set_param(trm::param p)
{
    p.validate();
    if (p == m_param)
        return false;

    const auto keeps_crisp_masks
        = [](const trm::param& q) { return q.smooth_mask == smooth_mask_method::off || q.smooth_decorative; };
    if (keeps_crisp_masks(m_param) && keeps_crisp_masks(p)) {
        m_param.smooth_mask = p.smooth_mask;
        m_param.smooth_window_half_size = p.smooth_window_half_size;
        m_param.smooth_passes_num = p.smooth_passes_num;
        m_param.smooth_max_condition_number = p.smooth_max_condition_number;
        // Both sides leave crisp masks alone, so the flag that says so is a
        // smoothing setting here too (it tells apart "off" and "decorative").
        m_param.smooth_decorative = p.smooth_decorative;
        if (m_param == p) {
            // Copies are made outside the lock; only this thread changes the
            // table now, the lock keeps out nothing but readers.
            table copies;
            {
                std::lock_guard lock(m_lock);
                copies = m_frames;
            }
            for (auto& record : copies)
                if (record)
                    record = copy_without_grey_mask(*record);
            {
                std::lock_guard lock(m_lock);
                m_frames.swap(copies);
                m_smoothed = { m_origin, m_origin };
            }
            return true;
        }
    }

    m_param = p;
    table released;
    {
        std::lock_guard lock(m_lock);
        clear_results(released);
    }
    m_timing.reset();
    return true;
}

void segment::trim(const My::Span& keep)
{
    table released;
    std::lock_guard lock(m_lock);
    released.resize(m_frames.size());
    for (std::size_t i = 0; i < m_frames.size(); ++i) {
        const std::int64_t frame = std::int64_t(m_first) + std::int64_t(i);
        if (frame < keep.first || frame >= keep.last)
            released[i].swap(m_frames[i]);
    }
    m_segmented = narrow(m_segmented, keep);
    m_smoothed = narrow(m_smoothed, keep);
}

const boost::shared_ptr<frame_record>* segment::entry(int frame) const
{
    if (frame < m_first || frame >= m_last)
        return nullptr;
    return &m_frames[static_cast<std::size_t>(std::int64_t(frame) - m_first)];
}

boost::shared_ptr<frame_record> segment::frame_data(int frame) const
{
    std::lock_guard lock(m_lock);
    const auto* found = entry(frame);
    return found ? *found : boost::shared_ptr<frame_record>();
}

bool segment::has_mask(int frame) const
{
    const auto record = frame_data(frame);
    return record && has_bit_mask(*record);
}

bool segment::has_encoded_mask(int frame) const
{
    const auto record = frame_data(frame);
    return record && has_grey_mask(*record);
}

void segment::find_segmented_range()
{
    std::lock_guard lock(m_lock);
    m_segmented = find_range(m_origin, m_first, m_last, m_frames, has_bit_mask);
}

void segment::find_smoothed_range()
{
    std::lock_guard lock(m_lock);
    m_smoothed = find_range(m_origin, m_first, m_last, m_frames, has_grey_mask);
}

void segment::store(
    int frame, boost::shared_ptr<frame_record> record, const My::Span& segmented, const My::Span& smoothed)
{
    std::lock_guard lock(m_lock);
    const auto inside
        = [&](const My::Span& r) { return m_first <= r.first && r.first <= r.last && r.last <= m_last; };
    if (frame < m_first || frame >= m_last)
        throw std::out_of_range("frame " + std::to_string(frame) + " lies outside the segment's frame table");
    if (!inside(segmented) || !inside(smoothed))
        throw std::out_of_range("a frame range lies outside the segment's frame table");
    // The old record is released after the lock, with `record`.
    record.swap(m_frames[static_cast<std::size_t>(std::int64_t(frame) - m_first)]);
    m_segmented = segmented;
    m_smoothed = smoothed;
}

int segment::origin() const
{
    std::lock_guard lock(m_lock);
    return m_origin;
}

My::Span segment::range() const
{
    std::lock_guard lock(m_lock);
    return { m_first, m_last };
}

My::Span segment::segmented() const
{
    std::lock_guard lock(m_lock);
    return m_segmented;
}

My::Span segment::smoothed() const
{
    std::lock_guard lock(m_lock);
    return m_smoothed;
}

segment::calculation_mark::calculation_mark(segment& s)
    : m_segment(s)
{
    std::lock_guard lock(m_segment.m_timing_lock);
    ++m_segment.m_calculations;
}

segment::calculation_mark::~calculation_mark()
{
    std::lock_guard lock(m_segment.m_timing_lock);
    --m_segment.m_calculations;
}

} // namespace trm

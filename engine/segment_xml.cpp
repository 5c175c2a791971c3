#include <algorithm>
#include <climits>
#include <cstdint>
#include <iostream>
#include <vector>

#include <boost/make_shared.hpp>

#include "engine/segment.h"
#include "foundation/xml/xml_stream.h"
#include "lumvex/footage/footage.h"

namespace trm {

namespace {

// A loaded table spans the key frame and the records, one entry (16 bytes)
// a frame. The frames between them that no record covers may be at most as
// many as the records, or this many: records farther from the key frame come
// from a damaged file (a saved file's records run through the key frame),
// and their table would cost memory out of all proportion to the file.
constexpr std::int64_t max_uncovered_frames = std::int64_t(1) << 16;

// The frames whose records are saved: those of both ranges. An empty range
// adds nothing, wherever it lies.
My::Span saved_span(const My::Span& segmented, const My::Span& smoothed)
{
    if (smoothed.last <= smoothed.first)
        return segmented;
    if (segmented.last <= segmented.first)
        return smoothed;
    return { std::min(segmented.first, smoothed.first), std::max(segmented.last, smoothed.last) };
}

} // namespace

xml::stream& segment::serialize(xml::stream& s)
{
    if (s.reading)
        load(s);
    else
        save(s);
    return s;
}

void segment::save(xml::stream& s)
{
    int origin = 0;
    int saved_first = 0;
    std::vector<boost::shared_ptr<frame_record>> records;
    {
        std::lock_guard lock(m_lock);
        origin = m_origin;
        const My::Span saved = saved_span(m_segmented, m_smoothed);
        saved_first = saved.first;
        const int saved_last = saved.last;
        for (int frame = saved_first; frame < saved_last; ++frame) {
            const auto* found = entry(frame);
            records.push_back(found ? *found : boost::shared_ptr<frame_record>());
        }
    }

    {
        std::lock_guard lock(m_timing_lock);
        if (m_calculations == 0) {
            xml::stream timing = s.child("timing");
            timing || m_timing;
        }
    }
    s.write("origin", origin);
    xml::stream keymask = s.child("keymask");
    serialize_bit_image(keymask, m_keymask);
    xml::stream param = s.child("param");
    m_param.serialize(param);

    if (records.empty())
        return;
    s.write("first_data", saved_first);
    // Every frame of the saved span has a record; should one be missing, an
    // empty record keeps the frames of the later ones in place.
    frame_record empty;
    for (const auto& record : records) {
        xml::stream element = s.child("twomasks");
        element || (record ? *record : empty);
    }
}

void segment::load(xml::stream& s)
{
    // Everything is read into locals first, so that a failure leaves the
    // segment as it was.
    profiler timing;
    bool read_timing = false;
    {
        std::lock_guard lock(m_timing_lock);
        read_timing = m_calculations == 0;
        if (read_timing) {
            timing = m_timing;
            xml::stream element = s.child("timing");
            element || timing;
        }
    }
    const int origin = s.read<int>("origin");
    // The frame after the origin must have a number too.
    if (origin == INT_MAX)
        throw xml::attribute_parse_error();
    img::image<img::bit> keymask;
    xml::stream keymask_element = s.child("keymask");
    // The key mask has the footage's frame size when that is known; a mask
    // claiming another is not decoded (a few bytes may claim a huge one),
    // and without it no record fits either.
    const types::extent<unsigned> footage_size
        = m_footage ? m_footage->frame_size() : types::extent<unsigned> {};
    if (footage_size.width != 0 && footage_size.height != 0) {
        if (const auto claimed = read_bit_image(keymask_element, keymask, footage_size))
            std::clog << "segment loading: the key mask is dropped: it is " << claimed->width << " x "
                      << claimed->height << " pixels, the footage's frames " << footage_size.width << " x "
                      << footage_size.height << std::endl;
    } else {
        serialize_bit_image(keymask_element, keymask);
    }
    trm::param param;
    xml::stream param_element = s.child("param");
    param.serialize(param_element);

    std::int64_t first = origin;
    std::int64_t last = origin;
    table frames;
    const int first_data = s.read("first_data", -1);
    if (first_data != -1) {
        std::vector<xml::node> children;
        s.select(children, "twomasks");
        std::int64_t count = static_cast<std::int64_t>(children.size());
        const std::int64_t room = std::int64_t(INT_MAX) - first_data;
        if (count > room) {
            std::clog << "segment loading: " << count - room
                      << " frame records lie past the last frame number and are dropped" << std::endl;
            count = room;
        }
        first = std::min<std::int64_t>(first_data, origin);
        last = std::max<std::int64_t>(first_data + count, std::int64_t(origin) + 1);
        const std::int64_t uncovered = last - first - count;
        if (count == 0) {
            first = last = origin;
        } else if (uncovered > std::max(count, max_uncovered_frames)) {
            std::clog << "segment loading: the frame records starting at frame " << first_data
                      << " lie too far from the key frame " << origin << " and are dropped" << std::endl;
            first = last = origin;
            count = 0;
        }
        frames.resize(static_cast<std::size_t>(last - first));
        const types::extent<unsigned> frame_size { keymask.width, keymask.height };
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t frame = first_data + i;
            auto record = boost::make_shared<frame_record>();
            xml::stream element(children[static_cast<std::size_t>(i)], true);
            try {
                read_frame_record(element, *record, frame_size);
            } catch (const mask_size_error& e) {
                std::clog << "segment loading: the record of frame " << frame << " is dropped: " << e.what()
                          << std::endl;
                continue;
            }
            // A grey mask smooths a crisp one: without it the frame would
            // count as smoothed but not segmented, and the smoothed range
            // could grow past the table in the next calculation.
            if (record->bit_mask.data == nullptr && !is_empty(record->grey_mask)) {
                std::clog << "segment loading: the record of frame " << frame
                          << " is dropped: it has a grey mask but no mask" << std::endl;
                continue;
            }
            frames[static_cast<std::size_t>(frame - first)] = std::move(record);
        }
    }

    if (read_timing)
        m_timing = timing;
    m_keymask.swap(keymask);
    m_param = param;
    {
        std::lock_guard lock(m_lock);
        m_origin = origin;
        m_first = static_cast<int>(first);
        m_last = static_cast<int>(last);
        // The old table goes with `frames` once the lock is released.
        m_frames.swap(frames);
    }
    find_segmented_range();
    find_smoothed_range();
}

} // namespace trm

#pragma once

// The engine's state of one segment: key frame, key mask, parameters,
// footage, and the table of per-frame results.

#include <mutex>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "engine/frame_record.h"
#include "engine/param.h"
#include "foundation/image/image.h"
#include "foundation/numbers/span.h"
#include "foundation/system/profiler.h"

namespace lumvex {
class footage;
}

namespace xml {
class stream;
}

namespace trm {

// The project document derives its per-segment state from this class and
// overrides the two notifications; the segment worker calculates it.
//
// Frame ranges are half-open: {a, b} holds the frames a <= n < b. The table
// holds one entry for each frame of range(); `segmented` is the contiguous
// range of frames with a computed record around the origin, `smoothed` that
// of frames whose grey mask is current.
//
// Threads: the operations that change the state run on the UI thread, never
// while a calculation of the same segment runs. The calculation stores
// records with `store` on its own thread while other threads read with
// `frame_data`, `has_mask`, `has_encoded_mask`, `range`, `segmented` and
// `smoothed`: the table, its range and both ranges are guarded by one lock
// per segment, and readers copy the record pointer under it, so no reader
// sees a half-written pointer or a table being reallocated. A record pointer
// obtained stays valid whatever happens to the table afterwards.
class segment {
public:
    // An empty profiler, key mask and table; then reset(origin, footage).
    segment(int origin, const boost::shared_ptr<lumvex::footage>& footage);
    virtual ~segment();
    // A copy of the whole state: profiler, origin, ranges, key mask,
    // parameters, footage pointer and the table, whose records are shared
    // with the source, not cloned. The table and the ranges are copied under
    // the source's lock, so a calculation of the source storing records
    // meanwhile never yields a torn table; while such a calculation runs, its
    // profiler is being written and the copy starts with an empty one. The
    // key mask, parameters and footage are those the UI thread last set.
    segment(const segment& other);
    segment& operator=(const segment&) = delete;

    // Called on the calculating thread right after a frame's record is
    // stored, with the pass direction (0 backward, 1 forward) and the grown
    // range. Must return quickly and must not call back into the segment.
    // Does nothing here.
    virtual void frame_calculated(int frame, int direction, const My::Span& range);
    // Asked on the calculating thread before every stage and every frame;
    // true stops the calculation there. Must be safe while another thread
    // requests cancellation. False here.
    virtual bool cancelled();

    // Origin and table range become `origin`, the table is emptied, both
    // ranges become {origin, origin}, the profiler is reset, the footage is
    // stored and the parameters become the defaults. The key mask is kept.
    void reset(int origin, const boost::shared_ptr<lumvex::footage>& footage);

    // A table for the frames of `range`, keeping the records of the frames in
    // both the old and the new range. The ranges are not touched: callers
    // pass a range that contains the old one. Throws std::invalid_argument
    // when range.last < range.first.
    void set_range(const My::Span& range);

    // The key mask becomes a copy of `mask`; every entry is emptied (the
    // table keeps its range), both ranges become {origin, origin} and the
    // profiler is reset.
    void set_keymask(const img::image<img::bit>& mask);

    // Clamps `p`; returns false when it equals the current parameters. A
    // change of smoothing settings alone, where neither the old nor the new
    // smoothing changes crisp masks, keeps the crisp results and drops every
    // grey mask (`smoothed` becomes {origin, origin}); any other change
    // empties the table and both ranges and resets the profiler.
    bool set_param(trm::param p);

    // Empties the entries of the frames outside `keep` and narrows both
    // ranges to it; a range that would invert becomes empty, {x, x} with x
    // inside `keep`. The table range is unchanged.
    void trim(const My::Span& keep);

    // The frame's record; empty when there is none or the frame lies outside
    // the table.
    boost::shared_ptr<frame_record> frame_data(int frame) const;
    // The frame has a record with a crisp mask.
    bool has_mask(int frame) const;
    // The frame has a record with a grey mask.
    bool has_encoded_mask(int frame) const;

    // Rebuild `segmented` (records with a crisp mask) and `smoothed` (records
    // with a grey mask) from the table: the frames around the origin whose
    // records all have one.
    void find_segmented_range();
    void find_smoothed_range();

    // Saves or loads the state on the segment's element (stream direction).
    // Loading checks what it reads: a key mask claiming another size than
    // the footage's frames (when the segment has footage of a known size) is
    // dropped without being decoded; records whose crisp or grey mask claims
    // another size than the key mask's (a frame's size; the picture header
    // alone decides, nothing else is decoded), and records with a grey mask
    // but no mask, are dropped with a line on std::clog; so are records lying
    // farther from the origin than their number (and 65536 frames) warrants.
    // The table range is widened to include the origin, and the ranges are
    // rebuilt. A failing load
    // (xml::attribute_not_found for a missing "origin",
    // xml::attribute_parse_error for an unusable one, img::io_error for a
    // mask that is no image) leaves the segment as it was.
    xml::stream& serialize(xml::stream& s);
    void calculate(bool key_only, const My::Span& wanted); // the key frame, then tracking over `wanted`
    // The frame the last calculation was working on when it threw; -1 when
    // it threw before the key frame's turn or did not throw. Read it on the
    // thread that calculated.
    int stopped_at() const { return m_stopped_at; }

    // Stores a complete record as the frame's result and sets both ranges,
    // as one change under the lock. Throws std::out_of_range, changing
    // nothing, when the frame lies outside the table or a range does not lie
    // within it.
    void store(int frame, boost::shared_ptr<frame_record> record, const My::Span& segmented,
        const My::Span& smoothed);

    int origin() const;
    // The table range {first, last}.
    My::Span range() const;
    My::Span segmented() const;
    My::Span smoothed() const;
    const img::image<img::bit>& keymask() const { return m_keymask; }
    const trm::param& param() const { return m_param; }
    const boost::shared_ptr<lumvex::footage>& footage() const { return m_footage; }
    // Timing scopes of the calculations since the last reset. Belongs to the
    // calculating thread while a calculation runs.
    profiler& timing() { return m_timing; }
    const profiler& timing() const { return m_timing; }

    // Marks a calculation of the segment as running while it lives; the
    // calculation makes one, on its own thread, before it opens any scope
    // and holds it for its whole duration. Its profiler then has open
    // scopes, so saving and loading leave the timings alone. Making one
    // waits while another thread is writing the timings.
    class calculation_mark {
    public:
        explicit calculation_mark(segment& s);
        ~calculation_mark();
        calculation_mark(const calculation_mark&) = delete;
        calculation_mark& operator=(const calculation_mark&) = delete;

    private:
        segment& m_segment;
    };

private:
    using table = std::vector<boost::shared_ptr<frame_record>>;

    // Entry of a frame inside the table; the lock is held.
    const boost::shared_ptr<frame_record>* entry(int frame) const;
    // Empties every entry and sets both ranges to {origin, origin}; the
    // lock is held. The old records go to `released`, to be freed outside
    // the lock.
    void clear_results(table& released);
    void save(xml::stream& s);
    void load(xml::stream& s);

    profiler m_timing;
    img::image<img::bit> m_keymask;
    trm::param m_param;
    boost::shared_ptr<lumvex::footage> m_footage;
    // Held while the timings are saved or loaded and while a calculation
    // mark is made or dropped, so that a calculation starting meanwhile
    // opens its scopes only after the profiler has been written.
    mutable std::mutex m_timing_lock;
    int m_calculations = 0;
    int m_stopped_at = -1;

    // Guards everything below.
    mutable std::mutex m_lock;
    int m_origin = 0;
    int m_first = 0;
    int m_last = 0;
    My::Span m_segmented;
    My::Span m_smoothed;
    // Entry i is the record of frame m_first + i; empty for no result.
    table m_frames;
};

} // namespace trm

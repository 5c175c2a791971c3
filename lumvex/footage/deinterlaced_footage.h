#pragma once

#include "lumvex/footage/footage.h"

#include <atomic>

namespace lumvex {

// An interlaced footage (the supplier: AVI, image sequence or still) shown as
// twice as many frames at twice the rate: frame n is built from supplier
// frame n / 2 (rounded down, so a frame below 0 asks the supplier for one
// below 0, which it refuses as it refuses its own), from its first field
// when n is even and its second when n is odd (upper first: the upper field
// comes first). Frames are put into the
// supplier's cache under deinterlaced_item_id keys; the supplier's path,
// description, size and alpha are the footage's.
//
// Threads: the frame operations may be called from any thread; the field
// order and method may change (on the UI thread) meanwhile.
class deinterlaced_footage final : public footage {
public:
    // Throws lumvex::exception "nested deinterlacing is not allowed" when
    // the supplier is itself deinterlaced (its fields are not off), and
    // "no footage to deinterlace" for a null supplier. A field order of off
    // leaves upper first.
    deinterlaced_footage(
        boost::shared_ptr<footage> supplier, deinterlace_fields fields, deinterlace_method method);
    // Upper first and duplication, for serialize to read.
    explicit deinterlaced_footage(boost::shared_ptr<footage> supplier);

    // The footage itself when `fields` is off, else a new deinterlaced
    // footage over it.
    static boost::shared_ptr<footage> wrap(
        boost::shared_ptr<footage> footage, deinterlace_fields fields, deinterlace_method method);

    boost::shared_ptr<item_id> frame_id(int frame) override;
    // The cached frame when it (and the neighbour that `request` points to)
    // is there; else passes the call to the supplier (so that it reads
    // ahead) and, with `wait`, builds the frame from the supplier's.
    boost::shared_ptr<cached_image> frame(int frame, int request, bool wait) override;
    boost::shared_ptr<cached_image> cached_frame(int frame) override;
    cache* image_cache() const override { return m_supplier->image_cache(); }
    // "type" "dil", "field", "method", then the child "supplier" that the
    // supplier writes itself into. Reading reads "field" and "method" only
    // (the supplier is built from its child first): "couldn't initialize
    // Deinterlaced Footage from XML stream" for another type, "bad value of
    // deinterlace field value" for the field "off".
    void serialize(xml::stream& stream, const std::string& base_path) override;
    std::string path() const override { return m_supplier->path(); }
    std::vector<std::string> files() const override { return m_supplier->files(); }
    std::string description() const override { return m_supplier->description(); }
    // The supplier's count twice (at most the largest int).
    int frame_count() const override;
    int first_frame_number() const override { return m_supplier->first_frame_number(); }
    types::extent<unsigned> frame_size() const override { return m_supplier->frame_size(); }
    bool has_alpha() const override { return m_supplier->has_alpha(); }
    // Off is ignored.
    void set_fields(deinterlace_fields fields) override;
    deinterlace_fields fields() const override { return m_fields.load(std::memory_order_relaxed); }
    void set_method(deinterlace_method method) override { m_method.store(method, std::memory_order_relaxed); }
    deinterlace_method method() const override { return m_method.load(std::memory_order_relaxed); }
    // The supplier's rate with its numerator doubled.
    fraction frame_rate() const override;

    const boost::shared_ptr<footage>& supplier() const { return m_supplier; }

private:
    // Whether frame `frame` keeps the upper field.
    bool keeps_upper(int frame) const;

    boost::shared_ptr<footage> m_supplier;
    std::atomic<deinterlace_fields> m_fields { deinterlace_fields::upper_first };
    std::atomic<deinterlace_method> m_method { deinterlace_method::duplicate };
};

} // namespace lumvex

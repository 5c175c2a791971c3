#pragma once

#include "lumvex/cache/cache.h"

namespace lumvex {

// The cache key of a deinterlaced frame: the key of the supplier's frame it
// is built from, which field is kept, and how the other lines are filled.
// Such frames live in memory only.
class deinterlaced_item_id final : public item_id {
public:
    // `image_cache` (not owned) is the supplier's cache, where the source
    // frame is found and the result put; it must outlive the key.
    deinterlaced_item_id(cache* image_cache, boost::shared_ptr<item_id> source, bool upper, bool interpolate);

    // Equal to a deinterlaced_item_id of an equal source, field and method.
    bool equals(const item_id& other) const override;
    // The source's key text + "_deinterlaced(" + "u" or "l" + "i" or "d" +
    // ")".
    std::string key() const override;
    // Writes nothing: the key is never kept on disc.
    void describe(std::ostream& out) const override;
    bool can_produce() const override { return m_source->can_produce(); }
    // The source's image, deinterlaced in place.
    void produce(img::image<img::BGRA<unsigned char>>& target) const override;
    bool threaded() const override { return m_source->threaded(); }
    // Has the source's producer put the source frame into the cache (asking
    // it again while the frame is not there), then puts the deinterlaced
    // frame (placement back). Throws lumvex::exception when the source frame
    // keeps being evicted before it is found; the source's errors pass on.
    void request() const override;
    bool disc_cacheable() const override { return false; }

    const boost::shared_ptr<item_id>& source() const { return m_source; }
    bool upper() const { return m_upper; }
    bool interpolate() const { return m_interpolate; }

    // How many times `request` asks the source's producer.
    static constexpr int max_requests = 8;

private:
    cache* m_cache;
    boost::shared_ptr<item_id> m_source;
    bool m_upper;
    bool m_interpolate;
};

} // namespace lumvex

#include "lumvex/footage/deinterlaced_item_id.h"

#include "lumvex/exception.h"
#include "lumvex/footage/deinterlace.h"

#include <utility>

namespace lumvex {

deinterlaced_item_id::deinterlaced_item_id(
    cache* image_cache, boost::shared_ptr<item_id> source, bool upper, bool interpolate)
    : m_cache(image_cache)
    , m_source(std::move(source))
    , m_upper(upper)
    , m_interpolate(interpolate)
{
}

bool deinterlaced_item_id::equals(const item_id& other) const
{
    const auto* key = dynamic_cast<const deinterlaced_item_id*>(&other);
    return key != nullptr && m_upper == key->m_upper && m_interpolate == key->m_interpolate
        && m_source->equals(*key->m_source);
}

std::string deinterlaced_item_id::key() const
{
    return m_source->key() + "_deinterlaced(" + (m_upper ? "u" : "l") + (m_interpolate ? "i" : "d") + ")";
}

void deinterlaced_item_id::describe(std::ostream&) const { }

void deinterlaced_item_id::produce(img::image<img::BGRA<unsigned char>>& target) const
{
    m_source->produce(target);
    fill_other_field(target, m_upper, m_interpolate);
}

void deinterlaced_item_id::request() const
{
    boost::shared_ptr<cached_image> source;
    for (int attempt = 0;; ++attempt) {
        source = m_cache->find(m_source, placement::back);
        if (source)
            break;
        if (attempt == max_requests)
            throw exception("the requested image was evicted from the cache each time it arrived; the cache "
                            "quota may be smaller than one image");
        m_source->request();
    }
    boost::shared_ptr<cached_image> result(
        new cached_image(boost::shared_ptr<item_id>(new deinterlaced_item_id(*this))));
    deinterlace(source->image, result->image, m_upper, m_interpolate);
    m_cache->put(result, placement::back);
}

} // namespace lumvex

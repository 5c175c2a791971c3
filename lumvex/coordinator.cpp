#include "lumvex/coordinator.h"

#include "lumvex/exception.h"

namespace lumvex {

coordinator::coordinator(cache* memory, cache* disc)
    : m_memory(memory)
    , m_disc(disc)
{
}

void coordinator::put(const boost::shared_ptr<cached_image>& image, int placement)
{
    if (m_memory != nullptr)
        m_memory->put(image, placement);
    if (m_disc != nullptr && image->id->disc_cacheable())
        m_disc->put(image, placement);
}

boost::shared_ptr<cached_image> coordinator::find(const boost::shared_ptr<item_id>& key, int placement)
{
    if (m_memory != nullptr) {
        if (boost::shared_ptr<cached_image> found = m_memory->find(key, placement)) {
            if (m_disc != nullptr && key->disc_cacheable() && !m_disc->contains(key, placement))
                m_disc->put(found, placement);
            return found;
        }
    }
    if (m_disc != nullptr) {
        boost::shared_ptr<cached_image> found = m_disc->find(key, placement);
        if (found && m_memory != nullptr)
            m_memory->put(found, placement);
        return found;
    }
    return {};
}

boost::shared_ptr<cached_image> coordinator::get(const boost::shared_ptr<item_id>& key, int placement)
{
    for (int requests = 0;; ++requests) {
        if (boost::shared_ptr<cached_image> found = find(key, placement))
            return found;
        if (key->can_produce())
            break;
        // Only the threaded keys have a producer that puts the image into
        // this cache; asking any other key again would never end.
        if (!key->threaded())
            throw exception("the image is not in the cache and cannot be produced or requested");
        if (requests == max_requests)
            throw exception("the requested image was evicted from the cache each time it arrived; the cache "
                            "quota may be smaller than one image");
        key->request();
    }
    boost::shared_ptr<cached_image> made(new cached_image(key));
    key->produce(made->image);
    put(made, placement);
    return made;
}

bool coordinator::contains(const boost::shared_ptr<item_id>& key, int placement)
{
    bool found = m_memory != nullptr && m_memory->contains(key, placement);
    if (m_disc != nullptr && key->disc_cacheable() && m_disc->contains(key, placement))
        found = true;
    return found;
}

void coordinator::remove(const boost::shared_ptr<item_id>& key)
{
    if (m_memory != nullptr)
        m_memory->remove(key);
    if (m_disc != nullptr)
        m_disc->remove(key);
}

void coordinator::purge()
{
    if (m_memory != nullptr)
        m_memory->purge();
    if (m_disc != nullptr)
        m_disc->purge();
}

} // namespace lumvex

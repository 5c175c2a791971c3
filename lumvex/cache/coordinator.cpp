#include "lumvex/cache/coordinator.h"

#include "lumvex/exception.h"

namespace lumvex {

coordinator::coordinator(cache* memory, cache* disc)
    : m_memory(memory)
    , m_disc(disc)
{
}

// The disc level is a convenience: a copy that cannot be written (folder
// gone, disc full) or read back is as if the disc had none, and never fails
// an operation that memory or production can answer.
void coordinator::copy_to_disc(const boost::shared_ptr<cached_image>& image, int placement, bool unless_there)
{
    if (m_disc == nullptr)
        return;
    try {
        if (!unless_there || !m_disc->contains(image->id, placement))
            m_disc->put(image, placement);
    } catch (const std::exception&) {
    }
}

void coordinator::put(const boost::shared_ptr<cached_image>& image, int placement)
{
    if (m_memory != nullptr)
        m_memory->put(image, placement);
    if (image->id->disc_cacheable())
        copy_to_disc(image, placement, false);
}

boost::shared_ptr<cached_image> coordinator::find(const boost::shared_ptr<item_id>& key, int placement)
{
    if (m_memory != nullptr) {
        if (boost::shared_ptr<cached_image> found = m_memory->find(key, placement)) {
            if (key->disc_cacheable())
                copy_to_disc(found, placement, true);
            return found;
        }
    }
    if (m_disc == nullptr)
        return {};
    boost::shared_ptr<cached_image> found;
    try {
        found = m_disc->find(key, placement);
    } catch (const std::exception&) {
        return {};
    }
    if (found && m_memory != nullptr)
        m_memory->put(found, placement);
    return found;
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
    // The memory level produces once: a thread that asks for the same key
    // meanwhile waits for this production instead of making its own.
    boost::shared_ptr<cached_image> made;
    if (m_memory != nullptr) {
        made = m_memory->get(key, placement);
    } else {
        made.reset(new cached_image(key));
        key->produce(made->image);
    }
    if (key->disc_cacheable())
        copy_to_disc(made, placement, true);
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

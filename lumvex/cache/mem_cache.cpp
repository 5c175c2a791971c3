#include "lumvex/cache/mem_cache.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>

namespace lumvex {

namespace {

constexpr std::uint32_t reserve_bytes = 128u * 1024 * 1024;

// A time stamp that grows in every thread: the monotonic clock, nudged past
// the thread's previous stamp when the clock has not moved. Ranks made from
// it need no counter shared between threads, which hits from many threads
// would otherwise all write.
std::int64_t stamp()
{
    thread_local std::int64_t last = 0;
    const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    last = now > last ? now : last + 1;
    return last;
}

std::uint32_t saturated(std::uint64_t bytes)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
}

} // namespace

memory_quota_limits::memory_quota_limits(std::uint64_t physical_bytes)
    : ram(saturated(physical_bytes))
    , minimum(ram / 16)
    , maximum(ram > reserve_bytes && ram - reserve_bytes > ram / 2 ? ram - reserve_bytes : ram / 2)
    , default_quota(ram / 4)
{
}

std::uint32_t memory_quota_limits::clamp(std::uint64_t quota) const
{
    if (quota < minimum)
        return minimum;
    if (quota > maximum)
        return maximum;
    return static_cast<std::uint32_t>(quota);
}

// One entry. `rank` orders eviction (lower first) and may be changed under
// the shared lock; everything else changes under the exclusive lock only.
// Each entry has a cache line of its own, so that a hit that moves one entry
// does not disturb threads reading others.
struct alignas(64) mem_cache::slot {
    slot(boost::shared_ptr<cached_image> entry, std::int64_t first_rank, bool in_production)
        : image(std::move(entry))
        , rank(first_rank)
        , producing(in_production)
    {
    }
    // Moves happen under the exclusive lock only (growing or compacting the
    // list), so the rank is copied with plain loads and stores.
    slot(slot&& other) noexcept
        : image(std::move(other.image))
        , rank(other.rank.load(std::memory_order_relaxed))
        , producing(other.producing)
    {
    }
    slot& operator=(slot&& other) noexcept
    {
        image = std::move(other.image);
        rank.store(other.rank.load(std::memory_order_relaxed), std::memory_order_relaxed);
        producing = other.producing;
        return *this;
    }

    // The image's byte size; read only while the entry is not in production
    // (its producer fills the image without the lock).
    std::uint64_t bytes() const { return image->image.size; }

    boost::shared_ptr<cached_image> image;
    std::atomic<std::int64_t> rank;
    bool producing;
};

mem_cache::mem_cache(std::uint32_t quota)
    : m_quota(quota)
{
}

mem_cache::~mem_cache() = default;

mem_cache::slot* mem_cache::locate(const item_id& key)
{
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] == &key || m_keys[i]->equals(key))
            return &m_entries[i];
    }
    return nullptr;
}

mem_cache::slot* mem_cache::locate(const cached_image* image)
{
    for (slot& entry : m_entries) {
        if (entry.image.get() == image)
            return &entry;
    }
    return nullptr;
}

template <class Lock> mem_cache::slot* mem_cache::wait_for(Lock& lock, const item_id& key)
{
    for (;;) {
        slot* entry = locate(key);
        if (entry == nullptr || !entry->producing)
            return entry;
        m_produced.wait(lock);
    }
}

// Front ranks fall and back ranks rise as time goes on, so the latest move
// to the front goes first and the latest move to the back goes last.
std::int64_t mem_cache::front_rank()
{
    return -stamp();
}

void mem_cache::reorder(slot& entry, int where)
{
    if (where == placement::front)
        entry.rank.store(front_rank(), std::memory_order_relaxed);
    else if (where == placement::back)
        entry.rank.store(stamp(), std::memory_order_relaxed);
}

void mem_cache::place(slot& entry, int where, released_list& released)
{
    if (where == placement::drop)
        erase(entry, released);
    else
        reorder(entry, where);
}

void mem_cache::add(const boost::shared_ptr<cached_image>& image, bool in_production)
{
    m_keys.reserve(m_keys.size() + 1);
    m_entries.emplace_back(image, front_rank(), in_production);
    m_keys.push_back(image->id.get());
}

void mem_cache::erase(slot& entry, released_list& released)
{
    m_used.fetch_sub(entry.bytes(), std::memory_order_relaxed);
    released.push_back(std::move(entry.image));
    const std::size_t index = static_cast<std::size_t>(&entry - m_entries.data());
    if (index + 1 != m_entries.size()) {
        entry = std::move(m_entries.back());
        m_keys[index] = m_keys.back();
    }
    m_entries.pop_back();
    m_keys.pop_back();
}

void mem_cache::trim(std::uint64_t limit, released_list& released)
{
    if (limit == 0) {
        // Everything not in production goes, entries of empty images too
        // (they count no bytes, so the loop below would keep them); no order
        // to follow.
        for (std::size_t i = m_entries.size(); i-- > 0;) {
            if (!m_entries[i].producing)
                erase(m_entries[i], released);
        }
        return;
    }
    while (used() > limit) {
        slot* victim = nullptr;
        for (slot& entry : m_entries) {
            if (!entry.producing
                && (victim == nullptr
                    || entry.rank.load(std::memory_order_relaxed)
                        < victim->rank.load(std::memory_order_relaxed)))
                victim = &entry;
        }
        if (victim == nullptr)
            return;
        erase(*victim, released);
    }
}

void mem_cache::drop(const boost::shared_ptr<cached_image>& image)
{
    released_list released;
    std::unique_lock lock(m_lock);
    // Another thread may have dropped or replaced it since it was handed out.
    if (slot* entry = locate(image.get()); entry != nullptr && !entry->producing)
        erase(*entry, released);
}

boost::shared_ptr<cached_image> mem_cache::hand_out(const boost::shared_ptr<item_id>& key, int placement)
{
    boost::shared_ptr<cached_image> result;
    {
        std::shared_lock lock(m_lock);
        slot* entry = wait_for(lock, *key);
        if (entry == nullptr)
            return result;
        result = entry->image;
        reorder(*entry, placement);
        if (placement != placement::drop)
            return result;
    }
    drop(result);
    return result;
}

void mem_cache::finish_production(const boost::shared_ptr<cached_image>& image, int placement)
{
    released_list released;
    std::unique_lock lock(m_lock);
    // A slot in production is never evicted or removed, so it is still here.
    slot* entry = locate(image.get());
    entry->producing = false;
    const std::uint64_t size = entry->bytes();
    m_used.fetch_add(size, std::memory_order_relaxed);
    place(*entry, placement, released);
    m_produced.notify_all();
    if (size > 0)
        trim(quota(), released);
}

void mem_cache::put(const boost::shared_ptr<cached_image>& image, int placement)
{
    const img::image<img::BGRA<unsigned char>>& picture = image->image;
    if (placement == placement::front && std::uint64_t(picture.width) * picture.height + used() > quota())
        return;
    released_list released;
    std::unique_lock lock(m_lock);
    if (slot* entry = wait_for(lock, *image->id)) {
        place(*entry, placement, released);
        return;
    }
    add(image, false);
    const std::uint64_t size = picture.size;
    m_used.fetch_add(size, std::memory_order_relaxed);
    if (placement == placement::drop) {
        erase(m_entries.back(), released);
        return;
    }
    place(m_entries.back(), placement, released);
    if (size > 0)
        trim(quota(), released);
}

boost::shared_ptr<cached_image> mem_cache::get(const boost::shared_ptr<item_id>& key, int placement)
{
    if (boost::shared_ptr<cached_image> found = hand_out(key, placement))
        return found;
    boost::shared_ptr<cached_image> made(new cached_image(key));
    {
        released_list released;
        std::unique_lock lock(m_lock);
        if (slot* entry = wait_for(lock, *key)) {
            boost::shared_ptr<cached_image> result = entry->image;
            place(*entry, placement, released);
            return result;
        }
        add(made, true);
    }
    try {
        key->produce(made->image);
    } catch (...) {
        finish_production(made, placement::drop);
        throw;
    }
    finish_production(made, placement);
    return made;
}

boost::shared_ptr<cached_image> mem_cache::find(const boost::shared_ptr<item_id>& key, int placement)
{
    return hand_out(key, placement);
}

bool mem_cache::contains(const boost::shared_ptr<item_id>& key, int placement)
{
    boost::shared_ptr<cached_image> dropped;
    {
        std::shared_lock lock(m_lock);
        slot* entry = locate(*key);
        if (entry == nullptr)
            return false;
        if (entry->producing)
            return true;
        reorder(*entry, placement);
        if (placement != placement::drop)
            return true;
        dropped = entry->image;
    }
    drop(dropped);
    return true;
}

void mem_cache::remove(const boost::shared_ptr<item_id>& key)
{
    released_list released;
    std::unique_lock lock(m_lock);
    if (slot* entry = wait_for(lock, *key))
        erase(*entry, released);
}

void mem_cache::purge()
{
    released_list released;
    std::unique_lock lock(m_lock);
    trim(0, released);
}

void mem_cache::set_quota(std::uint32_t quota)
{
    if (quota >= this->quota()) {
        m_quota.store(quota, std::memory_order_relaxed);
        return;
    }
    released_list released;
    std::unique_lock lock(m_lock);
    m_quota.store(quota, std::memory_order_relaxed);
    trim(quota, released);
}

std::size_t mem_cache::count() const
{
    std::shared_lock lock(m_lock);
    return m_entries.size();
}

} // namespace lumvex

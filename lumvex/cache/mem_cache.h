#pragma once

// The in-memory level of the image cache: a byte quota, an eviction order,
// and exclusive production, so that an image asked for by several threads at
// once is produced once while the others wait.
//
// Threads: every operation may be called from any thread. Look-ups of
// present keys share the lock, so hits from many threads run side by side;
// changes of the entry list take it exclusively. `produce` always runs
// without the lock. Waiters for a key in production sleep until a
// production ends and then look again; the wait has no time limit.

#include "lumvex/cache/cache.h"
#include "lumvex/cache/sharded_mutex.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumvex {

// The limits of the memory cache's quota on a machine with the given
// physical memory. The figure saturates at the largest 32-bit value, and the
// upper limit never exceeds half of it on a small machine.
struct memory_quota_limits {
    explicit memory_quota_limits(std::uint64_t physical_bytes);

    // A quota brought into [minimum, maximum].
    std::uint32_t clamp(std::uint64_t quota) const;

    // Physical memory in bytes, at most 0xFFFFFFFF.
    std::uint32_t ram;
    // ram / 16.
    std::uint32_t minimum;
    // ram - 128 MiB when that is larger than ram / 2, else ram / 2.
    std::uint32_t maximum;
    // ram / 4, the quota when none is configured.
    std::uint32_t default_quota;
};

class mem_cache final : public cache {
public:
    explicit mem_cache(std::uint32_t quota);
    ~mem_cache() override;
    mem_cache(const mem_cache&) = delete;
    mem_cache& operator=(const mem_cache&) = delete;

    // Placement front skips an image whose pixel count (not byte size) plus
    // `used` exceeds the quota. An entry with an equal key that is already
    // stored stays as it is (after any production of it has ended); only its
    // placement changes.
    void put(const boost::shared_ptr<cached_image>& image, int placement) override;
    // The stored entry, or one made by the key's `produce` in this thread;
    // other threads asking for an equal key meanwhile wait and receive the
    // same entry. An exception from `produce` drops the half-made entry and
    // passes on; the next `get` produces again.
    boost::shared_ptr<cached_image> get(const boost::shared_ptr<item_id>& key, int placement) override;
    // Waits while the key is being produced.
    boost::shared_ptr<cached_image> find(const boost::shared_ptr<item_id>& key, int placement) override;
    // True also while the key is being produced (without placement then).
    bool contains(const boost::shared_ptr<item_id>& key, int placement) override;
    // Waits while the key is being produced, then drops its entry.
    void remove(const boost::shared_ptr<item_id>& key) override;
    // Evicts every entry that is not being produced; the quota stays.
    void purge() override;

    // A quota not below the current one is stored at once; a smaller one
    // also evicts entries (front first) until `used` fits it or only entries
    // in production remain.
    void set_quota(std::uint32_t quota);
    // Entries, those being produced included.
    std::size_t count() const;
    std::uint32_t quota() const { return m_quota.load(std::memory_order_relaxed); }
    // Sum of the byte sizes of the stored images.
    std::uint64_t used() const { return m_used.load(std::memory_order_relaxed); }

private:
    struct slot;
    using entry_list = std::vector<slot>;
    using released_list = std::vector<boost::shared_ptr<cached_image>>;

    template <class Lock> slot* wait_for(Lock& lock, const item_id& key);
    slot* locate(const item_id& key);
    slot* locate(const cached_image* image);
    // Appends an entry at the front of the eviction order.
    void add(const boost::shared_ptr<cached_image>& image, bool in_production);
    boost::shared_ptr<cached_image> hand_out(const boost::shared_ptr<item_id>& key, int placement);
    void drop(const boost::shared_ptr<cached_image>& image);
    void finish_production(const boost::shared_ptr<cached_image>& image, int placement);
    void erase(slot& entry, released_list& released);
    void trim(std::uint64_t limit, released_list& released);
    static std::int64_t front_rank();
    // Front and back placements; allowed under the shared lock.
    void reorder(slot& entry, int placement);
    // Any placement; under the exclusive lock.
    void place(slot& entry, int placement, released_list& released);

    std::atomic<std::uint32_t> m_quota;
    std::atomic<std::uint64_t> m_used { 0 };
    mutable sharded_mutex m_lock;
    std::condition_variable_any m_produced;
    entry_list m_entries;
    // The entries' keys, in the same order: look-ups scan only this.
    std::vector<const item_id*> m_keys;
};

} // namespace lumvex

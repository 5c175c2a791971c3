#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <shared_mutex>
#include <thread>

namespace lumvex {

// A shared mutex for data read by many threads at once and changed rarely.
// Each reading thread takes one of several locks, chosen by its id, so that
// readers on different processors do not contend for one lock word; a writer
// takes all of them in order. Works with std::unique_lock, std::shared_lock
// and std::condition_variable_any; a thread releases its own shared hold.
class sharded_mutex {
public:
    void lock()
    {
        for (shard& s : m_shards)
            s.mutex.lock();
    }
    void unlock()
    {
        for (std::size_t i = shards; i-- > 0;)
            m_shards[i].mutex.unlock();
    }

    void lock_shared() { own().mutex.lock_shared(); }
    void unlock_shared() { own().mutex.unlock_shared(); }

private:
    static constexpr std::size_t shards = 16;
    struct alignas(64) shard {
        std::shared_mutex mutex;
    };

    shard& own() { return m_shards[std::hash<std::thread::id>()(std::this_thread::get_id()) % shards]; }

    std::array<shard, shards> m_shards;
};

} // namespace lumvex

#pragma once

// The second level of the image cache: each image is a PNG file in a root
// folder with a text file of the same stem that describes its key. The cache
// keeps a 64-bit byte quota by deleting the oldest pairs, survives restarts
// (the folder is listed at start and the keys of its own files rebuilt), and
// holds the root with an exclusive lock for as long as it uses it, so that no
// second cache (of this or another process) works in the same folder. A root
// that cannot be created or locked leaves the cache disabled: it then stores
// nothing and reports quota 0.
//
// Files of an entry: "<key>.png" and "<key>.txt", where <key> is the key's
// key text (separators made harmless; a text too long for a file name is cut
// and ends in "~" and a hash of the whole text); when that name is taken,
// "<key>.1", "<key>.2" and so on. Names are reserved under the cache's lock, so two keys
// of the same text never share a file.
//
// Writing is off the caller's path: `put` lists the entry at once (counted
// at an estimate of its PNG's size, found by `find` and `contains`, served
// from the image it was given) and queues the files for the cache's writer
// thread, which writes the PNG and then its description, without forcing
// them to the disc. An entry whose files were cut short by a crash is
// recognised at start-up (its PNG does not end as a whole PNG does, or a PNG
// named as the cache names them has no description or an empty one) and
// deleted; one damaged inside fails its read and is deleted then. The queue
// holds at most `write_queue_bytes` of pending images, counted as they lie
// in memory (one image larger than that alone): a `put` that finds it full
// waits until the writer has made room. The quota trims pending entries
// like written ones, so the queue also holds no more images than the quota
// has room for at their estimate.
// The writer yields to a reader that puts image after image: it writes once
// puts have paused for a quiet time, or sooner when the queue is three
// quarters full or someone waits for it (a full queue, `flush`,
// destruction).
// Destroying the cache or re-rooting it finishes the writes queued until
// then (unless erase_on_exit drops them with every pair).
//
// Threads: every operation may be called from any thread. File writing,
// reading and deletion run outside the list lock, protected by a mark on the
// entry; a second operation on the same key waits for the first. Re-rooting,
// lowering the quota and purging wait until no operation is in flight.

#include "lumvex/cache/cache.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumvex {

class disc_cache final : public cache {
public:
    // The most bytes of images waiting for the writer, unless another limit
    // is given.
    static constexpr std::uint64_t default_write_queue_bytes = std::uint64_t(256) << 20;
    // The pause in puts after which queued images are written, unless
    // another is given.
    static constexpr std::chrono::milliseconds default_quiet_time { 20 };

    // Starts the writer and runs set_root; `deserializer` is used only during
    // the call.
    disc_cache(const std::string& root, std::uint64_t quota, const item_id_deserializer* deserializer,
        std::uint64_t write_queue_bytes = default_write_queue_bytes,
        std::chrono::milliseconds quiet_time = default_quiet_time);
    // Purges when erase_on_exit is set (dropping the queued writes), else
    // finishes the queued writes; then releases the root.
    ~disc_cache() override;
    disc_cache(const disc_cache&) = delete;
    disc_cache& operator=(const disc_cache&) = delete;

    // Lists the image and queues its pair for writing (a listed key gets a
    // new pair, the old one is deleted). Placement front skips an image when
    // width x height x 3 (an estimate of its PNG) plus `used` exceeds the
    // quota. Waits while the write queue is full. A write that fails (disc
    // full, folder gone) unlists the entry and leaves no file behind.
    void put(const boost::shared_ptr<cached_image>& image, int placement) override;
    // Reads the listed pair, or produces the image in this thread, without
    // any of the cache's locks, and puts it; a getter of an equal key
    // meanwhile waits for that one production. A listed pair that cannot be
    // read is deleted and the image produced again. Disabled: produces and
    // returns the image without storing it.
    boost::shared_ptr<cached_image> get(const boost::shared_ptr<item_id>& key, int placement) override;
    // Reads the listed pair (an entry still waiting for the writer gives the
    // image it was put with); an empty pointer when the key is not listed.
    // The entry returned carries the listed key. A pair that cannot be read
    // is deleted and the reader's error passes on.
    boost::shared_ptr<cached_image> find(const boost::shared_ptr<item_id>& key, int placement) override;
    bool contains(const boost::shared_ptr<item_id>& key, int placement) override;
    // Deletes the key's pair.
    void remove(const boost::shared_ptr<item_id>& key) override;
    // Deletes every listed pair; the quota stays.
    void purge() override;

    // Erases the current root's pairs first when erase_on_exit is set, then
    // takes the new root (a "\" is appended when it ends in no separator),
    // creates it, locks it, lists the pairs it recognises through
    // `deserializer` (oldest first) and trims them to `quota`. Pairs of this
    // library's own kinds that the deserializer does not take are deleted,
    // and so are PNGs of the cache's own naming without a description; any
    // other file is left alone. An empty root, or one that cannot be
    // created or locked, disables the cache.
    void set_root(const std::string& root, std::uint64_t quota, const item_id_deserializer* deserializer);
    // A quota not below the current one is stored at once; a smaller one
    // waits for the operations in flight and trims.
    void set_quota(std::uint64_t quota);

    // Returns once every write queued before the call is done or dropped.
    void flush();

    std::size_t count() const;
    // The root folder ending in a separator; empty while disabled.
    std::string root() const;
    bool enabled() const { return m_enabled.load(std::memory_order_acquire); }
    // 0 while disabled.
    std::uint64_t quota() const;
    // Sum of the sizes of the listed PNG files.
    std::uint64_t used() const { return m_used.load(std::memory_order_relaxed); }
    bool erase_on_exit() const { return m_erase_on_exit.load(std::memory_order_relaxed); }
    void set_erase_on_exit(bool erase) { m_erase_on_exit.store(erase, std::memory_order_relaxed); }

    // The user's cache folder for the library: $XDG_CACHE_HOME (when
    // absolute, else ~/.cache) + "/Norvane/lumvex/".
    static std::string default_root();

private:
    struct entry;
    struct write_job;
    class scope;
    class production;
    class queue_room;
    using entry_list = std::list<entry>;
    using list_lock = std::unique_lock<std::mutex>;

    // Under the list lock: whether an equal key is being produced by `get`.
    bool producing(const item_id& key) const;
    // `find` with the gate held shared.
    boost::shared_ptr<cached_image> find_listed(const boost::shared_ptr<item_id>& key, int placement);
    void disable();
    void scan(const item_id_deserializer* deserializer);
    entry_list::iterator locate(const item_id& key);
    // The key's entry once no operation works on it (the lock let go while
    // waiting), or end() when it is not listed.
    entry_list::iterator locate_idle(list_lock& lock, const item_id& key);
    void reorder(entry_list::iterator it, int placement);
    // Reorders the entry, or drops it leaving its files to the writer.
    void place(list_lock& lock, entry_list::iterator it, int placement);
    // Sets a listed entry's size, `used` following it.
    void resize(entry& listed, std::uint64_t size);
    // Unlists the entry, dropping its queued write. Its files are deleted
    // at once (the lock released meanwhile) or, with `defer`, left to the
    // writer (their name stays reserved until then).
    void drop_listed(list_lock& lock, entry_list::iterator it, bool defer);
    void cancel(write_job& job);
    void trim(list_lock& lock, std::uint64_t limit, bool everything);
    // Deletes the pairs left to the writer; the gate is held exclusively.
    void delete_deferred(list_lock& lock);
    std::string reserve_name(const std::string& stem);
    void release_name(const std::string& name);
    void delete_pair(const std::string& name) const;
    void run_writer();
    // Under the list lock: whether queued writes wait for puts to pause.
    bool writes_deferred() const;
    void write(write_job& job, std::vector<char>& buffer);
    void read_entry(const std::string& name, img::image<img::BGRA<unsigned char>>& target) const;

    std::atomic<bool> m_erase_on_exit { false };
    std::atomic<bool> m_enabled { false };
    std::atomic<std::uint64_t> m_quota { 0 };
    std::atomic<std::uint64_t> m_used { 0 };
    // Changed only under the exclusive gate.
    std::string m_root;
    int m_root_handle = -1;
    // Under m_list_lock: the entries in eviction order (front deleted
    // first), and the file names listed or being written.
    entry_list m_entries;
    std::set<std::string> m_names;
    // The keys `get` is producing right now; kept across re-rooting.
    std::vector<boost::shared_ptr<item_id>> m_producing;
    // Under m_list_lock: the writes waiting for the writer (oldest first;
    // dropped ones stay until it reaches them), the bytes of their images
    // (and of those whose puts have taken room for them), how many were ever
    // queued and how many are done or dropped, and the pairs it has to
    // delete.
    std::deque<std::shared_ptr<write_job>> m_jobs;
    std::uint64_t m_queued_bytes = 0;
    std::uint64_t m_jobs_queued = 0;
    std::uint64_t m_jobs_done = 0;
    std::vector<std::string> m_deletions;
    // The writer has taken work it has not finished.
    bool m_writing = false;
    // When the last image was queued; the writer rests until the quiet
    // time after it, unless someone waits for the writer.
    std::chrono::steady_clock::time_point m_last_put {};
    bool m_resting = false;
    unsigned m_hurrying = 0;
    bool m_stopping = false;
    const std::uint64_t m_write_queue_bytes;
    const std::chrono::milliseconds m_quiet_time;
    mutable std::mutex m_list_lock;
    // Woken whenever an entry, a production or a write ends.
    std::condition_variable m_released;
    // Wakes the writer.
    std::condition_variable m_work;
    // Held shared by every operation (and by the writer for each write),
    // exclusive by re-rooting, lowering the quota and purging.
    mutable std::shared_mutex m_gate;
    std::thread m_writer;
};

} // namespace lumvex

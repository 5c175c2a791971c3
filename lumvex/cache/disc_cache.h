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
// Threads: every operation may be called from any thread. File writing,
// reading and deletion run outside the list lock, protected by a mark on the
// entry; a second operation on the same key waits for the first. Re-rooting,
// lowering the quota and purging wait until no operation is in flight.

#include "lumvex/cache/cache.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

namespace lumvex {

class disc_cache final : public cache {
public:
    // Runs set_root; `deserializer` is used only during the call.
    disc_cache(const std::string& root, std::uint64_t quota, const item_id_deserializer* deserializer);
    // Purges when erase_on_exit is set, then releases the root.
    ~disc_cache() override;
    disc_cache(const disc_cache&) = delete;
    disc_cache& operator=(const disc_cache&) = delete;

    // Writes the image's pair (a listed key gets a new pair, the old one is
    // deleted). Placement front skips an image when width x height x 3 (an
    // estimate of its PNG) plus `used` exceeds the quota. Image writing
    // errors pass on; "file write error: " + description path when the
    // description cannot be written. A failed write leaves no file behind.
    void put(const boost::shared_ptr<cached_image>& image, int placement) override;
    // Reads the listed pair, or produces the image in this thread, without
    // any of the cache's locks, and writes it; a getter of an equal key
    // meanwhile waits for that one production. An image whose pair cannot
    // be written is still returned (unlisted); a listed pair that cannot be
    // read is deleted and the image produced again. Disabled: produces and
    // returns the image without storing it.
    boost::shared_ptr<cached_image> get(const boost::shared_ptr<item_id>& key, int placement) override;
    // Reads the listed pair; an empty pointer when the key is not listed.
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
    // library's own kinds that the deserializer does not take are deleted;
    // any other file is left alone. An empty root, or one that cannot be
    // created or locked, disables the cache.
    void set_root(const std::string& root, std::uint64_t quota, const item_id_deserializer* deserializer);
    // A quota not below the current one is stored at once; a smaller one
    // waits for the operations in flight and trims.
    void set_quota(std::uint64_t quota);

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
    class scope;
    class production;
    using entry_list = std::list<entry>;
    using list_lock = std::unique_lock<std::mutex>;

    // Under the list lock: whether an equal key is being produced by `get`.
    bool producing(const item_id& key) const;
    // `find` with the gate held shared.
    boost::shared_ptr<cached_image> find_listed(const boost::shared_ptr<item_id>& key, int placement);
    void disable();
    void scan(const item_id_deserializer* deserializer);
    entry_list::iterator locate(const item_id& key);
    void reorder(entry_list::iterator it, int placement);
    void drop_listed(list_lock& lock, entry_list::iterator it);
    void trim(list_lock& lock, std::uint64_t limit, bool everything);
    std::string reserve_name(const std::string& stem);
    void release_name(const std::string& name);
    void delete_pair(const std::string& name) const;
    void write_entry(scope& s, const cached_image& image);
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
    mutable std::mutex m_list_lock;
    std::condition_variable m_released;
    // Held shared by every operation, exclusive by re-rooting, lowering the
    // quota and purging.
    mutable std::shared_mutex m_gate;
};

} // namespace lumvex

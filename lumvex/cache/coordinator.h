#pragma once

// The one image cache the rest of the system uses: the memory cache in front
// of the disc cache. Look-ups try memory first, then disc (copying what the
// disc has into memory); every disc-cacheable image also gets a disc copy;
// missing images are produced in the asking thread or requested from their
// producing thread.
//
// The coordinator owns neither level and has no lock of its own; each level
// locks itself, so another thread may change a level between two calls.
// Every operation may be called from any thread and passes the caller's
// placement on unchanged to each level it calls.

#include "lumvex/cache/cache.h"

namespace lumvex {

class coordinator final : public cache {
public:
    // Either level may be null; the levels must outlive the coordinator.
    coordinator(cache* memory, cache* disc);

    // The disc level is a convenience: its write failures (folder removed,
    // disc full) never fail an operation, and a disc copy that cannot be
    // read counts as missing.

    // Memory, then disc when the key is disc-cacheable.
    void put(const boost::shared_ptr<cached_image>& image, int placement) override;
    // find; on a miss a key that can produce produces in this thread through
    // the memory cache, so that threads asking for it meanwhile wait for
    // that one production, and the image gets a disc copy; a threaded key is
    // requested and looked up again, a bounded number of times. Throws
    // lumvex::exception when the key can neither produce nor request its
    // image, or when the requested image keeps being evicted before it is
    // found (a quota smaller than the image, for instance). Exceptions of
    // `produce` and `request` pass on.
    boost::shared_ptr<cached_image> get(const boost::shared_ptr<item_id>& key, int placement) override;
    // Memory, then disc. An image found in memory but missing on disc is
    // written to disc (disc-cacheable keys); one found on disc is put into
    // memory.
    boost::shared_ptr<cached_image> find(const boost::shared_ptr<item_id>& key, int placement) override;
    // Asks memory and, for a disc-cacheable key, disc too, so that both
    // apply the placement.
    bool contains(const boost::shared_ptr<item_id>& key, int placement) override;
    void remove(const boost::shared_ptr<item_id>& key) override;
    void purge() override;

    // How many times `get` asks a producing thread before it gives up.
    static constexpr int max_requests = 8;

private:
    // Writes the disc copy of an image (`unless_there`: only when the disc
    // does not list it yet); failures are dropped.
    void copy_to_disc(const boost::shared_ptr<cached_image>& image, int placement, bool unless_there);

    cache* m_memory;
    cache* m_disc;
};

} // namespace lumvex

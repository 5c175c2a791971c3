#pragma once

// The library's image cache as a whole: the memory cache in front of the
// disc cache behind one coordinator, with their settings kept in the user's
// settings store under "Software\Norvane\lumvex":
//
//   "mem_cache_quota"           32-bit  bytes; default ram / 4, kept within
//                                       the limits of memory_quota_limits
//   "disc_cache_quota"          64-bit  bytes; default 128 MiB, at least
//                                       16 MiB
//   "disc_cache_root_path"      string  empty: disc_cache::default_root()
//   "disc_cache_erase_on_exit"  32-bit  0 or 1; default 0
//   "avi_prefetch_frames"       32-bit  1 to 1000; default 10
//
// Reading never fails: a missing key, or a value that is missing, of another
// type or unreadable, gives its default. Not copyable; the settings
// operations run on one thread (the UI's); the caches may be used from any.

#include "foundation/system/regprofile.h"
#include "lumvex/cache/coordinator.h"
#include "lumvex/cache/disc_cache.h"
#include "lumvex/cache/frame_memory.h"
#include "lumvex/cache/mem_cache.h"

#include <cstdint>
#include <memory>
#include <string>

namespace lumvex {

// The figures and settings shown and edited in the cache settings dialog.
struct cache_settings {
    // Bytes held and entries in the memory cache.
    std::uint64_t memory_used = 0;
    int memory_count = 0;
    // Bytes; set_settings clamps it (in 64 bits) to the memory limits.
    std::uint64_t memory_quota = 0;
    // Bytes of the listed disc files and their entries.
    std::uint64_t disc_used = 0;
    int disc_count = 0;
    // Bytes; reported as 0 while the disc cache is disabled.
    std::uint64_t disc_quota = 0;
    std::string disc_root;
    bool erase_on_exit = false;
    int prefetch_frames = 0;
};

class cache_system {
public:
    // Where the settings are kept.
    static constexpr const char* registry_key = "Software\\Norvane\\lumvex";
    static constexpr std::uint64_t default_disc_quota = 128u * 1024 * 1024;
    static constexpr std::int64_t min_disc_quota = 16 * 1024 * 1024;
    static constexpr int default_prefetch_frames = 10;
    static constexpr int min_prefetch_frames = 1;
    static constexpr int max_prefetch_frames = 1000;

    // Builds the caches from the stored settings, for the machine's
    // physical memory.
    cache_system();
    // The same for a machine with `physical_bytes` of memory.
    explicit cache_system(std::uint64_t physical_bytes);
    // Empties the memory cache first (so that footage held only by cached
    // keys ends, with its threads, while the caches still exist), then
    // destroys the coordinator, the disc cache (erasing its files when its
    // flag is set) and the memory cache.
    ~cache_system();
    cache_system(const cache_system&) = delete;
    cache_system& operator=(const cache_system&) = delete;

    cache& coordinator() { return *m_coordinator; }
    mem_cache& memory() { return *m_memory; }
    disc_cache& disc() { return *m_disc; }
    const memory_quota_limits& limits() const { return m_limits; }
    int avi_prefetch_frames() const { return m_avi_prefetch_frames; }
    // The buffers decoded frames are kept in; its budget is the memory
    // cache's quota.
    frame_memory& frames() { return *m_frames; }

    // The live figures and settings.
    cache_settings settings() const;
    // Applies the record and copies back what was applied: the memory quota
    // clamped, the disc quota raised to 16 MiB, the prefetch frames brought
    // into 1..1000, and the caches' figures. A different root (compared
    // exactly) re-roots the disc cache.
    void set_settings(cache_settings& settings);
    // Stores the record's five settings when the settings key is open; the
    // store's errors pass on as regprofile::error.
    void save(const cache_settings& settings);
    // Deletes every file of the disc cache.
    void purge_disc() { m_disc->purge(); }

    // A quota entered in megabytes, in bytes: false for a negative entry;
    // entries too large for 64 bits saturate.
    static bool quota_from_megabytes(std::int64_t megabytes, std::uint64_t& bytes);

private:
    memory_quota_limits m_limits;
    int m_avi_prefetch_frames = default_prefetch_frames;
    regprofile::key m_registry;
    std::unique_ptr<frame_memory> m_frames;
    std::unique_ptr<mem_cache> m_memory;
    std::unique_ptr<disc_cache> m_disc;
    std::unique_ptr<lumvex::coordinator> m_coordinator;
};

} // namespace lumvex

#include "lumvex/cache/cache_system.h"

#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/cache/frame_memory.h"
#include "platform/kernel/memory_status.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace lumvex {

namespace {

// What a machine whose memory the system does not report is taken to have.
constexpr std::uint64_t assumed_physical_bytes = 1024u * 1024 * 1024;

std::uint64_t physical_memory()
{
    platform::memory_status status;
    if (platform::global_memory_status(status) && status.total_physical != 0)
        return status.total_physical;
    return assumed_physical_bytes;
}

std::optional<std::int64_t> read_integer(const regprofile::key& key, const char* name)
{
    if (!key.is_open())
        return std::nullopt;
    try {
        return key.read_integer(name);
    } catch (const regprofile::error&) {
        return std::nullopt;
    }
}

std::optional<std::string> read_string(const regprofile::key& key, const char* name)
{
    if (!key.is_open())
        return std::nullopt;
    try {
        return key.read_string(name);
    } catch (const regprofile::error&) {
        return std::nullopt;
    }
}

// A stored 32-bit value as the unsigned number it was written as (reading
// sign-extends it); a 64-bit value below the 32-bit range is refused.
std::optional<std::uint64_t> unsigned_value(std::optional<std::int64_t> value)
{
    if (!value)
        return std::nullopt;
    if (*value >= 0)
        return static_cast<std::uint64_t>(*value);
    if (*value >= std::numeric_limits<std::int32_t>::min())
        return static_cast<std::uint64_t>(*value) & 0xFFFFFFFFu;
    return std::nullopt;
}

int clamp_prefetch(std::int64_t frames)
{
    return static_cast<int>(std::clamp<std::int64_t>(
        frames, cache_system::min_prefetch_frames, cache_system::max_prefetch_frames));
}

std::uint64_t raise_disc_quota(std::int64_t quota)
{
    return static_cast<std::uint64_t>(std::max(quota, cache_system::min_disc_quota));
}

} // namespace

cache_system::cache_system()
    : cache_system(physical_memory())
{
}

cache_system::cache_system(std::uint64_t physical_bytes)
    : m_limits(physical_bytes)
    , m_registry(platform::registry_root::current_user, registry_key, true, true)
{
    const std::optional<std::uint64_t> memory_quota
        = unsigned_value(read_integer(m_registry, "mem_cache_quota"));
    m_memory = std::make_unique<mem_cache>(m_limits.clamp(memory_quota.value_or(m_limits.default_quota)));
    m_frames = std::make_unique<frame_memory>(m_memory->quota());

    const std::int64_t disc_quota = read_integer(m_registry, "disc_cache_quota")
                                        .value_or(static_cast<std::int64_t>(default_disc_quota));
    std::string root = read_string(m_registry, "disc_cache_root_path").value_or(std::string());
    if (root.empty())
        root = disc_cache::default_root();
    const avi_frame_id_deserializer deserializer;
    m_disc = std::make_unique<disc_cache>(root, raise_disc_quota(disc_quota), &deserializer);
    if (const std::optional<std::int64_t> erase = read_integer(m_registry, "disc_cache_erase_on_exit"))
        m_disc->set_erase_on_exit(*erase != 0);

    m_coordinator = std::make_unique<lumvex::coordinator>(m_memory.get(), m_disc.get());
    m_avi_prefetch_frames
        = clamp_prefetch(read_integer(m_registry, "avi_prefetch_frames").value_or(default_prefetch_frames));
}

cache_system::~cache_system()
{
    m_memory->purge();
    m_coordinator.reset();
    m_disc.reset();
    m_memory.reset();
}

cache_settings cache_system::settings() const
{
    cache_settings result;
    result.memory_used = m_memory->used();
    result.memory_count = static_cast<int>(m_memory->count());
    result.memory_quota = m_memory->quota();
    result.disc_used = m_disc->used();
    result.disc_count = static_cast<int>(m_disc->count());
    result.disc_quota = m_disc->quota();
    result.disc_root = m_disc->root();
    result.erase_on_exit = m_disc->erase_on_exit();
    result.prefetch_frames = m_avi_prefetch_frames;
    return result;
}

void cache_system::set_settings(cache_settings& settings)
{
    settings.memory_quota = m_limits.clamp(settings.memory_quota);
    m_memory->set_quota(static_cast<std::uint32_t>(settings.memory_quota));
    m_frames->set_budget(m_memory->quota());
    settings.memory_used = m_memory->used();
    settings.memory_count = static_cast<int>(m_memory->count());

    m_disc->set_erase_on_exit(settings.erase_on_exit);
    settings.disc_quota = std::max<std::uint64_t>(settings.disc_quota, min_disc_quota);
    if (settings.disc_root != m_disc->root()) {
        const avi_frame_id_deserializer deserializer;
        m_disc->set_root(settings.disc_root, settings.disc_quota, &deserializer);
    } else {
        m_disc->set_quota(settings.disc_quota);
    }
    settings.disc_used = m_disc->used();
    settings.disc_count = static_cast<int>(m_disc->count());

    settings.prefetch_frames = clamp_prefetch(settings.prefetch_frames);
    m_avi_prefetch_frames = settings.prefetch_frames;
}

void cache_system::save(const cache_settings& settings)
{
    if (!m_registry.is_open())
        return;
    m_registry.write_dword("mem_cache_quota",
        static_cast<std::uint32_t>(std::min<std::uint64_t>(settings.memory_quota, 0xFFFFFFFFu)));
    m_registry.set_qword("disc_cache_quota", settings.disc_quota);
    m_registry.write_string("disc_cache_root_path", settings.disc_root);
    m_registry.write_dword("disc_cache_erase_on_exit", settings.erase_on_exit ? 1 : 0);
    m_registry.write_dword(
        "avi_prefetch_frames", static_cast<std::uint32_t>(clamp_prefetch(settings.prefetch_frames)));
}

bool cache_system::quota_from_megabytes(std::int64_t megabytes, std::uint64_t& bytes)
{
    if (megabytes < 0)
        return false;
    constexpr std::uint64_t megabyte = 1024 * 1024;
    const auto count = static_cast<std::uint64_t>(megabytes);
    bytes = count > std::numeric_limits<std::uint64_t>::max() / megabyte
        ? std::numeric_limits<std::uint64_t>::max()
        : count * megabyte;
    return true;
}

} // namespace lumvex

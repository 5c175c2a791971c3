#include "lumvex/cache/cache_system.h"

#include "lumvex/cache/frame_memory.h"
#include "lumvex/tests/settings_store_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace cache_test;
using lumvex::cache_settings;
using lumvex::cache_system;

namespace {

constexpr std::uint64_t mib = 1024 * 1024;
// Physical memory of the machine the tests assume (quotas are 32-bit).
constexpr std::uint64_t ram = 2048 * mib;

using cache_system_settings = settings_fixture;

void expect_defaults(cache_system& system)
{
    const cache_settings s = system.settings();
    EXPECT_EQ(s.memory_quota, ram / 4);
    EXPECT_EQ(s.disc_quota, 128 * mib);
    EXPECT_EQ(s.disc_root, lumvex::disc_cache::default_root());
    EXPECT_FALSE(s.erase_on_exit);
    EXPECT_EQ(s.prefetch_frames, 10);
    EXPECT_EQ(system.avi_prefetch_frames(), 10);
}

TEST_F(cache_system_settings, MissingStoreGivesDefaults)
{
    cache_system system(ram);
    expect_defaults(system);
    EXPECT_EQ(system.settings().disc_root, folder.file("cache") + "/Norvane/lumvex/");
}

TEST_F(cache_system_settings, CorruptStoreGivesDefaultsAndIsKept)
{
    const std::string garbage = "Tavelo settings 1\nmem_cache_quota\tdword\t12x\n";
    write_values(garbage);
    {
        cache_system system(ram);
        expect_defaults(system);
    }
    std::ifstream in(key_folder() / ".values", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);
}

TEST_F(cache_system_settings, ValuesOfAnotherTypeGiveDefaults)
{
    write_values("Tavelo settings 1\n"
                 "avi_prefetch_frames\tsz\t20\n"
                 "disc_cache_erase_on_exit\tsz\t1\n"
                 "disc_cache_quota\tsz\t1\n"
                 "disc_cache_root_path\tdword\t5\n"
                 "mem_cache_quota\tdword\t#%01%02\n");
    cache_system system(ram);
    expect_defaults(system);
}

TEST_F(cache_system_settings, UnreadableKeyGivesDefaults)
{
    // A file where the key's folder belongs: the key cannot be opened.
    std::filesystem::create_directories(key_folder().parent_path());
    std::ofstream(key_folder()) << "not a folder";
    cache_system system(ram);
    expect_defaults(system);
    cache_settings s = system.settings();
    EXPECT_NO_THROW(system.save(s));
}

TEST_F(cache_system_settings, StoredValuesAreBroughtIntoTheirLimits)
{
    write_values("Tavelo settings 1\n"
                 "avi_prefetch_frames\tdword\t5000\n"
                 "disc_cache_quota\tqword\t1048576\n"
                 "mem_cache_quota\tdword\t1\n");
    {
        cache_system system(ram);
        EXPECT_EQ(system.settings().memory_quota, ram / 16);
        EXPECT_EQ(system.settings().disc_quota, 16 * mib);
        EXPECT_EQ(system.avi_prefetch_frames(), 1000);
    }
    // A 32-bit quota with its top bit set is a large quota, not a negative
    // one; a negative 64-bit disc quota is the smallest one.
    write_values("Tavelo settings 1\n"
                 "avi_prefetch_frames\tdword\t4294967295\n"
                 "disc_cache_quota\tqword\t18446744073709551615\n"
                 "mem_cache_quota\tdword\t4294967295\n");
    cache_system system(ram);
    EXPECT_EQ(system.settings().memory_quota, ram - 128 * mib);
    EXPECT_EQ(system.settings().disc_quota, 16 * mib);
    EXPECT_EQ(system.avi_prefetch_frames(), 1);
}

TEST_F(cache_system_settings, SavedSettingsSurviveARestart)
{
    const std::string root = folder.file("elsewhere") + "/";
    {
        cache_system system(ram);
        cache_settings s = system.settings();
        s.memory_quota = 1024 * mib;
        s.disc_quota = 6000 * mib;
        s.disc_root = root;
        s.erase_on_exit = true;
        s.prefetch_frames = 25;
        system.set_settings(s);
        system.save(s);
    }
    cache_system system(ram);
    const cache_settings s = system.settings();
    EXPECT_EQ(s.memory_quota, 1024 * mib);
    EXPECT_EQ(s.disc_quota, 6000 * mib);
    EXPECT_EQ(s.disc_root, root);
    EXPECT_TRUE(s.erase_on_exit);
    EXPECT_EQ(s.prefetch_frames, 25);
}

TEST_F(cache_system_settings, SettingsAreClampedWhenApplied)
{
    cache_system system(ram);
    cache_settings s = system.settings();
    s.memory_quota = 1;
    s.disc_quota = 1;
    s.prefetch_frames = 0;
    system.set_settings(s);
    EXPECT_EQ(s.memory_quota, ram / 16);
    EXPECT_EQ(system.memory().quota(), ram / 16);
    EXPECT_EQ(s.disc_quota, 16 * mib);
    EXPECT_EQ(system.disc().quota(), 16 * mib);
    EXPECT_EQ(s.prefetch_frames, 1);

    // Megabytes beyond 32 bits clamp to the upper limit instead of wrapping.
    std::uint64_t bytes = 0;
    ASSERT_TRUE(cache_system::quota_from_megabytes(4096 + 1, bytes));
    s.memory_quota = bytes;
    s.prefetch_frames = 5000;
    system.set_settings(s);
    EXPECT_EQ(s.memory_quota, ram - 128 * mib);
    EXPECT_EQ(s.prefetch_frames, 1000);
    EXPECT_EQ(system.avi_prefetch_frames(), 1000);
    ASSERT_TRUE(cache_system::quota_from_megabytes(std::int64_t(1) << 62, bytes));
    s.memory_quota = bytes;
    system.set_settings(s);
    EXPECT_EQ(s.memory_quota, ram - 128 * mib);
    EXPECT_FALSE(cache_system::quota_from_megabytes(-1, bytes));
}

TEST_F(cache_system_settings, FrameMemoryIsPreparedWithinTheMemoryQuotaAsApplied)
{
    // 64 MiB of memory: a quota of 16 MiB, below the frame memory's stock.
    cache_system system(64 * mib);
    system.frames().expect(mib);
    system.frames().settle();
    EXPECT_EQ(system.frames().ready(), 16 * mib);

    cache_settings s = system.settings();
    s.memory_quota = 24 * mib;
    system.set_settings(s);
    system.frames().settle();
    EXPECT_EQ(system.frames().ready(), 24 * mib);
}

TEST_F(cache_system_settings, AnotherRootMovesTheDiscCache)
{
    cache_system system(ram);
    production record;
    system.disc().put(entry_of(key_of(1, &record, true), 4, 4), lumvex::placement::back);
    ASSERT_EQ(system.disc().count(), 1u);
    cache_settings s = system.settings();
    s.disc_root = folder.file("moved") + "/";
    system.set_settings(s);
    EXPECT_EQ(system.disc().root(), folder.file("moved") + "/");
    EXPECT_EQ(s.disc_count, 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("moved")));
}

// A key that holds an object whose end uses the cache, as a key holding the
// last reference to a footage does when the footage's threads stop.
class cache_user {
public:
    cache_user(lumvex::cache* cache, int* ended)
        : m_cache(cache)
        , m_ended(ended)
    {
    }
    ~cache_user()
    {
        production record;
        m_cache->contains(key_of(99, &record), lumvex::placement::keep);
        ++*m_ended;
    }

private:
    lumvex::cache* m_cache;
    int* m_ended;
};

class holding_key : public number_key {
public:
    holding_key(production* record, boost::shared_ptr<cache_user> user)
        : number_key(7, record)
        , m_user(std::move(user))
    {
    }

private:
    boost::shared_ptr<cache_user> m_user;
};

TEST_F(cache_system_settings, CachedKeysEndWhileTheCachesStillExist)
{
    int ended = 0;
    production record;
    {
        cache_system system(ram);
        boost::shared_ptr<lumvex::item_id> key(new holding_key(
            &record, boost::shared_ptr<cache_user>(new cache_user(&system.coordinator(), &ended))));
        system.coordinator().get(key, lumvex::placement::back);
    }
    EXPECT_EQ(ended, 1);
}

} // namespace

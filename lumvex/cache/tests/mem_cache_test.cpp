#include "lumvex/cache/mem_cache.h"

#include "lumvex/tests/cache_test_support.h"

#include <gtest/gtest.h>

#include <barrier>
#include <set>
#include <thread>
#include <vector>

using namespace cache_test;
using lumvex::mem_cache;
namespace placement = lumvex::placement;

namespace {

// Bytes of a w x h picture with 4-byte rows.
std::uint64_t bytes(unsigned w, unsigned h)
{
    return std::uint64_t(w) * 4 * h;
}

} // namespace

TEST(mem_cache, ProducesOnceForConcurrentRequestsOfOneKey)
{
    mem_cache cache(1 << 24);
    production record;
    record.delay = std::chrono::milliseconds(30);
    constexpr int threads = 16;
    std::barrier start(threads);
    std::vector<boost::shared_ptr<lumvex::cached_image>> results(threads);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back([&, i] {
            start.arrive_and_wait();
            results[i] = cache.get(key_of(7, &record), placement::back);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(record.calls.load(), 1);
    for (const auto& result : results)
        EXPECT_EQ(result.get(), results[0].get());
    EXPECT_TRUE(same_pixels(results[0]->image, picture(4, 4, 7)));
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.used(), bytes(4, 4));
}

TEST(mem_cache, ProducesEveryKeyOnceWhenManyThreadsAskForManyKeys)
{
    mem_cache cache(1 << 24);
    constexpr int keys = 24;
    constexpr int threads = 8;
    std::vector<production> records(keys);
    for (production& record : records)
        record.delay = std::chrono::milliseconds(1);
    std::barrier start(threads);
    std::vector<std::thread> workers;
    std::atomic<int> wrong { 0 };
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < 3; ++round) {
                for (int i = 0; i < keys; ++i) {
                    const int number = (i * 5 + t * 7) % keys;
                    const auto entry = cache.get(key_of(number, &records[number]), placement::back);
                    if (!same_pixels(entry->image, picture(4, 4, number)))
                        ++wrong;
                    cache.find(key_of((number + 1) % keys, &records[0]), placement::keep);
                    cache.contains(key_of(number, &records[number]), placement::front);
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrong.load(), 0);
    for (const production& record : records)
        EXPECT_EQ(record.calls.load(), 1);
    EXPECT_EQ(cache.count(), std::size_t(keys));
    EXPECT_EQ(cache.used(), keys * bytes(4, 4));
}

TEST(mem_cache, FailedProductionDropsItsEntryAndWakesWaiters)
{
    mem_cache cache(1 << 24);
    production record;
    std::latch release(1);
    record.hold = &release;
    record.failures = 1;
    std::thread first(
        [&] { EXPECT_THROW(cache.get(key_of(3, &record), placement::back), std::runtime_error); });
    while (record.calls.load() == 0)
        std::this_thread::yield();
    EXPECT_TRUE(cache.contains(key_of(3, &record), placement::keep));
    // This get waits for the production under way, sees it fail, and
    // produces the image itself.
    std::thread second([&] {
        const auto entry = cache.get(key_of(3, &record), placement::back);
        EXPECT_TRUE(same_pixels(entry->image, picture(4, 4, 3)));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    release.count_down();
    first.join();
    second.join();
    EXPECT_EQ(record.calls.load(), 2);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.used(), bytes(4, 4));
}

TEST(mem_cache, GetWithDropReturnsTheImageAndKeepsNothing)
{
    mem_cache cache(1 << 24);
    production record;
    const auto entry = cache.get(key_of(1, &record), placement::drop);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->image.width, 4u);
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.used(), 0u);
    // A stored entry is dropped by find with the drop placement too.
    cache.put(entry_of(key_of(2, &record), 4, 4), placement::back);
    EXPECT_TRUE(cache.find(key_of(2, &record), placement::drop));
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.used(), 0u);
}

TEST(mem_cache, PutToFrontSkipsAnImageWhosePixelsDoNotFitTheFreeQuota)
{
    production record;
    mem_cache cache(1'500'000);
    cache.put(entry_of(key_of(1, &record), 500, 200), placement::back); // 400,000 bytes
    // 1,000,000 pixels + 400,000 used > 1,500,000.
    cache.put(entry_of(key_of(2, &record), 1000, 1000), placement::front);
    EXPECT_FALSE(cache.contains(key_of(2, &record), placement::keep));
    EXPECT_EQ(cache.used(), bytes(500, 200));
    // At the back it is stored, and the older entry makes room for it.
    cache.put(entry_of(key_of(2, &record), 600, 600), placement::back); // 1,440,000 bytes
    EXPECT_TRUE(cache.contains(key_of(2, &record), placement::keep));
    EXPECT_FALSE(cache.contains(key_of(1, &record), placement::keep));
    EXPECT_EQ(cache.used(), bytes(600, 600));
}

TEST(mem_cache, EvictsInPlacementOrder)
{
    production record;
    const std::uint64_t one = bytes(10, 10);
    mem_cache cache(static_cast<std::uint32_t>(3 * one));
    for (int i = 1; i <= 3; ++i)
        cache.put(entry_of(key_of(i, &record), 10, 10), placement::back);
    // Touching 1 at the back makes 2 the oldest.
    EXPECT_TRUE(cache.find(key_of(1, &record), placement::back));
    cache.put(entry_of(key_of(4, &record), 10, 10), placement::back);
    EXPECT_FALSE(cache.contains(key_of(2, &record), placement::keep));
    // Moving 4 to the front makes it the next to go.
    EXPECT_TRUE(cache.contains(key_of(4, &record), placement::front));
    cache.put(entry_of(key_of(5, &record), 10, 10), placement::back);
    EXPECT_FALSE(cache.contains(key_of(4, &record), placement::keep));
    // A new entry with "keep" stands at the front and goes first.
    cache.put(entry_of(key_of(6, &record), 10, 10), placement::keep);
    EXPECT_FALSE(cache.contains(key_of(6, &record), placement::keep));
    for (int i : { 1, 3, 5 })
        EXPECT_TRUE(cache.contains(key_of(i, &record), placement::keep)) << i;
    EXPECT_EQ(cache.used(), 3 * one);
}

TEST(mem_cache, PutOfAStoredKeyKeepsTheStoredImage)
{
    production record;
    mem_cache cache(1 << 20);
    const auto first = entry_of(key_of(1, &record), 4, 4, 10);
    cache.put(first, placement::back);
    cache.put(entry_of(key_of(1, &record), 8, 8, 20), placement::back);
    EXPECT_EQ(cache.find(key_of(1, &record), placement::keep).get(), first.get());
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.used(), bytes(4, 4));
}

TEST(mem_cache, LoweringTheQuotaToZeroSparesOnlyEntriesInProduction)
{
    mem_cache cache(1 << 20);
    production slow;
    std::latch release(1);
    slow.hold = &release;
    production quick;
    for (int i = 0; i < 3; ++i)
        cache.put(entry_of(key_of(i, &quick), 4, 4), placement::back);
    std::thread producer([&] { cache.get(key_of(9, &slow), placement::back); });
    while (slow.calls.load() == 0)
        std::this_thread::yield();
    cache.set_quota(0);
    EXPECT_EQ(cache.quota(), 0u);
    EXPECT_EQ(cache.count(), 1u);
    release.count_down();
    producer.join();
    // The finished production is over quota and goes at once.
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.used(), 0u);
}

TEST(mem_cache, PurgeEmptiesTheCacheAndKeepsTheQuota)
{
    production record;
    mem_cache cache(123'456);
    for (int i = 0; i < 5; ++i)
        cache.put(entry_of(key_of(i, &record), 4, 4), placement::back);
    const auto held = cache.find(key_of(2, &record), placement::keep);
    cache.remove(key_of(4, &record));
    cache.remove(key_of(4, &record));
    EXPECT_EQ(cache.used(), 4 * bytes(4, 4));
    cache.purge();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.used(), 0u);
    EXPECT_EQ(cache.quota(), 123'456u);
    // Users keep their images.
    EXPECT_TRUE(same_pixels(held->image, picture(4, 4, 1)));
}

TEST(mem_cache, PurgeAlsoEvictsEntriesOfEmptyImages)
{
    production record;
    record.width = 0;
    record.height = 0;
    mem_cache cache(1000);
    cache.put(entry_of(key_of(1, &record), 0, 0), placement::back);
    cache.get(key_of(2, &record), placement::back);
    ASSERT_EQ(cache.count(), 2u);
    ASSERT_EQ(cache.used(), 0u);
    cache.purge();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_FALSE(cache.contains(key_of(1, &record), placement::keep));
    EXPECT_FALSE(cache.contains(key_of(2, &record), placement::keep));
    cache.put(entry_of(key_of(1, &record), 0, 0), placement::back);
    cache.set_quota(0);
    EXPECT_EQ(cache.count(), 0u);
}

TEST(memory_quota_limits, SaturatesTheRamFigureInsteadOfWrapping)
{
    const lumvex::memory_quota_limits big(std::uint64_t(16) << 30);
    EXPECT_EQ(big.ram, 0xFFFFFFFFu);
    EXPECT_EQ(big.minimum, 0xFFFFFFFFu / 16);
    EXPECT_EQ(big.maximum, 0xFFFFFFFFu - 134'217'728u);
    EXPECT_EQ(big.default_quota, 0xFFFFFFFFu / 4);
    EXPECT_EQ(big.clamp(std::uint64_t(8) << 30), big.maximum);
    EXPECT_EQ(big.clamp(1), big.minimum);

    const lumvex::memory_quota_limits two_gib(std::uint64_t(2) << 30);
    EXPECT_EQ(two_gib.maximum, (2u << 30) - 134'217'728u);
    EXPECT_EQ(two_gib.clamp(500'000'000), 500'000'000u);

    // Below 256 MiB half the memory is the ceiling; below 128 MiB too,
    // without the subtraction wrapping into "no limit".
    const lumvex::memory_quota_limits small(64u << 20);
    EXPECT_EQ(small.maximum, 32u << 20);
    EXPECT_EQ(small.clamp(1u << 30), 32u << 20);
}

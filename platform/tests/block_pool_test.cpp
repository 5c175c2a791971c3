#include "platform/kernel/block_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t mib = std::size_t(1) << 20;

TEST(block_pool, EmptyRequestsAndNullBlocksChangeNothing)
{
    platform::block_pool pool(4 * mib);
    pool.give(pool.take(2 * mib), 2 * mib);
    EXPECT_EQ(pool.take(0), nullptr);
    pool.give(nullptr, mib);
    EXPECT_EQ(pool.held(), 2 * mib);
}

TEST(block_pool, SmallAndOversizedBlocksGoBackToTheSystem)
{
    platform::block_pool pool(4 * mib);
    pool.give(new unsigned char[platform::block_pool::min_bytes - 1], platform::block_pool::min_bytes - 1);
    pool.give(new unsigned char[5 * mib], 5 * mib);
    EXPECT_EQ(pool.held(), 0u);

    platform::block_pool none(0);
    none.give(none.take(mib), mib);
    EXPECT_EQ(none.held(), 0u);
}

TEST(block_pool, AGivenBlockAnswersTheNextRequestOfItsSizeOnly)
{
    platform::block_pool pool(8 * mib);
    unsigned char* first = pool.take(2 * mib);
    unsigned char* second = pool.take(2 * mib);
    std::memset(first, 0x5A, 2 * mib);
    pool.give(first, 2 * mib);
    pool.give(second, 2 * mib);
    EXPECT_EQ(pool.held(), 4 * mib);
    // Newest first.
    EXPECT_EQ(pool.take(2 * mib), second);
    EXPECT_EQ(pool.take(2 * mib), first);
    EXPECT_EQ(first[2 * mib - 1], 0x5A);
    EXPECT_EQ(pool.held(), 0u);
    delete[] first; // blocks may leave through delete[]
    pool.give(second, 2 * mib);

    // A request of another size is not answered from the pool and frees its
    // oldest block.
    unsigned char* other = pool.take(3 * mib);
    EXPECT_NE(other, second);
    EXPECT_EQ(pool.held(), 0u);
    pool.give(other, 3 * mib);
}

TEST(block_pool, KeepsNoMoreThanItsLimitAndPushesOutTheOldest)
{
    platform::block_pool pool(5 * mib);
    unsigned char* a = pool.take(2 * mib);
    unsigned char* b = pool.take(2 * mib);
    unsigned char* c = pool.take(2 * mib);
    pool.give(a, 2 * mib);
    pool.give(b, 2 * mib);
    pool.give(c, 2 * mib);
    EXPECT_EQ(pool.held(), 4 * mib);
    EXPECT_EQ(pool.take(2 * mib), c);
    EXPECT_EQ(pool.take(2 * mib), b);
    EXPECT_EQ(pool.held(), 0u);
    pool.give(b, 2 * mib);
    pool.give(c, 2 * mib);
}

TEST(block_pool, ThreadsTakeAndGiveConcurrently)
{
    platform::block_pool pool(16 * mib);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&pool, t] {
            const std::size_t bytes = (1 + t % 2) * mib;
            for (int i = 0; i < 200; ++i) {
                unsigned char* block = pool.take(bytes);
                block[0] = static_cast<unsigned char>(i);
                block[bytes - 1] = static_cast<unsigned char>(t);
                pool.give(block, bytes);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_LE(pool.held(), pool.limit());
}

TEST(block_pool, TheImagePoolIsBounded)
{
    platform::block_pool& pool = platform::image_block_pool();
    EXPECT_EQ(&pool, &platform::image_block_pool());
    EXPECT_LE(pool.limit(), std::uint64_t(512) * mib);
}

} // namespace

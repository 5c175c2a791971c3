#include "lumvex/cache/frame_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

using lumvex::frame_memory;

namespace {

constexpr std::size_t frame_bytes = 640 * 480 * 4;
constexpr std::size_t page = 4096;

} // namespace

TEST(FrameMemory, BuffersAreAlignedWritableAndApart)
{
    frame_memory memory(std::uint64_t(256) << 20);
    std::vector<std::shared_ptr<unsigned char>> buffers;
    for (int i = 0; i < 40; ++i) {
        buffers.push_back(memory.acquire(frame_bytes + 1));
        ASSERT_TRUE(buffers.back());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffers.back().get()) % page, 0u);
        std::memset(buffers.back().get(), i, frame_bytes + 1);
    }
    // More buffers than one slab holds, none overlapping another.
    for (int i = 0; i < 40; ++i) {
        const unsigned char* b = buffers[std::size_t(i)].get();
        EXPECT_EQ(b[0], i);
        EXPECT_EQ(b[frame_bytes], i);
    }
    EXPECT_FALSE(memory.acquire(0));
}

TEST(FrameMemory, StockIsPreparedAheadWithinTheBudget)
{
    // Room for five frames: the stock stops there, below its own size.
    frame_memory memory(5 * frame_bytes);
    memory.expect(frame_bytes);
    memory.settle();
    EXPECT_EQ(memory.ready(), 5 * frame_bytes);
    EXPECT_EQ(memory.in_place(), 5 * frame_bytes);

    // Taking one makes room for no other: the budget is spent.
    auto taken = memory.acquire(frame_bytes);
    memory.settle();
    EXPECT_EQ(memory.ready(), 4 * frame_bytes);
    EXPECT_EQ(memory.in_place(), 5 * frame_bytes);

    // A larger budget lets the stock grow to its own size.
    memory.set_budget(std::uint64_t(1) << 30);
    memory.settle();
    EXPECT_GE(memory.ready(), frame_memory::stock_bytes - frame_bytes);
    EXPECT_LE(memory.ready(), frame_memory::stock_bytes);
}

TEST(FrameMemory, LoweringTheBudgetReleasesTheReadyBuffersBeyondItAtOnce)
{
    frame_memory memory(20 * frame_bytes);
    memory.expect(frame_bytes);
    std::vector<std::shared_ptr<unsigned char>> held;
    for (int i = 0; i < 3; ++i)
        held.push_back(memory.acquire(frame_bytes));
    memory.settle();
    ASSERT_EQ(memory.in_place(), 20 * frame_bytes);

    // Nothing is being prepared now, so the release is done when the call
    // returns.
    memory.set_budget(5 * frame_bytes);
    EXPECT_EQ(memory.in_place(), 5 * frame_bytes);
    memory.settle();
    EXPECT_EQ(memory.ready(), 2 * frame_bytes) << "the rest of the new budget stays ready";
    memory.set_budget(frame_bytes);
    EXPECT_EQ(memory.ready(), 0u);
    EXPECT_EQ(memory.in_place(), 3 * frame_bytes) << "buffers handed out stay";
    for (const auto& buffer : held)
        std::memset(buffer.get(), 0x5A, frame_bytes);
    held.clear();

    // Lowered while the stock grows: what was being prepared meanwhile goes
    // too, once it is in place.
    memory.set_budget(std::uint64_t(1) << 30);
    memory.set_budget(2 * frame_bytes);
    memory.settle();
    EXPECT_LE(memory.in_place(), 2 * frame_bytes);
    EXPECT_EQ(memory.in_place(), memory.ready());
}

TEST(FrameMemory, ABufferLetGoIsHandedOutAgainInsteadOfNewMemory)
{
    frame_memory memory(std::uint64_t(256) << 20);
    // The stock is made while the first buffer is out, so that it stays
    // full whenever one buffer is.
    auto first = memory.acquire(frame_bytes);
    memory.settle();
    first.reset();
    const std::uint64_t mapped = memory.mapped();
    const std::uint64_t in_place = memory.in_place();
    for (int i = 0; i < 200; ++i) {
        auto buffer = memory.acquire(frame_bytes);
        buffer.get()[frame_bytes - 1] = static_cast<unsigned char>(i);
    }
    memory.settle();
    EXPECT_EQ(memory.mapped(), mapped);
    EXPECT_EQ(memory.in_place(), in_place);
}

TEST(FrameMemory, OverTheBudgetOnlyTwoBuffersStayInPlace)
{
    frame_memory memory(0);
    std::vector<std::shared_ptr<unsigned char>> buffers;
    for (int i = 0; i < 8; ++i)
        buffers.push_back(memory.acquire(frame_bytes));
    memory.settle();
    EXPECT_EQ(memory.ready(), 0u) << "nothing is prepared without a budget";
    EXPECT_EQ(memory.in_place(), 8 * frame_bytes) << "every buffer asked for is given";
    buffers.clear();
    EXPECT_EQ(memory.in_place(), frame_memory::spare_buffers * frame_bytes);
    EXPECT_EQ(memory.ready(), frame_memory::spare_buffers * frame_bytes);
}

TEST(FrameMemory, SlabsAllBackAreUnmappedOnceTheStockIsFull)
{
    frame_memory memory(std::uint64_t(1) << 30);
    std::vector<std::shared_ptr<unsigned char>> buffers;
    // Several slabs' worth handed out at once, as a cache filling up holds.
    for (std::uint64_t held = 0; held < 4 * frame_memory::stock_bytes; held += frame_bytes)
        buffers.push_back(memory.acquire(frame_bytes));
    memory.settle();
    const std::uint64_t peak = memory.mapped();
    buffers.clear();
    memory.settle();
    EXPECT_LT(memory.mapped(), peak);
    EXPECT_LE(memory.ready(), frame_memory::stock_bytes + frame_memory::stock_bytes);
}

TEST(FrameMemory, AnotherFrameSizeLetsTheStockOfTheFormerGo)
{
    frame_memory memory(std::uint64_t(1) << 30);
    memory.expect(frame_bytes);
    memory.settle();
    ASSERT_GT(memory.ready(), 0u);
    const std::size_t other = 320 * 240 * 4;
    auto taken = memory.acquire(other);
    memory.settle();
    EXPECT_EQ(memory.in_place(), memory.ready() + other) << "only the new size's stock and buffer stay";
    EXPECT_LE(memory.ready(), frame_memory::stock_bytes);
}

TEST(FrameMemory, BuffersStayValidAfterThePoolIsGone)
{
    std::shared_ptr<unsigned char> kept;
    {
        frame_memory memory(std::uint64_t(64) << 20);
        kept = memory.acquire(frame_bytes);
        memory.expect(frame_bytes / 2);
    }
    std::memset(kept.get(), 0x5A, frame_bytes);
    EXPECT_EQ(kept.get()[frame_bytes - 1], 0x5A);
    kept.reset();
}

TEST(FrameMemory, ManyThreadsTakeAndGiveBackBuffersOfSeveralSizes)
{
    frame_memory memory(std::uint64_t(128) << 20);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&memory, t] {
            std::vector<std::shared_ptr<unsigned char>> held;
            for (int i = 0; i < 100; ++i) {
                const std::size_t bytes
                    = (t % 2 == 0 ? frame_bytes : frame_bytes / 3) + std::size_t(i % 3) * page;
                held.push_back(memory.acquire(bytes));
                std::memset(held.back().get(), t, bytes);
                if (held.size() > 6)
                    held.erase(held.begin());
            }
            for (const auto& b : held)
                EXPECT_EQ(b.get()[0], t);
        });
    }
    for (std::thread& t : threads)
        t.join();
    memory.settle();
    EXPECT_EQ(memory.in_place(), memory.ready()) << "every buffer came back";
}

#include "lumvex/cache/frame_memory.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using lumvex::frame_memory;

namespace {

constexpr std::size_t frame_bytes = 640 * 480 * 4;
constexpr std::size_t page = 4096;

// Holds every thread that reaches one step of the pool, after the first
// `let_through`, until opened.
class gate {
public:
    explicit gate(frame_memory::step held, unsigned let_through = 0)
        : m_held(held)
        , m_let_through(let_through)
    {
    }

    frame_memory::pause pause()
    {
        return [this](frame_memory::step step) { pass(step); };
    }

    // Returns once a thread is held.
    void wait_for_one()
    {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [this] { return m_holding > 0; });
    }

    bool has_held()
    {
        std::lock_guard guard(m_lock);
        return m_holding > 0;
    }

    void open()
    {
        {
            std::lock_guard guard(m_lock);
            m_open = true;
        }
        m_changed.notify_all();
    }

private:
    void pass(frame_memory::step step)
    {
        if (step != m_held)
            return;
        std::unique_lock lock(m_lock);
        if (m_let_through > 0) {
            --m_let_through;
            return;
        }
        ++m_holding;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }

    const frame_memory::step m_held;
    unsigned m_let_through;
    std::mutex m_lock;
    std::condition_variable m_changed;
    unsigned m_holding = 0;
    bool m_open = false;
};

// The one thread that stocks `memory` (a budget of one buffer) held by
// `held` while a larger size is expected instead; returns once it has been
// let go and the pool has settled.
void expect_larger_while_held(frame_memory& memory, gate& held)
{
    memory.expect(frame_bytes);
    held.wait_for_one();
    memory.expect(2 * frame_bytes);
    held.open();
    memory.settle();
}

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

// A budget of one buffer makes one stocking thread take one, and a larger
// size then stocks nothing, so the figures are exact whatever the threads do.
TEST(FrameMemory, AFormerSizesSlabGoesWhenTheBufferBeingStockedInItIsReady)
{
    gate stocking(frame_memory::step::stocking);
    frame_memory memory(frame_bytes, stocking.pause());
    expect_larger_while_held(memory, stocking);
    EXPECT_EQ(memory.mapped(), 0u);
    EXPECT_EQ(memory.in_place(), 0u);

    // The whole budget is the new size's.
    memory.set_budget(2 * frame_bytes);
    memory.settle();
    EXPECT_EQ(memory.ready(), 2 * frame_bytes);
    EXPECT_EQ(memory.in_place(), 2 * frame_bytes);
}

TEST(FrameMemory, ASlabMappedForAFormerSizeGoesWhenNothingIsTakenFromIt)
{
    // By a stocking thread.
    {
        gate mapping(frame_memory::step::mapping);
        frame_memory memory(frame_bytes, mapping.pause());
        expect_larger_while_held(memory, mapping);
        EXPECT_EQ(memory.mapped(), 0u);
    }
    // By a reader whose size was left while it mapped, and which then took a
    // buffer given back meanwhile. Without a budget nothing is stocked.
    {
        gate second_slab(frame_memory::step::mapping, 1);
        frame_memory memory(0, second_slab.pause());
        std::vector<std::shared_ptr<unsigned char>> held;
        // Every buffer of the first slab is taken before the second is mapped.
        std::thread reader([&] {
            while (!second_slab.has_held())
                held.push_back(memory.acquire(frame_bytes));
        });
        second_slab.wait_for_one();
        memory.expect(2 * frame_bytes);
        held.pop_back();
        const std::uint64_t mapped = memory.mapped();
        second_slab.open();
        reader.join();
        EXPECT_EQ(memory.mapped(), mapped);
    }
}

TEST(FrameMemory, AFormerSizesSlabGoesWithTheLastBufferAReaderGivesBack)
{
    frame_memory memory(0);
    auto held = memory.acquire(frame_bytes);
    memory.expect(2 * frame_bytes);
    EXPECT_GT(memory.mapped(), 0u) << "a slab with a buffer out stays";
    held.reset();
    EXPECT_EQ(memory.mapped(), 0u);
    EXPECT_EQ(memory.in_place(), 0u);
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

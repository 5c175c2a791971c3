#include "lumvex/cache/coordinator.h"

#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/cache/disc_cache.h"
#include "lumvex/cache/mem_cache.h"
#include "lumvex/exception.h"
#include "lumvex/tests/cache_test_support.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

using namespace cache_test;
using lumvex::coordinator;
namespace placement = lumvex::placement;

namespace {

// A level that records the operations it receives and stores nothing.
class recording_cache : public lumvex::cache {
public:
    void put(const boost::shared_ptr<lumvex::cached_image>&, int placement) override
    {
        log("put", placement);
    }
    boost::shared_ptr<lumvex::cached_image> get(
        const boost::shared_ptr<lumvex::item_id>&, int placement) override
    {
        log("get", placement);
        return {};
    }
    boost::shared_ptr<lumvex::cached_image> find(
        const boost::shared_ptr<lumvex::item_id>&, int placement) override
    {
        log("find", placement);
        return {};
    }
    bool contains(const boost::shared_ptr<lumvex::item_id>&, int placement) override
    {
        log("contains", placement);
        return false;
    }
    void remove(const boost::shared_ptr<lumvex::item_id>&) override { log("remove", -1); }
    void purge() override { log("purge", -1); }

    std::vector<std::string> calls;

private:
    void log(const std::string& name, int placement)
    {
        calls.push_back(name + " " + std::to_string(placement));
    }
};

// A key produced by another thread: `request` puts its image into the cache
// (or, with `deliveries` exhausted, does nothing).
class requested_key : public lumvex::item_id {
public:
    requested_key(lumvex::cache* target, bool threaded, int deliveries, int placement)
        : m_target(target)
        , m_threaded(threaded)
        , m_deliveries(deliveries)
        , m_placement(placement)
    {
    }
    bool equals(const lumvex::item_id& other) const override
    {
        return dynamic_cast<const requested_key*>(&other);
    }
    std::string key() const override { return "requested"; }
    void describe(std::ostream& out) const override { out << "requested"; }
    bool can_produce() const override { return false; }
    void produce(img::image<bgra>&) const override { ADD_FAILURE() << "produced in place"; }
    bool threaded() const override { return m_threaded; }
    void request() const override
    {
        ++requests;
        if (m_deliveries-- > 0) {
            boost::shared_ptr<lumvex::item_id> self(new requested_key(nullptr, m_threaded, 0, 0));
            m_target->put(entry_of(self, 20, 20), m_placement);
        }
    }
    bool disc_cacheable() const override { return false; }

    mutable int requests = 0;

private:
    lumvex::cache* m_target;
    bool m_threaded;
    mutable int m_deliveries;
    int m_placement;
};

// A level whose every write fails, as a disc cache does when its folder is
// gone or the disc is full.
class failing_disc : public recording_cache {
public:
    void put(const boost::shared_ptr<lumvex::cached_image>& image, int placement) override
    {
        recording_cache::put(image, placement);
        throw lumvex::exception("file write error: /gone/number1.txt");
    }
    boost::shared_ptr<lumvex::cached_image> find(
        const boost::shared_ptr<lumvex::item_id>& key, int placement) override
    {
        recording_cache::find(key, placement);
        if (unreadable)
            throw lumvex::exception("the cached image cannot be read");
        return {};
    }
    bool unreadable = false;
};

} // namespace

TEST(coordinator, ADiscWriteFailureNeverFailsALookUpThatMemoryOrProductionAnswers)
{
    lumvex::mem_cache memory(1 << 20);
    failing_disc disc;
    coordinator both(&memory, &disc);
    production record;
    memory.put(entry_of(key_of(1, &record, true), 8, 8), placement::back);
    const auto found = both.find(key_of(1, &record, true), placement::back);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->image.width, 8u);
    EXPECT_EQ(disc.calls, (std::vector<std::string> { "contains 2", "put 2" }));
    // The produced image is handed out and kept in memory.
    const auto made = both.get(key_of(2, &record, true), placement::back);
    ASSERT_TRUE(made);
    EXPECT_TRUE(same_pixels(made->image, picture(4, 4, 2)));
    EXPECT_TRUE(memory.contains(key_of(2, &record), placement::keep));
    // A put reaches memory and does not fail either.
    EXPECT_NO_THROW(both.put(entry_of(key_of(3, &record, true), 4, 4), placement::back));
    EXPECT_TRUE(memory.contains(key_of(3, &record), placement::keep));
    // A disc copy that cannot be read is a miss: production answers.
    disc.unreadable = true;
    EXPECT_FALSE(both.find(key_of(4, &record, true), placement::back));
    EXPECT_TRUE(both.get(key_of(4, &record, true), placement::back));
}

TEST(coordinator, ARemovedCacheFolderLeavesFramesReadable)
{
    scratch_folder folder;
    lumvex::mem_cache memory(1 << 20);
    lumvex::disc_cache disc(folder.root(), 1 << 30, nullptr);
    coordinator both(&memory, &disc);
    production record;
    memory.put(entry_of(key_of(1, &record, true), 8, 8), placement::back);
    std::filesystem::remove_all(folder.path());
    EXPECT_TRUE(both.find(key_of(1, &record, true), placement::back));
    const auto made = both.get(key_of(2, &record, true), placement::back);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->image.width, 4u);
    EXPECT_EQ(both.get(key_of(2, &record, true), placement::back).get(), made.get());
    EXPECT_EQ(record.calls.load(), 1);
}

TEST(coordinator, TwoThreadsAskingForOneMissingImageProduceItOnce)
{
    lumvex::mem_cache memory(1 << 20);
    lumvex::disc_cache disabled("", 0, nullptr);
    for (lumvex::cache* disc :
        { static_cast<lumvex::cache*>(nullptr), static_cast<lumvex::cache*>(&disabled) }) {
        coordinator both(&memory, disc);
        memory.purge();
        production record;
        record.delay = std::chrono::milliseconds(300);
        auto first
            = std::async(std::launch::async, [&] { return both.get(key_of(7, &record), placement::back); });
        while (record.calls.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // The second asks while the first is producing.
        const auto second = both.get(key_of(7, &record), placement::back);
        EXPECT_EQ(first.get().get(), second.get());
        EXPECT_EQ(record.calls.load(), 1);
    }
}

TEST(coordinator, AnImageFoundOnlyOnDiscIsCopiedIntoMemoryWithTheSamePlacement)
{
    scratch_folder folder;
    lumvex::mem_cache memory(1 << 20);
    lumvex::disc_cache disc(folder.root(), 1 << 30, nullptr);
    coordinator both(&memory, &disc);
    production record;
    disc.put(entry_of(key_of(1, &record, true), 8, 8), placement::back);
    memory.put(entry_of(key_of(2, &record), 8, 8), placement::back);
    const auto found = both.find(key_of(1, &record, true), placement::back);
    ASSERT_TRUE(found);
    EXPECT_TRUE(memory.contains(key_of(1, &record), placement::keep));
    // Placed at the back, the copy outlives the older memory entry.
    memory.set_quota(8 * 8 * 4);
    EXPECT_TRUE(memory.contains(key_of(1, &record), placement::keep));
    EXPECT_FALSE(memory.contains(key_of(2, &record), placement::keep));
}

TEST(coordinator, ADiscCacheableImageFoundOnlyInMemoryIsWrittenToDisc)
{
    scratch_folder folder;
    lumvex::mem_cache memory(1 << 20);
    lumvex::disc_cache disc(folder.root(), 1 << 30, nullptr);
    coordinator both(&memory, &disc);
    production record;
    memory.put(entry_of(key_of(1, &record, true), 8, 8), placement::back);
    ASSERT_TRUE(both.find(key_of(1, &record, true), placement::back));
    EXPECT_TRUE(disc.contains(key_of(1, &record, true), placement::keep));
    disc.flush();
    EXPECT_TRUE(std::filesystem::exists(folder.file("number1.png")));
}

TEST(coordinator, ImagesEvictedFromMemoryAreFoundOnDisc)
{
    scratch_folder folder;
    const lumvex::avi_frame_id_deserializer avi_kind;
    // Memory holds two 32 x 24 images; each put evicts the oldest.
    lumvex::mem_cache memory(2 * 32 * 24 * 4);
    lumvex::disc_cache disc(folder.root(), 1 << 30, &avi_kind);
    coordinator both(&memory, &disc);
    production record;
    for (int number = 0; number < 12; ++number)
        both.put(
            entry_of(key_of(number, &record, true), 32, 24, static_cast<unsigned>(number)), placement::back);
    EXPECT_LE(memory.count(), 2u);
    for (int number = 0; number < 12; ++number) {
        const auto found = both.find(key_of(number, &record, true), placement::back);
        ASSERT_TRUE(found) << number;
        EXPECT_TRUE(same_pixels(found->image, picture(32, 24, static_cast<unsigned>(number)))) << number;
    }
    EXPECT_EQ(record.calls.load(), 0);
}

TEST(coordinator, AKeyThatIsNotDiscCacheableReachesTheDiscOnlyToLookUpAMiss)
{
    lumvex::mem_cache memory(1 << 20);
    recording_cache disc;
    coordinator both(&memory, &disc);
    production record;
    const auto key = key_of(1, &record, false);
    both.put(entry_of(key, 4, 4), placement::back);
    EXPECT_TRUE(both.find(key, placement::back));
    EXPECT_TRUE(both.contains(key, placement::back));
    EXPECT_TRUE(both.get(key, placement::back));
    EXPECT_TRUE(disc.calls.empty());
    EXPECT_FALSE(both.find(key_of(2, &record, false), placement::front));
    EXPECT_EQ(disc.calls, std::vector<std::string> { "find 0" });
}

TEST(coordinator, ContainsAsksBothLevelsSoThatBothApplyThePlacement)
{
    lumvex::mem_cache memory(1 << 20);
    recording_cache disc;
    coordinator both(&memory, &disc);
    production record;
    memory.put(entry_of(key_of(1, &record, true), 4, 4), placement::back);
    EXPECT_TRUE(both.contains(key_of(1, &record, true), placement::front));
    EXPECT_EQ(disc.calls, std::vector<std::string> { "contains 0" });
    both.remove(key_of(1, &record, true));
    both.purge();
    EXPECT_EQ(disc.calls, (std::vector<std::string> { "contains 0", "remove -1", "purge -1" }));
    EXPECT_EQ(memory.count(), 0u);
}

TEST(coordinator, GetProducesAMissingImageAndKeepsItInBothLevels)
{
    scratch_folder folder;
    lumvex::mem_cache memory(1 << 20);
    lumvex::disc_cache disc(folder.root(), 1 << 30, nullptr);
    coordinator both(&memory, &disc);
    production record;
    const auto made = both.get(key_of(5, &record, true), placement::back);
    EXPECT_TRUE(same_pixels(made->image, picture(4, 4, 5)));
    EXPECT_TRUE(memory.contains(key_of(5, &record), placement::keep));
    EXPECT_TRUE(disc.contains(key_of(5, &record, true), placement::keep));
    EXPECT_EQ(both.get(key_of(5, &record, true), placement::back).get(), made.get());
    EXPECT_EQ(record.calls.load(), 1);
}

TEST(coordinator, AFailedProductionStoresNothing)
{
    lumvex::mem_cache memory(1 << 20);
    coordinator alone(&memory, nullptr);
    production record;
    record.failures = 1;
    EXPECT_THROW(alone.get(key_of(1, &record), placement::back), std::runtime_error);
    EXPECT_EQ(memory.count(), 0u);
    EXPECT_TRUE(alone.get(key_of(1, &record), placement::back));
}

TEST(coordinator, GetOfARequestedKeyReturnsTheImageItsProducerDelivered)
{
    lumvex::mem_cache memory(1 << 20);
    coordinator alone(&memory, nullptr);
    const boost::shared_ptr<requested_key> key(new requested_key(&alone, true, 1, placement::back));
    const auto found = alone.get(key, placement::back);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->image.width, 20u);
    EXPECT_EQ(key->requests, 1);
}

TEST(coordinator, GetRefusesAKeyThatCanNeitherProduceNorRequest)
{
    lumvex::mem_cache memory(1 << 20);
    coordinator alone(&memory, nullptr);
    const boost::shared_ptr<requested_key> key(new requested_key(&alone, false, 1, placement::back));
    EXPECT_THROW(alone.get(key, placement::back), lumvex::exception);
    EXPECT_EQ(key->requests, 0);
}

TEST(coordinator, GetGivesUpWhenTheRequestedImageKeepsBeingEvicted)
{
    // A quota smaller than the image: every delivery is evicted at once.
    lumvex::mem_cache memory(100);
    coordinator alone(&memory, nullptr);
    const boost::shared_ptr<requested_key> key(new requested_key(&alone, true, 1000, placement::back));
    EXPECT_THROW(alone.get(key, placement::back), lumvex::exception);
    EXPECT_EQ(key->requests, coordinator::max_requests);
    // A producer that never delivers is given up on the same way.
    lumvex::mem_cache roomy(1 << 20);
    coordinator other(&roomy, nullptr);
    const boost::shared_ptr<requested_key> silent(new requested_key(&other, true, 0, placement::back));
    EXPECT_THROW(other.get(silent, placement::back), lumvex::exception);
}

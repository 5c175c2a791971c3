#include "lumvex/cache/disc_cache.h"

#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/exception.h"
#include "lumvex/footage/still_image_id.h"
#include "lumvex/tests/cache_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

using namespace cache_test;
using lumvex::disc_cache;
namespace fs = std::filesystem;
namespace placement = lumvex::placement;

namespace {

const lumvex::avi_frame_id_deserializer avi_kind;

boost::shared_ptr<lumvex::item_id> frame_key(int frame, const std::string& path = "/clips/walk.avi")
{
    return boost::shared_ptr<lumvex::item_id>(new lumvex::avi_frame_id(frame, path, 100, true));
}

boost::shared_ptr<lumvex::cached_image> frame_entry(int frame, const std::string& path = "/clips/walk.avi")
{
    return entry_of(frame_key(frame, path), 16, 12, static_cast<unsigned>(frame));
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The listed PNG files of the folder and their total size.
std::uint64_t png_bytes(const fs::path& folder, std::size_t* count = nullptr)
{
    std::uint64_t total = 0;
    std::size_t files = 0;
    for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
        if (file.path().extension() == ".png") {
            total += file.file_size();
            ++files;
        }
    }
    if (count != nullptr)
        *count = files;
    return total;
}

std::string avi_description(const std::string& path, int duration, int frame)
{
    std::ostringstream out;
    lumvex::avi_frame_id(frame, path, duration, true).describe(out);
    return out.str();
}

// Makes a frame pair as an earlier run of the cache left it, written at the
// given age in seconds.
void leave_frame_pair(const scratch_folder& folder, int frame, int age_seconds)
{
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    cache.put(frame_entry(frame), placement::back);
    cache.flush();
    const std::string stem
        = "walk." + std::string(6 - std::to_string(frame).size(), '0') + std::to_string(frame);
    fs::last_write_time(
        folder.file(stem + ".png"), fs::file_time_type::clock::now() - std::chrono::seconds(age_seconds));
}

// A key whose description cannot be written.
class broken_description_key : public number_key {
public:
    using number_key::number_key;
    void describe(std::ostream& out) const override { out.setstate(std::ios::badbit); }
};

} // namespace

TEST(disc_cache, KeepsItsPairsAcrossARestart)
{
    scratch_folder folder;
    {
        disc_cache cache(folder.root(), 1 << 30, &avi_kind);
        for (int frame = 0; frame < 3; ++frame)
            cache.put(frame_entry(frame), placement::back);
        EXPECT_EQ(cache.count(), 3u);
        cache.flush();
        EXPECT_EQ(cache.used(), png_bytes(folder.path()));
    }
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_EQ(cache.used(), png_bytes(folder.path()));
    for (int frame = 0; frame < 3; ++frame) {
        const auto found = cache.find(frame_key(frame), placement::keep);
        ASSERT_TRUE(found) << frame;
        EXPECT_TRUE(same_pixels(found->image, picture(16, 12, static_cast<unsigned>(frame))));
        EXPECT_TRUE(found->id->disc_cacheable());
    }
    EXPECT_FALSE(cache.find(frame_key(3), placement::keep));
}

TEST(disc_cache, WritesTheKeysDescriptionBesideTheImage)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    cache.put(frame_entry(42), placement::back);
    cache.flush();
    EXPECT_TRUE(fs::exists(folder.file("walk.000042.png")));
    EXPECT_EQ(contents(folder.file("walk.000042.txt")),
        "AVI frame: (fullpath to avi, its duration, frame number)\n/clips/walk.avi\n100\n42\n0 0 0 0\n");
}

TEST(disc_cache, KeysOfTheSameTextGetNumberedPairs)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    cache.put(frame_entry(7, "/one/walk.avi"), placement::back);
    cache.put(frame_entry(7, "/two/walk.avi"), placement::back);
    cache.flush();
    EXPECT_TRUE(fs::exists(folder.file("walk.000007.png")));
    EXPECT_TRUE(fs::exists(folder.file("walk.000007.1.png")));
    EXPECT_NE(contents(folder.file("walk.000007.1.txt")).find("/two/walk.avi"), std::string::npos);
    EXPECT_TRUE(cache.find(frame_key(7, "/one/walk.avi"), placement::keep));
    EXPECT_TRUE(cache.find(frame_key(7, "/two/walk.avi"), placement::keep));
}

TEST(disc_cache, ConcurrentWritersOfOneKeyTextNeverShareAFile)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    constexpr int threads = 8;
    std::barrier start(threads);
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            start.arrive_and_wait();
            cache.put(frame_entry(7, "/clip" + std::to_string(t) + "/walk.avi"), placement::back);
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    cache.flush();
    std::size_t files = 0;
    EXPECT_EQ(cache.used(), png_bytes(folder.path(), &files));
    EXPECT_EQ(files, std::size_t(threads));
    for (int t = 0; t < threads; ++t) {
        const auto found
            = cache.find(frame_key(7, "/clip" + std::to_string(t) + "/walk.avi"), placement::keep);
        ASSERT_TRUE(found);
        EXPECT_TRUE(same_pixels(found->image, picture(16, 12, 7)));
    }
}

TEST(disc_cache, RewritingAListedKeyReplacesItsPair)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    cache.put(frame_entry(1), placement::back);
    cache.flush();
    cache.put(entry_of(frame_key(1), 32, 32, 9), placement::back);
    cache.flush();
    std::size_t files = 0;
    EXPECT_EQ(cache.used(), png_bytes(folder.path(), &files));
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_TRUE(same_pixels(cache.find(frame_key(1), placement::keep)->image, picture(32, 32, 9)));
}

TEST(disc_cache, StartUpDeletesOnlyItsOwnUnwantedPairs)
{
    scratch_folder folder;
    leave_frame_pair(folder, 5, 0);
    // Pairs of the library's own kinds that the AVI deserializer does not
    // take: a still image's copy goes.
    write_file(folder.file("plate.png"), "not even a picture");
    write_file(folder.file("plate.txt"), "copy of image:\n/photos/plate.png");
    // Files that are not the cache's stay: a picture without description,
    // one with someone else's text, a frame description whose numbers are
    // gone, a frame pair under a name that is not its key text, other files.
    write_file(folder.file("holiday.png"), "x");
    write_file(folder.file("notes.png"), "x");
    write_file(folder.file("notes.txt"), "my notes\n");
    write_file(folder.file("walk.000006.png"), "x");
    write_file(folder.file("walk.000006.txt"),
        "AVI frame: (fullpath to avi, its duration, frame number)\n/clips/walk.avi\nlong\n6\n");
    write_file(folder.file("renamed.png"), "x");
    write_file(folder.file("renamed.txt"), avi_description("/clips/walk.avi", 100, 8));
    write_file(folder.file("readme.md"), "x");
    fs::create_directory(folder.file("sub.png"));

    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_TRUE(cache.contains(frame_key(5), placement::keep));
    EXPECT_FALSE(fs::exists(folder.file("plate.png")));
    EXPECT_FALSE(fs::exists(folder.file("plate.txt")));
    for (const char* name : { "holiday.png", "notes.png", "notes.txt", "walk.000006.png", "walk.000006.txt",
             "renamed.png", "renamed.txt", "readme.md", "sub.png" })
        EXPECT_TRUE(fs::exists(folder.file(name))) << name;
    // Purging deletes only what is listed.
    cache.purge();
    EXPECT_FALSE(fs::exists(folder.file("walk.000005.png")));
    EXPECT_TRUE(fs::exists(folder.file("renamed.png")));
}

TEST(disc_cache, StartUpDeletesAPngOfItsOwnNamingLeftWithoutDescription)
{
    scratch_folder folder;
    const std::string long_clip = "/clips/" + std::string(300, 'w') + ".avi";
    {
        disc_cache cache(folder.root(), 1 << 30, &avi_kind);
        for (int frame = 1; frame <= 3; ++frame)
            cache.put(frame_entry(frame), placement::back);
        cache.put(frame_entry(1, "/elsewhere/walk.avi"), placement::back);
        cache.put(frame_entry(1234567), placement::back);
        cache.put(frame_entry(4, long_clip), placement::back);
    }
    std::string long_stem;
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
        if (file.path().filename().string().starts_with("www"))
            long_stem = file.path().stem().string();
    }
    ASSERT_FALSE(long_stem.empty());
    // A crash between each PNG and its description: none was written, or
    // one was opened and never filled.
    const std::vector<std::string> orphans { "walk.000001", "walk.000001.1", "walk.000002", "walk.1234567",
        long_stem };
    for (const std::string& stem : orphans)
        fs::remove(folder.file(stem + ".txt"));
    write_file(folder.file("walk.000002.txt"), "");
    // Pictures without description but named otherwise are not the cache's.
    const std::vector<std::string> strangers { "holiday.png", "walk.00005.png", "walk.000006.01.png",
        "walk.0000007.png", "shot~0123456789ABCDEF.png", "walk.000008.png" };
    for (const std::string& name : strangers)
        write_file(folder.file(name), "x");
    fs::create_directory(folder.file("walk.000008.txt"));

    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_TRUE(cache.contains(frame_key(3), placement::keep));
    for (const std::string& stem : orphans) {
        EXPECT_FALSE(fs::exists(folder.file(stem + ".png"))) << stem;
        EXPECT_FALSE(fs::exists(folder.file(stem + ".txt"))) << stem;
    }
    for (const std::string& name : strangers)
        EXPECT_TRUE(fs::exists(folder.file(name))) << name;
    EXPECT_EQ(cache.used(), fs::file_size(folder.file("walk.000003.png")));
}

TEST(disc_cache, StartUpSkipsAFileTooLargeForItsRecord)
{
    scratch_folder folder;
    write_file(folder.file("walk.000001.txt"), avi_description("/clips/walk.avi", 100, 1));
    {
        std::ofstream(folder.file("walk.000001.png"));
    }
    ASSERT_EQ(truncate(folder.file("walk.000001.png").c_str(), (off_t(1) << 32) + 1), 0);
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_TRUE(cache.enabled());
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.used(), 0u);
    EXPECT_TRUE(fs::exists(folder.file("walk.000001.png")));
}

TEST(disc_cache, AnUnreadableListedPairIsDeletedWhenRead)
{
    scratch_folder folder;
    leave_frame_pair(folder, 3, 0);
    // Damaged inside, whole at both ends: found only by reading it.
    const std::string png = folder.file("walk.000003.png");
    const std::uint64_t size = fs::file_size(png);
    {
        std::fstream file(png, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 2));
        file.write("\0\0\0\0\0\0\0\0", 8);
    }
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.used(), size);
    EXPECT_ANY_THROW(cache.find(frame_key(3), placement::keep));
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.used(), 0u);
    EXPECT_FALSE(fs::exists(folder.file("walk.000003.png")));
    EXPECT_FALSE(fs::exists(folder.file("walk.000003.txt")));
    EXPECT_FALSE(cache.find(frame_key(3), placement::keep));
    // `get` of an unreadable pair produces the image again.
    production record;
    cache.put(entry_of(key_of(4, &record, true), 4, 4), placement::back);
    cache.flush();
    write_file(folder.file("number4.png"), "broken");
    const auto made = cache.get(key_of(4, &record, true), placement::back);
    EXPECT_TRUE(same_pixels(made->image, picture(4, 4, 4)));
    EXPECT_EQ(record.calls.load(), 1);
    EXPECT_TRUE(cache.find(key_of(4, &record, true), placement::keep));
}

TEST(disc_cache, LoweringTheQuotaDeletesTheOldestPairsFirst)
{
    scratch_folder folder;
    leave_frame_pair(folder, 1, 300);
    leave_frame_pair(folder, 2, 100);
    leave_frame_pair(folder, 3, 200);
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    ASSERT_EQ(cache.count(), 3u);
    const std::uint64_t newest = fs::file_size(folder.file("walk.000002.png"));
    cache.set_quota(newest);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_TRUE(cache.contains(frame_key(2), placement::keep));
    EXPECT_FALSE(fs::exists(folder.file("walk.000001.png")));
    EXPECT_FALSE(fs::exists(folder.file("walk.000003.txt")));
    EXPECT_EQ(cache.used(), newest);
}

TEST(disc_cache, PutToFrontSkipsAnImageThatWouldNotFit)
{
    // The quota holds the 640 x 480 frame's PNG, which may be as large as its
    // raw pixels, but not that estimate beside the older entry.
    scratch_folder folder;
    disc_cache cache(folder.root(), std::uint64_t(1) << 30, &avi_kind);
    cache.put(entry_of(frame_key(1), 64, 64), placement::back);
    cache.set_quota(640 * 480 * 3 + cache.used() - 1);
    cache.put(entry_of(frame_key(2), 640, 480), placement::front);
    EXPECT_FALSE(cache.find(frame_key(2), placement::keep));
    cache.put(entry_of(frame_key(2), 640, 480), placement::back);
    EXPECT_TRUE(cache.find(frame_key(2), placement::keep));
}

TEST(disc_cache, AccountingStaysExactThroughRemoveAndFailures)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    cache.put(frame_entry(1), placement::back);
    cache.put(frame_entry(2), placement::back);
    cache.flush();
    const std::uint64_t second = fs::file_size(folder.file("walk.000002.png"));
    cache.remove(frame_key(1));
    cache.remove(frame_key(1));
    EXPECT_EQ(cache.used(), second);
    EXPECT_FALSE(fs::exists(folder.file("walk.000001.png")));
    EXPECT_FALSE(fs::exists(folder.file("walk.000001.txt")));

    production failing;
    failing.failures = 1;
    EXPECT_THROW(cache.get(key_of(9, &failing, true), placement::back), std::runtime_error);
    EXPECT_EQ(cache.used(), second);

    production record;
    const boost::shared_ptr<lumvex::item_id> broken(new broken_description_key(4, &record, true));
    // The pair that cannot be written is not listed, and leaves no file.
    cache.put(entry_of(broken, 8, 8), placement::back);
    cache.flush();
    EXPECT_FALSE(fs::exists(folder.file("number4.png")));
    EXPECT_FALSE(fs::exists(folder.file("number4.txt")));
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.used(), second);
    EXPECT_EQ(cache.used(), png_bytes(folder.path()));
}

TEST(disc_cache, GetProducesOnceAndReadsAfterwards)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    production record;
    const auto made = cache.get(key_of(3, &record, true), placement::back);
    const auto read = cache.get(key_of(3, &record, true), placement::back);
    EXPECT_EQ(record.calls.load(), 1);
    EXPECT_TRUE(same_pixels(made->image, read->image));
    cache.flush();
    EXPECT_EQ(contents(folder.file("number3.txt")), "number:\n3");
    // With the drop placement the pair goes once the image is handed out.
    EXPECT_TRUE(cache.get(key_of(3, &record, true), placement::drop));
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_FALSE(fs::exists(folder.file("number3.png")));
    EXPECT_EQ(cache.used(), 0u);
}

TEST(disc_cache, ProductionRunsOutsideEveryLockAndOnlyOnce)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    production record;
    std::latch hold(1);
    record.hold = &hold;
    auto first = std::async(
        std::launch::async, [&] { return cache.get(key_of(5, &record, true), placement::back); });
    while (record.calls.load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // While the image is being produced, the quota, a purge and other keys
    // go on; a second asker of the same key waits for the one production.
    auto others = std::async(std::launch::async, [&] {
        cache.set_quota(1 << 20);
        cache.purge();
        cache.put(frame_entry(1), placement::back);
        return cache.count();
    });
    const bool went_on = others.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(went_on);
    auto second = std::async(
        std::launch::async, [&] { return cache.get(key_of(5, &record, true), placement::back); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    hold.count_down();
    const auto made = first.get();
    EXPECT_TRUE(same_pixels(second.get()->image, made->image));
    EXPECT_EQ(record.calls.load(), 1);
    EXPECT_EQ(others.get(), went_on ? 1u : 0u);
    EXPECT_EQ(cache.count(), 2u);
}

TEST(disc_cache, AProducerMayUseTheCacheItProducesFor)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    // Produces by asking the same cache for another key.
    class nested_key : public number_key {
    public:
        nested_key(disc_cache& owner, production* record)
            : number_key(9, record, true)
            , m_owner(owner)
            , m_record(record)
        {
        }
        void produce(img::image<bgra>& target) const override
        {
            target = m_owner.get(key_of(10, m_record, true), placement::back)->image;
        }

    private:
        disc_cache& m_owner;
        production* m_record;
    };
    production record;
    auto result = std::async(std::launch::async, [&] {
        return cache.get(boost::shared_ptr<lumvex::item_id>(new nested_key(cache, &record)), placement::back);
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(same_pixels(result.get()->image, picture(4, 4, 10)));
    EXPECT_EQ(cache.count(), 2u);
}

TEST(disc_cache, AKeyTextTooLongForAFileNameGetsAShortStableName)
{
    scratch_folder folder;
    const std::string clip = "/clips/" + std::string(300, 'w') + ".avi";
    const std::string other = "/clips/" + std::string(300, 'w') + "x.avi";
    {
        disc_cache cache(folder.root(), 1 << 30, &avi_kind);
        cache.put(frame_entry(42, clip), placement::back);
        cache.put(frame_entry(42, other), placement::back);
        cache.put(frame_entry(43, clip), placement::back);
        EXPECT_EQ(cache.count(), 3u);
    }
    std::size_t files = 0;
    png_bytes(folder.path(), &files);
    EXPECT_EQ(files, 3u);
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path()))
        EXPECT_LE(file.path().filename().string().size(), 255u);
    // The names are found again after a restart.
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 3u);
    const auto found = cache.find(frame_key(43, clip), placement::keep);
    ASSERT_TRUE(found);
    EXPECT_TRUE(same_pixels(found->image, picture(16, 12, 43)));
    ASSERT_TRUE(cache.find(frame_key(42, other), placement::keep));
}

TEST(disc_cache, KeepsExactAccountsUnderConcurrentUse)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 6000, &avi_kind);
    constexpr int threads = 8;
    std::barrier start(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < 30; ++i) {
                const int frame = (i * 3 + t) % 12;
                switch ((i + t) % 4) {
                case 0:
                    cache.put(frame_entry(frame), placement::back);
                    break;
                case 1:
                    if (const auto found = cache.find(frame_key(frame), placement::back)) {
                        EXPECT_TRUE(same_pixels(found->image, picture(16, 12, static_cast<unsigned>(frame))));
                    }
                    break;
                case 2:
                    cache.contains(frame_key(frame), t % 2 == 0 ? placement::front : placement::drop);
                    break;
                default:
                    cache.remove(frame_key(frame));
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    cache.flush();
    std::size_t files = 0;
    EXPECT_EQ(cache.used(), png_bytes(folder.path(), &files));
    EXPECT_EQ(cache.count(), files);
    EXPECT_LE(cache.used(), 6000u);
}

namespace {

// A key whose description waits until the test opens its gate: the writer
// stalls on it after the PNG, before the pair is listed as written.
class held_key : public number_key {
public:
    held_key(int number, production* record, std::shared_future<void> gate)
        : number_key(number, record, true)
        , m_gate(std::move(gate))
    {
    }
    void describe(std::ostream& out) const override
    {
        m_gate.wait();
        number_key::describe(out);
    }

private:
    std::shared_future<void> m_gate;
};

// Lets the writer go on when the test ends, also after a failed assertion.
struct writer_gate {
    ~writer_gate()
    {
        if (!opened)
            open.set_value();
    }
    void release()
    {
        opened = true;
        open.set_value();
    }
    // Whether `done` ends while the writer is held; when it does not (the
    // call waits for the writer), the writer is let go so that the test
    // ends.
    bool ended_while_held(std::future<void>& done)
    {
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
            return true;
        release();
        return false;
    }
    std::promise<void> open;
    std::shared_future<void> gate = open.get_future().share();
    bool opened = false;
};

constexpr auto a_while = std::chrono::seconds(10);

boost::shared_ptr<lumvex::cached_image> held_entry(int number, production* record, writer_gate& writer)
{
    return entry_of(boost::shared_ptr<lumvex::item_id>(new held_key(number, record, writer.gate)), 32, 24,
        static_cast<unsigned>(number));
}

} // namespace

TEST(disc_cache, PutReturnsBeforeThePairIsWrittenAndTheImageIsServedMeanwhile)
{
    scratch_folder folder;
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    writer_gate writer;
    production record;
    const auto image = held_entry(1, &record, writer);
    auto put = std::async(std::launch::async, [&] { cache.put(image, placement::back); });
    ASSERT_TRUE(writer.ended_while_held(put));
    EXPECT_TRUE(cache.contains(key_of(1, &record), placement::keep));
    EXPECT_EQ(cache.find(key_of(1, &record), placement::keep).get(), image.get());
    EXPECT_EQ(contents(folder.file("number1.txt")), "");
    writer.release();
    cache.flush();
    EXPECT_EQ(contents(folder.file("number1.txt")), "number:\n1");
    EXPECT_EQ(cache.used(), png_bytes(folder.path()));
    const auto read = cache.find(key_of(1, &record), placement::keep);
    ASSERT_TRUE(read);
    EXPECT_NE(read.get(), image.get());
    EXPECT_TRUE(same_pixels(read->image, picture(32, 24, 1)));
}

TEST(disc_cache, AFullWriteQueueMakesPutWaitForRoomAndLosesNothing)
{
    scratch_folder folder;
    // Room for two 32 x 24 images waiting to be written.
    disc_cache cache(folder.root(), 1 << 30, &avi_kind, 2 * 32 * 24 * 4);
    writer_gate writer;
    production record;
    auto two = std::async(std::launch::async, [&] {
        cache.put(held_entry(1, &record, writer), placement::back);
        cache.put(entry_of(key_of(2, &record, true), 32, 24, 2), placement::back);
    });
    ASSERT_TRUE(writer.ended_while_held(two));
    auto third = std::async(std::launch::async,
        [&] { cache.put(entry_of(key_of(3, &record, true), 32, 24, 3), placement::back); });
    // The writer is held, so the queue cannot have room.
    EXPECT_EQ(third.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    writer.release();
    ASSERT_EQ(third.wait_for(a_while), std::future_status::ready);
    cache.flush();
    std::size_t files = 0;
    png_bytes(folder.path(), &files);
    EXPECT_EQ(files, 3u);
    for (int number = 1; number <= 3; ++number) {
        const auto found = cache.find(key_of(number, &record), placement::keep);
        ASSERT_TRUE(found) << number;
        EXPECT_TRUE(same_pixels(found->image, picture(32, 24, static_cast<unsigned>(number))));
    }
}

TEST(disc_cache, TheWriteQueueNeverHoldsMoreImageBytesThanItsLimitWhilePutsRunSideBySide)
{
    scratch_folder folder;
    constexpr unsigned width = 320;
    constexpr unsigned height = 240;
    constexpr std::uint64_t image_bytes = std::uint64_t(width) * height * 4;
    constexpr std::uint64_t limit = 4 * image_bytes;
    disc_cache cache(folder.root(), std::uint64_t(1) << 30, &avi_kind, limit, std::chrono::milliseconds(0));
    writer_gate writer;
    production record;
    // The test holds every image once: a second holder is the queue (or the
    // writer, held on the first image meanwhile).
    std::vector<boost::shared_ptr<lumvex::cached_image>> images;
    images.push_back(entry_of(
        boost::shared_ptr<lumvex::item_id>(new held_key(0, &record, writer.gate)), width, height, 0));
    for (int number = 1; number <= 9; ++number)
        images.push_back(
            entry_of(key_of(number, &record, true), width, height, static_cast<unsigned>(number)));
    const auto queued = [&] {
        std::uint64_t bytes = 0;
        for (const auto& image : images) {
            if (image.use_count() > 1)
                bytes += image->image.size;
        }
        return bytes;
    };
    cache.put(images[0], placement::back);
    std::vector<std::thread> putters;
    for (int t = 0; t < 3; ++t) {
        putters.emplace_back([&, t] {
            for (int i = 1 + 3 * t; i <= 3 + 3 * t; ++i)
                cache.put(images[std::size_t(i)], placement::back);
        });
    }
    // Watched until no further image fits, and a while after that.
    std::uint64_t most = 0;
    const auto watch = [&](std::chrono::steady_clock::time_point until, bool until_full) {
        while (std::chrono::steady_clock::now() < until && !(until_full && most + image_bytes > limit)) {
            most = std::max(most, queued());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    watch(std::chrono::steady_clock::now() + a_while, true);
    watch(std::chrono::steady_clock::now() + std::chrono::milliseconds(200), false);
    EXPECT_LE(most, limit);
    EXPECT_GT(most + image_bytes, limit) << "the queue never filled up";
    writer.release();
    for (std::thread& putter : putters)
        putter.join();
    cache.flush();
    std::size_t files = 0;
    png_bytes(folder.path(), &files);
    EXPECT_EQ(files, images.size());
}

TEST(disc_cache, AReadersCopiesWaitForItToPauseWhileTheQuotaKeepsTheQueueFromFillingUp)
{
    scratch_folder folder;
    // The cache system's default quota and queue, and video frames put one
    // after another as a first read puts them.
    const std::uint64_t quota = std::uint64_t(128) << 20;
    disc_cache cache(
        folder.root(), quota, &avi_kind, disc_cache::default_write_queue_bytes, std::chrono::hours(1));
    const img::image<bgra> frame = picture(768, 576, 1);
    for (int number = 0; number < 200; ++number)
        cache.put(boost::shared_ptr<lumvex::cached_image>(new lumvex::cached_image(frame_key(number), frame)),
            placement::back);
    std::size_t files = 0;
    png_bytes(folder.path(), &files);
    EXPECT_EQ(files, 0u) << "copies were written while the reader went on";
    cache.flush();
    png_bytes(folder.path(), &files);
    EXPECT_EQ(files, cache.count());
    EXPECT_GT(files, 0u);
    EXPECT_LE(cache.used(), quota);
}

TEST(disc_cache, WaitingImagesBeyondTheQuotaAreDroppedUnwrittenWithoutWaiting)
{
    scratch_folder folder;
    const std::uint64_t estimate = 32 * 24 * 3 + 24 + 4096;
    // The quota holds two images, the queue many more.
    disc_cache cache(folder.root(), 2 * estimate, &avi_kind, 100 * estimate);
    writer_gate writer;
    production record;
    auto puts = std::async(std::launch::async, [&] {
        cache.put(held_entry(1, &record, writer), placement::back);
        for (int number = 2; number <= 6; ++number)
            cache.put(entry_of(key_of(number, &record, true), 32, 24, static_cast<unsigned>(number)),
                placement::back);
    });
    ASSERT_TRUE(writer.ended_while_held(puts));
    EXPECT_LE(cache.used(), 2 * estimate);
    EXPECT_TRUE(cache.contains(key_of(6, &record), placement::keep));
    EXPECT_FALSE(cache.contains(key_of(3, &record), placement::keep));
    writer.release();
    cache.flush();
    EXPECT_EQ(cache.used(), png_bytes(folder.path()));
    EXPECT_FALSE(fs::exists(folder.file("number3.png")));
    EXPECT_TRUE(fs::exists(folder.file("number6.png")));
}

TEST(disc_cache, WritesWaitWhileImagesKeepComingUntilTheQueueIsThreeQuartersFullOrAFlushAsks)
{
    scratch_folder folder;
    // Puts never pause long enough here. Room for four 32 x 24 images.
    disc_cache cache(folder.root(), 1 << 30, &avi_kind, 4 * 32 * 24 * 4, std::chrono::hours(1));
    const auto files = [&] {
        std::size_t count = 0;
        png_bytes(folder.path(), &count);
        return count;
    };
    cache.put(entry_of(frame_key(1), 32, 24, 1), placement::back);
    cache.put(entry_of(frame_key(2), 32, 24, 2), placement::back);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(files(), 0u);
    EXPECT_TRUE(cache.contains(frame_key(1), placement::keep));
    // Three quarters of the queue: the writer goes on without a pause,
    // until the queue is below that again.
    cache.put(entry_of(frame_key(3), 32, 24, 3), placement::back);
    const auto deadline = std::chrono::steady_clock::now() + a_while;
    while (files() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(files(), 1u);
    cache.flush();
    EXPECT_EQ(files(), 3u);
    EXPECT_EQ(cache.used(), png_bytes(folder.path()));
}

TEST(disc_cache, DestroyingTheCacheFinishesItsQueuedWritesAndTheNextRunReadsThemBack)
{
    scratch_folder folder;
    {
        disc_cache cache(folder.root(), 1 << 30, &avi_kind);
        for (int frame = 0; frame < 40; ++frame)
            cache.put(entry_of(frame_key(frame), 64, 48, static_cast<unsigned>(frame)), placement::back);
    }
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 40u);
    for (int frame = 0; frame < 40; ++frame) {
        const auto found = cache.find(frame_key(frame), placement::keep);
        ASSERT_TRUE(found) << frame;
        EXPECT_TRUE(same_pixels(found->image, picture(64, 48, static_cast<unsigned>(frame)))) << frame;
    }
}

TEST(disc_cache, StartUpDeletesPairsWhosePngACrashLeftIncomplete)
{
    scratch_folder folder;
    for (int frame = 1; frame <= 4; ++frame)
        leave_frame_pair(folder, frame, 0);
    const auto png = [&](int frame) { return folder.file("walk.00000" + std::to_string(frame) + ".png"); };
    const std::uint64_t size = fs::file_size(png(1));
    // Cut short, emptied, its tail zeroed; frame 4 stays whole.
    fs::resize_file(png(1), size / 2);
    fs::resize_file(png(2), 0);
    fs::resize_file(png(3), size - 12);
    fs::resize_file(png(3), size);
    disc_cache cache(folder.root(), 1 << 30, &avi_kind);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.used(), size);
    for (int frame = 1; frame <= 3; ++frame) {
        EXPECT_FALSE(cache.contains(frame_key(frame), placement::keep)) << frame;
        EXPECT_FALSE(fs::exists(png(frame))) << frame;
        EXPECT_FALSE(fs::exists(folder.file("walk.00000" + std::to_string(frame) + ".txt"))) << frame;
    }
    const auto whole = cache.find(frame_key(4), placement::keep);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(same_pixels(whole->image, picture(16, 12, 4)));
}

TEST(disc_cache, AnEmptyOrHeldRootDisablesTheCache)
{
    production record;
    disc_cache empty("", 1 << 30, &avi_kind);
    EXPECT_FALSE(empty.enabled());
    EXPECT_EQ(empty.quota(), 0u);
    EXPECT_EQ(empty.root(), "");
    EXPECT_TRUE(empty.get(key_of(1, &record, true), placement::back));
    EXPECT_TRUE(empty.get(key_of(1, &record, true), placement::back));
    EXPECT_EQ(record.calls.load(), 2);
    empty.put(frame_entry(1), placement::back);
    EXPECT_EQ(empty.count(), 0u);

    scratch_folder folder;
    disc_cache first(folder.root(), 1 << 30, &avi_kind);
    disc_cache second(folder.root(), 1 << 30, &avi_kind);
    EXPECT_TRUE(first.enabled());
    EXPECT_FALSE(second.enabled());
    EXPECT_EQ(second.quota(), 0u);
}

TEST(disc_cache, ARootWithoutSeparatorGetsOneAndIsCreated)
{
    scratch_folder folder;
    const std::string root = folder.file("deep/er");
    disc_cache cache(root, 1 << 30, &avi_kind);
    EXPECT_EQ(cache.root(), root + "\\");
    EXPECT_TRUE(fs::is_directory(root));
    cache.put(frame_entry(1), placement::back);
    cache.flush();
    EXPECT_TRUE(fs::exists(root + "/walk.000001.png"));
}

TEST(disc_cache, KeyTextCannotLeadOutOfTheRoot)
{
    scratch_folder folder;
    fs::create_directory(folder.file("root"));
    disc_cache cache(folder.file("root/"), 1 << 30, &avi_kind);
    cache.put(frame_entry(1, "/clips/..\\..\\escape.avi"), placement::back);
    cache.flush();
    std::size_t files = 0;
    png_bytes(folder.file("root"), &files);
    EXPECT_EQ(files, 1u);
    png_bytes(folder.path(), &files);
    EXPECT_EQ(files, 0u);
}

TEST(disc_cache, EraseOnExitDeletesTheListedPairs)
{
    scratch_folder folder;
    write_file(folder.file("keep.png"), "x");
    {
        disc_cache cache(folder.root(), 1 << 30, &avi_kind);
        cache.put(frame_entry(1), placement::back);
        cache.set_erase_on_exit(true);
    }
    EXPECT_FALSE(fs::exists(folder.file("walk.000001.png")));
    EXPECT_FALSE(fs::exists(folder.file("walk.000001.txt")));
    EXPECT_TRUE(fs::exists(folder.file("keep.png")));
}

TEST(disc_cache, ReRootingErasesTheOldRootWhenAsked)
{
    scratch_folder one;
    scratch_folder two;
    disc_cache cache(one.root(), 1 << 30, &avi_kind);
    cache.put(frame_entry(1), placement::back);
    cache.set_root(two.root(), 1 << 30, &avi_kind);
    EXPECT_TRUE(fs::exists(one.file("walk.000001.png")));
    EXPECT_EQ(cache.count(), 0u);
    cache.put(frame_entry(2), placement::back);
    cache.set_erase_on_exit(true);
    cache.set_root(one.root(), 1 << 30, &avi_kind);
    EXPECT_FALSE(fs::exists(two.file("walk.000002.png")));
    EXPECT_EQ(cache.count(), 1u);
    // The first root is free again for another cache once left.
    cache.set_erase_on_exit(false);
    cache.set_root(two.root(), 1 << 30, &avi_kind);
    disc_cache other(one.root(), 1 << 30, &avi_kind);
    EXPECT_TRUE(other.enabled());
}

TEST(disc_cache, DefaultRootLiesInTheUsersCacheFolder)
{
    const char* saved_cache = std::getenv("XDG_CACHE_HOME");
    const std::string saved_cache_text = saved_cache != nullptr ? saved_cache : "";
    const char* saved_home = std::getenv("HOME");
    const std::string saved_home_text = saved_home != nullptr ? saved_home : "";

    setenv("XDG_CACHE_HOME", "/tmp/somewhere", 1);
    EXPECT_EQ(disc_cache::default_root(), "/tmp/somewhere/Norvane/lumvex/");
    setenv("XDG_CACHE_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(disc_cache::default_root(), "/home/someone/.cache/Norvane/lumvex/");
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(disc_cache::default_root(), "/home/someone/.cache/Norvane/lumvex/");

    if (saved_cache != nullptr)
        setenv("XDG_CACHE_HOME", saved_cache_text.c_str(), 1);
    if (saved_home != nullptr)
        setenv("HOME", saved_home_text.c_str(), 1);
    else
        unsetenv("HOME");
}

#include "lumvex/avi/avi_reader.h"

#include "lumvex/avi/avi_decoder.h"
#include "lumvex/avi/avi_file.h"
#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/cache/coordinator.h"
#include "lumvex/cache/disc_cache.h"
#include "lumvex/cache/frame_memory.h"
#include "lumvex/cache/mem_cache.h"
#include "lumvex/exception.h"
#include "lumvex/tests/cache_test_support.h"
#include "lumvex/tests/footage_element.h"
#include "platform/tests/avi_samples.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

using cache_test::scratch_folder;
using lumvex::avi_read_order;
using lumvex::avi_read_order_queue;
using lumvex::avi_reader;
namespace t = platform::testing;
using platform::mmioFOURCC;

namespace {

std::vector<std::uint8_t> pixels(const img::image<img::BGRA<unsigned char>>& image)
{
    std::vector<std::uint8_t> out;
    for (unsigned y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(image.row(y));
        out.insert(out.end(), row, row + image.width * 4);
    }
    return out;
}

double quality(
    const boost::shared_ptr<lumvex::cached_image>& frame, const std::vector<std::uint8_t>& reference)
{
    auto got = pixels(frame->image);
    if (got.size() != reference.size())
        return 0;
    return t::psnr(got.data(), reference.data(), got.size() / 4);
}

// Read-ahead ends on the reader thread after the caller has its frame.
template <class F> bool eventually(F condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A memory cache and a disc cache behind a coordinator, as the library
// builds them.
struct caches {
    explicit caches(const scratch_folder& folder)
        : disc(folder.root() + "disc/", 1ull << 30, &deserializer)
    {
    }
    lumvex::mem_cache memory { 256u << 20 };
    lumvex::avi_frame_id_deserializer deserializer;
    lumvex::disc_cache disc;
    lumvex::coordinator coordinator { &memory, &disc };
};

class AviFootage : public ::testing::Test {
protected:
    std::string encode(const std::string& name, const t::encoder_settings& settings, int frames = 40)
    {
        t::avi_layout layout;
        auto samples = t::encoded_samples(96, 64, frames, settings, layout);
        std::string path = m_folder.file(name);
        t::write_avi(path, layout, samples);
        return path;
    }

    std::string mpeg4(int frames = 40)
    {
        return encode("clip.avi", { "mpeg4", mmioFOURCC('X', 'V', 'I', 'D'), 12, 0, 3 }, frames);
    }
    std::string mjpeg(int frames = 12)
    {
        return encode("intra.avi", { "mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, 0, 3 }, frames);
    }

    scratch_folder m_folder;
    caches m_caches { m_folder };
};

} // namespace

TEST(AviReadOrders, OverlappingOrdersMergeWithTheHigherPriority)
{
    avi_read_order_queue q;
    lumvex::queue_read_order(q, { 10, 11, 5, 16, 0 });
    lumvex::queue_read_order(q, { 20, 21, 16, 30, -1 });
    ASSERT_EQ(q.size(), 1u) << "touching ranges merge";
    lumvex::queue_read_order(q, { 40, 41, 40, 41, -2 });
    ASSERT_EQ(q.size(), 2u);
    const avi_read_order& m = q.front();
    EXPECT_EQ(m.frame, 10);
    EXPECT_EQ(m.frame_end, 21);
    EXPECT_EQ(m.first, 5);
    EXPECT_EQ(m.last, 30);
    EXPECT_EQ(m.priority, 0);
}

TEST(AviReadOrders, OrderBridgingTwoQueuedOrdersMergesAllThree)
{
    avi_read_order_queue q;
    lumvex::queue_read_order(q, { 0, 1, 0, 5, 0 });
    lumvex::queue_read_order(q, { 10, 11, 10, 15, 0 });
    lumvex::queue_read_order(q, { 30, 31, 30, 35, 0 });
    lumvex::queue_read_order(q, { 7, 8, 4, 11, 0 });
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q.front().first, 0);
    EXPECT_EQ(q.front().last, 15);
    EXPECT_EQ(q.front().frame, 0);
    EXPECT_EQ(q.front().frame_end, 11);
    EXPECT_EQ(q.back().first, 30);
}

TEST(AviReadOrders, HigherPriorityGoesAheadEqualPrioritiesInArrivalOrder)
{
    avi_read_order_queue q;
    lumvex::queue_read_order(q, { 0, 1, 0, 1, 0 });
    lumvex::queue_read_order(q, { 10, 11, 10, 11, 0 });
    lumvex::queue_read_order(q, { 20, 21, 20, 21, 2 });
    lumvex::queue_read_order(q, { 30, 31, 30, 31, 0 });
    std::vector<int> order;
    for (const auto& o : q)
        order.push_back(o.frame);
    EXPECT_EQ(order, (std::vector<int> { 20, 0, 10, 30 }));
    // A merge takes the place of the frontmost merged order, then moves
    // ahead of lower priorities.
    lumvex::queue_read_order(q, { 11, 12, 11, 12, 1 });
    order.clear();
    for (const auto& o : q)
        order.push_back(o.frame);
    EXPECT_EQ(order, (std::vector<int> { 20, 10, 0, 30 }));
}

TEST_F(AviFootage, OpeningErrorStopsTheThreadAndPassesOn)
{
    try {
        avi_reader footage(m_folder.file("missing.avi"), &m_caches.coordinator, 10);
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_EQ(std::string(e.what()),
            "error opening AVI (possibly it's not a valid AVI file): " + m_folder.file("missing.avi"));
    }
}

TEST_F(AviFootage, FrameNumbersOutsideTheFileAreRefused)
{
    avi_reader footage(mjpeg(), &m_caches.coordinator, 10);
    EXPECT_THROW(footage.frame(-1, 0, true), lumvex::exception);
    EXPECT_THROW(footage.frame(12, 0, true), lumvex::exception);
    EXPECT_THROW(footage.frame(12, 0, false), lumvex::exception);
    EXPECT_THROW(footage.cached_frame(-1), lumvex::exception);
    EXPECT_THROW(footage.request_frames(99, 3, 0), lumvex::exception);
    EXPECT_NO_THROW(footage.frame(11, 0, true));
}

TEST_F(AviFootage, ReportsTheFile)
{
    std::string path = mpeg4(20);
    avi_reader footage(path, &m_caches.coordinator, 10);
    EXPECT_EQ(footage.frame_count(), 20);
    EXPECT_EQ(footage.frame_size(), (types::extent<unsigned> { 96, 64 }));
    EXPECT_EQ(footage.frame_rate().numerator, 25);
    EXPECT_EQ(footage.frame_rate().denominator, 1u);
    EXPECT_EQ(footage.path(), path);
    EXPECT_EQ(footage.description(), "AVI file '" + path + "'");
    EXPECT_FALSE(footage.has_alpha());
    EXPECT_EQ(footage.first_frame_number(), 0);
    EXPECT_FALSE(footage.all_key_frames());
    EXPECT_TRUE(footage.frame_id(3)->disc_cacheable());
    footage.close();
    EXPECT_EQ(footage.frame_count(), 0);
    EXPECT_THROW(footage.frame(0, 0, true), lumvex::exception);
}

TEST_F(AviFootage, DeltaCodedFramesMatchTheReferenceInAnyOrder)
{
    std::string path = mpeg4();
    auto reference = t::reference_decode(path);
    avi_reader footage(path, &m_caches.coordinator, 5);
    // Into the middle of a group, backwards, sequentially.
    for (int f : { 17, 5, 4, 30, 31, 32, 0, 39, 23 }) {
        auto frame = footage.frame(f, lumvex::frame_request::after, true);
        ASSERT_TRUE(frame);
        EXPECT_GT(quality(frame, reference[std::size_t(f)]), 40.0) << f;
    }
}

TEST_F(AviFootage, DeltaCodedReadAheadGoesToTheDiscCache)
{
    avi_reader footage(mpeg4(), &m_caches.coordinator, 4);
    footage.frame(14, lumvex::frame_request::after | lumvex::frame_request::before, true);
    // The order covers 10 to 18; decoding started at the key frame 12 is
    // cut before the last key frame inside it (none) and the frames before
    // the range were not needed.
    for (int f = 12; f <= 18; ++f)
        EXPECT_TRUE(eventually([&] {
            return m_caches.disc.contains(footage.frame_id(f), lumvex::placement::keep);
        })) << f;
    EXPECT_FALSE(m_caches.disc.contains(footage.frame_id(11), lumvex::placement::keep));
    EXPECT_FALSE(m_caches.disc.contains(footage.frame_id(22), lumvex::placement::keep));
}

TEST_F(AviFootage, DeltaCodedReadAheadReachesAFullMemoryCache)
{
    const std::string path = mpeg4();
    const auto reference = t::reference_decode(path);
    // Memory holds six 96 x 64 frames and is full of frames seen before.
    lumvex::mem_cache memory(6 * 96 * 64 * 4);
    lumvex::disc_cache disc(m_folder.root() + "small/", 1ull << 30, &m_caches.deserializer);
    lumvex::coordinator both(&memory, &disc);
    avi_reader footage(path, &both, 4);
    for (int f = 30; f < 36; ++f)
        footage.frame(f, 0, true);
    footage.frame(12, lumvex::frame_request::after, true);
    for (int f = 13; f <= 16; ++f) {
        EXPECT_TRUE(eventually([&] { return memory.contains(footage.frame_id(f), lumvex::placement::keep); }))
            << f;
    }
    disc.flush();
    for (int f = 12; f <= 16; ++f) {
        auto frame = footage.cached_frame(f);
        ASSERT_TRUE(frame) << f;
        EXPECT_GT(quality(frame, reference[std::size_t(f)]), 40.0) << f;
    }
}

TEST_F(AviFootage, AllKeyFrameFileReadsOneFrameAhead)
{
    avi_reader footage(mjpeg(), &m_caches.coordinator, 50);
    EXPECT_TRUE(footage.all_key_frames());
    EXPECT_FALSE(footage.frame_id(0)->disc_cacheable());
    footage.frame(5, lumvex::frame_request::before | lumvex::frame_request::after, true);
    EXPECT_TRUE(footage.cached_frame(4));
    EXPECT_TRUE(eventually([&] { return bool(footage.cached_frame(6)); }));
    EXPECT_FALSE(footage.cached_frame(7));
    EXPECT_FALSE(footage.cached_frame(3));
}

TEST_F(AviFootage, OneFrameFileCountsAsAllKeyFrames)
{
    avi_reader footage(encode("one.avi", { "mpeg4", mmioFOURCC('X', 'V', 'I', 'D'), 12, 0, 3 }, 1),
        &m_caches.coordinator, 10);
    EXPECT_TRUE(footage.all_key_frames());
    EXPECT_TRUE(footage.frame(0, 3, true));
}

TEST_F(AviFootage, FrameWithoutWaitingQueuesAndReturnsEmpty)
{
    avi_reader footage(mjpeg(), &m_caches.coordinator, 10);
    EXPECT_FALSE(footage.frame(3, 0, false));
    EXPECT_TRUE(footage.cached_frame(3));
    EXPECT_TRUE(footage.frame(3, 0, false));
}

TEST_F(AviFootage, DroppedFrameRepeatsThePreviousOne)
{
    t::avi_layout l;
    auto samples = t::encoded_samples(64, 48, 8, { "mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, 0, 3 }, l);
    samples[3].data.clear();
    samples[3].key = false;
    t::write_avi(m_folder.file("drop.avi"), l, samples);
    avi_reader footage(m_folder.file("drop.avi"), &m_caches.coordinator, 10);
    auto two = footage.frame(2, 0, true);
    auto three = footage.frame(3, 0, true);
    EXPECT_EQ(pixels(two->image), pixels(three->image));
}

TEST_F(AviFootage, FramesInFrameMemoryAreThoseDecodedAloneAndTheirBuffersComeBack)
{
    t::avi_layout l;
    auto samples = t::encoded_samples(96, 64, 30, { "mpeg4", mmioFOURCC('X', 'V', 'I', 'D'), 10, 0, 3 }, l);
    samples[14].data.clear();
    samples[14].key = false;
    const std::string path = m_folder.file("pooled.avi");
    t::write_avi(path, l, samples);
    std::vector<std::vector<std::uint8_t>> alone;
    {
        img::avi::file file;
        file.open(path);
        img::avi::decoder d(file, 0);
        for (int f = 0; f < file.length(); ++f) {
            d.seek(f);
            while (d.decode_next(true) != f) { }
            alone.push_back(pixels(d.image()));
        }
    }
    lumvex::frame_memory memory(std::uint64_t(64) << 20);
    {
        avi_reader footage(path, &m_caches.coordinator, 4, &memory);
        // In order (the dropped frame repeats the one before it), then
        // seeking back and into a group.
        for (int f : { 0, 1, 2, 12, 13, 14, 15, 16, 3, 29, 22, 21 }) {
            auto frame = footage.frame(f, lumvex::frame_request::after, true);
            ASSERT_TRUE(frame) << f;
            EXPECT_EQ(pixels(frame->image), alone[std::size_t(f)]) << f;
        }
        EXPECT_GT(memory.in_place(), memory.ready());
        m_caches.memory.purge();
    }
    m_caches.disc.flush();
    memory.settle();
    EXPECT_EQ(memory.in_place(), memory.ready()) << "a buffer was kept after its frame was let go";
}

TEST_F(AviFootage, FailedFrameWakesItsWaitersAndTheFootageGoesOn)
{
    t::avi_layout l;
    auto samples = t::uncompressed_samples(16, 8, 6, 24, false, l);
    std::string path = m_folder.file("lost.avi");
    t::write_avi(path, l, samples);
    avi_reader footage(path, &m_caches.coordinator, 10);
    ASSERT_TRUE(footage.all_key_frames());
    // The last two frames vanish after opening.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 16 * 8 * 3 * 2);
    std::vector<std::thread> waiters;
    std::atomic<int> failures { 0 };
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            try {
                footage.frame(5, 0, true);
            } catch (const lumvex::exception& e) {
                if (std::string(e.what()).find("error reading sample from AVI stream") != std::string::npos)
                    ++failures;
            }
        });
    for (auto& w : waiters)
        w.join();
    EXPECT_EQ(failures, 4);
    auto frame = footage.frame(2, 0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(pixels(frame->image), t::uncompressed_picture(16, 8, 2, 24));
}

namespace {

constexpr unsigned clip_width = 64;
constexpr unsigned clip_height = 48;

// Picture `index` of an uncompressed test clip.
std::vector<std::uint8_t> clip_picture(int index)
{
    return t::uncompressed_picture(clip_width, clip_height, index, 24);
}

// Six uncompressed frames indexed as a delta-coded clip (a key frame every
// third frame), so that its frames are kept on disc too; `reversed` stores
// the pictures last first. The clip is written beside the path and renamed
// over it, as exporters replace a file.
void write_indexed_clip(const std::string& path, bool reversed)
{
    t::avi_layout layout;
    auto samples = t::uncompressed_samples(clip_width, clip_height, 6, 24, false, layout);
    if (reversed)
        std::reverse(samples.begin(), samples.end());
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i].key = i % 3 == 0;
    t::write_avi(path + ".new", layout, samples);
    std::filesystem::rename(path + ".new", path);
}

} // namespace

TEST_F(AviFootage, AClipReplacedAtTheSamePathShowsItsNewFrames)
{
    const std::string path = m_folder.file("export.avi");
    write_indexed_clip(path, false);
    {
        avi_reader footage(path, &m_caches.coordinator, 10);
        ASSERT_FALSE(footage.all_key_frames());
        for (int f = 0; f < 6; ++f)
            EXPECT_EQ(pixels(footage.frame(f, 0, true)->image), clip_picture(f));
    }
    // The same length and size: only the file's identity tells the two apart.
    write_indexed_clip(path, true);
    avi_reader footage(path, &m_caches.coordinator, 10);
    for (int f = 0; f < 6; ++f)
        EXPECT_EQ(pixels(footage.frame(f, 0, true)->image), clip_picture(5 - f)) << f;
}

TEST_F(AviFootage, AClipReplacedBetweenTwoRunsIsNotAnsweredFromTheDiscCacheOfTheFirst)
{
    const std::string path = m_folder.file("export.avi");
    const std::string root = m_folder.root() + "runs/";
    lumvex::avi_frame_id_deserializer deserializer;
    write_indexed_clip(path, false);
    {
        lumvex::mem_cache memory(256u << 20);
        lumvex::disc_cache disc(root, 1ull << 30, &deserializer);
        lumvex::coordinator both(&memory, &disc);
        avi_reader footage(path, &both, 10);
        for (int f = 0; f < 6; ++f)
            EXPECT_EQ(pixels(footage.frame(f, 0, true)->image), clip_picture(f));
    }
    {
        // The next run of the unchanged file finds its frames on disc.
        lumvex::mem_cache memory(256u << 20);
        lumvex::disc_cache disc(root, 1ull << 30, &deserializer);
        lumvex::coordinator both(&memory, &disc);
        avi_reader footage(path, &both, 10);
        EXPECT_TRUE(disc.contains(footage.frame_id(1), lumvex::placement::keep));
    }
    write_indexed_clip(path, true);
    lumvex::mem_cache memory(256u << 20);
    lumvex::disc_cache disc(root, 1ull << 30, &deserializer);
    lumvex::coordinator both(&memory, &disc);
    avi_reader footage(path, &both, 10);
    for (int f = 0; f < 6; ++f) {
        EXPECT_FALSE(disc.contains(footage.frame_id(f), lumvex::placement::keep)) << f;
        EXPECT_EQ(pixels(footage.frame(f, 0, true)->image), clip_picture(5 - f)) << f;
    }
}

TEST_F(AviFootage, ManyThreadsGetTheirFrames)
{
    std::string path = mpeg4();
    auto reference = t::reference_decode(path);
    avi_reader footage(path, &m_caches.coordinator, 3);
    std::vector<std::thread> readers;
    std::atomic<int> bad { 0 };
    for (int r = 0; r < 6; ++r)
        readers.emplace_back([&, r] {
            for (int k = 0; k < 12; ++k) {
                int f = (r * 7 + k * 5) % 40;
                auto frame = footage.frame(f, r % 2 ? lumvex::frame_request::after : 0, true);
                if (!frame || quality(frame, reference[std::size_t(f)]) <= 40.0)
                    ++bad;
            }
        });
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(bad, 0);
}

TEST_F(AviFootage, ReopeningWhileFramesAreReadKeepsNobodyWaiting)
{
    std::string first = mpeg4();
    std::string second = mjpeg();
    avi_reader footage(first, &m_caches.coordinator, 10);
    std::thread reader([&] {
        for (int f = 0; f < 40; f += 3) {
            try {
                footage.frame(f, 2, true);
            } catch (const std::exception&) {
            }
        }
    });
    footage.frame(1, 0, true);
    reader.join();
    footage.open(second);
    EXPECT_EQ(footage.frame_count(), 12);
    EXPECT_TRUE(footage.frame(11, 0, true));
}

TEST_F(AviFootage, XmlFormStoresThePathRelativeToTheProject)
{
    std::string path = mjpeg();
    avi_reader footage(path, &m_caches.coordinator, 10);
    cache_test::footage_element xml_form;
    xml::node& element = xml_form.element;
    {
        xml::stream out(element, false);
        footage.serialize(out, m_folder.root());
    }
    std::string text;
    ASSERT_TRUE(element.get_attribute("type", text));
    EXPECT_EQ(text, "avi");
    ASSERT_TRUE(element.get_attribute("path", text));
    EXPECT_EQ(text, "intra.avi");
    avi_reader reread("", &m_caches.coordinator, 10);
    xml::stream in(element, true);
    reread.serialize(in, m_folder.root());
    EXPECT_EQ(reread.frame_count(), 12);
    element.set_attribute("type", "seq");
    xml::stream wrong(element, true);
    try {
        reread.serialize(wrong, m_folder.root());
        FAIL();
    } catch (const lumvex::exception& e) {
        EXPECT_STREQ(e.what(), "couldn't initialize AVI from XML stream");
    }
}

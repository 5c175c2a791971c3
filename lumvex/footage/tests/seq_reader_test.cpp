#include "lumvex/footage/seq_reader.h"

#include "foundation/system/tests/clog_capture.h"
#include "lumvex/cache/coordinator.h"
#include "lumvex/cache/mem_cache.h"
#include "lumvex/exception.h"
#include "lumvex/files/gdiplus_reader.h"
#include "lumvex/footage/deinterlaced_footage.h"
#include "lumvex/footage/still_footage.h"
#include "lumvex/tests/cache_test_support.h"
#include "lumvex/tests/footage_element.h"
#include "platform/kernel/thread.h"
#include "platform/tests/priority_test_support.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

using namespace cache_test;
using lumvex::img_read_order_queue;
using lumvex::seq_reader;
using lumvex::sequence_filter;
using test_support::clog_capture;

namespace {

void write_frame(const scratch_folder& folder, const std::string& name, unsigned seed)
{
    img::gdiplus_writer().write(folder.file(name), "png", picture(7, 5, seed), false);
}

// `source` at the top-left corner of a `width` x `height` frame, black where
// it does not reach.
img::image<bgra> fitted(const img::image<bgra>& source, unsigned width, unsigned height)
{
    img::image<bgra> out(width, height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            out.row(y)[x] = x < source.width && y < source.height ? source.row(y)[x] : bgra { 0, 0, 0, 255 };
    return out;
}

std::vector<int> frames_of(const img_read_order_queue& q)
{
    std::vector<int> out;
    for (const auto& o : q)
        out.push_back(o.frame);
    return out;
}

} // namespace

TEST(SeqReadOrders, SameFrameRaisesItsOrderInPlace)
{
    img_read_order_queue q;
    lumvex::queue_read_order(q, { 1, 0 });
    lumvex::queue_read_order(q, { 2, 0 });
    lumvex::queue_read_order(q, { 2, 3 });
    EXPECT_EQ(frames_of(q), (std::vector<int> { 1, 2 }));
    EXPECT_EQ(q.back().priority, 3);
    lumvex::queue_read_order(q, { 2, -5 });
    EXPECT_EQ(q.back().priority, 3);
}

TEST(SeqReadOrders, OrderedByPriorityThenArrival)
{
    img_read_order_queue q;
    lumvex::queue_read_order(q, { 1, 0 });
    lumvex::queue_read_order(q, { 2, -1 });
    lumvex::queue_read_order(q, { 3, 0 });
    lumvex::queue_read_order(q, { 4, 2 });
    EXPECT_EQ(frames_of(q), (std::vector<int> { 4, 1, 3, 2 }));
}

TEST(SeqFilter, PatternWithoutMatchesIsABadFilter)
{
    scratch_folder folder;
    std::string pattern = folder.file("shot_????.png");
    try {
        seq_reader::parse_pattern(pattern);
        FAIL();
    } catch (const lumvex::exception& e) {
        EXPECT_EQ(std::string(e.what()), "bad filter: " + pattern);
    }
}

TEST(SeqFilter, OnlyTheLastDigitRunOfTheNameBecomesThePattern)
{
    scratch_folder folder;
    write_frame(folder, "take2_0017.png", 1);
    write_frame(folder, "take2_0018.png", 2);
    write_frame(folder, "take3_0019.png", 3);
    sequence_filter f = seq_reader::parse_file_name(folder.file("take2_0017.png"));
    EXPECT_EQ(f.filter, folder.file("take2_????.png"));
    EXPECT_EQ(f.folder, folder.root());
    EXPECT_EQ(f.members, (std::vector<std::string> { "take2_0017.png", "take2_0018.png" }));
    EXPECT_EQ(f.first_number, 17);
}

TEST(SeqFilter, NameWithoutDigitsIsOneMember)
{
    scratch_folder folder;
    write_frame(folder, "plate.png", 1);
    sequence_filter f = seq_reader::parse_file_name(folder.file("plate.png"));
    EXPECT_EQ(f.members, (std::vector<std::string> { "plate.png" }));
    EXPECT_EQ(f.filter, folder.root() + "plate.png");
    EXPECT_EQ(f.first_number, 0);
}

TEST(SeqFilter, NamesKeepTheirCaseAndNumbersOutgrowTheirWidth)
{
    scratch_folder folder;
    for (const char* name : { "Shot_998.PNG", "Shot_999.PNG", "Shot_1000.PNG", "Shot_1001.PNG" })
        write_frame(folder, name, 1);
    // Not of the series: another case, a zero-filled longer number, letters.
    for (const char* name : { "shot_997.PNG", "Shot_0999.PNG", "Shot_99.PNG", "Shot_9a9.PNG" })
        write_frame(folder, name, 1);
    sequence_filter f = seq_reader::parse_pattern(folder.file("Shot_???.PNG"));
    EXPECT_EQ(f.members,
        (std::vector<std::string> { "Shot_998.PNG", "Shot_999.PNG", "Shot_1000.PNG", "Shot_1001.PNG" }));
    EXPECT_EQ(f.first_number, 998);
}

TEST(SeqFilter, GapsCloseUp)
{
    scratch_folder folder;
    for (const char* name : { "f_001.png", "f_002.png", "f_005.png" })
        write_frame(folder, name, 1);
    sequence_filter f = seq_reader::parse_pattern(folder.file("f_???.png"));
    EXPECT_EQ(f.members, (std::vector<std::string> { "f_001.png", "f_002.png", "f_005.png" }));
    EXPECT_EQ(f.first_number, 1);
}

// Time-stamped file names carry numbers far beyond 32 bits. The chosen file
// belongs to its own sequence, and numbers of any length order as numbers.
TEST(SeqFilter, LongNumbersKeepTheirFilesInTheSequenceInNumberOrder)
{
    scratch_folder folder;
    for (const char* name :
        { "shot_20240101120001.png", "shot_20240101115959.png", "shot_20240101120000.png" })
        write_frame(folder, name, 1);
    sequence_filter f = seq_reader::parse_file_name(folder.file("shot_20240101120000.png"));
    EXPECT_EQ(f.filter, folder.file("shot_??????????????.png"));
    EXPECT_EQ(f.members,
        (std::vector<std::string> {
            "shot_20240101115959.png", "shot_20240101120000.png", "shot_20240101120001.png" }));
    EXPECT_EQ(f.first_number, 0);

    // A number that fits beside one that does not: the chosen one is kept.
    for (const char* name : { "cap_00000000001.png", "cap_99999999999.png" })
        write_frame(folder, name, 1);
    f = seq_reader::parse_file_name(folder.file("cap_99999999999.png"));
    EXPECT_EQ(f.members, (std::vector<std::string> { "cap_00000000001.png", "cap_99999999999.png" }));
    EXPECT_EQ(f.first_number, 1);

    // Outgrowing the run: ten digits before eleven, beyond 64 bits too.
    for (const char* name : { "n_10000000000.png", "n_9999999999.png", "n_123456789012345678901234.png" })
        write_frame(folder, name, 1);
    f = seq_reader::parse_pattern(folder.file("n_??????????.png"));
    EXPECT_EQ(f.members,
        (std::vector<std::string> {
            "n_9999999999.png", "n_10000000000.png", "n_123456789012345678901234.png" }));
}

// A "?" of a file name is the character itself, never "any character":
// only the frame number's run varies, and only over digits.
TEST(SeqFilter, AQuestionMarkOfTheNameMatchesOnlyItself)
{
    scratch_folder folder;
    for (int i = 0; i < 6; ++i)
        write_frame(folder, "a?_00" + std::to_string(i) + ".png", 1);
    for (int i = 0; i < 3; ++i)
        write_frame(folder, "ab_00" + std::to_string(i) + ".png", 1);
    write_frame(folder, "a?_0x1.png", 1);
    const std::vector<std::string> own
        = { "a?_000.png", "a?_001.png", "a?_002.png", "a?_003.png", "a?_004.png", "a?_005.png" };
    sequence_filter f = seq_reader::parse_file_name(folder.file("a?_003.png"));
    EXPECT_EQ(f.filter, folder.file("a?_???.png"));
    EXPECT_EQ(f.members, own);
    // The pattern as stored reads back the same files.
    EXPECT_EQ(seq_reader::parse_pattern(f.filter).members, own);
    EXPECT_EQ(seq_reader::parse_file_name(folder.file("ab_001.png")).members,
        (std::vector<std::string> { "ab_000.png", "ab_001.png", "ab_002.png" }));
}

// A "?" right before the number makes one run of the pattern with it; the
// files of the name are found all the same, and so is the stored pattern,
// beside files the whole run would take.
TEST(SeqFilter, AQuestionMarkRightBeforeTheNumberStaysInTheName)
{
    scratch_folder folder;
    std::vector<std::string> own;
    for (int i = 0; i < 6; ++i) {
        own.push_back("take?00" + std::to_string(i) + ".png");
        write_frame(folder, own.back(), 1);
    }
    write_frame(folder, "take1000.png", 1);
    write_frame(folder, "take1001.png", 1);
    sequence_filter f = seq_reader::parse_file_name(folder.file("take?002.png"));
    EXPECT_EQ(f.filter, folder.file("take????.png"));
    EXPECT_EQ(f.members, own);
    EXPECT_EQ(f.first_number, 0);
    EXPECT_EQ(seq_reader::parse_pattern(f.filter).members, own);
    // Where the whole run finds the most files, it stands for the number,
    // as patterns of names without "?" always read.
    EXPECT_EQ(seq_reader::parse_file_name(folder.file("take1000.png")).members,
        (std::vector<std::string> { "take1000.png", "take1001.png" }));
    for (const char* name : { "take0001.png", "take0002.png", "take0003.png", "take0004.png", "take0005.png",
             "take0006.png", "take0007.png" })
        write_frame(folder, name, 1);
    EXPECT_EQ(seq_reader::parse_pattern(folder.file("take????.png")).members.size(), 9u);
}

class SeqFootage : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 6; ++i)
            write_frame(m_folder, "img_" + std::to_string(10 + i) + ".png", unsigned(i + 1));
    }

    // Rewrites the file of `frame` as a picture of that size.
    void write_frame_sized(int frame, unsigned width, unsigned height)
    {
        img::gdiplus_writer().write(m_folder.file("img_" + std::to_string(10 + frame) + ".png"), "png",
            picture(width, height, unsigned(frame + 1)), false);
    }

    scratch_folder m_folder;
    lumvex::mem_cache m_memory { 64u << 20 };
    // Footage reads through the coordinator, which asks reader threads.
    lumvex::coordinator m_cache { &m_memory, nullptr };
};

TEST_F(SeqFootage, UnreadableFirstMemberIsRefused)
{
    std::ofstream(m_folder.file("bad_01.png")) << "not a picture";
    try {
        seq_reader footage(m_folder.file("bad_01.png"), &m_cache);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
            "could not read file or unknown image format: " + m_folder.file("bad_01.png"));
    }
}

TEST_F(SeqFootage, ReportsTheSequence)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    EXPECT_EQ(footage.frame_count(), 6);
    EXPECT_EQ(footage.first_frame_number(), 10);
    EXPECT_EQ(footage.path(), m_folder.file("img_10.png"));
    std::vector<std::string> members;
    for (int i = 0; i < 6; ++i)
        members.push_back(m_folder.file("img_" + std::to_string(10 + i) + ".png"));
    EXPECT_EQ(footage.files(), members);
    EXPECT_EQ(footage.description(), "image sequence '" + m_folder.file("img_??.png") + "'");
    EXPECT_EQ(footage.frame_size(), (types::extent<unsigned> { 7, 5 }));
    EXPECT_FALSE(footage.has_alpha());
    EXPECT_EQ(footage.frame_rate().denominator, 0u);
}

TEST_F(SeqFootage, OpensOnAFileWithADateTimeNumber)
{
    write_frame(m_folder, "screen_20231231235959.png", 7);
    write_frame(m_folder, "screen_20240101000000.png", 8);
    seq_reader footage(m_folder.file("screen_20240101000000.png"), &m_cache);
    EXPECT_EQ(footage.frame_count(), 2);
    EXPECT_EQ(footage.path(), m_folder.file("screen_20231231235959.png"));
    auto frame = footage.frame(1, 0, true);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(same_pixels(frame->image, picture(7, 5, 8)));
}

TEST_F(SeqFootage, FrameNumbersOutsideTheSequenceAreRefused)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    EXPECT_THROW(footage.frame(6, 0, true), lumvex::exception);
    EXPECT_THROW(footage.frame(-1, 0, false), lumvex::exception);
    EXPECT_THROW(footage.cached_frame(6), lumvex::exception);
    EXPECT_THROW(footage.frame_id(-1), lumvex::exception);
    EXPECT_THROW(footage.request_frames(7, 3, 0), lumvex::exception);
}

TEST_F(SeqFootage, FramesAreTheFilesInNumberOrder)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    for (int f : { 3, 0, 5, 1 }) {
        auto frame = footage.frame(f, 0, true);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(same_pixels(frame->image, picture(7, 5, unsigned(f + 1)))) << f;
    }
}

TEST_F(SeqFootage, NeighboursAreLoadedAfterTheFrame)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    footage.frame(0, lumvex::frame_request::before | lumvex::frame_request::after, true);
    for (int i = 0; i < 500 && !footage.cached_frame(1); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(footage.cached_frame(1));
    EXPECT_FALSE(footage.cached_frame(2));
}

// The loader lowers itself to each order's priority, and neighbours are read
// one step lower. Where the process may not raise a thread again, that must
// not leave the loader below its callers for good: it would then starve
// behind below-normal work (a calculation) while the view waits for it.
TEST_F(SeqFootage, LoaderIsNotLeftBelowItsCallersWhereRaisingIsRefused)
{
    bool ordinary = true;
    std::thread user([&] {
        ordinary = priority_testing::become_ordinary_user();
        if (!ordinary)
            return;
        const std::set<long> before = priority_testing::thread_ids();
        seq_reader footage(m_folder.file("img_12.png"), &m_cache);
        std::vector<long> loaders;
        for (long id : priority_testing::thread_ids())
            if (!before.count(id))
                loaders.push_back(id);
        ASSERT_EQ(loaders.size(), 1u);
        const int caller = priority_testing::nice_of(loaders[0]);
        footage.request_frames(1, lumvex::frame_request::after, platform::THREAD_PRIORITY_NORMAL);
        for (int i = 0; i < 500 && !footage.cached_frame(2); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(footage.cached_frame(2));
        footage.request_frames(4, 0, platform::THREAD_PRIORITY_NORMAL);
        EXPECT_EQ(priority_testing::nice_of(loaders[0]), caller);
    });
    user.join();
    if (!ordinary)
        GTEST_SKIP() << "this process may raise priorities";
}

TEST_F(SeqFootage, FrameWithoutWaitingQueuesAndReturnsEmpty)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    EXPECT_FALSE(footage.frame(4, 0, false));
    EXPECT_TRUE(footage.cached_frame(4));
}

TEST_F(SeqFootage, MemberThatCannotBeLoadedFailsItsFrameOnly)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    std::ofstream(m_folder.file("img_13.png"), std::ios::trunc) << "damaged";
    std::vector<std::thread> waiters;
    std::atomic<int> failures { 0 };
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            try {
                footage.frame(3, 0, true);
            } catch (const std::exception&) {
                ++failures;
            }
        });
    for (auto& w : waiters)
        w.join();
    EXPECT_EQ(failures, 3);
    EXPECT_TRUE(footage.frame(4, 0, true));
}

TEST_F(SeqFootage, ManyThreadsGetTheirFrames)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    std::vector<std::thread> readers;
    std::atomic<int> bad { 0 };
    for (int r = 0; r < 6; ++r)
        readers.emplace_back([&, r] {
            for (int k = 0; k < 20; ++k) {
                int f = (r + k * 5) % 6;
                if (k % 7 == 0)
                    m_cache.purge();
                auto frame = footage.frame(f, 3, true);
                if (!frame || !same_pixels(frame->image, picture(7, 5, unsigned(f + 1))))
                    ++bad;
            }
        });
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(bad, 0);
}

TEST_F(SeqFootage, XmlFormStoresTheFilterRelativeToTheProject)
{
    seq_reader footage(m_folder.file("img_12.png"), &m_cache);
    footage_element xml_form;
    xml::node& element = xml_form.element;
    {
        xml::stream out(element, false);
        footage.serialize(out, m_folder.root());
    }
    std::string text;
    ASSERT_TRUE(element.get_attribute("type", text));
    EXPECT_EQ(text, "seq");
    ASSERT_TRUE(element.get_attribute("filter", text));
    EXPECT_EQ(text, "img_??.png");
    seq_reader reread("", &m_cache);
    xml::stream in(element, true);
    reread.serialize(in, m_folder.root());
    EXPECT_EQ(reread.frame_count(), 6);

    // A name holding "?" before its number opens the same files again.
    for (int i = 0; i < 3; ++i)
        write_frame(m_folder, "cut?0" + std::to_string(i) + ".png", unsigned(i + 1));
    write_frame(m_folder, "cut100.png", 9);
    seq_reader marked(m_folder.file("cut?01.png"), &m_cache);
    footage_element marked_form;
    {
        xml::stream out(marked_form.element, false);
        marked.serialize(out, m_folder.root());
    }
    seq_reader marked_again("", &m_cache);
    xml::stream marked_in(marked_form.element, true);
    marked_again.serialize(marked_in, m_folder.root());
    EXPECT_EQ(marked_again.files(), marked.files());
    EXPECT_EQ(marked_again.frame_count(), 3);

    element.set_attribute("type", "avi");
    xml::stream wrong(element, true);
    try {
        reread.serialize(wrong, m_folder.root());
        FAIL();
    } catch (const lumvex::exception& e) {
        EXPECT_STREQ(e.what(), "couldn't initialize Image Sequence from XML stream");
    }
}

// Every frame a sequence hands on has the sequence's size (its first file's):
// a file of another size sits at the top-left corner, clipped where it is
// larger and black where it is smaller, and is told once.
TEST_F(SeqFootage, EveryFrameHasTheSequenceSize)
{
    struct odd {
        int frame;
        unsigned width;
        unsigned height;
    };
    const odd odds[] = { { 1, 3, 2 }, { 2, 11, 8 }, { 3, 5, 7 }, { 4, 1, 1 } };
    for (const odd& o : odds)
        write_frame_sized(o.frame, o.width, o.height);
    clog_capture told;
    seq_reader footage(m_folder.file("img_10.png"), &m_cache);
    ASSERT_EQ(footage.frame_size(), (types::extent<unsigned> { 7, 5 }));
    for (int round = 0; round < 2; ++round) {
        for (int f = 0; f < 6; ++f) {
            auto frame = footage.frame(f, 0, true);
            ASSERT_TRUE(frame);
            img::image<bgra> expected = picture(7, 5, unsigned(f + 1));
            for (const odd& o : odds)
                if (o.frame == f)
                    expected = fitted(picture(o.width, o.height, unsigned(f + 1)), 7, 5);
            EXPECT_TRUE(same_pixels(frame->image, expected)) << f;
            EXPECT_TRUE(footage.cached_frame(f) == frame);
        }
        m_cache.purge();
    }
    const std::string text = told.text();
    for (const odd& o : odds) {
        const std::string line = "image sequence '" + m_folder.file("img_??.png")
            + "': " + m_folder.file("img_" + std::to_string(10 + o.frame) + ".png") + " is "
            + std::to_string(o.width) + " x " + std::to_string(o.height) + " pixels, not 7 x 5";
        const std::size_t at = text.find(line);
        EXPECT_NE(at, std::string::npos) << line;
        EXPECT_EQ(text.find(line, at + 1), std::string::npos) << "told twice: " << line;
    }
    EXPECT_EQ(text.find("img_10.png"), std::string::npos);
}

// The cache keeps the file's picture apart from the frame fitted from it:
// a still footage of the file gets it at its own size, whichever comes
// first, and a deinterlaced footage over the sequence gets fitted frames.
TEST_F(SeqFootage, OtherFootageOfTheSameFileKeepsItsOwnSize)
{
    write_frame_sized(2, 3, 2);
    const std::string odd_file = m_folder.file("img_12.png");
    lumvex::still_footage before(odd_file, &m_cache);
    EXPECT_TRUE(same_pixels(before.frame(0, 0, true)->image, picture(3, 2, 3)));
    auto sequence = boost::shared_ptr<lumvex::footage>(new seq_reader(m_folder.file("img_10.png"), &m_cache));
    EXPECT_TRUE(same_pixels(sequence->frame(2, 0, true)->image, fitted(picture(3, 2, 3), 7, 5)));
    EXPECT_FALSE(sequence->frame_id(2)->equals(*before.frame_id(0)));
    EXPECT_FALSE(before.frame_id(0)->equals(*sequence->frame_id(2)));
    m_cache.purge();
    EXPECT_TRUE(same_pixels(sequence->frame(2, 0, true)->image, fitted(picture(3, 2, 3), 7, 5)));
    lumvex::still_footage after(odd_file, &m_cache);
    EXPECT_EQ(after.frame_size(), (types::extent<unsigned> { 3, 2 }));
    EXPECT_TRUE(same_pixels(after.frame(0, 0, true)->image, picture(3, 2, 3)));

    lumvex::deinterlaced_footage fields(
        sequence, lumvex::deinterlace_fields::upper_first, lumvex::deinterlace_method::duplicate);
    for (int f : { 4, 5 }) {
        auto frame = fields.frame(f, 0, true);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->image.width, 7u) << f;
        EXPECT_EQ(frame->image.height, 5u) << f;
        EXPECT_EQ(frame->image.row(4)[6], (bgra { 0, 0, 0, 255 })) << f;
    }
}

// A first file smaller than the rest makes the sequence's size: the later
// files are clipped to it.
TEST_F(SeqFootage, LargerFilesAfterASmallFirstOneAreClipped)
{
    write_frame_sized(0, 4, 3);
    seq_reader footage(m_folder.file("img_11.png"), &m_cache);
    ASSERT_EQ(footage.frame_size(), (types::extent<unsigned> { 4, 3 }));
    for (int f = 0; f < 6; ++f) {
        auto frame = footage.frame(f, 0, true);
        ASSERT_TRUE(frame);
        img::image<bgra> expected = f == 0 ? picture(4, 3, 1) : fitted(picture(7, 5, unsigned(f + 1)), 4, 3);
        EXPECT_TRUE(same_pixels(frame->image, expected)) << f;
    }
}

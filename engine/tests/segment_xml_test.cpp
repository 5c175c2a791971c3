#include "engine/segment.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <boost/make_shared.hpp>

#include "engine/tests/mask_test_support.h"
#include "engine/tests/memory_footage.h"
#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/image_error.h"
#include "foundation/system/tests/clog_capture.h"
#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

namespace {

using test_support::clog_capture;
using trm::testing::filled_mask;
using trm::testing::rows_of;

std::string saved(trm::segment& s)
{
    xml::sarnel doc;
    doc.create("Segment");
    xml::stream saving(doc.root(), false);
    s.serialize(saving);
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

void load(trm::segment& s, const std::string& text)
{
    xml::sarnel doc;
    doc.parse(text);
    xml::stream loading(doc.root(), true);
    s.serialize(loading);
}

// The "encoded" text of a mask's bit-image element.
std::string mask_hex(img::image<img::bit> mask)
{
    xml::sarnel doc;
    doc.create("m");
    xml::stream saving(doc.root(), false);
    trm::serialize_bit_image(saving, mask);
    return doc.root().get_attribute_or_default("encoded", "");
}

// A "twomasks" element with a mask of that size, or without a mask.
std::string record_element(unsigned width, unsigned height)
{
    if (width == 0)
        return "<twomasks/>";
    return "<twomasks><bit_mask encoded=\"" + mask_hex(filled_mask(width, height, true)) + "\"/></twomasks>";
}

// A segment element with an 8 x 8 key mask and the given records.
std::string segment_text(const std::string& attributes, const std::vector<std::string>& records)
{
    std::string text
        = "<Segment " + attributes + "><keymask encoded=\"" + mask_hex(filled_mask(8, 8, false)) + "\"/>";
    for (const auto& r : records)
        text += r;
    return text + "</Segment>";
}

TEST(SegmentXml, RoundTripKeepsMasksContoursMotionsParametersAndTimings)
{
    std::mt19937 random(11);
    trm::segment s(11, nullptr);
    s.set_keymask(trm::testing::random_mask(37, 11, 0.5, random));
    trm::param p;
    p.mincut = true;
    p.smooth_mask = trm::smooth_mask_method::equal_spheres;
    s.set_param(p);
    s.set_range({ 8, 16 });
    for (int f = 9; f < 13; ++f) {
        auto r = boost::make_shared<trm::frame_record>();
        r->bit_mask = trm::testing::random_mask(37, 11, 0.3, random);
        img::image<unsigned char> grey(37, 11, 4);
        for (auto pixel : grey)
            pixel = static_cast<unsigned char>(random());
        r->grey_mask.encode(grey);
        if (f == 9) {
            r->contour = { { 0.0f, 3.5f }, { 1.25f, 0.0f }, { 2.0f, 2.0f }, { 0.0f, 3.5f } };
            r->ref_frame = 10;
            r->motion.x = 1.5;
            r->motion.yy = 0.5;
        } else if (f == 12) {
            r->ref_frame = 11;
        }
        s.store(f, r, { 9, f + 1 }, { 9, f + 1 });
    }
    {
        profiler::scope scope(s.timing(), "calculating");
    }

    const std::string text = saved(s);
    EXPECT_NE(text.find("first_data=\"9\""), std::string::npos);
    xml::sarnel doc;
    doc.parse(text);
    std::vector<xml::node> records;
    doc.root().select(records, "twomasks");
    ASSERT_EQ(records.size(), 4u);
    std::string value;
    EXPECT_FALSE(records[1].get_attribute("ref_frame", value));
    EXPECT_TRUE(xml::stream(records[1], true).child("motion").is_null());
    xml::stream motion = xml::stream(records[3], true).child("motion");
    ASSERT_FALSE(motion.is_null());
    EXPECT_FALSE(motion.get_attribute("x", value) || motion.get_attribute("yy", value));
    std::vector<xml::node> controls;
    xml::stream(records[0], true).child("contour").select(controls, "control");
    ASSERT_EQ(controls.size(), 4u);
    EXPECT_FALSE(controls[0].get_attribute("x", value));
    EXPECT_EQ(controls[0].get_attribute_or_default("y", ""), "3.5");

    trm::segment loaded(0, nullptr);
    load(loaded, text);
    EXPECT_EQ(loaded.origin(), 11);
    EXPECT_EQ(rows_of(loaded.keymask()), rows_of(s.keymask()));
    EXPECT_EQ(loaded.param(), s.param());
    EXPECT_EQ(loaded.range(), (My::Span { 9, 13 }));
    EXPECT_EQ(loaded.segmented(), (My::Span { 9, 13 }));
    EXPECT_EQ(loaded.smoothed(), (My::Span { 9, 13 }));
    for (int f = 9; f < 13; ++f) {
        const auto a = s.frame_data(f);
        const auto b = loaded.frame_data(f);
        ASSERT_TRUE(b) << f;
        EXPECT_EQ(rows_of(b->bit_mask), rows_of(a->bit_mask)) << f;
        EXPECT_EQ(b->grey_mask.bytes(), a->grey_mask.bytes()) << f;
        EXPECT_EQ(b->contour, a->contour) << f;
        EXPECT_EQ(b->ref_frame, a->ref_frame) << f;
        if (a->ref_frame != -1) {
            EXPECT_EQ(b->motion, a->motion) << f;
        }
    }
    EXPECT_EQ(loaded.timing().root().children.count("calculating"), 1u);
}

TEST(SegmentXml, EmptyComputedSpanSavesNoRecordsAndLoadsAsAnEmptyTableAtTheOrigin)
{
    trm::segment s(4, nullptr);
    s.set_range({ 0, 10 });
    // Empty ranges apart from each other span no frames either.
    s.store(5, boost::make_shared<trm::frame_record>(), { 3, 3 }, { 9, 9 });
    const std::string text = saved(s);
    EXPECT_EQ(text.find("first_data"), std::string::npos);
    EXPECT_EQ(text.find("twomasks"), std::string::npos);
    EXPECT_NE(text.find("<keymask/>"), std::string::npos);

    trm::segment loaded(2, nullptr);
    loaded.set_range({ 2, 3 });
    loaded.store(2, boost::make_shared<trm::frame_record>(), { 2, 3 }, { 2, 2 });
    load(loaded, text);
    EXPECT_EQ(loaded.range(), (My::Span { 4, 4 }));
    EXPECT_EQ(loaded.segmented(), (My::Span { 4, 4 }));
    EXPECT_EQ(loaded.keymask().data, nullptr);
}

TEST(SegmentXml, LoadingRebuildsRangesFromTheRecordsAndWidensTheTableToTheOrigin)
{
    trm::segment s(0, nullptr);
    load(s,
        segment_text("origin=\"11\" first_data=\"10\"",
            { record_element(8, 8), record_element(8, 8), record_element(8, 8), record_element(0, 0) }));
    EXPECT_EQ(s.range(), (My::Span { 10, 14 }));
    EXPECT_EQ(s.segmented(), (My::Span { 10, 13 }));
    EXPECT_EQ(s.smoothed(), (My::Span { 11, 11 }));
    EXPECT_TRUE(s.frame_data(13));
    EXPECT_FALSE(s.has_mask(13));

    load(s, segment_text("origin=\"20\" first_data=\"10\"", { record_element(8, 8), record_element(8, 8) }));
    EXPECT_EQ(s.range(), (My::Span { 10, 21 }));
    EXPECT_FALSE(s.frame_data(20));
    EXPECT_EQ(s.segmented(), (My::Span { 20, 20 }));
}

TEST(SegmentXml, LoadingDropsRecordsThatDoNotFitWithADiagnosticLine)
{
    trm::segment s(0, nullptr);
    {
        clog_capture log;
        load(s,
            segment_text("origin=\"10\" first_data=\"10\"",
                { record_element(8, 8), record_element(4, 4), record_element(8, 8) }));
        EXPECT_NE(log.text().find("frame 11 is dropped"), std::string::npos) << log.text();
    }
    EXPECT_FALSE(s.frame_data(11));
    EXPECT_TRUE(s.has_mask(12));
    EXPECT_EQ(s.segmented(), (My::Span { 10, 11 }));

    // Records that would run past the last frame number.
    {
        clog_capture log;
        load(s,
            segment_text("origin=\"2147483646\" first_data=\"2147483646\"",
                { record_element(8, 8), record_element(8, 8), record_element(8, 8) }));
        EXPECT_NE(log.text().find("2 frame records lie past"), std::string::npos) << log.text();
    }
    EXPECT_EQ(s.range(), (My::Span { INT_MAX - 1, INT_MAX }));
    EXPECT_EQ(s.segmented(), (My::Span { INT_MAX - 1, INT_MAX }));

    // Records too far from the origin to make a table of.
    {
        clog_capture log;
        load(s, segment_text("origin=\"5\" first_data=\"-2000000000\"", { record_element(8, 8) }));
        EXPECT_NE(log.text().find("too far"), std::string::npos) << log.text();
    }
    EXPECT_EQ(s.range(), (My::Span { 5, 5 }));
}

// The 54-byte header of a 24-bit BMP file of that size, without its pixels.
std::string bmp_header_only(std::uint32_t width, std::uint32_t height)
{
    std::string b(54, '\0');
    const auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, 54, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    return b;
}

std::string grey_png_hex(unsigned width, unsigned height)
{
    img::image<unsigned char> grey(width, height, 4);
    grey.fill(200);
    trm::encoded_image encoded;
    encoded.encode(grey);
    return trm::to_hex(encoded.bytes());
}

// A mask claiming another size than the frame's is never decoded: its
// header alone drops the record, so a few bytes cannot claim a huge picture
// (here one whose pixels are missing, which decoding would refuse).
TEST(SegmentXml, RecordWhoseMaskClaimsAnotherSizeIsDroppedBeforeDecoding)
{
    trm::segment s(0, nullptr);
    {
        clog_capture log;
        load(s,
            segment_text("origin=\"10\" first_data=\"10\"",
                { record_element(8, 8),
                    "<twomasks><bit_mask encoded=\"" + trm::to_hex(bmp_header_only(16384, 16384))
                        + "\"/></twomasks>",
                    record_element(8, 8) }));
        EXPECT_NE(log.text().find("frame 11 is dropped"), std::string::npos) << log.text();
        EXPECT_NE(log.text().find("16384 x 16384"), std::string::npos) << log.text();
    }
    EXPECT_TRUE(s.has_mask(10));
    EXPECT_FALSE(s.frame_data(11));
    EXPECT_TRUE(s.has_mask(12));

    // A grey mask is a mask of the frame too.
    {
        clog_capture log;
        load(s,
            segment_text("origin=\"10\" first_data=\"10\"",
                { "<twomasks><bit_mask encoded=\"" + mask_hex(filled_mask(8, 8, true))
                        + "\"/><grey_mask encoded=\"" + grey_png_hex(8, 8) + "\"/></twomasks>",
                    "<twomasks><bit_mask encoded=\"" + mask_hex(filled_mask(8, 8, true))
                        + "\"/><grey_mask encoded=\"" + grey_png_hex(64, 64) + "\"/></twomasks>" }));
        EXPECT_NE(log.text().find("frame 11 is dropped"), std::string::npos) << log.text();
    }
    EXPECT_TRUE(s.has_encoded_mask(10));
    EXPECT_FALSE(s.frame_data(11));
    EXPECT_EQ(s.smoothed(), (My::Span { 10, 11 }));
}

// With footage, the key mask has its frames' size: one claiming another is
// dropped without decoding, and the records with it; the segment is loaded.
TEST(SegmentXml, KeyMaskClaimingAnotherSizeThanTheFootagesFramesIsDroppedBeforeDecoding)
{
    std::vector<img::image<img::BGRA<unsigned char>>> frames(1);
    frames[0].resize(8, 8, 4);
    const auto footage = boost::make_shared<trm::testing::memory_footage>(std::move(frames));
    trm::segment s(0, footage);
    {
        clog_capture log;
        load(s,
            "<Segment origin=\"3\" first_data=\"3\"><keymask encoded=\""
                + trm::to_hex(bmp_header_only(16384, 16384)) + "\"/>" + record_element(8, 8) + "</Segment>");
        EXPECT_NE(log.text().find("key mask is dropped"), std::string::npos) << log.text();
    }
    EXPECT_EQ(s.origin(), 3);
    EXPECT_EQ(s.keymask().data, nullptr);
    EXPECT_FALSE(s.frame_data(3));
    EXPECT_EQ(s.segmented(), (My::Span { 3, 3 }));

    load(s, segment_text("origin=\"3\" first_data=\"3\"", { record_element(8, 8) }));
    EXPECT_EQ(s.keymask().width, 8u);
    EXPECT_TRUE(s.has_mask(3));
}

// Masks of the frame's size load whatever format their bytes are in.
TEST(SegmentXml, RecordMasksOfTheFramesSizeLoadInEveryFormat)
{
    std::mt19937 random(5);
    const img::image<img::bit> mask = trm::testing::random_mask(8, 8, 0.5, random);
    for (const auto format :
        { img::image_format::bmp, img::image_format::gif, img::image_format::tiff, img::image_format::png }) {
        std::ostringstream out(std::ios::out | std::ios::binary);
        img::gdiplus_write_bit(out, mask, format);
        trm::segment s(0, nullptr);
        load(s,
            segment_text("origin=\"3\" first_data=\"3\"",
                { "<twomasks><bit_mask encoded=\"" + trm::to_hex(out.str()) + "\"/></twomasks>" }));
        ASSERT_TRUE(s.has_mask(3)) << static_cast<int>(format);
        EXPECT_EQ(rows_of(s.frame_data(3)->bit_mask), rows_of(mask)) << static_cast<int>(format);
    }
}

// A table costs memory per frame: frames that no record covers between the
// key frame and the records cannot be more than a file's content warrants.
TEST(SegmentXml, LoadedTableIsSizedByTheRecordsPresent)
{
    trm::segment s(0, nullptr);
    load(s, "<Segment origin='0' first_data='16777000'/>");
    EXPECT_EQ(s.range(), (My::Span { 0, 0 }));
    EXPECT_EQ(s.segmented(), (My::Span { 0, 0 }));

    {
        clog_capture log;
        load(s, segment_text("origin=\"0\" first_data=\"16777000\"", { record_element(8, 8) }));
        EXPECT_NE(log.text().find("too far"), std::string::npos) << log.text();
    }
    EXPECT_EQ(s.range(), (My::Span { 0, 0 }));

    // Records next to the key frame keep their frames.
    load(s, segment_text("origin=\"16777001\" first_data=\"16777000\"", { record_element(8, 8) }));
    EXPECT_EQ(s.range(), (My::Span { 16777000, 16777002 }));
    EXPECT_TRUE(s.has_mask(16777000));
}

// A smoothed range reaching past the segmented one would make the next
// calculation grow it beyond the table (and fail storing its first frame).
TEST(SegmentXml, GreyMaskWithoutACrispMaskIsDroppedSoSmoothedStaysInsideSegmented)
{
    trm::segment s(0, nullptr);
    const std::string grey = "<grey_mask encoded=\"00\"/>";
    {
        clog_capture log;
        load(s,
            segment_text("origin=\"10\" first_data=\"10\"",
                { "<twomasks><bit_mask encoded=\"" + mask_hex(filled_mask(8, 8, true)) + "\"/>" + grey
                        + "</twomasks>",
                    "<twomasks>" + grey + "</twomasks>" }));
        EXPECT_NE(log.text().find("frame 11 is dropped"), std::string::npos) << log.text();
    }
    EXPECT_FALSE(s.frame_data(11));
    EXPECT_TRUE(s.has_encoded_mask(10));
    EXPECT_EQ(s.range(), (My::Span { 10, 12 }));
    EXPECT_EQ(s.segmented(), (My::Span { 10, 11 }));
    EXPECT_EQ(s.smoothed(), (My::Span { 10, 11 }));
}

TEST(SegmentXml, FailedLoadLeavesTheSegmentAsItWas)
{
    trm::segment s(0, nullptr);
    const std::string good
        = segment_text("origin=\"3\" first_data=\"3\"", { record_element(8, 8), record_element(8, 8) });
    load(s, good);
    ASSERT_EQ(s.segmented(), (My::Span { 3, 5 }));
    const auto kept = s.frame_data(4);

    EXPECT_THROW(
        load(s, segment_text("first_data=\"3\"", { record_element(8, 8) })), xml::attribute_not_found);
    EXPECT_THROW(load(s, segment_text("origin=\"2147483647\"", {})), xml::attribute_parse_error);
    EXPECT_THROW(load(s,
                     segment_text("origin=\"1\" first_data=\"0\"",
                         { record_element(8, 8), "<twomasks><bit_mask encoded=\"00ff\"/></twomasks>" })),
        img::io_error);
    EXPECT_EQ(s.origin(), 3);
    EXPECT_EQ(s.range(), (My::Span { 3, 5 }));
    EXPECT_EQ(s.segmented(), (My::Span { 3, 5 }));
    EXPECT_EQ(s.frame_data(4), kept);
    EXPECT_EQ(s.keymask().width, 8u);
}

TEST(SegmentXml, TimingsAreLeftAloneWhileACalculationRuns)
{
    trm::segment s(1, nullptr);
    {
        profiler::scope scope(s.timing(), "calculating");
    }
    const std::string with_timing = saved(s);
    ASSERT_NE(with_timing.find("<timing"), std::string::npos);

    trm::segment::calculation_mark running(s);
    EXPECT_EQ(saved(s).find("<timing"), std::string::npos);
    trm::segment other(1, nullptr);
    trm::segment::calculation_mark other_running(other);
    load(other, with_timing);
    EXPECT_TRUE(other.timing().root().children.empty());
}

// The project is saved on the UI thread while the worker calculates: each
// save is a consistent snapshot of the records stored so far.
TEST(SegmentXml, SavingWhileACalculationStoresRecordsWritesAConsistentSnapshot)
{
    constexpr int frames = 60;
    trm::segment s(0, nullptr);
    s.set_keymask(filled_mask(8, 8, true));
    s.set_range({ 0, frames });
    const auto r = boost::make_shared<trm::frame_record>();
    r->bit_mask = filled_mask(8, 8, true);

    std::thread worker([&] {
        const trm::segment::calculation_mark mark(s);
        for (int f = 0; f < frames; ++f) {
            profiler::scope scope(s.timing(), "calculating");
            s.store(f, r, { 0, f + 1 }, { 0, 0 });
        }
    });
    int inconsistent = 0;
    for (int i = 0; i < 20; ++i) {
        trm::segment loaded(0, nullptr);
        load(loaded, saved(s));
        const My::Span segmented = loaded.segmented();
        if (segmented.first != 0 || loaded.range() != segmented)
            ++inconsistent;
    }
    worker.join();
    EXPECT_EQ(inconsistent, 0);
}

} // namespace

#include "lumvex/footage/deinterlaced_footage.h"

#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/cache/coordinator.h"
#include "lumvex/cache/mem_cache.h"
#include "lumvex/exception.h"
#include "lumvex/files/gdiplus_reader.h"
#include "lumvex/footage/deinterlace.h"
#include "lumvex/footage/deinterlaced_item_id.h"
#include "lumvex/footage/seq_reader.h"
#include "lumvex/tests/cache_test_support.h"
#include "lumvex/tests/footage_element.h"
#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <vector>

using namespace cache_test;
using lumvex::deinterlace_fields;
using lumvex::deinterlace_method;
using lumvex::deinterlaced_footage;

namespace {

// One row of a test frame: every pixel has blue = green = red = `value` and
// alpha `alpha`.
struct row_value {
    unsigned char value;
    unsigned char alpha;
    bool operator==(const row_value&) const = default;
};

img::image<bgra> frame_of(const std::vector<row_value>& rows, unsigned width = 3)
{
    img::image<bgra> image(width, static_cast<unsigned>(rows.size()), 4);
    for (unsigned y = 0; y < rows.size(); ++y) {
        for (unsigned x = 0; x < width; ++x)
            image.row(y)[x] = bgra { rows[y].value, rows[y].value, rows[y].value, rows[y].alpha };
    }
    return image;
}

// The rows of an image whose rows are uniform; a row that is not gives
// {0, 0} with a test failure.
std::vector<row_value> rows_of(const img::image<bgra>& image)
{
    std::vector<row_value> rows;
    for (unsigned y = 0; y < image.height; ++y) {
        const bgra first = image.row(y)[0];
        for (unsigned x = 0; x < image.width; ++x) {
            const bgra p = image.row(y)[x];
            EXPECT_TRUE(p.b == first.b && p.g == first.b && p.r == first.b && p.a == first.a) << "row " << y;
        }
        rows.push_back({ first.b, first.a });
    }
    return rows;
}

// Rows whose means differ between the value and alpha channels, so that each
// channel is checked on its own.
const std::vector<row_value> five_rows { { 10, 245 }, { 200, 55 }, { 51, 204 }, { 7, 248 }, { 90, 165 } };

std::vector<row_value> deinterlaced(const std::vector<row_value>& rows, bool upper, bool interpolate)
{
    img::image<bgra> target;
    lumvex::deinterlace(frame_of(rows), target, upper, interpolate);
    EXPECT_EQ(target.width, 3u);
    EXPECT_EQ(target.height, rows.size());
    return rows_of(target);
}

TEST(deinterlace, AllFourCombinationsOnAnOddHeight)
{
    EXPECT_EQ(deinterlaced(five_rows, true, false),
        (std::vector<row_value> { { 10, 245 }, { 10, 245 }, { 51, 204 }, { 51, 204 }, { 90, 165 } }));
    EXPECT_EQ(deinterlaced(five_rows, true, true),
        (std::vector<row_value> { { 10, 245 }, { 30, 224 }, { 51, 204 }, { 70, 184 }, { 90, 165 } }));
    EXPECT_EQ(deinterlaced(five_rows, false, false),
        (std::vector<row_value> { { 200, 55 }, { 200, 55 }, { 200, 55 }, { 7, 248 }, { 7, 248 } }));
    EXPECT_EQ(deinterlaced(five_rows, false, true),
        (std::vector<row_value> { { 200, 55 }, { 200, 55 }, { 103, 151 }, { 7, 248 }, { 7, 248 } }));
}

TEST(deinterlace, EvenHeightCopiesTheLastKeptLineDownward)
{
    const std::vector<row_value> four_rows(five_rows.begin(), five_rows.begin() + 4);
    EXPECT_EQ(deinterlaced(four_rows, true, true),
        (std::vector<row_value> { { 10, 245 }, { 30, 224 }, { 51, 204 }, { 51, 204 } }));
    EXPECT_EQ(deinterlaced(four_rows, false, true),
        (std::vector<row_value> { { 200, 55 }, { 200, 55 }, { 103, 151 }, { 7, 248 } }));
    EXPECT_EQ(deinterlaced(four_rows, true, false),
        (std::vector<row_value> { { 10, 245 }, { 10, 245 }, { 51, 204 }, { 51, 204 } }));
}

TEST(deinterlace, OneLineFrameWithTheLowerFieldTakesItsOnlyLine)
{
    // The target already has the size, so nothing but deinterlacing writes
    // its line.
    img::image<bgra> target = frame_of({ { 1, 2 } });
    lumvex::deinterlace(frame_of({ { 42, 43 } }), target, false, true);
    EXPECT_EQ(rows_of(target), (std::vector<row_value> { { 42, 43 } }));
    lumvex::deinterlace(frame_of({ { 44, 45 } }), target, false, false);
    EXPECT_EQ(rows_of(target), (std::vector<row_value> { { 44, 45 } }));
}

TEST(deinterlace, EmptyFramesStayEmpty)
{
    img::image<bgra> target = frame_of({ { 1, 2 } });
    lumvex::deinterlace(img::image<bgra>(), target, false, true);
    EXPECT_EQ(target.width, 0u);
    EXPECT_EQ(target.height, 0u);
    img::image<bgra> thin(0, 3, 4);
    lumvex::fill_other_field(thin, false, true);
}

// A key of supplier frame `frame` whose image has rows frame * 20 + 10 * y.
class supplier_key : public lumvex::avi_frame_id {
public:
    supplier_key(int frame, bool threaded = false)
        : avi_frame_id(frame, "/clips/walk.avi", 10, false)
        , m_threaded(threaded)
    {
    }
    bool can_produce() const override { return !m_threaded; }
    bool threaded() const override { return m_threaded; }
    void produce(img::image<bgra>& target) const override { target = image(frame()); }
    // Puts the frame into `cache` (a producing thread would), unless told
    // that the cache loses it.
    void request() const override
    {
        ++requests;
        if (cache != nullptr && !lose_requested)
            cache->put(boost::shared_ptr<lumvex::cached_image>(new lumvex::cached_image(
                           boost::shared_ptr<lumvex::item_id>(new supplier_key(frame())), image(frame()))),
                lumvex::placement::back);
    }
    static img::image<bgra> image(int frame)
    {
        std::vector<row_value> rows;
        for (int y = 0; y < 5; ++y)
            rows.push_back({ static_cast<unsigned char>(frame * 20 + 10 * y), 255 });
        return frame_of(rows, 2);
    }

    static inline lumvex::cache* cache = nullptr;
    static inline bool lose_requested = false;
    static inline int requests = 0;

private:
    bool m_threaded;
};

// A supplier footage of three frames at 25 frames per second through a
// memory cache, counting the frames it is asked for.
class supplier_footage : public lumvex::footage_simple_impl {
public:
    explicit supplier_footage(lumvex::cache* image_cache)
        : m_cache(image_cache)
    {
    }
    boost::shared_ptr<lumvex::item_id> frame_id(int frame) override
    {
        return boost::shared_ptr<lumvex::item_id>(new supplier_key(frame));
    }
    boost::shared_ptr<lumvex::cached_image> frame(int frame, int, bool wait) override
    {
        asked.push_back(frame);
        return wait ? m_cache->get(frame_id(frame), lumvex::placement::back) : cached_frame(frame);
    }
    boost::shared_ptr<lumvex::cached_image> cached_frame(int frame) override
    {
        return m_cache->find(frame_id(frame), lumvex::placement::back);
    }
    lumvex::cache* image_cache() const override { return m_cache; }
    void serialize(xml::stream& stream, const std::string&) override
    {
        if (stream.reading)
            lumvex::check_footage_type(stream, "test", "not a test footage");
        else
            stream.write("type", std::string("test"));
    }
    std::string path() const override { return "/clips/walk.avi"; }
    std::string description() const override { return "test footage"; }
    int frame_count() const override { return 3; }
    int first_frame_number() const override { return 4; }
    types::extent<unsigned> frame_size() const override { return { 2, 5 }; }
    bool has_alpha() const override { return true; }
    fraction frame_rate() const override { return { 25, 1 }; }

    std::vector<int> asked;

private:
    lumvex::cache* m_cache;
};

struct deinterlaced_fixture : ::testing::Test {
    lumvex::mem_cache cache { 1 << 20 };
    boost::shared_ptr<supplier_footage> supplier { new supplier_footage(&cache) };
};

using deinterlaced_footage_test = deinterlaced_fixture;

TEST_F(deinterlaced_footage_test, NestingIsRefused)
{
    boost::shared_ptr<lumvex::footage> once(
        new deinterlaced_footage(supplier, deinterlace_fields::upper_first, deinterlace_method::duplicate));
    try {
        deinterlaced_footage::wrap(once, deinterlace_fields::lower_first, deinterlace_method::interpolate);
        ADD_FAILURE() << "no error";
    } catch (const lumvex::exception& error) {
        EXPECT_EQ(std::string(error.what()), "nested deinterlacing is not allowed");
    }
    EXPECT_THROW(deinterlaced_footage { once }, lumvex::exception);
    EXPECT_THROW(deinterlaced_footage { boost::shared_ptr<lumvex::footage>() }, lumvex::exception);
    // Off leaves the footage as it is.
    EXPECT_EQ(
        deinterlaced_footage::wrap(supplier, deinterlace_fields::off, deinterlace_method::interpolate).get(),
        supplier.get());
}

TEST_F(deinterlaced_footage_test, FramePairsComeFromOneSupplierFrameWithOppositeFields)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::upper_first, deinterlace_method::duplicate);
    // Supplier frame 1 has rows 20, 30, 40, 50, 60.
    EXPECT_EQ(rows_of(footage.frame(2, 0, true)->image),
        (std::vector<row_value> { { 20, 255 }, { 20, 255 }, { 40, 255 }, { 40, 255 }, { 60, 255 } }));
    EXPECT_EQ(rows_of(footage.frame(3, 0, true)->image),
        (std::vector<row_value> { { 30, 255 }, { 30, 255 }, { 30, 255 }, { 50, 255 }, { 50, 255 } }));
    EXPECT_EQ(supplier->asked, (std::vector<int> { 1, 1 }));

    footage.set_fields(deinterlace_fields::lower_first);
    footage.set_fields(deinterlace_fields::off);
    EXPECT_EQ(footage.fields(), deinterlace_fields::lower_first);
    // Lower first: frame 0 keeps the lower field, and line 0 copies line 1.
    EXPECT_EQ(rows_of(footage.frame(0, 0, true)->image),
        (std::vector<row_value> { { 10, 255 }, { 10, 255 }, { 10, 255 }, { 30, 255 }, { 30, 255 } }));
}

// Frames below 0 go to the supplier as frames below 0 (never as frame 0), so
// that the kinds that refuse them refuse them deinterlaced too.
TEST_F(deinterlaced_footage_test, FramesBelowZeroAreRefusedAsTheSupplierRefusesThem)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::upper_first, deinterlace_method::duplicate);
    footage.frame(-1, 0, true);
    footage.frame(-2, 0, true);
    EXPECT_EQ(supplier->asked, (std::vector<int> { -1, -1 }));
    EXPECT_TRUE(footage.frame_id(-1)->equals(*footage.frame_id(-1)));
    EXPECT_FALSE(footage.frame_id(-1)->equals(*footage.frame_id(1)));

    scratch_folder folder;
    for (unsigned n = 0; n < 2; ++n)
        img::gdiplus_writer().write(
            folder.file("f_" + std::to_string(n) + ".png"), "png", picture(4, 4, n), false);
    lumvex::mem_cache memory(1 << 20);
    lumvex::coordinator reading(&memory, nullptr);
    boost::shared_ptr<lumvex::footage> sequence(new lumvex::seq_reader(folder.file("f_0.png"), &reading));
    deinterlaced_footage over_sequence(
        sequence, deinterlace_fields::upper_first, deinterlace_method::duplicate);
    EXPECT_THROW(over_sequence.frame(-1, 0, true), lumvex::exception);
    EXPECT_THROW(over_sequence.frame(-1, lumvex::frame_request::after, false), lumvex::exception);
    EXPECT_THROW(over_sequence.cached_frame(-1), lumvex::exception);
    EXPECT_THROW(over_sequence.frame_id(-1), lumvex::exception);
    EXPECT_THROW(over_sequence.frame(4, 0, true), lumvex::exception);
    EXPECT_TRUE(over_sequence.frame(3, 0, true));
}

TEST_F(deinterlaced_footage_test, FramesAreCachedUnderTheirOwnKeys)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::upper_first, deinterlace_method::interpolate);
    EXPECT_FALSE(footage.cached_frame(1));
    // Without waiting an uncached frame is only passed on to the supplier.
    EXPECT_FALSE(footage.frame(1, 0, false));
    EXPECT_EQ(supplier->asked, (std::vector<int> { 0 }));

    const auto first = footage.frame(1, 0, true);
    ASSERT_TRUE(first);
    EXPECT_EQ(footage.cached_frame(1).get(), first.get());
    EXPECT_EQ(footage.frame(1, 0, true).get(), first.get());
    EXPECT_EQ(supplier->asked.size(), 2u);
    // The cache holds the supplier's frame and the deinterlaced one.
    EXPECT_EQ(cache.count(), 2u);

    // A neighbour in the asked direction that is missing lets the supplier
    // read ahead, even though the frame itself is cached.
    EXPECT_EQ(footage.frame(1, lumvex::frame_request::after, true).get(), first.get());
    EXPECT_EQ(supplier->asked.back(), 0);
    EXPECT_EQ(supplier->asked.size(), 3u);
    footage.frame(3, 0, true);
    const std::size_t asked = supplier->asked.size();
    EXPECT_EQ(footage.frame(1, lumvex::frame_request::after, true).get(), first.get());
    EXPECT_EQ(footage.frame(1, lumvex::frame_request::before, true).get(), first.get());
    EXPECT_EQ(supplier->asked.size(), asked);
}

TEST_F(deinterlaced_footage_test, ProducingThroughTheCacheDeinterlacesTheSupplierFrame)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::lower_first, deinterlace_method::interpolate);
    const auto frame = cache.get(footage.frame_id(0), lumvex::placement::back);
    EXPECT_EQ(rows_of(frame->image),
        (std::vector<row_value> { { 10, 255 }, { 10, 255 }, { 20, 255 }, { 30, 255 }, { 30, 255 } }));
}

TEST_F(deinterlaced_footage_test, RequestWaitsForTheSupplierFrameThenPutsItsOwn)
{
    const boost::shared_ptr<lumvex::item_id> source(new supplier_key(2, true));
    lumvex::deinterlaced_item_id key(&cache, source, true, false);
    supplier_key::cache = &cache;
    supplier_key::requests = 0;
    supplier_key::lose_requested = false;
    key.request();
    EXPECT_EQ(supplier_key::requests, 1);
    const auto made = cache.find(
        boost::shared_ptr<lumvex::item_id>(new lumvex::deinterlaced_item_id(key)), lumvex::placement::keep);
    ASSERT_TRUE(made);
    EXPECT_EQ(rows_of(made->image),
        (std::vector<row_value> { { 40, 255 }, { 40, 255 }, { 60, 255 }, { 60, 255 }, { 80, 255 } }));

    // A supplier frame that never stays in the cache ends in an error, not
    // in an endless wait.
    const boost::shared_ptr<lumvex::item_id> lost(new supplier_key(1, true));
    supplier_key::lose_requested = true;
    supplier_key::requests = 0;
    EXPECT_THROW(lumvex::deinterlaced_item_id(&cache, lost, true, false).request(), lumvex::exception);
    EXPECT_EQ(supplier_key::requests, lumvex::deinterlaced_item_id::max_requests);
    supplier_key::cache = nullptr;
}

TEST_F(deinterlaced_footage_test, KeysNameTheSourceFieldAndMethod)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::lower_first, deinterlace_method::interpolate);
    EXPECT_EQ(footage.frame_id(5)->key(), "walk.000002_deinterlaced(ui)");
    EXPECT_EQ(footage.frame_id(4)->key(), "walk.000002_deinterlaced(li)");
    EXPECT_FALSE(footage.frame_id(4)->disc_cacheable());
    EXPECT_TRUE(footage.frame_id(4)->equals(*footage.frame_id(4)));
    EXPECT_FALSE(footage.frame_id(4)->equals(*footage.frame_id(5)));
    EXPECT_FALSE(footage.frame_id(4)->equals(*footage.frame_id(2)));
    EXPECT_FALSE(footage.frame_id(4)->equals(*supplier->frame_id(2)));
    const auto interpolated = footage.frame_id(4);
    footage.set_method(deinterlace_method::duplicate);
    EXPECT_FALSE(footage.frame_id(4)->equals(*interpolated));
    EXPECT_EQ(footage.frame_id(4)->key(), "walk.000002_deinterlaced(ld)");
}

TEST_F(deinterlaced_footage_test, QueriesAreTheSuppliersWithTwiceTheFramesAndRate)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::upper_first, deinterlace_method::duplicate);
    EXPECT_EQ(footage.frame_count(), 6);
    EXPECT_EQ(footage.frame_rate().numerator, 50);
    EXPECT_EQ(footage.frame_rate().denominator, 1u);
    EXPECT_EQ(footage.path(), "/clips/walk.avi");
    EXPECT_EQ(footage.files(), std::vector<std::string> { "/clips/walk.avi" });
    EXPECT_EQ(footage.description(), "test footage");
    EXPECT_EQ(footage.first_frame_number(), 4);
    EXPECT_EQ(footage.frame_size(), (types::extent<unsigned> { 2, 5 }));
    EXPECT_TRUE(footage.has_alpha());
    EXPECT_EQ(footage.image_cache(), &cache);
}

TEST_F(deinterlaced_footage_test, XmlFormHoldsFieldMethodAndSupplier)
{
    deinterlaced_footage footage(supplier, deinterlace_fields::lower_first, deinterlace_method::interpolate);
    footage_element xml_form;
    xml::stream out(xml_form.element, false);
    footage.serialize(out, "/projects/");
    std::string text;
    EXPECT_TRUE(xml_form.element.get_attribute("type", text) && text == "dil");
    EXPECT_TRUE(xml_form.element.get_attribute("field", text) && text == "lower_first");
    EXPECT_TRUE(xml_form.element.get_attribute("method", text) && text == "interpolate");
    xml::stream in(xml_form.element, true);
    EXPECT_TRUE(in.child("supplier").get_attribute("type", text) && text == "test");

    deinterlaced_footage read(supplier);
    read.serialize(in, "/projects/");
    EXPECT_EQ(read.fields(), deinterlace_fields::lower_first);
    EXPECT_EQ(read.method(), deinterlace_method::interpolate);
}

TEST_F(deinterlaced_footage_test, BadElementsAreRefused)
{
    deinterlaced_footage footage(supplier);
    auto message = [&](const char* type, const char* field, const char* method) -> std::string {
        footage_element xml_form;
        xml_form.element.set_attribute("type", type);
        if (field != nullptr)
            xml_form.element.set_attribute("field", field);
        if (method != nullptr)
            xml_form.element.set_attribute("method", method);
        xml::stream in(xml_form.element, true);
        try {
            footage.serialize(in, "/");
        } catch (const std::exception& error) {
            return error.what();
        }
        return "(no error)";
    };
    EXPECT_EQ(message("still", "upper_first", "duplicate"),
        "couldn't initialize Deinterlaced Footage from XML stream");
    EXPECT_EQ(message("dil", "off", "duplicate"), "bad value of deinterlace field value");
    EXPECT_EQ(message("dil", "sideways", "duplicate"), "attribute parse error");
    EXPECT_EQ(message("dil", "upper_first", "blend"), "attribute parse error");
    EXPECT_NE(message("dil", nullptr, "duplicate"), "(no error)");
    EXPECT_EQ(footage.fields(), deinterlace_fields::upper_first);
    EXPECT_EQ(footage.method(), deinterlace_method::duplicate);
}

} // namespace

#include "engine/encoded_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/tests/mask_test_support.h"
#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/image_error.h"
#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

namespace {

// A grey image whose pixels take every level, with rows of an odd width.
img::image<unsigned char> gradient(unsigned width, unsigned height)
{
    img::image<unsigned char> grey(width, height, 1);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            grey.at(x, y) = static_cast<unsigned char>((x * 7 + y * 31) & 0xFF);
    return grey;
}

bool same_pixels(const img::image<unsigned char>& a, const img::image<unsigned char>& b)
{
    if (a.width != b.width || a.height != b.height)
        return false;
    for (unsigned y = 0; y < a.height; ++y)
        for (unsigned x = 0; x < a.width; ++x)
            if (a.row(y)[x] != b.row(y)[x])
                return false;
    return true;
}

// The bit-image element written for `mask` and read back into `into`.
void round_trip(img::image<img::bit>& mask, img::image<img::bit>& into, std::string* attribute = nullptr)
{
    xml::sarnel doc;
    doc.create("bit_mask");
    xml::stream saving(doc.root(), false);
    trm::serialize_bit_image(saving, mask);
    if (attribute)
        *attribute = doc.root().get_attribute_or_default("encoded", "(none)");
    xml::stream loading(doc.root(), true);
    trm::serialize_bit_image(loading, into);
}

TEST(EncodedImage, GreyImageSurvivesAsAPngFileAndNoImageEncodesAsEmptyBytes)
{
    const img::image<unsigned char> grey = gradient(37, 11);
    trm::encoded_image encoded;
    encoded.encode(grey);
    EXPECT_EQ(encoded.bytes().substr(0, 4), "\x89PNG");
    img::image<unsigned char> decoded;
    encoded.decode(decoded);
    EXPECT_TRUE(same_pixels(grey, decoded));

    encoded.encode(img::image<unsigned char>());
    EXPECT_TRUE(encoded.bytes().empty());
    EXPECT_TRUE(trm::is_empty(encoded));
    encoded.decode(decoded);
    EXPECT_EQ(decoded.data, nullptr);
    EXPECT_EQ(decoded.width, 0u);

    encoded.assign("not a picture");
    try {
        encoded.decode(decoded);
        FAIL() << "decoded garbage";
    } catch (const img::io_error& e) {
        EXPECT_EQ(std::string(e.what()), "Gdiplus::Bitmap reading failure: ");
    }
}

// A smoothed mask's look: a disc whose edge fades over a few pixels.
img::image<unsigned char> soft_disc(unsigned width, unsigned height)
{
    img::image<unsigned char> grey(width, height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const double d = std::hypot(x - width / 2.0, y - height / 2.0) - height / 3.0;
            grey.row(y)[x] = static_cast<unsigned char>(std::clamp(127.5 - d * 40, 0.0, 255.0));
        }
    return grey;
}

TEST(EncodedImage, MasksCodedWithTheStandardSettingsStillDecodeAndNewOnesStaySmall)
{
    const img::image<unsigned char> grey = soft_disc(720, 576);
    std::ostringstream standard(std::ios::out | std::ios::binary);
    img::gdiplus_write_grey(standard, grey, img::image_format::png);
    trm::encoded_image encoded;
    encoded.assign(standard.str());
    img::image<unsigned char> decoded;
    encoded.decode(decoded);
    EXPECT_TRUE(same_pixels(grey, decoded));

    encoded.encode(grey);
    EXPECT_LT(encoded.bytes().size(), 720u * 576u / 20);
    decoded.clear();
    encoded.decode(decoded);
    EXPECT_TRUE(same_pixels(grey, decoded));
}

TEST(EncodedImage, SeveralThreadsDecodeOneStoredImageAtOnce)
{
    const img::image<unsigned char> grey = gradient(64, 48);
    trm::encoded_image encoded;
    encoded.encode(grey);
    const trm::encoded_image& shared = encoded;

    std::vector<int> failures(6, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < failures.size(); ++t)
        threads.emplace_back([&shared, &grey, &failures, t] {
            for (int i = 0; i < 40; ++i) {
                img::image<unsigned char> decoded;
                shared.decode(decoded);
                if (!same_pixels(grey, decoded))
                    ++failures[t];
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (const int count : failures)
        EXPECT_EQ(count, 0);
}

TEST(HexText, BytesBecomeTwoLowercaseDigitsAndTextIsReadInPairsSkippingWhiteSpace)
{
    EXPECT_EQ(trm::to_hex(std::string("\x0a\xff\x00\x10", 4)), "0aff0010");
    EXPECT_EQ(trm::from_hex(" 0a\n F F\t00 1"), std::string("\x0a\xff\x00", 3));
    // A pair that does not parse gives 0; one that parses partly, its prefix.
    EXPECT_EQ(trm::from_hex("zz3z"), std::string("\x00\x03", 2));
    EXPECT_EQ(trm::from_hex(""), "");
}

TEST(BitImageElement, MaskSurvivesAsHexadecimalPngAndEmptyTextEmptiesTheMask)
{
    std::mt19937 random(6);
    img::image<img::bit> mask = trm::testing::random_mask(37, 11, 0.4, random);
    img::image<img::bit> loaded;
    std::string attribute;
    round_trip(mask, loaded, &attribute);
    EXPECT_EQ(attribute.substr(0, 8), "89504e47");
    EXPECT_EQ(loaded.alignment, 4u);
    EXPECT_EQ(trm::testing::rows_of(loaded), trm::testing::rows_of(mask));

    // No pixels: no attribute; loading that empties an owned mask and lets
    // go of a lent buffer without freeing it.
    img::image<img::bit> none;
    round_trip(none, loaded, &attribute);
    EXPECT_EQ(attribute, "(none)");
    EXPECT_EQ(loaded.data, nullptr);

    unsigned char lent[4 * 2] = {};
    img::image<img::bit> borrowing;
    borrowing.attach(lent, 8, 2, 4);
    round_trip(none, borrowing);
    EXPECT_EQ(borrowing.data, nullptr);
}

TEST(BitImageElement, TextThatIsNoImageFailsAndLeavesTheMask)
{
    xml::sarnel doc;
    doc.parse("<bit_mask encoded=\"89504e470d0a1a0a0000\"/>");
    xml::stream loading(doc.root(), true);
    img::image<img::bit> mask = trm::testing::filled_mask(5, 5, true);
    EXPECT_THROW(trm::serialize_bit_image(loading, mask), img::io_error);
    EXPECT_EQ(mask.width, 5u);
    EXPECT_EQ(mask.count(), 25u);
}

} // namespace

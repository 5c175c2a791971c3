#include "lumvex/footage/still_footage.h"

#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/image_error.h"
#include "foundation/files/tests/bmp_bytes.h"
#include "foundation/files/tests/image_headers.h"
#include "foundation/numbers/extent.h"
#include "lumvex/cache/mem_cache.h"
#include "lumvex/exception.h"
#include "lumvex/files/gdiplus_reader.h"
#include "lumvex/files/image_codec.h"
#include "lumvex/footage/seq_reader.h"
#include "lumvex/tests/cache_test_support.h"
#include "lumvex/tests/footage_element.h"
#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace cache_test;
using lumvex::still_footage;
namespace fs = std::filesystem;

namespace {

// Writes a picture file; with `transparent` a PNG with alpha.
void write_picture(const std::string& path, const std::string& format, bool transparent, unsigned seed = 1)
{
    img::image<bgra> image = picture(6, 5, seed);
    if (transparent)
        image.row(0)[0].a = 10;
    img::gdiplus_writer().write(path, format, image, transparent);
}

} // namespace

TEST(still_footage, IsOneFrameThatEveryFrameNumberShares)
{
    scratch_folder folder;
    write_picture(folder.file("plate.png"), "png", false);
    lumvex::mem_cache cache(1 << 20);
    still_footage footage(folder.file("plate.png"), &cache);
    EXPECT_EQ(footage.frame_count(), 1);
    EXPECT_EQ(footage.first_frame_number(), 0);
    EXPECT_EQ(footage.frame_rate().numerator, 0);
    EXPECT_EQ(footage.frame_rate().denominator, 0u);
    EXPECT_EQ(footage.frame_size(), (types::extent<unsigned> { 6, 5 }));
    EXPECT_EQ(footage.path(), folder.file("plate.png"));
    EXPECT_EQ(footage.description(), "image '" + folder.file("plate.png") + "'");
    EXPECT_EQ(footage.image_cache(), &cache);
    footage.set_fields(lumvex::deinterlace_fields::upper_first);
    footage.set_method(lumvex::deinterlace_method::interpolate);
    EXPECT_EQ(footage.fields(), lumvex::deinterlace_fields::off);
    EXPECT_EQ(footage.method(), lumvex::deinterlace_method::duplicate);

    EXPECT_FALSE(footage.cached_frame(0));
    const auto frame = footage.frame(0, 3, false);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(same_pixels(frame->image, picture(6, 5, 1)));
    for (int number : { -5, 1, 7 }) {
        EXPECT_EQ(footage.frame(number, 0, true).get(), frame.get());
        EXPECT_EQ(footage.cached_frame(number).get(), frame.get());
    }
    EXPECT_EQ(cache.count(), 1u);
}

TEST(still_footage, FilesWhoseNamesDifferOnlyInCaseAreTwoPictures)
{
    scratch_folder folder;
    write_picture(folder.file("plate.png"), "png", false, 1);
    write_picture(folder.file("PLATE.png"), "png", false, 2);
    lumvex::mem_cache cache(1 << 20);
    still_footage lower(folder.file("plate.png"), &cache);
    still_footage upper(folder.file("PLATE.png"), &cache);
    EXPECT_FALSE(lower.frame_id(0)->equals(*upper.frame_id(0)));
    EXPECT_TRUE(same_pixels(lower.frame(0, 0, true)->image, picture(6, 5, 1)));
    EXPECT_TRUE(same_pixels(upper.frame(0, 0, true)->image, picture(6, 5, 2)));
    EXPECT_EQ(cache.count(), 2u);
}

TEST(still_footage, AFileReplacedAtTheSamePathIsReadAgain)
{
    scratch_folder folder;
    write_picture(folder.file("plate.png"), "png", false, 1);
    lumvex::mem_cache cache(1 << 20);
    still_footage footage(folder.file("plate.png"), &cache);
    EXPECT_TRUE(same_pixels(footage.frame(0, 0, true)->image, picture(6, 5, 1)));
    // Written beside it and renamed over it: the same size, another file.
    write_picture(folder.file("plate.new.png"), "png", false, 2);
    fs::rename(folder.file("plate.new.png"), folder.file("plate.png"));
    EXPECT_TRUE(same_pixels(footage.frame(0, 0, true)->image, picture(6, 5, 2)));
}

TEST(still_footage, HasAlphaForATransparentPngOnly)
{
    scratch_folder folder;
    write_picture(folder.file("cut.png"), "png", true);
    write_picture(folder.file("photo.jpg"), "jpeg", false);
    lumvex::mem_cache cache(1 << 20);
    EXPECT_TRUE(still_footage(folder.file("cut.png"), &cache).has_alpha());
    EXPECT_FALSE(still_footage(folder.file("photo.jpg"), &cache).has_alpha());
}

TEST(still_footage, OpeningAnUnreadableFileFailsAndKeepsTheFootage)
{
    scratch_folder folder;
    write_picture(folder.file("plate.png"), "png", false);
    std::ofstream(folder.file("text.png")) << "not a picture";
    lumvex::mem_cache cache(1 << 20);
    still_footage footage(folder.file("plate.png"), &cache);
    for (const std::string& name : { std::string("text.png"), std::string("missing.png") }) {
        try {
            footage.open(folder.file(name));
            ADD_FAILURE() << name;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()),
                "could not read file or unknown image format: " + folder.file(name));
        }
    }
    EXPECT_EQ(footage.path(), folder.file("plate.png"));
    EXPECT_EQ(footage.frame_size(), (types::extent<unsigned> { 6, 5 }));
}

// A real 17000 x 17000 PNG (one bit per pixel, so it stays small) and the
// headers of other formats claiming that size pass the limit of 2^28
// pixels: the message says only that the image is too large, with its size,
// the limit and the file, as footage and as the first member of a sequence.
TEST(still_footage, AnImageTooLargeToReadIsRefusedNamingTheLimit)
{
    scratch_folder folder;
    const std::string path = folder.file("huge.png");
    {
        img::image<img::bit> blank(17000, 17000, 4);
        blank.fill(false);
        std::ofstream out(path, std::ios::binary);
        img::gdiplus_write_bit(out, blank, img::image_format::png);
    }
    std::vector<std::string> files = { path };
    const auto write = [&](const std::string& name, const std::string& data) {
        std::ofstream(folder.file(name), std::ios::binary) << data;
        files.push_back(folder.file(name));
    };
    const std::vector<std::uint8_t> bmp
        = test_support::bmp_file({ 40, 17000, 17000, 24, 0, 0, {}, std::vector<std::uint8_t>(64) });
    write("huge.bmp", { bmp.begin(), bmp.end() });
    write("huge.jpg", test_support::jpeg_header(17000, 17000));
    write("huge.gif", test_support::gif_header(17000, 17000));
    write("huge.tif", test_support::tiff_header(17000, 17000));
    // A true-colour TGA header: 17000 x 17000 pixels of 32 bits, no data.
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = tga[14] = static_cast<char>(17000 & 0xFF);
    tga[13] = tga[15] = static_cast<char>(17000 >> 8);
    tga[16] = 32;
    write("huge.tga", tga);
    lumvex::mem_cache cache(1 << 20);
    for (const std::string& file : files) {
        const std::string expected
            = "the image is too large: 17000 x 17000 pixels, more than the limit of 268435456 pixels: "
            + file;
        try {
            still_footage footage(file, &cache);
            ADD_FAILURE() << "opened " << file;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), expected);
        }
        try {
            lumvex::seq_reader footage(file, &cache);
            ADD_FAILURE() << "opened as a sequence " << file;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), expected);
        }
        // Read as a file, whichever reader the list chooses.
        img::image<bgra> picture;
        try {
            img::default_readers().read(file, picture);
            ADD_FAILURE() << "read " << file;
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), expected);
            EXPECT_NE(dynamic_cast<const img::too_large*>(&error), nullptr) << file;
        }
    }
}

TEST(still_footage, AFileThatBecameUnreadableFailsWhenItsFrameIsAskedFor)
{
    scratch_folder folder;
    write_picture(folder.file("plate.png"), "png", false);
    lumvex::mem_cache cache(1 << 20);
    still_footage footage(folder.file("plate.png"), &cache);
    fs::remove(folder.file("plate.png"));
    EXPECT_ANY_THROW(footage.frame(0, 0, true));
    EXPECT_EQ(cache.count(), 0u);
}

TEST(still_footage, RoundTripsThroughItsXmlElementWithAPathRelativeToTheProject)
{
    scratch_folder folder;
    fs::create_directories(folder.file("project/frames"));
    write_picture(folder.file("project/frames/plate.png"), "png", false);
    const std::string base = folder.file("project") + "/";
    lumvex::mem_cache cache(1 << 20);
    still_footage written(folder.file("project/frames/plate.png"), &cache);

    footage_element xml_form;
    xml::stream out(xml_form.element, false);
    written.serialize(out, base);
    std::string text;
    ASSERT_TRUE(xml_form.element.get_attribute("type", text));
    EXPECT_EQ(text, "still");
    ASSERT_TRUE(xml_form.element.get_attribute("path", text));
    EXPECT_EQ(text, "frames\\plate.png");

    still_footage read("", &cache);
    xml::stream in(xml_form.element, true);
    read.serialize(in, base);
    EXPECT_EQ(read.path(), written.path());
    EXPECT_EQ(read.frame_size(), written.frame_size());
}

// Folder names such as "1:1" or "4:3 crop" are written first in the stored
// path; they are names, not drives, and read back below the project.
TEST(still_footage, FoldersNamedLikeDrivesReadBackBelowTheProject)
{
    scratch_folder folder;
    const std::string base = folder.file("project") + "/";
    lumvex::mem_cache cache(1 << 20);
    for (const std::string inner : { "1:1", "4:3 crop" }) {
        fs::create_directories(folder.file("project/" + inner));
        const std::string file = folder.file("project/" + inner + "/plate.png");
        write_picture(file, "png", false);
        still_footage written(file, &cache);
        footage_element xml_form;
        xml::stream out(xml_form.element, false);
        written.serialize(out, base);
        std::string text;
        ASSERT_TRUE(xml_form.element.get_attribute("path", text));
        EXPECT_EQ(text, inner + "\\plate.png");

        still_footage read("", &cache);
        xml::stream in(xml_form.element, true);
        read.serialize(in, base);
        EXPECT_EQ(read.path(), file);
    }
}

TEST(still_footage, ReadingAnElementOfAnotherKindOrWithoutPathFails)
{
    lumvex::mem_cache cache(1 << 20);
    still_footage footage("", &cache);
    footage_element avi;
    avi.element.set_attribute("type", "avi");
    avi.element.set_attribute("path", "clip.avi");
    xml::stream avi_stream(avi.element, true);
    try {
        footage.serialize(avi_stream, "/projects/");
        ADD_FAILURE() << "no error";
    } catch (const lumvex::exception& error) {
        EXPECT_EQ(std::string(error.what()), "couldn't initialize Still Footage from XML stream");
    }

    footage_element untyped;
    xml::stream untyped_stream(untyped.element, true);
    EXPECT_THROW(footage.serialize(untyped_stream, "/projects/"), xml::attribute_not_found);

    footage_element pathless;
    pathless.element.set_attribute("type", "still");
    xml::stream pathless_stream(pathless.element, true);
    EXPECT_THROW(footage.serialize(pathless_stream, "/projects/"), xml::attribute_not_found);
    EXPECT_EQ(footage.path(), "");
}

TEST(footage, DeinterlaceWordsAreTheXmlOnes)
{
    footage_element xml_form;
    xml_form.element.write("field", lumvex::deinterlace_fields::lower_first);
    xml_form.element.write("method", lumvex::deinterlace_method::interpolate);
    std::string text;
    xml_form.element.get_attribute("field", text);
    EXPECT_EQ(text, "lower_first");
    xml_form.element.get_attribute("method", text);
    EXPECT_EQ(text, "interpolate");
    EXPECT_EQ(
        xml_form.element.read<lumvex::deinterlace_fields>("field"), lumvex::deinterlace_fields::lower_first);
    xml_form.element.set_attribute("field", "sideways");
    EXPECT_THROW(xml_form.element.read<lumvex::deinterlace_fields>("field"), xml::attribute_parse_error);
}

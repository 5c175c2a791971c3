#include "vortel/codec_registry.h"

#include "foundation/files/image_error.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace vortel_test;

TEST(CodecRegistry, ExtensionNoCodecWritesGetsTheLastCodecsError)
{
    scratch_folder folder;
    img::codec_registry registry;
    try {
        registry.write(folder.file("a.xyz"), "xyz", make_frame(2, 2, test_pixels(2, 2, 0)), false);
        FAIL();
    } catch (const img::io_error& e) {
        EXPECT_EQ(e.message(), "file format is not supported");
    }
    EXPECT_FALSE(fs::exists(folder.file("a.xyz")));
}

TEST(CodecRegistry, TgaFailureIsReportedAsItself)
{
    // Only the own codec writes TGA: its failure must not turn into "file
    // format is not supported" from a codec that never writes TGA.
    scratch_folder folder;
    img::codec_registry registry;
    EXPECT_THROW(
        registry.write(folder.file("missing/a.tga"), "TGA", make_frame(2, 2, test_pixels(2, 2, 0)), false),
        std::ios_base::failure);
    try {
        registry.write(folder.file("w.tga"), "TGA", frame(70000, 1), false);
        FAIL();
    } catch (const img::io_error& e) {
        EXPECT_EQ(e.message(), "image is too large for the file format");
    }
}

TEST(CodecRegistry, ListsEveryExtensionOnceInCodecOrder)
{
    img::codec_registry registry;
    std::vector<std::string> list;
    registry.extensions(list);
    EXPECT_EQ(list, (std::vector<std::string> { "BMP", "TGA", "JPEG", "JPG", "GIF", "TIF", "TIFF", "PNG" }));
    EXPECT_EQ(registry.filter(), "*.BMP;*.TGA;*.JPEG;*.JPG;*.GIF;*.TIF;*.TIFF;*.PNG");
    EXPECT_TRUE(registry.supports("Png"));
    EXPECT_TRUE(registry.supports("tga"));
    EXPECT_FALSE(registry.supports("avi"));
    EXPECT_FALSE(registry.supports(""));
    EXPECT_FALSE(registry.supports("PN"));
}

TEST(CodecRegistry, EachFormatIsWrittenAndReadsBack)
{
    scratch_folder folder;
    img::codec_registry registry;
    const auto p = smooth_picture(24, 16, 3);
    const frame f = make_frame(24, 16, p);
    for (const char* ext : { "bmp", "Tga", "PNG", "tiff", "gif", "jpg" }) {
        const std::string path = folder.file(std::string("a.") + ext);
        registry.write(path, ext, f, false);
        frame back;
        img::default_readers().read(path, back);
        ASSERT_EQ(back.width, 24u) << ext;
        ASSERT_EQ(back.height, 16u) << ext;
        const std::string e = ext;
        if (e == "jpg") {
            EXPECT_GT(platform::testing::psnr(pixels_of(back).data(), p.data(), 24 * 16), 30.0);
        } else if (e != "gif") {
            EXPECT_TRUE(same_colours(pixels_of(back), p)) << ext;
        }
    }
}

TEST(CodecRegistry, AlphaReachesTheFile)
{
    scratch_folder folder;
    img::codec_registry registry;
    const auto p = test_pixels(8, 8, 1);
    for (const char* ext : { "bmp", "tga", "png" }) {
        const std::string path = folder.file(std::string("a.") + ext);
        registry.write(path, ext, make_frame(8, 8, p), true);
        frame back;
        img::default_readers().read(path, back);
        EXPECT_EQ(pixels_of(back), p) << ext;
    }
}

} // namespace

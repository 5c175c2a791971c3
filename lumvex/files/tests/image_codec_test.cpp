#include "lumvex/files/image_codec.h"

#include "foundation/files/image_error.h"
#include "foundation/files/tests/bmp_bytes.h"
#include "lumvex/files/bmp_tga_reader.h"
#include "lumvex/files/gdiplus_reader.h"

#include <gtest/gtest.h>

#include <system_error>

using bgra = img::BGRA<unsigned char>;

namespace {

img::image<bgra> test_picture(unsigned w, unsigned h, unsigned char alpha)
{
    img::image<bgra> picture(w, h, 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            picture.at(x, y) = bgra { static_cast<unsigned char>(x * 20), static_cast<unsigned char>(y * 30),
                static_cast<unsigned char>(100 + x), alpha };
    return picture;
}

int colour_error(const img::image<bgra>& a, const img::image<bgra>& b)
{
    int worst = 0;
    for (unsigned y = 0; y < a.height; ++y)
        for (unsigned x = 0; x < a.width; ++x) {
            const bgra p = a.at(x, y), q = b.at(x, y);
            worst = std::max({ worst, std::abs(p.b - q.b), std::abs(p.g - q.g), std::abs(p.r - q.r) });
        }
    return worst;
}

// A reader that records whether it was asked to read.
class recording_reader : public img::reader {
public:
    recording_reader(bool probes, bool accepts, std::vector<std::string> own)
        : m_probes(probes)
        , m_accepts(accepts)
        , m_own(std::move(own))
    {
    }
    void extensions(std::vector<std::string>& out) const override
    {
        out.insert(out.end(), m_own.begin(), m_own.end());
    }
    bool info(const std::string&, const std::string&, img::image_info*) const override { return m_accepts; }
    bool info(const std::string&, img::image_info*) const override { return m_accepts; }
    bool can_probe() const override { return m_probes; }
    void read(const std::string&, const std::string&, img::image<bgra>&) const override { ++reads; }
    void read(const std::string&, img::image<bgra>&) const override { ++reads; }
    mutable int reads = 0;

private:
    bool m_probes;
    bool m_accepts;
    std::vector<std::string> m_own;
};

} // namespace

TEST(ReaderList, DefaultListOffersEachExtensionOnce)
{
    std::vector<std::string> extensions;
    img::default_readers().extensions(extensions);
    EXPECT_EQ(
        extensions, (std::vector<std::string> { "BMP", "TGA", "JPEG", "JPG", "GIF", "TIF", "TIFF", "PNG" }));
    EXPECT_EQ(img::default_readers().filter(), "*.BMP;*.TGA;*.JPEG;*.JPG;*.GIF;*.TIF;*.TIFF;*.PNG");
    EXPECT_TRUE(img::default_readers().can_probe());
}

TEST(ReaderList, ReadsWithTheFirstReaderThatTakesTheFile)
{
    img::reader_list list;
    auto* refusing = new recording_reader(true, false, { "A" });
    auto* accepting = new recording_reader(true, true, { "B", "A" });
    auto* last = new recording_reader(true, false, { "C" });
    list.add(std::unique_ptr<img::reader>(refusing));
    list.add(std::unique_ptr<img::reader>(accepting));
    list.add(std::unique_ptr<img::reader>(last));
    img::image<bgra> out;
    list.read("x", out);
    list.read("x", "FMT", out);
    EXPECT_EQ(refusing->reads, 0);
    EXPECT_EQ(accepting->reads, 2);
    EXPECT_TRUE(list.info("x", nullptr));

    img::reader_list none;
    auto* only = new recording_reader(true, false, {});
    none.add(std::unique_ptr<img::reader>(only));
    none.read("x", out);
    EXPECT_EQ(only->reads, 1);
    EXPECT_FALSE(none.info("x", nullptr));
}

TEST(ReaderList, BmpGoesToOwnReaderAndPngToPlatformReader)
{
    test_support::scratch_folder folder;
    const auto picture = test_picture(5, 4, 255);
    img::gdiplus_writer writer;
    writer.write(folder.file("p.png"), "png", picture, false);
    writer.write(folder.file("b.bmp"), "BMP", picture, false);
    img::image<bgra> out;
    img::default_readers().read(folder.file("p.png"), out);
    EXPECT_EQ(colour_error(out, picture), 0);
    EXPECT_EQ(out.at(0, 0).get().a, 255);
    // The own reader gives 24-bit BMP pixels alpha 0; the platform's 255.
    img::default_readers().read(folder.file("b.bmp"), out);
    EXPECT_EQ(colour_error(out, picture), 0);
    EXPECT_EQ(out.at(0, 0).get().a, 0);
    img::image_info info;
    ASSERT_TRUE(img::default_readers().info(folder.file("p.png"), &info));
    EXPECT_EQ(info.bits_per_pixel, 24u);
    EXPECT_EQ(info.fourth, 0u);
}

TEST(GdiplusWriter, EveryFormatRoundTripsThroughTheReader)
{
    test_support::scratch_folder folder;
    const auto picture = test_picture(9, 7, 255);
    img::gdiplus_writer writer;
    img::gdiplus_reader reader;
    for (const char* name : { "BMP", "JPG", "JPEG", "GIF", "TIF", "TIFF", "PNG", "png" }) {
        const std::string format = name;
        const std::string path = folder.file("f." + format);
        writer.write(path, format, picture, false);
        img::image<bgra> out;
        out.top_down = false;
        reader.read(path, out);
        EXPECT_FALSE(out.top_down);
        ASSERT_EQ(out.width, 9u) << format;
        const int bound = format[0] == 'J' ? 32 : format == "GIF" ? 26 : 0;
        EXPECT_LE(colour_error(out, picture), bound) << format;
        // JPEG data starts with its marker: "jpg" chose the JPEG encoder.
        if (format == "JPG") {
            EXPECT_EQ(folder.read("f.JPG")[0], 0xFF);
        }
    }
}

TEST(GdiplusWriter, AlphaIsKeptOnlyWhenAsked)
{
    test_support::scratch_folder folder;
    const auto picture = test_picture(4, 3, 90);
    img::gdiplus_writer writer;
    img::image_info info;
    img::gdiplus_reader reader;
    writer.write(folder.file("a.png"), "PNG", picture, true);
    ASSERT_TRUE(reader.info(folder.file("a.png"), &info));
    EXPECT_EQ(info.bits_per_pixel, 32u);
    writer.write(folder.file("o.png"), "PNG", picture, false);
    ASSERT_TRUE(reader.info(folder.file("o.png"), &info));
    EXPECT_EQ(info.bits_per_pixel, 24u);
    writer.write(folder.file("j.jpg"), "JPEG", picture, true);
    ASSERT_TRUE(reader.info(folder.file("j.jpg"), &info));
    EXPECT_EQ(info.bits_per_pixel, 24u);
}

TEST(GdiplusWriter, FailuresNeverDestroyTheExistingFile)
{
    test_support::scratch_folder folder;
    const std::string path = folder.write("keep.png", { 1, 2, 3, 4 });
    img::gdiplus_writer writer;
    try {
        writer.write(path, "tga", test_picture(2, 2, 255), false);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()), "file format is not supported: tga");
    }
    try {
        writer.write(path, "PNG", img::image<bgra>(), false);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()), "Gdiplus::Bitmap::Save failure: " + path);
    }
    EXPECT_EQ(folder.read("keep.png"), (std::vector<std::uint8_t> { 1, 2, 3, 4 }));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    const std::string nowhere = folder.file("missing/x.png");
    try {
        writer.write(nowhere, "PNG", test_picture(2, 2, 255), false);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()),
            "could not open image file for writing or write error: " + std::system_category().message(ENOENT)
                + ": " + nowhere);
    }
}

TEST(GdiplusReader, BadFilesGiveTheirErrors)
{
    test_support::scratch_folder folder;
    img::gdiplus_reader reader;
    img::image<bgra> out;
    const std::string missing = folder.file("none.png");
    try {
        reader.read(missing, out);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_EQ(
            std::string(error.what()), "could not open image file for reading or read error: " + missing);
    }
    const std::string text = folder.write("t.png", { 'h', 'e', 'l', 'l', 'o' });
    try {
        reader.read(text, out);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()),
            "Gdiplus::Bitmap reading failure: the data is not an image of a known format: " + text);
        EXPECT_EQ(error.subject(), text);
    }
    EXPECT_FALSE(reader.info(text, nullptr));
    EXPECT_FALSE(reader.info(missing, nullptr));
}

TEST(GdiplusReader, ReadErrorsOfEveryFormatGiveTheSentenceTheReasonAndTheFile)
{
    test_support::scratch_folder folder;
    const img::gdiplus_writer writer;
    int refused = 0;
    for (const char* format : { "PNG", "JPEG", "GIF", "TIFF" }) {
        const std::string good = folder.file(std::string("good.") + format);
        writer.write(good, format, test_picture(40, 30, 255), false);
        const std::vector<std::uint8_t> bytes = folder.read(std::string("good.") + format);
        // The header alone, and the header with its pixel data cut short.
        for (const std::size_t keep : { std::size_t(12), bytes.size() / 2 }) {
            const std::string name = std::string("cut") + std::to_string(keep) + "." + format;
            const std::string path = folder.write(name, { bytes.begin(), bytes.begin() + long(keep) });
            img::image<bgra> out;
            try {
                img::default_readers().read(path, out);
                // A decoder may take a cut file as far as it goes.
                continue;
            } catch (const img::io_error& error) {
                const std::string what = error.what();
                const std::string reading = "Gdiplus::Bitmap reading failure: ";
                const std::string locking = "Gdiplus::Bitmap::LockBits failure: ";
                EXPECT_TRUE(what.rfind(reading, 0) == 0 || what.rfind(locking, 0) == 0) << what;
                ASSERT_GT(what.size(), reading.size() + path.size() + 2) << what;
                EXPECT_EQ(what.substr(what.size() - path.size() - 2), ": " + path) << what;
                EXPECT_FALSE(error.reason().empty()) << what;
                EXPECT_EQ(error.subject(), path);
                ++refused;
            }
        }
    }
    EXPECT_GE(refused, 4);
    // A claimed size beyond the limits says so.
    const std::string huge = folder.write(
        "huge.png", test_support::bmp_file({ 40, 1 << 20, 30, 24, 0, 0, {}, std::vector<std::uint8_t>(64) }));
    img::image<bgra> out;
    try {
        img::default_readers().read(huge, out);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_NE(std::string(error.what()).find("1048576 x 30"), std::string::npos) << error.what();
    }
}

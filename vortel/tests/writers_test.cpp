#include "vortel/field_interlacing_writer.h"
#include "vortel/image_sequence_writer.h"

#include "foundation/files/image_error.h"
#include "lumvex/files/image_codec.h"
#include "platform/video/avi_file.h"
#include "vortel/settings.h"
#include "vortel/tests/support.h"
#include "vortel/text.h"
#include "vortel/writer_factory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <system_error>

namespace {

using namespace vortel_test;

// Keeps what reaches it.
class recording_writer : public vortel::writer {
public:
    explicit recording_writer(std::vector<std::vector<std::uint8_t>>* out)
        : m_out(out)
    {
    }
    void write(const frame& f) override { m_out->push_back(pixels_of(f)); }

private:
    std::vector<std::vector<std::uint8_t>>* m_out;
};

// Rows of one colour per frame: frame k has every byte k + 1 and alpha 255.
std::vector<std::uint8_t> flat(unsigned w, unsigned h, int k)
{
    std::vector<std::uint8_t> p(std::size_t(w) * h * 4, std::uint8_t(k + 1));
    return p;
}

std::vector<std::string> files_in(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FieldInterlacingWriter, SecondFrameOfAnotherSizeThrows)
{
    std::vector<std::vector<std::uint8_t>> got;
    vortel::field_interlacing_writer w(std::make_unique<recording_writer>(&got), true);
    w.write(make_frame(4, 4, flat(4, 4, 0)));
    EXPECT_THROW(w.write(make_frame(4, 5, flat(4, 5, 1))), img::io_error);
    EXPECT_TRUE(got.empty());
}

TEST(FieldInterlacingWriter, BothFieldOrdersTakeTheirRowsFromTheSecondFrame)
{
    for (bool odd : { true, false }) {
        std::vector<std::vector<std::uint8_t>> got;
        {
            vortel::field_interlacing_writer w(std::make_unique<recording_writer>(&got), odd);
            for (int k = 0; k < 5; ++k)
                w.write(make_frame(3, 5, flat(3, 5, k), k % 2 == 0));
        }
        // Five frames make two; the fifth is dropped.
        ASSERT_EQ(got.size(), 2u);
        for (int pair = 0; pair < 2; ++pair)
            for (unsigned y = 0; y < 5; ++y) {
                const bool from_second = (y % 2 == 1) == odd;
                EXPECT_EQ(got[std::size_t(pair)][y * 12], std::uint8_t(2 * pair + (from_second ? 2 : 1)))
                    << "odd " << odd << " pair " << pair << " row " << y;
            }
    }
}

// Counts finishes; throws from finish when asked to.
class finishing_writer : public vortel::writer {
public:
    finishing_writer(int* finished, bool fail)
        : m_finished(finished)
        , m_fail(fail)
    {
    }
    void write(const frame&) override { }
    void finish() override
    {
        ++*m_finished;
        if (m_fail)
            throw img::io_error("cannot complete", "inner");
    }

private:
    int* m_finished;
    bool m_fail;
};

TEST(FieldInterlacingWriter, FinishReachesTheInnerWriterWithItsFailure)
{
    int finished = 0;
    vortel::field_interlacing_writer w(std::make_unique<finishing_writer>(&finished, false), true);
    w.write(make_frame(2, 2, flat(2, 2, 0)));
    w.finish();
    EXPECT_EQ(finished, 1);
    vortel::field_interlacing_writer failing(std::make_unique<finishing_writer>(&finished, true), false);
    EXPECT_THROW(failing.finish(), img::io_error);
    EXPECT_EQ(finished, 2);
}

TEST(ImageSequenceWriter, NamesFollowThePattern)
{
    scratch_folder folder;
    const frame f = make_frame(2, 2, test_pixels(2, 2, 0));
    {
        vortel::image_sequence_writer w(folder.file("a.png"), false, "");
        w.write(f);
        w.write(f);
        w.finish();
    }
    {
        vortel::image_sequence_writer w(folder.file("shot_[###].tga"), false, "tga");
        w.write(f);
        w.write(f);
        w.finish();
    }
    {
        vortel::image_sequence_writer w(folder.file("a##b.jpg"), false, ".jpg");
        for (int i = 0; i < 101; ++i)
            w.write(f);
        w.finish();
    }
    auto names = files_in(folder.root());
    for (const char* expected :
        { "a000.png", "a001.png", "shot_000.tga", "shot_001.tga", "a00b.jpg", "a99b.jpg", "a100b.jpg" })
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    EXPECT_EQ(names.size(), 2u + 2u + 101u);
}

TEST(ImageSequenceWriter, HashInAFolderNameIsNoCounter)
{
    scratch_folder folder;
    fs::create_directories(folder.root() / "take#2");
    vortel::image_sequence_writer w(folder.file("take#2/frame.bmp"), false, "");
    w.write(make_frame(2, 2, test_pixels(2, 2, 0)));
    w.finish();
    EXPECT_TRUE(fs::exists(folder.root() / "take#2" / "frame000.bmp"));
}

TEST(ImageSequenceWriter, FormatFollowsTheExtensionNotTheName)
{
    scratch_folder folder;
    vortel::image_sequence_writer w(folder.file("a.bmp"), false, "png");
    w.write(make_frame(2, 2, test_pixels(2, 2, 0)));
    w.finish();
    std::ifstream in(folder.file("a000.bmp"), std::ios::binary);
    char head[4] = {};
    in.read(head, 4);
    EXPECT_EQ(std::string(head + 1, 3), "PNG");
}

// The message names the system's reason and the file, for the library's
// own BMP writer and the platform's encoders alike.
TEST(ImageSequenceWriter, FileThatCannotBeWrittenNamesTheReasonAndTheFile)
{
    scratch_folder folder;
    std::ofstream(folder.file("plain")) << "a file, not a folder";
    for (const std::string extension : { "bmp", "png" }) {
        vortel::image_sequence_writer w(folder.file("plain/f_[##]." + extension), false, "");
        try {
            w.write(make_frame(2, 2, test_pixels(2, 2, 0)));
            FAIL() << extension;
        } catch (const img::io_error& e) {
            EXPECT_EQ(std::string(e.what()),
                "could not open image file for writing or write error: "
                    + std::system_category().message(ENOTDIR) + ": "
                    + folder.file("plain/f_00." + extension));
        }
    }
    EXPECT_EQ(files_in(folder.root()), std::vector<std::string> { "plain" });
}

// A writer that is neither finished nor discarded (its render's end never
// reached it) puts nothing in place and leaves nothing of its own: AVI and
// sequence, plain and field-rendered.
TEST(Writers, DestroyedWithoutFinishLeaveTheFolderAsItWas)
{
    for (const std::string path : { "clip.avi", "f_[##].png" })
        for (const int field : { 0, 2 }) {
            scratch_folder folder;
            for (const char* name : { "clip.avi", "f_00.png", "f_01.png" })
                std::ofstream(folder.file(name)) << "the earlier render";
            const auto before = folder_contents(folder.root());
            vortel::settings s;
            s.format = vortel::file_extension(path);
            s.field = field;
            s.encoder.open_code(s.encoder_info, platform::mmioFOURCC('D', 'I', 'B', ' '));
            {
                auto w = s.silent_open_writer({ 4, 4 }, fraction(25, 1), folder.file(path));
                ASSERT_NE(w, nullptr) << path;
                for (int k = 0; k < 5; ++k)
                    w->write(make_frame(4, 4, flat(4, 4, k)));
            }
            EXPECT_EQ(folder_contents(folder.root()), before) << path << " field " << field;
        }
}

TEST(WriterFactory, AviWithoutACompressorIsRefusedWithAMessage)
{
    scratch_folder folder;
    message_boxes boxes;
    vortel::settings s;
    EXPECT_EQ(s.silent_open_writer({ 8, 8 }, fraction(25, 1), folder.file("a.AVI")), nullptr);
    ASSERT_EQ(message_boxes::shown().size(), 1u);
    EXPECT_EQ(message_boxes::shown()[0].first, "Please choose AVI coder in Rendering Settings dialog.");
    EXPECT_EQ(message_boxes::shown()[0].second, platform::MB_ICONEXCLAMATION | platform::MB_OK);
    EXPECT_FALSE(fs::exists(folder.file("a.AVI")));
}

TEST(WriterFactory, ExtensionNoCodecWritesIsRefusedWithAMessage)
{
    scratch_folder folder;
    message_boxes boxes;
    vortel::settings s;
    EXPECT_EQ(s.silent_open_writer({ 8, 8 }, fraction(25, 1), folder.file("a.xyz")), nullptr);
    EXPECT_EQ(s.silent_open_writer({ 8, 8 }, fraction(25, 1), folder.file("noextension")), nullptr);
    ASSERT_EQ(message_boxes::shown().size(), 2u);
    EXPECT_EQ(message_boxes::shown()[0].first, "Entered format (file extension) is not supported.");
    EXPECT_TRUE(files_in(folder.root()).empty());
}

TEST(WriterFactory, UnknownFieldModeMakesNothing)
{
    scratch_folder folder;
    message_boxes boxes;
    vortel::settings s;
    s.encoder.open_code(s.encoder_info, platform::mmioFOURCC('M', 'J', 'P', 'G'));
    s.field = 3;
    EXPECT_EQ(s.silent_open_writer({ 8, 8 }, fraction(25, 1), folder.file("a.avi")), nullptr);
    EXPECT_TRUE(files_in(folder.root()).empty());
}

TEST(WriterFactory, OtherExtensionThanTheFormatIsWrittenInItsOwnFormat)
{
    scratch_folder folder;
    vortel::settings s;
    s.format = "bmp";
    auto w = s.silent_open_writer({ 4, 4 }, fraction(), folder.file("out_[##].Png"));
    ASSERT_NE(w, nullptr);
    w->write(make_frame(4, 4, test_pixels(4, 4, 0)));
    w->finish();
    frame back;
    img::default_readers().read(folder.file("out_00.Png"), "PNG", back);
    EXPECT_TRUE(same_colours(pixels_of(back), test_pixels(4, 4, 0)));
}

TEST(WriterFactory, FieldRenderingHalvesTheAviRate)
{
    scratch_folder folder;
    vortel::settings s;
    s.encoder.open_code(s.encoder_info, platform::mmioFOURCC('D', 'I', 'B', ' '));
    s.field = 1;
    const std::string path = folder.file("f.avi");
    {
        auto w = s.silent_open_writer({ 4, 4 }, fraction(25, 1), path);
        for (int k = 0; k < 5; ++k)
            w->write(make_frame(4, 4, flat(4, 4, k)));
        w->finish();
    }
    platform::avi_file f;
    f.open(path);
    EXPECT_EQ(f.stream_info().dwRate, 25u);
    EXPECT_EQ(f.stream_info().dwScale, 2u);
    EXPECT_EQ(f.length(), 2);
}

TEST(WriterFactory, FieldRenderedSequenceWritesOneFilePerPair)
{
    scratch_folder folder;
    vortel::settings s;
    s.format = "tga";
    s.field = 2;
    auto w = s.silent_open_writer({ 4, 4 }, fraction(25, 1), folder.file("s_[###].tga"));
    for (int k = 0; k < 5; ++k)
        w->write(make_frame(4, 4, flat(4, 4, k)));
    w->finish();
    EXPECT_EQ(files_in(folder.root()), (std::vector<std::string> { "s_000.tga", "s_001.tga" }));
    frame back;
    img::default_readers().read(folder.file("s_001.tga"), back);
    // Lower field first: the second frame of the pair (frame 3) gives the even rows.
    EXPECT_EQ(back.row(0)[0].b, 4);
    EXPECT_EQ(back.row(1)[0].b, 3);
}

} // namespace

namespace {

TEST(RenderDialogProposal, FormatLongerThan255CharactersIsRefused)
{
    try {
        vortel::proposed_render_path("c:\\out\\shot.avi", std::string(256, 'x'));
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "too long extension");
    }
}

TEST(RenderDialogProposal, SequencesAreProposedAsNumberedPatterns)
{
    EXPECT_EQ(vortel::proposed_render_path("c:\\out\\shot.avi", "tga"), "c:\\out\\shot_[###].tga");
    EXPECT_EQ(vortel::proposed_render_path("", "bmp"), "_[###].bmp");
    EXPECT_EQ(vortel::proposed_render_path("/out/shot.png", "avi"), "/out/shot.avi");
    EXPECT_EQ(vortel::proposed_filter_index("avi"), 1);
    EXPECT_EQ(vortel::proposed_filter_index("AVI"), 1);
    EXPECT_EQ(vortel::proposed_filter_index("tga"), 2);
    EXPECT_EQ(vortel::render_filter(),
        "AVI Video (*.avi)|*.avi|Image Sequence "
        "(*.BMP;*.TGA;*.JPEG;*.JPG;*.GIF;*.TIF;*.TIFF;*.PNG)|"
        "*.BMP;*.TGA;*.JPEG;*.JPG;*.GIF;*.TIF;*.TIFF;*.PNG||");
}

} // namespace

TEST(RenderDialogChoice, TheTypedExtensionChoosesTheFormat)
{
    const std::string filter = vortel::render_filter();
    // The chooser's added first extension goes when the typed one is listed.
    EXPECT_EQ(vortel::typed_render_path("/out/out_[###].png.bmp", filter, 2), "/out/out_[###].png");
    EXPECT_EQ(vortel::typed_render_path("/out/out_[###].Tga.BMP", filter, 2), "/out/out_[###].Tga");
    // Kept: a name with one extension, an unlisted inner one, a dot only in
    // the folder, another filter, and an index out of range.
    EXPECT_EQ(vortel::typed_render_path("/out/out_[###].bmp", filter, 2), "/out/out_[###].bmp");
    EXPECT_EQ(vortel::typed_render_path("/out/out_[###].png", filter, 2), "/out/out_[###].png");
    EXPECT_EQ(vortel::typed_render_path("/out/shot.v2.bmp", filter, 2), "/out/shot.v2.bmp");
    EXPECT_EQ(vortel::typed_render_path("/out.png/shot.bmp", filter, 2), "/out.png/shot.bmp");
    EXPECT_EQ(vortel::typed_render_path("/out/shot.png.avi", filter, 1), "/out/shot.png.avi");
    EXPECT_EQ(vortel::typed_render_path("/out/shot.png.bmp", filter, 0), "/out/shot.png.bmp");
    EXPECT_EQ(vortel::typed_render_path("/out/shot.png.bmp", filter, 3), "/out/shot.png.bmp");
}

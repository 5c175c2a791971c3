// A numbered image sequence written over an earlier one: the frames wait
// under temporary names beside their files and take their places only at
// finish, so that a render that fails, is discarded or is abandoned leaves
// the earlier files as they were.

#include "vortel/image_sequence_writer.h"

#include "foundation/files/image_error.h"
#include "lumvex/files/image_codec.h"
#include "vortel/tests/full_disc.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <random>
#include <system_error>

namespace {

using namespace vortel_test;

const std::string earlier = "the earlier render";

frame test_frame(int k)
{
    return make_frame(4, 4, test_pixels(4, 4, k));
}

// The file holds test frame k.
bool holds_frame(const std::string& path, int k)
{
    frame back;
    img::default_readers().read(path, back);
    return same_colours(pixels_of(back), test_pixels(4, 4, k));
}

std::string contents(const std::string& path)
{
    return folder_contents(fs::path(path).parent_path()).at(fs::path(path).filename().string());
}

std::vector<std::string> names_in(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : folder_contents(folder))
        names.push_back(name);
    return names;
}

std::string write_error(int error, const std::string& path)
{
    return "could not open image file for writing or write error: " + std::system_category().message(error)
        + ": " + path;
}

TEST(ImageSequenceWriter, FramesTakeTheirPlacesOnlyAtFinish)
{
    scratch_folder folder;
    for (const char* name : { "f_00.png", "f_01.png", "f_02.png" })
        std::ofstream(folder.file(name)) << earlier;
    fs::permissions(folder.file("f_01.png"), fs::perms(0640));
    const auto before = folder_contents(folder.root());
    vortel::image_sequence_writer w(folder.file("f_[##].png"), false, "");
    for (int k = 0; k < 4; ++k)
        w.write(test_frame(k));
    // The earlier files are untouched, and what waits is named so that
    // neither a user nor the footage library takes it for a frame.
    const auto pending = folder_contents(folder.root());
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(pending.at(name), bytes) << name;
    for (const auto& [name, bytes] : pending)
        if (before.count(name) == 0) {
            EXPECT_EQ(name.rfind("f_[##].png.~", 0), 0u) << name;
            EXPECT_EQ(name.substr(name.size() - 4), ".tmp") << name;
        }
    w.finish();
    EXPECT_EQ(names_in(folder.root()),
        (std::vector<std::string> { "f_00.png", "f_01.png", "f_02.png", "f_03.png" }));
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(holds_frame(folder.file("f_0" + std::to_string(k) + ".png"), k)) << k;
    EXPECT_EQ(fs::status(folder.file("f_01.png")).permissions(), fs::perms(0640));
    // Nothing follows a finish, and discarding then takes nothing back.
    EXPECT_THROW(w.write(test_frame(4)), img::io_error);
    w.discard();
    EXPECT_EQ(names_in(folder.root()).size(), 4u);
}

TEST(ImageSequenceWriter, DiscardLeavesTheEarlierFilesAndNothingOfItsOwn)
{
    scratch_folder folder;
    for (const char* name : { "f_00.png", "f_01.png" })
        std::ofstream(folder.file(name)) << earlier;
    const auto before = folder_contents(folder.root());
    vortel::image_sequence_writer w(folder.file("f_[##].png"), false, "");
    for (int k = 0; k < 3; ++k)
        w.write(test_frame(k));
    w.discard();
    EXPECT_EQ(folder_contents(folder.root()), before);
    // Neither more frames nor finish bring anything back.
    EXPECT_THROW(w.write(test_frame(3)), img::io_error);
    w.finish();
    EXPECT_EQ(folder_contents(folder.root()), before);
}

// The codecs name the file they were given; the user reads the frame's
// name, and a frame that failed is never put in place.
TEST(ImageSequenceWriter, FrameThatCannotBeWrittenNamesItsFileAndIsNotPutInPlace)
{
    scratch_folder folder;
    vortel::image_sequence_writer w(folder.file("s_[##].tga"), false, "");
    w.write(test_frame(0));
    // Wider than a TGA file can tell.
    try {
        w.write(make_frame(65536, 1, std::vector<std::uint8_t>(65536 * 4)));
        FAIL();
    } catch (const img::io_error& e) {
        EXPECT_EQ(
            std::string(e.what()), "image is too large for the file format: " + folder.file("s_01.tga"));
    }
    // A file-size limit stands in for a full disc: the stream's failure
    // becomes the codecs' error for the frame's file.
    std::string error;
    {
        file_size_limit limit(20);
        try {
            w.write(test_frame(2));
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    EXPECT_EQ(error, write_error(EFBIG, folder.file("s_02.tga")));
    w.write(test_frame(3));
    w.finish();
    EXPECT_EQ(names_in(folder.root()), (std::vector<std::string> { "s_00.tga", "s_03.tga" }));
    EXPECT_TRUE(holds_frame(folder.file("s_03.tga"), 3));
}

// A disc that fills up while a frame is encoded: every still format says
// why and names the frame's file, and nothing of the render stays behind.
TEST(ImageSequenceWriter, FullDiscGivesTheSystemsReasonAndTheFrameForEveryFormat)
{
    // Noise, so that every format's data passes the writer's buffer and
    // the disc refuses it while the encoder works.
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(512 * 512 * 4);
    for (std::uint8_t& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    const frame picture = make_frame(512, 512, noise);
    full_folder folder;
    const std::string save_failure = "Gdiplus::Bitmap::Save failure: ";
    const std::string write_failure = "could not open image file for writing or write error: ";
    for (const auto& [extension, message] :
        { std::pair { "png", save_failure }, std::pair { "bmp", save_failure },
            std::pair { "jpg", save_failure }, std::pair { "tif", save_failure },
            std::pair { "gif", save_failure }, std::pair { "tga", write_failure } }) {
        vortel::image_sequence_writer w(folder.file(std::string("f_[##].") + extension), false, "");
        try {
            w.write(picture);
            ADD_FAILURE() << extension << ": a frame written on a full disc";
        } catch (const img::io_error& e) {
            EXPECT_EQ(std::string(e.what()),
                message + folder.reason() + ": " + folder.file(std::string("f_00.") + extension));
        }
        w.discard();
        EXPECT_EQ(folder.names(), std::vector<std::string> {}) << extension;
    }
    if (!folder.is_full_disc())
        GTEST_SKIP() << "no file system could be mounted; a file-size limit stood in";
}

TEST(ImageSequenceWriter, FolderAtAFrameNameIsRefusedBeforeAnythingIsReplaced)
{
    scratch_folder folder;
    std::ofstream(folder.file("f_00.png")) << earlier;
    fs::create_directory(folder.file("f_01.png"));
    vortel::image_sequence_writer w(folder.file("f_[##].png"), false, "");
    w.write(test_frame(0));
    try {
        w.write(test_frame(1));
        FAIL();
    } catch (const img::io_error& e) {
        EXPECT_EQ(std::string(e.what()), write_error(EISDIR, folder.file("f_01.png")));
    }
    EXPECT_EQ(contents(folder.file("f_00.png")), earlier);
    w.discard();
    EXPECT_EQ(names_in(folder.root()), (std::vector<std::string> { "f_00.png", "f_01.png" }));
}

// A frame whose place a folder took after it was written: finish fails
// naming it, and the files put in place before it give way again to the
// earlier ones (a symbolic link stays the link it was, a name that was free
// is free again); nothing of the render is left.
TEST(ImageSequenceWriter, FrameThatCannotTakeItsPlacePutsTheEarlierFilesBack)
{
    scratch_folder folder;
    std::ofstream(folder.file("f_00.png")) << earlier;
    std::ofstream(folder.file("plate.png")) << "a frame kept elsewhere";
    fs::create_symlink("plate.png", folder.file("f_01.png"));
    std::ofstream(folder.file("f_03.png")) << earlier;
    std::ofstream(folder.file("f_04.png")) << earlier;
    vortel::image_sequence_writer w(folder.file("f_[##].png"), false, "");
    for (int k = 0; k < 5; ++k)
        w.write(test_frame(k));
    fs::remove(folder.file("f_03.png"));
    fs::create_directory(folder.file("f_03.png"));
    try {
        w.finish();
        FAIL() << "a failure reported as success";
    } catch (const img::io_error& e) {
        EXPECT_EQ(std::string(e.what()), write_error(EISDIR, folder.file("f_03.png")));
    }
    EXPECT_EQ(names_in(folder.root()),
        (std::vector<std::string> { "f_00.png", "f_01.png", "f_03.png", "f_04.png", "plate.png" }));
    EXPECT_EQ(contents(folder.file("f_00.png")), earlier);
    EXPECT_TRUE(fs::is_symlink(folder.file("f_01.png")));
    EXPECT_EQ(fs::read_symlink(folder.file("f_01.png")), fs::path("plate.png"));
    EXPECT_EQ(contents(folder.file("plate.png")), "a frame kept elsewhere");
    EXPECT_TRUE(fs::is_directory(folder.file("f_03.png")));
    EXPECT_EQ(contents(folder.file("f_04.png")), earlier);
}

// Another render starting in the same folder keeps the files of a sequence
// still being written and removes what no running writer holds.
TEST(ImageSequenceWriter, ARenderStartingBesideALiveOneKeepsItsFilesAndRemovesAbandonedOnes)
{
    scratch_folder folder;
    vortel::image_sequence_writer live(folder.file("a_[##].png"), false, "");
    live.write(test_frame(0));
    live.write(test_frame(1));
    // Left by killed writers: a lock file that no one holds with a frame of
    // it, and a frame whose lock file is gone.
    const std::vector<std::string> abandoned
        = { "b_[##].png.~4242.0.tmp", "b_[##].png.~4242.0.0.tmp", "c_[##].png.~4242.1.3.tmp" };
    for (const auto& name : abandoned)
        std::ofstream(folder.file(name)) << "left behind";
    vortel::image_sequence_writer other(folder.file("b_[##].png"), false, "");
    other.write(test_frame(2));
    for (const auto& name : abandoned)
        EXPECT_FALSE(fs::exists(folder.file(name))) << name;
    live.finish();
    other.finish();
    EXPECT_EQ(names_in(folder.root()), (std::vector<std::string> { "a_00.png", "a_01.png", "b_00.png" }));
    EXPECT_TRUE(holds_frame(folder.file("a_01.png"), 1));
    EXPECT_TRUE(holds_frame(folder.file("b_00.png"), 2));
}

} // namespace

#include "lumvex/dll.h"

#include "lumvex/exception.h"
#include "lumvex/files/gdiplus_reader.h"
#include "lumvex/footage/deinterlaced_footage.h"
#include "lumvex/tests/exported_symbols.h"
#include "lumvex/tests/footage_element.h"
#include "lumvex/tests/settings_store_support.h"
#include "platform/tests/avi_samples.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>

using namespace cache_test;
namespace fs = std::filesystem;

namespace {

void write_picture(const std::string& path, unsigned seed = 1)
{
    img::gdiplus_writer().write(path, "png", picture(6, 4, seed), false);
}

using dll_test = settings_fixture;

TEST_F(dll_test, BadFootageElementsGiveNoFootage)
{
    lumvex::dll library;
    auto made = [&](const std::string& xml_text) -> boost::shared_ptr<lumvex::footage> {
        xml::sarnel document;
        document.parse(xml_text);
        xml::stream element(document.root(), true);
        return library.create_footage(element, folder.root());
    };
    EXPECT_FALSE(made("<Footage/>"));
    EXPECT_FALSE(made("<Footage type=''/>"));
    EXPECT_FALSE(made("<Footage type='mp4' path='clip.mp4'/>"));
    EXPECT_FALSE(made("<Footage type='dil' field='upper_first' method='duplicate'/>"));
    EXPECT_FALSE(
        made("<Footage type='dil' field='upper_first' method='duplicate'><supplier type='x'/></Footage>"));
    try {
        made("<Footage type='dil' field='upper_first' method='duplicate'>"
             "<supplier type='dil' field='upper_first' method='duplicate'><supplier type='still' "
             "path='a.png'/>"
             "</supplier></Footage>");
        ADD_FAILURE() << "nested deinterlacing accepted";
    } catch (const lumvex::exception& error) {
        EXPECT_EQ(std::string(error.what()), "nested deinterlacing is not allowed");
    }
    // A footage whose file is missing fails as its kind fails.
    EXPECT_THROW(made("<Footage type='still' path='missing.png'/>"), std::runtime_error);
}

TEST_F(dll_test, FootageRoundTripsThroughTheProjectElement)
{
    fs::create_directories(folder.file("project/plates"));
    write_picture(folder.file("project/plates/plate.png"));
    const std::string base = folder.file("project") + "/";
    lumvex::dll library;

    boost::shared_ptr<lumvex::footage> still
        = library.create_still_footage(folder.file("project/plates/plate.png"));
    boost::shared_ptr<lumvex::footage> written = lumvex::deinterlaced_footage::wrap(
        still, lumvex::deinterlace_fields::lower_first, lumvex::deinterlace_method::interpolate);

    footage_element saved;
    xml::stream out(saved.element, false);
    out || lumvex::footage_ptr_capsule { &library, &written, base };
    const std::string path = folder.file("project/saved.tvp");
    saved.document.write(path);

    xml::sarnel loaded;
    loaded.read(path);
    xml::stream in(loaded.root(), true);
    xml::stream element = in.child("Footage");
    boost::shared_ptr<lumvex::footage> read;
    element || lumvex::footage_ptr_capsule { &library, &read, base };
    ASSERT_TRUE(read);
    EXPECT_EQ(read->fields(), lumvex::deinterlace_fields::lower_first);
    EXPECT_EQ(read->method(), lumvex::deinterlace_method::interpolate);
    EXPECT_EQ(read->path(), written->path());
    EXPECT_EQ(read->frame_count(), 2);
    EXPECT_EQ(read->frame_size(), (types::extent<unsigned> { 6, 4 }));
    EXPECT_EQ(read->image_cache(), &library.coordinator());
    const auto frame = read->frame(1, 0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->image.height, 4u);

    // An empty footage writes nothing and reads back empty.
    boost::shared_ptr<lumvex::footage> none;
    footage_element empty;
    xml::stream empty_out(empty.element, false);
    empty_out || lumvex::footage_ptr_capsule { &library, &none, base };
    xml::stream empty_in(empty.element, true);
    read = written;
    empty_in || lumvex::footage_ptr_capsule { &library, &read, base };
    EXPECT_FALSE(read);
}

TEST_F(dll_test, AFileAloneOpensAsStillFootageAndWithItsNeighboursAsASequence)
{
    write_picture(folder.file("frame0001.png"));
    lumvex::dll library;
    auto footage = library.create_footage(folder.file("frame0001.png"));
    ASSERT_TRUE(footage);
    EXPECT_EQ(footage->description(), "image '" + folder.file("frame0001.png") + "'");
    EXPECT_EQ(footage->frame_count(), 1);

    write_picture(folder.file("frame0002.png"), 2);
    footage = library.create_footage(folder.file("frame0001.png"));
    ASSERT_TRUE(footage);
    EXPECT_EQ(footage->frame_count(), 2);
    EXPECT_EQ(footage->first_frame_number(), 1);
    EXPECT_EQ(footage->description(), "image sequence '" + folder.file("frame????.png") + "'");
    EXPECT_EQ(footage->image_cache(), &library.coordinator());
    EXPECT_TRUE(same_pixels(footage->frame(1, 0, true)->image, picture(6, 4, 2)));

    EXPECT_THROW(library.create_footage(folder.file("missing0001.png")), std::exception);
}

TEST_F(dll_test, AviFilesOpenByTheirExtensionInAnyCase)
{
    namespace t = platform::testing;
    t::avi_layout layout;
    const auto samples = t::uncompressed_samples(16, 8, 3, 24, false, layout);
    t::write_avi(folder.file("clip.AVI"), layout, samples);
    lumvex::dll library;
    const auto footage = library.create_footage(folder.file("clip.AVI"));
    ASSERT_TRUE(footage);
    EXPECT_EQ(footage->description(), "AVI file '" + folder.file("clip.AVI") + "'");
    EXPECT_EQ(footage->frame_count(), 3);
    EXPECT_EQ(footage->frame_rate().numerator, 25);

    // Through the project element, deinterlaced.
    const std::string base = folder.root();
    boost::shared_ptr<lumvex::footage> written = lumvex::deinterlaced_footage::wrap(
        footage, lumvex::deinterlace_fields::upper_first, lumvex::deinterlace_method::duplicate);
    footage_element saved;
    xml::stream out(saved.element, false);
    out || lumvex::footage_ptr_capsule { &library, &written, base };
    xml::stream in(saved.element, true);
    boost::shared_ptr<lumvex::footage> read;
    in || lumvex::footage_ptr_capsule { &library, &read, base };
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frame_count(), 6);
    EXPECT_EQ(read->frame_rate().numerator, 50);
    EXPECT_EQ(read->path(), folder.file("clip.AVI"));
    const auto frame = read->frame(5, 0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->image.width, 16u);
}

TEST_F(dll_test, StillImagesAreReadOnceWhileCached)
{
    write_picture(folder.file("matte.png"), 3);
    lumvex::dll library;
    const auto first = library.get_still_image(folder.file("matte.png"));
    ASSERT_TRUE(first);
    EXPECT_TRUE(same_pixels(first->image, picture(6, 4, 3)));
    EXPECT_EQ(library.get_still_image(folder.file("matte.png")).get(), first.get());
    // A file replaced by another is another picture.
    write_picture(folder.file("matte.new.png"), 4);
    fs::rename(folder.file("matte.new.png"), folder.file("matte.png"));
    const auto replaced = library.get_still_image(folder.file("matte.png"));
    EXPECT_NE(replaced.get(), first.get());
    EXPECT_TRUE(same_pixels(replaced->image, picture(6, 4, 4)));
}

TEST_F(dll_test, SettingsComeFromTheUsersStore)
{
    write_values("Tavelo settings 1\ndisc_cache_root_path\tsz\t" + folder.file("discs") + "/\n");
    {
        lumvex::dll library;
        production record;
        library.coordinator().put(entry_of(key_of(5, &record, true), 4, 4), lumvex::placement::back);
    }
    // The disc cache lives where the settings say.
    EXPECT_TRUE(fs::exists(folder.file("discs/number5.png")));
}

// What liblumvex exports: the facade, the interface types its callers use,
// the errors that reach them, the image-file codecs the render library builds
// on, and the path helpers the program uses (project file paths among them).
TEST(lumvex_library, ExportsOnlyItsInterface)
{
    const std::set<std::string> names = library_test::exported_names(LUMVEX_LIBRARY_FILE);
    const std::regex allowed(
        "(typeinfo for |typeinfo name for |vtable for )?("
        "lumvex::dll::|lumvex::operator\\|\\||"
        "lumvex::(item_id|cached_image|cache|footage|exception|item_id_deserializer)(::|$)|"
        "img::(ext_provider|reader|writer|reader_list|gdiplus_reader|gdiplus_writer|"
        "bmp_tga_reader|io_error|unsupported|corrupt|too_large|avi::exception)(::|$)|img::default_readers\\(|"
        "paths::(file_name|full_path|parent_directory|replace_extension|native|relative_path|absolute_path|"
        "matches_pattern)["
        "\\[(]).*");
    const std::set<std::string> unexpected = library_test::names_outside(names, allowed);
    EXPECT_TRUE(unexpected.empty()) << *unexpected.begin() << " and " << unexpected.size() - 1 << " more";
    for (const char* needed :
        { "lumvex::dll::dll()", "lumvex::dll::coordinator()", "typeinfo for lumvex::footage",
            "paths::replace_extension(std::__cxx11::basic_string<char, std::char_traits<char>, "
            "std::allocator<char> >&, std::__cxx11::basic_string<char, std::char_traits<char>, "
            "std::allocator<char> > const&)" })
        EXPECT_TRUE(names.count(needed) == 1) << needed;
    bool capsule_operator = false;
    for (const std::string& name : names)
        capsule_operator = capsule_operator || name.rfind("lumvex::operator||(xml::stream&", 0) == 0;
    EXPECT_TRUE(capsule_operator);
}

} // namespace

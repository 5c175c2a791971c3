#include "lumvex/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the system's temporary folder, removed afterwards.
class scratch_folder {
public:
    scratch_folder()
    {
        std::string name = (fs::temp_directory_path() / "path_test_XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("cannot create a scratch folder");
        m_path = name;
    }
    ~scratch_folder() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

void touch(const std::string& path)
{
    std::ofstream(path) << "x";
}

std::string throw_text(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

} // namespace

TEST(paths, SplitTakesDriveFolderNameAndExtension)
{
    std::string drive, folder, name, extension;
    paths::split("C:\\Clips\\Take.One.AVI", &drive, &folder, &name, &extension);
    EXPECT_EQ(drive, "C:");
    EXPECT_EQ(folder, "\\Clips\\");
    EXPECT_EQ(name, "Take.One");
    EXPECT_EQ(extension, ".AVI");

    paths::split("/home/u/a.b/clip", &drive, &folder, &name, &extension);
    EXPECT_EQ(drive, "");
    EXPECT_EQ(folder, "/home/u/a.b/");
    EXPECT_EQ(name, "clip");
    EXPECT_EQ(extension, "");

    EXPECT_EQ(paths::file_name("/x/Clip.avi"), "Clip");
    EXPECT_EQ(paths::file_name_with_extension("d:\\x/Clip.avi"), "Clip.avi");
}

TEST(paths, MakePathComposesAndChecksLengths)
{
    EXPECT_EQ(paths::make_path("c", "\\out", "frame", "bmp"), "c:\\out\\frame.bmp");
    EXPECT_EQ(paths::make_path(nullptr, "/out", "frame", ".bmp"), "/out/frame.bmp");
    EXPECT_EQ(paths::make_path(nullptr, nullptr, "frame", nullptr), "frame");

    EXPECT_EQ(throw_text([] { paths::make_path("c:\\x", nullptr, nullptr, nullptr); }), "drive too long");
    const std::string long_folder(paths::max_folder + 1, 'f');
    EXPECT_EQ(throw_text([&] { paths::make_path(nullptr, long_folder.c_str(), nullptr, nullptr); }),
        "path too long");
    const std::string name(257, 'n');
    EXPECT_EQ(
        throw_text([&] { paths::make_path(nullptr, nullptr, name.c_str(), nullptr); }), "file name too long");
    EXPECT_EQ(
        throw_text([&] { paths::make_path(nullptr, nullptr, nullptr, name.c_str()); }), "extension too long");
    EXPECT_NO_THROW(paths::make_path(nullptr, nullptr, name.substr(1).c_str(), nullptr));
}

TEST(paths, ReplaceExtensionAcceptsUpTo255Characters)
{
    std::string path = "/Out/Clip.avi";
    paths::replace_extension(path, ".PNG");
    EXPECT_EQ(path, "/Out/Clip.PNG");
    paths::replace_extension(path, "txt");
    EXPECT_EQ(path, "/Out/Clip.txt");

    EXPECT_NO_THROW(paths::replace_extension(path, std::string(255, 'e')));
    EXPECT_EQ(
        throw_text([&] { paths::replace_extension(path, std::string(256, 'e')); }), "too long extension");
}

TEST(paths, ParentDirectoryDropsOneTrailingSeparator)
{
    EXPECT_EQ(paths::parent_directory("c:\\a\\b\\"), "c:\\a\\");
    EXPECT_EQ(paths::parent_directory("/home/u/clip.avi"), "/home/u/");
    EXPECT_EQ(paths::parent_directory("file.bmp"), "");
    EXPECT_EQ(paths::parent_directory(""), "");
}

TEST(paths, AbsoluteMeansALeadingSeparatorOrADriveWithItsSeparator)
{
    EXPECT_TRUE(paths::is_absolute("/home"));
    EXPECT_TRUE(paths::is_absolute("\\home"));
    EXPECT_TRUE(paths::is_absolute("d:\\clips"));
    EXPECT_TRUE(paths::is_absolute("D:/clips"));
    EXPECT_FALSE(paths::is_absolute("clips\\a.avi"));
    EXPECT_FALSE(paths::is_absolute(""));
    // Anywhere else a colon second is part of a name.
    EXPECT_FALSE(paths::is_absolute("1:1\\plate.png"));
    EXPECT_FALSE(paths::is_absolute("4:3 crop\\a.png"));
    EXPECT_FALSE(paths::is_absolute("d:clip"));
    EXPECT_FALSE(paths::is_absolute("d:"));
}

TEST(paths, NormalizeKeepsCase)
{
    std::string path = "/Home/User/Clip.AVI";
    paths::normalize(path);
    EXPECT_EQ(path, "\\Home\\User\\Clip.AVI");
    EXPECT_EQ(paths::native("\\Home\\Clip.AVI"), "/Home/Clip.AVI");
}

TEST(paths, ExtensionComparisonIgnoresCase)
{
    EXPECT_TRUE(paths::extension_is("clip.AVI", "avi"));
    EXPECT_TRUE(paths::extension_is("clip.avi", ".AVI"));
    EXPECT_FALSE(paths::extension_is("clip.avi", "av"));
    EXPECT_FALSE(paths::extension_is("clip.avi", "avi."));
    EXPECT_FALSE(paths::extension_is("clip", "avi"));
    EXPECT_TRUE(paths::extension_is("clip", ""));
    EXPECT_FALSE(paths::extension_is("clip.avi", ""));
}

TEST(paths, PatternsMatchInCaseUnlessAskedToIgnoreIt)
{
    EXPECT_TRUE(paths::matches_pattern("shot_0012.png", "shot_????.png"));
    EXPECT_FALSE(paths::matches_pattern("shot_012.png", "shot_????.png"));
    EXPECT_FALSE(paths::matches_pattern("SHOT_0012.PNG", "shot_????.png"));
    EXPECT_TRUE(paths::matches_pattern("SHOT_0012.PNG", "shot_????.png", true));
    EXPECT_TRUE(paths::matches_pattern("a.b.c", "*.*"));
    EXPECT_TRUE(paths::matches_pattern("abcbd", "a*b?"));
    EXPECT_FALSE(paths::matches_pattern("abcbd", "a*c"));
    // A pattern of many stars against a long name ends at once.
    EXPECT_FALSE(paths::matches_pattern(std::string(5000, 'a'), std::string(50, '*') + "b"));
}

TEST(paths, RelativePathClimbsByWholeFolders)
{
    EXPECT_EQ(paths::relative_path("D:\\Proj\\Clips\\a.avi", "D:\\Proj\\"), "Clips\\a.avi");
    EXPECT_EQ(paths::relative_path("D:\\Proj\\Clips\\a.avi", "D:\\Proj\\Sub"), "..\\Clips\\a.avi");
    EXPECT_EQ(paths::relative_path("D:\\Proj\\Clips\\a.avi", "E:\\Other"), "D:\\Proj\\Clips\\a.avi");
    EXPECT_EQ(paths::relative_path("/home/u/proj/clips/a.avi", "/home/u/proj"), "clips\\a.avi");
    // A folder that merely starts like a base folder is not inside it.
    EXPECT_EQ(paths::relative_path("/home/u/project2/a.avi", "/home/u/proj/"), "..\\project2\\a.avi");
    EXPECT_EQ(paths::relative_path("", "/home"), "");
}

TEST(paths, RelativePathComparesCaseExactly)
{
    // Different case is a different folder on a case-sensitive file system.
    EXPECT_EQ(paths::relative_path("/home/U/clip.avi", "/home/u/"), "..\\U\\clip.avi");
}

TEST(paths, AbsolutePathResolvesAgainstBase)
{
    EXPECT_EQ(paths::absolute_path("..\\Clips\\a.avi", "d:\\Proj\\Sub\\"), "d:\\Proj\\Clips\\a.avi");
    EXPECT_EQ(paths::absolute_path(".\\a.avi", "d:\\proj"), "d:\\proj\\a.avi");
    EXPECT_EQ(paths::absolute_path("", "d:\\proj"), "d:\\proj");
    EXPECT_EQ(paths::absolute_path("/media/a.avi", "/home/u"), "/media/a.avi");
    EXPECT_EQ(paths::absolute_path("../Clips/a.avi", "/home/u/proj"), "\\home\\u\\Clips\\a.avi");
}

TEST(paths, AbsolutePathClampsAtRoot)
{
    EXPECT_EQ(paths::absolute_path("..\\..\\..\\a.avi", "d:\\proj\\"), "d:\\a.avi");
    EXPECT_EQ(paths::absolute_path("..\\..\\..\\..\\a.avi", "/home/u"), "\\a.avi");
}

TEST(paths, RelativeAndAbsoluteRoundTrip)
{
    const std::string base = "/home/u/Proj";
    for (const std::string path : { "/home/u/Proj/Clips/A.avi", "/home/u/Other/b.avi", "/media/usb/c.avi",
             "/home/u/Proj/d.avi", "/home/u/Proj/1:1/plate.png", "/home/u/Proj/4:3 crop/e.avi",
             "/home/u/Proj/c:/f.avi", "/home/u/Proj/x:y" }) {
        const std::string stored = paths::relative_path(path, base);
        EXPECT_EQ(stored.find('/'), std::string::npos) << stored;
        EXPECT_EQ(paths::native(paths::absolute_path(stored, base)), path);
    }
    EXPECT_EQ(paths::relative_path("/home/u/Proj/1:1/plate.png", base), "1:1\\plate.png");
    // A folder named like a drive is marked as relative.
    EXPECT_EQ(paths::relative_path("/home/u/Proj/c:/f.avi", base), ".\\c:\\f.avi");
}

TEST(paths, MakeDirectoriesCreatesParents)
{
    scratch_folder scratch;
    const std::string deep = scratch.file("a\\b/c\\");
    EXPECT_TRUE(paths::make_directories(deep));
    EXPECT_TRUE(fs::is_directory(scratch.path() / "a" / "b" / "c"));
    EXPECT_TRUE(paths::make_directories(deep));
    EXPECT_TRUE(paths::make_directories(""));
}

TEST(paths, MakeDirectoriesFailsBelowAFile)
{
    scratch_folder scratch;
    touch(scratch.file("plain"));
    EXPECT_FALSE(paths::make_directories(scratch.file("plain/sub")));
    // A drive cannot be created; this must end rather than recurse.
    EXPECT_FALSE(paths::make_directories("q:\\nothing\\here"));
}

TEST(paths, FileQueriesTakeEitherSeparator)
{
    scratch_folder scratch;
    const std::string file = scratch.file("Clip.avi");
    touch(file);
    std::string stored = file;
    paths::normalize(stored);
    EXPECT_TRUE(paths::file_exists(stored));
    EXPECT_FALSE(paths::file_exists(scratch.file("clip.avi")));
    EXPECT_TRUE(paths::remove_file(stored));
    EXPECT_FALSE(paths::remove_file(stored));
    EXPECT_FALSE(paths::file_exists(file));
}

TEST(paths, FullPathFoldsDotsAgainstWorkingFolder)
{
    EXPECT_EQ(paths::full_path("/a/./b/../c"), "/a/c");
    EXPECT_EQ(paths::full_path("\\a\\..\\..\\c\\"), "/c/");
    EXPECT_EQ(paths::full_path(nullptr), paths::current_directory());
    const std::string here = paths::current_directory();
    EXPECT_EQ(paths::full_path("x.avi"), (here == "/" ? "" : here) + "/x.avi");
}

TEST(paths, FileSearchYieldsFilesOnlyInNameOrder)
{
    scratch_folder scratch;
    touch(scratch.file("b.png"));
    touch(scratch.file("a.png"));
    touch(scratch.file("c.PNG"));
    touch(scratch.file("[1].png"));
    fs::create_directory(scratch.path() / "folder.png");

    std::string pattern = scratch.file("*.png");
    paths::normalize(pattern);
    paths::file_search search;
    std::vector<std::string> found;
    for (bool more = search.start(pattern); more; more = search.next()) {
        EXPECT_FALSE(search.is_directory());
        found.push_back(search.name());
    }
    EXPECT_EQ(found, (std::vector<std::string> { "[1].png", "a.png", "b.png" }));
    EXPECT_FALSE(search.is_open());

    EXPECT_TRUE(search.start(scratch.file("?.*")));
    EXPECT_EQ(search.name(), "a.png");
    EXPECT_TRUE(search.start(scratch.file("*.*")));
    EXPECT_EQ(search.name(), "[1].png");
}

TEST(paths, FileSearchOverFoldersOnlyYieldsNothing)
{
    scratch_folder scratch;
    fs::create_directory(scratch.path() / "one");
    fs::create_directory(scratch.path() / "two");
    paths::file_search search;
    EXPECT_FALSE(search.start(scratch.file("*")));
    EXPECT_FALSE(search.is_open());
    EXPECT_FALSE(search.start(scratch.file("missing/*")));
}

#include "foundation/files/kept_files.h"

#include "foundation/files/numbered_file_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed afterwards.
class KeptFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path()
            / ("tavelo_kept_" + std::to_string(::getpid()) + "_"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "sub");
    }
    void TearDown() override { fs::remove_all(m_root); }
    std::string make(const std::string& name)
    {
        std::ofstream(m_root / name) << name;
        return (m_root / name).string();
    }
    fs::path m_root;
};

TEST_F(KeptFiles, AFileIsHeldUnderEverySpellingThatNamesIt)
{
    const std::string clip = make("clip.avi");
    kept_files kept({ clip });
    EXPECT_TRUE(kept.holds(clip));
    EXPECT_TRUE(kept.holds((m_root / "sub" / ".." / "./clip.avi").string()));
    fs::create_symlink(clip, m_root / "link.avi");
    EXPECT_TRUE(kept.holds((m_root / "link.avi").string()));
    fs::create_hard_link(clip, m_root / "hard.avi");
    EXPECT_TRUE(kept.holds((m_root / "hard.avi").string()));
    // Relative to the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(m_root / "sub");
    EXPECT_TRUE(kept.holds("../clip.avi"));
    fs::current_path(before);

    EXPECT_FALSE(kept.holds((m_root / "clip_render.avi").string()));
    EXPECT_FALSE(kept.holds((m_root / "CLIP.avi").string()));
    EXPECT_FALSE(kept.holds(""));
    EXPECT_FALSE(kept_files().holds(clip));
}

TEST_F(KeptFiles, AFileThatIsMissingIsHeldByItsPath)
{
    const std::string missing = (m_root / "gone.avi").string();
    kept_files kept({ missing });
    EXPECT_TRUE(kept.holds((m_root / "sub" / ".." / "gone.avi").string()));
    EXPECT_FALSE(kept.holds((m_root / "sub" / "gone.avi").string()));
}

TEST_F(KeptFiles, APatternHoldsAKeptFileWhenOneOfItsNamesIsThatFile)
{
    kept_files kept;
    for (const char* name : { "f00.png", "f01.png", "f12.png", "shot_0100.bmp" })
        kept.add(make(name));
    const std::string root = m_root.string() + "/";
    EXPECT_TRUE(kept.holds_any(NumberedFileName(root + "f[##].png")));
    EXPECT_TRUE(kept.holds_any(NumberedFileName(root + "f##.png")));
    EXPECT_TRUE(kept.holds_any(NumberedFileName(root + "sub/../f##.png")));
    // Zero-filled to three digits, f00.png is never written; a counter
    // wider than its digits is written whole (f12.png), never with zeros
    // before it (shot_0100.bmp).
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "f[###].png")));
    EXPECT_TRUE(kept.holds_any(NumberedFileName(root + "f#.png")));
    EXPECT_TRUE(kept.holds_any(NumberedFileName(root + "shot_[####].bmp")));
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "shot_[##].bmp")));
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "shot_[#####].bmp")));
    // Another name, suffix or folder.
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "f_[##].png")));
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "f[##].bmp")));
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "sub/f[##].png")));
    // Without "#": three digits before the extension.
    EXPECT_FALSE(kept.holds_any(NumberedFileName(root + "f.png")));
    kept.add(make("out007.tga"));
    EXPECT_TRUE(kept.holds_any(NumberedFileName(root + "out.tga")));
}

TEST(FirstUntakenPath, TheTagGoesBeforeTheExtensionUntilAPathIsFree)
{
    auto none = [](const std::string&) { return false; };
    EXPECT_EQ(first_untaken_path("/v/clip.avi", "_render", none), "/v/clip.avi");
    auto clip = [](const std::string& p) { return p == "/v/clip.avi"; };
    EXPECT_EQ(first_untaken_path("/v/clip.avi", "_render", clip), "/v/clip_render.avi");
    auto two = [](const std::string& p) { return p == "/v.x/clip" || p == "/v.x/clip_render"; };
    EXPECT_EQ(first_untaken_path("/v.x/clip", "_render", two), "/v.x/clip_render2");
}

} // namespace

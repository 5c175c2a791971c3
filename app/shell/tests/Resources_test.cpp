#include "app/resources/Resources.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

#include "app/resources/Icons.h"
#include "app/shell/RecentFileList.h"
#include "app/shell/tests/ShellFakes.h"
#include "platform/gui/messages.h"
#include "widgets/controls/GlyphResources.h"

namespace {

using platform::gui::MOD_ALT;
using platform::gui::MOD_CONTROL;
using platform::gui::MOD_SHIFT;

TEST(Resources, AcceleratorsTellModifiersApart)
{
    EXPECT_EQ(resources::FindAccelerator('Z', MOD_CONTROL), 57643u);
    EXPECT_EQ(resources::FindAccelerator('Z', MOD_CONTROL | MOD_SHIFT), 57644u);
    EXPECT_EQ(resources::FindAccelerator('Z', 0), 60002u);
    EXPECT_EQ(resources::FindAccelerator(VK_HOME, 0), 50015u);
    EXPECT_EQ(resources::FindAccelerator(VK_HOME, MOD_SHIFT), 50017u);
    EXPECT_EQ(resources::FindAccelerator(VK_HOME, MOD_CONTROL | MOD_ALT), 50036u);
    EXPECT_EQ(resources::FindAccelerator('0', MOD_CONTROL | MOD_ALT), 65003u);
    EXPECT_EQ(resources::FindAccelerator('Q', MOD_CONTROL), 0u);
}

TEST(Resources, HandAndZoomToolsAreNamedWithTheKeysThatChooseThem)
{
    // "Hand (H)": the letter in brackets is the tool's own key.
    for (std::uint32_t id : { 60001u, 60002u }) {
        std::string text;
        ASSERT_TRUE(resources::FindBuiltInString(id, text)) << id;
        ASSERT_GE(text.size(), 4u) << id;
        EXPECT_EQ(text.substr(text.size() - 4, 2), " (") << text;
        EXPECT_EQ(text.back(), ')') << text;
        EXPECT_EQ(text[text.size() - 2], text[0]) << text;
        EXPECT_EQ(resources::FindAccelerator(static_cast<unsigned char>(text[0]), 0), id) << text;
    }
}

TEST(Resources, NoKeyIsBoundTwice)
{
    std::set<std::pair<unsigned, unsigned>> keys;
    for (const auto& a : resources::MainAccelerators())
        EXPECT_TRUE(keys.insert({ a.key, a.modifiers }).second) << a.key << " " << a.modifiers;
}

TEST(Resources, LanguagePopupIsTheThirdItemOfPreferencesInFileItemThirteen)
{
    const auto menu = resources::MainMenu();
    ASSERT_EQ(menu.size(), 8u);
    const auto& file = menu[0].entries;
    ASSERT_GT(file.size(), 13u);
    ASSERT_TRUE(file[13].popup);
    EXPECT_EQ(file[13].text, "&Preferences");
    ASSERT_TRUE(file[13].entries[2].popup);
    EXPECT_EQ(file[13].entries[2].text, "Language");
}

TEST(RecentFileList, NewestFirstWithoutDuplicatesAndAtMostTen)
{
    test::MemoryProfile profile;
    RecentFileList list(10);
    for (int i = 0; i < 12; ++i)
        list.Add("/p/" + std::to_string(i) + ".tvp");
    list.Add("/p/5.tvp");
    ASSERT_EQ(list.GetPaths().size(), 10u);
    EXPECT_EQ(list.GetPaths()[0], "/p/5.tvp");
    EXPECT_EQ(list.GetPaths()[1], "/p/11.tvp");
    EXPECT_EQ(list.GetMenuText(0), "&1 5.tvp");
    list.Write();
    RecentFileList read(10);
    read.Read();
    EXPECT_EQ(read.GetPaths(), list.GetPaths());
    list.Remove(0);
    list.Write();
    read.Read();
    EXPECT_EQ(read.GetPaths().size(), 9u);
}

TEST(RecentFileList, MenuTextShowsEachAmpersandOfTheNameAndKeepsTheNumbersMnemonic)
{
    RecentFileList list(10);
    list.Add("/a&b/plain.tvp");
    list.Add("/p/ends with&");
    list.Add("/p/&&twice&&.tvp");
    list.Add("/p/Tom & Jerry's cut.tvp");
    EXPECT_EQ(list.GetMenuText(0), "&1 Tom && Jerry's cut.tvp");
    EXPECT_EQ(list.GetMenuText(1), "&2 &&&&twice&&&&.tvp");
    EXPECT_EQ(list.GetMenuText(2), "&3 ends with&&");
    // An "&" of the folder is not shown, so not doubled.
    EXPECT_EQ(list.GetMenuText(3), "&4 plain.tvp");
    EXPECT_EQ(list.GetPaths()[0], "/p/Tom & Jerry's cut.tvp");
}

} // namespace

TEST(Resources, EveryButtonGlyphOfTheBarsHasAMaskOfItsSize)
{
    resources::AddIcons();
    for (const char* name : { "TOOL_HAND", "TOOL_ZOOM", "TOOL_BRUSH", "TOOL_FILL", "TOOL_UNDO", "TOOL_REDO",
             "DISPLAY_PREVIEW", "DISPLAY_EDITMASK" }) {
        const My::BitmapResource* glyph = My::FindBitmapResource(name);
        const My::BitmapResource* mask = My::FindBitmapResource(std::string(name) + "_MASK");
        ASSERT_NE(glyph, nullptr) << name;
        ASSERT_NE(mask, nullptr) << name;
        EXPECT_EQ(glyph->width, mask->width) << name;
        EXPECT_EQ(glyph->height, mask->height) << name;
        EXPECT_GT(glyph->width, 0) << name;
    }
}

TEST(Resources, TimeControlsAndTimelineTextsAreBuiltIn)
{
    const std::pair<std::uint32_t, const char*> texts[] = { { 56000, "Preview Frame:" },
        { 56001, "Framerate:" }, { 57000, "Name" }, { 57001, "Visible Area Start" },
        { 57004, "Current Frame" }, { 57006, "Navigator" }, { 57009, "Work Area" }, { 57010, "Time Ruler" },
        { 57011, "Time Scale" }, { 57012, "Zoom In (+)" }, { 57013, "Zoom Out (-)" } };
    for (const auto& [id, expected] : texts) {
        std::string text;
        EXPECT_TRUE(resources::FindBuiltInString(id, text)) << id;
        EXPECT_EQ(text, expected);
    }
}

// Menu texts split into the label and the key the accelerator column shows
// (no display needed: the window system is asked only when an item shows).

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/gui/detail/menu_text.h"
#include "platform/gui/shell.h"

namespace {

using platform::gui::MOD_ALT;
using platform::gui::MOD_CONTROL;
using platform::gui::MOD_SHIFT;

struct Split {
    std::string label;
    std::string key;
    unsigned modifiers = 0;
    bool operator==(const Split&) const = default;
    friend void PrintTo(const Split& s, std::ostream* os)
    {
        *os << "\"" << s.label << "\" key \"" << s.key << "\" modifiers " << s.modifiers;
    }
};

Split SplitOf(const std::string& text)
{
    const auto t = platform::gui::detail::split_menu_text(text);
    return { t.label, t.key, t.modifiers };
}

TEST(MenuText, HintsTheProgramsMenusCarryNameTheirKeyForTheColumn)
{
    const std::vector<std::pair<std::string, Split>> cases = {
        { "&New Project...\tCtrl+N", { "&New Project...", "n", MOD_CONTROL } },
        { "Redo\tShift+Ctrl+Z", { "Redo", "z", MOD_SHIFT | MOD_CONTROL } },
        { "Redo %s\tCtrl+Shift+Z", { "Redo %s", "z", MOD_SHIFT | MOD_CONTROL } },
        { "Clear\tDel", { "Clear", "Delete", 0 } },
        { "Set Front End\tAlt+]", { "Set Front End", "bracketright", MOD_ALT } },
        { "Set Back End\tAlt+[", { "Set Back End", "bracketleft", MOD_ALT } },
        { "Activate below\tCtrl+Down", { "Activate below", "Down", MOD_CONTROL } },
        { "&Process\tEnter", { "&Process", "Return", 0 } },
        { "&Cancel\tEsc", { "&Cancel", "Escape", 0 } },
        { "Edit Mask\tM", { "Edit Mask", "m", 0 } },
        { "Zoom In\tCtrl++", { "Zoom In", "plus", MOD_CONTROL } },
        { "Zoom Out\tCtrl+ -", { "Zoom Out", "minus", MOD_CONTROL } },
        { "Actual Pixels\tAlt+Ctrl+0", { "Actual Pixels", "0", MOD_ALT | MOD_CONTROL } },
        { "Work Area Start\tShift+Home", { "Work Area Start", "Home", MOD_SHIFT } },
        { "Play Forward\tSpace", { "Play Forward", "space", 0 } },
        { "Play Backward\tAlt+Space", { "Play Backward", "space", MOD_ALT } },
        { "Fit in Window\tCtrl+Alt+Home", { "Fit in Window", "Home", MOD_CONTROL | MOD_ALT } },
        { "Zoom In\t+", { "Zoom In", "plus", 0 } },
        { "Zoom Out\t-", { "Zoom Out", "minus", 0 } },
        { "Save &As...", { "Save &As...", "", 0 } },
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SplitOf(text), expected) << text;
}

TEST(MenuText, KeysOfTheAcceleratorTableWithoutALetterOrDigitHaveTheirNames)
{
    const std::vector<std::pair<std::string, Split>> cases = {
        { "a\tF6", { "a", "F6", 0 } },
        { "a\tShift+F6", { "a", "F6", MOD_SHIFT } },
        { "a\tF12", { "a", "F12", 0 } },
        { "a\tPgUp", { "a", "Page_Up", 0 } },
        { "a\tPage Down", { "a", "Page_Down", 0 } },
        { "a\tNum 0", { "a", "KP_0", 0 } },
        { "a\tNum +", { "a", "KP_Add", 0 } },
        { "a\tCtrl+Num -", { "a", "KP_Subtract", MOD_CONTROL } },
        { "a\tAlt+Backspace", { "a", "BackSpace", MOD_ALT } },
        { "a\tCtrl+Insert", { "a", "Insert", MOD_CONTROL } },
        { "a\tShift+Del", { "a", "Delete", MOD_SHIFT } },
        { "a\tCtrl+=", { "a", "equal", MOD_CONTROL } },
        { "a\tctrl+shift+z", { "a", "z", MOD_CONTROL | MOD_SHIFT } },
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SplitOf(text), expected) << text;
}

TEST(MenuText, AHintNamingNoKeyStaysAfterTheLabelAndTheColumnStaysEmpty)
{
    const std::vector<std::pair<std::string, Split>> cases = {
        { "Go\tHyper+Q", { "Go    Hyper+Q", "", 0 } },
        { "Go\tCtrl+\xC3\x9C", { "Go    Ctrl+\xC3\x9C", "", 0 } },
        { "Go\tF0", { "Go    F0", "", 0 } },
        { "Go\tF25", { "Go    F25", "", 0 } },
        { "Go\tCtrl+", { "Go    Ctrl+", "", 0 } },
        { "Go\tNum Q", { "Go    Num Q", "", 0 } },
        // Nothing after the tab: nothing to show.
        { "Go\t", { "Go", "", 0 } },
        { "Go\t  ", { "Go", "", 0 } },
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SplitOf(text), expected) << text;
}

} // namespace

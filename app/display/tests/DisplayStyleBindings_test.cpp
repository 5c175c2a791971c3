// The display style in the profile and in its property tree: defaults and
// clamping on loading, the packed matte colour, the opacity's rounding,
// the read-only rules that follow the type, and edits that are recorded
// without changing the history's undo.

#include "app/display/DisplayStyleProfile.h"
#include "app/display/DisplayStyleProperty.h"
#include "document/composition/TLComp.h"
#include "document/properties/ControlLogic.h"
#include "platform/registry/profile.h"
#include "widgets/controls/DropDown.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using My::EditableList;

class ProfileStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (std::filesystem::temp_directory_path() / "display_style_XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        m_root = name;
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            m_old = old;
        setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
    }
    void TearDown() override
    {
        if (m_old.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    platform::registry_profile profile { "Norvane", "Tavelo" };

private:
    std::filesystem::path m_root;
    std::string m_old;
};

TEST_F(ProfileStore, MissingSectionGivesCompositionWithSmoothInverseMasksAndAHalfBlueMatte)
{
    const DisplayStyle style = LoadDisplayStyle(profile);
    EXPECT_EQ(style.type, DisplayType::Composition);
    EXPECT_TRUE(style.smooth);
    EXPECT_TRUE(style.inverse);
    EXPECT_EQ(style.matte, (img::BGRA<unsigned char> { 255, 0, 0, 128 }));
    EXPECT_EQ(PackMatteColor(style.matte), 2147483903u);
}

TEST_F(ProfileStore, TypesAboveTheLastReadAsCompositionAndTheMatteRoundTripsAllBits)
{
    ASSERT_TRUE(profile.write_int("Display", "Type", 7));
    EXPECT_EQ(LoadDisplayStyle(profile).type, DisplayType::Composition);
    ASSERT_TRUE(profile.write_int("Display", "Type", -1));
    EXPECT_EQ(LoadDisplayStyle(profile).type, DisplayType::Composition);

    DisplayStyle style;
    style.type = DisplayType::MattedForeground;
    style.smooth = false;
    style.inverse = true;
    style.matte = { 0xFF, 0x10, 0x20, 0xFF };
    ASSERT_TRUE(SaveDisplayStyle(profile, style));
    const DisplayStyle back = LoadDisplayStyle(profile);
    EXPECT_EQ(back.type, DisplayType::MattedForeground);
    EXPECT_FALSE(back.smooth);
    EXPECT_TRUE(back.inverse);
    EXPECT_EQ(back.matte, style.matte);
    EXPECT_EQ(profile.get_int("Display", "MatteColor", 0), 0xFF2010FFu);
}

// The view's side: holds a style, stores a different one and repaints.
struct FakeView : My::EditableObject {
    DisplayStyle style;
    int repaints = 0;
    My::PropertyTable table;
    My::PropertyTable& GetProperties() override { return table; }
    std::string GetTypeName() const override { return "View"; }
    const DisplayStyle& GetStyle() const { return style; }
    void SetStyle(const DisplayStyle& s)
    {
        if (s == style && s.matte == style.matte && s.smooth == style.smooth && s.inverse == style.inverse)
            return;
        style = s;
        ++repaints;
    }
};

struct Tree {
    FakeView view;
    TLComp comp;
    My::Doc* previous = My::SetCurrentDoc(&comp);
    My::DisplayStyleProperty property;
    EditableList list { { &view } };
    Tree()
    {
        property.SetReadAccess(My::ReadAccessPtr<DisplayStyle>(
            new My::GetObjectRefFunction<FakeView, DisplayStyle>(&FakeView::GetStyle)));
        property.SetWriteAccess(My::WriteAccessPtr<DisplayStyle>(
            new My::SetObjectRefFunction<FakeView, DisplayStyle>(&FakeView::SetStyle)));
        view.style = { DisplayType::Composition, true, true, { 255, 0, 0, 128 } };
    }
    ~Tree() { My::SetCurrentDoc(previous); }
    My::PropertyBase& At(std::uint32_t group, std::uint32_t id = 0)
    {
        const My::PropertyMap* children = property.GetChildren(list);
        for (const auto& [label, p] : *children) {
            if (label.GetId() != group)
                continue;
            if (!id)
                return *p;
            for (const auto& [l, c] : *p->GetChildren(list))
                if (l.GetId() == id)
                    return *c;
        }
        ADD_FAILURE() << group << " " << id;
        return property;
    }
    template <class T> My::BasicProperty<T>& Typed(std::uint32_t group, std::uint32_t id = 0)
    {
        return dynamic_cast<My::BasicProperty<T>&>(At(group, id));
    }
};

TEST(DisplayStyleTree, RowsInLabelOrderWithTheirTexts)
{
    Tree t;
    std::vector<std::string> labels;
    for (const auto& [label, p] : *t.property.GetChildren(t.list))
        labels.push_back(label.GetText());
    EXPECT_EQ(labels, (std::vector<std::string> { "Mask", "Matte", "Type" }));
    EXPECT_EQ(My::DisplayTable<DisplayType>()[3].label.GetText(), "Matted Foreground (4)");
    EXPECT_EQ(My::CurrentEntry(t.Typed<DisplayType>(51049), t.list), 4);
    std::string text;
    ASSERT_TRUE(My::GetValueText(t.Typed<My::Percent<0>>(51046, 51048), t.list, text));
    EXPECT_EQ(text, "50%");
    // The type's row edits with a drop-down of the five types.
    My::Control* control = t.At(51049).CreateControl(t.list);
    auto* drop = dynamic_cast<My::DropDown*>(control);
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(drop->GetCount(), 5);
    EXPECT_EQ(drop->GetText(0), "Mask Only (1)");
    t.At(51049).DestroyControl(control);
    EXPECT_EQ(t.property.CreateControl(t.list), nullptr);
}

TEST(DisplayStyleTree, ReadOnlyRulesFollowTheTypeAtOnce)
{
    Tree t;
    EXPECT_FALSE(t.At(51043, 51044).IsReadOnly(t.list));
    EXPECT_TRUE(t.At(51046, 51047).IsReadOnly(t.list));
    EXPECT_TRUE(t.At(51046, 51048).IsReadOnly(t.list));
    EXPECT_FALSE(t.At(51049).IsReadOnly(t.list));
    My::ChooseEntry(t.Typed<DisplayType>(51049), t.list, 1);
    EXPECT_TRUE(t.At(51043, 51044).IsReadOnly(t.list));
    EXPECT_TRUE(t.At(51043, 51045).IsReadOnly(t.list));
    My::ChooseEntry(t.Typed<DisplayType>(51049), t.list, 3);
    EXPECT_FALSE(t.At(51043, 51045).IsReadOnly(t.list));
    EXPECT_FALSE(t.At(51046, 51047).IsReadOnly(t.list));
    EXPECT_FALSE(t.At(51046, 51048).IsReadOnly(t.list));
}

TEST(DisplayStyleTree, OpacityRoundsHalfUpAndColourKeepsIt)
{
    Tree t;
    t.view.style.type = DisplayType::MattedForeground;
    auto& opacity = t.Typed<My::Percent<0>>(51046, 51048);
    My::SetValueText(opacity, t.list, "100");
    EXPECT_EQ(t.view.style.matte.a, 255);
    My::SetValueText(opacity, t.list, "0%");
    EXPECT_EQ(t.view.style.matte.a, 0);
    My::SetValueText(opacity, t.list, "50");
    EXPECT_EQ(t.view.style.matte.a, 128);
    My::SetColorRef(t.Typed<img::BGRA<unsigned char>>(51046, 51047), t.list, 0x0000FF00);
    EXPECT_EQ(t.view.style.matte, (img::BGRA<unsigned char> { 0, 255, 0, 128 }));
}

TEST(DisplayStyleTree, ChoosingATypeRepaintsAndAddsAnEntryThatUndoLeavesAlone)
{
    Tree t;
    t.comp.GetHistory().MarkSaved();
    const std::size_t entries = t.comp.GetHistory().GetCount();
    My::ChooseEntry(t.Typed<DisplayType>(51049), t.list, 0);
    EXPECT_EQ(t.view.style.type, DisplayType::MaskOnly);
    EXPECT_EQ(t.view.repaints, 1);
    EXPECT_EQ(t.comp.GetHistory().GetCount(), entries + 1);
    EXPECT_EQ(t.comp.GetHistory().GetUndoName(), "");
    EXPECT_TRUE(t.comp.IsModified());
    t.comp.GetHistory().Undo();
    EXPECT_EQ(t.view.style.type, DisplayType::MaskOnly);
    // The smooth flag is written as part of the whole style.
    My::ClickCheck(t.Typed<bool>(51043, 51044), t.list);
    EXPECT_FALSE(t.view.style.smooth);
    EXPECT_EQ(t.view.style.type, DisplayType::MaskOnly);
}

} // namespace

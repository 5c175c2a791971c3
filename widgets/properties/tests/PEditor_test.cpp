#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/gui/messages.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/properties/PEditor.h"
#include "widgets/properties/PropertyRow.h"
#include "widgets/properties/RowPropertyControl.h"
#include "widgets/properties/tests/SampleProperties.h"

namespace {

// A settings store of its own for each test.
struct Store {
    std::filesystem::path root;
    Store()
    {
        root = std::filesystem::path(::testing::TempDir())
            / ("peditor_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    }
    ~Store() { std::filesystem::remove_all(root); }
    static platform::registry_profile profile() { return { "NorvaneTest", "Tavelo" }; }
};

struct Reports : My::Prompt {
    std::vector<std::string> texts;
    My::Prompt* previous = My::SetPrompt(this);
    ~Reports() { My::SetPrompt(previous); }
    int MessageBox(const std::string& text, unsigned) override
    {
        texts.push_back(text);
        return My::IDOK;
    }
};

struct Rig {
    Store store;
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> host_peer = test::attach_fake(host);
    My::PEditor editor { "Test Editor", Store::profile() };
    std::shared_ptr<test::FakePeerState> list_peer;
    Rig(int width = 300, int height = 200)
    {
        host_peer->client = CRect(0, 0, width, height);
        host.AddChild(&editor);
        list_peer = test::attach_fake(editor.GetList(), &host);
        editor.SetBounds(CRect(0, 0, width, height));
        list_peer->client = CRect(0, 0, width, height - editor.GetInfoHeight());
        editor.GetList().Layout();
    }
    ~Rig() { host.RemoveChild(&editor); }
    std::vector<std::string> captions()
    {
        std::vector<std::string> out;
        for (int i = 0; i < editor.GetList().GetRowCount(); ++i)
            out.push_back(editor.GetList().GetPropertyRow(i)->GetCaption().GetText());
        return out;
    }
    void key(UINT k) { editor.GetList().OnKeyDown(k, 1, 0); }
};

using Captions = std::vector<std::string>;

} // namespace

TEST(PEditor, AProfileWithoutItsSectionGivesTheDefaultsAndDestructionStoresTheSizes)
{
    Store store;
    {
        My::PEditor editor("Fresh Editor", Store::profile());
        EXPECT_EQ(editor.GetCaptionWidth(), 125);
        EXPECT_EQ(editor.GetStoredInfoHeight(), 75);
        editor.SetCaptionWidth(150);
    }
    platform::registry_profile p = Store::profile();
    EXPECT_EQ(p.get_int("Fresh Editor", "Caption", 0), 150u);
    EXPECT_EQ(p.get_int("Fresh Editor", "Info", 0), 75u);
    My::PEditor again("Fresh Editor", Store::profile());
    EXPECT_EQ(again.GetCaptionWidth(), 150);
}

TEST(PEditor, InfoHeightIsLimitedByTheEditorAndNeverNegative)
{
    Rig r(300, 10);
    // Smaller than the minimum pane: limited to 0, not below.
    EXPECT_EQ(r.editor.GetInfoHeight(), 0);
    r.editor.SetBounds(CRect(0, 0, 300, 60));
    EXPECT_EQ(r.editor.GetInfoHeight(), 41);
    EXPECT_EQ(r.editor.GetStoredInfoHeight(), 75);
    r.editor.SetInfoHeight(2);
    EXPECT_EQ(r.editor.GetStoredInfoHeight(), 19);
    r.editor.ShowInfo(false);
    EXPECT_EQ(r.editor.GetInfoHeight(), 0);
    EXPECT_EQ(r.editor.GetList().Widget::GetBounds(), CRect(0, 0, 300, 60));
}

TEST(PEditor, CaptionWidthHasAMinimumAndIsShownWithinTheList)
{
    Rig r(100, 200);
    r.editor.SetCaptionWidth(3);
    EXPECT_EQ(r.editor.GetCaptionWidth(), 8);
    r.editor.SetCaptionWidth(500);
    EXPECT_EQ(r.editor.GetCaptionWidth(), 500);
    EXPECT_EQ(r.editor.GetEffectiveCaptionWidth(), 92);
    r.list_peer->client = CRect(0, 0, 4, 100);
    EXPECT_EQ(r.editor.GetEffectiveCaptionWidth(), 0);
}

TEST(PEditor, RowsFollowTheTableAndTheInitiallyExpandedGroup)
{
    Rig r;
    test::Sample a;
    r.editor.SetObject(&a);
    EXPECT_EQ(r.captions(), (Captions { "Position", "Size", "Height", "Width" }));
    auto* size = r.editor.GetList().GetPropertyRow(1);
    EXPECT_EQ(size->GetChildRows()[0]->GetLevel(), 1);
    // A root row's caption from x = 13, its expander from 2 to 13.
    EXPECT_EQ(size->GetCaptionRect().left, 13);
    size->Collapse();
    EXPECT_EQ(r.captions(), (Captions { "Position", "Size" }));
    r.editor.SetObject(nullptr);
    EXPECT_EQ(r.editor.GetList().GetRowCount(), 0);
    EXPECT_EQ(r.editor.GetObjects().GetCount(), 0u);
}

TEST(PEditor, AnotherObjectOfTheSameKindKeepsExpansionAndSelection)
{
    Rig r;
    test::Sample a, b;
    r.editor.SetObject(&a);
    r.editor.GetList().GetPropertyRow(0)->Expand();
    r.editor.GetList().GetPropertyRow(3)->Collapse();
    r.editor.GetList().SelectRow(2);
    EXPECT_EQ(r.captions(), (Captions { "Position", "Left", "Top", "Size" }));
    r.editor.SetObject(&b);
    r.editor.SetObject(&a);
    EXPECT_EQ(r.captions(), (Captions { "Position", "Left", "Top", "Size" }));
    EXPECT_EQ(r.editor.GetList().GetSelected(), 2);
}

TEST(PEditor, KeysDoNothingWithoutASelectionAndMoveItOtherwise)
{
    Rig r(300, 75 + 3 * 18 + 19);
    test::Sample a;
    r.editor.SetObject(&a);
    r.key(VK_DOWN);
    r.key(VK_RETURN);
    EXPECT_EQ(r.editor.GetList().GetSelected(), -1);
    EXPECT_EQ(r.editor.GetList().GetRowCount(), 4);
    r.editor.GetList().SelectRow(0);
    r.key(VK_RETURN);
    EXPECT_EQ(r.editor.GetList().GetRowCount(), 6);
    r.key(VK_LEFT);
    EXPECT_EQ(r.editor.GetList().GetRowCount(), 4);
    r.key(VK_UP);
    EXPECT_EQ(r.editor.GetList().GetSelected(), 0);
    r.key(VK_END);
    EXPECT_EQ(r.editor.GetList().GetSelected(), 3);
    // Page Up less than one list height below the top: the first row.
    r.key(VK_PRIOR);
    EXPECT_EQ(r.editor.GetList().GetSelected(), 0);
    // Page Down from a row less than one list height above the end.
    r.key(VK_NEXT);
    EXPECT_EQ(r.editor.GetList().GetSelected(), 3);
    r.editor.GetList().SelectRow(99);
    EXPECT_EQ(r.editor.GetList().GetSelected(), 3);
}

TEST(PEditor, AChangedPropertyRefreshesItsRowAtTheNextUpdate)
{
    Rig r;
    test::Sample a;
    r.editor.SetObject(&a);
    auto* width = r.editor.GetList().GetPropertyRow(3);
    EXPECT_TRUE(width->IsUpToDate());
    a.NotifyChange(&test::sample_table().width);
    EXPECT_FALSE(width->IsUpToDate());
    My::UpdateUIEvent e;
    r.host.OnEvent(e);
    EXPECT_TRUE(width->IsUpToDate());
    EXPECT_EQ(r.captions(), (Captions { "Position", "Size", "Height", "Width" }));
}

TEST(EditRecorder, AThrowingSetterAbortsTheEditReportsItsTextAndKeepsTheStoredValue)
{
    Reports reports;
    test::History h;
    test::history() = &h;
    test::Sample a, b;
    My::EditableList both(std::vector<My::EditableObject*> { &a, &b });
    auto& width = test::sample_table().width;
    // b refuses: a's write is undone with the group.
    b.values["Width"] = 1;
    bool ok = My::ApplyEdit(both, [&](My::EditableObject* o) { width.Write(o, o == &b ? -1 : 800); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(a.values["Width"], 640);
    EXPECT_EQ(h.aborted, 1);
    EXPECT_TRUE(h.entries.empty());
    ASSERT_EQ(reports.texts.size(), 1u);
    EXPECT_NE(reports.texts[0].find("The value must not be negative."), std::string::npos);

    ok = My::ApplyEdit(both, [&](My::EditableObject* o) { width.Write(o, 800); });
    EXPECT_TRUE(ok);
    ASSERT_EQ(h.entries.size(), 1u);
    EXPECT_EQ(h.entries[0].size(), 2u);
    h.Undo();
    EXPECT_EQ(a.values["Width"], 640);
    EXPECT_EQ(b.values["Width"], 1);
    test::history() = nullptr;
}

TEST(EditRecorder, WithoutARecorderEditsAreWrittenDirectly)
{
    test::Sample a;
    My::EditableList one(std::vector<My::EditableObject*> { &a });
    EXPECT_TRUE(My::ApplyEdit(one, [&](My::EditableObject* o) { test::sample_table().top.Write(o, 7); }));
    EXPECT_EQ(a.values["Top"], 7);
}

namespace {

// Counts the controls its properties make and get back.
struct Counted : test::IntProperty {
    int made = 0, returned = 0;
    using test::IntProperty::IntProperty;
    My::Control* CreateControl(const My::EditableList& objects) override
    {
        ++made;
        return test::IntProperty::CreateControl(objects);
    }
    void DestroyControl(My::Control* control) override
    {
        ++returned;
        test::IntProperty::DestroyControl(control);
    }
};

// A sample (the parts read its values) with a table of its own.
struct Composite : test::Sample {
    My::PropertyTable table;
    My::PropertyTable& GetProperties() override { return table; }
};

} // namespace

TEST(RowPropertyControl, ACompositeIsEditedInOneRowWithLabelledParts)
{
    Rig r;
    Counted left("Left", ""), top("Top", "");
    My::PropertyString origin(My::ResourceString("Where it starts."));
    origin.Add("Left", &left);
    origin.Add("Top", &top);
    Composite object;
    object.table.Add("Origin", &origin);
    r.editor.SetObject(&object);
    // No child rows: the parts sit in the row's own control.
    ASSERT_EQ(r.editor.GetList().GetRowCount(), 1);
    My::PropertyRow* row = r.editor.GetList().GetPropertyRow(0);
    EXPECT_FALSE(row->HasChildren());
    auto* control = dynamic_cast<My::RowPropertyControl*>(row->GetHostedControl());
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetGap(), 0);
    ASSERT_EQ(control->GetCount(), 2u);
    auto* first = dynamic_cast<My::LabelledWidget*>(control->GetControl(0));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(dynamic_cast<test::IntText*>(first->GetControl()), nullptr);
    EXPECT_EQ(control->GetObjects().GetObjects(), r.editor.GetObjects().GetObjects());
    EXPECT_EQ(left.made, 1);
    r.editor.SetObject(nullptr);
    EXPECT_EQ(left.returned, 1);
    EXPECT_EQ(top.returned, 1);
}

TEST(PEditor, SplittersDragTheCaptionWidthAndTheInfoHeight)
{
    Rig r(300, 200);
    test::Sample a;
    r.editor.SetObject(&a);
    My::PEditor::VSplitter& v = r.editor.GetVSplitter();
    EXPECT_EQ(v.GetBounds(), CRect(123, 0, 128, 125));
    v.OnLeftDown(MK_LBUTTON, CPoint(2, 10));
    v.OnMouseMove(MK_LBUTTON, CPoint(32, 10));
    // The splitter moved with the first step; the second is measured from
    // where it stands now.
    v.OnLeftUp(0, CPoint(2 + 40 - 30, 10));
    EXPECT_EQ(r.editor.GetCaptionWidth(), 165);
    EXPECT_EQ(v.GetBounds(), CRect(163, 0, 168, 125));
    // The rows' controls follow the caption column.
    const My::Control* value = r.editor.GetList().GetPropertyRow(3)->GetHostedControl();
    EXPECT_EQ(value->GetBounds().left, 169);

    My::PEditor::HSplitter& h = r.editor.GetHSplitter();
    EXPECT_EQ(h.GetBounds(), CRect(0, 123, 300, 128));
    h.OnLeftDown(MK_LBUTTON, CPoint(50, 2));
    h.OnMouseMove(MK_LBUTTON, CPoint(50, 500));
    h.OnLeftUp(0, CPoint(50, 500));
    // Past the bottom: the smallest pane.
    EXPECT_EQ(r.editor.GetInfoHeight(), 19);
    EXPECT_EQ(r.editor.GetInfoPanel().GetBounds(), CRect(0, 181, 300, 200));
}

TEST(PEditor, RowsDrawTheirExpanderAndCaptionAtTheirLevel)
{
    Rig r;
    test::Sample a;
    r.editor.SetObject(&a);
    CDC dc;
    My::PropertyRow* position = r.editor.GetList().GetPropertyRow(0);
    position->Draw(dc, CRect(0, 0, 300, 18));
    EXPECT_EQ(position->GetExpanderRect(), CRect(2, 0, 13, 16));
    My::PropertyRow* height = r.editor.GetList().GetPropertyRow(2);
    EXPECT_EQ(height->GetCaptionRect(), CRect(29, 0, 125, 18));
    height->Draw(dc, CRect(0, 0, 300, 18));
    EXPECT_TRUE(height->GetExpanderRect().IsRectEmpty());
    // A press on the expander toggles, a press beside it selects.
    position->OnLeftDown(MK_LBUTTON, CPoint(7, 8));
    position->OnLeftUp(0, CPoint(7, 8));
    EXPECT_EQ(r.captions(), (Captions { "Position", "Left", "Top", "Size", "Height", "Width" }));
    EXPECT_EQ(r.editor.GetList().GetSelected(), -1);
    position->OnLeftDown(MK_LBUTTON, CPoint(40, 8));
    position->OnLeftUp(0, CPoint(40, 8));
    EXPECT_EQ(r.editor.GetList().GetSelected(), 0);
    position->OnLeftDoubleClick(MK_LBUTTON, CPoint(40, 8));
    EXPECT_EQ(r.editor.GetList().GetRowCount(), 4);
    // A press on the list's background selects nothing.
    r.editor.GetList().OnLeftDown(MK_LBUTTON, CPoint(40, 190));
    EXPECT_EQ(r.editor.GetList().GetSelected(), -1);
}

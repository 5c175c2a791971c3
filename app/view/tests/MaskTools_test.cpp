// The mask editor and its tools over a view with a fake window: strokes,
// clipping at the edges, flood fill on exact masks, commits and undo, the
// temporary tools and the space-bar tap.

#include "app/view/FloodFill.h"
#include "app/view/MaskEditor.h"
#include "app/view/SequenceView.h"
#include "app/view/StampAlong.h"
#include "document/segments/TLSegment.h"
#include "document/tests/segment_test_support.h"
#include "foundation/files/bmp_reader.h"
#include "platform/gui/messages.h"
#include "widgets/core/Event.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/tests/FakeHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

img::image<img::bit> Blank(unsigned w, unsigned h)
{
    img::image<img::bit> m(w, h, 4);
    m.fill(false);
    return m;
}

std::string Rows(const img::image<img::bit>& m)
{
    std::string s;
    for (unsigned y = 0; y < m.height; ++y) {
        for (unsigned x = 0; x < m.width; ++x)
            s += m.at(x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

img::image<img::bit> FromRows(const std::vector<std::string>& rows)
{
    img::image<img::bit> m = Blank(static_cast<unsigned>(rows[0].size()), static_cast<unsigned>(rows.size()));
    for (unsigned y = 0; y < m.height; ++y)
        for (unsigned x = 0; x < m.width; ++x)
            m.at(x, y) = rows[y][x] == '#';
    return m;
}

// A mask owner that keeps its actions as an undo stack.
class Owner : public My::MaskOwner {
public:
    explicit Owner(img::image<img::bit> mask)
        : m_mask(std::move(mask))
    {
    }
    const img::image<img::bit>& GetMask() const override { return m_mask; }
    void SetMask(const img::image<img::bit>& mask, const std::string& name) override
    {
        m_undo.push_back(m_mask);
        names.push_back(name);
        m_mask = mask;
        if (editor)
            editor->ReloadMask();
    }
    void Undo()
    {
        m_mask = m_undo.back();
        m_undo.pop_back();
        if (editor)
            editor->ReloadMask();
    }
    std::vector<std::string> names;
    My::MaskEditor* editor = nullptr;

private:
    img::image<img::bit> m_mask;
    std::vector<img::image<img::bit>> m_undo;
};

struct Fixture : ::testing::Test {
    Fixture()
    {
        state = test::attach_fake(view);
        // The window just holds the image at zoom 1: client = image points.
        state->client = CRect(0, 0, 64, 48);
        view.SendMessage(WM_SIZE, 0, MAKELPARAM(64, 48));
        view.SetImageSize(64, 48);
        view.ScrollTo(0, 0, true);
    }
    LRESULT Send(UINT message, WPARAM w, CPoint p)
    {
        return view.SendMessage(message, w, MAKELPARAM(p.x, p.y));
    }
    void Key(UINT message, UINT key, bool repeat = false)
    {
        view.SendMessage(message, key, repeat ? LPARAM(KF_REPEAT) << 16 : 0);
    }

    My::SequenceView view;
    std::shared_ptr<test::FakePeerState> state;
    My::MaskEditor editor { view };
};

} // namespace

TEST(FloodFill, SeedOutsideTheMaskOrOnTheValueChangesNothing)
{
    img::image<img::bit> m = FromRows({ "#..", "..#" });
    EXPECT_EQ(My::FloodFill(m, -1, 0, true), 0u);
    EXPECT_EQ(My::FloodFill(m, 3, 0, true), 0u);
    EXPECT_EQ(My::FloodFill(m, 0, 2, true), 0u);
    EXPECT_EQ(My::FloodFill(m, 0, 0, true), 0u);
    EXPECT_EQ(Rows(m), "#..\n..#\n");
}

TEST(FloodFill, SeedOnTheSecondRowReachesTheFirstRowThroughItsSpanOnly)
{
    img::image<img::bit> m = FromRows({
        "..#.....",
        "#.#.##.#",
        "#......#",
        "########",
    });
    EXPECT_EQ(My::FloodFill(m, 4, 2, true), 16u);
    // Exact result: everything connected to (4, 2) is set, including the
    // top row's runs reached through row 1's gaps.
    EXPECT_EQ(Rows(m), "########\n########\n########\n########\n");
}

TEST(FloodFill, SerpentineRegionOnAFullHdMaskFillsWithoutDeepRecursion)
{
    // Walls every other row, open at alternating ends: one path of about a
    // million pixels winding through the whole frame.
    img::image<img::bit> m = Blank(1920, 1080);
    for (unsigned y = 1; y < 1080; y += 2)
        for (unsigned x = 0; x < 1920; ++x)
            m.at(x, y) = (y / 2) % 2 == 0 ? x != 1919 : x != 0;
    const std::uint64_t walls = m.count();
    const std::uint64_t changed = My::FloodFill(m, 0, 0, true);
    EXPECT_EQ(changed, 1920u * 1080u - walls);
    EXPECT_EQ(m.count(), 1920u * 1080u);
}

TEST_F(Fixture, StampNearTheEdgesIsClippedAndStaysInsideTheMask)
{
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    ASSERT_EQ(view.GetTool(), &editor.GetBrushTool());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(0, 0));
    Send(WM_LBUTTONUP, 0, CPoint(0, 0));
    const img::image<img::bit>& m = owner.GetMask();
    // The quarter of a radius-20 disc centred on the corner.
    EXPECT_TRUE(m.at(0, 0));
    EXPECT_TRUE(m.at(18, 0));
    EXPECT_FALSE(m.at(20, 0));
    EXPECT_FALSE(m.at(19, 19));
    EXPECT_GT(m.count(), 250u);
    EXPECT_LT(m.count(), 400u);
    ASSERT_EQ(owner.names, std::vector<std::string> { "Brush" });
    // Right button clears along a stroke that runs off the bottom right.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(63, 47));
    Send(WM_LBUTTONUP, 0, CPoint(63, 47));
    EXPECT_TRUE(owner.GetMask().at(63, 47));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, CPoint(60, 40));
    Send(WM_MOUSEMOVE, MK_RBUTTON, CPoint(70, 60));
    Send(WM_RBUTTONUP, 0, CPoint(70, 60));
    EXPECT_FALSE(owner.GetMask().at(63, 47));
    EXPECT_EQ(owner.names.size(), 3u);
}

TEST(StampAlong, StampsLieAtMostHalfARadiusApartAndOnlyWhereTheyCanTouchTheMask)
{
    // A stamp whose one set bit is its centre marks where each stamp went.
    const int r = 4;
    img::image<img::bit> dot = Blank(2 * r, 2 * r);
    dot.at(r, r) = true;
    img::image<img::bit> mask = Blank(200, 40);
    EXPECT_TRUE(My::StampAlong(mask, dot, r, { 10.0, 20.0 }, { 190.0, 20.0 }, true));
    std::vector<unsigned> xs;
    for (unsigned x = 0; x < mask.width; ++x)
        if (mask.at(x, 20))
            xs.push_back(x);
    EXPECT_EQ(mask.count(), xs.size());
    // The start is the previous step's; the end lies under the pointer.
    ASSERT_FALSE(xs.empty());
    EXPECT_GT(xs.front(), 10u);
    EXPECT_LE(xs.front(), 12u);
    EXPECT_EQ(xs.back(), 190u);
    for (std::size_t i = 1; i < xs.size(); ++i)
        EXPECT_LE(xs[i] - xs[i - 1], 2u) << "between " << xs[i - 1] << " and " << xs[i];

    // A pointer far beyond the mask: only the stretch across it is stamped
    // (at once, not over two hundred million steps), and a way that passes
    // by the mask stamps nothing.
    img::image<img::bit> square = Blank(2, 2);
    square.fill(true);
    mask.fill(false);
    EXPECT_TRUE(My::StampAlong(mask, square, 1, { -1e8, 20.0 }, { 1e8, 20.0 }, true));
    for (unsigned x = 0; x < mask.width; ++x)
        EXPECT_TRUE(mask.at(x, 20)) << x;
    EXPECT_FALSE(My::StampAlong(mask, square, 1, { -50.0, -30.0 }, { 300.0, -30.0 }, false));
    EXPECT_EQ(mask.count(), 2u * 200u);
    // Clearing along the same way.
    EXPECT_TRUE(My::StampAlong(mask, square, 1, { -5.0, 20.0 }, { 205.0, 20.0 }, false));
    EXPECT_EQ(mask.count(), 0u);
}

TEST_F(Fixture, FastStrokeIsClosedSoAFillInsideItsRingStaysInside)
{
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    My::BrushTool& brush = editor.GetBrushTool();
    brush.ChangeSize(2 - brush.GetRadius());
    // A ring of eight moves, each far longer than the brush is wide.
    const std::vector<CPoint> ring { { 32, 6 }, { 46, 12 }, { 52, 24 }, { 46, 36 }, { 32, 42 }, { 18, 36 },
        { 12, 24 }, { 18, 12 }, { 32, 6 } };
    Send(WM_LBUTTONDOWN, MK_LBUTTON, ring.front());
    for (const CPoint& p : ring)
        Send(WM_MOUSEMOVE, MK_LBUTTON, p);
    Send(WM_LBUTTONUP, 0, ring.back());
    ASSERT_EQ(owner.names, std::vector<std::string> { "Brush" });
    // Halfway between two corners of the ring.
    EXPECT_TRUE(owner.GetMask().at(39, 9));
    view.SetTool(&editor.GetFillTool());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(32, 24));
    Send(WM_LBUTTONUP, 0, CPoint(32, 24));
    EXPECT_TRUE(owner.GetMask().at(32, 24));
    EXPECT_FALSE(owner.GetMask().at(2, 2));
    EXPECT_FALSE(owner.GetMask().at(60, 45));
    EXPECT_LT(owner.GetMask().count(), 64u * 48u / 2);

    // Erasing across the ring in one fast move clears the whole way.
    view.SetTool(&brush);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, CPoint(4, 24));
    Send(WM_MOUSEMOVE, MK_RBUTTON, CPoint(60, 24));
    Send(WM_RBUTTONUP, 0, CPoint(60, 24));
    for (int x = 4; x <= 60; ++x)
        EXPECT_FALSE(owner.GetMask().at(x, 24)) << x;
    EXPECT_EQ(owner.names, (std::vector<std::string> { "Brush", "Fill", "Brush" }));
}

TEST_F(Fixture, BothButtonsHeldPaintNothingAndOneStrokeIsOneAction)
{
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(30, 20));
    const std::uint64_t afterLeft = editor.GetMask().count();
    Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, CPoint(30, 20));
    Send(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, CPoint(5, 5));
    EXPECT_EQ(editor.GetMask().count(), afterLeft);
    EXPECT_FALSE(editor.GetMask().at(5, 5));
    // Releasing the left button paints with the right one: it clears.
    Send(WM_LBUTTONUP, MK_RBUTTON, CPoint(30, 20));
    EXPECT_FALSE(editor.GetMask().at(30, 20));
    Send(WM_RBUTTONUP, 0, CPoint(30, 20));
    EXPECT_EQ(owner.names, std::vector<std::string> { "Brush" });
}

TEST_F(Fixture, UndoReloadsTheEditorButItsOwnCommitDoesNot)
{
    Owner owner(Blank(64, 48));
    owner.editor = &editor;
    editor.BeginEdit(&owner);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(10, 10));
    Send(WM_MOUSEMOVE, MK_LBUTTON, CPoint(40, 10));
    Send(WM_LBUTTONUP, 0, CPoint(40, 10));
    EXPECT_TRUE(editor.GetMask().at(25, 10));
    EXPECT_EQ(Rows(editor.GetMask()), Rows(owner.GetMask()));
    owner.Undo();
    EXPECT_EQ(editor.GetMask().count(), 0u);
}

TEST_F(Fixture, FillCommitsAlsoWhenNothingChangedAndNotOutsideTheImage)
{
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    view.SetTool(&editor.GetFillTool());
    Send(WM_RBUTTONDOWN, MK_RBUTTON, CPoint(3, 3));
    EXPECT_EQ(owner.names, std::vector<std::string> { "Fill" });
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(64 + 10, 3));
    EXPECT_EQ(owner.names.size(), 1u);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(20, 20));
    EXPECT_EQ(owner.GetMask().count(), 64u * 48u);
}

TEST_F(Fixture, EndingAndBeginningTheEditRestoresTheToolAndCommandsFollowEditing)
{
    Owner owner(Blank(64, 48));
    struct UI : My::CommandUI {
        void Enable(bool e) override { enabled = e; }
        void SetCheck(int c) override { checked = c; }
        void SetRadio(bool) override { }
        void SetText(const std::string&) override { }
        bool IsMenuItem() const override { return true; }
        bool enabled = true;
        int checked = 0;
    };
    for (UINT id : { My::ID_TOOL_BRUSH, My::ID_TOOL_FILL, My::ID_IMPORT_MASK, My::ID_EXPORT_MASK }) {
        UI ui;
        My::UpdateCommandUIEvent e(id, &ui);
        editor.RouteCommand(e);
        EXPECT_FALSE(ui.enabled) << id;
    }
    editor.BeginEdit(&owner);
    My::CommandEvent fill(My::ID_TOOL_FILL);
    EXPECT_TRUE(editor.RouteCommand(fill));
    EXPECT_EQ(view.GetTool(), &editor.GetFillTool());
    editor.EndEdit();
    EXPECT_EQ(view.GetTool(), nullptr);
    editor.BeginEdit(&owner);
    EXPECT_EQ(view.GetTool(), &editor.GetFillTool());
}

TEST_F(Fixture, RadiusStepsAccelerateAndStopAtTheLimits)
{
    My::BrushTool& brush = editor.GetBrushTool();
    std::vector<int> radii;
    for (int i = 0; i < 7; ++i) {
        brush.KeyDown(VK_OEM_6, i > 0);
        radii.push_back(brush.GetRadius());
    }
    EXPECT_EQ(radii, (std::vector<int> { 21, 23, 25, 30, 35, 45, 55 }));
    brush.KeyUp(VK_OEM_6);
    for (int i = 0; i < 40; ++i)
        brush.KeyDown(VK_OEM_6, true);
    EXPECT_EQ(brush.GetRadius(), 150);
    brush.KeyUp(VK_OEM_6);
    for (int i = 0; i < 40; ++i)
        brush.KeyDown(VK_OEM_4, true);
    EXPECT_EQ(brush.GetRadius(), 1);
    // Numeric-pad plus only in Alt mode.
    brush.KeyUp(VK_OEM_4);
    brush.KeyDown(VK_ADD, false);
    EXPECT_EQ(brush.GetRadius(), 1);
}

TEST_F(Fixture, StrokeCutShortByATemporaryToolOrTheEndOfEditingIsCommitted)
{
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    // Ctrl comes with a move of the stroke: the pan tool takes over.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(20, 20));
    Send(WM_MOUSEMOVE, MK_LBUTTON, CPoint(30, 20));
    Send(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, CPoint(34, 20));
    EXPECT_EQ(view.GetEffectiveTool(), &view.GetPanTool());
    ASSERT_EQ(owner.names, std::vector<std::string> { "Brush" });
    EXPECT_TRUE(owner.GetMask().at(30, 20));
    EXPECT_EQ(editor.GetBrushTool().GetHeldButtons(), 0);
    Send(WM_LBUTTONUP, MK_CONTROL, CPoint(34, 20));
    Send(WM_MOUSEMOVE, 0, CPoint(34, 30));
    EXPECT_EQ(view.GetEffectiveTool(), &editor.GetBrushTool());
    EXPECT_EQ(owner.names.size(), 1u);

    // Editing ends while the right button clears.
    Send(WM_RBUTTONDOWN, MK_RBUTTON, CPoint(30, 20));
    editor.EndEdit();
    ASSERT_EQ(owner.names.size(), 2u);
    EXPECT_FALSE(owner.GetMask().at(30, 20));
    Send(WM_RBUTTONUP, 0, CPoint(30, 20));
    EXPECT_EQ(owner.names.size(), 2u);
}

TEST_F(Fixture, CtrlOrSpaceHoldsThePanToolAndAltMakesItTheZoomTool)
{
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    Key(WM_KEYDOWN, VK_CONTROL);
    EXPECT_EQ(view.GetEffectiveTool(), &view.GetPanTool());
    Key(WM_KEYDOWN, VK_MENU);
    EXPECT_EQ(view.GetEffectiveTool(), &view.GetZoomTool());
    Key(WM_KEYUP, VK_MENU);
    Key(WM_KEYUP, VK_CONTROL);
    EXPECT_EQ(view.GetEffectiveTool(), &editor.GetBrushTool());
    Key(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(view.GetEffectiveTool(), &view.GetPanTool());
    Key(WM_KEYUP, VK_SPACE);
    EXPECT_EQ(view.GetEffectiveTool(), &editor.GetBrushTool());
}

TEST_F(Fixture, SpaceTapTogglesPlayButNotAfterPanningOrAutoRepeat)
{
    std::vector<UINT> sent;
    view.SetFrameCommandSink([&](UINT id) { sent.push_back(id); });
    Key(WM_KEYDOWN, VK_SPACE);
    Key(WM_KEYUP, VK_SPACE);
    EXPECT_EQ(sent, std::vector<UINT> { My::ID_PLAY_TOGGLE });
    Key(WM_KEYDOWN, VK_SPACE);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(5, 5));
    Send(WM_LBUTTONUP, 0, CPoint(5, 5));
    Key(WM_KEYDOWN, VK_SPACE, true);
    Key(WM_KEYUP, VK_SPACE);
    EXPECT_EQ(sent.size(), 1u);
    Key(WM_KEYDOWN, VK_MENU);
    Key(WM_KEYDOWN, VK_SPACE);
    Key(WM_KEYUP, VK_SPACE);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Fixture, PanDragScrollsByThePointersTravelAndZoomClickZoomsAtThePoint)
{
    view.SetImageSize(640, 480);
    view.ScrollTo(100, 100, true);
    view.SetTool(&view.GetPanTool());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(50, 50));
    Send(WM_MOUSEMOVE, MK_LBUTTON, CPoint(40, 30));
    EXPECT_EQ(view.GetGeometry().GetScroll(), CPoint(110, 120));
    Send(WM_LBUTTONUP, 0, CPoint(40, 30));
    view.SetTool(&view.GetZoomTool());
    const My::ImagePoint before = view.GetGeometry().ClientToImage(CPoint(20, 30));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, CPoint(20, 30));
    Send(WM_LBUTTONUP, 0, CPoint(21, 31));
    EXPECT_EQ(view.GetGeometry().GetZoom(), 2.0);
    const My::ImagePoint after = view.GetGeometry().ClientToImage(CPoint(21, 31));
    EXPECT_NEAR(before.x, after.x, 1.0);
    EXPECT_NEAR(before.y, after.y, 1.0);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, CPoint(20, 30));
    Send(WM_RBUTTONUP, 0, CPoint(20, 30));
    EXPECT_EQ(view.GetGeometry().GetZoom(), 1.0);
}

TEST_F(Fixture, ImportOfAnUnreadableFileThrowsUnderItsOperationAndChangesNothing)
{
    segment_testing::PromptScope prompts;
    Owner owner(Blank(64, 48));
    editor.BeginEdit(&owner);
    const std::string path
        = ::testing::TempDir() + "tavelo_not_a_bitmap_" + std::to_string(::getpid()) + ".bmp";
    std::ofstream(path) << "not a bitmap";
    My::ClearOperations();
    EXPECT_ANY_THROW(editor.ImportMask(path));
    EXPECT_EQ(My::GetCurrentOperation(), "importing mask");
    My::ClearOperations();
    EXPECT_TRUE(owner.names.empty());
    std::filesystem::remove(path);
}

TEST_F(Fixture, ExportedMaskImportsBackAndASmallerOneLandsTopLeftAfterConsent)
{
    segment_testing::PromptScope prompts;
    // A 20 x 10 mask with its left half set, exported by another editor.
    Owner small(Blank(20, 10));
    {
        img::image<img::bit> m = Blank(20, 10);
        for (unsigned y = 0; y < 10; ++y)
            for (unsigned x = 0; x < 10; ++x)
                m.at(x, y) = true;
        small.SetMask(m, "setup");
    }
    const std::string path
        = ::testing::TempDir() + "tavelo_small_mask_" + std::to_string(::getpid()) + ".bmp";
    editor.BeginEdit(&small);
    editor.ExportMask(path);
    img::image<img::bit> read;
    img::read_bmp_file(path, read);
    EXPECT_EQ(Rows(read), Rows(small.GetMask()));

    Owner owner(Blank(64, 48));
    owner.editor = &editor;
    editor.BeginEdit(&owner);
    prompts.prompt.answer = My::IDCANCEL;
    EXPECT_FALSE(editor.ImportMask(path));
    ASSERT_EQ(prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(prompts.prompt.texts[0], "The bitmap (" + path + ") has different dimensions.\nProceed?");
    EXPECT_TRUE(owner.names.empty());
    EXPECT_EQ(My::GetCurrentOperation(), "");
    prompts.prompt.answer = My::IDOK;
    EXPECT_TRUE(editor.ImportMask(path));
    EXPECT_EQ(owner.names, std::vector<std::string> { "Import Mask" });
    EXPECT_EQ(owner.GetMask().count(), 100u);
    EXPECT_TRUE(owner.GetMask().at(9, 9));
    EXPECT_FALSE(owner.GetMask().at(10, 0));
    EXPECT_EQ(editor.GetMask().count(), 100u);
    std::filesystem::remove(path);
}

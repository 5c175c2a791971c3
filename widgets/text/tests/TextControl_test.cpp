#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/gui/app.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/cursor.h"
#include "platform/gui/messages.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/core/tests/Probe.h"
#include "widgets/text/Clipboard.h"
#include "widgets/text/TextControl.h"

namespace {

// An edit field without a window system: keeps its text.
class TextPeer : public test::FakePeer {
public:
    explicit TextPeer(std::shared_ptr<test::FakePeerState> s)
        : FakePeer(std::move(s))
    {
    }
    void set_text(const std::string& t) override { text_ = t; }
    std::string text() const override { return text_; }
    int char_from_pos(const CPoint& p) const override { return p.x / 7; }
    void select_text(int start, int end) override
    {
        sel_start = start;
        sel_end = end;
    }
    std::string text_;
    int sel_start = 0;
    int sel_end = 0;
};

class Text : public My::TextControl {
public:
    std::string value = "hello";
    std::vector<std::string> received;
    bool reject = false;
    std::shared_ptr<test::FakePeerState> editorState;
    TextPeer* editorPeer = nullptr;

    bool GetText(std::string& out) const override
    {
        out = value;
        return true;
    }
    void SetText(const std::string& t) override
    {
        received.push_back(t);
        if (reject)
            throw std::runtime_error("rejected");
        value = t;
    }

protected:
    void CreateEditorWindow(My::InplaceEdit& editor) override
    {
        editorState = std::make_shared<test::FakePeerState>();
        auto peer = std::make_unique<TextPeer>(editorState);
        editorPeer = peer.get();
        editor.AttachPeer(std::move(peer), GetWnd());
    }
};

struct TextHost : ::testing::Test {
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    Text text;
    CDC nowhere;
    TextHost()
    {
        host.AddChild(&text);
        text.SetBounds(CRect(0, 0, 150, 20));
        paint();
    }
    ~TextHost() override
    {
        text.CancelEdit();
        platform::gui::run_posted();
    }
    void paint() { text.Paint(nowhere, CRect(0, 0, 150, 20)); }
    void click(int x, int y)
    {
        host.SendMessage(WM_MOUSEMOVE, 0, test::at(x, y));
        host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(x, y));
        host.SendMessage(WM_LBUTTONUP, 0, test::at(x, y));
    }
    void open()
    {
        click(8, 10);
        ASSERT_TRUE(text.IsEditing());
    }
    void type(const std::string& t)
    {
        text.editorPeer->text_ = t;
        text.GetEditor()->SendMessage(WM_COMMAND, MAKEWPARAM(0, EN_UPDATE), 0);
    }
};

} // namespace

TEST_F(TextHost, ReadOnlyControlNeverEditsAndShowsTheArrow)
{
    SetCursorPos(1000 + 8, 500 + 10);
    host.SendMessage(WM_MOUSEMOVE, 0, test::at(8, 10));
    host.SendMessage(WM_SETCURSOR, 0, HTCLIENT);
    EXPECT_EQ(GetCursor(), LoadCursor(IDC_HAND));
    text.SetReadOnly(true);
    host.SendMessage(WM_SETCURSOR, 0, HTCLIENT);
    EXPECT_EQ(GetCursor(), LoadCursor(IDC_ARROW));
    click(8, 10);
    EXPECT_FALSE(text.IsEditing());
}

TEST_F(TextHost, ClickBesideTheTextDoesNotEdit)
{
    // "hello" is 35 pixels wide from x = 4.
    EXPECT_EQ(text.GetTextRect(), CRect(4, 3, 39, 17));
    click(100, 10);
    EXPECT_FALSE(text.IsEditing());
}

TEST_F(TextHost, ClickOnTheTextOpensTheEditorWithTheCaretAtThePress)
{
    click(26, 10);
    ASSERT_TRUE(text.IsEditing());
    EXPECT_EQ(text.GetEditor()->GetWindowText(), "hello");
    // The editor starts at x = 1; 25 pixels in is the fourth character.
    EXPECT_EQ(text.GetEditor()->GetBounds().left, 1);
    EXPECT_EQ(text.editorPeer->sel_start, 3);
    EXPECT_EQ(text.editorPeer->sel_end, 3);
    EXPECT_TRUE(text.GetEditor()->HasFocus());
    EXPECT_TRUE(IsTextInput(text.GetEditor()));
    EXPECT_FALSE(IsTextInput(&host));
}

TEST_F(TextHost, EscapeEndsWithoutCommittingAndTheEditorGoesLater)
{
    platform::gui::run_posted();
    open();
    type("changed");
    My::InplaceEdit* editor = text.GetEditor();
    editor->SendMessage(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_FALSE(text.IsEditing());
    EXPECT_TRUE(text.received.empty());
    // Still alive after its own handler returned; ending, so a late focus
    // loss commits nothing.
    EXPECT_TRUE(editor->IsEnding());
    editor->SendMessage(WM_KILLFOCUS);
    EXPECT_TRUE(text.received.empty());
    EXPECT_EQ(platform::gui::run_posted(), 1);
}

TEST_F(TextHost, EnterAndFocusLossCommit)
{
    open();
    type("first");
    text.GetEditor()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_FALSE(text.IsEditing());
    open();
    type("second");
    text.GetEditor()->SendMessage(WM_KILLFOCUS);
    EXPECT_EQ(text.received, (std::vector<std::string> { "first", "second" }));
    EXPECT_EQ(text.value, "second");
}

TEST_F(TextHost, RejectedTextEndsTheEditAndThePreviousTextShowsAgain)
{
    open();
    text.reject = true;
    type("bad");
    EXPECT_THROW(text.CommitEdit(), std::runtime_error);
    EXPECT_FALSE(text.IsEditing());
    EXPECT_EQ(text.value, "hello");
}

TEST_F(TextHost, HidingOrDisablingEndsTheEditWithoutCommitting)
{
    open();
    type("x");
    text.SetEnabled(false);
    EXPECT_FALSE(text.IsEditing());
    text.SetEnabled(true);
    open();
    text.SetVisible(false);
    EXPECT_FALSE(text.IsEditing());
    EXPECT_TRUE(text.received.empty());
}

TEST_F(TextHost, TheEditorSpansTheControlEvenForAOneCharacterText)
{
    text.value = "0";
    paint();
    open();
    // From 3 pixels left of the text to the control's right edge, 2 pixels
    // above and below the text.
    EXPECT_EQ(text.GetEditor()->GetBounds(), CRect(1, 1, 150, 19));
    type("5");
    EXPECT_EQ(text.GetEditor()->GetBounds(), CRect(1, 1, 150, 19));
    type(std::string(60, 'w'));
    EXPECT_EQ(text.GetEditor()->GetBounds(), CRect(1, 1, 150, 19));
}

TEST_F(TextHost, EndingAnEditGivesTheKeyboardBackToTheWindowThatHadIt)
{
    // The host takes no focus of its own: the window that had the keyboard
    // before the edit gets it back, after Enter, Escape, and an edit that
    // changes nothing.
    My::Window<CWnd> before;
    test::attach_fake(before);
    for (UINT key : { VK_RETURN, VK_ESCAPE, VK_RETURN }) {
        before.CWnd::SetFocus();
        open();
        if (key == VK_RETURN && text.received.empty())
            type("changed");
        ASSERT_EQ(CWnd::GetFocus(), text.GetEditor());
        text.GetEditor()->SendMessage(WM_KEYDOWN, key, 1);
        EXPECT_FALSE(text.IsEditing());
        EXPECT_EQ(CWnd::GetFocus(), &before) << key;
    }
    EXPECT_EQ(text.received, (std::vector<std::string> { "changed", "changed" }));

    // Without such a window, the host window.
    before.DestroyWindow();
    open();
    text.GetEditor()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(CWnd::GetFocus(), &host);

    // A focus lost to another window stays there.
    My::Window<CWnd> other;
    test::attach_fake(other);
    open();
    other.CWnd::SetFocus();
    text.GetEditor()->SendMessage(WM_KILLFOCUS);
    EXPECT_FALSE(text.IsEditing());
    EXPECT_EQ(CWnd::GetFocus(), &other);
}

TEST(TextControlFocus, AHostThatTakesTheFocusGetsItBackAsItsOwnFocusChild)
{
    struct List : My::Window<CWnd> {
        bool AcceptsFocus() const override { return true; }
    } list;
    test::attach_fake(list);
    Text text;
    list.AddChild(&text);
    text.SetBounds(CRect(0, 0, 150, 20));
    CDC nowhere;
    text.Paint(nowhere, CRect(0, 0, 150, 20));
    list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(8, 10));
    list.SendMessage(WM_LBUTTONUP, 0, test::at(8, 10));
    ASSERT_TRUE(text.IsEditing());
    // The edit field took the keyboard from the list.
    list.SendMessage(WM_KILLFOCUS);
    ASSERT_EQ(list.GetFocusChild(), nullptr);
    text.GetEditor()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(CWnd::GetFocus(), &list);
    EXPECT_EQ(list.GetFocusChild(), static_cast<My::Control*>(&list));
    platform::gui::run_posted();
}

TEST_F(TextHost, TooNarrowControlHidesTheEditorWhileEditingGoesOn)
{
    open();
    text.SetBounds(CRect(0, 0, 8, 20));
    text.Layout();
    EXPECT_TRUE(text.IsEditing());
    EXPECT_FALSE(text.GetEditor()->IsVisible());
    text.GetEditor()->SendMessage(WM_KILLFOCUS);
    EXPECT_TRUE(text.IsEditing());
    EXPECT_TRUE(text.received.empty());
}

TEST_F(TextHost, TruncatedTextOffersItselfAsTooltip)
{
    EXPECT_EQ(text.GetToolTipText(), "");
    text.value = std::string(40, 'x');
    paint();
    EXPECT_TRUE(text.IsTruncated());
    EXPECT_EQ(text.GetToolTipText(), text.value);
}

TEST_F(TextHost, TheTooltipStaysOverTheControlEvenWhileItHoldsTheCapture)
{
    text.value = std::string(40, 'x');
    text.SetReadOnly(true);
    paint();
    host.SendMessage(WM_MOUSEMOVE, 0, test::at(20, 10));
    EXPECT_EQ(peer->tooltip, text.value);
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(20, 10));
    ASSERT_TRUE(text.HasCapture());
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, test::at(170, 60));
    EXPECT_EQ(peer->tooltip, "");
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, test::at(30, 5));
    EXPECT_EQ(peer->tooltip, text.value);
    host.SendMessage(WM_LBUTTONUP, 0, test::at(30, 5));
}

// A row that gives its text control the control's preferred size whenever
// it lays out, as the labelled rows do.
class SizingRow : public virtual My::Widget, public virtual My::Container {
public:
    My::TextControl* text = nullptr;
    void Layout() override
    {
        if (text)
            text->SetBounds(CRect(CPoint(), text->GetPreferredSize()));
    }
};

TEST(TextControlInARow, EachCommittedTextGetsTheWidthOfItselfNotOfTheOneBefore)
{
    My::Window<CWnd> host;
    const auto peer = test::attach_fake(host);
    SizingRow row;
    Text text;
    host.AddChild(&row);
    row.SetBounds(CRect(0, 0, 300, 20));
    row.AddChild(&text);
    row.text = &text;
    text.value = "10";
    row.Layout();
    // Seven pixels a character, and 4 on either side.
    EXPECT_EQ(text.GetBounds().Width(), 2 * 7 + 8);
    for (const std::string typed : { "2.5", "29.97", "7" }) {
        text.BeginEdit();
        ASSERT_TRUE(text.IsEditing());
        text.editorPeer->text_ = typed;
        text.GetEditor()->SendMessage(WM_COMMAND, MAKEWPARAM(0, EN_UPDATE), 0);
        text.GetEditor()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
        EXPECT_EQ(text.value, typed);
        EXPECT_EQ(text.GetBounds().Width(), int(typed.size()) * 7 + 8) << typed;
    }
    row.RemoveChild(&text);
    platform::gui::run_posted();
}

TEST(Clipboard, LineFeedsBecomeCarriageReturnAndLineFeed)
{
    My::CopyLinesToClipboard("a\nb");
    EXPECT_EQ(platform::gui::clipboard_text(), std::optional<std::string>("a\r\nb"));
    My::CopyLinesToClipboard("plain");
    EXPECT_EQ(platform::gui::clipboard_text(), std::optional<std::string>("plain"));
}

TEST(Clipboard, FailureIsReportedUnderTheOperationsName)
{
    My::ClearOperations();
    platform::gui::set_clipboard_writer([](const std::string&) { return false; });
    EXPECT_THROW(My::CopyTextToClipboard("x"), std::runtime_error);
    platform::gui::set_clipboard_writer({});
    EXPECT_EQ(My::GetCurrentOperation(), "copying data into the clipboard");
    My::ClearOperations();
}

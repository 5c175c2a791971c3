#include "widgets/text/TextControl.h"

#include <algorithm>

#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "platform/gui/cursor.h"
#include "widgets/core/ClientDC.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Event.h"

namespace My {

namespace {

constexpr COLORREF dark_blue = RGB(0, 0, 128);

} // namespace

InplaceEdit::InplaceEdit(TextControl* owner)
    : m_owner(owner)
{
    // The client edge of the edit window.
    SetCreationStyle(WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_BORDER);
}

void InplaceEdit::BoundsChanged()
{
    // The window follows its widget bounds at the next placing.
    WindowBoundsEvent e(false);
    Window<CEdit>::OnEvent(e);
}

void InplaceEdit::OnShow(bool visible)
{
    SetWindowShown(visible);
}

void InplaceEdit::MarkEnding()
{
    m_ending = true;
    m_owner = nullptr;
}

LRESULT InplaceEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if (TextControl* o = m_owner)
                o->CommitEdit();
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            if (TextControl* o = m_owner)
                o->CancelEdit();
            return 0;
        }
        // Every other key is the edit field's own (accelerators never see
        // it).
        return Default();
    case WM_CHAR:
        if (wParam == '\r' || wParam == 0x1B)
            return 0;
        return Default();
    case WM_KILLFOCUS:
        Window<CEdit>::WindowProc(message, wParam, lParam);
        // Hidden because the control is too narrow, the editor loses the
        // focus but the edit goes on.
        if (!m_ending && GetSafeHwnd() && Widget::IsVisible())
            if (TextControl* o = m_owner)
                o->CommitEdit();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_UPDATE && !m_ending) {
            if (TextControl* o = m_owner)
                o->OnEditorChange();
            return 0;
        }
        break;
    default:
        break;
    }
    return Window<CEdit>::WindowProc(message, wParam, lParam);
}

TextControl::TextControl()
    : m_self(std::make_shared<TextControl*>(this))
{
}

TextControl::~TextControl()
{
    *m_self = nullptr;
    ReleaseEditor(false);
}

void TextControl::SetReadOnly(bool read_only)
{
    if (read_only == m_readOnly)
        return;
    m_readOnly = read_only;
    Invalidate(CRect(CPoint(), GetSize()));
}

void TextControl::CreateEditorWindow(InplaceEdit& editor)
{
    editor.CreateChildWindow();
}

void TextControl::BeginEdit()
{
    if (m_editor)
        return;
    m_editor = new InplaceEdit(this);
    AddChild(m_editor);
    CreateEditorWindow(*m_editor);
    if (!m_editor->GetSafeHwnd()) {
        ReleaseEditor(false);
        return;
    }
    if (CFont* f = GetFont()) {
        m_editor->Widget::SetFont(f);
        m_editor->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    }
    m_editor->SetMargins(0, 0);
    std::string text;
    if (GetText(text)) {
        m_editor->SetWindowText(text);
        m_editor->SetSel(0, -1);
    }
    m_focusBefore = CWnd::GetFocus();
    m_editor->SetFocus();
    MeasureText();
    Layout();
    Invalidate(CRect(CPoint(), GetSize()));
}

void TextControl::ReleaseEditor(bool return_focus)
{
    InplaceEdit* editor = m_editor;
    if (!editor)
        return;
    const bool focused = return_focus && editor->GetSafeHwnd() && CWnd::GetFocus() == editor;
    CWnd* before = m_focusBefore;
    m_focusBefore = nullptr;
    m_editor = nullptr;
    editor->MarkEnding();
    RemoveChild(editor);
    // A hidden edit field takes the keyboard with it: the window the text
    // sits in gets it back, as after a click on it, so that its own keys
    // and the frame's shortcuts work again. An editor that lost the focus
    // to another window leaves it there.
    if (focused)
        ReturnFocus(editor, before);
    if (editor->GetSafeHwnd())
        editor->ShowWindow(SW_HIDE);
    // The editor may be the one whose handler is running: it goes once the
    // event loop is back.
    platform::gui::post([editor] { delete editor; });
}

void TextControl::ReturnFocus(const CWnd* editor, CWnd* before)
{
    SetFocus();
    if (CWnd::GetFocus() != editor)
        return;
    // No window on the way takes the focus (the text sits in the frame,
    // whose own window passes no keys on): the one that had it before.
    if (before && before != editor && CWnd::IsAlive(before))
        before->SetFocus();
    else if (CWnd* host = GetWnd())
        host->SetFocus();
}

void TextControl::EndEdit()
{
    ReleaseEditor(true);
    MeasureText();
    Invalidate(CRect(CPoint(), GetSize()));
}

void TextControl::CommitEdit()
{
    if (!m_editor)
        return;
    const std::string text = m_editor->GetWindowText();
    EndEdit();
    std::weak_ptr<TextControl*> self = m_self;
    SetText(text);
    // The text shown is the one the model took, which exists only now: the
    // control is sized to it (a model may drop the control while taking it).
    if (const auto s = self.lock(); s && *s) {
        MeasureText();
        Invalidate(CRect(CPoint(), GetSize()));
    }
}

void TextControl::CancelEdit()
{
    if (m_editor)
        EndEdit();
}

void TextControl::OnEditorChange()
{
    MeasureText();
    Layout();
    Invalidate(CRect(CPoint(), GetSize()));
}

CRect TextControl::CalcTextRect(const std::string& text)
{
    CRect area(CPoint(), GetSize());
    area.DeflateRect(4, 0);
    if (area.IsRectEmpty()) {
        m_truncated = false;
        return area;
    }
    ClientDC dc(this);
    CFont* old = SelectFont(dc);
    CRect r;
    dc.DrawText(text.empty() ? std::string("   ") : text, &r, DT_CALCRECT | DT_SINGLELINE);
    if (old)
        dc.SelectObject(old);
    r.OffsetRect(area.left - r.left, area.top + (area.Height() - r.Height()) / 2 - r.top);
    const CRect cut(std::max(r.left, area.left), std::max(r.top, area.top), std::min(r.right, area.right),
        std::min(r.bottom, area.bottom));
    m_truncated = !(cut == r);
    return cut;
}

void TextControl::MeasureText()
{
    std::string text;
    if (m_editor)
        text = m_editor->GetWindowText();
    else if (!GetText(text))
        text.clear();
    if (text.empty())
        text = " ";
    ClientDC dc(this);
    CFont* old = SelectFont(dc);
    const CSize extent = dc.GetTextExtent(text);
    if (old)
        dc.SelectObject(old);
    const int width = extent.cx + (m_editor ? 14 : 8), height = extent.cy + 4;
    if (width == m_preferredWidth && height == m_preferredHeight)
        return;
    m_preferredWidth = width;
    m_preferredHeight = height;
    if (Container* p = GetContainer())
        p->Layout();
}

CSize TextControl::GetPreferredSize() const
{
    const_cast<TextControl*>(this)->MeasureText();
    return CSize(m_preferredWidth, m_preferredHeight);
}

std::string TextControl::GetToolTipText() const
{
    std::string text;
    if (m_truncated && !m_editor && GetText(text))
        return text;
    return std::string();
}

bool TextControl::OnCursor(UINT, const CPoint& point)
{
    const bool hand = m_textRect.PtInRect(point) && !m_editor && is_enabled_in_tree(this) && !IsReadOnly();
    SetCursor(LoadCursor(hand ? IDC_HAND : IDC_ARROW));
    return true;
}

void TextControl::OnLeftDown(UINT flags, const CPoint& point)
{
    Widget::OnLeftDown(flags, point);
    if (!is_enabled_in_tree(this) || IsReadOnly())
        return;
    if (!m_editor && m_textRect.PtInRect(point))
        BeginEdit();
    if (!m_editor)
        return;
    // The press places the caret where it went, as a press in the edit
    // field itself would; once the window system has placed the field.
    m_editor->SetFocus();
    const CPoint at = point - m_editor->GetBounds().TopLeft();
    std::weak_ptr<TextControl*> self = m_self;
    InplaceEdit* editor = m_editor;
    const auto place = [self, editor, at] {
        auto s = self.lock();
        if (!s || !*s || (*s)->m_editor != editor)
            return;
        const int index = editor->CharFromPos(at);
        if (index >= 0)
            editor->SetSel(index, index);
    };
    if (platform::gui::running())
        platform::gui::post(place);
    else
        place();
}

void TextControl::OnShow(bool visible)
{
    if (!visible)
        CancelEdit();
}

void TextControl::OnEnable(bool enabled)
{
    if (!enabled)
        CancelEdit();
}

void TextControl::OnFontChange()
{
    MeasureText();
}

void TextControl::Layout()
{
    if (!m_editor)
        return;
    const CRect area(CPoint(), GetSize());
    CRect r = CalcTextRect(m_editor->GetWindowText());
    r.InflateRect(3, 2);
    // The edit field draws a frame and margins of its own around the text,
    // so one only as wide as its text shows a sliver of it: it reaches from
    // the text to the control's right edge (in a row, across the value
    // column).
    r = CRect(
        std::max(r.left, area.left), std::max(r.top, area.top), area.right, std::min(r.bottom, area.bottom));
    if (r.Width() < 8) {
        m_editor->SetVisible(false);
        return;
    }
    m_editor->SetVisible(true);
    m_editor->SetBounds(r);
    m_editor->Place();
    m_editor->SetFocus();
}

void TextControl::Draw(CDC& dc, const CRect&)
{
    if (m_editor)
        return;
    const bool enabled = is_enabled_in_tree(this);
    const bool editable = !IsReadOnly();
    COLORREF color = GetSysColor(COLOR_BTNSHADOW);
    if (enabled)
        color = editable ? dark_blue : GetSysColor(COLOR_WINDOWTEXT);
    std::string text;
    if (!GetText(text))
        text.clear();
    m_textRect = CalcTextRect(text);
    const COLORREF old = dc.SetTextColor(color);
    const int mode = dc.SetBkMode(TRANSPARENT);
    CRect r = m_textRect;
    dc.DrawText(text, &r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    if (enabled && editable)
        draw_dotted_hline(dc, m_textRect.bottom - 1, m_textRect.left, m_textRect.right + 1, dark_blue);
    dc.SetBkMode(mode);
    dc.SetTextColor(old);
}

} // namespace My

#include "widgets/core/Control.h"

#include "platform/gui/wnd.h"
#include "widgets/core/Container.h"
#include "widgets/core/Event.h"

namespace My {

Control::~Control()
{
    if (m_parent)
        m_parent->RemoveChild(this);
}

CPoint Control::GetOrigin() const
{
    if (!m_parent)
        return CPoint();
    return GetBounds().TopLeft() + m_parent->GetOrigin();
}

CRect Control::GetWndRect() const
{
    if (!m_parent)
        return CRect();
    return GetBounds() + m_parent->GetOrigin();
}

CWnd* Control::GetWnd() const
{
    return m_parent ? m_parent->GetWnd() : nullptr;
}

CToolTipCtrl* Control::GetToolTipCtrl() const
{
    return m_parent ? m_parent->GetToolTipCtrl() : nullptr;
}

void Control::Paint(CDC& dc, const CRect& clip)
{
    CPen* pen = dc.GetCurrentPen();
    CBrush* brush = dc.GetCurrentBrush();
    CFont* font = dc.GetCurrentFont();
    if (CFont* own = GetFont())
        dc.SelectObject(own);
    struct restore {
        CDC& dc;
        CPen* pen;
        CBrush* brush;
        CFont* font;
        ~restore()
        {
            dc.SelectObject(pen);
            dc.SelectObject(brush);
            dc.SelectObject(font);
        }
    } r { dc, pen, brush, font };
    Draw(dc, clip);
}

CRect Control::GetBounds() const
{
    return CRect();
}
bool Control::IsVisible() const
{
    return true;
}
bool Control::IsEnabled() const
{
    return true;
}
CPoint Control::GetOffset() const
{
    return CPoint();
}
CSize Control::GetSize() const
{
    return GetBounds().Size();
}
bool Control::AcceptsFocus() const
{
    return false;
}
std::string Control::GetToolTipText() const
{
    return m_parent ? m_parent->GetToolTipText() : std::string();
}
CFont* Control::GetFont() const
{
    return m_parent ? m_parent->GetFont() : nullptr;
}

void Control::SetCapture()
{
    if (m_parent)
        m_parent->SetCaptureChild(this);
}

void Control::ReleaseCapture()
{
    if (m_parent)
        m_parent->SetCaptureChild(nullptr);
}

bool Control::HasCapture() const
{
    return m_parent && m_parent->GetCaptureChild() == this;
}

void Control::SetFocus()
{
    if (AcceptsFocus()) {
        if (m_parent)
            m_parent->SetFocusChild(this);
    } else if (m_parent) {
        m_parent->SetFocus();
    }
}

bool Control::HasFocus() const
{
    return m_parent && m_parent->GetFocusChild() == this;
}

void Control::BoundsChanged()
{
    Invalidate(CRect(CPoint(), GetSize()));
}

void Control::VisibilityChanged()
{
    if (m_parent)
        m_parent->Invalidate(CRect(CPoint(), m_parent->GetSize()));
}

void Control::NotifyFontChange()
{
    FontEvent e;
    OnEvent(e);
}

void Control::Draw(CDC&, const CRect&) { }
void Control::OnActivate(bool) { }
void Control::OnKeyDown(UINT, UINT, UINT) { }
void Control::OnKeyUp(UINT, UINT, UINT) { }
void Control::OnLeftDoubleClick(UINT, const CPoint&) { }

void Control::OnLeftDown(UINT, const CPoint& point)
{
    m_pressed = true;
    m_press = point;
    SetFocus();
    SetCapture();
}

void Control::OnLeftUp(UINT flags, const CPoint& point)
{
    ReleaseCapture();
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        Drag(flags, point);
        EndDrag(flags, point);
    }
}

void Control::OnMouseMove(UINT flags, const CPoint& point)
{
    if (m_dragging) {
        Drag(flags, point);
    } else if (m_pressed) {
        m_dragging = BeginDrag(flags, m_press, point);
        if (m_dragging)
            Drag(flags, point);
    }
}

void Control::OnMouseEnter(UINT, const CPoint&)
{
    m_hover = true;
    RefreshCursor();
    if (CToolTipCtrl* tip = GetToolTipCtrl()) {
        const std::string text = GetToolTipText();
        const CRect r = GetWndRect();
        tip->AddTool(GetWnd(), text, &r, 0);
        tip->Activate(!text.empty());
    }
}

void Control::OnMouseLeave()
{
    m_hover = false;
    RefreshCursor();
    if (CToolTipCtrl* tip = GetToolTipCtrl())
        tip->DelTool(GetWnd(), 0);
}

void Control::OnRightDoubleClick(UINT, const CPoint&) { }
void Control::OnRightDown(UINT, const CPoint&) { }
void Control::OnRightUp(UINT, const CPoint&) { }
bool Control::OnCursor(UINT, const CPoint&)
{
    return false;
}
bool Control::BeginDrag(UINT, const CPoint&, const CPoint&)
{
    return false;
}
void Control::EndDrag(UINT, const CPoint&) { }
void Control::Drag(UINT, const CPoint&) { }
void Control::OnUpdateUI() { }
void Control::OnFocus()
{
    Invalidate(CRect(CPoint(), GetSize()));
}
void Control::OnUnfocus()
{
    Invalidate(CRect(CPoint(), GetSize()));
}
void Control::OnFontChange() { }

void Control::OnEvent(Event& event)
{
    if (auto* e = dynamic_cast<ActivateEvent*>(&event))
        OnActivate(e->active);
    else if (dynamic_cast<FocusEvent*>(&event))
        OnFocus();
    else if (dynamic_cast<UnfocusEvent*>(&event))
        OnUnfocus();
    else if (auto* e = dynamic_cast<KeyDownEvent*>(&event))
        OnKeyDown(e->key, e->repeat, e->flags);
    else if (auto* e = dynamic_cast<KeyUpEvent*>(&event))
        OnKeyUp(e->key, e->repeat, e->flags);
    else if (auto* e = dynamic_cast<LeftDoubleClickEvent*>(&event))
        OnLeftDoubleClick(e->flags, e->point);
    else if (auto* e = dynamic_cast<LeftDownEvent*>(&event))
        OnLeftDown(e->flags, e->point);
    else if (auto* e = dynamic_cast<LeftUpEvent*>(&event))
        OnLeftUp(e->flags, e->point);
    else if (auto* e = dynamic_cast<MouseMoveEvent*>(&event))
        OnMouseMove(e->flags, e->point);
    else if (auto* e = dynamic_cast<MouseEnterEvent*>(&event))
        OnMouseEnter(e->flags, e->point);
    else if (dynamic_cast<MouseLeaveEvent*>(&event))
        OnMouseLeave();
    else if (auto* e = dynamic_cast<RightDoubleClickEvent*>(&event))
        OnRightDoubleClick(e->flags, e->point);
    else if (auto* e = dynamic_cast<RightDownEvent*>(&event))
        OnRightDown(e->flags, e->point);
    else if (auto* e = dynamic_cast<RightUpEvent*>(&event))
        OnRightUp(e->flags, e->point);
    else if (auto* e = dynamic_cast<CursorEvent*>(&event))
        e->handled = OnCursor(e->flags, e->point);
    else if (dynamic_cast<UpdateUIEvent*>(&event))
        OnUpdateUI();
    else if (dynamic_cast<FontEvent*>(&event))
        OnFontChange();
}

CPoint Control::GetTopLeft() const
{
    return GetBounds().TopLeft();
}

CPoint Control::ToParent(int x, int y) const
{
    return CPoint(x, y) + GetTopLeft();
}

void Control::Invalidate(const CRect& r)
{
    CWnd* w = GetWnd();
    if (!w)
        return;
    const CRect moved = r + GetOrigin();
    w->InvalidateRect(&moved, FALSE);
}

void Control::Update()
{
    if (CWnd* w = GetWnd())
        w->UpdateWindow();
}

CPoint Control::ClientToScreen(CPoint p) const
{
    CWnd* w = GetWnd();
    if (!w)
        return CPoint();
    p += GetOrigin();
    w->ClientToScreen(&p);
    return p;
}

CPoint Control::ScreenToClient(CPoint p) const
{
    CWnd* w = GetWnd();
    if (!w)
        return CPoint();
    w->ScreenToClient(&p);
    return p - GetOrigin();
}

CFont* Control::SelectFont(CDC& dc)
{
    CFont* f = GetFont();
    return f ? dc.SelectObject(f) : nullptr;
}

void Control::UpdateToolTip()
{
    CToolTipCtrl* tip = GetToolTipCtrl();
    if (!tip || !m_hover)
        return;
    const std::string text = GetToolTipText();
    tip->UpdateTipText(text, GetWnd(), 0);
    tip->Activate(!text.empty());
}

void Control::RefreshCursor()
{
    CWnd* w = GetWnd();
    if (!w)
        return;
    POINT screen;
    GetCursorPos(&screen);
    const CPoint p = ScreenToClient(CPoint(screen));
    if (CRect(CPoint(), GetSize()).PtInRect(p))
        w->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(w), HTCLIENT);
}

bool is_enabled_in_tree(const Control* control)
{
    for (const Control* c = control; c; c = c->GetContainer())
        if (!c->IsEnabled())
            return false;
    return true;
}

} // namespace My

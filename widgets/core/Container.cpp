#include "widgets/core/Container.h"

#include <stdexcept>

#include "platform/gui/gdi.h"
#include "widgets/core/Event.h"

namespace My {

namespace {

// True when c is `root` or lies in its subtree.
bool in_subtree(const Control* c, const Control* root)
{
    for (; c; c = c->GetContainer())
        if (c == root)
            return true;
    return false;
}

} // namespace

Container::~Container()
{
    if (Container* parent = GetContainer())
        parent->RemoveChild(this);
    for (Control* c : m_children) {
        c->m_parent = nullptr;
        c->m_position = {};
    }
    m_children.clear();
    m_hoverChild = nullptr;
}

Control* Container::ChildFromPoint(int x, int y) const
{
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        Control* c = *it;
        if (c->IsVisible() && c->GetBounds().PtInRect(CPoint(x, y)))
            return c;
    }
    return nullptr;
}

Control* Container::GetCaptureChild() const
{
    Container* p = GetContainer();
    return p ? p->GetCaptureChild() : nullptr;
}

Control* Container::GetFocusChild() const
{
    Container* p = GetContainer();
    return p ? p->GetFocusChild() : nullptr;
}

void Container::SetCaptureChild(Control* c)
{
    if (Container* p = GetContainer())
        p->SetCaptureChild(c);
}

void Container::SetFocusChild(Control* c)
{
    if (Container* p = GetContainer())
        p->SetFocusChild(c);
}

void Container::Layout() { }

void Container::OnEvent(Event& event)
{
    Control* self = this;
    if (auto* e = dynamic_cast<MouseEnterEvent*>(&event)) {
        m_hoverChild = ChildFromPoint(e->point.x, e->point.y);
        if (m_hoverChild) {
            e->point -= m_hoverChild->GetTopLeft();
            m_hoverChild->OnEvent(event);
        } else {
            Control::OnEvent(event);
        }
    } else if (dynamic_cast<MouseLeaveEvent*>(&event)) {
        if (Control* c = m_hoverChild) {
            m_hoverChild = nullptr;
            c->OnEvent(event);
        } else {
            Control::OnEvent(event);
        }
    } else if (auto* e = dynamic_cast<CursorEvent*>(&event)) {
        if (GetCaptureChild() != self && m_hoverChild) {
            const CPoint keep = e->point;
            e->point -= m_hoverChild->GetTopLeft();
            m_hoverChild->OnEvent(event);
            if (e->handled)
                return;
            e->point = keep;
        }
        Control::OnEvent(event);
    } else if (auto* e = dynamic_cast<MouseEvent*>(&event)) {
        if (GetCaptureChild() == self) {
            Control::OnEvent(event);
            return;
        }
        Control* child = ChildFromPoint(e->point.x, e->point.y);
        if (child != m_hoverChild) {
            MouseLeaveEvent leave;
            if (Control* old = m_hoverChild) {
                m_hoverChild = nullptr;
                old->OnEvent(leave);
            } else {
                Control::OnEvent(leave);
            }
            m_hoverChild = child;
            if (child) {
                MouseEnterEvent enter(e->flags, e->point - child->GetTopLeft());
                child->OnEvent(enter);
            } else {
                MouseEnterEvent enter(e->flags, e->point);
                Control::OnEvent(enter);
            }
        }
        // The enter event may have changed the tree (a handler removed the
        // child); route to whatever is the hover child now.
        if (Control* c = m_hoverChild) {
            e->point -= c->GetTopLeft();
            c->OnEvent(event);
        } else {
            Control::OnEvent(event);
        }
    } else if (dynamic_cast<KeyEvent*>(&event)) {
        Control::OnEvent(event);
    } else if (dynamic_cast<WindowEvent*>(&event)) {
        SendToChildren(event);
    } else if (dynamic_cast<BroadcastEvent*>(&event)) {
        Control::OnEvent(event);
        SendToChildren(event);
    } else {
        Control::OnEvent(event);
    }
}

void Container::Paint(CDC& dc, const CRect& clip)
{
    WindowBoundsEvent bounds(true);
    SendToChildren(bounds);
    Control::Paint(dc, clip);

    CRgn saved;
    const bool had_clip = dc.GetClipRgn(&saved) == 1;
    CRgn area;
    area.CreateRectRgnIndirect(&static_cast<const RECT&>(CRect(GetOrigin(), GetSize())));
    dc.SelectClipRgn(&area, RGN_AND);
    struct restore {
        CDC& dc;
        CRgn* saved;
        ~restore() { dc.SelectClipRgn(saved); }
    } r { dc, had_clip ? &saved : nullptr };

    CWnd* host = GetWnd();
    for (Control* c : m_children) {
        if (c->GetWnd() != host || !c->IsVisible())
            continue;
        const CRect b = c->GetBounds();
        CRect part;
        if (!part.IntersectRect(b, clip))
            continue;
        const CPoint o = c->GetOrigin();
        const CPoint old = dc.SetWindowOrg(-o.x, -o.y);
        part.OffsetRect(-b.left, -b.top);
        c->Paint(dc, part);
        dc.SetWindowOrg(old);
    }
}

void Container::BoundsChanged()
{
    Invalidate(CRect(CPoint(), GetSize()));
    Layout();
    WindowBoundsEvent e(false);
    SendToChildren(e);
}

void Container::VisibilityChanged()
{
    if (Container* p = GetContainer())
        p->Invalidate(CRect(CPoint(), p->GetSize()));
    WindowVisibleEvent e(IsVisible());
    SendToChildren(e);
}

void Container::AddChild(Control* child)
{
    if (!child || child->m_parent == this)
        return;
    if (m_children.size() >= m_children.max_size())
        throw std::length_error("list<T> too long");
    const bool gains_font = !child->GetFont() && GetFont();
    child->m_parent = this;
    m_children.push_back(child);
    child->m_position = std::prev(m_children.end());
    if (gains_font) {
        FontEvent e;
        child->OnEvent(e);
    }
}

void Container::RemoveChild(Control* child)
{
    if (!child || child->m_parent != this)
        return;
    if (in_subtree(GetCaptureChild(), child))
        SetCaptureChild(nullptr);
    if (in_subtree(GetFocusChild(), child))
        SetFocusChild(nullptr);
    if (in_subtree(m_hoverChild, child))
        m_hoverChild = nullptr;
    m_children.erase(child->m_position);
    child->m_parent = nullptr;
    child->m_position = {};
}

void Container::BringToFront(Control* child)
{
    if (!child || child->m_parent != this)
        return;
    m_children.splice(m_children.end(), m_children, child->m_position);
}

void Container::SendToChildren(Event& event)
{
    // A child may leave the list while it handles the event: walk a copy.
    const std::list<Control*> children = m_children;
    for (Control* c : children)
        if (c->m_parent == this)
            c->OnEvent(event);
}

} // namespace My

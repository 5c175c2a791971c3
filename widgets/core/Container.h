#pragma once

// A control that holds child controls: hit-tests them, routes mouse events
// to the child under the pointer with enter and leave events, delivers
// window and broadcast events to them, and paints them. Children are not
// owned: destroying a container detaches them.

#include <list>

#include "widgets/core/Control.h"

namespace My {

class Container : public virtual Control {
public:
    Container() = default;
    // Leaves the parent (clearing capture, focus and hover references into
    // this subtree while its links are intact), then detaches every child.
    ~Container() override;

    // The topmost visible child whose bounds hold the point; null for none.
    virtual Control* ChildFromPoint(int x, int y) const;
    // The control holding the capture or focus; held by the host window,
    // asked through the parent.
    virtual Control* GetCaptureChild() const;
    virtual Control* GetFocusChild() const;
    virtual void SetCaptureChild(Control* c);
    virtual void SetFocusChild(Control* c);
    // Places the children; nothing here.
    virtual void Layout();

    // Routes the event (mouse, keys, window and broadcast events).
    void OnEvent(Event& event) override;
    // Draws itself, then every visible child it hosts that meets the clip.
    void Paint(CDC& dc, const CRect& clip) override;
    // Invalidates, lays out and tells the children (child windows) about it.
    void BoundsChanged() override;
    void VisibilityChanged() override;

    // Appends the child on top; a child gaining the container's font gets a
    // FontEvent. A child of another container must be removed from it first.
    // Fails with "list<T> too long" beyond the list's capacity.
    void AddChild(Control* child);
    void RemoveChild(Control* child);
    void BringToFront(Control* child);
    // Delivers the event to every child in list order.
    void SendToChildren(Event& event);

    const std::list<Control*>& GetChildren() const { return m_children; }
    Control* GetHoverChild() const { return m_hoverChild; }

private:
    std::list<Control*> m_children;
    Control* m_hoverChild = nullptr;
};

} // namespace My

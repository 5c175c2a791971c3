#pragma once

// The control tree. Every visible part of a window is a My::Control; most
// are windowless and live inside a host window (a window adaptor, Window.h),
// paint into its device context at their place and receive its input as
// events routed down the tree. Each control draws and receives points in its
// own coordinates, whose origin is the top-left of its bounds.
//
// Mouse capture and keyboard focus are asked for by any control and held by
// the host window on behalf of that control. A destroyed control leaves its
// parent first, so the host's capture, focus and hover references into it are
// cleared before it goes.
//
// UI thread only. Operations on a control without parent or host window are
// harmless: queries answer empty, null, false or (0, 0); requests do nothing.

#include <list>
#include <string>

#include "platform/gui/dc.h"
#include "platform/gui/types.h"
#include "widgets/core/EventDispatcher.h"

class CFont;
class CToolTipCtrl;
class CWnd;

namespace My {

class Container;

class Control : public virtual EventListener {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The control's origin in its host window's client coordinates.
    virtual CPoint GetOrigin() const;
    // The control's rectangle in host-window coordinates.
    virtual CRect GetWndRect() const;
    // The host window; null without one.
    virtual CWnd* GetWnd() const;
    virtual CToolTipCtrl* GetToolTipCtrl() const;
    // Draws the control (Draw) with its font selected; the DC's pen, brush
    // and font are as before afterwards. `clip` is in the control's
    // coordinates.
    virtual void Paint(CDC& dc, const CRect& clip);
    virtual ~Control();
    // In the parent's coordinates.
    virtual CRect GetBounds() const;
    virtual bool IsVisible() const;
    virtual bool IsEnabled() const;
    virtual CPoint GetOffset() const;
    virtual CSize GetSize() const;
    virtual bool AcceptsFocus() const;
    virtual std::string GetToolTipText() const;
    // The control's font, inherited from the parent when it has none.
    virtual CFont* GetFont() const;
    virtual void SetCapture();
    virtual void ReleaseCapture();
    virtual bool HasCapture() const;
    // Focuses this control when it accepts focus, else the first ancestor
    // that does.
    virtual void SetFocus();
    virtual bool HasFocus() const;
    virtual void BoundsChanged();
    virtual void VisibilityChanged();
    virtual void NotifyFontChange();
    virtual void Draw(CDC& dc, const CRect& clip);
    virtual void OnActivate(bool active);
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnKeyUp(UINT key, UINT repeat, UINT flags);
    virtual void OnLeftDoubleClick(UINT flags, const CPoint& point);
    virtual void OnLeftDown(UINT flags, const CPoint& point);
    virtual void OnLeftUp(UINT flags, const CPoint& point);
    virtual void OnMouseMove(UINT flags, const CPoint& point);
    virtual void OnMouseEnter(UINT flags, const CPoint& point);
    virtual void OnMouseLeave();
    virtual void OnRightDoubleClick(UINT flags, const CPoint& point);
    virtual void OnRightDown(UINT flags, const CPoint& point);
    virtual void OnRightUp(UINT flags, const CPoint& point);
    // True when the control set the cursor.
    virtual bool OnCursor(UINT flags, const CPoint& point);
    // Whether a press at `press` moved to `now` starts a drag; false here.
    virtual bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now);
    virtual void EndDrag(UINT flags, const CPoint& point);
    virtual void Drag(UINT flags, const CPoint& point);
    virtual void OnUpdateUI();
    virtual void OnFocus();
    virtual void OnUnfocus();
    virtual void OnFontChange();

    // Calls the one handler of the event's kind.
    void OnEvent(Event& event) override;

    Container* GetContainer() const { return m_parent; }
    CPoint GetTopLeft() const;
    CPoint ToParent(int x, int y) const;
    // Invalidates a rectangle of the control (its coordinates) on the host
    // window, without erasing.
    void Invalidate(const CRect& r);
    // Repaints the host window at once.
    void Update();
    CPoint ClientToScreen(CPoint p) const;
    CPoint ScreenToClient(CPoint p) const;
    // Selects the control's font when it has one; returns the previous font.
    CFont* SelectFont(CDC& dc);
    // Refreshes the tooltip's text while the pointer rests on the control.
    void UpdateToolTip();

    bool IsHover() const { return m_hover; }
    bool IsPressed() const { return m_pressed; }
    bool IsDragging() const { return m_dragging; }

private:
    friend class Container;

    void RefreshCursor();

    Container* m_parent = nullptr;
    std::list<Control*>::iterator m_position;
    bool m_hover = false;
    bool m_pressed = false;
    bool m_dragging = false;
    CPoint m_press;
};

// True when the control and every ancestor are enabled; a null control
// counts as enabled.
bool is_enabled_in_tree(const Control* control);

} // namespace My

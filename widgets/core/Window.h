#pragma once

// Window adaptors: a window that is at the same time the root (or an inner
// node) of a control tree. My::Window<T> turns the window's messages into
// events routed down its tree, holds the tree's mouse capture and keyboard
// focus, owns the tree's tooltip control, creates and places itself as a
// child window when it sits inside a windowless parent, and hands unconsumed
// input to the window's default processing. My::CustomWindow<T> paints its
// whole tree through an off-screen buffer.
//
// Instances: Window<CWnd>, Window<CEdit>, Window<CScrollBar>,
// Window<CFrameWnd>, CustomWindow<CWnd>, CustomWindow<CFrameWnd>.
//
// UI thread only; all windows belong to it.

#include <string>

#include "platform/gui/dc.h"
#include "platform/gui/gdi.h"
#include "platform/gui/wnd.h"
#include "widgets/core/Container.h"

namespace My {

// The tooltip control of a window's tree.
class WindowTipCtrl : public CToolTipCtrl { };

template <class T> class Window : public T, public Container {
public:
    Window();
    ~Window() override;

    // Both families of these names stay reachable on a window.
    using Control::ClientToScreen;
    using Control::Invalidate;
    using Control::ScreenToClient;
    using T::ClientToScreen;
    using T::Invalidate;
    using T::ScreenToClient;

    // The style and class used when the adaptor creates its window as a
    // child control; showing or hiding the control before the window
    // exists sets or clears WS_VISIBLE here.
    void SetCreationStyle(DWORD style) { m_style = style; }
    DWORD GetCreationStyle() const { return m_style; }
    void SetWindowClassName(const std::string& name) { m_className = name; }

    // Control.
    CPoint GetOrigin() const override;
    CRect GetWndRect() const override;
    CWnd* GetWnd() const override;
    CToolTipCtrl* GetToolTipCtrl() const override;
    void Paint(CDC& dc, const CRect& clip) override;
    CRect GetBounds() const override;
    CSize GetSize() const override;
    bool IsVisible() const override;
    CFont* GetFont() const override;
    void SetCapture() override;
    void ReleaseCapture() override;
    bool HasCapture() const override;
    void SetFocus() override;
    bool HasFocus() const override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnKeyUp(UINT key, UINT repeat, UINT flags) override;
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftUp(UINT flags, const CPoint& point) override;
    void OnMouseMove(UINT flags, const CPoint& point) override;
    void OnRightDoubleClick(UINT flags, const CPoint& point) override;
    void OnRightDown(UINT flags, const CPoint& point) override;
    void OnRightUp(UINT flags, const CPoint& point) override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    void OnFontChange() override;

    // Container.
    Control* GetCaptureChild() const override { return m_captureChild; }
    Control* GetFocusChild() const override { return m_focusChild; }
    void SetCaptureChild(Control* c) override;
    void SetFocusChild(Control* c) override;

    void OnEvent(Event& event) override;

    virtual void CreateChildWindow();
    virtual void OnWindowCreate();
    virtual void OnWindowDestroy();
    virtual void SetWindowShown(bool visible);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Moves the window to its control bounds once after each layout change.
    void PlaceWindow();
    Control* Self() { return this; }
    const Control* Self() const { return this; }

private:
    DWORD m_style = WS_CHILD | WS_VISIBLE;
    std::string m_className;
    bool m_positioned = false;
    bool m_tracking = false;
    Control* m_focusChild = nullptr;
    Control* m_captureChild = nullptr;
    CPoint m_lastPoint;
    WindowTipCtrl m_toolTip;
};

template <class T> class CustomWindow : public Window<T> {
public:
    CustomWindow() = default;
    ~CustomWindow() override;

    // Grows the off-screen buffer to at least w x h; it never shrinks.
    virtual void ResizeBuffer(int width, int height);

    CSize GetBufferSize() const { return CSize(m_bufferWidth, m_bufferHeight); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FreeBuffer();

    CBitmap m_bitmap;
    CBitmap* m_oldBitmap = nullptr;
    CDC m_memDC;
    bool m_hasBuffer = false;
    int m_bufferWidth = 1;
    int m_bufferHeight = 1;
};

extern template class Window<CWnd>;
extern template class Window<CEdit>;
extern template class Window<CScrollBar>;
extern template class Window<CFrameWnd>;
extern template class CustomWindow<CWnd>;
extern template class CustomWindow<CFrameWnd>;

} // namespace My

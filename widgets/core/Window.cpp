#include "widgets/core/Window.h"

#include "widgets/core/Event.h"

namespace My {

template <class T> Window<T>::Window() = default;

template <class T> Window<T>::~Window()
{
    m_toolTip.DestroyWindow();
    // The window goes while the tree parts are still whole, so that the
    // destruction messages reach this class's handling.
    if (this->GetSafeHwnd())
        this->DestroyWindow();
}

template <class T> CPoint Window<T>::GetOrigin() const
{
    return CPoint();
}

template <class T> CRect Window<T>::GetWndRect() const
{
    CRect r;
    if (this->GetSafeHwnd())
        this->GetClientRect(&r);
    return r;
}

template <class T> CWnd* Window<T>::GetWnd() const
{
    return this->GetSafeHwnd() ? const_cast<Window*>(this) : nullptr;
}

template <class T> CToolTipCtrl* Window<T>::GetToolTipCtrl() const
{
    return m_toolTip.IsCreated() ? const_cast<WindowTipCtrl*>(&m_toolTip) : nullptr;
}

template <class T> void Window<T>::Paint(CDC& dc, const CRect& clip)
{
    Container::Paint(dc, clip);
}

template <class T> CRect Window<T>::GetBounds() const
{
    if (!this->GetSafeHwnd())
        return CRect();
    CRect r;
    this->GetWindowRect(&r);
    if (Container* p = GetContainer()) {
        if (CWnd* host = p->GetWnd())
            host->ScreenToClient(&r);
        r.OffsetRect(-p->GetOrigin().x, -p->GetOrigin().y);
    }
    return r;
}

template <class T> CSize Window<T>::GetSize() const
{
    CRect r;
    if (this->GetSafeHwnd())
        this->GetClientRect(&r);
    return r.Size();
}

template <class T> bool Window<T>::IsVisible() const
{
    return this->GetSafeHwnd() && this->IsWindowVisible();
}

template <class T> CFont* Window<T>::GetFont() const
{
    if (this->GetSafeHwnd())
        if (CFont* f = T::GetFont())
            return f;
    return Control::GetFont();
}

template <class T> void Window<T>::SetCapture()
{
    SetCaptureChild(Self());
}

template <class T> void Window<T>::ReleaseCapture()
{
    SetCaptureChild(nullptr);
}

template <class T> bool Window<T>::HasCapture() const
{
    return T::GetCapture() == static_cast<const CWnd*>(this) && m_captureChild == Self();
}

template <class T> void Window<T>::SetFocus()
{
    if (AcceptsFocus())
        SetFocusChild(Self());
    else if (Container* p = GetContainer())
        p->SetFocus();
}

template <class T> bool Window<T>::HasFocus() const
{
    return T::GetFocus() == static_cast<const CWnd*>(this) && m_focusChild == Self();
}

template <class T> void Window<T>::OnKeyDown(UINT, UINT, UINT)
{
    this->Default();
}
template <class T> void Window<T>::OnKeyUp(UINT, UINT, UINT)
{
    this->Default();
}
template <class T> void Window<T>::OnLeftDoubleClick(UINT, const CPoint&)
{
    this->Default();
}
template <class T> void Window<T>::OnRightDoubleClick(UINT, const CPoint&)
{
    this->Default();
}
template <class T> void Window<T>::OnRightDown(UINT, const CPoint&)
{
    this->Default();
}
template <class T> void Window<T>::OnRightUp(UINT, const CPoint&)
{
    this->Default();
}

template <class T> void Window<T>::OnLeftDown(UINT flags, const CPoint& point)
{
    Control::OnLeftDown(flags, point);
    this->Default();
}

template <class T> void Window<T>::OnLeftUp(UINT flags, const CPoint& point)
{
    Control::OnLeftUp(flags, point);
    this->Default();
}

template <class T> void Window<T>::OnMouseMove(UINT flags, const CPoint& point)
{
    Control::OnMouseMove(flags, point);
    this->Default();
}

template <class T> bool Window<T>::OnCursor(UINT, const CPoint&)
{
    return this->Default() != 0;
}

template <class T> void Window<T>::OnFontChange()
{
    if (!this->GetSafeHwnd())
        return;
    if (CFont* f = GetFont())
        this->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
}

template <class T> void Window<T>::SetCaptureChild(Control* c)
{
    if (c == m_captureChild)
        return;
    m_captureChild = c;
    if (c)
        T::SetCapture();
    else if (T::GetCapture() == static_cast<CWnd*>(this))
        ::ReleaseCapture();
}

template <class T> void Window<T>::SetFocusChild(Control* c)
{
    if (c == m_focusChild)
        return;
    if (Control* old = m_focusChild) {
        UnfocusEvent e;
        old->OnEvent(e);
    }
    m_focusChild = c;
    if (c) {
        if (T::GetFocus() != static_cast<CWnd*>(this))
            T::SetFocus();
        // The old focus child's handler may have moved the focus again.
        if (m_focusChild == c) {
            FocusEvent e;
            c->OnEvent(e);
        }
    }
}

template <class T> void Window<T>::OnEvent(Event& event)
{
    Control* self = Self();
    if (dynamic_cast<WindowCreateEvent*>(&event)) {
        OnWindowCreate();
    } else if (dynamic_cast<WindowDestroyEvent*>(&event)) {
        OnWindowDestroy();
    } else if (auto* e = dynamic_cast<WindowBoundsEvent*>(&event)) {
        if (e->before_paint) {
            PlaceWindow();
        } else {
            m_positioned = false;
            Control::BoundsChanged();
        }
    } else if (auto* e = dynamic_cast<WindowVisibleEvent*>(&event)) {
        SetWindowShown(e->visible);
    } else if (auto* e = dynamic_cast<MouseEvent*>(&event); e && m_captureChild && m_captureChild != self) {
        // Cursor queries included: the capture child alone answers them.
        e->point -= m_captureChild->GetOrigin();
        m_captureChild->OnEvent(event);
    } else if (dynamic_cast<KeyEvent*>(&event) && m_focusChild && m_focusChild != self) {
        m_focusChild->OnEvent(event);
    } else {
        Container::OnEvent(event);
    }
}

template <class T> void Window<T>::CreateChildWindow()
{
    CRect r = GetBounds();
    CWnd* parent = nullptr;
    if (Container* p = GetContainer()) {
        r.OffsetRect(p->GetOrigin());
        parent = p->GetWnd();
    }
    T::Create(m_className, std::string(), m_style, r, parent, 0);
}

template <class T> void Window<T>::OnWindowCreate()
{
    CreateChildWindow();
    if (!this->GetSafeHwnd())
        return;
    if (CFont* f = GetFont())
        this->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    PlaceWindow();
}

template <class T> void Window<T>::OnWindowDestroy()
{
    this->DestroyWindow();
}

template <class T> void Window<T>::SetWindowShown(bool visible)
{
    if (this->GetSafeHwnd())
        this->ShowWindow(visible ? SW_SHOW : SW_HIDE);
    else if (visible)
        m_style |= WS_VISIBLE;
    else
        m_style &= ~WS_VISIBLE;
}

template <class T> void Window<T>::PlaceWindow()
{
    if (m_positioned || !this->GetSafeHwnd())
        return;
    CRect r = GetBounds();
    if (Container* p = GetContainer())
        r.OffsetRect(p->GetOrigin());
    this->SetWindowPos(nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    this->UpdateWindow();
    m_positioned = true;
}

template <class T> LRESULT Window<T>::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    const UINT flags = UINT(wParam);
    switch (message) {
    case WM_CREATE: {
        if (T::WindowProc(message, wParam, lParam) == -1)
            return -1;
        m_toolTip.Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX);
        WindowCreateEvent e;
        SendToChildren(e);
        return 0;
    }
    case WM_DESTROY: {
        WindowDestroyEvent e;
        SendToChildren(e);
        m_toolTip.DestroyWindow();
        // The window no longer holds what it held for its tree.
        m_captureChild = nullptr;
        m_focusChild = nullptr;
        m_tracking = false;
        return T::WindowProc(message, wParam, lParam);
    }
    case WM_SIZE:
        this->Default();
        Container::BoundsChanged();
        return 0;
    case WM_SETFOCUS:
        if (!m_focusChild)
            SetFocusChild(Self());
        return T::WindowProc(message, wParam, lParam);
    case WM_KILLFOCUS:
        this->Default();
        SetFocusChild(nullptr);
        return 0;
    case WM_KEYDOWN: {
        KeyDownEvent e(UINT(wParam), LOWORD(lParam), HIWORD(lParam));
        OnEvent(e);
        return 0;
    }
    case WM_KEYUP: {
        KeyUpEvent e(UINT(wParam), LOWORD(lParam), HIWORD(lParam));
        OnEvent(e);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        m_lastPoint = point;
        LeftDownEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_LBUTTONUP: {
        m_lastPoint = point;
        LeftUpEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        m_lastPoint = point;
        LeftDoubleClickEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_RBUTTONDOWN: {
        m_lastPoint = point;
        RightDownEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_RBUTTONUP: {
        m_lastPoint = point;
        RightUpEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_RBUTTONDBLCLK: {
        m_lastPoint = point;
        RightDoubleClickEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_MOUSEMOVE: {
        m_lastPoint = point;
        if (!m_tracking) {
            m_tracking = true;
            MouseEnterEvent enter(flags, point);
            OnEvent(enter);
            if (!this->GetSafeHwnd())
                return 0;
            TrackMouseEvent(this, TME_LEAVE);
        }
        MouseMoveEvent e(flags, point);
        OnEvent(e);
        return 0;
    }
    case WM_MOUSELEAVE: {
        MouseLeaveEvent e;
        OnEvent(e);
        m_tracking = false;
        return 1;
    }
    case WM_SETCURSOR: {
        POINT p;
        GetCursorPos(&p);
        T::ScreenToClient(&p);
        CursorEvent e { CPoint(p) };
        OnEvent(e);
        if (!e.handled)
            return this->Default();
        return TRUE;
    }
    case WM_CAPTURECHANGED: {
        // The window system took the capture: the capture child is released
        // as if the button had come up where the pointer was last seen.
        if (Control* c = m_captureChild) {
            m_captureChild = nullptr;
            if (c != Self()) {
                LeftUpEvent e(0, m_lastPoint - c->GetOrigin());
                c->OnEvent(e);
            } else {
                Control::OnLeftUp(0, m_lastPoint);
            }
        }
        return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam) {
            auto* bar = reinterpret_cast<CWnd*>(lParam);
            if (CWnd::IsAlive(bar))
                return bar->SendMessage(message, wParam, 0);
        }
        return T::WindowProc(message, wParam, lParam);
    case WM_IDLEUPDATECMDUI:
    case WM_INITIALUPDATE: {
        UpdateUIEvent e;
        OnEvent(e);
        return 0;
    }
    default:
        return T::WindowProc(message, wParam, lParam);
    }
}

template <class T> CustomWindow<T>::~CustomWindow()
{
    if (this->GetSafeHwnd())
        this->DestroyWindow();
    FreeBuffer();
}

template <class T> void CustomWindow<T>::FreeBuffer()
{
    if (!m_hasBuffer)
        return;
    m_memDC.SelectObject(m_oldBitmap);
    m_bitmap.DeleteObject();
    m_memDC.DeleteDC();
    m_hasBuffer = false;
}

template <class T> void CustomWindow<T>::ResizeBuffer(int width, int height)
{
    const int w = std::max(m_bufferWidth, width);
    const int h = std::max(m_bufferHeight, height);
    if ((w == m_bufferWidth && h == m_bufferHeight) || !m_hasBuffer)
        return;
    CClientDC client(this);
    m_bufferWidth = w;
    m_bufferHeight = h;
    m_memDC.SelectObject(m_oldBitmap);
    m_bitmap.DeleteObject();
    m_bitmap.CreateCompatibleBitmap(&client, w, h);
    m_memDC.SelectObject(&m_bitmap);
}

template <class T> LRESULT CustomWindow<T>::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        if (Window<T>::WindowProc(message, wParam, lParam) == -1)
            return -1;
        FreeBuffer();
        m_bufferWidth = 1;
        m_bufferHeight = 1;
        CClientDC client(this);
        m_bitmap.CreateCompatibleBitmap(&client, 1, 1);
        m_memDC.CreateCompatibleDC(&client);
        m_oldBitmap = m_memDC.SelectObject(&m_bitmap);
        m_hasBuffer = true;
        // A window created at its final size paints before any WM_SIZE.
        CRect r;
        this->GetClientRect(&r);
        ResizeBuffer(r.Width(), r.Height());
        return 0;
    }
    case WM_SIZE:
        this->Default();
        ResizeBuffer(LOWORD(lParam), HIWORD(lParam));
        Container::BoundsChanged();
        return 0;
    case WM_PAINT: {
        CRect update;
        this->GetUpdateRect(&update, FALSE);
        CPaintDC dc(this);
        if (!m_hasBuffer || update.IsRectEmpty())
            return 0;
        CRgn area;
        area.CreateRectRgnIndirect(&update);
        m_memDC.SelectClipRgn(&area);
        this->Paint(m_memDC, update);
        this->DrawXorOverlay(m_memDC, update);
        m_memDC.SelectClipRgn(nullptr);
        dc.BitBlt(update.left, update.top, update.Width(), update.Height(), &m_memDC, update.left, update.top,
            SRCCOPY);
        return 0;
    }
    case WM_ACTIVATE: {
        this->Default();
        ActivateEvent e(LOWORD(wParam) != WA_INACTIVE);
        this->OnEvent(e);
        return 0;
    }
    case WM_DESTROY: {
        const LRESULT r = Window<T>::WindowProc(message, wParam, lParam);
        FreeBuffer();
        return r;
    }
    default:
        return Window<T>::WindowProc(message, wParam, lParam);
    }
}

template class Window<CWnd>;
template class Window<CEdit>;
template class Window<CScrollBar>;
template class Window<CFrameWnd>;
template class CustomWindow<CWnd>;
template class CustomWindow<CFrameWnd>;

} // namespace My

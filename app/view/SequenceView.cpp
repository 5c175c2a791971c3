#include "app/view/SequenceView.h"

#include "app/view/Tool.h"
#include "document/composition/Sequence.h"
#include "platform/gui/colors.h"
#include "platform/gui/cursor.h"
#include "platform/gui/keys.h"
#include "platform/gui/metrics.h"
#include "widgets/core/Event.h"

#include <algorithm>

namespace My {

namespace {
const char* const view_class = "TaveloSequenceView";
} // namespace

COLORREF WorkspaceColor()
{
    // The theme has no colour of an application's empty workspace; its
    // shadow colour is the nearest.
    return GetSysColor(COLOR_3DSHADOW);
}

SequenceView::SequenceView()
    : m_panTool(*this)
    , m_zoomTool(*this)
    , m_background(WorkspaceColor())
{
    m_geometry.SetZoomLimits(0.01, 100.0);
    BuildCommands();
}

SequenceView::~SequenceView()
{
    if (m_sequence)
        m_sequence->RemoveListener(this);
    m_tool = nullptr;
    m_temporaryTool = nullptr;
    m_activeTool = nullptr;
    if (GetSafeHwnd())
        DestroyWindow();
}

BOOL SequenceView::CreateView(CWnd* parent, const CRect& rect, UINT id)
{
    WNDCLASS wc;
    wc.lpszClassName = view_class;
    wc.hCursor = LoadCursor(IDC_ARROW);
    RegisterClass(&wc);
    return Create(view_class, "", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, rect, parent, id);
}

void SequenceView::BuildCommands()
{
    const auto content = [this](CommandUI& ui) { ui.Enable(m_geometry.HasContent()); };
    m_commands.Add(
        ID_TOOL_HAND, [this] { SetTool(&m_panTool); },
        [this](CommandUI& ui) {
            ui.Enable(m_geometry.HasContent());
            ui.SetCheck(m_tool == &m_panTool ? 1 : 0);
        });
    m_commands.Add(
        ID_TOOL_ZOOM, [this] { SetTool(&m_zoomTool); },
        [this](CommandUI& ui) {
            ui.Enable(m_geometry.HasContent());
            ui.SetCheck(m_tool == &m_zoomTool ? 1 : 0);
        });
    m_commands.Add(
        ID_ZOOM_IN, [this] { ZoomBy(2.0); }, content);
    m_commands.Add(
        ID_ZOOM_OUT, [this] { ZoomBy(0.5); }, content);
    m_commands.Add(
        ID_FIT_ON_SCREEN, [this] { FitOnScreen(); }, content);
    m_commands.Add(
        ID_ACTUAL_PIXELS, [this] { ActualPixels(); },
        [this](CommandUI& ui) {
            ui.Enable(m_geometry.HasContent());
            ui.SetCheck(m_geometry.GetZoom() == 1.0 ? 1 : 0);
        });
}

bool SequenceView::RouteCommand(CommandEventBase& event)
{
    if (!m_geometry.HasContent() && m_commands.Contains(event.id)) {
        if (auto* update = dynamic_cast<UpdateCommandUIEvent*>(&event); update && update->cmdui) {
            update->cmdui->Enable(false);
            event.handled = true;
            return true;
        }
        return false;
    }
    return m_commands.Dispatch(event);
}

void SequenceView::SetSequence(Sequence* sequence)
{
    if (m_sequence == sequence)
        return;
    if (m_sequence)
        m_sequence->RemoveListener(this);
    m_sequence = sequence;
    if (m_sequence)
        m_sequence->AddListener(this);
}

void SequenceView::OnEvent(Event& event)
{
    if (dynamic_cast<Sequence::PreviewFrameChange*>(&event)) {
        RequestPaint();
    } else if (dynamic_cast<Sequence::OpenEvent*>(&event)) {
        const auto size = m_sequence ? m_sequence->GetFrameSize() : types::extent<unsigned> {};
        SetImageSize(static_cast<int>(size.width), static_cast<int>(size.height));
        RequestPaint();
    } else if (dynamic_cast<Sequence::CloseEvent*>(&event)) {
        SetPlayerMode(0);
        SetImageSize(0, 0);
        SetTool(nullptr);
        ClearImage();
        if (GetSafeHwnd())
            Invalidate(FALSE);
    }
}

void SequenceView::MakeActive(Tool* tool)
{
    if (m_activeTool == tool)
        return;
    if (m_activeTool)
        m_activeTool->Deactivate();
    m_activeTool = tool;
    if (m_activeTool)
        m_activeTool->Activate();
}

void SequenceView::RefreshCursor()
{
    if (GetSafeHwnd() && m_pointerOver)
        SendMessage(WM_SETCURSOR, WPARAM(this), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void SequenceView::SetTool(Tool* tool)
{
    if (tool == m_tool && !m_temporaryTool)
        return;
    Tool* before = GetEffectiveTool();
    m_temporaryTool = nullptr;
    m_tool = tool;
    Tool* after = GetEffectiveTool();
    if (before != after) {
        if (m_activeTool == before)
            MakeActive(after);
        if (before)
            before->Deselected();
        if (after)
            after->Selected();
    }
    RefreshCursor();
}

void SequenceView::SetTemporaryTool(Tool* tool)
{
    Tool* before = GetEffectiveTool();
    m_temporaryTool = tool;
    Tool* after = GetEffectiveTool();
    if (before == after)
        return;
    MakeActive(after);
    if (before)
        before->Deselected();
    if (after)
        after->Selected();
    RefreshCursor();
}

void SequenceView::UpdateTemporaryTool()
{
    if (m_ctrl || m_space)
        SetTemporaryTool(m_alt ? static_cast<Tool*>(&m_zoomTool) : static_cast<Tool*>(&m_panTool));
    else
        SetTemporaryTool(nullptr);
}

void SequenceView::ApplyScrollBars()
{
    if (!GetSafeHwnd() || !(GetStyle() & (WS_HSCROLL | WS_VSCROLL)))
        return;
    for (const bool vertical : { false, true }) {
        const ViewScrollBar info = m_geometry.GetScrollBar(vertical);
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        // Positions 0 .. range - page: the last one shows the workbench's end.
        si.nMax = std::max(info.range - 1, 0);
        si.nPage = static_cast<UINT>(std::max(info.page, 0));
        si.nPos = std::max(info.pos, 0);
        SetScrollInfo(vertical ? SB_VERT : SB_HORZ, si, TRUE);
    }
}

void SequenceView::ClientSizeChanged(int width, int height)
{
    // The geometry works from the area without bars, the window's outer
    // size. What a bar shown takes is observed, not assumed: overlay bars
    // take nothing.
    CRect outer;
    GetWindowRect(&outer);
    const int full_width = std::max(outer.Width(), width);
    const int full_height = std::max(outer.Height(), height);
    int bar_width = m_geometry.GetScrollBarWidth();
    int bar_height = m_geometry.GetScrollBarHeight();
    if (m_geometry.GetScrollBar(true).shown)
        bar_width = full_width - width;
    if (m_geometry.GetScrollBar(false).shown)
        bar_height = full_height - height;
    m_geometry.SetScrollBarThickness(bar_width, bar_height);
    m_geometry.SetWindowSize(full_width, full_height);
    ApplyScrollBars();
}

void SequenceView::GeometryChanged(bool zoomChanged, bool redraw)
{
    ApplyScrollBars();
    if (GetSafeHwnd() && redraw)
        Invalidate(FALSE);
    if (zoomChanged && m_zoomChanged)
        m_zoomChanged();
}

void SequenceView::SetImageSize(int width, int height)
{
    m_geometry.SetImageSize(width, height);
    GeometryChanged(false, true);
}

void SequenceView::ScrollTo(int x, int y, bool redraw)
{
    (void)redraw;
    // The picture is drawn whole from the off-screen buffer: a scroll
    // repaints the client area.
    if (m_geometry.ScrollTo(x, y))
        GeometryChanged(false, true);
}

void SequenceView::SetZoom(double z)
{
    if (m_geometry.SetZoom(z))
        GeometryChanged(true, true);
}

void SequenceView::ZoomAt(double z, std::optional<CPoint> at)
{
    const CPoint before = m_geometry.GetScroll();
    const bool changed = m_geometry.ZoomAt(z, at);
    if (changed || before != m_geometry.GetScroll())
        GeometryChanged(changed, true);
}

void SequenceView::ZoomBy(double factor, std::optional<CPoint> at)
{
    ZoomAt(factor * m_geometry.GetZoom(), at);
}

void SequenceView::FitOnScreen()
{
    const CPoint before = m_geometry.GetScroll();
    const bool changed = m_geometry.FitOnScreen();
    if (changed || before != m_geometry.GetScroll())
        GeometryChanged(changed, true);
}

void SequenceView::InvalidateImage()
{
    if (!GetSafeHwnd())
        return;
    const CRect r = m_geometry.GetImageClientRect();
    InvalidateRect(&r, FALSE);
}

void SequenceView::SetBackgroundColor(COLORREF color)
{
    if (color == m_background)
        return;
    m_background = color;
    if (GetSafeHwnd())
        Invalidate(FALSE);
    BackgroundChange change;
    m_backgroundDispatcher.Send(change);
}

void SequenceView::SendFrameCommand(UINT id)
{
    if (m_frameCommand)
        m_frameCommand(id);
    else if (GetParent())
        GetParent()->SendMessage(WM_COMMAND, id, 0);
}

void SequenceView::OnKeyDown(UINT key, bool repeat)
{
    if (key == VK_CONTROL)
        m_ctrl = true;
    else if (key == VK_MENU)
        m_alt = true;
    else if (key == VK_SPACE) {
        // A tap plays; holding Space pans (its auto-repeat is no tap).
        if (!m_space && !repeat)
            m_spaceTap = true;
        m_space = true;
    } else {
        m_spaceTap = false;
    }
    UpdateTemporaryTool();
    if (Tool* t = GetEffectiveTool())
        t->KeyDown(key, repeat);
}

void SequenceView::OnKeyUp(UINT key)
{
    if (key == VK_CONTROL)
        m_ctrl = false;
    else if (key == VK_MENU)
        m_alt = false;
    else if (key == VK_SPACE) {
        m_space = false;
        const bool tap = m_spaceTap && !m_alt;
        m_spaceTap = false;
        if (tap)
            SendFrameCommand(ID_PLAY_TOGGLE);
    }
    if (Tool* t = GetEffectiveTool())
        t->KeyUp(key);
    UpdateTemporaryTool();
}

void SequenceView::SyncModifier(UINT key, bool down)
{
    const bool held = key == VK_CONTROL ? m_ctrl : key == VK_MENU ? m_alt : m_space;
    if (held == down)
        return;
    // A change the view was not told of is no tap of the space bar.
    m_spaceTap = false;
    if (down)
        OnKeyDown(key, false);
    else
        OnKeyUp(key);
    m_spaceTap = false;
}

void SequenceView::HandleMouse(UINT message, UINT flags, CPoint p)
{
    // Ctrl as the event has it: its key messages go to whichever window has
    // the focus (a dialog the view opened), so the view may have missed one.
    SyncModifier(VK_CONTROL, (flags & MK_CONTROL) != 0);
    Tool* t = GetEffectiveTool();
    MakeActive(t);
    if (message != WM_MOUSEMOVE)
        m_spaceTap = false;
    if (message == WM_MOUSEMOVE && !m_pointerOver) {
        m_pointerOver = true;
        TrackMouseEvent(this, TME_LEAVE);
        if (t)
            t->MouseEnter();
    }
    if (!t)
        return;
    switch (message) {
    case WM_MOUSEMOVE:
        t->MouseMove(flags, p);
        break;
    case WM_LBUTTONDOWN:
        t->LeftDown(flags, p);
        break;
    case WM_LBUTTONUP:
        t->LeftUp(flags, p);
        break;
    case WM_LBUTTONDBLCLK:
        t->LeftDoubleClick(flags, p);
        break;
    case WM_RBUTTONDOWN:
        t->RightDown(flags, p);
        break;
    case WM_RBUTTONUP:
        t->RightUp(flags, p);
        break;
    case WM_RBUTTONDBLCLK:
        t->RightDoubleClick(flags, p);
        break;
    default:
        break;
    }
}

void SequenceView::Draw(CDC& dc, const CRect& clip)
{
    // Outside the image: the background colour.
    const CRect image = m_geometry.GetImageClientRect();
    const auto fill = [&](int l, int t, int r, int b) {
        CRect part(l, t, r, b);
        part.IntersectRect(part, clip);
        if (!part.IsRectEmpty())
            dc.FillSolidRect(part, m_background);
    };
    if (!m_geometry.HasContent()) {
        dc.FillSolidRect(clip, m_background);
    } else {
        fill(clip.left, clip.top, clip.right, image.top);
        fill(clip.left, image.bottom, clip.right, clip.bottom);
        fill(clip.left, image.top, image.left, image.bottom);
        fill(image.right, image.top, clip.right, image.bottom);
        CRect dest;
        CRect source;
        if ((!m_sequence || !m_sequence->IsEmpty())
            && m_geometry.SnapToPixels(clip & image, &dest, &source)) {
            dc.SetStretchBltMode(m_geometry.GetZoom() > 1.0 ? COLORONCOLOR : HALFTONE);
            DrawImage(dc, dest, source);
        } else if (!(clip & image).IsRectEmpty()) {
            dc.FillSolidRect(clip & image, m_background);
        }
    }
    if (Tool* t = m_activeTool ? m_activeTool : GetEffectiveTool())
        t->RedrawOverlay(dc);
}

void SequenceView::DrawImage(CDC& dc, const CRect& dest, const CRect&)
{
    dc.FillSolidRect(dest, m_background);
}

void SequenceView::ResizeBuffer(int width, int height)
{
    if (!m_hasBuffer || (width <= m_bufferSize.cx && height <= m_bufferSize.cy))
        return;
    CClientDC client(this);
    m_bufferSize = CSize(std::max(width, m_bufferSize.cx), std::max(height, m_bufferSize.cy));
    m_memDC.SelectObject(m_oldBitmap);
    m_bitmap.DeleteObject();
    m_bitmap.CreateCompatibleBitmap(&client, m_bufferSize.cx, m_bufferSize.cy);
    m_memDC.SelectObject(&m_bitmap);
}

void SequenceView::Paint()
{
    // Bars that came or went without a size message (overlay bars) show
    // here: the geometry follows the client area painted.
    CRect client;
    GetClientRect(&client);
    if (client.Size() != m_geometry.GetClientSize() && (GetStyle() & (WS_HSCROLL | WS_VSCROLL))) {
        const CSize before = m_geometry.GetClientSize();
        ClientSizeChanged(client.Width(), client.Height());
        // Repaint only on a change, so a mismatch that stays cannot loop.
        if (m_geometry.GetClientSize() != before)
            Invalidate(FALSE);
    }
    CRect update;
    GetUpdateRect(&update, FALSE);
    CPaintDC dc(this);
    if (update.IsRectEmpty())
        return;
    if (!m_hasBuffer) {
        Draw(dc, update);
        return;
    }
    CRgn area;
    area.CreateRectRgnIndirect(&update);
    m_memDC.SelectClipRgn(&area);
    Draw(m_memDC, update);
    m_memDC.SelectClipRgn(nullptr);
    dc.BitBlt(
        update.left, update.top, update.Width(), update.Height(), &m_memDC, update.left, update.top, SRCCOPY);
}

LRESULT SequenceView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        if (CWnd::WindowProc(message, wParam, lParam) == -1)
            return -1;
        CRect r;
        GetClientRect(&r);
        if (GetStyle() & (WS_HSCROLL | WS_VSCROLL))
            m_geometry.SetScrollBarThickness(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
        ClientSizeChanged(r.Width(), r.Height());
        CClientDC client(this);
        if (client.IsDrawing()) {
            m_bitmap.CreateCompatibleBitmap(&client, 1, 1);
            m_memDC.CreateCompatibleDC(&client);
            m_oldBitmap = m_memDC.SelectObject(&m_bitmap);
            m_hasBuffer = true;
            m_bufferSize = CSize(1, 1);
            ResizeBuffer(r.Width(), r.Height());
        }
        return 0;
    }
    case WM_DESTROY:
        if (m_hasBuffer) {
            m_memDC.SelectObject(m_oldBitmap);
            m_bitmap.DeleteObject();
            m_memDC.DeleteDC();
            m_hasBuffer = false;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    case WM_SIZE: {
        const int w = LOWORD(std::uintptr_t(lParam));
        const int h = HIWORD(std::uintptr_t(lParam));
        ResizeBuffer(w, h);
        ClientSizeChanged(w, h);
        Invalidate(FALSE);
        return 0;
    }
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_KEYDOWN:
        OnKeyDown(UINT(wParam), (HIWORD(std::uintptr_t(lParam)) & KF_REPEAT) != 0);
        return 0;
    case WM_KEYUP:
        OnKeyUp(UINT(wParam));
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN)
            SetFocus();
        HandleMouse(message, UINT(wParam), CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        return 0;
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED:
        if (message == WM_MOUSELEAVE)
            m_pointerOver = false;
        if (message == WM_MOUSELEAVE || CWnd::GetCapture() != this) {
            if (Tool* t = GetEffectiveTool())
                t->MouseLeave();
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(std::uintptr_t(lParam)) == HTCLIENT) {
            if (Tool* t = GetEffectiveTool(); t && t->SetCursor(HTCLIENT))
                return TRUE;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    case WM_KILLFOCUS:
        m_ctrl = m_alt = m_space = m_spaceTap = false;
        UpdateTemporaryTool();
        return CWnd::WindowProc(message, wParam, lParam);
    case WM_SETFOCUS:
        // Keys pressed or released while another window had the focus.
        SyncModifier(VK_CONTROL, GetAsyncKeyState(VK_CONTROL) < 0);
        SyncModifier(VK_MENU, GetAsyncKeyState(VK_MENU) < 0);
        SyncModifier(VK_SPACE, GetAsyncKeyState(VK_SPACE) < 0);
        return CWnd::WindowProc(message, wParam, lParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (m_geometry.Scroll(message == WM_VSCROLL, LOWORD(wParam), short(HIWORD(wParam))))
            GeometryChanged(false, true);
        return 0;
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

} // namespace My

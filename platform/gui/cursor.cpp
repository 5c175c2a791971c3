#include "platform/gui/cursor.h"

#include "platform/gui/detail/wx.h"
#include "platform/gui/wnd.h"

namespace {

CWnd* g_target = nullptr;
CWnd* g_mouse_window = nullptr;
HCURSOR g_current = nullptr;

} // namespace

namespace platform::gui::detail {

void set_cursor_target(CWnd* w)
{
    g_target = w;
}
void set_mouse_window(CWnd* w)
{
    g_mouse_window = w;
}

} // namespace platform::gui::detail

HCURSOR LoadCursor(int id)
{
    static const cursor arrow { cursor_shape::arrow }, ibeam { cursor_shape::ibeam },
        wait { cursor_shape::wait }, cross { cursor_shape::cross }, size_we { cursor_shape::size_we },
        size_ns { cursor_shape::size_ns }, size_all { cursor_shape::size_all }, hand { cursor_shape::hand },
        no { cursor_shape::no }, size_nwse { cursor_shape::size_nwse };
    switch (id) {
    case IDC_ARROW:
        return &arrow;
    case IDC_IBEAM:
        return &ibeam;
    case IDC_WAIT:
        return &wait;
    case IDC_CROSS:
        return &cross;
    case IDC_SIZEWE:
        return &size_we;
    case IDC_SIZENS:
        return &size_ns;
    case IDC_SIZENWSE:
        return &size_nwse;
    case IDC_SIZEALL:
        return &size_all;
    case IDC_HAND:
        return &hand;
    case IDC_NO:
        return &no;
    default:
        return nullptr;
    }
}

HCURSOR SetCursor(HCURSOR c)
{
    const HCURSOR old = g_current;
    g_current = c;
    CWnd* w = g_target ? g_target : CWnd::GetCapture() ? CWnd::GetCapture() : g_mouse_window;
    if (w && CWnd::IsAlive(w) && w->GetPeer())
        w->GetPeer()->set_cursor(c);
    return old;
}

HCURSOR GetCursor()
{
    return g_current;
}

#include "platform/gui/detail/wx.h"

#include <wx/defs.h>
#include <wx/utils.h>

#include "platform/gui/app.h"
#include "platform/gui/keys.h"
#include "platform/gui/messages.h"

namespace platform::gui::detail {

UINT vk_from_wx(int code)
{
    if (code >= 'a' && code <= 'z')
        return UINT(code - 'a' + 'A');
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'))
        return UINT(code);
    if (code >= WXK_F1 && code <= WXK_F12)
        return VK_F1 + UINT(code - WXK_F1);
    if (code >= WXK_NUMPAD0 && code <= WXK_NUMPAD9)
        return 0x60 + UINT(code - WXK_NUMPAD0);
    switch (code) {
    case WXK_BACK:
        return VK_BACK;
    case WXK_TAB:
        return VK_TAB;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        return VK_RETURN;
    case WXK_ESCAPE:
        return VK_ESCAPE;
    case WXK_SPACE:
        return VK_SPACE;
    case WXK_DELETE:
    case WXK_NUMPAD_DELETE:
        return VK_DELETE;
    case WXK_INSERT:
        return VK_INSERT;
    case WXK_SHIFT:
        return VK_SHIFT;
    case WXK_CONTROL:
        return VK_CONTROL;
    case WXK_ALT:
        return VK_MENU;
    case WXK_LEFT:
        return VK_LEFT;
    case WXK_RIGHT:
        return VK_RIGHT;
    case WXK_UP:
        return VK_UP;
    case WXK_DOWN:
        return VK_DOWN;
    case WXK_HOME:
        return VK_HOME;
    case WXK_END:
        return VK_END;
    case WXK_PAGEUP:
        return VK_PRIOR;
    case WXK_PAGEDOWN:
        return VK_NEXT;
    case WXK_NUMPAD_MULTIPLY:
    case WXK_MULTIPLY:
        return VK_MULTIPLY;
    case '[':
    case '{':
        return VK_OEM_4;
    case ']':
    case '}':
        return VK_OEM_6;
    case WXK_NUMPAD_ADD:
    case '+':
        return VK_ADD;
    case WXK_NUMPAD_SUBTRACT:
    case '-':
        return VK_SUBTRACT;
    default:
        return UINT(code) & 0xFF;
    }
}

} // namespace platform::gui::detail

namespace {

// The toolkit's code of the keys whose state can be asked for; 0 for others.
int wx_from_vk(int vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return vk;
    switch (UINT(vk)) {
    case VK_SHIFT:
        return WXK_SHIFT;
    case VK_CONTROL:
        return WXK_CONTROL;
    case VK_MENU:
        return WXK_ALT;
    case VK_SPACE:
        return WXK_SPACE;
    default:
        return 0;
    }
}

} // namespace

std::int16_t GetAsyncKeyState(int vk)
{
    const int code = wx_from_vk(vk);
    if (code == 0 || !platform::gui::running())
        return 0;
    return wxGetKeyState(static_cast<wxKeyCode>(code)) ? std::int16_t(0x8000) : std::int16_t(0);
}

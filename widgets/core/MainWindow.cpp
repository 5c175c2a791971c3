#include "widgets/core/MainWindow.h"

#include "platform/gui/wnd.h"

namespace My {

namespace {
CWnd* g_main = nullptr;
}

CWnd* GetMainWindow()
{
    return g_main;
}

void SetMainWindow(CWnd* window)
{
    g_main = window;
}

CWnd* GetFrameOf(CWnd* window)
{
    while (window && window->GetParent())
        window = window->GetParent();
    return window;
}

} // namespace My

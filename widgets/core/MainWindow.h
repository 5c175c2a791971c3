#pragma once

// The program's main window: where commands of tool buttons go (WM_COMMAND)
// and whose frame routes them. Set by the program once its main window
// exists; null before. UI thread only.

class CWnd;

namespace My {

CWnd* GetMainWindow();
void SetMainWindow(CWnd* window);

// The frame of a window: the window itself when it has no parent, else its
// topmost ancestor. Null for null.
CWnd* GetFrameOf(CWnd* window);

} // namespace My

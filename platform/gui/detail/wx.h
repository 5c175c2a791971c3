#pragma once

// Internal to platform/gui: the backend objects behind our drawing types and
// the conversions between our values and the toolkit's. Nothing outside
// platform/gui includes this header.

#include <optional>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/region.h>

#include "platform/gui/dc.h"
#include "platform/gui/gdi.h"
#include "platform/gui/wnd.h"

namespace platform::gui::detail {

inline wxColour to_wx(COLORREF c)
{
    return wxColour(GetRValue(c), GetGValue(c), GetBValue(c));
}
inline COLORREF from_wx(const wxColour& c)
{
    return RGB(c.Red(), c.Green(), c.Blue());
}
inline wxRect to_wx(const RECT& r)
{
    return wxRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
inline CRect from_wx(const wxRect& r)
{
    return CRect(r.x, r.y, r.x + r.width, r.y + r.height);
}

// The toolkit's font for a description (cached in the CFont).
const wxFont& native_font(const CFont& f);
// The font a DC uses when none was selected.
CFont* stock_font();

// Makes the peers of the window kinds (wx_peer.cpp).
std::unique_ptr<window_peer> make_window_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style);
std::unique_ptr<window_peer> make_edit_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style);
std::unique_ptr<window_peer> make_scroll_bar_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style);
std::unique_ptr<window_peer> make_frame_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style);
std::unique_ptr<window_peer> make_message_peer(CWnd* owner);

// The toolkit window of one of our windows; null without one.
wxWindow* native_window(CWnd* w);
// The window a dialog of `parent` belongs to: the top-level window of
// `parent`, else the program's main window; never one being deleted.
wxWindow* dialog_owner(CWnd* parent);

// The virtual-key code of a toolkit key code.
UINT vk_from_wx(int code);

// The toolkit's id for a window or menu item that our code knows by `id`:
// the same number where the toolkit takes it (below 32767, outside the
// range of its own stock ids), else an id the toolkit chooses. Our code
// never finds a window by its toolkit id.
inline int toolkit_id(long id)
{
    if (id >= 0 && id < 32767 && (id < wxID_LOWEST || id > wxID_HIGHEST))
        return int(id);
    return wxID_ANY;
}

// The pointer's position in screen coordinates.
CPoint pointer_position();
// The window whose WM_SETCURSOR is being handled (SetCursor applies there),
// and the window that last received a mouse message.
void set_cursor_target(CWnd* w);
void set_mouse_window(CWnd* w);

// Before a modal loop (a dialog, a popup menu): the window holding the mouse
// capture lets go of it and is told so by WM_CAPTURECHANGED, as when the
// system takes it. A capture kept into the loop would hold the pointer away
// from the dialog, and the toolkit takes it back unannounced.
void end_capture_for_modal();

// Readies a dialog built on the window system's file chooser before it is
// shown: the chooser's location field completes typed names through its
// list only, never by inserting the rest of a name into the text. The
// chooser inserts from the folder it last read, and a typed folder it
// cannot read (a name not complete yet, a missing folder) leaves it
// inserting from no list at all, which it complains about at every key.
// The titles of the chooser's lists take clicks only while the list is
// there: while the chooser reads a folder it has none to sort.
void prepare_file_chooser(wxWindow* dialog);

} // namespace platform::gui::detail

struct CRgn::impl {
    wxRegion region;
};

struct CBitmap::impl {
    wxBitmap bitmap; // invalid when the window system does not run
    int width = 0;
    int height = 0;
    double scale = 1.0;
};

struct CDC::impl {
    // The toolkit DC drawn into; null while the DC draws nowhere.
    wxDC* dc = nullptr;
    std::unique_ptr<wxDC> owned;
    wxMemoryDC* memory = nullptr;
    bool is_memory = false;
    CWnd* window = nullptr;
    double scale = 1.0;

    CPen* pen = nullptr;
    CBrush* brush = nullptr;
    CFont* font = nullptr;
    CBitmap* bitmap = nullptr;
    CPoint origin;
    std::optional<wxRegion> clip; // device coordinates
    COLORREF text = RGB(0, 0, 0);
    COLORREF bk = RGB(255, 255, 255);
    int bk_mode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretch_mode = BLACKONWHITE;
    CPoint pos;

    // Sets the toolkit DC's clipping from `clip`.
    void apply_clip();
    // Attaches a toolkit DC and brings it to this DC's state.
    void attach(wxDC* d);
};

// A tick of timer `id` of `w` (wnd.cpp).
LRESULT deliver_timer(CWnd* w, UINT_PTR id);

#pragma once

// Device contexts: a target for drawing (a window's client area, a window
// being painted, or a bitmap) with the selected pen, brush, font and bitmap,
// a window origin, a clipping region, text colours and a raster mode.
//
// Coordinates: drawing operations take logical coordinates; a logical point p
// lands on device pixel p - window origin. Clipping regions are in device
// coordinates (as regions always are); IntersectClipRect and GetClipBox take
// and give logical ones.
//
// A default-constructed CDC draws nowhere: it keeps its state (objects,
// origin, clipping, colours) and ignores drawing, so drawing code runs
// without a display. Only the UI thread may use a DC that draws.

#include <memory>
#include <string>

#include "platform/gui/gdi.h"
#include "platform/gui/types.h"

class CWnd;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
// Line raster modes.
inline constexpr int R2_NOT = 6;
inline constexpr int R2_XORPEN = 7;
inline constexpr int R2_COPYPEN = 13;
// Raster operations of BitBlt and StretchDIBits.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
// Stretch modes.
inline constexpr int BLACKONWHITE = 1;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
// DrawText formats.
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_NOCLIP = 0x0100;
inline constexpr UINT DT_CALCRECT = 0x0400;
inline constexpr UINT DT_NOPREFIX = 0x0800;
// One line that does not fit ends in "..." within the rectangle.
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;
// Device-independent bitmaps.
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr DWORD BI_RGB = 0;
// Alpha blending.
inline constexpr BYTE AC_SRC_OVER = 0;
inline constexpr BYTE AC_SRC_ALPHA = 1;

struct BITMAPINFOHEADER {
    DWORD biSize = 0;
    LONG biWidth = 0;
    // Negative: rows stored top-down; positive: bottom-up.
    LONG biHeight = 0;
    WORD biPlanes = 0;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};

// A header and a colour table of two entries: enough for the 1-bit bitmaps
// we draw (entry 0 for clear bits, entry 1 for set bits); 24- and 32-bit
// bitmaps have none.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[2];
};

struct BLENDFUNCTION {
    BYTE BlendOp = AC_SRC_OVER;
    BYTE BlendFlags = 0;
    BYTE SourceConstantAlpha = 255;
    BYTE AlphaFormat = 0;
};

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmAveCharWidth = 0;
};

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Makes this a memory DC drawing into the bitmap selected into it,
    // compatible with `dc` (its window's scale factor); null: the screen.
    BOOL CreateCompatibleDC(CDC* dc);
    BOOL DeleteDC();
    // True when drawing reaches pixels (a window, or a bitmap selected into
    // a memory DC).
    bool IsDrawing() const;
    // The scale factor of the target: physical pixels per logical one.
    double GetScaleFactor() const;
    // The window a client or paint DC draws into; null for others.
    CWnd* GetWindow() const;

    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;

    // Returns the previous origin.
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(const POINT& p) { return SetWindowOrg(p.x, p.y); }
    CPoint GetWindowOrg() const;
    CPoint OffsetWindowOrg(int dx, int dy);

    // Selects a copy of the region (device coordinates) as the clipping
    // region; null removes clipping. Returns the kind of the new region.
    int SelectClipRgn(CRgn* rgn);
    // Combines the clipping region with `rgn` (RGN_AND, RGN_OR, RGN_DIFF,
    // RGN_XOR, RGN_COPY); without a clipping region RGN_AND selects `rgn`.
    int SelectClipRgn(CRgn* rgn, int mode);
    // Copies the clipping region into `out` and answers 1; answers 0 and
    // leaves `out` alone when there is none.
    int GetClipRgn(CRgn* out) const;
    int IntersectClipRect(int left, int top, int right, int bottom);
    int IntersectClipRect(const RECT& r) { return IntersectClipRect(r.left, r.top, r.right, r.bottom); }
    // The clipping region's bounding box in logical coordinates; without
    // clipping the target's extent (empty for a DC that draws nowhere).
    int GetClipBox(RECT* r) const;
    virtual BOOL PtVisible(int x, int y) const;
    virtual BOOL RectVisible(const RECT* r) const;

    COLORREF SetTextColor(COLORREF c);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF c);
    COLORREF GetBkColor() const;
    int SetBkMode(int mode);
    int GetBkMode() const;
    // R2_COPYPEN, or R2_XORPEN for lines that drawn twice leave the picture
    // as it was (see LineTo).
    int SetROP2(int mode);
    int GetROP2() const;
    int SetStretchBltMode(int mode);

    void FillSolidRect(const RECT& r, COLORREF c);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
    void FillRect(const RECT* r, CBrush* brush);
    void FrameRect(const RECT* r, CBrush* brush);
    // Left and top edges in `top_left`, right and bottom in `bottom_right`.
    void Draw3dRect(const RECT& r, COLORREF top_left, COLORREF bottom_right);
    BOOL Rectangle(int left, int top, int right, int bottom);
    BOOL Rectangle(const RECT* r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
    BOOL Ellipse(int left, int top, int right, int bottom);
    CPoint MoveTo(int x, int y);
    // A line from the current position to (x, y), the end pixel excluded,
    // with the current pen. Under R2_XORPEN each pixel is XORed with the
    // pen's colour (every other pixel for a PS_ALTERNATE pen): directly in
    // a memory DC; for a window outside its painting the line becomes part
    // of the window's XOR overlay (CWnd::DrawXorOverlay), since the window
    // system cannot read back the screen.
    BOOL LineTo(int x, int y);
    BOOL Polyline(const POINT* points, int count);
    COLORREF SetPixel(int x, int y, COLORREF c);
    // CLR_INVALID outside the target or for a DC that draws nowhere.
    COLORREF GetPixel(int x, int y) const;

    virtual BOOL TextOut(int x, int y, const std::string& text);
    // Draws text in the rectangle with the DT_ format; with DT_CALCRECT only
    // sets the rectangle's right and bottom to the text's extent. Returns the
    // height of the text.
    virtual int DrawText(const std::string& text, RECT* r, UINT format);
    CSize GetTextExtent(const std::string& text) const;
    BOOL GetTextMetrics(TEXTMETRIC* tm) const;

    // Copies a rectangle from a memory DC (SRCCOPY only).
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int src_x, int src_y, DWORD rop);
    // Blends a rectangle of a memory DC's bitmap over this target, with its
    // per-pixel alpha when AC_SRC_ALPHA is set.
    BOOL AlphaBlend(int x, int y, int width, int height, CDC* src, int src_x, int src_y, int src_width,
        int src_height, BLENDFUNCTION blend);
    // Draws a picture of width x height 32-bit pixels (blue, green, red,
    // alpha in the bytes of each DWORD from the lowest; rows top-down;
    // colours premultiplied by alpha) with its top-left at (x, y), blended
    // over the target by its alpha. At a scale factor above 1 every pixel
    // covers a block of physical pixels without smoothing, so the picture
    // stays crisp.
    BOOL DrawPixels(int x, int y, int width, int height, const DWORD* pixels);
    // Draws a rectangle of a device-independent bitmap (1, 24 or 32 bits per
    // pixel, uncompressed), stretched to the destination rectangle. The
    // source y is counted from the bitmap's bottom row for both row orders.
    // Returns the number of source rows drawn, 0 on failure (bad header,
    // empty rectangles, raster operation other than SRCCOPY).
    virtual int StretchDIBits(int x, int y, int width, int height, int src_x, int src_y, int src_width,
        int src_height, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);

    struct impl;
    impl& Impl() const { return *m_impl; }

protected:
    std::unique_ptr<impl> m_impl;
};

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// A DC for drawing into a window's client area outside its painting.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;

protected:
    CWnd* m_pWnd;
};

// The DC of a window being painted; valid only inside its WM_PAINT handling.
// Outside it (or for a window without backend) it draws nowhere.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

protected:
    CWnd* m_pWnd;
};

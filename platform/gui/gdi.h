#pragma once

// Drawing objects: pens, brushes, fonts, regions and bitmaps. Pens, brushes
// and fonts are plain descriptions that a device context turns into the
// backend's objects when they are selected; regions and bitmaps hold backend
// data behind a private pointer. None of them may be used off the UI thread
// once a window exists.

#include <memory>
#include <string>

#include "platform/gui/types.h"

class CDC;

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_DOT = 2;
inline constexpr int PS_NULL = 5;
// Every other pixel on, one-pixel wide (a cosmetic pen).
inline constexpr int PS_ALTERNATE = 8;

// Font weights.
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;

// Region kinds, combination modes and the failure value of region calls.
inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

// A font description: character height in pixels (0: the theme's default
// size; a negative value counts like its magnitude), weight, style and face
// name (empty: the theme's face).
struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWeight = FW_NORMAL;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    std::string lfFaceName;
};

class CPen {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }

    BOOL CreatePen(int style, int width, COLORREF color);
    bool IsCreated() const { return m_created; }
    int Style() const { return m_style; }
    int PenWidth() const { return m_width; }
    COLORREF Color() const { return m_color; }

private:
    bool m_created = false;
    int m_style = PS_SOLID;
    int m_width = 1;
    COLORREF m_color = 0;
};

class CBrush {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }

    BOOL CreateSolidBrush(COLORREF color);
    bool IsCreated() const { return m_created; }
    // A hollow brush fills nothing (the stock NULL_BRUSH).
    bool IsHollow() const { return m_hollow; }
    COLORREF Color() const { return m_color; }

    static CBrush* Hollow();

private:
    bool m_created = false;
    bool m_hollow = false;
    COLORREF m_color = 0;
};

class CFont {
public:
    CFont();
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    BOOL CreateFontIndirect(const LOGFONT* lf);
    // Size in tenths of a point at 96 pixels per inch.
    BOOL CreatePointFont(int point_size_tenths, const std::string& face);
    BOOL DeleteObject();
    bool IsCreated() const { return m_created; }
    int GetLogFont(LOGFONT* lf) const;

    // The font of the theme's dialogs and controls (DEFAULT_GUI_FONT).
    static CFont* DefaultGui();

    // The backend's object made from the description; kept for reuse.
    std::shared_ptr<void>& Native() const { return m_native; }

private:
    bool m_created = false;
    LOGFONT m_font;
    mutable std::shared_ptr<void> m_native;
};

class CRgn {
public:
    CRgn();
    ~CRgn();
    CRgn(const CRgn&) = delete;
    CRgn& operator=(const CRgn&) = delete;

    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    BOOL CreateRectRgnIndirect(const RECT* r);
    // This region := a (mode) b; for RGN_COPY only a is used. Returns the
    // kind of the result.
    int CombineRgn(const CRgn* a, const CRgn* b, int mode);
    int CopyRgn(const CRgn* src) { return CombineRgn(src, nullptr, RGN_COPY); }
    int OffsetRgn(int dx, int dy);
    BOOL PtInRegion(int x, int y) const;
    BOOL RectInRegion(const RECT* r) const;
    int GetRgnBox(RECT* r) const;
    BOOL DeleteObject();
    bool IsCreated() const { return m_impl != nullptr; }

    struct impl;
    impl* Impl() const { return m_impl.get(); }
    void SetImpl(std::unique_ptr<impl> i);

private:
    std::unique_ptr<impl> m_impl;
};

// What GetBitmap reports of a bitmap.
struct BITMAP {
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    WORD bmBitsPixel = 32;
};

class CBitmap {
public:
    CBitmap();
    ~CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // A bitmap of width x height logical pixels for drawing into `dc`'s
    // window; at a window scale factor above 1 it holds physical pixels.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    BOOL DeleteObject();
    bool IsCreated() const { return m_impl != nullptr; }
    int GetBitmap(BITMAP* bm) const;

    struct impl;
    impl* Impl() const { return m_impl.get(); }
    void SetImpl(std::unique_ptr<impl> i);

private:
    std::unique_ptr<impl> m_impl;
};

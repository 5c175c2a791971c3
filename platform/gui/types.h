#pragma once

// The window system's vocabulary of plain values: integer types, points,
// sizes, rectangles (right and bottom exclusive) and colours (COLORREF,
// 0x00BBGGRR). These are our own declarations of what our code uses; they sit
// in the global namespace so that window code reads in the terms it was
// designed in.

#include <algorithm>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned;
using LONG = std::int32_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = DWORD;

// The toolkit's headers may define these as macros of the same values.
#ifndef TRUE
inline constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
inline constexpr BOOL FALSE = 0;
#endif

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(BYTE(r)) | (COLORREF(BYTE(g)) << 8) | (COLORREF(BYTE(b)) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return BYTE(c >> 16);
}

constexpr WORD LOWORD(std::uintptr_t v)
{
    return WORD(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v)
{
    return WORD((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int low, int high)
{
    return LPARAM(DWORD(WORD(low)) | (DWORD(WORD(high)) << 16));
}
constexpr WPARAM MAKEWPARAM(int low, int high)
{
    return WPARAM(MAKELPARAM(low, high));
}
// Signed coordinates packed in a mouse message's LPARAM.
constexpr int GET_X_LPARAM(LPARAM l)
{
    return int(std::int16_t(LOWORD(std::uintptr_t(l))));
}
constexpr int GET_Y_LPARAM(LPARAM l)
{
    return int(std::int16_t(HIWORD(std::uintptr_t(l))));
}

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

class CPoint : public POINT {
public:
    constexpr CPoint() = default;
    constexpr CPoint(int x_, int y_)
        : POINT { x_, y_ }
    {
    }
    constexpr CPoint(const POINT& p)
        : POINT(p)
    {
    }

    constexpr void Offset(int dx, int dy)
    {
        x += dx;
        y += dy;
    }
    constexpr bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    constexpr CPoint operator+(const POINT& o) const { return { x + o.x, y + o.y }; }
    constexpr CPoint operator-(const POINT& o) const { return { x - o.x, y - o.y }; }
    constexpr CPoint operator-() const { return { -x, -y }; }
    constexpr CPoint& operator+=(const POINT& o)
    {
        x += o.x;
        y += o.y;
        return *this;
    }
    constexpr CPoint& operator-=(const POINT& o)
    {
        x -= o.x;
        y -= o.y;
        return *this;
    }
};

class CSize : public SIZE {
public:
    constexpr CSize() = default;
    constexpr CSize(int cx_, int cy_)
        : SIZE { cx_, cy_ }
    {
    }
    constexpr CSize(const SIZE& s)
        : SIZE(s)
    {
    }

    constexpr bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
};

class CRect : public RECT {
public:
    constexpr CRect() = default;
    constexpr CRect(int l, int t, int r, int b)
        : RECT { l, t, r, b }
    {
    }
    constexpr CRect(const RECT& r)
        : RECT(r)
    {
    }
    constexpr CRect(const POINT& p, const SIZE& s)
        : RECT { p.x, p.y, p.x + s.cx, p.y + s.cy }
    {
    }

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr CSize Size() const { return { Width(), Height() }; }
    constexpr CPoint TopLeft() const { return { left, top }; }
    constexpr CPoint BottomRight() const { return { right, bottom }; }
    constexpr CPoint CenterPoint() const { return { (left + right) / 2, (top + bottom) / 2 }; }
    // No area: right <= left or bottom <= top.
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // Left and top inclusive, right and bottom exclusive.
    constexpr bool PtInRect(const POINT& p) const
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr void SetRect(int l, int t, int r, int b) { *this = CRect(l, t, r, b); }
    constexpr void SetRectEmpty() { *this = CRect(); }
    constexpr void OffsetRect(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    constexpr void OffsetRect(const POINT& p) { OffsetRect(p.x, p.y); }
    constexpr void MoveToXY(int x, int y) { OffsetRect(x - left, y - top); }
    constexpr void InflateRect(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    constexpr void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    constexpr void NormalizeRect()
    {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    // The overlap of a and b; an empty rectangle (all 0) and FALSE when
    // they do not overlap.
    constexpr BOOL IntersectRect(const RECT& a, const RECT& b)
    {
        CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom));
        if (r.IsRectEmpty()) {
            SetRectEmpty();
            return FALSE;
        }
        *this = r;
        return TRUE;
    }
    // The smallest rectangle holding both; an empty one counts as nothing.
    constexpr BOOL UnionRect(const RECT& a, const RECT& b)
    {
        const CRect ca(a), cb(b);
        if (ca.IsRectEmpty()) {
            *this = cb;
        } else if (cb.IsRectEmpty()) {
            *this = ca;
        } else {
            *this = CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom));
        }
        return !IsRectEmpty();
    }
    constexpr bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr CRect operator+(const POINT& p) const
    {
        CRect r(*this);
        r.OffsetRect(p);
        return r;
    }
    constexpr CRect operator-(const POINT& p) const
    {
        CRect r(*this);
        r.OffsetRect(-p.x, -p.y);
        return r;
    }
    constexpr CRect operator&(const RECT& o) const
    {
        CRect r;
        r.IntersectRect(*this, o);
        return r;
    }
};

#pragma once

// Controls that log what reaches them, for routing tests.

#include <sstream>
#include <string>
#include <vector>

#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"

namespace test {

using Log = std::vector<std::string>;

inline std::string pt(const CPoint& p)
{
    std::ostringstream s;
    s << "(" << p.x << "," << p.y << ")";
    return s.str();
}

// A widget that logs its handlers as "<name>.<handler>[point]".
template <class Base> class Logging : public Base {
public:
    Logging(std::string name, Log& log)
        : m_name(std::move(name))
        , m_log(log)
    {
    }

    bool focusable = false;
    bool drags = false;
    bool sets_cursor = false;
    std::vector<CRect> painted;
    std::vector<CPoint> origins;

    bool AcceptsFocus() const override { return focusable; }
    void OnLeftDown(UINT f, const CPoint& p) override
    {
        add("down" + pt(p));
        Base::OnLeftDown(f, p);
    }
    void OnLeftUp(UINT f, const CPoint& p) override
    {
        add("up" + pt(p));
        Base::OnLeftUp(f, p);
    }
    void OnMouseMove(UINT f, const CPoint& p) override
    {
        add("move" + pt(p));
        Base::OnMouseMove(f, p);
    }
    void OnMouseEnter(UINT f, const CPoint& p) override
    {
        add("enter" + pt(p));
        Base::OnMouseEnter(f, p);
    }
    void OnMouseLeave() override
    {
        add("leave");
        Base::OnMouseLeave();
    }
    void OnKeyDown(UINT key, UINT, UINT) override { add("key" + std::to_string(key)); }
    bool OnCursor(UINT, const CPoint& p) override
    {
        add("cursor" + pt(p));
        return sets_cursor;
    }
    bool BeginDrag(UINT, const CPoint& press, const CPoint& now) override
    {
        add("begin" + pt(press) + pt(now));
        return drags;
    }
    void Drag(UINT, const CPoint& p) override { add("drag" + pt(p)); }
    void EndDrag(UINT, const CPoint& p) override { add("end" + pt(p)); }
    void OnFocus() override { add("focus"); }
    void OnUnfocus() override { add("unfocus"); }
    void OnFontChange() override { add("font"); }
    void OnUpdateUI() override { add("updateui"); }
    void OnSize(int w, int h) override { add("size" + pt(CPoint(w, h))); }
    void Draw(CDC& dc, const CRect& clip) override
    {
        painted.push_back(clip);
        origins.push_back(dc.GetWindowOrg());
    }

private:
    void add(const std::string& what) { m_log.push_back(m_name + "." + what); }

    std::string m_name;
    Log& m_log;
};

class LeafBase : public My::Widget { };
class PanelBase : public My::Container, public My::Widget { };

using Leaf = Logging<LeafBase>;
using Panel = Logging<PanelBase>;

} // namespace test

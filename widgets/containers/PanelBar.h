#pragma once

// Captioned panels docked in panel bars along the frame's edges. The frame
// (a PanelFrame) owns the bar sizes and visibility flags and lays everything
// out; the bars compute their rectangles from those values and place their
// panels by each panel's alignment code:
//
//   0  takes all the remaining space (nothing is left for later panels)
//   1  at the left of the remaining space, its width
//   2  at the right, its width
//   3  at the top, its height
//   4  at the bottom, its height
//
// Panels are not owned by their bar. UI thread only.

#include <string>
#include <vector>

#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"

namespace My {

class PanelBar;

// What the panel bars, splitters and grips read of the frame and ask of it.
class PanelFrame {
public:
    // The frame's client rectangle.
    virtual CRect GetBarArea() const = 0;
    virtual int GetRightBarSize() const = 0;
    virtual int GetBottomBarSize() const = 0;
    virtual bool IsRightBarVisible() const = 0;
    virtual bool IsBottomBarVisible() const = 0;
    // The status bar takes 16 pixels at the bottom while visible.
    virtual bool IsStatusBarVisible() const = 0;
    virtual void ArrangeBars(int right_size, int bottom_size, bool right_visible, bool bottom_visible) = 0;
    // The user resized or hid a bar: the frame no longer shows it again by
    // itself when the window grows.
    virtual void ClearHiddenBySize(bool right_side) = 0;
    // Recalculates the frame's layout (and tells its controls).
    virtual void RecalcLayout() = 0;

    static constexpr int status_bar_height = 16;
    static constexpr int splitter_size = 5;

protected:
    ~PanelFrame() = default;
};

// The frame's client area without the status bar.
CRect usable_bar_area(const PanelFrame& frame);

class Panel : public virtual Container, public virtual Widget {
public:
    explicit Panel(std::string title = {}, int alignment = 0);
    ~Panel() override;

    // The size the panel needs below its caption; nothing here.
    virtual CSize GetContentSize() const;

    // A new title lays the bar out again: the panel is at least as wide.
    void SetTitle(const std::string& title);
    const std::string& GetTitle() const { return m_title; }
    // 0 to 4 (see above); a change lays the bar out again.
    void SetAlignment(int code);
    int GetAlignment() const { return m_alignment; }
    PanelBar* GetBar() const { return m_bar; }
    int GetBarIndex() const { return m_barIndex; }
    // The height of "A" in the panel's font plus 2.
    int GetCaptionHeight() const;
    // The title's width in the panel's font with its inset on either side
    // (0 without a title).
    int GetTitleWidth() const;
    // The content size with the caption's height added, at least as wide
    // as the title.
    CSize GetNeededSize() const;

    // Between the caption's edges and the title.
    static constexpr int title_inset = 2;

    void Draw(CDC& dc, const CRect& clip) override;

private:
    friend class PanelBar;

    PanelBar* m_bar = nullptr;
    int m_barIndex = -1;
    std::string m_title;
    int m_alignment;
};

// A panel hosting one widget inside a border.
class WidgetPanel : public Panel {
public:
    explicit WidgetPanel(Widget* widget = nullptr, int border = 0, std::string title = {});
    ~WidgetPanel() override;

    void SetWidget(Widget* widget);
    Widget* GetWidget() const { return m_widget; }
    // The widget's preferred size plus twice the border.
    CSize GetContentSize() const override;
    void Layout() override;

private:
    Widget* m_widget;
    int m_border;
};

class PanelBar : public virtual Container, public virtual Widget {
public:
    explicit PanelBar(PanelFrame& frame);
    // Detaches the panels (they are not deleted).
    ~PanelBar() override;

    // Asks the frame to recalculate its layout.
    virtual void RequestLayout();
    // The needed size of the visible panels (algorithm in the .cpp).
    virtual CSize GetRequiredSize() const;
    // The bar's rectangle in the frame's client area.
    virtual CRect ComputeRect() const = 0;

    // Nothing when the panel is already in this bar; else adopts it,
    // appends it and lays out.
    void AddPanel(Panel* panel);
    const std::vector<Panel*>& GetPanels() const { return m_panels; }
    CSize GetNeededSize() const;
    // Takes its rectangle from the frame, then places the panels.
    void Place();

    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;

protected:
    PanelFrame& m_frame;

private:
    friend class Panel;

    std::vector<Panel*> m_panels;
};

class ToolPanelBar : public PanelBar {
public:
    using PanelBar::PanelBar;
    // The bounds' size, one pixel narrower (the last column is its edge).
    CSize GetSize() const override;
    // The needed size, one pixel wider.
    CSize GetRequiredSize() const override;
    CRect ComputeRect() const override;
    void Draw(CDC& dc, const CRect& clip) override;
};

class RightPanelBar : public PanelBar {
public:
    using PanelBar::PanelBar;
    bool IsVisible() const override;
    CRect ComputeRect() const override;
};

class BottomPanelBar : public PanelBar {
public:
    using PanelBar::PanelBar;
    bool IsVisible() const override;
    CRect ComputeRect() const override;
};

} // namespace My

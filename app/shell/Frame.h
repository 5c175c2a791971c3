#pragma once

// The application-independent main frame window: a central view with a tool
// strip at the left, panel bars at the right and the bottom, a display strip
// below the view, a status strip, and the menu bar. It keeps that
// arrangement in the profile (section "Layout"), keeps the title in step
// with the document, routes menu commands (to its event operation, the view,
// its own map, then the application's), closes the project before the window
// closes, opens dropped files, and runs the My::Message objects posted to it
// as WM_APP. UI thread only.

#include <memory>
#include <string>
#include <vector>

#include "app/shell/FrameLayout.h"
#include "app/view/DisplayBar.h"
#include "platform/gui/gdi.h"
#include "platform/gui/shell.h"
#include "widgets/containers/PanelBar.h"
#include "widgets/containers/Splitters.h"
#include "widgets/core/CommandMap.h"
#include "widgets/core/Window.h"

namespace My {

class Doc;

// A titled, filled child window: the status strip, and the view's stand-in
// until the view exists.
class PanelPlaceholder : public CWnd {
public:
    PanelPlaceholder(std::string title, COLORREF color);
    void SetTitleFont(CFont* font) { m_font = font; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::string m_title;
    COLORREF m_color;
    CFont* m_font = nullptr;
};

class Frame : public CustomWindow<CFrameWnd>, public PanelFrame, public CommandTarget {
public:
    // Registers with the document, reads the "Layout" values.
    explicit Frame(Doc* doc);
    // Saves the four bar values.
    ~Frame() override;

    // The font of the frame's panels (the property editor, the status
    // strip): Tahoma, at least 11 pixels high and as high as the interface
    // font of the window system.
    static LOGFONT FrameFontDescription();

    // Creates the window (style WS_OVERLAPPEDWINDOW | WS_MAXIMIZE |
    // WS_CLIPCHILDREN), maximised when shown; false when creation fails.
    virtual bool LoadFrame();
    virtual CWnd* GetView() { return nullptr; }
    // Offers a command (or its update query) to the view; true when handled.
    virtual bool RouteViewCommand(CommandEventBase&) { return false; }
    // Whether a window is the frame's window or one inside it (the view,
    // the bars' and panels' windows, the status strip).
    bool ContainsWindow(const CWnd* w) const;
    bool IsEnabled() const override { return m_enabled; }
    void SetEnabled(bool enabled);

    // The routing of a command (code 0) or an update query (code -1, with
    // ui): the event operation, the view, the frame's own map, then the
    // application's. True when handled.
    virtual bool OnCmdMsg(std::uint32_t id, int code, CommandUI* ui);
    // The update handlers' verdict on a command (for accelerators).
    bool IsCommandEnabled(std::uint32_t id);
    // The menu bar's item states now; (re)builds the menu bar.
    void RebuildMenu();
    virtual std::vector<platform::gui::menu_entry> BuildMenu();

    void UpdateTitle();
    // The title UpdateTitle shows for the document.
    static std::string ComposeTitle(const Doc* doc);
    // PanelFrame.
    CRect GetBarArea() const override;
    int GetRightBarSize() const override { return m_layout.GetRightSize(); }
    int GetBottomBarSize() const override { return m_layout.GetBottomSize(); }
    bool IsRightBarVisible() const override { return m_layout.IsRightVisible(); }
    bool IsBottomBarVisible() const override { return m_layout.IsBottomVisible(); }
    bool IsStatusBarVisible() const override { return m_layout.IsStatusVisible(); }
    void ArrangeBars(int right_size, int bottom_size, bool right_visible, bool bottom_visible) override;
    void ClearHiddenBySize(bool right_side) override { m_layout.ClearHiddenBySize(right_side); }
    void RecalcLayout() override;

    // CommandTarget: the frame's routing, for its tool-bar buttons.
    bool RouteCommand(CommandEventBase& event) override;
    void OnAsyncMessage(WPARAM message);

    const FrameLayout& GetLayout() const { return m_layout; }
    // The panels of the tool strip, the right bar and the bottom bar, in
    // that order.
    std::vector<Panel*> GetPanels() const;
    // The zoom and background strip below the view; it shows while the
    // frame has a view.
    DisplayPanel& GetDisplayStrip() { return m_displayStrip; }
    Doc* GetDocument() const { return m_doc; }

    // Document and control events.
    void OnEvent(Event& event) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual int OnCreate();
    void OnSize();

    // The bars' smallest sizes and the tool strip's width from their panels.
    void UpdateBarSizes();

    CommandMap m_frameCommands;
    CFont m_font;
    ToolPanelBar m_toolBarHost;
    RightPanelBar m_rightBar;
    BottomPanelBar m_bottomBar;
    RightSplitter m_rightSplitter;
    BottomSplitter m_bottomSplitter;
    RightGrip m_rightGrip;
    BottomGrip m_bottomGrip;
    CornerGrip m_cornerGrip;
    DisplayPanel m_displayStrip;
    PanelPlaceholder m_status;

private:
    Doc* m_doc;
    FrameLayout m_layout;
    bool m_enabled = true;
};

} // namespace My

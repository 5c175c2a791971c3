#include "app/shell/Frame.h"

#include <algorithm>
#include <memory>

#include "app/resources/Resources.h"
#include "app/shell/AppBase.h"
#include "app/shell/Profile.h"
#include "document/Doc.h"
#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "platform/gui/dc.h"
#include "widgets/core/Event.h"
#include "widgets/core/Message.h"
#include "widgets/core/Strings.h"

namespace My {

namespace {

const char* const g_layout = "Layout";

// A command's state as the update handlers set it, for accelerators and the
// menu bar.
class StateUI : public CommandUI {
public:
    explicit StateUI(bool menu_item, platform::gui::menu_item_state* state = nullptr)
        : m_menuItem(menu_item)
        , m_state(state)
    {
    }
    void Enable(bool enabled) override
    {
        m_enabled = enabled;
        if (m_state)
            m_state->enabled = enabled;
    }
    void SetCheck(int check) override
    {
        if (m_state) {
            m_state->marked = true;
            m_state->check = check;
        }
    }
    void SetRadio(bool on) override
    {
        if (m_state) {
            m_state->marked = true;
            m_state->radio = on;
        }
    }
    void SetText(const std::string& text) override
    {
        if (m_state) {
            m_state->text = text;
            m_state->text_set = true;
        }
    }
    bool IsMenuItem() const override { return m_menuItem; }
    bool IsEnabled() const { return m_enabled; }

private:
    bool m_menuItem;
    platform::gui::menu_item_state* m_state;
    bool m_enabled = true;
};

} // namespace

PanelPlaceholder::PanelPlaceholder(std::string title, COLORREF color)
    : m_title(std::move(title))
    , m_color(color)
{
}

LRESULT PanelPlaceholder::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintDC dc(this);
        CRect r;
        GetClientRect(&r);
        dc.FillSolidRect(r, m_color);
        if (!m_title.empty()) {
            CFont* old = m_font ? dc.SelectObject(m_font) : nullptr;
            dc.SetBkMode(TRANSPARENT);
            dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
            dc.TextOut(4, 2, m_title);
            if (old)
                dc.SelectObject(old);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

LOGFONT Frame::FrameFontDescription()
{
    // Tahoma at 11 pixels was the size of the interface font where the
    // panels were designed; here the interface font may be larger, and the
    // panels' texts keep its size, so that they read as the rest of the
    // window does.
    LOGFONT gui;
    CFont::DefaultGui()->GetLogFont(&gui);
    const LONG gui_height = gui.lfHeight < 0 ? -gui.lfHeight : gui.lfHeight;
    LOGFONT lf;
    lf.lfHeight = -std::max<LONG>(11, gui_height);
    lf.lfWeight = FW_NORMAL;
    lf.lfFaceName = "Tahoma";
    return lf;
}

Frame::Frame(Doc* doc)
    : m_toolBarHost(*this)
    , m_rightBar(*this)
    , m_bottomBar(*this)
    , m_rightSplitter(*this)
    , m_bottomSplitter(*this)
    , m_rightGrip(*this)
    , m_bottomGrip(*this)
    , m_cornerGrip(*this)
    , m_status("", GetSysColor(COLOR_BTNFACE))
    , m_doc(doc)
{
    for (Control* c :
        std::initializer_list<Control*> { &m_toolBarHost, &m_rightBar, &m_bottomBar, &m_rightSplitter,
            &m_bottomSplitter, &m_rightGrip, &m_bottomGrip, &m_cornerGrip, &m_displayStrip })
        AddChild(c);
    if (m_doc)
        m_doc->AddListener(this);
    const LOGFONT lf = FrameFontDescription();
    m_font.CreateFontIndirect(&lf);
    m_status.SetTitleFont(&m_font);
    m_layout.SetToolStrip(0, true);
    m_layout.ArrangeBars(GetProfileInt(g_layout, "RightBarSize", 200),
        GetProfileInt(g_layout, "BottomBarSize", 200), GetProfileInt(g_layout, "RightBarVisible", 1) != 0,
        GetProfileInt(g_layout, "BottomBarVisible", 1) != 0);

    m_frameCommands.Add(
        resources::ID_VIEW_RIGHT_PANELS,
        [this] {
            ArrangeBars(m_layout.GetRightSize(), m_layout.GetBottomSize(), !m_layout.IsRightVisible(),
                m_layout.IsBottomVisible());
        },
        [this](CommandUI& ui) { ui.SetCheck(m_layout.IsRightVisible() ? 1 : 0); });
    m_frameCommands.Add(
        resources::ID_VIEW_BOTTOM_PANELS,
        [this] {
            ArrangeBars(m_layout.GetRightSize(), m_layout.GetBottomSize(), m_layout.IsRightVisible(),
                !m_layout.IsBottomVisible());
        },
        [this](CommandUI& ui) { ui.SetCheck(m_layout.IsBottomVisible() ? 1 : 0); });
    m_frameCommands.Add(
        resources::ID_VIEW_STATUS_BAR,
        [this] {
            m_layout.SetStatusVisible(!m_layout.IsStatusVisible());
            RecalcLayout();
        },
        [this](CommandUI& ui) { ui.SetCheck(m_layout.IsStatusVisible() ? 1 : 0); });
    m_frameCommands.Add(
        resources::ID_APP_EXIT, [this] { SendMessage(WM_CLOSE); }, [](CommandUI& ui) { ui.Enable(true); });
}

Frame::~Frame()
{
    WriteProfileInt(g_layout, "RightBarVisible", m_layout.IsRightVisible() ? 1 : 0);
    WriteProfileInt(g_layout, "BottomBarVisible", m_layout.IsBottomVisible() ? 1 : 0);
    WriteProfileInt(g_layout, "RightBarSize", m_layout.GetRightSize());
    WriteProfileInt(g_layout, "BottomBarSize", m_layout.GetBottomSize());
    if (m_doc)
        m_doc->RemoveListener(this);
    if (GetSafeHwnd())
        DestroyWindow();
}

bool Frame::LoadFrame()
{
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | WS_CLIPCHILDREN;
    if (!Create("", LoadString(resources::IDS_PRODUCT_NAME), style, CRect(0, 0, 1024, 720), nullptr, 0))
        return false;
    RebuildMenu();
    return true;
}

bool Frame::ContainsWindow(const CWnd* w) const
{
    for (const CWnd* p = w; p; p = p->GetParent())
        if (p == this)
            return GetSafeHwnd() != nullptr;
    return false;
}

CRect Frame::GetBarArea() const
{
    CRect client;
    if (GetSafeHwnd())
        GetClientRect(&client);
    return client;
}

bool Frame::RouteCommand(CommandEventBase& event)
{
    if (auto* update = dynamic_cast<UpdateCommandUIEvent*>(&event))
        event.handled = OnCmdMsg(event.id, -1, update->cmdui) || event.handled;
    else
        event.handled = OnCmdMsg(event.id, 0, nullptr) || event.handled;
    return event.handled;
}

std::vector<Panel*> Frame::GetPanels() const
{
    std::vector<Panel*> panels;
    for (const PanelBar* bar : { static_cast<const PanelBar*>(&m_toolBarHost),
             static_cast<const PanelBar*>(&m_rightBar), static_cast<const PanelBar*>(&m_bottomBar) })
        panels.insert(panels.end(), bar->GetPanels().begin(), bar->GetPanels().end());
    return panels;
}

void Frame::UpdateBarSizes()
{
    const bool tools = !m_toolBarHost.GetPanels().empty();
    m_layout.SetToolStrip(tools ? m_toolBarHost.GetRequiredSize().cx : 0, tools);
    m_layout.SetMinimums(m_rightBar.GetRequiredSize().cx, m_bottomBar.GetRequiredSize().cy);
}

void Frame::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    EnableWindow(enabled);
}

bool Frame::OnCmdMsg(std::uint32_t id, int code, CommandUI* ui)
{
    if (code == 0) {
        CommandEvent event(id);
        OnEvent(event);
        if (event.handled)
            return true;
    } else if (code == -1 && ui) {
        UpdateCommandUIEvent event(id, ui);
        OnEvent(event);
        if (event.handled)
            return true;
    }
    // The view comes next, then the frame's own commands and the application.
    if (code == 0) {
        CommandEvent event(id);
        if (RouteViewCommand(event))
            return true;
        if (m_frameCommands.Dispatch(event))
            return true;
        AppBase* app = GetApp();
        return app && app->RouteCommand(event);
    }
    if (code == -1 && ui) {
        UpdateCommandUIEvent event(id, ui);
        if (RouteViewCommand(event))
            return true;
        if (m_frameCommands.Dispatch(event))
            return true;
        AppBase* app = GetApp();
        return app && app->RouteCommand(event);
    }
    return false;
}

bool Frame::IsCommandEnabled(std::uint32_t id)
{
    StateUI ui(false);
    OnCmdMsg(id, -1, &ui);
    return ui.IsEnabled();
}

std::vector<platform::gui::menu_entry> Frame::BuildMenu()
{
    return resources::MainMenu();
}

void Frame::RebuildMenu()
{
    if (!GetSafeHwnd())
        return;
    platform::gui::set_menu_bar(this, BuildMenu(), [this](UINT id, platform::gui::menu_item_state& state) {
        StateUI ui(true, &state);
        // A command nobody handles is disabled, as the framework does.
        if (!OnCmdMsg(id, -1, &ui))
            state.enabled = false;
    });
}

std::string Frame::ComposeTitle(const Doc* doc)
{
    std::string title;
    if (doc && !doc->IsEmpty()) {
        const std::string path = doc->GetFileName();
        if (path.empty()) {
            title = "(Untitled)";
        } else {
            const auto slash = path.find_last_of("/\\");
            std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
            const auto dot = name.rfind('.');
            if (dot != std::string::npos && dot > 0)
                name.erase(dot);
            title = name;
        }
        if (doc->IsModified())
            title += " *";
        title += " - ";
    }
    return title + LoadString(resources::IDS_PRODUCT_NAME);
}

void Frame::UpdateTitle()
{
    if (GetSafeHwnd())
        SetWindowText(ComposeTitle(m_doc));
}

void Frame::ArrangeBars(int right_size, int bottom_size, bool right_visible, bool bottom_visible)
{
    UpdateBarSizes();
    if (GetSafeHwnd()) {
        CRect client;
        GetClientRect(&client);
        m_layout.SetClientSize(client.Width(), client.Height());
    }
    if (m_layout.ArrangeBars(right_size, bottom_size, right_visible, bottom_visible))
        RecalcLayout();
}

void Frame::RecalcLayout()
{
    if (!GetSafeHwnd())
        return;
    UpdateBarSizes();
    CWnd* const view = GetView();
    const bool has_view = view && view->GetSafeHwnd();
    m_layout.SetDisplayStrip(m_displayStrip.GetPreferredSize().cy, has_view);
    const FrameLayout::Rects rects = m_layout.Compute();
    if (has_view) {
        view->MoveWindow(rects.view);
        view->ShowWindow(SW_SHOW);
    }
    if (m_status.GetSafeHwnd()) {
        if (m_layout.IsStatusVisible()) {
            m_status.MoveWindow(rects.status);
            m_status.ShowWindow(SW_SHOW);
        } else {
            m_status.ShowWindow(SW_HIDE);
        }
    }
    m_toolBarHost.Place();
    m_rightBar.Place();
    m_rightSplitter.Place();
    m_bottomBar.Place();
    m_displayStrip.SetBounds(rects.display);
    m_displayStrip.SetVisible(has_view);
    m_displayStrip.Layout();
    m_bottomSplitter.Place();
    m_rightGrip.Place();
    m_bottomGrip.Place();
    m_cornerGrip.Place();
    CustomWindow<CFrameWnd>::Invalidate(FALSE);
    UpdateWindow();
}

void Frame::OnAsyncMessage(WPARAM message)
{
    // Held from the start, so the message goes even when it throws.
    std::unique_ptr<Message> m(reinterpret_cast<Message*>(message));
    if (m)
        m->Execute();
}

void Frame::OnEvent(Event& event)
{
    if (dynamic_cast<CommandEventBase*>(&event)) {
        if (m_doc)
            m_doc->OnEvent(event);
        return;
    }
    if (dynamic_cast<Doc::ActionsChange*>(&event) || dynamic_cast<Doc::FileNameChange*>(&event)) {
        UpdateTitle();
        return;
    }
    if (dynamic_cast<Doc::Event*>(&event))
        return;
    CustomWindow<CFrameWnd>::OnEvent(event);
}

int Frame::OnCreate()
{
    // The status strip is decoration: a frame without it (a window of a test
    // host that makes no children) still works.
    m_status.Create("", "", WS_CHILD, CRect(0, 0, 0, 0), this, resources::ID_VIEW_STATUS_BAR);
    if (GetProfileInt(g_layout, "StatusBar", 1) == 0)
        m_layout.SetStatusVisible(false);
    m_layout.SetHasWindow(true);
    CRect client;
    GetClientRect(&client);
    m_layout.SetClientSize(client.Width(), client.Height());
    UpdateTitle();
    return 0;
}

void Frame::OnSize()
{
    CRect client;
    GetClientRect(&client);
    m_layout.SetClientSize(client.Width(), client.Height());
    m_layout.AutoHide();
    RecalcLayout();
}

LRESULT Frame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        if (CustomWindow<CFrameWnd>::WindowProc(message, wParam, lParam) == -1)
            return -1;
        return OnCreate();
    }
    case WM_DESTROY: {
        // Worker messages still queued are deleted unexecuted: their targets
        // go with the frame.
        GetMessageQueue().Clear();
        WriteProfileInt(g_layout, "StatusBar", m_layout.IsStatusVisible() ? 1 : 0);
        const LRESULT r = CustomWindow<CFrameWnd>::WindowProc(message, wParam, lParam);
        if (AppBase* app = GetApp(); app && app->GetMainFrame() == this)
            platform::gui::quit(0);
        return r;
    }
    case WM_CLOSE: {
        AppBase* app = GetApp();
        if (m_doc && !m_doc->IsEmpty() && app) {
            app->RunCommand(resources::ID_FILE_CLOSE);
            if (!m_doc->IsEmpty())
                return 0;
        }
        return CustomWindow<CFrameWnd>::WindowProc(message, wParam, lParam);
    }
    case WM_SIZE: {
        const LRESULT r = CustomWindow<CFrameWnd>::WindowProc(message, wParam, lParam);
        OnSize();
        return r;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_APP:
        OnAsyncMessage(wParam);
        return 1;
    case WM_COMMAND:
        OnCmdMsg(std::uint32_t(wParam & 0xFFFF), 0, nullptr);
        return 0;
    case WM_DROPFILES: {
        const auto* paths = reinterpret_cast<const std::vector<std::string>*>(wParam);
        if (AppBase* app = GetApp(); app && paths) {
            for (const std::string& path : *paths)
                app->OpenDocumentFile(path);
        }
        return 0;
    }
    default:
        return CustomWindow<CFrameWnd>::WindowProc(message, wParam, lParam);
    }
}

} // namespace My

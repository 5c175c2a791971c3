#include "app/shell/MainFrame.h"

#include "app/resources/Resources.h"

#include "app/shell/AppBase.h"
#include "app/shell/Profile.h"
#include "document/composition/Sequence.h"
#include "document/composition/TLComp.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "lumvex/dll.h"
#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "platform/gui/dialog.h"
#include "platform/gui/messages.h"
#include "platform/gui/shell.h"
#include "platform/kernel/wait.h"
#include "widgets/core/Event.h"
#include <iterator>

namespace {

// The settings store the view keeps its "Display" values in (none without
// the program's profile).
platform::registry_profile* ProfileStore()
{
    auto* profile = dynamic_cast<RegistryProfile*>(GetProfile());
    return profile ? profile->GetStore() : nullptr;
}

// The open (save false) or save dialog of a key mask file; empty when
// cancelled.
std::string ChooseMaskFile(CWnd* parent, bool save, const std::string& title)
{
    platform::gui::file_dialog_request request;
    request.parent = parent;
    request.save = save;
    request.title = title;
    request.filter = "Bitmap Files (*.bmp)|*.bmp||";
    request.default_extension = "bmp";
    request.flags = save ? platform::gui::OFN_HIDEREADONLY | platform::gui::OFN_OVERWRITEPROMPT
            | platform::gui::OFN_PATHMUSTEXIST
                         : platform::gui::OFN_HIDEREADONLY | platform::gui::OFN_FILEMUSTEXIST;
    std::string path;
    int filter_index = 0;
    if (!platform::gui::file_dialog(request, path, filter_index))
        return {};
    return path;
}

// Dialog 137: the notice shown while a segment's processing is being
// stopped.
dialog_template CancellingLayout()
{
    return { "Tavelo", 150, 34,
        { { dialog_control::static_text, -1, "Cancelling segment processing...", 10, 12, 130, 10 } } };
}

// While a stop is awaited the window messages are handled in slices of this
// many milliseconds, so the windows keep painting.
constexpr unsigned kWaitSlice = 20;

const My::ToolBar::Entry g_tools[] = {
    { 60001, "TOOL_HAND" },
    { 60002, "TOOL_ZOOM" },
    { 0, nullptr },
    { 60101, "TOOL_BRUSH" },
    { 60102, "TOOL_FILL" },
    { 0, nullptr },
    { 57643, "TOOL_UNDO" },
    { 57644, "TOOL_REDO" },
};

} // namespace

MainFrame::MainFrame(TLComp* composition)
    : My::Frame(composition)
    , m_composition(composition)
    , m_view(*composition, composition->GetFootageLibrary()->coordinator(), ProfileStore())
    , m_timeline(composition)
    , m_timelinePanel(&m_timeline, 0, "Timeline")
    , m_toolBar(My::ToolBar::Vertical)
    , m_toolsPanel(&m_toolBar, 4, "Tools")
    , m_propertyEditor("Property Editor")
    , m_propertiesPanel(&m_propertyEditor, 0, "Properties")
    , m_timeControls(true)
    , m_timeControlsPanel(&m_timeControls, 0, "Time Controls")
{
    m_timeControls.SetSequence(composition);
    m_timeControls.SetPlayer(&m_view.GetPlayer());
    m_toolBar.SetButtonSize(21, 21);
    m_toolBar.SetButtons(g_tools, int(std::size(g_tools)));
    m_propertyEditor.SetFont(&m_font);
    m_bottomBar.AddPanel(&m_timelinePanel);
    m_toolBarHost.AddPanel(&m_toolsPanel);
    m_rightBar.AddPanel(&m_displayPanel);
    m_rightBar.AddPanel(&m_timeControlsPanel);
    m_rightBar.AddPanel(&m_propertiesPanel);
    // Display and time controls at their heights from the top; the
    // properties take the rest of the bar.
    m_timeControlsPanel.SetAlignment(3);
    m_propertiesPanel.SetAlignment(0);
    composition->GetSegmentSet().SetHost(this);
    m_view.GetMaskEditor().SetFileChooser(
        [this](bool save) { return ChooseMaskFile(this, save, save ? "Export Mask" : "Import Mask"); });
    m_view.SetFrameRateLabel([this](const std::string& suffix) { m_timeControls.SetRateSuffix(suffix); });
    // A new play rate is a new text in the rate field, which is sized to it.
    m_view.SetRateChanged([this] { m_timeControls.RefreshRate(); });
    // The zoom field and slider read the view's zoom when they redraw.
    m_view.SetZoomChanged([this] {
        if (!m_displayAttached)
            return;
        m_displayPanel.GetZoomEdit().SetView(&m_view);
        m_displayPanel.GetZoomSlider().SetView(&m_view);
    });
}

MainFrame::~MainFrame()
{
    AttachDisplay(false);
    m_view.GetMaskEditor().SetFileChooser({});
    m_view.SetFrameRateLabel({});
    m_view.SetRateChanged({});
    m_view.SetZoomChanged({});
    m_displayPanel.SetView(nullptr);
    m_timeControls.SetPlayer(nullptr);
    if (m_composition && m_composition->GetSegmentSet().GetHost() == this)
        m_composition->GetSegmentSet().SetHost(nullptr);
}

int MainFrame::OnCreate()
{
    if (My::Frame::OnCreate() != 0)
        return -1;
    if (!m_view.CreateView(this, CRect(0, 0, 0, 0), resources::AFX_IDW_PANE_FIRST))
        return -1;
    RecalcLayout();
    return 0;
}

std::vector<platform::gui::menu_entry> MainFrame::BuildMenu()
{
    std::vector<platform::gui::menu_entry> menu = My::Frame::BuildMenu();
    My::AppBase* app = My::GetApp();
    if (!app)
        return menu;
    // The "Language" popup: third item of "&Preferences", item 13 of "&File".
    auto& file = menu.at(0).entries;
    if (file.size() > 13 && file[13].popup && file[13].entries.size() > 2)
        file[13].entries[2].entries = app->GetLanguageMenu();
    // The recent-file list in place of its placeholder.
    const auto& paths = app->GetRecentFiles().GetPaths();
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i].popup || file[i].separator || file[i].id != resources::ID_FILE_MRU_FIRST)
            continue;
        if (paths.empty())
            break;
        std::vector<platform::gui::menu_entry> items;
        for (std::size_t k = 0; k < paths.size(); ++k) {
            platform::gui::menu_entry e;
            e.id = resources::ID_FILE_MRU_FIRST + std::uint32_t(k);
            e.text = app->GetRecentFiles().GetMenuText(k);
            items.push_back(e);
        }
        file.erase(file.begin() + std::ptrdiff_t(i));
        file.insert(file.begin() + std::ptrdiff_t(i), items.begin(), items.end());
        break;
    }
    return menu;
}

bool MainFrame::OnCmdMsg(std::uint32_t id, int code, My::CommandUI* ui)
{
    if (m_composition) {
        if (code == 0) {
            My::CommandEvent event(id);
            if (m_composition->RouteCommand(event))
                return true;
        } else if (code == -1 && ui) {
            My::UpdateCommandUIEvent event(id, ui);
            if (m_composition->RouteCommand(event))
                return true;
        }
    }
    // The timeline's zoom commands, before the document's selection.
    if (code == 0) {
        My::CommandEvent event(id);
        m_timeline.OnEvent(event);
        if (event.handled)
            return true;
    } else if (code == -1 && ui) {
        My::UpdateCommandUIEvent event(id, ui);
        m_timeline.OnEvent(event);
        if (event.handled)
            return true;
    }
    return My::Frame::OnCmdMsg(id, code, ui);
}

void MainFrame::OnEvent(My::Event& event)
{
    if (dynamic_cast<My::Doc::SelectionChange*>(&event)) {
        RefreshPropertyObject();
    } else if (dynamic_cast<My::Sequence::OpenEvent*>(&event)) {
        RefreshPropertyObject();
        AttachDisplay(true);
        return;
    } else if (dynamic_cast<My::Sequence::CloseEvent*>(&event)) {
        m_propertyObject = nullptr;
        m_propertyEditor.SetObject(nullptr);
        AttachDisplay(false);
        return;
    } else if (dynamic_cast<My::Sequence::Event*>(&event)) {
        return;
    }
    My::Frame::OnEvent(event);
}

void MainFrame::AttachDisplay(bool attach)
{
    TLView* view = attach ? &m_view : nullptr;
    m_displayPanel.SetView(view);
    GetDisplayStrip().SetView(view);
    m_displayAttached = attach;
}

void MainFrame::RefreshPropertyObject()
{
    m_propertyObject = nullptr;
    if (!m_composition || m_composition->IsEmpty()) {
        m_propertyEditor.SetObject(nullptr);
        return;
    }
    if (TLSegment* selected = m_composition->GetSegmentSet().GetSelected())
        m_propertyObject = selected;
    else
        m_propertyObject = m_composition;
    m_propertyEditor.SetObject(m_propertyObject);
}

bool MainFrame::RouteViewCommand(My::CommandEventBase& event)
{
    return m_view.GetSafeHwnd() && m_view.RouteCommand(event);
}

void MainFrame::OnEditTargetChange(TLSegment* segment)
{
    if (segment)
        m_view.GetMaskEditor().BeginEdit(segment);
    else
        m_view.GetMaskEditor().EndEdit();
}

void MainFrame::ReloadMask(TLSegment&)
{
    m_view.GetMaskEditor().ReloadMask();
}

void MainFrame::RefreshSegment(TLSegment&)
{
    m_view.RequestPaint();
}

void MainFrame::OnSegmentProgress(TLSegment& segment, int frame)
{
    m_view.OnSegmentProgress(segment, frame);
}

void MainFrame::OnSegmentProcessed(TLSegment& segment)
{
    m_view.OnSegmentProcessed(segment);
}

void MainFrame::OnProcessingRequested(TLSegment&)
{
    // With auto-follow on, the view follows the processing from the start.
    if (m_view.GetPlayer().GetAutoFollow())
        m_view.SetPlayerMode(My::Player::Following);
}

std::string MainFrame::ChooseKeyMaskFile(bool save)
{
    return ChooseMaskFile(this, save, save ? "Export Mask" : "Import Key Mask for the Segment");
}

void MainFrame::ShowCancelling(bool show)
{
    if (show) {
        if (!m_cancelling) {
            m_cancelling = std::make_unique<CDialog>(CancellingLayout(), this);
            m_cancelling->Create(this);
        }
        m_cancelling->ShowWindow(SW_SHOW);
        SetEnabled(false);
        return;
    }
    SetEnabled(true);
    m_cancelling.reset();
}

void MainFrame::WaitDispatching(platform::waitable& posted)
{
    platform::gui::pump();
    posted.wait(kWaitSlice);
}

bool MainFrame::IsCancellingShown() const
{
    return m_cancelling && m_cancelling->IsWindowVisible();
}

#include "app/shell/Tavelo.h"

#include <cstdio>

#include "app/commands/CompositionCommands.h"
#include "app/commands/ContourFileHost.h"
#include "app/display/DisplayStyleProfile.h"
#include "app/jobs/ImageRenderer.h"
#include "app/jobs/MaskExporter.h"
#include "app/resources/Icons.h"
#include "app/resources/Resources.h"
#include "app/shell/AboutDialog.h"
#include "app/shell/Profile.h"
#include "app/view/TLView.h"
#include "platform/gui/shell.h"
#include "platform/kernel/module.h"
#include "platform/registry/profile.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Strings.h"

namespace {

// The build date of the running program: its file's last-write date as
// year.month.day.
std::string ModuleFileDate()
{
    std::string path;
    platform::attribute_file file;
    platform::file_time time;
    platform::system_time date;
    if (!platform::module_file_name(path) || !file.open(path) || !file.last_write_time(time)
        || !platform::file_time_to_system_time(time, date))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d", date.year, date.month, date.day);
    return text;
}

} // namespace

Tavelo::Tavelo()
    : m_renderSettings(true)
{
    using namespace resources;
    m_commands.Add(
        ID_APP_ABOUT, [this] { OnAbout(); }, [](My::CommandUI& ui) { ui.Enable(true); });
    m_commands.Add(
        ID_CACHE_SETTINGS, [this] { m_footage.modaless_configure_show(GetFrame()); },
        [](My::CommandUI& ui) { ui.Enable(true); });
    m_commands.Add(
        ID_RENDER_SETTINGS, [this] { m_renderSettings.configure(true, GetFrame()); },
        [](My::CommandUI& ui) { ui.Enable(true); });
}

Tavelo::~Tavelo()
{
    // The frame and the document go before the worker and the libraries
    // they use.
    ExitInstance();
    SetProfile(nullptr);
}

bool Tavelo::InitInstance(const std::string& executable)
{
    m_executable = executable;
    return InitInstance();
}

bool Tavelo::InitInstance()
{
    resources::AddIcons();
    m_profile = std::make_unique<RegistryProfile>("Norvane", "Tavelo");
    SetProfile(m_profile.get());
    m_languages = { 1, 2 };
    m_defaultLanguage = 1;
    m_language.Init("Preferences", "Language", m_executable);
    return My::App<TLComp, MainFrame>::InitInstance();
}

bool Tavelo::PreTranslateMessage(CWnd* target, UINT key, UINT modifiers)
{
    // A key typed into a text field edits the field: it never reaches the
    // accelerator table.
    MainFrame* frame = GetFrame();
    if (frame && frame->IsEnabled() && dynamic_cast<CEdit*>(target))
        return false;
    return My::AppBase::PreTranslateMessage(target, key, modifiers);
}

boost::shared_ptr<lumvex::footage> Tavelo::ChooseFootage(bool allow_stills)
{
    // The footage library's own dialog (the callers name the operation).
    return m_footage.create_footage_dialog(allow_stills, GetFrame());
}

void Tavelo::StartMaskExport(TLComp& composition, bool smooth)
{
    MaskExporter* job = smooth ? static_cast<MaskExporter*>(new SmoothMaskExporter(composition))
                               : new CrispMaskExporter(composition);
    job->ExportMasks(GetFrame());
}

void Tavelo::StartRender(TLComp& composition)
{
    // The frames as the view shows them: its style and the segment it
    // follows; without a view, the style the view would start with.
    DisplayStyle style;
    TLSegment* followed = nullptr;
    MainFrame* frame = GetFrame();
    if (auto* view = frame ? dynamic_cast<TLView*>(frame->GetView()) : nullptr) {
        style = view->GetDisplayStyle();
        if (view->GetPlayerMode() == 3)
            followed = view->GetProgressSegment();
    } else {
        style = LoadDisplayStyle(platform::registry_profile("Norvane", "Tavelo"));
    }
    auto* job
        = new ImageRenderer(composition, m_footage.coordinator(), RenderKeys(composition, style, followed));
    job->Start(m_renderSettings, frame);
}

std::unique_ptr<TLComp> Tavelo::CreateDocument()
{
    auto composition = std::make_unique<TLComp>(this, &m_processor);
    composition->SetFootageLibrary(&m_footage);
    // The segment and work-area commands, after the segment set and the
    // background.
    composition->AddMember(std::make_unique<CompositionCommands>(*composition));
    // "Copy Contour" and "Export Contour..." of the selected segment.
    composition->AddMember(MakeContourCommands(*composition, [this]() -> CWnd* { return GetFrame(); }));
    return composition;
}

void Tavelo::OnAbout()
{
    AboutDialog dialog(My::LoadString(resources::IDS_PRODUCT_NAME), ModuleFileDate(), GetFrame());
    dialog.DoModal();
}

void Tavelo::NotAvailable()
{
    My::MessageBox(My::LoadString(resources::IDS_NOT_AVAILABLE), My::MB_ICONINFORMATION);
}

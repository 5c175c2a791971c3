#include "app/shell/AppBase.h"

#include <exception>
#include <filesystem>

#include "app/resources/Resources.h"
#include "app/shell/Frame.h"
#include "document/Doc.h"
#include "document/Selection.h"
#include "foundation/system/crash_report.h"
#include "platform/gui/app.h"
#include "platform/gui/cursor.h"
#include "platform/gui/file_dialog.h"
#include "widgets/core/Event.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Strings.h"

namespace My {

namespace {

AppBase* g_app = nullptr;

// The wait cursor while a project is read or written; the cursor before
// comes back also when that fails.
class WaitCursor {
public:
    WaitCursor()
        : m_previous(::SetCursor(LoadCursor(IDC_WAIT)))
    {
    }
    ~WaitCursor() { ::SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

} // namespace

std::string FilterExtension(const std::string& filter, int index)
{
    const auto pairs = parse_file_filter(filter);
    if (index < 0 || std::size_t(index) >= pairs.size())
        return {};
    const std::string& patterns = pairs[std::size_t(index)].second;
    const std::string first = patterns.substr(0, patterns.find(';'));
    if (first.rfind("*.", 0) != 0)
        return {};
    const std::string extension = first.substr(2);
    // "*.*" names no extension.
    return extension.find_first_of("*?") == std::string::npos ? extension : std::string();
}

AppBase::AppBase()
    : m_recentFiles(10)
{
    g_app = this;
    // The shell's texts are in force from the start; a language module
    // joins them once initialised.
    SetStringSource(&m_language);
    using namespace resources;
    m_commands.Add(
        ID_FILE_NEW, [this] { OnFileNew(); }, [](CommandUI& ui) { ui.Enable(true); });
    m_commands.Add(
        ID_FILE_OPEN, [this] { OnFileOpen(); }, [](CommandUI& ui) { ui.Enable(true); });
    m_commands.Add(
        ID_FILE_CLOSE, [this] { OnFileClose(); }, [this](CommandUI& ui) { ui.Enable(IsProjectOpen()); });
    m_commands.Add(
        ID_FILE_SAVE, [this] { OnFileSave(); },
        [this](CommandUI& ui) { ui.Enable(IsProjectOpen() && GetDoc()->IsModified()); });
    m_commands.Add(
        ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); }, [this](CommandUI& ui) { ui.Enable(IsProjectOpen()); });
    m_commands.AddRange(
        ID_FILE_MRU_FIRST, ID_FILE_MRU_LAST, [this](std::uint32_t id) { OnRecentFile(id); },
        [this](std::uint32_t id, CommandUI& ui) {
            ui.Enable(id - ID_FILE_MRU_FIRST < m_recentFiles.GetPaths().size());
        });
    m_commands.Add(
        ID_EDIT_UNDO, [this] { GetDoc()->GetHistory().Undo(); },
        [this](CommandUI& ui) { OnUpdateUndo(ui, false); });
    m_commands.Add(
        ID_EDIT_REDO, [this] { GetDoc()->GetHistory().Redo(); },
        [this](CommandUI& ui) { OnUpdateUndo(ui, true); });
    m_commands.Add(
        ID_EDIT_CLEAR, [this] { GetDoc()->GetSelection()->Delete(); },
        [this](CommandUI& ui) {
            Doc* doc = GetDoc();
            ui.Enable(doc && doc->GetSelection()->CanDelete() && !doc->GetSelection()->IsEmpty());
        });
    m_commands.AddRange(
        ID_LANGUAGE_FIRST, ID_LANGUAGE_LAST, [this](std::uint32_t id) { OnLanguage(id); },
        [this](std::uint32_t id, CommandUI& ui) { OnUpdateLanguage(id, ui); });
}

AppBase::~AppBase()
{
    if (g_app == this)
        g_app = nullptr;
}

int AppBase::Run()
{
    // A fault signal on any thread writes its crash report and ends the
    // program: after a fault the process state cannot be trusted to resume.
    install_crash_reporter();
    return SafeRun();
}

int AppBase::SafeRun()
{
    for (;;) {
        try {
            return platform::gui::run_loop();
        } catch (const std::exception& e) {
            ReportError(e.what());
        }
    }
}

void AppBase::ReportError(const std::string& text)
{
    My::ReportError(text);
}

bool AppBase::AskOpenFileName(std::string& path, int& filter_index)
{
    platform::gui::file_dialog_request request;
    request.parent = GetMainFrame();
    request.title = LoadString(50001);
    request.filter = LoadString(50003);
    request.default_extension = LoadString(50002);
    request.flags = platform::gui::OFN_HIDEREADONLY | platform::gui::OFN_FILEMUSTEXIST
        | platform::gui::OFN_ENABLESIZING;
    if (!platform::gui::file_dialog(request, path, filter_index)) {
        path.clear();
        return false;
    }
    return !path.empty();
}

bool AppBase::AskSaveFileName(std::string& path, const std::string& initial)
{
    platform::gui::file_dialog_request request;
    request.save = true;
    request.parent = GetMainFrame();
    request.title = LoadString(50006);
    request.filter = LoadString(50007);
    request.default_extension = LoadString(50002);
    request.initial_path = initial;
    request.flags = platform::gui::OFN_HIDEREADONLY | platform::gui::OFN_OVERWRITEPROMPT
        | platform::gui::OFN_PATHMUSTEXIST | platform::gui::OFN_ENABLESIZING;
    int filter_index = 0;
    if (!platform::gui::file_dialog(request, path, filter_index)) {
        path.clear();
        return false;
    }
    // A name typed without an extension gets the default one; with none
    // (the table's is empty), the chosen filter's, so that the Open
    // dialog's filter shows the file.
    std::string extension = request.default_extension;
    if (extension.empty())
        extension = FilterExtension(request.filter, filter_index);
    const std::string typed = path;
    path = with_default_extension(path, extension);
    // The dialog asked about replacing the name as typed; the file the
    // project goes to is asked about here.
    std::error_code ignored;
    if (path != typed && std::filesystem::exists(path, ignored)) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (MessageBox(name + " already exists.\nDo you want to replace it?", MB_YESNO | MB_ICONEXCLAMATION)
            != IDYES) {
            path.clear();
            return false;
        }
    }
    return !path.empty();
}

void AppBase::PushOperation(const std::string& name)
{
    My::PushOperation(name);
}

void AppBase::PopOperation()
{
    My::PopOperation();
}

bool AppBase::PreTranslateMessage(CWnd* target, UINT key, UINT modifiers)
{
    Frame* frame = GetMainFrame();
    if (!frame || !frame->GetSafeHwnd())
        return false;
    // The frame's accelerators act on keys typed anywhere in its window
    // (the view, the panels, the timeline), before the focused window sees
    // them; keys typed into a text field are the field's own.
    if (!frame->IsEnabled())
        return false;
    if (!frame->ContainsWindow(target) || IsTextInput(target))
        return false;
    const std::uint32_t command = resources::FindAccelerator(key, modifiers);
    if (command == 0)
        return false;
    // The command runs only when its update handler enables it, as a menu
    // item would.
    if (!frame->IsCommandEnabled(command))
        return true;
    frame->OnCmdMsg(command, 0, nullptr);
    return true;
}

bool AppBase::OpenDocumentFile(const std::string& path)
{
    return OpenProjectFile(path, -1);
}

bool AppBase::OpenProjectFile(const std::string& path, int filter_index)
{
    Doc* doc = GetDoc();
    if (path.empty() || !doc)
        return false;
    if (!doc->IsEmpty()) {
        if (doc->GetFileName() == path)
            return true;
        RunCommand(resources::ID_FILE_CLOSE);
        if (!doc->IsEmpty())
            return true;
    }
    {
        WaitCursor wait;
        doc->Open(path, filter_index);
    }
    if (doc->IsEmpty())
        return false;
    AddToRecentFileList(doc->GetFileName());
    return true;
}

bool AppBase::RouteCommand(CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}

void AppBase::RunCommand(std::uint32_t id)
{
    if (Frame* frame = GetMainFrame(); frame && frame->GetSafeHwnd()) {
        frame->OnCmdMsg(id, 0, nullptr);
        return;
    }
    CommandEvent event(id);
    RouteCommand(event);
}

std::vector<platform::gui::menu_entry> AppBase::GetLanguageMenu() const
{
    std::vector<platform::gui::menu_entry> entries;
    for (int index : m_languages) {
        platform::gui::menu_entry e;
        e.id = resources::ID_LANGUAGE_FIRST + std::uint32_t(index);
        e.text = LoadString(resources::IDS_LANGUAGE_NAME + std::uint32_t(index));
        entries.push_back(e);
    }
    return entries;
}

void AppBase::AddToRecentFileList(const std::string& path)
{
    m_recentFiles.Add(path);
    m_recentFiles.Write();
    OnRecentFilesChanged();
}

bool AppBase::IsProjectOpen()
{
    Doc* doc = GetDoc();
    return doc && !doc->IsEmpty();
}

void AppBase::OnFileNew()
{
    Doc* doc = GetDoc();
    if (!doc)
        return;
    if (!doc->IsEmpty()) {
        RunCommand(resources::ID_FILE_CLOSE);
        if (!doc->IsEmpty())
            return;
    }
    doc->CreateNew();
}

void AppBase::OnFileOpen()
{
    Doc* doc = GetDoc();
    if (!doc)
        return;
    std::string path;
    int filter_index = 0;
    if (!AskOpenFileName(path, filter_index) || path.empty())
        return;
    if (!doc->IsEmpty()) {
        RunCommand(resources::ID_FILE_CLOSE);
        if (!doc->IsEmpty())
            return;
    }
    OpenProjectFile(path, filter_index);
}

void AppBase::OnFileClose()
{
    Doc* doc = GetDoc();
    if (!doc || doc->IsEmpty())
        return;
    if (!doc->CanClose())
        return;
    if (doc->IsModified()) {
        const int answer = MessageBox(LoadString(50004), MB_YESNOCANCEL | MB_ICONEXCLAMATION);
        if (answer == IDCANCEL)
            return;
        if (answer == IDYES) {
            RunCommand(resources::ID_FILE_SAVE);
            if (doc->IsModified())
                return;
        }
    }
    doc->Close();
}

void AppBase::OnFileSave()
{
    Doc* doc = GetDoc();
    if (!doc || doc->IsEmpty())
        return;
    if (doc->GetFileName().empty()) {
        RunCommand(resources::ID_FILE_SAVE_AS);
        return;
    }
    WaitCursor wait;
    doc->Save();
}

void AppBase::OnFileSaveAs()
{
    Doc* doc = GetDoc();
    if (!doc || doc->IsEmpty())
        return;
    std::string path;
    if (!AskSaveFileName(path, doc->GetFileName()) || path.empty())
        return;
    {
        WaitCursor wait;
        doc->SaveAs(path);
    }
    AddToRecentFileList(doc->GetFileName());
}

void AppBase::OnRecentFile(std::uint32_t id)
{
    const std::size_t index = id - resources::ID_FILE_MRU_FIRST;
    if (index >= m_recentFiles.GetPaths().size())
        return;
    const std::string path = m_recentFiles.GetPaths()[index];
    bool opened = false;
    try {
        opened = OpenDocumentFile(path);
    } catch (...) {
        // An entry that fails to open leaves the list, as one that opens
        // nothing does; the failure itself goes on to the report.
        m_recentFiles.Remove(index);
        m_recentFiles.Write();
        OnRecentFilesChanged();
        throw;
    }
    if (!opened) {
        m_recentFiles.Remove(index);
        m_recentFiles.Write();
        OnRecentFilesChanged();
    }
}

void AppBase::OnLanguage(std::uint32_t id)
{
    MessageBox(LoadString(resources::IDS_LANGUAGE_NOTICE), MB_ICONINFORMATION);
    m_language.WriteSetting(int(id - resources::ID_LANGUAGE_FIRST));
}

void AppBase::OnUpdateLanguage(std::uint32_t id, CommandUI& ui)
{
    const int k = int(id - resources::ID_LANGUAGE_FIRST);
    ui.Enable(true);
    std::string text = LoadString(resources::IDS_LANGUAGE_NAME + std::uint32_t(k));
    const int stored = m_language.ReadSetting();
    if (k == stored) {
        if (k == m_defaultLanguage && !m_language.IsLoaded())
            text.append(" ").append(LoadString(resources::IDS_DEFAULT_LANGUAGE));
        else if (k != m_language.GetLoadedIndex())
            text.append(" ").append(LoadString(resources::IDS_RESTART_REQUIRED));
    }
    ui.SetText(text);
    ui.SetRadio(k == stored);
}

void AppBase::OnUpdateUndo(CommandUI& ui, bool redo)
{
    Doc* doc = GetDoc();
    const bool available
        = doc && !doc->IsEmpty() && (redo ? doc->GetHistory().CanRedo() : doc->GetHistory().CanUndo());
    if (available) {
        const ActionHistory& history = doc->GetHistory();
        ui.SetText(redo ? GetRedoText(history, ui.IsMenuItem()) : GetUndoText(history, ui.IsMenuItem()));
    } else {
        const std::uint32_t format = ui.IsMenuItem() ? (redo ? 50009 : 50012) : (redo ? 50010 : 50008);
        ui.SetText(FormatString(LoadString(format), ""));
    }
    ui.Enable(available);
}

AppBase* GetApp()
{
    return g_app;
}

} // namespace My

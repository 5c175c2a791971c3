#include "document/Doc.h"

#include "document/Selection.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Strings.h"

#include <filesystem>

namespace My {

namespace {

Doc* g_current = nullptr;

constexpr std::uint32_t kOpeningProject = 50011;
constexpr std::uint32_t kSavingProject = 50005;
constexpr std::uint32_t kUndoMenu = 50012;
constexpr std::uint32_t kUndoOther = 50008;
constexpr std::uint32_t kRedoMenu = 50009;
constexpr std::uint32_t kRedoOther = 50010;

std::string FullPath(const std::string& path)
{
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error)
        return path;
    return full.lexically_normal().string();
}

} // namespace

Doc::Event::~Event() = default;
Doc::ActionsChange::~ActionsChange() = default;
Doc::FileNameChange::~FileNameChange() = default;
Doc::SelectionChange::~SelectionChange() = default;

Doc::Doc()
    : m_history(this)
    , m_selection(new NullSelection)
{
    m_selection->SetOwner(this);
}

Doc::~Doc()
{
    m_selection->SetOwner(nullptr);
    if (g_current == this)
        g_current = nullptr;
}

void Doc::OnEvent(My::Event& event)
{
    if (dynamic_cast<CommandEventBase*>(&event)) {
        // Held for the call: the selection may replace itself meanwhile.
        boost::shared_ptr<Selection> selection = m_selection;
        selection->OnEvent(event);
    }
}

bool Doc::IsEmpty() const
{
    return m_fileName.empty();
}

std::string Doc::GetFileName() const
{
    return m_fileName;
}

bool Doc::IsModified() const
{
    return m_history.IsModified();
}

void Doc::CreateNew()
{
    SetFileName("");
}

void Doc::Open(const std::string& path, int filter_index)
{
    PushOperation(LoadString(kOpeningProject));
    Load(path, filter_index);
    SetFileName(path);
    m_history.Clear();
    PopOperation();
}

bool Doc::CanClose()
{
    return true;
}

void Doc::Close()
{
    SetFileName("");
    m_history.Clear();
}

void Doc::Save()
{
    SaveTo(GetFileName());
    m_history.MarkSaved();
}

void Doc::SaveAs(const std::string& path)
{
    SaveTo(path);
    SetFileName(path);
    m_history.MarkSaved();
}

void Doc::SetFileName(const std::string& path)
{
    const std::string name = path.empty() ? path : FullPath(path);
    if (name == m_fileName)
        return;
    m_fileName = name;
    FileNameChange change(this);
    Send(change);
}

void Doc::SaveTo(const std::string& path)
{
    PushOperation(LoadString(kSavingProject));
    Store(path);
    PopOperation();
}

void Doc::NotifySelectionChange()
{
    SelectionChange change(this);
    Send(change);
}

void Doc::Select(boost::shared_ptr<Selection> selection)
{
    if (!selection)
        selection.reset(new NullSelection);
    if (selection->IsSame(*m_selection))
        return;
    m_selection->SetOwner(nullptr);
    m_selection = std::move(selection);
    m_selection->SetOwner(this);
    NotifySelectionChange();
}

Doc* GetDoc()
{
    return g_current;
}

Doc* SetCurrentDoc(Doc* doc)
{
    Doc* previous = g_current;
    g_current = doc;
    return previous;
}

void BeginAction(const std::string& name)
{
    if (Doc* doc = GetDoc())
        doc->GetHistory().BeginGroup(name);
}

void EndAction()
{
    if (Doc* doc = GetDoc())
        doc->GetHistory().EndGroup();
}

boost::shared_ptr<Selection> GetSelection()
{
    if (Doc* doc = GetDoc())
        return doc->GetSelection();
    return {};
}

std::string GetUndoText(const ActionHistory& history, bool menu_item)
{
    return FormatString(LoadString(menu_item ? kUndoMenu : kUndoOther), history.GetUndoName());
}

std::string GetRedoText(const ActionHistory& history, bool menu_item)
{
    return FormatString(LoadString(menu_item ? kRedoMenu : kRedoOther), history.GetRedoName());
}

} // namespace My

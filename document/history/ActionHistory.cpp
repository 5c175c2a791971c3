#include "document/history/ActionHistory.h"

#include "document/Doc.h"
#include "widgets/properties/EditRecorder.h"

#include <exception>

namespace My {

namespace {

// The property editor's edits become one group without a name on the current
// document's history (nothing without a document).
class DocEditRecorder final : public EditRecorder {
public:
    void BeginEdit() override { BeginAction(""); }
    void EndEdit() override { EndAction(); }
    void AbortEdit() override
    {
        if (Doc* doc = GetDoc())
            doc->GetHistory().AbortGroup();
    }
};

DocEditRecorder g_editRecorder;
[[maybe_unused]] const bool g_editRecorderInstalled = (SetEditRecorder(&g_editRecorder), true);

// Counts an undo or redo in progress for the time of a scope.
class BusyScope {
public:
    explicit BusyScope(int& busy)
        : m_busy(busy)
    {
        ++m_busy;
    }
    ~BusyScope() { --m_busy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    int& m_busy;
};

} // namespace

Action::~Action() = default;

void Action::Redo()
{
    Do();
}

void Action::AddChild(std::unique_ptr<Action> child)
{
    m_children.push_back(std::move(child));
}

void Action::UndoChildren()
{
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        (*it)->UndoAll();
}

void Action::UndoAll()
{
    UndoChildren();
    Undo();
}

void Action::RedoAll()
{
    Redo();
    for (auto& child : m_children)
        child->RedoAll();
}

MultiActionImpl::MultiActionImpl(std::string name)
    : m_name(std::move(name))
{
}

bool MultiActionImpl::Do()
{
    return true;
}

void MultiActionImpl::Undo() { }

std::string MultiActionImpl::GetName() const
{
    if (!m_name.empty())
        return m_name;
    if (!GetChildren().empty())
        return GetChildren().front()->GetName();
    return {};
}

ActionHistory::ActionHistory(Doc* owner)
    : m_owner(owner)
{
}

ActionHistory::~ActionHistory() = default;

bool ActionHistory::Perform(std::unique_ptr<Action> action)
{
    if (!action)
        return false;
    if (m_busy > 0)
        return false;
    m_groups.push_back(action.get());
    bool done;
    try {
        done = action->Do();
    } catch (...) {
        // Groups the failed Do left open are aborted with it.
        while (m_groups.back() != action.get() && IsInnermostGroupOpen())
            AbortGroup();
        m_groups.pop_back();
        // What the nested actions did is taken back; the action's own partial
        // work is its Do's to avoid (it threw, so it has no undo).
        BusyScope busy(m_busy);
        action->UndoChildren();
        throw;
    }
    // A group that Do opened and left open belongs to the action.
    while (m_groups.back() != action.get() && IsInnermostGroupOpen())
        CloseGroupInto();
    m_groups.pop_back();
    if (!done)
        return false;
    if (!m_groups.empty()) {
        m_groups.back()->AddChild(std::move(action));
        return true;
    }
    AddDone(std::move(action));
    NotifyChange();
    return true;
}

void ActionHistory::AddDone(std::unique_ptr<Action> action)
{
    m_modified += action->GetWeight();
    // A new edit ends every redo.
    m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(m_undone));
    m_undone = 0;
    m_entries.push_front(std::move(action));
    if (m_limit > 0 && m_entries.size() > m_limit)
        m_entries.pop_back();
}

bool ActionHistory::CanUndo() const
{
    return m_groups.empty() && m_undone < m_entries.size();
}

bool ActionHistory::CanRedo() const
{
    return m_groups.empty() && m_undone > 0;
}

std::string ActionHistory::GetUndoName() const
{
    return CanUndo() ? m_entries[m_undone]->GetName() : std::string();
}

std::string ActionHistory::GetRedoName() const
{
    return CanRedo() ? m_entries[m_undone - 1]->GetName() : std::string();
}

void ActionHistory::Undo()
{
    if (!CanUndo())
        return;
    Action& entry = *m_entries[m_undone];
    {
        BusyScope busy(m_busy);
        entry.UndoAll();
    }
    ++m_undone;
    m_modified -= entry.GetWeight();
    NotifyChange();
}

void ActionHistory::Redo()
{
    if (!CanRedo())
        return;
    Action& entry = *m_entries[m_undone - 1];
    {
        BusyScope busy(m_busy);
        entry.RedoAll();
    }
    --m_undone;
    m_modified += entry.GetWeight();
    NotifyChange();
}

void ActionHistory::BeginGroup(const std::string& name)
{
    m_openGroups.push_back(std::make_unique<MultiActionImpl>(name));
    m_groups.push_back(m_openGroups.back().get());
}

void ActionHistory::EndGroup(EmptyGroup empty)
{
    if (!IsInnermostGroupOpen())
        return;
    std::unique_ptr<Action> group = std::move(m_openGroups.back());
    m_openGroups.pop_back();
    m_groups.pop_back();
    if (empty == EmptyGroup::Drop && group->GetChildren().empty())
        return;
    if (!m_groups.empty()) {
        m_groups.back()->AddChild(std::move(group));
        return;
    }
    AddDone(std::move(group));
    NotifyChange();
}

bool ActionHistory::IsInnermostGroupOpen() const
{
    return !m_openGroups.empty() && !m_groups.empty() && m_groups.back() == m_openGroups.back().get();
}

void ActionHistory::CloseGroupInto()
{
    std::unique_ptr<Action> group = std::move(m_openGroups.back());
    m_openGroups.pop_back();
    m_groups.pop_back();
    m_groups.back()->AddChild(std::move(group));
}

void ActionHistory::AbortGroup()
{
    if (!IsInnermostGroupOpen())
        return;
    std::unique_ptr<Action> group = std::move(m_openGroups.back());
    m_openGroups.pop_back();
    m_groups.pop_back();
    BusyScope busy(m_busy);
    group->UndoChildren();
}

void ActionHistory::Clear()
{
    m_entries.clear();
    m_undone = 0;
    MarkSaved();
}

void ActionHistory::MarkSaved()
{
    m_modified = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_entries[i]->SetWeight(i < m_undone ? 1 : -1);
    NotifyChange();
}

void ActionHistory::Touch()
{
    ++m_modified;
    NotifyChange();
}

void ActionHistory::SetLimit(unsigned limit)
{
    m_limit = limit;
    while (m_limit > 0 && m_entries.size() > m_limit) {
        m_entries.pop_back();
        if (m_undone > m_entries.size())
            m_undone = m_entries.size();
    }
}

void ActionHistory::NotifyChange()
{
    if (m_owner) {
        Doc::ActionsChange change(m_owner);
        m_owner->Send(change);
    }
}

ActionGroup::ActionGroup(const std::string& name)
    : m_history(GetDoc() ? &GetDoc()->GetHistory() : nullptr)
    , m_exceptions(std::uncaught_exceptions())
{
    if (m_history)
        m_history->BeginGroup(name);
}

ActionGroup::ActionGroup(ActionHistory& history, const std::string& name)
    : m_history(&history)
    , m_exceptions(std::uncaught_exceptions())
{
    m_history->BeginGroup(name);
}

ActionGroup::~ActionGroup() noexcept(false)
{
    if (!m_history)
        return;
    if (std::uncaught_exceptions() > m_exceptions) {
        try {
            m_history->AbortGroup();
        } catch (...) {
            // An undo failing while another exception is on its way cannot
            // be reported here; the first failure is the one the user sees.
        }
        return;
    }
    m_history->EndGroup(m_empty);
}

} // namespace My

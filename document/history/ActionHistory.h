#pragma once

// Every user edit is a My::Action performed through the document's action
// history, which makes it undoable and redoable, nests the actions performed
// while another is being done, and counts how far the document is from its
// saved state. UI thread only.

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace My {

class Doc;

class Action {
public:
    Action() = default;
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;
    // Deletes the children.
    virtual ~Action();

    // True when the action took effect and is to be recorded.
    virtual bool Do() = 0;
    virtual void Undo() = 0;
    // Do again; by default Do().
    virtual void Redo();
    // The display name, as "Undo %s" and "Redo %s" show it.
    virtual std::string GetName() const = 0;

    // The amount by which doing the action changes the modified counter.
    int GetWeight() const { return m_weight; }
    void SetWeight(int weight) { m_weight = weight; }

    // The actions performed while this one was being done (owned), in order.
    const std::vector<std::unique_ptr<Action>>& GetChildren() const { return m_children; }
    void AddChild(std::unique_ptr<Action> child);

    // Undoes the children in reverse order, then the action itself.
    void UndoAll();
    // Redoes the action itself, then its children in order.
    void RedoAll();
    // Undoes the children in reverse order (the action's own Do failed).
    void UndoChildren();

private:
    int m_weight = 1;
    std::vector<std::unique_ptr<Action>> m_children;
};

// A named group of actions. Its own name when not empty, else the first
// child's name, else "".
class MultiActionImpl : public Action {
public:
    explicit MultiActionImpl(std::string name = {});
    bool Do() override;
    void Undo() override;
    std::string GetName() const override;

private:
    std::string m_name;
};

class ActionHistory {
public:
    // owner (may be null) sends My::Doc::ActionsChange when the history
    // changes.
    explicit ActionHistory(Doc* owner = nullptr);
    ~ActionHistory();
    ActionHistory(const ActionHistory&) = delete;
    ActionHistory& operator=(const ActionHistory&) = delete;

    // Takes ownership and does the action. Returns true when it took effect
    // and was recorded (in the history or in the innermost open group); false
    // when Do failed or an undo or redo is running (the action is then
    // deleted: undo never records new actions).
    //
    // When Do throws, what the actions performed inside it already did is
    // undone in reverse order, the action is deleted and the exception
    // passes on; the history is as before the call.
    bool Perform(std::unique_ptr<Action> action);
    bool Perform(Action* action) { return Perform(std::unique_ptr<Action>(action)); }

    bool CanUndo() const;
    bool CanRedo() const;
    // The name of the entry that Undo (Redo) would take; empty when none.
    std::string GetUndoName() const;
    std::string GetRedoName() const;
    // Nothing while a group is open or nothing is there to undo (redo).
    // When an action's Undo (Redo) throws, the exception passes on and the
    // entry stays where it was.
    void Undo();
    void Redo();

    // Opens a group: the actions performed until the matching EndGroup become
    // its children. Undo and redo are refused while a group is open.
    void BeginGroup(const std::string& name);
    // What closing a group without children does.
    enum class EmptyGroup {
        // Recorded like any other entry.
        Record,
        // Deleted without a trace: nothing recorded, the modified counter
        // left as it is and no change announced.
        Drop,
    };
    // Closes the innermost group; the outermost one is recorded as one entry
    // (empty groups too, unless `empty` drops them). Nothing when no group is
    // open.
    void EndGroup(EmptyGroup empty = EmptyGroup::Record);
    // Closes the innermost group after a failure: its children are undone in
    // reverse order and the group is deleted. Nothing when no group is open.
    void AbortGroup();
    bool IsGroupOpen() const { return !m_groups.empty(); }

    // Deletes every entry and marks the saved state.
    void Clear();
    // The present state is the saved one: the counter becomes 0 and every
    // entry's weight is set so that leaving this state counts as a change
    // (done entries -1, undone ones +1).
    void MarkSaved();
    // A change that is not undoable: counter + 1.
    void Touch();

    bool IsModified() const { return m_modified > 0; }
    int GetModifiedCounter() const { return m_modified; }

    // 0: unlimited (the default).
    void SetLimit(unsigned limit);
    std::size_t GetCount() const { return m_entries.size(); }
    std::size_t GetUndoneCount() const { return m_undone; }

private:
    void AddDone(std::unique_ptr<Action> action);
    // The innermost entry of the stack is a group opened by BeginGroup (not
    // an action being done).
    bool IsInnermostGroupOpen() const;
    // Closes the innermost open group as a child of the entry below it.
    void CloseGroupInto();
    void NotifyChange();

    Doc* m_owner;
    unsigned m_limit = 0;
    std::deque<std::unique_ptr<Action>> m_entries; // newest first
    std::size_t m_undone = 0;
    int m_modified = 0;
    int m_busy = 0;
    // Open groups and actions being done, innermost last; the actions
    // performed meanwhile become children of the last one.
    std::vector<Action*> m_groups;
    // The groups opened by BeginGroup (owned until EndGroup or AbortGroup).
    std::vector<std::unique_ptr<Action>> m_openGroups;
};

// Opens a group of the current document's history for the time of a scope:
// closed with EndGroup on a normal exit, aborted (its children undone) when
// the scope is left by an exception. Nothing when there is no document.
class ActionGroup {
public:
    explicit ActionGroup(const std::string& name = {});
    explicit ActionGroup(ActionHistory& history, const std::string& name = {});
    // Closing sends the history's change event, whose listeners may throw.
    ~ActionGroup() noexcept(false);
    ActionGroup(const ActionGroup&) = delete;
    ActionGroup& operator=(const ActionGroup&) = delete;

    // The group leaves no trace when it closes without children.
    void DropIfEmpty() { m_empty = ActionHistory::EmptyGroup::Drop; }

private:
    ActionHistory* m_history;
    int m_exceptions;
    ActionHistory::EmptyGroup m_empty = ActionHistory::EmptyGroup::Record;
};

} // namespace My

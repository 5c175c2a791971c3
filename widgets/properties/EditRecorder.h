#pragma once

// How an edit made in the property editor becomes one undoable step: the
// document installs a recorder that opens a group without a name on its
// action history, so that the actions its setters perform while the value
// is written to every edited object land in that one group. Without a
// recorder edits are simply written. UI thread only.

#include <functional>

namespace My {

class EditableList;
class EditableObject;

class EditRecorder {
public:
    // Opens a group without a name.
    virtual void BeginEdit() = 0;
    // Closes it; the whole group is one entry (also when empty).
    virtual void EndEdit() = 0;
    // Closes it after a failure: what it holds is undone and dropped.
    virtual void AbortEdit() = 0;

protected:
    ~EditRecorder() = default;
};

// Installs the recorder used from now on (null: none); returns the previous
// one. The caller keeps ownership.
EditRecorder* SetEditRecorder(EditRecorder* recorder);
EditRecorder* GetEditRecorder();

// One edit for the time of a scope: begun at construction, ended on a
// normal exit, aborted when the scope is left by an exception.
class EditScope {
public:
    EditScope();
    // Ending may send change notifications whose listeners throw.
    ~EditScope() noexcept(false);
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;

private:
    EditRecorder* m_recorder;
    int m_exceptions;
};

// Writes one value to every object of the list, in order, inside one edit.
// When a write throws, the edit is aborted (what the earlier writes did is
// undone), the error's text reaches the user as an error report and false
// is returned, so that the control shows the stored value again.
bool ApplyEdit(const EditableList& objects, const std::function<void(EditableObject*)>& write);

} // namespace My

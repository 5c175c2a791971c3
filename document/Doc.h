#pragma once

// The application-independent document: file name, action history, current
// selection and the open, save and close flow that the application drives.
// UI thread only.

#include "document/history/ActionHistory.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace My {

class Selection;

class Doc : public virtual EventDispatcher, public EventListener {
public:
    // The document's notifications, sent through its dispatcher.
    class Event : public My::Event {
    public:
        explicit Event(Doc* source_)
            : source(source_)
        {
        }
        ~Event() override = 0;
        Doc* source;
    };
    // The history changed (an edit, undo, redo, save, or a change that is
    // not undoable).
    class ActionsChange : public Event {
    public:
        using Event::Event;
        ~ActionsChange() override;
    };
    class FileNameChange : public Event {
    public:
        using Event::Event;
        ~FileNameChange() override;
    };
    class SelectionChange : public Event {
    public:
        using Event::Event;
        ~SelectionChange() override;
    };

    Doc();
    Doc(const Doc&) = delete;
    Doc& operator=(const Doc&) = delete;

    // Command events go to the current selection; others are ignored.
    void OnEvent(My::Event& event) override;
    virtual ~Doc();

    // True when the file name is empty.
    virtual bool IsEmpty() const;
    virtual std::string GetFileName() const;
    // The history's modified counter is above 0.
    virtual bool IsModified() const;
    // Sets an empty file name.
    virtual void CreateNew();
    // Pushes "opening project", loads the file, takes its full path as the
    // file name and clears the history; pops the name when all succeeded.
    // Errors of Load pass on with the name still pushed.
    virtual void Open(const std::string& path, int filter_index);
    virtual bool CanClose();
    // Empty file name, cleared history.
    virtual void Close();
    // Stores to the file name and marks the saved state.
    virtual void Save();
    // Stores to path, takes it as the file name and marks the saved state.
    virtual void SaveAs(const std::string& path);
    // A non-empty path is made a full path; a new name is stored and
    // announced.
    virtual void SetFileName(const std::string& path);
    // Pushes "saving project", stores, pops.
    virtual void SaveTo(const std::string& path);
    // The file hooks of the concrete document.
    virtual void Load(const std::string& path, int filter_index) = 0;
    virtual void Store(const std::string& path) = 0;
    virtual void NotifySelectionChange();

    ActionHistory& GetHistory() { return m_history; }
    const ActionHistory& GetHistory() const { return m_history; }

    // A null selection selects nothing. When the new selection is the same
    // as the current one (IsSame) nothing changes and no event is sent.
    void Select(boost::shared_ptr<Selection> selection);
    // Never null.
    const boost::shared_ptr<Selection>& GetSelection() const { return m_selection; }

private:
    ActionHistory m_history;
    std::string m_fileName;
    boost::shared_ptr<Selection> m_selection;
};

// The document the application works on, or null (set by the application,
// replaced by tests).
Doc* GetDoc();
Doc* SetCurrentDoc(Doc* doc);

// BeginGroup and EndGroup of the current document's history; nothing without
// a document. Prefer ActionGroup, which also survives exceptions.
void BeginAction(const std::string& name);
void EndAction();

// The current document's selection, or null without a document.
boost::shared_ptr<Selection> GetSelection();

// The texts of the Undo and Redo commands: the string-table format ("Undo
// %s\tCtrl+Z" for a menu item, "Undo %s" for other users) with the name of
// the entry that Undo (Redo) would take, empty when there is none; the name
// is substituted literally.
std::string GetUndoText(const ActionHistory& history, bool menu_item);
std::string GetRedoText(const ActionHistory& history, bool menu_item);

} // namespace My

#pragma once

// The application-independent base of the program's application object: the
// main loop that no exception ends, the report of failures naming the
// operation under way, the project commands of the File and Edit menus over
// the abstract document (My::Doc), the project file dialogs, opening projects
// by path (dropped files, the recent-file list), the accelerator table and
// the interface-language menu. UI thread only.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/shell/LanguageModule.h"
#include "app/shell/RecentFileList.h"
#include "platform/gui/shell.h"
#include "platform/gui/types.h"
#include "widgets/core/CommandMap.h"

class CWnd;

namespace My {

class Doc;
class Frame;

// The extension of the first pattern of a file-dialog filter's entry
// `index` (counted from 0): "tvp" for "*.tvp"; empty for "*.*", a pattern
// without one or an index the filter does not have.
std::string FilterExtension(const std::string& filter, int index);

class AppBase : public CommandTarget {
public:
    AppBase();
    virtual ~AppBase();
    AppBase(const AppBase&) = delete;
    AppBase& operator=(const AppBase&) = delete;

    // Runs the main loop until the main window is gone, with a fault signal
    // ending the program after its crash report is written; returns the
    // loop's exit code.
    int Run();
    // Runs the window system's loop, reporting every standard exception that
    // reaches it and entering the loop again; returns the loop's exit code.
    virtual int SafeRun();
    // "Error while " + the operation under way ... in an error box; the
    // operation names are cleared. Never throws.
    virtual void ReportError(const std::string& text);
    virtual Doc* GetDoc() = 0;
    virtual Frame* GetMainFrame() = 0;
    // The open-project dialog: false (and an empty path) on Cancel.
    virtual bool AskOpenFileName(std::string& path, int& filter_index);
    // The save-as dialog starting at `initial`: false on Cancel.
    virtual bool AskSaveFileName(std::string& path, const std::string& initial);

    static void PushOperation(const std::string& name);
    static void PopOperation();

    // Called for each key before the window with the focus sees it; true when
    // the key ran a command of the accelerator table.
    virtual bool PreTranslateMessage(CWnd* target, UINT key, UINT modifiers);
    // Opens a dropped file or a recent-file entry; false when it failed.
    bool OpenDocumentFile(const std::string& path);
    bool OpenProjectFile(const std::string& path, int filter_index);

    // The application's command map (the last target of the frame's routing).
    bool RouteCommand(CommandEventBase& event) override;
    // Runs command id through the main frame's routing, or through the
    // application's map when there is no frame.
    void RunCommand(std::uint32_t id);

    // The "Language" popup: one item per offered language, id 20000 + index.
    std::vector<platform::gui::menu_entry> GetLanguageMenu() const;
    LanguageModule& GetLanguage() { return m_language; }
    RecentFileList& GetRecentFiles() { return m_recentFiles; }
    void AddToRecentFileList(const std::string& path);

protected:
    // The document's is-empty query answers false.
    bool IsProjectOpen();
    // The recent-file list changed; the frame rebuilds its menu.
    virtual void OnRecentFilesChanged() { }

    LanguageModule m_language;
    std::set<int> m_languages;
    int m_defaultLanguage = 1;
    RecentFileList m_recentFiles;
    CommandMap m_commands;

private:
    void OnFileNew();
    void OnFileOpen();
    void OnFileClose();
    void OnFileSave();
    void OnFileSaveAs();
    void OnRecentFile(std::uint32_t id);
    void OnLanguage(std::uint32_t id);
    void OnUpdateLanguage(std::uint32_t id, CommandUI& ui);
    void OnUpdateUndo(CommandUI& ui, bool redo);
};

// The application object, or null.
AppBase* GetApp();

} // namespace My

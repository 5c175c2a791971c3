#pragma once

// The common file open and save dialog: a filter list in the form
// "Name|*.a;*.b|Other|*.c||", a 1-based filter index, a default extension
// added to a saved name that has none, a title, and optionally a small panel
// of check boxes, texts and choice lists below the file list, whose changes
// arrive as OnPanelCommand. Shown as the desktop's own file chooser; a
// responder replaces it in scripted sessions and tests. UI thread only.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/types.h"

class CWnd;

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr DWORD OFN_EXPLORER = 0x00080000;
inline constexpr DWORD OFN_ENABLESIZING = 0x00800000;

// The (name, patterns) pairs of a filter text; empty names end the list.
std::vector<std::pair<std::string, std::string>> parse_file_filter(const std::string& filter);
// `path` with "." + extension appended when its file name has no extension
// (and `extension` is not empty).
std::string with_default_extension(const std::string& path, const std::string& extension);
// The patterns of a filter entry ("*.BMP;*.png") as the desktop's chooser
// gets them, which compares names letter for letter: each letter stands
// for both its cases ("*.[bB][mM][pP];*.[pP][nN][gG]"), so that a pattern
// matches names in any case, as the filters' patterns are meant to. Sets
// in brackets are left as they are.
std::string case_blind_patterns(const std::string& patterns);
// A whole filter text in the toolkit's form: "Name|patterns|..." without
// the closing "||", each entry's patterns case blind.
std::string native_file_filter(const std::string& filter);

class CFileDialog {
public:
    CFileDialog(bool open, const std::string& default_extension, const std::string& file_name, DWORD flags,
        const std::string& filter, CWnd* parent);
    virtual ~CFileDialog();
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    void SetTitle(const std::string& title) { m_title = title; }
    const std::string& GetTitle() const { return m_title; }
    void SetFilterIndex(int index) { m_filter_index = index; }
    int GetFilterIndex() const { return m_filter_index; }
    bool IsOpenDialog() const { return m_open; }
    DWORD GetFlags() const { return m_flags; }
    const std::string& GetFilter() const { return m_filter; }
    const std::string& GetDefaultExtension() const { return m_default_extension; }
    // The proposed name before DoModal, the chosen path after IDOK.
    std::string GetPathName() const { return m_path; }
    // For responders: the path the user chose.
    void SetPathName(const std::string& path) { m_path = path; }

    // Shows the dialog: IDOK with a chosen path, or IDCANCEL.
    int DoModal();

    // Replaces the shown dialog by a function that answers IDOK (after
    // SetPathName) or IDCANCEL; an empty function restores the dialog.
    using responder = std::function<int(CFileDialog&)>;
    static void SetResponder(responder r);

    // The panel, made before DoModal. Ids address its controls.
    void AddCheckBox(int id, const std::string& text);
    void AddStaticText(const std::string& text);
    void AddChoice(int id, const std::vector<std::string>& items);
    void CheckItem(int id, bool checked);
    bool IsItemChecked(int id) const;
    void SetSelection(int id, int index);
    int GetSelection(int id) const;
    void EnableItem(int id, bool enabled);
    bool IsItemEnabled(int id) const;
    // The user's actions on the panel, played by code.
    void Click(int id);
    void Select(int id, int index);

protected:
    // The panel was made (its initial states may be set here).
    virtual void OnPanelInit() { }
    // A check box was clicked or a choice changed.
    virtual void OnPanelCommand(int /*id*/) { }

private:
    struct panel_control;
    struct hook;
    panel_control* find(int id);
    const panel_control* find(int id) const;
    void sync(panel_control& c);

    bool m_open;
    std::string m_default_extension;
    std::string m_path;
    DWORD m_flags;
    std::string m_filter;
    CWnd* m_parent;
    std::string m_title;
    int m_filter_index = 1;
    std::vector<panel_control> m_panel;
};

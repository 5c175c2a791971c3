#pragma once

// Dialogs made from a template: a caption, a size in dialog units and a list
// of controls (static texts, group boxes, edit fields, check boxes, push
// buttons, drop-down lists), each with its id and place. A CDialog keeps the
// state of its controls itself (texts, checks, list items, selections,
// enabling) and mirrors it into a native dialog while one is shown, so that
// a dialog's logic runs the same with and without a display.
//
// The user's actions arrive as OnCommand(id, code): BN_CLICKED for buttons
// and check boxes (a check box is toggled first), CBN_SELCHANGE and
// CBN_DROPDOWN for lists, EN_SETFOCUS and EN_CHANGE for edit fields. In a
// shown dialog Escape arrives as IDCANCEL and Return as the push button that
// has the focus, else the default button (IDOK when none is one), each as
// BN_CLICKED; a disabled button takes no key. The same actions can be
// played by code (Click, Select, DropDown, Focus, Type), which is how a
// responder answers a modal dialog in scripted sessions and tests. Exceptions thrown by handlers that the
// toolkit called go to the window layer's error report. UI thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/types.h"

class CWnd;

inline constexpr int BN_CLICKED = 0;
inline constexpr int CBN_SELCHANGE = 1;
inline constexpr int CBN_DROPDOWN = 7;
inline constexpr int EN_SETFOCUS = 0x0100;
inline constexpr int EN_CHANGE = 0x0300;
inline constexpr int CB_ERR = -1;

struct dialog_control {
    enum kind_t {
        static_text,
        group_box,
        edit,
        read_only_edit,
        check_box,
        push_button,
        default_button,
        drop_list
    };
    kind_t kind;
    int id; // -1 for controls nobody addresses
    std::string text;
    // Place and size in dialog units.
    int x, y, cx, cy;
    // Lists only: items are kept in alphabetical order (case ignored).
    bool sorted = false;
    // Created disabled.
    bool disabled = false;
};

struct dialog_template {
    std::string caption;
    int cx, cy; // dialog units
    std::vector<dialog_control> controls;
};

class CDialog {
public:
    CDialog(const dialog_template& layout, CWnd* parent);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally: OnInitDialog, then the user (or the
    // responder) until EndDialog. Answers EndDialog's result; IDCANCEL when
    // a responder returns without ending it.
    int DoModal();
    // Makes the dialog modeless and hidden (OnInitDialog runs at once).
    void Create(CWnd* parent);
    // Shows (SW_SHOW) or hides (SW_HIDE) a modeless dialog.
    void ShowWindow(int command);
    bool IsWindowVisible() const { return m_visible; }
    CWnd* GetParent() const { return m_parent; }
    void SetParent(CWnd* parent);
    // Ends a modal dialog with `result`; hides a modeless one.
    void EndDialog(int result);

    // Replaces the shown modal dialog by a function that acts on it
    // (scripted sessions and tests); an empty function restores the dialog.
    using responder = std::function<void(CDialog&)>;
    static void SetResponder(responder r);

    // Controls. Unknown ids are ignored (getters answer empty values).
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;
    void EnableItem(int id, bool enabled);
    bool IsItemEnabled(int id) const;
    // Lists: the index the item got (its sorted place for sorted lists).
    int AddString(int id, const std::string& text);
    void ResetContent(int id);
    int GetCount(int id) const;
    std::string GetLBText(int id, int index) const;
    // CB_ERR selects nothing.
    void SetCurSel(int id, int index);
    int GetCurSel(int id) const;
    // The first item beginning with `prefix` (case ignored), or CB_ERR.
    int FindString(int id, const std::string& prefix) const;
    // A timer calling OnTimer(id) every `milliseconds` while the dialog is
    // shown natively.
    void SetTimer(unsigned id, unsigned milliseconds);
    void KillTimer(unsigned id);

    // The user's actions, played by code.
    void Click(int id);
    void Select(int id, int index);
    void DropDown(int id);
    void Focus(int id);
    void Type(int id, const std::string& text);

protected:
    virtual void OnInitDialog() { }
    virtual void OnCommand(int id, int code);
    virtual void OnTimer(unsigned /*id*/) { }
    virtual void OnOK() { EndDialog(1); }
    virtual void OnCancel() { EndDialog(2); }

private:
    struct control_state;
    struct native;
    friend struct native;
    control_state* find(int id);
    const control_state* find(int id) const;
    void dispatch(int id, int code);
    // The button Return presses while `focus` (a native control, or null)
    // has the focus.
    int return_button(const void* focus) const;
    void build_native();
    void forget_windows();

    dialog_template m_layout;
    CWnd* m_parent;
    std::vector<control_state> m_controls;
    std::unique_ptr<native> m_native;
    std::vector<std::pair<unsigned, unsigned>> m_timers;
    bool m_modal = false;
    bool m_ended = false;
    bool m_visible = false;
    bool m_created = false;
    int m_result = 2;
};

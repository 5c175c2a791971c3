#include "platform/gui/shell.h"

#include <map>
#include <memory>

#include <dlfcn.h>

#include <wx/app.h>
#include <wx/clntdata.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/menu_text.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/message_box.h"

namespace platform::gui {

namespace {

key_filter& the_key_filter()
{
    static key_filter f;
    return f;
}

file_dialog_presenter g_file_dialog = nullptr;

// What the frame's menu bar keeps beside the toolkit's menus.
// The toolkit takes item ids below 0x7FFF only: items get ids of their own,
// counted from 1000, mapped to the commands.
struct menu_bar_data : wxClientData {
    menu_update update;
    std::map<UINT, std::string> texts;
    std::map<UINT, int> native_ids;
    std::map<int, UINT> commands;
    int next_id = 1000;

    int native_id(UINT id)
    {
        auto it = native_ids.find(id);
        if (it != native_ids.end())
            return it->second;
        const int n = next_id++;
        native_ids[id] = n;
        commands[n] = id;
        return n;
    }
};

std::map<const CWnd*, menu_bar_data*>& menu_data()
{
    static std::map<const CWnd*, menu_bar_data*> m;
    return m;
}

// What the update handler answers for an item now.
menu_item_state ask(menu_bar_data& data, UINT id, bool enabled)
{
    menu_item_state state;
    state.enabled = enabled;
    state.text = data.texts[id];
    if (data.update)
        data.update(id, state);
    return state;
}

void watch_showing(wxMenu* menu);

void fill_menu(wxMenu* menu, const std::vector<menu_entry>& entries, menu_bar_data& data)
{
    watch_showing(menu);
    for (const menu_entry& e : entries) {
        if (e.separator) {
            menu->AppendSeparator();
        } else if (e.popup) {
            auto* sub = new wxMenu;
            fill_menu(sub, e.entries, data);
            menu->AppendSubMenu(sub, detail::menu_label(e.text));
        } else {
            data.texts[e.id] = e.text;
            // The kind of item follows the handler's first answer; the
            // toolkit cannot change the kind of an item it has made.
            const menu_item_state first = ask(data, e.id, !e.grayed);
            wxMenuItem* item = menu->Append(data.native_id(e.id), detail::menu_label(e.text), wxString(),
                first.marked ? wxITEM_CHECK : wxITEM_NORMAL);
            detail::show_key_hint(item, e.text);
            if (e.grayed)
                item->Enable(false);
            if (first.marked)
                item->Check(first.check != 0 || first.radio);
        }
    }
}

// The item made again as a check item or as a plain one, in its place,
// showing `text`.
wxMenuItem* remake(wxMenuItem* item, bool marked, const std::string& text)
{
    wxMenu* menu = item->GetMenu();
    size_t pos = 0;
    if (!menu || !menu->FindChildItem(item->GetId(), &pos))
        return item;
    const int id = item->GetId();
    const wxString label = item->GetItemLabel();
    const bool enabled = item->IsEnabled();
    menu->Destroy(item);
    wxMenuItem* made = menu->Insert(pos, id, label, wxString(), marked ? wxITEM_CHECK : wxITEM_NORMAL);
    made->Enable(enabled);
    detail::show_key_hint(made, text);
    return made;
}

// Shows the handler's answer for item `id`. The toolkit cannot change the
// kind of an item it has made, so an item that gains or loses its mark is
// made again in its place (`remake`); that is only done outside the
// toolkit's own walks over the items (its update walk), which an item
// going would break: there a lost mark is cleared and the kind follows
// when the menu opens.
void apply_update(wxFrame* frame, menu_bar_data& data, UINT id, bool may_remake)
{
    wxMenuBar* bar = frame->GetMenuBar();
    auto n = data.native_ids.find(id);
    wxMenuItem* item = bar && n != data.native_ids.end() ? bar->FindItem(n->second) : nullptr;
    if (!item || !data.update)
        return;
    // The toolkit flips a check item's mark when it is chosen; the mark is
    // the handler's answer alone, never a state kept from before.
    const menu_item_state state = ask(data, id, item->IsEnabled());
    if (state.text_set && state.text != data.texts[id]) {
        data.texts[id] = state.text;
        item->SetItemLabel(detail::menu_label(state.text));
        detail::show_key_hint(item, state.text);
    }
    if (may_remake && item->IsCheckable() != state.marked)
        item = remake(item, state.marked, data.texts[id]);
    item->Enable(state.enabled);
    if (item->IsCheckable())
        item->Check(state.marked && (state.check != 0 || state.radio));
}

// The command items of `menu` (not of its sub-menus, which open by
// themselves), or of the whole bar without a menu.
std::vector<UINT> commands_of(const menu_bar_data& data, wxMenu* menu)
{
    std::vector<UINT> ids;
    if (!menu) {
        for (const auto& [id, text] : data.texts)
            ids.push_back(id);
        return ids;
    }
    for (wxMenuItem* item : menu->GetMenuItems()) {
        auto c = data.commands.find(item->GetId());
        if (!item->IsSeparator() && !item->IsSubMenu() && c != data.commands.end())
            ids.push_back(c->second);
    }
    return ids;
}

// The menu bar that holds `data`, when it is the frame's current one.
wxMenuBar* bar_of(wxFrame* frame, const menu_bar_data* data)
{
    wxMenuBar* bar = frame->GetMenuBar();
    return bar && bar->GetClientObject() == data ? bar : nullptr;
}

// Every command item of `menu` shows its handler's answer.
void update_menu(wxFrame* frame, menu_bar_data& data, wxMenu* menu)
{
    for (UINT id : commands_of(data, menu))
        apply_update(frame, data, id, true);
}

// The toolkit measures a menu as it pops it up, and only then tells that
// the menu opened: labels changed at that point would be cut to the width
// of the ones before until the menu opened again. The menu's widget is
// shown before it is measured, so that is where its items take their
// handlers' answers.
void menu_showing(void*, void* user)
{
    try {
        auto* menu = static_cast<wxMenu*>(user);
        wxMenuBar* bar = menu->GetMenuBar();
        auto* frame = bar ? dynamic_cast<wxFrame*>(bar->GetFrame()) : nullptr;
        auto* data = bar ? dynamic_cast<menu_bar_data*>(bar->GetClientObject()) : nullptr;
        if (frame && data && bar_of(frame, data))
            update_menu(frame, *data, menu);
    } catch (...) {
        report_current_exception();
    }
}

// Found in the process (the toolkit brought it in) rather than built
// against: the toolkit's own headers are not part of this build.
void watch_showing(wxMenu* menu)
{
    using callback = void (*)();
    using connect_call = unsigned long (*)(void*, const char*, callback, void*, void*, int);
    static const auto connect
        = reinterpret_cast<connect_call>(::dlsym(RTLD_DEFAULT, "g_signal_connect_data"));
    // The handler goes with the widget, which goes with the menu.
    if (connect && menu->m_menu)
        connect(menu->m_menu, "show", reinterpret_cast<callback>(&menu_showing), menu, nullptr, 0);
}

class drop_target : public wxFileDropTarget {
public:
    explicit drop_target(CWnd* window)
        : m_window(window)
    {
    }
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override
    {
        std::vector<std::string> paths;
        for (const wxString& n : names)
            paths.push_back(n.utf8_string());
        try {
            if (CWnd::IsAlive(m_window))
                m_window->SendMessage(WM_DROPFILES, WPARAM(&paths), 0);
        } catch (...) {
            report_current_exception();
        }
        return true;
    }

private:
    CWnd* m_window;
};

// "A|*.x|B|*.y||" in the toolkit's form "A|*.[xX]|B|*.[yY]".
wxString wx_filter(const std::string& filter)
{
    return wxString::FromUTF8(native_file_filter(filter));
}

bool native_file_dialog(const file_dialog_request& r, std::string& path, int& filter_index)
{
    long style = r.save ? wxFD_SAVE : wxFD_OPEN;
    if (r.flags & OFN_OVERWRITEPROMPT)
        style |= wxFD_OVERWRITE_PROMPT;
    if (r.flags & OFN_FILEMUSTEXIST)
        style |= wxFD_FILE_MUST_EXIST;
    wxString folder;
    wxString name;
    if (!r.initial_path.empty()) {
        const auto slash = r.initial_path.rfind('/');
        if (slash == std::string::npos) {
            name = wxString::FromUTF8(r.initial_path);
        } else {
            folder = wxString::FromUTF8(r.initial_path.substr(0, slash));
            name = wxString::FromUTF8(r.initial_path.substr(slash + 1));
        }
    }
    wxFileDialog dialog(detail::native_window(r.parent), wxString::FromUTF8(r.title), folder, name,
        wx_filter(r.filter), style);
    detail::prepare_file_chooser(&dialog);
    detail::end_capture_for_modal();
    if (dialog.ShowModal() != wxID_OK)
        return false;
    path = dialog.GetPath().utf8_string();
    if (r.save && !r.default_extension.empty() && path.find('.', path.rfind('/') + 1) == std::string::npos)
        path += "." + r.default_extension;
    filter_index = dialog.GetFilterIndex();
    return true;
}

} // namespace

bool set_menu_bar(CWnd* frame, const std::vector<menu_entry>& bar, menu_update update)
{
    auto* native = dynamic_cast<wxFrame*>(detail::native_window(frame));
    if (!native)
        return false;
    // A frame that has its bar already gets new menus in it: the toolkit
    // does not take a second bar on every platform.
    if (auto it = menu_data().find(frame); it != menu_data().end()) {
        menu_bar_data* d = it->second;
        if (wxMenuBar* existing = bar_of(native, d)) {
            d->update = std::move(update);
            d->texts.clear();
            for (std::size_t i = 0; i < bar.size(); ++i) {
                auto* menu = new wxMenu;
                fill_menu(menu, bar[i].entries, *d);
                if (i < existing->GetMenuCount())
                    delete existing->Replace(i, menu, detail::menu_label(bar[i].text));
                else
                    existing->Append(menu, detail::menu_label(bar[i].text));
            }
            while (existing->GetMenuCount() > bar.size())
                delete existing->Remove(existing->GetMenuCount() - 1);
            return true;
        }
    }
    auto* menu_bar = new wxMenuBar;
    auto data = std::make_unique<menu_bar_data>();
    data->update = std::move(update);
    for (const menu_entry& e : bar) {
        auto* menu = new wxMenu;
        fill_menu(menu, e.entries, *data);
        menu_bar->Append(menu, detail::menu_label(e.text));
    }
    menu_bar_data* d = data.get();
    // The toolkit asks for the items' states before a menu opens (and at
    // idle time).
    native->Bind(wxEVT_UPDATE_UI, [native, d](wxUpdateUIEvent& e) {
        e.Skip();
        auto c = d->commands.find(e.GetId());
        if (native->GetMenuBar() == bar_of(native, d) && c != d->commands.end()) {
            try {
                apply_update(native, *d, c->second, false);
            } catch (...) {
                report_current_exception();
            }
        }
    });
    // Each time a menu opens its items show the handlers' answers, each
    // with a mark exactly when its handler sets one (`menu_showing` asked
    // them first, before the menu was measured).
    native->Bind(wxEVT_MENU_OPEN, [native, d](wxMenuEvent& e) {
        e.Skip();
        if (native->GetMenuBar() != bar_of(native, d))
            return;
        try {
            update_menu(native, *d, e.GetMenu());
        } catch (...) {
            report_current_exception();
        }
    });
    native->Bind(wxEVT_MENU, [frame, native, d](wxCommandEvent& e) {
        auto c = d->commands.find(e.GetId());
        if (native->GetMenuBar() != bar_of(native, d) || c == d->commands.end()) {
            e.Skip();
            return;
        }
        try {
            if (CWnd::IsAlive(frame))
                frame->SendMessage(WM_COMMAND, WPARAM(c->second & 0xFFFF), 0);
        } catch (...) {
            report_current_exception();
        }
    });
    native->Bind(wxEVT_DESTROY, [frame, native](wxWindowDestroyEvent& e) {
        e.Skip();
        if (e.GetEventObject() == native)
            menu_data().erase(frame);
    });
    // The menu bar owns the data from here on.
    menu_bar->SetClientObject(data.release());
    native->SetMenuBar(menu_bar);
    menu_data()[frame] = d;
    return true;
}

void refresh_menu_bar(CWnd* frame)
{
    auto it = menu_data().find(frame);
    auto* native = dynamic_cast<wxFrame*>(detail::native_window(frame));
    if (it == menu_data().end() || !native)
        return;
    for (UINT id : commands_of(*it->second, nullptr))
        apply_update(native, *it->second, id, true);
}

namespace {

// The bar item of `id` in the frame's menu bar and the bar's data, or null.
wxMenuItem* find_bar_item(CWnd* frame, UINT id, menu_bar_data** data = nullptr)
{
    auto it = menu_data().find(frame);
    auto* native = dynamic_cast<wxFrame*>(detail::native_window(frame));
    if (it == menu_data().end() || !native || !native->GetMenuBar())
        return nullptr;
    auto n = it->second->native_ids.find(id);
    if (n == it->second->native_ids.end())
        return nullptr;
    if (data)
        *data = it->second;
    return native->GetMenuBar()->FindItem(n->second);
}

} // namespace

bool get_menu_item(CWnd* frame, UINT id, std::string& text, bool& enabled)
{
    menu_bar_data* data = nullptr;
    wxMenuItem* item = find_bar_item(frame, id, &data);
    if (!item)
        return false;
    text = data->texts[id];
    enabled = item->IsEnabled();
    return true;
}

bool get_menu_item_mark(CWnd* frame, UINT id, bool& marked, bool& checked)
{
    wxMenuItem* item = find_bar_item(frame, id);
    if (!item)
        return false;
    marked = item->IsCheckable();
    checked = marked && item->IsChecked();
    return true;
}

void maximize_window(CWnd* frame)
{
    if (auto* native = dynamic_cast<wxFrame*>(detail::native_window(frame)))
        native->Maximize(true);
}

void set_key_filter(key_filter filter)
{
    the_key_filter() = std::move(filter);
}

bool filter_key(CWnd* target, UINT vk, UINT modifiers)
{
    const key_filter& f = the_key_filter();
    return f ? f(target, vk, modifiers) : false;
}

bool accept_files(CWnd* window, bool accept)
{
    wxWindow* native = detail::native_window(window);
    if (!native)
        return false;
    native->SetDropTarget(accept ? new drop_target(window) : nullptr);
    return true;
}

file_dialog_presenter set_file_dialog_presenter(file_dialog_presenter presenter)
{
    file_dialog_presenter previous = g_file_dialog;
    g_file_dialog = presenter;
    return previous;
}

bool file_dialog(const file_dialog_request& request, std::string& path, int& filter_index)
{
    path.clear();
    filter_index = 0;
    if (g_file_dialog)
        return g_file_dialog(request, path, filter_index);
    if (!running())
        return false;
    return native_file_dialog(request, path, filter_index);
}

void use_native_message_box()
{
    if (running())
        set_message_box_presenter(native_message_box);
}

} // namespace platform::gui

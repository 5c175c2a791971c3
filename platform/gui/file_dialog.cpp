#include "platform/gui/file_dialog.h"

#include <cctype>

#include <dlfcn.h>

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filedlgcustomize.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/messages.h"

struct CFileDialog::panel_control {
    enum kind_t { check_box, static_text, choice } kind;
    int id;
    std::string text;
    std::vector<std::string> items;
    bool checked = false;
    int selection = 0;
    bool enabled = true;
    wxFileDialogCheckBox* box = nullptr;
    wxFileDialogChoice* list = nullptr;
};

namespace {

CFileDialog::responder& the_responder()
{
    static CFileDialog::responder r;
    return r;
}

wxString wx_text(const std::string& s)
{
    return wxString::FromUTF8(s);
}

// The few object-system and chooser calls the location field needs, found
// in the process (the toolkit brought them in) rather than built against:
// the toolkit's own headers are not part of this build.
struct chooser_calls {
    using type_id = std::size_t;
    using callback = void (*)();
    unsigned long (*connect)(void*, const char*, callback, void*, void*, int) = nullptr;
    type_id (*type_from_name)(const char*) = nullptr;
    int (*instance_is_a)(void*, type_id) = nullptr;
    void* (*entry_completion)(void*) = nullptr;
    int (*inline_completion)(void*) = nullptr;
    void (*set_inline_completion)(void*, int) = nullptr;
    void* (*get_data)(void*, const char*) = nullptr;
    void (*set_data)(void*, const char*, void*) = nullptr;
    void (*for_all)(void*, void (*)(void*, void*), void*) = nullptr;
    void* (*view_model)(void*) = nullptr;
    void (*set_titles_clickable)(void*, int) = nullptr;
    bool ok = false;

    chooser_calls()
    {
        find(connect, "g_signal_connect_data");
        find(type_from_name, "g_type_from_name");
        find(instance_is_a, "g_type_check_instance_is_a");
        find(entry_completion, "gtk_entry_get_completion");
        find(inline_completion, "gtk_entry_completion_get_inline_completion");
        find(set_inline_completion, "gtk_entry_completion_set_inline_completion");
        find(get_data, "g_object_get_data");
        find(set_data, "g_object_set_data");
        find(for_all, "gtk_container_forall");
        find(view_model, "gtk_tree_view_get_model");
        find(set_titles_clickable, "gtk_tree_view_set_headers_clickable");
        ok = connect && type_from_name && instance_is_a && entry_completion && inline_completion
            && set_inline_completion && get_data && set_data && for_all && view_model && set_titles_clickable;
    }
    template <class F> static void find(F& f, const char* name)
    {
        f = reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
    }
};

const chooser_calls& gtk()
{
    static const chooser_calls calls;
    return calls;
}

constexpr const char* inline_off_mark = "tavelo-inline-completion-off";

// The chooser turns inserting completion on again whenever it has read a
// folder.
void keep_inline_completion_off(void* completion, void*, void*)
{
    if (gtk().inline_completion(completion))
        gtk().set_inline_completion(completion, 0);
}

// The location field is made when the user first types a location, and
// takes the focus before any key reaches it.
void chooser_focus_moved(void*, void* widget, void*)
{
    const chooser_calls& g = gtk();
    if (!widget)
        return;
    const chooser_calls::type_id entry = g.type_from_name("GtkEntry");
    if (!entry || !g.instance_is_a(widget, entry))
        return;
    void* completion = g.entry_completion(widget);
    if (!completion || g.get_data(completion, inline_off_mark))
        return;
    g.set_data(completion, inline_off_mark, completion);
    g.set_inline_completion(completion, 0);
    g.connect(completion, "notify::inline-completion",
        reinterpret_cast<chooser_calls::callback>(&keep_inline_completion_off), nullptr, nullptr, 0);
}

// A list's column titles sort the list the chooser shows; while it reads a
// folder it shows none, and a title clicked then would sort nothing and
// complain. The titles take clicks only while there is a list.
void list_model_changed(void* view, void*, void*)
{
    gtk().set_titles_clickable(view, gtk().view_model(view) != nullptr);
}

void find_lists(void* widget, void*)
{
    const chooser_calls& g = gtk();
    const chooser_calls::type_id list = g.type_from_name("GtkTreeView");
    const chooser_calls::type_id container = g.type_from_name("GtkContainer");
    if (list && g.instance_is_a(widget, list)) {
        list_model_changed(widget, nullptr, nullptr);
        g.connect(widget, "notify::model", reinterpret_cast<chooser_calls::callback>(&list_model_changed),
            nullptr, nullptr, 0);
    } else if (container && g.instance_is_a(widget, container)) {
        g.for_all(widget, &find_lists, nullptr);
    }
}

} // namespace

void platform::gui::detail::prepare_file_chooser(wxWindow* dialog)
{
    const chooser_calls& g = gtk();
    if (!dialog || !g.ok)
        return;
    if (void* window = dialog->GetHandle()) {
        g.connect(window, "set-focus", reinterpret_cast<chooser_calls::callback>(&chooser_focus_moved),
            nullptr, nullptr, 0);
        find_lists(window, nullptr);
    }
}

std::vector<std::pair<std::string, std::string>> parse_file_filter(const std::string& filter)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t at = 0;
    while (at < filter.size()) {
        const std::size_t bar = filter.find('|', at);
        if (bar == std::string::npos || bar == at)
            break;
        std::size_t end = filter.find('|', bar + 1);
        if (end == std::string::npos)
            end = filter.size();
        out.emplace_back(filter.substr(at, bar - at), filter.substr(bar + 1, end - bar - 1));
        at = end + 1;
    }
    return out;
}

std::string with_default_extension(const std::string& path, const std::string& extension)
{
    if (extension.empty() || path.empty())
        return path;
    const std::size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + extension;
}

std::string case_blind_patterns(const std::string& patterns)
{
    std::string out;
    bool in_set = false;
    for (const char c : patterns) {
        const auto u = static_cast<unsigned char>(c);
        if (in_set) {
            in_set = c != ']';
            out += c;
        } else if (c == '[') {
            in_set = true;
            out += c;
        } else if (std::isalpha(u) && u < 0x80) {
            out += '[';
            out += char(std::tolower(u));
            out += char(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

std::string native_file_filter(const std::string& filter)
{
    std::string out;
    for (const auto& [name, patterns] : parse_file_filter(filter))
        out += (out.empty() ? "" : "|") + name + "|" + case_blind_patterns(patterns);
    return out;
}

// Makes the panel in the chooser and keeps our states in step with it.
struct CFileDialog::hook : wxFileDialogCustomizeHook {
    CFileDialog& owner;
    explicit hook(CFileDialog& d)
        : owner(d)
    {
    }
    void AddCustomControls(wxFileDialogCustomize& customizer) override
    {
        for (panel_control& c : owner.m_panel) {
            switch (c.kind) {
            case panel_control::check_box:
                c.box = customizer.AddCheckBox(wx_text(c.text));
                c.box->Bind(wxEVT_CHECKBOX, [this, id = c.id](wxCommandEvent&) { changed(id); });
                break;
            case panel_control::static_text:
                customizer.AddStaticText(wx_text(c.text));
                break;
            case panel_control::choice: {
                std::vector<wxString> items;
                for (const std::string& item : c.items)
                    items.push_back(wx_text(item));
                c.list = customizer.AddChoice(items.size(), items.data());
                c.list->Bind(wxEVT_CHOICE, [this, id = c.id](wxCommandEvent&) { changed(id); });
                break;
            }
            }
            owner.sync(c);
        }
    }
    void changed(int id)
    {
        try {
            if (panel_control* c = owner.find(id)) {
                if (c->box)
                    c->checked = c->box->GetValue();
                if (c->list)
                    c->selection = c->list->GetSelection();
            }
            owner.OnPanelCommand(id);
        } catch (...) {
            platform::gui::report_current_exception();
        }
    }
};

CFileDialog::CFileDialog(bool open, const std::string& default_extension, const std::string& file_name,
    DWORD flags, const std::string& filter, CWnd* parent)
    : m_open(open)
    , m_default_extension(default_extension)
    , m_path(file_name)
    , m_flags(flags)
    , m_filter(filter)
    , m_parent(parent)
{
}

CFileDialog::~CFileDialog() = default;

void CFileDialog::SetResponder(responder r)
{
    the_responder() = std::move(r);
}

int CFileDialog::DoModal()
{
    OnPanelInit();
    if (auto& r = the_responder()) {
        const int answer = r(*this);
        if (answer != IDOK)
            return IDCANCEL;
        if (!m_open)
            m_path = with_default_extension(m_path, m_default_extension);
        return IDOK;
    }
    if (!platform::gui::running() && wxTheApp == nullptr)
        return IDCANCEL;

    const std::string wildcard = native_file_filter(m_filter);
    long style = m_open ? wxFD_OPEN : wxFD_SAVE;
    if (m_flags & OFN_FILEMUSTEXIST)
        style |= wxFD_FILE_MUST_EXIST;
    if (m_flags & OFN_OVERWRITEPROMPT)
        style |= wxFD_OVERWRITE_PROMPT;
    if (!(m_flags & OFN_NOCHANGEDIR))
        style |= wxFD_CHANGE_DIR;
    wxWindow* owner = platform::gui::detail::dialog_owner(m_parent);
    const std::size_t slash = m_path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : m_path.substr(0, slash);
    const std::string name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
    std::string title = m_title;
    if (title.empty())
        title = m_open ? "Open" : "Save As";
    wxFileDialog dialog(owner, wx_text(title), wx_text(folder), wx_text(name), wx_text(wildcard), style);
    if (m_filter_index >= 1)
        dialog.SetFilterIndex(m_filter_index - 1);
    hook h(*this);
    if (!m_panel.empty())
        dialog.SetCustomizeHook(h);
    platform::gui::detail::prepare_file_chooser(&dialog);
    platform::gui::detail::end_capture_for_modal();
    const int answer = dialog.ShowModal();
    for (panel_control& c : m_panel) {
        c.box = nullptr;
        c.list = nullptr;
    }
    if (answer != wxID_OK)
        return IDCANCEL;
    m_filter_index = dialog.GetFilterIndex() + 1;
    m_path = dialog.GetPath().utf8_string();
    if (!m_open)
        m_path = with_default_extension(m_path, m_default_extension);
    return IDOK;
}

CFileDialog::panel_control* CFileDialog::find(int id)
{
    for (panel_control& c : m_panel)
        if (c.id == id && c.kind != panel_control::static_text)
            return &c;
    return nullptr;
}

const CFileDialog::panel_control* CFileDialog::find(int id) const
{
    return const_cast<CFileDialog*>(this)->find(id);
}

void CFileDialog::sync(panel_control& c)
{
    if (c.box) {
        c.box->SetValue(c.checked);
        c.box->Enable(c.enabled);
    }
    if (c.list) {
        c.list->SetSelection(c.selection);
        c.list->Enable(c.enabled);
    }
}

void CFileDialog::AddCheckBox(int id, const std::string& text)
{
    m_panel.push_back({ panel_control::check_box, id, text, {} });
}

void CFileDialog::AddStaticText(const std::string& text)
{
    m_panel.push_back({ panel_control::static_text, -1, text, {} });
}

void CFileDialog::AddChoice(int id, const std::vector<std::string>& items)
{
    m_panel.push_back({ panel_control::choice, id, {}, items });
}

void CFileDialog::CheckItem(int id, bool checked)
{
    if (panel_control* c = find(id)) {
        c->checked = checked;
        sync(*c);
    }
}

bool CFileDialog::IsItemChecked(int id) const
{
    const panel_control* c = find(id);
    return c && c->checked;
}

void CFileDialog::SetSelection(int id, int index)
{
    panel_control* c = find(id);
    if (c && index >= 0 && std::size_t(index) < c->items.size()) {
        c->selection = index;
        sync(*c);
    }
}

int CFileDialog::GetSelection(int id) const
{
    const panel_control* c = find(id);
    return c ? c->selection : -1;
}

void CFileDialog::EnableItem(int id, bool enabled)
{
    if (panel_control* c = find(id)) {
        c->enabled = enabled;
        sync(*c);
    }
}

bool CFileDialog::IsItemEnabled(int id) const
{
    const panel_control* c = find(id);
    return c && c->enabled;
}

void CFileDialog::Click(int id)
{
    panel_control* c = find(id);
    if (!c || !c->enabled || c->kind != panel_control::check_box)
        return;
    c->checked = !c->checked;
    sync(*c);
    OnPanelCommand(id);
}

void CFileDialog::Select(int id, int index)
{
    panel_control* c = find(id);
    if (!c || !c->enabled || c->kind != panel_control::choice || index < 0
        || std::size_t(index) >= c->items.size())
        return;
    c->selection = index;
    sync(*c);
    OnPanelCommand(id);
}

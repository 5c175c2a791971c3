#include "platform/gui/detail/menu_text.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <string_view>
#include <utility>

#include <dlfcn.h>

#include <wx/menuitem.h>
#include <wx/string.h>

#include "platform/gui/shell.h"

namespace platform::gui::detail {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool same_word(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

unsigned modifier_of(std::string_view word)
{
    if (same_word(word, "Ctrl") || same_word(word, "Control"))
        return MOD_CONTROL;
    if (same_word(word, "Shift"))
        return MOD_SHIFT;
    if (same_word(word, "Alt"))
        return MOD_ALT;
    return 0;
}

// Keys written as words, and the window system's names for them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 23> named_keys { {
    { "Del", "Delete" },
    { "Delete", "Delete" },
    { "Ins", "Insert" },
    { "Insert", "Insert" },
    { "Enter", "Return" },
    { "Return", "Return" },
    { "Esc", "Escape" },
    { "Escape", "Escape" },
    { "Space", "space" },
    { "Backspace", "BackSpace" },
    { "Back", "BackSpace" },
    { "Home", "Home" },
    { "End", "End" },
    { "PgUp", "Page_Up" },
    { "Page Up", "Page_Up" },
    { "PageUp", "Page_Up" },
    { "PgDn", "Page_Down" },
    { "Page Down", "Page_Down" },
    { "PageDown", "Page_Down" },
    { "Left", "Left" },
    { "Right", "Right" },
    { "Up", "Up" },
    { "Down", "Down" },
} };

// Characters typed as they are, and the window system's names for them.
constexpr std::array<std::pair<char, std::string_view>, 5> punctuation_keys { {
    { '+', "plus" },
    { '-', "minus" },
    { '=', "equal" },
    { '[', "bracketleft" },
    { ']', "bracketright" },
} };

// The numeric pad's keys after "Num".
constexpr std::array<std::pair<std::string_view, std::string_view>, 2> pad_keys { {
    { "+", "KP_Add" },
    { "-", "KP_Subtract" },
} };

std::string key_name(std::string_view key)
{
    if (key.empty())
        return {};
    if (key.size() == 1) {
        const char c = key[0];
        if (c >= 'A' && c <= 'Z')
            return std::string(1, char(c - 'A' + 'a'));
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            return std::string(key);
        for (const auto& [typed, name] : punctuation_keys)
            if (typed == key[0])
                return std::string(name);
        return {};
    }
    for (const auto& [word, name] : named_keys)
        if (same_word(key, word))
            return std::string(name);
    if ((key[0] == 'F' || key[0] == 'f') && key.size() <= 3) {
        int n = 0;
        for (char c : key.substr(1)) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return {};
            n = n * 10 + (c - '0');
        }
        if (key[1] == '0' || n < 1 || n > 24)
            return {};
        std::string name = "F";
        name += std::to_string(n);
        return name;
    }
    if (key.size() > 3 && same_word(key.substr(0, 3), "Num")) {
        const std::string_view pad = trimmed(key.substr(3));
        if (pad.size() == 1 && std::isdigit(static_cast<unsigned char>(pad[0]))) {
            std::string name = "KP_";
            name += pad;
            return name;
        }
        for (const auto& [typed, name] : pad_keys)
            if (same_word(pad, typed))
                return std::string(name);
    }
    return {};
}

// The window system's calls the column needs, found in the process (the
// toolkit brought them in) rather than built against: the toolkit's own
// headers are not part of this build.
struct column_calls {
    using type_id = std::size_t;
    void* (*bin_child)(void*) = nullptr;
    type_id (*type_from_name)(const char*) = nullptr;
    int (*instance_is_a)(void*, type_id) = nullptr;
    unsigned (*keyval_from_name)(const char*) = nullptr;
    void (*set_accel)(void*, unsigned, unsigned) = nullptr;
    bool ok = false;

    column_calls()
    {
        find(bin_child, "gtk_bin_get_child");
        find(type_from_name, "g_type_from_name");
        find(instance_is_a, "g_type_check_instance_is_a");
        find(keyval_from_name, "gdk_keyval_from_name");
        find(set_accel, "gtk_accel_label_set_accel");
        ok = bin_child && type_from_name && instance_is_a && keyval_from_name && set_accel;
    }
    template <class F> static void find(F& f, const char* name)
    {
        f = reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
    }
};

const column_calls& gtk()
{
    static const column_calls calls;
    return calls;
}

// The window system's modifier bits (shift, control, the first modifier
// that Alt is) and its answer for a name it does not know.
constexpr unsigned shift_mask = 1u << 0;
constexpr unsigned control_mask = 1u << 2;
constexpr unsigned alt_mask = 1u << 3;
constexpr unsigned void_symbol = 0xFFFFFF;

unsigned native_modifiers(unsigned modifiers)
{
    return ((modifiers & MOD_SHIFT) ? shift_mask : 0) | ((modifiers & MOD_CONTROL) ? control_mask : 0)
        | ((modifiers & MOD_ALT) ? alt_mask : 0);
}

} // namespace

menu_text split_menu_text(const std::string& text)
{
    menu_text t;
    const auto tab = text.find('\t');
    if (tab == std::string::npos) {
        t.label = text;
        return t;
    }
    t.label = text.substr(0, tab);
    std::string_view hint = trimmed(std::string_view(text).substr(tab + 1));
    if (hint.empty())
        return t;
    std::string_view rest = hint;
    unsigned modifiers = 0;
    // A "+" at the start is the key itself ("Ctrl++", "+").
    for (auto plus = rest.find('+'); plus != std::string_view::npos && plus > 0; plus = rest.find('+')) {
        const unsigned m = modifier_of(trimmed(rest.substr(0, plus)));
        if (m == 0)
            break;
        modifiers |= m;
        rest = rest.substr(plus + 1);
    }
    t.key = key_name(trimmed(rest));
    if (t.key.empty()) {
        // Shown as it stands rather than lost.
        t.label += "    ";
        t.label += hint;
        return t;
    }
    t.modifiers = modifiers;
    return t;
}

wxString menu_label(const std::string& text)
{
    return wxString::FromUTF8(split_menu_text(text).label);
}

void show_key_hint(wxMenuItem* item, const std::string& text)
{
    const column_calls& g = gtk();
    void* widget = item ? item->GetMenuItem() : nullptr;
    if (!g.ok || !widget)
        return;
    // The label a menu item is made with shows its accelerator column.
    void* label = g.bin_child(widget);
    const column_calls::type_id type = g.type_from_name("GtkAccelLabel");
    if (!label || !type || !g.instance_is_a(label, type))
        return;
    const menu_text t = split_menu_text(text);
    unsigned key = t.key.empty() ? 0 : g.keyval_from_name(t.key.c_str());
    if (key == void_symbol)
        key = 0;
    g.set_accel(label, key, key ? native_modifiers(t.modifiers) : 0);
}

} // namespace platform::gui::detail

#include "lumvex/dialogs/cache_settings_dialog.h"

#include "lumvex/cache/cache_system.h"
#include "lumvex/dialogs/cache_settings_form.h"
#include "platform/gui/folder_dialog.h"
#include "platform/gui/message_box.h"
#include "platform/gui/messages.h"

namespace lumvex {

namespace {

using D = cache_settings_dialog;

// Dialog 1000, in dialog units.
dialog_template layout()
{
    using c = dialog_control;
    return { "Cache Settings", 267, 246,
        {
            { c::group_box, -1, "In-Memory Cache", 7, 7, 253, 72 },
            { c::static_text, -1, "Total system memory (RAM size):", 14, 21, 120, 8 },
            { c::read_only_edit, D::id_ram, "", 140, 19, 50, 12 },
            { c::static_text, -1, "Mb", 194, 21, 20, 8 },
            { c::static_text, -1, "Maximum allowed cache size:", 14, 37, 120, 8 },
            { c::edit, D::id_memory_quota, "", 140, 35, 50, 12 },
            { c::static_text, -1, "Mb", 194, 37, 20, 8 },
            { c::static_text, -1, "Current cache usage:", 14, 53, 120, 8 },
            { c::read_only_edit, D::id_memory_used, "", 140, 51, 50, 12 },
            { c::static_text, -1, "Mb", 194, 53, 14, 8 },
            { c::read_only_edit, D::id_memory_count, "", 140, 64, 50, 12 },
            { c::static_text, -1, "items", 194, 66, 24, 8 },
            { c::push_button, D::id_memory_purge, "Purge", 214, 35, 40, 14 },
            { c::group_box, -1, "On-Disc Cache", 7, 84, 253, 108 },
            { c::static_text, -1, "Location (do not use that folder for other aims):", 14, 96, 240, 8 },
            { c::read_only_edit, D::id_disc_root, "", 14, 107, 240, 12 },
            { c::push_button, D::id_change_root, "Change Location...", 174, 122, 80, 14 },
            { c::check_box, D::id_erase, "Erase contents on exit", 14, 124, 150, 10 },
            { c::static_text, -1, "Maximum allowed cache size:", 14, 143, 120, 8 },
            { c::edit, D::id_disc_quota, "", 140, 141, 50, 12 },
            { c::static_text, -1, "Mb", 194, 143, 20, 8 },
            { c::static_text, -1, "Current cache usage:", 14, 159, 120, 8 },
            { c::read_only_edit, D::id_disc_used, "", 140, 157, 50, 12 },
            { c::static_text, -1, "Mb", 194, 159, 14, 8 },
            { c::read_only_edit, D::id_disc_count, "", 140, 172, 50, 12 },
            { c::static_text, -1, "items", 194, 174, 24, 8 },
            { c::push_button, D::id_disc_purge, "Purge", 214, 141, 40, 14 },
            { c::group_box, -1, "AVI Footages with Rare Keyframes", 7, 197, 253, 26 },
            { c::static_text, -1, "Prefetch frames:", 14, 209, 120, 8 },
            { c::edit, D::id_prefetch, "", 140, 207, 50, 12 },
            { c::default_button, IDOK, "OK", 103, 228, 50, 14 },
            { c::push_button, D::id_apply, "Apply", 157, 228, 50, 14, false, true },
            { c::push_button, IDCANCEL, "Cancel", 210, 228, 50, 14 },
        } };
}

} // namespace

cache_settings_dialog::cache_settings_dialog(cache_system& system, CWnd* parent)
    : CDialog(layout(), parent)
    , m_system(system)
{
}

void cache_settings_dialog::OnInitDialog()
{
    fill();
    SetTimer(refresh_timer, 1000);
}

void cache_settings_dialog::refresh()
{
    if (!m_modified)
        fill();
}

void cache_settings_dialog::OnTimer(unsigned id)
{
    if (id == refresh_timer)
        refresh();
}

void cache_settings_dialog::fill()
{
    const cache_settings s = m_system.settings();
    SetDlgItemText(id_ram, megabytes_text(m_system.limits().ram));
    SetDlgItemText(id_memory_quota, megabytes_text(s.memory_quota));
    SetDlgItemText(id_memory_used, megabytes_text(s.memory_used));
    SetDlgItemText(id_memory_count, std::to_string(s.memory_count));
    m_root = s.disc_root;
    SetDlgItemText(id_disc_root, m_root);
    CheckDlgButton(id_erase, s.erase_on_exit);
    SetDlgItemText(id_disc_quota, megabytes_text(s.disc_quota));
    SetDlgItemText(id_disc_used, megabytes_text(s.disc_used));
    SetDlgItemText(id_disc_count, std::to_string(s.disc_count));
    SetDlgItemText(id_prefetch, std::to_string(s.prefetch_frames));
    m_modified = false;
    EnableItem(id_apply, false);
}

void cache_settings_dialog::touched()
{
    m_modified = true;
    EnableItem(id_apply, true);
}

bool cache_settings_dialog::apply()
{
    const auto memory_quota = megabytes_entry(GetDlgItemText(id_memory_quota));
    const auto disc_quota = megabytes_entry(GetDlgItemText(id_disc_quota));
    if (!memory_quota || !disc_quota) {
        platform::MessageBox("Please enter a cache size of zero or more megabytes.",
            platform::MB_ICONEXCLAMATION | platform::MB_OK);
        return false;
    }
    // The folder may have changed since it was chosen.
    if (const std::string refusal = disc_folder_refusal(m_root, m_system.settings().disc_root);
        !refusal.empty()) {
        platform::MessageBox(refusal, platform::MB_ICONEXCLAMATION | platform::MB_OK);
        return false;
    }
    cache_settings s;
    s.memory_quota = *memory_quota;
    // The folder as shown or chosen, byte for byte: a root that the user did
    // not change compares equal and the disc cache stays where it is.
    s.disc_root = m_root;
    s.erase_on_exit = IsDlgButtonChecked(id_erase);
    s.disc_quota = *disc_quota;
    s.prefetch_frames = count_entry(GetDlgItemText(id_prefetch));
    m_system.set_settings(s);
    m_system.save(s);
    fill();
    return true;
}

void cache_settings_dialog::change_root()
{
    const std::string current = m_system.settings().disc_root;
    std::string folder = GetDlgItemText(id_disc_root);
    if (!BrowseForFolder("Choose Directory for Disc Cache Deployment", folder, this->GetParent()))
        return;
    if (const std::string refusal = disc_folder_refusal(folder, current); !refusal.empty()) {
        platform::MessageBox(refusal, platform::MB_ICONEXCLAMATION | platform::MB_OK);
        return;
    }
    m_root = with_trailing_separator(folder);
    SetDlgItemText(id_disc_root, m_root);
    touched();
}

void cache_settings_dialog::OnCommand(int id, int code)
{
    switch (id) {
    case id_memory_purge:
        if (code == BN_CLICKED) {
            m_system.memory().purge();
            fill();
        }
        return;
    case id_disc_purge:
        if (code == BN_CLICKED) {
            m_system.purge_disc();
            fill();
        }
        return;
    case id_erase:
        if (code == BN_CLICKED)
            touched();
        return;
    case id_memory_quota:
    case id_disc_quota:
    case id_prefetch:
        if (code == EN_SETFOCUS)
            touched();
        return;
    case id_apply:
        if (code == BN_CLICKED && IsItemEnabled(id_apply))
            apply();
        return;
    case id_change_root:
        if (code == BN_CLICKED)
            change_root();
        return;
    default:
        CDialog::OnCommand(id, code);
    }
}

void cache_settings_dialog::OnOK()
{
    if (apply())
        CDialog::OnOK();
}

} // namespace lumvex

#include "vortel/settings_dialog.h"

#include "platform/gui/messages.h"
#include "vortel/settings.h"

#include <cctype>

namespace vortel {

namespace {

// Dialog 1001, in dialog units.
dialog_template layout()
{
    using c = dialog_control;
    return { "Rendering Settings", 198, 177,
        {
            { c::group_box, -1, "General", 7, 7, 184, 62 },
            { c::static_text, -1, "Format:", 14, 21, 56, 8 },
            { c::drop_list, settings_dialog::id_format, "", 74, 19, 110, 80, true },
            { c::static_text, -1, "Alpha Channel:", 14, 37, 56, 8 },
            { c::check_box, settings_dialog::id_alpha, "", 74, 36, 10, 10 },
            { c::static_text, -1, "(if supported by particular format and encoder)", 88, 33, 98, 16 },
            { c::static_text, -1, "Field Render:", 14, 53, 56, 8 },
            { c::drop_list, settings_dialog::id_field, "", 74, 51, 110, 60 },
            { c::group_box, -1, "AVI Encoder", 7, 74, 184, 76 },
            { c::static_text, -1, "Active:", 14, 88, 56, 8 },
            { c::drop_list, settings_dialog::id_encoder, "", 74, 86, 110, 80, true },
            { c::static_text, -1, "Description:", 14, 104, 56, 8 },
            { c::static_text, settings_dialog::id_description, "", 74, 104, 110, 24 },
            { c::push_button, settings_dialog::id_about, "About...", 74, 130, 52, 14, false, true },
            { c::push_button, settings_dialog::id_configure, "Configure...", 132, 130, 52, 14, false, true },
            { c::default_button, IDOK, "OK", 84, 156, 50, 14 },
            { c::push_button, IDCANCEL, "Cancel", 141, 156, 50, 14 },
        } };
}

const char* const formats[] = { "AVI file", "BMP sequence", "GIF sequence", "JPEG sequence", "PNG sequence",
    "TGA sequence", "TIFF sequence" };
const char* const field_modes[] = { "Off", "Upper First", "Lower First" };

} // namespace

settings_dialog::settings_dialog(settings& edited, CWnd* parent)
    : CDialog(layout(), parent)
    , m_settings(edited)
    , m_coder(edited.encoder)
{
}

settings_dialog::~settings_dialog() = default;

std::string settings_dialog::format_of_item(const std::string& item)
{
    std::string out;
    for (char ch : item) {
        if (ch == ' ')
            break;
        out += char(std::tolower(static_cast<unsigned char>(ch)));
    }
    return out;
}

int settings_dialog::add_encoder(const std::string& name, std::uint32_t code)
{
    const int at = AddString(id_encoder, name);
    if (at >= 0)
        m_codes.insert(m_codes.begin() + at, code);
    return at;
}

void settings_dialog::OnInitDialog()
{
    for (const char* f : formats)
        AddString(id_format, f);
    for (const char* f : field_modes)
        AddString(id_field, f);
    if (m_coder.is_open())
        SetCurSel(id_encoder, add_encoder(m_coder.info()->name, m_coder.info()->handler()));
    // The list is complete before it is first shown: the window system
    // opens no empty list with a click, and one that is filled while it is
    // open stays drawn empty.
    on_encoder_drop_down();
    show_settings();
    update_controls();
}

void settings_dialog::show_settings()
{
    const int found = FindString(id_format, m_settings.format);
    SetCurSel(id_format, found == CB_ERR ? 1 : found);
    CheckDlgButton(id_alpha, m_settings.alpha);
    SetCurSel(id_field, m_settings.field);
}

void settings_dialog::update_controls()
{
    const bool avi = GetCurSel(id_format) == 0;
    EnableItem(IDOK, !avi || GetCurSel(id_encoder) != CB_ERR);
    EnableItem(id_encoder, avi);
    EnableItem(id_description, avi);
    if (m_coder.is_open()) {
        const img::avi::coder_info& info = *m_coder.info();
        SetDlgItemText(id_description, info.description);
        EnableItem(id_about, avi && info.has_about);
        EnableItem(id_configure, avi && info.has_configure);
    } else {
        EnableItem(id_about, false);
        EnableItem(id_configure, false);
    }
}

void settings_dialog::on_encoder_drop_down()
{
    if (m_enumerated)
        return;
    m_enumerated = true;
    img::avi::enumerate_coders(m_records, img::avi::probe_width, img::avi::probe_height);
    for (const img::avi::coder_info& record : m_records) {
        bool listed = false;
        for (std::uint32_t code : m_codes)
            listed = listed || code == record.handler();
        if (!listed)
            add_encoder(record.name, record.handler());
    }
}

void settings_dialog::on_encoder_change()
{
    const int selected = GetCurSel(id_encoder);
    if (selected == CB_ERR)
        return;
    const std::uint32_t code = m_codes[std::size_t(selected)];
    // The current compressor, listed before any enumeration, keeps the
    // dialog's coder as it is.
    for (const img::avi::coder_info& record : m_records) {
        if (record.handler() != code)
            continue;
        if (!m_coder.is_open() || m_coder.info() != &record) {
            m_coder.open(record);
            settings::read_encoder_state(m_coder);
        }
        break;
    }
    update_controls();
}

void settings_dialog::OnCommand(int id, int code)
{
    if (id == id_format && code == CBN_SELCHANGE)
        update_controls();
    else if (id == id_encoder && code == CBN_DROPDOWN)
        on_encoder_drop_down();
    else if (id == id_encoder && code == CBN_SELCHANGE)
        on_encoder_change();
    else
        CDialog::OnCommand(id, code);
}

void settings_dialog::OnOK()
{
    if (!IsItemEnabled(IDOK))
        return;
    m_settings.format = format_of_item(GetDlgItemText(id_format));
    m_settings.alpha = IsDlgButtonChecked(id_alpha);
    m_settings.field = GetCurSel(id_field) == CB_ERR ? 0 : GetCurSel(id_field);
    if (m_coder.is_open()) {
        std::vector<unsigned char> state;
        m_coder.get_state(state);
        // The settings' compressor refers to the settings' own record.
        if (m_coder.info() != &m_settings.encoder_info)
            m_settings.encoder_info = *m_coder.info();
        m_settings.encoder.open(m_settings.encoder_info);
        m_settings.encoder.set_state(state);
    } else {
        m_settings.encoder.close();
    }
    CDialog::OnOK();
}

} // namespace vortel

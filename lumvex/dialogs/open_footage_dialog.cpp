#include "lumvex/dialogs/open_footage_dialog.h"

namespace lumvex {

open_footage_dialog::open_footage_dialog(
    const std::string& default_extension, const std::string& filter, bool allow_still, CWnd* parent)
    : CFileDialog(true, default_extension, std::string(),
        OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING, filter, parent)
    , m_allow_still(allow_still)
{
    AddCheckBox(id_still, "Load as Still Image");
    AddStaticText("Deinterlace Fields");
    AddChoice(id_fields, { "Off", "Upper First", "Lower First" });
    AddStaticText("Method");
    AddChoice(id_method, { "Duplicate", "Interpolate" });
}

open_footage_dialog::enabling open_footage_dialog::enable_rule(
    bool allow_still, bool load_as_still, int fields)
{
    return { allow_still, !load_as_still, !load_as_still && fields != 0 };
}

void open_footage_dialog::apply_enable_rule()
{
    const enabling e = enable_rule(m_allow_still, m_load_as_still, m_fields);
    EnableItem(id_still, e.still);
    EnableItem(id_fields, e.fields);
    EnableItem(id_method, e.method);
}

void open_footage_dialog::OnPanelInit()
{
    CheckItem(id_still, m_load_as_still);
    SetSelection(id_fields, m_fields);
    SetSelection(id_method, m_method);
    apply_enable_rule();
}

void open_footage_dialog::OnPanelCommand(int)
{
    m_load_as_still = IsItemChecked(id_still);
    m_fields = GetSelection(id_fields);
    m_method = GetSelection(id_method);
    apply_enable_rule();
}

} // namespace lumvex

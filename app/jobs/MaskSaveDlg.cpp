#include "app/jobs/MaskSaveDlg.h"

namespace {

constexpr DWORD kFlags
    = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
// The panel below the file list and the explorer style it needs.
constexpr DWORD kEnableTemplate = 0x00000040;

} // namespace

MaskSaveDlg::MaskSaveDlg(const std::string& default_extension, const std::string& file_name,
    const std::string& filter, bool show_greyscale_option, CWnd* parent)
    : CFileDialog(false, default_extension, file_name,
        show_greyscale_option ? kFlags | OFN_EXPLORER | kEnableTemplate : kFlags, filter, parent)
    , m_option(show_greyscale_option)
{
    if (m_option)
        AddCheckBox(kGreyscaleId, "Export Masks as Greyscale");
}

void MaskSaveDlg::OnPanelInit()
{
    if (m_option)
        CheckItem(kGreyscaleId, m_greyscale);
}

void MaskSaveDlg::OnPanelCommand(int id)
{
    if (m_option && id == kGreyscaleId)
        m_greyscale = IsItemChecked(kGreyscaleId);
}

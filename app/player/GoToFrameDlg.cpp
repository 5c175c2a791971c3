#include "app/player/GoToFrameDlg.h"

#include "app/player/TimeControls.h"
#include "document/composition/Sequence.h"
#include "platform/gui/message_box.h"

namespace My {

namespace {

dialog_template Layout()
{
    using c = dialog_control;
    return { "Go to Frame", 156, 46,
        {
            { c::static_text, -1, "Frame #", 7, 9, 40, 8 },
            { c::edit, GoToFrameDlg::kFrameItem, "", 50, 7, 99, 12 },
            { c::default_button, platform::IDOK, "OK", 45, 26, 50, 14 },
            { c::push_button, platform::IDCANCEL, "Cancel", 99, 26, 50, 14 },
        } };
}

} // namespace

GoToFrameDlg::GoToFrameDlg(int value, CWnd* parent)
    : CDialog(Layout(), parent)
    , m_value(value)
{
}

void GoToFrameDlg::OnInitDialog()
{
    SetDlgItemText(kFrameItem, std::to_string(m_value));
}

void GoToFrameDlg::OnOK()
{
    const auto value = ParseFrameText(GetDlgItemText(kFrameItem));
    if (!value) {
        platform::MessageBox("Please enter an integer.", platform::MB_ICONEXCLAMATION | platform::MB_OK);
        Focus(kFrameItem);
        return;
    }
    m_value = *value;
    EndDialog(platform::IDOK);
}

bool RunGoToFrame(Sequence& sequence, CWnd* parent)
{
    if (sequence.IsEmpty())
        return false;
    GoToFrameDlg dialog(GoToFrameStartValue(sequence), parent);
    if (dialog.DoModal() != platform::IDOK)
        return false;
    GoToFrameAnswer(sequence, dialog.GetValue());
    return true;
}

} // namespace My

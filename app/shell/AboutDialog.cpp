#include "app/shell/AboutDialog.h"

#include "platform/gui/messages.h"

namespace {

dialog_template Layout(const std::string& product)
{
    using c = dialog_control;
    return { "About " + product, 200, 66,
        {
            { c::static_text, -1, product + " Version 1.0", 10, 10, 130, 10 },
            { c::static_text, -1, "Built on", 10, 26, 36, 10 },
            { c::static_text, AboutDialog::id_build_date, "", 48, 26, 90, 10 },
            { c::default_button, IDOK, "OK", 144, 8, 48, 14 },
        } };
}

} // namespace

AboutDialog::AboutDialog(const std::string& product, const std::string& date, CWnd* parent)
    : CDialog(Layout(product), parent)
    , m_date(date)
{
}

void AboutDialog::OnInitDialog()
{
    SetDlgItemText(id_build_date, m_date);
}

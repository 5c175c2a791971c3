#include <gtest/gtest.h>

#include "app/shell/AboutDialog.h"
#include "platform/gui/messages.h"

namespace {

struct ResponderScope {
    explicit ResponderScope(CDialog::responder r) { CDialog::SetResponder(std::move(r)); }
    ~ResponderScope() { CDialog::SetResponder({}); }
};

TEST(AboutDialog, ShowsTheProductVersionAndTheBuildDateWhenItOpens)
{
    std::string date;
    ResponderScope scope([&](CDialog& d) {
        date = d.GetDlgItemText(AboutDialog::id_build_date);
        d.EndDialog(IDOK);
    });
    AboutDialog dialog("Tavelo", "2026.12.09", nullptr);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(date, "2026.12.09");
}

} // namespace

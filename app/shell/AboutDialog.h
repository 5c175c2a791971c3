#pragma once

// The About box: the product name, "Version 1.0" and, beside "Built on",
// the running executable's build date written into item 1009 when the box
// opens. Modal, UI thread only.

#include "platform/gui/dialog.h"

#include <string>

class AboutDialog : public CDialog {
public:
    enum : int { id_build_date = 1009 };

    // `date` is shown beside "Built on" (year.month.day; empty when unknown).
    AboutDialog(const std::string& product, const std::string& date, CWnd* parent);

protected:
    void OnInitDialog() override;

private:
    std::string m_date;
};

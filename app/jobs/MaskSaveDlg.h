#pragma once

// The save dialog of a mask export: the common file dialog, with the check
// box "Export Masks as Greyscale" below the file list when the export
// offers it. UI thread only.

#include "platform/gui/file_dialog.h"

class MaskSaveDlg : public CFileDialog {
public:
    static constexpr int kGreyscaleId = 1001;

    MaskSaveDlg(const std::string& default_extension, const std::string& file_name, const std::string& filter,
        bool show_greyscale_option, CWnd* parent);

    // Shown by the check box when the dialog opens; follows it while open.
    bool m_greyscale = false;

protected:
    void OnPanelInit() override;
    void OnPanelCommand(int id) override;

private:
    bool m_option;
};

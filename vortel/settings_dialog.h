#pragma once

// The "Rendering Settings" dialog: output format, alpha channel, field
// rendering and the AVI compressor of a settings object. It works on its
// own copy of the compressor, so that Cancel leaves the settings' compressor
// and its state as they were; OK copies everything back into the settings'
// own compressor record.
//
// The compressor list offers each compressor once, keyed by its handler
// code: the current compressor first, then those enumerated (once per
// dialog, when it starts) whose code is not listed yet. Errors of opening a
// compressor or reading its state pass on.

#include "platform/gui/dialog.h"
#include "vortel/avi_coder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vortel {

class settings;

class settings_dialog : public CDialog {
public:
    enum : int {
        id_format = 1006,
        id_alpha = 1008,
        id_field = 1009,
        id_encoder = 1010,
        id_description = 1011,
        id_about = 1012,
        id_configure = 1013,
    };

    settings_dialog(settings& edited, CWnd* parent);
    ~settings_dialog() override;

    // The dialog's own compressor (tests).
    const img::avi::coder& own_coder() const { return m_coder; }

    // The format an item of the format list stands for: its text in lower
    // case up to the first blank ("JPEG sequence" gives "jpeg").
    static std::string format_of_item(const std::string& item);

protected:
    void OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnOK() override;

private:
    void show_settings();
    void update_controls();
    void on_encoder_drop_down();
    void on_encoder_change();
    int add_encoder(const std::string& name, std::uint32_t code);

    settings& m_settings;
    // The codes of the encoder list's items, in the list's order.
    std::vector<std::uint32_t> m_codes;
    // The enumerated compressors; filled once, when the dialog starts.
    std::vector<img::avi::coder_info> m_records;
    bool m_enumerated = false;
    img::avi::coder m_coder;
};

} // namespace vortel

#pragma once

// The "Open Footage" file dialog: the file chooser with a panel in which the
// user may load the chosen file as a single still image (when the caller
// allows it) and choose a deinterlacing of the footage. After OK the caller
// reads the path and the panel's choices.

#include "lumvex/footage/footage.h"
#include "platform/gui/file_dialog.h"

namespace lumvex {

class open_footage_dialog : public CFileDialog {
public:
    enum : int { id_still = 1000, id_fields = 1006, id_method = 1007 };

    open_footage_dialog(
        const std::string& default_extension, const std::string& filter, bool allow_still, CWnd* parent);

    bool load_as_still() const { return m_load_as_still; }
    deinterlace_fields fields() const { return deinterlace_fields(m_fields); }
    deinterlace_method method() const { return deinterlace_method(m_method); }

    // Which panel controls are enabled: the still-image box exactly when
    // allowed; the field order unless loading a still image; the method
    // when, besides, a field order other than "Off" is chosen.
    struct enabling {
        bool still;
        bool fields;
        bool method;
    };
    static enabling enable_rule(bool allow_still, bool load_as_still, int fields);

protected:
    void OnPanelInit() override;
    void OnPanelCommand(int id) override;

private:
    void apply_enable_rule();

    bool m_allow_still;
    bool m_load_as_still = false;
    int m_fields = 0;
    int m_method = 0;
};

} // namespace lumvex

#pragma once

// A tool bar: a strip of command buttons in groups. Each button sends its
// command to the main window when clicked, and takes its enabled, checked
// and tooltip state from the command-update handlers of the frame that
// holds the bar's host window (a My::CommandTarget); a command that the
// frame does not handle at all is shown disabled.

#include <cstdint>
#include <string>
#include <vector>

#include "widgets/controls/Button.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/CommandMap.h"
#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"

namespace My {

class ToolBar;

class ToolButton : public Button {
public:
    // Loads the glyph `glyph` with the mask `glyph` + "_MASK" (normal and
    // greyed) and the tooltip text from the string table entry `command`,
    // and joins the bar's children.
    ToolButton(ToolBar* bar, std::uint32_t command, const std::string& glyph);

    // Sends WM_COMMAND with the command to the main window, then refreshes
    // the button's own state.
    void Click() override;
    void OnUpdateUI() override;
    std::string GetToolTipText() const override;
    CRect GetBounds() const override;
    void Draw(CDC& dc, const CRect& clip) override;

    std::uint32_t GetCommand() const { return m_command; }
    bool IsEnabled() const override { return m_enabled; }
    int GetCheck() const { return m_check; }
    void SetPosition(int position) { m_position = position; }
    int GetPosition() const { return m_position; }

    // What the command-update handlers set.
    void SetEnabledState(bool enabled);
    void SetCheckState(int check);
    void SetToolTipText(const std::string& text);

private:
    ToolBar* m_bar;
    std::uint32_t m_command;
    SysColorGlyph m_glyph;
    GrayedGlyph m_grayed;
    int m_position = 0;
    bool m_enabled = true;
    int m_check = 0;
    std::string m_tip;
};

// The command-update object of one tool button.
class ToolButtonCmdUI : public CommandUI {
public:
    explicit ToolButtonCmdUI(ToolButton& button)
        : m_button(button)
    {
    }

    void Enable(bool enabled) override;
    void SetCheck(int check) override;
    void SetRadio(bool on) override;
    void SetText(const std::string& text) override;
    bool IsMenuItem() const override { return false; }

    bool WasEnabledSet() const { return m_enableSet; }

private:
    ToolButton& m_button;
    bool m_enableSet = false;
};

class ToolBar : public Widget, public Container {
public:
    enum Orientation { Horizontal = 0, Vertical = 1 };

    struct Entry {
        std::uint32_t command; // 0: a separator
        const char* glyph;
    };

    explicit ToolBar(int orientation = Horizontal);
    ~ToolBar() override;

    // Re-lays out when either changed.
    void SetButtonSize(int width, int height);
    // Replaces the buttons: one per entry with a command, a separator for
    // each entry with command 0.
    void SetButtons(const Entry* entries, int count);

    CSize GetPreferredSize() const override;
    void Draw(CDC& dc, const CRect& clip) override;
    void Layout() override;

    int GetOrientation() const { return m_orientation; }
    CSize GetButtonSize() const { return CSize(m_buttonWidth, m_buttonHeight); }
    int GetLength() const { return m_length; }
    // The entries in order; null for a separator.
    const std::vector<ToolButton*>& GetButtons() const { return m_buttons; }

    static constexpr int separator_size = 6;

private:
    void DeleteButtons();

    std::vector<ToolButton*> m_buttons;
    int m_orientation;
    int m_buttonWidth = 0;
    int m_buttonHeight = 0;
    int m_length = 0;
};

} // namespace My

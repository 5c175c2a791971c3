#include "widgets/controls/ToolBar.h"

#include <memory>

#include "platform/gui/colors.h"
#include "platform/gui/wnd.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Event.h"
#include "widgets/core/MainWindow.h"
#include "widgets/core/Strings.h"

namespace My {

ToolButton::ToolButton(ToolBar* bar, std::uint32_t command, const std::string& glyph)
    : m_bar(bar)
    , m_command(command)
{
    m_glyph.Load(glyph, glyph + "_MASK");
    m_grayed.Load(glyph, glyph + "_MASK");
    m_tip = LoadString(command);
    if (bar)
        bar->AddChild(this);
}

void ToolButton::Click()
{
    if (CWnd* main = GetMainWindow(); main && main->GetSafeHwnd())
        main->SendMessage(WM_COMMAND, WPARAM(m_command), 0);
    OnUpdateUI();
}

void ToolButton::OnUpdateUI()
{
    auto* target = dynamic_cast<CommandTarget*>(GetFrameOf(GetWnd()));
    if (!target)
        return;
    ToolButtonCmdUI cmdui(*this);
    UpdateCommandUIEvent update(m_command, &cmdui);
    const bool updated = target->RouteCommand(update);
    if (updated && cmdui.WasEnabledSet())
        return;
    // Without an update handler (or one that left the enabled state alone)
    // the command is enabled when something would run it.
    UpdateCommandUIEvent query(m_command, nullptr);
    cmdui.Enable(target->RouteCommand(query));
}

std::string ToolButton::GetToolTipText() const
{
    return m_tip;
}

CRect ToolButton::GetBounds() const
{
    if (!m_bar)
        return CRect();
    const CSize size = m_bar->GetButtonSize();
    CRect r(CPoint(), size);
    if (m_bar->GetOrientation() == ToolBar::Horizontal)
        r.OffsetRect(m_position, 0);
    else
        r.OffsetRect(0, m_position);
    return r;
}

void ToolButton::Draw(CDC& dc, const CRect&)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = mix_colors(highlight, face);
    const bool sunken = GetState() == Pushed || m_check == 1;
    const bool greyed = !m_enabled || m_check == 2;
    const CRect area(CPoint(), GetSize());
    dc.FillSolidRect(area, GetState() != Pushed && m_check == 0 ? face : light);
    if (sunken)
        draw_3d_frame(dc, area, face, light);
    else
        draw_3d_frame(dc, area, highlight, shadow);
    const Glyph& glyph = greyed ? static_cast<const Glyph&>(m_grayed) : m_glyph;
    const int shift = sunken ? 1 : 0;
    glyph.DrawAt(dc, area.Width() / 2 + shift, area.Height() / 2 + shift, 0x33);
}

void ToolButton::SetEnabledState(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    Invalidate(CRect(CPoint(), GetSize()));
    UpdateState();
}

void ToolButton::SetCheckState(int check)
{
    if (check == m_check)
        return;
    m_check = check;
    Invalidate(CRect(CPoint(), GetSize()));
}

void ToolButton::SetToolTipText(const std::string& text)
{
    if (text == m_tip)
        return;
    m_tip = text;
    UpdateToolTip();
}

void ToolButtonCmdUI::Enable(bool enabled)
{
    m_button.SetEnabledState(enabled);
    m_enableSet = true;
}

void ToolButtonCmdUI::SetCheck(int check)
{
    if (check >= 0 && check <= 2)
        m_button.SetCheckState(check);
}

void ToolButtonCmdUI::SetRadio(bool on)
{
    m_button.SetCheckState(on ? 1 : 0);
}

void ToolButtonCmdUI::SetText(const std::string& text)
{
    m_button.SetToolTipText(text);
}

ToolBar::ToolBar(int orientation)
    : m_orientation(orientation)
{
}

ToolBar::~ToolBar()
{
    DeleteButtons();
}

void ToolBar::DeleteButtons()
{
    for (ToolButton* b : m_buttons)
        delete b;
    m_buttons.clear();
}

void ToolBar::SetButtonSize(int width, int height)
{
    if (width == m_buttonWidth && height == m_buttonHeight)
        return;
    m_buttonWidth = width;
    m_buttonHeight = height;
    Layout();
}

void ToolBar::SetButtons(const Entry* entries, int count)
{
    DeleteButtons();
    for (int i = 0; i < count; ++i) {
        if (!entries[i].command) {
            m_buttons.push_back(nullptr);
            continue;
        }
        auto button = std::make_unique<ToolButton>(
            this, entries[i].command, entries[i].glyph ? entries[i].glyph : "");
        m_buttons.push_back(button.get());
        button.release();
    }
    Layout();
}

CSize ToolBar::GetPreferredSize() const
{
    return m_orientation == Horizontal ? CSize(m_length, m_buttonHeight) : CSize(m_buttonWidth, m_length);
}

void ToolBar::Layout()
{
    m_length = 0;
    for (ToolButton* b : m_buttons) {
        if (!b) {
            m_length += separator_size;
            continue;
        }
        b->SetPosition(m_length);
        m_length += m_orientation == Horizontal ? m_buttonWidth : m_buttonHeight;
    }
    Invalidate(CRect(CPoint(), GetSize()));
}

void ToolBar::Draw(CDC& dc, const CRect&)
{
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const int along = m_orientation == Horizontal ? m_buttonWidth : m_buttonHeight;
    std::size_t i = 0;
    while (i < m_buttons.size()) {
        if (!m_buttons[i]) {
            ++i;
            continue;
        }
        const int first = m_buttons[i]->GetPosition();
        int last = first;
        for (; i < m_buttons.size() && m_buttons[i]; ++i)
            last = m_buttons[i]->GetPosition();
        CRect groove = m_orientation == Horizontal ? CRect(first, 0, last + along, m_buttonHeight)
                                                   : CRect(0, first, m_buttonWidth, last + along);
        groove.InflateRect(1, 1);
        draw_3d_frame(dc, groove, shadow, highlight);
    }
}

} // namespace My

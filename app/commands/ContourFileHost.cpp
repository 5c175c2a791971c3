#include "app/commands/ContourFileHost.h"

#include "platform/gui/cursor.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/messages.h"
#include "widgets/text/Clipboard.h"

namespace {

// The commands with the host they own.
class ContourMember : public CompositionMember {
public:
    ContourMember(TLComp& composition, std::function<CWnd*()> owner)
        : m_host(std::move(owner))
        , m_commands(composition, &m_host)
    {
    }
    bool RouteCommand(My::CommandEventBase& event) override { return m_commands.RouteCommand(event); }

private:
    ContourFileHost m_host;
    ContourCommands m_commands;
};

} // namespace

ContourFileHost::ContourFileHost(std::function<CWnd*()> owner)
    : m_owner(std::move(owner))
{
}

std::string ContourFileHost::ChooseContourFile(const std::string& initial)
{
    CFileDialog dialog(false, "txt", initial, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
        "Contour Text Files (*.txt)|*.txt||", m_owner ? m_owner() : nullptr);
    dialog.SetTitle("Export Contour");
    if (dialog.DoModal() != IDOK)
        return {};
    return dialog.GetPathName();
}

void ContourFileHost::CopyLinesToClipboard(const std::string& text)
{
    My::CopyLinesToClipboard(text, m_owner ? m_owner() : nullptr);
}

void ContourFileHost::BeginWaitCursor()
{
    m_previousCursor = ::SetCursor(LoadCursor(IDC_WAIT));
}

void ContourFileHost::EndWaitCursor()
{
    ::SetCursor(m_previousCursor);
}

std::unique_ptr<CompositionMember> MakeContourCommands(TLComp& composition, std::function<CWnd*()> owner)
{
    return std::make_unique<ContourMember>(composition, std::move(owner));
}

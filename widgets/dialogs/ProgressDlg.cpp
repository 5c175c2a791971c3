#include "widgets/dialogs/ProgressDlg.h"

#include "platform/gui/app.h"
#include "platform/gui/wnd.h"

namespace My {

ProgressDlg::ProgressDlg()
    : m_uiThread(std::this_thread::get_id())
    , m_self(std::make_shared<ProgressDlg*>(this))
{
}

ProgressDlg::~ProgressDlg()
{
    *m_self = nullptr;
    if (m_window.IsCreated()) {
        if (m_parentDisabled && m_parent && CWnd::IsAlive(m_parent))
            m_parent->EnableWindow(TRUE);
        m_window.DestroyWindow();
    }
}

void ProgressDlg::Create(CWnd* parent, bool disable_parent)
{
    m_uiThread = std::this_thread::get_id();
    m_parent = parent;
    m_parentDisabled = disable_parent;
    if (disable_parent && parent && parent->GetSafeHwnd())
        parent->EnableWindow(FALSE);
    m_window.Create(parent, "Rendering...");
    m_window.SetCancelHandler([this] { Cancel(); });
}

void ProgressDlg::Start(int total, int position)
{
    m_cancelled.store(false);
    m_total.store(total);
    m_position.store(position);
    m_window.SetRange(total);
    ShowPosition(position);
    m_window.Enable(true);
    m_window.Show(true);
}

bool ProgressDlg::Step()
{
    const int position = ++m_position;
    if (std::this_thread::get_id() == m_uiThread) {
        ShowPosition(position);
    } else {
        std::weak_ptr<ProgressDlg*> self = m_self;
        platform::gui::post([self, position] {
            if (auto s = self.lock(); s && *s)
                (*s)->ShowPosition(position);
        });
    }
    return !m_cancelled.load();
}

void ProgressDlg::SetCaption(const std::string& caption)
{
    m_window.SetCaption(caption);
}

void ProgressDlg::ShowPosition(int position)
{
    m_window.SetText(std::to_string(position) + " / " + std::to_string(m_total.load()));
    m_window.SetPos(position);
}

} // namespace My

#pragma once

// The modeless progress window of a long job: "position / total" above a
// progress bar, and a Cancel button. The job creates and starts it on the UI
// thread, its worker calls Step once per finished item, and the job's
// destruction (on the UI thread) closes it and enables the parent again.
//
// Threads: Step may be called from any thread; what it shows is handed to
// the UI thread. The cancel flag is set on the UI thread and read by any
// thread.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/gui/progress.h"

class CWnd;

namespace My {

class ProgressDlg {
public:
    ProgressDlg();
    // Enables the parent again when Create disabled it, then closes the
    // window. UI thread.
    ~ProgressDlg();
    ProgressDlg(const ProgressDlg&) = delete;
    ProgressDlg& operator=(const ProgressDlg&) = delete;

    // UI thread. Disables the parent first when asked to; the window is
    // made hidden, captioned "Rendering...".
    void Create(CWnd* parent, bool disable_parent);
    // UI thread. Clears the cancel flag, sets the range 0..total, shows the
    // position and shows the window.
    void Start(int total, int position);
    // Any thread. Advances the position by one and shows it; false once
    // Cancel was pressed.
    bool Step();
    void SetCaption(const std::string& caption);

    // What Cancel, Escape and the close box do: only the flag is set.
    void Cancel() { m_cancelled.store(true); }
    bool IsCancelled() const { return m_cancelled.load(); }
    int GetPosition() const { return m_position.load(); }
    const CProgressWindow& GetWindow() const { return m_window; }
    CProgressWindow& GetWindow() { return m_window; }

private:
    void ShowPosition(int position);

    std::atomic<bool> m_cancelled { false };
    std::atomic<int> m_total { 0 };
    std::atomic<int> m_position { 0 };
    bool m_parentDisabled = false;
    CWnd* m_parent = nullptr;
    std::thread::id m_uiThread;
    CProgressWindow m_window;
    // Posted updates hold it; the destructor clears it, so an update that
    // arrives after the dialog went does nothing.
    std::shared_ptr<ProgressDlg*> m_self;
};

} // namespace My

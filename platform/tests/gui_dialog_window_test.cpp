// Dialogs on the real window system (run under Xvfb): the native controls
// and our control states follow each other, the buttons end a modal run,
// and the file chooser shows its title and panel.

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "platform/gui/app.h"
#include "platform/gui/dialog.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/messages.h"
#include "platform/tests/screen.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

#define NEED_DISPLAY()                                                                                       \
    if (!platform::gui::start())                                                                             \
    GTEST_SKIP() << "no display"

dialog_template sample()
{
    using c = dialog_control;
    return { "Sample", 160, 90,
        {
            { c::group_box, -1, "Group", 4, 4, 152, 60 },
            { c::drop_list, 11, "", 10, 14, 80, 50 },
            { c::check_box, 12, "Box", 10, 30, 60, 10 },
            { c::edit, 13, "text", 10, 44, 80, 12 },
            { c::push_button, 15, "Fail", 100, 44, 50, 14 },
            { c::default_button, IDOK, "OK", 50, 70, 50, 14 },
            { c::push_button, IDCANCEL, "Cancel", 104, 70, 50, 14 },
        } };
}

struct Recorder : CDialog {
    Recorder()
        : CDialog(sample(), nullptr)
    {
    }
    std::vector<std::pair<int, int>> commands;

protected:
    void OnCommand(int id, int code) override
    {
        commands.emplace_back(id, code);
        if (id == 15)
            throw std::runtime_error("handler failed");
        CDialog::OnCommand(id, code);
    }
};

bool pump_until(const std::function<bool()>& done)
{
    return platform::testing::pump_until(done, std::chrono::seconds(3));
}

template <class T> T* shown_window(const wxString& title)
{
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* t = dynamic_cast<T*>(w); t && t->GetTitle() == title && t->IsShown())
            return t;
    return nullptr;
}

// Calls `step` from the event loop every 50 ms until it answers true (also
// inside a modal run), giving up after five seconds.
class poller : public wxTimer {
public:
    explicit poller(std::function<bool()> step)
        : m_step(std::move(step))
    {
        Start(50);
    }
    void Notify() override
    {
        if (m_step() || ++m_ticks > 100)
            Stop();
    }

private:
    std::function<bool()> m_step;
    int m_ticks = 0;
};

template <class T> void send(wxWindow* w, wxEventType type, int selection = 0)
{
    wxCommandEvent e(type, w->GetId());
    e.SetEventObject(w);
    e.SetInt(selection);
    w->ProcessWindowEvent(e);
}

// Distinct colours of the screen inside the window, once it shows more than
// one (or the time passed).
std::size_t colours_inside(const wxRect& r)
{
    return platform::testing::colour_count(platform::testing::screenshot_until(
        r, [](const wxImage& img) { return platform::testing::colour_count(img) > 8; }));
}

TEST(DialogWindow, NativeControlsAndOurStatesFollowEachOther)
{
    NEED_DISPLAY();
    Recorder d;
    d.AddString(11, "one");
    d.AddString(11, "two");
    d.SetCurSel(11, 0);
    d.Create(nullptr);
    d.ShowWindow(SW_SHOW);
    wxDialog* w = nullptr;
    ASSERT_TRUE(pump_until([&] { return (w = shown_window<wxDialog>("Sample")) != nullptr; }));

    auto* box = dynamic_cast<wxCheckBox*>(w->FindWindow(12));
    auto* text = dynamic_cast<wxTextCtrl*>(w->FindWindow(13));
    auto* list = dynamic_cast<wxChoice*>(w->FindWindow(11));
    ASSERT_TRUE(box && text && list);
    // A drop-down list offers its items only: it has no text field to type
    // into.
    EXPECT_EQ(dynamic_cast<wxTextEntry*>(w->FindWindow(11)), nullptr);
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_EQ(text->GetValue(), "text");

    box->SetValue(true);
    send<wxCheckBox>(box, wxEVT_CHECKBOX, 1);
    EXPECT_TRUE(d.IsDlgButtonChecked(12));
    text->SetValue("typed");
    EXPECT_EQ(d.GetDlgItemText(13), "typed");
    list->SetSelection(1);
    send<wxChoice>(list, wxEVT_CHOICE, 1);
    EXPECT_EQ(d.GetCurSel(11), 1);
    const std::vector<std::pair<int, int>> expected { { 12, BN_CLICKED }, { 13, EN_CHANGE },
        { 11, CBN_SELCHANGE } };
    EXPECT_EQ(d.commands, expected);

    d.commands.clear();
    d.SetDlgItemText(13, "set");
    EXPECT_EQ(text->GetValue(), "set");
    EXPECT_TRUE(d.commands.empty());
    d.EnableItem(12, false);
    EXPECT_FALSE(box->IsEnabled());
    d.AddString(11, "three");
    EXPECT_EQ(list->GetCount(), 3u);
    d.CheckDlgButton(12, false);
    EXPECT_FALSE(box->GetValue());

    // The dialog is drawn: its face, frame, texts and controls.
    EXPECT_GT(colours_inside(w->GetScreenRect()), 8u);

    send<wxButton>(w->FindWindow(IDCANCEL), wxEVT_BUTTON);
    EXPECT_FALSE(d.IsWindowVisible());
    EXPECT_FALSE(w->IsShown());
}

TEST(DialogWindow, AWindowTheToolkitDestroyedIsMadeAgain)
{
    NEED_DISPLAY();
    Recorder d;
    d.Create(nullptr);
    d.ShowWindow(SW_SHOW);
    wxDialog* w = nullptr;
    ASSERT_TRUE(pump_until([&] { return (w = shown_window<wxDialog>("Sample")) != nullptr; }));
    d.CheckDlgButton(12, true);
    // As when its owner window goes: the toolkit destroys the dialog.
    w->Destroy();
    ASSERT_TRUE(pump_until([] { return shown_window<wxDialog>("Sample") == nullptr; }));
    EXPECT_FALSE(d.IsWindowVisible());
    d.SetDlgItemText(13, "kept");
    d.ShowWindow(SW_SHOW);
    ASSERT_TRUE(pump_until([&] { return (w = shown_window<wxDialog>("Sample")) != nullptr; }));
    EXPECT_TRUE(dynamic_cast<wxCheckBox*>(w->FindWindow(12))->GetValue());
    EXPECT_EQ(dynamic_cast<wxTextCtrl*>(w->FindWindow(13))->GetValue(), "kept");
}

TEST(DialogWindow, ButtonsEndAModalRunAndHandlerErrorsReachTheCaller)
{
    NEED_DISPLAY();
    {
        Recorder d;
        poller press([] {
            wxDialog* w = shown_window<wxDialog>("Sample");
            if (w && w->IsModal())
                send<wxButton>(w->FindWindow(IDOK), wxEVT_BUTTON);
            return w != nullptr;
        });
        EXPECT_EQ(d.DoModal(), IDOK);
    }
    {
        Recorder d;
        poller press([] {
            wxDialog* w = shown_window<wxDialog>("Sample");
            if (w && w->IsModal())
                send<wxButton>(w->FindWindow(15), wxEVT_BUTTON);
            return w != nullptr;
        });
        EXPECT_THROW(d.DoModal(), std::runtime_error);
    }
}

TEST(FileDialogWindow, TheChooserShowsItsTitleAndCancels)
{
    NEED_DISPLAY();
    CFileDialog d(false, "avi", "/tmp/shot.avi", OFN_OVERWRITEPROMPT, "AVI Video (*.avi)|*.avi||", nullptr);
    d.SetTitle("Render to");
    d.AddCheckBox(1, "Load as Still Image");
    // The chooser's own loop runs no timers of ours: Escape comes from
    // outside the process, once the window appears.
    const std::string flag = ::testing::TempDir() + "tavelo_chooser_seen_" + std::to_string(::getpid());
    std::remove(flag.c_str());
    const std::string script = "for i in $(seq 100); do w=$(xdotool search --name '^Render to$' | head -1); "
                               "if [ -n \"$w\" ]; then touch '"
        + flag + "'; sleep 0.3; xdotool windowfocus --sync $w key Escape; exit; fi; sleep 0.1; done &";
    ASSERT_EQ(std::system(script.c_str()), 0);
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    EXPECT_TRUE(std::ifstream(flag).good());
    std::remove(flag.c_str());
}

} // namespace

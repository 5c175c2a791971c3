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
#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/dialog.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/messages.h"
#include "platform/tests/screen.h"
#include "platform/tests/toolkit_messages.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
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
    // A closed dialog stays listed (and, as the only window, shown) until
    // the loop deletes it.
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* t = dynamic_cast<T*>(w);
            t && t->GetTitle() == title && t->IsShown() && !t->IsBeingDeleted())
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
            if (!w || !w->IsModal())
                return false;
            send<wxButton>(w->FindWindow(IDOK), wxEVT_BUTTON);
            return true;
        });
        EXPECT_EQ(d.DoModal(), IDOK);
    }
    {
        Recorder d;
        poller press([] {
            wxDialog* w = shown_window<wxDialog>("Sample");
            if (!w || !w->IsModal())
                return false;
            send<wxButton>(w->FindWindow(15), wxEVT_BUTTON);
            return true;
        });
        EXPECT_THROW(d.DoModal(), std::runtime_error);
    }
}

// Runs `sample()` modally and, once it shows, clicks into its edit field
// and gives it the keyboard (as a window manager does on a click), then
// presses `keys` one by one; answers the modal result, or -1 when the
// dialog was still open four seconds after it showed.
int PressInModalSample(Recorder& d, std::vector<int> keys)
{
    wxUIActionSimulator sim;
    int ticks = 0;
    bool clicked = false;
    std::size_t next = 0;
    poller drive([&] {
        wxDialog* w = shown_window<wxDialog>("Sample");
        if (!w || !w->IsModal())
            return false;
        if (++ticks > 80) {
            w->EndModal(-1);
            return true;
        }
        wxWindow* field = w->FindWindow(13);
        if (!clicked) {
            const wxRect r = field->GetScreenRect();
            sim.MouseMove(r.x + 5, r.y + r.height / 2);
            sim.MouseClick();
            clicked = true;
            return false;
        }
        if (!field->HasFocus()) {
            w->Raise();
            field->SetFocus();
            return false;
        }
        if (next < keys.size())
            sim.Char(keys[next++]);
        return false;
    });
    return d.DoModal();
}

TEST(DialogWindow, EscapeIsCancelAndReturnPressesTheDefaultButton)
{
    NEED_DISPLAY();
    {
        Recorder d;
        EXPECT_EQ(PressInModalSample(d, { WXK_ESCAPE }), IDCANCEL);
        ASSERT_FALSE(d.commands.empty());
        EXPECT_EQ(d.commands.back(), std::make_pair(int(IDCANCEL), BN_CLICKED));
    }
    {
        Recorder d;
        EXPECT_EQ(PressInModalSample(d, { WXK_RETURN }), IDOK);
        ASSERT_FALSE(d.commands.empty());
        EXPECT_EQ(d.commands.back(), std::make_pair(int(IDOK), BN_CLICKED));
    }
    {
        // A disabled default button takes no Return; Escape still cancels.
        struct Disabled : Recorder {
            void OnInitDialog() override { EnableItem(IDOK, false); }
        } d;
        EXPECT_EQ(PressInModalSample(d, { WXK_RETURN, WXK_ESCAPE }), IDCANCEL);
        for (const auto& c : d.commands)
            EXPECT_NE(c.first, int(IDOK));
    }
}

TEST(DialogWindow, ControlIdsAboveTheToolkitsLimitMakeNoComplaint)
{
    NEED_DISPLAY();
    using c = dialog_control;
    const dialog_template layout { "Large ids", 120, 40,
        { { c::edit, 50033, "12", 4, 4, 60, 12 }, { c::default_button, IDOK, "OK", 70, 4, 40, 14 } } };
    platform::testing::diagnostic_capture capture;
    {
        CDialog d(layout, nullptr);
        d.Create(nullptr);
        d.ShowWindow(SW_SHOW);
        wxDialog* w = nullptr;
        ASSERT_TRUE(pump_until([&] { return (w = shown_window<wxDialog>("Large ids")) != nullptr; }));
        d.SetDlgItemText(50033, "34");
        auto* field = dynamic_cast<wxTextCtrl*>(w->GetChildren().front());
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->GetValue(), "34");
        d.ShowWindow(SW_HIDE);
    }
    platform::testing::settle();
    EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << capture.text();
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

// The chooser lists a lower-case file under a filter written in upper case:
// shown on a folder that holds only "vtest.avi" with the filter "*.AVI", its
// file list has a row (the first row is selected: a coloured band with the
// name). Seen from outside the process, which takes a screen dump and the
// window's place and then closes the chooser.
TEST(FileDialogWindow, PatternsOfAFilterMatchNamesInEitherCase)
{
    NEED_DISPLAY();
    const std::string tag = std::to_string(::getpid());
    const std::string folder = ::testing::TempDir() + "tavelo_chooser_" + tag;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/vtest.avi") << "RIFF";
    const std::string dump = folder + ".xwd";
    const std::string place = folder + ".place";
    CFileDialog d(true, "avi", folder + "/", OFN_FILEMUSTEXIST, "AVI Video (*.AVI)|*.AVI||", nullptr);
    d.SetTitle("Open Footage " + tag);
    const std::string script
        = "for i in $(seq 100); do w=$(xdotool search --onlyvisible --name '^Open Footage " + tag
        + "$' | head -1); if [ -n \"$w\" ]; then sleep 1.5; xwd -root -silent > '" + dump
        + "'; xdotool getwindowgeometry --shell $w > '" + place
        + "'; xdotool windowfocus --sync $w key Escape; exit; fi; sleep 0.1; done &";
    ASSERT_EQ(std::system(script.c_str()), 0);
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    std::map<std::string, int> geometry;
    std::ifstream in(place);
    for (std::string line; std::getline(in, line);)
        if (const auto eq = line.find('='); eq != std::string::npos)
            geometry[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    ASSERT_TRUE(geometry.count("X") && geometry.count("Y")) << "the chooser did not show";
    // The first row of the list: right of the places, below the path bar
    // and the column titles.
    const wxImage row
        = platform::testing::read_screen_dump(dump, geometry["X"] + 200, geometry["Y"] + 76, 300, 14);
    int marked = 0;
    for (int y = 0; y < row.GetHeight(); ++y)
        for (int x = 0; x < row.GetWidth(); ++x)
            if (row.GetRed(x, y) < 200 || row.GetGreen(x, y) < 200 || row.GetBlue(x, y) < 200)
                ++marked;
    EXPECT_GT(marked, 100);
    std::filesystem::remove_all(folder);
    std::remove(dump.c_str());
    std::remove(place.c_str());
}

// Paths typed into the chooser's location field (Ctrl+L): first one through
// a folder that does not exist, as a user mistyping does, then one into
// another folder, which is taken. The chooser writes no complaint while it
// follows the typing (it reads each folder typed, and cannot read a missing
// one). TAVELO_CHOOSER_RUNS sets how many times (2 by default).
TEST(FileDialogWindow, APathTypedIntoAnotherFolderIsTakenWithoutComplaint)
{
    NEED_DISPLAY();
    const std::string tag = std::to_string(::getpid());
    const std::string root = ::testing::TempDir() + "tavelo_typed_" + tag;
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/start");
    std::filesystem::create_directories(root + "/other/inner");
    std::ofstream(root + "/start/first.avi") << "RIFF";
    std::ofstream(root + "/other/inner/second.avi") << "RIFF";
    std::ofstream(root + "/other/inner/third.avi") << "RIFF";
    const char* runs_text = std::getenv("TAVELO_CHOOSER_RUNS");
    const int runs = runs_text ? std::max(1, std::atoi(runs_text)) : 2;
    for (int run = 0; run < runs; ++run) {
        const std::string title = "Open Typed " + tag + " " + std::to_string(run);
        CFileDialog d(true, "avi", root + "/start/", OFN_FILEMUSTEXIST, "AVI Video (*.avi)|*.avi||", nullptr);
        d.SetTitle(title);
        d.AddCheckBox(1, "Load as Still Image");
        const std::string target = root + "/other/inner/second.avi";
        const std::string script = "for i in $(seq 100); do w=$(xdotool search --onlyvisible --name '^"
            + title
            + "$' | head -1); if [ -n \"$w\" ]; then sleep 0.05; xdotool windowfocus --sync $w key ctrl+l; "
              "xdotool key ctrl+a; xdotool type --delay 20 '"
            + root + "/missing/folder/x'; sleep 1; xdotool key ctrl+a; xdotool type --delay 20 '" + target
            + "'; sleep 0.3; xdotool key Return; exit; fi; sleep 0.1; done &";
        platform::testing::diagnostic_capture capture;
        ASSERT_EQ(std::system(script.c_str()), 0);
        const int answer = d.DoModal();
        platform::testing::settle(std::chrono::milliseconds(300));
        EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << "run " << run << ":\n"
                                                                    << capture.text();
        EXPECT_EQ(answer, IDOK) << "run " << run;
        EXPECT_EQ(d.GetPathName(), target) << "run " << run;
    }
    std::filesystem::remove_all(root);
}

// The chooser's column titles clicked while it is still reading a large
// folder (its list is not there yet) sort nothing and make no complaint.
TEST(FileDialogWindow, ColumnTitlesClickedWhileTheFolderIsReadMakeNoComplaint)
{
    NEED_DISPLAY();
    const std::string tag = std::to_string(::getpid());
    const std::string folder = ::testing::TempDir() + "tavelo_large_" + tag;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 4000; ++i)
        std::ofstream(folder + "/frame" + std::to_string(i) + ".tvp") << "x";
    const std::string title = "Save Large " + tag;
    CFileDialog d(false, "tvp", folder + "/", OFN_OVERWRITEPROMPT, "Tavelo Project (*.tvp)|*.tvp||", nullptr);
    d.SetTitle(title);
    const std::string script = "for i in $(seq 400); do w=$(xdotool search --onlyvisible --name '^" + title
        + "$' | head -1); if [ -n \"$w\" ]; then for c in $(seq 15); do xdotool mousemove --window $w 300 "
          "112 "
          "click 1; xdotool mousemove --window $w 700 112 click 1; done; sleep 0.5; "
          "xdotool windowfocus --sync $w key Escape; exit; fi; sleep 0.01; done &";
    platform::testing::diagnostic_capture capture;
    ASSERT_EQ(std::system(script.c_str()), 0);
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    platform::testing::settle(std::chrono::milliseconds(300));
    EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << capture.text();
    std::filesystem::remove_all(folder);
}

} // namespace

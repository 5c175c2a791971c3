// The cache settings dialog on the real window system (run under Xvfb):
// the modeless dialog shows natively, keeps its figures current every
// second until the user edits, and hides.

#include "lumvex/cache/cache_system.h"
#include "lumvex/dialogs/cache_settings_dialog.h"
#include "lumvex/tests/settings_store_support.h"
#include "platform/gui/app.h"
#include "platform/gui/messages.h"
#include "platform/tests/screen.h"

#include <gtest/gtest.h>

#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/textctrl.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

using namespace cache_test;
using D = lumvex::cache_settings_dialog;

namespace {

using platform::testing::pump_until;

wxDialog* shown(const wxString& title)
{
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* d = dynamic_cast<wxDialog*>(w); d && d->GetTitle() == title && d->IsShown())
            return d;
    return nullptr;
}

using cache_settings_window = settings_fixture;

TEST_F(cache_settings_window, ModelessDialogRefreshesItsFiguresUntilEdited)
{
    if (!platform::gui::start())
        GTEST_SKIP() << "no display";
    lumvex::cache_system system(2048ull * 1024 * 1024);
    D dialog(system, nullptr);
    dialog.Create(nullptr);
    dialog.ShowWindow(SW_SHOW);
    wxDialog* w = nullptr;
    ASSERT_TRUE(pump_until([&] { return (w = shown("Cache Settings")) != nullptr; }));
    auto* ram = dynamic_cast<wxTextCtrl*>(w->FindWindow(D::id_ram));
    auto* used = dynamic_cast<wxTextCtrl*>(w->FindWindow(D::id_memory_used));
    ASSERT_TRUE(ram && used);
    EXPECT_EQ(ram->GetValue(), "2048");
    EXPECT_FALSE(w->FindWindow(D::id_apply)->IsEnabled());

    // The timer refills a stale figure.
    dialog.SetDlgItemText(D::id_memory_used, "stale");
    EXPECT_TRUE(pump_until([&] { return used->GetValue() == "0"; }, std::chrono::seconds(6)));
    // Drawn: the face, frames, texts and fields of the dialog.
    const wxImage shot = platform::testing::screenshot_until(
        w->GetScreenRect(), [](const wxImage& img) { return platform::testing::colour_count(img) > 8; });
    EXPECT_GT(platform::testing::colour_count(shot), 8u);
    if (const char* out = std::getenv("TAVELO_DIALOG_SHOT")) {
        wxImage::AddHandler(new wxPNGHandler);
        shot.SaveFile(out, wxBITMAP_TYPE_PNG);
    }

    // Focusing an editable field freezes the figures.
    w->FindWindow(D::id_disc_quota)->SetFocus();
    ASSERT_TRUE(pump_until([&] { return dialog.modified(); }));
    EXPECT_TRUE(w->FindWindow(D::id_apply)->IsEnabled());
    dialog.SetDlgItemText(D::id_memory_used, "stale");
    pump_until([] { return false; }, std::chrono::milliseconds(1500));
    EXPECT_EQ(used->GetValue(), "stale");

    dialog.ShowWindow(SW_HIDE);
    EXPECT_FALSE(w->IsShown());
}

} // namespace

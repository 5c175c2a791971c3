// The rendering settings dialog on the real window system (run under Xvfb):
// its native controls show the settings and follow the enable rules.

#include "platform/gui/app.h"
#include "platform/gui/messages.h"
#include "platform/tests/screen.h"
#include "vortel/settings.h"
#include "vortel/settings_dialog.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/textentry.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <thread>

using D = vortel::settings_dialog;

namespace {

using platform::testing::pump_until;

wxDialog* shown(const wxString& title)
{
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* d = dynamic_cast<wxDialog*>(w); d && d->GetTitle() == title && d->IsShown())
            return d;
    return nullptr;
}

TEST(RenderingSettingsWindow, NativeDialogShowsTheSettings)
{
    if (!platform::gui::start())
        GTEST_SKIP() << "no display";
    vortel_test::scratch_folder folder;
    vortel_test::scoped_settings_store store(folder);
    vortel::settings s;
    s.format = "tga";
    s.field = 2;
    D dialog(s, nullptr);
    dialog.Create(nullptr);
    dialog.ShowWindow(SW_SHOW);
    wxDialog* w = nullptr;
    ASSERT_TRUE(pump_until([&] { return (w = shown("Rendering Settings")) != nullptr; }));
    auto* format = dynamic_cast<wxChoice*>(w->FindWindow(D::id_format));
    auto* field = dynamic_cast<wxChoice*>(w->FindWindow(D::id_field));
    auto* encoder = dynamic_cast<wxChoice*>(w->FindWindow(D::id_encoder));
    ASSERT_TRUE(format && field && encoder);
    // Only the listed formats can be chosen: no text field to type into.
    EXPECT_EQ(dynamic_cast<wxTextEntry*>(w->FindWindow(D::id_format)), nullptr);
    EXPECT_EQ(format->GetStringSelection(), "TGA sequence");
    EXPECT_EQ(field->GetStringSelection(), "Lower First");
    // The compressors are listed before the list is first opened: the
    // window system opens an empty list with no click, and a list filled
    // while open stays drawn empty.
    EXPECT_GT(encoder->GetCount(), 1u);
    EXPECT_FALSE(w->FindWindow(D::id_encoder)->IsEnabled());
    EXPECT_TRUE(w->FindWindow(IDOK)->IsEnabled());
    dialog.Select(D::id_format, 0);
    EXPECT_EQ(format->GetStringSelection(), "AVI file");
    EXPECT_TRUE(w->FindWindow(D::id_encoder)->IsEnabled());
    EXPECT_FALSE(w->FindWindow(IDOK)->IsEnabled());
    const wxImage shot = platform::testing::screenshot_until(
        w->GetScreenRect(), [](const wxImage& img) { return platform::testing::colour_count(img) > 8; });
    EXPECT_GT(platform::testing::colour_count(shot), 8u);
    if (const char* out = std::getenv("TAVELO_DIALOG_SHOT")) {
        wxImage::AddHandler(new wxPNGHandler);
        shot.SaveFile(out, wxBITMAP_TYPE_PNG);
    }
    dialog.ShowWindow(SW_HIDE);
    EXPECT_FALSE(w->IsShown());
}

} // namespace

// The rendering settings dialog on the real window system (run under Xvfb):
// its native controls show the settings and follow the enable rules.

#include "platform/gui/app.h"
#include "platform/gui/messages.h"
#include "vortel/settings.h"
#include "vortel/settings_dialog.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/image.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <thread>

using D = vortel::settings_dialog;

namespace {

bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(4))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        platform::gui::pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

wxDialog* shown(const wxString& title)
{
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* d = dynamic_cast<wxDialog*>(w); d && d->GetTitle() == title && d->IsShown())
            return d;
    return nullptr;
}

// The screen's pixels inside `r` (xwd, from outside the process).
wxImage screenshot(const wxRect& r)
{
    wxImage out(r.width, r.height);
    const std::string path = ::testing::TempDir() + "tavelo_cache_dialog.xwd";
    if (std::system(("xwd -root -silent > '" + path + "'").c_str()) != 0)
        return out;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 100)
        return out;
    const auto card = [&](std::size_t i) {
        const unsigned char* p = bytes.data() + i * 4;
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
    };
    const std::uint32_t header = card(0), width = card(4), height = card(5), bpp = card(11), line = card(12),
                        ncolors = card(19);
    const std::size_t base = header + std::size_t(ncolors) * 12, step = bpp / 8;
    if ((step != 3 && step != 4) || bytes.size() < base + std::size_t(line) * height)
        return out;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const int sx = r.x + x, sy = r.y + y;
            if (sx < 0 || sy < 0 || sx >= int(width) || sy >= int(height))
                continue;
            const unsigned char* p = bytes.data() + base + std::size_t(sy) * line + std::size_t(sx) * step;
            out.SetRGB(x, y, p[2], p[1], p[0]);
        }
    return out;
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
    auto* format = dynamic_cast<wxComboBox*>(w->FindWindow(D::id_format));
    auto* field = dynamic_cast<wxComboBox*>(w->FindWindow(D::id_field));
    ASSERT_TRUE(format && field);
    EXPECT_EQ(format->GetValue(), "TGA sequence");
    EXPECT_EQ(field->GetValue(), "Lower First");
    EXPECT_FALSE(w->FindWindow(D::id_encoder)->IsEnabled());
    EXPECT_TRUE(w->FindWindow(IDOK)->IsEnabled());
    dialog.Select(D::id_format, 0);
    EXPECT_EQ(format->GetValue(), "AVI file");
    EXPECT_TRUE(w->FindWindow(D::id_encoder)->IsEnabled());
    EXPECT_FALSE(w->FindWindow(IDOK)->IsEnabled());
    pump_until([] { return false; }, std::chrono::milliseconds(300));

    const wxImage shot = screenshot(w->GetScreenRect());
    std::set<unsigned long> colours;
    for (int y = 0; y < shot.GetHeight(); ++y)
        for (int x = 0; x < shot.GetWidth(); ++x)
            colours.insert(shot.GetRed(x, y) << 16 | shot.GetGreen(x, y) << 8 | shot.GetBlue(x, y));
    EXPECT_GT(colours.size(), 8u);
    if (const char* out = std::getenv("TAVELO_DIALOG_SHOT")) {
        wxImage::AddHandler(new wxPNGHandler);
        shot.SaveFile(out, wxBITMAP_TYPE_PNG);
    }
    dialog.ShowWindow(SW_HIDE);
    EXPECT_FALSE(w->IsShown());
}

} // namespace

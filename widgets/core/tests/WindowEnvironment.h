#pragma once

// The environment of the tests that open windows under a display (CI: Xvfb):
// the window system is started once for the test program, with a fixed theme
// and scale unless the run asks for others (the scale-factor tests set
// GDK_SCALE=2), so that what we draw can be compared pixel for pixel.
//
// The tests of one program share the display, so each test leaves it as it
// found it: after every test the mouse capture is let go, the windows it
// closed are gone, a window it left open is closed (and named on the
// diagnostic stream), and the keyboard goes back to the window under the
// pointer. A test does not rely on where an earlier one left the pointer or
// the focus: it clicks the window it types into.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/toplevel.h>

#include "platform/gui/app.h"
#include "platform/gui/wnd.h"
#include "platform/tests/screen.h"
#include "widgets/core/WindowSystem.h"

namespace test {

// Returns the display to a fresh state after each test (see above).
class WindowTestIsolation : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        if (CWnd::GetCapture())
            ReleaseCapture();
        // Closed windows are deleted when the loop next runs.
        platform::testing::pump_until([] { return open_windows() == 0; }, std::chrono::seconds(2));
        for (wxWindow* w : wxTopLevelWindows) {
            if (w->IsBeingDeleted())
                continue;
            std::cerr << info.test_suite_name() << "." << info.name() << " left a window open: \""
                      << w->GetLabel().utf8_string() << "\"\n";
            w->Destroy();
        }
        platform::testing::pump_until([] { return wxTopLevelWindows.empty(); }, std::chrono::seconds(2));
        platform::testing::return_keyboard_to_pointer();
        platform::testing::settle(std::chrono::milliseconds(50));
    }

private:
    static int open_windows()
    {
        int n = 0;
        for (wxWindow* w : wxTopLevelWindows)
            if (!w->IsBeingDeleted())
                ++n;
        return n;
    }
};

struct WindowOptions {
    // GTK_OVERLAY_SCROLLING=0: scroll bars take their room beside the content.
    bool fixed_scroll_bars = false;
    // When set, the settings store starts empty in this folder under the
    // tests' temporary folder.
    std::string config_folder;
};

inline bool& display_started()
{
    static bool started = false;
    return started;
}

class WindowEnvironment : public ::testing::Environment {
public:
    explicit WindowEnvironment(WindowOptions options = {})
        : m_options(std::move(options))
    {
    }
    void SetUp() override
    {
        setenv("GTK_THEME", "Adwaita", 0);
        setenv("GDK_SCALE", "1", 0);
        setenv("GDK_DPI_SCALE", "1", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
        if (m_options.fixed_scroll_bars)
            setenv("GTK_OVERLAY_SCROLLING", "0", 0);
        if (!m_options.config_folder.empty()) {
            const auto config = std::filesystem::path(::testing::TempDir()) / m_options.config_folder;
            std::filesystem::remove_all(config);
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        }
        display_started() = My::StartWindowSystem();
        wxInitAllImageHandlers();
        if (display_started()) {
            platform::testing::return_keyboard_to_pointer();
            ::testing::UnitTest::GetInstance()->listeners().Append(new WindowTestIsolation);
        }
    }
    void TearDown() override { platform::gui::stop(); }

private:
    WindowOptions m_options;
};

} // namespace test

#define NEED_DISPLAY()                                                                                       \
    if (!test::display_started())                                                                            \
    GTEST_SKIP() << "no display"

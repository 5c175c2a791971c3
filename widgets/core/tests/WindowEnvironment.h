#pragma once

// The environment of the tests that open windows under a display (CI: Xvfb):
// the window system is started once for the test program, with a fixed theme
// and scale unless the run asks for others (the scale-factor tests set
// GDK_SCALE=2), so that what we draw can be compared pixel for pixel.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <wx/image.h>

#include "platform/gui/app.h"
#include "widgets/core/WindowSystem.h"

namespace test {

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
    }
    void TearDown() override { platform::gui::stop(); }

private:
    WindowOptions m_options;
};

} // namespace test

#define NEED_DISPLAY()                                                                                       \
    if (!test::display_started())                                                                            \
    GTEST_SKIP() << "no display"

#pragma once

// Helpers of the tests that open windows under a display (CI: Xvfb): running
// the event loop until something happened, and reading the pixels the X
// server shows (xwd, from outside the process). The server shows a mapped or
// repainted window only some time after the process drew it, later still on
// a loaded machine, so checks of the screen take their screenshot again until
// it shows what they wait for.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/image.h>

#include "platform/gui/app.h"

namespace platform::testing {

// Runs the event loop until `done` holds or the time passed.
inline bool pump_until(
    const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(4))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        platform::gui::pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    platform::gui::pump();
    return done();
}

// Lets the window system deliver what is under way.
inline void settle(std::chrono::milliseconds time = std::chrono::milliseconds(250))
{
    pump_until([] { return false; }, time);
}

// The pixels in a rectangle of screen coordinates of a screen dump that xwd
// wrote to `path` (physical pixels); parts outside the screen, or a dump
// that cannot be read, stay black.
inline wxImage read_screen_dump(const std::string& path, int left, int top, int width, int height)
{
    wxImage out(width, height);
    const std::vector<unsigned char> bytes = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::vector<unsigned char>(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    if (bytes.size() < 100)
        return out;
    const auto card = [&](std::size_t i) {
        const unsigned char* p = bytes.data() + i * 4;
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
    };
    const std::uint32_t header = card(0), screen_width = card(4), screen_height = card(5), order = card(7),
                        bpp = card(11), line = card(12), ncolors = card(19);
    const std::size_t base = header + std::size_t(ncolors) * 12;
    // 24- or 32-bit pixels, blue in the lowest byte.
    const std::size_t step = bpp / 8;
    if ((step != 3 && step != 4) || bytes.size() < base + std::size_t(line) * screen_height)
        return out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int sx = left + x, sy = top + y;
            if (sx < 0 || sy < 0 || sx >= int(screen_width) || sy >= int(screen_height))
                continue;
            const unsigned char* p = bytes.data() + base + std::size_t(sy) * line + std::size_t(sx) * step;
            if (order == 0)
                out.SetRGB(x, y, p[2], p[1], p[0]);
            else
                out.SetRGB(x, y, p[step - 3], p[step - 2], p[step - 1]);
        }
    return out;
}

// The screen's pixels in a rectangle of screen coordinates (physical pixels);
// parts outside the screen, or a screen that cannot be read, stay black.
inline wxImage screenshot(int left, int top, int width, int height)
{
    const std::string path = ::testing::TempDir() + "tavelo_screen_" + std::to_string(::getpid()) + ".xwd";
    // The file (a few megabytes each time) goes as soon as it was read.
    const bool taken = std::system(("xwd -root -silent > '" + path + "'").c_str()) == 0;
    wxImage out = taken ? read_screen_dump(path, left, top, width, height) : wxImage(width, height);
    std::remove(path.c_str());
    return out;
}

inline wxImage screenshot(const wxRect& r)
{
    return screenshot(r.x, r.y, r.width, r.height);
}

// Takes the screenshot again, running the event loop in between, until
// `shown` holds for one or the time passed; returns the last one.
inline wxImage screenshot_until(int left, int top, int width, int height,
    const std::function<bool(const wxImage&)>& shown,
    std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    wxImage img = screenshot(left, top, width, height);
    while (!shown(img) && std::chrono::steady_clock::now() < end) {
        settle(std::chrono::milliseconds(50));
        img = screenshot(left, top, width, height);
    }
    return img;
}

inline wxImage screenshot_until(const wxRect& r, const std::function<bool(const wxImage&)>& shown,
    std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    return screenshot_until(r.x, r.y, r.width, r.height, shown, limit);
}

// How many different colours a picture holds: a drawn dialog has its face,
// frames, texts and fields; one not drawn yet is a single colour.
inline std::size_t colour_count(const wxImage& img)
{
    std::set<unsigned long> colours;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
            colours.insert(static_cast<unsigned long>(img.GetRed(x, y)) << 16
                | static_cast<unsigned long>(img.GetGreen(x, y)) << 8 | img.GetBlue(x, y));
    return colours.size();
}

// Gives the keyboard back to the window under the pointer, as on a fresh X
// server. A window that held the focus and was destroyed leaves it on the
// root window, where typed keys reach nobody, and makes later focus
// requests stamped with an older event time fail; a test that runs after
// such a test starts from here. Xlib is looked up at run time, so the test
// programs need no link to it; without it nothing happens.
inline void return_keyboard_to_pointer()
{
    using open_fn = void* (*)(const char*);
    using focus_fn = int (*)(void*, unsigned long, int, unsigned long);
    using sync_fn = int (*)(void*, int);
    using close_fn = int (*)(void*);
    static void* xlib = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!xlib)
        return;
    const auto open = reinterpret_cast<open_fn>(::dlsym(xlib, "XOpenDisplay"));
    const auto focus = reinterpret_cast<focus_fn>(::dlsym(xlib, "XSetInputFocus"));
    const auto sync = reinterpret_cast<sync_fn>(::dlsym(xlib, "XSync"));
    const auto close = reinterpret_cast<close_fn>(::dlsym(xlib, "XCloseDisplay"));
    if (!open || !focus || !sync || !close)
        return;
    void* display = open(nullptr);
    if (!display)
        return;
    // PointerRoot (1) as the focus and as where it reverts (RevertToPointerRoot,
    // 1), at the server's current time (CurrentTime, 0).
    focus(display, 1, 1, 0);
    sync(display, 0);
    close(display);
}

// From outside the process (a modal dialog's loop runs none of our timers):
// for `seconds`, presses Escape in each window titled `title` that appears,
// and writes one line per window it presses Escape in to the file it answers.
inline std::string escape_every_window_titled(const std::string& title, int seconds)
{
    const std::string log = ::testing::TempDir() + "tavelo_escaped_" + std::to_string(::getpid());
    std::remove(log.c_str());
    const std::string script = "end=$(($(date +%s) + " + std::to_string(seconds)
        + ")); while [ $(date +%s) -lt $end ]; do for w in $(xdotool search --onlyvisible --name '^" + title
        + "$'); do echo $w >> '" + log
        + "'; sleep 0.3; xdotool windowfocus --sync $w key Escape; done; "
          "sleep 0.1; done &";
    EXPECT_EQ(std::system(script.c_str()), 0);
    return log;
}

// The number of lines of a text file (0 when there is none).
inline int lines_in(const std::string& path)
{
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        ++n;
    return n;
}

} // namespace platform::testing

#pragma once

// Helpers of the window tests that run under a display: running the event
// loop until something happened, and reading the pixels the X server shows
// (xwd, from outside the process).

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/image.h>

#include "platform/gui/app.h"
#include "platform/gui/types.h"

namespace test {

// Runs the event loop until `done` holds or the time passed.
inline bool pump_until(
    const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(2))
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

inline void settle()
{
    pump_until([] { return false; }, std::chrono::milliseconds(250));
}

// The screen's pixels in a rectangle of screen coordinates.
inline wxImage screenshot(const CRect& r)
{
    const std::string path = ::testing::TempDir() + "tavelo_screen_" + std::to_string(::getpid()) + ".xwd";
    const std::string command = "xwd -root -silent > '" + path + "'";
    wxImage out(r.Width(), r.Height());
    if (std::system(command.c_str()) != 0)
        return out;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto card = [&](std::size_t i) {
        const unsigned char* p = bytes.data() + i * 4;
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
    };
    if (bytes.size() < 100)
        return out;
    const std::uint32_t header = card(0), width = card(4), height = card(5), order = card(7), bpp = card(11),
                        line = card(12), ncolors = card(19);
    const std::size_t base = header + std::size_t(ncolors) * 12;
    const std::size_t step = bpp / 8;
    if ((step != 3 && step != 4) || bytes.size() < base + std::size_t(line) * height)
        return out;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x) {
            const int sx = r.left + x, sy = r.top + y;
            if (sx < 0 || sy < 0 || sx >= int(width) || sy >= int(height))
                continue;
            const unsigned char* p = bytes.data() + base + std::size_t(sy) * line + std::size_t(sx) * step;
            if (order == 0)
                out.SetRGB(x, y, p[2], p[1], p[0]);
            else
                out.SetRGB(x, y, p[step - 3], p[step - 2], p[step - 1]);
        }
    return out;
}

inline COLORREF pixel(const wxImage& img, int x, int y)
{
    return RGB(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

// The X server shows a mapped or repainted window only some time after the
// process drew it, later still on a loaded machine: screenshots are taken
// again, running the event loop in between, until `shown` holds for one or
// the time passed. Returns the last screenshot.
inline wxImage screenshot_until(const CRect& r, const std::function<bool(const wxImage&)>& shown,
    std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    wxImage img = screenshot(r);
    while (!shown(img) && std::chrono::steady_clock::now() < end) {
        pump_until([] { return false; }, std::chrono::milliseconds(50));
        img = screenshot(r);
    }
    return img;
}

} // namespace test

#include "app/shell/TestHook.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "app/shell/ShellPrompt.h"
#include "app/shell/Tavelo.h"
#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "platform/gui/shell.h"
#include "widgets/core/Prompt.h"

namespace {

std::deque<std::string> g_dialogAnswers;

bool AnswerDialog(const platform::gui::file_dialog_request&, std::string& path, int& filter_index)
{
    filter_index = 0;
    if (g_dialogAnswers.empty())
        return false;
    path = g_dialogAnswers.front();
    g_dialogAnswers.pop_front();
    return !path.empty();
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 't' || text[i + 1] == 'n')) {
            out += text[i + 1] == 't' ? '\t' : '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The screen as an xwd file shows it: depth 24 in 24- or 32-bit pixels.
struct Screenshot {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bytesPerLine = 0;
    std::uint32_t bitsPerPixel = 0;
    bool msbFirst = false;
    std::vector<unsigned char> pixels;

    // Answers false for a file of another form.
    bool Read(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::vector<unsigned char> bytes(
            (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        auto field = [&](std::size_t i) -> std::uint32_t {
            const std::size_t o = i * 4;
            if (o + 4 > bytes.size())
                return 0;
            return std::uint32_t(bytes[o]) << 24 | std::uint32_t(bytes[o + 1]) << 16
                | std::uint32_t(bytes[o + 2]) << 8 | bytes[o + 3];
        };
        const std::uint32_t header = field(0);
        width = field(4);
        height = field(5);
        msbFirst = field(7) == 1;
        bitsPerPixel = field(11);
        bytesPerLine = field(12);
        const std::uint32_t colours = field(19);
        const std::size_t start = std::size_t(header) + std::size_t(colours) * 12;
        if ((bitsPerPixel != 32 && bitsPerPixel != 24) || bytesPerLine < width * (bitsPerPixel / 8)
            || start > bytes.size() || std::size_t(bytesPerLine) * height > bytes.size() - start)
            return false;
        pixels.assign(bytes.begin() + std::ptrdiff_t(start), bytes.end());
        return true;
    }
    COLORREF At(int x, int y) const
    {
        if (x < 0 || y < 0 || std::uint32_t(x) >= width || std::uint32_t(y) >= height)
            return 0xFFFFFFFF;
        const std::size_t size = bitsPerPixel / 8;
        const unsigned char* p = &pixels[std::size_t(y) * bytesPerLine + std::size_t(x) * size];
        // Pixel value 0xRRGGBB in the file's byte order.
        return msbFirst ? RGB(p[size - 3], p[size - 2], p[size - 1]) : RGB(p[2], p[1], p[0]);
    }
};

// Runs `check` (which answers what is wrong, or nothing) again, the events
// handled in between, until it passes or the time is up; answers the last
// complaint. The X server shows a window or a repaint only some time after
// the program asked for it, later still on a loaded machine.
std::string RetryUntilShown(
    const std::function<std::string()>& check, std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        platform::gui::pump();
        std::string what = check();
        if (what.empty() || std::chrono::steady_clock::now() >= end)
            return what;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::string Rest(std::istringstream& in)
{
    std::string rest;
    std::getline(in >> std::ws, rest);
    return Unescape(rest);
}

} // namespace

TestHook::TestHook(Tavelo& app, ShellPrompt& prompt)
    : m_app(app)
    , m_prompt(prompt)
{
}

TestHook::~TestHook()
{
    if (m_installed)
        platform::gui::set_file_dialog_presenter(nullptr);
}

bool TestHook::Start()
{
    const char* path = std::getenv("TAVELO_TEST_SCRIPT");
    if (!path || !*path)
        return false;
    std::ifstream file(path);
    if (!file) {
        Fail(path, "the script cannot be read");
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    StartScript(text.str());
    return true;
}

void TestHook::StartScript(const std::string& script)
{
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            m_lines.push_back(line);
    platform::gui::set_file_dialog_presenter(AnswerDialog);
    m_installed = true;
    m_prompt.SetScripted(true);
    platform::gui::post([this] { Next(); });
}

int TestHook::GetFailures() const
{
    return m_failures + m_prompt.GetUnanswered();
}

void TestHook::Next()
{
    if (m_lines.empty())
        return;
    const std::string line = m_lines.front();
    m_lines.pop_front();
    std::cout << "test: " << line << std::endl;
    try {
        Run(line);
    } catch (const std::exception& e) {
        Fail(line, std::string("threw: ") + e.what());
    }
    // The next line after the events this one caused.
    platform::gui::post([this] { Next(); });
}

void TestHook::Fail(const std::string& line, const std::string& what)
{
    ++m_failures;
    std::cerr << "test failed: " << line << ": " << what << std::endl;
}

void TestHook::Run(const std::string& line)
{
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    MainFrame* frame = m_app.GetFrame();
    if (verb == "answer") {
        std::string a;
        in >> a;
        m_prompt.QueueAnswer(a == "yes" ? My::IDYES
                : a == "no"             ? My::IDNO
                : a == "cancel"         ? My::IDCANCEL
                                        : My::IDOK);
    } else if (verb == "dialog") {
        g_dialogAnswers.push_back(Rest(in));
    } else if (verb == "native-dialogs") {
        platform::gui::set_file_dialog_presenter(nullptr);
        m_installed = false;
    } else if (verb == "dialog-cancel") {
        g_dialogAnswers.push_back("");
    } else if (verb == "command") {
        unsigned id = 0;
        in >> id;
        if (frame)
            frame->SendMessage(WM_COMMAND, WPARAM(id), 0);
    } else if (verb == "key") {
        unsigned key = 0;
        unsigned modifiers = 0;
        in >> key >> modifiers;
        if (frame && !platform::gui::filter_key(frame, key, modifiers))
            frame->SendMessage(WM_KEYDOWN, key, 1);
    } else if (verb == "drop") {
        const std::vector<std::string> paths { Rest(in) };
        if (frame)
            frame->SendMessage(WM_DROPFILES, WPARAM(&paths), 0);
    } else if (verb == "edit") {
        TLComp* composition = m_app.GetDocument();
        if (!composition || composition->IsEmpty())
            Fail(line, "no project is open");
        else
            composition->SetExportInaccuracy(composition->GetExportInaccuracy() + 1.0f);
    } else if (verb == "expect-title") {
        const std::string expected = Rest(in);
        const std::string title = frame ? frame->GetWindowText() : std::string();
        if (title != expected)
            Fail(line, "the title reads \"" + title + "\"");
    } else if (verb == "expect-menu" || verb == "expect-enabled") {
        unsigned id = 0;
        in >> id;
        const std::string expected = Rest(in);
        std::string text;
        bool enabled = false;
        if (frame)
            platform::gui::refresh_menu_bar(frame);
        if (!frame || !platform::gui::get_menu_item(frame, id, text, enabled))
            Fail(line, "the menu has no such item");
        else if (verb == "expect-menu" && text != expected)
            Fail(line, "the item reads \"" + text + "\"");
        else if (verb == "expect-enabled" && enabled != (expected == "1"))
            Fail(line, enabled ? "the item is enabled" : "the item is disabled");
    } else if (verb == "expect-message") {
        const std::string expected = Rest(in);
        const auto& shown = m_prompt.GetShown();
        if (shown.empty() || shown.back() != expected)
            Fail(line, "the last message reads \"" + (shown.empty() ? std::string() : shown.back()) + "\"");
    } else if (verb == "screenshot") {
        const std::string path = Rest(in);
        platform::gui::pump();
        const std::string command = "xwd -root -silent -out '" + path + "'";
        if (std::system(command.c_str()) != 0)
            Fail(line, "xwd failed");
    } else if (verb == "expect-layout") {
        // Taken again until every area shows as drawn: the bars paint only
        // after the frame was laid out and shown.
        const std::string path = Rest(in);
        if (!frame) {
            Fail(line, "no screenshot");
            return;
        }
        const std::string what = RetryUntilShown([&]() -> std::string {
            const std::string command = "xwd -root -silent -out '" + path + "'";
            Screenshot shot;
            if (std::system(command.c_str()) != 0 || !shot.Read(path))
                return "no screenshot";
            const FrameLayout::Rects rects = frame->GetLayout().Compute();
            const COLORREF face = GetSysColor(COLOR_BTNFACE);
            const COLORREF viewColour = RGB(64, 64, 64);
            // The status strip in its colour; the view and the bars drawn by
            // their windows (neither a dark grey nor black).
            const struct {
                const char* name;
                CRect rect;
                COLORREF colour;
                bool exact;
            } areas[] = {
                { "view", rects.view, viewColour, false },
                { "status bar", rects.status, face, true },
                { "tools", rects.tools, viewColour, false },
                { "right bar", rects.right, viewColour, false },
                { "bottom bar", rects.bottom, viewColour, false },
            };
            std::ostringstream wrong;
            for (const auto& area : areas) {
                if (area.rect.IsRectEmpty())
                    continue;
                CPoint centre((area.rect.left + area.rect.right) / 2, (area.rect.top + area.rect.bottom) / 2);
                frame->ClientToScreen(&centre);
                const COLORREF seen = shot.At(centre.x, centre.y);
                const bool good = area.exact ? seen == area.colour : (seen != area.colour && seen != 0);
                if (!good)
                    wrong << (wrong.tellp() > 0 ? "; " : "") << area.name << " shows " << std::hex << seen
                          << " at " << std::dec << centre.x << "," << centre.y;
            }
            return wrong.str();
        });
        if (!what.empty())
            Fail(line, what);
    } else if (verb == "expect-view-frame") {
        // The view paints the footage on its painter thread: in time, two
        // points 4 pixels left and right of its centre show the sample's red
        // and differ (the sample's blue grows from left to right).
        const std::string path = Rest(in);
        if (!frame) {
            Fail(line, "no screenshot");
            return;
        }
        const std::string what = RetryUntilShown([&]() -> std::string {
            frame->GetCompositionView().UpdateWindow();
            const unsigned red = 0x80;
            const std::string command = "xwd -root -silent -out '" + path + "'";
            Screenshot shot;
            if (std::system(command.c_str()) != 0 || !shot.Read(path))
                return "no screenshot";
            CRect view;
            frame->GetCompositionView().GetWindowRect(&view);
            const CPoint centre((view.left + view.right) / 2, (view.top + view.bottom) / 2);
            const COLORREF left = shot.At(centre.x - 4, centre.y);
            const COLORREF right = shot.At(centre.x + 4, centre.y);
            if (GetRValue(left) == red && GetRValue(right) == red && left != right)
                return std::string();
            std::ostringstream text;
            text << "the view shows " << std::hex << left << " and " << right << " beside " << std::dec
                 << centre.x << "," << centre.y;
            return text.str();
        });
        if (!what.empty())
            Fail(line, what);
    } else if (verb == "expect-window") {
        // A top-level window of that title is shown.
        const std::string title = Rest(in);
        const std::string command = "xdotool search --onlyvisible --name '^" + title + "$' > /dev/null";
        const std::string what = RetryUntilShown([&]() -> std::string {
            return std::system(command.c_str()) == 0 ? std::string() : "no window \"" + title + "\" is shown";
        });
        if (!what.empty())
            Fail(line, what);
    } else if (verb == "fault") {
        // A fault signal on the UI thread: the crash reporter ends the program.
        std::raise(SIGSEGV);
    } else if (verb == "close") {
        if (frame)
            frame->SendMessage(WM_CLOSE);
    } else {
        Fail(line, "unknown line");
    }
}

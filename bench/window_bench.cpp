// Painting a 1280 x 720 double-buffered window that holds 500 controls:
// a full repaint and a small update rectangle, through the whole WM_PAINT
// path (tree into the off-screen buffer, buffer to the window). Beside it the
// reference: the same drawing straight through the toolkit into a bitmap and
// onto the window. Needs a display: run under xvfb-run -a.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <wx/dcclient.h>
#include <wx/dcmemory.h>

#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Widget.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"

namespace {

constexpr int width = 1280, height = 720, columns = 25, rows = 20;

// A typical control: a face, a 3-D frame, and every tenth one a label.
class Cell : public My::Widget {
public:
    explicit Cell(int i)
        : m_index(i)
    {
    }
    void Draw(CDC& dc, const CRect&) override
    {
        const CRect r(CPoint(), GetSize());
        dc.FillSolidRect(r, RGB(40 + m_index % 200, 90, 160));
        My::draw_3d_frame(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
        if (m_index % 10 == 0) {
            dc.SetBkMode(TRANSPARENT);
            dc.TextOut(4, 4, "Label");
        }
    }

private:
    int m_index;
};

CRect cell_rect(int i)
{
    const int cw = width / columns, ch = height / rows;
    const int x = (i % columns) * cw, y = (i / columns) * ch;
    return CRect(x + 2, y + 2, x + cw - 2, y + ch - 2);
}

class Board : public My::CustomWindow<CWnd> {
public:
    int paints = 0;
    std::vector<std::unique_ptr<Cell>> cells;
    Board()
    {
        for (int i = 0; i < columns * rows; ++i) {
            cells.push_back(std::make_unique<Cell>(i));
            AddChild(cells.back().get());
            cells.back()->SetBounds(cell_rect(i));
        }
    }
    void Draw(CDC& dc, const CRect& clip) override
    {
        ++paints;
        dc.FillSolidRect(clip, GetSysColor(COLOR_BTNFACE));
    }
};

bool display()
{
    static const bool ok = My::StartWindowSystem();
    return ok;
}

Board& board()
{
    static Board* b = [] {
        auto* w = new Board;
        w->Create("", "", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0);
        for (int i = 0; i < 50 && w->paints == 0; ++i) {
            platform::gui::pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return w;
    }();
    return *b;
}

void repaint(Board& b, const CRect* r, benchmark::State& state)
{
    const int before = b.paints;
    b.InvalidateRect(r, FALSE);
    b.UpdateWindow();
    while (b.paints == before)
        platform::gui::pump();
    benchmark::DoNotOptimize(b.paints);
    (void)state;
}

void BM_FullRepaint(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Board& b = board();
    for (auto _ : state)
        repaint(b, nullptr, state);
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

void BM_SmallUpdate(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Board& b = board();
    const CRect r(600, 300, 632, 324);
    for (auto _ : state)
        repaint(b, &r, state);
}
BENCHMARK(BM_SmallUpdate)->Unit(benchmark::kMillisecond);

// Only the tree into the buffer: what our layer adds, without the window
// system's part of a paint.
void BM_TreeIntoBuffer(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Board& b = board();
    CClientDC client(&b);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&client, width, height);
    CDC mem;
    mem.CreateCompatibleDC(&client);
    mem.SelectObject(&bitmap);
    const CRect all(0, 0, width, height);
    for (auto _ : state)
        b.Paint(mem, all);
}
BENCHMARK(BM_TreeIntoBuffer)->Unit(benchmark::kMillisecond);

// Reference: the same fills, frames and labels straight through the toolkit
// into a bitmap, then onto the window.
void BM_ReferenceToolkitFullRepaint(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    board();
    wxBitmap bitmap(width, height, 24);
    for (auto _ : state) {
        wxMemoryDC mem(bitmap);
        mem.SetPen(*wxTRANSPARENT_PEN);
        mem.SetBrush(wxBrush(wxColour(240, 240, 240)));
        mem.DrawRectangle(0, 0, width, height);
        for (int i = 0; i < columns * rows; ++i) {
            const CRect r = cell_rect(i);
            mem.SetBrush(wxBrush(wxColour(40 + i % 200, 90, 160)));
            mem.DrawRectangle(r.left, r.top, r.Width(), r.Height());
            mem.SetBrush(*wxWHITE_BRUSH);
            mem.DrawRectangle(r.left, r.top, r.Width() - 1, 1);
            mem.DrawRectangle(r.left, r.top, 1, r.Height() - 1);
            mem.SetBrush(*wxGREY_BRUSH);
            mem.DrawRectangle(r.right - 1, r.top, 1, r.Height());
            mem.DrawRectangle(r.left, r.bottom - 1, r.Width(), 1);
            if (i % 10 == 0)
                mem.DrawText("Label", r.left + 4, r.top + 4);
        }
        mem.SelectObject(wxNullBitmap);
        benchmark::DoNotOptimize(bitmap.IsOk());
    }
}
BENCHMARK(BM_ReferenceToolkitFullRepaint)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// The timeline panel of a 10,000-frame sequence with 50 segments in a
// 1280 x 400 double-buffered window: a full repaint through the whole
// WM_PAINT path (at the fit scale, where all segments show, and at the
// widest zoom) and one drag step of a segment bracket (the pointer move,
// the pending span and the repaint of the row it causes). Beside them the
// reference: the same bars, ticks and labels drawn straight through the
// toolkit into a bitmap. Needs a display: run under xvfb-run -a.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <wx/dcmemory.h>

#include "app/timeline/SegmentRows.h"
#include "app/timeline/TimelineStrips.h"
#include "app/timeline/Xline.h"
#include "document/Doc.h"
#include "document/composition/Sequence.h"
#include "document/segments/Segment.h"
#include "document/segments/SegmentSet.h"
#include "platform/gui/app.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 400;
constexpr int kFrames = 10000;
constexpr int kSegments = 50;

class Sequence : public My::Sequence {
public:
    bool IsEmpty() const override { return false; }
    int GetFirstFrame() const override { return 0; }
    int GetFrameCount() const override { return kFrames; }
    My::Span GetWorkArea() const override { return { 1000, 9000 }; }
    void SetWorkArea(int, int) override { }
    int GetCurrentFrame() const override { return 5000; }
    void SetCurrentFrame(int) override { }
    int GetPreviewFrame() const override { return m_preview; }
    void SetPreviewFrame(int frame) override { m_preview = frame; }
    types::extent<unsigned> GetFrameSize() const override { return { 720, 576 }; }
    bool IsProcessing() const override { return false; }
    void Open()
    {
        OpenEvent open(this);
        Send(open);
    }

private:
    int m_preview = 5000;
};

class Segment : public My::Segment {
public:
    explicit Segment(int i)
        : m_span { i * 200 + 10, i * 200 + 150 }
        , m_key(i * 200 + 50)
    {
    }
    int GetKeyFrame() const override { return m_key; }
    My::Span GetTimeSpan() const override { return m_span; }
    void SetTimeSpan(int first, int last) override { m_span = { first, last }; }
    My::Span GetDataSpan() const override { return { m_span.first, m_key + 40 }; }
    bool IsProcessing() const override { return false; }
    bool CanProcess() const override { return true; }
    bool RequestProcessing() override { return false; }
    void StopProcessing(bool) override { }
    bool IsBeingEdited() const override { return false; }
    void BeginEditing() override { }
    void EndEditing() override { }
    void Detach() override { }

private:
    My::Span m_span;
    int m_key;
};

class Doc : public My::Doc {
public:
    void Load(const std::string&, int) override { }
    void Store(const std::string&) override { }
};

class Set : public My::SegmentSet {
public:
    explicit Set(My::Doc* doc)
        : m_doc(doc)
    {
        for (int i = 0; i < kSegments; ++i)
            m_segments.push_back(std::make_unique<Segment>(i));
    }
    My::Doc* GetOwner() const override { return m_doc; }
    bool IsEmpty() const override { return false; }
    int GetCount() const override { return kSegments; }
    My::Segment* GetSegment(int index) const override
    {
        return index >= 0 && index < kSegments ? m_segments[std::size_t(index)].get() : nullptr;
    }
    void DeleteSelected() override { }
    void MoveSelected(int) override { }
    void Insert(int, TLSegment*) override { }
    TLSegment* RemoveAt(int) override { return nullptr; }
    TLSegment* GetAt(int) const override { return nullptr; }

private:
    My::Doc* m_doc;
    std::vector<std::unique_ptr<Segment>> m_segments;
};

class Panel : public My::CustomWindow<CWnd> {
public:
    int paints = 0;
    Sequence sequence;
    Doc doc;
    Set set { &doc };
    My::Xline xline;
    My::SegmentSetRow rows { &xline, "Mask" };

    Panel()
    {
        AddChild(&xline);
        xline.SetBounds(CRect(0, 0, kWidth, kHeight));
        xline.SetSequence(&sequence);
        rows.SetSegmentSet(&set);
        My::TreeRow* top = &rows;
        xline.GetGrid().InsertRows(0, &top, 1);
        rows.Expand();
        sequence.Open();
    }
    ~Panel() override
    {
        xline.GetGrid().Clear();
        rows.SetSegmentSet(nullptr);
        RemoveChild(&xline);
    }
    void Draw(CDC&, const CRect&) override { ++paints; }
};

bool display()
{
    static const bool ok = My::StartWindowSystem();
    return ok;
}

Panel& panel()
{
    static Panel* p = [] {
        auto* w = new Panel;
        w->Create("", "", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), nullptr, 0);
        for (int i = 0; i < 50 && w->paints == 0; ++i) {
            platform::gui::pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return w;
    }();
    return *p;
}

void repaint(Panel& p, const CRect* r)
{
    const int before = p.paints;
    p.InvalidateRect(r, FALSE);
    p.UpdateWindow();
    // A rectangle outside the window paints nothing: give up after a while.
    for (int i = 0; p.paints == before && i < 100000; ++i)
        platform::gui::pump();
    benchmark::DoNotOptimize(p.paints);
}

void BM_TimelineFullRepaintFit(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Panel& p = panel();
    p.xline.SetTimeScale(p.xline.GetFitScale());
    for (auto _ : state)
        repaint(p, nullptr);
    state.counters["segments"] = kSegments;
}
BENCHMARK(BM_TimelineFullRepaintFit)->Unit(benchmark::kMillisecond);

void BM_TimelineFullRepaintWidest(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Panel& p = panel();
    p.xline.SetTimeScale(My::Timeline::kMaxScale);
    p.xline.SetTimeOffset(4990);
    for (auto _ : state)
        repaint(p, nullptr);
    p.xline.SetTimeScale(p.xline.GetFitScale());
}
BENCHMARK(BM_TimelineFullRepaintWidest)->Unit(benchmark::kMillisecond);

// One pointer move of a dragged bracket: the pending span follows and the
// bar's row is repainted through the window.
void BM_TimelineDragStep(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Panel& p = panel();
    p.xline.SetTimeScale(p.xline.GetFitScale());
    My::SegmentRow& row = *p.rows.GetSegmentRows()[5];
    My::SegmentBar& bar = row.GetControl().GetBar();
    const int width = row.GetControl().GetSize().cx;
    const int x = bar.TimeToX(bar.GetPendingSpan().last, width);
    bar.BeginBracket(false, x, width);
    int step = 0;
    for (auto _ : state) {
        bar.Move(x + (step++ % 40) - 20, width);
        const CRect r = row.GetWndRect();
        repaint(p, &r);
    }
    bar.End();
}
BENCHMARK(BM_TimelineDragStep)->Unit(benchmark::kMillisecond);

// Reference: the same bars, ticks and labels straight through the toolkit
// into a bitmap.
void BM_ReferenceToolkitTimeline(benchmark::State& state)
{
    if (!display()) {
        state.SkipWithError("no display");
        return;
    }
    Panel& p = panel();
    const My::TimeAxis axis = p.xline.GetAxis();
    wxBitmap bitmap(kWidth, kHeight, 24);
    for (auto _ : state) {
        wxMemoryDC mem(bitmap);
        mem.SetPen(*wxTRANSPARENT_PEN);
        mem.SetBrush(wxBrush(wxColour(240, 240, 240)));
        mem.DrawRectangle(0, 0, kWidth, kHeight);
        for (int i = 0; i < kSegments; ++i) {
            const int y = 60 + i * 14;
            const My::Span s { i * 200 + 10, i * 200 + 150 };
            const int x1 = 150 + axis.TimeToX(s.first), x2 = 150 + axis.TimeToX(s.last);
            mem.SetBrush(wxBrush(wxColour(255, 240, 192)));
            mem.DrawRectangle(x1, y, x2 - x1, 13);
            mem.DrawText("<00-[00]-00>", 20, y);
        }
        for (int f = 0; f <= kFrames; f += 500) {
            const int x = 150 + axis.TimeToX(f);
            mem.SetBrush(*wxBLACK_BRUSH);
            mem.DrawRectangle(x, 22, 1, 3);
            mem.DrawText("10000f", x - 15, 25);
        }
        mem.SelectObject(wxNullBitmap);
        benchmark::DoNotOptimize(bitmap.IsOk());
    }
}
BENCHMARK(BM_ReferenceToolkitTimeline)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

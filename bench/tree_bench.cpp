// A tree of 10,000 rows (100 roots of 99 children each) in a list 400 x 600
// pixels: expand all, collapse all, scroll to the end, repaint. Each step
// is to stay under 16 ms (one frame). Beside it the reference: the same
// 10,000 rows inserted into a flat list in one call, and a repaint of that
// list. With a display (xvfb-run -a) rows paint into a bitmap, and the
// tree also scrolls to its end inside a scroll-box window that repaints;
// without one the DC draws nowhere and the figures are those of the layout
// and the visible-band walk alone.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/app.h"
#include "platform/gui/dc.h"
#include "platform/gui/gdi.h"
#include "widgets/containers/Tree.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/scrolling/ScrollBox.h"

namespace {

constexpr int roots = 100, children = 99, row_height = 16;

class Node : public My::TreeRow {
public:
    explicit Node(std::string name)
        : m_name(std::move(name))
    {
        SetHeight(row_height);
    }
    std::string GetName() const override { return m_name; }

private:
    std::string m_name;
};

struct Forest {
    My::Tree tree;
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<Node*> tops;
    explicit Forest(My::ScrollBox* box = nullptr)
        : tree(box)
    {
        tree.SetBounds(CRect(0, 0, 400, 600));
        for (int r = 0; r < roots; ++r) {
            nodes.push_back(std::make_unique<Node>("Layer " + std::to_string(r)));
            Node* root = nodes.back().get();
            tops.push_back(root);
            std::vector<My::TreeRow*> kids;
            for (int c = 0; c < children; ++c) {
                nodes.push_back(std::make_unique<Node>("Segment " + std::to_string(c)));
                kids.push_back(nodes.back().get());
            }
            root->InsertChildren(0, kids.data(), int(kids.size()));
        }
        std::vector<My::TreeRow*> top(tops.begin(), tops.end());
        tree.InsertRows(0, top.data(), int(top.size()));
    }
    ~Forest() { tree.Clear(); }
    void ExpandAll()
    {
        for (Node* n : tops)
            n->Expand();
        tree.GetTotal();
    }
    void CollapseAll()
    {
        for (Node* n : tops)
            n->Collapse();
        tree.GetTotal();
    }
};

struct Canvas {
    CDC dc;
    CBitmap bitmap;
    Canvas()
    {
        static const bool display = My::StartWindowSystem();
        if (display && dc.CreateCompatibleDC(nullptr) && bitmap.CreateCompatibleBitmap(&dc, 400, 600))
            dc.SelectObject(&bitmap);
    }
};

void BM_TreeExpandAll(benchmark::State& state)
{
    Forest f;
    for (auto _ : state) {
        f.ExpandAll();
        state.PauseTiming();
        f.CollapseAll();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(roots * (children + 1));
}
BENCHMARK(BM_TreeExpandAll)->Unit(benchmark::kMillisecond);

void BM_TreeCollapseAll(benchmark::State& state)
{
    Forest f;
    for (auto _ : state) {
        state.PauseTiming();
        f.ExpandAll();
        state.ResumeTiming();
        f.CollapseAll();
    }
}
BENCHMARK(BM_TreeCollapseAll)->Unit(benchmark::kMillisecond);

void BM_TreeScrollToEnd(benchmark::State& state)
{
    Forest f;
    f.ExpandAll();
    for (auto _ : state) {
        f.tree.ScrollTo(f.tree.GetContentHeight());
        benchmark::DoNotOptimize(f.tree.ChildFromPoint(10, 590));
        state.PauseTiming();
        f.tree.ScrollTo(0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TreeScrollToEnd)->Unit(benchmark::kMillisecond);

void BM_TreeRepaint(benchmark::State& state)
{
    Forest f;
    f.ExpandAll();
    f.tree.ScrollTo(f.tree.GetContentHeight());
    Canvas canvas;
    const CRect all(0, 0, 400, 600);
    for (auto _ : state)
        f.tree.Paint(canvas.dc, all);
    state.counters["drawing"] = canvas.dc.IsDrawing() ? 1 : 0;
}
BENCHMARK(BM_TreeRepaint)->Unit(benchmark::kMillisecond);

// With a display: the tree in a 400 x 600 scroll-box window; scrolling to
// the end and back, each followed by the window's repaint.
void BM_TreeScrollToEndInWindow(benchmark::State& state)
{
    static const bool display = My::StartWindowSystem();
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    My::ScrollBox box;
    box.SetCreationStyle(WS_POPUP | WS_VISIBLE | WS_VSCROLL);
    if (!box.Create("", "", WS_POPUP | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 400, 600), nullptr, 0)) {
        state.SkipWithError("no window");
        return;
    }
    Forest f(&box);
    box.AddChild(&f.tree);
    f.tree.UpdateScrollBar();
    f.ExpandAll();
    platform::gui::pump();
    int reached = 0;
    for (auto _ : state) {
        f.tree.ScrollTo(f.tree.GetContentHeight());
        box.UpdateWindow();
        state.PauseTiming();
        reached = f.tree.GetScrollY();
        f.tree.ScrollTo(0);
        box.UpdateWindow();
        state.ResumeTiming();
    }
    state.counters["end_y"] = reached;
    box.RemoveChild(&f.tree);
    box.DestroyWindow();
}
BENCHMARK(BM_TreeScrollToEndInWindow)->Unit(benchmark::kMillisecond);

// Reference: the same rows inserted into a flat list in one call.
void BM_ReferenceFlatInsert(benchmark::State& state)
{
    Forest f;
    f.tree.Clear();
    std::vector<My::Row*> rows;
    for (auto& n : f.nodes)
        rows.push_back(n.get());
    My::List flat;
    flat.SetBounds(CRect(0, 0, 400, 600));
    for (auto _ : state) {
        flat.InsertRows(0, rows.data(), int(rows.size()));
        flat.GetTotal();
        state.PauseTiming();
        flat.RemoveAll();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReferenceFlatInsert)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

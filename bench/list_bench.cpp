// The list window's row bookkeeping on 100 000 rows: finding the row under a
// point (binary search over the row tops) beside a linear scan, and laying
// out after the height of the last row changed (recomputed from that row on)
// beside recomputing every row. No display needed.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "widgets/scrolling/ListControl.h"

namespace {

constexpr int row_count = 100000;

class Row : public My::RowControl {
public:
    explicit Row(int h) { SetHeight(h); }
};

struct Rows {
    My::ListControl list;
    std::vector<std::unique_ptr<Row>> rows;
    Rows()
    {
        std::vector<My::RowControl*> raw;
        for (int i = 0; i < row_count; ++i) {
            rows.push_back(std::make_unique<Row>(14 + i % 7));
            raw.push_back(rows.back().get());
        }
        list.InsertRows(0, raw.data(), row_count);
        list.Layout();
    }
    ~Rows() { list.RemoveAll(); }
};

Rows& shared_rows()
{
    static Rows r;
    return r;
}

std::vector<int> probes(int content)
{
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> y(0, content - 1);
    std::vector<int> v(1024);
    for (int& p : v)
        p = y(gen);
    return v;
}

void BM_RowFromPoint(benchmark::State& state)
{
    Rows& r = shared_rows();
    const auto ys = probes(r.list.GetContentHeight());
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(r.list.RowFromPoint(ys[i++ & 1023]));
}
BENCHMARK(BM_RowFromPoint);

// Reference: the first row whose bottom lies below the point, by a scan.
void BM_RowFromPointLinearScan(benchmark::State& state)
{
    Rows& r = shared_rows();
    const auto ys = probes(r.list.GetContentHeight());
    std::size_t i = 0;
    for (auto _ : state) {
        const int y = ys[i++ & 1023];
        int found = -1;
        for (int k = 0; k < row_count; ++k) {
            const My::RowControl* row = r.list.GetRow(k);
            if (row->GetTop() + row->GetHeight() > y) {
                found = k;
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_RowFromPointLinearScan);

void BM_LayoutAfterLastRowChanged(benchmark::State& state)
{
    Rows& r = shared_rows();
    Row& last = *r.rows.back();
    int h = 10;
    for (auto _ : state) {
        last.SetHeight(h = h == 10 ? 11 : 10);
        r.list.Layout();
    }
}
BENCHMARK(BM_LayoutAfterLastRowChanged);

// Reference: every row's top recomputed.
void BM_LayoutOfEveryRow(benchmark::State& state)
{
    Rows& r = shared_rows();
    for (auto _ : state) {
        r.list.MarkDirty(0);
        r.list.Layout();
    }
}
BENCHMARK(BM_LayoutOfEveryRow);

} // namespace

BENCHMARK_MAIN();

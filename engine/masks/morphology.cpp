#include "engine/masks/morphology.h"

#include <algorithm>

#include "engine/common/thread_pool.h"
#include "foundation/image/blit.h"

namespace trm {

namespace {

using mask = img::image<img::bit>;
using blit_op = void (*)(mask&, int, int, int, int, const mask&, int, int) noexcept;
using step_op = void (*)(mask&, const mask&);

// target = source combined with the source shifted by each offset in turn;
// the blits clip, so a shift never reads outside the source. Bands of target
// rows are combined on the engine's threads, each row with the source rows
// its shifts bring, in the same order.
void combine_shifts(mask& target, const mask& source, blit_op op, const int (*shifts)[2], int count)
{
    target = source;
    const int w = static_cast<int>(source.width);
    const int h = static_cast<int>(source.height);
    parallel_rows(source.height, [&](unsigned y0, unsigned y1) {
        for (int i = 0; i < count; ++i) {
            const int dy = shifts[i][1];
            const int first = std::max(static_cast<int>(y0), dy);
            const int last = std::min(static_cast<int>(y1), h + dy);
            if (first < last)
                op(target, shifts[i][0], first, w, last - first, source, 0, first - dy);
        }
    });
}

const int plus_shifts[4][2] = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } };
const int horizontal_shifts[2][2] = { { 1, 0 }, { -1, 0 } };
const int vertical_shifts[2][2] = { { 0, 1 }, { 0, -1 } };

void step4(mask& target, const mask& source, blit_op op)
{
    if (&target == &source) {
        const mask copy(source);
        combine_shifts(target, copy, op, plus_shifts, 4);
        return;
    }
    combine_shifts(target, source, op, plus_shifts, 4);
}

// The 3 x 3 square as two separable passes.
void step8(mask& target, const mask& source, blit_op op)
{
    mask rows;
    combine_shifts(rows, source, op, horizontal_shifts, 2);
    combine_shifts(target, rows, op, vertical_shifts, 2);
}

void repeat(mask& target, const mask& source, int n, step_op step)
{
    if (n == 1) {
        step(target, source);
        return;
    }
    target = source;
    mask scratch;
    for (int i = 0; i < n; ++i) {
        target.swap(scratch);
        step(target, scratch);
    }
}

} // namespace

void erode4(mask& target, const mask& source)
{
    step4(target, source, img::blit_and);
}

void dilate4(mask& target, const mask& source)
{
    step4(target, source, img::blit_or);
}

void erode8(mask& target, const mask& source)
{
    step8(target, source, img::blit_and);
}

void dilate8(mask& target, const mask& source)
{
    step8(target, source, img::blit_or);
}

void erode4_n(mask& target, const mask& source, int n)
{
    repeat(target, source, n, erode4);
}

void dilate4_n(mask& target, const mask& source, int n)
{
    repeat(target, source, n, dilate4);
}

void erode8_n(mask& target, const mask& source, int n)
{
    repeat(target, source, n, erode8);
}

void dilate8_n(mask& target, const mask& source, int n)
{
    repeat(target, source, n, dilate8);
}

void open4_n(mask& target, const mask& source, int n)
{
    mask eroded;
    erode4_n(eroded, source, n);
    dilate4_n(target, eroded, n);
}

void close4_n(mask& target, const mask& source, int n)
{
    mask dilated;
    dilate4_n(dilated, source, n);
    erode4_n(target, dilated, n);
}

} // namespace trm

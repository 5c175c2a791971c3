#include "app/view/FloodFill.h"

#include <vector>

namespace My {

namespace {

struct Span {
    int x;
    int y;
    int dy;
    int parentLeft;
    int parentRight;
};

} // namespace

std::uint64_t FloodFill(img::image<img::bit>& mask, int x, int y, bool value)
{
    const int width = static_cast<int>(mask.width);
    const int height = static_cast<int>(mask.height);
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    // A pixel is open while it differs from the value: setting it closes it,
    // so the mask itself marks what was visited.
    const auto open = [&](int px, int py) { return bool(mask.at(px, py)) != value; };
    if (!open(x, y))
        return 0;
    std::uint64_t changed = 0;
    std::vector<Span> stack;
    stack.push_back({ x, y, 1, x, x });
    // Each entry fills the span through its seed, then queues the open runs
    // of the row ahead (dy) and, beyond its parent's extent, of the row
    // behind (-dy), as the recursive form would visit them.
    while (!stack.empty()) {
        const Span s = stack.back();
        stack.pop_back();
        if (!open(s.x, s.y))
            continue;
        int left = s.x;
        while (left > 0 && open(left - 1, s.y))
            --left;
        int right = s.x + 1;
        while (right < width && open(right, s.y))
            ++right;
        for (int i = left; i < right; ++i)
            mask.at(i, s.y) = value;
        changed += static_cast<std::uint64_t>(right - left);
        const auto scan = [&](int row, int from, int to, int dy) {
            if (row < 0 || row >= height)
                return;
            for (int i = std::max(from, 0); i < std::min(to, width); ++i) {
                if (!open(i, row))
                    continue;
                stack.push_back({ i, row, dy, left, right });
                while (i < to && i < width && open(i, row))
                    ++i;
            }
        };
        scan(s.y + s.dy, left, right, s.dy);
        scan(s.y - s.dy, left, s.parentLeft, -s.dy);
        scan(s.y - s.dy, s.parentRight, right, -s.dy);
    }
    return changed;
}

} // namespace My

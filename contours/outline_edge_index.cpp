#include "contours/outline_edge_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace contours {

namespace {

std::uint16_t window_bound(double value)
{
    return static_cast<std::uint16_t>(std::clamp(value, 0.0, 65535.0));
}

} // namespace

outline_edge_index::outline_edge_index(const crack_outline& outline)
{
    for (std::size_t i = 1; i < outline.size(); ++i) {
        const std::uint32_t previous = outline[i - 1];
        const std::uint32_t current = outline[i];
        unsigned cls;
        std::uint32_t key;
        if (vertex_x(previous) != vertex_x(current)) {
            const bool east_step = vertex_x(previous) < vertex_x(current);
            cls = east_step ? east : west;
            key = east_step ? previous : current;
        } else {
            const bool north_step = vertex_y(previous) >= vertex_y(current);
            cls = north_step ? north : south;
            key = north_step ? current : previous;
        }
        node n;
        n.x = static_cast<std::uint16_t>(vertex_x(key));
        n.y = static_cast<std::uint16_t>(vertex_y(key));
        m_trees[cls].nodes.push_back(n);
    }
    for (tree& t : m_trees)
        t.root = build(t.nodes, 0, static_cast<std::uint32_t>(t.nodes.size()), 1);
}

std::uint32_t outline_edge_index::build(
    std::vector<node>& nodes, std::uint32_t lo, std::uint32_t hi, std::uint8_t axis)
{
    if (lo >= hi)
        return none;
    std::sort(nodes.begin() + lo, nodes.begin() + hi,
        [axis](const node& a, const node& b) { return axis ? a.x < b.x : a.y < b.y; });
    const std::uint32_t mid = lo + (hi - lo) / 2;
    const std::uint8_t other = axis ? 0 : 1;
    const std::uint32_t left = build(nodes, lo, mid, other);
    const std::uint32_t right = build(nodes, mid + 1, hi, other);
    node& n = nodes[mid];
    n.axis = axis;
    n.left = left;
    n.right = right;
    return mid;
}

pointf outline_edge_index::nearest(pointf p, pointf n) const
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return p;
    unsigned cls;
    if (n.x < n.y)
        cls = n.x >= -n.y ? east : south;
    else
        cls = n.x >= -n.y ? north : west;

    const double r = m_search_radius;
    const window w { window_bound(p.x > r ? p.x - r : 0.0), window_bound(p.y > r ? p.y - r : 0.0),
        window_bound(p.x + r + 1.0), window_bound(p.y + r + 1.0) };

    const bool vertical = cls == south || cls == north;
    float best = std::numeric_limits<float>::max();
    const node* found = nullptr;
    query(cls, w, [&](const node& e) {
        const float mx = vertical ? e.x : e.x + 0.5f;
        const float my = vertical ? e.y + 0.5f : e.y;
        const float dx = p.x - mx;
        const float dy = p.y - my;
        const float d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            found = &e;
        }
    });
    if (!found)
        return p;
    const float x = found->x;
    const float y = found->y;
    if (vertical)
        return { x, std::clamp(p.y, y, y + 1.0f) };
    return { std::clamp(p.x, x, x + 1.0f), y };
}

} // namespace contours

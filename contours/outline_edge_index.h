#pragma once

#include "contours/crack_outline.h"
#include "contours/point.h"

#include <cstdint>
#include <vector>

namespace contours {

// The unit steps of an outline in four balanced 2-d trees, one per step
// direction, for the target search of the contour fit: which outline edge,
// facing the way a contour sample's normal faces, lies nearest to the sample.
// A south or north step at (x, y) is the pixel edge from (x, y) to (x, y + 1),
// a west or east step at (x, y) the edge from (x, y) to (x + 1, y). Immutable
// after construction except for the search radius; read-only use from several
// threads is safe.
class outline_edge_index {
public:
    enum step_class : unsigned { south = 0, north = 1, west = 2, east = 3 };

    static constexpr std::uint32_t none = 0xFFFFFFFFu;

    struct node {
        std::uint32_t left = none;
        std::uint32_t right = none;
        std::uint16_t x = 0;
        std::uint16_t y = 0;
        std::uint8_t axis = 1; // 1 splits by x, 0 by y
    };

    // x0 <= x < x1 and y0 <= y < y1.
    struct window {
        std::uint16_t x0, y0, x1, y1;
    };

    explicit outline_edge_index(const crack_outline& outline);

    unsigned search_radius() const { return m_search_radius; }
    void set_search_radius(unsigned radius) { m_search_radius = radius; }

    // The target of a contour sample at p with normal n: the nearest point of
    // the nearest edge (by its midpoint) of the class the normal selects,
    // within the search radius around p; p itself when there is none.
    pointf nearest(pointf p, pointf n) const;

    // Calls f(node) for every step of the class inside the window.
    template <class F> void query(unsigned step_class, const window& w, F&& f) const;

    static bool in_window(const node& n, const window& w)
    {
        return w.x0 <= n.x && n.x < w.x1 && w.y0 <= n.y && n.y < w.y1;
    }
    // The left subtree holds split coordinates up to the node's, so it can
    // hold an edge inside the window as long as the node's coordinate is not
    // below the window's lower bound; edges lying on the bound are found.
    static bool descend_left(const node& n, const window& w)
    {
        return n.left != none && (n.axis ? n.x >= w.x0 : n.y >= w.y0);
    }
    static bool descend_right(const node& n, const window& w)
    {
        return n.right != none && (n.axis ? n.x < w.x1 : n.y < w.y1);
    }

    const std::vector<node>& nodes(unsigned step_class) const { return m_trees[step_class].nodes; }

private:
    struct tree {
        std::vector<node> nodes;
        std::uint32_t root = none;
    };

    static std::uint32_t build(
        std::vector<node>& nodes, std::uint32_t lo, std::uint32_t hi, std::uint8_t axis);

    tree m_trees[4];
    unsigned m_search_radius = 10;
};

template <class F> void outline_edge_index::query(unsigned step_class, const window& w, F&& f) const
{
    const tree& t = m_trees[step_class];
    if (t.root == none)
        return;
    // Balanced over at most 2^32 nodes: depth stays below 64.
    std::uint32_t stack[64];
    unsigned top = 0;
    stack[top++] = t.root;
    while (top > 0) {
        const node& n = t.nodes[stack[--top]];
        if (in_window(n, w))
            f(n);
        if (descend_left(n, w))
            stack[top++] = n.left;
        if (descend_right(n, w))
            stack[top++] = n.right;
    }
}

} // namespace contours

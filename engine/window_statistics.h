#pragma once

// The colour statistics of the refinement stages: for a source position and
// a colour, the pixels of the window around that position in a source image,
// ordered by their colour distance to the colour, vote with their mask bits
// on whether the colour belongs to the object.
//
// Neighbour lists are built at most once per source position (keyed by the
// position alone, not by the colour that first asked for it), sorted lazily,
// only as far as a decision needs, and kept while they are used: a list
// disappears at the end of the second pass in a row that did not use it.
// One object serves one refinement call on one thread; the const members
// (has_list, prepare) may be called from several threads at once while no
// other member runs.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/image/image.h"

namespace refine {

// What a statistics decision or a neighbour vote says about a pixel.
enum decision : int { background = 0, object = 1, undecided = 2 };

class window_statistics {
    // A list entry packs (distance << 16) | (dx + 128) << 8 | (dy + 128), so
    // entries order by (distance, dx, dy) as plain integers.
    using entry = std::uint32_t;

public:
    struct node {
        unsigned x = 0;
        unsigned y = 0;
        std::vector<entry> entries;
        // The leading entries in order.
        std::size_t sorted = 0;
        int age = 0;
        bool live = false;
    };

    // What decide does for a position that has no list yet, worked out ahead
    // of it: the list it builds, the decision, and the sorts it takes.
    struct prepared {
        node list;
        decision result = undecided;
        std::uint64_t sorts = 0;
    };

    // `source` must outlive the object and not change while it is used.
    // The window half size lies between 1 and 127 (list entries keep their
    // offsets in 8 bits).
    window_statistics(const img::image<img::BGRA<unsigned char>>& source, int window_half_size);

    // The decision for source position (x, y) and colour (blue, green, red):
    // the window's pixels, nearest colour first, vote with their bits in
    // `source_mask` (of the source's size); a vote is tested after each group
    // of equal distances. Manual: the first test with balance² > i·e decides,
    // else undecided. Auto: the most significant prefix decides, else
    // undecided.
    // With `ahead` set, it must have been prepared (below) for the same
    // position, colour, mask and settings; it is used (and emptied) when the
    // position still has no list, and the result and counts are those of
    // deciding without it.
    decision decide(const img::image<img::bit>& source_mask, unsigned x, unsigned y,
        const img::BGRA<unsigned char>& colour, bool auto_threshold, float enough_statistics,
        prepared* ahead = nullptr);

    // True when position (x, y) has a cached list.
    bool has_list(unsigned x, unsigned y) const noexcept;
    // Works out what decide will do for (x, y) if it still has no list then.
    void prepare(prepared& out, const img::image<img::bit>& source_mask, unsigned x, unsigned y,
        const img::BGRA<unsigned char>& colour, bool auto_threshold, float enough_statistics) const;

    // The end of a pass that another pass follows: lists unused for two
    // passes in a row are dropped.
    void age();

    // Cached lists.
    std::size_t cache_size() const noexcept { return m_live; }
    // List sorts and list builds (scans) so far.
    std::uint64_t sorts() const noexcept { return m_sorts; }
    std::uint64_t scans() const noexcept { return m_scans; }
    // At most this many entries of a list are ever used: w(w + 1), at least 7.
    std::size_t cap() const noexcept { return m_cap; }

private:
    node& list_of(
        unsigned x, unsigned y, const img::BGRA<unsigned char>& colour, prepared* ahead, bool& built_ahead);
    // Fills n's entries for its position and `colour`, through `scratch`.
    void build(node& n, const img::BGRA<unsigned char>& colour, std::vector<entry>& scratch) const;
    // Sorts n's leading entries; adds the sorts made to `sorts`.
    void request(node& n, std::size_t count, std::uint64_t& sorts) const;
    // The vote of n's entries; adds the sorts made to `sorts`.
    decision vote(node& n, const img::image<img::bit>& source_mask, bool auto_threshold,
        float enough_statistics, std::uint64_t& sorts) const;

    const img::image<img::BGRA<unsigned char>>& m_source;
    int m_half;
    std::size_t m_cap;
    // The window away from the image borders, row by row: for dy = −w + i,
    // the offsets dx from m_rows[i].first to m_rows[i].second (both
    // included), within −w to w − 1 and inside the disc of radius w when
    // w > 2.
    std::vector<std::pair<int, int>> m_rows;
    // Per source pixel, row by row: the index of its node, or −1.
    std::vector<std::int32_t> m_table;
    std::vector<node> m_nodes;
    std::vector<std::int32_t> m_free;
    // Where a list is built before it is cached.
    std::vector<entry> m_scratch;
    std::size_t m_live = 0;
    std::uint64_t m_sorts = 0;
    std::uint64_t m_scans = 0;
};

} // namespace refine

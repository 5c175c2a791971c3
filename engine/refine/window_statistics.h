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
// The sorts counted are those the decisions asked for, in the order they were
// asked, however far work done ahead has already sorted a list.
// One object serves one refinement call on one thread; has_list, prepare and
// vote_ahead may be called from several threads at once while no other
// member runs. A thread keeps the position table (4 bytes per source pixel)
// and the node room of the last object it ended, for its next one.

#include <cstddef>
#include <cstdint>
#include <memory>
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
        // The longest prefix the counted sorts have ordered (at most sorted).
        std::size_t counted = 0;
        int age = 0;
        bool live = false;
        // The pass whose vote vote_ahead worked out, that vote, and the
        // longest prefix it asked for.
        std::uint64_t voted_pass = 0;
        decision voted = undecided;
        std::size_t voted_reach = 0;
    };

    // What decide does for a position that has no list yet, worked out ahead
    // of it: the list it builds, the decision, and the longest prefix the
    // decision asks for.
    struct prepared {
        node list;
        decision result = undecided;
        std::size_t reach = 0;
    };

    // `source` must outlive the object and not change while it is used.
    // The window half size lies between 1 and 127 (list entries keep their
    // offsets in 8 bits).
    window_statistics(const img::image<img::BGRA<unsigned char>>& source, int window_half_size);
    ~window_statistics();
    window_statistics(const window_statistics&) = delete;
    window_statistics& operator=(const window_statistics&) = delete;

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
    // Works out the vote of the cached list of (x, y) (which must exist) for
    // `source_mask` and the settings; every decide for that position until
    // the next age() answers with it (the list alone votes, whatever the
    // colour), so those calls must pass the same mask, unchanged, and
    // settings. A list several calls ask for is voted once, by the first,
    // which alone returns true with the vote in `d`; nothing counts as used
    // or sorted until decide takes the vote.
    bool vote_ahead(const img::image<img::bit>& source_mask, unsigned x, unsigned y, bool auto_threshold,
        float enough_statistics, decision& d);

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
    // Sorts n's leading `count` entries (at least).
    void request(node& n, std::size_t count) const;
    // The vote of n's entries; `reach` receives the longest prefix it asked
    // for.
    decision vote(node& n, const img::image<img::bit>& source_mask, bool auto_threshold,
        float enough_statistics, std::size_t& reach) const;
    // Counts the sorts a decision asking for n's prefix up to `reach` takes
    // after the decisions counted before it.
    void count_sorts(node& n, std::size_t reach, bool auto_threshold, float enough_statistics) noexcept;

    const img::image<img::BGRA<unsigned char>>& m_source;
    int m_half;
    std::size_t m_cap;
    // The window away from the image borders, row by row: for dy = −w + i,
    // the offsets dx from m_rows[i].first to m_rows[i].second (both
    // included), within −w to w − 1 and inside the disc of radius w when
    // w > 2.
    std::vector<std::pair<int, int>> m_rows;
    // Per source pixel, row by row: the index of its node, or −1. At least
    // as large as the source; the entries past it stay −1.
    std::unique_ptr<std::int32_t[]> m_table;
    std::size_t m_table_size = 0;
    std::vector<node> m_nodes;
    std::vector<std::int32_t> m_free;
    // Where a list is built before it is cached.
    std::vector<entry> m_scratch;
    // Bumped by age(): the pass vote_ahead's votes belong to.
    std::uint64_t m_pass = 1;
    std::size_t m_live = 0;
    std::uint64_t m_sorts = 0;
    std::uint64_t m_scans = 0;
};

} // namespace refine

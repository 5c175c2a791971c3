#include "engine/refine/window_statistics.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>

#include "engine/common/thread_pool.h"

namespace refine {

namespace {

constexpr std::uint32_t no_distance = 65536;

std::uint32_t distance_of(std::uint32_t e) noexcept
{
    return e >> 16;
}

int dx_of(std::uint32_t e) noexcept
{
    return static_cast<int>((e >> 8) & 0xFFu) - 128;
}

int dy_of(std::uint32_t e) noexcept
{
    return static_cast<int>(e & 0xFFu) - 128;
}

// The first request of a manual decision: trunc(2e) entries, at least one,
// at most the usable count.
std::size_t first_request(float enough_statistics, std::size_t usable) noexcept
{
    const double wanted = 2.0 * static_cast<double>(enough_statistics);
    if (!(wanted >= 1.0))
        return 1;
    if (wanted >= static_cast<double>(usable))
        return usable;
    return static_cast<std::size_t>(wanted);
}

// Up to this many entries are selected by insertion, which for a short
// request looks at most entries once.
constexpr std::size_t small_request = 16;

// Moves the smallest (middle − first) entries of [first, last) to its front
// in order; the others stay behind them in some order.
template <class It> void select_smallest(It first, It middle, It last)
{
    std::sort(first, middle);
    for (It i = middle; i != last; ++i) {
        if (!(*i < *(middle - 1)))
            continue;
        // Insert *i into the front, pushing the largest of the front out to i.
        std::uint32_t value = *i;
        *i = *(middle - 1);
        It j = middle - 1;
        for (; j != first && value < *(j - 1); --j)
            *j = *(j - 1);
        *j = value;
    }
}

// The position table of the last statistics object that ended on this
// thread, every entry −1 again, and the room of its nodes: a frame-sized
// table filled anew (and fresh node storage) for every refinement call would
// cost more than a short call's decisions.
struct spare_table {
    std::unique_ptr<std::int32_t[]> table;
    std::size_t size = 0;
    std::vector<window_statistics::node> nodes;
};
thread_local spare_table t_spare;

} // namespace

window_statistics::window_statistics(const img::image<img::BGRA<unsigned char>>& source, int window_half_size)
    : m_source(source)
    , m_half(window_half_size)
{
    if (window_half_size < 1 || window_half_size > 127)
        throw std::runtime_error("refinement: the window half size must lie between 1 and 127, not "
            + std::to_string(window_half_size));
    const std::size_t w = static_cast<std::size_t>(window_half_size);
    m_cap = std::max<std::size_t>(w * (w + 1), 7);
    for (int dy = -m_half; dy < m_half; ++dy) {
        int first = -m_half;
        int last = m_half - 1;
        if (m_half > 2) {
            while (first * first + dy * dy > m_half * m_half)
                ++first;
            while (last * last + dy * dy > m_half * m_half)
                --last;
        }
        m_rows.emplace_back(first, last);
    }
    const std::size_t pixels = static_cast<std::size_t>(source.width) * source.height;
    m_nodes.swap(t_spare.nodes);
    if (t_spare.table && t_spare.size >= pixels) {
        m_table = std::move(t_spare.table);
        m_table_size = t_spare.size;
        t_spare.size = 0;
        return;
    }
    m_table.reset(new std::int32_t[pixels]);
    m_table_size = pixels;
    trm::parallel_ranges(pixels, std::size_t(1) << 16, [this](std::size_t first, std::size_t last) {
        std::fill(m_table.get() + first, m_table.get() + last, -1);
    });
}

window_statistics::~window_statistics()
{
    // The dropped lists cleared their entries already.
    for (const node& n : m_nodes)
        if (n.live)
            m_table[static_cast<std::size_t>(n.y) * m_source.width + n.x] = -1;
    if (m_table_size > t_spare.size) {
        t_spare.table = std::move(m_table);
        t_spare.size = m_table_size;
    }
    m_nodes.clear();
    if (m_nodes.capacity() > t_spare.nodes.capacity())
        m_nodes.swap(t_spare.nodes);
}

window_statistics::node& window_statistics::list_of(
    unsigned x, unsigned y, const img::BGRA<unsigned char>& colour, prepared* ahead, bool& built_ahead)
{
    built_ahead = false;
    std::int32_t& slot = m_table[static_cast<std::size_t>(y) * m_source.width + x];
    if (slot < 0) {
        if (m_free.empty()) {
            slot = static_cast<std::int32_t>(m_nodes.size());
            m_nodes.emplace_back();
        } else {
            slot = m_free.back();
            m_free.pop_back();
        }
        node& n = m_nodes[static_cast<std::size_t>(slot)];
        n.x = x;
        n.y = y;
        n.live = true;
        n.counted = 0;
        n.voted_pass = 0;
        ++m_live;
        ++m_scans;
        if (ahead != nullptr) {
            n.entries.swap(ahead->list.entries);
            n.sorted = ahead->list.sorted;
            built_ahead = true;
        } else {
            build(n, colour, m_scratch);
        }
    }
    return m_nodes[static_cast<std::size_t>(slot)];
}

// The window reaches w pixels left of and above the position but only w − 1
// right of and below it, clipped to the image.
void window_statistics::build(
    node& n, const img::BGRA<unsigned char>& colour, std::vector<entry>& scratch) const
{
    n.entries.clear();
    n.sorted = 0;
    const int x = static_cast<int>(n.x);
    const int y = static_cast<int>(n.y);
    const int left = -std::min(x, m_half);
    const int right = std::min(m_half, static_cast<int>(m_source.width) - x) - 1;
    const int top = -std::min(y, m_half);
    const int bottom = std::min(m_half, static_cast<int>(m_source.height) - y) - 1;
    scratch.resize(4 * static_cast<std::size_t>(m_half) * static_cast<std::size_t>(m_half));
    entry* out = scratch.data();
    std::size_t count = 0;
    for (int dy = top; dy <= bottom; ++dy) {
        const auto [row_first, row_last] = m_rows[static_cast<std::size_t>(dy + m_half)];
        const int first = std::max(row_first, left);
        const int last = std::min(row_last, right);
        const img::BGRA<unsigned char>* row = m_source.row(static_cast<unsigned>(y + dy)) + x;
        const std::uint32_t low = static_cast<std::uint32_t>(dy + 128);
        for (int dx = first; dx <= last; ++dx) {
            const img::BGRA<unsigned char>& other = row[dx];
            const int db = other.b - colour.b;
            const int dg = other.g - colour.g;
            const int dr = other.r - colour.r;
            const std::uint32_t distance = static_cast<std::uint32_t>(db * db + dg * dg + dr * dr);
            out[count] = distance << 16 | static_cast<std::uint32_t>(dx + 128) << 8 | low;
            // The centre is left out only when it has the colour itself.
            count += distance < no_distance && (distance != 0 || dx != 0 || dy != 0);
        }
    }
    // Cached lists hold their entries only: the scratch has room for a whole
    // square window.
    n.entries.assign(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(count));
}

void window_statistics::request(node& n, std::size_t count) const
{
    const std::size_t length = n.entries.size();
    const std::size_t limit = std::min(length, m_cap);
    count = std::min(count, limit);
    if (count <= n.sorted)
        return;
    // The leading sorted entries are the smallest of the list, so sorting
    // the rest's smallest behind them extends the order. Entries are unique,
    // so the result does not depend on how the smallest are found.
    const auto begin = n.entries.begin() + static_cast<std::ptrdiff_t>(n.sorted);
    const auto end = n.entries.begin() + static_cast<std::ptrdiff_t>(count);
    if (count - n.sorted <= small_request)
        select_smallest(begin, end, n.entries.end());
    else {
        if (count < length)
            std::nth_element(begin, end, n.entries.end());
        std::sort(begin, end);
    }
    n.sorted = count;
    if (count == limit && length > limit) {
        n.entries.resize(limit);
        n.entries.shrink_to_fit();
    }
}

decision window_statistics::vote(node& n, const img::image<img::bit>& source_mask, bool auto_threshold,
    float enough_statistics, std::size_t& reach) const
{
    const std::size_t usable = std::min(n.entries.size(), m_cap);
    std::size_t requested = auto_threshold ? usable : first_request(enough_statistics, usable);
    request(n, requested);
    reach = std::min(requested, usable);

    const double e = static_cast<double>(enough_statistics);
    decision d = undecided;
    double best = 0.0;
    long balance = 0;
    for (std::size_t i = 1; i <= usable; ++i) {
        if (i == requested && requested < usable) {
            requested = std::min(requested * 2, usable);
            request(n, requested);
            reach = requested;
        }
        const std::uint32_t current = n.entries[i - 1];
        const unsigned vx = static_cast<unsigned>(static_cast<int>(n.x) + dx_of(current));
        const unsigned vy = static_cast<unsigned>(static_cast<int>(n.y) + dy_of(current));
        balance += (source_mask.row(vy)[vx >> 3] >> (7 - (vx & 7))) & 1u ? 1 : -1;
        if (i < usable && distance_of(n.entries[i]) == distance_of(current))
            continue;
        const double squared = static_cast<double>(balance) * static_cast<double>(balance);
        const double count = static_cast<double>(i);
        if (auto_threshold) {
            if (squared > count * best) {
                best = squared / count;
                d = balance > 0 ? object : background;
            }
        } else if (squared > count * e) {
            return balance > 0 ? object : background;
        }
    }
    return d;
}

decision window_statistics::decide(const img::image<img::bit>& source_mask, unsigned x, unsigned y,
    const img::BGRA<unsigned char>& colour, bool auto_threshold, float enough_statistics, prepared* ahead)
{
    bool built_ahead = false;
    node& n = list_of(x, y, colour, ahead, built_ahead);
    n.age = 0;
    decision d = undecided;
    std::size_t reach = 0;
    if (built_ahead) {
        d = ahead->result;
        reach = ahead->reach;
    } else if (n.voted_pass == m_pass) {
        d = n.voted;
        reach = n.voted_reach;
    } else {
        d = vote(n, source_mask, auto_threshold, enough_statistics, reach);
    }
    count_sorts(n, reach, auto_threshold, enough_statistics);
    return d;
}

// A decision asks for the prefixes of one chain (the first request, then
// doubling up to the usable count), each a sort when longer than what is
// ordered already; so the sorts depend only on the longest prefix asked for
// before, never on who sorted it.
void window_statistics::count_sorts(
    node& n, std::size_t reach, bool auto_threshold, float enough_statistics) noexcept
{
    const std::size_t usable = std::min(n.entries.size(), m_cap);
    std::size_t length = auto_threshold ? usable : std::min(first_request(enough_statistics, usable), usable);
    while (length > 0 && length <= reach) {
        if (length > n.counted)
            ++m_sorts;
        if (length == usable)
            break;
        length = std::min(length * 2, usable);
    }
    n.counted = std::max(n.counted, reach);
}

bool window_statistics::has_list(unsigned x, unsigned y) const noexcept
{
    return m_table[static_cast<std::size_t>(y) * m_source.width + x] >= 0;
}

void window_statistics::prepare(prepared& out, const img::image<img::bit>& source_mask, unsigned x,
    unsigned y, const img::BGRA<unsigned char>& colour, bool auto_threshold, float enough_statistics) const
{
    thread_local std::vector<entry> scratch;
    out.list.x = x;
    out.list.y = y;
    build(out.list, colour, scratch);
    out.result = vote(out.list, source_mask, auto_threshold, enough_statistics, out.reach);
}

bool window_statistics::vote_ahead(const img::image<img::bit>& source_mask, unsigned x, unsigned y,
    bool auto_threshold, float enough_statistics, decision& d)
{
    const std::int32_t slot = m_table[static_cast<std::size_t>(y) * m_source.width + x];
    if (slot < 0)
        return false;
    node& n = m_nodes[static_cast<std::size_t>(slot)];
    // The claim: only the thread that stamps the node first this pass
    // touches it until the pass's decisions.
    if (std::atomic_ref<std::uint64_t>(n.voted_pass).exchange(m_pass, std::memory_order_relaxed) == m_pass)
        return false;
    n.voted = vote(n, source_mask, auto_threshold, enough_statistics, n.voted_reach);
    d = n.voted;
    return true;
}

void window_statistics::age()
{
    ++m_pass;
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        node& n = m_nodes[i];
        if (!n.live)
            continue;
        if (n.age >= 2) {
            n.live = false;
            m_table[static_cast<std::size_t>(n.y) * m_source.width + n.x] = -1;
            m_free.push_back(static_cast<std::int32_t>(i));
            --m_live;
        } else {
            ++n.age;
        }
    }
}

} // namespace refine

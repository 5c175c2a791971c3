#include "contours/crack_outline.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace contours {

namespace {

// Read access to a mask in which every pixel outside counts as clear.
class mask_view {
public:
    explicit mask_view(const img::image<img::bit>& mask)
        : m_rows(mask.rows.data())
        , m_width(mask.width)
        , m_height(mask.height)
    {
    }
    unsigned width() const { return m_width; }
    unsigned height() const { return m_height; }
    // x and y may be -1 (as unsigned), which is outside.
    bool operator()(unsigned x, unsigned y) const
    {
        return x < m_width && y < m_height && (m_rows[y][x >> 3] & (0x80u >> (x & 7))) != 0;
    }
    const unsigned char* row(unsigned y) const { return m_rows[y]; }

private:
    unsigned char* const* m_rows;
    unsigned m_width;
    unsigned m_height;
};

// One mark per crack: row 2y holds the horizontal cracks from (x, y) to
// (x + 1, y), row 2y + 1 the vertical cracks from (x, y) to (x, y + 1).
class crack_marks {
public:
    crack_marks(unsigned width, unsigned height)
        : m_columns(static_cast<std::uint64_t>(width) + 1)
        , m_bits((m_columns * (2 * static_cast<std::uint64_t>(height) + 1) + 63) / 64)
    {
    }
    bool test_and_set(std::uint64_t row, unsigned x)
    {
        const std::uint64_t index = row * m_columns + x;
        const std::uint64_t bit = std::uint64_t(1) << (index & 63);
        std::uint64_t& word = m_bits[index >> 6];
        const bool was = (word & bit) != 0;
        word |= bit;
        return was;
    }

private:
    std::uint64_t m_columns;
    std::vector<std::uint64_t> m_bits;
};

std::uint64_t horizontal_row(unsigned y)
{
    return 2 * static_cast<std::uint64_t>(y);
}
std::uint64_t vertical_row(unsigned y)
{
    return 2 * static_cast<std::uint64_t>(y) + 1;
}

class tracer {
public:
    tracer(const mask_view& mask, std::vector<crack_outline>& outlines)
        : m_mask(mask)
        , m_marks(mask.width(), mask.height())
        , m_outlines(outlines)
    {
    }

    // Starts an outline at the crack of mark row `row`, column `x` unless
    // it is marked, with the end corners listed as given. The start crack
    // has the set pixel on its left (seen along the walk).
    void start(std::uint64_t row, unsigned x, std::uint32_t first, std::uint32_t second)
    {
        if (m_marks.test_and_set(row, x))
            return;
        crack_outline outline { first, second };
        follow(outline);
        m_outlines.push_back(std::move(outline));
    }

private:
    enum direction : unsigned { east, south, west, north };
    static direction turned_right(direction d) { return direction((d + 1) & 3); }
    static direction turned_left(direction d) { return direction((d + 3) & 3); }

    // Walks on from the outline's last corner, keeping the set pixels on the
    // left of the walk, until the next crack is the marked start crack.
    // Where two set pixels touch only at a corner, four boundary cracks
    // meet and two of them lead on with the same orientation; the walk
    // turns right, round the pixel it has not yet passed, so that pixels
    // touching at a corner share one outline that passes the corner twice.
    // Holding one orientation throughout is what lets the edge index tell
    // the object's side of every step.
    void follow(crack_outline& outline)
    {
        unsigned x = vertex_x(outline.back());
        unsigned y = vertex_y(outline.back());
        const unsigned px = vertex_x(outline[outline.size() - 2]);
        const unsigned py = vertex_y(outline[outline.size() - 2]);
        direction heading = x > px ? east : x < px ? west : y > py ? south : north;
        for (;;) {
            // The two pixels ahead of the corner, left and right of the
            // heading; the pixel behind on the left is set, the one behind
            // on the right clear.
            bool ahead_left, ahead_right;
            switch (heading) {
            case east:
                ahead_left = m_mask(x, y - 1);
                ahead_right = m_mask(x, y);
                break;
            case west:
                ahead_left = m_mask(x - 1, y);
                ahead_right = m_mask(x - 1, y - 1);
                break;
            case south:
                ahead_left = m_mask(x, y);
                ahead_right = m_mask(x - 1, y);
                break;
            default:
                ahead_left = m_mask(x - 1, y - 1);
                ahead_right = m_mask(x, y - 1);
                break;
            }
            if (ahead_right)
                heading = turned_right(heading);
            else if (!ahead_left)
                heading = turned_left(heading);
            if (!take(heading, x, y))
                return;
            outline.push_back(make_vertex(x, y));
        }
    }

    // Marks the crack from the corner (x, y) in direction d and moves onto
    // its far corner; false when it is marked already.
    bool take(direction d, unsigned& x, unsigned& y)
    {
        switch (d) {
        case east:
            if (m_marks.test_and_set(horizontal_row(y), x))
                return false;
            ++x;
            return true;
        case west:
            if (m_marks.test_and_set(horizontal_row(y), x - 1))
                return false;
            --x;
            return true;
        case south:
            if (m_marks.test_and_set(vertical_row(y), x))
                return false;
            ++y;
            return true;
        default:
            if (m_marks.test_and_set(vertical_row(y - 1), x))
                return false;
            --y;
            return true;
        }
    }

    const mask_view& m_mask;
    crack_marks m_marks;
    std::vector<crack_outline>& m_outlines;
};

// Scan 3 by bytes: the pixels x >= 1 of row y that are set while their
// left neighbour is clear.
template <class F> void for_each_rising_edge(const mask_view& mask, unsigned y, F&& f)
{
    const unsigned w = mask.width();
    const unsigned char* row = mask.row(y);
    const unsigned bytes = (w + 7) / 8;
    unsigned previous = 0; // the last pixel of the byte before, as bit 7
    for (unsigned b = 0; b < bytes; ++b) {
        unsigned value = row[b];
        if (b + 1 == bytes && (w & 7) != 0)
            value &= 0xFFu << (8 - (w & 7));
        const unsigned rising = value & ~((value >> 1) | previous) & 0xFFu;
        previous = (value & 1u) << 7;
        if (rising == 0)
            continue;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (rising & (0x80u >> bit)) {
                const unsigned x = b * 8 + bit;
                if (x >= 1)
                    f(x);
            }
    }
}

// Whether the pixel centre (px + 0.5, py + 0.5) lies inside the closed
// outline by the even-odd rule: the parity of the outline's vertical
// steps in row py left of the centre.
bool contains(const crack_outline& outline, unsigned px, unsigned py)
{
    bool inside = false;
    for (std::size_t i = 1; i < outline.size(); ++i) {
        const std::uint32_t a = outline[i - 1];
        const std::uint32_t b = outline[i];
        if (vertex_x(a) != vertex_x(b) || vertex_x(a) > px)
            continue;
        if (std::min(vertex_y(a), vertex_y(b)) == py)
            inside = !inside;
    }
    return inside;
}

// Twice the outline's enclosed area, unsigned.
std::uint64_t doubled_area(const crack_outline& outline)
{
    std::int64_t sum = 0;
    for (std::size_t i = 1; i < outline.size(); ++i) {
        const std::int64_t x0 = vertex_x(outline[i - 1]), y0 = vertex_y(outline[i - 1]);
        const std::int64_t x1 = vertex_x(outline[i]), y1 = vertex_y(outline[i]);
        sum += x0 * y1 - x1 * y0;
    }
    return static_cast<std::uint64_t>(std::llabs(sum));
}

struct crack_sides {
    unsigned inner_x, outer_x, y;
};

// The pixels on both sides of the outline's first vertical step: the one
// the outline encloses and the one outside it. False when it has none.
bool first_vertical_sides(const crack_outline& outline, crack_sides& sides)
{
    for (std::size_t i = 1; i < outline.size(); ++i) {
        const std::uint32_t a = outline[i - 1];
        const std::uint32_t b = outline[i];
        if (vertex_x(a) != vertex_x(b))
            continue;
        const unsigned x = vertex_x(a);
        const unsigned y = std::min(vertex_y(a), vertex_y(b));
        const bool right_inside = contains(outline, x, y);
        sides = { right_inside ? x : x - 1, right_inside ? x - 1 : x, y };
        return true;
    }
    return false;
}

bool border_all_set(const mask_view& m)
{
    const unsigned w = m.width();
    const unsigned h = m.height();
    for (unsigned x = 0; x < w; ++x)
        if (!m(x, 0) || !m(x, h - 1))
            return false;
    for (unsigned y = 0; y < h; ++y)
        if (!m(0, y) || !m(w - 1, y))
            return false;
    return true;
}

} // namespace

void trace_outlines(const img::image<img::bit>& mask, std::vector<crack_outline>& outlines)
{
    if (mask.width > max_outline_extent || mask.height > max_outline_extent)
        throw std::runtime_error("The mask is too large to trace: outlines are limited to 65535 pixels "
                                 "in width and height");
    const mask_view m(mask);
    const unsigned w = m.width();
    const unsigned h = m.height();
    if (w == 0 || h == 0)
        return;
    const std::size_t first = outlines.size();
    tracer trace(m, outlines);

    for (unsigned x = 1; x < w; ++x) {
        if (m(x, 0) && !m(x - 1, 0))
            trace.start(vertical_row(0), x, make_vertex(x, 0), make_vertex(x, 1));
        if (m(x - 1, h - 1) && !m(x, h - 1))
            trace.start(vertical_row(h - 1), x, make_vertex(x, h), make_vertex(x, h - 1));
    }
    for (unsigned y = 1; y < h; ++y) {
        if (m(0, y - 1) && !m(0, y))
            trace.start(horizontal_row(y), 0, make_vertex(0, y), make_vertex(1, y));
        if (m(w - 1, y) && !m(w - 1, y - 1))
            trace.start(horizontal_row(y), w - 1, make_vertex(w, y), make_vertex(w - 1, y));
    }
    for (unsigned y = 0; y < h; ++y)
        for_each_rising_edge(m, y,
            [&](unsigned x) { trace.start(vertical_row(y), x, make_vertex(x, y), make_vertex(x, y + 1)); });

    // An object that covers the whole border meets no clear pixel there, so
    // no scan starts its outer outline: that outline is the image border.
    // It exists when some clear pixel lies inside, that is when a hole's
    // outline was found; it is walked from the top-left corner downwards
    // and takes the place the border scans would have given it.
    if (outlines.size() > first && border_all_set(m)) {
        trace.start(vertical_row(0), 0, make_vertex(0, 0), make_vertex(0, 1));
        std::rotate(
            outlines.begin() + static_cast<std::ptrdiff_t>(first), outlines.end() - 1, outlines.end());
    }
}

void longest_outline(const img::image<img::bit>& mask, crack_outline& out)
{
    std::vector<crack_outline> outlines;
    trace_outlines(mask, outlines);
    if (outlines.empty())
        throw std::runtime_error("The bitmap contains no outlines");

    std::size_t longest = 0;
    for (std::size_t i = 1; i < outlines.size(); ++i)
        if (outlines[i].size() > outlines[longest].size())
            longest = i;

    // A hole's outline encloses clear pixels. Its object is the innermost
    // outline around the set pixel beside it whose own inside is set.
    const mask_view m(mask);
    std::size_t chosen = longest;
    crack_sides sides {};
    if (first_vertical_sides(outlines[longest], sides) && !m(sides.inner_x, sides.y)) {
        std::uint64_t best_area = 0;
        for (std::size_t i = 0; i < outlines.size(); ++i) {
            if (i == longest || !contains(outlines[i], sides.outer_x, sides.y))
                continue;
            crack_sides own {};
            if (!first_vertical_sides(outlines[i], own) || !m(own.inner_x, own.y))
                continue;
            const std::uint64_t area = doubled_area(outlines[i]);
            if (chosen == longest || area < best_area) {
                chosen = i;
                best_area = area;
            }
        }
    }
    out.swap(outlines[chosen]);
}

} // namespace contours

#include "engine/refine/refine.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/masks/morphology.h"
#include "engine/masks/pyramid.h"
#include "engine/masks/reduction.h"
#include "foundation/image/blit.h"

namespace refine {

namespace {

template <class A, class B> void require_same_size(const A& a, const B& b, const char* message)
{
    if (a.width != b.width || a.height != b.height)
        throw std::runtime_error(message);
}

void require_image_sizes(const colour_image& a, const mask& am, const colour_image& b, const mask& bm)
{
    require_same_size(am, a, "refinement: the reference mask does not have the reference image's size");
    require_same_size(bm, b, "refinement: the target mask does not have the target image's size");
}

// Set bits among three (a lookup: std::popcount is a library call unless the
// target has the instruction).
constexpr int set_of_three[8] = { 0, 1, 1, 2, 1, 2, 2, 3 };

// Bits x − 1, x and x + 1 of a row, x − 1 the highest; 1 <= x < width − 1.
unsigned three_bits(const unsigned char* row, unsigned x) noexcept
{
    const unsigned first = (x - 1) >> 3;
    const unsigned last = (x + 1) >> 3;
    const unsigned pair = static_cast<unsigned>(row[first]) << 8 | (last == first ? 0u : row[last]);
    return (pair >> (13 - ((x - 1) & 7))) & 7u;
}

constexpr int all_neighbours = 8;

bool bit_at(const mask& m, unsigned x, unsigned y) noexcept
{
    return (m.row(y)[x >> 3] >> (7 - (x & 7))) & 1u;
}

void put_bit(mask& m, unsigned x, unsigned y, bool value) noexcept
{
    unsigned char& byte = m.row(y)[x >> 3];
    const auto bit = static_cast<unsigned char>(0x80u >> (x & 7));
    byte = static_cast<unsigned char>(value ? byte | bit : byte & ~bit);
}

// Pixels 64k to 64k + 63 of a mask row of `bytes` bytes, the leftmost in the
// highest bit; bits past the row's bytes are 0.
std::uint64_t word_of(const unsigned char* row, std::size_t bytes, std::size_t k) noexcept
{
    const std::size_t first = k * 8;
    std::uint64_t w = 0;
    if (first + 8 <= bytes) {
        std::memcpy(&w, row + first, 8);
        if constexpr (std::endian::native == std::endian::little)
            w = __builtin_bswap64(w);
        return w;
    }
    for (std::size_t i = first; i < bytes; ++i)
        w |= static_cast<std::uint64_t>(row[i]) << (56 - 8 * (i - first));
    return w;
}

// Bit images seen 64 pixels at a time, for the plan's first sifting.
class word_rows {
public:
    explicit word_rows(const mask& m)
        : m_mask(m)
        , m_bytes((m.width + 7) / 8)
        , m_words((m.width + 63) / 64)
    {
    }

    std::size_t words() const noexcept { return m_words; }

    // Word k of row y, bits past the width cleared.
    std::uint64_t operator()(unsigned y, std::size_t k) const noexcept
    {
        const std::uint64_t w = word_of(m_mask.row(y), m_bytes, k);
        const std::size_t valid = m_mask.width - 64 * k;
        return valid >= 64 ? w : w & ~(~std::uint64_t(0) >> valid);
    }

    // Per pixel of word k of row y: its left neighbour's bit and its right
    // neighbour's bit (0 past the row's ends), ANDed with the pixel's own
    // (`all`) and ORed (`any`); with `own`, the pixel's bit is left out.
    void three(unsigned y, std::size_t k, bool own, std::uint64_t& all, std::uint64_t& any) const noexcept
    {
        const std::uint64_t w = (*this)(y, k);
        const std::uint64_t before = k > 0 ? (*this)(y, k - 1) & 1u : 0;
        const std::uint64_t after = k + 1 < m_words ? (*this)(y, k + 1) >> 63 : 0;
        const std::uint64_t left = w >> 1 | before << 63;
        const std::uint64_t right = w << 1 | after;
        all = left & right & (own ? w : ~std::uint64_t(0));
        any = left | right | (own ? w : 0);
    }

private:
    const mask& m_mask;
    std::size_t m_bytes;
    std::size_t m_words;
};

// The pixels of word k of row y, of those set in `check`, that a pass may
// change: a pixel whose eight neighbours all share its own bit keeps it. On
// the first and last rows every pixel is left to its own vote. On the first
// and last columns the neighbours outside read as clear: such a pixel is
// never taken as surrounded by set ones (its own vote decides), and "all
// clear" holds over the neighbours inside, which are the ones its vote
// counts.
std::uint64_t may_change(
    const word_rows& check, const word_rows& working, unsigned height, unsigned y, std::size_t k)
{
    const std::uint64_t candidates = check(y, k);
    if (candidates == 0 || y == 0 || y + 1 >= height)
        return candidates;
    std::uint64_t all = 0;
    std::uint64_t any = 0;
    std::uint64_t all_row = 0;
    std::uint64_t any_row = 0;
    working.three(y - 1, k, true, all, any);
    working.three(y, k, false, all_row, any_row);
    all &= all_row;
    any |= any_row;
    working.three(y + 1, k, true, all_row, any_row);
    all &= all_row;
    any |= any_row;
    const std::uint64_t own = working(y, k);
    return candidates & ~((all & own) | (~any & ~own));
}

// Target pixel (x, y) to source pixel (trunc(u), trunc(v)) through the
// inverse of the motion with 0.5 added to its translation (the identity
// without a motion); false outside the source.
class position_map {
public:
    position_map(const trm::affine_motion* motion, const colour_image& source, std::ostream& log)
        : m_identity(motion == nullptr)
        , m_width(source.width)
        , m_height(source.height)
    {
        if (motion) {
            m_inverse = motion->inverse(log);
            m_inverse.x += 0.5;
            m_inverse.y += 0.5;
        }
    }

    bool operator()(unsigned x, unsigned y, unsigned& sx, unsigned& sy) const noexcept
    {
        if (m_identity) {
            sx = x;
            sy = y;
            return x < m_width && y < m_height;
        }
        const double u = m_inverse.x + m_inverse.xx * x + m_inverse.xy * y;
        const double v = m_inverse.y + m_inverse.yx * x + m_inverse.yy * y;
        // Compared before any conversion: trunc lands inside exactly when
        // −1 < u < width.
        if (!(u > -1.0 && u < static_cast<double>(m_width) && v > -1.0 && v < static_cast<double>(m_height)))
            return false;
        sx = static_cast<unsigned>(static_cast<std::int64_t>(u));
        sy = static_cast<unsigned>(static_cast<std::int64_t>(v));
        return true;
    }

private:
    bool m_identity;
    unsigned m_width;
    unsigned m_height;
    trm::affine_motion m_inverse;
};

struct pixel {
    unsigned x = 0;
    unsigned y = 0;
};

// Sets bits first to last (both included) of a mask row.
void set_span(unsigned char* row, unsigned first, unsigned last) noexcept
{
    const unsigned first_byte = first >> 3;
    const unsigned last_byte = last >> 3;
    const auto head = static_cast<unsigned char>(0xFFu >> (first & 7));
    const auto tail = static_cast<unsigned char>(0xFFu << (7 - (last & 7)));
    if (first_byte == last_byte) {
        row[first_byte] |= head & tail;
        return;
    }
    row[first_byte] |= head;
    std::memset(row + first_byte + 1, 0xFF, last_byte - first_byte - 1);
    row[last_byte] |= tail;
}

// Rows first to last − 1 of an image.
struct row_range {
    unsigned first = 0;
    unsigned last = 0;
};

// The pixels to check in the next pass: those within w steps of a pixel the
// pass changed (4-neighbour steps, or 8-neighbour ones when w <= 2), as
// dilating the changed pixels w times would give, kept only where `limit`
// and `also` (either may be null) are set. `changed` is in row order and not
// empty. Made row by row (each row depends on the changes alone), so that
// the next pass's plan draws each row just before it plans it.
class check_growth {
public:
    // `rows` holds the rows where `check` may have pixels: those before on
    // the call, those after on return.
    check_growth(mask& check, const std::vector<pixel>& changed, int w, const mask* limit, const mask* also,
        row_range& rows)
        : m_check(check)
        , m_changed(changed)
        , m_square(w <= 2)
        , m_reach(static_cast<unsigned>(w))
        , m_limit(limit)
        , m_also(also)
        , m_bytes((check.width + 7) / 8)
    {
        const row_range grown { changed.front().y > m_reach ? changed.front().y - m_reach : 0,
            std::min(check.height, changed.back().y + m_reach + 1) };
        m_rows = { std::min(rows.first, grown.first), std::max(rows.last, grown.last) };
        rows = grown;
    }

    // The rows to draw: those that had pixels or will have some.
    row_range rows() const noexcept { return m_rows; }

    // Draws rows y0 to y1 − 1 (within rows()).
    void draw(unsigned y0, unsigned y1) const noexcept
    {
        for (unsigned y = y0; y < y1; ++y)
            std::memset(m_check.row(y), 0, m_bytes);
        const unsigned top = y0 > m_reach ? y0 - m_reach : 0;
        auto it = std::lower_bound(
            m_changed.begin(), m_changed.end(), top, [](const pixel& p, unsigned row) { return p.y < row; });
        for (; it != m_changed.end() && it->y < y1 + m_reach; ++it) {
            const unsigned first_row = std::max(y0, it->y > m_reach ? it->y - m_reach : 0);
            const unsigned last_row = std::min(y1 - 1, it->y + m_reach);
            for (unsigned y = first_row; y <= last_row; ++y) {
                const unsigned r = m_square ? m_reach : m_reach - (y > it->y ? y - it->y : it->y - y);
                set_span(m_check.row(y), it->x > r ? it->x - r : 0, std::min(m_check.width - 1, it->x + r));
            }
        }
        for (const mask* m : { m_limit, m_also })
            if (m)
                for (unsigned y = y0; y < y1; ++y) {
                    unsigned char* row = m_check.row(y);
                    const unsigned char* keep = m->row(y);
                    for (std::size_t i = 0; i < m_bytes; ++i)
                        row[i] &= keep[i];
                }
    }

private:
    mask& m_check;
    const std::vector<pixel>& m_changed;
    bool m_square;
    unsigned m_reach;
    const mask* m_limit;
    const mask* m_also;
    std::size_t m_bytes;
    row_range m_rows;
};

decision preferred(const options& o, decision d) noexcept
{
    if (d != undecided)
        return d;
    if (o.preference == preference::masked)
        return object;
    if (o.preference == preference::unmasked)
        return background;
    return undecided;
}

// One pass's plan, made on the engine's threads from the mask as it stands
// before the pass: per row, the pixels to check whose neighbours disagree or
// whose neighbours' vote changes them, with the statistics decision worked
// out ahead for those that will ask for one: voted ahead on the position's
// list, or prepared with a list of its own for a position without one.
// Every other pixel to check would keep its bit: the pass skips it, unless a
// neighbour visited before it changes during the pass (the pass then visits
// it too). A decision worked out ahead is the one the pass would make, so
// the result does not depend on the threads: the source mask changes only
// between passes, and a cached list votes alike for every pixel asking for
// its position, however far it was sorted before.
struct planned_pixel {
    unsigned x = 0;
    // Index of its prepared decision in its row's, or -1.
    std::int32_t ahead = -1;
    // True when its change is foreseen (its neighbours staying as they are).
    bool changes = false;
};

struct row_plan {
    std::vector<planned_pixel> pixels;
    // Pixels the plan leaves out but a foreseen change of a neighbour visited
    // before them brings in, with decisions prepared ahead, in order.
    std::vector<planned_pixel> brought;
    // The first `prepared` hold this pass's decisions; the others keep their
    // lists' room for later passes.
    std::vector<window_statistics::prepared> decisions;
    std::size_t prepared = 0;
    // The pixels whose change the last two rounds of foresight found.
    std::vector<unsigned> changing[2];
};

struct pass_inputs {
    window_statistics& statistics;
    const mask& check;
    const mask& working;
    const position_map& map;
    const mask& am;
    const colour_image& b;
    const options& o;
};

// Works out ahead the statistics decision of pixel (x, y) of `out`'s row
// (voted on the position's list, or prepared into out.decisions); true with
// the decision when it is known here.
bool work_ahead(const pass_inputs& in, row_plan& out, planned_pixel& p, unsigned y, decision& d)
{
    unsigned sx = 0;
    unsigned sy = 0;
    d = undecided;
    if (!in.map(p.x, y, sx, sy))
        return true;
    if (in.statistics.has_list(sx, sy))
        return in.statistics.vote_ahead(in.am, sx, sy, in.o.auto_threshold, in.o.enough_statistics, d);
    p.ahead = static_cast<std::int32_t>(out.prepared);
    if (out.prepared == out.decisions.size())
        out.decisions.emplace_back();
    window_statistics::prepared& ahead = out.decisions[out.prepared++];
    in.statistics.prepare(
        ahead, in.am, sx, sy, in.b.row(y)[p.x], in.o.auto_threshold, in.o.enough_statistics);
    d = ahead.result;
    return true;
}

bool changes_to(const options& o, decision d, bool m) noexcept
{
    d = preferred(o, d);
    return (d == background && m) || (d == object && !m);
}

// The pixels of row y that round r's foreseen changes bring in: right of a
// changing pixel of the row, and (when the row above was planned) below a
// changing pixel of the row above.
void foreseen_arrivals(const std::vector<row_plan>& plan, unsigned y, bool above, unsigned width, int round,
    std::vector<unsigned>& out)
{
    out.clear();
    for (unsigned x : plan[y].changing[round & 1])
        if (x + 1 < width)
            out.push_back(x + 1);
    if (above)
        for (unsigned x : plan[y - 1].changing[round & 1]) {
            if (x > 0)
                out.push_back(x - 1);
            out.push_back(x);
            if (x + 1 < width)
                out.push_back(x + 1);
        }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

// A round of foresight for row y: works out ahead the decisions of the
// pixels the previous round's changes bring in, and notes which of them
// change in turn (bringing in their right neighbours at once); returns how
// many do.
std::size_t foresee(std::vector<row_plan>& plan, const pass_inputs& in, row_range rows, unsigned y, int round,
    std::vector<unsigned>& arrivals)
{
    row_plan& out = plan[y];
    std::vector<unsigned>& changing = out.changing[round & 1];
    changing.clear();
    foreseen_arrivals(plan, y, y > rows.first, in.b.width, round - 1, arrivals);
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const unsigned x = arrivals[i];
        const auto planned = std::lower_bound(out.pixels.begin(), out.pixels.end(), x,
            [](const planned_pixel& p, unsigned v) { return p.x < v; });
        const auto brought = std::lower_bound(out.brought.begin(), out.brought.end(), x,
            [](const planned_pixel& p, unsigned v) { return p.x < v; });
        if ((planned != out.pixels.end() && planned->x == x)
            || (brought != out.brought.end() && brought->x == x) || !bit_at(in.check, x, y))
            continue;
        planned_pixel p { x, -1, false };
        decision d = undecided;
        if (work_ahead(in, out, p, y, d) && changes_to(in.o, d, bit_at(in.working, x, y))) {
            changing.push_back(x);
            if (x + 1 < in.b.width && (i + 1 == arrivals.size() || arrivals[i + 1] != x + 1))
                arrivals.insert(arrivals.begin() + static_cast<std::ptrdiff_t>(i) + 1, x + 1);
        }
        if (p.ahead >= 0)
            out.brought.insert(brought, p);
    }
    return changing.size();
}

// Rounds of foresight after the plan; few pixels are then left for the pass
// to work out alone. Skipped on one thread, where it would only add the
// decisions no pixel asks for in the end.
constexpr int foresight_rounds = 3;
// Fewer foreseen changes than this are left to the pass: the few pixels they
// bring in cost less than a round on the threads.
constexpr std::size_t few_foreseen = 48;
// Bands of rows per thread.
constexpr std::size_t plan_bands = 32;
// A pass after fewer changes than this is planned on the calling thread.
constexpr std::size_t few_changes = 48;

// The plan's work gathers along the outline, so that a band of rows may
// hold many times the work of another: rows are handed out a few at a time.
void plan_rows(row_range rows, bool alone, const std::function<void(unsigned, unsigned)>& body)
{
    if (alone) {
        body(rows.first, rows.last);
        return;
    }
    const std::size_t count = rows.last - rows.first;
    const std::size_t grain
        = std::max<std::size_t>(1, count / (std::size_t(trm::thread_pool::shared().threads()) * plan_bands));
    trm::parallel_ranges(count, grain, [&](std::size_t first, std::size_t last) {
        body(rows.first + static_cast<unsigned>(first), rows.first + static_cast<unsigned>(last));
    });
}

// Plans the rows in `rows`, the only ones where `in.check` has pixels once
// `growth` (may be null) has drawn it; on the calling thread alone when
// `alone` (for a pass after one of few changes, whose small plan would cost
// less than handing it out).
void plan_pass(std::vector<row_plan>& plan, const pass_inputs& in, row_range rows, const check_growth* growth,
    bool alone)
{
    const unsigned height = in.b.height;
    plan.resize(height);
    const word_rows check_words(in.check);
    const word_rows working_words(in.working);
    plan_rows(growth ? growth->rows() : rows, alone, [&](unsigned y0, unsigned y1) {
        if (growth)
            growth->draw(y0, y1);
        std::vector<unsigned> row;
        for (unsigned y = std::max(y0, rows.first); y < std::min(y1, rows.last); ++y) {
            row_plan& out = plan[y];
            out.pixels.clear();
            out.brought.clear();
            out.prepared = 0;
            out.changing[0].clear();
            row.clear();
            for (std::size_t k = 0; k < check_words.words(); ++k)
                for (std::uint64_t w = may_change(check_words, working_words, height, y, k); w != 0;) {
                    const int lead = std::countl_zero(w);
                    row.push_back(static_cast<unsigned>(64 * k + static_cast<std::size_t>(lead)));
                    w &= ~(std::uint64_t(1) << (63 - lead));
                }
            for (unsigned x : row) {
                const bool m = bit_at(in.working, x, y);
                decision d = local_vote(in.working, x, y);
                planned_pixel p { x, -1, false };
                if (d == undecided) {
                    if (work_ahead(in, out, p, y, d))
                        p.changes = changes_to(in.o, d, m);
                } else if (changes_to(in.o, d, m)) {
                    p.changes = true;
                } else {
                    continue;
                }
                out.pixels.push_back(p);
                if (p.changes)
                    out.changing[0].push_back(x);
            }
        }
    });
    std::size_t foreseen = 0;
    for (unsigned y = rows.first; y < rows.last; ++y)
        foreseen += plan[y].changing[0].size();
    if (alone || trm::thread_pool::shared().threads() == 1 || foreseen < few_foreseen)
        return;
    for (int round = 1; round <= foresight_rounds; ++round) {
        std::atomic<std::size_t> more { 0 };
        plan_rows(rows, alone, [&](unsigned y0, unsigned y1) {
            std::vector<unsigned> arrivals;
            std::size_t found = 0;
            for (unsigned y = y0; y < y1; ++y)
                found += foresee(plan, in, rows, y, round, arrivals);
            more.fetch_add(found, std::memory_order_relaxed);
        });
        if (more.load(std::memory_order_relaxed) < few_foreseen)
            break;
    }
}

void reference_pass(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const options& o, std::ostream& log)
{
    if (!o.quiet)
        log << "\nrefine using reference frame\n";
    run_passes(a, am, b, bm, motion, o, true, log);
}

} // namespace

decision local_vote(const mask& m, unsigned x, unsigned y) noexcept
{
    if (x >= 1 && y >= 1 && x + 1 < m.width && y + 1 < m.height) {
        const int set = set_of_three[three_bits(m.row(y - 1), x)] + set_of_three[three_bits(m.row(y), x) & 5u]
            + set_of_three[three_bits(m.row(y + 1), x)];
        return set == all_neighbours ? object : set == 0 ? background : undecided;
    }
    int inside = 0;
    int set = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const std::int64_t nx = static_cast<std::int64_t>(x) + dx;
            const std::int64_t ny = static_cast<std::int64_t>(y) + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= m.width || ny >= m.height)
                continue;
            ++inside;
            set += m.at(static_cast<unsigned>(nx), static_cast<unsigned>(ny));
        }
    if (inside == 0)
        return undecided;
    return set == inside ? object : set == 0 ? background : undecided;
}

void run_passes(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const options& o, bool using_reference, std::ostream& log)
{
    require_image_sizes(a, am, b, bm);
    if (o.check_mask)
        require_same_size(
            *o.check_mask, b, "refinement: the mask of pixels to check does not have the frame's size");
    using_reference = using_reference || am.data != bm.data;
    window_statistics statistics(a, o.window_half_size);
    if (!o.quiet)
        log << "refining initiated..." << std::endl;
    std::ostream silent(nullptr);
    const position_map map(motion, a, o.quiet ? silent : log);

    mask check(b.width, b.height, 4);
    check.fill(true);
    if (o.check_mask)
        img::blit_and(
            check, 0, 0, static_cast<int>(b.width), static_cast<int>(b.height), *o.check_mask, 0, 0);
    // Pixels never judged by statistics.
    mask unjudged;
    if (using_reference) {
        unjudged = mask(b.width, b.height, 4);
        unjudged.fill(true);
    }
    mask working(bm);
    std::vector<row_plan> plan;
    std::vector<unsigned> brought;
    std::vector<unsigned> changed_below;
    // The pixels the pass changed, in the order it visited them.
    std::vector<pixel> changed;
    // The rows where the check mask has pixels.
    row_range rows { 0, b.height };
    for (int pass = 0;; ++pass) {
        const std::uint64_t sorts = statistics.sorts();
        const std::uint64_t scans = statistics.scans();
        unsigned checks = 0;
        std::optional<check_growth> growth;
        if (pass > 0)
            growth.emplace(check, changed, o.window_half_size, using_reference ? &unjudged : nullptr,
                o.check_mask, rows);
        plan_pass(plan, { statistics, check, working, map, am, b, o }, rows, growth ? &*growth : nullptr,
            pass > 0 && changed.size() < few_changes);
        changed.clear();
        // Rows in order, each pixel in order: the planned ones, and those a
        // change of a neighbour before them brings in.
        changed_below.clear();
        for (unsigned y = rows.first; y < rows.last; ++y) {
            row_plan& rp = plan[y];
            // The decisions prepared on other threads, fetched ahead of
            // their use.
            if (y + 1 < rows.last)
                for (std::size_t d = 0; d < plan[y + 1].prepared; ++d)
                    __builtin_prefetch(&plan[y + 1].decisions[d]);
            brought.swap(changed_below);
            changed_below.clear();
            std::size_t i = 0;
            std::size_t j = 0;
            std::size_t k = 0;
            std::int64_t last = -1;
            std::int64_t carry = -1;
            for (;;) {
                std::int64_t x = INT64_MAX;
                if (i < rp.pixels.size())
                    x = rp.pixels[i].x;
                if (j < brought.size())
                    x = std::min<std::int64_t>(x, brought[j]);
                if (carry > last)
                    x = std::min(x, carry);
                if (x == INT64_MAX)
                    break;
                window_statistics::prepared* ahead = nullptr;
                if (i < rp.pixels.size() && rp.pixels[i].x == x) {
                    if (rp.pixels[i].ahead >= 0)
                        ahead = &rp.decisions[static_cast<std::size_t>(rp.pixels[i].ahead)];
                    ++i;
                } else {
                    while (k < rp.brought.size() && rp.brought[k].x < x)
                        ++k;
                    if (k < rp.brought.size() && rp.brought[k].x == x)
                        ahead = &rp.decisions[static_cast<std::size_t>(rp.brought[k].ahead)];
                }
                while (j < brought.size() && brought[j] <= x)
                    ++j;
                if (x <= last)
                    continue;
                last = x;
                const auto ux = static_cast<unsigned>(x);
                if (!bit_at(check, ux, y))
                    continue;
                const bool m = bit_at(bm, ux, y);
                decision d = local_vote(working, ux, y);
                if (d == undecided) {
                    ++checks;
                    if (using_reference)
                        put_bit(unjudged, ux, y, false);
                    unsigned sx = 0;
                    unsigned sy = 0;
                    if (map(ux, y, sx, sy))
                        d = statistics.decide(
                            am, sx, sy, b.row(y)[ux], o.auto_threshold, o.enough_statistics, ahead);
                    d = preferred(o, d);
                }
                if ((d == background && m) || (d == object && !m)) {
                    put_bit(working, ux, y, !m);
                    changed.push_back({ ux, y });
                    // The neighbours visited after this pixel see the change.
                    if (ux + 1 < b.width)
                        carry = x + 1;
                    if (y + 1 < b.height) {
                        if (ux > 0)
                            changed_below.push_back(ux - 1);
                        changed_below.push_back(ux);
                        if (ux + 1 < b.width)
                            changed_below.push_back(ux + 1);
                    }
                }
            }
        }
        const auto changes = static_cast<unsigned>(changed.size());
        if (!o.quiet)
            log << "pass " << pass << ": checks=" << checks << ", cache_size=" << statistics.cache_size()
                << ", sorts=" << statistics.sorts() - sorts << ", scans=" << statistics.scans() - scans
                << ", changes=" << changes << std::endl;
        // The target mask takes the pass's changes (the working mask differs
        // from it there alone).
        for (const pixel& p : changed)
            put_bit(bm, p.x, p.y, bit_at(working, p.x, p.y));
        if (changes == 0 || (statistics.sorts() == sorts && statistics.scans() == scans)
            || pass >= o.max_passes)
            break;
        statistics.age();
    }
}

void refine_frame(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& target_mask, information_source source, const trm::affine_motion& motion, const options& o,
    std::ostream& log)
{
    require_image_sizes(reference, reference_mask, target, target_mask);
    const bool from_reference = source == information_source::reference || source == information_source::both;
    const bool from_target = source == information_source::target || source == information_source::both;
    if (!from_reference && !from_target)
        throw std::runtime_error("refinement: unknown information source");
    if (from_reference)
        reference_pass(reference, reference_mask, target, target_mask, &motion, o, log);
    if (from_target) {
        if (!o.quiet)
            log << "\nrefine (adjust)\n";
        run_passes(target, target_mask, target, target_mask, nullptr, o, false, log);
    }
}

void adjust(const colour_image& image, mask& m, const options& o, std::ostream& log)
{
    run_passes(image, m, image, m, nullptr, o, false, log);
}

void band(const mask& m, int r, mask& out)
{
    mask inner;
    trm::erode4_n(inner, m, r);
    trm::dilate4_n(out, m, r);
    img::blit_and_not(out, 0, 0, static_cast<int>(out.width), static_cast<int>(out.height), inner, 0, 0);
}

void refine2(const colour_image& i1, const mask& m1, const colour_image& i2, mask& m2,
    const refine2_options& o, std::ostream& log)
{
    require_image_sizes(i1, m1, i2, m2);
    // Radii from max_motion halving down, one per pyramid level, the largest
    // at full resolution.
    std::vector<int> radii;
    for (int r = o.max_motion; r > 0 && static_cast<long>(radii.size()) <= static_cast<long>(o.max_level);
         r /= 2)
        radii.push_back(r);
    if (radii.empty())
        return;
    const int top = static_cast<int>(radii.size()) - 1;
    const unsigned factor = 1u << top;

    // Reduced at once here; the target's levels halve step by step (equal
    // sizes: floor(floor(n / 2) / 2) = floor(n / 4)). The reduced reference
    // mask is a copy even at full size, since m1 may be m2.
    colour_image reduced_reference;
    if (factor > 1)
        trm::reduce_image(i1, reduced_reference, factor, factor);
    const colour_image& x1 = factor > 1 ? reduced_reference : i1;
    mask y1;
    trm::reduce_mask(m1, y1, factor, factor);
    const trm::colour_pyramid p(i2, top);
    const trm::mask_pyramid q(m2, top);

    mask current(q[top]);
    mask check;
    options level_options;
    level_options.window_half_size = 5;
    level_options.auto_threshold = true;
    level_options.enough_statistics = 3.5f;
    level_options.quiet = o.quiet;
    level_options.check_mask = &check;
    band(q[top], radii[static_cast<std::size_t>(top)], check);
    reference_pass(x1, y1, p[top], current, nullptr, level_options, log);

    level_options.auto_threshold = false;
    for (int level = top - 1; level >= 0; --level) {
        const mask& given = q[level];
        const int width = static_cast<int>(given.width);
        const int height = static_cast<int>(given.height);
        band(given, radii[static_cast<std::size_t>(level)], check);
        // Inside the band the coarser result, outside it the given mask.
        mask coarse(given.width, given.height, 4);
        coarse.fill(false);
        trm::expand_mask(current, coarse, 2, 2);
        img::blit_and(coarse, 0, 0, width, height, check, 0, 0);
        mask next(given);
        img::blit_and_not(next, 0, 0, width, height, check, 0, 0);
        img::blit_or(next, 0, 0, width, height, coarse, 0, 0);
        current.swap(next);
        adjust(p[level], current, level_options, log);
    }
    img::copy_whole(m2, current);
}

} // namespace refine

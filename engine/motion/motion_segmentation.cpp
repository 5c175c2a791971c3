#include "engine/motion/motion_segmentation.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/common/check_memory.h"
#include "engine/common/thread_pool.h"

namespace trm {

namespace {

// Upper bounds of the memory one pixel and one segment take while a
// segmentation is built (a run and its labelling for every pixel at worst;
// the map nodes of a segment's key and about four
// neighbours, its merge entry and search-tree place included).
constexpr std::uint64_t bytes_per_pixel = 5 * sizeof(std::uint32_t) + sizeof(int);
constexpr std::uint64_t map_node_bytes = 64;
constexpr std::uint64_t bytes_per_segment = sizeof(motion_segment) + 5 * map_node_bytes + 96;

std::string task_text(const img::image<img::bit>& mask, unsigned block_size)
{
    return "block segmenting of a " + std::to_string(mask.width) + " x " + std::to_string(mask.height)
        + " mask into blocks of " + std::to_string(block_size) + " pixels";
}

inline bool bit_at(const unsigned char* row, unsigned x) noexcept
{
    return (row[x >> 3] >> (7 - (x & 7))) & 1u;
}

// The root of entry i's tree (entries with a `parent` field, -1 for a root);
// the path is compressed on the way.
template <class Entry> std::int32_t find_root(std::vector<Entry>& entries, std::int32_t i) noexcept
{
    std::int32_t root = i;
    while (entries[root].parent >= 0)
        root = entries[root].parent;
    while (entries[i].parent >= 0) {
        const std::int32_t next = entries[i].parent;
        entries[i].parent = root;
        i = next;
    }
    return root;
}

// A run of mask pixels in one row and one block column: [x0, x1). `label` is
// the run's region, numbered from 1 within its band.
struct mask_run {
    std::uint32_t x0;
    std::uint32_t x1;
    std::uint32_t label;
};

// The rows of one block row. Mask pixels connect only within a block, so the
// regions of different bands never meet and each band is labelled alone;
// region numbers follow the first appearance in raster order, which puts the
// bands' regions one band after the other.
struct band {
    unsigned y0 = 0;
    unsigned y1 = 0;
    std::vector<mask_run> runs;
    // Index of each row's first run; one more entry ends the last row.
    std::vector<std::uint32_t> row_start;
    std::uint32_t regions = 0;
    // Key of the band's region 1, less one.
    std::uint32_t key_offset = 0;
    // Pairs of touching regions, by key, each pair in both orders.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> touching;

    const mask_run* row_begin(unsigned y) const noexcept { return runs.data() + row_start[y - y0]; }
    const mask_run* row_end(unsigned y) const noexcept { return runs.data() + row_start[y - y0 + 1]; }
};

// Appends the runs of one mask row, cut where a new block column begins
// (`cuts` holds those columns in order, then the width).
void row_runs(
    const unsigned char* row, unsigned width, const std::vector<unsigned>& cuts, std::vector<mask_run>& out)
{
    unsigned x = 0;
    std::size_t c = 0;
    while (x < width) {
        if ((x & 7) == 0 && row[x >> 3] == 0) {
            x += 8;
            continue;
        }
        if (!bit_at(row, x)) {
            ++x;
            continue;
        }
        while (cuts[c] <= x)
            ++c;
        const unsigned limit = cuts[c];
        unsigned end = x + 1;
        while (end < limit) {
            if ((end & 7) == 0 && end + 8 <= limit && row[end >> 3] == 0xFF) {
                end += 8;
                continue;
            }
            if (!bit_at(row, end))
                break;
            ++end;
        }
        out.push_back({ x, end, 0 });
        x = end;
    }
}

struct run_entry {
    std::int32_t parent = -1;
};

// Finds the band's runs and labels its regions (runs of consecutive rows that
// overlap lie in one block and connect).
void label_band(const img::image<img::bit>& mask, const std::vector<unsigned>& cuts, band& b)
{
    b.runs.clear();
    b.row_start.assign(1, 0);
    for (unsigned y = b.y0; y < b.y1; ++y) {
        row_runs(mask.row(y), mask.width, cuts, b.runs);
        b.row_start.push_back(static_cast<std::uint32_t>(b.runs.size()));
    }
    std::vector<run_entry> entries(b.runs.size());
    const auto join = [&](std::int32_t i, std::int32_t j) {
        i = find_root(entries, i);
        j = find_root(entries, j);
        if (i != j)
            entries[std::max(i, j)].parent = std::min(i, j);
    };
    for (unsigned r = 1; r < b.y1 - b.y0; ++r) {
        std::uint32_t i = b.row_start[r - 1];
        std::uint32_t j = b.row_start[r];
        const std::uint32_t i_end = b.row_start[r];
        const std::uint32_t j_end = b.row_start[r + 1];
        while (i < i_end && j < j_end) {
            const mask_run& above = b.runs[i];
            const mask_run& here = b.runs[j];
            if (std::max(above.x0, here.x0) < std::min(above.x1, here.x1))
                join(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
            if (above.x1 <= here.x1)
                ++i;
            else
                ++j;
        }
    }
    std::vector<std::uint32_t> number(b.runs.size(), 0);
    std::uint32_t regions = 0;
    for (std::size_t r = 0; r < b.runs.size(); ++r) {
        std::uint32_t& n = number[static_cast<std::size_t>(find_root(entries, static_cast<std::int32_t>(r)))];
        if (n == 0)
            n = ++regions;
        b.runs[r].label = n;
    }
    b.regions = regions;
}

// What the runs of a region add up to: its size, the sums of its pixels'
// coordinates (whole numbers, exact in a double whatever the order of
// adding), its bounds, and the first moment at which a column-by-column scan
// meets it.
struct region_sums {
    std::uint64_t first = std::numeric_limits<std::uint64_t>::max();
    std::int32_t count = 0;
    double sum_x = 0.0;
    double sum_y = 0.0;
    motion_segment::box bounds { std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), 0, 0 };
};

// Adds the band's runs to the sums of its regions (regions key_offset + 1 ...,
// which no other band holds) and lists the regions that touch one of the
// same band or of the band above.
//
// Segments are numbered in the order a scan down each column, column after
// column, meets their regions, where the scan at pixel (x, y) meets its own
// region, then the one to its right, then the one below: moment 3 (x h + y),
// + 1 and + 2. The first meeting of a run's region is thus the run's own start
// unless a pixel of another region lies left of it (met a column earlier).
// Meeting it from the pixel above comes just before its start, with no other
// meeting in between, and changes no order.
void sum_band(const img::image<img::bit>& mask, band& b, const band* above, std::vector<region_sums>& sums)
{
    const std::uint64_t h = mask.height;
    for (unsigned y = b.y0; y < b.y1; ++y) {
        const unsigned char* row = mask.row(y);
        const bool top = y == b.y0 && y > 0;
        // Only a band below another has a top row with pixels above it.
        const mask_run* over = top ? above->row_begin(y - 1) : nullptr;
        const mask_run* over_end = top ? above->row_end(y - 1) : nullptr;
        const mask_run* previous = nullptr;
        for (const mask_run* r = b.row_begin(y); r != b.row_end(y); ++r) {
            const std::uint32_t key = b.key_offset + r->label;
            region_sums& s = sums[key];
            const std::uint32_t length = r->x1 - r->x0;
            s.count += static_cast<std::int32_t>(length);
            s.sum_x += static_cast<double>((std::uint64_t(r->x0) + r->x1 - 1) * length / 2);
            s.sum_y += static_cast<double>(std::uint64_t(y) * length);
            s.bounds.x0 = std::min(s.bounds.x0, static_cast<int>(r->x0));
            s.bounds.x1 = std::max(s.bounds.x1, static_cast<int>(r->x1));
            s.bounds.y0 = std::min(s.bounds.y0, static_cast<int>(y));
            s.bounds.y1 = std::max(s.bounds.y1, static_cast<int>(y) + 1);
            std::uint64_t first = 3 * (r->x0 * h + y);
            if (r->x0 > 0 && bit_at(row, r->x0 - 1))
                first = 3 * ((r->x0 - 1) * h + y) + 1;
            s.first = std::min(s.first, first);
            if (previous != nullptr && previous->x1 == r->x0) {
                const std::uint32_t left = b.key_offset + previous->label;
                b.touching.emplace_back(left, key);
                b.touching.emplace_back(key, left);
            }
            previous = r;
            if (over != nullptr) {
                while (over != over_end && over->x1 <= r->x0)
                    ++over;
                for (const mask_run* o = over; o != over_end && o->x0 < r->x1; ++o) {
                    const std::uint32_t upper = above->key_offset + o->label;
                    b.touching.emplace_back(upper, key);
                    b.touching.emplace_back(key, upper);
                }
            }
        }
    }
    // Rows of a block repeat the same pairs.
    std::sort(b.touching.begin(), b.touching.end());
    b.touching.erase(std::unique(b.touching.begin(), b.touching.end()), b.touching.end());
}

// Entry of the merging of small segments: a union-find forest over the
// segments, each root carrying the size and centroid of its group.
struct merge_entry {
    std::int32_t parent = -1;
    std::int32_t rank = 0;
    std::uint32_t size = 0;
    std::int32_t target = -1;
    double cx = 0.0;
    double cy = 0.0;
};

// A two-dimensional search tree over centroids, kept implicitly in one
// array: the element at the middle of a range splits it, on x at even depths
// and on y at odd ones.
class centroid_tree {
public:
    struct item {
        double x;
        double y;
        std::int32_t entry;
    };

    explicit centroid_tree(std::vector<item> items)
        : m_items(std::move(items))
    {
        build(0, m_items.size(), 0);
    }

    // The entry whose centroid is nearest to (x, y), centroids at distance
    // exactly 0 ignored; -1 when there is none.
    std::int32_t nearest(double x, double y) const
    {
        std::int32_t best = -1;
        double best_d2 = std::numeric_limits<double>::infinity();
        search(0, m_items.size(), 0, x, y, best, best_d2);
        return best;
    }

private:
    void build(std::size_t lo, std::size_t hi, unsigned depth)
    {
        if (hi - lo < 2)
            return;
        const std::size_t mid = lo + (hi - lo) / 2;
        const bool on_x = depth % 2 == 0;
        std::nth_element(m_items.begin() + static_cast<std::ptrdiff_t>(lo),
            m_items.begin() + static_cast<std::ptrdiff_t>(mid),
            m_items.begin() + static_cast<std::ptrdiff_t>(hi),
            [on_x](const item& a, const item& b) { return on_x ? a.x < b.x : a.y < b.y; });
        build(lo, mid, depth + 1);
        build(mid + 1, hi, depth + 1);
    }

    void search(std::size_t lo, std::size_t hi, unsigned depth, double x, double y, std::int32_t& best,
        double& best_d2) const
    {
        if (lo >= hi)
            return;
        const std::size_t mid = lo + (hi - lo) / 2;
        const item& p = m_items[mid];
        const double dx = x - p.x;
        const double dy = y - p.y;
        const double d2 = dx * dx + dy * dy;
        if (d2 > 0.0 && d2 < best_d2) {
            best_d2 = d2;
            best = p.entry;
        }
        const double split = depth % 2 == 0 ? dx : dy;
        // The side of the query point first; the other only when it can hold
        // a nearer centroid.
        if (split < 0.0) {
            search(lo, mid, depth + 1, x, y, best, best_d2);
            if (split * split < best_d2)
                search(mid + 1, hi, depth + 1, x, y, best, best_d2);
        } else {
            search(mid + 1, hi, depth + 1, x, y, best, best_d2);
            if (split * split < best_d2)
                search(lo, mid, depth + 1, x, y, best, best_d2);
        }
    }

    std::vector<item> m_items;
};

// Joins the groups of roots r and t; the surviving root takes the summed size
// and the size-weighted mean centroid.
void unite(std::vector<merge_entry>& entries, std::int32_t r, std::int32_t t) noexcept
{
    std::int32_t parent = t;
    std::int32_t child = r;
    if (entries[r].rank > entries[t].rank) {
        parent = r;
        child = t;
    } else if (entries[r].rank == entries[t].rank) {
        ++entries[t].rank;
    }
    merge_entry& p = entries[parent];
    const merge_entry& c = entries[child];
    const double total = static_cast<double>(p.size) + static_cast<double>(c.size);
    p.cx = (p.cx * p.size + c.cx * c.size) / total;
    p.cy = (p.cy * p.size + c.cy * c.size) / total;
    p.size += c.size;
    entries[child].parent = parent;
}

// Merges the groups smaller than `threshold` pixels into their nearest
// groups until no root is small or only one is left. False when nothing was
// merged.
bool merge_entries(std::vector<merge_entry>& entries, std::uint32_t threshold)
{
    bool merged = false;
    for (;;) {
        std::vector<centroid_tree::item> roots;
        bool any_small = false;
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].parent < 0) {
                roots.push_back({ entries[i].cx, entries[i].cy, static_cast<std::int32_t>(i) });
                any_small = any_small || entries[i].size < threshold;
            }
        if (roots.size() < 2 || !any_small)
            return merged;
        const centroid_tree tree(std::move(roots));
        for (merge_entry& e : entries) {
            e.target = -1;
            if (e.parent >= 0 || e.size >= threshold)
                continue;
            e.target = tree.nearest(e.cx, e.cy);
            // Only centroids at the same position are left: nothing can be
            // merged any more.
            if (e.target < 0)
                return merged;
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].target < 0)
                continue;
            const std::int32_t r = find_root(entries, static_cast<std::int32_t>(i));
            const std::int32_t t = find_root(entries, entries[i].target);
            if (entries[r].size < threshold && t != r) {
                unite(entries, r, t);
                merged = true;
            }
        }
    }
}

} // namespace

void motion_segmentation::clear()
{
    keys.clear();
    std::vector<motion_segment>().swap(segments);
    segment_index.clear();
    width = 0;
    height = 0;
    centroids_current = false;
    statistics_current = false;
    statistics_scaled = false;
}

void motion_segmentation::build(const img::image<img::bit>& mask, unsigned block_size, unsigned shift)
{
    if (block_size == 0)
        throw std::invalid_argument("block size must be at least 1");
    clear();
    const std::uint64_t pixels = std::uint64_t(mask.width) * mask.height;
    const std::string task = task_text(mask, block_size);
    // Labels and indices are 32-bit signed values.
    const std::uint64_t label_limit = std::uint64_t(std::numeric_limits<std::int32_t>::max());
    if (pixels >= label_limit)
        throw not_enough_memory(task, std::numeric_limits<std::uint64_t>::max(), available_memory());
    ensure_memory(pixels * bytes_per_pixel, task);

    // Bands of rows that share a block row, and the columns where a new
    // block column begins (then the width, which ends every run).
    std::vector<band> bands;
    for (unsigned y = 0; y < mask.height; ++y)
        if (y == 0 || (y + block_size - shift) / block_size != (y - 1 + block_size - shift) / block_size) {
            if (!bands.empty())
                bands.back().y1 = y;
            bands.emplace_back().y0 = y;
        }
    if (!bands.empty())
        bands.back().y1 = mask.height;
    std::vector<unsigned> cuts;
    for (unsigned x = 1; x < mask.width; ++x)
        if ((x + block_size - shift) / block_size != (x - 1 + block_size - shift) / block_size)
            cuts.push_back(x);
    cuts.push_back(mask.width);

    thread_pool& pool = thread_pool::shared();
    pool.run(bands.size(), [&](std::size_t i) { label_band(mask, cuts, bands[i]); });
    std::uint64_t regions = 0;
    for (band& b : bands) {
        b.key_offset = static_cast<std::uint32_t>(regions);
        regions += b.regions;
    }
    ensure_memory(pixels * sizeof(int) + regions * bytes_per_segment, task);

    std::vector<region_sums> sums(regions + 1);
    pool.run(bands.size(),
        [&](std::size_t i) { sum_band(mask, bands[i], i > 0 ? &bands[i - 1] : nullptr, sums); });

    // Segment indices follow the order in which the column scan meets the
    // regions.
    std::vector<std::uint32_t> order(regions);
    for (std::uint32_t k = 0; k < regions; ++k)
        order[k] = k + 1;
    std::sort(order.begin(), order.end(),
        [&](std::uint32_t a, std::uint32_t b) { return sums[a].first < sums[b].first; });
    std::vector<std::int32_t> index_of_key(regions + 1, -1);
    segments.resize(regions);
    std::vector<double> sum_x(regions);
    std::vector<double> sum_y(regions);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint32_t key = order[i];
        const region_sums& r = sums[key];
        index_of_key[key] = static_cast<std::int32_t>(i);
        motion_segment& s = segments[i];
        s.key = key;
        s.count = r.count;
        s.bounds = r.bounds;
        s.centroid = { r.sum_x / r.count, r.sum_y / r.count };
        sum_x[i] = r.sum_x;
        sum_y[i] = r.sum_y;
        keys.emplace_hint(keys.end(), key, static_cast<std::uint32_t>(i));
    }
    centroids_current = true;
    std::vector<region_sums>().swap(sums);

    width = mask.width;
    height = mask.height;
    segment_index.resize(width, height, -1);
    pool.run(bands.size(), [&](std::size_t i) {
        const band& b = bands[i];
        for (unsigned y = b.y0; y < b.y1; ++y) {
            int* row = segment_index[y];
            for (const mask_run* r = b.row_begin(y); r != b.row_end(y); ++r)
                std::fill(row + r->x0, row + r->x1, index_of_key[b.key_offset + r->label]);
        }
    });

    // Neighbours: each segment's list, sorted by the neighbour's key, fills
    // its map from the end.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> touching;
    for (band& b : bands) {
        for (const auto& [from, to] : b.touching)
            touching.emplace_back(static_cast<std::uint32_t>(index_of_key[from]), to);
        std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(b.touching);
    }
    std::sort(touching.begin(), touching.end());
    touching.erase(std::unique(touching.begin(), touching.end()), touching.end());
    std::vector<std::size_t> list_start(regions + 1, 0);
    for (const auto& t : touching)
        ++list_start[t.first + 1];
    for (std::size_t i = 0; i < regions; ++i)
        list_start[i + 1] += list_start[i];
    parallel_ranges(regions, 256, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            auto& neighbours = segments[i].neighbours;
            for (std::size_t t = list_start[i]; t < list_start[i + 1]; ++t) {
                const std::uint32_t key = touching[t].second;
                neighbours.emplace_hint(neighbours.end(), key, static_cast<std::uint32_t>(index_of_key[key]));
            }
        }
    });

    const std::uint64_t threshold = std::uint64_t(block_size) * block_size / 5;
    merge_small_segments(
        static_cast<std::uint32_t>(std::min<std::uint64_t>(threshold, UINT32_MAX)), sum_x, sum_y);
}

void motion_segmentation::merge_small_segments(
    std::uint32_t threshold, const std::vector<double>& sum_x, const std::vector<double>& sum_y)
{
    std::vector<merge_entry> entries(segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i) {
        entries[i].size = static_cast<std::uint32_t>(segments[i].count);
        entries[i].cx = segments[i].centroid.x;
        entries[i].cy = segments[i].centroid.y;
    }
    if (!merge_entries(entries, threshold))
        return;

    std::vector<std::int32_t> new_index(entries.size(), -1);
    std::vector<motion_segment> merged;
    merged.reserve(static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const merge_entry& e) { return e.parent < 0; })));
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].parent < 0) {
            new_index[i] = static_cast<std::int32_t>(merged.size());
            motion_segment s;
            s.key = segments[i].key;
            s.count = static_cast<std::int32_t>(entries[i].size);
            merged.push_back(std::move(s));
        }
    std::vector<std::int32_t> group(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        group[i] = new_index[find_root(entries, static_cast<std::int32_t>(i))];
    parallel_rows(height, [&](unsigned y0, unsigned y1) {
        int* index = segment_index[y0];
        int* const end = segment_index[y1 - 1] + width;
        for (; index != end; ++index)
            if (*index >= 0)
                *index = group[*index];
    });
    for (std::size_t i = 0; i < segments.size(); ++i) {
        motion_segment& target = merged[group[i]];
        for (const auto& [key, j] : segments[i].neighbours) {
            const std::int32_t other = group[j];
            target.neighbours.emplace(merged[other].key, static_cast<std::uint32_t>(other));
        }
    }
    // A group's centroid from its members' exact coordinate sums, and its
    // bounds around theirs.
    std::vector<double> group_x(merged.size(), 0.0);
    std::vector<double> group_y(merged.size(), 0.0);
    std::vector<bool> seen(merged.size(), false);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const std::int32_t g = group[i];
        group_x[g] += sum_x[i];
        group_y[g] += sum_y[i];
        motion_segment::box& b = merged[g].bounds;
        const motion_segment::box& m = segments[i].bounds;
        if (!seen[g]) {
            seen[g] = true;
            b = m;
            continue;
        }
        b = { std::min(b.x0, m.x0), std::min(b.y0, m.y0), std::max(b.x1, m.x1), std::max(b.y1, m.y1) };
    }
    for (std::size_t g = 0; g < merged.size(); ++g)
        merged[g].centroid = { group_x[g] / merged[g].count, group_y[g] / merged[g].count };
    segments.swap(merged);
    keys.clear();
    for (std::size_t i = 0; i < segments.size(); ++i)
        keys.emplace(segments[i].key, static_cast<std::uint32_t>(i));
    centroids_current = true;
    statistics_current = false;
}

void motion_segmentation::update_centroids()
{
    if (centroids_current)
        return;
    std::vector<double> sum_x(segments.size(), 0.0);
    std::vector<double> sum_y(segments.size(), 0.0);
    std::vector<bool> seen(segments.size(), false);
    for (unsigned y = 0; y < height; ++y) {
        const int* row = segment_index[y];
        for (unsigned x = 0; x < width; ++x) {
            const int s = row[x];
            if (s < 0)
                continue;
            sum_x[s] += x;
            sum_y[s] += y;
            motion_segment::box& b = segments[s].bounds;
            const int xi = static_cast<int>(x);
            const int yi = static_cast<int>(y);
            if (!seen[s]) {
                seen[s] = true;
                b = { xi, yi, xi + 1, yi + 1 };
                continue;
            }
            b.x0 = std::min(b.x0, xi);
            b.y0 = std::min(b.y0, yi);
            b.x1 = std::max(b.x1, xi + 1);
            b.y1 = std::max(b.y1, yi + 1);
        }
    }
    for (std::size_t s = 0; s < segments.size(); ++s) {
        const double n = segments[s].count;
        segments[s].centroid = { sum_x[s] / n, sum_y[s] / n };
    }
    centroids_current = true;
}

} // namespace trm

#include "engine/motion_segmentation.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/check_memory.h"

namespace trm {

namespace {

// Union-find entry of the labelling: a root has parent -1; `number` is the
// region number given to a root in the second pass.
struct label_entry {
    std::int32_t parent = -1;
    std::int32_t rank = 0;
    std::int32_t number = -1;
};

// Upper bounds of the memory one pixel and one segment take while a
// segmentation is built (the map nodes of a segment's key and about four
// neighbours, its merge entry and search-tree place included).
constexpr std::uint64_t bytes_per_pixel = sizeof(std::uint32_t) + sizeof(label_entry) + sizeof(int);
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

// Labels the connected regions of the mask: pixels outside the mask get 0,
// the regions of mask pixels 1 ... K in order of first appearance in raster
// order. Two neighbours in a row or column are connected when their bits are
// equal and, if both are set, they lie in the same block. Returns K.
std::uint32_t label_regions(
    const img::image<img::bit>& mask, unsigned bs, unsigned shift, std::vector<std::uint32_t>& labels)
{
    const unsigned w = mask.width;
    const unsigned h = mask.height;
    std::vector<unsigned> block_x(w);
    for (unsigned x = 0; x < w; ++x)
        block_x[x] = (x + bs - shift) / bs;
    std::vector<label_entry> entries;
    labels.assign(std::size_t(w) * h, 0);

    unsigned previous_block_y = 0;
    for (unsigned y = 0; y < h; ++y) {
        const unsigned char* row = mask.row(y);
        const unsigned char* above = y > 0 ? mask.row(y - 1) : nullptr;
        const unsigned block_y = (y + bs - shift) / bs;
        std::uint32_t* out = labels.data() + std::size_t(y) * w;
        const std::uint32_t* out_above = y > 0 ? out - w : nullptr;
        for (unsigned x = 0; x < w; ++x) {
            const bool b = bit_at(row, x);
            const bool has_up = above && bit_at(above, x) == b && (!b || previous_block_y == block_y);
            const bool has_left = x > 0 && bit_at(row, x - 1) == b && (!b || block_x[x - 1] == block_x[x]);
            std::int32_t label;
            if (!has_up && !has_left) {
                label = static_cast<std::int32_t>(entries.size());
                entries.emplace_back();
            } else {
                label = static_cast<std::int32_t>(has_left ? out[x - 1] : out_above[x]);
                if (has_up && has_left) {
                    const std::int32_t left = find_root(entries, static_cast<std::int32_t>(out[x - 1]));
                    const std::int32_t up = find_root(entries, static_cast<std::int32_t>(out_above[x]));
                    if (left != up) {
                        if (entries[left].rank > entries[up].rank) {
                            entries[up].parent = left;
                        } else if (entries[up].rank > entries[left].rank) {
                            entries[left].parent = up;
                        } else {
                            entries[left].parent = up;
                            ++entries[up].rank;
                        }
                    }
                }
            }
            out[x] = static_cast<std::uint32_t>(find_root(entries, label));
        }
        previous_block_y = block_y;
    }

    // Label 0 is kept for the outside alone: every region of mask pixels,
    // the first one in raster order included, becomes a segment.
    std::int32_t regions = 0;
    for (unsigned y = 0; y < h; ++y) {
        const unsigned char* row = mask.row(y);
        std::uint32_t* out = labels.data() + std::size_t(y) * w;
        for (unsigned x = 0; x < w; ++x) {
            if (!bit_at(row, x)) {
                out[x] = 0;
                continue;
            }
            label_entry& root = entries[find_root(entries, static_cast<std::int32_t>(out[x]))];
            if (root.number < 0)
                root.number = ++regions;
            out[x] = static_cast<std::uint32_t>(root.number);
        }
    }
    return static_cast<std::uint32_t>(regions);
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

    std::vector<std::uint32_t> labels;
    const std::uint32_t regions = label_regions(mask, block_size, shift, labels);
    ensure_memory(
        pixels * (sizeof(std::uint32_t) + sizeof(int)) + std::uint64_t(regions) * bytes_per_segment, task);

    width = mask.width;
    height = mask.height;
    segment_index.resize(width, height, -1);
    std::vector<std::int32_t> index_of_key(std::size_t(regions) + 1, -1);
    const auto find_or_create = [&](std::uint32_t key) {
        std::int32_t& index = index_of_key[key];
        if (index < 0) {
            index = static_cast<std::int32_t>(segments.size());
            motion_segment s;
            s.key = key;
            segments.push_back(std::move(s));
            keys.emplace(key, static_cast<std::uint32_t>(index));
        }
        return index;
    };
    const auto touch = [&](std::int32_t a, std::int32_t b) {
        segments[a].neighbours.emplace(segments[b].key, static_cast<std::uint32_t>(b));
        segments[b].neighbours.emplace(segments[a].key, static_cast<std::uint32_t>(a));
    };
    // Column by column: segment indices follow the order in which the
    // columns meet the regions.
    for (unsigned x = 0; x < width; ++x)
        for (unsigned y = 0; y < height; ++y) {
            const std::uint32_t key = labels[std::size_t(y) * width + x];
            if (key == 0)
                continue;
            const std::int32_t index = find_or_create(key);
            segment_index[y][x] = index;
            ++segments[index].count;
            if (x + 1 < width) {
                const std::uint32_t right = labels[std::size_t(y) * width + x + 1];
                if (right != 0 && right != key) {
                    const std::int32_t other = find_or_create(right);
                    segment_index[y][x + 1] = other;
                    touch(index, other);
                }
            }
            if (y + 1 < height) {
                const std::uint32_t below = labels[std::size_t(y + 1) * width + x];
                if (below != 0 && below != key) {
                    const std::int32_t other = find_or_create(below);
                    segment_index[y + 1][x] = other;
                    touch(index, other);
                }
            }
        }
    std::vector<std::uint32_t>().swap(labels);

    const std::uint64_t threshold = std::uint64_t(block_size) * block_size / 5;
    merge_small_segments(static_cast<std::uint32_t>(std::min<std::uint64_t>(threshold, UINT32_MAX)));
}

void motion_segmentation::merge_small_segments(std::uint32_t threshold)
{
    update_centroids();
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
    int* index = segment_index.data();
    for (std::size_t p = 0; p < segment_index.count(); ++p)
        if (index[p] >= 0)
            index[p] = group[index[p]];
    for (std::size_t i = 0; i < segments.size(); ++i) {
        motion_segment& target = merged[group[i]];
        for (const auto& [key, j] : segments[i].neighbours) {
            const std::int32_t other = group[j];
            target.neighbours.emplace(merged[other].key, static_cast<std::uint32_t>(other));
        }
    }
    segments.swap(merged);
    keys.clear();
    for (std::size_t i = 0; i < segments.size(); ++i)
        keys.emplace(segments[i].key, static_cast<std::uint32_t>(i));
    centroids_current = false;
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

#include "engine/mincut/mincut_graph.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

// GCC's flow analysis reports Boost's edge iterators (an optional inside)
// as maybe used uninitialised once the max-flow code is inlined here; the
// warning is a false positive of that header and is off for this file only.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/boykov_kolmogorov_max_flow.hpp>
#include <boost/graph/push_relabel_max_flow.hpp>

#include "engine/common/thread_pool.h"
#include "engine/masks/morphology.h"
#include "foundation/system/profiler.h"

namespace trm::mincut {

namespace {

using traits = boost::adjacency_list_traits<boost::vecS, boost::vecS, boost::directedS>;
using adjacency = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS,
    boost::property<boost::vertex_color_t, boost::default_color_type>,
    boost::property<boost::edge_reverse_t, traits::edge_descriptor,
        boost::property<boost::edge_residual_capacity_t, capacity_type,
            boost::property<boost::edge_capacity_t, capacity_type>>>>;
using edge = boost::graph_traits<adjacency>::edge_descriptor;

constexpr capacity_type capacity_max = std::numeric_limits<capacity_type>::max();

capacity_type saturating_add(capacity_type a, capacity_type b) noexcept
{
    return b > capacity_max - a ? capacity_max : a + b;
}

// A spatial offset of the link window with its weight aspect x (dx² + dy²).
struct link_offset {
    float weight;
    int dx;
    int dy;
};

// A pixel of image B offered as a link target of a pixel of image A.
struct link_candidate {
    float distance;
    std::uint32_t vertex;
};

// Candidates are ranked by distance, ties by the smaller vertex number. A
// function object, so that the heap operations inline it.
struct nearer_order {
    bool operator()(const link_candidate& a, const link_candidate& b) const noexcept
    {
        return a.distance < b.distance || (a.distance == b.distance && a.vertex < b.vertex);
    }
};
constexpr nearer_order nearer;

// The link candidates of the pixels of one row that make links: pixel xs[j]
// has held[ends[j - 1]] ... held[ends[j] - 1] (from 0 for j = 0), nearest
// first.
struct row_candidates {
    std::vector<unsigned> xs;
    std::vector<std::size_t> ends;
    std::vector<link_candidate> held;
};

// Rows the candidate search may run ahead of the links added, which bounds
// the candidates held at once.
constexpr unsigned rows_ahead = 256;

// find(y, row, scratch) fills the candidates of row y; add(y, row) adds its
// links to the graph. Rows are found on the engine's threads, ahead of the
// one task that adds them, row by row in order, as the graph needs them; that
// task finds the rows nobody has taken yet itself, so that the links come out
// the same on any number of threads.
template <class Find, class Add> void link_rows(unsigned height, std::size_t k, Find&& find, Add&& add)
{
    enum : unsigned char { waiting, taken, found };
    std::vector<row_candidates> rows(height);
    std::unique_ptr<std::atomic<unsigned char>[]> state(new std::atomic<unsigned char>[height]);
    for (unsigned y = 0; y < height; ++y)
        state[y].store(waiting, std::memory_order_relaxed);
    std::atomic<unsigned> next { 0 };
    std::atomic<unsigned> added { 0 };
    // Set when a task fails, so that no other waits for it.
    std::atomic<bool> abandoned { false };
    const auto take = [&](unsigned y) {
        unsigned char expected = waiting;
        return state[y].compare_exchange_strong(expected, taken, std::memory_order_acq_rel);
    };
    const auto wait_while = [&](auto&& condition) {
        while (condition()) {
            if (abandoned.load(std::memory_order_acquire))
                return false;
            std::this_thread::yield();
        }
        return true;
    };
    thread_pool& pool = thread_pool::shared();
    pool.run(pool.threads(), [&](std::size_t task) {
        try {
            std::vector<link_candidate> held;
            held.reserve(k + 1);
            if (task != 0) {
                for (unsigned y = next++; y < height; y = next++) {
                    if (!wait_while([&] { return y >= added.load(std::memory_order_acquire) + rows_ahead; }))
                        return;
                    if (!take(y))
                        continue;
                    find(y, rows[y], held);
                    state[y].store(found, std::memory_order_release);
                }
                return;
            }
            for (unsigned y = 0; y < height; ++y) {
                if (take(y))
                    find(y, rows[y], held);
                else if (!wait_while([&] { return state[y].load(std::memory_order_acquire) != found; }))
                    return;
                add(y, static_cast<const row_candidates&>(rows[y]));
                rows[y] = row_candidates();
                added.store(y + 1, std::memory_order_release);
            }
        } catch (...) {
            abandoned.store(true, std::memory_order_release);
            throw;
        }
    });
}

std::vector<link_offset> sorted_offsets(int d, float aspect)
{
    std::vector<link_offset> offsets;
    offsets.reserve(static_cast<std::size_t>(2 * d + 1) * static_cast<std::size_t>(2 * d + 1));
    for (int dy = -d; dy <= d; ++dy) {
        for (int dx = -d; dx <= d; ++dx) {
            const double squared = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
            offsets.push_back({ static_cast<float>(static_cast<double>(aspect) * squared), dx, dy });
        }
    }
    std::sort(offsets.begin(), offsets.end(), [](const link_offset& a, const link_offset& b) {
        if (a.weight != b.weight)
            return a.weight < b.weight;
        if (a.dx != b.dx)
            return a.dx < b.dx;
        return a.dy < b.dy;
    });
    return offsets;
}

bool is_terminal(std::uint32_t v) noexcept
{
    return v == graph::source || v == graph::sink;
}

bool bit_at(const unsigned char* row, unsigned x) noexcept
{
    return (row[x >> 3] & (0x80u >> (x & 7))) != 0;
}

template <class Image> bool same_size(const Image& image, const vertex_map& map) noexcept
{
    return image.width == map.width && image.height == map.height;
}

} // namespace

struct graph::impl {
    impl(profiler* timing, bool quiet, std::ostream& log)
        : timing(timing)
        , quiet(quiet)
        , log(log)
    {
    }

    edge new_edge(vertex u, vertex v, capacity_type c)
    {
        const edge e = boost::add_edge(u, v, g).first;
        boost::put(boost::edge_capacity, g, e, c);
        boost::put(boost::edge_residual_capacity, g, e, 0);
        ++edges;
        return e;
    }

    void pair(edge e, edge r)
    {
        boost::put(boost::edge_reverse, g, e, r);
        boost::put(boost::edge_reverse, g, r, e);
    }

    bool first_edge(vertex u, vertex v, edge& found) const
    {
        auto [it, end] = boost::out_edges(u, g);
        for (; it != end; ++it) {
            if (boost::target(*it, g) == v) {
                found = *it;
                return true;
            }
        }
        return false;
    }

    void add_capacity(edge e, capacity_type c)
    {
        boost::put(boost::edge_capacity, g, e, saturating_add(boost::get(boost::edge_capacity, g, e), c));
    }

    // The largest capacity an edge may have so that the sum over all edges
    // stays within 64 bits.
    capacity_type capacity_limit() const
    {
        return capacity_max / static_cast<capacity_type>(std::max<std::size_t>(edges, 1));
    }

    void colour_sides();

    adjacency g;
    std::size_t edges = 0;
    profiler* timing;
    bool quiet;
    std::ostream& log;
};

void vertex_map::resize(unsigned w, unsigned h)
{
    width = w;
    height = h;
    vertices.assign(static_cast<std::size_t>(w) * h, 0);
}

graph::graph(profiler* timing, bool quiet, std::ostream& log)
    : m_impl(std::make_unique<impl>(timing, quiet, log))
{
    log_line(log, quiet, "MinCut segmenting");
    boost::add_vertex(m_impl->g);
    boost::add_vertex(m_impl->g);
}

graph::~graph() = default;

graph::vertex graph::add_vertex()
{
    if (boost::num_vertices(m_impl->g) >= std::numeric_limits<vertex>::max())
        throw std::length_error("too many vertices in the cut graph");
    return static_cast<vertex>(boost::add_vertex(m_impl->g));
}

void graph::map_vertices(
    const img::image<img::bit>& foreground, const img::image<img::bit>& background, vertex_map& map)
{
    profiler::scope scope(m_impl->timing, "creating vmap");
    if (foreground.width != background.width || foreground.height != background.height)
        throw std::runtime_error(
            "dimensions of obligatory foreground and obligatory background pixels masks do not coincide");
    map.resize(foreground.width, foreground.height);
    // Rows count their free pixels on the engine's threads, the vertices are
    // added, then each row numbers its pixels from its first vertex, as one
    // raster scan adding them one by one would.
    std::vector<std::uint64_t> row_first(static_cast<std::size_t>(map.height) + 1, 0);
    parallel_rows(map.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const unsigned char* f = foreground.row(y);
            const unsigned char* b = background.row(y);
            std::uint64_t n = 0;
            for (unsigned x = 0; x < map.width; ++x)
                n += !bit_at(f, x) && !bit_at(b, x);
            row_first[y + 1] = n;
        }
    });
    row_first[0] = boost::num_vertices(m_impl->g);
    for (unsigned y = 0; y < map.height; ++y)
        row_first[y + 1] += row_first[y];
    if (row_first[map.height] > std::numeric_limits<vertex>::max())
        throw std::length_error("too many vertices in the cut graph");
    while (boost::num_vertices(m_impl->g) < row_first[map.height])
        boost::add_vertex(m_impl->g);
    parallel_rows(map.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const unsigned char* f = foreground.row(y);
            const unsigned char* b = background.row(y);
            std::uint32_t* out = map.row(y);
            auto next = static_cast<vertex>(row_first[y]);
            for (unsigned x = 0; x < map.width; ++x) {
                if (bit_at(f, x))
                    out[x] = source;
                else if (bit_at(b, x))
                    out[x] = sink;
                else
                    out[x] = next++;
            }
        }
    });
}

void graph::map_reference_vertices(const img::image<img::bit>& reference_mask, vertex_map& map)
{
    profiler::scope scope(m_impl->timing, "creating vmap 1");
    map.resize(reference_mask.width, reference_mask.height);
    for (unsigned y = 0; y < map.height; ++y) {
        const unsigned char* in = reference_mask.row(y);
        std::uint32_t* out = map.row(y);
        for (unsigned x = 0; x < map.width; ++x)
            out[x] = bit_at(in, x) ? source : sink;
    }
}

std::uint64_t graph::establish_links(const img::image<img::BGRA<unsigned char>>& a,
    const img::image<img::BGRA<unsigned char>>& b, const vertex_map& map_a, const vertex_map& map_b,
    int half_side, int link_count, float aspect)
{
    profiler::scope scope(m_impl->timing, "establishing links");
    // Candidates are read from B at positions of A: all four must agree.
    if (a.width != b.width || a.height != b.height || !same_size(a, map_a) || !same_size(b, map_b))
        throw std::runtime_error("dimensions of images and vertex maps do not coincide");
    if (!std::isfinite(aspect))
        throw std::invalid_argument("link aspect must be a finite number");

    const unsigned width = a.width;
    const unsigned height = a.height;
    std::uint64_t links = 0;
    if (link_count > 0 && half_side >= 0 && width > 0 && height > 0) {
        // A window wider than the image reads nothing more: offsets that can
        // never land inside are left out, which changes no result.
        const int d = static_cast<int>(std::min<std::int64_t>(half_side, std::max(width, height) - 1));
        const std::size_t window = static_cast<std::size_t>(2 * d + 1) * static_cast<std::size_t>(2 * d + 1);
        const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(link_count), window);
        // One vertex map for both sides means one frame: there a pixel is
        // never its own candidate. Between two frames the pixel at the same
        // position is one, even when both images show the same pixels.
        const bool same_frame = &map_a == &map_b;

        // terminal(x, y): every pixel of map B within the window is a terminal,
        // so a terminal pixel there could make no link.
        img::image<img::bit> terminal_b(width, height, 4);
        terminal_b.fill(false);
        parallel_rows(height, [&](unsigned y0, unsigned y1) {
            for (unsigned y = y0; y < y1; ++y) {
                const std::uint32_t* in = map_b.row(y);
                unsigned char* out = terminal_b.row(y);
                for (unsigned x = 0; x < width; ++x)
                    if (is_terminal(in[x]))
                        out[x >> 3] = static_cast<unsigned char>(out[x >> 3] | (0x80u >> (x & 7)));
            }
        });
        img::image<img::bit> terminal;
        erode8_n(terminal, terminal_b, d);

        const std::vector<link_offset> offsets = sorted_offsets(d, aspect);
        const auto find_candidates = [&](unsigned y, row_candidates& out, std::vector<link_candidate>& held) {
            const img::BGRA<unsigned char>* row_a = a.row(y);
            const std::uint32_t* vertices_a = map_a.row(y);
            const unsigned char* terminal_row = terminal.row(y);
            for (unsigned x = 0; x < width; ++x) {
                const vertex u = vertices_a[x];
                if (is_terminal(u) && bit_at(terminal_row, x))
                    continue;
                const img::BGRA<unsigned char> c = row_a[x];
                held.clear();
                for (const link_offset& o : offsets) {
                    if (same_frame && o.dx == 0 && o.dy == 0)
                        continue;
                    // Offsets come by ascending weight: once the worst held
                    // candidate is nearer than the weight alone, none follows.
                    if (held.size() == k && held.front().distance < o.weight)
                        break;
                    const std::int64_t qx = static_cast<std::int64_t>(x) + o.dx;
                    const std::int64_t qy = static_cast<std::int64_t>(y) + o.dy;
                    if (qx < 0 || qy < 0 || qx >= width || qy >= height)
                        continue;
                    const img::BGRA<unsigned char> p = b.row(static_cast<unsigned>(qy))[qx];
                    const int db = p.b - c.b;
                    const int dg = p.g - c.g;
                    const int dr = p.r - c.r;
                    const auto colour = static_cast<std::uint32_t>(db * db + dg * dg + dr * dr);
                    const link_candidate candidate { static_cast<float>(colour) + o.weight,
                        map_b.row(static_cast<unsigned>(qy))[qx] };
                    if (held.size() < k) {
                        held.push_back(candidate);
                        std::push_heap(held.begin(), held.end(), nearer);
                    } else if (nearer(candidate, held.front())) {
                        std::pop_heap(held.begin(), held.end(), nearer);
                        held.back() = candidate;
                        std::push_heap(held.begin(), held.end(), nearer);
                    }
                }
                std::sort_heap(held.begin(), held.end(), nearer);
                out.xs.push_back(x);
                out.held.insert(out.held.end(), held.begin(), held.end());
                out.ends.push_back(out.held.size());
            }
        };
        const auto add_links = [&](unsigned y, const row_candidates& r) {
            const std::uint32_t* vertices_a = map_a.row(y);
            for (std::size_t j = 0; j < r.xs.size(); ++j) {
                const vertex u = vertices_a[r.xs[j]];
                const std::size_t begin = j == 0 ? 0 : r.ends[j - 1];
                const std::size_t count = r.ends[j] - begin;
                const capacity_type m = static_cast<capacity_type>(count);
                for (std::size_t i = 0; i < count; ++i) {
                    const vertex v = r.held[begin + i].vertex;
                    const capacity_type capacity = m - static_cast<capacity_type>(i);
                    if (u == source || u == sink) {
                        if (is_terminal(v))
                            continue;
                        if (u == source)
                            add_link_one_way(source, v, capacity);
                        else
                            add_link_one_way(v, sink, capacity);
                        ++links;
                    } else if (v == source) {
                        add_link_one_way(source, u, capacity);
                    } else if (v == sink) {
                        add_link_one_way(u, sink, capacity);
                    } else if (v != u) {
                        add_link_two_way(u, v, capacity);
                    }
                }
                if (!is_terminal(u))
                    links += count;
            }
        };
        link_rows(height, k, find_candidates, add_links);
    }
    log_line(m_impl->log, m_impl->quiet, "edges added ", links);
    return links;
}

bool graph::add_link_one_way(vertex u, vertex v, capacity_type capacity)
{
    // Links leave the source and enter the sink, so the source's long out-list
    // is never searched: its link to v is found through v's reverse edge.
    edge e;
    if (u == source) {
        edge r;
        if (m_impl->first_edge(v, u, r)) {
            m_impl->add_capacity(boost::get(boost::edge_reverse, m_impl->g, r), capacity);
            return false;
        }
    } else if (m_impl->first_edge(u, v, e)) {
        m_impl->add_capacity(e, capacity);
        return false;
    }
    m_impl->pair(m_impl->new_edge(u, v, capacity), m_impl->new_edge(v, u, 0));
    return true;
}

bool graph::add_link_two_way(vertex u, vertex v, capacity_type capacity)
{
    edge uv;
    edge vu;
    if (m_impl->first_edge(u, v, uv) && m_impl->first_edge(v, u, vu)) {
        m_impl->add_capacity(uv, capacity);
        m_impl->add_capacity(vu, capacity);
        return false;
    }
    uv = m_impl->new_edge(u, v, capacity);
    vu = m_impl->new_edge(v, u, capacity);
    m_impl->pair(uv, m_impl->new_edge(v, u, 0));
    m_impl->pair(vu, m_impl->new_edge(u, v, 0));
    return true;
}

capacity_type graph::find_cut(flow_method method)
{
    profiler::scope scope(m_impl->timing, "finding max-flow & min-cut");
    adjacency& g = m_impl->g;
    if (!m_impl->quiet)
        m_impl->log << "determining max flow..." << std::flush;

    // Kept below the bound in every case, so that no sum of capacities the
    // algorithms form can overflow; realistic graphs never reach it.
    const capacity_type limit = m_impl->capacity_limit();
    auto capacities = boost::get(boost::edge_capacity, g);
    auto [vi, vend] = boost::vertices(g);
    for (; vi != vend; ++vi) {
        auto [ei, eend] = boost::out_edges(*vi, g);
        for (; ei != eend; ++ei)
            if (capacities[*ei] > limit)
                capacities[*ei] = limit;
    }

    capacity_type flow = 0;
    if (method == flow_method::boykov_kolmogorov) {
        const std::size_t n = boost::num_vertices(g);
        std::vector<edge> predecessors(n);
        std::vector<boost::default_color_type> colours(n);
        std::vector<long> distances(n);
        flow = boost::boykov_kolmogorov_max_flow(g, capacities, boost::get(boost::edge_residual_capacity, g),
            boost::get(boost::edge_reverse, g), predecessors.data(), colours.data(), distances.data(),
            boost::get(boost::vertex_index, g), source, sink);
    } else {
        flow = boost::push_relabel_max_flow(g, source, sink, capacities,
            boost::get(boost::edge_residual_capacity, g), boost::get(boost::edge_reverse, g),
            boost::get(boost::vertex_index, g));
    }
    log_line(m_impl->log, m_impl->quiet, "done\nmax flow = ", flow);
    m_impl->colour_sides();
    return flow;
}

// Two breadth-first searches over the residual graph: forward from the
// source along edges with residual capacity, then backward from the sink
// along edges whose reverse has residual capacity.
void graph::impl::colour_sides()
{
    auto colour = boost::get(boost::vertex_color, g);
    auto residual = boost::get(boost::edge_residual_capacity, g);
    auto reverse = boost::get(boost::edge_reverse, g);
    const std::size_t n = boost::num_vertices(g);
    for (std::size_t v = 0; v < n; ++v)
        colour[v] = boost::gray_color;

    // Claims every gray vertex reachable from `start` over out-edges that
    // `open` lets through.
    std::vector<vertex> queue;
    queue.reserve(n);
    const auto search = [&](vertex start, boost::default_color_type side, auto open) {
        queue.clear();
        colour[start] = side;
        queue.push_back(start);
        for (std::size_t head = 0; head < queue.size(); ++head) {
            auto [ei, eend] = boost::out_edges(queue[head], g);
            for (; ei != eend; ++ei) {
                const vertex v = static_cast<vertex>(boost::target(*ei, g));
                if (colour[v] == boost::gray_color && open(*ei)) {
                    colour[v] = side;
                    queue.push_back(v);
                }
            }
        }
    };
    search(source, boost::white_color, [&](edge e) { return residual[e] != 0; });
    search(sink, boost::black_color, [&](edge e) { return residual[reverse[e]] != 0; });
}

void graph::double_saturated()
{
    adjacency& g = m_impl->g;
    const capacity_type limit = m_impl->capacity_limit();
    auto capacities = boost::get(boost::edge_capacity, g);
    auto residual = boost::get(boost::edge_residual_capacity, g);
    auto [vi, vend] = boost::vertices(g);
    for (; vi != vend; ++vi) {
        auto [ei, eend] = boost::out_edges(*vi, g);
        for (; ei != eend; ++ei) {
            const capacity_type c = capacities[*ei];
            if (c > 0 && residual[*ei] == 0)
                capacities[*ei] = c > limit / 2 ? std::max(c, limit) : 2 * c;
        }
    }
}

void graph::extract_side(const vertex_map& map, side colour, img::image<img::bit>& out) const
{
    const auto colours = boost::get(boost::vertex_color, m_impl->g);
    const auto wanted = static_cast<boost::default_color_type>(colour);
    out.resize(map.width, map.height, 4);
    out.fill(false);
    parallel_rows(map.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const std::uint32_t* in = map.row(y);
            unsigned char* row = out.row(y);
            for (unsigned x = 0; x < map.width; ++x)
                if (colours[in[x]] == wanted)
                    row[x >> 3] = static_cast<unsigned char>(row[x >> 3] | (0x80u >> (x & 7)));
        }
    });
}

void graph::accumulate_codes(const vertex_map& map, img::image<unsigned char>& codes) const
{
    if (!same_size(codes, map))
        throw std::runtime_error("dimensions of grey mask and vertex map do not coincide");
    const auto colours = boost::get(boost::vertex_color, m_impl->g);
    parallel_rows(map.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const std::uint32_t* in = map.row(y);
            unsigned char* out = codes.row(y);
            for (unsigned x = 0; x < map.width; ++x) {
                const boost::default_color_type c = colours[in[x]];
                const unsigned code = c == boost::white_color ? 2 : c == boost::gray_color ? 1 : 0;
                out[x] = static_cast<unsigned char>(out[x] * 2u + code);
            }
        }
    });
}

std::size_t graph::vertex_count() const
{
    return boost::num_vertices(m_impl->g);
}

std::size_t graph::edge_count() const
{
    return m_impl->edges;
}

capacity_type graph::capacity(vertex u, vertex v) const
{
    edge e;
    return m_impl->first_edge(u, v, e) ? boost::get(boost::edge_capacity, m_impl->g, e) : 0;
}

capacity_type graph::residual(vertex u, vertex v) const
{
    edge e;
    return m_impl->first_edge(u, v, e) ? boost::get(boost::edge_residual_capacity, m_impl->g, e) : 0;
}

side graph::side_of(vertex v) const
{
    return static_cast<side>(boost::get(boost::vertex_color, m_impl->g, v));
}

} // namespace trm::mincut

#pragma once

// The flow graph of the graph-cut segmentation: pixels of the uncertain band
// as vertices, obligatory pixels merged into the source and sink terminals,
// links to each pixel's nearest pixels in a joint colour and position
// distance, the maximum flow and the reading of the cut from the residual
// graph.

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "foundation/image/image.h"

class profiler;

namespace trm::mincut {

// Link capacities and flow values. 64 bits, so that accumulated links, large
// link counts and repeated doubling cannot overflow.
using capacity_type = std::int64_t;

// Colours of the vertices after a cut (the Boost colour values).
enum class side : std::uint8_t {
    source = 0, // white: reachable from the source in the residual graph
    neither = 1, // gray
    sink = 4, // black: reaches the sink in the residual graph
};

// One vertex number per pixel of a frame, row by row.
struct vertex_map {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint32_t> vertices;

    void resize(unsigned w, unsigned h);
    std::uint32_t* row(unsigned y) noexcept { return vertices.data() + static_cast<std::size_t>(y) * width; }
    const std::uint32_t* row(unsigned y) const noexcept
    {
        return vertices.data() + static_cast<std::size_t>(y) * width;
    }
    std::uint32_t at(unsigned x, unsigned y) const noexcept { return row(y)[x]; }
};

// How the maximum flow is computed. Both give the same cut: the vertices
// reachable from the source (and those that reach the sink) in the residual
// graph are the same for every maximum flow.
enum class flow_method { push_relabel, boykov_kolmogorov };

// Writes one diagnostic line to `log` unless `quiet`.
template <class... Parts> void log_line(std::ostream& log, bool quiet, const Parts&... parts)
{
    if (!quiet)
        (log << ... << parts) << std::endl;
}

// A directed flow graph over a Boost adjacency list. Vertex 0 is the source,
// vertex 1 the sink; pixel vertices are numbered from 2 in the order of their
// creation. Every link is a pair of opposite edges that are each other's
// reverse: a one-way link u→v of capacity c is u→v (c) with v→u (0); a
// two-way link is u→v (c) and v→u (c) with their reverses, the capacity edges
// added first.
//
// Diagnostic lines go to `log` unless `quiet`; timing scopes go to the
// profiler when it is not null. Not thread-safe; one graph per cut.
class graph {
public:
    using vertex = std::uint32_t;
    static constexpr vertex source = 0;
    static constexpr vertex sink = 1;

    // Logs "MinCut segmenting"; adds the source and the sink.
    graph(profiler* timing, bool quiet, std::ostream& log);
    ~graph();
    graph(const graph&) = delete;
    graph& operator=(const graph&) = delete;

    // Adds a pixel vertex and returns its number.
    vertex add_vertex();

    // Sizes `map` to the masks; a pixel set in the obligatory foreground maps
    // to the source, else one set in the obligatory background to the sink,
    // else to a new vertex (row by row). Throws std::runtime_error when the
    // masks differ in size.
    void map_vertices(
        const img::image<img::bit>& foreground, const img::image<img::bit>& background, vertex_map& map);

    // Sizes `map` to the reference mask; set pixels map to the source, clear
    // ones to the sink. Adds no vertex.
    void map_reference_vertices(const img::image<img::bit>& reference_mask, vertex_map& map);

    // Links every pixel of image A to its `link_count` nearest pixels of
    // image B within the square window of half side `half_side`, nearness
    // being the squared colour distance plus `aspect` times the squared
    // spatial distance; the nearest gets the most capacity. Terminal pixels
    // whose whole window in B is terminal are skipped. One vertex map passed
    // as both maps links within one frame, where a pixel is never its own
    // candidate; two maps link two frames, where the pixel at the same
    // position is one (whether or not the images share pixels). Logs "edges
    // added" and returns the number of links counted. Throws
    // std::runtime_error when the images and maps differ in size.
    std::uint64_t establish_links(const img::image<img::BGRA<unsigned char>>& a,
        const img::image<img::BGRA<unsigned char>>& b, const vertex_map& map_a, const vertex_map& map_b,
        int half_side, int link_count, float aspect);

    // Adds the link u→v, or adds the capacity to it when it exists; returns
    // whether the link was created.
    bool add_link_one_way(vertex u, vertex v, capacity_type capacity);
    // The same for a two-way link between u and v.
    bool add_link_two_way(vertex u, vertex v, capacity_type capacity);

    // Computes the maximum flow from the capacities (afresh, whatever flowed
    // before) and colours every vertex by its side of the cut. Returns the
    // flow value.
    capacity_type find_cut(flow_method method = flow_method::push_relabel);

    // Doubles the capacity of every edge that the last flow saturated, never
    // beyond the bound that keeps the sum of all capacities within 64 bits.
    void double_saturated();

    // Sizes `out` to the map and sets exactly the pixels whose vertex lies on
    // the given side.
    void extract_side(const vertex_map& map, side colour, img::image<img::bit>& out) const;

    // Every pixel of `codes` (the map's size) becomes value x 2 + the code of
    // its vertex's side: 2 source, 1 neither, 0 sink.
    void accumulate_codes(const vertex_map& map, img::image<unsigned char>& codes) const;

    std::size_t vertex_count() const;
    // Stored edges, reverse edges included.
    std::size_t edge_count() const;
    // The capacity of the first edge u→v in u's out-list, 0 when none.
    capacity_type capacity(vertex u, vertex v) const;
    // The residual capacity of that edge, 0 when none.
    capacity_type residual(vertex u, vertex v) const;
    side side_of(vertex v) const;

private:
    struct impl;
    std::unique_ptr<impl> m_impl;
};

} // namespace trm::mincut

// Graph-cut segmentation on a tracked 720 x 576 frame with default
// parameters: the single-frame and two-frame forms, and the two maximum-flow
// algorithms on one and the same graph.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "engine/calculation.h"
#include "engine/masks/morphology.h"
#include "engine/mincut/mincut.h"
#include "engine/mincut/mincut_graph.h"
#include "engine/param.h"
#include "engine/tests/tracked_pair.h"

namespace {

using trm::mincut::graph;
using trm::testing::tracked_pair;

// The options the calculation fills for a tracked frame from default
// parameters.
trm::mincut::options tracked_options(trm::mincut::information_source source)
{
    trm::mincut::options o = trm::mincut_options(trm::param {});
    o.information_source = source;
    return o;
}

// The number after the last occurrence of `label` in the log.
double last_figure(const std::string& log, const std::string& label)
{
    const std::size_t at = log.rfind(label);
    return at == std::string::npos ? 0.0 : std::stod(log.substr(at + label.size()));
}

void report_graph(benchmark::State& state, const std::string& log)
{
    state.counters["vertices"] = last_figure(log, "total vertices in graph: ");
    state.counters["edges"] = last_figure(log, "total directional edges in graph: ");
}

void BM_cut_single(benchmark::State& state)
{
    const tracked_pair& f = trm::testing::tracked_frames();
    const trm::mincut::options o = tracked_options(trm::mincut::information_source::target);
    trm::mincut::mask foreground;
    std::ostream quiet(nullptr);
    for (auto _ : state)
        trm::mincut::cut_single(f.target.frame, f.reference.object, foreground, nullptr, o, nullptr, quiet);
    std::ostringstream log;
    trm::mincut::cut_single(f.target.frame, f.reference.object, foreground, nullptr, o, nullptr, log);
    report_graph(state, log.str());
}
BENCHMARK(BM_cut_single)->Unit(benchmark::kMillisecond);

void BM_cut_two_frames(benchmark::State& state)
{
    const tracked_pair& f = trm::testing::tracked_frames();
    const trm::mincut::options o = tracked_options(trm::mincut::information_source::both);
    trm::mincut::mask foreground;
    std::ostream quiet(nullptr);
    for (auto _ : state)
        trm::mincut::cut_two_frames(
            f.reference.frame, f.reference.object, f.target.frame, foreground, nullptr, o, nullptr, quiet);
    std::ostringstream log;
    trm::mincut::cut_two_frames(
        f.reference.frame, f.reference.object, f.target.frame, foreground, nullptr, o, nullptr, log);
    report_graph(state, log.str());
}
BENCHMARK(BM_cut_two_frames)->Unit(benchmark::kMillisecond);

// The full-resolution two-frame graph of the tracked frame, built once; each
// maximum-flow run starts afresh from its capacities.
struct flow_case {
    std::ostream quiet { nullptr };
    graph g { nullptr, true, quiet };
    trm::mincut::vertex_map reference_map;
    trm::mincut::vertex_map map;

    flow_case()
    {
        const tracked_pair& f = trm::testing::tracked_frames();
        const trm::mincut::options o = tracked_options(trm::mincut::information_source::both);
        trm::mincut::mask background;
        trm::mincut::mask foreground;
        trm::erode4_n(foreground, f.reference.object, o.max_motion);
        background = f.reference.object;
        background.invert();
        trm::erode4_n(background, background, o.max_motion);
        g.map_reference_vertices(f.reference.object, reference_map);
        g.map_vertices(foreground, background, map);
        g.establish_links(
            f.target.frame, f.target.frame, map, map, o.max_link_distance, o.link_count, o.aspect);
        g.establish_links(f.reference.frame, f.target.frame, reference_map, map,
            o.interframe_max_link_distance, o.interframe_link_count / 2, o.aspect);
        g.establish_links(f.target.frame, f.reference.frame, map, reference_map,
            o.interframe_max_link_distance, (o.interframe_link_count + 1) / 2, o.aspect);
    }
};

flow_case& flow_graph()
{
    static flow_case c;
    return c;
}

void run_flow(benchmark::State& state, trm::mincut::flow_method method)
{
    flow_case& c = flow_graph();
    trm::mincut::mask expected;
    c.g.find_cut(trm::mincut::flow_method::push_relabel);
    c.g.extract_side(c.map, trm::mincut::side::source, expected);
    std::int64_t flow = 0;
    for (auto _ : state)
        flow = c.g.find_cut(method);
    trm::mincut::mask found;
    c.g.extract_side(c.map, trm::mincut::side::source, found);
    for (unsigned y = 0; y < found.height; ++y)
        for (unsigned x = 0; x < found.width; ++x)
            if (static_cast<bool>(found.at(x, y)) != static_cast<bool>(expected.at(x, y))) {
                state.SkipWithError("the cut differs from push-relabel's");
                return;
            }
    state.counters["vertices"] = static_cast<double>(c.g.vertex_count());
    state.counters["edges"] = static_cast<double>(c.g.edge_count());
    state.counters["flow"] = static_cast<double>(flow);
}

void BM_max_flow_push_relabel(benchmark::State& state)
{
    run_flow(state, trm::mincut::flow_method::push_relabel);
}
BENCHMARK(BM_max_flow_push_relabel)->Unit(benchmark::kMillisecond);

void BM_max_flow_boykov_kolmogorov(benchmark::State& state)
{
    run_flow(state, trm::mincut::flow_method::boykov_kolmogorov);
}
BENCHMARK(BM_max_flow_boykov_kolmogorov)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

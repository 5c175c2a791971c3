#include "contours/fit_bezier_contour.h"

#include "contours/bezier_linear_system.h"
#include "contours/bezier_parameter_system.h"
#include "contours/bezier_sampler.h"
#include "contours/fit_geometry.h"
#include "contours/motion_estimators.h"

#include <algorithm>
#include <stdexcept>

namespace contours {

namespace {

// Bits of a node's state when the contour is cut into runs.
enum node_state : unsigned { node_free = 1, in_free = 2, out_free = 4, takes_part = 8 };

// A run of the contour with its optional inputs, all in one layout.
struct run_input {
    bool closed;
    unsigned nodes;
    const std::vector<unsigned>& kinds;
    const std::vector<pointf>* prior;
    const std::vector<float>* tractions;
    const std::vector<unsigned>* flags;
};

unsigned kind_of(const std::vector<unsigned>& kinds, unsigned i)
{
    return i < kinds.size() ? kinds[i] : corner;
}
unsigned flag_of(const std::vector<unsigned>* flags, unsigned i)
{
    return flags && i < flags->size() ? (*flags)[i] : 0u;
}
bool is_smooth_kind(unsigned kind)
{
    return kind >= smooth_separate && kind <= symmetric;
}

// A traction as a blending weight: at most 1 (fixed), at least 0 (free).
double blend_weight(const std::vector<float>* tractions, std::size_t j)
{
    return tractions ? std::clamp(double((*tractions)[j]), 0.0, 1.0) : 0.0;
}

template <class Receiver>
void sample(const std::vector<pointf>& contour, bool closed, const outline_edge_index& index, float step,
    Receiver&& receive)
{
    sample_contour(contour, index, step, !closed, receive);
}

// Moves the contour by the map estimated from its samples; nodes and
// handle offsets blend with their tractions.
template <class Estimator>
bool prealign_once(const outline_edge_index& index, const bezier_fit_settings& settings, const run_input& run,
    std::vector<pointf>& contour)
{
    Estimator estimator;
    const std::vector<float>* w = run.tractions;
    sample(contour, run.closed, index, settings.sample_step, [&](unsigned k, double t, pointd p, pointd q) {
        const bezier_basis basis(t);
        const unsigned next = (k + 1) % run.nodes;
        const double weight = (1.0 - blend_weight(w, 3 * std::size_t(k))) * basis.h0
            + (1.0 - blend_weight(w, 3 * std::size_t(next))) * basis.h1;
        estimator.add(p, q, weight);
    });
    const auto map = estimator.solve();
    if (!map)
        return false;

    contour_shape shape(contour);
    shape.closed = run.closed;
    shape.nodes = run.nodes;
    std::vector<pointf> moved = contour;
    for (unsigned i = 0; i < run.nodes; ++i) {
        const std::size_t node = 3 * std::size_t(i);
        const pointd old_node(contour[node]);
        const double wn = blend_weight(w, node);
        const pointd new_node = old_node * wn + (*map)(old_node) * (1.0 - wn);
        moved[node] = new_node.to_float();
        auto move_handle = [&](std::size_t h) {
            const pointd offset = pointd(contour[h]) - old_node;
            const double wh = blend_weight(w, h);
            moved[h] = (new_node + offset * wh + map->linear(offset) * (1.0 - wh)).to_float();
        };
        if (shape.has_in(i))
            move_handle(shape.in_index(i));
        if (shape.has_out(i))
            move_handle(node + 1);
    }
    if (run.closed)
        moved.back() = moved.front();
    if (!all_finite(moved))
        return false;
    contour.swap(moved);
    return true;
}

void prealign(const outline_edge_index& index, const bezier_fit_settings& settings, const run_input& run,
    std::vector<pointf>& contour)
{
    if (run.tractions) {
        bool all_fixed = true;
        for (unsigned i = 0; i < run.nodes; ++i)
            all_fixed = all_fixed && (*run.tractions)[3 * std::size_t(i)] >= 1.0f;
        if (all_fixed)
            return;
    }
    for (int i = 0; i < settings.iterations; ++i) {
        const std::vector<pointf> before = contour;
        bool moved;
        switch (settings.model) {
        case 1:
            moved = prealign_once<rigid_estimator>(index, settings, run, contour);
            break;
        case 2:
            moved = prealign_once<similarity_estimator>(index, settings, run, contour);
            break;
        case 3:
            moved = prealign_once<affine_estimator>(index, settings, run, contour);
            break;
        default:
            moved = prealign_once<translation_estimator>(index, settings, run, contour);
            break;
        }
        // Each pass depends on the contour alone: once it stands still,
        // every later pass would repeat the same result.
        if (!moved || contour == before)
            return;
    }
}

void relax(const outline_edge_index& index, const bezier_fit_settings& settings, const run_input& run,
    std::vector<pointf>& contour)
{
    contour_shape shape(contour);
    shape.closed = run.closed;
    shape.nodes = run.nodes;

    std::vector<float> working = run.tractions ? *run.tractions : std::vector<float>(contour.size(), 0.0f);
    bool step_needed = false;
    for (unsigned i = 0; i < run.nodes; ++i) {
        const unsigned kind = kind_of(run.kinds, i);
        if (kind == handleless)
            continue;
        const unsigned flag = flag_of(run.flags, i);
        const bool in_flagged = (flag & in_keep_direction) || kind == smooth_separate;
        const bool out_flagged = (flag & out_keep_direction) || kind == smooth_separate;
        const std::size_t in = shape.has_in(i) ? shape.in_index(i) : contour.size();
        const std::size_t out = shape.has_out(i) ? 3 * std::size_t(i) + 1 : contour.size();
        if (is_smooth_kind(kind) && (flag & (in_keep_direction | out_keep_direction))) {
            if (in < contour.size())
                working[in] = 1.0f;
            if (out < contour.size())
                working[out] = 1.0f;
        } else {
            if ((flag & in_keep_direction) && in < contour.size())
                working[in] = 1.0f;
            if ((flag & out_keep_direction) && out < contour.size())
                working[out] = 1.0f;
        }
        if (!run.tractions)
            step_needed = true;
        else if ((in_flagged && in < contour.size() && (*run.tractions)[in] < 1.0f)
            || (out_flagged && out < contour.size() && (*run.tractions)[out] < 1.0f))
            step_needed = true;
    }

    // Fixed points take their values from the prior when tractions come
    // with it, else from the contour as it stands.
    const bool use_prior = run.prior && run.tractions;
    auto reference = [&]() -> const std::vector<pointf>& { return use_prior ? *run.prior : contour; };

    bezier_linear_system linear(
        run.closed, run.nodes, run.kinds, contour, settings.preserve_segments, reference(), working);
    auto linear_pass = [&] {
        sample(contour, run.closed, index, settings.sample_step,
            [&](unsigned k, double t, pointd, pointd q) { linear.add_sample(k, t, q); });
        return linear.solve(contour, run.prior, run.tractions);
    };
    bezier_parameter_system parameters;
    auto parameter_pass = [&] {
        parameters.load(contour);
        sample(contour, run.closed, index, settings.sample_step,
            [&](unsigned k, double t, pointd, pointd q) { parameters.add_sample(k, t, q); });
        return parameters.step(contour);
    };

    // Every pass depends only on the contour it starts from, so a pass
    // that leaves the contour unchanged ends the loop without changing
    // the result.
    const bool constrained_fully = linear.unknowns() == linear.constraint_rank();
    if (!constrained_fully && step_needed) {
        parameters.build(run.closed, run.nodes, run.kinds, contour, run.prior, run.tractions, run.flags);
        for (int j = 0; j < settings.iterations; j += 2) {
            const std::vector<pointf> before = contour;
            if (j > 0)
                linear.rebuild_constraints(
                    run.kinds, contour, settings.preserve_segments, reference(), working);
            linear_pass();
            parameter_pass();
            if (contour == before)
                break;
        }
    } else if (!constrained_fully) {
        for (int j = 0; j < settings.iterations; ++j) {
            const std::vector<pointf> before = contour;
            if (!linear_pass() || contour == before)
                break;
        }
    } else {
        parameters.build(run.closed, run.nodes, run.kinds, contour, run.prior, run.tractions, run.flags);
        for (int j = 0; j < settings.iterations; ++j) {
            const std::vector<pointf> before = contour;
            if (!parameter_pass() || contour == before)
                break;
        }
    }
}

void fit_run(const outline_edge_index& index, const bezier_fit_settings& settings, const run_input& run,
    std::vector<pointf>& contour, std::vector<pointf>* targets_out, std::vector<pointf>* samples_out)
{
    if (settings.iterations > 0 && (settings.mode == 0 || settings.mode == 2))
        prealign(index, settings, run, contour);
    if (settings.iterations > 0 && (settings.mode == 1 || settings.mode == 2))
        relax(index, settings, run, contour);
    if (targets_out || samples_out)
        sample(contour, run.closed, index, settings.sample_step, [&](unsigned, double, pointd p, pointd q) {
            if (targets_out)
                targets_out->push_back(q.to_float());
            if (samples_out)
                samples_out->push_back(p.to_float());
        });
}

// The contour shape after checking every input against it.
contour_shape checked_shape(const std::vector<pointf>& contour, const std::vector<unsigned>& kinds,
    const std::vector<pointf>* prior, const std::vector<float>* tractions, const std::vector<unsigned>* flags)
{
    if (contour.size() < 4 || (contour.size() - 1) % 3 != 0)
        throw std::runtime_error("The contour to fit has a number of points that no Bezier contour has");
    if (!all_finite(contour))
        throw std::runtime_error("The contour to fit has coordinates that are not finite numbers");
    if (prior && (prior->size() != contour.size() || !all_finite(*prior)))
        throw std::runtime_error("The prior contour does not match the contour to fit");
    if (tractions && tractions->size() != contour.size())
        throw std::runtime_error("The contour tractions do not match the contour to fit");
    const contour_shape shape(contour);
    if (!kinds.empty() && kinds.size() < shape.nodes)
        throw std::runtime_error("The node kinds do not match the contour to fit");
    if (flags && flags->size() < shape.nodes)
        throw std::runtime_error("The node flags do not match the contour to fit");
    return shape;
}

// The open run over the nodes first, first + 1, ... (modulo the node
// count) up to and including last, once round the contour when first and
// last are the same node: the contour indices of its points.
std::vector<std::size_t> run_indices(const contour_shape& shape, unsigned first, unsigned last)
{
    unsigned steps = (last + shape.nodes - first) % shape.nodes;
    if (steps == 0)
        steps = shape.nodes;
    std::vector<std::size_t> indices;
    indices.reserve(3 * std::size_t(steps) + 1);
    for (unsigned s = 0, i = first; s < steps; ++s, i = (i + 1) % shape.nodes) {
        const std::size_t node = 3 * std::size_t(i);
        indices.push_back(node);
        indices.push_back(node + 1);
        indices.push_back(node + 2);
    }
    indices.push_back(3 * std::size_t(last));
    return indices;
}

template <class T> std::vector<T> pick(const std::vector<T>& values, const std::vector<std::size_t>& indices)
{
    std::vector<T> out;
    out.reserve(indices.size());
    for (std::size_t i : indices)
        out.push_back(values[i]);
    return out;
}

template <class T>
std::vector<T> pick_nodes(const std::vector<T>& values, const std::vector<std::size_t>& indices)
{
    std::vector<T> out;
    for (std::size_t p = 0; p < indices.size(); p += 3)
        out.push_back(indices[p] / 3 < values.size() ? values[indices[p] / 3] : T {});
    return out;
}

void fit_open_run(const outline_edge_index& index, const bezier_fit_settings& settings,
    const run_input& whole, const contour_shape& shape, unsigned first, unsigned last,
    std::vector<pointf>& contour, std::vector<pointf>* targets_out, std::vector<pointf>* samples_out)
{
    const std::vector<std::size_t> indices = run_indices(shape, first, last);
    std::vector<pointf> points = pick(contour, indices);
    const std::vector<unsigned> kinds = pick_nodes(whole.kinds, indices);
    std::vector<pointf> prior;
    std::vector<float> tractions;
    std::vector<unsigned> flags;
    if (whole.prior)
        prior = pick(*whole.prior, indices);
    if (whole.tractions)
        tractions = pick(*whole.tractions, indices);
    if (whole.flags)
        flags = pick_nodes(*whole.flags, indices);
    const run_input run { false, static_cast<unsigned>(indices.size() / 3 + 1), kinds,
        whole.prior ? &prior : nullptr, whole.tractions ? &tractions : nullptr,
        whole.flags ? &flags : nullptr };
    fit_run(index, settings, run, points, targets_out, samples_out);
    for (std::size_t p = 0; p < indices.size(); ++p)
        contour[indices[p]] = points[p];
    if (shape.closed)
        contour.back() = contour.front();
}

} // namespace

void fit_bezier_run(const outline_edge_index& index, const std::vector<unsigned>& kinds,
    const bezier_fit_settings& settings, std::vector<pointf>& contour, const std::vector<pointf>* prior,
    const std::vector<float>* tractions, const std::vector<unsigned>* flags, std::vector<pointf>* targets_out,
    std::vector<pointf>* samples_out)
{
    const contour_shape shape = checked_shape(contour, kinds, prior, tractions, flags);
    fit_run(index, settings, { shape.closed, shape.nodes, kinds, prior, tractions, flags }, contour,
        targets_out, samples_out);
}

void fit_bezier_contour(const outline_edge_index& index, const std::vector<unsigned>& kinds,
    const bezier_fit_settings& settings, std::vector<pointf>& contour, const std::vector<pointf>* prior,
    const std::vector<float>* tractions, const std::vector<unsigned>* flags, std::vector<pointf>* targets_out,
    std::vector<pointf>* samples_out)
{
    const contour_shape shape = checked_shape(contour, kinds, prior, tractions, flags);
    if (targets_out)
        targets_out->clear();
    if (samples_out)
        samples_out->clear();
    const unsigned n = shape.nodes;
    const run_input whole { shape.closed, n, kinds, prior, tractions, flags };
    if (!prior) {
        fit_run(index, settings, { shape.closed, n, kinds, nullptr, nullptr, flags }, contour, targets_out,
            samples_out);
        return;
    }

    std::vector<unsigned> state(n, 0);
    bool any = false;
    bool all_take_part = true;
    for (unsigned i = 0; i < n; ++i) {
        const unsigned kind = kind_of(kinds, i);
        auto is_free = [&](std::size_t j) { return !tractions || (*tractions)[j] < 1.0f; };
        const std::size_t node = 3 * std::size_t(i);
        unsigned s = 0;
        if (is_free(node))
            s |= node_free | takes_part;
        if (kind != handleless && shape.has_in(i) && is_free(shape.in_index(i)))
            s |= in_free;
        if (kind != handleless && shape.has_out(i) && is_free(node + 1))
            s |= out_free;
        if (is_smooth_kind(kind) && (s & (in_free | out_free)))
            s |= takes_part;
        state[i] = s;
        any = any || s != 0;
        const bool end = !shape.closed && (i == 0 || i + 1 == n);
        all_take_part = all_take_part && (end || (s & takes_part));
    }
    if (!any)
        return;
    if (all_take_part || n == 1) {
        fit_run(index, settings, whole, contour, targets_out, samples_out);
        return;
    }

    auto anchor = [&](unsigned i) { return (state[i] & takes_part) == 0; };
    unsigned begin = 0;
    unsigned end = n - 1;
    if (shape.closed) {
        unsigned a = n - 1;
        while (!anchor(a))
            --a;
        unsigned b = 0;
        while (!anchor(b))
            ++b;
        // The run across the closing point, needed when a node next to it
        // moves or when the closing segment's handles are free.
        const bool across = !anchor(0) || !anchor(n - 1) || (state[n - 1] & out_free) || (state[0] & in_free);
        if (across) {
            if (a == 0 && b == 0) {
                fit_run(index, settings, whole, contour, targets_out, samples_out);
                return;
            }
            fit_open_run(index, settings, whole, shape, a, b, contour, targets_out, samples_out);
        }
        begin = b;
        end = a;
    }

    unsigned i = begin;
    while (i < end) {
        if (!((state[i] & out_free) || (state[i + 1] & (in_free | takes_part)))) {
            ++i;
            continue;
        }
        unsigned k = i + 1;
        while (k <= end && !anchor(k))
            ++k;
        if (k > end)
            break;
        fit_open_run(index, settings, whole, shape, i, k, contour, targets_out, samples_out);
        i = k;
    }
}

} // namespace contours

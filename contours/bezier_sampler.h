#pragma once

#include "contours/outline_edge_index.h"
#include "contours/point.h"

#include <vector>

namespace contours {

// The shape of a contour: closed when its last point equals its first
// exactly; N nodes for 3N + 1 points (closed) or 3N - 2 points (open).
struct contour_shape {
    bool closed;
    unsigned nodes;

    explicit contour_shape(const std::vector<pointf>& contour)
        : closed(contour.size() > 1 && contour.front() == contour.back())
        , nodes(contour.empty() ? 1 : static_cast<unsigned>(contour.size() / 3 + (closed ? 0 : 1)))
    {
    }
    unsigned segments() const { return closed ? nodes : nodes - 1; }
    // Unknowns of the linear model: one per point except a closed contour's
    // repeated last point.
    unsigned unknowns() const { return closed ? 3 * nodes : 3 * nodes - 2; }
    // Contour index of node i's in-handle (valid when it has one).
    std::size_t in_index(unsigned i) const
    {
        return i == 0 ? 3 * std::size_t(nodes) - 1 : 3 * std::size_t(i) - 1;
    }
    bool has_in(unsigned i) const { return closed || i > 0; }
    bool has_out(unsigned i) const { return closed || i + 1 < nodes; }
};

// The smallest parameter interval the sampler subdivides to.
inline constexpr float min_sample_interval = 1.0f / 65536.0f;

// Samples a contour (size 3N + 1 or 3N - 2, N >= 2 for open contours, all
// points finite) by adaptive de Casteljau halving until every piece is
// shorter than about `step` pixels, each segment at least into quarters, and
// calls receive(segment, t, point, target) for every sample, the target being
// the outline point that `index` finds for the sample's normal. With
// `final_node` the last node of an open contour is sampled too (t = 1 of the
// last segment).
template <class Receiver>
void sample_contour(const std::vector<pointf>& contour, const outline_edge_index& index, float step,
    bool final_node, Receiver&& receive)
{
    struct record {
        unsigned segment; // the segment this point opens
        float t_close; // parameter as the end of the segment it closes
        float t_open; // parameter as the start of the segment it opens
        pointd point;
        pointd back;
        pointd forward;
    };

    const contour_shape shape(contour);
    const unsigned n = shape.nodes;
    std::vector<record> stack;
    stack.reserve(n + 64);
    auto at = [&](std::size_t i) { return pointd(contour[i]); };
    if (shape.closed)
        stack.push_back({ n, 1.0f, 0.0f, at(3 * std::size_t(n)), at(3 * std::size_t(n) - 1), {} });
    for (unsigned k = n; k-- > 0;) {
        const std::size_t p = 3 * std::size_t(k);
        stack.push_back({ k, 1.0f, 0.0f, at(p), shape.has_in(k) ? at(shape.in_index(k)) : at(p),
            shape.has_out(k) ? at(p + 1) : at(p) });
    }

    const double limit = double(step) * double(step) / 3.0;
    auto emit = [&](unsigned segment, float t, pointd point, pointd tangent) {
        const pointf normal(static_cast<float>(-tangent.y), static_cast<float>(tangent.x));
        const pointf target = index.nearest(point.to_float(), normal);
        receive(segment, double(t), point, pointd(target));
    };

    while (stack.size() >= 2) {
        record& a = stack[stack.size() - 1];
        record& b = stack[stack.size() - 2];
        const double legs = norm2(a.forward - a.point) + norm2(b.back - a.forward) + norm2(b.point - b.back);
        const float t0 = a.t_open;
        const float t1 = b.t_close;
        const bool half = (t0 == 0.0f && t1 >= 0.5f) || (t0 <= 0.5f && t1 == 1.0f);
        const bool smallest = (t1 - t0) * 0.5f < min_sample_interval;
        if (smallest || (limit > legs && !half)) {
            emit(a.segment, t0, a.point, a.forward - a.point);
            stack.pop_back();
            continue;
        }
        const pointd p01 = (a.point + a.forward) * 0.5;
        const pointd p12 = (a.forward + b.back) * 0.5;
        const pointd p23 = (b.back + b.point) * 0.5;
        const pointd p012 = (p01 + p12) * 0.5;
        const pointd p123 = (p12 + p23) * 0.5;
        const pointd mid = (p012 + p123) * 0.5;
        const float tm = (t0 + t1) * 0.5f;
        a.forward = p01;
        b.back = p23;
        const record top = a;
        stack.back() = { top.segment, tm, tm, mid, p012, p123 };
        stack.push_back(top);
    }

    if (final_node && !shape.closed && n >= 2) {
        const std::size_t last = contour.size() - 1;
        emit(n - 2, 1.0f, at(last), at(last) - at(last - 1));
    }
}

} // namespace contours

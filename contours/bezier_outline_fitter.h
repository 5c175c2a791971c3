#pragma once

#include "contours/crack_outline.h"
#include "contours/point.h"

#include <vector>

namespace contours {

// Settings of the new fit of a contour to an outline. `set_settings`
// validates them: a negative or not-a-number smoothness becomes 0; iterations
// are clamped to 1..100000; a tolerance below 0 (or not a number) becomes 0,
// above 10 becomes 10; a sampling ratio below 0.1 (or not a number) becomes
// 0.1, above 10 becomes 10; the node limit is clamped to 1..100.
struct fitter_settings {
    float smoothness = 1.0f; // above 0: smooth nodes
    unsigned iterations = 50;
    float tolerance = 0.001f; // mean squared error per sample that ends a cubic's fit
    float sampling_ratio = 2.0f / 3.0f; // samples per outline vertex of a run
    bool relaxation = false; // relax the new contour onto the outline afterwards
    unsigned node_limit = 7;
};

// Fits a closed contour to a closed outline. Holds the number n of distinct
// outline vertices and the vertices twice over (vertex i at i and at n + i),
// so that a run of vertices may wrap past the outline's start.
class outline_fitter {
public:
    virtual ~outline_fitter() = default;

    // Fills the outline indices of the nodes (k + 1 entries, the last one n)
    // and returns 0.
    virtual float choose_nodes(std::vector<unsigned>& node_indices) = 0;
    virtual const fitter_settings& settings() const = 0;
    // One node kind per node.
    virtual void node_kinds(const std::vector<unsigned>& node_indices, std::vector<unsigned>& kinds) = 0;

    // Takes a closed outline (its first vertex repeated at its end).
    void set_outline(const crack_outline& outline);
    unsigned vertex_count() const { return m_count; }
    pointf vertex(std::size_t i) const { return m_vertices[i]; }

protected:
    unsigned m_count = 0;
    std::vector<pointf> m_vertices;
};

// Cuts the outline into runs of equal length and fits one cubic to each.
class bezier_outline_fitter : public outline_fitter {
public:
    void set_settings(const fitter_settings& settings);

    // k = min(n / 3, node limit) nodes at outline indices floor(n i / k).
    float choose_nodes(std::vector<unsigned>& node_indices) override;
    const fitter_settings& settings() const override { return m_settings; }
    // Kind 1 (smooth, handles separate) for every node when the smoothness is
    // above 0, else 0 (corner).
    void node_kinds(const std::vector<unsigned>& node_indices, std::vector<unsigned>& kinds) override;

    // Fits one cubic to the outline vertices first..last (at least 4 of them)
    // with fixed ends and appends its two inner control points and its end
    // point to the contour.
    void fit_cubic_to_run(unsigned first, unsigned last, std::vector<pointf>& contour) const;

    // A new closed contour through the chosen nodes: 3k + 1 points.
    void fit(std::vector<pointf>& contour);

private:
    fitter_settings m_settings;
};

} // namespace contours

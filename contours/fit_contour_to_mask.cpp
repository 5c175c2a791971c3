#include "contours/fit_contour_to_mask.h"

#include "contours/bezier_linear_system.h"
#include "contours/bezier_outline_fitter.h"
#include "contours/bezier_sampler.h"
#include "contours/crack_outline.h"
#include "contours/fill_contour.h"
#include "contours/fit_bezier_contour.h"
#include "contours/outline_edge_index.h"

#include <algorithm>

namespace contours {

namespace {

// The fitter's validation bounds the iteration count and the sampling
// ratio for both roads.
fitter_settings validated_settings(unsigned degrees, bool smooth, const contour_fit_params& params)
{
    fitter_settings requested;
    requested.smoothness = smooth ? 1.0f : 0.0f;
    requested.iterations = params.iterations;
    requested.tolerance = params.tolerance;
    requested.sampling_ratio = params.sampling_ratio;
    requested.node_limit = degrees;
    bezier_outline_fitter fitter;
    fitter.set_settings(requested);
    return fitter.settings();
}

void new_fit(const crack_outline& outline, const fitter_settings& settings, std::vector<pointf>& contour,
    const std::vector<pointf>* reference, const std::vector<float>* traction)
{
    bezier_outline_fitter fitter;
    fitter.set_settings(settings);
    fitter.set_outline(outline);
    std::vector<unsigned> nodes;
    fitter.choose_nodes(nodes);
    fitter.fit(contour);
    if (!fitter.settings().relaxation)
        return;

    std::vector<unsigned> kinds;
    fitter.node_kinds(nodes, kinds);
    const outline_edge_index index(outline);
    bezier_fit_settings relax;
    relax.iterations = static_cast<int>(fitter.settings().iterations);
    relax.sample_step = 1.0f / fitter.settings().sampling_ratio;
    relax.mode = 1;
    relax.model = 0;
    relax.preserve_segments = false;
    const bool matching
        = reference && traction && reference->size() == contour.size() && traction->size() == contour.size();
    fit_bezier_contour(index, kinds, relax, contour, matching ? reference : nullptr,
        matching ? traction : nullptr, nullptr, nullptr, nullptr);
}

void refit(const crack_outline& outline, const fitter_settings& settings, int motion_bound,
    std::vector<pointf>& contour, const std::vector<pointf>* reference, const std::vector<float>* traction)
{
    const contour_shape shape(contour);
    const std::vector<unsigned> kinds(shape.nodes, settings.smoothness > 0.0f ? smooth : corner);
    outline_edge_index index(outline);
    index.set_search_radius(static_cast<unsigned>(std::max(motion_bound, 0)));
    bezier_fit_settings fit;
    fit.iterations = static_cast<int>(settings.iterations);
    fit.sample_step = 1.0f / settings.sampling_ratio;
    fit.mode = 2;
    fit.model = 3;
    fit.preserve_segments = true;
    fit_bezier_contour(index, kinds, fit, contour, reference, traction, nullptr, nullptr, nullptr);
}

} // namespace

void fit_contour_to_mask(img::image<img::bit>& mask, unsigned degrees, bool smooth,
    const contour_fit_params& params, std::vector<pointf>& contour, const std::vector<pointf>* reference,
    const std::vector<float>* traction)
{
    crack_outline outline;
    longest_outline(mask, outline);
    const fitter_settings settings = validated_settings(degrees, smooth, params);

    std::vector<pointf> fitted = contour;
    if (fitted.empty())
        new_fit(outline, settings, fitted, reference, traction);
    else
        refit(outline, settings, params.motion_bound, fitted, reference, traction);

    fill_contour_into_mask(fitted, mask);
    contour.swap(fitted);
}

} // namespace contours

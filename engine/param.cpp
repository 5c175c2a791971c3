#include "engine/param.h"

#include <algorithm>
#include <limits>

namespace refine {

const char* const* enum_names(information_source)
{
    static const char* const names[] = { "reference", "target", "both", nullptr };
    return names;
}

const char* const* enum_names(preference)
{
    static const char* const names[] = { "none", "masked", "unmasked", nullptr };
    return names;
}

} // namespace refine

namespace trm {

namespace mincut {

const char* const* enum_names(information_source)
{
    static const char* const names[] = { "target", "both", nullptr };
    return names;
}

} // namespace mincut

const char* const* enum_names(smooth_mask_method)
{
    static const char* const names[] = { "0", "4", "equal_spheres", "equal_ellipses", nullptr };
    return names;
}

namespace {

// The single-precision bound of both tractions.
constexpr float max_traction = 0.9f;

void clamp(int& value, int low, int high)
{
    value = std::clamp(value, low, high);
}

// Written so that a value that is not a number ends at the lower bound.
void clamp(float& value, float low, float high)
{
    if (!(value >= low)) {
        value = low;
    } else if (value > high) {
        value = high;
    }
}

// The pixel count of a square window of half size d, (2d + 1)²; d is
// clamped to at most 60 before it is used, so this cannot overflow.
int window_area(int half_size)
{
    const int side = 2 * half_size + 1;
    return side * side;
}

// Calls f(name, member pointer) for the 38 fields in their order.
template <class F> void for_each_field(F&& f)
{
    f("reference_frame_pitch", &param::reference_frame_pitch);
    f("downsample", &param::downsample);
    f("optic_flow", &param::optic_flow);
    f("max_motion", &param::max_motion);
    f("tracker_size", &param::tracker_size);
    f("mincut", &param::mincut);
    f("mincut_pyramid_levels", &param::mincut_pyramid_levels);
    f("mincut_information_source", &param::mincut_information_source);
    f("mincut_max_motion", &param::mincut_max_motion);
    f("mincut_max_link_distance", &param::mincut_max_link_distance);
    f("mincut_link_count", &param::mincut_link_count);
    f("mincut_aspect", &param::mincut_aspect);
    f("mincut_interframe_max_link_distance", &param::mincut_interframe_max_link_distance);
    f("mincut_interframe_link_count", &param::mincut_interframe_link_count);
    f("mincut_antialiasing", &param::mincut_antialiasing);
    f("mincut_antialiasing_levels_exp", &param::mincut_antialiasing_levels_exp);
    f("refine_mask", &param::refine_mask);
    f("refine_information_source", &param::refine_information_source);
    f("refine_window_half_size", &param::refine_window_half_size);
    f("refine_auto", &param::refine_auto);
    f("refine_enough_statistics", &param::refine_enough_statistics);
    f("refine_preference", &param::refine_preference);
    f("refine2_mask", &param::refine2_mask);
    f("refine2_max_motion", &param::refine2_max_motion);
    f("refine2_max_level", &param::refine2_max_level);
    f("dilation_erosion", &param::dilation_erosion);
    f("wool_removal", &param::wool_removal);
    f("decrease_mask_freedom", &param::decrease_mask_freedom);
    f("decrease_freedom_degrees", &param::decrease_freedom_degrees);
    f("decrease_smooth_contour", &param::decrease_smooth_contour);
    f("decrease_iterations", &param::decrease_iterations);
    f("decrease_nodes_traction", &param::decrease_nodes_traction);
    f("decrease_tangents_traction", &param::decrease_tangents_traction);
    f("smooth_mask", &param::smooth_mask);
    f("smooth_window_half_size", &param::smooth_window_half_size);
    f("smooth_passes_num", &param::smooth_passes_num);
    f("smooth_max_condition_number", &param::smooth_max_condition_number);
    f("smooth_decorative", &param::smooth_decorative);
}

} // namespace

void param::validate()
{
    reference_frame_pitch = std::max(reference_frame_pitch, 1);
    clamp(downsample, 1, 4);
    clamp(max_motion, 1, 100);
    clamp(tracker_size, 1, 100);
    clamp(mincut_pyramid_levels, 0, 5);
    clamp(mincut_max_motion, 1, 100);
    clamp(mincut_max_link_distance, 1, 60);
    clamp(mincut_link_count, 1, window_area(mincut_max_link_distance));
    if (!(mincut_aspect >= 0.0f)) {
        mincut_aspect = 0.0f;
    }
    clamp(mincut_interframe_max_link_distance, 1, 60);
    clamp(mincut_interframe_link_count, 1, window_area(mincut_interframe_max_link_distance));
    clamp(mincut_antialiasing_levels_exp, 0, 6);
    clamp(refine_window_half_size, 1, 60);
    const int statistics_bound = std::max(7, window_area(refine_window_half_size) / 3 - 2);
    clamp(refine_enough_statistics, 1.0f, static_cast<float>(statistics_bound));
    clamp(refine2_max_motion, 1, 100);
    clamp(refine2_max_level, 1, 5);
    clamp(dilation_erosion, -25, 25);
    clamp(wool_removal, 0, 25);
    clamp(decrease_freedom_degrees, 2, 100);
    clamp(decrease_iterations, 25, 10000);
    clamp(decrease_nodes_traction, 0.0f, max_traction);
    clamp(decrease_tangents_traction, 0.0f, max_traction);
    clamp(smooth_window_half_size, 1, 50);
    clamp(smooth_passes_num, 1, 1000);
    clamp(smooth_max_condition_number, 2, 100);
}

xml::stream& param::serialize(xml::stream& s)
{
    if (!s.reading) {
        for_each_field([&](const char* name, auto member) { s.write(name, this->*member); });
        return s;
    }

    const param defaults;
    for_each_field([&](const char* name, auto member) { this->*member = s.read(name, defaults.*member); });

    // Older files stored the threshold as a fraction of the window's pixel
    // count: the stored window scales it as it stands. In doubles the
    // product of any int window and float fraction cannot overflow; it is
    // brought into float's range here and into the parameter's by validate.
    if (refine_enough_statistics < 1.0f && refine_window_half_size > 0) {
        const double side = 2.0 * refine_window_half_size + 1.0;
        const double threshold = side * side * static_cast<double>(refine_enough_statistics);
        refine_enough_statistics = static_cast<float>(
            std::clamp(threshold, 1.0, static_cast<double>(std::numeric_limits<float>::max())));
    }
    validate();
    return s;
}

bool param::use_antialiasing() const
{
    return mincut && mincut_antialiasing && smooth_mask == smooth_mask_method::off;
}

bool operator==(const param& a, const param& b)
{
    if (a.reference_frame_pitch != b.reference_frame_pitch || a.downsample != b.downsample) {
        return false;
    }

    if (a.optic_flow != b.optic_flow) {
        return false;
    }
    if (a.optic_flow && (a.max_motion != b.max_motion || a.tracker_size != b.tracker_size)) {
        return false;
    }

    if (a.mincut != b.mincut) {
        return false;
    }
    if (a.mincut) {
        if (a.mincut_pyramid_levels != b.mincut_pyramid_levels
            || a.mincut_information_source != b.mincut_information_source
            || a.mincut_max_motion != b.mincut_max_motion
            || a.mincut_max_link_distance != b.mincut_max_link_distance
            || a.mincut_link_count != b.mincut_link_count || a.mincut_aspect != b.mincut_aspect
            || a.mincut_antialiasing != b.mincut_antialiasing) {
            return false;
        }
        if (a.mincut_antialiasing && a.mincut_antialiasing_levels_exp != b.mincut_antialiasing_levels_exp) {
            return false;
        }
        if (a.mincut_information_source != mincut::information_source::target
            && (a.mincut_interframe_link_count != b.mincut_interframe_link_count
                || a.mincut_interframe_max_link_distance != b.mincut_interframe_max_link_distance)) {
            return false;
        }
    }

    if (a.refine_mask != b.refine_mask) {
        return false;
    }
    if (a.refine_mask) {
        if (a.refine_information_source != b.refine_information_source
            || a.refine_window_half_size != b.refine_window_half_size || a.refine_auto != b.refine_auto) {
            return false;
        }
        if (!a.refine_auto
            && (a.refine_enough_statistics != b.refine_enough_statistics
                || a.refine_preference != b.refine_preference)) {
            return false;
        }
    }

    if (a.refine2_mask != b.refine2_mask) {
        return false;
    }
    if (a.refine2_mask
        && (a.refine2_max_motion != b.refine2_max_motion || a.refine2_max_level != b.refine2_max_level)) {
        return false;
    }

    if (a.dilation_erosion != b.dilation_erosion || a.wool_removal != b.wool_removal) {
        return false;
    }

    if (a.decrease_mask_freedom != b.decrease_mask_freedom) {
        return false;
    }
    if (a.decrease_mask_freedom
        && (a.decrease_freedom_degrees != b.decrease_freedom_degrees
            || a.decrease_smooth_contour != b.decrease_smooth_contour
            || a.decrease_iterations != b.decrease_iterations
            || a.decrease_nodes_traction != b.decrease_nodes_traction
            || a.decrease_tangents_traction != b.decrease_tangents_traction)) {
        return false;
    }

    if (a.smooth_mask != b.smooth_mask) {
        return false;
    }
    if (a.smooth_mask == smooth_mask_method::off) {
        return true;
    }
    return a.smooth_window_half_size == b.smooth_window_half_size
        && a.smooth_passes_num == b.smooth_passes_num
        && a.smooth_max_condition_number == b.smooth_max_condition_number
        && a.smooth_decorative == b.smooth_decorative;
}

} // namespace trm

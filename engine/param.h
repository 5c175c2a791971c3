#pragma once

#include "foundation/xml/xml_stream.h"

// The enumerations among the engine parameters. Each is stored in XML as a
// word of its null-terminated table (enum_names), the value being the index.

namespace refine {

// Where the refinement takes its colour statistics from.
enum class information_source : int { reference = 0, target = 1, both = 2 };
// What a pixel the statistics leave undecided becomes.
enum class preference : int { none = 0, masked = 1, unmasked = 2 };

const char* const* enum_names(information_source); // "reference", "target", "both"
const char* const* enum_names(preference); // "none", "masked", "unmasked"

} // namespace refine

namespace trm {

namespace mincut {

// Colour samples of the graph cut: the target frame only, or both frames.
enum class information_source : int { target = 0, both = 1 };

const char* const* enum_names(information_source); // "target", "both"

} // namespace mincut

// The method of the "smoothing mask" stage.
enum class smooth_mask_method : int { off = 0, diffuse = 1, equal_spheres = 2, equal_ellipses = 3 };

const char* const* enum_names(smooth_mask_method); // "0", "4", "equal_spheres", "equal_ellipses"

// The 38 settings that steer the calculation of one segment. Each field is
// saved as the attribute of its own name. The record is copied as a whole.
class param {
public:
    int reference_frame_pitch = 1;
    int downsample = 1;
    bool optic_flow = false;
    int max_motion = 10;
    int tracker_size = 8;
    bool mincut = false;
    int mincut_pyramid_levels = 2;
    mincut::information_source mincut_information_source = mincut::information_source::target;
    int mincut_max_motion = 2;
    int mincut_max_link_distance = 5;
    int mincut_link_count = 5;
    float mincut_aspect = 10.0f;
    int mincut_interframe_max_link_distance = 5;
    int mincut_interframe_link_count = 4;
    bool mincut_antialiasing = false;
    int mincut_antialiasing_levels_exp = 2;
    bool refine_mask = true;
    ::refine::information_source refine_information_source = ::refine::information_source::both;
    int refine_window_half_size = 10;
    bool refine_auto = false;
    float refine_enough_statistics = 3.5f;
    ::refine::preference refine_preference = ::refine::preference::none;
    bool refine2_mask = false;
    int refine2_max_motion = 5;
    int refine2_max_level = 3;
    int dilation_erosion = 0;
    int wool_removal = 0;
    bool decrease_mask_freedom = false;
    int decrease_freedom_degrees = 7;
    bool decrease_smooth_contour = true;
    int decrease_iterations = 50;
    float decrease_nodes_traction = 0.0f;
    float decrease_tangents_traction = 0.2f;
    smooth_mask_method smooth_mask = smooth_mask_method::off;
    int smooth_window_half_size = 1;
    int smooth_passes_num = 7;
    int smooth_max_condition_number = 5;
    bool smooth_decorative = true;

    // Clamps every numeric field into its range, in field order, so that the
    // link-count bounds use the clamped link distances and the
    // enough-statistics bound the clamped window. Enumerations and bools are
    // left alone; a float that is not a number becomes its lower bound.
    void validate();

    // Saving writes all 38 attributes of the stream's element (throws
    // xml::attribute_not_found on a null stream) and does not validate.
    // Loading reads each as optional with the default record's value as its
    // default, converts the older fractional form of
    // "refine_enough_statistics", then validates.
    xml::stream& serialize(xml::stream& s);

    // The graph cut is to deliver a grey mask: mincut and its antialiasing
    // on, smoothing off.
    bool use_antialiasing() const;
};

// Equal when the two records would give the same results: fields of a stage
// that is off, or of an option that is off, are not compared.
bool operator==(const param& a, const param& b);

} // namespace trm

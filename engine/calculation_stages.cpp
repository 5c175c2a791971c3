// The stages of a calculation that finish a frame's record: the settings of
// the refinements, contour fitting ("decreasing mask freedom") and the
// "smoothing mask" stage.

#include "contours/fit_contour_to_mask.h"
#include "engine/calculation.h"
#include "engine/common/thread_pool.h"
#include "engine/matting/matting.h"
#include "engine/matting/smoothing.h"
#include "foundation/system/profiler.h"

namespace trm {

mincut::options mincut_options(const trm::param& p)
{
    mincut::options o;
    o.pyramid_levels = p.mincut_pyramid_levels;
    o.max_motion = p.mincut_max_motion;
    o.max_link_distance = p.mincut_max_link_distance;
    o.link_count = p.mincut_link_count;
    o.aspect = p.mincut_aspect;
    o.interframe_max_link_distance = p.mincut_interframe_max_link_distance;
    o.interframe_link_count = p.mincut_interframe_link_count;
    o.information_source = p.mincut_information_source;
    o.antialiasing_levels_exp = p.mincut_antialiasing_levels_exp;
    return o;
}

::refine::options refine_options(const trm::param& p)
{
    ::refine::options o;
    o.window_half_size = p.refine_window_half_size;
    o.auto_threshold = p.refine_auto;
    o.enough_statistics = p.refine_enough_statistics;
    o.preference = p.refine_preference;
    return o;
}

::refine::refine2_options refine2_options(const trm::param& p)
{
    ::refine::refine2_options o;
    o.max_motion = p.refine2_max_motion;
    o.max_level = p.refine2_max_level;
    return o;
}

void calculation::decrease_mask_freedom(frame_record& record, const std::vector<pointf>* reference)
{
    const trm::param& p = m_param;
    profiler::scope scope(timing(), "decreasing mask freedom");
    // A reference without a contour (a record loaded from an older project)
    // gives a fresh fit.
    if (reference != nullptr && reference->empty())
        reference = nullptr;
    std::vector<float> traction;
    if (reference != nullptr) {
        record.contour = *reference;
        traction.resize(reference->size());
        for (std::size_t i = 0; i < traction.size(); ++i)
            traction[i] = i % 3 == 0 ? p.decrease_nodes_traction : p.decrease_tangents_traction;
    }
    contours::contour_fit_params o;
    o.iterations = static_cast<unsigned>(p.decrease_iterations);
    o.tolerance = 0.001f;
    o.sampling_ratio = 2.0f / 3.0f;
    o.motion_bound = p.optic_flow ? p.max_motion : 5;
    contours::fit_contour_to_mask(record.bit_mask, static_cast<unsigned>(p.decrease_freedom_degrees),
        p.decrease_smooth_contour, o, record.contour, reference, reference != nullptr ? &traction : nullptr);
}

void calculation::smooth_mask(frame_record& record, const colour_image& frame)
{
    const trm::param& p = m_param;
    profiler::scope scope(timing(), "smoothing mask");
    img::image<unsigned char> grey;
    if (p.smooth_mask == smooth_mask_method::diffuse) {
        matting_options o;
        o.erode_steps = p.smooth_window_half_size;
        o.dilate_steps = p.smooth_window_half_size;
        o.window_half_size = p.smooth_window_half_size;
        o.passes = p.smooth_passes_num;
        o.max_condition_number = static_cast<float>(p.smooth_max_condition_number);
        spatial_matting(frame, record.bit_mask, grey, o, m_log);
    } else {
        smoothing_options o;
        o.window_half_size = p.smooth_window_half_size;
        o.passes = p.smooth_passes_num;
        o.max_condition_number = static_cast<float>(p.smooth_max_condition_number);
        colour_image c(frame.width, frame.height, 4);
        parallel_rows(c.height, [&](unsigned y0, unsigned y1) {
            for (unsigned y = y0; y < y1; ++y) {
                const img::BGRA<unsigned char>* in = frame.row(y);
                img::BGRA<unsigned char>* row = c.row(y);
                const unsigned char* bits = record.bit_mask.row(y);
                for (unsigned x = 0; x < c.width; ++x) {
                    row[x] = in[x];
                    row[x].a = (bits[x >> 3] & (0x80u >> (x & 7))) != 0 ? 255 : 0;
                }
            }
        });
        if (p.smooth_mask == smooth_mask_method::equal_spheres)
            smooth_spheres(c, o, m_log);
        else
            smooth_ellipses(c, o, m_log);
        grey.resize(c.width, c.height, 4);
        parallel_rows(c.height, [&](unsigned y0, unsigned y1) {
            for (unsigned y = y0; y < y1; ++y) {
                const img::BGRA<unsigned char>* row = c.row(y);
                unsigned char* out = grey.row(y);
                for (unsigned x = 0; x < c.width; ++x)
                    out[x] = row[x].a;
            }
        });
    }
    if (!p.smooth_decorative) {
        parallel_rows(grey.height, [&](unsigned y0, unsigned y1) {
            for (unsigned y = y0; y < y1; ++y) {
                const unsigned char* in = grey.row(y);
                unsigned char* bits = record.bit_mask.row(y);
                for (unsigned x = 0; x < grey.width; ++x) {
                    const auto bit = static_cast<unsigned char>(0x80u >> (x & 7));
                    if (in[x] >= 128)
                        bits[x >> 3] |= bit;
                    else
                        bits[x >> 3] &= static_cast<unsigned char>(~bit);
                }
            }
        });
    }
    record.grey_mask.encode(grey);
}

} // namespace trm

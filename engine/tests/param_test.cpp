#include "engine/param.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "xmldoc/sarnel.h"

namespace {

// The XML text of a record saved as the root element "param".
std::string saved_text(trm::param p)
{
    xml::sarnel doc;
    doc.create("param");
    xml::stream s(doc.root(), false);
    p.serialize(s);
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

// A record loaded from a "param" element with the attributes given as XML text.
trm::param loaded(const std::string& attributes)
{
    xml::sarnel doc;
    doc.parse("<param " + attributes + "/>");
    xml::stream s(doc.root(), true);
    trm::param p;
    p.serialize(s);
    return p;
}

// The text sarnel writes for an element given as XML text.
std::string normalised(const std::string& element)
{
    xml::sarnel doc;
    doc.parse(element);
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

TEST(Param, DefaultRecordSavesAllFieldsUnderTheirNames)
{
    EXPECT_EQ(saved_text(trm::param()),
        normalised("<param reference_frame_pitch='1' downsample='1' optic_flow='0' max_motion='10'"
                   " tracker_size='8' mincut='0' mincut_pyramid_levels='2' mincut_information_source='target'"
                   " mincut_max_motion='2' mincut_max_link_distance='5' mincut_link_count='5'"
                   " mincut_aspect='10' mincut_interframe_max_link_distance='5'"
                   " mincut_interframe_link_count='4' mincut_antialiasing='0'"
                   " mincut_antialiasing_levels_exp='2' refine_mask='1' refine_information_source='both'"
                   " refine_window_half_size='10' refine_auto='0' refine_enough_statistics='3.5'"
                   " refine_preference='none' refine2_mask='0' refine2_max_motion='5' refine2_max_level='3'"
                   " dilation_erosion='0' wool_removal='0' decrease_mask_freedom='0'"
                   " decrease_freedom_degrees='7' decrease_smooth_contour='1' decrease_iterations='50'"
                   " decrease_nodes_traction='0' decrease_tangents_traction='0.2' smooth_mask='0'"
                   " smooth_window_half_size='1' smooth_passes_num='7' smooth_max_condition_number='5'"
                   " smooth_decorative='1'/>"));
}

TEST(Param, ElementWithoutAttributesOrNoElementLoadsTheDefaults)
{
    const std::string defaults = saved_text(trm::param());
    EXPECT_EQ(saved_text(loaded("")), defaults);

    trm::param p;
    p.max_motion = 50;
    p.refine_mask = false;
    xml::stream null_stream(xml::node(), true);
    p.serialize(null_stream);
    EXPECT_EQ(saved_text(p), defaults);
}

TEST(Param, SavingThroughANullStreamThrows)
{
    xml::stream null_stream(xml::node(), false);
    trm::param p;
    EXPECT_THROW(p.serialize(null_stream), xml::attribute_not_found);
}

TEST(Param, ValuesOfEveryTypeSurviveARoundTrip)
{
    trm::param p;
    p.dilation_erosion = -4;
    p.optic_flow = true;
    p.decrease_smooth_contour = false;
    p.refine_enough_statistics = 12.75f;
    p.decrease_tangents_traction = 0.75f;
    p.mincut_information_source = trm::mincut::information_source::both;
    p.refine_information_source = refine::information_source::reference;
    p.refine_preference = refine::preference::unmasked;
    p.smooth_mask = trm::smooth_mask_method::equal_ellipses;

    const std::string text = saved_text(p);
    xml::sarnel doc;
    doc.parse(text);
    xml::stream s(doc.root(), true);
    trm::param back;
    back.serialize(s);
    EXPECT_EQ(saved_text(back), text);
    EXPECT_NE(text, saved_text(trm::param()));
}

TEST(Param, EnumerationWordsLoadByTheirTableIndex)
{
    EXPECT_EQ(loaded("smooth_mask='4'").smooth_mask, trm::smooth_mask_method::diffuse);
    EXPECT_EQ(loaded("smooth_mask='2'").smooth_mask, trm::smooth_mask_method::off);
    EXPECT_EQ(loaded("smooth_mask='equal_spheres'").smooth_mask, trm::smooth_mask_method::equal_spheres);
    EXPECT_EQ(loaded("mincut_information_source='both'").mincut_information_source,
        trm::mincut::information_source::both);
    EXPECT_EQ(loaded("refine_information_source='sideways'").refine_information_source,
        refine::information_source::both);
    EXPECT_EQ(loaded("refine_preference='masked'").refine_preference, refine::preference::masked);
}

TEST(Param, LoadingReadsDefaultsNotTheCurrentValues)
{
    xml::sarnel doc;
    doc.parse("<param max_motion='x' />");
    xml::stream s(doc.root(), true);
    trm::param p;
    p.max_motion = 60;
    p.tracker_size = 60;
    p.serialize(s);
    EXPECT_EQ(p.max_motion, 10);
    EXPECT_EQ(p.tracker_size, 8);
}

TEST(Param, ValidateClampsInFieldOrder)
{
    trm::param p;
    p.mincut_link_count = 200;
    p.mincut_max_link_distance = 3;
    p.mincut_interframe_link_count = 100000;
    p.mincut_interframe_max_link_distance = 1000;
    p.refine_enough_statistics = 100.0f;
    p.refine_window_half_size = 2;
    p.decrease_nodes_traction = -0.5f;
    p.decrease_tangents_traction = 1.5f;
    p.dilation_erosion = -30;
    p.mincut_aspect = -1.0f;
    p.validate();
    EXPECT_EQ(p.mincut_link_count, 49);
    EXPECT_EQ(p.mincut_interframe_max_link_distance, 60);
    EXPECT_EQ(p.mincut_interframe_link_count, 121 * 121);
    EXPECT_EQ(p.refine_enough_statistics, 7.0f);
    EXPECT_EQ(p.decrease_nodes_traction, 0.0f);
    EXPECT_EQ(p.decrease_tangents_traction, 0.9f);
    EXPECT_EQ(p.dilation_erosion, -25);
    EXPECT_EQ(p.mincut_aspect, 0.0f);

    p.refine_enough_statistics = 200.0f;
    p.refine_window_half_size = 10;
    p.validate();
    EXPECT_EQ(p.refine_enough_statistics, 145.0f);

    p.refine_enough_statistics = 0.5f;
    p.validate();
    EXPECT_EQ(p.refine_enough_statistics, 1.0f);
}

TEST(Param, ValidateBringsExtremeValuesIntoRange)
{
    trm::param p;
    p.reference_frame_pitch = INT_MIN;
    p.downsample = INT_MAX;
    p.mincut_max_link_distance = INT_MAX;
    p.mincut_link_count = INT_MAX;
    p.refine_window_half_size = INT_MAX;
    p.refine_enough_statistics = 1e30f;
    p.decrease_iterations = INT_MIN;
    p.smooth_passes_num = INT_MAX;
    p.validate();
    EXPECT_EQ(p.reference_frame_pitch, 1);
    EXPECT_EQ(p.downsample, 4);
    EXPECT_EQ(p.mincut_link_count, 121 * 121);
    EXPECT_EQ(p.refine_window_half_size, 60);
    EXPECT_EQ(p.refine_enough_statistics, static_cast<float>(121 * 121 / 3 - 2));
    EXPECT_EQ(p.decrease_iterations, 25);
    EXPECT_EQ(p.smooth_passes_num, 1000);
}

TEST(Param, FractionalEnoughStatisticsOfOlderFilesScalesByTheWindow)
{
    const trm::param p = loaded("refine_enough_statistics='0.25' refine_window_half_size='10'");
    EXPECT_FLOAT_EQ(p.refine_enough_statistics, 110.25f);

    // Without a positive window the value is only clamped.
    EXPECT_EQ(
        loaded("refine_enough_statistics='0.25' refine_window_half_size='0'").refine_enough_statistics, 1.0f);
    // Texts that do not parse keep the default and need no conversion.
    EXPECT_EQ(loaded("refine_enough_statistics='abc'").refine_enough_statistics, 3.5f);
}

// The stored window scales the fraction as it stands; only the result is
// clamped (by the clamped window's bound).
TEST(Param, FractionalEnoughStatisticsScalesByTheStoredWindowBeforeClamping)
{
    const trm::param p = loaded("refine_enough_statistics='0.25' refine_window_half_size='100'");
    EXPECT_EQ(p.refine_window_half_size, 60);
    // 201 x 201 x 0.25 = 10100.25, clamped to 121 x 121 / 3 - 2.
    EXPECT_EQ(p.refine_enough_statistics, 4878.0f);

    // 131 x 131 x 0.2 = 3432.2 lies within the bound.
    const trm::param q = loaded("refine_enough_statistics='0.2' refine_window_half_size='65'");
    EXPECT_FLOAT_EQ(q.refine_enough_statistics, 3432.2f);
    // A huge window times a huge negative fraction stays a number.
    const trm::param r = loaded("refine_enough_statistics='-3e38' refine_window_half_size='2147483647'");
    EXPECT_EQ(r.refine_enough_statistics, 1.0f);
}

TEST(Param, MalformedWindowInAnOlderFileDoesNotOverflowTheConversion)
{
    const trm::param p = loaded("refine_enough_statistics='0.5' refine_window_half_size='2147483647'");
    EXPECT_EQ(p.refine_window_half_size, 60);
    EXPECT_EQ(p.refine_enough_statistics, static_cast<float>(121 * 121 / 3 - 2));

    const trm::param q = loaded("refine_enough_statistics='-3' refine_window_half_size='40000'");
    EXPECT_EQ(q.refine_enough_statistics, 1.0f);
}

// Whether base still equals itself after the change.
template <class Change> bool equal_after(const trm::param& base, Change change)
{
    trm::param p = base;
    change(p);
    return p == base;
}

TEST(Param, EqualityIgnoresSettingsOfStagesThatAreOff)
{
    const trm::param d;
    EXPECT_TRUE(equal_after(d, [](trm::param& p) { p.mincut_aspect = 3.0f; }));
    EXPECT_TRUE(equal_after(d, [](trm::param& p) { p.max_motion = 3; }));
    EXPECT_TRUE(equal_after(d, [](trm::param& p) { p.refine2_max_level = 1; }));
    EXPECT_TRUE(equal_after(d, [](trm::param& p) { p.decrease_iterations = 99; }));
    EXPECT_TRUE(equal_after(d, [](trm::param& p) { p.smooth_passes_num = 99; }));
    EXPECT_FALSE(equal_after(d, [](trm::param& p) { p.refine_enough_statistics = 4.0f; }));
    EXPECT_FALSE(equal_after(d, [](trm::param& p) { p.dilation_erosion = 1; }));
    EXPECT_FALSE(equal_after(d, [](trm::param& p) { p.downsample = 2; }));
    EXPECT_FALSE(equal_after(d, [](trm::param& p) { p.smooth_mask = trm::smooth_mask_method::diffuse; }));

    trm::param a;
    a.mincut = true;
    a.refine_auto = true;
    a.smooth_mask = trm::smooth_mask_method::equal_spheres;
    EXPECT_FALSE(equal_after(a, [](trm::param& p) { p.mincut_aspect = 3.0f; }));
    EXPECT_TRUE(equal_after(a, [](trm::param& p) { p.mincut_antialiasing_levels_exp = 6; }));
    EXPECT_TRUE(equal_after(a, [](trm::param& p) { p.mincut_interframe_link_count = 9; }));
    EXPECT_TRUE(equal_after(a, [](trm::param& p) { p.refine_enough_statistics = 4.0f; }));
    EXPECT_FALSE(equal_after(a, [](trm::param& p) { p.smooth_decorative = false; }));

    a.mincut_information_source = trm::mincut::information_source::both;
    a.mincut_antialiasing = true;
    EXPECT_FALSE(equal_after(a, [](trm::param& p) { p.mincut_interframe_link_count = 9; }));
    EXPECT_FALSE(equal_after(a, [](trm::param& p) { p.mincut_antialiasing_levels_exp = 6; }));
}

TEST(Param, AntialiasingNeedsMincutAndNoSmoothing)
{
    trm::param p;
    p.mincut = true;
    p.mincut_antialiasing = true;
    EXPECT_TRUE(p.use_antialiasing());
    p.smooth_mask = trm::smooth_mask_method::diffuse;
    EXPECT_FALSE(p.use_antialiasing());
    p.smooth_mask = trm::smooth_mask_method::off;
    p.mincut = false;
    EXPECT_FALSE(p.use_antialiasing());
}

} // namespace

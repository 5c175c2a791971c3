#include "document/properties/ParamPage.h"

#include <cstdint>

namespace My {

namespace {

using trm::param;

// Label and help-text ids of the page.
enum : std::uint32_t {
    kReferencePitch = 51016,
    kReferencePitchHelp = 51000,
    kDownsample = 51017,
    kDownsampleHelp = 51125,
    kOpticFlow = 51018,
    kOpticFlowHelp = 51001,
    kMaxMotion = 51027,
    kMaxMotionHelp = 51002,
    kTrackerSize = 51028,
    kTrackerSizeHelp = 51003,
    kMinCut = 51019,
    kMinCutHelp = 51079,
    kPyramidLevels = 51066,
    kPyramidLevelsHelp = 51080,
    kMinCutMotion = 51067,
    kMinCutMotionHelp = 51073,
    kMinCutSource = 51068,
    kMinCutSourceHelp = 51074,
    kLinkDistance = 51069,
    kLinkDistanceHelp = 51070,
    kLinkCount = 51071,
    kLinkCountHelp = 51083,
    kInertia = 51072,
    kInertiaHelp = 51084,
    kInterDistance = 51075,
    kInterDistanceHelp = 51076,
    kInterCount = 51077,
    kInterCountHelp = 51078,
    kAntialiasing = 51085,
    kAntialiasingHelp = 51086,
    kGrayLevels = 51087,
    kGrayLevelsHelp = 51088,
    kRefine = 51021,
    kRefineHelp = 51009,
    kRefineSource = 51029,
    kRefineSourceHelp = 51004,
    kWindowHalfSize = 51030,
    kWindowHalfSizeHelp = 51005,
    kDecision = 51128,
    kValue = 51007,
    kValueHelp = 51130,
    kPrefer = 51062,
    kPreferHelp = 51063,
    kPyramidRefine = 51022,
    kRefine2Motion = 51132,
    kRefine2MotionHelp = 51133,
    kMaxLevel = 51134,
    kMaxLevelHelp = 51135,
    kDilateErode = 51024,
    kDilateErodeHelp = 51065,
    kWool = 51025,
    kWoolHelp = 51126,
    kDecrease = 51026,
    kDecreaseHelp = 51131,
    kSmoothContour = 51037,
    kSmoothContourHelp = 51040,
    kFreedomDegrees = 51038,
    kFreedomDegreesHelp = 51039,
    kIterations = 51041,
    kIterationsHelp = 51042,
    kNodesInertia = 51050,
    kNodesInertiaHelp = 51051,
    kTangentsInertia = 51052,
    kTangentsInertiaHelp = 51053,
    kSmoothMask = 51036,
    kSmoothMaskHelp = 51008,
    kFeatureSize = 51095,
    kFeatureSizeHelp = 51096,
    kBoldness = 51097,
    kBoldnessHelp = 51098,
    kMaxPasses = 51099,
    kMaxPassesHelp = 51100,
    kDecorative = 51107,
    kDecorativeHelp = 51108,
};

// Creates the page's properties, hands each to the page to own and adds it
// under its label id to its parent.
class PageBuilder {
public:
    using Own = std::function<void(PropertyBase*)>;

    PageBuilder(const BasicProperty<param>* page, Own own)
        : m_page(page)
        , m_own(std::move(own))
    {
    }

    // A switch field read as a condition.
    ConditionPtr Field(bool param::*member) const
    {
        return ConditionPtr(new PropertyValue<param, bool>(m_page, member));
    }
    ConditionPtr Predicate(bool (*function)(const param&)) const
    {
        return ConditionPtr(new GetPropertyValueFunction<param, bool>(m_page, function));
    }

    // A leaf on field member shown as U, with its label, help text (0: none)
    // and read-only condition (may be empty).
    template <class U, class T, class Parent>
    Property<U>& Leaf(Parent& parent, std::uint32_t label, std::uint32_t help, T param::*member,
        ConditionPtr read_only = {})
    {
        auto* property = new Property<U>;
        m_own(property);
        Bind(*property, help, member, std::move(read_only));
        parent.Add(ResourceString(label), property);
        return *property;
    }

    // A group, initially collapsed, whose own value is field member shown
    // as U.
    template <class U, class T, class Parent>
    GroupProperty<U>& Group(Parent& parent, std::uint32_t label, std::uint32_t help, T param::*member,
        ConditionPtr read_only = {})
    {
        auto* group = new GroupProperty<U>(false);
        m_own(group);
        Bind(*group, help, member, std::move(read_only));
        parent.Add(ResourceString(label), group);
        return *group;
    }

private:
    template <class U, class T>
    void Bind(PropertyImpl<U>& property, std::uint32_t help, T param::*member, ConditionPtr read_only)
    {
        property.SetAccess(
            boost::shared_ptr<ReadWriteAccess<U>>(new PropertyValueAs<param, T, U>(m_page, member)));
        if (help)
            property.SetDescription(ResourceString(help));
        if (read_only)
            property.SetReadOnlyCondition(std::move(read_only));
    }

    const BasicProperty<param>* m_page;
    Own m_own;
};

} // namespace

bool InterframeLinksInUse(const trm::param& params)
{
    return params.mincut && params.mincut_information_source == trm::mincut::information_source::both;
}

bool AntialiasingInUse(const trm::param& params)
{
    return params.use_antialiasing();
}

bool SmoothingOff(const trm::param& params)
{
    return params.smooth_mask == trm::smooth_mask_method::off;
}

Property<trm::param>::Property()
    : StructProperty<trm::param>(true)
{
}

Property<trm::param>::~Property() = default;

void Property<trm::param>::Build()
{
    PageBuilder b(this, [this](PropertyBase* property) { Own(property); });
    auto& page = *this;

    // 1.
    b.Leaf<int>(page, kReferencePitch, kReferencePitchHelp, &param::reference_frame_pitch);
    b.Leaf<Downsample>(page, kDownsample, kDownsampleHelp, &param::downsample);

    // 2. Optic flow.
    auto& opticFlow = b.Group<bool>(page, kOpticFlow, kOpticFlowHelp, &param::optic_flow);
    const ConditionPtr a = Not(b.Field(&param::optic_flow));
    b.Leaf<int>(opticFlow, kMaxMotion, kMaxMotionHelp, &param::max_motion, a);
    b.Leaf<int>(opticFlow, kTrackerSize, kTrackerSizeHelp, &param::tracker_size, a);

    // 3. Graph cut.
    auto& minCut = b.Group<bool>(page, kMinCut, kMinCutHelp, &param::mincut);
    const ConditionPtr off = Not(b.Field(&param::mincut));
    b.Leaf<int>(minCut, kPyramidLevels, kPyramidLevelsHelp, &param::mincut_pyramid_levels, off);
    b.Leaf<int>(minCut, kMinCutMotion, kMinCutMotionHelp, &param::mincut_max_motion, off);
    b.Leaf<trm::mincut::information_source>(
        minCut, kMinCutSource, kMinCutSourceHelp, &param::mincut_information_source, off);
    b.Leaf<int>(minCut, kLinkDistance, kLinkDistanceHelp, &param::mincut_max_link_distance, off);
    b.Leaf<int>(minCut, kLinkCount, kLinkCountHelp, &param::mincut_link_count, off);
    b.Leaf<float>(minCut, kInertia, kInertiaHelp, &param::mincut_aspect, off);
    const ConditionPtr noInterframe = Not(b.Predicate(&InterframeLinksInUse));
    b.Leaf<int>(minCut, kInterDistance, kInterDistanceHelp, &param::mincut_interframe_max_link_distance,
        noInterframe);
    b.Leaf<int>(minCut, kInterCount, kInterCountHelp, &param::mincut_interframe_link_count, noInterframe);

    // 4. Antialiasing.
    auto& antialiasing = b.Group<bool>(minCut, kAntialiasing, kAntialiasingHelp, &param::mincut_antialiasing,
        Or(off, Not(b.Predicate(&SmoothingOff))));
    b.Leaf<int>(antialiasing, kGrayLevels, kGrayLevelsHelp, &param::mincut_antialiasing_levels_exp,
        Not(b.Predicate(&AntialiasingInUse)));

    // 5. Refinement.
    auto& refineGroup = b.Group<bool>(page, kRefine, kRefineHelp, &param::refine_mask);
    const ConditionPtr d = Not(b.Field(&param::refine_mask));
    b.Leaf<refine::information_source>(
        refineGroup, kRefineSource, kRefineSourceHelp, &param::refine_information_source, d);
    b.Leaf<int>(refineGroup, kWindowHalfSize, kWindowHalfSizeHelp, &param::refine_window_half_size, d);
    auto& decision = b.Group<DecisionThreshold>(refineGroup, kDecision, 0, &param::refine_auto);
    const ConditionPtr manualOnly = Or(d, b.Field(&param::refine_auto));
    b.Leaf<float>(decision, kValue, kValueHelp, &param::refine_enough_statistics, manualOnly);
    b.Leaf<refine::preference>(decision, kPrefer, kPreferHelp, &param::refine_preference, manualOnly);

    // 6. Pyramid refinement.
    auto& refine2 = b.Group<bool>(page, kPyramidRefine, 0, &param::refine2_mask);
    const ConditionPtr refine2Off = Not(b.Field(&param::refine2_mask));
    b.Leaf<int>(refine2, kRefine2Motion, kRefine2MotionHelp, &param::refine2_max_motion, refine2Off);
    b.Leaf<int>(refine2, kMaxLevel, kMaxLevelHelp, &param::refine2_max_level, refine2Off);

    // 7.
    b.Leaf<int>(page, kDilateErode, kDilateErodeHelp, &param::dilation_erosion);
    b.Leaf<int>(page, kWool, kWoolHelp, &param::wool_removal);

    // 8. Contour fitting.
    auto& decrease = b.Group<bool>(page, kDecrease, kDecreaseHelp, &param::decrease_mask_freedom);
    const ConditionPtr decreaseOff = Not(b.Field(&param::decrease_mask_freedom));
    b.Leaf<int>(
        decrease, kFreedomDegrees, kFreedomDegreesHelp, &param::decrease_freedom_degrees, decreaseOff);
    b.Leaf<bool>(decrease, kSmoothContour, kSmoothContourHelp, &param::decrease_smooth_contour, decreaseOff);
    b.Leaf<int>(decrease, kIterations, kIterationsHelp, &param::decrease_iterations, decreaseOff);
    b.Leaf<Percent<2>>(
        decrease, kNodesInertia, kNodesInertiaHelp, &param::decrease_nodes_traction, decreaseOff);
    b.Leaf<Percent<2>>(
        decrease, kTangentsInertia, kTangentsInertiaHelp, &param::decrease_tangents_traction, decreaseOff);

    // 9. Smoothing.
    auto& smooth = b.Group<trm::smooth_mask_method>(page, kSmoothMask, kSmoothMaskHelp, &param::smooth_mask);
    const ConditionPtr smoothOff = b.Predicate(&SmoothingOff);
    b.Leaf<int>(smooth, kFeatureSize, kFeatureSizeHelp, &param::smooth_window_half_size, smoothOff);
    b.Leaf<int>(smooth, kBoldness, kBoldnessHelp, &param::smooth_max_condition_number, smoothOff);
    b.Leaf<int>(smooth, kMaxPasses, kMaxPassesHelp, &param::smooth_passes_num, smoothOff);
    b.Leaf<bool>(smooth, kDecorative, kDecorativeHelp, &param::smooth_decorative, smoothOff);
}

} // namespace My

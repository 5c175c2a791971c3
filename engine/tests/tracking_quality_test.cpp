// End to end: a textured object turning, growing and moving over a textured
// background is tracked from one key mask over 30 frames, with default
// parameters, forwards from the first frame and both ways from a middle
// frame. Each frame's mask is compared with the exact object mask by region
// similarity J (intersection over union).

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <numeric>
#include <vector>

#include "engine/segment.h"
#include "engine/tests/mask_test_support.h"
#include "engine/tests/memory_footage.h"
#include "engine/tests/synthetic_scene.h"

namespace {

constexpr unsigned width = 320;
constexpr unsigned height = 240;
constexpr int frame_count = 30;

struct footage_with_truth {
    boost::shared_ptr<trm::testing::memory_footage> footage;
    std::vector<img::image<img::bit>> truth;
};

const footage_with_truth& scenes()
{
    static const footage_with_truth scenes = [] {
        footage_with_truth s;
        std::vector<img::image<img::BGRA<unsigned char>>> frames;
        for (int k = 0; k < frame_count; ++k) {
            trm::testing::synthetic_scene scene = trm::testing::make_scene(
                width, height, trm::testing::turn_grow_and_shift(width, height, k));
            frames.push_back(std::move(scene.frame));
            s.truth.push_back(std::move(scene.object));
        }
        s.footage = boost::make_shared<trm::testing::memory_footage>(std::move(frames));
        return s;
    }();
    return scenes;
}

// Tracks all frames from the key mask on `origin`; the J of every frame.
std::vector<double> track_from(int origin, const trm::param& p = {})
{
    const footage_with_truth& s = scenes();
    trm::segment segment(origin, s.footage);
    segment.set_range({ 0, frame_count });
    segment.set_keymask(s.truth[static_cast<std::size_t>(origin)]);
    segment.set_param(p);
    segment.calculate(false, { 0, frame_count });
    EXPECT_EQ(segment.segmented(), (My::Span { 0, frame_count }));
    std::vector<double> j;
    for (int k = 0; k < frame_count; ++k) {
        const auto record = segment.frame_data(k);
        // With a motion estimate each frame is tracked from its neighbour
        // towards the key frame.
        if (p.optic_flow && record && k != origin) {
            EXPECT_EQ(record->ref_frame, k < origin ? k + 1 : k - 1) << k;
        }
        j.push_back(record
                ? trm::testing::region_similarity(record->bit_mask, s.truth[static_cast<std::size_t>(k)])
                : 0.0);
    }
    return j;
}

void expect_good_tracking(const std::vector<double>& j, int origin)
{
    const double mean = std::accumulate(j.begin(), j.end(), 0.0) / double(j.size());
    const double worst = *std::min_element(j.begin(), j.end());
    std::cout << "key frame " << origin << ": mean J " << std::fixed << std::setprecision(4) << mean
              << ", lowest J " << worst << "\nJ per frame:";
    for (double v : j)
        std::cout << ' ' << std::setprecision(3) << v;
    std::cout << std::endl;
    EXPECT_GE(mean, 0.95);
    EXPECT_GE(worst, 0.9);
}

TEST(TrackingQuality, ForwardsFromTheFirstFrame)
{
    expect_good_tracking(track_from(0), 0);
}

TEST(TrackingQuality, BothWaysFromAMiddleFrame)
{
    expect_good_tracking(track_from(frame_count / 2), frame_count / 2);
}

TEST(TrackingQuality, WithMotionEstimateOnHalvedImages)
{
    trm::param p;
    p.optic_flow = true;
    p.downsample = 2;
    expect_good_tracking(track_from(frame_count / 2, p), frame_count / 2);
}

// With downsampling, the reference-only refinement runs on the halved
// reference and again on the full-resolution one; both must place the
// reference where the target is.
TEST(TrackingQuality, ReferenceStatisticsAtBothResolutions)
{
    trm::param p;
    p.downsample = 2;
    p.refine_information_source = refine::information_source::reference;
    expect_good_tracking(track_from(frame_count / 2, p), frame_count / 2);
}

} // namespace

#include "contours/key_frames.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

using namespace contours;

namespace {

std::vector<outline> frames_from(const std::vector<std::vector<pointf>>& contours)
{
    std::vector<outline> frames;
    for (std::size_t i = 0; i < contours.size(); ++i)
        frames.push_back({ contours[i], float(i) });
    return frames;
}

// The squared error of interpolating linearly between the keys (plus the last
// frame), computed directly.
double interpolation_error(const std::vector<outline>& frames, std::vector<int> keys)
{
    keys.push_back(int(frames.size()) - 1);
    double total = 0.0;
    for (std::size_t k = 0; k + 1 < keys.size(); ++k) {
        const outline& a = frames[std::size_t(keys[k])];
        const outline& b = frames[std::size_t(keys[k + 1])];
        for (int f = keys[k] + 1; f < keys[k + 1]; ++f) {
            const double s = double(f - keys[k]) / (keys[k + 1] - keys[k]);
            for (std::size_t p = 0; p < a.points.size(); ++p) {
                const double x = a.points[p].x + s * (b.points[p].x - a.points[p].x);
                const double y = a.points[p].y + s * (b.points[p].y - a.points[p].y);
                const pointf q = frames[std::size_t(f)].points[p];
                total += (x - q.x) * (x - q.x) + (y - q.y) * (y - q.y);
            }
        }
    }
    return total;
}

// A contour of three points wandering smoothly with some noise.
std::vector<outline> wandering(std::size_t count, unsigned seed, double noise)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> jitter(0.0, noise);
    std::vector<std::vector<pointf>> contours;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i);
        contours.push_back({ pointf(float(10 * std::sin(t / 3) + jitter(random)), float(t + jitter(random))),
            pointf(float(5 * std::cos(t / 4)), float(2 * t)), pointf(float(t * t / 10), 1.0f) });
    }
    return frames_from(contours);
}

} // namespace

TEST(KeyFrames, OneAndTwoFrames)
{
    std::vector<int> keys { 9 };
    EXPECT_EQ(select_key_frames(frames_from({ { { 1, 1 } } }), 0.0, keys), 0.0);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(select_key_frames(frames_from({ { { 1, 1 } }, { { 5, 2 } } }), 0.0, keys), 0.0);
    EXPECT_EQ(keys, std::vector<int> { 0 });
}

TEST(KeyFrames, StillAndSteadilyMovingContoursNeedOnlyTheEnds)
{
    std::vector<std::vector<pointf>> still(10, { { 3, 4 }, { 5, 6 } });
    std::vector<int> keys;
    EXPECT_EQ(select_key_frames(frames_from(still), 0.0, keys), 0.0);
    EXPECT_EQ(keys, std::vector<int> { 0 });

    std::vector<std::vector<pointf>> steady;
    for (int i = 0; i < 12; ++i)
        steady.push_back({ pointf(1.5f * i, 2.0f - i), pointf(4.0f, 0.25f * i) });
    EXPECT_LT(select_key_frames(frames_from(steady), 1e-6, keys), 1e-6);
    EXPECT_EQ(keys, std::vector<int> { 0 });
}

TEST(KeyFrames, BoundZeroWithNoiseMakesEveryFrameAKey)
{
    const auto frames = wandering(9, 1, 0.5);
    std::vector<int> keys;
    EXPECT_EQ(select_key_frames(frames, 0.0, keys), 0.0);
    EXPECT_EQ(keys, (std::vector<int> { 0, 1, 2, 3, 4, 5, 6, 7 }));
}

TEST(KeyFrames, ChoiceStaysWithinTheBoundWithTheFewestKeys)
{
    const auto frames = wandering(12, 5, 0.3);
    for (double bound : { 0.5, 5.0, 50.0, 500.0 }) {
        std::vector<int> keys;
        const double error = select_key_frames(frames, bound, keys);
        EXPECT_LE(error, bound);
        EXPECT_NEAR(error, interpolation_error(frames, keys), 1e-6 * (1.0 + error));
        ASSERT_FALSE(keys.empty());
        EXPECT_EQ(keys.front(), 0);
        EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
        // No choice with fewer keys meets the bound: try every subset of the
        // inner frames.
        const unsigned inner = unsigned(frames.size()) - 2;
        for (unsigned subset = 0; subset < (1u << inner); ++subset) {
            if (unsigned(std::popcount(subset)) + 1 >= keys.size())
                continue;
            std::vector<int> fewer { 0 };
            for (unsigned f = 0; f < inner; ++f)
                if (subset & (1u << f))
                    fewer.push_back(int(f) + 1);
            ASSERT_GT(interpolation_error(frames, fewer), bound) << "bound " << bound;
        }
    }
}

TEST(KeyFrames, CyclicRunIsMappedBackAndKeepsFrameZero)
{
    // A point going round a circle and back to its start.
    std::vector<std::vector<pointf>> contours;
    for (int i = 0; i <= 16; ++i) {
        const double a = 2.0 * std::numbers::pi * i / 16.0;
        contours.push_back({ pointf(float(20 * std::cos(a)), float(20 * std::sin(a))), pointf(1.0f, 1.0f) });
    }
    contours.back() = contours.front();
    const auto frames = frames_from(contours);
    std::vector<int> keys;
    const double error = select_key_frames(frames, 30.0, keys);
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(keys.front(), 0);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_LT(keys.back(), 16);
    EXPECT_TRUE(std::isfinite(error));
    EXPECT_NEAR(error, interpolation_error(frames, keys), 1e-6 * (1.0 + error));
}

TEST(KeyFrames, CyclicRunKeepsTheBoundWhereFrameZeroSplitsTheWrappingSegment)
{
    // One point in seven frames, back at its start in the last. Choosing on
    // the cycle started elsewhere and then making frame 0 a key can miss
    // the bound.
    const auto frames = frames_from({ { { 4, -4 } }, { { 9, 5 } }, { { 7, 0 } }, { { 0, -8 } }, { { -9, 3 } },
        { { 8, 8 } }, { { 4, -4 } } });
    std::vector<int> keys;
    const double error = select_key_frames(frames, 188.14, keys);
    EXPECT_LE(interpolation_error(frames, keys), 188.14);
    EXPECT_NEAR(error, interpolation_error(frames, keys), 1e-6 * (1.0 + error));

    // And over many such runs: the bound is met with the fewest keys.
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::vector<pointf>> points;
        for (int i = 0; i < 6; ++i)
            points.push_back({ pointf(float(int(random() % 21) - 10), float(int(random() % 21) - 10)) });
        points.push_back(points.front());
        const auto run = frames_from(points);
        const double bound = double(random() % 30000) / 100.0;
        const double chosen = select_key_frames(run, bound, keys);
        ASSERT_LE(interpolation_error(run, keys), bound) << "round " << round;
        ASSERT_NEAR(chosen, interpolation_error(run, keys), 1e-6 * (1.0 + chosen));
        for (unsigned subset = 0; subset < (1u << 5); ++subset) {
            if (unsigned(std::popcount(subset)) + 1 >= keys.size())
                continue;
            std::vector<int> fewer { 0 };
            for (unsigned f = 0; f < 5; ++f)
                if (subset & (1u << f))
                    fewer.push_back(int(f) + 1);
            ASSERT_GT(interpolation_error(run, fewer), bound) << "round " << round;
        }
    }
}

TEST(KeyFrames, OutlinesOfDifferentSizesAreRefused)
{
    std::vector<int> keys;
    EXPECT_THROW(select_key_frames(frames_from({ { { 1, 1 } }, { { 1, 1 }, { 2, 2 } } }), 1.0, keys),
        std::runtime_error);
    EXPECT_TRUE(outlines_equal({ { { 1, 2 } }, 0.0f }, { { { 1, 2 } }, 5.0f }));
    EXPECT_FALSE(outlines_equal({ { { 1, 2 } }, 0.0f }, { { { 1, 2 }, { 1, 2 } }, 0.0f }));
}

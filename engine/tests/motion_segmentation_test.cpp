#include "engine/motion_segmentation.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/tests/mask_test_support.h"

namespace {

using trm::motion_segmentation;
using trm::testing::filled_mask;
using trm::testing::mask_from_rows;

// Every pixel's index agrees with the counts, every key is distinct and not
// 0, and every neighbour entry names the segment of its key.
void expect_consistent(const motion_segmentation& s, const img::image<img::bit>& mask)
{
    std::vector<int> counted(s.segments.size(), 0);
    for (unsigned y = 0; y < s.height; ++y)
        for (unsigned x = 0; x < s.width; ++x) {
            const int i = s.segment_index[y][x];
            ASSERT_EQ(i >= 0, static_cast<bool>(mask.at(x, y))) << x << ", " << y;
            if (i >= 0)
                ++counted[i];
        }
    std::set<std::uint32_t> keys;
    for (std::size_t i = 0; i < s.segments.size(); ++i) {
        EXPECT_EQ(counted[i], s.segments[i].count);
        EXPECT_NE(s.segments[i].key, 0u);
        EXPECT_TRUE(keys.insert(s.segments[i].key).second);
        EXPECT_EQ(s.keys.at(s.segments[i].key), i);
        for (const auto& [key, j] : s.segments[i].neighbours)
            EXPECT_EQ(s.segments[j].key, key);
    }
}

TEST(MotionSegmentation, EmptyMaskGivesNoSegments)
{
    motion_segmentation s;
    s.build(filled_mask(40, 30, false), 8, 0);
    EXPECT_EQ(s.segment_count(), 0u);
    EXPECT_EQ(s.width, 40u);
    for (unsigned y = 0; y < 30; ++y)
        for (unsigned x = 0; x < 40; ++x)
            EXPECT_EQ(s.segment_index[y][x], -1);
}

// The first block in raster order is a segment like every other: a full
// 64 x 64 mask in blocks of 8 gives all 64 blocks, not 63.
TEST(MotionSegmentation, FullMaskGivesOneSegmentPerBlockTheFirstIncluded)
{
    const img::image<img::bit> mask = filled_mask(64, 64, true);
    motion_segmentation s;
    s.build(mask, 8, 0);
    ASSERT_EQ(s.segment_count(), 64u);
    expect_consistent(s, mask);
    for (const trm::motion_segment& seg : s.segments)
        EXPECT_EQ(seg.count, 64);
    s.update_centroids();
    const trm::motion_segment& first = s.segments[s.segment_index[0][0]];
    EXPECT_DOUBLE_EQ(first.centroid.x, 3.5);
    EXPECT_DOUBLE_EQ(first.centroid.y, 3.5);
    EXPECT_EQ(first.bounds.x1, 8);
    EXPECT_EQ(first.bounds.y1, 8);
    // A corner block touches two blocks, an inner one four; maps are symmetric.
    EXPECT_EQ(first.neighbours.size(), 2u);
    EXPECT_EQ(s.segments[s.segment_index[20][20]].neighbours.size(), 4u);
    for (std::size_t i = 0; i < s.segments.size(); ++i)
        for (const auto& [key, j] : s.segments[i].neighbours)
            EXPECT_EQ(s.segments[j].neighbours.count(s.segments[i].key), 1u);
}

// Indices follow the columns: the block below the first is met before the
// block to its right.
TEST(MotionSegmentation, SegmentsAreNumberedColumnByColumn)
{
    motion_segmentation s;
    s.build(filled_mask(16, 16, true), 8, 0);
    ASSERT_EQ(s.segment_count(), 4u);
    EXPECT_EQ(s.segment_index[0][0], 0);
    EXPECT_EQ(s.segment_index[8][0], 1);
    EXPECT_EQ(s.segment_index[0][8], 2);
    EXPECT_EQ(s.segment_index[8][8], 3);
}

TEST(MotionSegmentation, ShiftMovesTheBlockGrid)
{
    motion_segmentation s;
    s.build(filled_mask(16, 16, true), 8, 4);
    // Blocks cover columns and rows [0, 4), [4, 12), [12, 16).
    ASSERT_EQ(s.segment_count(), 9u);
    std::multiset<int> counts;
    for (const trm::motion_segment& seg : s.segments)
        counts.insert(seg.count);
    EXPECT_EQ(counts, (std::multiset<int> { 16, 16, 16, 16, 32, 32, 32, 32, 64 }));
}

TEST(MotionSegmentation, PiecesOfOneBlockThatDoNotTouchAreTwoSegments)
{
    const img::image<img::bit> mask = mask_from_rows({
        "########",
        "########",
        "........",
        "........",
        "........",
        "........",
        "########",
        "########",
    });
    motion_segmentation s;
    s.build(mask, 8, 0);
    ASSERT_EQ(s.segment_count(), 2u);
    expect_consistent(s, mask);
    EXPECT_TRUE(s.segments[0].neighbours.empty());
}

// A 2-pixel piece in the next block is below the threshold 8 * 8 / 5 = 12 and
// joins the big piece; the merged segment lists itself as its neighbour.
TEST(MotionSegmentation, SmallPieceMergesIntoItsNeighbourWhichThenNeighboursItself)
{
    std::vector<std::string> rows(8, std::string(16, '.'));
    for (int y = 0; y < 8; ++y)
        rows[y].replace(0, 8, 8, '#');
    rows[3][8] = '#';
    rows[3][9] = '#';
    const img::image<img::bit> mask = mask_from_rows(rows);
    motion_segmentation s;
    s.build(mask, 8, 0);
    ASSERT_EQ(s.segment_count(), 1u);
    expect_consistent(s, mask);
    EXPECT_EQ(s.segments[0].count, 66);
    EXPECT_EQ(s.segments[0].neighbours.count(s.segments[0].key), 1u);
    EXPECT_FALSE(s.centroids_current);
    EXPECT_FALSE(s.statistics_current);
}

TEST(MotionSegmentation, ThinDiagonalPiecesMergeUntilEveryGroupReachesTheThreshold)
{
    img::image<img::bit> mask = filled_mask(120, 120, false);
    for (unsigned i = 0; i < 118; ++i) {
        mask.at(i, i) = true;
        mask.at(i + 1, i) = true;
        mask.at(i + 2, i) = true;
    }
    motion_segmentation s;
    s.build(mask, 8, 0);
    ASSERT_GT(s.segment_count(), 1u);
    expect_consistent(s, mask);
    int total = 0;
    for (const trm::motion_segment& seg : s.segments) {
        EXPECT_GE(seg.count, 8 * 8 / 5);
        total += seg.count;
    }
    EXPECT_EQ(total, static_cast<int>(mask.count()));
}

TEST(MotionSegmentation, ZeroBlockSizeIsRefused)
{
    motion_segmentation s;
    EXPECT_THROW(s.build(filled_mask(8, 8, true), 0, 0), std::invalid_argument);
}

TEST(MotionSegmentation, RebuildAndClearReplaceEverything)
{
    motion_segmentation s;
    s.build(filled_mask(64, 64, true), 8, 0);
    s.update_centroids();
    s.build(filled_mask(16, 8, true), 8, 0);
    EXPECT_EQ(s.segment_count(), 2u);
    EXPECT_EQ(s.segment_index.count(), 16u * 8u);
    EXPECT_EQ(s.keys.size(), 2u);
    s.clear();
    EXPECT_EQ(s.segment_count(), 0u);
    EXPECT_TRUE(s.keys.empty());
    EXPECT_TRUE(s.segment_index.empty());
}

} // namespace

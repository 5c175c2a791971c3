#include "engine/motion/motion_segmentation.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/common/thread_pool.h"
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
    // The merged centroid and bounds are those of its pixels.
    ASSERT_TRUE(s.centroids_current);
    motion_segmentation recounted = s;
    recounted.centroids_current = false;
    recounted.update_centroids();
    EXPECT_EQ(s.segments[0].centroid.x, recounted.segments[0].centroid.x);
    EXPECT_EQ(s.segments[0].centroid.y, recounted.segments[0].centroid.y);
    EXPECT_EQ(s.segments[0].bounds.x1, 10);
    EXPECT_EQ(s.segments[0].bounds.y1, 8);
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

namespace {

// The segmentation by definition, before small pieces merge: pixels connect
// to their left and upper neighbours when both are set and in one block;
// regions are keyed 1, 2, ... in raster order of their first pixel, and
// numbered as a scan down each column, column after column, meets them, where
// the scan at a pixel meets its own region, then the one right of it, then the
// one below.
struct plain_segmentation {
    std::vector<std::uint32_t> keys;
    std::vector<int> counts;
    std::vector<std::map<std::uint32_t, std::uint32_t>> neighbours;
    std::vector<int> index;
};

plain_segmentation plain_segments(const img::image<img::bit>& mask, unsigned bs, unsigned shift)
{
    const unsigned w = mask.width;
    const unsigned h = mask.height;
    const auto block = [&](unsigned v) { return (v + bs - shift) / bs; };
    std::vector<std::uint32_t> label(std::size_t(w) * h, 0);
    std::uint32_t next = 0;
    // Flood fill from each unlabelled set pixel, in raster order.
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            if (!mask.at(x, y) || label[std::size_t(y) * w + x] != 0)
                continue;
            ++next;
            std::vector<std::pair<unsigned, unsigned>> stack { { x, y } };
            label[std::size_t(y) * w + x] = next;
            while (!stack.empty()) {
                const auto [px, py] = stack.back();
                stack.pop_back();
                const std::pair<int, int> steps[] = { { -1, 0 }, { 1, 0 }, { 0, -1 }, { 0, 1 } };
                for (const auto& [dx, dy] : steps) {
                    const unsigned qx = px + dx;
                    const unsigned qy = py + dy;
                    if (qx >= w || qy >= h || !mask.at(qx, qy) || label[std::size_t(qy) * w + qx] != 0)
                        continue;
                    if (block(qx) != block(px) || block(qy) != block(py))
                        continue;
                    label[std::size_t(qy) * w + qx] = next;
                    stack.emplace_back(qx, qy);
                }
            }
        }
    plain_segmentation p;
    p.index.assign(std::size_t(w) * h, -1);
    std::vector<int> index_of(next + 1, -1);
    const auto meet = [&](std::uint32_t key) {
        if (index_of[key] < 0) {
            index_of[key] = static_cast<int>(p.keys.size());
            p.keys.push_back(key);
            p.counts.push_back(0);
            p.neighbours.emplace_back();
        }
        return index_of[key];
    };
    const auto at = [&](unsigned x, unsigned y) { return label[std::size_t(y) * w + x]; };
    for (unsigned x = 0; x < w; ++x)
        for (unsigned y = 0; y < h; ++y) {
            const std::uint32_t key = at(x, y);
            if (key == 0)
                continue;
            const int i = meet(key);
            p.index[std::size_t(y) * w + x] = i;
            ++p.counts[i];
            for (const std::uint32_t other :
                { x + 1 < w ? at(x + 1, y) : 0u, y + 1 < h ? at(x, y + 1) : 0u }) {
                if (other == 0 || other == key)
                    continue;
                const int j = meet(other);
                p.neighbours[i].emplace(other, j);
                p.neighbours[j].emplace(key, i);
            }
        }
    return p;
}

} // namespace

// Masks of every kind of piece (single pixels, ragged runs across block
// borders in both directions, shifted grids) whose pieces are all too big to
// merge: the segmentation equals the one by definition on one thread and on
// eight, and its centroids and bounds equal those counted pixel by pixel.
TEST(MotionSegmentation, EqualsTheSegmentationByDefinitionOnAnyThreadCount)
{
    struct restored {
        ~restored() { trm::thread_pool::set_threads(0); }
    } restore;
    std::mt19937 random(7);
    struct shape {
        unsigned width, height, bs, shift;
        double density;
    };
    const shape shapes[] = { { 61, 47, 1, 0, 0.5 }, { 64, 33, 2, 1, 0.6 }, { 77, 53, 3, 0, 0.7 },
        { 80, 41, 3, 2, 0.4 }, { 203, 117, 3, 1, 0.9 }, { 96, 64, 16, 0, 1.0 }, { 131, 72, 8, 4, 1.0 } };
    for (const shape& c : shapes) {
        const img::image<img::bit> mask = trm::testing::random_mask(c.width, c.height, c.density, random);
        const plain_segmentation expected = plain_segments(mask, c.bs, c.shift);
        for (const unsigned threads : { 1u, 8u }) {
            SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " in blocks of " << c.bs
                                            << " shifted " << c.shift << " on " << threads << " threads");
            trm::thread_pool::set_threads(threads);
            motion_segmentation s;
            s.build(mask, c.bs, c.shift);
            ASSERT_EQ(s.segment_count(), expected.keys.size());
            for (std::size_t i = 0; i < expected.keys.size(); ++i) {
                EXPECT_EQ(s.segments[i].key, expected.keys[i]);
                EXPECT_EQ(s.segments[i].count, expected.counts[i]);
                EXPECT_EQ(s.segments[i].neighbours, expected.neighbours[i]);
            }
            EXPECT_TRUE(std::equal(expected.index.begin(), expected.index.end(), s.segment_index.data()));
            ASSERT_TRUE(s.centroids_current);
            motion_segmentation recounted = s;
            recounted.centroids_current = false;
            recounted.update_centroids();
            for (std::size_t i = 0; i < s.segments.size(); ++i) {
                const auto& a = s.segments[i];
                const auto& b = recounted.segments[i];
                EXPECT_EQ(a.centroid.x, b.centroid.x);
                EXPECT_EQ(a.centroid.y, b.centroid.y);
                EXPECT_EQ(std::tie(a.bounds.x0, a.bounds.y0, a.bounds.x1, a.bounds.y1),
                    std::tie(b.bounds.x0, b.bounds.y0, b.bounds.x1, b.bounds.y1));
            }
        }
    }
}

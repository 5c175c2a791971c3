#include "engine/refine/window_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/tests/mask_test_support.h"

namespace {

using refine::window_statistics;
using colour = img::BGRA<unsigned char>;
using trm::testing::filled_mask;

constexpr colour grey { 100, 100, 100, 255 };
// Farther than every listed distance from grey: never in a list.
constexpr colour far { 255, 255, 255, 255 };

img::image<colour> uniform(unsigned width, unsigned height, colour c)
{
    img::image<colour> im(width, height, 4);
    im.fill(c);
    return im;
}

void put(img::image<colour>& im, unsigned x, unsigned y, colour c)
{
    im.row(y)[x] = c;
}

TEST(WindowStatistics, WindowReachesHalfSizeLeftAndAboveButOneLessRightAndBelow)
{
    // w = 1: the window of (5, 5) is (4..5) x (4..5); its centre has the
    // colour asked for and is left out. A symmetric 3 x 3 window would let
    // the five pixels right and below outvote the three above and left.
    const img::image<colour> im = uniform(11, 11, grey);
    img::image<img::bit> m = filled_mask(11, 11, false);
    m.at(4, 4) = true;
    m.at(5, 4) = true;
    m.at(4, 5) = true;
    window_statistics above_left_set(im, 1);
    EXPECT_EQ(above_left_set.decide(m, 5, 5, grey, true, 3.5f), refine::object);

    m.invert();
    window_statistics above_left_clear(im, 1);
    EXPECT_EQ(above_left_clear.decide(m, 5, 5, grey, true, 3.5f), refine::background);
}

TEST(WindowStatistics, WindowIsClippedAtTheImageBorders)
{
    const img::image<colour> im = uniform(6, 6, grey);
    // At the top-left corner the w = 1 window holds only the centre, which
    // is left out: nothing to vote.
    window_statistics corner(im, 1);
    EXPECT_EQ(corner.decide(filled_mask(6, 6, true), 0, 0, grey, true, 3.5f), refine::undecided);
    // At the bottom-right corner with w = 3 the window reaches 3 left and
    // above but nothing right or below: its pixels are all inside.
    img::image<img::bit> m = filled_mask(6, 6, false);
    for (unsigned y = 2; y < 6; ++y)
        for (unsigned x = 2; x < 6; ++x)
            m.at(x, y) = true;
    window_statistics far_corner(im, 3);
    EXPECT_EQ(far_corner.decide(m, 5, 5, grey, true, 3.5f), refine::object);
}

TEST(WindowStatistics, LargeWindowsAreDiscs)
{
    // w = 3: the offsets of [-3, 2]² outside the disc dx² + dy² <= 9 do not
    // vote. Inside the disc 14 set against 12 clear; the 9 corners clear.
    const img::image<colour> im = uniform(20, 20, grey);
    img::image<img::bit> m = filled_mask(20, 20, false);
    int set_in_disc = 0;
    for (int dy = -3; dy < 3; ++dy)
        for (int dx = -3; dx < 3; ++dx)
            if ((dx != 0 || dy != 0) && dx * dx + dy * dy <= 9 && set_in_disc < 14) {
                m.at(10 + dx, 10 + dy) = true;
                ++set_in_disc;
            }
    window_statistics statistics(im, 3);
    EXPECT_EQ(statistics.decide(m, 10, 10, grey, true, 3.5f), refine::object);
}

TEST(WindowStatistics, CentreVotesOnlyWhenItsColourDiffersFromTheColourAsked)
{
    // w = 1 at (1, 1): (0, 0) set, (1, 0) and (0, 1) clear, centre set.
    const img::image<colour> im = uniform(4, 4, grey);
    img::image<img::bit> m = filled_mask(4, 4, false);
    m.at(0, 0) = true;
    m.at(1, 1) = true;
    window_statistics same(im, 1);
    EXPECT_EQ(same.decide(m, 1, 1, grey, true, 3.5f), refine::background);
    window_statistics other(im, 1);
    EXPECT_EQ(other.decide(m, 1, 1, colour { 90, 100, 100, 255 }, true, 3.5f), refine::undecided);
}

// The source of the group tests: around (5, 5), w = 2, three pixels at
// distance 1 (set, set, clear in (dx, dy) order) and three at distance 4
// (all clear); the rest too far to be listed.
std::pair<img::image<colour>, img::image<img::bit>> grouped_source()
{
    img::image<colour> im = uniform(10, 10, far);
    put(im, 5, 5, grey);
    img::image<img::bit> m = filled_mask(10, 10, false);
    const colour near { 100, 100, 101, 255 };
    const colour less_near { 100, 100, 102, 255 };
    put(im, 3, 5, near);
    m.at(3, 5) = true;
    put(im, 4, 5, near);
    m.at(4, 5) = true;
    put(im, 6, 5, near);
    put(im, 3, 6, less_near);
    put(im, 4, 6, less_near);
    put(im, 5, 6, less_near);
    return { std::move(im), std::move(m) };
}

TEST(WindowStatistics, ManualVoteIsTestedOnlyAtTheEndOfEachGroupOfEqualDistances)
{
    const auto [im, m] = grouped_source();
    window_statistics statistics(im, 2);
    // Entry by entry, 1² > 1 x 0.5 would decide "object" at once; after the
    // first group 1 > 3 x 0.5 fails, after the second (−2)² > 6 x 0.5 holds.
    EXPECT_EQ(statistics.decide(m, 5, 5, grey, false, 0.5f), refine::background);
}

TEST(WindowStatistics, AutoVoteTakesTheMostSignificantPrefix)
{
    const auto [im, m] = grouped_source();
    window_statistics statistics(im, 2);
    // First group: balance 1 over 3 (1/3); both groups: balance −2 over 6
    // (4/6): the whole list is the more significant.
    EXPECT_EQ(statistics.decide(m, 5, 5, grey, true, 3.5f), refine::background);

    img::image<img::bit> first_group_set = m;
    first_group_set.at(6, 5) = true;
    window_statistics again(im, 2);
    // First group 3 of 3 set (9/3 = 3) beats the whole (0).
    EXPECT_EQ(again.decide(first_group_set, 5, 5, grey, true, 3.5f), refine::object);
}

TEST(WindowStatistics, ManualVoteWithoutSignificanceIsUndecided)
{
    img::image<colour> im = uniform(5, 5, far);
    put(im, 2, 2, grey);
    put(im, 1, 2, colour { 100, 100, 101, 255 });
    img::image<img::bit> m = filled_mask(5, 5, false);
    m.at(1, 2) = true;
    window_statistics manual(im, 1);
    EXPECT_EQ(manual.decide(m, 2, 2, grey, false, 3.5f), refine::undecided);
    window_statistics automatic(im, 1);
    EXPECT_EQ(automatic.decide(m, 2, 2, grey, true, 3.5f), refine::object);
}

TEST(WindowStatistics, EntriesBeyondTheCapNeverVote)
{
    // w = 3: cap 12. Every listed pixel has its own distance; the 12 nearest
    // alternate set and clear, the 14 farther ones are all set.
    img::image<colour> im = uniform(20, 20, grey);
    img::image<img::bit> m = filled_mask(20, 20, false);
    int k = 0;
    for (int dy = -3; dy < 3; ++dy)
        for (int dx = -3; dx < 3; ++dx) {
            if ((dx == 0 && dy == 0) || dx * dx + dy * dy > 9)
                continue;
            ++k;
            put(im, 10 + dx, 10 + dy, colour { 100, 100, static_cast<unsigned char>(100 + k), 255 });
            m.at(10 + dx, 10 + dy) = k > 12 || k % 2 == 0;
        }
    ASSERT_EQ(k, 26);
    window_statistics statistics(im, 3);
    EXPECT_EQ(statistics.cap(), 12u);
    EXPECT_EQ(statistics.decide(m, 10, 10, grey, false, 3.5f), refine::undecided);
}

TEST(WindowStatistics, ListsAreBuiltOncePerPositionAndDroppedAfterTwoUnusedPasses)
{
    const img::image<colour> im = uniform(8, 8, grey);
    const img::image<img::bit> m = filled_mask(8, 8, true);
    window_statistics statistics(im, 2);
    statistics.decide(m, 4, 4, grey, true, 3.5f);
    // Keyed by position alone: another colour reuses the list.
    statistics.decide(m, 4, 4, colour { 0, 0, 0, 255 }, true, 3.5f);
    EXPECT_EQ(statistics.scans(), 1u);
    EXPECT_EQ(statistics.cache_size(), 1u);
    statistics.age(); // end of the pass that used it
    statistics.age(); // first pass without it
    EXPECT_EQ(statistics.cache_size(), 1u);
    statistics.age(); // second pass without it
    EXPECT_EQ(statistics.cache_size(), 0u);
    statistics.decide(m, 4, 4, grey, true, 3.5f);
    EXPECT_EQ(statistics.scans(), 2u);
    EXPECT_EQ(statistics.cache_size(), 1u);
}

// Around (10, 10), w = 3: 26 listed pixels, the k-th nearest in colour the
// k-th in row order; `alternating` sets the even ones, so no prefix of the
// list is significant.
struct graded {
    img::image<colour> image = uniform(20, 20, grey);
    img::image<img::bit> alternating = filled_mask(20, 20, false);
};

graded graded_source()
{
    graded g;
    int k = 0;
    for (int dy = -3; dy < 3; ++dy)
        for (int dx = -3; dx < 3; ++dx)
            if ((dx != 0 || dy != 0) && dx * dx + dy * dy <= 9) {
                put(g.image, 10 + dx, 10 + dy,
                    colour { 100, 100, static_cast<unsigned char>(100 + ++k), 255 });
                g.alternating.at(static_cast<unsigned>(10 + dx), static_cast<unsigned>(10 + dy)) = k % 2 == 0;
            }
    return g;
}

TEST(WindowStatistics, ManualListsAreSortedOnlyAsFarAsTheDecisionNeeds)
{
    // All set: e = 3.5 asks for 7 entries and decides at the fourth
    // (16 > 4 x 3.5).
    const graded g = graded_source();
    window_statistics statistics(g.image, 3);
    EXPECT_EQ(statistics.decide(filled_mask(20, 20, true), 10, 10, grey, false, 3.5f), refine::object);
    EXPECT_EQ(statistics.sorts(), 1u);
    // Alternating: 7 entries, then all 12 usable ones (a second sort).
    EXPECT_EQ(statistics.decide(g.alternating, 10, 10, grey, false, 3.5f), refine::undecided);
    EXPECT_EQ(statistics.sorts(), 2u);
}

TEST(WindowStatistics, SortsAheadThatNoDecisionTakesAreNeverCounted)
{
    const graded g = graded_source();
    const img::image<img::bit> all_set = filled_mask(20, 20, true);
    // Sorted to 7 entries, then (ahead, untaken) to all 12 in the next pass;
    // the decision of the pass after still counts its sort to 12.
    window_statistics ahead(g.image, 3);
    ahead.decide(all_set, 10, 10, grey, false, 3.5f);
    ahead.age();
    refine::decision d = refine::object;
    ASSERT_TRUE(ahead.vote_ahead(g.alternating, 10, 10, false, 3.5f, d));
    EXPECT_EQ(d, refine::undecided);
    EXPECT_EQ(ahead.sorts(), 1u);
    ahead.age();
    EXPECT_EQ(ahead.decide(g.alternating, 10, 10, grey, false, 3.5f), refine::undecided);

    window_statistics plain(g.image, 3);
    plain.decide(all_set, 10, 10, grey, false, 3.5f);
    plain.age();
    plain.age();
    EXPECT_EQ(plain.decide(g.alternating, 10, 10, grey, false, 3.5f), refine::undecided);
    EXPECT_EQ(ahead.sorts(), plain.sorts());
    EXPECT_EQ(ahead.sorts(), 2u);
    EXPECT_EQ(ahead.scans(), plain.scans());
}

TEST(WindowStatistics, VoteAheadIsTakenOnceCountedAndHeldOnlyForItsPass)
{
    const graded g = graded_source();
    const img::image<img::bit> all_set = filled_mask(20, 20, true);
    window_statistics statistics(g.image, 3);
    refine::decision d = refine::object;
    // No list yet: nothing to vote on.
    EXPECT_FALSE(statistics.vote_ahead(all_set, 10, 10, false, 3.5f, d));
    statistics.decide(all_set, 10, 10, grey, false, 3.5f);
    ASSERT_EQ(statistics.sorts(), 1u);
    statistics.age();
    ASSERT_TRUE(statistics.vote_ahead(g.alternating, 10, 10, false, 3.5f, d));
    EXPECT_EQ(d, refine::undecided);
    // A second claim in the same pass is refused.
    EXPECT_FALSE(statistics.vote_ahead(g.alternating, 10, 10, false, 3.5f, d));
    EXPECT_EQ(statistics.sorts(), 1u);
    // Every decision of the pass answers with the vote, whatever the colour;
    // the first counts the sort to all 12 entries, and the list counts as
    // used: it survives two more passes.
    EXPECT_EQ(statistics.decide(g.alternating, 10, 10, far, false, 3.5f), refine::undecided);
    EXPECT_EQ(statistics.decide(g.alternating, 10, 10, grey, false, 3.5f), refine::undecided);
    EXPECT_EQ(statistics.sorts(), 2u);
    statistics.age();
    statistics.age();
    EXPECT_EQ(statistics.cache_size(), 1u);
    // A later pass votes afresh.
    EXPECT_EQ(statistics.decide(all_set, 10, 10, grey, false, 3.5f), refine::object);
    EXPECT_EQ(statistics.sorts(), 2u);
    EXPECT_EQ(statistics.scans(), 1u);
}

TEST(WindowStatistics, ListsVotedAheadAreUnusedUntilDecided)
{
    // A vote worked out ahead is no use: the list is dropped after two
    // passes as if it had not been voted.
    const graded g = graded_source();
    window_statistics statistics(g.image, 3);
    statistics.decide(g.alternating, 10, 10, grey, false, 3.5f);
    statistics.age();
    refine::decision d = refine::undecided;
    ASSERT_TRUE(statistics.vote_ahead(g.alternating, 10, 10, false, 3.5f, d));
    statistics.age();
    EXPECT_EQ(statistics.cache_size(), 1u);
    statistics.age();
    EXPECT_EQ(statistics.cache_size(), 0u);
}

// The decision as the rules state it, with the whole list sorted at once.
refine::decision plain_decision(const img::image<colour>& im, const img::image<img::bit>& m, int x, int y,
    colour c, int w, bool automatic, float e)
{
    struct item {
        int distance;
        int dx;
        int dy;
    };
    std::vector<item> items;
    const int width = static_cast<int>(im.width);
    const int height = static_cast<int>(im.height);
    for (int dy = -std::min(y, w); dy <= std::min(w, height - y) - 1; ++dy)
        for (int dx = -std::min(x, w); dx <= std::min(w, width - x) - 1; ++dx) {
            if (w > 2 && dx * dx + dy * dy > w * w)
                continue;
            const colour& o = im.row(static_cast<unsigned>(y + dy))[x + dx];
            const int d = (o.b - c.b) * (o.b - c.b) + (o.g - c.g) * (o.g - c.g) + (o.r - c.r) * (o.r - c.r);
            if ((dx == 0 && dy == 0 && d == 0) || d >= 65536)
                continue;
            items.push_back({ d, dx, dy });
        }
    std::sort(items.begin(), items.end(), [](const item& a, const item& b) {
        return std::tie(a.distance, a.dx, a.dy) < std::tie(b.distance, b.dx, b.dy);
    });
    const std::size_t usable = std::min<std::size_t>(items.size(), std::max(w * (w + 1), 7));
    long balance = 0;
    double best = 0.0;
    refine::decision d = refine::undecided;
    for (std::size_t i = 1; i <= usable; ++i) {
        balance
            += m.at(static_cast<unsigned>(x + items[i - 1].dx), static_cast<unsigned>(y + items[i - 1].dy))
            ? 1
            : -1;
        if (i < usable && items[i].distance == items[i - 1].distance)
            continue;
        const double squared = static_cast<double>(balance * balance);
        if (automatic && squared > static_cast<double>(i) * best) {
            best = squared / static_cast<double>(i);
            d = balance > 0 ? refine::object : refine::background;
        } else if (!automatic && squared > static_cast<double>(i) * e) {
            return balance > 0 ? refine::object : refine::background;
        }
    }
    return d;
}

TEST(WindowStatistics, LazySortingDecidesAsSortingTheWholeListWould)
{
    std::mt19937 random(17);
    std::uniform_int_distribution<int> level(0, 3);
    for (int w : { 1, 2, 3, 6, 10 }) {
        img::image<colour> im(40, 30, 4);
        for (unsigned y = 0; y < 30; ++y)
            for (unsigned x = 0; x < 40; ++x)
                im.row(y)[x] = { static_cast<unsigned char>(60 * level(random)),
                    static_cast<unsigned char>(40 * level(random)),
                    static_cast<unsigned char>(90 * level(random)), 255 };
        const img::image<img::bit> m = trm::testing::random_mask(40, 30, 0.5, random);
        for (bool automatic : { false, true })
            for (float e : { 1.0f, 3.5f, 12.0f }) {
                window_statistics statistics(im, w);
                std::uniform_int_distribution<int> px(0, 39);
                std::uniform_int_distribution<int> py(0, 29);
                for (int k = 0; k < 200; ++k) {
                    const int x = px(random);
                    const int y = py(random);
                    // Each position keeps the list of the colour that first
                    // asked for it: ask with the pixel's own colour.
                    const colour c = im.row(static_cast<unsigned>(y))[x];
                    ASSERT_EQ(statistics.decide(
                                  m, static_cast<unsigned>(x), static_cast<unsigned>(y), c, automatic, e),
                        plain_decision(im, m, x, y, c, w, automatic, e))
                        << "w " << w << " at " << x << "," << y << (automatic ? " auto" : " manual") << " e "
                        << e;
                }
            }
    }
}

TEST(WindowStatistics, WindowHalfSizeOutsideOneTo127IsRefused)
{
    const img::image<colour> im = uniform(4, 4, grey);
    EXPECT_THROW(window_statistics(im, 0), std::runtime_error);
    EXPECT_THROW(window_statistics(im, 128), std::runtime_error);
    EXPECT_NO_THROW(window_statistics(im, 127));
}

} // namespace

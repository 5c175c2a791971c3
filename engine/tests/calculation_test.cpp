// The calculation driver: which stages run, the order of frames and passes,
// reference frames and pitch, ranges and notifications, cancellation and the
// engine log. Most cases switch the segmenting stages off and use dilation,
// which makes each frame's mask tell from which reference it was propagated.

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/debug_log.h"
#include "engine/masks/morphology.h"
#include "engine/masks/remove_wool.h"
#include "engine/segment.h"
#include "engine/tests/mask_test_support.h"
#include "engine/tests/memory_footage.h"
#include "engine/tests/synthetic_scene.h"
#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

namespace {

using trm::testing::memory_footage;
using mask = img::image<img::bit>;

constexpr unsigned width = 40;
constexpr unsigned height = 32;

struct note {
    int frame;
    int direction;
    My::Span range;
    bool operator==(const note&) const = default;
};

std::ostream& operator<<(std::ostream& out, const note& n)
{
    return out << "{" << n.frame << ", " << n.direction << ", {" << n.range.first << ", " << n.range.last
               << "}}";
}

class test_segment : public trm::segment {
public:
    using segment::segment;

    void frame_calculated(int frame, int direction, const My::Span& range) override
    {
        notes.push_back({ frame, direction, range });
        if (after_frame)
            after_frame(frame);
    }
    bool cancelled() override
    {
        ++cancel_checks;
        return cancel || (cancel_from > 0 && cancel_checks >= cancel_from);
    }

    std::vector<note> notes;
    std::function<void(int)> after_frame;
    bool cancel = false;
    // From this check on (counted from 1) the answer is true; 0: never.
    int cancel_from = 0;
    int cancel_checks = 0;
};

// A small square object in the middle of the frame.
mask key_mask()
{
    mask m = trm::testing::filled_mask(width, height, false);
    for (unsigned y = 12; y < 20; ++y)
        for (unsigned x = 16; x < 24; ++x)
            m.at(x, y) = true;
    return m;
}

mask dilated(const mask& m, int n)
{
    mask out;
    trm::dilate4_n(out, m, n);
    return out;
}

boost::shared_ptr<memory_footage> still_footage(int frames)
{
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(width, height);
    for (int i = 0; i < frames; ++i)
        images.push_back(scene.frame);
    return boost::make_shared<memory_footage>(std::move(images));
}

// Parameters with every stage off: each tracked frame is its reference's
// mask dilated `dilation` times.
trm::param plain_param(int dilation)
{
    trm::param p;
    p.refine_mask = false;
    p.dilation_erosion = dilation;
    return p;
}

struct fixture {
    fixture(int origin, My::Span table, const trm::param& p, int frames = 130)
        : footage(still_footage(frames))
        , segment(origin, footage)
    {
        segment.set_range(table);
        segment.set_keymask(key_mask());
        segment.set_param(p);
    }

    std::vector<int> loaded() const
    {
        std::vector<int> frames;
        for (const auto& r : footage->requests)
            frames.push_back(r.frame);
        return frames;
    }

    bool same_mask(int frame, const mask& expected) const
    {
        const auto record = segment.frame_data(frame);
        return record && trm::testing::rows_of(record->bit_mask) == trm::testing::rows_of(expected);
    }

    boost::shared_ptr<memory_footage> footage;
    test_segment segment;
};

TEST(Calculation, KeyOnlyStoresTheKeyMaskAsDrawnWithoutLoadingAFrame)
{
    fixture f(7, { 5, 10 }, trm::param());
    f.segment.calculate(true, { 7, 8 });
    EXPECT_TRUE(f.same_mask(7, key_mask()));
    EXPECT_EQ(f.segment.segmented(), (My::Span { 7, 8 }));
    EXPECT_TRUE(f.footage->requests.empty());
    EXPECT_TRUE(f.segment.notes.empty());
}

TEST(Calculation, OriginKeepsTheKeyMaskWhenNoSegmentingStageIsOnEvenWithWoolRemoval)
{
    trm::param p = plain_param(0);
    p.wool_removal = 2;
    fixture f(7, { 5, 10 }, p);
    mask key = key_mask();
    key.at(5, 5) = true; // a speck that wool removal would take away
    f.segment.set_keymask(key);
    f.segment.calculate(false, { 7, 8 });
    EXPECT_TRUE(f.same_mask(7, key));
    EXPECT_TRUE(f.footage->requests.empty());
}

TEST(Calculation, TracksBackwardThenForwardOverTheWantedSpanOnly)
{
    fixture f(12, { 5, 25 }, plain_param(1));
    f.segment.calculate(false, { 10, 20 });

    EXPECT_EQ(f.segment.segmented(), (My::Span { 10, 20 }));
    EXPECT_FALSE(f.segment.has_mask(9));
    EXPECT_FALSE(f.segment.has_mask(20));
    const std::vector<note> expected { { 11, 0, { 11, 13 } }, { 10, 0, { 10, 13 } }, { 13, 1, { 10, 14 } },
        { 14, 1, { 10, 15 } }, { 15, 1, { 10, 16 } }, { 16, 1, { 10, 17 } }, { 17, 1, { 10, 18 } },
        { 18, 1, { 10, 19 } }, { 19, 1, { 10, 20 } } };
    EXPECT_EQ(f.segment.notes, expected);
    // With pitch 1 every frame is tracked from its neighbour towards the
    // origin.
    EXPECT_TRUE(f.same_mask(12, key_mask()));
    EXPECT_TRUE(f.same_mask(11, dilated(key_mask(), 1)));
    EXPECT_TRUE(f.same_mask(10, dilated(key_mask(), 2)));
    EXPECT_TRUE(f.same_mask(13, dilated(key_mask(), 1)));
    EXPECT_TRUE(f.same_mask(19, dilated(key_mask(), 7)));
    EXPECT_EQ(f.segment.frame_data(13)->ref_frame, -1);
    // Each frame is loaded once per pass; the reference is taken over from
    // the target without reloading, the request bits point along the pass.
    const std::vector<memory_footage::request> requests { { 12, 1 }, { 11, 1 }, { 10, 1 }, { 12, 2 },
        { 13, 2 }, { 14, 2 }, { 15, 2 }, { 16, 2 }, { 17, 2 }, { 18, 2 }, { 19, 2 } };
    EXPECT_EQ(f.footage->requests, requests);
}

TEST(Calculation, ReferenceFramesLieAPitchApartFromTheOrigin)
{
    trm::param p = plain_param(1);
    p.reference_frame_pitch = 5;
    fixture f(100, { 90, 115 }, p);
    f.segment.calculate(false, { 100, 108 });
    for (int frame = 101; frame <= 105; ++frame)
        EXPECT_TRUE(f.same_mask(frame, dilated(key_mask(), 1))) << frame;
    EXPECT_TRUE(f.same_mask(106, dilated(key_mask(), 2)));
    EXPECT_TRUE(f.same_mask(107, dilated(key_mask(), 2)));

    // A later pass that starts at 108 takes 105 as its first reference.
    f.footage->requests.clear();
    f.segment.calculate(false, { 95, 111 });
    EXPECT_TRUE(f.same_mask(108, dilated(key_mask(), 2)));
    EXPECT_TRUE(f.same_mask(110, dilated(key_mask(), 2)));
    for (int frame = 95; frame <= 99; ++frame)
        EXPECT_TRUE(f.same_mask(frame, dilated(key_mask(), 1))) << frame;
    const std::vector<int> loaded { 100, 99, 98, 97, 96, 95, 105, 108, 109, 110 };
    EXPECT_EQ(f.loaded(), loaded);
    EXPECT_EQ(f.segment.segmented(), (My::Span { 95, 111 }));
}

TEST(Calculation, TooFewMotionSegmentsTrackWithoutMotion)
{
    trm::param p = plain_param(0);
    p.optic_flow = true;
    fixture f(7, { 5, 10 }, p);
    f.segment.calculate(false, { 5, 10 });
    EXPECT_EQ(f.segment.segmented(), (My::Span { 5, 10 }));
    for (int frame = 5; frame < 10; ++frame) {
        EXPECT_TRUE(f.same_mask(frame, key_mask())) << frame;
        EXPECT_EQ(f.segment.frame_data(frame)->ref_frame, -1) << frame;
    }
}

TEST(Calculation, OriginWithoutContourIsRefittedWhenContoursAreOnDiscardingTheRest)
{
    fixture f(12, { 10, 16 }, plain_param(1));
    f.segment.calculate(false, { 10, 16 });
    // The state as an older project holds it: contour fitting on, no
    // contours stored.
    xml::sarnel doc;
    doc.create("Segment");
    xml::stream saving(doc.root(), false);
    f.segment.serialize(saving);
    std::ostringstream out;
    doc.write(out);
    std::string text = out.str();
    const std::string off = "decrease_mask_freedom=\"0\"";
    ASSERT_NE(text.find(off), std::string::npos);
    text.replace(text.find(off), off.size(), "decrease_mask_freedom=\"1\"");
    test_segment loaded(12, f.footage);
    xml::sarnel reading;
    reading.parse(text);
    xml::stream loading(reading.root(), true);
    loaded.serialize(loading);
    ASSERT_TRUE(loaded.param().decrease_mask_freedom);
    ASSERT_EQ(loaded.segmented(), (My::Span { 10, 16 }));

    loaded.calculate(false, { 10, 16 });
    EXPECT_FALSE(loaded.frame_data(12)->contour.empty());
    EXPECT_EQ(loaded.segmented(), (My::Span { 10, 16 }));
    EXPECT_EQ(loaded.notes.size(), 5u);
    for (int frame = 10; frame < 16; ++frame)
        EXPECT_FALSE(loaded.frame_data(frame)->contour.empty()) << frame;
}

TEST(Calculation, WantedSpanIsClampedToTheTable)
{
    fixture f(7, { 5, 10 }, plain_param(0));
    f.segment.calculate(false, { -100, 1000 });
    EXPECT_EQ(f.segment.segmented(), (My::Span { 5, 10 }));
    for (const auto& r : f.footage->requests)
        EXPECT_TRUE(r.frame >= 5 && r.frame < 10) << r.frame;
}

TEST(Calculation, SmoothingNotifiesSmoothedRangesAndSmoothsTheOriginInTheForwardPass)
{
    trm::param p = plain_param(0);
    p.smooth_mask = trm::smooth_mask_method::diffuse;
    fixture f(12, { 5, 25 }, p);
    f.segment.calculate(false, { 10, 15 });
    const std::vector<note> expected { { 11, 0, { 11, 12 } }, { 10, 0, { 10, 12 } }, { 12, 1, { 10, 13 } },
        { 13, 1, { 10, 14 } }, { 14, 1, { 10, 15 } } };
    EXPECT_EQ(f.segment.notes, expected);
    EXPECT_EQ(f.segment.smoothed(), (My::Span { 10, 15 }));
    for (int frame = 10; frame < 15; ++frame)
        EXPECT_TRUE(f.segment.has_encoded_mask(frame)) << frame;
}

TEST(Calculation, CancellingStopsAtTheNextCheckAndKeepsEveryFinishedFrame)
{
    fixture f(12, { 0, 30 }, plain_param(1));
    int checks_when_cancelled = 0;
    std::size_t loads_when_cancelled = 0;
    f.segment.after_frame = [&](int) {
        if (f.segment.notes.size() == 3) {
            f.segment.cancel = true;
            checks_when_cancelled = f.segment.cancel_checks;
            loads_when_cancelled = f.footage->requests.size();
        }
    };
    f.segment.calculate(false, { 0, 30 });
    // The pass ends at the check after the frame; the calculation's own
    // check before the forward pass ends the call.
    EXPECT_EQ(f.segment.cancel_checks, checks_when_cancelled + 2);
    EXPECT_EQ(f.footage->requests.size(), loads_when_cancelled);
    EXPECT_EQ(f.segment.segmented(), (My::Span { 9, 13 }));
    for (int frame = 9; frame <= 12; ++frame)
        EXPECT_TRUE(f.segment.has_mask(frame)) << frame;
    EXPECT_FALSE(f.segment.has_mask(8));
    EXPECT_FALSE(f.segment.has_mask(13));

    // Going on later continues from where it stopped.
    f.segment.cancel = false;
    f.segment.after_frame = nullptr;
    f.segment.calculate(false, { 0, 30 });
    EXPECT_EQ(f.segment.segmented(), (My::Span { 0, 30 }));
    EXPECT_TRUE(f.same_mask(8, dilated(key_mask(), 4)));
}

TEST(Calculation, CancelDuringAFramesStagesDiscardsThatFrame)
{
    trm::param p = plain_param(1);
    p.wool_removal = 1;
    // Checks in order: the calculation's start, before tracking, after
    // loading frame 11, before its dilation, before its wool removal.
    for (const int cancel_from : { 4, 5 }) {
        fixture f(12, { 0, 30 }, p);
        f.segment.cancel_from = cancel_from;
        f.segment.calculate(false, { 11, 13 });
        // One more check before the forward pass.
        EXPECT_EQ(f.segment.cancel_checks, cancel_from + 1);
        EXPECT_EQ(f.segment.segmented(), (My::Span { 12, 13 }));
        EXPECT_FALSE(f.segment.has_mask(11));
        EXPECT_TRUE(f.segment.notes.empty());
    }
    fixture f(12, { 0, 30 }, p);
    f.segment.calculate(false, { 11, 13 });
    EXPECT_EQ(f.segment.cancel_checks, 6);
    EXPECT_TRUE(f.segment.has_mask(11));
}

TEST(Calculation, FrameOfAnotherSizeIsReportedByItsNumber)
{
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    for (int i = 0; i < 10; ++i)
        images.push_back(trm::testing::make_scene(i == 8 ? width + 2 : width, height).frame);
    auto footage = boost::make_shared<memory_footage>(std::move(images));
    test_segment s(5, footage);
    s.set_range({ 0, 10 });
    s.set_keymask(key_mask());
    s.set_param(plain_param(0));
    try {
        s.calculate(false, { 0, 10 });
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Frame 8 "), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.segmented(), (My::Span { 0, 8 }));
}

TEST(Calculation, KeyFrameOutsideTheTableIsRefused)
{
    fixture f(3, { 5, 10 }, plain_param(0));
    EXPECT_THROW(f.segment.calculate(false, { 5, 10 }), std::runtime_error);
}

struct scoped_env {
    explicit scoped_env(const char* value)
    {
        const char* old = std::getenv("NV_DEBUG_DIR");
        had = old != nullptr;
        if (had)
            previous = old;
        if (value != nullptr)
            setenv("NV_DEBUG_DIR", value, 1);
        else
            unsetenv("NV_DEBUG_DIR");
    }
    ~scoped_env()
    {
        if (had)
            setenv("NV_DEBUG_DIR", previous.c_str(), 1);
        else
            unsetenv("NV_DEBUG_DIR");
    }
    bool had = false;
    std::string previous;
};

TEST(Calculation, EngineLogIsTrmLogInTheDebugFolderAndLeavesClogAlone)
{
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("trm_log_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream stale(dir / "trm.log");
        stale << "an older calculation\n";
    }
    trm::param p = plain_param(0);
    p.mincut = true;
    p.mincut_pyramid_levels = 0;
    std::streambuf* const clog_buffer = std::clog.rdbuf();
    for (const std::string suffix : { "", "/", "\\" }) {
        const scoped_env env((dir.string() + suffix).c_str());
        EXPECT_EQ(trm::debug_dir(), dir.string() + "/");
        fixture f(7, { 5, 10 }, p);
        f.segment.set_keymask(trm::testing::make_scene(width, height).object);
        f.segment.calculate(false, { 7, 9 });
        EXPECT_EQ(std::clog.rdbuf(), clog_buffer);
        // The key frame is asked for with the frames after it to come.
        ASSERT_FALSE(f.footage->requests.empty());
        EXPECT_EQ(f.footage->requests.front(), (memory_footage::request { 7, 2 }));
        std::ifstream in(dir / "trm.log");
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("MinCut segmenting"), std::string::npos);
        EXPECT_EQ(text.str().find("an older calculation"), std::string::npos);
    }
    std::filesystem::remove_all(dir);

    const scoped_env unset(nullptr);
    EXPECT_EQ(trm::debug_dir(), "");
    const scoped_env empty("");
    EXPECT_EQ(trm::debug_dir(), "");
    trm::debug_log log;
    log.stream() << "dropped" << std::endl;
}

TEST(RemoveWool, RemovesThinPartsAndFillsThinGapsKeepingTheRest)
{
    mask m = trm::testing::filled_mask(40, 40, false);
    for (unsigned y = 10; y < 30; ++y)
        for (unsigned x = 10; x < 30; ++x)
            m.at(x, y) = true;
    for (unsigned x = 30; x < 37; ++x)
        m.at(x, 20) = true; // a hair sticking out
    for (unsigned y = 10; y < 16; ++y)
        m.at(20, y) = false; // a slot cut in
    trm::remove_wool(m, 1);
    for (unsigned x = 31; x < 37; ++x)
        EXPECT_FALSE(m.at(x, 20)) << x;
    // The slot fills up to its mouth, which the closing leaves open.
    for (unsigned y = 11; y < 16; ++y)
        EXPECT_TRUE(m.at(20, y)) << y;
    for (unsigned y = 0; y < 40; ++y)
        for (unsigned x = 0; x < 40; ++x) {
            const bool inside = x >= 12 && x < 28 && y >= 12 && y < 28;
            const bool far = x < 8 || x >= 39 || y < 8 || y >= 32;
            if (inside) {
                EXPECT_TRUE(m.at(x, y)) << x << ", " << y;
            }
            if (far) {
                EXPECT_FALSE(m.at(x, y)) << x << ", " << y;
            }
        }
}

} // namespace

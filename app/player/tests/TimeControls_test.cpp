#include "app/player/TimeControls.h"

#include "app/player/Player.h"
#include "app/timeline/tests/TimelineFixture.h"
#include "widgets/controls/Glyph.h"

#include <gtest/gtest.h>

namespace {

class RatePlayer : public My::Player {
public:
    void Start() override { }
    void Stop() override { }
    My::Sequence* GetSequence() const override { return sequence; }
    void StartFollowing() override { }
    void StopFollowing() override { }
    double GetPlayFramerate() const override { return rate; }
    void SetPlayFramerate(double r) override { rate = r; }

    My::Sequence* sequence = nullptr;
    double rate = 25.0;
};

TEST(TimeFields, OnlyWholeNumbersAreTaken)
{
    EXPECT_EQ(My::ParseFrameText("12"), 12);
    EXPECT_EQ(My::ParseFrameText("-3"), -3);
    EXPECT_FALSE(My::ParseFrameText("12x"));
    EXPECT_FALSE(My::ParseFrameText(""));
    EXPECT_FALSE(My::ParseFrameText(" 12"));
    EXPECT_FALSE(My::ParseFrameText("99999999999"));
    EXPECT_EQ(My::ParseRateText("29.97"), 29.97);
    EXPECT_FALSE(My::ParseRateText("25fps"));
    EXPECT_FALSE(My::ParseRateText("1e999"));
    EXPECT_FALSE(My::ParseRateText("nan"));
    EXPECT_FALSE(My::ParseRateText(""));
}

TEST(TimeFields, RatesShowSixSignificantDigits)
{
    EXPECT_EQ(My::FormatRate(25), "25");
    EXPECT_EQ(My::FormatRate(29.97), "29.97");
    EXPECT_EQ(My::RateSuffix(false, 24.8), "fps");
    EXPECT_EQ(My::RateSuffix(true, 24.8), "fps (24.8 fps)");
}

TEST(TimeFields, FrameFieldIsEmptyWithoutAProjectAndIgnoresBadText)
{
    test::FakeSequence sequence;
    My::TimeEditControl field;
    std::string text;
    EXPECT_FALSE(field.GetText(text));
    field.SetSequence(&sequence);
    EXPECT_FALSE(field.GetText(text));
    sequence.Open(100);
    sequence.SetCurrentFrame(4);
    sequence.SetPreviewFrame(7);
    ASSERT_TRUE(field.GetText(text));
    EXPECT_EQ(text, "7");
    field.SetText("12x");
    EXPECT_EQ(sequence.GetCurrentFrame(), 4);
    field.SetText("12");
    EXPECT_EQ(sequence.GetCurrentFrame(), 12);
    field.SetSequence(nullptr);
    EXPECT_EQ(sequence.GetListenerCount(), 0u);
}

TEST(TimeFields, RateFieldIsDisabledAndEmptyWhilePlaying)
{
    test::FakeSequence sequence;
    sequence.Open(100);
    RatePlayer player;
    player.sequence = &sequence;
    My::FramerateEditControl field;
    std::string text;
    EXPECT_FALSE(field.GetText(text));
    EXPECT_FALSE(field.IsEnabled());
    field.SetPlayer(&player);
    ASSERT_TRUE(field.GetText(text));
    EXPECT_EQ(text, "25");
    EXPECT_TRUE(field.IsEnabled());
    field.SetText("12.5");
    EXPECT_EQ(player.rate, 12.5);
    field.SetText("fast");
    EXPECT_EQ(player.rate, 12.5);
    player.SetPlayMode(My::Player::Forward);
    EXPECT_FALSE(field.GetText(text));
    EXPECT_FALSE(field.IsEnabled());
}

TEST(TimeFields, GoToFrameCountsFromTheFirstFrameNumber)
{
    test::FakeSequence sequence;
    sequence.Open(200);
    sequence.SetPreviewFrame(7);
    EXPECT_EQ(My::GoToFrameStartValue(sequence), 7);
    My::GoToFrameAnswer(sequence, 100);
    EXPECT_EQ(sequence.GetCurrentFrame(), 100);
}

TEST(TimeControls, SuffixFollowsPlaybackAndButtonsCoverTheChoice)
{
    test::FakeSequence sequence;
    sequence.Open(100);
    RatePlayer player;
    player.sequence = &sequence;
    My::TimeControls controls(true);
    EXPECT_EQ(controls.GetTransport().GetButtons().size(), 11u);
    My::TimeControls noFollow(false);
    EXPECT_EQ(noFollow.GetTransport().GetButtons().size(), 9u);
    controls.SetPlayer(&player);
    player.SetPlayMode(My::Player::Forward);
    controls.SetMeasuredRate(24.8);
    EXPECT_EQ(controls.GetRateSuffix(), "fps (24.8 fps)");
    player.SetPlayMode(My::Player::Stopped);
    EXPECT_EQ(controls.GetRateSuffix(), "fps");
    controls.SetPlayer(nullptr);
    EXPECT_EQ(player.GetListenerCount(), 0u);
}

} // namespace

namespace {

TEST(TimeControls, LayoutCentresTheBarAndStacksTheRows)
{
    My::TimeControls controls(true);
    const CSize bar = controls.GetTransport().GetPreferredSize();
    const CSize preferred = controls.GetPreferredSize();
    EXPECT_EQ(preferred.cx, bar.cx + 16);
    controls.SetBounds(CRect(0, 0, 400, preferred.cy));
    const CRect barRect = controls.GetTransport().GetBounds();
    EXPECT_EQ(barRect.top, 8);
    EXPECT_EQ(barRect.Width(), bar.cx);
    EXPECT_NEAR(barRect.left - 8, 400 - 8 - barRect.right, 1);
}

} // namespace

TEST(TimeControls, TransportButtonsFindTheirGlyphsAndTheMasksTheyLookFor)
{
    My::TimeControls controls(true);
    for (const std::string& name : My::GetMissingGlyphResources())
        EXPECT_EQ(name.rfind("TIME_", 0), std::string::npos) << name << " is missing";
}

TEST(TimeControls, FieldsTakeTheWidthOfTheirTexts)
{
    test::FakeSequence sequence;
    RatePlayer player;
    player.sequence = &sequence;
    My::TimeControls controls(true);
    controls.SetSequence(&sequence);
    controls.SetPlayer(&player);
    controls.SetBounds(CRect(0, 0, 300, controls.GetPreferredSize().cy));
    // Without a window system a text is 7 pixels per character; a field is
    // 8 wider than its text.
    My::TimeEditControl& frame = controls.GetFrameField();
    EXPECT_EQ(frame.GetBounds().Width(), 7 + 8);
    sequence.Open(2000);
    sequence.SetCurrentFrame(1234);
    EXPECT_EQ(frame.GetBounds().Width(), 4 * 7 + 8);
    My::FramerateEditControl& rate = controls.GetRateField();
    EXPECT_EQ(rate.GetBounds().Width(), 2 * 7 + 8);
    player.SetPlayFramerate(29.97);
    controls.RefreshRate();
    EXPECT_EQ(rate.GetBounds().Width(), 5 * 7 + 8);
}

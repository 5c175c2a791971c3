#include "app/player/Player.h"

#include "app/timeline/tests/TimelineFixture.h"
#include "platform/registry/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class TestPlayer : public My::Player {
public:
    using My::Player::Player;
    void Start() override { ++starts; }
    void Stop() override { ++stops; }
    My::Sequence* GetSequence() const override { return sequence; }
    void StartFollowing() override { ++follows; }
    void StopFollowing() override { ++unfollows; }

    My::Sequence* sequence = nullptr;
    int starts = 0;
    int stops = 0;
    int follows = 0;
    int unfollows = 0;
};

struct PlayerTest : ::testing::Test {
    PlayerTest()
    {
        player.sequence = &sequence;
        sequence.Open(10);
    }
    bool Enabled(std::uint32_t id, test::FakeCommandUI* out = nullptr)
    {
        test::FakeCommandUI ui;
        My::UpdateCommandUIEvent update(id, &ui);
        EXPECT_TRUE(player.RouteCommand(update));
        if (out)
            *out = ui;
        return ui.enabled;
    }
    void RunCommand(std::uint32_t id)
    {
        My::CommandEvent command(id);
        EXPECT_TRUE(player.RouteCommand(command));
    }
    std::vector<int> Steps(int n)
    {
        std::vector<int> frames;
        for (int i = 0; i < n; ++i) {
            player.Step();
            frames.push_back(sequence.GetPreviewFrame());
        }
        return frames;
    }

    test::FakeSequence sequence;
    TestPlayer player;
};

TEST(PlayerNextFrame, OneFrameWorkAreaWithoutLoopStaysOnItsFrame)
{
    bool turned = true;
    EXPECT_EQ(My::Player::NextFrame(1, 4, 4, 5, false, turned), 4);
    EXPECT_FALSE(turned);
    EXPECT_EQ(My::Player::NextFrame(2, 4, 4, 5, false, turned), 4);
    EXPECT_EQ(My::Player::NextFrame(1, 4, 4, 5, true, turned), 4);
    // An empty work area leaves the frame alone.
    EXPECT_EQ(My::Player::NextFrame(1, 7, 4, 4, false, turned), 7);
}

TEST(PlayerNextFrame, StoppedAndFollowingDoNotMove)
{
    bool turned = true;
    EXPECT_EQ(My::Player::NextFrame(0, 3, 0, 10, true, turned), 3);
    EXPECT_EQ(My::Player::NextFrame(3, 3, 0, 10, true, turned), 3);
    EXPECT_FALSE(turned);
}

TEST(PlayerNextFrame, BackwardWrapsOrBounces)
{
    bool turned = false;
    EXPECT_EQ(My::Player::NextFrame(2, 0, 0, 10, true, turned), 9);
    EXPECT_FALSE(turned);
    EXPECT_EQ(My::Player::NextFrame(2, 0, 0, 10, false, turned), 1);
    EXPECT_TRUE(turned);
    // A frame outside the work area jumps back into it.
    EXPECT_EQ(My::Player::NextFrame(1, 20, 0, 10, false, turned), 0);
}

TEST_F(PlayerTest, ForwardWithoutLoopBouncesAtTheEnd)
{
    player.SetLoop(false);
    sequence.SetCurrentFrame(8);
    player.SetPlayMode(My::Player::Forward);
    EXPECT_EQ(Steps(3), (std::vector<int> { 9, 8, 7 }));
    EXPECT_EQ(player.GetPlayMode(), My::Player::Backward);
    // Playback moves only the preview frame.
    EXPECT_EQ(sequence.GetCurrentFrame(), 8);
}

TEST_F(PlayerTest, ForwardWithLoopWraps)
{
    player.SetLoop(true);
    sequence.SetCurrentFrame(8);
    player.SetPlayMode(My::Player::Forward);
    EXPECT_EQ(Steps(2), (std::vector<int> { 9, 0 }));
    EXPECT_EQ(player.GetPlayMode(), My::Player::Forward);
}

TEST_F(PlayerTest, PausingMakesThePreviewFrameCurrent)
{
    player.SetPlayMode(My::Player::Forward);
    EXPECT_EQ(player.starts, 1);
    sequence.SetPreviewFrame(5);
    player.SetPlayMode(My::Player::Stopped);
    EXPECT_EQ(sequence.GetCurrentFrame(), 5);
    EXPECT_EQ(player.stops, 1);
}

TEST_F(PlayerTest, LeavingFollowModeRestoresThePreview)
{
    sequence.SetCurrentFrame(2);
    player.SetPlayMode(My::Player::Following);
    EXPECT_EQ(player.follows, 1);
    sequence.SetPreviewFrame(7);
    player.SetPlayMode(My::Player::Stopped);
    EXPECT_EQ(player.unfollows, 1);
    EXPECT_EQ(sequence.GetPreviewFrame(), 2);
    EXPECT_EQ(sequence.GetCurrentFrame(), 2);
}

TEST_F(PlayerTest, ModeChangeIsAnnouncedOnce)
{
    struct Counter : My::EventListener {
        void OnEvent(My::Event& e) override { n += dynamic_cast<My::Player::PlaymodeChange*>(&e) != nullptr; }
        int n = 0;
    } counter;
    player.AddListener(&counter);
    player.SetPlayMode(My::Player::Backward);
    player.SetPlayMode(My::Player::Backward);
    EXPECT_EQ(counter.n, 1);
    player.RemoveListener(&counter);
}

TEST_F(PlayerTest, NothingOpenDisablesEveryCommand)
{
    sequence.Close();
    for (std::uint32_t id : { 50015u, 50016u, 50017u, 50018u, 50019u, 50020u, 50021u, 50022u, 50023u, 50024u,
             50025u, 50030u, 50031u, 50034u, 50035u })
        EXPECT_FALSE(Enabled(id)) << id;
    RunCommand(My::Player::kPlayForward);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Stopped);
    player.sequence = nullptr;
    EXPECT_FALSE(Enabled(My::Player::kFirstFrame));
}

TEST_F(PlayerTest, FrameCommandsFollowTheirConditions)
{
    EXPECT_FALSE(Enabled(My::Player::kFirstFrame));
    EXPECT_FALSE(Enabled(My::Player::kPreviousFrame));
    EXPECT_TRUE(Enabled(My::Player::kNextFrame));
    RunCommand(My::Player::kNextFrame);
    EXPECT_EQ(sequence.GetCurrentFrame(), 1);
    RunCommand(My::Player::kLastFrame);
    EXPECT_EQ(sequence.GetCurrentFrame(), 9);
    EXPECT_FALSE(Enabled(My::Player::kNextFrame));
    // A key press of a disabled command does nothing.
    RunCommand(My::Player::kNextFrame);
    EXPECT_EQ(sequence.GetCurrentFrame(), 9);
    sequence.SetWorkArea(2, 6);
    RunCommand(My::Player::kWorkAreaStart);
    EXPECT_EQ(sequence.GetCurrentFrame(), 2);
    RunCommand(My::Player::kWorkAreaEnd);
    EXPECT_EQ(sequence.GetCurrentFrame(), 5);
    EXPECT_FALSE(Enabled(My::Player::kWorkAreaEnd));
}

TEST_F(PlayerTest, NextFrameIsDisabledWhilePlaying)
{
    player.SetPlayMode(My::Player::Forward);
    EXPECT_FALSE(Enabled(My::Player::kNextFrame));
    EXPECT_FALSE(Enabled(My::Player::kPreviousFrame));
    test::FakeCommandUI ui;
    EXPECT_TRUE(Enabled(My::Player::kPlayForward, &ui));
    EXPECT_TRUE(ui.radio);
    Enabled(My::Player::kPause, &ui);
    EXPECT_FALSE(ui.radio);
}

TEST_F(PlayerTest, ToggleKeysPlayAndPause)
{
    RunCommand(My::Player::kToggleForward);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Forward);
    RunCommand(My::Player::kToggleBackward);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Stopped);
    RunCommand(My::Player::kToggleBackward);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Backward);
}

TEST_F(PlayerTest, FollowNeedsProcessing)
{
    EXPECT_FALSE(Enabled(My::Player::kFollow));
    RunCommand(My::Player::kFollow);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Stopped);
    sequence.processing = true;
    EXPECT_TRUE(Enabled(My::Player::kFollow));
    RunCommand(My::Player::kFollow);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Following);
}

TEST_F(PlayerTest, LoopAndAutoFollowToggleWithTheirChecks)
{
    test::FakeCommandUI ui;
    Enabled(My::Player::kLoop, &ui);
    EXPECT_EQ(ui.check, 1);
    RunCommand(My::Player::kLoop);
    RunCommand(My::Player::kAutoFollow);
    EXPECT_FALSE(player.GetLoop());
    EXPECT_FALSE(player.GetAutoFollow());
    Enabled(My::Player::kAutoFollow, &ui);
    EXPECT_EQ(ui.check, 0);
}

TEST(PlayerProfile, FlagsAreReadAndWrittenBack)
{
    const auto home
        = std::filesystem::temp_directory_path() / ("tavelo_player_" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    platform::registry_profile profile("Norvane", "TaveloPlayerTest");
    profile.write_int("Time", "Loop", 0);
    {
        TestPlayer player(&profile);
        EXPECT_FALSE(player.GetLoop());
        EXPECT_TRUE(player.GetAutoFollow());
        player.SetAutoFollow(false);
    }
    EXPECT_EQ(profile.get_int("Time", "AutoFollow", 7), 0u);
    EXPECT_EQ(profile.get_int("Time", "Loop", 7), 0u);
    std::filesystem::remove_all(home);
}

} // namespace

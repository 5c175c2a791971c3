// The view's player without a window system: ticks step only while playing
// and the painter is idle, a skipped tick is made up on delivery, the rate
// refuses absurd values, and the rate persists with the flags.

#include "app/view/PlayerImpl.h"

#include "app/timeline/tests/TimelineFixture.h"
#include "platform/registry/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace {

struct PlayerImplTest : ::testing::Test {
    PlayerImplTest()
    {
        sequence.Open(10);
        player.SetSequence(&sequence);
        My::PlayerImpl::Hooks hooks;
        hooks.busy = [this] { return busy; };
        hooks.following = [this](bool on) { following.push_back(on); };
        hooks.rateChanged = [this] { ++rateChanges; };
        hooks.stepped = [this] { ++steps; };
        player.SetHooks(hooks);
    }
    test::FakeSequence sequence;
    My::PlayerImpl player;
    bool busy = false;
    std::vector<bool> following;
    int rateChanges = 0;
    int steps = 0;
};

TEST_F(PlayerImplTest, TicksDoNothingWhileStoppedOrFollowing)
{
    player.Tick();
    player.Delivered();
    EXPECT_EQ(sequence.GetPreviewFrame(), 0);
    player.SetPlayMode(My::Player::Following);
    player.Tick();
    EXPECT_EQ(sequence.GetPreviewFrame(), 0);
    EXPECT_EQ(following, std::vector<bool> { true });
    player.SetPlayMode(My::Player::Stopped);
    EXPECT_EQ(following, (std::vector<bool> { true, false }));
    EXPECT_EQ(steps, 0);
}

TEST_F(PlayerImplTest, BusyPainterSkipsTheTickUntilDelivery)
{
    player.SetPlayMode(My::Player::Forward);
    player.Tick();
    EXPECT_EQ(sequence.GetPreviewFrame(), 1);
    busy = true;
    player.Tick();
    player.Tick();
    EXPECT_EQ(sequence.GetPreviewFrame(), 1) << "playback ran ahead of painting";
    EXPECT_TRUE(player.IsTickSkipped());
    busy = false;
    player.Delivered();
    EXPECT_EQ(sequence.GetPreviewFrame(), 2) << "the skipped tick is made up once";
    EXPECT_FALSE(player.IsTickSkipped());
    player.Delivered();
    EXPECT_EQ(sequence.GetPreviewFrame(), 2) << "a delivery without a skipped tick does not step";
    EXPECT_EQ(steps, 2);
}

TEST_F(PlayerImplTest, StoppingForgetsASkippedTick)
{
    player.SetPlayMode(My::Player::Forward);
    busy = true;
    player.Tick();
    player.SetPlayMode(My::Player::Stopped);
    busy = false;
    player.Delivered();
    EXPECT_EQ(sequence.GetPreviewFrame(), 0);
    EXPECT_EQ(sequence.GetCurrentFrame(), 0);
}

TEST_F(PlayerImplTest, BackwardPlaybackWrapsThroughTheWorkArea)
{
    player.SetPlayMode(My::Player::Backward);
    player.Tick();
    EXPECT_EQ(sequence.GetPreviewFrame(), 9);
    player.Tick();
    EXPECT_EQ(sequence.GetPreviewFrame(), 8);
}

TEST_F(PlayerImplTest, RateRefusesAbsurdValues)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : { 0.0, -25.0, nan, inf, 1e9, 0.01 }) {
        player.SetPlayFramerate(bad);
        EXPECT_EQ(player.GetPlayFramerate(), 10.0) << bad;
    }
    EXPECT_EQ(rateChanges, 0);
    player.SetPlayFramerate(25.0);
    EXPECT_EQ(player.GetPlayFramerate(), 25.0);
    EXPECT_EQ(player.GetInterval(), 40u);
    EXPECT_EQ(rateChanges, 1);
    player.SetPlayFramerate(25.0);
    EXPECT_EQ(rateChanges, 1) << "an unchanged rate is not announced";
    player.SetPlayFramerate(1000.0);
    EXPECT_EQ(player.GetInterval(), 1u);
}

TEST_F(PlayerImplTest, RateCommandsReachTheTimeMenu)
{
    My::CommandEvent go(My::Player::kLastFrame);
    EXPECT_TRUE(player.RouteCommand(go));
    EXPECT_EQ(sequence.GetCurrentFrame(), 9);
    int asked = 0;
    My::PlayerImpl::Hooks hooks;
    hooks.goToFrame = [&] { ++asked; };
    player.SetHooks(hooks);
    My::CommandEvent ask(My::Player::kGoToFrame);
    EXPECT_TRUE(player.RouteCommand(ask));
    EXPECT_EQ(asked, 1);
}

TEST(PlayerImplProfile, RateIsReadAndWrittenBackAndAbsurdStoredRatesAreIgnored)
{
    const auto home
        = std::filesystem::temp_directory_path() / ("tavelo_playerimpl_" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    platform::registry_profile profile("Norvane", "TaveloPlayerImplTest");
    {
        My::PlayerImpl player(&profile);
        EXPECT_EQ(player.GetPlayFramerate(), 10.0) << "default 10000";
        player.SetPlayFramerate(29.97);
    }
    EXPECT_EQ(profile.get_int("Time", "PlayFramerate", 7), 29970u);
    EXPECT_EQ(profile.get_int("Time", "Loop", 7), 1u);
    {
        My::PlayerImpl player(&profile);
        EXPECT_NEAR(player.GetPlayFramerate(), 29.97, 1e-9);
    }
    profile.write_int("Time", "PlayFramerate", 0);
    {
        My::PlayerImpl player(&profile);
        EXPECT_EQ(player.GetPlayFramerate(), 10.0) << "a stored rate of 0 would divide by zero";
    }
    std::filesystem::remove_all(home);
}

} // namespace

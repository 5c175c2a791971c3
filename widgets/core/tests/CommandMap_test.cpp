#include "widgets/core/CommandMap.h"
#include "widgets/core/Event.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct FakeUI : My::CommandUI {
    bool enabled = true;
    int check = 0;
    std::string text;
    void Enable(bool e) override { enabled = e; }
    void SetCheck(int c) override { check = c; }
    void SetRadio(bool r) override { check = r ? 1 : 0; }
    void SetText(const std::string& t) override { text = t; }
    bool IsMenuItem() const override { return true; }
};

} // namespace

TEST(CommandMap, UnknownIdsAndMissingHandlersLeaveTheEventUnhandled)
{
    My::CommandMap map;
    map.Add(10, nullptr, nullptr);
    My::CommandEvent unknown(11);
    EXPECT_FALSE(map.Dispatch(unknown));
    My::CommandEvent noHandler(10);
    EXPECT_FALSE(map.Dispatch(noHandler));
    My::UpdateCommandUIEvent noUI(10, nullptr);
    EXPECT_FALSE(map.Dispatch(noUI));
    EXPECT_TRUE(map.Contains(10));
}

TEST(CommandMap, ThrowingHandlerHasConsumedTheCommand)
{
    My::CommandMap map;
    map.Add(
        5, [] { throw std::runtime_error("boom"); }, nullptr);
    My::CommandEvent event(5);
    EXPECT_THROW(map.Dispatch(event), std::runtime_error);
    EXPECT_TRUE(event.handled);
}

TEST(CommandMap, RunsCommandsAndUpdatesRangesByIdentifier)
{
    My::CommandMap map;
    int runs = 0;
    std::uint32_t lastRange = 0;
    map.Add(
        7, [&] { ++runs; }, [](My::CommandUI& ui) { ui.Enable(false); });
    map.AddRange(
        20000, 20100, [&](std::uint32_t id) { lastRange = id; },
        [](std::uint32_t id, My::CommandUI& ui) { ui.SetCheck(id == 20001 ? 1 : 0); });
    My::CommandEvent run(7);
    EXPECT_TRUE(map.Dispatch(run));
    EXPECT_EQ(runs, 1);
    FakeUI ui;
    My::UpdateCommandUIEvent query(7, &ui);
    EXPECT_TRUE(map.Dispatch(query));
    EXPECT_FALSE(ui.enabled);
    My::CommandEvent lang(20042);
    map.Dispatch(lang);
    EXPECT_EQ(lastRange, 20042u);
    My::UpdateCommandUIEvent langQuery(20001, &ui);
    map.Dispatch(langQuery);
    EXPECT_EQ(ui.check, 1);
}

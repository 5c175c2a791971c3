#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Recorder : My::EventListener {
    std::string name;
    std::vector<std::string>* log;
    std::function<void(My::Event&)> action;
    Recorder(std::string n, std::vector<std::string>* l)
        : name(std::move(n))
        , log(l)
    {
    }
    void OnEvent(My::Event& event) override
    {
        log->push_back(name);
        if (action)
            action(event);
    }
};

class Ping : public My::Event { };

} // namespace

TEST(EventDispatcher, ListenerThatThrowsStopsDeliveryAndPassesTheException)
{
    std::vector<std::string> log;
    My::EventDispatcher d;
    Recorder a("a", &log), b("b", &log);
    a.action = [](My::Event&) { throw std::runtime_error("listener failed"); };
    d.AddListener(&a);
    d.AddListener(&b);
    Ping ping;
    EXPECT_THROW(d.Send(ping), std::runtime_error);
    EXPECT_EQ(log, (std::vector<std::string> { "a" }));
    // The dispatcher is usable afterwards and removal is immediate again.
    d.RemoveListener(&a);
    log.clear();
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "b" }));
    EXPECT_EQ(d.GetListenerCount(), 1u);
}

TEST(EventDispatcher, DeliversInRegistrationOrderAndIgnoresSendWithoutListeners)
{
    std::vector<std::string> log;
    My::EventDispatcher d;
    Ping ping;
    d.Send(ping);
    Recorder a("a", &log), b("b", &log), c("c", &log);
    d.AddListener(&b);
    d.AddListener(&a);
    d.AddListener(&c);
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "b", "a", "c" }));
}

TEST(EventDispatcher, ListenerAddedTwiceReceivesTwiceAndOneRemoveTakesBoth)
{
    std::vector<std::string> log;
    My::EventDispatcher d;
    Recorder a("a", &log), b("b", &log);
    d.AddListener(&a);
    d.AddListener(&b);
    d.AddListener(&a);
    Ping ping;
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "a", "b", "a" }));
    d.RemoveListener(&a);
    d.RemoveListener(&a); // absent: nothing
    log.clear();
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "b" }));
}

TEST(EventDispatcher, RemovalOfSelfAndOthersDuringSendKeepsDeliveryOrder)
{
    std::vector<std::string> log;
    My::EventDispatcher d;
    Recorder a("a", &log), b("b", &log), c("c", &log), e("e", &log);
    // a removes itself and c; b must still get the event, c must not.
    a.action = [&](My::Event&) {
        d.RemoveListener(&a);
        d.RemoveListener(&c);
    };
    d.AddListener(&a);
    d.AddListener(&b);
    d.AddListener(&c);
    d.AddListener(&e);
    Ping ping;
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "a", "b", "e" }));
    EXPECT_EQ(d.GetListenerCount(), 2u);
    log.clear();
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "b", "e" }));
}

TEST(EventDispatcher, ListenerAddedDuringSendReceivesTheSameEvent)
{
    std::vector<std::string> log;
    My::EventDispatcher d;
    Recorder a("a", &log), late("late", &log);
    a.action = [&](My::Event&) {
        if (d.GetListenerCount() == 1)
            d.AddListener(&late);
    };
    d.AddListener(&a);
    Ping ping;
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "a", "late" }));
}

TEST(EventDispatcher, NestedSendsSeeRemovalsOfTheInnerSend)
{
    std::vector<std::string> log;
    My::EventDispatcher d;
    Recorder a("a", &log), b("b", &log), c("c", &log);
    int depth = 0;
    a.action = [&](My::Event& event) {
        if (depth++ == 0)
            d.Send(event); // inner send: a, b (b removes c), then c is dead
    };
    b.action = [&](My::Event&) { d.RemoveListener(&c); };
    d.AddListener(&a);
    d.AddListener(&b);
    d.AddListener(&c);
    Ping ping;
    d.Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "a", "a", "b", "b" }));
    EXPECT_EQ(d.GetListenerCount(), 2u);
}

TEST(EventDispatcher, ListenerMayDestroyTheDispatcherDuringSend)
{
    std::vector<std::string> log;
    auto* d = new My::EventDispatcher;
    Recorder a("a", &log), b("b", &log);
    int depth = 0;
    a.action = [&](My::Event& event) {
        if (depth++ == 0) {
            d->Send(event);
            return;
        }
        delete d;
    };
    d->AddListener(&a);
    d->AddListener(&b);
    Ping ping;
    d->Send(ping);
    EXPECT_EQ(log, (std::vector<std::string> { "a", "a" }));
}

TEST(Event, GroupingClassesMatchTheirLeavesOnly)
{
    My::CursorEvent cursor(CPoint(3, 4));
    My::Event& e = cursor;
    EXPECT_NE(dynamic_cast<My::MouseEvent*>(&e), nullptr);
    EXPECT_FALSE(cursor.handled);
    EXPECT_EQ(cursor.flags, 0u);
    My::MouseLeaveEvent leave;
    My::Event& l = leave;
    EXPECT_EQ(dynamic_cast<My::MouseEvent*>(&l), nullptr);

    My::FontEvent font;
    My::UpdateUIEvent update;
    My::ActivateEvent activate(true);
    for (My::Event* b : std::initializer_list<My::Event*> { &font, &update, &activate })
        EXPECT_NE(dynamic_cast<My::BroadcastEvent*>(b), nullptr);
    My::WindowBoundsEvent bounds(false);
    My::WindowVisibleEvent visible(true);
    My::WindowCreateEvent create;
    for (My::Event* w : std::initializer_list<My::Event*> { &bounds, &visible, &create }) {
        EXPECT_NE(dynamic_cast<My::WindowEvent*>(w), nullptr);
        EXPECT_EQ(dynamic_cast<My::BroadcastEvent*>(w), nullptr);
    }
    My::UpdateCommandUIEvent query(57643, nullptr);
    My::Event& q = query;
    EXPECT_NE(dynamic_cast<My::CommandEventBase*>(&q), nullptr);
    EXPECT_EQ(dynamic_cast<My::CommandEvent*>(&q), nullptr);
}

#pragma once

// The notifications of the toolkit. Every notification is a My::Event built
// on the stack by its sender and passed by reference for one call; receivers
// tell kinds apart by dynamic type (dynamic_cast) and never keep an event.
// A test for a grouping class (MouseEvent, KeyEvent, WindowEvent,
// BroadcastEvent, CommandEventBase, ScrollEvent) matches all its leaves.

#include "platform/gui/point.h"

#include <cstdint>

namespace My {

class CommandUI;
class ScrollBar;
class Timer;

class Event {
public:
    virtual ~Event();
};

// Delivered to a container and all its descendants.
class BroadcastEvent : public Event {
public:
    ~BroadcastEvent() override = 0;
};

// Window adaptors on the idle command-state update and the initial update.
class UpdateUIEvent : public BroadcastEvent {
public:
    ~UpdateUIEvent() override;
};

// Double-buffered windows on activation; active is false for WA_INACTIVE.
class ActivateEvent : public BroadcastEvent {
public:
    explicit ActivateEvent(bool active_)
        : active(active_)
    {
    }
    ~ActivateEvent() override;

    bool active;
};

// A control's font changed (or it gained one by being adopted).
class FontEvent : public BroadcastEvent {
public:
    ~FontEvent() override;
};

class KeyEvent : public Event {
public:
    KeyEvent(std::uint32_t key_, std::uint32_t repeat_, std::uint32_t flags_)
        : key(key_)
        , repeat(repeat_)
        , flags(flags_)
    {
    }
    ~KeyEvent() override = 0;

    std::uint32_t key; // virtual-key code
    std::uint32_t repeat; // repeat count
    std::uint32_t flags; // the key-message flags word
};

class KeyDownEvent : public KeyEvent {
public:
    using KeyEvent::KeyEvent;
    ~KeyDownEvent() override;
};

class KeyUpEvent : public KeyEvent {
public:
    using KeyEvent::KeyEvent;
    ~KeyUpEvent() override;
};

class MouseEvent : public Event {
public:
    MouseEvent(std::uint32_t flags_, CPoint point_)
        : flags(flags_)
        , point(point_)
    {
    }
    ~MouseEvent() override = 0;

    std::uint32_t flags; // MK_ button and modifier flags
    CPoint point; // in the receiver's coordinates
};

#define TAVELO_MY_MOUSE_EVENT(Name)                                                                          \
    class Name : public MouseEvent {                                                                         \
    public:                                                                                                  \
        using MouseEvent::MouseEvent;                                                                        \
        ~Name() override;                                                                                    \
    };

TAVELO_MY_MOUSE_EVENT(LeftDownEvent)
TAVELO_MY_MOUSE_EVENT(LeftUpEvent)
TAVELO_MY_MOUSE_EVENT(LeftDoubleClickEvent)
TAVELO_MY_MOUSE_EVENT(RightDownEvent)
TAVELO_MY_MOUSE_EVENT(RightUpEvent)
TAVELO_MY_MOUSE_EVENT(RightDoubleClickEvent)
TAVELO_MY_MOUSE_EVENT(MouseMoveEvent)
// The first move after the pointer entered a window, or a container's
// change of the control under the pointer.
TAVELO_MY_MOUSE_EVENT(MouseEnterEvent)

#undef TAVELO_MY_MOUSE_EVENT

// WM_SETCURSOR: point is the cursor position in client coordinates, flags 0.
// A receiver that set the cursor sets handled.
class CursorEvent : public MouseEvent {
public:
    explicit CursorEvent(CPoint point_)
        : MouseEvent(0, point_)
    {
    }
    ~CursorEvent() override;

    bool handled = false;
};

// The pointer left; not a mouse event (it carries no point).
class MouseLeaveEvent : public Event {
public:
    ~MouseLeaveEvent() override;
};

class FocusEvent : public Event {
public:
    ~FocusEvent() override;
};

class UnfocusEvent : public Event {
public:
    ~UnfocusEvent() override;
};

// Delivered to all children of a container, not to the container itself.
class WindowEvent : public Event {
public:
    ~WindowEvent() override = 0;
};

// Sent after the window was created successfully.
class WindowCreateEvent : public WindowEvent {
public:
    ~WindowCreateEvent() override;
};

// Sent before the window is destroyed.
class WindowDestroyEvent : public WindowEvent {
public:
    ~WindowDestroyEvent() override;
};

// A container's layout changed (before_paint false) or its painting starts
// (before_paint true).
class WindowBoundsEvent : public WindowEvent {
public:
    explicit WindowBoundsEvent(bool before_paint_)
        : before_paint(before_paint_)
    {
    }
    ~WindowBoundsEvent() override;

    bool before_paint;
};

// A container's visibility changed; visible is its new state.
class WindowVisibleEvent : public WindowEvent {
public:
    explicit WindowVisibleEvent(bool visible_)
        : visible(visible_)
    {
    }
    ~WindowVisibleEvent() override;

    bool visible;
};

class CommandEventBase : public Event {
public:
    explicit CommandEventBase(std::uint32_t id_)
        : id(id_)
    {
    }
    ~CommandEventBase() override = 0;

    std::uint32_t id; // command identifier
    bool handled = false; // set by the receiver that handled it
};

// A command to carry out.
class CommandEvent : public CommandEventBase {
public:
    using CommandEventBase::CommandEventBase;
    ~CommandEvent() override;
};

// A query of a command's state (enabled, checked, text): the receiver
// updates cmdui, which the sender owns.
class UpdateCommandUIEvent : public CommandEventBase {
public:
    UpdateCommandUIEvent(std::uint32_t id_, CommandUI* cmdui_)
        : CommandEventBase(id_)
        , cmdui(cmdui_)
    {
    }
    ~UpdateCommandUIEvent() override;

    CommandUI* cmdui;
};

class ScrollEvent : public Event {
public:
    ScrollEvent(ScrollBar* source_, std::uint32_t code_, std::uint32_t pos_)
        : source(source_)
        , code(code_)
        , pos(pos_)
    {
    }
    ~ScrollEvent() override = 0;

    ScrollBar* source;
    std::uint32_t code; // SB_ scroll code
    std::uint32_t pos; // the thumb position of the message
};

class HorzScrollEvent : public ScrollEvent {
public:
    using ScrollEvent::ScrollEvent;
    ~HorzScrollEvent() override;
};

class VertScrollEvent : public ScrollEvent {
public:
    using ScrollEvent::ScrollEvent;
    ~VertScrollEvent() override;
};

class TimerEvent : public Event {
public:
    explicit TimerEvent(Timer* timer_)
        : timer(timer_)
    {
    }
    ~TimerEvent() override;

    Timer* timer; // the timer that fired
};

} // namespace My
